#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "EncodedAudioChunk.h"

namespace {

std::unique_ptr<EncodedAudioChunk> makeChunk(uint32_t bytes) {
    auto chunk = std::make_unique<EncodedAudioChunk>(bytes, 16000, 2304, "MPEG Audio", 100.5);
    EXPECT_TRUE(chunk->allocateBuffer(true));
    return chunk;
}

TEST(AudioChunkTest, AppendsExactlyTheFreeSpaceAndNoMore) {
    auto chunk = makeChunk(8);
    const uint8_t bytes[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_TRUE(chunk->appendBytes(bytes, 3));
    EXPECT_EQ(chunk->validLengthIs(), 0u) << "appending leaves the valid length alone";
    chunk->advanceValidLength(3);
    EXPECT_EQ(chunk->freeSpaceIs(), 5u);
    EXPECT_EQ(chunk->writePositionIs(), chunk->bufferIs() + 3);

    EXPECT_FALSE(chunk->appendBytes(bytes + 3, 6)) << "one byte more than the free space";
    EXPECT_EQ(std::vector<uint8_t>(chunk->bufferIs(), chunk->bufferIs() + 8),
              (std::vector<uint8_t>{1, 2, 3, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(chunk->appendBytes(bytes + 3, 5));
    chunk->advanceValidLength(5);
    EXPECT_EQ(chunk->freeSpaceIs(), 0u);
    EXPECT_EQ(std::memcmp(chunk->bufferIs(), bytes, 8), 0);
}

TEST(AudioChunkTest, ValidLengthNeverPassesTheBuffer) {
    auto chunk = makeChunk(4);
    chunk->advanceValidLength(3);
    chunk->advanceValidLength(3);
    EXPECT_EQ(chunk->validLengthIs(), 4u);
    EXPECT_EQ(chunk->freeSpaceIs(), 0u);
    const uint8_t one = 1;
    EXPECT_FALSE(chunk->appendBytes(&one, 1));
}

TEST(AudioChunkTest, NothingIsWrittenBeforeTheBufferExists) {
    EncodedAudioChunk chunk(16, 16000, 576, "MPEG Audio", 0.0);
    const uint8_t one = 1;
    EXPECT_EQ(chunk.bufferIs(), nullptr);
    EXPECT_EQ(chunk.writePositionIs(), nullptr);
    EXPECT_FALSE(chunk.appendBytes(&one, 1));
    ASSERT_TRUE(chunk.allocateBuffer(false, 2));
    EXPECT_EQ(chunk.bufferSizeIs(), 2u);
    EXPECT_TRUE(chunk.appendBytes(&one, 1));
}

TEST(AudioChunkTest, EncodedChunkReportsItsTiming) {
    EncodedAudioChunk chunk(576, 16000, 2304, "MPEG Audio", 1268662016.25, true, 1, 2, 3, 4);
    EXPECT_EQ(chunk.formatNameIs(), "MPEG Audio");
    EXPECT_FLOAT_EQ(chunk.durationIs(), 0.144f);
    EXPECT_EQ(chunk.sampleRateIs(), 16000u);
    EXPECT_EQ(chunk.channelCountIs(), 2u);
    EXPECT_FLOAT_EQ(chunk.secondsPerSampleIs(), 1.0f / 16000);
    EXPECT_EQ(chunk.numberOfSamplesIs(), 2304u);
    EXPECT_TRUE(chunk.flagIs());
    EXPECT_EQ(chunk.firstValueIs(), (uint64_t{2} << 32) | 1);
    EXPECT_EQ(chunk.secondValueIs(), (uint64_t{4} << 32) | 3);
    chunk.adjustStartTime(-0.25);
    EXPECT_DOUBLE_EQ(chunk.startTimeIs(), 1268662016.0);
    chunk.setStartTime(5.0);
    EXPECT_DOUBLE_EQ(chunk.startTimeIs(), 5.0);

    EncodedAudioChunk noRate(0, 0, 10, "MPEG Audio", 0.0);
    EXPECT_EQ(noRate.durationIs(), 0.0f);
    EXPECT_EQ(noRate.secondsPerSampleIs(), 0.0f);
}

TEST(AudioChunkTest, EveryChunkOwnsATransactionIdAndIsCounted) {
    const long chunks = EncodedAudioChunk::liveInstances();
    const long ids = TransactionId::liveInstances();
    {
        EncodedAudioChunk a(0, 16000, 0, "MPEG Audio", 0.0);
        EncodedAudioChunk b(0, 16000, 0, "MPEG Audio", 0.0);
        a.transactionIdIs().setIdNumber(7);
        EXPECT_EQ(b.transactionIdIs().idNumberIs(), 0u);
        EXPECT_EQ(EncodedAudioChunk::liveInstances(), chunks + 2);
        EXPECT_EQ(TransactionId::liveInstances(), ids + 2);
    }
    EXPECT_EQ(EncodedAudioChunk::liveInstances(), chunks);
    EXPECT_EQ(TransactionId::liveInstances(), ids);
}

TEST(AudioChunkTest, SerializedChunkReadsBackWhole) {
    EncodedAudioChunk chunk(5, 16000, 576, "MPEG Audio", 1268662016.036, true, 10, 11, 12, 13);
    ASSERT_TRUE(chunk.allocateBuffer(false));
    const uint8_t data[5] = {0xFF, 0xF3, 0x44, 0xC4, 0x00};
    ASSERT_TRUE(chunk.appendBytes(data, 5));
    chunk.advanceValidLength(5);
    chunk.transactionIdIs().setIdNumber(99);

    std::vector<uint8_t> bytes(chunk.getSerializedSize());
    EXPECT_EQ(bytes.size(), EncodedAudioChunk::kSerializedHeaderSize + 10 + 5);
    uint32_t written = 0;
    EXPECT_FALSE(chunk.serializeToBuffer(bytes.data(), bytes.size() - 1, written));
    ASSERT_TRUE(chunk.serializeToBuffer(bytes.data(), bytes.size(), written));
    EXPECT_EQ(written, bytes.size());

    uint32_t read = 0;
    auto back = EncodedAudioChunk::deserializeFromBuffer(bytes.data(), bytes.size(), read);
    ASSERT_TRUE(back);
    EXPECT_EQ(read, bytes.size());
    EXPECT_EQ(back->formatNameIs(), "MPEG Audio");
    EXPECT_EQ(back->sampleRateIs(), 16000u);
    EXPECT_EQ(back->numberOfSamplesIs(), 576u);
    EXPECT_EQ(back->startTimeIs(), 1268662016.036);
    EXPECT_TRUE(back->flagIs());
    EXPECT_EQ(back->firstValueIs(), chunk.firstValueIs());
    EXPECT_EQ(back->secondValueIs(), chunk.secondValueIs());
    EXPECT_EQ(back->transactionIdIs().idNumberIs(), 99u);
    ASSERT_EQ(back->validLengthIs(), 5u);
    EXPECT_EQ(std::memcmp(back->bufferIs(), data, 5), 0);
}

TEST(AudioChunkTest, DamagedSerializedChunksAreRefused) {
    EncodedAudioChunk chunk(3, 16000, 576, "PCM", 1.0);
    ASSERT_TRUE(chunk.allocateBuffer(true));
    chunk.advanceValidLength(3);
    std::vector<uint8_t> bytes(chunk.getSerializedSize());
    uint32_t count = 0;
    ASSERT_TRUE(chunk.serializeToBuffer(bytes.data(), bytes.size(), count));

    for (uint32_t size = 0; size < bytes.size(); ++size) {
        EXPECT_EQ(EncodedAudioChunk::deserializeFromBuffer(bytes.data(), size, count), nullptr)
            << "truncated to " << size;
        EXPECT_EQ(count, 0u);
    }
    std::vector<uint8_t> badTag = bytes;
    badTag[3] = '2';
    EXPECT_EQ(EncodedAudioChunk::deserializeFromBuffer(badTag.data(), badTag.size(), count),
              nullptr);
    // A data length near 4 GiB must not wrap the bounds check or allocate.
    std::vector<uint8_t> huge = bytes;
    huge[48] = huge[49] = huge[50] = huge[51] = 0xFF;
    EXPECT_EQ(EncodedAudioChunk::deserializeFromBuffer(huge.data(), huge.size(), count), nullptr);
    std::vector<uint8_t> longName = bytes;
    longName[4] = 0xFF;
    EXPECT_EQ(EncodedAudioChunk::deserializeFromBuffer(longName.data(), longName.size(), count),
              nullptr);
}

}  // namespace
