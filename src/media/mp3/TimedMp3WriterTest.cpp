#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "DecodedAudioChunk.h"
#include "EncodedAudioChunk.h"
#include "KorvalisMp3CompressedAudioFile.h"
#include "Mp3FrameStamp.h"
#include "Mp3TestFiles.h"
#include "MpegAudioCompressor.h"
#include "MpegAudioFrameHeader.h"
#include "TemporaryDirectory.h"
#include "TimedMp3Writer.h"

namespace fs = std::filesystem;

namespace {

// Decodes a whole timed file through the file reader and the codec.
std::vector<int16_t> decodeFile(const std::string& path) {
    KorvalisMp3CompressedAudioFile file(path, true);
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    std::vector<int16_t> samples;
    auto take = [&](std::unique_ptr<DecodedAudioChunk>& chunk) {
        for (uint32_t i = 0; i < chunk->validLengthIs() / 2; ++i) {
            samples.push_back(chunk->sampleAt(i));
        }
    };
    std::unique_ptr<EncodedAudioChunk> encoded;
    std::unique_ptr<DecodedAudioChunk> decoded;
    bool endOfFile = false;
    while (!endOfFile && file.getNextEncodedChunk(encoded, endOfFile, 0.144f)) {
        codec.feedEncodedChunk(encoded.get());
        while (codec.getDecodedChunk(2304, decoded) == AudioCompressor::kChunkProduced) {
            take(decoded);
        }
    }
    while (codec.drainDecodedChunk(decoded) == AudioCompressor::kChunkProduced) {
        take(decoded);
    }
    return samples;
}

TEST(TimedMp3WriterTest, WritesRecorderFramesForTheWholeDuration) {
    TimedMp3Writer writer(1268662016.25, 5.0);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(writer.writeToMemory(bytes)) << writer.errorText();
    EXPECT_EQ(writer.frameCount(), 139u);  // 5.0 / 0.036, rounded
    ASSERT_EQ(bytes.size(), 139u * 144);
    uint64_t stamped = 0;
    for (size_t offset = 0; offset < bytes.size(); offset += 144) {
        const MpegAudioFrameHeader header(bytes.data() + offset);
        ASSERT_TRUE(header.isUsable());
        EXPECT_TRUE(header.mayCarryStamp());
        EXPECT_EQ(header.frameSize(), 144u);
        EXPECT_EQ(header.bitRateKbps(), 32u);
        EXPECT_EQ(header.sampleRate(), 16000u);
        EXPECT_EQ(Mp3FrameStamp::mainDataBegin(bytes.data() + offset), 0u) << "no bit reservoir";
        double stamp = 0;
        const bool hasStamp = Mp3FrameStamp::find(bytes.data() + offset, 144, stamp);
        EXPECT_EQ(header.privateBit(), hasStamp) << "the private bit marks stamped frames";
        stamped += hasStamp ? 1 : 0;
    }
    EXPECT_EQ(stamped, writer.stampedFrames());
    EXPECT_EQ(stamped, 5u);
    EXPECT_EQ(TimedMp3Writer(0.0, 0.0).frameCount(), 1u) << "never an empty file";
}

TEST(TimedMp3WriterTest, StampIntervalDecidesHowOftenFramesAreStamped) {
    std::vector<uint8_t> bytes;
    TimedMp3Writer none(100.0, 3.0);
    none.setStampIntervalSeconds(0.0);
    ASSERT_TRUE(none.writeToMemory(bytes));
    EXPECT_EQ(none.stampedFrames(), 0u);

    // Silence leaves every frame room: a short interval stamps every frame.
    TimedMp3Writer every(100.0, 3.0);
    every.setSignal(TimedMp3Writer::silence());
    every.setStampIntervalSeconds(0.001);
    ASSERT_TRUE(every.writeToMemory(bytes));
    EXPECT_EQ(every.stampedFrames(), every.frameCount());
    double stamp = 0;
    ASSERT_TRUE(Mp3FrameStamp::find(bytes.data() + 10 * 144, 144, stamp));
    EXPECT_DOUBLE_EQ(stamp, 100.0 + 10 * 0.036);
}

TEST(TimedMp3WriterTest, DecodedSignalIsAlignedWithTheFrameClock) {
    TemporaryDirectory directory("writer-");
    const std::string path = directory.path() + "/LOC~00000064~0~0~0~0.mp3";
    // Tone bursts of changing pitch: their correlation with the decoded audio peaks at one lag.
    const TimedMp3Writer::Signal signal = [](uint64_t k) {
        const uint64_t burst = k / 800;
        if (burst % 2 == 1) {
            return int16_t{0};
        }
        const double hz = 300.0 + 150.0 * static_cast<double>(burst % 7);
        return static_cast<int16_t>(std::lround(12000.0 * std::sin(2 * M_PI * hz * k / 16000.0)));
    };
    TimedMp3Writer writer(100.0, 3.0);
    writer.setSignal(signal);
    ASSERT_TRUE(writer.writeFile(path)) << writer.errorText();
    const std::vector<int16_t> decoded = decodeFile(path);
    ASSERT_EQ(decoded.size(), writer.frameCount() * 576);

    int bestLag = 0;
    double best = -1e300;
    for (int lag = -1200; lag <= 1200; ++lag) {
        double sum = 0;
        for (uint64_t k = 8000; k < 16000; ++k) {
            sum += double(signal(k)) * decoded[k + lag];
        }
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    EXPECT_EQ(bestLag, 0) << "decoded sample k is the signal at start + k / 16000";
}

TEST(TimedMp3WriterTest, ToneKeepsItsPitchAndLevel) {
    TemporaryDirectory directory("writer-");
    const std::string path = directory.path() + "/LOC~00000064~0~0~0~0.mp3";
    TimedMp3Writer writer(100.0, 2.0);
    writer.setSignal(TimedMp3Writer::tone(440.0, 0.5));
    ASSERT_TRUE(writer.writeFile(path));
    const std::vector<int16_t> decoded = decodeFile(path);
    int crossings = 0;
    double power = 0;
    for (size_t k = 16000; k < 32000; ++k) {
        crossings += (decoded[k - 1] < 0) != (decoded[k] < 0) ? 1 : 0;
        power += double(decoded[k]) * decoded[k];
    }
    EXPECT_NEAR(crossings, 880, 4);
    EXPECT_NEAR(std::sqrt(power / 16000) / 32767, 0.5 / std::sqrt(2.0), 0.03);
}

TEST(TimedMp3WriterTest, FileAppearsWholeOrNotAtAll) {
    TemporaryDirectory directory("writer-");
    const std::string path = directory.path() + "/LOC~00000064~0~0~0~0.mp3";
    TimedMp3Writer writer(100.0, 1.0);
    ASSERT_TRUE(writer.writeFile(path));
    EXPECT_EQ(fs::file_size(path), writer.frameCount() * 144);
    EXPECT_EQ(std::distance(fs::directory_iterator(directory.path()), {}), 1) << "no leftovers";
    KorvalisMp3CompressedAudioFile file(path, true);
    EXPECT_TRUE(file.isValid());
    EXPECT_EQ(file.countStampedFrames(), writer.stampedFrames());

    EXPECT_FALSE(writer.writeFile(directory.path() + "/missing/LOC~0~0~0~0.mp3"));
    EXPECT_NE(writer.errorText().find("No such file or directory"), std::string::npos)
        << writer.errorText();
    EXPECT_FALSE(writer.write([](const uint8_t*, size_t) { return false; }));
    EXPECT_FALSE(writer.errorText().empty());
}

}  // namespace
