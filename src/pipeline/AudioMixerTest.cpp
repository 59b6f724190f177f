#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "AudioMixer.h"
#include "AvDebugLogger.h"
#include "TemporaryDirectory.h"

namespace {

constexpr double kStart = 1268652608.0;

std::unique_ptr<DecodedAudioChunk> chunkOf(const std::vector<int16_t>& samples,
                                           double startTime = kStart, uint32_t sampleRate = 16000,
                                           const std::string& format = "PCM") {
    auto chunk = std::make_unique<DecodedAudioChunk>(static_cast<uint32_t>(samples.size()),
                                                     sampleRate, 1, format, startTime);
    EXPECT_TRUE(chunk->allocateBuffer(false));
    EXPECT_TRUE(chunk->appendSamples(samples.data(), static_cast<uint32_t>(samples.size())));
    return chunk;
}

std::vector<int16_t> samplesOf(const DecodedAudioChunk& chunk) {
    std::vector<int16_t> samples;
    for (uint32_t i = 0; i < chunk.numberOfSamplesIs(); ++i) {
        samples.push_back(chunk.sampleAt(i));
    }
    return samples;
}

using ChunkSet = std::vector<std::unique_ptr<DecodedAudioChunk>>;

std::unique_ptr<ChunkSet> setOf(std::unique_ptr<DecodedAudioChunk> a,
                                std::unique_ptr<DecodedAudioChunk> b,
                                std::unique_ptr<DecodedAudioChunk> c = nullptr) {
    auto set = std::make_unique<ChunkSet>();
    set->push_back(std::move(a));
    set->push_back(std::move(b));
    if (c != nullptr) {
        set->push_back(std::move(c));
    }
    return set;
}

TEST(AudioMixerTest, SumsClampToTheSixteenBitRangeInsteadOfWrapping) {
    AudioMixer mixer(false);
    ASSERT_TRUE(mixer.addChunkToMix(chunkOf({30000, -30000, 100, 32767}), 1.0f, false));
    ASSERT_TRUE(mixer.addChunkToMix(chunkOf({30000, -30000, -300, 1}), 1.0f, false));
    auto mixed = mixer.mixedResultIs();
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(samplesOf(*mixed), (std::vector<int16_t>{32767, -32768, -200, 32767}));

    // Clamping happens after each addition, in queue order.
    mixer.addChunkToMix(chunkOf({30000}), 1.0f, false);
    mixer.addChunkToMix(chunkOf({30000}), 1.0f, false);
    mixer.addChunkToMix(chunkOf({-30000}), 1.0f, false);
    EXPECT_EQ(samplesOf(*mixer.mixedResultIs()), (std::vector<int16_t>{2767}));
}

TEST(AudioMixerTest, GainTimesSampleIsTruncatedTowardsZero) {
    AudioMixer mixer(false);
    mixer.addChunkToMix(chunkOf({-3, 3, -32768, 1000, 7}), 0.5f, false);
    auto mixed = mixer.mixedResultIs();
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(samplesOf(*mixed), (std::vector<int16_t>{-1, 1, -16384, 500, 3}));

    // Each channel's product is truncated on its own before the sum: 0.5 x 3 twice gives 2.
    mixer.addChunkToMix(chunkOf({3, -5}), 0.5f, false);
    mixer.addChunkToMix(chunkOf({3, 9}), 0.5f, false);
    EXPECT_EQ(samplesOf(*mixer.mixedResultIs()), (std::vector<int16_t>{2, 2}));

    // Gains far beyond 1 saturate; a zero gain silences.
    mixer.addChunkToMix(chunkOf({2, -2, 0}), 1.0e9f, false);
    mixer.addChunkToMix(chunkOf({5, 5, 5}), 0.0f, false);
    EXPECT_EQ(samplesOf(*mixer.mixedResultIs()), (std::vector<int16_t>{32767, -32768, 0}));
}

TEST(AudioMixerTest, MutedChannelIsSilentButStaysAComponent) {
    AudioMixer mixer(false);
    auto set = setOf(chunkOf({1000, -1000, 1000, -1000}), chunkOf({30000, -30000, 30000, -30000}),
                     chunkOf({10, 20, 30, 40}));
    set->at(1)->transactionIdIs().setIdNumber(99);
    set->at(0)->transactionIdIs().setIdNumber(17);
    const std::vector<bool> mutes{false, true, false};
    const std::vector<float> gains{1.0f, 1.0f, 2.0f};
    ASSERT_TRUE(mixer.addChunksToMix(std::move(set), &gains, &mutes));
    auto mixed = mixer.mixedResultIs();
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(samplesOf(*mixed), (std::vector<int16_t>{1020, -960, 1060, -920}));
    ASSERT_EQ(mixed->numberOfComponentsIs(), 3u);
    EXPECT_NEAR(mixed->componentPowerLevelIs(1), 30000.0f / 32767.0f, 1e-5f);
    EXPECT_NEAR(mixed->componentPowerLevelIs(0), 1000.0f / 32767.0f, 1e-5f);
    EXPECT_EQ(mixed->componentPowerLevelIs(3), 0.0f);
    EXPECT_EQ(mixed->transactionIdIs().idNumberIs(), 17u) << "the front chunk's id";
    EXPECT_EQ(mixed->startTimeIs(), kStart);
    EXPECT_EQ(mixed->validLengthIs(), 8u);
    EXPECT_EQ(mixer.pendingChunkCountIs(), 0u);
}

TEST(AudioMixerTest, ChunkSetByValueMixesLikeOneByPointer) {
    AudioMixer mixer(false);
    ChunkSet set;
    set.push_back(chunkOf({100, -100}));
    set.push_back(chunkOf({1, 2}));
    const std::vector<float> gains{0.5f, 3.0f};
    ASSERT_TRUE(mixer.addChunksToMix(std::move(set), &gains));
    EXPECT_EQ(samplesOf(*mixer.mixedResultIs()), (std::vector<int16_t>{53, -44}));
}

TEST(AudioMixerTest, EmptyMixerAndNullChunks) {
    AudioMixer mixer(true);
    EXPECT_EQ(mixer.mixedResultIs(), nullptr);
    EXPECT_FALSE(mixer.addChunkToMix(nullptr, 1.0f, false));

    // A channel that has ended delivers none: the others are still mixed.
    auto set = setOf(chunkOf({5, 6}), nullptr, chunkOf({1, 1}));
    EXPECT_FALSE(mixer.addChunksToMix(std::move(set)));
    auto mixed = mixer.mixedResultIs();
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(samplesOf(*mixed), (std::vector<int16_t>{6, 7}));
    EXPECT_EQ(mixed->numberOfComponentsIs(), 2u);
}

// With checks off, a queued chunk may be shorter than the front one: it is mixed as far as it
// reaches and never read beyond its data.
TEST(AudioMixerTest, ShorterQueuedChunkIsMixedAsFarAsItReaches) {
    AudioMixer mixer(false);
    mixer.addChunkToMix(chunkOf({100, 100, 100, 100, 100, 100}), 1.0f, false);
    mixer.addChunkToMix(chunkOf({7, 7}), 1.0f, false);

    // A chunk that claims six samples but holds only three: the buffer beyond its valid data
    // holds stale bytes that must not be heard.
    auto partlyFilled = std::make_unique<DecodedAudioChunk>(6, 16000, 1, "PCM", kStart);
    ASSERT_TRUE(partlyFilled->allocateBuffer(false));
    const std::vector<int16_t> stale(6, 5000);
    ASSERT_TRUE(partlyFilled->appendBytes(reinterpret_cast<const uint8_t*>(stale.data()), 12));
    partlyFilled->advanceValidLength(6);
    mixer.addChunkToMix(std::move(partlyFilled), 1.0f, false);

    // And one without a buffer at all.
    mixer.addChunkToMix(std::make_unique<DecodedAudioChunk>(6, 16000, 1, "PCM", kStart), 1.0f,
                        false);

    auto mixed = mixer.mixedResultIs();
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(samplesOf(*mixed), (std::vector<int16_t>{5107, 5107, 5100, 100, 100, 100}));
    EXPECT_EQ(mixed->numberOfComponentsIs(), 4u);
}

class AudioMixerSanityTest : public ::testing::Test {
protected:
    // Runs a mix of `chunks` with checks on; returns the stderr it wrote.
    std::string failedMix(std::vector<std::unique_ptr<DecodedAudioChunk>> chunks) {
        for (auto& chunk : chunks) {
            mixer_.addChunkToMix(std::move(chunk), 1.0f, false);
        }
        const unsigned queued = mixer_.pendingChunkCountIs();
        testing::internal::CaptureStderr();
        auto mixed = mixer_.mixedResultIs();
        std::string output = testing::internal::GetCapturedStderr();
        EXPECT_EQ(mixed, nullptr);
        EXPECT_EQ(mixer_.pendingChunkCountIs(), queued) << "the inputs stay queued";
        return output;
    }
    template <typename... Chunks>
    std::vector<std::unique_ptr<DecodedAudioChunk>> list(Chunks... chunks) {
        std::vector<std::unique_ptr<DecodedAudioChunk>> all;
        (all.push_back(std::move(chunks)), ...);
        return all;
    }

    AudioMixer mixer_{true};
};

TEST_F(AudioMixerSanityTest, StartTimesWithinTheBoundMix) {
    mixer_.addChunkToMix(chunkOf({1, 2}), 1.0f, false);
    mixer_.addChunkToMix(chunkOf({1, 2}, kStart + 0.00005), 1.0f, false);
    mixer_.addChunkToMix(chunkOf({1, 2}, kStart - 0.00005), 1.0f, false);
    testing::internal::CaptureStderr();
    auto mixed = mixer_.mixedResultIs();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(samplesOf(*mixed), (std::vector<int16_t>{3, 6}));
}

TEST_F(AudioMixerSanityTest, StartTimesBeyondTheBoundFailNamingBothTimesAndTheBound) {
    EXPECT_EQ(failedMix(list(chunkOf({1, 2}), chunkOf({1, 2}, kStart + 0.0002))),
              "AudioMixer::mixedResultIs(): Sanity check failed. firstTimeStamp "
              "was1268652608.000000 found another time of1268652608.000200 which exceeded the "
              "allowed bound of0.000100\n");
}

TEST_F(AudioMixerSanityTest, RateMismatch) {
    EXPECT_EQ(failedMix(list(chunkOf({1, 2}), chunkOf({1, 2}, kStart, 8000))),
              "AudioMixer::mixedResultIs(): Sanity check failed. firstSampleRate was16000 found "
              "another rate of8000\n");
}

TEST_F(AudioMixerSanityTest, CountMismatch) {
    EXPECT_EQ(failedMix(list(chunkOf({1, 2}), chunkOf({1, 2}), chunkOf({1, 2, 3}))),
              "AudioMixer::mixedResultIs(): Sanity check failed. firstSampleCount was2 found "
              "another count of3\n");
}

TEST_F(AudioMixerSanityTest, FormatMismatch) {
    EXPECT_EQ(failedMix(list(chunkOf({1, 2}), chunkOf({1, 2}, kStart, 16000, "MPEG Audio"))),
              "AudioMixer::mixedResultIs(): Sanity check failed. firstFormat was \"PCM\" found "
              "another format of \"MPEG Audio\"\n");
}

TEST_F(AudioMixerSanityTest, OnlyTheFirstFailureOfAChunkIsReportedInCheckOrder) {
    // Rate, count, time and format all differ: the rate is checked first.
    EXPECT_EQ(failedMix(list(chunkOf({1, 2}), chunkOf({1}, kStart + 1.0, 8000, "X"))),
              "AudioMixer::mixedResultIs(): Sanity check failed. firstSampleRate was16000 found "
              "another rate of8000\n");
}

class AudioMixerLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        AvDebugLogger::instance().setMinimumLevel(0);
        ASSERT_TRUE(AvDebugLogger::instance().enableLoggingToFile(base_, 0));
    }
    void TearDown() override { AvDebugLogger::instance().disableLoggingToFile(); }
    std::string logText() {
        AvDebugLogger::instance().disableLoggingToFile();
        std::ifstream in(base_ + ".txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TemporaryDirectory scratch_{"mixer-log-"};
    const std::string base_{scratch_.file("Galewick_DEBUG")};
};

TEST_F(AudioMixerLogTest, WrongLengthGainAndMuteListsAreIgnoredWithAWarning) {
    AudioMixer mixer(false);
    const std::vector<bool> mutes{true};
    const std::vector<float> gains{0.0f, 0.0f, 0.0f};
    ASSERT_TRUE(mixer.addChunksToMix(setOf(chunkOf({10}), chunkOf({20})), &gains, &mutes));
    auto mixed = mixer.mixedResultIs();
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(samplesOf(*mixed), (std::vector<int16_t>{30})) << "no mute, every gain 1.0";

    const std::string log = logText();
    EXPECT_NE(log.find("Warning       AudioMixer::addChunksToMix(): Mute container count (1) does "
                       "not match chunk container size (2).  Ignoring mutes."),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Warning       AudioMixer::addChunksToMix(): Gain container count (3) does "
                       "not match chunk container size (2).  Ignoring gains."),
              std::string::npos)
        << log;
}

TEST_F(AudioMixerLogTest, MatchingListsApplyWithoutWarnings) {
    AudioMixer mixer(false);
    const std::vector<bool> mutes{false, true};
    const std::vector<float> gains{2.0f, 1.0f};
    ASSERT_TRUE(mixer.addChunksToMix(setOf(chunkOf({10}), chunkOf({20})), &gains, &mutes));
    EXPECT_EQ(samplesOf(*mixer.mixedResultIs()), (std::vector<int16_t>{20}));
    EXPECT_EQ(logText(), "");
}

}  // namespace
