#include "KorvalisSealingSession.h"

#include <cryptopp/sha.h>

#include <array>

#include "AudioDecoder.h"
#include "AudioDecoderGroup.h"
#include "CompressedAudioFile.h"
#include "CompressedVideoFile.h"
#include "DecryptionCompleteFile.h"
#include "EncryptionCompleteFile.h"
#include "FileSystem.h"
#include "KorvalisEncryptedMediaFile.h"
#include "KorvalisSession.h"
#include "KorvalisUserSealingKey.h"
#include "SessionRangeCopier.h"
#include "TransactionScope.h"
#include "VideoDecoder.h"

namespace {

const std::string kQuote = "\"";

std::string directoryOf(const std::string& path) {
    return KorvalisSession::directoryOfPath(path);
}

std::string fileNameOf(const std::string& path) {
    return KorvalisSession::fileNameOfPath(path);
}

}  // namespace

KorvalisSealingSession::SealingLists::SealingLists() = default;
KorvalisSealingSession::SealingLists::~SealingLists() = default;
KorvalisSealingSession::SealingLists::SealingLists(SealingLists&&) noexcept = default;
KorvalisSealingSession::SealingLists& KorvalisSealingSession::SealingLists::operator=(
    SealingLists&&) noexcept = default;

KorvalisSealingSession::KorvalisSealingSession(AudioDecoderGroup* audioDecoderGroup,
                                               VideoDecoder* videoDecoder, KorvalisSession* session,
                                               FileSystem& fileSystem)
    : audioDecoderGroup_(audioDecoderGroup),
      videoDecoder_(videoDecoder),
      session_(session),
      fileSystem_(fileSystem) {}

KorvalisSealingSession::~KorvalisSealingSession() = default;

void KorvalisSealingSession::setProgressCallback(ProgressCallback callback) {
    std::lock_guard lock(mutex_);
    progressCallback_ = std::move(callback);
}

void KorvalisSealingSession::setMessageCallback(MessageCallback callback) {
    std::lock_guard lock(mutex_);
    messageCallback_ = std::move(callback);
}

void KorvalisSealingSession::message(const std::string& text) {
    if (messageCallback_) {
        messageCallback_(text);
    }
}

void KorvalisSealingSession::progress(const std::string* text, int current, int total) {
    if (progressCallback_) {
        progressCallback_(text, current, total);
    }
}

// ---------------------------------------------------------------------------------------------
// Sealing

bool KorvalisSealingSession::seal(double rangeStart, double rangeEnd,
                                  const KorvalisUserSealingKey& key,
                                  const std::string& archiveLocation) {
    std::lock_guard lock(mutex_);
    archiveLocation_ = archiveLocation;
    message("Starting sealing process ...");
    const KorvalisMasterSealingKey* masterKey = key.getMasterKey();
    if (session_ == nullptr || masterKey == nullptr || !masterKey->isValid() ||
        !(rangeStart < rangeEnd)) {
        message("FAILED!");
        return false;
    }
    const TransactionScope scope(session_->recordingsPath(), archiveLocation);
    const std::string workDirectory = scope.workDirectory();

    message("Creating working directory ...");
    bool createdWorkDirectory = false;
    bool ok = prepareWorkDirectory(workDirectory, createdWorkDirectory);
    if (!ok) {
        message("FAILED!");
    }
    SealingLists lists;
    if (ok) {
        message("Processing video files ...");
        ok = sealVideoFiles(rangeStart, rangeEnd, key, workDirectory, lists);
        if (!ok) {
            message("FAILED!");
        }
    }
    if (ok) {
        message("Processing audio files ...");
        ok = sealAudioFiles(rangeStart, rangeEnd, key, workDirectory, lists);
        if (!ok) {
            message("FAILED!");
        }
    }
    if (ok) {
        message("Creating transaction finalization file ...");
        EncryptionCompleteFile completion;
        completion.videoFilesToDelete = lists.videoFilesToDelete;
        completion.audioFilesToDelete = lists.audioFilesToDelete;
        completion.videoFilesToCopy = lists.videoFilesToCopy;
        completion.audioFilesToCopy = lists.audioFilesToCopy;
        completion.archivedFilesToDelete = lists.archivedFilesToDelete;
        for (const auto& sealed : lists.sealedVideoFiles) {
            completion.videoFilesToMove.push_back(moveEntryFor(*sealed));
        }
        for (const auto& sealed : lists.sealedAudioFiles) {
            completion.audioFilesToMove.push_back(moveEntryFor(*sealed));
        }
        std::string error;
        // The parts to copy back must survive a power loss before the commit names them.
        ok = syncPreparedFiles(lists, workDirectory) && completion.write(fileSystem_, scope, error);
        if (!ok) {
            message("FAILED!");
        }
    }
    bool committing = false;
    bool completing = false;
    EncryptionCompleteFile readBack;
    if (ok) {
        committing = true;
        message("Reading back transaction finalization file ...");
        std::string error;
        ok = readBack.read(fileSystem_, scope, error);
    }
    if (ok) {
        completing = true;
        message("Moving, copying, and deleting to complete sealing transaction ...");
        ok = completeSealing(readBack, nullptr, nullptr, MessageCallback());
    }
    if (ok) {
        message("Removing transaction finalization file ...");
        ok = fileSystem_.removeFile(scope.sealingCompletionFilePath());
    }
    if (ok) {
        message("Removing files that were copied out of working directory ...");
        ok = removeSealingCopySources(readBack);
    }
    if (ok) {
        message("Removing working directory ...");
        ok = fileSystem_.removeDirectory(workDirectory);
    }
    if (!ok && committing) {
        message("FAILED!");
    }
    if (!ok && !completing && createdWorkDirectory) {
        // Nothing in the archive was changed: what this run prepared can go.
        fileSystem_.removeRecursively(workDirectory);
    }
    return ok;
}

bool KorvalisSealingSession::prepareWorkDirectory(const std::string& workDirectory, bool& created) {
    created = false;
    if (fileSystem_.exists(workDirectory)) {
        // A work directory left by an interrupted run may hold a committed transaction that only
        // recovery may finish; a new run must not mix its files into it.
        std::vector<DirectoryEntry> entries;
        if (!fileSystem_.listDirectory(workDirectory, entries)) {
            return false;
        }
        if (!entries.empty()) {
            message("   The working directory holds an unfinished transaction; recover it first.");
            return false;
        }
        return true;
    }
    created = fileSystem_.createDirectory(workDirectory);
    return created;
}

CompletionEntry KorvalisSealingSession::moveEntryFor(const KorvalisEncryptedMediaFile& sealed) {
    return CompletionEntry{sealed.getEncryptedDirectory() + "/" + sealed.getEncryptedFileName(),
                           sealed.getOriginalFilePath() + "/" + sealed.getEncryptedFileName()};
}

bool KorvalisSealingSession::sealVideoFiles(double rangeStart, double rangeEnd,
                                            const KorvalisUserSealingKey& key,
                                            const std::string& workDirectory, SealingLists& lists) {
    std::vector<CompressedVideoFile*> files;
    if (videoDecoder_ != nullptr) {
        videoDecoder_->getAllFilesInTimeRange(rangeStart, rangeEnd, files, false);
    }
    std::erase_if(files, [](CompressedVideoFile* file) { return !file->isAvailable(); });
    const std::string splitting = "Splitting video files ...";
    progress(&splitting, -1, -1);
    const size_t first = lists.sealedVideoFiles.size();
    bool ok = true;
    for (CompressedVideoFile* file : files) {
        ok = processSplittingForOneVideoFile(*file, rangeStart, rangeEnd, workDirectory, lists,
                                             false, nullptr, nullptr) &&
             ok;
        if (!archiveLocation_.empty()) {
            lists.archivedFilesToDelete.push_back(
                TransactionScope::archivedCopyPath(archiveLocation_, file->getFileName()));
        }
    }
    if (ok) {
        const std::string sealing = "Sealing video files ...";
        progress(&sealing, -1, -1);
        ok = encryptSealedFiles(lists.sealedVideoFiles, first, key);
    }
    return ok;
}

bool KorvalisSealingSession::sealAudioFiles(double rangeStart, double rangeEnd,
                                            const KorvalisUserSealingKey& key,
                                            const std::string& workDirectory, SealingLists& lists) {
    if (audioDecoderGroup_ == nullptr) {
        return true;
    }
    const unsigned channels = audioDecoderGroup_->numberOfDecodersIs();
    for (unsigned channel = 0; channel < channels; ++channel) {
        message("Processing audio channel " + std::to_string(channel) + " ...");
        AudioDecoder* decoder = audioDecoderGroup_->decoderForChannel(channel);
        if (decoder == nullptr) {
            return false;
        }
        if (!sealAudioFilesOfChannel(*decoder, rangeStart, rangeEnd, key, workDirectory, lists)) {
            return false;
        }
    }
    return true;
}

bool KorvalisSealingSession::sealAudioFilesOfChannel(AudioDecoder& decoder, double rangeStart,
                                                     double rangeEnd,
                                                     const KorvalisUserSealingKey& key,
                                                     const std::string& workDirectory,
                                                     SealingLists& lists) {
    std::vector<CompressedAudioFile*> files;
    decoder.getAllFilesInTimeRange(rangeStart, rangeEnd, files, false);
    std::erase_if(files, [](CompressedAudioFile* file) { return !file->isAvailable(); });
    const std::string splitting = "Splitting audio files ...";
    progress(&splitting, -1, -1);
    const size_t first = lists.sealedAudioFiles.size();
    bool ok = true;
    for (CompressedAudioFile* file : files) {
        ok = processSplittingForOneAudioFile(*file, rangeStart, rangeEnd, workDirectory, lists,
                                             false, nullptr, nullptr) &&
             ok;
        if (!archiveLocation_.empty()) {
            lists.archivedFilesToDelete.push_back(
                TransactionScope::archivedCopyPath(archiveLocation_, file->fileName()));
        }
    }
    if (ok) {
        const std::string sealing = "Sealing audio files ...";
        progress(&sealing, -1, -1);
        ok = encryptSealedFiles(lists.sealedAudioFiles, first, key);
    }
    return ok;
}

bool KorvalisSealingSession::encryptSealedFiles(
    std::vector<std::unique_ptr<KorvalisEncryptedMediaFile>>& files, size_t first,
    const KorvalisUserSealingKey& key) {
    const KorvalisMasterSealingKey* masterKey = key.getMasterKey();
    const int total = static_cast<int>(files.size() - first);
    bool ok = true;
    for (size_t i = first; i < files.size(); ++i) {
        KorvalisEncryptedMediaFile& file = *files[i];
        message("   Sealing file : " + kQuote + file.getSourceFileName() + kQuote);
        const bool sealed = masterKey != nullptr && file.encrypt(masterKey->getKeyBytes(),
                                                                 masterKey->getKeyLength(), "", "");
        ok = sealed && ok;
        progress(nullptr, static_cast<int>(i - first + 1), total);
        if (!sealed) {
            message("   FAILED!");
        }
    }
    return ok;
}

bool KorvalisSealingSession::processSplittingForOneVideoFile(
    CompressedVideoFile& file, double rangeStart, double rangeEnd, const std::string& workDirectory,
    SealingLists& lists, bool copying, KovWriteCallback writer, void* writerContext) {
    const std::string& path = file.getFileName();
    message("   Processing any splits for file : " + kQuote + path + kQuote + " ...");
    const double start = file.getStartTime();
    const double end = file.getEndTime();
    std::unique_ptr<CompressedVideoFile> parts[3];
    CompressedVideoFile* inRange = nullptr;
    std::vector<CompressedVideoFile*> outside;
    bool ok = true;
    if (start >= rangeStart - kRangeToleranceSeconds && end <= rangeEnd + kRangeToleranceSeconds) {
        message("     - Entire file is in range, no split required.");
        inRange = &file;
    } else if (start >= rangeStart - kRangeToleranceSeconds) {
        message("     - First portion of file is in range, single split required.");
        ok = file.copyAndSplitAtEpochTime(rangeEnd, workDirectory, parts[0], parts[1],
                                          kSplitToleranceSeconds, writer, writerContext,
                                          copying ? CompressedVideoFile::kSplitFirstPartOnly
                                                  : CompressedVideoFile::kSplitAllParts);
        inRange = parts[0].get();
        outside = {parts[1].get()};
    } else if (end <= rangeEnd + kRangeToleranceSeconds) {
        message("     - Final portion of file is in range, single split required.");
        ok = file.copyAndSplitAtEpochTime(rangeStart, workDirectory, parts[0], parts[1],
                                          kSplitToleranceSeconds, writer, writerContext,
                                          copying ? CompressedVideoFile::kSplitLastPartOnly
                                                  : CompressedVideoFile::kSplitAllParts);
        inRange = parts[1].get();
        outside = {parts[0].get()};
    } else {
        message("     - Range is entirely within file, double split required.");
        ok = file.copyAndSplitAtEpochTime(rangeStart, rangeEnd, workDirectory, parts[0], parts[1],
                                          parts[2], kSplitToleranceSeconds, writer, writerContext,
                                          copying ? CompressedVideoFile::kSplitMiddlePartOnly
                                                  : CompressedVideoFile::kSplitAllParts);
        inRange = parts[1].get();
        outside = {parts[0].get(), parts[2].get()};
    }
    if (!ok) {
        message("   Splitting for file FAILED! " + kQuote + path + kQuote);
        return false;
    }
    SplitResult result;
    result.processedPath = path;
    if (inRange != nullptr) {
        result.inRangePath = inRange->getFileName();
        result.inRangeStart = inRange->getStartTime();
        result.inRangeEnd = inRange->getEndTime();
    }
    for (CompressedVideoFile* part : outside) {
        if (part != nullptr) {
            result.outsidePaths.push_back(part->getFileName());
        }
    }
    for (auto& part : parts) {
        if (part) {
            part->close();
        }
    }
    return recordSplit(result, workDirectory, true, lists);
}

bool KorvalisSealingSession::processSplittingForOneAudioFile(
    CompressedAudioFile& file, double rangeStart, double rangeEnd, const std::string& workDirectory,
    SealingLists& lists, bool copying, KovWriteCallback writer, void* writerContext) {
    const std::string& path = file.fileName();
    message("   Processing splits for file : " + kQuote + path + kQuote + " ...");
    const double start = file.getStartTime();
    const double end = file.getEndTime();
    std::unique_ptr<CompressedAudioFile> parts[3];
    CompressedAudioFile* inRange = nullptr;
    std::vector<CompressedAudioFile*> outside;
    bool ok = true;
    if (start >= rangeStart - kRangeToleranceSeconds && end <= rangeEnd + kRangeToleranceSeconds) {
        message("     - Entire file is in range, no split required.");
        inRange = &file;
    } else if (start >= rangeStart - kRangeToleranceSeconds) {
        message("     - First portion of file is in range, single split required.");
        ok = file.copyAndSplitAtEpochTime(rangeEnd, workDirectory, parts[0], parts[1],
                                          kSplitToleranceSeconds, writer, writerContext,
                                          copying ? 1 : 0);
        inRange = parts[0].get();
        outside = {parts[1].get()};
    } else if (end <= rangeEnd + kRangeToleranceSeconds) {
        message("     - Final portion of file is in range, single split required.");
        ok = file.copyAndSplitAtEpochTime(rangeStart, workDirectory, parts[0], parts[1],
                                          kSplitToleranceSeconds, writer, writerContext,
                                          copying ? 3 : 0);
        inRange = parts[1].get();
        outside = {parts[0].get()};
    } else {
        message("     - Range is entirely within file, double split required.");
        ok = file.copyAndSplitAtEpochTime(rangeStart, rangeEnd, workDirectory, parts[0], parts[1],
                                          parts[2], kSplitToleranceSeconds, writer, writerContext,
                                          copying ? 2 : 0);
        inRange = parts[1].get();
        outside = {parts[0].get(), parts[2].get()};
    }
    if (!ok) {
        message("FAILED! " + file.getErrorText());
        return false;
    }
    SplitResult result;
    result.processedPath = path;
    if (inRange != nullptr) {
        result.inRangePath = inRange->fileName();
        result.inRangeStart = inRange->getStartTime();
        result.inRangeEnd = inRange->getEndTime();
    }
    for (CompressedAudioFile* part : outside) {
        if (part != nullptr) {
            result.outsidePaths.push_back(part->fileName());
        }
    }
    for (auto& part : parts) {
        if (part) {
            part->close();
        }
    }
    return recordSplit(result, workDirectory, false, lists);
}

bool KorvalisSealingSession::recordSplit(const SplitResult& result,
                                         const std::string& workDirectory, bool video,
                                         SealingLists& lists) {
    const std::string archiveDirectory = directoryOf(result.processedPath);
    auto& toCopy = video ? lists.videoFilesToCopy : lists.audioFilesToCopy;
    auto& toDelete = video ? lists.videoFilesToDelete : lists.audioFilesToDelete;
    if (result.inRangePath.empty()) {
        // The cut left nothing inside the range: the file stays as it is.
        bool ok = true;
        for (const std::string& part : result.outsidePaths) {
            ok = fileSystem_.removeFile(part) && ok;
        }
        return ok;
    }
    auto sealed = std::make_unique<KorvalisEncryptedMediaFile>();
    const std::string inRangeName = fileNameOf(result.inRangePath);
    sealed->setEncryptedLocation(workDirectory,
                                 KorvalisSession::baseNameOfPath(result.inRangePath) + "." +
                                     (video ? KorvalisEncryptedMediaFile::kSealedVideoExtension
                                            : KorvalisEncryptedMediaFile::kSealedAudioExtension));
    sealed->setSourceLocation(directoryOf(result.inRangePath), inRangeName);
    sealed->setOriginalLocation(archiveDirectory, inRangeName);
    sealed->setStartTime(result.inRangeStart);
    sealed->setEndTime(result.inRangeEnd);
    (video ? lists.sealedVideoFiles : lists.sealedAudioFiles).push_back(std::move(sealed));
    for (const std::string& part : result.outsidePaths) {
        toCopy.push_back(CompletionEntry{part, archiveDirectory + "/" + fileNameOf(part)});
    }
    toDelete.push_back(result.processedPath);
    if (result.inRangePath != result.processedPath) {
        toDelete.push_back(result.inRangePath);
    }
    return true;
}

bool KorvalisSealingSession::syncPreparedFiles(const SealingLists& lists,
                                               const std::string& workDirectory) {
    bool ok = true;
    for (const auto* copies : {&lists.videoFilesToCopy, &lists.audioFilesToCopy}) {
        for (const CompletionEntry& entry : *copies) {
            ok = ok && fileSystem_.syncFile(entry.source);
        }
    }
    return ok && fileSystem_.syncDirectory(workDirectory);
}

// ---------------------------------------------------------------------------------------------
// Unsealing

bool KorvalisSealingSession::unseal(double rangeStart, double rangeEnd,
                                    const KorvalisUserSealingKey& key,
                                    const std::string& archiveLocation) {
    std::lock_guard lock(mutex_);
    archiveLocation_ = archiveLocation;
    message("Starting unsealing process ...");
    const KorvalisMasterSealingKey* masterKey = key.getMasterKey();
    if (session_ == nullptr || masterKey == nullptr || !masterKey->isValid() ||
        !(rangeStart <= rangeEnd)) {
        message("FAILED!");
        return false;
    }
    const TransactionScope scope(session_->recordingsPath(), archiveLocation);
    const std::string workDirectory = scope.workDirectory();
    // Sealing cuts at frame boundaries and takes whole a file reaching up to the tolerance beyond
    // the range, so the sealed pieces of a range may begin or end that much outside it: unsealing
    // the same times must find them.
    const double selectFrom = rangeStart - kRangeToleranceSeconds;
    const double selectTo = rangeEnd + kRangeToleranceSeconds;
    message("Creating working directory ...");
    bool createdWorkDirectory = false;
    bool ok = prepareWorkDirectory(workDirectory, createdWorkDirectory);
    if (!ok) {
        message("FAILED!");
    }
    DecryptionCompleteFile completion;
    if (ok) {
        message("Processing video files ...");
        std::vector<std::string> sealedPaths;
        if (videoDecoder_ != nullptr) {
            std::vector<CompressedVideoFile*> files;
            const std::string selecting = "Selecting video files to unseal ...";
            progress(&selecting, -1, -1);
            videoDecoder_->getAllFilesInTimeRange(selectFrom, selectTo, files, true);
            for (CompressedVideoFile* file : files) {
                if (KorvalisSession::extensionOfPath(file->getFileName()) ==
                    KorvalisEncryptedMediaFile::kSealedVideoExtension) {
                    sealedPaths.push_back(file->getFileName());
                }
            }
        }
        ok = unsealFiles(sealedPaths, "Unsealing video files ...", key, workDirectory,
                         completion.encryptedFilesToDelete, completion.videoFilesToMove);
        if (!ok) {
            message("FAILED!");
        }
    }
    if (ok) {
        message("Processing audio files ...");
        const unsigned channels =
            audioDecoderGroup_ != nullptr ? audioDecoderGroup_->numberOfDecodersIs() : 0;
        for (unsigned channel = 0; ok && channel < channels; ++channel) {
            message("Processing audio channel " + std::to_string(channel) + " ...");
            AudioDecoder* decoder = audioDecoderGroup_->decoderForChannel(channel);
            if (decoder == nullptr) {
                ok = false;
                break;
            }
            const std::string selecting = "Selecting audio files to unseal ...";
            progress(&selecting, -1, -1);
            std::vector<CompressedAudioFile*> files;
            decoder->getAllFilesInTimeRange(selectFrom, selectTo, files, true);
            std::vector<std::string> sealedPaths;
            for (CompressedAudioFile* file : files) {
                if (KorvalisSession::extensionOfPath(file->fileName()) ==
                    KorvalisEncryptedMediaFile::kSealedAudioExtension) {
                    sealedPaths.push_back(file->fileName());
                }
            }
            ok = unsealFiles(sealedPaths, "Unsealing audio files ...", key, workDirectory,
                             completion.encryptedFilesToDelete, completion.audioFilesToMove);
        }
        if (!ok) {
            message("FAILED!");
        }
    }
    if (ok) {
        message("Creating transaction finalization file ...");
        std::string error;
        ok =
            fileSystem_.syncDirectory(workDirectory) && completion.write(fileSystem_, scope, error);
        if (!ok) {
            message("FAILED!");
        }
    }
    bool committing = false;
    bool completing = false;
    DecryptionCompleteFile readBack;
    if (ok) {
        committing = true;
        message("Reading back transaction finalization file ...");
        std::string error;
        ok = readBack.read(fileSystem_, scope, error);
    }
    if (ok) {
        completing = true;
        message("Moving, copying, and deleting to complete unsealing transaction ...");
        ok = completeUnsealing(readBack, MessageCallback());
    }
    if (ok) {
        message("Removing transaction finalization file ...");
        ok = fileSystem_.removeFile(scope.unsealingCompletionFilePath());
    }
    if (ok) {
        message("Removing working directory ...");
        ok = fileSystem_.removeDirectory(workDirectory);
    }
    if (!ok && committing) {
        message("FAILED!");
    }
    if (!ok && !completing && createdWorkDirectory) {
        fileSystem_.removeRecursively(workDirectory);
    }
    return ok;
}

bool KorvalisSealingSession::copy(double rangeStart, double rangeEnd, const std::string& targetRoot,
                                  KovWriteCallback writer, void* writerContext) {
    SessionRangeCopier::Date date;
    if (session_ == nullptr || !SessionRangeCopier::dateOfSession(*session_, date)) {
        message("   The session's day cannot be told from its files; nothing was copied.");
        return false;
    }
    // The copier takes the run mutex itself for the whole copy.
    SessionRangeCopier copier(fileSystem_, audioDecoderGroup_, videoDecoder_, date, &mutex_);
    copier.setMessageCallback([this](const std::string& text) { message(text); });
    copier.setProgressCallback([this](const char* text, int current, int total) {
        if (text == nullptr) {
            progress(nullptr, current, total);
            return;
        }
        const std::string shown(text);
        progress(&shown, current, total);
    });
    return copier.copy(rangeStart, rangeEnd, targetRoot, writer, writerContext);
}

bool KorvalisSealingSession::unsealFiles(const std::vector<std::string>& sealedPaths,
                                         const char* unsealingText,
                                         const KorvalisUserSealingKey& key,
                                         const std::string& workDirectory,
                                         std::vector<std::string>& encryptedToDelete,
                                         std::vector<CompletionEntry>& moves) {
    const KorvalisMasterSealingKey* masterKey = key.getMasterKey();
    const std::string unsealing = unsealingText;
    progress(&unsealing, -1, -1);
    const int total = static_cast<int>(sealedPaths.size());
    for (int i = 0; i < total; ++i) {
        const std::string& path = sealedPaths[static_cast<size_t>(i)];
        const std::string directory = directoryOf(path);
        const std::string name = fileNameOf(path);
        message("   Unsealing file : " + kQuote + name + kQuote);
        bool opened = false;
        KorvalisEncryptedMediaFile sealed(directory, name, opened);
        // A clear file must never replace anything in the work directory.
        sealed.setReplaceExisting(false);
        const bool decrypted =
            opened && masterKey != nullptr &&
            sealed.decrypt(masterKey->getKeyBytes(), masterKey->getKeyLength(), workDirectory, "");
        progress(nullptr, i + 1, total);
        if (!decrypted) {
            message("   FAILED! " + sealed.getErrorText());
            return false;
        }
        const std::string originalName = sealed.getOriginalFileName();
        moves.push_back(
            CompletionEntry{workDirectory + "/" + originalName, directory + "/" + originalName});
        encryptedToDelete.push_back(path);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Completion

bool KorvalisSealingSession::isKnownAbsent(const std::string& path) {
    if (fileSystem_.exists(path)) {
        return false;
    }
    // exists() also answers false when it cannot tell; an ancestor that answers makes it sure.
    for (std::string directory = directoryOf(path); !directory.empty();
         directory = directoryOf(directory)) {
        if (fileSystem_.isDirectory(directory)) {
            return true;
        }
    }
    return false;
}

bool KorvalisSealingSession::deleteEntry(const std::string& path, const std::string& messagePrefix,
                                         const MessageCallback& messages) {
    if (messages) {
        messages(messagePrefix + path);
    }
    if (fileSystem_.removeFile(path)) {
        return true;
    }
    // Deleted by an earlier, interrupted run.
    return isKnownAbsent(path);
}

bool KorvalisSealingSession::moveEntry(const CompletionEntry& entry,
                                       const MessageCallback& messages) {
    if (messages) {
        messages("      Moving " + entry.source + " to " + entry.destination);
    }
    if (fileSystem_.moveWithoutReplacing(entry.source, entry.destination)) {
        return true;
    }
    // Moved by an earlier, interrupted run: the source is gone and the destination is there. A
    // destination that exists while the source does too is a conflict and stays a failure.
    return isKnownAbsent(entry.source) && fileSystem_.exists(entry.destination);
}

bool KorvalisSealingSession::copyEntry(const CompletionEntry& entry, KovWriteCallback writer,
                                       void* writerContext, const MessageCallback& messages) {
    if (messages) {
        messages("      Copying " + entry.source + " to " + entry.destination);
    }
    return copyFile(entry, writer, writerContext);
}

bool KorvalisSealingSession::copyFile(const CompletionEntry& entry, KovWriteCallback writer,
                                      void* writerContext) {
    if (entry.source == entry.destination) {
        return true;
    }
    if (writer == nullptr) {
        if (fileSystem_.copyFile(entry.source, entry.destination)) {
            return true;
        }
        // Copied by an earlier, interrupted run: the destination holds the source's bytes.
        return fileSystem_.alreadyExists() && sameContents(entry.source, entry.destination);
    }
    bool written = true;
    const bool read =
        fileSystem_.readFileInPieces(entry.source, kCopyChunkBytes, [&](std::string_view piece) {
            written = writer(writerContext, 0.0, reinterpret_cast<const uint8_t*>(piece.data()),
                             static_cast<uint32_t>(piece.size()), &entry.destination, false) &&
                      written;
            return true;
        });
    written = writer(writerContext, 0.0, nullptr, 0, &entry.destination, true) && written;
    return read && written;
}

bool KorvalisSealingSession::sameContents(const std::string& first, const std::string& second) {
    uint64_t firstSize = 0;
    uint64_t secondSize = 0;
    if (!fileSystem_.fileSize(first, firstSize) || !fileSystem_.fileSize(second, secondSize) ||
        firstSize != secondSize) {
        return false;
    }
    std::array<CryptoPP::byte, CryptoPP::SHA256::DIGESTSIZE> digests[2];
    const std::string* paths[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        CryptoPP::SHA256 hash;
        if (!fileSystem_.readFileInPieces(*paths[i], kCopyChunkBytes, [&](std::string_view piece) {
                hash.Update(reinterpret_cast<const CryptoPP::byte*>(piece.data()), piece.size());
                return true;
            })) {
            return false;
        }
        hash.Final(digests[i].data());
    }
    return digests[0] == digests[1];
}

bool KorvalisSealingSession::completeSealing(const EncryptionCompleteFile& completion,
                                             KovWriteCallback writer, void* writerContext,
                                             const MessageCallback& messages) {
    bool ok = true;
    for (const auto* deletes : {&completion.videoFilesToDelete, &completion.audioFilesToDelete}) {
        for (const std::string& path : *deletes) {
            ok = deleteEntry(path, "      Deleting ", messages) && ok;
        }
    }
    for (const auto* copies : {&completion.videoFilesToCopy, &completion.audioFilesToCopy}) {
        for (const CompletionEntry& entry : *copies) {
            ok = copyEntry(entry, writer, writerContext, messages) && ok;
        }
    }
    for (const auto* moves : {&completion.videoFilesToMove, &completion.audioFilesToMove}) {
        for (const CompletionEntry& entry : *moves) {
            ok = moveEntry(entry, messages) && ok;
        }
    }
    for (const std::string& path : completion.archivedFilesToDelete) {
        ok = deleteEntry(path, "      Cleaning up unsealed archive file: ", messages) && ok;
    }
    return ok;
}

bool KorvalisSealingSession::completeUnsealing(const DecryptionCompleteFile& completion,
                                               const MessageCallback& messages) {
    bool ok = true;
    for (const auto* moves : {&completion.videoFilesToMove, &completion.audioFilesToMove}) {
        for (const CompletionEntry& entry : *moves) {
            ok = moveEntry(entry, messages) && ok;
        }
    }
    for (const std::string& path : completion.encryptedFilesToDelete) {
        ok = deleteEntry(path, "      Deleting ", messages) && ok;
    }
    for (const std::string& path : completion.archivedFilesToDelete) {
        ok = deleteEntry(path, "      Deleting sealed media from archive ", messages) && ok;
    }
    return ok;
}

bool KorvalisSealingSession::removeSealingCopySources(const EncryptionCompleteFile& completion) {
    bool ok = true;
    for (const auto* copies : {&completion.videoFilesToCopy, &completion.audioFilesToCopy}) {
        for (const CompletionEntry& entry : *copies) {
            ok = (fileSystem_.removeFile(entry.source) || isKnownAbsent(entry.source)) && ok;
        }
    }
    return ok;
}

// ---------------------------------------------------------------------------------------------
// Recovery

bool KorvalisSealingSession::recoverSealing(const std::string& recordingsPath,
                                            const MessageCallback& messages) {
    auto say = [&](const std::string& text) {
        if (messages) {
            messages(text);
        }
    };
    const TransactionScope scope(recordingsPath);
    say("   Reading back transaction finalization file ...");
    EncryptionCompleteFile completion;
    std::string error;
    if (!completion.read(fileSystem_, scope, error)) {
        say("FAILED! Should not happen since this file was just checked.");
        return false;
    }
    say("   Moving, copying, and deleting to complete sealing transaction ...");
    bool ok = completeSealing(completion, nullptr, nullptr, messages);
    if (ok) {
        say("   Removing transaction finalization file ...");
        ok = fileSystem_.removeFile(scope.sealingCompletionFilePath());
    }
    if (ok) {
        say("   Removing files that were copied out of working directory ...");
        ok = removeSealingCopySources(completion);
    }
    if (ok) {
        say("   Removing working directory ...");
        ok = fileSystem_.removeDirectory(scope.workDirectory());
    }
    if (!ok) {
        say("FAILED!");
    }
    return ok;
}

bool KorvalisSealingSession::recoverUnsealing(const std::string& recordingsPath,
                                              const MessageCallback& messages) {
    auto say = [&](const std::string& text) {
        if (messages) {
            messages(text);
        }
    };
    const TransactionScope scope(recordingsPath);
    say("   Reading back transaction finalization file ...");
    DecryptionCompleteFile completion;
    std::string error;
    if (!completion.read(fileSystem_, scope, error)) {
        say("FAILED! Should not happen since this file was just checked.");
        return false;
    }
    say("   Moving, copying, and deleting to complete unsealing transaction ...");
    bool ok = completeUnsealing(completion, messages);
    if (ok) {
        say("   Removing transaction finalization file ...");
        ok = fileSystem_.removeFile(scope.unsealingCompletionFilePath());
    }
    if (ok) {
        say("   Removing working directory ...");
        ok = fileSystem_.removeDirectory(scope.workDirectory());
    }
    if (!ok) {
        say("FAILED!");
    }
    return ok;
}

bool KorvalisSealingSession::deleteDirectoryRecursively(const std::string& directory) {
    return fileSystem_.removeRecursively(directory);
}

bool KorvalisSealingSession::testWorkDirectory(const std::string& recordingsPath,
                                               bool& workDirectoryExists,
                                               bool& sealingCompletionFileExists,
                                               bool& unsealingCompletionFileExists) {
    const TransactionScope scope(recordingsPath);
    workDirectoryExists = fileSystem_.isDirectory(scope.workDirectory());
    sealingCompletionFileExists =
        workDirectoryExists && fileSystem_.exists(scope.sealingCompletionFilePath());
    unsealingCompletionFileExists =
        workDirectoryExists && fileSystem_.exists(scope.unsealingCompletionFilePath());
    return true;
}
