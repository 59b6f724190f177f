#include <gtest/gtest.h>

#include <vector>

#include "AudioVideoCorrelator.h"
#include "CompressedImage.h"

namespace {

constexpr double kStart = 1268652608.0;
constexpr uint32_t kRate = 16000;
constexpr uint32_t kChunkSamples = 2304;

// A mixed chunk whose samples continue the ramp `first`, `first` + 1, ... (mod 30000), with two
// components whose levels are given, and transaction id `id`.
std::unique_ptr<MixedDecodedAudioChunk> rampChunk(double startTime, uint32_t first,
                                                  uint32_t samples = kChunkSamples,
                                                  uint32_t id = 0) {
    auto chunk = std::make_unique<MixedDecodedAudioChunk>(samples, kRate, 1, "PCM", startTime);
    EXPECT_TRUE(chunk->allocateBuffer(false));
    std::vector<int16_t> values(samples);
    for (uint32_t i = 0; i < samples; ++i) {
        values[i] = static_cast<int16_t>((first + i) % 30000);
    }
    EXPECT_TRUE(chunk->appendSamples(values.data(), samples));
    chunk->addComponent(std::make_unique<DecodedAudioChunk>(0.25f + 0.001f * id));
    chunk->addComponent(std::make_unique<DecodedAudioChunk>(0.5f));
    chunk->transactionIdIs().setIdNumber(id);
    return chunk;
}

std::unique_ptr<VideoSegmentFrame> frameAt(double epochTime) {
    return std::make_unique<VideoSegmentFrame>(
        std::make_unique<CompressedImage>(16, 16, 10, "JPEG"), epochTime, 0);
}

class AudioVideoCorrelatorTest : public ::testing::Test {
protected:
    void SetUp() override { correlator_.initialize(); }

    // Adds `count` consecutive full chunks starting at chunk number `from`.
    void addChunks(unsigned from, unsigned count) {
        for (unsigned i = from; i < from + count; ++i) {
            ASSERT_TRUE(correlator_.addUncompressedAudioChunkToCorrelate(
                rampChunk(chunkStart(i), i * kChunkSamples, kChunkSamples, i), false));
        }
    }
    static double chunkStart(unsigned i) { return kStart + i * 0.144; }

    std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> next() {
        std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item;
        EXPECT_TRUE(correlator_.getNextCorrelatedChunk(item, false));
        return item;
    }

    AudioVideoCorrelator correlator_{90, 2, 0.03f, true, 0.0};
};

TEST_F(AudioVideoCorrelatorTest, CapacitiesFollowTheFirstChunk) {
    EXPECT_EQ(correlator_.sampleRateIs(), 0u);
    std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item;
    EXPECT_FALSE(correlator_.getNextCorrelatedChunk(item, false));
    addChunks(0, 1);
    EXPECT_EQ(correlator_.sampleRateIs(), 16000u);
    EXPECT_EQ(correlator_.inputChunkSamplesIs(), 2304u);
    EXPECT_EQ(correlator_.outputChunkSamplesIs(), 480u);
    EXPECT_EQ(correlator_.audioCapacityIs(), 14u);
    EXPECT_EQ(correlator_.outputCapacityIs(), 67u);
}

TEST_F(AudioVideoCorrelatorTest, EachInputChunkReleasesFourOrFiveOutputs) {
    std::vector<long> released;
    long before = 0;
    for (unsigned i = 0; i < 14; ++i) {
        addChunks(i, 1);
        released.push_back(correlator_.outputsReadyIs() - before);
        before = correlator_.outputsReadyIs();
    }
    // (n + 1) x 2304 / 480 - n x 2304 / 480 for n = 0 .. 13.
    EXPECT_EQ(released, (std::vector<long>{4, 5, 5, 5, 5, 4, 5, 5, 5, 5, 4, 5, 5, 5}));
    EXPECT_EQ(correlator_.outputsReadyIs(), 67);

    // The fifteenth chunk does not fit and is destroyed.
    const long liveBefore = DecodedAudioChunk::liveInstances();
    EXPECT_FALSE(
        correlator_.addUncompressedAudioChunkToCorrelate(rampChunk(chunkStart(14), 0), false));
    EXPECT_EQ(DecodedAudioChunk::liveInstances(), liveBefore);
    EXPECT_EQ(correlator_.queuedAudioChunkCountIs(), 14u);
}

TEST_F(AudioVideoCorrelatorTest, OutputsCarryTheSamplesTimesIdsAndLevelsInOrder) {
    addChunks(0, 3);
    // 3 x 2304 = 6912 samples: 14 outputs of 480, 192 left over.
    uint32_t expectedSample = 0;
    for (unsigned k = 0; k < 14; ++k) {
        auto item = next();
        ASSERT_NE(item, nullptr) << k;
        MixedDecodedAudioChunk* audio = item->audioChunkIs();
        ASSERT_EQ(audio->numberOfSamplesIs(), 480u);
        EXPECT_EQ(audio->validLengthIs(), 960u);
        EXPECT_EQ(audio->formatNameIs(), "PCM");
        for (uint32_t i = 0; i < 480; ++i, ++expectedSample) {
            ASSERT_EQ(audio->sampleAt(i), static_cast<int16_t>(expectedSample % 30000))
                << "output " << k << " sample " << i;
        }
        EXPECT_NEAR(audio->startTimeIs(), kStart + k * 0.03, 1e-6);
        // The id and levels are those of the last input the output draws from.
        const unsigned lastInput = (k * 480 + 479) / kChunkSamples;
        EXPECT_EQ(audio->transactionIdIs().idNumberIs(), lastInput);
        ASSERT_EQ(audio->numberOfComponentsIs(), 2u);
        EXPECT_FLOAT_EQ(audio->componentPowerLevelIs(0), 0.25f + 0.001f * lastInput);
        EXPECT_FLOAT_EQ(audio->componentPowerLevelIs(1), 0.5f);
    }
    std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item;
    EXPECT_FALSE(correlator_.getNextCorrelatedChunk(item, false)) << "192 samples are too few";
    EXPECT_EQ(item, nullptr);
}

TEST_F(AudioVideoCorrelatorTest, ChunksOfOtherLengthsAreCountedByWhatTheyHold) {
    addChunks(0, 1);
    // A short last chunk, as the end of a channel gives.
    ASSERT_TRUE(correlator_.addUncompressedAudioChunkToCorrelate(
        rampChunk(chunkStart(1), kChunkSamples, 100), false));
    EXPECT_EQ(correlator_.outputsReadyIs(), 5) << "2404 samples make 5 outputs";
    for (int k = 0; k < 5; ++k) {
        ASSERT_NE(next(), nullptr) << k;
    }
    std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item;
    EXPECT_FALSE(correlator_.getNextCorrelatedChunk(item, false));

    // A long chunk (three chunks' worth) after a partly cut one.
    ASSERT_TRUE(correlator_.addUncompressedAudioChunkToCorrelate(
        rampChunk(chunkStart(2), 2404, 3 * kChunkSamples), false));
    int outputs = 0;
    while (correlator_.getNextCorrelatedChunk(item, false)) {
        ++outputs;
    }
    EXPECT_EQ(outputs, (4 + 3 * 2304) / 480);
}

TEST_F(AudioVideoCorrelatorTest, FirstChunkWithoutSamplesTeachesNothing) {
    auto empty = std::make_unique<DecodedAudioChunk>(2304, kRate, 1, "PCM", kStart);
    EXPECT_FALSE(correlator_.addUncompressedAudioChunkToCorrelate(std::move(empty), false));
    EXPECT_EQ(correlator_.sampleRateIs(), 0u);
    addChunks(0, 1);
    EXPECT_EQ(correlator_.inputChunkSamplesIs(), 2304u);
}

TEST_F(AudioVideoCorrelatorTest, TimeOffsetShiftsEveryChunk) {
    AudioVideoCorrelator shifted(90, 2, 0.03f, true, -100.0);
    shifted.initialize();
    ASSERT_TRUE(shifted.addUncompressedAudioChunkToCorrelate(rampChunk(kStart, 0), false));
    shifted.addVideoFrameToCorrelate(frameAt(kStart - 100.0 + 0.01), false);
    std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item;
    ASSERT_TRUE(shifted.getNextCorrelatedChunk(item, false));
    EXPECT_DOUBLE_EQ(item->audioChunkIs()->startTimeIs(), kStart - 100.0);
    EXPECT_NE(item->videoFrameIs(), nullptr);
}

TEST_F(AudioVideoCorrelatorTest, FramesAtExactlyTheStartOrEndOfAnOutputArePaired) {
    addChunks(0, 2);
    // The first output is [kStart, kStart + 0.03]: the correlator's own end time.
    const double firstEnd = kStart + static_cast<double>(480.0f / 16000.0f);
    correlator_.addVideoFrameToCorrelate(frameAt(kStart), false);
    correlator_.addVideoFrameToCorrelate(frameAt(firstEnd), false);
    // The second input chunk starts inside output 4 ([0.12, 0.15]).
    correlator_.addVideoFrameToCorrelate(frameAt(chunkStart(1)), false);

    auto first = next();
    ASSERT_NE(first->videoFrameIs(), nullptr);
    EXPECT_EQ(first->videoFrameIs()->getEpochTime(), kStart);
    auto second = next();
    ASSERT_NE(second->videoFrameIs(), nullptr) << "left for the next output, which starts there";
    EXPECT_EQ(second->videoFrameIs()->getEpochTime(), firstEnd);
    EXPECT_EQ(next()->videoFrameIs(), nullptr);
    EXPECT_EQ(next()->videoFrameIs(), nullptr);
    auto spanning = next();
    ASSERT_NE(spanning->videoFrameIs(), nullptr);
    EXPECT_EQ(spanning->videoFrameIs()->getEpochTime(), chunkStart(1));
    EXPECT_EQ(correlator_.queuedFrameCountIs(), 0u);
}

TEST_F(AudioVideoCorrelatorTest, FrameAtTheEndOfAnOutputGoesWithThatOutput) {
    addChunks(0, 1);
    const double firstEnd = kStart + static_cast<double>(480.0f / 16000.0f);
    correlator_.addVideoFrameToCorrelate(frameAt(firstEnd), false);
    auto first = next();
    ASSERT_NE(first->videoFrameIs(), nullptr);
    EXPECT_EQ(first->videoFrameIs()->getEpochTime(), firstEnd);
}

TEST_F(AudioVideoCorrelatorTest, EarlierFramesAreDroppedAndLaterOnesWait) {
    addChunks(0, 1);
    const long framesBefore = VideoSegmentFrame::liveInstances();
    correlator_.addVideoFrameToCorrelate(frameAt(kStart - 1.0), true);
    correlator_.addVideoFrameToCorrelate(frameAt(kStart - 0.5), true);
    correlator_.addVideoFrameToCorrelate(frameAt(kStart + 0.01), true);
    correlator_.addVideoFrameToCorrelate(frameAt(kStart + 0.1), true);
    EXPECT_EQ(correlator_.queuedFrameCountIs(), 4u);

    auto first = next();
    ASSERT_NE(first->videoFrameIs(), nullptr);
    EXPECT_EQ(first->videoFrameIs()->getEpochTime(), kStart + 0.01);
    EXPECT_EQ(correlator_.queuedFrameCountIs(), 1u);
    EXPECT_EQ(VideoSegmentFrame::liveInstances(), framesBefore + 2) << "two dropped, one paired";
    first.reset();
    EXPECT_EQ(next()->videoFrameIs(), nullptr);
    EXPECT_EQ(next()->videoFrameIs(), nullptr);
    auto fourth = next();
    ASSERT_NE(fourth->videoFrameIs(), nullptr);
    EXPECT_EQ(fourth->videoFrameIs()->getEpochTime(), kStart + 0.1);
}

TEST_F(AudioVideoCorrelatorTest, FrameInAFloatingPointCrackBetweenOutputsIsNotLost) {
    // The second chunk starts ten microseconds (less than a sample) after the first ends:
    // output 4 ends at 0.15, output 5 starts just after it. A frame between the two goes with
    // output 5.
    addChunks(0, 1);
    ASSERT_TRUE(correlator_.addUncompressedAudioChunkToCorrelate(
        rampChunk(kStart + 0.144 + 1e-5, kChunkSamples), false));
    const double crack = kStart + 0.15 + 5e-6;
    correlator_.addVideoFrameToCorrelate(frameAt(crack), false);
    for (int k = 0; k < 5; ++k) {
        auto item = next();
        EXPECT_EQ(item->videoFrameIs(), nullptr) << k;
        if (k == 4) {
            EXPECT_LT(item->audioChunkIs()->startTimeIs() + item->audioChunkIs()->durationIs(),
                      crack);
        }
    }
    auto sixth = next();
    ASSERT_NE(sixth->videoFrameIs(), nullptr);
    EXPECT_GT(sixth->audioChunkIs()->startTimeIs(), crack);
}

TEST_F(AudioVideoCorrelatorTest, FrameInARealGapOfTheAudioIsDropped) {
    addChunks(0, 1);
    ASSERT_TRUE(correlator_.addUncompressedAudioChunkToCorrelate(
        rampChunk(kStart + 10.0, kChunkSamples), false));
    correlator_.addVideoFrameToCorrelate(frameAt(kStart + 5.0), false);
    correlator_.addVideoFrameToCorrelate(frameAt(kStart + 10.0 + 0.1), false);
    std::vector<double> paired;
    std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item;
    while (correlator_.getNextCorrelatedChunk(item, false)) {
        if (item->videoFrameIs() != nullptr) {
            paired.push_back(item->videoFrameIs()->getEpochTime());
        }
    }
    EXPECT_EQ(paired, (std::vector<double>{kStart + 10.0 + 0.1}));
}

TEST_F(AudioVideoCorrelatorTest, TimeGoingBackwardsFlushesTheFrameQueue) {
    correlator_.addVideoFrameToCorrelate(frameAt(kStart + 5.0), true);
    correlator_.addVideoFrameToCorrelate(frameAt(kStart + 6.0), true);
    correlator_.addVideoFrameToCorrelate(frameAt(kStart + 6.0), true);
    EXPECT_EQ(correlator_.flushedFrameCountIs(), 0) << "equal times do not flush";
    EXPECT_EQ(correlator_.queuedFrameCountIs(), 3u);

    correlator_.addVideoFrameToCorrelate(frameAt(kStart + 1.0), true);
    EXPECT_EQ(correlator_.flushedFrameCountIs(), 1);
    EXPECT_EQ(correlator_.queuedFrameCountIs(), 1u);

    EXPECT_FALSE(correlator_.flushAllVideoFramesIfLaterTimeFound(kStart + 1.0));
    EXPECT_TRUE(correlator_.flushAllVideoFramesIfLaterTimeFound(kStart + 0.5));
    EXPECT_EQ(correlator_.queuedFrameCountIs(), 0u);

    // Every flushed frame gave its slot back: 90 frames fit again, waiting for each.
    for (int i = 0; i < 90; ++i) {
        correlator_.addVideoFrameToCorrelate(frameAt(kStart + 10.0 + i), true);
    }
    EXPECT_EQ(correlator_.queuedFrameCountIs(), 90u);
}

TEST_F(AudioVideoCorrelatorTest, WithoutFlushingOlderFramesStayQueued) {
    AudioVideoCorrelator keeping(90, 2, 0.03f, false, 0.0);
    keeping.initialize();
    keeping.addVideoFrameToCorrelate(frameAt(kStart + 5.0), false);
    keeping.addVideoFrameToCorrelate(frameAt(kStart + 1.0), false);
    EXPECT_EQ(keeping.queuedFrameCountIs(), 2u);
    EXPECT_EQ(keeping.flushedFrameCountIs(), 0);
}

TEST_F(AudioVideoCorrelatorTest, FullFrameQueueDestroysTheOfferedFrame) {
    AudioVideoCorrelator small(3, 2, 0.03f, true, 0.0);
    small.initialize();
    const long framesBefore = VideoSegmentFrame::liveInstances();
    for (int i = 0; i < 5; ++i) {
        small.addVideoFrameToCorrelate(frameAt(kStart + i), false);
    }
    EXPECT_EQ(small.queuedFrameCountIs(), 3u);
    EXPECT_EQ(VideoSegmentFrame::liveInstances(), framesBefore + 3);
}

TEST_F(AudioVideoCorrelatorTest, ResetEmptiesEverythingAndKeepsTheFormat) {
    const long chunksBefore = DecodedAudioChunk::liveInstances();
    const long framesBefore = VideoSegmentFrame::liveInstances();
    addChunks(0, 14);
    ASSERT_NE(next(), nullptr) << "leaves a partly cut chunk";
    for (int i = 0; i < 90; ++i) {
        correlator_.addVideoFrameToCorrelate(frameAt(kStart + 100.0 + i), true);
    }
    correlator_.reset();
    EXPECT_EQ(DecodedAudioChunk::liveInstances(), chunksBefore);
    EXPECT_EQ(VideoSegmentFrame::liveInstances(), framesBefore);
    EXPECT_EQ(correlator_.queuedAudioChunkCountIs(), 0u);
    EXPECT_EQ(correlator_.queuedFrameCountIs(), 0u);
    EXPECT_EQ(correlator_.outputsReadyIs(), 0);
    std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item;
    EXPECT_FALSE(correlator_.getNextCorrelatedChunk(item, false));
    EXPECT_EQ(correlator_.outputCapacityIs(), 67u);

    // Every slot is free again: 14 chunks and 90 frames fit, each waiting for its slot.
    for (unsigned i = 0; i < 14; ++i) {
        ASSERT_TRUE(correlator_.addUncompressedAudioChunkToCorrelate(
            rampChunk(kStart + 50.0 + i * 0.144, 0), true));
    }
    for (int i = 0; i < 90; ++i) {
        correlator_.addVideoFrameToCorrelate(frameAt(kStart + 50.0 + i * 0.1), true);
    }
    EXPECT_EQ(correlator_.outputsReadyIs(), 67);
    auto first = next();
    EXPECT_DOUBLE_EQ(first->audioChunkIs()->startTimeIs(), kStart + 50.0);
    ASSERT_NE(first->videoFrameIs(), nullptr);
    EXPECT_EQ(first->videoFrameIs()->getEpochTime(), kStart + 50.0);
}

TEST_F(AudioVideoCorrelatorTest, ComponentsAreCopiedOnlyFromMixedChunks) {
    MixedDecodedAudioChunk target(480, kRate, 1, "PCM", kStart);
    DecodedAudioChunk plain(480, kRate, 1, "PCM", kStart);
    EXPECT_FALSE(correlator_.fillComponentsFromAnotherMixedChunk(&target, &plain));
    EXPECT_EQ(target.numberOfComponentsIs(), 0u);

    auto source = rampChunk(kStart, 0, 480, 3);
    EXPECT_TRUE(correlator_.fillComponentsFromAnotherMixedChunk(&target, source.get()));
    ASSERT_EQ(target.numberOfComponentsIs(), 2u);
    EXPECT_FLOAT_EQ(target.componentPowerLevelIs(0), 0.253f);
    EXPECT_FLOAT_EQ(target.componentPowerLevelIs(1), 0.5f);
    EXPECT_EQ(target.componentIs(0)->bufferIs(), nullptr) << "level-only components";
}

std::unique_ptr<DecodedAudioChunk> chunkOfSamples(const std::vector<int16_t>& samples) {
    auto chunk = std::make_unique<DecodedAudioChunk>(static_cast<uint32_t>(samples.size()), kRate,
                                                     1, "PCM", kStart);
    EXPECT_TRUE(chunk->allocateBuffer(false));
    EXPECT_TRUE(chunk->appendSamples(samples.data(), static_cast<uint32_t>(samples.size())));
    return chunk;
}

TEST_F(AudioVideoCorrelatorTest, OutputLevelsAreThoseTheComponentsThemselvesGive) {
    // Components with samples, as the mixer leaves them: noise of several sizes and offsets.
    auto source = std::make_unique<MixedDecodedAudioChunk>(kChunkSamples, kRate, 1, "PCM", kStart);
    ASSERT_TRUE(source->allocateBuffer(true));
    source->advanceValidLength(source->bufferSizeIs());
    std::vector<std::unique_ptr<DecodedAudioChunk>> copies;
    uint32_t state = 12345;
    // Eleven channels: more than are summed side by side, one of them shorter.
    constexpr unsigned kChannels = 11;
    for (unsigned channel = 0; channel < kChannels; ++channel) {
        std::vector<int16_t> samples(channel == 5 ? 1000 : kChunkSamples);
        for (int16_t& sample : samples) {
            state = state * 1103515245u + 12345u;
            sample = static_cast<int16_t>(static_cast<int>((state >> 16) % 20001) - 10000 +
                                          static_cast<int>(channel) * 2000);
            sample = static_cast<int16_t>(sample / (channel + 1));
        }
        // One copy goes into the mix, the other answers the level on its own.
        source->addComponent(chunkOfSamples(samples));
        copies.push_back(chunkOfSamples(samples));
    }
    // And a level-only component, whose stored level is its answer.
    source->addComponent(std::make_unique<DecodedAudioChunk>(0.125f));
    copies.push_back(std::make_unique<DecodedAudioChunk>(0.125f));
    ASSERT_TRUE(correlator_.addUncompressedAudioChunkToCorrelate(std::move(source), false));
    auto item = next();
    MixedDecodedAudioChunk* audio = item->audioChunkIs();
    ASSERT_EQ(audio->numberOfComponentsIs(), kChannels + 1);
    for (unsigned channel = 0; channel <= kChannels; ++channel) {
        EXPECT_EQ(audio->componentPowerLevelIs(channel), copies[channel]->powerLevelIs(true))
            << channel;
        EXPECT_GT(audio->componentPowerLevelIs(channel), 0.0f);
    }
}

}  // namespace
