#include <gtest/gtest.h>

#include "KorvalisMp3CompressedAudioFile.h"
#include "Mp3TestFiles.h"
#include "TemporaryDirectory.h"

namespace {

// The base rules, seen through a timed MP3 file from 1000 s to 1000 s + 100 frames (3.6 s).
class CompressedAudioFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = directory_.path() + "/LOC~000003e8~0~1~2~3.mp3";
        mp3test::writeBytes(path_, mp3test::frameRun(mp3test::kRecorderHeader, 100));
        auto timed = std::make_unique<KorvalisMp3CompressedAudioFile>(path_, true);
        ASSERT_TRUE(timed->isValid());
        file_ = std::move(timed);
    }

    TemporaryDirectory directory_{"compressed-audio-"};
    std::string path_;
    std::unique_ptr<CompressedAudioFile> file_;
};

TEST_F(CompressedAudioFileTest, EndIsStartPlusDuration) {
    EXPECT_DOUBLE_EQ(file_->getStartTime(), 1000.0);
    EXPECT_FLOAT_EQ(file_->getDuration(), 3.6f);
    EXPECT_DOUBLE_EQ(file_->getEndTime(), 1000.0 + file_->getDuration());
}

TEST_F(CompressedAudioFileTest, AnySharedInstantOverlaps) {
    EXPECT_TRUE(file_->overlapsTimeRange(990.0, 1001.0, false)) << "the start inside";
    EXPECT_TRUE(file_->overlapsTimeRange(1002.0, 1010.0, false)) << "the end inside";
    EXPECT_TRUE(file_->overlapsTimeRange(1001.0, 1002.0, false)) << "range inside the file";
    EXPECT_TRUE(file_->overlapsTimeRange(900.0, 1100.0, false)) << "file inside the range";
    EXPECT_TRUE(file_->overlapsTimeRange(990.0, 1000.0, false)) << "touching the start";
    EXPECT_FALSE(file_->overlapsTimeRange(990.0, 999.99, false));
    EXPECT_FALSE(file_->overlapsTimeRange(1003.7, 1010.0, false));
}

TEST_F(CompressedAudioFileTest, WholeFileMustLieInTheRange) {
    EXPECT_TRUE(file_->overlapsTimeRange(1000.0, 1003.6, true));
    EXPECT_TRUE(file_->overlapsTimeRange(900.0, 1100.0, true));
    EXPECT_FALSE(file_->overlapsTimeRange(1000.5, 1100.0, true)) << "only part of the file";
    EXPECT_FALSE(file_->overlapsTimeRange(900.0, 1003.0, true));
}

TEST_F(CompressedAudioFileTest, ReservedPositioningIsNotSupported) {
    EXPECT_FALSE(file_->reservedPositioning());
    EXPECT_TRUE(file_->isAvailable());
    EXPECT_EQ(file_->getFirstNameNumber(), 1);
    EXPECT_EQ(file_->fileName(), path_);
}

}  // namespace
