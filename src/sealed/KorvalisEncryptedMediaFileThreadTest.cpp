#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "KorvalisEncryptedMediaFile.h"
#include "SealedTestSupport.h"

namespace {

const uint8_t kKey[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// Seal and unseal run on the sealer's worker thread while the player reads trailers; each call
// runs its own digest thread.
TEST(KorvalisEncryptedMediaFileThreads, FilesAreSealedAndRestoredConcurrently) {
    SealedTestSupport scratch;
    const std::string directory = scratch.directory().string();
    const int fileCount = 4;
    std::vector<std::string> originals;
    for (int i = 0; i < fileCount; ++i) {
        originals.push_back(SealedTestSupport::mediaBytes(1500000 + 1000 * i, i));
        SealedTestSupport::writeFile(scratch.path("f" + std::to_string(i) + ".kov"), originals[i]);
    }
    std::vector<std::thread> threads;
    std::vector<int> results(fileCount, 0);
    for (int i = 0; i < fileCount; ++i) {
        threads.emplace_back([&, i] {
            const std::string name = "f" + std::to_string(i);
            KorvalisEncryptedMediaFile file;
            file.setEncryptedLocation(directory, name + ".sealedVideo");
            file.setOriginalLocation(directory, name + ".kov");
            file.setSourceLocation(directory, name + ".kov");
            file.setStartTime(100.0 * i);
            file.setEndTime(100.0 * i + 60.0);
            bool ok = file.encrypt(kKey, 16, "", "");
            bool opened = false;
            KorvalisEncryptedMediaFile sealed(directory, name + ".sealedVideo", opened);
            ok = ok && opened && sealed.decrypt(kKey, 16, directory, name + ".restored");
            results[i] = ok ? 1 : 0;
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < fileCount; ++i) {
        EXPECT_EQ(results[i], 1);
        EXPECT_EQ(SealedTestSupport::readFile(scratch.path("f" + std::to_string(i) + ".restored")),
                  originals[i]);
    }
}

TEST(KorvalisEncryptedMediaFileThreads, OneObjectSharedBetweenThreads) {
    SealedTestSupport scratch;
    const std::string directory = scratch.directory().string();
    SealedTestSupport::writeFile(scratch.path("a.mp3"), SealedTestSupport::mediaBytes(300000, 9));
    KorvalisEncryptedMediaFile file;
    file.setOriginalLocation(directory, "a.mp3");
    file.setSourceLocation(directory, "a.mp3");
    file.setEncryptedLocation(directory, "a.sealedAudio");
    file.setStartTime(1.0);
    file.setEndTime(2.0);
    ASSERT_TRUE(file.encrypt(kKey, 16, "", ""));
    bool opened = false;
    KorvalisEncryptedMediaFile sealed(directory, "a.sealedAudio", opened);
    ASSERT_TRUE(opened);
    std::thread verifier([&] {
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(sealed.verify(kKey, 16));
        }
    });
    for (int i = 0; i < 50; ++i) {
        EXPECT_DOUBLE_EQ(sealed.getDuration(), 1.0);
        EXPECT_EQ(sealed.getOriginalFileName(), "a.mp3");
    }
    verifier.join();
}

}  // namespace
