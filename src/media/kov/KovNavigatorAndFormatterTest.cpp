#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "KovNavigatorAndFormatter.h"
#include "KovTestSupport.h"

namespace {

using namespace kovtest;

constexpr double kStart = 1268652608.0;

// A reader over `path`, refreshed.
std::unique_ptr<KovNavigatorAndFormatter> reader(const std::string& path) {
    auto navigator = std::make_unique<KovNavigatorAndFormatter>();
    navigator->setFileName(path, true);
    return navigator;
}

std::vector<double> readAllTimes(KovNavigatorAndFormatter& navigator) {
    std::vector<double> times;
    std::unique_ptr<VideoSegmentFrame> frame;
    while (navigator.getCurrentFrameAndAdvance(frame, nullptr)) {
        times.push_back(frame->getEpochTime());
    }
    return times;
}

// Positions at `time` and answers the time of the frame reached (or -1 when it failed).
double positionAt(KovNavigatorAndFormatter& navigator, double time, float tolerance = 1.0f) {
    if (!navigator.setCurrentFrameByWallClockTime(time, tolerance)) {
        return -1;
    }
    return navigator.getCurrentFrameEpochTime();
}

class KovNavigatorAndFormatterTest : public testing::Test {
protected:
    TemporaryDirectory scratch_{"kov-test-"};
};

TEST_F(KovNavigatorAndFormatterTest, WritesAChainedFileFrameByFrame) {
    const std::string path = scratch_.file("ten.kov");
    ASSERT_TRUE(writeKovFile(path, evenTimes(kStart, 0.1, 10), 300));
    const std::string bytes = readBytes(path);
    const size_t headerLength = rawHeaderLength(bytes);
    EXPECT_EQ(bytes.substr(0, 12), "<KOV_Header ");
    const std::vector<RawFrame> frames = rawFrames(bytes);
    ASSERT_EQ(frames.size(), 10u);
    EXPECT_EQ(frames[0].position, headerLength);
    EXPECT_EQ(bytes.size(), headerLength + 10 * (72 + 300));
    for (uint32_t i = 0; i < 10; ++i) {
        EXPECT_EQ(frames[i].marker, KovFrameHeader::kStartMarker);
        EXPECT_EQ(frames[i].frameNumber, i);
        EXPECT_EQ(frames[i].thisOffset, frames[i].position - headerLength);
        EXPECT_EQ(frames[i].epochTime, kStart + 0.1 * i);
        EXPECT_EQ(frames[i].timeStamp, i * 100u);
        EXPECT_EQ(frames[i].dataLength, 300u);
        EXPECT_EQ(static_cast<uint8_t>(frames[i].data[0]), i);
        EXPECT_EQ(frames[i].priorOffset, i == 0 ? 0u : frames[i - 1].thisOffset);
        EXPECT_EQ(frames[i].nextOffset, i == 9 ? frames[9].thisOffset : frames[i + 1].thisOffset);
    }
}

struct CallbackLog {
    std::string bytes;
    int finishedCalls = 0;
    bool nonZeroTime = false;
    std::string target;
    int refuseAfterCalls = -1;
    int calls = 0;
};

bool recordWrite(void* context, double time, const uint8_t* bytes, uint32_t count,
                 const std::string* target, bool finished) {
    auto* log = static_cast<CallbackLog*>(context);
    if (log->refuseAfterCalls >= 0 && log->calls >= log->refuseAfterCalls) {
        return false;
    }
    ++log->calls;
    log->nonZeroTime |= time != 0.0;
    log->target = *target;
    if (finished) {
        ++log->finishedCalls;
        EXPECT_EQ(bytes, nullptr);
        EXPECT_EQ(count, 0u);
    } else {
        log->bytes.append(reinterpret_cast<const char*>(bytes), count);
    }
    return true;
}

TEST_F(KovNavigatorAndFormatterTest, WritesThroughACallbackExactlyWhatItWritesToDisk) {
    const std::string path = scratch_.file("disk.kov");
    const std::vector<double> times = evenTimes(kStart, 0.05, 4);
    ASSERT_TRUE(writeKovFile(path, times, 200));

    CallbackLog log;
    KovNavigatorAndFormatter writer;
    writer.setFileName("named-target.kov", false);
    ASSERT_TRUE(writer.writeFileHeader(kStart, 1000, 64, 48, 10, "JPEG", recordWrite, &log));
    for (size_t i = 0; i < times.size(); ++i) {
        ASSERT_TRUE(writer.appendFrame(*dataFrame(times[i], 200, static_cast<uint8_t>(i), i * 100),
                                       i + 1 == times.size(), recordWrite, &log));
    }
    EXPECT_EQ(log.bytes, readBytes(path));
    EXPECT_EQ(log.finishedCalls, 1);
    EXPECT_FALSE(log.nonZeroTime);
    EXPECT_EQ(log.target, "named-target.kov");
    EXPECT_FALSE(std::filesystem::exists("named-target.kov"));

    // A callback that refuses fails the write.
    CallbackLog refusing;
    refusing.refuseAfterCalls = 2;
    KovNavigatorAndFormatter failing;
    failing.setFileName("x", false);
    EXPECT_TRUE(failing.writeFileHeader(kStart, 1, 1, 1, 1, "JPEG", recordWrite, &refusing));
    EXPECT_TRUE(failing.appendFrame(*dataFrame(kStart, 150), false, recordWrite, &refusing) ==
                false);
}

TEST_F(KovNavigatorAndFormatterTest, LearnsTheFileAndReadsItsFramesInOrder) {
    const std::string path = scratch_.file("read.kov");
    const std::vector<double> times = evenTimes(kStart + 0.5, 0.1, 10);
    ASSERT_TRUE(writeKovFile(path, times));
    auto navigator = reader(path);
    EXPECT_EQ(navigator->getFirstFrameEpochTime(), times.front());
    EXPECT_FLOAT_EQ(navigator->getTotalDuration(), 0.9f);
    EXPECT_TRUE(navigator->fileHeaderIs().isValid());
    EXPECT_TRUE(navigator->firstFrameHeaderIs().isValid());
    EXPECT_EQ(navigator->finalFrameHeaderIs().getFrameNumber(), 9u);
    EXPECT_EQ(navigator->fileSizeIs(), std::filesystem::file_size(path));
    // After a refresh of a file that was not open the read point is the first frame.
    EXPECT_EQ(navigator->getCurrentFrameEpochTime(), times.front());
    EXPECT_EQ(navigator->getCurrentTimeOffsetFromStart(), 0.0f);

    std::unique_ptr<VideoSegmentFrame> frame;
    ASSERT_TRUE(navigator->getCurrentFrame(frame));
    EXPECT_EQ(frame->getEpochTime(), times[0]);
    ASSERT_TRUE(navigator->getCurrentFrame(frame));  // does not move
    EXPECT_EQ(frame->getEpochTime(), times[0]);
    auto* image = dynamic_cast<CompressedImage*>(frame->getImage());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getDataLength(), 500u);
    EXPECT_EQ(image->getEncodingName(), "JPEG");
    EXPECT_EQ(image->getWidth(), 64u);
    EXPECT_EQ(frame->getHighResolutionTimeStamp(), 0u);

    EXPECT_EQ(readAllTimes(*navigator), times);
    bool endOfFile = false;
    EXPECT_FALSE(navigator->getCurrentFrameAndAdvance(frame, &endOfFile));
    EXPECT_TRUE(endOfFile);
    EXPECT_FALSE(frame);
    EXPECT_EQ(navigator->getCurrentFrameEpochTime(), 0.0);  // nothing to read there
    EXPECT_FLOAT_EQ(navigator->getCurrentTimeOffsetFromStart(), 0.9f);

    EXPECT_FALSE(navigator->setCurrentFrameByTimeOffsetFromCurrent(0.0, 1.0f));
    EXPECT_FALSE(navigator->reservedOperation(nullptr));
}

TEST_F(KovNavigatorAndFormatterTest, PositionsToTheNearestFrame) {
    const std::string path = scratch_.file("near.kov");
    // Frames a quarter second apart (exact in binary, so ties are ties), then a gap.
    std::vector<double> times = evenTimes(kStart, 0.25, 10);
    times.push_back(kStart + 3.5);
    ASSERT_TRUE(writeKovFile(path, times));
    auto navigator = reader(path);

    EXPECT_EQ(positionAt(*navigator, kStart + 1.0), kStart + 1.0);
    EXPECT_FLOAT_EQ(navigator->getCurrentTimeOffsetFromStart(), 1.0f);
    EXPECT_EQ(positionAt(*navigator, kStart + 1.6), kStart + 1.5);
    EXPECT_EQ(positionAt(*navigator, kStart + 0.45), kStart + 0.5);
    // Exactly between two frames: the frame reached first in the walk's direction.
    ASSERT_EQ(positionAt(*navigator, kStart), kStart);
    EXPECT_EQ(positionAt(*navigator, kStart + 0.375), kStart + 0.5);  // walking forwards
    ASSERT_EQ(positionAt(*navigator, kStart + 1.0), kStart + 1.0);
    EXPECT_EQ(positionAt(*navigator, kStart + 0.375), kStart + 0.25);  // walking backwards
    // Within 1/30 second of the read point nothing moves.
    ASSERT_EQ(positionAt(*navigator, kStart + 1.0), kStart + 1.0);
    EXPECT_EQ(positionAt(*navigator, kStart + 1.03), kStart + 1.0);
    // Across the gap to the final frame: the tolerance decides there, unless the frame before
    // the gap is nearer.
    ASSERT_EQ(positionAt(*navigator, kStart), kStart);
    EXPECT_EQ(positionAt(*navigator, kStart + 3.4, 0.5f), kStart + 3.5);
    ASSERT_EQ(positionAt(*navigator, kStart), kStart);
    EXPECT_EQ(positionAt(*navigator, kStart + 3.4, 0.05f), -1);
    ASSERT_EQ(positionAt(*navigator, kStart), kStart);
    EXPECT_EQ(positionAt(*navigator, kStart + 2.3, 0.05f), kStart + 2.25);

    // Outside the file: false, read point kept.
    ASSERT_EQ(positionAt(*navigator, kStart + 0.5), kStart + 0.5);
    EXPECT_FALSE(navigator->setCurrentFrameByWallClockTime(kStart - 0.01, 1.0f));
    EXPECT_FALSE(navigator->setCurrentFrameByWallClockTime(kStart + 3.51, 1.0f));
    EXPECT_FALSE(navigator->setCurrentFrameByWallClockTime(std::nan(""), 1.0f));
    EXPECT_EQ(navigator->getCurrentFrameEpochTime(), kStart + 0.5);

    EXPECT_TRUE(navigator->setCurrentFrameByTimeOffsetFromStart(1.25, 0.0f));
    EXPECT_EQ(navigator->getCurrentFrameEpochTime(), kStart + 1.25);
}

TEST_F(KovNavigatorAndFormatterTest, FindsFarTargetsFromTheByteRate) {
    const std::string path = scratch_.file("long.kov");
    // Ten minutes at 10 frames per second with frame sizes that vary.
    KovNavigatorAndFormatter writer;
    writer.setFileName(path, false);
    ASSERT_TRUE(writer.writeFileHeader(kStart, 1000, 64, 48, 10, "JPEG", nullptr, nullptr));
    const uint32_t frames = 6000;
    for (uint32_t i = 0; i < frames; ++i) {
        ASSERT_TRUE(writer.appendFrame(*dataFrame(kStart + i * 0.1, 100 + (i * 37) % 400),
                                       i + 1 == frames, nullptr, nullptr));
    }
    auto navigator = reader(path);
    for (double offset : {300.0, 12.3, 599.9, 0.0, 450.05, 599.85, 30.0, 599.9, 1.0}) {
        const double reached = positionAt(*navigator, kStart + offset);
        EXPECT_NEAR(reached, kStart + offset, 0.0501) << offset;
    }
    std::unique_ptr<VideoSegmentFrame> frame;
    ASSERT_TRUE(navigator->setCurrentFrameByWallClockTime(kStart + 421.3, 0.1f));
    ASSERT_TRUE(navigator->getCurrentFrameAndAdvance(frame, nullptr));
    EXPECT_NEAR(frame->getEpochTime(), kStart + 421.3, 1e-6);
    ASSERT_TRUE(navigator->getCurrentFrameAndAdvance(frame, nullptr));
    EXPECT_NEAR(frame->getEpochTime(), kStart + 421.4, 1e-6);
}

TEST_F(KovNavigatorAndFormatterTest, HandlesFramesLargerThanTheScanWindows) {
    const std::string path = scratch_.file("big.kov");
    // 150 kB frames: larger than both the 50 kB estimate scan and the 100 kB end scan.
    const std::vector<double> times = evenTimes(kStart, 1.0, 40);
    ASSERT_TRUE(writeKovFile(path, times, 150000));
    auto navigator = reader(path);
    EXPECT_TRUE(navigator->finalFrameHeaderIs().isValid());
    EXPECT_EQ(navigator->finalFrameHeaderIs().getEpochTime(), times.back());
    EXPECT_EQ(positionAt(*navigator, kStart + 25.2), kStart + 25.0);
    EXPECT_EQ(positionAt(*navigator, kStart + 39.0), kStart + 39.0);
    EXPECT_EQ(positionAt(*navigator, kStart + 3.0), kStart + 3.0);
}

TEST_F(KovNavigatorAndFormatterTest, IsNotFooledByMarkerBytesInsideFrameData) {
    const std::string path = scratch_.file("fake.kov");
    ASSERT_TRUE(writeKovFile(path, evenTimes(kStart, 1.0, 30), 2000));
    // Plant what looks like a frame header (marker, zero checksum) inside the last frame's data
    // and inside a frame in the middle.
    std::string bytes = readBytes(path);
    std::vector<RawFrame> frames = rawFrames(bytes);
    for (size_t index : {size_t{29}, size_t{12}}) {
        const size_t at = frames[index].position + 72 + 1000;
        std::string fake(72, '\0');
        fake.replace(0, 4, "\x0B\xAF\xF1\xED");
        fake[4] = 0x40;  // some epoch time
        bytes.replace(at, fake.size(), fake);
    }
    writeBytes(path, bytes);
    auto navigator = reader(path);
    EXPECT_EQ(navigator->finalFrameHeaderIs().getEpochTime(), kStart + 29.0);
    EXPECT_EQ(navigator->finalFrameHeaderIs().getFrameNumber(), 29u);
    EXPECT_EQ(positionAt(*navigator, kStart + 12.2), kStart + 12.0);
    EXPECT_EQ(positionAt(*navigator, kStart + 28.9), kStart + 29.0);
}

TEST_F(KovNavigatorAndFormatterTest, ASmallFileStillYieldsItsFinalFrame) {
    const std::string path = scratch_.file("small.kov");
    ASSERT_TRUE(writeKovFile(path, {kStart}, 120));
    auto navigator = reader(path);
    EXPECT_TRUE(navigator->finalFrameHeaderIs().isValid());
    EXPECT_EQ(navigator->getTotalDuration(), 0.0f);
    EXPECT_EQ(positionAt(*navigator, kStart), kStart);
    EXPECT_EQ(readAllTimes(*navigator), std::vector<double>{kStart});
}

TEST_F(KovNavigatorAndFormatterTest, FollowsAFileThatGrows) {
    const std::string full = scratch_.file("full.kov");
    const std::string growing = scratch_.file("growing.kov");
    ASSERT_TRUE(writeKovFile(full, evenTimes(kStart, 0.1, 6), 300));
    const std::string bytes = readBytes(full);
    const std::vector<RawFrame> frames = rawFrames(bytes);
    // The first three frames and half of the fourth are there so far.
    writeBytes(growing, bytes.substr(0, frames[3].position + 72 + 150));
    auto navigator = reader(growing);
    EXPECT_EQ(navigator->finalFrameHeaderIs().getEpochTime(), kStart + 0.3);
    EXPECT_EQ(readAllTimes(*navigator).size(), 3u);  // the fourth frame's data is not all there

    writeBytes(growing, bytes);
    EXPECT_TRUE(navigator->refreshIfFileChanged(false));
    EXPECT_EQ(navigator->finalFrameHeaderIs().getEpochTime(), kStart + 0.5);
    // The read point stayed at the fourth frame, which now reads in full.
    EXPECT_EQ(readAllTimes(*navigator),
              (std::vector<double>{kStart + 0.3, kStart + 0.4, kStart + 0.5}));
}

TEST_F(KovNavigatorAndFormatterTest, SplitsAtTheFrameNearestTheSplitTime) {
    const std::string path = scratch_.file("source.kov");
    const std::vector<double> times = evenTimes(kStart, 0.1, 10);
    ASSERT_TRUE(writeKovFile(path, times));
    auto navigator = reader(path);
    const std::string first = scratch_.file("first.kov");
    const std::string second = scratch_.file("second.kov");
    ASSERT_TRUE(navigator->splitAtEpochTime(times[2] + 0.01, first, second, 0.5f, nullptr, nullptr,
                                            KovNavigatorAndFormatter::kSplitBothParts))
        << navigator->getErrorText();
    EXPECT_EQ(navigator->getErrorText(), "");
    EXPECT_EQ(rawTimes(first), std::vector<double>(times.begin(), times.begin() + 2));
    EXPECT_EQ(rawTimes(second), std::vector<double>(times.begin() + 2, times.end()));

    auto firstPart = reader(first);
    auto secondPart = reader(second);
    EXPECT_EQ(firstPart->fileHeaderIs().getStartTime(), kStart);
    EXPECT_EQ(secondPart->fileHeaderIs().getStartTime(), times[2]);
    EXPECT_EQ(secondPart->fileHeaderIs().getFrameWidth(), 64u);
    EXPECT_EQ(secondPart->fileHeaderIs().getHighResolutionCounterFrequency(), 1000);
    const std::vector<RawFrame> firstFrames = rawFrames(readBytes(first));
    EXPECT_EQ(firstFrames.back().nextOffset, firstFrames.back().thisOffset);  // closed
    const std::vector<RawFrame> secondFrames = rawFrames(readBytes(second));
    EXPECT_EQ(secondFrames.front().frameNumber, 0u);
    EXPECT_EQ(secondFrames.front().priorOffset, 0u);
    EXPECT_EQ(secondFrames.back().frameNumber, 7u);
    // Frame data travel unchanged.
    EXPECT_EQ(secondFrames.front().data, rawFrames(readBytes(path))[2].data);

    // Mode 1 writes only the first part, mode 3 only the second.
    std::filesystem::remove(first);
    std::filesystem::remove(second);
    ASSERT_TRUE(navigator->splitAtEpochTime(times[5], first, second, 0.5f, nullptr, nullptr,
                                            KovNavigatorAndFormatter::kSplitFirstPartOnly));
    EXPECT_EQ(rawTimes(first).size(), 5u);
    EXPECT_FALSE(std::filesystem::exists(second));
    std::filesystem::remove(first);
    ASSERT_TRUE(navigator->splitAtEpochTime(times[5], first, second, 0.5f, nullptr, nullptr,
                                            KovNavigatorAndFormatter::kSplitSecondPartOnly));
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_EQ(rawTimes(second).size(), 5u);
}

TEST_F(KovNavigatorAndFormatterTest, SplitsAtTheEdgesIntoWholeFiles) {
    const std::string path = scratch_.file("edges.kov");
    const std::vector<double> times = evenTimes(kStart, 0.1, 5);
    ASSERT_TRUE(writeKovFile(path, times));
    auto navigator = reader(path);
    const std::string first = scratch_.file("a.kov");
    const std::string second = scratch_.file("b.kov");
    // At the final frame: the second part is that one frame, with its own header.
    ASSERT_TRUE(navigator->splitAtEpochTime(times[4], first, second, 0.5f, nullptr, nullptr, 0))
        << navigator->getErrorText();
    EXPECT_EQ(rawTimes(first).size(), 4u);
    EXPECT_EQ(rawTimes(second), std::vector<double>{times[4]});
    EXPECT_TRUE(reader(second)->fileHeaderIs().isValid());
    // At the second frame: the first part is the first frame alone, with its own header.
    ASSERT_TRUE(navigator->splitAtEpochTime(times[1], first, second, 0.5f, nullptr, nullptr, 0));
    EXPECT_EQ(rawTimes(first), std::vector<double>{times[0]});
    EXPECT_TRUE(reader(first)->fileHeaderIs().isValid());
    EXPECT_EQ(rawTimes(second).size(), 4u);
}

TEST_F(KovNavigatorAndFormatterTest, RefusesSplitsThatCannotBeDoneOrWouldDestroyData) {
    const std::string path = scratch_.file("refuse.kov");
    const std::vector<double> times = evenTimes(kStart, 0.1, 10);
    ASSERT_TRUE(writeKovFile(path, times));
    const std::string original = readBytes(path);
    auto navigator = reader(path);
    const std::string first = scratch_.file("first.kov");
    const std::string second = scratch_.file("second.kov");

    EXPECT_FALSE(
        navigator->splitAtEpochTime(kStart + 5.0, first, second, 0.5f, nullptr, nullptr, 0));
    EXPECT_EQ(navigator->getErrorText(),
              "Splitting at requested point not possible: point was not within this file.");
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_FALSE(std::filesystem::exists(second));

    // A part written over the file being split would lose it.
    EXPECT_FALSE(navigator->splitAtEpochTime(times[3], path, second, 0.5f, nullptr, nullptr, 0));
    EXPECT_EQ(navigator->getErrorText(),
              "Splitting not possible: a part would overwrite the file being split.");
    EXPECT_FALSE(navigator->splitAtEpochTime(times[3], first, scratch_.path() + "/./refuse.kov",
                                             0.5f, nullptr, nullptr, 3));
    EXPECT_FALSE(navigator->splitAtEpochTime(times[3], first, first, 0.5f, nullptr, nullptr, 0));
    EXPECT_EQ(navigator->getErrorText(),
              "Splitting not possible: both parts would be written to the same file.");
    EXPECT_EQ(readBytes(path), original);

    // A part that cannot be written.
    EXPECT_FALSE(navigator->splitAtEpochTime(times[3], scratch_.file("missing/dir.kov"), second,
                                             0.5f, nullptr, nullptr, 0));
    EXPECT_EQ(navigator->getErrorText(), "Failed to write header of first split part, path was \"" +
                                             scratch_.file("missing/dir.kov") + "\"");

    EXPECT_FALSE(std::filesystem::exists(second));

    // The source breaks off: the split reports where instead of leaving unfinished parts.
    writeBytes(path, original.substr(0, original.size() - 100));
    auto broken = reader(path);
    EXPECT_FALSE(broken->splitAtEpochTime(times[3], first, second, 0.5f, nullptr, nullptr, 0));
    EXPECT_EQ(broken->getErrorText(),
              "Failed to read a frame of the file being split: frame 10 (byte " +
                  std::to_string(rawFrames(original)[9].position) +
                  ") runs past the end of the file.");
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_FALSE(std::filesystem::exists(second));
}

TEST_F(KovNavigatorAndFormatterTest, SurvivesDamagedFiles) {
    const std::string path = scratch_.file("damaged.kov");
    ASSERT_TRUE(writeKovFile(path, evenTimes(kStart, 0.1, 20), 300));
    const std::string good = readBytes(path);
    const std::vector<RawFrame> frames = rawFrames(good);
    auto patched = [&](size_t at, const std::string& with) {
        std::string bytes = good;
        bytes.replace(at, with.size(), with);
        writeBytes(path, bytes);
        return reader(path);
    };
    std::unique_ptr<VideoSegmentFrame> frame;

    // A frame length far beyond the file: no frame, no giant allocation, the read point stays.
    auto navigator = patched(frames[3].position + 36, "\xFF\xFF\xFF\xF0");
    ASSERT_TRUE(navigator->setCurrentFrameByWallClockTime(kStart + 0.3, 0.0f));
    bool endOfFile = false;
    EXPECT_FALSE(navigator->getCurrentFrameAndAdvance(frame, &endOfFile));
    EXPECT_FALSE(navigator->getCurrentFrameAndAdvance(frame, &endOfFile));
    EXPECT_FALSE(frame);

    // A next offset pointing outside the file: walking stops there instead of wandering.
    navigator = patched(frames[5].position + 28, "\x7F\xFF\xFF\xFF");
    ASSERT_EQ(positionAt(*navigator, kStart), kStart);
    EXPECT_FALSE(navigator->setCurrentFrameByWallClockTime(kStart + 0.9, 0.5f));

    // A reserved word that is not zero: the header is not valid.
    navigator = patched(rawHeaderLength(good) - 2, "\x01");
    EXPECT_FALSE(navigator->fileHeaderIs().isValid());

    // Not a KOV file at all, an empty file, a missing file.
    std::string noise(70000, '\0');
    for (size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>((i * 2654435761u) >> 13);
    }
    writeBytes(path, noise);
    navigator = reader(path);
    EXPECT_FALSE(navigator->refreshFileInformation());
    EXPECT_FALSE(navigator->getCurrentFrameAndAdvance(frame, nullptr));
    EXPECT_FALSE(navigator->setCurrentFrameByWallClockTime(kStart, 1.0f));
    writeBytes(path, "");
    EXPECT_FALSE(reader(path)->refreshFileInformation());
    navigator = reader(scratch_.file("nowhere.kov"));
    EXPECT_FALSE(navigator->refreshFileInformation());
    EXPECT_FALSE(navigator->setCurrentFrameByWallClockTime(kStart, 1.0f));
    EXPECT_FALSE(navigator->splitAtEpochTime(kStart, "a", "b", 1.0f, nullptr, nullptr, 0));
}

}  // namespace
