#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Streams data through two stages in fixed-size blocks: the producer fills blocks on the calling
// thread while the consumer drains them on a worker thread, so reading and transforming overlap
// with digesting and writing. Memory is a fixed ring of blocks, whatever the stream's length.
class BlockStreamPipeline {
public:
    // One block of the ring: the producer fills `input` (and usually `output`, of the same
    // capacity) and sets `size`; a block of size 0 ends the stream.
    struct Block {
        std::vector<uint8_t> input;
        std::vector<uint8_t> output;
        size_t size = 0;
    };
    // Fills a block; false stops the stream as failed.
    using Producer = std::function<bool(Block& block)>;
    // Takes a filled block (size > 0), in production order; false stops the stream as failed.
    using Consumer = std::function<bool(const Block& block)>;

    // `blockBytes` is each buffer's capacity, `blockCount` (at least 2) the ring's length.
    BlockStreamPipeline(size_t blockBytes, size_t blockCount);

    BlockStreamPipeline(const BlockStreamPipeline&) = delete;
    BlockStreamPipeline& operator=(const BlockStreamPipeline&) = delete;

    size_t blockBytes() const { return blockBytes_; }

    // Runs the stream to its end. True when the producer ended it with an empty block and every
    // block before it was consumed; false as soon as either side failed (the other side then
    // gets no further blocks). Runs both stages on the calling thread when no thread can be made.
    // Not re-entrant: one run at a time.
    bool run(const Producer& produce, const Consumer& consume);

private:
    bool runSequentially(const Producer& produce, const Consumer& consume);

    size_t blockBytes_;
    std::vector<Block> blocks_;
};
