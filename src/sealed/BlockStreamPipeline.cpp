#include "BlockStreamPipeline.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "CountingSemaphore.h"

BlockStreamPipeline::BlockStreamPipeline(size_t blockBytes, size_t blockCount)
    : blockBytes_(std::max<size_t>(blockBytes, 1)), blocks_(std::max<size_t>(blockCount, 2)) {
    for (Block& block : blocks_) {
        block.input.resize(blockBytes_);
        block.output.resize(blockBytes_);
    }
}

bool BlockStreamPipeline::runSequentially(const Producer& produce, const Consumer& consume) {
    Block& block = blocks_.front();
    for (;;) {
        block.size = 0;
        if (!produce(block)) {
            return false;
        }
        if (block.size == 0) {
            return true;
        }
        if (!consume(block)) {
            return false;
        }
    }
}

bool BlockStreamPipeline::run(const Producer& produce, const Consumer& consume) {
    const long count = static_cast<long>(blocks_.size());
    CountingSemaphore freeBlocks(count, count);
    CountingSemaphore filledBlocks(0, count);
    std::atomic<bool> consumerFailed{false};

    std::thread worker;
    try {
        worker = std::thread([&] {
            for (size_t index = 0;; index = (index + 1) % blocks_.size()) {
                filledBlocks.wait();
                const Block& block = blocks_[index];
                if (block.size == 0) {
                    return;  // End of stream, or the producer failed.
                }
                if (!consumerFailed.load(std::memory_order_relaxed) && !consume(block)) {
                    consumerFailed.store(true);
                }
                freeBlocks.release();
            }
        });
    } catch (const std::system_error&) {
        return runSequentially(produce, consume);
    }

    bool producerOk = true;
    for (size_t index = 0;; index = (index + 1) % blocks_.size()) {
        freeBlocks.wait();
        Block& block = blocks_[index];
        block.size = 0;
        if (!consumerFailed.load()) {
            producerOk = produce(block);
            if (!producerOk) {
                block.size = 0;
            }
        }
        const bool last = block.size == 0;
        filledBlocks.release();
        if (last) {
            break;
        }
    }
    worker.join();
    return producerOk && !consumerFailed.load();
}
