#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "AudioOutputDeviceTestSupport.h"
#include "ByteOrder.h"
#include "FileIo.h"
#include "TemporaryDirectory.h"
#include "WavAudioOutputDevice.h"
#include "WavFileWriter.h"

namespace {

constexpr uint32_t kRate = 16000;

// The samples of a finished 16-bit mono WAV file, after checking its header against them.
std::vector<int16_t> readWav(const std::string& path, uint32_t expectedRate) {
    std::string bytes;
    EXPECT_TRUE(FileIo::readWholeFile(path, bytes));
    if (bytes.size() < WavFileWriter::kHeaderSize) {
        ADD_FAILURE() << "no WAV header in " << path;
        return {};
    }
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint32_t dataBytes = static_cast<uint32_t>(bytes.size() - WavFileWriter::kHeaderSize);
    EXPECT_EQ(std::memcmp(p, "RIFF", 4), 0);
    EXPECT_EQ(ByteOrder::readLittleEndian32(p + 4), 36u + dataBytes);
    EXPECT_EQ(std::memcmp(p + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(ByteOrder::readLittleEndian16(p + 20), 1u);  // PCM
    EXPECT_EQ(ByteOrder::readLittleEndian16(p + 22), 1u);  // mono
    EXPECT_EQ(ByteOrder::readLittleEndian32(p + 24), expectedRate);
    EXPECT_EQ(ByteOrder::readLittleEndian32(p + 28), expectedRate * 2);
    EXPECT_EQ(ByteOrder::readLittleEndian16(p + 34), 16u);
    EXPECT_EQ(std::memcmp(p + 36, "data", 4), 0);
    EXPECT_EQ(ByteOrder::readLittleEndian32(p + 40), dataBytes);
    std::vector<int16_t> samples(dataBytes / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(
            ByteOrder::readLittleEndian16(p + WavFileWriter::kHeaderSize + 2 * i));
    }
    return samples;
}

}  // namespace

TEST(WavAudioOutputDeviceTest, WritesExactlyTheBytesWrittenAndFinishesTheHeaderOnClose) {
    TemporaryDirectory directory;
    ASSERT_TRUE(directory.isValid());
    const std::string path = directory.file("heard.wav");
    CompletionRecorder recorder;
    WavAudioOutputDevice device(path);
    device.setCompletionCallback(recorder.callback());
    EXPECT_EQ(device.name(), "wav:" + path);
    ASSERT_TRUE(device.open(kRate));

    // Buffers of different lengths, one of them handed over at an odd address.
    std::vector<int16_t> expected;
    std::vector<uint8_t> unaligned(1 + 2 * 333);
    const std::vector<int16_t> odd = rampSamples(333, 5);
    std::memcpy(unaligned.data() + 1, odd.data(), odd.size() * 2);
    const std::vector<std::vector<int16_t>> buffers = {
        rampSamples(480, -3000), {}, rampSamples(7, 12000)};
    ASSERT_TRUE(device.write(0, buffers[0].data(), buffers[0].size() * 2));
    ASSERT_TRUE(device.write(1, buffers[1].data(), 0));
    ASSERT_TRUE(device.write(2, unaligned.data() + 1, odd.size() * 2));
    ASSERT_TRUE(device.write(3, buffers[2].data(), buffers[2].size() * 2));
    expected.insert(expected.end(), buffers[0].begin(), buffers[0].end());
    expected.insert(expected.end(), odd.begin(), odd.end());
    expected.insert(expected.end(), buffers[2].begin(), buffers[2].end());

    // Completion is at once: the four notices come long before the 51 ms they would play for.
    ASSERT_TRUE(recorder.waitFor(4));
    EXPECT_EQ(device.playedSampleCount(), expected.size());
    device.close();
    const auto notices = recorder.notices();
    ASSERT_EQ(notices.size(), 4u);
    for (size_t i = 0; i < notices.size(); ++i) {
        EXPECT_EQ(notices[i].bufferId, i);
        EXPECT_FALSE(notices[i].wasReset);
    }
    EXPECT_EQ(readWav(path, kRate), expected);
}

TEST(WavAudioOutputDeviceTest, ResetDropsNothingAlreadyWrittenToTheFile) {
    TemporaryDirectory directory;
    ASSERT_TRUE(directory.isValid());
    const std::string path = directory.file("reset.wav");
    CompletionRecorder recorder;
    WavAudioOutputDevice device(path);
    device.setCompletionCallback(recorder.callback());
    ASSERT_TRUE(device.open(8000));

    std::vector<int16_t> expected;
    for (uint64_t i = 0; i < 50; ++i) {
        const std::vector<int16_t> samples = rampSamples(160, static_cast<int16_t>(i * 100));
        ASSERT_TRUE(device.write(i, samples.data(), samples.size() * 2));
        expected.insert(expected.end(), samples.begin(), samples.end());
        if (i == 20) {
            device.reset();
            // Everything written so far has been answered, as played, before reset() returned.
            EXPECT_EQ(recorder.count(), 21u);
        }
    }
    device.reset();
    device.close();
    const auto notices = recorder.notices();
    ASSERT_EQ(notices.size(), 50u);
    for (size_t i = 0; i < notices.size(); ++i) {
        EXPECT_EQ(notices[i].bufferId, i);
        EXPECT_FALSE(notices[i].wasReset) << "buffer " << i << " was in the file, so it was heard";
    }
    EXPECT_EQ(readWav(path, 8000), expected);
}

TEST(WavAudioOutputDeviceTest, AFileThatCannotBeCreatedIsReportedNotReplaced) {
    TemporaryDirectory directory;
    ASSERT_TRUE(directory.isValid());
    const std::string path = directory.file("no-such-folder/out.wav");
    WavAudioOutputDevice device(path);
    EXPECT_FALSE(device.open(kRate));
    EXPECT_FALSE(device.isOpen());
    EXPECT_NE(device.errorText().find(path), std::string::npos) << device.errorText();
    const int16_t samples[2] = {1, 2};
    EXPECT_FALSE(device.write(0, samples, sizeof samples));
    EXPECT_FALSE(device.open(kRate, 2));
}

TEST(WavAudioOutputDeviceTest, AnEmptySessionStillLeavesAValidFile) {
    TemporaryDirectory directory;
    ASSERT_TRUE(directory.isValid());
    const std::string path = directory.file("empty.wav");
    {
        WavAudioOutputDevice device(path);
        ASSERT_TRUE(device.open(kRate));
        // The destructor closes and finishes the file.
    }
    EXPECT_TRUE(readWav(path, kRate).empty());
}
