#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AudioOutputDeviceFactory.h"
#include "AudioOutputDeviceTestSupport.h"
#include "TemporaryDirectory.h"
#include "ThreadMessageQueue.h"

namespace {

constexpr uint32_t kBufferDone = 0x3BD;
constexpr uint32_t kRate = 16000;

struct Outcome {
    std::vector<uint64_t> ids;
    std::vector<bool> wasReset;
};

// The player's arrangement: a writer thread writes `bufferCount` buffers while a second thread
// resets the device now and then; every notice is posted to a queue that a completion thread
// drains. Returns what the completion thread saw.
Outcome playThroughThreads(AudioOutputDevice& device, uint64_t bufferCount, size_t bufferSamples,
                           int resets) {
    ThreadMessageQueue waveQueue;
    device.setCompletionCallback([&waveQueue](AudioOutputDevice::BufferId id, bool wasReset) {
        waveQueue.post(kBufferDone, id, wasReset ? 1 : 0);
    });
    EXPECT_TRUE(device.open(kRate));

    Outcome outcome;
    std::thread completions([&] {
        while (outcome.ids.size() < bufferCount) {
            ThreadMessage message;
            if (!waveQueue.getFor(message, std::chrono::seconds(30))) {
                ADD_FAILURE() << "no notice for 30 s after " << outcome.ids.size();
                return;
            }
            EXPECT_EQ(message.message, kBufferDone);
            outcome.ids.push_back(message.wParam);
            outcome.wasReset.push_back(message.lParam != 0);
        }
    });
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        const std::vector<int16_t> samples = rampSamples(bufferSamples);
        for (uint64_t id = 0; id < bufferCount; ++id) {
            EXPECT_TRUE(device.write(id, samples.data(), samples.size() * 2));
            if (id % 10 == 9) {
                // Let the resets fall between writes.
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        writing = false;
    });
    std::thread resetter([&] {
        for (int i = 0; i < resets && (i == 0 || writing); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            device.reset();
        }
    });
    std::thread watcher([&] {
        uint64_t previous = 0;
        while (writing) {
            const uint64_t played = device.playedSampleCount();
            EXPECT_GE(played, previous) << "the playing position went back";
            previous = played;
            std::this_thread::yield();
        }
    });
    writer.join();
    resetter.join();
    watcher.join();
    completions.join();
    device.close();
    EXPECT_EQ(waveQueue.size(), 0u) << "a buffer was answered twice";
    return outcome;
}

void expectEachBufferOnceInOrder(const Outcome& outcome, uint64_t bufferCount) {
    ASSERT_EQ(outcome.ids.size(), bufferCount);
    for (uint64_t i = 0; i < bufferCount; ++i) {
        ASSERT_EQ(outcome.ids[i], i);
    }
}

}  // namespace

TEST(AudioOutputDeviceThreadTest, PacedNullAnswersEveryBufferOnceInOrderAcrossResets) {
    std::string error;
    auto device = AudioOutputDeviceFactory::create("null", "", error);
    ASSERT_NE(device, nullptr);
    const uint64_t bufferCount = 150;  // 5 ms each
    const Outcome outcome = playThroughThreads(*device, bufferCount, 80, 5);
    expectEachBufferOnceInOrder(outcome, bufferCount);
    size_t resetCount = 0;
    for (bool wasReset : outcome.wasReset) {
        resetCount += wasReset ? 1 : 0;
    }
    // The last buffers outlast the writing, so at least the first reset found some unheard.
    EXPECT_GT(resetCount, 0u);
}

TEST(AudioOutputDeviceThreadTest, FastNullAnswersEveryBufferOnceInOrderAcrossResets) {
    std::string error;
    auto device = AudioOutputDeviceFactory::create("null:fast", "", error);
    ASSERT_NE(device, nullptr);
    const uint64_t bufferCount = 1000;
    const Outcome outcome = playThroughThreads(*device, bufferCount, 480, 20);
    expectEachBufferOnceInOrder(outcome, bufferCount);
}

TEST(AudioOutputDeviceThreadTest, WavFileHoldsEverySampleWrittenAcrossResets) {
    TemporaryDirectory directory;
    ASSERT_TRUE(directory.isValid());
    std::string error;
    auto device = AudioOutputDeviceFactory::create("wav:" + directory.file("t.wav"), "", error);
    ASSERT_NE(device, nullptr);
    const uint64_t bufferCount = 1000;
    const Outcome outcome = playThroughThreads(*device, bufferCount, 480, 10);
    expectEachBufferOnceInOrder(outcome, bufferCount);
    for (bool wasReset : outcome.wasReset) {
        EXPECT_FALSE(wasReset);  // written to the file, so heard
    }
    EXPECT_EQ(device->playedSampleCount(), bufferCount * 480);
    struct stat status {};
    ASSERT_EQ(::stat(directory.file("t.wav").c_str(), &status), 0);
    EXPECT_EQ(static_cast<uint64_t>(status.st_size), 44 + bufferCount * 480 * 2);
}

TEST(AudioOutputDeviceThreadTest, FallbackForAMissingCardServesTheSameThreads) {
    std::string error;
    auto device = AudioOutputDeviceFactory::create("portaudio", "korvalis no such output", error);
    ASSERT_NE(device, nullptr);
    const uint64_t bufferCount = 100;
    const Outcome outcome = playThroughThreads(*device, bufferCount, 80, 3);
    expectEachBufferOnceInOrder(outcome, bufferCount);
}
