#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "AudioDecoder.h"
#include "AudioDecoderMediaFileCheckpoint.h"
#include "DecoderTestSupport.h"
#include "EncodedAudioChunk.h"
#include "InterleavedAudioVideoDecoder.h"
#include "KorvalisMp3CompressedAudioFile.h"
#include "MpegAudioCompressor.h"
#include "TransactionId.h"
#include "WallClockTime.h"

namespace {

constexpr double S = DecoderTestSupport::kSessionStart;
constexpr double kSampleSeconds = 1.0 / 16000.0;
constexpr double kFrameSeconds = TimedMp3Writer::kFrameDurationSeconds;

// The exact end of a timed file written for `seconds`.
double fileEnd(double start, double seconds) {
    return start + std::round(seconds / kFrameSeconds) * kFrameSeconds;
}

// Each piece starts where the one before it ended.
void expectContinuous(const std::vector<DecoderTestSupport::Piece>& pieces) {
    for (size_t i = 1; i < pieces.size(); ++i) {
        const double expected = pieces[i - 1].startTime + pieces[i - 1].samples * kSampleSeconds;
        EXPECT_NEAR(pieces[i].startTime, expected, 1e-4) << "chunk " << i;
    }
}

double piecesEnd(const std::vector<DecoderTestSupport::Piece>& pieces) {
    return pieces.back().startTime + pieces.back().samples * kSampleSeconds;
}

// The name of the file the decoder reads, through its checkpoint.
std::string currentFileName(AudioDecoder& decoder) {
    auto checkpoint = decoder.generateCheckpoint();
    auto* decoderCheckpoint = dynamic_cast<AudioDecoderMediaFileCheckpoint*>(checkpoint.get());
    return decoderCheckpoint == nullptr ? std::string() : decoderCheckpoint->fileNameIs();
}

class AudioDecoderTest : public ::testing::Test {
protected:
    DecoderTestSupport media_;
};

TEST_F(AudioDecoderTest, AnEmptyDecoderEndsAtOnceAndHasNoCheckpoint) {
    auto decoder = DecoderTestSupport::makeDecoder();
    bool endOfData = false;
    EXPECT_EQ(decoder->getNextDecodedChunk(&endOfData), nullptr);
    EXPECT_TRUE(endOfData);
    endOfData = false;
    EXPECT_EQ(decoder->getNextEncodedChunk(&endOfData, nullptr), nullptr);
    EXPECT_TRUE(endOfData);
    EXPECT_EQ(decoder->generateCheckpoint(), nullptr);
    EXPECT_FALSE(decoder->setPositionByWallClockTime(S, -1.0f));
    EXPECT_EQ(decoder->totalPlayTimeIs(), 0.0);
    std::vector<TimeRange> ranges;
    EXPECT_EQ(decoder->listTimeRanges(ranges, true, 5.0f), 0u);
}

TEST_F(AudioDecoderTest, FilesAreKeptInTimeOrderAndDuplicatesAreRefused) {
    const auto a = media_.writeChannelMp3(0, S, 2.0);
    const auto b = media_.writeChannelMp3(0, fileEnd(S, 2.0), 2.0);
    const auto c = media_.writeChannelMp3(0, fileEnd(fileEnd(S, 2.0), 2.0), 2.0);
    auto decoder = DecoderTestSupport::makeDecoder({c, a, b});
    EXPECT_FALSE(
        decoder->addFileToDecodeList(std::make_unique<KorvalisMp3CompressedAudioFile>(b, true)));
    ASSERT_EQ(decoder->numberOfFilesIs(), 3u);
    const auto files = decoder->filesInDecodeListIs();
    EXPECT_EQ(files[0]->fileName(), a);
    EXPECT_EQ(files[1]->fileName(), b);
    EXPECT_EQ(files[2]->fileName(), c);
    EXPECT_TRUE(decoder->fileNameIsInDecodeList(b));
    EXPECT_FALSE(decoder->fileNameIsInDecodeList(b + "x"));
    EXPECT_NEAR(decoder->totalPlayTimeIs(), 3 * (fileEnd(S, 2.0) - S), 1e-4);

    // Added out of order and never positioned, the decoder still starts with the earliest file,
    // and plays all three without a break.
    std::vector<int16_t> samples;
    const auto pieces = DecoderTestSupport::decodeToEnd(*decoder, &samples);
    ASSERT_FALSE(pieces.empty());
    EXPECT_NEAR(pieces.front().startTime, S, 1e-3);
    expectContinuous(pieces);
}

// The codec holds back the audio of the last chunks fed to it. A reader that stops at the end of
// the data must still get all of it: the end is reported only with the last audio, and what the
// codec keeps because it is less than a chunk is drained at the end.
TEST_F(AudioDecoderTest, TheEndOfTheDataHandsOutWhatTheCodecStillHolds) {
    const double seconds = 2.0;
    const auto a = media_.writeChannelMp3(0, S, seconds);
    const size_t frames = static_cast<size_t>(std::round(seconds / kFrameSeconds));
    // 0.144 s chunks are 4 frames; 0.1 s chunks are 3 frames and leave one frame over at the end.
    for (float chunkSeconds : {0.144f, 0.1f}) {
        SCOPED_TRACE(chunkSeconds);
        AudioDecoder decoder(std::make_unique<MpegAudioCompressor>(16000, 16000, 32, 7),
                             chunkSeconds);
        ASSERT_TRUE(
            decoder.addFileToDecodeList(std::make_unique<KorvalisMp3CompressedAudioFile>(a, true)));
        std::vector<DecoderTestSupport::Piece> pieces;
        std::vector<int16_t> samples;
        bool endOfData = false;
        for (int call = 0; call < 1000 && !endOfData; ++call) {
            auto chunk = decoder.getNextDecodedChunk(&endOfData);
            if (chunk) {
                pieces.push_back({chunk->startTimeIs(), chunk->numberOfSamplesIs()});
                for (uint32_t k = 0; k < chunk->numberOfSamplesIs(); ++k) {
                    samples.push_back(chunk->sampleAt(k));
                }
            }
        }
        ASSERT_TRUE(endOfData);
        ASSERT_FALSE(pieces.empty());
        EXPECT_EQ(samples.size(), frames * TimedMp3Writer::kSamplesPerFrame);
        EXPECT_NEAR(piecesEnd(pieces), fileEnd(S, seconds), 1e-3);
        expectContinuous(pieces);
        // The drained audio comes in chunks no longer than the usual ones.
        for (const auto& piece : pieces) {
            EXPECT_LE(piece.samples, 2304u);
        }
        // The tone runs to the very end: the last 0.1 s is not silence.
        const std::vector<int16_t> tail(samples.end() - 1600, samples.end());
        EXPECT_EQ(DecoderTestSupport::dominantFrequency(tail, {440.0, 880.0}), 440.0);

        EXPECT_EQ(decoder.getNextDecodedChunk(&endOfData), nullptr);
        EXPECT_TRUE(endOfData);
        // A seek back starts the stream again, drain included.
        ASSERT_TRUE(decoder.setPositionByWallClockTime(S + 1.0, 0.5f));
        const auto again = DecoderTestSupport::decodeToEnd(decoder, nullptr);
        ASSERT_FALSE(again.empty());
        EXPECT_NEAR(again.front().startTime, S + 1.0, kFrameSeconds);
        EXPECT_NEAR(piecesEnd(again), fileEnd(S, seconds), 1e-3);
    }
}

TEST_F(AudioDecoderTest, ASeekIntoTheMiddleDecodesAcrossTheFileBoundaryWithoutLossOrRepeat) {
    const auto a = media_.writeChannelMp3(0, S, 10.0, TimedMp3Writer::tone(440.0));
    const double bStart = fileEnd(S, 10.0);
    const auto b = media_.writeChannelMp3(0, bStart, 10.0, TimedMp3Writer::tone(1000.0));
    const auto c = media_.writeChannelMp3(0, fileEnd(bStart, 10.0), 10.0);
    auto decoder = DecoderTestSupport::makeDecoder({a, b, c});
    ASSERT_TRUE(decoder->setPositionByWallClockTime(S + 8.5, -1.0f));
    EXPECT_EQ(currentFileName(*decoder), a);

    std::vector<DecoderTestSupport::Piece> pieces;
    std::vector<int16_t> samples;
    for (int i = 0; i < 30; ++i) {  // 4.3 s: well into file b
        bool endOfData = false;
        auto chunk = decoder->getNextDecodedChunk(&endOfData);
        ASSERT_NE(chunk, nullptr);
        pieces.push_back({chunk->startTimeIs(), chunk->numberOfSamplesIs()});
        for (uint32_t k = 0; k < chunk->numberOfSamplesIs(); ++k) {
            samples.push_back(chunk->sampleAt(k));
        }
    }
    EXPECT_NEAR(pieces.front().startTime, S + 8.5, kFrameSeconds);
    expectContinuous(pieces);
    EXPECT_EQ(currentFileName(*decoder), b);
    // Sample k is at pieces.front().startTime + k / 16000: a's tone before the boundary, b's
    // after it, neither shifted (nothing lost, nothing repeated).
    const auto indexAt = [&](double time) {
        return static_cast<size_t>(std::lround((time - pieces.front().startTime) * 16000.0));
    };
    const size_t boundary = indexAt(bStart);
    ASSERT_LT(boundary + 8000, samples.size());
    const std::vector<int16_t> before(samples.begin() + boundary - 1600,
                                      samples.begin() + boundary - 100);
    const std::vector<int16_t> after(samples.begin() + boundary + 100,
                                     samples.begin() + boundary + 1600);
    EXPECT_EQ(DecoderTestSupport::dominantFrequency(before, {440.0, 1000.0}), 440.0);
    EXPECT_EQ(DecoderTestSupport::dominantFrequency(after, {440.0, 1000.0}), 1000.0);
    EXPECT_NEAR(pieces.front().startTime + samples.size() * kSampleSeconds, piecesEnd(pieces),
                1e-6);
}

TEST_F(AudioDecoderTest, GapsSnapToTheLaterFileOnlyWithToleranceMinusOne) {
    const auto a = media_.writeChannelMp3(0, S, 5.0);
    const double aEnd = fileEnd(S, 5.0);
    const auto b = media_.writeChannelMp3(0, S + 10.0, 5.0);
    auto decoder = DecoderTestSupport::makeDecoder({a, b});

    // In the gap: -1.0 moves to b's start, any other tolerance fails.
    EXPECT_FALSE(decoder->setPositionByWallClockTime(S + 7.0, 1.0f));
    EXPECT_FALSE(decoder->setPositionByWallClockTime(S + 7.0, -0.5f));
    ASSERT_TRUE(decoder->setPositionByWallClockTime(S + 7.0, -1.0f));
    EXPECT_EQ(currentFileName(*decoder), b);
    bool endOfData = false;
    std::unique_ptr<DecodedAudioChunk> chunk;
    for (int i = 0; i < 5 && !chunk; ++i) {
        chunk = decoder->getNextDecodedChunk(&endOfData);
    }
    ASSERT_NE(chunk, nullptr);
    EXPECT_NEAR(chunk->startTimeIs(), S + 10.0, 1e-3);

    // Before the first file: snapped to its start.
    ASSERT_TRUE(decoder->setPositionByWallClockTime(S - 3.0, -1.0f));
    EXPECT_EQ(currentFileName(*decoder), a);
    // After the last file: nothing takes it.
    EXPECT_FALSE(decoder->setPositionByWallClockTime(fileEnd(S + 10.0, 5.0) + 1.0, -1.0f));

    // Exactly a file's start and end are the file's.
    ASSERT_TRUE(decoder->setPositionByWallClockTime(aEnd, 0.1f));
    EXPECT_EQ(currentFileName(*decoder), a);
    ASSERT_TRUE(decoder->setPositionByWallClockTime(S + 10.0, 0.1f));
    EXPECT_EQ(currentFileName(*decoder), b);
    // From a's exact end, reading goes on with b.
    ASSERT_TRUE(decoder->setPositionByWallClockTime(aEnd, 0.1f));
    chunk.reset();
    for (int i = 0; i < 5 && !chunk; ++i) {
        chunk = decoder->getNextDecodedChunk(&endOfData);
    }
    ASSERT_NE(chunk, nullptr);
    EXPECT_NEAR(chunk->startTimeIs(), S + 10.0, 1e-3);
}

TEST_F(AudioDecoderTest, ChannelsWhoseFilesStartUnderOneSecondApartAreSlaved) {
    const auto master = media_.writeChannelMp3(0, S, 4.0);
    const auto near = media_.writeChannelMp3(1, S + 0.9, 4.0);
    const auto far = media_.writeChannelMp3(2, S + 1.0, 4.0);
    auto masterDecoder = DecoderTestSupport::makeDecoder({master});
    auto nearDecoder = DecoderTestSupport::makeDecoder({near});
    auto farDecoder = DecoderTestSupport::makeDecoder({far});
    ASSERT_TRUE(masterDecoder->setPositionByWallClockTime(S + 2.0, 0.5f));

    EXPECT_FALSE(masterDecoder->slaveToAnotherDecoder(masterDecoder.get()));
    EXPECT_FALSE(farDecoder->slaveToAnotherDecoder(masterDecoder.get()));
    ASSERT_TRUE(nearDecoder->slaveToAnotherDecoder(masterDecoder.get()));
    // Slaved, the channel reads its file at the master's read point.
    bool endOfData = false;
    auto masterChunk = masterDecoder->getNextEncodedChunk(&endOfData, nullptr);
    auto slaveChunk = nearDecoder->getNextEncodedChunk(&endOfData, nullptr);
    ASSERT_NE(masterChunk, nullptr);
    ASSERT_NE(slaveChunk, nullptr);
    EXPECT_NEAR(slaveChunk->startTimeIs() - (S + 0.9), masterChunk->startTimeIs() - S, 1e-3);
    EXPECT_NEAR(masterChunk->startTimeIs(), S + 2.0, kFrameSeconds);
    // The one not slaved reads its own file from its start.
    auto farChunk = farDecoder->getNextEncodedChunk(&endOfData, nullptr);
    ASSERT_NE(farChunk, nullptr);
    EXPECT_NEAR(farChunk->startTimeIs(), S + 1.0, 1e-6);
}

TEST_F(AudioDecoderTest, MergedTimeRangesJoinSmallGapsAndSplitAtSealedFiles) {
    const double aEnd = fileEnd(S, 5.0);
    const auto a = media_.writeChannelMp3(0, S, 5.0);
    const double bStart = aEnd + 4.0;  // 4 s gap: merged
    const auto b = media_.writeChannelMp3(0, bStart, 5.0);
    const double bEnd = fileEnd(bStart, 5.0);
    const double cStart = bEnd + 6.0;  // 6 s gap: a new range
    const auto c = media_.writeChannelMp3(0, cStart, 5.0);
    const double cEnd = fileEnd(cStart, 5.0);
    const auto d = media_.writeSealedAudio(0, cEnd, cEnd + 30.0);  // no gap, but sealed
    const auto e = media_.writeSealedAudio(0, cEnd + 33.0, cEnd + 60.0);
    const double fStart = cEnd + 60.0;
    const auto f = media_.writeChannelMp3(0, fStart, 5.0);
    auto decoder = DecoderTestSupport::makeDecoder({f, e, d, c, b, a});

    std::vector<TimeRange> merged;
    ASSERT_EQ(decoder->listTimeRanges(merged, true, 5.0f), 4u);
    ASSERT_EQ(merged.size(), 4u);
    EXPECT_DOUBLE_EQ(merged[0].start, S);
    EXPECT_NEAR(merged[0].end, bEnd, 1e-4);
    EXPECT_FALSE(merged[0].sealed);
    EXPECT_DOUBLE_EQ(merged[1].start, cStart);
    EXPECT_NEAR(merged[1].end, cEnd, 1e-4);
    EXPECT_FALSE(merged[1].sealed);
    EXPECT_NEAR(merged[2].start, cEnd, 1e-3);
    EXPECT_NEAR(merged[2].end, cEnd + 60.0, 1e-3);
    EXPECT_TRUE(merged[2].sealed);
    EXPECT_NEAR(merged[3].start, fStart, 1e-3);
    EXPECT_FALSE(merged[3].sealed);

    std::vector<TimeRange> perFile{{1.0, 2.0, true}};  // appended to, not replaced
    EXPECT_EQ(decoder->listTimeRanges(perFile, false, 5.0f), 6u);
    ASSERT_EQ(perFile.size(), 7u);
    EXPECT_DOUBLE_EQ(perFile[1].start, S);
    EXPECT_FALSE(perFile[4].sealed);  // without merging every range is plain

    std::vector<CompressedAudioFile*> inRange;
    decoder->getAllFilesInTimeRange(S + 1.0, bStart + 1.0, inRange, false);
    ASSERT_EQ(inRange.size(), 2u);
    EXPECT_EQ(inRange[0]->fileName(), a);
    EXPECT_EQ(inRange[1]->fileName(), b);
    inRange.clear();
    decoder->getAllFilesInTimeRange(S + 1.0, bEnd + 1.0, inRange, true);
    ASSERT_EQ(inRange.size(), 1u);
    EXPECT_EQ(inRange[0]->fileName(), b);

    // Sealed spans are skipped when reading: from c the stream goes on with f.
    ASSERT_TRUE(decoder->setPositionByWallClockTime(cEnd - 0.5, 0.1f));
    const auto pieces = DecoderTestSupport::decodeToEnd(*decoder, nullptr);
    ASSERT_FALSE(pieces.empty());
    EXPECT_NEAR(piecesEnd(pieces), fileEnd(fStart, 5.0), 1e-3);
    // The sealed placeholder keeps no position.
    ASSERT_TRUE(decoder->setPositionByWallClockTime(cEnd + 10.0, 0.1f));
    EXPECT_EQ(decoder->generateCheckpoint(), nullptr);
}

TEST_F(AudioDecoderTest, ACheckpointRestoresFileAndPosition) {
    const auto a = media_.writeChannelMp3(0, S, 6.0);
    const auto b = media_.writeChannelMp3(0, fileEnd(S, 6.0), 6.0);
    auto decoder = DecoderTestSupport::makeDecoder({a, b});
    ASSERT_TRUE(decoder->setPositionByWallClockTime(S + 8.0, 0.1f));
    bool endOfData = false;
    for (int i = 0; i < 4; ++i) {
        decoder->getNextDecodedChunk(&endOfData);
    }
    auto checkpoint = decoder->generateCheckpoint();
    ASSERT_NE(checkpoint, nullptr);
    auto* saved = dynamic_cast<AudioDecoderMediaFileCheckpoint*>(checkpoint.get());
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->fileNameIs(), b);
    ASSERT_NE(saved->fileCheckpointIs(), nullptr);

    std::vector<double> times;
    for (int i = 0; i < 3; ++i) {
        auto chunk = decoder->getNextEncodedChunk(&endOfData, nullptr);
        ASSERT_NE(chunk, nullptr);
        times.push_back(chunk->startTimeIs());
    }
    ASSERT_TRUE(decoder->setPositionByWallClockTime(S + 1.0, 0.1f));
    ASSERT_TRUE(decoder->restoreCheckpoint(checkpoint.get()));
    EXPECT_EQ(currentFileName(*decoder), b);
    for (int i = 0; i < 3; ++i) {
        auto chunk = decoder->getNextEncodedChunk(&endOfData, nullptr);
        ASSERT_NE(chunk, nullptr);
        EXPECT_DOUBLE_EQ(chunk->startTimeIs(), times[i]);
    }
    // Decoding after a restore starts at the restored position, not with old codec audio.
    ASSERT_TRUE(decoder->restoreCheckpoint(checkpoint.get()));
    std::unique_ptr<DecodedAudioChunk> decoded;
    for (int i = 0; i < 5 && !decoded; ++i) {
        decoded = decoder->getNextDecodedChunk(&endOfData);
    }
    ASSERT_NE(decoded, nullptr);
    EXPECT_NEAR(decoded->startTimeIs(), times[0], 1e-3);

    // A checkpoint naming no listed file restores nothing.
    AudioDecoderMediaFileCheckpoint stranger(
        a + ".gone",
        std::make_unique<KorvalisMp3CompressedAudioFile::KorvalisMp3MediaFileCheckpoint>(
            0.0f, 0, -1.0, true));
    EXPECT_FALSE(decoder->restoreCheckpoint(&stranger));
    AudioDecoderMediaFileCheckpoint empty("", nullptr);
    EXPECT_FALSE(decoder->restoreCheckpoint(&empty));
}

TEST_F(AudioDecoderTest, TheTransactionIdIsCopiedIntoEncodedChunks) {
    const auto a = media_.writeChannelMp3(0, S, 1.0);
    auto decoder = DecoderTestSupport::makeDecoder({a});
    TransactionId id(4711);
    bool endOfData = false;
    auto chunk = decoder->getNextEncodedChunk(&endOfData, &id);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(chunk->transactionIdIs().idNumberIs(), 4711u);
}

// Files that cannot deliver are skipped; a last file that cannot deliver ends the data instead of
// being asked again for ever.
TEST_F(AudioDecoderTest, FilesThatCannotDeliverAreSkippedWithoutHanging) {
    const auto a = media_.writeChannelMp3(0, S, 3.0);
    const double bStart = fileEnd(S, 3.0);
    const auto b = media_.writeChannelMp3(0, bStart, 3.0);
    const double cStart = fileEnd(bStart, 3.0);
    const auto c = media_.writeChannelMp3(0, cStart, 3.0);
    const double dStart = fileEnd(cStart, 3.0);
    const auto d = media_.writeChannelMp3(0, dStart, 3.0);
    auto decoder = DecoderTestSupport::makeDecoder({a, b, c, d});
    // b corrupt (not MPEG audio at all), c cut short, d gone after it was listed.
    { std::ofstream(b, std::ios::binary | std::ios::trunc) << std::string(9000, '\x42'); }
    std::filesystem::resize_file(c, std::filesystem::file_size(c) / 3 + 50);
    std::filesystem::remove(d);

    std::vector<int16_t> samples;
    const auto pieces = DecoderTestSupport::decodeToEnd(*decoder, &samples, 2000);
    ASSERT_FALSE(pieces.empty());
    EXPECT_LT(pieces.size(), 2000u);
    EXPECT_NEAR(pieces.front().startTime, S, 1e-3);
    // a is heard whole, then the part of c that is left; nothing after c's cut.
    EXPECT_GT(samples.size(), static_cast<size_t>(3.0 * 16000) + 8000);
    EXPECT_LT(piecesEnd(pieces), cStart + 1.5);
    bool endOfData = false;
    EXPECT_EQ(decoder->getNextDecodedChunk(&endOfData), nullptr);
    EXPECT_TRUE(endOfData);
}

TEST_F(AudioDecoderTest, OnlyTheCurrentFileKeepsADescriptor) {
    std::vector<std::string> paths;
    double start = S;
    for (int i = 0; i < 6; ++i) {
        paths.push_back(media_.writeChannelMp3(0, start, 1.0));
        start = fileEnd(start, 1.0);
    }
    auto decoder = DecoderTestSupport::makeDecoder(paths);
    EXPECT_EQ(DecoderTestSupport::openFilesBelow(media_.root()), 0);  // adding opens nothing
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(decoder->setPositionByWallClockTime(S + i * 1.0 + 0.5, 0.1f));
        bool endOfData = false;
        decoder->getNextEncodedChunk(&endOfData, nullptr);
        EXPECT_LE(DecoderTestSupport::openFilesBelow(media_.root()), 1) << "after seek " << i;
    }
    // Reading on through the files leaves at most the current one open.
    DecoderTestSupport::decodeToEnd(*decoder, nullptr);
    EXPECT_LE(DecoderTestSupport::openFilesBelow(media_.root()), 1);
    EXPECT_TRUE(decoder->refreshAllFileInformation(60.0));
    EXPECT_LE(DecoderTestSupport::openFilesBelow(media_.root()), 1);
}

TEST_F(AudioDecoderTest, RefreshRereadsAGrowingFile) {
    // A file that started a moment ago (a live recording) is re-read; an old one is not.
    const double now = WallClockTime().asUtcSeconds();
    const double liveStart = std::floor(now) - 10.0;
    const auto live = media_.writeChannelMp3(0, liveStart, 2.0);
    auto decoder = DecoderTestSupport::makeDecoder({live});
    const double before = decoder->totalPlayTimeIs();
    // The recorder grows the file: same name, more frames.
    const std::string grown = live + ".tmp";
    TimedMp3Writer writer(liveStart, 5.0);
    ASSERT_TRUE(writer.writeFile(grown));
    std::filesystem::rename(grown, live);
    EXPECT_NEAR(decoder->totalPlayTimeIs(), before, 1e-6);  // not seen until refreshed
    EXPECT_TRUE(decoder->refreshAllFileInformation(60.0));
    EXPECT_NEAR(decoder->totalPlayTimeIs(), fileEnd(liveStart, 5.0) - liveStart, 1e-3);
    // With a maximum age shorter than the file's, nothing is re-read.
    TimedMp3Writer longer(liveStart, 8.0);
    ASSERT_TRUE(longer.writeFile(grown));
    std::filesystem::rename(grown, live);
    EXPECT_TRUE(decoder->refreshAllFileInformation(5.0));
    EXPECT_NEAR(decoder->totalPlayTimeIs(), fileEnd(liveStart, 5.0) - liveStart, 1e-3);
}

}  // namespace

namespace {

TEST(AudioDecoderFatalChecksTest, MissingCodecFileMasterOrForeignCheckpointIsFatal) {
    EXPECT_DEATH(
        {
            dup2(2, 1);
            AudioDecoder decoder(static_cast<AudioCompressor*>(nullptr), 0.144f);
        },
        "AudioDecoder::AudioDecoder");
    auto decoder = DecoderTestSupport::makeDecoder();
    EXPECT_DEATH(
        {
            dup2(2, 1);
            decoder->addFileToDecodeList(nullptr);
        },
        "AudioDecoder::addFileToDecodeList");
    auto empty = DecoderTestSupport::makeDecoder();
    EXPECT_DEATH(
        {
            dup2(2, 1);
            decoder->slaveToAnotherDecoder(empty.get());
        },
        "AudioDecoder::slaveToAnotherDecoder");
    KorvalisMp3CompressedAudioFile::KorvalisMp3MediaFileCheckpoint foreign(0.0f, 0, -1.0, true);
    EXPECT_DEATH(
        {
            dup2(2, 1);
            decoder->restoreCheckpoint(&foreign);
        },
        "AudioDecoder::restoreCheckpoint");
    EXPECT_DEATH(
        {
            dup2(2, 1);
            InterleavedAudioVideoDecoder interleaved(nullptr, nullptr, 2.0f);
        },
        "InterleavedAudioVideoDecoder::InterleavedAudioVideoDecoder");
    VideoDecoder video;
    EXPECT_DEATH(
        {
            dup2(2, 1);
            video.addFileToDecodeList(nullptr);
        },
        "VideoDecoder::addFileToDecodeList");
}

}  // namespace
