#include "EncryptionCompleteFile.h"

#include <tinyxml.h>

#include "CompletionFileXml.h"
#include "TransactionScope.h"
#include "XmlTextParser.h"

namespace {

constexpr const char* kRoot = "EncryptionComplete";
constexpr const char* kVideoFilesToDelete = "VideoFilesToDelete";
constexpr const char* kVideoFilesToMove = "VideoFilesToMove";
constexpr const char* kVideoFilesToCopy = "VideoFilesToCopy";
constexpr const char* kAudioFilesToDelete = "AudioFilesToDelete";
constexpr const char* kAudioFilesToMove = "AudioFilesToMove";
constexpr const char* kAudioFilesToCopy = "AudioFilesToCopy";
constexpr const char* kArchivedFilesToDelete = "ArchivedFilesToDelete";

bool checkDeletes(const std::vector<std::string>& paths, const TransactionScope& scope,
                  std::string& error) {
    for (const std::string& path : paths) {
        if (!scope.isDeletableMediaPath(path, error)) {
            return false;
        }
    }
    return true;
}

// Moves and copies bring files from the work directory into the archive.
bool checkEntries(const std::vector<CompletionEntry>& entries, const TransactionScope& scope,
                  std::string& error) {
    for (const CompletionEntry& entry : entries) {
        if (!scope.isWorkFilePath(entry.source, error) ||
            !scope.isArchiveDestinationPath(entry.destination, error)) {
            return false;
        }
    }
    return true;
}

bool checkArchived(const std::vector<std::string>& paths, const TransactionScope& scope,
                   std::string& error) {
    for (const std::string& path : paths) {
        if (!scope.isArchivedCopyPath(path, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string EncryptionCompleteFile::toXml() const {
    TiXmlElement root(kRoot);
    CompletionFileXml::appendPathList(root, kVideoFilesToDelete, videoFilesToDelete);
    CompletionFileXml::appendEntryList(root, kVideoFilesToMove, videoFilesToMove);
    CompletionFileXml::appendEntryList(root, kVideoFilesToCopy, videoFilesToCopy);
    CompletionFileXml::appendPathList(root, kAudioFilesToDelete, audioFilesToDelete);
    CompletionFileXml::appendEntryList(root, kAudioFilesToMove, audioFilesToMove);
    CompletionFileXml::appendEntryList(root, kAudioFilesToCopy, audioFilesToCopy);
    CompletionFileXml::appendPathList(root, kArchivedFilesToDelete, archivedFilesToDelete);
    return CompletionFileXml::print(root);
}

bool EncryptionCompleteFile::parse(std::string_view text, const TransactionScope& scope,
                                   std::string& error) {
    *this = EncryptionCompleteFile();
    TiXmlDocument document;
    std::string parseError;
    if (!XmlTextParser::parse(text, document, &parseError)) {
        error = "The sealing transaction completion file is not readable XML: " + parseError;
        return false;
    }
    const TiXmlElement* root = document.RootElement();
    if (root == nullptr || root->ValueStr() != kRoot) {
        error = std::string("The sealing transaction completion file has no \"") + kRoot +
                "\" root element";
        return false;
    }
    EncryptionCompleteFile lists;
    const bool complete =
        CompletionFileXml::readPathList(*root, kVideoFilesToDelete, lists.videoFilesToDelete) &&
        CompletionFileXml::readEntryList(*root, kVideoFilesToMove, lists.videoFilesToMove) &&
        CompletionFileXml::readEntryList(*root, kVideoFilesToCopy, lists.videoFilesToCopy) &&
        CompletionFileXml::readPathList(*root, kAudioFilesToDelete, lists.audioFilesToDelete) &&
        CompletionFileXml::readEntryList(*root, kAudioFilesToMove, lists.audioFilesToMove) &&
        CompletionFileXml::readEntryList(*root, kAudioFilesToCopy, lists.audioFilesToCopy) &&
        CompletionFileXml::readPathList(*root, kArchivedFilesToDelete, lists.archivedFilesToDelete);
    if (!complete) {
        error = "The sealing transaction completion file lacks one of its seven lists";
        return false;
    }
    std::string pathError;
    if (!checkDeletes(lists.videoFilesToDelete, scope, pathError) ||
        !checkEntries(lists.videoFilesToMove, scope, pathError) ||
        !checkEntries(lists.videoFilesToCopy, scope, pathError) ||
        !checkDeletes(lists.audioFilesToDelete, scope, pathError) ||
        !checkEntries(lists.audioFilesToMove, scope, pathError) ||
        !checkEntries(lists.audioFilesToCopy, scope, pathError) ||
        !checkArchived(lists.archivedFilesToDelete, scope, pathError)) {
        error =
            "The sealing transaction completion file names a file it may not touch: " + pathError;
        return false;
    }
    *this = std::move(lists);
    return true;
}

bool EncryptionCompleteFile::write(FileSystem& fileSystem, const TransactionScope& scope,
                                   std::string& error) const {
    const std::string text = toXml();
    EncryptionCompleteFile readBack;
    if (!readBack.parse(text, scope, error)) {
        return false;
    }
    if (readBack != *this) {
        error =
            "A path of the sealing transaction cannot be recorded faithfully (an empty path, "
            "or characters XML cannot hold)";
        return false;
    }
    return CompletionFileXml::write(fileSystem, scope.sealingCompletionFilePath(), text, error);
}

bool EncryptionCompleteFile::read(FileSystem& fileSystem, const TransactionScope& scope,
                                  std::string& error) {
    *this = EncryptionCompleteFile();
    std::string text;
    return CompletionFileXml::read(fileSystem, scope.sealingCompletionFilePath(), text, error) &&
           parse(text, scope, error);
}
