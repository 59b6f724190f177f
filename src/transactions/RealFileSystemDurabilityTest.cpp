// The order in which RealFileSystem reaches the disk: watched with strace, every written file is
// flushed before it gets its name, and every created, renamed or removed entry has its
// directory flushed after the change.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "FileIo.h"
#include "RealFileSystem.h"
#include "TemporaryDirectory.h"

namespace {

constexpr const char* kScenarioVariable = "KORVALIS_DURABILITY_SCENARIO";

// The operations whose system calls are checked; run inside the traced copy of this program.
TEST(RealFileSystemDurabilityScenario, Operations) {
    const char* directory = std::getenv(kScenarioVariable);
    if (directory == nullptr) {
        GTEST_SKIP() << "runs only under RealFileSystemDurabilityTest";
    }
    const std::string d(directory);
    RealFileSystem fs;
    ASSERT_TRUE(fs.writeFileDurably(d + "/w.xml", "record"));
    ASSERT_TRUE(fs.createDirectory(d + "/sub"));
    ASSERT_TRUE(fs.copyFile(d + "/w.xml", d + "/sub/copy"));
    ASSERT_TRUE(fs.moveWithoutReplacing(d + "/sub/copy", d + "/moved"));
    ASSERT_TRUE(fs.removeFile(d + "/moved"));
    ASSERT_TRUE(fs.removeDirectory(d + "/sub"));
}

// Finds, after line `from`, the first line holding every one of `parts`; -1 when there is none.
int findLine(const std::vector<std::string>& lines, int from,
             const std::vector<std::string>& parts) {
    for (int i = from + 1; i < static_cast<int>(lines.size()); ++i) {
        bool all = true;
        for (const std::string& part : parts) {
            all = all && lines[i].find(part) != std::string::npos;
        }
        if (all) {
            return i;
        }
    }
    return -1;
}

TEST(RealFileSystemDurabilityTest, FlushesFilesBeforeNamingThemAndDirectoriesAfterChanges) {
    if (std::system("strace -V >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "strace is not installed";
    }
    TemporaryDirectory directory("korvalis-durability-");
    const std::string d = directory.path();
    const std::string trace = d + ".trace";
    // LeakSanitizer cannot run under a tracer: a sanitizer build traces with leak checks off.
    const std::string command = "ASAN_OPTIONS=detect_leaks=0 " + std::string(kScenarioVariable) +
                                "='" + d + "' strace -qq -y -o '" + trace +
                                "' -e trace=fsync,rename,renameat2,link,unlink,mkdir,rmdir "
                                "/proc/" +
                                std::to_string(::getpid()) +
                                "/exe --gtest_filter=RealFileSystemDurabilityScenario.* "
                                ">/dev/null 2>&1";
    const int status = std::system(command.c_str());
    std::string text;
    FileIo::readWholeFile(trace, text);
    std::remove(trace.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (text.empty()) {
            GTEST_SKIP() << "strace cannot trace here (ptrace not permitted)";
        }
        FAIL() << "the traced operations failed:\n" << text;
    }
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
    }
    const std::string dir = "<" + d + ">";
    // The record: flushed under its temporary name, renamed, directory flushed.
    int at = findLine(lines, -1, {"fsync(", d + "/.korvalis-"});
    ASSERT_GE(at, 0) << text;
    at = findLine(lines, at, {"rename", "\"" + d + "/w.xml\""});
    ASSERT_GE(at, 0) << text;
    at = findLine(lines, at, {"fsync(", dir});
    ASSERT_GE(at, 0) << text;
    // The directory: created, its parent flushed.
    at = findLine(lines, at, {"mkdir(\"" + d + "/sub\""});
    ASSERT_GE(at, 0) << text;
    at = findLine(lines, at, {"fsync(", dir});
    ASSERT_GE(at, 0) << text;
    // The copy: flushed, named without replacing, directory flushed.
    at = findLine(lines, at, {"fsync(", d + "/sub/.korvalis-"});
    ASSERT_GE(at, 0) << text;
    at = findLine(lines, at, {"\"" + d + "/sub/copy\""});
    ASSERT_GE(at, 0) << text;
    EXPECT_TRUE(lines[at].find("RENAME_NOREPLACE") != std::string::npos ||
                lines[at].starts_with("link("))
        << lines[at];
    at = findLine(lines, at, {"fsync(", "<" + d + "/sub>"});
    ASSERT_GE(at, 0) << text;
    // The move: never replacing, both directories flushed.
    at = findLine(lines, at, {"\"" + d + "/sub/copy\"", "\"" + d + "/moved\""});
    ASSERT_GE(at, 0) << text;
    EXPECT_TRUE(lines[at].find("RENAME_NOREPLACE") != std::string::npos ||
                lines[at].starts_with("link("))
        << lines[at];
    const int destinationFlush = findLine(lines, at, {"fsync(", dir});
    const int sourceFlush = findLine(lines, at, {"fsync(", "<" + d + "/sub>"});
    ASSERT_GE(destinationFlush, 0) << text;
    ASSERT_GE(sourceFlush, 0) << text;
    at = std::max(destinationFlush, sourceFlush);
    // Removals: the entry goes, then its directory is flushed.
    at = findLine(lines, at, {"unlink(\"" + d + "/moved\""});
    ASSERT_GE(at, 0) << text;
    at = findLine(lines, at, {"fsync(", dir});
    ASSERT_GE(at, 0) << text;
    at = findLine(lines, at, {"rmdir(\"" + d + "/sub\""});
    ASSERT_GE(at, 0) << text;
    EXPECT_GE(findLine(lines, at, {"fsync(", dir}), 0) << text;
}

}  // namespace
