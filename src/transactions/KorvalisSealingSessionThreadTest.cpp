// Two sealing runs started at once on one session take turns: each holds the session's mutex
// for its whole run, so their work and their messages never interleave.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "AudioDecoderGroup.h"
#include "KorvalisSealingSession.h"
#include "KorvalisSealingSessionTestSupport.h"
#include "KorvalisSession.h"
#include "KorvalisUserSealingKey.h"
#include "RealFileSystem.h"
#include "VideoDecoder.h"

namespace {

using Support = KorvalisSealingSessionTestSupport;
constexpr double kStart = Support::kSessionStart;

TEST(KorvalisSealingSessionThreadTest, ConcurrentRunsOnOneSessionTakeTurns) {
    Support support;
    ASSERT_TRUE(support.writeSession(2, 3, 20.0, true));
    const auto key = Support::makeUserKey();
    Support::MediaSet set = support.openSession();
    RealFileSystem fileSystem;
    KorvalisSealingSession sealer(set.audio.get(), set.video.get(), set.session.get(), fileSystem);
    // (run, line) in the order reported; the session's mutex orders the writes.
    std::vector<std::pair<int, std::string>> lines;
    thread_local int runNumber = 0;
    sealer.setMessageCallback(
        [&lines](const std::string& text) { lines.emplace_back(runNumber, text); });
    bool results[2] = {false, false};
    const double ranges[2][2] = {{kStart + 5.0, kStart + 12.0}, {kStart + 45.0, kStart + 52.0}};
    std::vector<std::thread> threads;
    for (int run = 0; run < 2; ++run) {
        threads.emplace_back([&, run] {
            runNumber = run + 1;
            results[run] = sealer.seal(ranges[run][0], ranges[run][1], *key, "");
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_TRUE(results[0]);
    EXPECT_TRUE(results[1]);
    // Each run's lines form one block.
    ASSERT_FALSE(lines.empty());
    int changes = 0;
    for (size_t i = 1; i < lines.size(); ++i) {
        changes += lines[i].first != lines[i - 1].first;
    }
    EXPECT_EQ(changes, 1);
    for (int channel = -1; channel < 2; ++channel) {
        EXPECT_EQ(
            support.checkCoverage(channel, kStart, kStart + 20.0, kStart + 5.0, kStart + 12.0), "");
        EXPECT_EQ(support.checkCoverage(channel, kStart + 20.0, kStart + 40.0, 0.0, 0.0), "");
        EXPECT_EQ(support.checkCoverage(channel, kStart + 40.0, kStart + 60.0, kStart + 45.0,
                                        kStart + 52.0),
                  "");
    }
}

}  // namespace
