#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "AudioDecoderGroup.h"
#include "DecryptionCompleteFile.h"
#include "EncryptionCompleteFile.h"
#include "FaultInjectingFileSystem.h"
#include "FileSystem.h"
#include "KorvalisEncryptedMediaFile.h"
#include "KorvalisSealingSession.h"
#include "KorvalisSealingSessionTestSupport.h"
#include "KorvalisSession.h"
#include "KorvalisUserSealingKey.h"
#include "RealFileSystem.h"
#include "RecoveryDecision.h"
#include "TransactionScope.h"
#include "VideoDecoder.h"

namespace {

using Support = KorvalisSealingSessionTestSupport;
constexpr double kStart = Support::kSessionStart;
constexpr int kChannels = 3;
constexpr int kFiles = 3;
constexpr double kFileSeconds = 20.0;
constexpr double kSessionEnd = kStart + kFiles * kFileSeconds;

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class KorvalisSealingSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(support_.writeSession(kChannels, kFiles, kFileSeconds, true));
        for (int channel = 0; channel < kChannels; ++channel) {
            originalAudio_.push_back(support_.concatenatedAudio(channel));
        }
        originalFrames_ = support_.videoFrames();
        ASSERT_FALSE(originalFrames_.empty());
        key_ = Support::makeUserKey();
    }

    // Runs seal (or unseal) on a freshly opened session through `fileSystem`.
    bool run(bool sealing, double from, double to, FileSystem& fileSystem,
             const KorvalisUserSealingKey& key, const std::string& archiveLocation = "") {
        Support::MediaSet set = support_.openSession();
        KorvalisSealingSession sealer(set.audio.get(), set.video.get(), set.session.get(),
                                      fileSystem);
        messages_.clear();
        sealer.setMessageCallback([this](const std::string& text) { messages_.push_back(text); });
        sealer.setProgressCallback([this](const std::string* text, int current, int total) {
            if (text != nullptr) {
                progress_.push_back(*text);
            } else {
                EXPECT_GE(current, 1);
                EXPECT_LE(current, total);
            }
        });
        return sealing ? sealer.seal(from, to, key, archiveLocation)
                       : sealer.unseal(from, to, key, archiveLocation);
    }

    // Every channel and the video cover the session exactly once, sealed inside [from, to).
    void expectCoverage(double sealedFrom, double sealedTo) {
        for (int channel = -1; channel < kChannels; ++channel) {
            EXPECT_EQ(support_.checkCoverage(channel, kStart, kSessionEnd, sealedFrom, sealedTo),
                      "");
        }
    }

    // The clear media equal the original media.
    void expectOriginalMedia() {
        for (int channel = 0; channel < kChannels; ++channel) {
            EXPECT_TRUE(support_.concatenatedAudio(channel) == originalAudio_[channel])
                << "channel " << channel;
        }
        EXPECT_TRUE(support_.videoFrames() == originalFrames_);
    }

    bool workDirectoryExists() const {
        return std::filesystem::exists(support_.recordingsPath() + "/SealingWorkInProgress");
    }

    // Seals [from, to], checks the result, unseals it and checks that the media are back.
    void roundTrip(double from, double to) {
        ASSERT_TRUE(run(true, from, to, fileSystem_, *key_));
        EXPECT_FALSE(workDirectoryExists());
        // The sealed pieces start and end at frame boundaries near the range ends.
        expectCoverage(from, to);
        ASSERT_TRUE(run(false, from - 1.0, to + 1.0, fileSystem_, *key_));
        EXPECT_FALSE(workDirectoryExists());
        expectCoverage(0.0, 0.0);
        expectOriginalMedia();
    }

    Support support_;
    RealFileSystem fileSystem_;
    std::unique_ptr<KorvalisUserSealingKey> key_;
    std::vector<std::string> originalAudio_;
    std::vector<std::pair<double, std::string>> originalFrames_;
    std::vector<std::string> messages_;
    std::vector<std::string> progress_;
};

TEST_F(KorvalisSealingSessionTest, RangeAcrossFilesIsSealedAndUnsealedBack) {
    const double from = kStart + 15.0;
    const double to = kStart + 45.0;
    ASSERT_TRUE(run(true, from, to, fileSystem_, *key_));
    EXPECT_EQ(messages_.front(), "Starting sealing process ...");
    EXPECT_EQ(messages_.back(), "Removing working directory ...");
    EXPECT_FALSE(contains(messages_, "FAILED!"));
    for (const char* line : {"Creating working directory ...", "Processing video files ...",
                             "Processing audio files ...", "Processing audio channel 2 ...",
                             "     - Final portion of file is in range, single split required.",
                             "     - Entire file is in range, no split required.",
                             "     - First portion of file is in range, single split required.",
                             "Creating transaction finalization file ...",
                             "Reading back transaction finalization file ...",
                             "Moving, copying, and deleting to complete sealing transaction ...",
                             "Removing transaction finalization file ...",
                             "Removing files that were copied out of working directory ..."}) {
        EXPECT_TRUE(contains(messages_, line)) << line;
    }
    EXPECT_TRUE(contains(progress_, "Splitting video files ..."));
    EXPECT_TRUE(contains(progress_, "Sealing audio files ..."));
    // Sealing never shows the per-entry lines of the completion.
    EXPECT_TRUE(std::none_of(messages_.begin(), messages_.end(), [](const std::string& line) {
        return line.starts_with("      Deleting");
    }));
    EXPECT_FALSE(workDirectoryExists());
    expectCoverage(from, to);

    // Sealing the same range again finds nothing clear to seal.
    ASSERT_TRUE(run(true, from, to, fileSystem_, *key_));
    expectCoverage(from, to);

    ASSERT_TRUE(run(false, from - 1.0, to + 1.0, fileSystem_, *key_));
    EXPECT_EQ(messages_.front(), "Starting unsealing process ...");
    EXPECT_TRUE(
        contains(messages_, "Moving, copying, and deleting to complete unsealing transaction ..."));
    EXPECT_FALSE(workDirectoryExists());
    expectCoverage(0.0, 0.0);
    expectOriginalMedia();
}

// The audio cut at a range's start lands on the frame boundary before it: unsealing the very
// times that were sealed still restores every piece.
TEST_F(KorvalisSealingSessionTest, UnsealingTheSameTimesRestoresEverythingSealed) {
    const double from = kStart + 15.01;
    const double to = kStart + 45.01;
    ASSERT_TRUE(run(true, from, to, fileSystem_, *key_));
    expectCoverage(from, to);
    ASSERT_TRUE(run(false, from, to, fileSystem_, *key_));
    EXPECT_FALSE(workDirectoryExists());
    expectCoverage(0.0, 0.0);
    expectOriginalMedia();
}

TEST_F(KorvalisSealingSessionTest, RangeInsideOneFileIsSplitTwiceAndRestored) {
    roundTrip(kStart + 24.0, kStart + 33.0);
    EXPECT_TRUE(contains(messages_, "Starting unsealing process ..."));
}

TEST_F(KorvalisSealingSessionTest, RangeInsideOneFileMakesThreePieces) {
    ASSERT_TRUE(run(true, kStart + 24.0, kStart + 33.0, fileSystem_, *key_));
    EXPECT_TRUE(
        contains(messages_, "     - Range is entirely within file, double split required."));
    const auto spans = support_.spans(1);
    ASSERT_EQ(spans.size(), 5u);  // first file, three pieces of the second, third file
    EXPECT_FALSE(spans[1].sealed);
    EXPECT_TRUE(spans[2].sealed);
    EXPECT_FALSE(spans[3].sealed);
    EXPECT_NEAR(spans[2].start, kStart + 24.0, 0.05);
    EXPECT_NEAR(spans[2].end, kStart + 33.0, 0.05);
}

TEST_F(KorvalisSealingSessionTest, FileReachingLessThanTwoSecondsBeyondTheRangeIsSealedWhole) {
    // The second file is [20, 40]; the range starts 1.5 s after it.
    ASSERT_TRUE(run(true, kStart + 21.5, kStart + 40.0, fileSystem_, *key_));
    const auto spans = support_.spans(0);
    ASSERT_EQ(spans.size(), 3u);
    EXPECT_TRUE(spans[1].sealed);
    EXPECT_DOUBLE_EQ(spans[1].start, kStart + 20.0);
}

TEST_F(KorvalisSealingSessionTest, UnsealingLeavesSealedFilesReachingBeyondTheRange) {
    ASSERT_TRUE(run(true, kStart + 20.0, kStart + 40.0, fileSystem_, *key_));
    // The sealed files span [20, 40]: a range that misses more of them than the tolerance
    // unseals nothing.
    ASSERT_TRUE(run(false, kStart + 20.0 + KorvalisSealingSession::kRangeToleranceSeconds + 0.5,
                    kStart + 45.0, fileSystem_, *key_));
    expectCoverage(kStart + 20.0, kStart + 40.0);
    // Audio files are whole frames long, so their boundaries lie a little off the whole seconds.
    ASSERT_TRUE(run(false, kStart + 19.9, kStart + 40.1, fileSystem_, *key_));
    expectCoverage(0.0, 0.0);
    expectOriginalMedia();
}

TEST_F(KorvalisSealingSessionTest, UnsealingOntoAnExistingFileFailsUntilTheConflictIsRemoved) {
    ASSERT_TRUE(run(true, kStart + 20.0, kStart + 40.0, fileSystem_, *key_));
    const auto spans = support_.spans(1);
    ASSERT_TRUE(spans[1].sealed);
    bool opened = false;
    KorvalisEncryptedMediaFile sealed(KorvalisSession::directoryOfPath(spans[1].path),
                                      KorvalisSession::fileNameOfPath(spans[1].path), opened);
    ASSERT_TRUE(opened);
    const std::string inTheWay =
        KorvalisSession::directoryOfPath(spans[1].path) + "/" + sealed.getOriginalFileName();
    writeFile(inTheWay, "in the way");
    EXPECT_FALSE(run(false, kStart + 19.0, kStart + 41.0, fileSystem_, *key_));
    EXPECT_EQ(messages_.back(), "FAILED!");
    EXPECT_EQ(Support::readFile(inTheWay), "in the way");
    const std::string completion =
        support_.recordingsPath() +
        "/SealingWorkInProgress/DECRYPTION_COMPLETE_MOVE_IN_PROGRESS.xml";
    EXPECT_TRUE(std::filesystem::exists(completion));
    // The decision offers to finish the run; once the file is out of the way, that works.
    EXPECT_EQ(RecoveryDecision::decide(support_.recordingsPath(), fileSystem_).action,
              RecoveryAction::kRecoverUnsealing);
    std::filesystem::remove(inTheWay);
    KorvalisSealingSession recovery(nullptr, nullptr, nullptr, fileSystem_);
    EXPECT_TRUE(recovery.recoverUnsealing(support_.recordingsPath(), {}));
    EXPECT_FALSE(workDirectoryExists());
    expectCoverage(0.0, 0.0);
    expectOriginalMedia();
}

TEST_F(KorvalisSealingSessionTest, WrongKeyFailsClearlyAndLeavesTheArchiveUntouched) {
    ASSERT_TRUE(run(true, kStart + 15.0, kStart + 45.0, fileSystem_, *key_));
    const auto before = Support::snapshot(support_.root());
    const auto otherKey = Support::makeUserKey();
    EXPECT_FALSE(run(false, kStart, kSessionEnd, fileSystem_, *otherKey));
    EXPECT_TRUE(contains(messages_, "FAILED!"));
    EXPECT_TRUE(std::any_of(messages_.begin(), messages_.end(), [](const std::string& line) {
        return line.starts_with("   FAILED! ") && line.size() > 11;
    }));
    EXPECT_FALSE(workDirectoryExists());
    EXPECT_TRUE(Support::snapshot(support_.root()) == before);

    // A key without an uncovered master key is refused before anything is made.
    KorvalisUserSealingKey locked;
    EXPECT_FALSE(run(true, kStart, kSessionEnd, fileSystem_, locked));
    EXPECT_FALSE(workDirectoryExists());
    EXPECT_TRUE(Support::snapshot(support_.root()) == before);
}

TEST_F(KorvalisSealingSessionTest, ArchivedCopiesOfSealedFilesAreDeleted) {
    const std::string location = support_.root() + "/SecondArchive";
    const auto spans = support_.spans(2);
    const std::string day = "/Recordings/002/20100315/";
    for (const auto& span : spans) {
        writeFile(location + day + KorvalisSession::fileNameOfPath(span.path), "copy");
    }
    writeFile(location + "/Databases/unrelated.xml", "keep");
    ASSERT_TRUE(run(true, kStart + 24.0, kStart + 33.0, fileSystem_, *key_, location))
        << ::testing::PrintToString(messages_);
    // Only the copy of the processed (second) file goes.
    EXPECT_TRUE(
        std::filesystem::exists(location + day + KorvalisSession::fileNameOfPath(spans[0].path)));
    EXPECT_FALSE(
        std::filesystem::exists(location + day + KorvalisSession::fileNameOfPath(spans[1].path)));
    EXPECT_TRUE(
        std::filesystem::exists(location + day + KorvalisSession::fileNameOfPath(spans[2].path)));
    EXPECT_TRUE(std::filesystem::exists(location + "/Databases/unrelated.xml"));
}

TEST_F(KorvalisSealingSessionTest, UnfinishedTransactionIsNeverOverwrittenByANewRun) {
    const TransactionScope scope(support_.recordingsPath());
    EncryptionCompleteFile pending;
    pending.videoFilesToDelete.push_back(support_.spans(-1)[0].path);
    std::filesystem::create_directories(scope.workDirectory());
    std::string error;
    ASSERT_TRUE(pending.write(fileSystem_, scope, error)) << error;
    const auto before = Support::snapshot(support_.root());
    EXPECT_FALSE(run(true, kStart + 15.0, kStart + 45.0, fileSystem_, *key_));
    EXPECT_FALSE(run(false, kStart, kSessionEnd, fileSystem_, *key_));
    EXPECT_TRUE(Support::snapshot(support_.root()) == before);
}

TEST_F(KorvalisSealingSessionTest, SessionWithoutAudioChannelsSealsItsVideoAlone) {
    Support::MediaSet set = support_.openSession();
    AudioDecoderGroup noChannels;
    KorvalisSealingSession sealer(&noChannels, set.video.get(), set.session.get(), fileSystem_);
    ASSERT_TRUE(sealer.seal(kStart + 15.0, kStart + 45.0, *key_, ""));
    EXPECT_EQ(support_.checkCoverage(-1, kStart, kSessionEnd, kStart + 15.0, kStart + 45.0), "");
    EXPECT_EQ(support_.checkCoverage(0, kStart, kSessionEnd, 0.0, 0.0), "");
}

// Forwards to the real file system and notes every operation that changes or flushes the disk.
class RecordingFileSystem final : public FileSystem {
public:
    std::vector<std::string> operations;

    bool exists(const std::string& path) override { return real_.exists(path); }
    bool isDirectory(const std::string& path) override { return real_.isDirectory(path); }
    bool createDirectory(const std::string& path) override {
        return note("createDirectory", path) && real_.createDirectory(path);
    }
    bool removeFile(const std::string& path) override {
        return note("removeFile", path) && real_.removeFile(path);
    }
    bool removeDirectory(const std::string& path) override {
        return note("removeDirectory", path) && real_.removeDirectory(path);
    }
    bool removeRecursively(const std::string& path) override {
        return note("removeRecursively", path) && real_.removeRecursively(path);
    }
    bool moveWithoutReplacing(const std::string& from, const std::string& to) override {
        return note("move", to) && real_.moveWithoutReplacing(from, to);
    }
    bool copyFile(const std::string& from, const std::string& to) override {
        return note("copy", to) && real_.copyFile(from, to);
    }
    bool readFileInPieces(const std::string& path, size_t pieceBytes,
                          const std::function<bool(std::string_view)>& consume) override {
        return real_.readFileInPieces(path, pieceBytes, consume);
    }
    bool readWholeFile(const std::string& path, std::string& bytes,
                       uint64_t maximumBytes) override {
        return real_.readWholeFile(path, bytes, maximumBytes);
    }
    bool writeFileDurably(const std::string& path, std::string_view bytes) override {
        return note("writeFileDurably", path) && real_.writeFileDurably(path, bytes);
    }
    bool syncFile(const std::string& path) override {
        return note("syncFile", path) && real_.syncFile(path);
    }
    bool syncDirectory(const std::string& path) override {
        return note("syncDirectory", path) && real_.syncDirectory(path);
    }
    bool listDirectory(const std::string& path, std::vector<DirectoryEntry>& entries) override {
        return real_.listDirectory(path, entries);
    }
    bool fileSize(const std::string& path, uint64_t& bytes) override {
        return real_.fileSize(path, bytes);
    }
    std::string error() const override { return real_.error(); }
    bool alreadyExists() const override { return real_.alreadyExists(); }

private:
    bool note(const char* operation, const std::string& path) {
        operations.push_back(std::string(operation) + " " + path);
        return true;
    }
    RealFileSystem real_;
};

TEST_F(KorvalisSealingSessionTest, PreparedFilesAreFlushedBeforeTheCommitAndTheArchiveAfterIt) {
    RecordingFileSystem recording;
    ASSERT_TRUE(run(true, kStart + 24.0, kStart + 33.0, recording, *key_));
    const auto& operations = recording.operations;
    const auto commit = std::find_if(operations.begin(), operations.end(), [](const auto& op) {
        return op.starts_with("writeFileDurably ") &&
               op.ends_with("/ENCRYPTION_COMPLETE_MOVE_IN_PROGRESS.xml");
    });
    ASSERT_NE(commit, operations.end());
    const std::string work = support_.recordingsPath() + "/SealingWorkInProgress";
    // Before the commit: the work directory made, the clear parts to copy back flushed (two per
    // channel and video), then the work directory itself; nothing else.
    std::vector<std::string> before(operations.begin(), commit);
    ASSERT_EQ(before.size(), 1u + 2u * (kChannels + 1) + 1u) << ::testing::PrintToString(before);
    EXPECT_EQ(before.front(), "createDirectory " + work);
    for (size_t i = 1; i + 1 < before.size(); ++i) {
        EXPECT_TRUE(before[i].starts_with("syncFile " + work + "/")) << before[i];
    }
    EXPECT_EQ(before.back(), "syncDirectory " + work);
    // After it: the archive changed, then the work directory removed last.
    EXPECT_EQ(operations.back(), "removeDirectory " + work);
    EXPECT_EQ(std::count_if(commit, operations.end(),
                            [](const auto& op) { return op.starts_with("move "); }),
              kChannels + 1);
}

// ---------------------------------------------------------------------------------------------
// Completion, copying and recovery on hand-made transactions

class KorvalisSealingCompletionTest : public ::testing::Test {
protected:
    void SetUp() override {
        recordings_ = support_.recordingsPath();
        work_ = TransactionScope(recordings_).workDirectory();
        day_ = support_.channelDirectory(1);
        std::filesystem::create_directories(work_);
    }

    std::string file(const std::string& directory, const std::string& name,
                     const std::string& bytes) {
        const std::string path = directory + "/" + name;
        writeFile(path, bytes);
        return path;
    }

    Support support_;
    RealFileSystem fileSystem_;
    KorvalisSealingSession sealer_{nullptr, nullptr, nullptr, fileSystem_};
    std::string recordings_;
    std::string work_;
    std::string day_;
};

TEST_F(KorvalisSealingCompletionTest, CompletingAgainCountsEntriesAlreadyCarriedOutAsDone) {
    EncryptionCompleteFile completion;
    completion.videoFilesToDelete = {file(day_, "old.kov", "old")};
    completion.audioFilesToCopy = {{file(work_, "part.mp3", "part"), day_ + "/part.mp3"}};
    completion.audioFilesToMove = {
        {file(work_, "a.sealedAudio", "sealed"), day_ + "/a.sealedAudio"}};
    std::vector<std::string> lines;
    const auto record = [&](const std::string& line) { lines.push_back(line); };
    ASSERT_TRUE(sealer_.completeSealing(completion, nullptr, nullptr, record));
    EXPECT_TRUE(contains(lines, "      Deleting " + day_ + "/old.kov"));
    EXPECT_TRUE(contains(lines, "      Copying " + work_ + "/part.mp3 to " + day_ + "/part.mp3"));
    EXPECT_TRUE(
        contains(lines, "      Moving " + work_ + "/a.sealedAudio to " + day_ + "/a.sealedAudio"));
    // Everything is done; a second run (recovery after a crash) finishes as well.
    EXPECT_TRUE(sealer_.completeSealing(completion, nullptr, nullptr, {}));
    EXPECT_EQ(Support::readFile(day_ + "/part.mp3"), "part");
    EXPECT_EQ(Support::readFile(day_ + "/a.sealedAudio"), "sealed");
    EXPECT_FALSE(std::filesystem::exists(day_ + "/old.kov"));

    DecryptionCompleteFile unsealing;
    unsealing.videoFilesToMove = {{file(work_, "clear.kov", "clear"), day_ + "/clear.kov"}};
    unsealing.encryptedFilesToDelete = {day_ + "/a.sealedAudio"};
    ASSERT_TRUE(sealer_.completeUnsealing(unsealing, {}));
    EXPECT_TRUE(sealer_.completeUnsealing(unsealing, {}));
    EXPECT_EQ(Support::readFile(day_ + "/clear.kov"), "clear");
}

TEST_F(KorvalisSealingCompletionTest, GenuineConflictsFailAndKeepTheCompletionFile) {
    const std::string source = file(work_, "clear.mp3", "restored");
    file(day_, "clear.mp3", "someone else's");
    const std::string sealed = file(day_, "clear.sealedAudio", "sealed");
    DecryptionCompleteFile unsealing;
    unsealing.audioFilesToMove = {{source, day_ + "/clear.mp3"}};
    unsealing.encryptedFilesToDelete = {sealed};
    const TransactionScope scope(recordings_);
    std::string error;
    ASSERT_TRUE(unsealing.write(fileSystem_, scope, error)) << error;
    std::vector<std::string> lines;
    EXPECT_FALSE(sealer_.recoverUnsealing(recordings_,
                                          [&](const std::string& line) { lines.push_back(line); }));
    EXPECT_EQ(lines.back(), "FAILED!");
    // The move never replaced the file in its way; the rest was still carried out.
    EXPECT_EQ(Support::readFile(day_ + "/clear.mp3"), "someone else's");
    EXPECT_EQ(Support::readFile(source), "restored");
    EXPECT_FALSE(std::filesystem::exists(sealed));
    EXPECT_TRUE(std::filesystem::exists(scope.unsealingCompletionFilePath()));

    // Once the conflict is removed, recovery finishes.
    std::filesystem::remove(day_ + "/clear.mp3");
    lines.clear();
    EXPECT_TRUE(sealer_.recoverUnsealing(recordings_,
                                         [&](const std::string& line) { lines.push_back(line); }));
    EXPECT_EQ(lines.front(), "   Reading back transaction finalization file ...");
    EXPECT_EQ(lines.back(), "   Removing working directory ...");
    EXPECT_EQ(Support::readFile(day_ + "/clear.mp3"), "restored");
    EXPECT_FALSE(std::filesystem::exists(work_));

    // A copy onto a file with other bytes is a conflict too.
    std::filesystem::create_directories(work_);
    EncryptionCompleteFile sealing;
    sealing.audioFilesToCopy = {{file(work_, "part.mp3", "part"), file(day_, "part.mp3", "other")}};
    EXPECT_FALSE(sealer_.completeSealing(sealing, nullptr, nullptr, {}));
    EXPECT_EQ(Support::readFile(day_ + "/part.mp3"), "other");
}

TEST_F(KorvalisSealingCompletionTest, CopyFileHandsAWriterPiecesOfTwoMebibytes) {
    const std::string bytes = std::string(5 * 1024 * 1024 + 7, 'k');
    const std::string source = file(work_, "big.mp3", bytes);
    struct Received {
        std::vector<uint32_t> sizes;
        std::string bytes;
        int finished = 0;
        std::string target;
    } received;
    const KovWriteCallback writer = [](void* context, double time, const uint8_t* data,
                                       uint32_t count, const std::string* target, bool finished) {
        auto* r = static_cast<Received*>(context);
        EXPECT_EQ(time, 0.0);
        r->target = *target;
        if (finished) {
            ++r->finished;
            EXPECT_EQ(count, 0u);
            EXPECT_EQ(data, nullptr);
        } else {
            r->sizes.push_back(count);
            r->bytes.append(reinterpret_cast<const char*>(data), count);
        }
        return true;
    };
    ASSERT_TRUE(sealer_.copyFile({source, "/elsewhere/big.mp3"}, writer, &received));
    EXPECT_EQ(received.sizes, (std::vector<uint32_t>{2097152, 2097152, 1048583}));
    EXPECT_TRUE(received.bytes == bytes);
    EXPECT_EQ(received.finished, 1);
    EXPECT_EQ(received.target, "/elsewhere/big.mp3");

    // A writer that fails fails the copy; a missing source fails without data.
    const KovWriteCallback refusing = [](void*, double, const uint8_t*, uint32_t,
                                         const std::string*, bool) { return false; };
    EXPECT_FALSE(sealer_.copyFile({source, "/elsewhere/big.mp3"}, refusing, nullptr));
    EXPECT_FALSE(sealer_.copyFile({work_ + "/missing", "/elsewhere/x"}, writer, &received));
    // Equal paths need nothing; without a writer the copy lands whole.
    EXPECT_TRUE(sealer_.copyFile({source, source}, nullptr, nullptr));
    ASSERT_TRUE(sealer_.copyFile({source, day_ + "/big.mp3"}, nullptr, nullptr));
    EXPECT_TRUE(Support::readFile(day_ + "/big.mp3") == bytes);
}

TEST_F(KorvalisSealingCompletionTest, WorkDirectoryTestsAndRecursiveDeletion) {
    bool work = false;
    bool sealing = true;
    bool unsealing = true;
    sealer_.testWorkDirectory(recordings_, work, sealing, unsealing);
    EXPECT_TRUE(work);
    EXPECT_FALSE(sealing);
    EXPECT_FALSE(unsealing);
    file(work_, "ENCRYPTION_COMPLETE_MOVE_IN_PROGRESS.xml", "<x/>");
    file(work_ + "/deeper", "part.mp3", "x");
    std::filesystem::permissions(work_ + "/deeper/part.mp3", std::filesystem::perms::owner_read);
    sealer_.testWorkDirectory(recordings_, work, sealing, unsealing);
    EXPECT_TRUE(sealing);
    EXPECT_FALSE(unsealing);
    EXPECT_TRUE(sealer_.deleteDirectoryRecursively(work_));
    sealer_.testWorkDirectory(recordings_, work, sealing, unsealing);
    EXPECT_FALSE(work);
    EXPECT_FALSE(sealing);
    // A corrupt completion file is never acted on.
    std::filesystem::create_directories(work_);
    file(work_, "ENCRYPTION_COMPLETE_MOVE_IN_PROGRESS.xml", "<EncryptionComplete>");
    std::vector<std::string> lines;
    EXPECT_FALSE(
        sealer_.recoverSealing(recordings_, [&](const std::string& l) { lines.push_back(l); }));
    EXPECT_EQ(lines.back(), "FAILED! Should not happen since this file was just checked.");
}

}  // namespace

// The session's copy runs the range copier with its own callbacks: the copy is a session of the
// same channels, and sealing afterwards still works (the run mutex was given back).
TEST_F(KorvalisSealingSessionTest, CopyWritesTheRangeAsASessionOfTheTargetArchive) {
    const std::string target = support_.root() + "/Copy";
    {
        Support::MediaSet set = support_.openSession();
        KorvalisSealingSession sealer(set.audio.get(), set.video.get(), set.session.get(),
                                      fileSystem_);
        sealer.setMessageCallback([this](const std::string& text) { messages_.push_back(text); });
        ASSERT_TRUE(sealer.copy(kStart + 5.0, kStart + 25.0, target, nullptr, nullptr));
    }
    EXPECT_FALSE(messages_.empty());
    EXPECT_FALSE(contains(messages_, "FAILED!"));
    KorvalisSession copied(target + "/Recordings", Support::kLocation, 2010, 3, 15);
    copied.enumerateMediaFiles();
    EXPECT_EQ(copied.numberOfChannelsIs(), static_cast<uint32_t>(kChannels));
    for (int channel = 0; channel < kChannels; ++channel) {
        EXPECT_FALSE(copied.audioFilesForChannel(channel).empty()) << channel;
    }
    EXPECT_FALSE(copied.videoFiles().empty());
    roundTrip(kStart + 24.0, kStart + 33.0);
}
