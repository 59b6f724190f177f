#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "AutoloadThread.h"
#include "PlaybackTestSupport.h"

namespace {

AutoloadThread::Session sessionOf(const PlaybackTestSupport& archive) {
    return AutoloadThread::Session{archive.recordingsPath(), PlaybackTestSupport::kLocation,
                                   PlaybackTestSupport::kYear, PlaybackTestSupport::kMonth,
                                   PlaybackTestSupport::kDay};
}

void touch(const std::string& directory, const std::string& name) {
    std::filesystem::create_directories(directory);
    std::FILE* file = std::fopen((directory + "/" + name).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
}

TEST(AutoloadThreadTest, OnlyMediaOfTheLocationInChannelZeroOfTheDayCounts) {
    PlaybackTestSupport archive;
    const AutoloadThread::Session session = sessionOf(archive);
    const std::string day = archive.recordingsPath() + "/000/20100315";
    EXPECT_FALSE(AutoloadThread::dayDirectoryHoldsMedia(session));  // no directory yet

    touch(day, "COURT2~4b9df810~0~0~0~0.mp3");  // another location
    touch(day, "COURT1~4b9df810~0~0~0~0.txt");  // not media
    touch(archive.recordingsPath() + "/001/20100315", "COURT1~4b9df810~0~1~0~0.mp3");
    touch(archive.recordingsPath() + "/000/20100316", "COURT1~4b9e0000~0~0~0~0.mp3");
    std::filesystem::create_directories(day + "/COURT1.kov");  // a directory
    EXPECT_FALSE(AutoloadThread::dayDirectoryHoldsMedia(session));

    touch(day, "court1~4b9df810~0~0~0~0.SealedVideo");
    EXPECT_TRUE(AutoloadThread::dayDirectoryHoldsMedia(session));
}

TEST(AutoloadThreadTest, AsksForTheSessionOnceItsMediaAppear) {
    PlaybackTestSupport archive;
    std::mutex mutex;
    std::condition_variable asked;
    int calls = 0;
    AutoloadThread::Session seen;
    AutoloadThread watcher(
        sessionOf(archive),
        [&](const AutoloadThread::Session& session) {
            std::lock_guard<std::mutex> hold(mutex);
            seen = session;
            ++calls;
            asked.notify_all();
        },
        std::chrono::milliseconds(2), std::chrono::milliseconds(1));
    ASSERT_TRUE(watcher.start());
    EXPECT_FALSE(watcher.hasAskedForSession());

    archive.writeChannelMp3(0, PlaybackTestSupport::kSessionStart, 1.0);
    {
        std::unique_lock<std::mutex> hold(mutex);
        ASSERT_TRUE(asked.wait_for(hold, std::chrono::seconds(60), [&] { return calls > 0; }));
    }
    watcher.stop();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(watcher.hasAskedForSession());
    EXPECT_EQ(seen.locationName, PlaybackTestSupport::kLocation);
    EXPECT_EQ(seen.day, PlaybackTestSupport::kDay);
    // Once asked, it does not watch again.
    EXPECT_FALSE(watcher.start());
}

TEST(AutoloadThreadTest, StoppedBeforeTheMediaAppearItNeverAsks) {
    PlaybackTestSupport archive;
    int calls = 0;
    AutoloadThread watcher(
        sessionOf(archive), [&](const AutoloadThread::Session&) { ++calls; },
        std::chrono::milliseconds(1), std::chrono::milliseconds(1));
    ASSERT_TRUE(watcher.start());
    watcher.stop();
    archive.writeChannelMp3(0, PlaybackTestSupport::kSessionStart, 1.0);
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(watcher.hasAskedForSession());
}

}  // namespace
