#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "EncodedAudioChunk.h"
#include "KorvalisMp3CompressedAudioFile.h"
#include "Mp3FrameStamp.h"
#include "Mp3TestFiles.h"
#include "TemporaryDirectory.h"

namespace fs = std::filesystem;
using mp3test::readBytes;

namespace {

constexpr double kStart = 1268662016.25;
constexpr float kFrame = 0.036f;

class KorvalisMp3CompressedAudioFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Directories may hold "." and "~": only the file name is read.
        root_ = directory_.path() + "/archive.v2~copy";
        fs::create_directories(root_ + "/out.d");
    }
    // A timed file named by the scheme, written by the product's writer.
    std::string timedFile(double start, double seconds, double stampInterval = 1.0,
                          double stampOffset = 0.0) {
        const std::string path = MediaFileName("LOC", start, 7, 8, 9).pathIn(root_, "mp3");
        mp3test::writeTimedFile(path, start, seconds, stampInterval, stampOffset);
        return path;
    }
    // Indexes of the frames of `path` that carry a stamp.
    static std::vector<size_t> stampedFrames(const std::string& path) {
        const std::vector<uint8_t> bytes = readBytes(path);
        std::vector<size_t> frames;
        for (size_t offset = 0; offset + 144 <= bytes.size(); offset += 144) {
            double stamp = 0;
            if (Mp3FrameStamp::find(bytes.data() + offset, 144, stamp)) {
                frames.push_back(offset / 144);
            }
        }
        return frames;
    }

    TemporaryDirectory directory_{"timed-mp3-"};
    std::string root_;
};

TEST_F(KorvalisMp3CompressedAudioFileTest, NameGivesStartTimeAndNumbers) {
    const std::string path = root_ + "/LOC~4b9e3f00~250~1~2~0.mp3";
    mp3test::writeBytes(path, mp3test::frameRun(mp3test::kRecorderHeader, 10));
    KorvalisMp3CompressedAudioFile file(path, true);
    EXPECT_TRUE(file.isValid());
    const long double expected = 1268662016.0L + 250.0L * static_cast<long double>(0.001f);
    EXPECT_EQ(file.getStartTime(), static_cast<double>(expected));
    EXPECT_EQ(file.getFirstNameNumber(), 1);
    EXPECT_EQ(file.name().prefix(), "LOC");
    EXPECT_EQ(file.name().n2(), 2);
    EXPECT_FALSE(file.mpegAudioFile().isOpen()) << "construction leaves no file open";

    EXPECT_TRUE(file.isValidFileName("LOC~4b9e3f00~250~1~2.mp3")) << "N3 may be left out";
    EXPECT_FALSE(file.isValidFileName("LOC~4b9e3f00~250~1.mp3")) << "three ~";

    const std::string threeTildes = root_ + "/LOC~4b9e3f00~250~1.mp3";
    mp3test::writeBytes(threeTildes, mp3test::frameRun(mp3test::kRecorderHeader, 10));
    EXPECT_FALSE(KorvalisMp3CompressedAudioFile(threeTildes, true).isValid());
    const std::string notAudio = root_ + "/LOC~4b9e3f00~250~1~2~0.txt.mp3";
    mp3test::writeBytes(notAudio, {'n', 'o', 't', ' ', 'm', 'p', '3'});
    KorvalisMp3CompressedAudioFile bad(notAudio, true);
    EXPECT_FALSE(bad.isValid());
    std::unique_ptr<EncodedAudioChunk> chunk;
    bool endOfFile = false;
    EXPECT_FALSE(bad.getNextEncodedChunk(chunk, endOfFile, 0.144f));
    EXPECT_FALSE(chunk);
}

TEST_F(KorvalisMp3CompressedAudioFileTest, ChunksWithoutStampsFollowTheNameClock) {
    KorvalisMp3CompressedAudioFile file(timedFile(kStart, 1.0, 0.0), true);
    ASSERT_TRUE(file.isValid());
    EXPECT_EQ(file.getFrameSize(), 144u);
    EXPECT_EQ(file.getEncodedFrameSize(), 144u);
    EXPECT_FLOAT_EQ(file.getEncodedFrameDuration(), kFrame);
    std::unique_ptr<EncodedAudioChunk> chunk;
    bool endOfFile = false;
    double expectedStart = file.getStartTime();
    uint32_t frames = 0;
    while (file.getNextEncodedChunk(chunk, endOfFile, 0.144f)) {
        EXPECT_EQ(chunk->formatNameIs(), "MPEG Audio");
        EXPECT_EQ(chunk->sampleRateIs(), 16000u);
        EXPECT_NEAR(chunk->startTimeIs(), expectedStart, 1e-6);
        EXPECT_EQ(chunk->numberOfSamplesIs(), chunk->validLengthIs() / 144 * 576);
        frames += chunk->validLengthIs() / 144;
        expectedStart += chunk->validLengthIs() / 144 * 0.036;
        EXPECT_NEAR(file.getCurrentEpochTime(), expectedStart, 1e-5);
        if (endOfFile) {
            break;
        }
    }
    EXPECT_TRUE(endOfFile);
    EXPECT_EQ(frames, 28u) << "1.0 s is 28 frames; the last chunk holds what is left";
    EXPECT_FALSE(file.getNextEncodedChunk(chunk, endOfFile, 0.144f));
    EXPECT_FALSE(file.getNextEncodedChunk(chunk, endOfFile, 0.0f)) << "no frames asked for";

    // Absurd durations give bounded chunks or none, never a huge allocation.
    float reached = 0;
    ASSERT_TRUE(file.setPositionByTimeOffset(0.0f, 1.0f, reached));
    EXPECT_FALSE(file.getNextEncodedChunk(chunk, endOfFile, std::nanf("")));
    EXPECT_FALSE(file.getNextEncodedChunk(chunk, endOfFile, -1.0f));
    ASSERT_TRUE(file.getNextEncodedChunk(chunk, endOfFile, 1e30f));
    EXPECT_EQ(chunk->validLengthIs(), 28u * 144) << "the whole file, as one chunk";
}

TEST_F(KorvalisMp3CompressedAudioFileTest, StampInAChunkAnchorsTheClock) {
    // Stamps run 0.5 s ahead of the name's clock.
    const std::string path = timedFile(kStart, 4.0, 1.0, 0.5);
    const std::vector<size_t> stamped = stampedFrames(path);
    ASSERT_GE(stamped.size(), 2u);
    const size_t target = stamped[1];
    KorvalisMp3CompressedAudioFile file(path, true);
    // Start reading two frames before the stamped frame: it is the chunk's third frame.
    float reached = 0;
    ASSERT_TRUE(file.setPositionByTimeOffset((target - 2) * kFrame, 0.001f, reached));
    EXPECT_NEAR(file.getCurrentEpochTime(), kStart + (target - 2) * 0.036, 1e-5);
    std::unique_ptr<EncodedAudioChunk> chunk;
    bool endOfFile = false;
    ASSERT_TRUE(file.getNextEncodedChunk(chunk, endOfFile, 0.144f));
    const double stamp = kStart + target * 0.036 + 0.5;
    EXPECT_NEAR(chunk->startTimeIs(), stamp - 2 * 0.036, 1e-6);
    EXPECT_NEAR(file.anchorEpochTime(), stamp, 1e-9);
    EXPECT_EQ(file.anchorBytePosition(), static_cast<int64_t>(target * 144));
    // From here on the clock counts from the anchor.
    EXPECT_NEAR(file.getCurrentEpochTime(), stamp + 2 * 0.036, 1e-6);

    // A file read without stamps keeps the name's clock.
    KorvalisMp3CompressedAudioFile plain(path, false);
    ASSERT_TRUE(plain.setPositionByTimeOffset((target - 2) * kFrame, 0.001f, reached));
    ASSERT_TRUE(plain.getNextEncodedChunk(chunk, endOfFile, 0.144f));
    EXPECT_NEAR(chunk->startTimeIs(), kStart + (target - 2) * 0.036, 1e-5);
    EXPECT_LT(plain.anchorEpochTime(), 0.0);
}

TEST_F(KorvalisMp3CompressedAudioFileTest, PositionsByOffsetAndEpochTime) {
    KorvalisMp3CompressedAudioFile file(timedFile(kStart, 10.0), true);
    float reached = -1;
    EXPECT_FALSE(file.setPositionByTimeOffset(-0.5f, 1.0f, reached));
    EXPECT_FALSE(file.setPositionByTimeOffset(1.0f, 0.001f, reached)) << "out of tolerance";
    ASSERT_TRUE(file.setPositionByTimeOffset(1.0f, 0.036f, reached));
    EXPECT_FLOAT_EQ(reached, 27 * kFrame);
    EXPECT_FLOAT_EQ(file.getCurrentTimeOffset(), 27 * kFrame);

    double reachedEpoch = 0;
    ASSERT_TRUE(file.setPositionByEpochTime(kStart + 5.0, 0.036f, reachedEpoch));
    EXPECT_NEAR(reachedEpoch, kStart + 138 * 0.036, 1e-5);
    EXPECT_FALSE(file.setPositionByEpochTime(kStart + 11.0, 1.0f, reachedEpoch));
    EXPECT_DOUBLE_EQ(reachedEpoch, kStart) << "written even when positioning fails";
    ASSERT_TRUE(file.setPositionByEpochTime(file.getEndTime(), 0.1f, reachedEpoch))
        << "the end itself is inside";
}

TEST_F(KorvalisMp3CompressedAudioFileTest, CheckpointRestoresPositionAndAnchor) {
    KorvalisMp3CompressedAudioFile file(timedFile(kStart, 6.0, 1.0, 0.25), true);
    std::unique_ptr<EncodedAudioChunk> chunk;
    bool endOfFile = false;
    float reached = 0;
    ASSERT_TRUE(file.setPositionByTimeOffset(2.0f, 0.1f, reached));
    ASSERT_TRUE(file.getNextEncodedChunk(chunk, endOfFile, 1.0f));
    ASSERT_GE(file.anchorEpochTime(), 0.0);
    const long before = MediaFileCheckpoint::liveInstances();
    std::unique_ptr<MediaFileCheckpoint> checkpoint = file.generateCheckpoint();
    EXPECT_EQ(MediaFileCheckpoint::liveInstances(), before + 1);
    const double epoch = file.getCurrentEpochTime();
    const double anchor = file.anchorEpochTime();

    ASSERT_TRUE(file.setPositionByTimeOffset(5.0f, 0.1f, reached));
    ASSERT_TRUE(file.getNextEncodedChunk(chunk, endOfFile, 0.5f));
    EXPECT_NE(file.anchorEpochTime(), anchor);
    ASSERT_TRUE(file.restoreCheckpoint(checkpoint.get()));
    EXPECT_EQ(file.anchorEpochTime(), anchor);
    EXPECT_DOUBLE_EQ(file.getCurrentEpochTime(), epoch);
    checkpoint.reset();
    EXPECT_EQ(MediaFileCheckpoint::liveInstances(), before);
}

TEST_F(KorvalisMp3CompressedAudioFileTest, ForeignCheckpointIsAFatalError) {
    KorvalisMp3CompressedAudioFile file(timedFile(kStart, 1.0), true);
    MediaFileCheckpoint foreign;
    // The fatal check prints to standard output; the death test reads the error stream.
    EXPECT_DEATH(
        {
            dup2(2, 1);
            file.restoreCheckpoint(&foreign);
        },
        "KorvalisMp3CompressedAudioFile::restoreCheckpoint");
}

TEST_F(KorvalisMp3CompressedAudioFileTest, SlaveFollowsTheMastersPositionAndClock) {
    KorvalisMp3CompressedAudioFile master(timedFile(kStart, 6.0, 1.0, 0.3), true);
    KorvalisMp3CompressedAudioFile slave(timedFile(kStart + 0.5, 6.0, 1.0, -0.3), true);
    std::unique_ptr<EncodedAudioChunk> chunk;
    bool endOfFile = false;
    ASSERT_TRUE(master.getNextEncodedChunk(chunk, endOfFile, 2.0f));
    ASSERT_TRUE(slave.slaveToAnotherFile(&master));
    EXPECT_FALSE(slave.usesEmbeddedStamps());
    EXPECT_EQ(slave.mpegAudioFile().getStreamPosition(),
              master.mpegAudioFile().getStreamPosition());
    EXPECT_DOUBLE_EQ(slave.getCurrentEpochTime(), master.getCurrentEpochTime());
    // The slave's own stamps no longer move its clock.
    ASSERT_TRUE(slave.getNextEncodedChunk(chunk, endOfFile, 2.0f));
    ASSERT_TRUE(master.getNextEncodedChunk(chunk, endOfFile, 2.0f));
    EXPECT_NEAR(slave.getCurrentEpochTime(), master.getCurrentEpochTime(), 1e-6);

    EXPECT_FALSE(slave.slaveToAnotherFile(&slave));
    EXPECT_FALSE(slave.slaveToAnotherFile(nullptr));
}

TEST_F(KorvalisMp3CompressedAudioFileTest, TimingDumpListsEveryStamp) {
    const std::string path = timedFile(kStart, 5.0, 1.0, 0.125);
    KorvalisMp3CompressedAudioFile file(path, true);
    float reached = 0;
    ASSERT_TRUE(file.setPositionByTimeOffset(1.0f, 0.1f, reached));
    std::ostringstream csv;
    file.dumpTimingDataAsCsv(csv);
    const std::vector<size_t> stamped = stampedFrames(path);
    ASSERT_EQ(stamped.size(), 5u);
    EXPECT_EQ(file.countStampedFrames(), 5u);
    std::istringstream lines(csv.str());
    std::string line;
    for (size_t frame : stamped) {
        ASSERT_TRUE(std::getline(lines, line));
        char expected[200];
        const double nameTime = kStart + frame * (576.0 / 16000.0);
        std::snprintf(expected, sizeof expected, "%0.4f,%0.4f,%0.4f,%0.4f", nameTime,
                      nameTime + 0.125, -0.125, 0.125);
        EXPECT_EQ(line, expected);
    }
    EXPECT_FALSE(std::getline(lines, line));
    EXPECT_FLOAT_EQ(file.getCurrentTimeOffset(), reached) << "the read point is kept";
}

TEST_F(KorvalisMp3CompressedAudioFileTest, OnePointSplitMakesNamedParts) {
    const std::string path = timedFile(kStart, 10.0);
    KorvalisMp3CompressedAudioFile file(path, true);
    const std::string out = root_ + "/out.d";
    std::unique_ptr<CompressedAudioFile> first;
    std::unique_ptr<CompressedAudioFile> second;
    ASSERT_TRUE(
        file.copyAndSplitAtEpochTime(kStart + 4.0, out, first, second, 1.0f, nullptr, nullptr, 0))
        << file.getErrorText();
    ASSERT_TRUE(first && second);
    const double cut = kStart + 111 * (576.0 / 16000.0);  // frame 111 holds 4.0 s
    EXPECT_EQ(first->fileName(), out + "/LOC~4b9e3f00~250~7~8~9.mp3");
    EXPECT_EQ(second->fileName(), MediaFileName("LOC", cut, 7, 8, 9).pathIn(out, "mp3"));
    EXPECT_EQ(second->fileName(), out + "/LOC~4b9e3f04~246~7~8~9.mp3");
    EXPECT_NEAR(second->getStartTime(), cut, 0.001);
    EXPECT_FLOAT_EQ(first->getDuration(), 111 * kFrame);
    std::vector<uint8_t> joined = readBytes(first->fileName());
    const std::vector<uint8_t> tail = readBytes(second->fileName());
    joined.insert(joined.end(), tail.begin(), tail.end());
    EXPECT_EQ(joined, readBytes(path));

    ASSERT_TRUE(
        file.copyAndSplitAtEpochTime(kStart + 4.0, out, first, second, 1.0f, nullptr, nullptr, 3));
    EXPECT_FALSE(first);
    ASSERT_TRUE(second);
}

TEST_F(KorvalisMp3CompressedAudioFileTest, SplitsRefuseTimesOutsideTheFileAndItsOwnDirectory) {
    const std::string path = timedFile(kStart, 2.0);
    KorvalisMp3CompressedAudioFile file(path, true);
    std::unique_ptr<CompressedAudioFile> first;
    std::unique_ptr<CompressedAudioFile> second;
    std::unique_ptr<CompressedAudioFile> third;
    EXPECT_FALSE(file.copyAndSplitAtEpochTime(kStart + 3.0, root_ + "/out.d", first, second, 1.0f,
                                              nullptr, nullptr, 0));
    EXPECT_EQ(file.getErrorText(), "Split point(s) not in this file.");
    double reached = 0;
    EXPECT_FALSE(file.copyAndSplitAtEpochTimeToPaths(kStart - 1.0, reached, "a", "b", 1.0f, nullptr,
                                                     nullptr, 0, false));
    // The first part carries the file's own name: written beside it, it would replace it.
    EXPECT_FALSE(file.copyAndSplitAtEpochTime(kStart + 1.0, root_, first, second, 1.0f, nullptr,
                                              nullptr, 0));
    EXPECT_NE(file.getErrorText().find("overwrite"), std::string::npos);
    EXPECT_FALSE(file.copyAndSplitAtEpochTime(kStart + 0.5, kStart + 1.0, root_, first, second,
                                              third, 1.0f, nullptr, nullptr, 0));
    EXPECT_EQ(readBytes(path).size(), 56u * 144) << "the file is untouched";
    EXPECT_EQ(std::distance(fs::directory_iterator(root_ + "/out.d"), {}), 0);
}

TEST_F(KorvalisMp3CompressedAudioFileTest, TwoPointSplitNamesPartsByTheirCuts) {
    const std::string path = timedFile(kStart, 10.0);
    KorvalisMp3CompressedAudioFile file(path, true);
    float offset = 0;
    ASSERT_TRUE(file.setPositionByTimeOffset(3.0f, 0.1f, offset));
    const std::string out = root_ + "/out.d";
    std::unique_ptr<CompressedAudioFile> parts[3];
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(kStart + 2.0, kStart + 6.0, out, parts[0], parts[1],
                                             parts[2], 0.1f, nullptr, nullptr, 0))
        << file.getErrorText();
    EXPECT_FLOAT_EQ(file.getCurrentTimeOffset(), offset) << "the read point is kept";
    const double frame = 576.0 / 16000.0;
    const double starts[3] = {kStart, kStart + 55 * frame, kStart + 166 * frame};
    std::vector<uint8_t> joined;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(parts[i]);
        EXPECT_EQ(parts[i]->fileName(),
                  MediaFileName("LOC", starts[i], 7, 8, 9).pathIn(out, "mp3"));
        auto* timed = dynamic_cast<KorvalisMp3CompressedAudioFile*>(parts[i].get());
        ASSERT_NE(timed, nullptr);
        EXPECT_TRUE(timed->isValid());
        EXPECT_TRUE(timed->usesEmbeddedStamps());
        const std::vector<uint8_t> bytes = readBytes(parts[i]->fileName());
        joined.insert(joined.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(joined, readBytes(path));

    TemporaryDirectory middleOnly("middle-");
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(kStart + 2.0, kStart + 6.0, middleOnly.path(),
                                             parts[0], parts[1], parts[2], 0.1f, nullptr, nullptr,
                                             2));
    EXPECT_FALSE(parts[0]);
    ASSERT_TRUE(parts[1]);
    EXPECT_FALSE(parts[2]);
    EXPECT_EQ(std::distance(fs::directory_iterator(middleOnly.path()), {}), 1);
}

// The name of a part starting `milliseconds` after 0x4b9e3f00 s.
std::string partName(uint64_t milliseconds) {
    char name[64];
    std::snprintf(name, sizeof name, "LOC~%08x~%d~7~8~9.mp3",
                  static_cast<unsigned>(0x4b9e3f00u + milliseconds / 1000),
                  static_cast<int>(milliseconds % 1000));
    return name;
}

TEST_F(KorvalisMp3CompressedAudioFileTest, CutsAtFrameStartsNameThePartByThatFrame) {
    // Frames of exactly 36 ms: every frame start is a whole millisecond, and a cut asked for at
    // a frame start cuts there and names the later part by it.
    const std::string path = root_ + "/LOC~4b9e3f00~0~7~8~9.mp3";
    mp3test::writeBytes(path, mp3test::frameRun(mp3test::kRecorderHeader, 278));
    KorvalisMp3CompressedAudioFile file(path, false);
    const double start = file.getStartTime();
    TemporaryDirectory out("cuts-");
    for (uint64_t frame = 1; frame < 278; ++frame) {
        std::unique_ptr<CompressedAudioFile> first;
        std::unique_ptr<CompressedAudioFile> second;
        ASSERT_TRUE(file.copyAndSplitAtEpochTime(start + frame * 0.036, out.path(), first, second,
                                                 0.0f, nullptr, nullptr, 3))
            << frame << ": " << file.getErrorText();
        ASSERT_TRUE(second);
        EXPECT_EQ(MediaFileName::fileNameOf(second->fileName()), partName(frame * 36)) << frame;
        EXPECT_EQ(readBytes(second->fileName()).size(), (278 - frame) * 144) << frame;
        fs::remove(second->fileName());
    }
}

TEST_F(KorvalisMp3CompressedAudioFileTest, CutsAtFrameStartsHoldAcrossAnHour) {
    // An hour of frames: offsets this large leave no room for rounding on the way.
    const std::string path = root_ + "/LOC~4b9e3f00~0~7~8~9.mp3";
    const uint64_t frames = 100000;
    mp3test::writeBytes(path, mp3test::frameRun(mp3test::kRecorderHeader, frames));
    KorvalisMp3CompressedAudioFile file(path, false);
    const double start = file.getStartTime();
    for (uint64_t frame = 49000; frame < 51000; ++frame) {
        double reached = 0.0;
        ASSERT_TRUE(file.copyAndSplitAtEpochTimeToPaths(start + frame * 0.036, reached, "a", "b",
                                                        0.0f, nullptr, nullptr, 0, true))
            << frame;
        EXPECT_EQ(file.mpegAudioFile().getStreamPosition(), frame * 144) << frame;
        EXPECT_NEAR(reached, start + frame * 0.036, 1e-6) << frame;
    }
    TemporaryDirectory out("hour-");
    std::unique_ptr<CompressedAudioFile> parts[3];
    // 1800.252 s and 3599.964 s (the last frame) into the file.
    ASSERT_TRUE(file.copyAndSplitAtEpochTime(start + 50007 * 0.036, start + 99999 * 0.036,
                                             out.path(), parts[0], parts[1], parts[2], 0.0f,
                                             nullptr, nullptr, 0))
        << file.getErrorText();
    ASSERT_TRUE(parts[1] && parts[2]);
    EXPECT_EQ(MediaFileName::fileNameOf(parts[1]->fileName()), partName(1800252));
    EXPECT_EQ(MediaFileName::fileNameOf(parts[2]->fileName()), partName(3599964));
    EXPECT_EQ(readBytes(parts[2]->fileName()).size(), 144u);
}

TEST_F(KorvalisMp3CompressedAudioFileTest, FramesOfVaryingSizeAreReadWholeAsARecordingGrows) {
    // 44.1 kHz at 128 kbit/s: frames of 417 and 418 bytes. The file is written in three goes,
    // the first two ending inside a frame; every frame is read once, whole, in order.
    const std::vector<uint8_t> bytes = mp3test::lameFile(44100, 128, 2.0);
    const auto frames = mp3test::framesOf(bytes);
    ASSERT_GT(frames.size(), 60u);
    const std::string path = root_ + "/LOC~4b9e3f00~0~7~8~9.mp3";
    const size_t cuts[3] = {frames[20].first + 100, frames[41].first + 2, bytes.size()};
    mp3test::writeBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + cuts[0]));
    KorvalisMp3CompressedAudioFile file(path, false);
    std::vector<uint8_t> read;
    uint32_t samples = 0;
    for (int go = 0; go < 3; ++go) {
        if (go > 0) {
            std::ofstream out(path, std::ios::binary | std::ios::app);
            out.write(reinterpret_cast<const char*>(bytes.data() + cuts[go - 1]),
                      static_cast<std::streamsize>(cuts[go] - cuts[go - 1]));
        }
        std::unique_ptr<EncodedAudioChunk> chunk;
        bool endOfFile = false;
        while (!endOfFile && file.getNextEncodedChunk(chunk, endOfFile, 0.1f)) {
            read.insert(read.end(), chunk->bufferIs(), chunk->bufferIs() + chunk->validLengthIs());
            samples += chunk->numberOfSamplesIs();
        }
        EXPECT_TRUE(endOfFile) << go << ": " << file.getErrorText();
    }
    EXPECT_EQ(samples, frames.size() * 1152);
    EXPECT_TRUE(read == bytes) << "read " << read.size() << " of " << bytes.size() << " bytes";
}

TEST_F(KorvalisMp3CompressedAudioFileTest, ThousandsOfFilesHoldNoHandles) {
    const std::string path = timedFile(kStart, 0.5);
    const size_t before = MpegAudioFile::openFileCount();
    std::vector<std::unique_ptr<KorvalisMp3CompressedAudioFile>> files;
    for (int i = 0; i < 2000; ++i) {
        files.push_back(std::make_unique<KorvalisMp3CompressedAudioFile>(path, true));
        ASSERT_TRUE(files.back()->isValid());
    }
    EXPECT_EQ(MpegAudioFile::openFileCount(), before);
    // Reading one chunk from each leaves at most the process limit open.
    std::unique_ptr<EncodedAudioChunk> chunk;
    bool endOfFile = false;
    for (auto& file : files) {
        ASSERT_TRUE(file->getNextEncodedChunk(chunk, endOfFile, 0.144f));
    }
    EXPECT_LE(MpegAudioFile::openFileCount(), MpegAudioFile::maximumOpenFiles());
    for (auto& file : files) {
        file->close();
    }
    EXPECT_EQ(MpegAudioFile::openFileCount(), before);
}

}  // namespace
