#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "RealFileSystem.h"
#include "SessionCopyTestSupport.h"
#include "SessionRangeCopier.h"

using namespace session_copy_test;

namespace {

class SessionRangeCopierThreadTest : public GeneratedSession {};

// Two copies of the same session on two threads, sharing the session's mutex and decoders: both
// succeed, and their runs never overlap (each one's messages, after its opening line, form one
// unbroken block of the shared log).
TEST_F(SessionRangeCopierThreadTest, RunsSharingTheSessionMutexDoNotOverlap) {
    RealFileSystem fileSystem;
    OpenSession source(root_, kLocation);
    std::mutex sessionMutex;
    std::mutex logMutex;
    std::vector<char> log;
    bool results[2] = {false, false};
    auto copyOn = [&](int which, double from, double to) {
        SessionRangeCopier copier(fileSystem, source.group.get(), source.video.get(),
                                  {kDate.year, kDate.month, kDate.day}, &sessionMutex);
        copier.setMessageCallback([&, which](const std::string& text) {
            if (text != "Starting copy process ...") {
                std::lock_guard lock(logMutex);
                log.push_back(static_cast<char>('a' + which));
            }
        });
        results[which] =
            copier.copy(from, to, scratch_.file("copy" + std::to_string(which)), nullptr, nullptr);
    };
    std::thread first(copyOn, 0, start_ + 10.0, start_ + 70.0);
    std::thread second(copyOn, 1, start_ + 90.0, start_ + 170.0);
    first.join();
    second.join();
    EXPECT_TRUE(results[0]);
    EXPECT_TRUE(results[1]);
    ASSERT_FALSE(log.empty());
    size_t changes = 0;
    for (size_t i = 1; i < log.size(); ++i) {
        changes += log[i] != log[i - 1] ? 1 : 0;
    }
    EXPECT_EQ(changes, 1u);
    for (int which = 0; which < 2; ++which) {
        OpenSession copied(scratch_.file("copy" + std::to_string(which)), kLocation);
        EXPECT_EQ(copied.session.numberOfChannelsIs(), static_cast<uint32_t>(kChannels));
    }
}

}  // namespace
