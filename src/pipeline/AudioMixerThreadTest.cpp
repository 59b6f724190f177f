// The mixer's queue filled by one thread while another mixes, as the feeder may add a chunk set
// while a mix of the previous one runs.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "AudioMixer.h"

namespace {

std::unique_ptr<DecodedAudioChunk> constantChunk(int16_t value) {
    auto chunk = std::make_unique<DecodedAudioChunk>(64, 16000, 1, "PCM", 1268652608.0);
    EXPECT_TRUE(chunk->allocateBuffer(false));
    const std::vector<int16_t> samples(64, value);
    EXPECT_TRUE(chunk->appendSamples(samples.data(), 64));
    return chunk;
}

TEST(AudioMixerThreaded, EveryChunkAddedWhileMixingEndsUpInExactlyOneMix) {
    AudioMixer mixer(false);
    // Small values: even all sets in one mix stay below the clamp.
    constexpr int kSets = 2000;
    std::atomic<bool> producing{true};
    std::thread producer([&] {
        for (int set = 0; set < kSets; ++set) {
            std::vector<std::unique_ptr<DecodedAudioChunk>> chunks;
            chunks.push_back(constantChunk(1));
            chunks.push_back(constantChunk(2));
            chunks.push_back(constantChunk(4));
            EXPECT_TRUE(mixer.addChunksToMix(std::move(chunks)));
        }
        producing = false;
    });

    long components = 0;
    long total = 0;
    int uneven = 0;
    const auto takeMix = [&] {
        std::unique_ptr<MixedDecodedAudioChunk> mixed = mixer.mixedResultIs();
        if (mixed == nullptr) {
            return false;
        }
        components += mixed->numberOfComponentsIs();
        total += mixed->sampleAt(0);
        // Every sample of a mix holds the same sum.
        for (uint32_t i = 1; i < mixed->numberOfSamplesIs(); ++i) {
            uneven += mixed->sampleAt(i) != mixed->sampleAt(0);
        }
        return true;
    };
    while (producing) {
        takeMix();
    }
    producer.join();
    takeMix();
    EXPECT_EQ(components, 3L * kSets);
    EXPECT_EQ(total, 7L * kSets);
    EXPECT_EQ(uneven, 0);
    EXPECT_EQ(mixer.pendingChunkCountIs(), 0u);
}

}  // namespace
