// The feeder's producer and the player's consumer on two threads, each blocking on the
// correlator's semaphores.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "AudioVideoCorrelator.h"
#include "CompressedImage.h"

namespace {

constexpr double kStart = 1268652608.0;
constexpr uint32_t kRate = 16000;
constexpr uint32_t kChunkSamples = 2304;
constexpr double kChunkSeconds = 0.144;

std::unique_ptr<DecodedAudioChunk> rampChunk(unsigned index) {
    auto chunk = std::make_unique<MixedDecodedAudioChunk>(kChunkSamples, kRate, 1, "PCM",
                                                          kStart + index * kChunkSeconds);
    EXPECT_TRUE(chunk->allocateBuffer(false));
    std::vector<int16_t> values(kChunkSamples);
    for (uint32_t i = 0; i < kChunkSamples; ++i) {
        values[i] = static_cast<int16_t>((index * kChunkSamples + i) % 30000);
    }
    EXPECT_TRUE(chunk->appendSamples(values.data(), kChunkSamples));
    return chunk;
}

std::unique_ptr<VideoSegmentFrame> frameAt(double epochTime) {
    return std::make_unique<VideoSegmentFrame>(
        std::make_unique<CompressedImage>(16, 16, 10, "JPEG"), epochTime, 0);
}

TEST(AudioVideoCorrelatorThreaded, ProducerAndConsumerBlockOnEachOtherAndLoseNothing) {
    // One second of audio (7 chunks) and 5 frames: the producer blocks often.
    AudioVideoCorrelator correlator(5, 1, 0.03f, true, 0.0);
    correlator.initialize();
    constexpr unsigned kChunks = 200;
    constexpr unsigned kOutputs = kChunks * kChunkSamples / 480;
    // Ten frames a second, clear of output boundaries.
    std::vector<double> frameTimes;
    for (double t = kStart + 0.013; t < kStart + kChunks * kChunkSeconds - 0.1; t += 0.1) {
        frameTimes.push_back(t);
    }

    std::atomic<int> refused{0};
    // The consumer starts first and waits until the first chunk tells it the format.
    std::vector<double> starts;
    std::vector<double> pairedFrames;
    std::atomic<int> badSamples{0};
    std::atomic<int> misplacedFrames{0};
    std::atomic<int> emptyWakeups{0};
    std::thread consumer([&] {
        uint32_t expected = 0;
        while (starts.size() < kOutputs) {
            std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item;
            if (!correlator.getNextCorrelatedChunk(item, true)) {
                ++emptyWakeups;  // Signalled without a whole output behind it.
                continue;
            }
            MixedDecodedAudioChunk* audio = item->audioChunkIs();
            for (uint32_t i = 0; i < audio->numberOfSamplesIs(); ++i, ++expected) {
                if (audio->sampleAt(i) != static_cast<int16_t>(expected % 30000)) {
                    ++badSamples;
                }
            }
            starts.push_back(audio->startTimeIs());
            if (item->videoFrameIs() != nullptr) {
                const double time = item->videoFrameIs()->getEpochTime();
                pairedFrames.push_back(time);
                if (time < audio->startTimeIs() ||
                    time > audio->startTimeIs() + audio->durationIs()) {
                    ++misplacedFrames;
                }
            }
        }
    });
    std::thread producer([&] {
        size_t nextFrame = 0;
        for (unsigned i = 0; i < kChunks; ++i) {
            // As the feeder does: the frames within a step's audio first, then its audio.
            const double audioEnd = kStart + (i + 1) * kChunkSeconds;
            while (nextFrame < frameTimes.size() && frameTimes[nextFrame] <= audioEnd) {
                correlator.addVideoFrameToCorrelate(frameAt(frameTimes[nextFrame]), true);
                ++nextFrame;
            }
            if (!correlator.addUncompressedAudioChunkToCorrelate(rampChunk(i), true)) {
                ++refused;
            }
        }
    });
    producer.join();
    consumer.join();

    EXPECT_EQ(refused, 0);
    EXPECT_EQ(badSamples, 0);
    EXPECT_EQ(misplacedFrames, 0);
    EXPECT_EQ(emptyWakeups, 0);
    ASSERT_EQ(starts.size(), kOutputs);
    for (unsigned k = 0; k < kOutputs; ++k) {
        ASSERT_NEAR(starts[k], kStart + k * 0.03, 1e-6) << k;
    }
    EXPECT_EQ(pairedFrames, frameTimes) << "every frame paired, in order";
    EXPECT_EQ(correlator.queuedAudioChunkCountIs(), 0u);
    EXPECT_EQ(correlator.outputsReadyIs(), 0);
}

TEST(AudioVideoCorrelatorThreaded, ResetFreesAProducerBlockedOnAFullAudioQueue) {
    AudioVideoCorrelator correlator(90, 1, 0.03f, true, 0.0);
    correlator.initialize();
    ASSERT_TRUE(correlator.addUncompressedAudioChunkToCorrelate(rampChunk(0), true));
    const unsigned capacity = correlator.audioCapacityIs();
    ASSERT_EQ(capacity, 7u);
    for (unsigned i = 1; i < capacity; ++i) {
        ASSERT_TRUE(correlator.addUncompressedAudioChunkToCorrelate(rampChunk(i), true));
    }
    std::atomic<bool> added{false};
    std::thread producer(
        [&] { added = correlator.addUncompressedAudioChunkToCorrelate(rampChunk(100), true); });
    // The producer cannot get a slot until the queue is emptied (a seek does that).
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(added);
    correlator.reset();
    producer.join();
    EXPECT_TRUE(added);
    EXPECT_EQ(correlator.queuedAudioChunkCountIs(), 1u);
    std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item;
    ASSERT_TRUE(correlator.getNextCorrelatedChunk(item, true));
    EXPECT_DOUBLE_EQ(item->audioChunkIs()->startTimeIs(), kStart + 100 * kChunkSeconds);
}

}  // namespace
