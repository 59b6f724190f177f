#include <gtest/gtest.h>

#include <atomic>

#include "BlockStreamPipeline.h"

namespace {

TEST(BlockStreamPipeline, ConsumerSeesEveryBlockInOrder) {
    BlockStreamPipeline pipeline(64, 3);
    const size_t blockCount = 1000;
    size_t produced = 0;
    std::vector<uint8_t> seen;
    const bool ok = pipeline.run(
        [&](BlockStreamPipeline::Block& block) {
            if (produced == blockCount) {
                return true;  // size stays 0: the end.
            }
            block.size = 1 + produced % 64;
            for (size_t i = 0; i < block.size; ++i) {
                block.input[i] = static_cast<uint8_t>(produced);
                block.output[i] = static_cast<uint8_t>(produced + 1);
            }
            ++produced;
            return true;
        },
        [&](const BlockStreamPipeline::Block& block) {
            for (size_t i = 0; i < block.size; ++i) {
                EXPECT_EQ(block.output[i], static_cast<uint8_t>(block.input[i] + 1));
                seen.push_back(block.input[i]);
            }
            return true;
        });
    EXPECT_TRUE(ok);
    size_t expectedBytes = 0;
    for (size_t b = 0; b < blockCount; ++b) {
        expectedBytes += 1 + b % 64;
    }
    ASSERT_EQ(seen.size(), expectedBytes);
    size_t at = 0;
    for (size_t b = 0; b < blockCount; ++b) {
        for (size_t i = 0; i < 1 + b % 64; ++i) {
            ASSERT_EQ(seen[at++], static_cast<uint8_t>(b));
        }
    }
}

TEST(BlockStreamPipeline, EmptyStreamSucceedsWithoutConsuming) {
    BlockStreamPipeline pipeline(16, 2);
    int consumed = 0;
    EXPECT_TRUE(pipeline.run([](BlockStreamPipeline::Block&) { return true; },
                             [&](const BlockStreamPipeline::Block&) { return ++consumed > 0; }));
    EXPECT_EQ(consumed, 0);
}

TEST(BlockStreamPipeline, ConsumerFailureStopsTheProducerSoon) {
    BlockStreamPipeline pipeline(16, 4);
    std::atomic<int> produced{0};
    int consumed = 0;
    const bool ok = pipeline.run(
        [&](BlockStreamPipeline::Block& block) {
            block.size = 1;  // Never ends by itself.
            ++produced;
            return true;
        },
        [&](const BlockStreamPipeline::Block&) { return ++consumed < 10; });
    EXPECT_FALSE(ok);
    EXPECT_EQ(consumed, 10);
    // At most the ring's blocks were in flight after the failure.
    EXPECT_LE(produced.load(), 10 + 4 + 1);
}

TEST(BlockStreamPipeline, ProducerFailureEndsTheStreamAsFailed) {
    BlockStreamPipeline pipeline(16, 2);
    int produced = 0;
    int consumed = 0;
    const bool ok = pipeline.run(
        [&](BlockStreamPipeline::Block& block) {
            block.size = 8;
            return ++produced < 5;
        },
        [&](const BlockStreamPipeline::Block& block) {
            EXPECT_EQ(block.size, 8u);
            ++consumed;
            return true;
        });
    EXPECT_FALSE(ok);
    EXPECT_EQ(consumed, 4);
}

}  // namespace
