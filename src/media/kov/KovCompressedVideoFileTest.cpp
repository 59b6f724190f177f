#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
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

TEST_F(KovCompressedVideoFileTest, SplitsAtTwoTimesLeavingNoTemporaryFile) {
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

    // A failing split leaves no temporary file either, and says why.
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

// ---- Every split accounts for every frame ------------------------------------------------------

// The frames of a written file by their counter values (unique per source frame in these tests).
std::vector<uint64_t> stampsOf(const std::string& path) {
    std::vector<uint64_t> stamps;
    for (const RawFrame& frame : rawFrames(readBytes(path))) {
        stamps.push_back(frame.timeStamp);
    }
    return stamps;
}

// The counter values writeKovFile gives frames [from, to).
std::vector<uint64_t> sourceStamps(size_t from, size_t to) {
    std::vector<uint64_t> stamps;
    for (size_t i = from; i < to; ++i) {
        stamps.push_back(i * 100);
    }
    return stamps;
}

// The start time a part's header holds for a first frame at `epochTime` (the header keeps
// milliseconds).
double headerTimeFor(double epochTime) {
    char text[64];
    std::snprintf(text, sizeof text, "%0.3f", epochTime);
    return std::strtod(text, nullptr);
}

double headerStartTime(const std::string& path) {
    KovNavigatorAndFormatter header;
    header.setFileName(path, true);
    return header.fileHeaderIs().getStartTime();
}

TEST_F(KovCompressedVideoFileTest, RepeatedFinalTimeStampLosesNoFrameAndMakesNoOverlap) {
    // Ten frames whose last two share a time.
    std::vector<double> times = evenTimes(kStart, 0.1, 9);
    times.push_back(times.back());
    const std::string path = scratch_.file(kName);
    ASSERT_TRUE(writeKovFile(path, times));
    KovCompressedVideoFile file(path);
    ASSERT_TRUE(file.isValid());
    const std::string out = scratch_.path() + "/out";
    std::filesystem::create_directory(out);

    std::unique_ptr<CompressedVideoFile> first, second, third;
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(times[4], out, first, second, 0.5f, nullptr, nullptr,
                                             CompressedVideoFile::kSplitAllParts))
        << file.getErrorText();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(stampsOf(first->getFileName()), sourceStamps(0, 4));
    EXPECT_EQ(stampsOf(second->getFileName()), sourceStamps(4, 10));
    EXPECT_TRUE(second->isValid());
    EXPECT_NEAR(second->getEndTime(), times.back(), 1e-3);

    // Cut at the repeated time itself: both frames of that time open the later part.
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(times[9], out, first, second, 0.5f, nullptr, nullptr,
                                             CompressedVideoFile::kSplitAllParts))
        << file.getErrorText();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(stampsOf(first->getFileName()), sourceStamps(0, 8));
    EXPECT_EQ(stampsOf(second->getFileName()), sourceStamps(8, 10));

    // Two cuts: three parts that follow one another without overlap.
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(times[2], times[6], out, first, second, third, 0.5f,
                                             nullptr, nullptr, CompressedVideoFile::kSplitAllParts))
        << file.getErrorText();
    ASSERT_TRUE(first && second && third);
    EXPECT_EQ(stampsOf(first->getFileName()), sourceStamps(0, 2));
    EXPECT_EQ(stampsOf(second->getFileName()), sourceStamps(2, 6));
    EXPECT_EQ(stampsOf(third->getFileName()), sourceStamps(6, 10));
}

TEST_F(KovCompressedVideoFileTest, SplitFrameOpensTheLaterPartEvenAtTheFirstFrame) {
    const std::vector<double> times = evenTimes(kStart + 0.25, 0.1, 6);
    const std::string path = scratch_.file(kName);
    ASSERT_TRUE(writeKovFile(path, times));
    KovCompressedVideoFile file(path);
    const std::string out = scratch_.path() + "/out";
    std::filesystem::create_directory(out);

    // A cut at the first frame: nothing comes before it, so no first part is written.
    std::unique_ptr<CompressedVideoFile> first, second, third;
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(times[0], out, first, second, 0.5f, nullptr, nullptr,
                                             CompressedVideoFile::kSplitAllParts))
        << file.getErrorText();
    EXPECT_FALSE(first);
    EXPECT_FALSE(std::filesystem::exists(out + "/" + kName));
    ASSERT_TRUE(second);
    EXPECT_EQ(stampsOf(second->getFileName()), sourceStamps(0, 6));
    EXPECT_EQ(headerStartTime(second->getFileName()), headerTimeFor(times[0]));

    // Two cuts in one frame: the middle part is empty; that frame opens the last part.
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(times[3] - 0.02, times[3] + 0.02, out, first, second,
                                             third, 0.5f, nullptr, nullptr,
                                             CompressedVideoFile::kSplitAllParts))
        << file.getErrorText();
    ASSERT_TRUE(first && third);
    EXPECT_FALSE(second);
    EXPECT_EQ(stampsOf(first->getFileName()), sourceStamps(0, 3));
    EXPECT_EQ(stampsOf(third->getFileName()), sourceStamps(3, 6));
    EXPECT_EQ(headerStartTime(third->getFileName()), headerTimeFor(times[3]));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 2);

    // Both cuts at the first frame: everything is the last part.
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(times[0], times[0] + 0.01, out, first, second, third,
                                             0.5f, nullptr, nullptr,
                                             CompressedVideoFile::kSplitAllParts))
        << file.getErrorText();
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    ASSERT_TRUE(third);
    EXPECT_EQ(stampsOf(third->getFileName()), sourceStamps(0, 6));
    EXPECT_EQ(headerStartTime(third->getFileName()), headerTimeFor(times[0]));
}

TEST_F(KovCompressedVideoFileTest, FinalFrameIsFoundWhateverItsOffsetClaims) {
    const std::vector<double> times = evenTimes(kStart, 0.1, 10);
    const std::string path = scratch_.file(kName);
    ASSERT_TRUE(writeKovFile(path, times));
    std::string bytes = readBytes(path);
    const std::vector<RawFrame> frames = rawFrames(bytes);
    // The last frame claims to lie where the one before it lies.
    std::string claimed(4, '\0');
    ByteOrder::writeBigEndian32(reinterpret_cast<uint8_t*>(claimed.data()), frames[8].thisOffset);
    bytes.replace(frames[9].position + 24, 4, claimed);
    writeBytes(path, bytes);

    KovCompressedVideoFile file(path);
    EXPECT_TRUE(file.isValid());
    EXPECT_EQ(file.navigator().finalFrameHeaderIs().getEpochTime(), times[9]);
    EXPECT_EQ(file.navigator().finalFrameHeaderIs().getFrameNumber(), 9u);
    double reached = 0;
    ASSERT_TRUE(file.setPositionByEpochTime(times[9], 0.05f, reached));
    EXPECT_EQ(reached, times[9]);

    const std::string out = scratch_.path() + "/out";
    std::filesystem::create_directory(out);
    std::unique_ptr<CompressedVideoFile> first, second;
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(times[5], out, first, second, 0.5f, nullptr, nullptr,
                                             CompressedVideoFile::kSplitAllParts))
        << file.getErrorText();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(stampsOf(first->getFileName()), sourceStamps(0, 5));
    EXPECT_EQ(stampsOf(second->getFileName()), sourceStamps(5, 10));
}

// Frame times of generated files: evenly and unevenly spaced, with runs of equal time stamps at
// the start, inside and at the end, and files of one and two frames.
std::vector<std::vector<double>> generatedTimeLists() {
    const double t = kStart + 0.25;
    std::vector<std::vector<double>> lists = {
        {t},
        {t, t},
        {t, t + 0.1},
        {t, t, t + 0.1},
        {t, t + 0.1, t + 0.1},
        {t, t + 0.1, t + 0.1, t + 0.1, t + 0.2},
        evenTimes(t, 0.1, 7),
    };
    std::mt19937 random(20261208);
    const double steps[] = {0.0, 0.0, 0.04, 0.1, 0.1, 0.37};
    for (int file = 0; file < 10; ++file) {
        const size_t count = 3 + random() % 8;
        std::vector<double> times{t};
        while (times.size() < count) {
            times.push_back(times.back() + steps[random() % std::size(steps)]);
        }
        if (file % 3 == 0) {
            times.push_back(times.back());  // the final time stamp repeats
        }
        lists.push_back(times);
    }
    return lists;
}

// Split times worth trying on a file: every frame time and every point midway between two times.
std::vector<double> cutCandidates(const std::vector<double>& times) {
    std::vector<double> candidates;
    for (size_t i = 0; i < times.size(); ++i) {
        if (i == 0 || times[i] != times[i - 1]) {
            if (i > 0) {
                candidates.push_back((times[i - 1] + times[i]) / 2);
            }
            candidates.push_back(times[i]);
        }
    }
    return candidates;
}

// Which frame a cut at `splitTime` opens the later part with: the nearest frame, on a tie the one
// not earlier than the time, and of frames sharing a time the first.
size_t expectedCut(const std::vector<double>& times, double splitTime) {
    size_t best = 0;
    for (size_t i = 1; i < times.size(); ++i) {
        const double distance = std::fabs(times[i] - splitTime);
        const double bestDistance = std::fabs(times[best] - splitTime);
        if (distance < bestDistance ||
            (distance == bestDistance && times[best] < splitTime && times[i] >= splitTime)) {
            best = i;
        }
    }
    return best;
}

// Collects what a split sends through its callback, per target file.
struct CapturedParts {
    std::map<std::string, std::string> bytes;
    std::set<std::string> finished;
    int refuseAfterCalls = -1;

    static bool write(void* context, double, const uint8_t* data, uint32_t length,
                      const std::string* target, bool finishedFlag) {
        auto* self = static_cast<CapturedParts*>(context);
        if (self->refuseAfterCalls == 0) {
            return false;
        }
        --self->refuseAfterCalls;
        if (finishedFlag) {
            self->finished.insert(*target);
        } else {
            self->bytes[*target].append(reinterpret_cast<const char*>(data), length);
        }
        return true;
    }
};

TEST_F(KovCompressedVideoFileTest, SplitsAccountForEveryFrameOfGeneratedFiles) {
    const std::string out = scratch_.path() + "/out";
    size_t splits = 0;
    for (const std::vector<double>& times : generatedTimeLists()) {
        const std::string path = scratch_.file(kName);
        ASSERT_TRUE(writeKovFile(path, times, 120));
        KovCompressedVideoFile file(path);
        ASSERT_TRUE(file.isValid());
        const std::vector<double> candidates = cutCandidates(times);
        std::string context;

        // Checks one split: part p holds frames [bounds[p], bounds[p + 1]) when the mode wants it
        // and it is not empty, and nothing else was written.
        auto check = [&](const std::vector<size_t>& bounds, const std::vector<bool>& wanted,
                         std::vector<std::unique_ptr<CompressedVideoFile>>& parts) {
            size_t written = 0;
            for (size_t p = 0; p < parts.size(); ++p) {
                const bool expected = wanted[p] && bounds[p] < bounds[p + 1];
                ASSERT_EQ(parts[p] != nullptr, expected) << context << " part " << p;
                if (!expected) {
                    continue;
                }
                ++written;
                const std::string name = parts[p]->getFileName();
                EXPECT_EQ(stampsOf(name), sourceStamps(bounds[p], bounds[p + 1]))
                    << context << " part " << p;
                EXPECT_EQ(headerStartTime(name), headerTimeFor(times[bounds[p]])) << context;
                EXPECT_TRUE(parts[p]->isValid()) << context;
            }
            EXPECT_EQ(static_cast<size_t>(std::distance(std::filesystem::directory_iterator(out),
                                                        std::filesystem::directory_iterator())),
                      written)
                << context;
        };
        auto freshOutput = [&] {
            std::filesystem::remove_all(out);
            std::filesystem::create_directory(out);
        };

        for (double cut : candidates) {
            const size_t k = expectedCut(times, cut);
            for (int mode : {0, 1, 3}) {
                context = ::testing::PrintToString(times) + " cut " + std::to_string(cut - kStart) +
                          " mode " + std::to_string(mode);
                freshOutput();
                std::vector<std::unique_ptr<CompressedVideoFile>> parts(2);
                ASSERT_TRUE(file.copyAndSplitAtEpochTime(cut, out, parts[0], parts[1], 10.0f,
                                                         nullptr, nullptr, mode))
                    << context << ": " << file.getErrorText();
                check({0, k, times.size()}, {mode != 3, mode != 1}, parts);
                ++splits;
            }
            // Through a callback the same bytes go out, and each part is finished once.
            CapturedParts captured;
            std::vector<std::unique_ptr<CompressedVideoFile>> parts(2);
            freshOutput();
            ASSERT_TRUE(file.copyAndSplitAtEpochTime(cut, out + "/cb", parts[0], parts[1], 10.0f,
                                                     &CapturedParts::write, &captured, 0));
            freshOutput();
            ASSERT_TRUE(file.copyAndSplitAtEpochTime(cut, out, parts[0], parts[1], 10.0f, nullptr,
                                                     nullptr, 0));
            EXPECT_EQ(captured.finished.size(), captured.bytes.size());
            EXPECT_EQ(captured.bytes.size(), size_t{k > 0} + 1);
            for (const auto& [target, bytes] : captured.bytes) {
                const std::string onDisk =
                    out + "/" + std::filesystem::path(target).filename().string();
                EXPECT_EQ(bytes, readBytes(onDisk)) << target;
            }
        }

        for (size_t i = 0; i < candidates.size(); ++i) {
            for (size_t j = i; j < candidates.size(); ++j) {
                const size_t k1 = expectedCut(times, candidates[i]);
                const size_t k2 = expectedCut(times, candidates[j]);
                for (int mode : {0, 1, 2, 3}) {
                    if (mode != 0 && (i + j + static_cast<size_t>(mode)) % 3 != 0) {
                        continue;  // every pair in mode 0, a third of them in each other mode
                    }
                    context = ::testing::PrintToString(times) + " cuts " +
                              std::to_string(candidates[i] - kStart) + ", " +
                              std::to_string(candidates[j] - kStart) + " mode " +
                              std::to_string(mode);
                    freshOutput();
                    std::vector<std::unique_ptr<CompressedVideoFile>> parts(3);
                    ASSERT_TRUE(file.copyAndSplitAtEpochTime(candidates[i], candidates[j], out,
                                                             parts[0], parts[1], parts[2], 10.0f,
                                                             nullptr, nullptr, mode))
                        << context << ": " << file.getErrorText();
                    check({0, k1, k2, times.size()},
                          {mode == 0 || mode == 1, mode == 0 || mode == 2, mode == 0 || mode == 3},
                          parts);
                    ++splits;
                }
            }
        }
    }
    EXPECT_GT(splits, 1000u);
}

TEST_F(KovCompressedVideoFileTest, SplitsOfFilesWithBackwardTimeStampsStillPartitionTheFrames) {
    // Which frame a cut opens is the nearest-frame rule's business; whatever it is, the parts
    // together are the file, in order, each headed with its own first frame's time.
    const double t = kStart + 0.25;
    const std::vector<std::vector<double>> lists = {
        {t, t + 0.3, t + 0.1, t + 0.2, t + 0.5},
        {t, t + 0.2, t + 0.2, t + 0.1, t + 0.1, t + 0.4, t + 0.4},
        {t + 0.3, t, t + 0.3},
    };
    const std::string out = scratch_.path() + "/out";
    for (const std::vector<double>& times : lists) {
        const std::string path = scratch_.file(kName);
        ASSERT_TRUE(writeKovFile(path, times, 120));
        KovCompressedVideoFile file(path);
        for (double first = t; first <= t + 0.5; first += 0.05) {
            for (double second = first; second <= t + 0.5; second += 0.1) {
                std::filesystem::remove_all(out);
                std::filesystem::create_directory(out);
                std::vector<std::unique_ptr<CompressedVideoFile>> parts(3);
                if (!file.copyAndSplitAtEpochTime(first, second, out, parts[0], parts[1], parts[2],
                                                  10.0f, nullptr, nullptr, 0)) {
                    // Only a time outside the first to the last frame is refused.
                    EXPECT_TRUE(first < times.front() || second > times.back())
                        << file.getErrorText();
                    continue;
                }
                std::vector<uint64_t> together;
                for (const auto& part : parts) {
                    if (part) {
                        const std::vector<uint64_t> stamps = stampsOf(part->getFileName());
                        ASSERT_FALSE(stamps.empty());
                        EXPECT_EQ(headerStartTime(part->getFileName()),
                                  headerTimeFor(times[stamps.front() / 100]));
                        together.insert(together.end(), stamps.begin(), stamps.end());
                    }
                }
                EXPECT_EQ(together, sourceStamps(0, times.size()))
                    << ::testing::PrintToString(times) << " " << first - t << " " << second - t;
            }
        }
    }
}

TEST_F(KovCompressedVideoFileTest, SplitThatCannotAccountForEveryFrameFailsAndLeavesNothing) {
    const std::vector<double> times = evenTimes(kStart, 0.1, 10);
    const std::string path = scratch_.file(kName);
    ASSERT_TRUE(writeKovFile(path, times));
    const std::string good = readBytes(path);
    const std::vector<RawFrame> frames = rawFrames(good);
    const std::string out = scratch_.path() + "/out";
    std::filesystem::create_directory(out);
    auto outputCount = [&] {
        return std::distance(std::filesystem::directory_iterator(out),
                             std::filesystem::directory_iterator());
    };
    std::unique_ptr<CompressedVideoFile> first, second, third;

    // A frame in the middle whose marker is damaged: the frames after it would be lost.
    std::string bytes = good;
    bytes[frames[6].position] = 'X';
    writeBytes(path, bytes);
    {
        KovCompressedVideoFile file(path);
        ASSERT_TRUE(file.isValid());
        EXPECT_FALSE(
            file.copyAndSplitAtEpochTime(times[2], out, first, second, 0.5f, nullptr, nullptr, 0));
        EXPECT_EQ(file.getErrorText(),
                  "Failed to read a frame of the file being split: there is no frame at byte " +
                      std::to_string(frames[6].position) + ", after 6 frames; the " +
                      std::to_string(good.size() - frames[6].position) +
                      " bytes from there on belong to no part.");
        EXPECT_FALSE(file.copyAndSplitAtEpochTime(times[2], times[4], out, first, second, third,
                                                  0.5f, nullptr, nullptr, 0));
        EXPECT_EQ(outputCount(), 0);
    }

    // Bytes after the final frame that are no frame.
    writeBytes(path, good + std::string(300, '\0'));
    {
        KovCompressedVideoFile file(path);
        ASSERT_TRUE(file.isValid());
        EXPECT_FALSE(
            file.copyAndSplitAtEpochTime(times[2], out, first, second, 0.5f, nullptr, nullptr, 0));
        EXPECT_NE(file.getErrorText().find("after 10 frames; the 300 bytes"), std::string::npos)
            << file.getErrorText();
        EXPECT_EQ(outputCount(), 0);
    }

    // A part that cannot be written: the part already written is removed again.
    writeBytes(path, good);
    KovNavigatorAndFormatter navigator;
    navigator.setFileName(path, true);
    const std::string firstPath = out + "/first.kov";
    EXPECT_FALSE(navigator.splitAtEpochTime(times[4], firstPath, out + "/missing/second.kov", 0.5f,
                                            nullptr, nullptr, 0));
    EXPECT_EQ(navigator.getErrorText(), "Failed to write header of second split part, path was \"" +
                                            out + "/missing/second.kov\"");
    EXPECT_EQ(outputCount(), 0);

    // A callback that gives up: the split says so, and no part is reported finished.
    CapturedParts captured;
    captured.refuseAfterCalls = 5;  // header and two frames
    EXPECT_FALSE(navigator.splitAtEpochTime(times[4], "first.kov", "second.kov", 0.5f,
                                            &CapturedParts::write, &captured, 0));
    EXPECT_EQ(navigator.getErrorText(), "Failed to write frame to first part");
    EXPECT_TRUE(captured.finished.empty());

    // Split times out of order.
    KovCompressedVideoFile file(path);
    EXPECT_FALSE(file.copyAndSplitAtEpochTime(times[6], times[2], out, first, second, third, 0.5f,
                                              nullptr, nullptr, 0));
    EXPECT_EQ(file.getErrorText(),
              "Splitting at requested points not possible: the points are not in ascending "
              "order.");
    EXPECT_EQ(outputCount(), 0);
}

// Found by fuzzing: a file whose offset chain leads back to a frame already passed, with a final
// frame number in the billions, kept positioning by time walking round the chain for hours.
constexpr uint8_t kOffsetChainLeadingBack[] = {
    0x3c, 0x4b, 0x4f, 0x56, 0x5f, 0x48, 0x65, 0x61, 0x64, 0x65, 0x72, 0x20, 0x46, 0x6f, 0x72, 0x6d,
    0x61, 0x74, 0x56, 0x65, 0x72, 0x73, 0x69, 0x6f, 0x6e, 0x4d, 0x61, 0x6a, 0x6f, 0x72, 0x3d, 0x22,
    0x31, 0x22, 0x20, 0x46, 0x6f, 0x4d, 0x69, 0x6e, 0x6f, 0x72, 0x3d, 0x22, 0x31, 0x22, 0x3e, 0x3c,
    0x53, 0x74, 0x61, 0x72, 0x74, 0x5f, 0x54, 0x69, 0x6d, 0x65, 0x3e, 0x31, 0x32, 0x36, 0x38, 0x36,
    0x35, 0x32, 0x36, 0x30, 0x38, 0x2e, 0x32, 0x35, 0x30, 0x3c, 0x2f, 0x53, 0x74, 0x61, 0x72, 0x74,
    0x5f, 0x54, 0x69, 0x6d, 0x65, 0x3e, 0x3c, 0x48, 0x69, 0x67, 0x68, 0x5f, 0x52, 0x65, 0x73, 0x6f,
    0x6c, 0x75, 0x74, 0x69, 0x6f, 0x6e, 0x5f, 0x43, 0x6f, 0x75, 0x6e, 0x74, 0x65, 0x72, 0x5f, 0x46,
    0x72, 0x65, 0x71, 0x75, 0x65, 0x6e, 0x63, 0x79, 0x3e, 0x31, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30,
    0x30, 0x3c, 0x2f, 0x48, 0x69, 0x67, 0x68, 0x5f, 0x52, 0x65, 0x73, 0x6f, 0x6c, 0x75, 0x74, 0x69,
    0x6f, 0x6e, 0x5f, 0x43, 0x6f, 0x75, 0x6e, 0x74, 0x65, 0x72, 0x5f, 0x46, 0x72, 0x65, 0x71, 0x75,
    0x65, 0x6e, 0x63, 0x79, 0x3e, 0x3c, 0x46, 0x72, 0x61, 0x6d, 0x65, 0x5f, 0x57, 0x69, 0x64, 0x74,
    0x68, 0x3e, 0x38, 0x3c, 0x2f, 0x46, 0x72, 0x61, 0x6d, 0x65, 0x5f, 0x57, 0x69, 0x64, 0x74, 0x68,
    0x3e, 0x3c, 0x46, 0x72, 0x61, 0x6d, 0x65, 0x5f, 0x48, 0x65, 0x69, 0x67, 0x68, 0x74, 0x3e, 0x36,
    0x3c, 0x2f, 0x46, 0x72, 0x61, 0x6d, 0x65, 0x5f, 0x48, 0x65, 0x69, 0x67, 0x68, 0x74, 0x3e, 0x3c,
    0x54, 0x61, 0x72, 0x67, 0x65, 0x74, 0x5f, 0x46, 0x72, 0x61, 0x6d, 0x65, 0x5f, 0x52, 0x61, 0x74,
    0x65, 0x3e, 0x34, 0x3c, 0x2f, 0x54, 0x61, 0x72, 0x67, 0x65, 0x74, 0x5f, 0x46, 0x72, 0x61, 0x6d,
    0x65, 0x5f, 0x52, 0x61, 0x74, 0x65, 0x3e, 0x3c, 0x46, 0x72, 0x61, 0x6d, 0x65, 0x5f, 0x48, 0x65,
    0x61, 0x64, 0x65, 0x72, 0x5f, 0x46, 0x6f, 0x72, 0x6d, 0x61, 0x74, 0x3e, 0x3c, 0x46, 0x72, 0x61,
    0x6d, 0x65, 0x5f, 0x48, 0x65, 0x61, 0x64, 0x65, 0x72, 0x5f, 0x46, 0x69, 0x65, 0x6c, 0x64, 0x20,
    0x6e, 0x61, 0x6d, 0x65, 0x3d, 0x22, 0x45, 0x70, 0x6f, 0x63, 0x68, 0x5f, 0x54, 0x69, 0x6d, 0x65,
    0x22, 0x20, 0x6f, 0x66, 0x66, 0x73, 0x65, 0x74, 0x3d, 0x22, 0x34, 0x22, 0x20, 0x6c, 0x65, 0x6e,
    0x67, 0x74, 0x68, 0x3d, 0x22, 0x34, 0x22, 0x20, 0x66, 0x6f, 0x72, 0x6d, 0x61, 0x74, 0x3d, 0x22,
    0x49, 0x45, 0x45, 0x45, 0x20, 0x44, 0x6f, 0x75, 0x62, 0x6c, 0x65, 0x22, 0x20, 0x2f, 0x3e, 0x3c,
    0x46, 0x72, 0x61, 0x6d, 0x65, 0x5f, 0x48, 0x65, 0x61, 0x64, 0x65, 0x72, 0x5f, 0x46, 0x69, 0x65,
    0x6c, 0x64, 0x20, 0x6e, 0x61, 0x6d, 0x65, 0x3d, 0x22, 0x46, 0x72, 0x61, 0x6d, 0x65, 0x5f, 0x44,
    0x61, 0x74, 0x61, 0x5f, 0x43, 0x68, 0x65, 0x63, 0x6b, 0x73, 0x75, 0x6d, 0x22, 0x20, 0x6f, 0x66,
    0x66, 0x73, 0x65, 0x74, 0x3d, 0x22, 0x34, 0x34, 0x22, 0x20, 0x6c, 0x65, 0x6e, 0x67, 0x74, 0x68,
    0x3d, 0x22, 0x38, 0x22, 0x20, 0x66, 0x6f, 0x68, 0x3d, 0x22, 0x38, 0x22, 0x20, 0x66, 0x6f, 0x72,
    0x6d, 0x61, 0x74, 0x3d, 0x22, 0x55, 0x6e, 0x73, 0x69, 0x67, 0x6e, 0x65, 0x64, 0x20, 0x4c, 0x6f,
    0x6e, 0x67, 0x20, 0x49, 0x6e, 0x74, 0x65, 0x67, 0x65, 0x72, 0x22, 0x20, 0x2f, 0x3e, 0x3c, 0x46,
    0x72, 0x61, 0x6d, 0x65, 0x5f, 0x48, 0x65, 0x61, 0x64, 0x65, 0x72, 0x5f, 0x46, 0x69, 0x65, 0x6c,
    0x64, 0x20, 0x6e, 0x61, 0x6d, 0x65, 0x3d, 0x22, 0x48, 0x65, 0x61, 0x64, 0x65, 0x72, 0x5f, 0x43,
    0x68, 0x65, 0x63, 0x6b, 0x73, 0x75, 0x6d, 0x22, 0x20, 0x6f, 0x66, 0x66, 0x73, 0x65, 0x74, 0x3d,
    0x22, 0x34, 0x30, 0x22, 0x20, 0x6c, 0x65, 0x6e, 0x67, 0x74, 0x68, 0x3d, 0x22, 0x38, 0x22, 0x20,
    0x66, 0x6f, 0x72, 0x6d, 0x61, 0x74, 0x3d, 0x22, 0x55, 0x6e, 0x73, 0x69, 0x67, 0x6e, 0x65, 0x64,
    0x20, 0x55, 0x6e, 0x73, 0x69, 0x67, 0x6e, 0x65, 0x64, 0x20, 0x4c, 0x6f, 0x6e, 0x67, 0x74, 0x65,
    0x72, 0x22, 0x20, 0x2f, 0x3e, 0x3c, 0x46, 0x72, 0x61, 0x6d, 0x65, 0x5f, 0x48, 0x65, 0x61, 0x64,
    0x65, 0x72, 0x5f, 0x46, 0x69, 0x65, 0x6c, 0x64, 0x20, 0x6e, 0x61, 0x6d, 0x65, 0x3d, 0x22, 0x4f,
    0x66, 0x66, 0x73, 0x65, 0x74, 0x5f, 0x54, 0x6f, 0x5f, 0x4e, 0x65, 0x78, 0x74, 0x5f, 0x46, 0x72,
    0x61, 0x6d, 0x65, 0x22, 0x20, 0x6f, 0x66, 0x66, 0x73, 0x65, 0x74, 0x3d, 0x22, 0x35, 0x34, 0x22,
    0x20, 0x6c, 0x65, 0x6e, 0x67, 0x74, 0x68, 0x3d, 0x22, 0x38, 0x22, 0x20, 0x66, 0x6f, 0x72, 0x6d,
    0x61, 0x74, 0x3d, 0x22, 0x55, 0x6e, 0x73, 0x69, 0x67, 0x6e, 0x65, 0x64, 0x20, 0x4c, 0x6f, 0x6e,
    0x67, 0x20, 0x49, 0x6e, 0x74, 0x65, 0x67, 0x65, 0x72, 0x22, 0x20, 0x2f, 0x3e, 0x3c, 0x46, 0x72,
    0x61, 0x6d, 0x65, 0x5f, 0x48, 0x65, 0x61, 0x64, 0x65, 0x72, 0x5f, 0x46, 0x69, 0x65, 0x6c, 0x64,
    0x20, 0x6e, 0x61, 0x6d, 0x65, 0x3d, 0x22, 0x4f, 0x66, 0x66, 0x73, 0x65, 0x74, 0x5f, 0x54, 0x6f,
    0x21, 0x50, 0x72, 0x69, 0x6f, 0x72, 0x5f, 0x46, 0x72, 0x61, 0x6d, 0x65, 0x22, 0x20, 0x6f, 0x66,
    0x66, 0x73, 0x65, 0x74, 0x65, 0x72, 0x6d, 0x61, 0x74, 0x3d, 0x22, 0x55, 0x6e, 0x73, 0x69, 0x67,
    0x6e, 0x65, 0x64, 0x20, 0x4c, 0x6f, 0x6e, 0x67, 0x20, 0x49, 0x6e, 0x74, 0x65, 0x67, 0x65, 0x72,
    0x22, 0x20, 0x2f, 0x3e, 0x3c, 0x2f, 0x46, 0x72, 0x61, 0x6d, 0x65, 0x5f, 0x48, 0x65, 0x61, 0x64,
    0x65, 0x72, 0x5f, 0x46, 0x6f, 0x72, 0x6d, 0x61, 0x74, 0x3e, 0x3c, 0x2f, 0x4b, 0x4f, 0x56, 0x5f,
    0x48, 0x65, 0x61, 0x64, 0x65, 0x72, 0x3e, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0b, 0xaf, 0xf1, 0xed,
    0x00, 0x00, 0x10, 0x90, 0x86, 0xe7, 0xd2, 0x41, 0x00, 0x00, 0x00, 0x00, 0x02, 0x9d, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0d, 0x0d, 0x0e, 0x1d, 0x15, 0x16, 0x19, 0xce,
    0xa7, 0x6b, 0xa7, 0x6a, 0xb7, 0x73, 0x5c, 0x48, 0x96, 0x32, 0xea, 0x02, 0xe0, 0x28, 0x6f, 0xb0,
    0x03, 0x65, 0x24, 0xb1, 0x2d, 0xb2, 0x65, 0x42, 0x6d, 0x0c, 0x8c, 0x40, 0xda, 0x37, 0x22, 0x01,
    0xb4, 0x46, 0x19, 0x8a, 0x28, 0xa0, 0x0f, 0xff, 0xd9, 0x0b, 0xaf, 0xf1, 0xed, 0x00, 0x00, 0x20,
    0x90, 0x86, 0xe7, 0xd2, 0x41, 0x00, 0x00, 0x00, 0x00, 0x00, 0x26, 0x25, 0xa0, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x00, 0x02, 0xe5, 0x00, 0x00, 0x05, 0xca, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02,
    0x9d, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x02, 0x01, 0x02, 0x04, 0x04, 0x03, 0x04, 0x07, 0x05, 0x04, 0x04, 0x02, 0x00,
    0x01, 0x77, 0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22, 0x32, 0x81,
    0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0xd9,
};

TEST(KovCompressedVideoFileRegression, OffsetChainLeadingBackEndsTheSearch) {
    TemporaryDirectory scratch{"kov-regression-"};
    const std::string path = scratch.file("chain~4b9e1a40~0~1~0~0.kov");
    writeBytes(path, std::string(reinterpret_cast<const char*>(kOffsetChainLeadingBack),
                                 sizeof kOffsetChainLeadingBack));
    KovCompressedVideoFile video(path);
    const double start = video.getStartTime();
    const double end = video.getEndTime();
    double reached = 0;
    // The first frame is still found; the walk towards later ones stops where the chain turns
    // back, at once, instead of going round it.
    EXPECT_TRUE(video.setPositionByEpochTime(start, 0.5f, reached));
    EXPECT_EQ(reached, start);
    EXPECT_FALSE(video.setPositionByEpochTime(start + (end - start) * 0.5, 0.5f, reached));
    EXPECT_FALSE(video.setPositionByEpochTime(end, 0.5f, reached));
}

}  // namespace
