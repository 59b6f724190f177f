#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "ProcessEnvironment.h"
#include "SystemError.h"
#include "UserNotification.h"

namespace fs = std::filesystem;

namespace {

TEST(ProcessEnvironmentTest, KnowsItsOwnExecutable) {
    const std::string path = ProcessEnvironment::executablePath();
    EXPECT_EQ(fs::path(path).filename(), "korvalis_foundation_tests");
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(ProcessEnvironment::executableDirectory(), fs::path(path).parent_path().string());
}

TEST(ProcessEnvironmentTest, RaisesTheOpenFileLimitToTheHardLimit) {
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const long raised = ProcessEnvironment::raiseOpenFileLimit();
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    EXPECT_EQ(limit.rlim_cur, limit.rlim_max);
    if (limit.rlim_cur != RLIM_INFINITY) {
        EXPECT_EQ(static_cast<rlim_t>(raised), limit.rlim_cur);
    }
}

TEST(ProcessEnvironmentTest, StandardDirectoriesFollowXdgAndAreCreated) {
    const fs::path scratch = fs::temp_directory_path() / ("xdg-" + std::to_string(::getpid()));
    setenv("XDG_STATE_HOME", (scratch / "state").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
    EXPECT_EQ(ProcessEnvironment::stateDirectory(), (scratch / "state" / "galewick").string());
    EXPECT_EQ(ProcessEnvironment::configDirectory(), (scratch / "config" / "galewick").string());
    EXPECT_TRUE(fs::is_directory(scratch / "state" / "galewick"));

    const std::string home = ProcessEnvironment::homeDirectory();
    setenv("XDG_STATE_HOME", "relative/ignored", 1);
    EXPECT_EQ(ProcessEnvironment::stateDirectory(), home + "/.local/state/galewick");
    unsetenv("XDG_STATE_HOME");
    unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(scratch);
}

TEST(SystemErrorTest, DescribesErrorNumbers) {
    EXPECT_EQ(SystemError::text(ENOENT), "No such file or directory");
    errno = EACCES;
    EXPECT_EQ(SystemError::last(), "Permission denied");
}

TEST(UserNotificationTest, HookReceivesMessagesUntilRemoved) {
    std::string seen;
    UserNotification::setHook(
        [&seen](const std::string& title, const std::string& text) { seen = title + "|" + text; });
    UserNotification::notify("Timing", "Dump written");
    EXPECT_EQ(seen, "Timing|Dump written");
    UserNotification::setHook(nullptr);
    testing::internal::CaptureStderr();
    UserNotification::notify("Timing", "to stderr");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Timing: to stderr\n");
    EXPECT_EQ(seen, "Timing|Dump written");
}

}  // namespace
