#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Mp3TestFiles.h"
#include "MpegAudioFile.h"
#include "TemporaryDirectory.h"

namespace fs = std::filesystem;
using mp3test::frameRun;
using mp3test::kMpeg1Header;
using mp3test::kRecorderHeader;
using mp3test::readBytes;
using mp3test::writeBytes;

namespace {

class MpegAudioFileTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return directory_.path() + "/" + name; }
    // A recorder file of `frames` frames (plus a truncated frame of `extra` bytes).
    std::string recorderFile(const std::string& name, uint32_t frames, uint32_t extra = 0) {
        writeBytes(path(name), frameRun(kRecorderHeader, frames, extra));
        return path(name);
    }
    std::vector<uint8_t> slice(const std::string& file, size_t begin, size_t end) {
        const std::vector<uint8_t> bytes = readBytes(file);
        return std::vector<uint8_t>(bytes.begin() + begin, bytes.begin() + end);
    }

    TemporaryDirectory directory_{"mpeg-audio-"};
};

// Collects what a split hands to its write callback.
struct Collected {
    std::vector<std::string> order;  // target of each call, "!" appended for the finished call
    std::map<std::string, std::vector<uint8_t>> bytes;
    bool refuse = false;
};

bool collect(void* context, double time, const uint8_t* bytes, uint32_t count,
             const std::string* target, bool finished) {
    auto* collected = static_cast<Collected*>(context);
    EXPECT_EQ(time, 0.0);
    collected->order.push_back(*target + (finished ? "!" : ""));
    if (!finished) {
        collected->bytes[*target].insert(collected->bytes[*target].end(), bytes, bytes + count);
    } else {
        EXPECT_EQ(bytes, nullptr);
        EXPECT_EQ(count, 0u);
    }
    return !collected->refuse;
}

TEST_F(MpegAudioFileTest, RecorderFileGeometry) {
    MpegAudioFile file(recorderFile("a.mp3", 1000));
    ASSERT_TRUE(file.parseAndBufferFirstFrame(false));
    EXPECT_EQ(file.getFrameSize(), 144u);
    EXPECT_FLOAT_EQ(file.getFrameDuration(), 0.036f);
    EXPECT_EQ(file.getSampleRate(), 16000u);
    EXPECT_EQ(file.getSamplesPerFrame(), 576u);
    EXPECT_EQ(file.getFileSize(), 144000u);
    EXPECT_FLOAT_EQ(file.getTotalDuration(), 144000 * 8 / 32000.0f);
    EXPECT_TRUE(file.isOpen()) << "parsing without reuse keeps the file open";
    EXPECT_TRUE(file.close());
    EXPECT_FALSE(file.isOpen());
}

TEST_F(MpegAudioFileTest, Mpeg1FileGeometry) {
    writeBytes(path("b.mp3"), frameRun(kMpeg1Header, 100));
    MpegAudioFile file(path("b.mp3"));
    ASSERT_TRUE(file.parseAndBufferFirstFrame(true));
    EXPECT_FALSE(file.isOpen()) << "parsing with reuse closes what it opened";
    EXPECT_EQ(file.getFrameSize(), 417u);
    EXPECT_FLOAT_EQ(file.getFrameDuration(), 1152.0f / 44100.0f);
    EXPECT_FLOAT_EQ(file.getTotalDuration(), 41700 * 8 / 128000.0f);
}

TEST_F(MpegAudioFileTest, FilesThatAreNotMpegAudioGiveFalseResults) {
    writeBytes(path("text.mp3"), std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o', ' ', 'w'});
    writeBytes(path("empty.mp3"), {});
    writeBytes(path("short.mp3"), {0xFF, 0xF3, 0x48});
    std::vector<uint8_t> freeFormat = frameRun(kRecorderHeader, 3);
    freeFormat[2] &= 0x0F;  // bit-rate index 0
    writeBytes(path("free.mp3"), freeFormat);
    std::vector<uint8_t> reserved = frameRun(kRecorderHeader, 3);
    reserved[1] = 0xEB;  // version id 1
    writeBytes(path("reserved.mp3"), reserved);
    for (const char* name :
         {"text.mp3", "empty.mp3", "short.mp3", "free.mp3", "reserved.mp3", "missing.mp3"}) {
        MpegAudioFile file(path(name));
        EXPECT_FALSE(file.parseAndBufferFirstFrame(false)) << name;
        float reached = -1.0f;
        EXPECT_FALSE(file.setPositionByTimeOffset(0.0f, reached)) << name;
        EXPECT_EQ(reached, -1.0f);
        uint8_t buffer[1024];
        uint32_t bytesRead = 1;
        bool endOfFile = true;
        EXPECT_FALSE(file.readFrames(4, buffer, sizeof buffer, bytesRead, endOfFile)) << name;
        EXPECT_EQ(bytesRead, 0u);
        EXPECT_EQ(file.getCurrentTimeOffset(), 0.0f);
        EXPECT_FALSE(file.copyAndSplitAtOffset(0.01f, reached, path("x1"), path("x2"), 1.0f,
                                               nullptr, nullptr, 0, false))
            << name;
        EXPECT_FALSE(file.getErrorText().empty());
        EXPECT_FALSE(fs::exists(path("x1")));
        EXPECT_FALSE(fs::exists(path("x2")));
    }
}

TEST_F(MpegAudioFileTest, PositionsByArithmeticOnTheFrameSize) {
    MpegAudioFile file(recorderFile("a.mp3", 1000));
    float reached = -1;
    ASSERT_TRUE(file.setPositionByTimeOffset(1.0f, reached));
    EXPECT_FLOAT_EQ(reached, 27 * 0.036f);  // frame 27 holds 1.0 s
    EXPECT_EQ(file.getStreamPosition(), 27u * 144);
    EXPECT_FLOAT_EQ(file.getCurrentTimeOffset(), reached);
    // Positioning at a reached offset reaches it again, even far into the file.
    for (float offset : {0.036f, 7.2f, 35.964f, 35.999f}) {
        ASSERT_TRUE(file.setPositionByTimeOffset(offset, reached)) << offset;
        float again = -1;
        ASSERT_TRUE(file.setPositionByTimeOffset(reached, again));
        EXPECT_EQ(again, reached) << offset;
        EXPECT_LE(reached, offset);
    }
    const float total = file.getTotalDuration();
    ASSERT_TRUE(file.setPositionByTimeOffset(total, reached));
    EXPECT_EQ(file.getStreamPosition(), 144000u);
    EXPECT_FALSE(file.setPositionByTimeOffset(total + 0.001f, reached));
    EXPECT_FALSE(file.setPositionByTimeOffset(-0.001f, reached));
    EXPECT_EQ(file.getStreamPosition(), 144000u) << "a refused position moves nothing";
}

TEST_F(MpegAudioFileTest, LongFilesPositionOnFrameBoundaries) {
    // Ten hours of frames: float offsets are coarse there, but a boundary stays a boundary.
    const uint64_t frames = 1000000;
    writeBytes(path("long.mp3"), frameRun(kRecorderHeader, 1));
    fs::resize_file(path("long.mp3"), frames * 144);  // sparse: positioning reads nothing
    MpegAudioFile file(path("long.mp3"));
    for (uint64_t frame : {999999ull, 500000ull, 123457ull}) {
        float reached = -1;
        const auto offset = static_cast<float>(frame * (576.0 / 16000.0));
        ASSERT_TRUE(file.setPositionByTimeOffset(offset, reached));
        EXPECT_EQ(file.getStreamPosition(), frame * 144) << frame;
    }
}

TEST_F(MpegAudioFileTest, ReadsWholeFramesAndNeverATruncatedOne) {
    MpegAudioFile file(recorderFile("a.mp3", 10, 100));
    EXPECT_FLOAT_EQ(file.getTotalDuration(), 1540 * 8 / 32000.0f);
    std::vector<uint8_t> buffer(144 * 4);
    uint32_t bytesRead = 0;
    bool endOfFile = true;
    ASSERT_TRUE(file.readFrames(4, buffer.data(), buffer.size(), bytesRead, endOfFile));
    EXPECT_EQ(bytesRead, 576u);
    EXPECT_FALSE(endOfFile);
    EXPECT_EQ(buffer[144 + 4], 1) << "second frame";
    EXPECT_EQ(file.getStreamPosition(), 576u);

    // A buffer for fewer frames than asked for limits the read to whole frames.
    ASSERT_TRUE(file.readFrames(4, buffer.data(), 300, bytesRead, endOfFile));
    EXPECT_EQ(bytesRead, 288u);
    EXPECT_FALSE(file.readFrames(4, buffer.data(), 143, bytesRead, endOfFile));

    ASSERT_TRUE(file.readFrames(4, buffer.data(), buffer.size(), bytesRead, endOfFile));
    EXPECT_EQ(bytesRead, 576u);
    EXPECT_FALSE(endOfFile) << "exactly the frames that were there";
    EXPECT_FALSE(file.readFrames(4, buffer.data(), buffer.size(), bytesRead, endOfFile));
    EXPECT_EQ(bytesRead, 0u) << "only the truncated frame is left";
    EXPECT_TRUE(endOfFile);
    EXPECT_EQ(file.getStreamPosition(), 1440u);
}

TEST_F(MpegAudioFileTest, EndOfFileReleasesTheHandleButNotThePosition) {
    MpegAudioFile file(recorderFile("a.mp3", 10, 100));
    std::vector<uint8_t> buffer(144 * 8);
    uint32_t bytesRead = 0;
    bool endOfFile = false;
    ASSERT_TRUE(file.readFrames(8, buffer.data(), buffer.size(), bytesRead, endOfFile));
    EXPECT_TRUE(file.isOpen());
    ASSERT_TRUE(file.readFrames(8, buffer.data(), buffer.size(), bytesRead, endOfFile));
    EXPECT_EQ(bytesRead, 288u) << "two whole frames; the truncated one stays unread";
    EXPECT_TRUE(endOfFile);
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.getStreamPosition(), 1440u);
    EXPECT_FALSE(file.readFrames(8, buffer.data(), buffer.size(), bytesRead, endOfFile));
    EXPECT_TRUE(endOfFile);
    EXPECT_EQ(bytesRead, 0u);

    // Closing in the middle keeps the read point.
    float reached = 0;
    ASSERT_TRUE(file.setPositionByTimeOffset(0.1f, reached));
    ASSERT_TRUE(file.readFrames(1, buffer.data(), buffer.size(), bytesRead, endOfFile));
    EXPECT_EQ(buffer[4], 2);
    file.close();
    ASSERT_TRUE(file.readFrames(1, buffer.data(), buffer.size(), bytesRead, endOfFile));
    EXPECT_EQ(buffer[4], 3);
}

TEST_F(MpegAudioFileTest, RefreshSeesAGrowingFile) {
    const std::string name = recorderFile("live.mp3", 10);
    MpegAudioFile file(name);
    EXPECT_FLOAT_EQ(file.getTotalDuration(), 0.36f);
    writeBytes(name, frameRun(kRecorderHeader, 20));
    EXPECT_FLOAT_EQ(file.getTotalDuration(), 0.36f) << "measured once until refreshed";
    ASSERT_TRUE(file.parseAndBufferFirstFrame(true));
    EXPECT_FLOAT_EQ(file.getTotalDuration(), 0.72f);
}

TEST_F(MpegAudioFileTest, FileThatAppearsLaterIsFoundByARefresh) {
    // A recording's newest file may be listed before its first frame is written.
    MpegAudioFile file(path("later.mp3"));
    EXPECT_EQ(file.getTotalDuration(), 0.0f);
    recorderFile("later.mp3", 10);
    EXPECT_EQ(file.getFrameSize(), 0u) << "queries do not reopen a file that failed";
    ASSERT_TRUE(file.parseAndBufferFirstFrame(true));
    EXPECT_EQ(file.getFrameSize(), 144u);
    EXPECT_FLOAT_EQ(file.getTotalDuration(), 0.36f);
}

TEST_F(MpegAudioFileTest, CopiesPositionFromAnotherFile) {
    MpegAudioFile master(recorderFile("a.mp3", 100));
    MpegAudioFile slave(recorderFile("b.mp3", 50));
    float reached = 0;
    ASSERT_TRUE(master.setPositionByTimeOffset(1.0f, reached));
    ASSERT_TRUE(slave.copyPositionFromAnotherFile(master));
    EXPECT_EQ(slave.getStreamPosition(), master.getStreamPosition());
    ASSERT_TRUE(master.setPositionByTimeOffset(3.0f, reached));
    EXPECT_FALSE(slave.copyPositionFromAnotherFile(master)) << "beyond the slave's end";
    EXPECT_TRUE(slave.copyPositionFromAnotherFile(slave));
}

TEST_F(MpegAudioFileTest, OnePointSplitCopiesEachSideOfTheCut) {
    const std::string name = recorderFile("a.mp3", 100);
    MpegAudioFile file(name);
    float reached = -1;
    ASSERT_TRUE(file.copyAndSplitAtOffset(1.0f, reached, path("1.mp3"), path("2.mp3"), 0.036f,
                                          nullptr, nullptr, 0, false))
        << file.getErrorText();
    EXPECT_FLOAT_EQ(reached, 27 * 0.036f);
    EXPECT_EQ(readBytes(path("1.mp3")), slice(name, 0, 27 * 144));
    EXPECT_EQ(readBytes(path("2.mp3")), slice(name, 27 * 144, 100 * 144));
    EXPECT_EQ(file.getStreamPosition(), 0u) << "the read point is restored";

    ASSERT_TRUE(file.copyAndSplitAtOffset(2.0f, reached, path("3.mp3"), path("4.mp3"), 1.0f,
                                          nullptr, nullptr, 1, false));
    EXPECT_TRUE(fs::exists(path("3.mp3")));
    EXPECT_FALSE(fs::exists(path("4.mp3")));
    ASSERT_TRUE(file.copyAndSplitAtOffset(2.0f, reached, path("5.mp3"), path("6.mp3"), 1.0f,
                                          nullptr, nullptr, 3, false));
    EXPECT_FALSE(fs::exists(path("5.mp3")));
    EXPECT_EQ(readBytes(path("6.mp3")), slice(name, 55 * 144, 100 * 144));

    // A cut at the very start leaves no first part to write.
    ASSERT_TRUE(file.copyAndSplitAtOffset(0.0f, reached, path("7.mp3"), path("8.mp3"), 1.0f,
                                          nullptr, nullptr, 0, false));
    EXPECT_FALSE(fs::exists(path("7.mp3")));
    EXPECT_EQ(readBytes(path("8.mp3")), readBytes(name));
}

TEST_F(MpegAudioFileTest, DryRunReportsTheCutAndWritesNothing) {
    MpegAudioFile file(recorderFile("a.mp3", 100));
    float reached = -1;
    ASSERT_TRUE(file.copyAndSplitAtOffset(1.0f, reached, path("1.mp3"), path("2.mp3"), 0.1f,
                                          nullptr, nullptr, 0, true));
    EXPECT_FLOAT_EQ(reached, 27 * 0.036f);
    EXPECT_EQ(file.getStreamPosition(), 27u * 144) << "left at the cut";
    float first = -1;
    float second = -1;
    ASSERT_TRUE(file.copyAndSplitAtOffset(1.0f, 2.0f, first, second, path("1.mp3"), path("2.mp3"),
                                          path("3.mp3"), 0.1f, nullptr, nullptr, 0, true));
    EXPECT_FLOAT_EQ(first, 27 * 0.036f);
    EXPECT_FLOAT_EQ(second, 55 * 0.036f);
    EXPECT_EQ(file.getStreamPosition(), 55u * 144);
    EXPECT_EQ(std::distance(fs::directory_iterator(directory_.path()), {}), 1);
}

TEST_F(MpegAudioFileTest, SplitPointsOutsideTheFileOrToleranceFail) {
    MpegAudioFile file(recorderFile("a.mp3", 100));
    float reached = -1;
    EXPECT_FALSE(file.copyAndSplitAtOffset(3.7f, reached, path("1.mp3"), path("2.mp3"), 1.0f,
                                           nullptr, nullptr, 0, false));
    EXPECT_EQ(file.getErrorText(), "Split point(s) not in this file.");
    EXPECT_FALSE(file.copyAndSplitAtOffset(1.0f, reached, path("1.mp3"), path("2.mp3"), 0.001f,
                                           nullptr, nullptr, 0, false));
    EXPECT_EQ(file.getErrorText(), "Set position to split point was not in tolerance.");
    EXPECT_FALSE(file.copyAndSplitAtOffset(1.0f, reached, path("1.mp3"), path("2.mp3"), 1.0f,
                                           nullptr, nullptr, 2, false));
    EXPECT_EQ(file.getErrorText(), "Unknown split mode 2.");

    float first = -1;
    float second = -1;
    EXPECT_FALSE(file.copyAndSplitAtOffset(0.0f, 1.0f, first, second, path("1.mp3"), path("2.mp3"),
                                           path("3.mp3"), 1.0f, nullptr, nullptr, 0, false));
    EXPECT_EQ(file.getErrorText(), "Set position to split point was not in tolerance.")
        << "a cut at the start leaves no first part";
    EXPECT_FALSE(file.copyAndSplitAtOffset(1.0f, 3.7f, first, second, path("1.mp3"), path("2.mp3"),
                                           path("3.mp3"), 1.0f, nullptr, nullptr, 0, false));
    EXPECT_EQ(file.getErrorText(), "Split point(s) not in this file.");
    EXPECT_FALSE(file.copyAndSplitAtOffset(2.0f, 1.0f, first, second, path("1.mp3"), path("2.mp3"),
                                           path("3.mp3"), 1.0f, nullptr, nullptr, 0, false));
    EXPECT_EQ(file.getErrorText(), "The first split point lies after the second.");
    EXPECT_EQ(first, -1.0f);
    EXPECT_EQ(std::distance(fs::directory_iterator(directory_.path()), {}), 1);
}

TEST_F(MpegAudioFileTest, TwoPointSplitCutsOutARange) {
    const std::string name = recorderFile("a.mp3", 100);
    MpegAudioFile file(name);
    float first = -1;
    float second = -1;
    ASSERT_TRUE(file.copyAndSplitAtOffset(1.0f, 2.0f, first, second, path("1.mp3"), path("2.mp3"),
                                          path("3.mp3"), 0.036f, nullptr, nullptr, 0, false))
        << file.getErrorText();
    EXPECT_EQ(readBytes(path("1.mp3")), slice(name, 0, 27 * 144));
    EXPECT_EQ(readBytes(path("2.mp3")), slice(name, 27 * 144, 55 * 144));
    EXPECT_EQ(readBytes(path("3.mp3")), slice(name, 55 * 144, 100 * 144));

    ASSERT_TRUE(file.copyAndSplitAtOffset(1.0f, 2.0f, first, second, path("4.mp3"), path("5.mp3"),
                                          path("6.mp3"), 0.036f, nullptr, nullptr, 2, false));
    EXPECT_FALSE(fs::exists(path("4.mp3")));
    EXPECT_EQ(readBytes(path("5.mp3")), slice(name, 27 * 144, 55 * 144));
    EXPECT_FALSE(fs::exists(path("6.mp3")));

    // Both cuts in one frame: the middle part is empty and not written.
    ASSERT_TRUE(file.copyAndSplitAtOffset(1.0f, 1.005f, first, second, path("7.mp3"), path("8.mp3"),
                                          path("9.mp3"), 0.036f, nullptr, nullptr, 0, false));
    EXPECT_FALSE(fs::exists(path("8.mp3")));
    EXPECT_TRUE(fs::exists(path("9.mp3")));
}

TEST_F(MpegAudioFileTest, CallbackReceivesEachPartThenItsEnd) {
    const std::string name = recorderFile("a.mp3", 100);
    MpegAudioFile file(name);
    Collected collected;
    float first = -1;
    float second = -1;
    ASSERT_TRUE(file.copyAndSplitAtOffset(1.0f, 2.0f, first, second, "one", "two", "three", 0.1f,
                                          collect, &collected, 0, false));
    EXPECT_EQ(collected.order,
              (std::vector<std::string>{"one", "one!", "two", "two!", "three", "three!"}));
    EXPECT_EQ(collected.bytes["two"], slice(name, 27 * 144, 55 * 144));
    EXPECT_FALSE(fs::exists("one"));

    Collected refused;
    refused.refuse = true;
    float reached = -1;
    EXPECT_FALSE(
        file.copyAndSplitAtOffset(1.0f, reached, "one", "two", 0.1f, collect, &refused, 0, false));
    EXPECT_FALSE(file.getErrorText().empty());
}

TEST_F(MpegAudioFileTest, BigPartsReachTheCallbackInBoundedPieces) {
    // 3 MiB of frames: the callback sees pieces of at most 2 MiB, in order.
    const std::string name = recorderFile("big.mp3", 22000);
    MpegAudioFile file(name);
    Collected collected;
    float reached = -1;
    ASSERT_TRUE(file.copyAndSplitAtOffset(0.036f, reached, "head", "tail", 0.001f, collect,
                                          &collected, 3, false));
    EXPECT_EQ(collected.order, (std::vector<std::string>{"tail", "tail", "tail!"}));
    EXPECT_EQ(collected.bytes["tail"], slice(name, 144, 22000 * 144));
}

TEST_F(MpegAudioFileTest, FailedWritesAreReportedAndLeaveNoPart) {
    const std::string name = recorderFile("a.mp3", 100);
    MpegAudioFile file(name);
    float reached = -1;
    EXPECT_FALSE(file.copyAndSplitAtOffset(1.0f, reached, path("1.mp3"), path("no/2.mp3"), 1.0f,
                                           nullptr, nullptr, 0, false));
    EXPECT_EQ(file.getErrorText(), "Second part write failed. No such file or directory");
    float first = -1;
    float second = -1;
    EXPECT_FALSE(file.copyAndSplitAtOffset(1.0f, 2.0f, first, second, path("3.mp3"),
                                           path("no/4.mp3"), path("5.mp3"), 1.0f, nullptr, nullptr,
                                           0, false));
    EXPECT_EQ(file.getErrorText(), "Second write failed.  File=\"" + path("no/4.mp3") +
                                       "\" strerror(errno)=No such file or directory");

    // A part that would land on the file being split is refused before anything is written.
    EXPECT_FALSE(file.copyAndSplitAtOffset(1.0f, reached, name, path("6.mp3"), 1.0f, nullptr,
                                           nullptr, 0, false));
    EXPECT_NE(file.getErrorText().find("overwrite the file being split"), std::string::npos);
    EXPECT_FALSE(fs::exists(path("6.mp3")));
    EXPECT_EQ(readBytes(name).size(), 14400u);
}

TEST_F(MpegAudioFileTest, OpenFilesStayWithinTheProcessLimit) {
    const size_t previous = MpegAudioFile::maximumOpenFiles();
    MpegAudioFile::setMaximumOpenFiles(4);
    {
        std::vector<std::unique_ptr<MpegAudioFile>> files;
        for (int i = 0; i < 12; ++i) {
            files.push_back(
                std::make_unique<MpegAudioFile>(recorderFile(std::to_string(i) + ".mp3", 10)));
        }
        std::vector<uint8_t> buffer(144);
        uint32_t bytesRead = 0;
        bool endOfFile = false;
        for (int round = 0; round < 3; ++round) {
            for (auto& file : files) {
                ASSERT_TRUE(file->readFrames(1, buffer.data(), 144, bytesRead, endOfFile));
                EXPECT_EQ(buffer[4], round) << "each file reads on from its own position";
                EXPECT_LE(MpegAudioFile::openFileCount(), 4u);
            }
        }
        EXPECT_EQ(MpegAudioFile::openFileCount(), 4u);
    }
    EXPECT_EQ(MpegAudioFile::openFileCount(), 0u) << "destroyed files give their handles back";
    MpegAudioFile::setMaximumOpenFiles(previous);
}

}  // namespace
