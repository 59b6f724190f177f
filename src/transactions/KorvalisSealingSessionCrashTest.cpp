// Sealing and unsealing stopped at every file operation in turn, then recovered as the recovery
// decision offers: the archive is consistent after each, and the media come back whole.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "FaultInjectingFileSystem.h"
#include "KorvalisSealingSession.h"
#include "KorvalisSealingSessionTestSupport.h"
#include "KorvalisUserSealingKey.h"
#include "RealFileSystem.h"
#include "RecoveryDecision.h"

namespace {

using Support = KorvalisSealingSessionTestSupport;
constexpr double kStart = Support::kSessionStart;
constexpr int kChannels = 3;
constexpr double kFileSeconds = 10.0;
constexpr int kFiles = 3;
constexpr double kEnd = kStart + kFiles * kFileSeconds;
// Inside the first and the last file.
constexpr double kFrom = kStart + 5.0;
constexpr double kTo = kStart + 25.0;

// Everything of the root but the session's day directories.
std::map<std::string, std::string> outsideTheSession(const std::string& root) {
    std::map<std::string, std::string> files;
    for (auto& [path, bytes] : Support::snapshot(root)) {
        if (path.find("/20100315/") == std::string::npos &&
            path.find("/SealingWorkInProgress/") == std::string::npos) {
            files[path.substr(root.size())] = bytes;
        }
    }
    return files;
}

class KorvalisSealingSessionCrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(template_.writeSession(kChannels, kFiles, kFileSeconds, true));
        // Files beside the session that no transaction may touch.
        std::ofstream(template_.root() + "/Databases/COURT1~20100315.xml") << "<record/>";
        std::filesystem::create_directories(template_.recordingsPath() + "/001/20100316");
        std::ofstream(template_.recordingsPath() + "/001/20100316/COURT1~4b9f4000~0~1~0~0.mp3")
            << "another day";
        for (int channel = 0; channel < kChannels; ++channel) {
            originalAudio_.push_back(template_.concatenatedAudio(channel));
        }
        originalFrames_ = template_.videoFrames();
        key_ = Support::makeUserKey();
    }

    // Seals [kFrom, kTo], or unseals a range a little wider (the sealed files end on frames).
    bool run(Support& archive, FileSystem& fileSystem, bool sealing) {
        Support::MediaSet set = archive.openSession();
        KorvalisSealingSession sealer(set.audio.get(), set.video.get(), set.session.get(),
                                      fileSystem);
        return sealing ? sealer.seal(kFrom, kTo, *key_, "")
                       : sealer.unseal(kFrom - 1.0, kTo + 1.0, *key_, "");
    }

    // Carries out what the recovery decision offers; false when that failed.
    bool recover(Support& archive, RecoveryAction& action) {
        const RecoveryDecision decision = RecoveryDecision::decide(archive.recordingsPath(), real_);
        action = decision.action;
        KorvalisSealingSession sealer(nullptr, nullptr, nullptr, real_);
        switch (decision.action) {
            case RecoveryAction::kRecoverSealing:
                return sealer.recoverSealing(archive.recordingsPath(), {});
            case RecoveryAction::kRecoverUnsealing:
                return sealer.recoverUnsealing(archive.recordingsPath(), {});
            case RecoveryAction::kRemoveWorkDirectory:
                return sealer.deleteDirectoryRecursively(archive.recordingsPath() +
                                                         "/SealingWorkInProgress");
            case RecoveryAction::kNone:
                break;
        }
        return true;
    }

    // Every second of every channel and the video is present once, and the range is sealed
    // everywhere or nowhere. Returns whether it is sealed.
    bool expectConsistent(const Support& archive, const std::string& when) {
        const bool sealed = archive.checkCoverage(-1, kStart, kEnd, kFrom, kTo).empty();
        for (int channel = -1; channel < kChannels; ++channel) {
            EXPECT_EQ(archive.checkCoverage(channel, kStart, kEnd, sealed ? kFrom : 0.0,
                                            sealed ? kTo : 0.0),
                      "")
                << when;
        }
        return sealed;
    }

    void expectOriginalMedia(const Support& archive, const std::string& when) {
        for (int channel = 0; channel < kChannels; ++channel) {
            EXPECT_TRUE(archive.concatenatedAudio(channel) == originalAudio_[channel])
                << when << ", channel " << channel;
        }
        EXPECT_TRUE(archive.videoFrames() == originalFrames_) << when;
    }

    // Runs the transaction stopped at each of its operations in turn.
    void crashAtEveryOperation(bool sealing) {
        // The unsealing runs start from a sealed archive.
        Support start;
        ASSERT_TRUE(start.copyArchiveFrom(template_.root()));
        if (!sealing) {
            ASSERT_TRUE(run(start, real_, true));
        }
        uint64_t operations = 0;
        {
            Support archive;
            ASSERT_TRUE(archive.copyArchiveFrom(start.root()));
            FaultInjectingFileSystem counting(real_);
            ASSERT_TRUE(run(archive, counting, sealing));
            operations = counting.operationCount();
        }
        ASSERT_GT(operations, 10u);
        const auto outside = outsideTheSession(start.root());
        std::map<RecoveryAction, int> actions;
        for (uint64_t n = 1; n <= operations; ++n) {
            Support archive;
            ASSERT_TRUE(archive.copyArchiveFrom(start.root()));
            FaultInjectingFileSystem faulty(real_);
            faulty.crashAt(n);
            const std::string when = std::string(sealing ? "seal" : "unseal") +
                                     " stopped at operation " + std::to_string(n);
            EXPECT_FALSE(run(archive, faulty, sealing)) << when;
            const std::string stoppedAt = faulty.firstFailedOperation();
            RecoveryAction action = RecoveryAction::kNone;
            const bool recovered = recover(archive, action);
            ++actions[action];
            EXPECT_TRUE(recovered)
                << when << " (" << stoppedAt << "), " << RecoveryDecision::actionName(action);
            EXPECT_FALSE(
                std::filesystem::exists(archive.recordingsPath() + "/SealingWorkInProgress"))
                << when;
            const bool sealed = expectConsistent(archive, when + " (" + stoppedAt + ")");
            EXPECT_TRUE(outsideTheSession(archive.root()) == outside) << when;
            if (sealed) {
                EXPECT_TRUE(run(archive, real_, false)) << when;
                expectConsistent(archive, when + ", unsealed afterwards");
            }
            expectOriginalMedia(archive, when);
            if (HasFailure()) {
                return;
            }
        }
        // Stops before, at and after the commit were all met.
        EXPECT_GT(actions[RecoveryAction::kRemoveWorkDirectory], 0);
        EXPECT_GT(
            actions[sealing ? RecoveryAction::kRecoverSealing : RecoveryAction::kRecoverUnsealing],
            0);
        EXPECT_GT(actions[RecoveryAction::kNone], 0);
        std::printf(
            "%llu operations; recoveries offered: %d none, %d removal, %d completion\n",
            static_cast<unsigned long long>(operations), actions[RecoveryAction::kNone],
            actions[RecoveryAction::kRemoveWorkDirectory],
            actions[sealing ? RecoveryAction::kRecoverSealing : RecoveryAction::kRecoverUnsealing]);
    }

    Support template_;
    RealFileSystem real_;
    std::unique_ptr<KorvalisUserSealingKey> key_;
    std::vector<std::string> originalAudio_;
    std::vector<std::pair<double, std::string>> originalFrames_;
};

TEST_F(KorvalisSealingSessionCrashTest, SealingStoppedAtAnyOperationIsRecoveredConsistently) {
    crashAtEveryOperation(true);
}

TEST_F(KorvalisSealingSessionCrashTest, UnsealingStoppedAtAnyOperationIsRecoveredConsistently) {
    crashAtEveryOperation(false);
}

}  // namespace
