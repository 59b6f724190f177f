#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "MixedDecodedAudioChunk.h"

namespace {

std::unique_ptr<DecodedAudioChunk> chunkOf(const std::vector<int16_t>& samples) {
    auto chunk = std::make_unique<DecodedAudioChunk>(static_cast<uint32_t>(samples.size()), 16000,
                                                     1, "PCM", -1.0);
    EXPECT_TRUE(chunk->allocateBuffer(false));
    EXPECT_TRUE(chunk->appendSamples(samples.data(), static_cast<uint32_t>(samples.size())));
    return chunk;
}

TEST(DecodedAudioChunkTest, BufferHoldsTwoBytesPerSample) {
    DecodedAudioChunk chunk(2304, 16000, 1, "PCM", -1.0);
    EXPECT_EQ(chunk.bufferSizeIs(), 4608u);
    EXPECT_FLOAT_EQ(chunk.durationIs(), 0.144f);
    EXPECT_EQ(chunk.startTimeIs(), -1.0);
    EXPECT_EQ(chunk.channelCountIs(), 1u);
    ASSERT_TRUE(chunk.allocateBuffer(true));
    const int16_t samples[3] = {-32768, 0, 32767};
    ASSERT_TRUE(chunk.appendSamples(samples, 3));
    EXPECT_EQ(chunk.validLengthIs(), 6u);
    EXPECT_EQ(chunk.sampleAt(0), -32768);
    EXPECT_EQ(chunk.sampleAt(2), 32767);
    EXPECT_EQ(chunk.sampleAt(3), 0) << "beyond the valid data";
    std::vector<int16_t> tooMany(2302);
    EXPECT_FALSE(chunk.appendSamples(tooMany.data(), 2302));
    EXPECT_EQ(chunk.validLengthIs(), 6u);
}

TEST(DecodedAudioChunkTest, ConstantSignalHasNoPower) {
    for (int16_t value : {int16_t{0}, int16_t{1234}, int16_t{-32768}}) {
        auto chunk = chunkOf(std::vector<int16_t>(576, value));
        EXPECT_EQ(chunk->powerLevelIs(false), 0.0f) << value;
    }
}

TEST(DecodedAudioChunkTest, FullScaleSquareWaveHasLevelOne) {
    std::vector<int16_t> square(1152);
    for (size_t i = 0; i < square.size(); ++i) {
        square[i] = (i / 8) % 2 == 0 ? 32767 : -32767;
    }
    EXPECT_NEAR(chunkOf(square)->powerLevelIs(false), 1.0f, 1e-5f);

    // A half-scale square wave riding on an offset: the mean is removed first.
    for (auto& sample : square) {
        sample = static_cast<int16_t>(sample / 4 + 8000);
    }
    EXPECT_NEAR(chunkOf(square)->powerLevelIs(false), 0.25f, 1e-4f);
}

TEST(DecodedAudioChunkTest, CachedLevelIsReusedUntilRecomputed) {
    auto chunk = chunkOf({1000, -1000, 1000, -1000});
    const float level = chunk->powerLevelIs(true);
    EXPECT_NEAR(level, 1000.0f / 32767, 1e-6f);
    // Change the samples behind the chunk's back: the cached level stays, a recomputation sees it.
    std::memset(chunk->bufferIs(), 0, chunk->bufferSizeIs());
    EXPECT_EQ(chunk->powerLevelIs(true), level);
    EXPECT_EQ(chunk->powerLevelIs(false), 0.0f);
    EXPECT_EQ(chunk->powerLevelIs(true), 0.0f);
}

TEST(DecodedAudioChunkTest, LevelOnlyChunkKeepsItsLevel) {
    DecodedAudioChunk chunk(0.5f);
    EXPECT_EQ(chunk.bufferIs(), nullptr);
    EXPECT_EQ(chunk.bufferSizeIs(), 0u);
    EXPECT_EQ(chunk.numberOfSamplesIs(), 0u);
    EXPECT_EQ(chunk.formatNameIs(), "");
    EXPECT_EQ(chunk.powerLevelIs(true), 0.5f);
    EXPECT_EQ(chunk.powerLevelIs(false), 0.5f) << "nothing to compute from";

    // A chunk whose buffer was never allocated does not read one either.
    DecodedAudioChunk empty(576, 16000, 1, "PCM", 0.0);
    EXPECT_EQ(empty.powerLevelIs(false), -1.0f);
}

TEST(DecodedAudioChunkTest, MixedChunkOwnsItsComponents) {
    const long before = DecodedAudioChunk::liveInstances();
    const long ids = TransactionId::liveInstances();
    {
        MixedDecodedAudioChunk mix(576, 16000, 1, "PCM", 12.0);
        EXPECT_TRUE(mix.addComponent(std::make_unique<DecodedAudioChunk>(0.25f)));
        EXPECT_TRUE(mix.addComponent(chunkOf({32767, -32767})));
        EXPECT_EQ(mix.numberOfComponentsIs(), 2u);
        EXPECT_EQ(mix.componentPowerLevelIs(0), 0.25f);
        EXPECT_NEAR(mix.componentPowerLevelIs(1), 1.0f, 1e-5f);
        EXPECT_EQ(mix.componentPowerLevelIs(2), 0.0f) << "index equal to the count";
        EXPECT_EQ(mix.componentIs(2), nullptr);
        EXPECT_EQ(DecodedAudioChunk::liveInstances(), before + 3);
    }
    EXPECT_EQ(DecodedAudioChunk::liveInstances(), before);
    EXPECT_EQ(TransactionId::liveInstances(), ids);
}

}  // namespace
