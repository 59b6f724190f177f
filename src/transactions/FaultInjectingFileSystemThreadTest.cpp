#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "FaultInjectingFileSystem.h"
#include "RealFileSystem.h"
#include "TemporaryDirectory.h"

namespace {

// Workers of one transaction may share the file system: every operation is counted once, and a
// crash stops all of them from the same operation on.
TEST(FaultInjectingFileSystemThreadTest, CountsAndCrashesAcrossThreads) {
    TemporaryDirectory directory("korvalis-faults-");
    RealFileSystem real;
    FaultInjectingFileSystem fs(real);
    constexpr int kThreads = 4;
    constexpr int kOperationsEach = 250;
    fs.crashAt(601);
    std::vector<int> succeeded(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kOperationsEach; ++i) {
                if (fs.exists(directory.path())) {
                    ++succeeded[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    int total = 0;
    for (const int count : succeeded) {
        total += count;
    }
    EXPECT_EQ(fs.operationCount(), static_cast<uint64_t>(kThreads * kOperationsEach));
    EXPECT_EQ(total, 600);
    EXPECT_EQ(fs.failedOperationCount(), static_cast<uint64_t>(kThreads * kOperationsEach - 600));
    EXPECT_TRUE(fs.hasCrashed());
    EXPECT_EQ(fs.operations().size(), static_cast<size_t>(kThreads * kOperationsEach));
}

}  // namespace
