#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "AudioOutputDeviceTestSupport.h"
#include "NullAudioOutputDevice.h"

namespace {

constexpr uint32_t kRate = 16000;
constexpr size_t kBufferSamples = 480;  // 30 ms
constexpr double kBufferSeconds = static_cast<double>(kBufferSamples) / kRate;
// Rounding the moment a buffer is heard to the clock's resolution may move it by a nanosecond.
constexpr double kClockSlackSeconds = 1e-6;

double secondsBetween(std::chrono::steady_clock::time_point from,
                      std::chrono::steady_clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

void expectInOrderOnce(const std::vector<CompletionRecorder::Notice>& notices, size_t count) {
    ASSERT_EQ(notices.size(), count);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(notices[i].bufferId, i) << "notice " << i;
    }
}

}  // namespace

TEST(NullAudioOutputDeviceTest, PacesBuffersAtRealTimeOverAWholeSecondNeverEarly) {
    CompletionRecorder recorder;
    NullAudioOutputDevice device(NullAudioOutputDevice::Pace::RealTime);
    device.setCompletionCallback(recorder.callback());
    ASSERT_TRUE(device.open(kRate));
    EXPECT_EQ(device.name(), "null");

    const size_t bufferCount = 34;  // 1.02 s
    const std::vector<int16_t> samples = rampSamples(kBufferSamples);
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < bufferCount; ++i) {
        ASSERT_TRUE(device.write(i, samples.data(), samples.size() * 2));
    }
    // Nothing written has been heard yet in full: the first buffer lasts 30 ms.
    EXPECT_LT(device.playedSampleCount(), bufferCount * kBufferSamples);

    ASSERT_TRUE(recorder.waitFor(bufferCount));
    const auto notices = recorder.notices();
    expectInOrderOnce(notices, bufferCount);
    for (size_t i = 0; i < bufferCount; ++i) {
        EXPECT_FALSE(notices[i].wasReset);
        // A buffer is answered no earlier than all buffers up to it could have played.
        EXPECT_GE(secondsBetween(start, notices[i].arrivedAt),
                  (i + 1) * kBufferSeconds - kClockSlackSeconds)
            << "buffer " << i << " completed early";
    }
    const double total = secondsBetween(start, notices.back().arrivedAt);
    EXPECT_GE(total, bufferCount * kBufferSeconds - kClockSlackSeconds);
    EXPECT_LT(total, bufferCount * kBufferSeconds + 2.0);  // generous for a loaded machine

    EXPECT_EQ(device.playedSampleCount(), bufferCount * kBufferSamples);
    device.close();
    EXPECT_EQ(recorder.count(), bufferCount);  // closing answers nothing twice
}

TEST(NullAudioOutputDeviceTest, ADeviceThatRanDryStartsAgainAtTheNextWrite) {
    CompletionRecorder recorder;
    NullAudioOutputDevice device;
    device.setCompletionCallback(recorder.callback());
    ASSERT_TRUE(device.open(kRate));
    const std::vector<int16_t> samples = rampSamples(kBufferSamples);
    ASSERT_TRUE(device.write(0, samples.data(), samples.size() * 2));
    ASSERT_TRUE(recorder.waitFor(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    // The idle time is not credited to the next buffer: it still plays for its whole length.
    const auto written = std::chrono::steady_clock::now();
    ASSERT_TRUE(device.write(1, samples.data(), samples.size() * 2));
    ASSERT_TRUE(recorder.waitFor(2));
    const auto notices = recorder.notices();
    expectInOrderOnce(notices, 2);
    EXPECT_GE(secondsBetween(written, notices[1].arrivedAt), kBufferSeconds - kClockSlackSeconds);
    EXPECT_EQ(device.playedSampleCount(), 2 * kBufferSamples);
}

TEST(NullAudioOutputDeviceTest, FastCompletesEveryBufferAtOnce) {
    CompletionRecorder recorder;
    NullAudioOutputDevice device(NullAudioOutputDevice::Pace::Immediate);
    device.setCompletionCallback(recorder.callback());
    ASSERT_TRUE(device.open(kRate));
    EXPECT_EQ(device.name(), "null:fast");

    // 60 s of audio: paced it would take a minute, fast it is answered well within the bound.
    const size_t bufferCount = 2000;
    const std::vector<int16_t> samples = rampSamples(kBufferSamples);
    for (size_t i = 0; i < bufferCount; ++i) {
        ASSERT_TRUE(device.write(i, samples.data(), samples.size() * 2));
    }
    ASSERT_TRUE(recorder.waitFor(bufferCount, std::chrono::seconds(20)));
    const auto notices = recorder.notices();
    expectInOrderOnce(notices, bufferCount);
    for (const auto& notice : notices) {
        EXPECT_FALSE(notice.wasReset);
    }
    EXPECT_EQ(device.playedSampleCount(), bufferCount * kBufferSamples);
    EXPECT_DOUBLE_EQ(device.outputLatencySeconds(), 0.0);
}

TEST(NullAudioOutputDeviceTest, ResetDuringPacedPlaybackAnswersEveryBufferOnceBeforeReturning) {
    CompletionRecorder recorder;
    NullAudioOutputDevice device;
    device.setCompletionCallback(recorder.callback());
    ASSERT_TRUE(device.open(kRate));
    const size_t bufferCount = 100;  // 3 s
    const std::vector<int16_t> samples = rampSamples(kBufferSamples);
    for (size_t i = 0; i < bufferCount; ++i) {
        ASSERT_TRUE(device.write(i, samples.data(), samples.size() * 2));
    }
    ASSERT_TRUE(recorder.waitFor(3));
    device.reset();
    // Every buffer has been answered by the time reset() returns, in order, exactly once.
    const auto notices = recorder.notices();
    expectInOrderOnce(notices, bufferCount);
    size_t played = 0;
    while (played < notices.size() && !notices[played].wasReset) {
        ++played;
    }
    EXPECT_GE(played, 3u);
    EXPECT_LT(played, bufferCount);  // 3 s cannot have passed before the third notice came
    for (size_t i = played; i < bufferCount; ++i) {
        EXPECT_TRUE(notices[i].wasReset) << "buffer " << i;
    }
    // What was dropped was never heard; what was heard stays counted.
    const uint64_t heard = device.playedSampleCount();
    EXPECT_GE(heard, played * kBufferSamples);
    EXPECT_LT(heard, bufferCount * kBufferSamples);

    // The device stays open and plays on after a reset.
    ASSERT_TRUE(device.write(100, samples.data(), samples.size() * 2));
    ASSERT_TRUE(recorder.waitFor(bufferCount + 1));
    EXPECT_EQ(recorder.notices().back().bufferId, 100u);
    EXPECT_FALSE(recorder.notices().back().wasReset);
    EXPECT_GE(device.playedSampleCount(), heard + kBufferSamples);
}

TEST(NullAudioOutputDeviceTest, CloseAnswersOutstandingBuffersAndRefusesLaterWrites) {
    CompletionRecorder recorder;
    NullAudioOutputDevice device;
    device.setCompletionCallback(recorder.callback());
    ASSERT_TRUE(device.open(kRate));
    const std::vector<int16_t> samples = rampSamples(kBufferSamples);
    for (size_t i = 0; i < 10; ++i) {
        ASSERT_TRUE(device.write(i, samples.data(), samples.size() * 2));
    }
    device.close();
    expectInOrderOnce(recorder.notices(), 10);
    EXPECT_TRUE(recorder.notices().back().wasReset);
    EXPECT_FALSE(device.isOpen());
    EXPECT_FALSE(device.write(11, samples.data(), samples.size() * 2));
    device.close();  // closing twice is harmless
    EXPECT_EQ(recorder.count(), 10u);

    // It can be opened again.
    ASSERT_TRUE(device.open(kRate));
    ASSERT_TRUE(device.write(12, samples.data(), samples.size() * 2));
    ASSERT_TRUE(recorder.waitFor(11));
    EXPECT_EQ(recorder.notices().back().bufferId, 12u);
}

TEST(NullAudioOutputDeviceTest, RefusesWhatItCannotPlay) {
    NullAudioOutputDevice device(NullAudioOutputDevice::Pace::Immediate);
    const int16_t samples[4] = {1, 2, 3, 4};
    EXPECT_FALSE(device.write(0, samples, sizeof samples));  // not open
    EXPECT_FALSE(device.open(kRate, 2, 16));
    EXPECT_FALSE(device.errorText().empty());
    EXPECT_FALSE(device.open(kRate, 1, 8));
    EXPECT_FALSE(device.open(0));
    EXPECT_FALSE(device.isOpen());

    CompletionRecorder recorder;
    device.setCompletionCallback(recorder.callback());
    ASSERT_TRUE(device.open(kRate));
    EXPECT_TRUE(device.errorText().empty());
    EXPECT_FALSE(device.open(kRate));           // already open
    EXPECT_FALSE(device.write(0, samples, 3));  // half a sample
    EXPECT_TRUE(device.write(1, samples, 0));   // an empty buffer still completes
    ASSERT_TRUE(recorder.waitFor(1));
    device.close();
    ASSERT_EQ(recorder.count(), 1u);
    EXPECT_EQ(recorder.notices()[0].bufferId, 1u);
}
