#include <gtest/gtest.h>

#include <memory>

#include "AudioDecoderGroup.h"
#include "JexSession.h"
#include "KorvalisSession.h"
#include "PlaybackTestSupport.h"
#include "SessionRefreshThread.h"
#include "VideoDecoder.h"

namespace {

constexpr double kStart = PlaybackTestSupport::kSessionStart;

struct Reports {
    std::vector<std::vector<TimeRange>> ranges;
    unsigned channels = 0;
    int annotationChanges = 0;
    std::vector<std::string> skipped;
    int timed = 0;
};

SessionRefreshThread::Callbacks callbacksInto(Reports& reports) {
    SessionRefreshThread::Callbacks callbacks;
    callbacks.rangesChanged = [&reports](const std::vector<std::vector<TimeRange>>& ranges) {
        reports.ranges = ranges;
    };
    callbacks.channelCountIs = [&reports](unsigned channels) { reports.channels = channels; };
    callbacks.annotationsChanged = [&reports] { ++reports.annotationChanges; };
    callbacks.fileSkipped = [&reports](const std::string& text) {
        reports.skipped.push_back(text);
    };
    callbacks.refreshTimed = [&reports](double seconds) {
        EXPECT_GE(seconds, 0.0);
        ++reports.timed;
    };
    return callbacks;
}

class SessionRefreshThreadTest : public ::testing::Test {
protected:
    void open() {
        session_ = std::make_unique<KorvalisSession>(
            archive_.recordingsPath(), PlaybackTestSupport::kLocation, PlaybackTestSupport::kYear,
            PlaybackTestSupport::kMonth, PlaybackTestSupport::kDay);
        session_->enumerateMediaFiles();
        session_->createAudioDecoderGroupForSession(group_, 0.144f);
        session_->createVideDecoderForSession(video_);
        record_ =
            std::make_unique<JexSession>(PlaybackTestSupport::kLocation, PlaybackTestSupport::kYear,
                                         PlaybackTestSupport::kMonth, PlaybackTestSupport::kDay);
        record_->load(archive_.databasesPath());
    }

    PlaybackTestSupport archive_;
    std::unique_ptr<KorvalisSession> session_;
    std::unique_ptr<AudioDecoderGroup> group_;
    std::unique_ptr<VideoDecoder> video_;
    std::unique_ptr<JexSession> record_;
};

TEST_F(SessionRefreshThreadTest, RefreshAddsNewFilesChannelsAndAnnotations) {
    archive_.writeChannelMp3(0, kStart, 2.0);
    archive_.writeKov(kStart, 2.0);
    ASSERT_TRUE(archive_.writeRecord(2));
    open();
    ASSERT_EQ(record_->annotationCount(), 2u);

    Reports reports;
    SessionRefreshThread refresher(*session_, *group_, video_.get(), record_.get(),
                                   callbacksInto(reports));
    refresher.refreshOnce();
    EXPECT_EQ(reports.channels, 1u);
    ASSERT_EQ(reports.ranges.size(), 1u);
    ASSERT_FALSE(reports.ranges[0].empty());
    const double firstEnd = reports.ranges[0].back().end;
    EXPECT_EQ(reports.annotationChanges, 0);
    EXPECT_EQ(reports.timed, 1);

    // The recorder goes on: more of channel 0, a new channel 1, more video, a longer record.
    archive_.writeChannelMp3(0, kStart + 2.0, 2.0);
    archive_.writeChannelMp3(1, kStart + 2.0, 2.0, 900.0);
    archive_.writeKov(kStart + 2.0, 2.0);
    ASSERT_TRUE(archive_.writeRecord(3));
    refresher.refreshOnce();

    EXPECT_EQ(reports.channels, 2u);
    EXPECT_EQ(group_->numberOfDecodersIs(), 2u);
    ASSERT_EQ(reports.ranges.size(), 2u);
    EXPECT_GT(reports.ranges[0].back().end, firstEnd + 1.5);
    EXPECT_FALSE(reports.ranges[1].empty());
    EXPECT_EQ(video_->numberOfFilesIs(), 2u);
    EXPECT_EQ(reports.annotationChanges, 1);
    EXPECT_EQ(record_->annotationCount(), 3u);
    EXPECT_EQ(refresher.refreshCountIs(), 2u);

    // Nothing new: nothing reported as changed.
    refresher.refreshOnce();
    EXPECT_EQ(reports.annotationChanges, 1);
    EXPECT_TRUE(reports.skipped.empty());
}

TEST_F(SessionRefreshThreadTest, UnreadableNewFilesAreReportedOnceAndSessionsWithoutVideoWork) {
    archive_.writeChannelMp3(0, kStart, 2.0);
    open();
    Reports reports;
    SessionRefreshThread refresher(*session_, *group_, nullptr, nullptr, callbacksInto(reports));
    refresher.refreshOnce();
    EXPECT_EQ(reports.channels, 1u);

    // A file whose name carries no start time cannot take part.
    const std::string directory = archive_.recordingsPath() + "/000/20100315";
    {
        std::FILE* file = std::fopen((directory + "/COURT1~nonsense.mp3").c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("not audio", file);
        std::fclose(file);
    }
    refresher.refreshOnce();
    refresher.refreshOnce();
    ASSERT_EQ(reports.skipped.size(), 1u);
    EXPECT_NE(reports.skipped[0].find("COURT1~nonsense.mp3"), std::string::npos);
}

TEST_F(SessionRefreshThreadTest, StartsOnceAndStopsWhenAsked) {
    archive_.writeChannelMp3(0, kStart, 1.0);
    open();
    SessionRefreshThread refresher(*session_, *group_, video_.get(), record_.get(), {},
                                   std::chrono::milliseconds(1));
    EXPECT_FALSE(refresher.isRunning());
    refresher.stop();  // not running: nothing to do
    ASSERT_TRUE(refresher.start());
    EXPECT_FALSE(refresher.start());
    EXPECT_TRUE(refresher.isRunning());
    refresher.stop();
    EXPECT_FALSE(refresher.isRunning());
    // It may be started again.
    ASSERT_TRUE(refresher.start());
}

}  // namespace
