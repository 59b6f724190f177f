#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "AvDebugLogger.h"
#include "KovCompressedVideoFile.h"
#include "KovTestSupport.h"
#include "SyntheticKovWriter.h"
#include "UserNotification.h"

namespace {

using namespace kovtest;

constexpr double kStart = 1268652608.0;  // 0x4b9e1a40
const std::string kName = "Court7~4b9e1a40~0~3~1~0.kov";

class KovCompressedVideoFileTest : public testing::Test {
protected:
    // Ten JPEG frames, 0.1 s apart, in a file named by the media scheme.
    std::string writeSample(const std::string& name = kName) {
        SyntheticKovWriter::Settings settings;
        settings.width = 64;
        settings.height = 48;
        settings.frameRate = 10;
        settings.startTime = kStart;
        settings.durationSeconds = 1.0;
        SyntheticKovWriter writer(settings);
        const std::string path = scratch_.file(name);
        std::string error;
        EXPECT_TRUE(writer.write(path, error)) << error;
        return path;
    }

    TemporaryDirectory scratch_{"kov-test-"};
};

TEST_F(KovCompressedVideoFileTest, ReportsItsTimeRangeAndFrames) {
    KovCompressedVideoFile file(writeSample());
    EXPECT_TRUE(file.isValid());
    EXPECT_TRUE(file.isAvailable());
    EXPECT_FALSE(file.isValidFileName(kName));
    EXPECT_EQ(file.getStartTime(), kStart);
    EXPECT_FLOAT_EQ(file.getDuration(), 0.9f);
    EXPECT_DOUBLE_EQ(file.getEndTime(), kStart + 0.9f);
    EXPECT_TRUE(file.refreshFileInformation());

    double reachedTime = 0;
    ASSERT_TRUE(file.setPositionByEpochTime(kStart + 0.42, 0.1f, reachedTime));
    EXPECT_DOUBLE_EQ(reachedTime, kStart + 0.4);
    EXPECT_DOUBLE_EQ(file.getCurrentEpochTime(), kStart + 0.4);
    EXPECT_NEAR(file.getCurrentTimeOffset(), 0.4f, 1e-6);
    float reachedOffset = 0;
    ASSERT_TRUE(file.setPositionByTimeOffsetFromStart(0.7f, 0.1f, reachedOffset));
    EXPECT_NEAR(reachedOffset, 0.7f, 1e-6);
    EXPECT_FALSE(file.setPositionByTimeOffsetFromCurrent(0.1f, 0.1f, reachedOffset));

    std::unique_ptr<VideoSegmentFrame> frame;
    bool endOfFile = true;
    ASSERT_TRUE(file.getNextFrame(frame, &endOfFile, true));
    EXPECT_FALSE(endOfFile);
    EXPECT_DOUBLE_EQ(frame->getEpochTime(), kStart + 0.7);
    EXPECT_EQ(frame->getImage()->getTypeName(), "Compressed");
    ASSERT_TRUE(file.getNextFrame(frame, &endOfFile, false));
    EXPECT_DOUBLE_EQ(frame->getEpochTime(), kStart + 0.8);
    ASSERT_NE(dynamic_cast<RgbImage*>(frame->getImage()), nullptr);
    EXPECT_EQ(frame->getImage()->getWidth(), 64u);
    ASSERT_TRUE(file.getNextFrame(frame, &endOfFile, false));
    EXPECT_FALSE(file.getNextFrame(frame, &endOfFile, false));
    EXPECT_TRUE(endOfFile);
    EXPECT_FALSE(frame);

    // Closed, the file opens again on the next positioning.
    EXPECT_TRUE(file.close());
    ASSERT_TRUE(file.setPositionByEpochTime(kStart + 0.2, 0.1f, reachedTime));
    ASSERT_TRUE(file.getNextFrame(frame, nullptr, true));
    EXPECT_DOUBLE_EQ(frame->getEpochTime(), kStart + 0.2);
}

TEST_F(KovCompressedVideoFileTest, IsValidOnlyWithAValidHeaderFirstAndFinalFrame) {
    const std::string path = writeSample();
    const std::string good = readBytes(path);
    const std::vector<RawFrame> frames = rawFrames(good);
    auto validAfter = [&](size_t at, const std::string& with) {
        std::string bytes = good;
        bytes.replace(at, with.size(), with);
        writeBytes(path, bytes);
        return KovCompressedVideoFile(path).isValid();
    };
    EXPECT_TRUE(validAfter(0, "<"));
    EXPECT_FALSE(validAfter(rawHeaderLength(good) - 1, "\x01"));  // reserved word
    std::string oldTime(8, '\0');
    ByteOrder::writeLittleEndianDouble(reinterpret_cast<uint8_t*>(oldTime.data()), 946684799.0);
    EXPECT_FALSE(validAfter(frames.front().position + 4, oldTime));  // first frame
    EXPECT_FALSE(validAfter(frames.back().position + 44, std::string("\0\0\0\1", 4)));  // final
    EXPECT_TRUE(validAfter(frames[4].position + 4, oldTime));  // a frame in between
    EXPECT_FALSE(KovCompressedVideoFile(scratch_.file("missing~4b9e1a40~0~0~0~0.kov")).isValid());
}

TEST_F(KovCompressedVideoFileTest, DumpsTheFrameTimingAsCsv) {
    KovCompressedVideoFile file(writeSample());
    std::ostringstream csv;
    file.dumpTimingDataAsCsv(csv);
    std::istringstream lines(csv.str());
    std::string line;
    std::vector<std::string> all;
    while (std::getline(lines, line)) {
        all.push_back(line);
    }
    ASSERT_EQ(all.size(), 10u);
    std::unique_ptr<VideoSegmentFrame> frame;
    float reached = 0;
    file.setPositionByTimeOffsetFromStart(0.0f, 1.0f, reached);
    ASSERT_TRUE(file.getNextFrame(frame, nullptr, true));
    EXPECT_EQ(all[0],
              "0.0000, 1268652608.0000, 0," + std::to_string(frame->getImage()->getDataLength()));
    // Counter seconds, epoch time, then the raw ticks of the 10 MHz counter and the data length.
    EXPECT_EQ(all[3].rfind("0.3000, 1268652608.3000, 3000000,", 0), 0u) << all[3];
}

TEST_F(KovCompressedVideoFileTest, DumpReportsDuplicateAndBackwardTimeStamps) {
    const std::string path = scratch_.file("odd~4b9e1a40~0~0~0~0.kov");
    ASSERT_TRUE(writeKovFile(path, {kStart, kStart + 0.1, kStart + 0.1, kStart + 0.05}));
    const std::string logBase = scratch_.file("log");
    AvDebugLogger::instance().enableLoggingToFile(logBase, 0);
    std::vector<std::string> notices;
    UserNotification::setHook([&](const std::string& title, const std::string& text) {
        notices.push_back(title + "|" + text);
    });
    KovCompressedVideoFile file(path);
    std::ostringstream csv;
    file.dumpTimingDataAsCsv(csv);
    UserNotification::setHook(nullptr);
    AvDebugLogger::instance().disableLoggingToFile();

    EXPECT_EQ(notices, std::vector<std::string>{
                           "KOV File Time Error|Error! Backward time stamp jump located!"});
    const std::string log = readBytes(logBase + ".txt");
    EXPECT_NE(log.find("KovCompressedVideoFile::dumpTimingDataAsCsv(): Duplicate time stamp "
                       "located. prior=1268652608.1000, current=1268652608.1000"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("KovCompressedVideoFile::dumpTimingDataAsCsv(): Backward time stamp jump "
                       "located. prior=1268652608.1000, current=1268652608.0500"),
              std::string::npos);
}

TEST_F(KovCompressedVideoFileTest, SplitsAtOneTimeIntoNamedParts) {
    KovCompressedVideoFile file(writeSample());
    const std::string out = scratch_.path() + "/out";
    std::filesystem::create_directory(out);
    std::unique_ptr<CompressedVideoFile> first, second;
    const double splitTime = kStart + 0.33;  // nearest frame: 0.3
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(splitTime, out, first, second, 0.5f, nullptr, nullptr,
                                             CompressedVideoFile::kSplitAllParts))
        << file.getErrorText();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->getFileName(), out + "/" + kName);
    // Named with the requested time, headed with the split frame's time.
    EXPECT_EQ(second->getFileName(), out + "/Court7~4b9e1a40~330~3~1~0.kov");
    EXPECT_TRUE(first->isValid());
    EXPECT_TRUE(second->isValid());
    EXPECT_DOUBLE_EQ(second->getStartTime(), kStart + 0.3);
    KovNavigatorAndFormatter header;
    header.setFileName(second->getFileName(), true);
    EXPECT_DOUBLE_EQ(header.fileHeaderIs().getStartTime(), kStart + 0.3);
    EXPECT_EQ(rawTimes(first->getFileName()).size(), 3u);
    EXPECT_EQ(rawTimes(second->getFileName()).size(), 7u);

    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(splitTime, out, first, second, 0.5f, nullptr, nullptr,
                                             CompressedVideoFile::kSplitLastPartOnly));
    EXPECT_FALSE(first);
    ASSERT_TRUE(second);
    EXPECT_FALSE(std::filesystem::exists(out + "/" + kName));

    // A name without a start time cannot name the parts.
    KovCompressedVideoFile unnamed(writeSample("plain.kov"));
    EXPECT_FALSE(
        unnamed.copyAndSplitAtEpochTime(splitTime, out, first, second, 0.5f, nullptr, nullptr, 0));
    EXPECT_NE(unnamed.getErrorText().find("plain.kov"), std::string::npos);
    // Splitting into its own directory would overwrite the file itself.
    EXPECT_FALSE(file.copyAndSplitAtEpochTime(splitTime, scratch_.path(), first, second, 0.5f,
                                              nullptr, nullptr, 0));
    EXPECT_EQ(file.getErrorText(),
              "Splitting not possible: a part would overwrite the file being split.");
    EXPECT_TRUE(file.isValid());
}

// Counts the files a two-point split leaves in the temporary directory.
size_t temporarySplitFiles(const std::string& directory) {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        count += entry.path().filename().string().rfind("KovSplit", 0) == 0;
    }
    return count;
}

TEST_F(KovCompressedVideoFileTest, SplitsAtTwoTimesThroughATemporaryFileThatIsRemoved) {
    const std::string temporaryDirectory = scratch_.path() + "/tmp";
    std::filesystem::create_directory(temporaryDirectory);
    const char* previousTmp = std::getenv("TMPDIR");
    const std::string savedTmp = previousTmp ? previousTmp : "";
    setenv("TMPDIR", temporaryDirectory.c_str(), 1);

    KovCompressedVideoFile file(writeSample());
    const std::string out = scratch_.path() + "/out";
    std::filesystem::create_directory(out);
    std::unique_ptr<CompressedVideoFile> first, second, third;
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(kStart + 0.2, kStart + 0.6, out, first, second, third,
                                             0.5f, nullptr, nullptr,
                                             CompressedVideoFile::kSplitAllParts))
        << file.getErrorText();
    ASSERT_TRUE(first && second && third);
    EXPECT_EQ(rawTimes(first->getFileName()).size(), 2u);
    EXPECT_EQ(rawTimes(second->getFileName()).size(), 4u);
    EXPECT_EQ(rawTimes(third->getFileName()).size(), 4u);
    EXPECT_EQ(second->getFileName(), out + "/Court7~4b9e1a40~200~3~1~0.kov");
    EXPECT_EQ(third->getFileName(), out + "/Court7~4b9e1a40~600~3~1~0.kov");
    EXPECT_DOUBLE_EQ(second->getStartTime(), kStart + 0.2);
    EXPECT_DOUBLE_EQ(third->getEndTime(), kStart + 0.9f);
    EXPECT_EQ(temporarySplitFiles(temporaryDirectory), 0u);

    // Mode 2: only the middle part.
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(kStart + 0.2, kStart + 0.6, out, first, second, third,
                                             0.5f, nullptr, nullptr,
                                             CompressedVideoFile::kSplitMiddlePartOnly));
    EXPECT_FALSE(first);
    EXPECT_FALSE(third);
    ASSERT_TRUE(second);
    EXPECT_EQ(rawTimes(second->getFileName()),
              (std::vector<double>{kStart + 0.2, kStart + 0.3, kStart + 0.4, kStart + 0.5}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 1);
    EXPECT_EQ(temporarySplitFiles(temporaryDirectory), 0u);

    // A failing second split still removes the temporary file, and says why.
    EXPECT_FALSE(file.copyAndSplitAtEpochTime(kStart + 0.2, kStart + 5.0, out, first, second, third,
                                              0.5f, nullptr, nullptr, 0));
    EXPECT_EQ(file.getErrorText(),
              "Splitting at requested point not possible: point was not within this file.");
    EXPECT_EQ(temporarySplitFiles(temporaryDirectory), 0u);

    if (previousTmp) {
        setenv("TMPDIR", savedTmp.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
}

TEST_F(KovCompressedVideoFileTest, OverlapsTimeRangesByTheSharedRule) {
    KovCompressedVideoFile file(writeSample());  // spans kStart .. kStart + 0.9
    EXPECT_TRUE(file.overlapsTimeRange(kStart - 1, kStart + 0.5, false));    // start inside
    EXPECT_TRUE(file.overlapsTimeRange(kStart + 0.5, kStart + 2, false));    // end inside
    EXPECT_TRUE(file.overlapsTimeRange(kStart + 0.2, kStart + 0.4, false));  // range inside file
    EXPECT_FALSE(file.overlapsTimeRange(kStart + 1, kStart + 2, false));
    EXPECT_FALSE(file.overlapsTimeRange(kStart + 0.2, kStart + 2, true));  // only part of it
    EXPECT_TRUE(file.overlapsTimeRange(kStart, kStart + 1, true));
}

}  // namespace
