#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "AvDebugLogger.h"
#include "DecodedAudioChunk.h"
#include "EncodedAudioChunk.h"
#include "KorvalisMp3CompressedAudioFile.h"
#include "Mp3TestFiles.h"
#include "MpegAudioCompressor.h"
#include "TemporaryDirectory.h"
#include "TimedMp3Writer.h"

namespace {

constexpr double kStart = 1268662016.0;

// Encoded chunks of `framesPerChunk` frames cut from the writer's bytes.
std::vector<std::unique_ptr<EncodedAudioChunk>> chunksOf(const std::vector<uint8_t>& bytes,
                                                         uint32_t framesPerChunk, double start) {
    std::vector<std::unique_ptr<EncodedAudioChunk>> chunks;
    const size_t chunkBytes = framesPerChunk * 144;
    for (size_t offset = 0; offset < bytes.size(); offset += chunkBytes) {
        const auto size = static_cast<uint32_t>(std::min(chunkBytes, bytes.size() - offset));
        auto chunk = std::make_unique<EncodedAudioChunk>(
            size, 16000, size / 144 * 576, "MPEG Audio", start + offset / 144 * 0.036);
        EXPECT_TRUE(chunk->allocateBuffer(false));
        EXPECT_TRUE(chunk->appendBytes(bytes.data() + offset, size));
        chunk->advanceValidLength(size);
        chunks.push_back(std::move(chunk));
    }
    return chunks;
}

// Feeds every chunk, asking for `samplesWanted` after each, then drains the decoder.
std::vector<std::unique_ptr<DecodedAudioChunk>> decodeAll(
    MpegAudioCompressor& codec, const std::vector<std::unique_ptr<EncodedAudioChunk>>& chunks,
    uint32_t samplesWanted) {
    std::vector<std::unique_ptr<DecodedAudioChunk>> decoded;
    for (const auto& chunk : chunks) {
        EXPECT_TRUE(codec.feedEncodedChunk(chunk.get()));
        std::unique_ptr<DecodedAudioChunk> out;
        while (codec.getDecodedChunk(samplesWanted, out) == AudioCompressor::kChunkProduced) {
            decoded.push_back(std::move(out));
        }
    }
    std::unique_ptr<DecodedAudioChunk> out;
    while (codec.drainDecodedChunk(out) == AudioCompressor::kChunkProduced) {
        decoded.push_back(std::move(out));
    }
    return decoded;
}

std::vector<int16_t> samplesOf(const std::vector<std::unique_ptr<DecodedAudioChunk>>& chunks) {
    std::vector<int16_t> samples;
    for (const auto& chunk : chunks) {
        for (uint32_t i = 0; i < chunk->validLengthIs() / 2; ++i) {
            samples.push_back(chunk->sampleAt(i));
        }
    }
    return samples;
}

std::vector<uint8_t> writtenBytes(double seconds) {
    TimedMp3Writer writer(kStart, seconds);
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(writer.writeToMemory(bytes)) << writer.errorText();
    return bytes;
}

TEST(MpegAudioCompressorTest, ChunksOfPartialFramesAreRefused) {
    const std::vector<uint8_t> bytes = writtenBytes(1.0);
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    auto ragged = std::make_unique<EncodedAudioChunk>(200, 16000, 576, "MPEG Audio", kStart);
    ASSERT_TRUE(ragged->allocateBuffer(false));
    ragged->appendBytes(bytes.data(), 200);
    ragged->advanceValidLength(200);
    EXPECT_FALSE(codec.feedEncodedChunk(ragged.get())) << "200 bytes are not whole frames";

    auto miscounted = chunksOf(bytes, 4, kStart);
    auto wrongSamples = std::make_unique<EncodedAudioChunk>(576, 16000, 576 * 3, "MPEG Audio", 0.0);
    ASSERT_TRUE(wrongSamples->allocateBuffer(false));
    wrongSamples->appendBytes(miscounted[0]->bufferIs(), 576);
    wrongSamples->advanceValidLength(576);
    EXPECT_FALSE(codec.feedEncodedChunk(wrongSamples.get())) << "4 frames claiming 3 frames";

    auto notAudio = std::make_unique<EncodedAudioChunk>(144, 16000, 576, "MPEG Audio", 0.0);
    ASSERT_TRUE(notAudio->allocateBuffer(true));
    notAudio->advanceValidLength(144);
    EXPECT_FALSE(codec.feedEncodedChunk(notAudio.get()));
    EncodedAudioChunk empty(0, 16000, 0, "MPEG Audio", 0.0);
    EXPECT_FALSE(codec.feedEncodedChunk(&empty));
    EXPECT_EQ(codec.framesFed(), 0u);
    EXPECT_EQ(codec.bytesFed(), 0u);
}

TEST(MpegAudioCompressorTest, OutputComesAfterThreeChunks) {
    auto chunks = chunksOf(writtenBytes(2.0), 4, kStart);
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    EXPECT_EQ(codec.getOutputLag(), 3u);
    std::unique_ptr<DecodedAudioChunk> out;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(codec.feedEncodedChunk(chunks[i].get()));
        EXPECT_EQ(codec.getDecodedChunk(2304, out), AudioCompressor::kNeedMoreInput);
        EXPECT_FALSE(out);
    }
    ASSERT_TRUE(codec.feedEncodedChunk(chunks[2].get()));
    ASSERT_EQ(codec.getDecodedChunk(2304, out), AudioCompressor::kChunkProduced);
    EXPECT_EQ(out->formatNameIs(), "PCM");
    EXPECT_EQ(out->numberOfSamplesIs(), 2304u);
    EXPECT_EQ(out->validLengthIs(), 4608u);
    EXPECT_EQ(out->sampleRateIs(), 16000u);
    EXPECT_EQ(out->channelCountIs(), 1u);
    EXPECT_DOUBLE_EQ(out->startTimeIs(), kStart);
    EXPECT_DOUBLE_EQ(codec.firstEpochTimeIs(), kStart);
}

TEST(MpegAudioCompressorTest, DecodedChunksAreTimedByTheirFrames) {
    // Ten frames at T: frames at T, T + 0.036, ..., T + 0.324.
    auto chunks = chunksOf(writtenBytes(1.44), 10, kStart);
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    const auto decoded = decodeAll(codec, chunks, 576);
    ASSERT_EQ(decoded.size(), 40u);
    for (size_t i = 0; i < decoded.size(); ++i) {
        EXPECT_NEAR(decoded[i]->startTimeIs(), kStart + i * 0.036, 1e-6) << i;
    }
    // Sizes that do not divide a frame are timed by the sample they start at.
    MpegAudioCompressor odd(16000, 16000, 32, 7);
    const auto oddDecoded = decodeAll(odd, chunks, 1000);
    double expected = kStart;
    for (const auto& chunk : oddDecoded) {
        EXPECT_NEAR(chunk->startTimeIs(), expected, 1e-6);
        expected += chunk->validLengthIs() / 2 / 16000.0;
    }
    EXPECT_EQ(samplesOf(oddDecoded).size(), 40u * 576) << "no samples are lost or added";
}

TEST(MpegAudioCompressorTest, DecodesWhatTheReferenceDecoderDecodes) {
    if (std::system("command -v mpg123 >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "the mpg123 command is not installed";
    }
    TemporaryDirectory directory("mpeg-codec-");
    const std::string path = directory.path() + "/LOC~4b9e1a40~0~0~0~0.mp3";
    mp3test::writeTimedFile(path, kStart, 3.0);
    const std::string raw = directory.path() + "/reference.raw";
    ASSERT_EQ(std::system(("mpg123 -q -s \"" + path + "\" > \"" + raw + "\"").c_str()), 0);
    const std::vector<uint8_t> reference = mp3test::readBytes(raw);

    // Through the file reader, as playback reads it.
    KorvalisMp3CompressedAudioFile file(path, true);
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    std::vector<std::unique_ptr<EncodedAudioChunk>> chunks;
    std::unique_ptr<EncodedAudioChunk> chunk;
    bool endOfFile = false;
    while (!endOfFile && file.getNextEncodedChunk(chunk, endOfFile, 0.144f)) {
        chunks.push_back(std::move(chunk));
    }
    const std::vector<int16_t> samples = samplesOf(decodeAll(codec, chunks, 2304));
    ASSERT_EQ(samples.size() * 2, reference.size());
    EXPECT_EQ(samples.size(), 83u * 576);
    EXPECT_EQ(std::memcmp(samples.data(), reference.data(), reference.size()), 0);
}

// Decodes `path` as `korvalis mp3 decode` and playback do: 0.144 s chunks from the file reader
// through the codec. `error` receives why reading or decoding stopped before the end.
std::vector<int16_t> decodeThroughReader(const std::string& path, std::string& error) {
    KorvalisMp3CompressedAudioFile file(path, true);
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    std::vector<std::unique_ptr<DecodedAudioChunk>> decoded;
    std::unique_ptr<EncodedAudioChunk> chunk;
    std::unique_ptr<DecodedAudioChunk> out;
    bool endOfFile = false;
    error.clear();
    while (!endOfFile) {
        if (!file.getNextEncodedChunk(chunk, endOfFile, 0.144f)) {
            if (!endOfFile) {
                error = "reader: " + file.getErrorText();
            }
            break;
        }
        if (!codec.feedEncodedChunk(chunk.get())) {
            error = "codec refused a chunk";
            break;
        }
        while (codec.getDecodedChunk(chunk->numberOfSamplesIs(), out) ==
               AudioCompressor::kChunkProduced) {
            decoded.push_back(std::move(out));
        }
    }
    while (codec.drainDecodedChunk(out) == AudioCompressor::kChunkProduced) {
        decoded.push_back(std::move(out));
    }
    return samplesOf(decoded);
}

// What the reference decoder makes of `path`: mono 16-bit samples, nothing trimmed.
std::vector<int16_t> referenceDecode(const std::string& path) {
    const std::string raw = path + ".raw";
    EXPECT_EQ(
        std::system(("mpg123 -q --no-gapless -m -s \"" + path + "\" > \"" + raw + "\"").c_str()),
        0);
    const std::vector<uint8_t> bytes = mp3test::readBytes(raw);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

TEST(MpegAudioCompressorTest, FilesOfVaryingFrameSizesDecodeCompletely) {
    if (std::system("command -v mpg123 >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "the mpg123 command is not installed";
    }
    TemporaryDirectory directory("mpeg-varying-");
    struct Case {
        const char* what;
        std::vector<uint8_t> clean;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    const std::vector<uint8_t> padded = mp3test::lameFile(44100, 128, 4.0);
    const std::vector<uint8_t> variable = mp3test::lameFile(44100, 0, 4.0);
    const std::vector<uint8_t> recorder = writtenBytes(3.0);
    cases.push_back({"44.1 kHz at 128 kbit/s, padded frames", padded, padded});
    cases.push_back({"variable bit rate", variable, variable});
    cases.push_back({"recorder's frames with junk between them", recorder,
                     mp3test::withJunkBetweenFrames(recorder, 10, "JUNK!")});
    cases.push_back({"variable bit rate with junk between frames", variable,
                     mp3test::withJunkBetweenFrames(variable, 7, std::string(300, '\0'))});
    // The sizes really vary.
    std::set<size_t> paddedSizes;
    std::set<size_t> variableSizes;
    for (const auto& frame : mp3test::framesOf(padded)) {
        paddedSizes.insert(frame.second);
    }
    for (const auto& frame : mp3test::framesOf(variable)) {
        variableSizes.insert(frame.second);
    }
    ASSERT_EQ(paddedSizes, (std::set<size_t>{417, 418}));
    ASSERT_GT(variableSizes.size(), 3u);

    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = directory.path() + "/" + std::to_string(index++);
        std::filesystem::create_directories(dir);
        const std::string clean = dir + "/clean.mp3";
        const std::string path = dir + "/LOC~4b9e1a40~0~0~0~0.mp3";
        mp3test::writeBytes(clean, c.clean);
        mp3test::writeBytes(path, c.bytes);
        const std::vector<int16_t> reference = referenceDecode(clean);
        const size_t samplesPerFrame = MpegAudioFrameHeader(c.clean.data()).samplesPerFrame();
        ASSERT_EQ(reference.size(), mp3test::framesOf(c.clean).size() * samplesPerFrame);
        std::string error;
        const std::vector<int16_t> samples = decodeThroughReader(path, error);
        EXPECT_EQ(error, "");
        ASSERT_EQ(samples.size(), reference.size());
        EXPECT_TRUE(samples == reference) << "the same samples as the reference decoder";
    }
}

TEST(MpegAudioCompressorTest, AFrameOfAnotherFormatStopsDecodingAndIsNamed) {
    TemporaryDirectory directory("mpeg-changed-");
    // 44.1 kHz frames, then 22.05 kHz ones: no timed channel changes its rate.
    std::vector<uint8_t> bytes = mp3test::lameFile(44100, 128, 1.0);
    const size_t change = bytes.size();
    const size_t framesBefore = mp3test::framesOf(bytes).size();
    const std::vector<uint8_t> other = mp3test::lameFile(22050, 64, 1.0);
    bytes.insert(bytes.end(), other.begin(), other.end());
    const std::string path = directory.path() + "/LOC~4b9e1a40~0~0~0~0.mp3";
    mp3test::writeBytes(path, bytes);
    std::string error;
    const std::vector<int16_t> samples = decodeThroughReader(path, error);
    EXPECT_NE(error.find("byte " + std::to_string(change)), std::string::npos) << error;
    EXPECT_NE(error.find("22050 Hz"), std::string::npos) << error;
    EXPECT_EQ(samples.size(), framesBefore * 1152) << "every frame before the change is decoded";

    // Frames, then more bytes that are no frame than any gap between frames: not a partial
    // success either.
    std::vector<uint8_t> buried = mp3test::lameFile(44100, 128, 0.5);
    const size_t frames = mp3test::framesOf(buried).size();
    const size_t end = buried.size();
    buried.resize(end + 100000, 0x55);
    const std::string buriedPath = directory.path() + "/LOC~4b9e1a41~0~0~0~0.mp3";
    mp3test::writeBytes(buriedPath, buried);
    EXPECT_EQ(decodeThroughReader(buriedPath, error).size(), frames * 1152);
    EXPECT_NE(error.find("no MPEG audio frame in the"), std::string::npos) << error;
    EXPECT_NE(error.find("from byte " + std::to_string(end)), std::string::npos) << error;
}

TEST(MpegAudioCompressorTest, ResetStartsAFreshStream) {
    auto chunks = chunksOf(writtenBytes(2.0), 4, kStart);
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    std::unique_ptr<DecodedAudioChunk> out;
    for (int i = 0; i < 4; ++i) {
        codec.feedEncodedChunk(chunks[i].get());
    }
    ASSERT_EQ(codec.getDecodedChunk(2304, out), AudioCompressor::kChunkProduced);
    ASSERT_TRUE(codec.reset());
    EXPECT_EQ(codec.bytesFed(), 0u);
    EXPECT_EQ(codec.getDecodedChunk(2304, out), AudioCompressor::kNeedMoreInput);
    for (int i = 8; i < 11; ++i) {
        codec.feedEncodedChunk(chunks[i].get());
    }
    ASSERT_EQ(codec.getDecodedChunk(2304, out), AudioCompressor::kChunkProduced);
    EXPECT_NEAR(out->startTimeIs(), kStart + 32 * 0.036, 1e-6) << "timed from the new position";
}

TEST(MpegAudioCompressorTest, CorruptFramesDecodeToSomethingOrFail) {
    std::vector<uint8_t> bytes = writtenBytes(1.0);
    for (size_t i = 200; i < bytes.size(); i += 7) {
        bytes[i] ^= 0x5A;  // damage everything but the first frame's header
    }
    auto chunks = chunksOf(bytes, 4, kStart);
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    std::unique_ptr<DecodedAudioChunk> out;
    for (const auto& chunk : chunks) {
        codec.feedEncodedChunk(chunk.get());
        const int result = codec.getDecodedChunk(2304, out);
        EXPECT_TRUE(result == 0 || result == 1 || result == 2);
    }
}

TEST(MpegAudioCompressorTest, AcceptsChunksByFormatName) {
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    EncodedAudioChunk mp3(0, 16000, 0, "MPEG Audio", 0.0);
    EncodedAudioChunk other(0, 16000, 0, "PCM", 0.0);
    DecodedAudioChunk pcm(0, 16000, 1, "PCM", 0.0);
    DecodedAudioChunk notPcm(0, 16000, 1, "MPEG Audio", 0.0);
    EXPECT_EQ(codec.formatNameIs(), "MPEG Audio");
    EXPECT_TRUE(codec.acceptsEncodedChunk(&mp3));
    EXPECT_FALSE(codec.acceptsEncodedChunk(&other));
    EXPECT_TRUE(codec.acceptsDecodedChunk(&pcm));
    EXPECT_FALSE(codec.acceptsDecodedChunk(&notPcm));
    EXPECT_FALSE(codec.acceptsEncodedChunk(nullptr));
}

TEST(MpegAudioCompressorTest, MissingChunkIsAFatalError) {
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    EXPECT_DEATH(
        {
            dup2(2, 1);
            codec.feedEncodedChunk(nullptr);
        },
        "MpegAudioCompressor::feedEncodedChunk");
    EXPECT_DEATH(
        {
            dup2(2, 1);
            std::unique_ptr<EncodedAudioChunk> out;
            codec.CompressChunk(nullptr, out, 0);
        },
        "MpegAudioCompressor::CompressChunk");
}

TEST(MpegAudioCompressorTest, EncodesFullChunksAndDecodesThemBack) {
    TemporaryDirectory directory("mpeg-codec-");
    AvDebugLogger& logger = AvDebugLogger::instance();
    ASSERT_TRUE(logger.enableLoggingToFile(directory.path() + "/log", 0));
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    const TimedMp3Writer::Signal tone = TimedMp3Writer::tone(500.0, 0.5);
    std::vector<std::unique_ptr<EncodedAudioChunk>> encoded;
    for (uint32_t block = 0; block < 50; ++block) {
        DecodedAudioChunk pcm(576, 16000, 1, "PCM", kStart + block * 0.036);
        ASSERT_TRUE(pcm.allocateBuffer(false));
        for (uint32_t i = 0; i < 576; ++i) {
            const int16_t sample = tone(block * 576 + i);
            pcm.appendSamples(&sample, 1);
        }
        std::unique_ptr<EncodedAudioChunk> out;
        ASSERT_TRUE(codec.CompressChunk(&pcm, out, 0));
        if (out) {
            EXPECT_EQ(out->validLengthIs(), 144u) << "capacity 0 means one frame";
            EXPECT_EQ(out->numberOfSamplesIs(), 576u);
            EXPECT_EQ(out->sampleRateIs(), 16000u);
            encoded.push_back(std::move(out));
        }
    }
    std::unique_ptr<EncodedAudioChunk> tail;
    ASSERT_TRUE(codec.flushCompressedOutput(tail));
    EXPECT_EQ(tail->validLengthIs() % 144, 0u);
    encoded.push_back(std::move(tail));
    EXPECT_GE(encoded.size(), 50u);
    logger.disableLoggingToFile();

    std::ifstream log(directory.path() + "/log.txt");
    int lines = 0;
    for (std::string line; std::getline(log, line);) {
        if (line.find("lame says OUTPUT frame size (samples) is: 576, lag is 576") !=
            std::string::npos) {
            ++lines;
        }
    }
    EXPECT_EQ(lines, 1) << "the encoder's parameters are reported once";

    MpegAudioCompressor decoder(16000, 16000, 32, 7);
    const std::vector<int16_t> samples = samplesOf(decodeAll(decoder, encoded, 576));
    ASSERT_GT(samples.size(), 50u * 576);
    // A 500 Hz tone at half scale: the decoded middle keeps its level.
    double sum = 0;
    for (size_t i = 5000; i < 25000; ++i) {
        sum += double(samples[i]) * samples[i];
    }
    EXPECT_NEAR(std::sqrt(sum / 20000) / 32767, 0.5 / std::sqrt(2.0), 0.05);
}

}  // namespace
