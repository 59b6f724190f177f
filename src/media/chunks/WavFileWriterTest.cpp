#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "ByteOrder.h"
#include "DecodedAudioChunk.h"
#include "FileIo.h"
#include "TemporaryDirectory.h"
#include "WavFileWriter.h"

namespace {

const uint8_t* bytesOf(const std::string& text) {
    return reinterpret_cast<const uint8_t*>(text.data());
}

TEST(WavFileWriterTest, WritesHeaderAndSamplesInOrder) {
    TemporaryDirectory directory("wav-");
    const std::string path = directory.path() + "/out.wav";
    WavFileWriter writer;
    ASSERT_TRUE(writer.open(path, 16000));
    const int16_t first[3] = {1, -2, 32767};
    ASSERT_TRUE(writer.appendSamples(first, 3));
    DecodedAudioChunk chunk(2, 16000, 1, "PCM", 0.0);
    ASSERT_TRUE(chunk.allocateBuffer(false));
    const int16_t second[2] = {-32768, 300};
    ASSERT_TRUE(chunk.appendSamples(second, 2));
    ASSERT_TRUE(writer.append(chunk));
    EXPECT_EQ(writer.samplesWritten(), 5u);
    ASSERT_TRUE(writer.finish());

    std::string bytes;
    ASSERT_TRUE(FileIo::readWholeFile(path, bytes));
    ASSERT_EQ(bytes.size(), WavFileWriter::kHeaderSize + 10);
    const uint8_t* p = bytesOf(bytes);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(ByteOrder::readLittleEndian32(p + 4), 36u + 10);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(ByteOrder::readLittleEndian16(p + 20), 1u);      // PCM
    EXPECT_EQ(ByteOrder::readLittleEndian16(p + 22), 1u);      // mono
    EXPECT_EQ(ByteOrder::readLittleEndian32(p + 24), 16000u);  // rate
    EXPECT_EQ(ByteOrder::readLittleEndian32(p + 28), 32000u);  // bytes per second
    EXPECT_EQ(ByteOrder::readLittleEndian16(p + 34), 16u);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(ByteOrder::readLittleEndian32(p + 40), 10u);
    const int16_t expected[5] = {1, -2, 32767, -32768, 300};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(static_cast<int16_t>(ByteOrder::readLittleEndian16(p + 44 + 2 * i)), expected[i]);
    }
}

TEST(WavFileWriterTest, UnwritablePlaceIsReportedInWords) {
    TemporaryDirectory directory("wav-");
    WavFileWriter writer;
    EXPECT_FALSE(writer.open(directory.path() + "/missing/out.wav", 16000));
    EXPECT_NE(writer.errorText().find("No such file or directory"), std::string::npos)
        << writer.errorText();
    const int16_t sample = 0;
    EXPECT_FALSE(writer.appendSamples(&sample, 1));
    EXPECT_FALSE(writer.finish());
}

TEST(WavFileWriterTest, UnfinishedWriterFinishesOnDestruction) {
    TemporaryDirectory directory("wav-");
    const std::string path = directory.path() + "/out.wav";
    {
        WavFileWriter writer;
        ASSERT_TRUE(writer.open(path, 8000));
        const int16_t samples[4] = {};
        ASSERT_TRUE(writer.appendSamples(samples, 4));
    }
    EXPECT_EQ(std::filesystem::file_size(path), WavFileWriter::kHeaderSize + 8);
}

}  // namespace
