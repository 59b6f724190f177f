#include <gtest/gtest.h>

#include "ManualAudioOutputDevice.h"
#include "PlayerTestSupport.h"
#include "Win32AudioBuffer.h"

namespace {

using Support = PlayerTestSupport;

TEST(Win32AudioBuffer, WritesTheChunksSamplesUnderItsIdAndOwnsTheItem) {
    ManualAudioOutputDevice device;
    ASSERT_TRUE(device.open(Support::kSampleRate));
    const long chunksBefore = DecodedAudioChunk::liveInstances();
    const auto samples = Support::tone(1000.0, 0.5, 0, Support::kChunkSamples);
    {
        Win32AudioBuffer buffer(Support::makeItem(Support::kSessionStart, samples), &device, 42);
        EXPECT_EQ(buffer.dataIs(), buffer.audioChunkIs()->bufferIs());
        EXPECT_EQ(buffer.lengthIs(), Support::kChunkSamples * 2);
        EXPECT_EQ(buffer.sampleCountIs(), Support::kChunkSamples);
        EXPECT_FALSE(buffer.hasVideoFrameIs());
        ASSERT_TRUE(buffer.write());
        const auto written = device.written();
        ASSERT_EQ(written.size(), 1u);
        EXPECT_EQ(written[0].bufferId, 42u);
        EXPECT_EQ(written[0].samples, samples);

        // Pointed at fewer samples (as after time-stretching), it writes only those.
        buffer.setData(buffer.audioChunkIs()->bufferIs(), 10);
        ASSERT_TRUE(buffer.write());
        EXPECT_EQ(device.written()[1].samples,
                  std::vector<int16_t>(samples.begin(), samples.begin() + 5));
    }
    EXPECT_EQ(DecodedAudioChunk::liveInstances(), chunksBefore);
}

TEST(Win32AudioBuffer, AReleasedItemSurvivesTheBufferAndNothingIsWrittenFromIt) {
    ManualAudioOutputDevice device;
    ASSERT_TRUE(device.open(Support::kSampleRate));
    std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item;
    {
        Win32AudioBuffer buffer(
            Support::makeItem(Support::kSessionStart, std::vector<int16_t>(480, 7), {}, 2, 2),
            &device, 1);
        EXPECT_TRUE(buffer.hasVideoFrameIs());
        item = buffer.releaseItem();
        EXPECT_EQ(buffer.lengthIs(), 0u);
        ASSERT_TRUE(buffer.write());
    }
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->audioChunkIs()->sampleAt(0), 7);
    EXPECT_TRUE(device.written()[0].samples.empty());
}

TEST(Win32AudioBuffer, AClosedDeviceRefusesTheWrite) {
    ManualAudioOutputDevice device;
    Win32AudioBuffer buffer(Support::makeSilentItem(0), &device, 5);
    EXPECT_FALSE(buffer.write());
}

}  // namespace
