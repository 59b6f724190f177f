#include "DecryptionCompleteFile.h"

#include <tinyxml.h>

#include "CompletionFileXml.h"
#include "TransactionScope.h"
#include "XmlTextParser.h"

namespace {

constexpr const char* kRoot = "DecryptionComplete";
constexpr const char* kEncryptedFilesToDelete = "EncryptedFilesToDelete";
constexpr const char* kVideoFilesToMove = "VideoFilesToMove";
constexpr const char* kAudioFilesToMove = "AudioFilesToMove";
constexpr const char* kArchivedFilesToDelete = "ArchivedFilesToDelete";

bool checkPaths(const DecryptionCompleteFile& lists, const TransactionScope& scope,
                std::string& error) {
    for (const std::string& path : lists.encryptedFilesToDelete) {
        if (!scope.isDeletableMediaPath(path, error)) {
            return false;
        }
    }
    for (const auto* moves : {&lists.videoFilesToMove, &lists.audioFilesToMove}) {
        for (const CompletionEntry& entry : *moves) {
            if (!scope.isWorkFilePath(entry.source, error) ||
                !scope.isArchiveDestinationPath(entry.destination, error)) {
                return false;
            }
        }
    }
    for (const std::string& path : lists.archivedFilesToDelete) {
        if (!scope.isArchivedCopyPath(path, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string DecryptionCompleteFile::toXml() const {
    TiXmlElement root(kRoot);
    CompletionFileXml::appendPathList(root, kEncryptedFilesToDelete, encryptedFilesToDelete);
    CompletionFileXml::appendEntryList(root, kVideoFilesToMove, videoFilesToMove);
    CompletionFileXml::appendEntryList(root, kAudioFilesToMove, audioFilesToMove);
    CompletionFileXml::appendPathList(root, kArchivedFilesToDelete, archivedFilesToDelete);
    return CompletionFileXml::print(root);
}

bool DecryptionCompleteFile::parse(std::string_view text, const TransactionScope& scope,
                                   std::string& error) {
    *this = DecryptionCompleteFile();
    TiXmlDocument document;
    std::string parseError;
    if (!XmlTextParser::parse(text, document, &parseError)) {
        error = "The unsealing transaction completion file is not readable XML: " + parseError;
        return false;
    }
    const TiXmlElement* root = document.RootElement();
    if (root == nullptr || root->ValueStr() != kRoot) {
        error = std::string("The unsealing transaction completion file has no \"") + kRoot +
                "\" root element";
        return false;
    }
    DecryptionCompleteFile lists;
    const bool complete =
        CompletionFileXml::readPathList(*root, kEncryptedFilesToDelete,
                                        lists.encryptedFilesToDelete) &&
        CompletionFileXml::readEntryList(*root, kVideoFilesToMove, lists.videoFilesToMove) &&
        CompletionFileXml::readEntryList(*root, kAudioFilesToMove, lists.audioFilesToMove) &&
        CompletionFileXml::readPathList(*root, kArchivedFilesToDelete, lists.archivedFilesToDelete);
    if (!complete) {
        error = "The unsealing transaction completion file lacks one of its four lists";
        return false;
    }
    std::string pathError;
    if (!checkPaths(lists, scope, pathError)) {
        error =
            "The unsealing transaction completion file names a file it may not touch: " + pathError;
        return false;
    }
    *this = std::move(lists);
    return true;
}

bool DecryptionCompleteFile::write(FileSystem& fileSystem, const TransactionScope& scope,
                                   std::string& error) const {
    const std::string text = toXml();
    DecryptionCompleteFile readBack;
    if (!readBack.parse(text, scope, error)) {
        return false;
    }
    if (readBack != *this) {
        error =
            "A path of the unsealing transaction cannot be recorded faithfully (an empty "
            "path, or characters XML cannot hold)";
        return false;
    }
    return CompletionFileXml::write(fileSystem, scope.unsealingCompletionFilePath(), text, error);
}

bool DecryptionCompleteFile::read(FileSystem& fileSystem, const TransactionScope& scope,
                                  std::string& error) {
    *this = DecryptionCompleteFile();
    std::string text;
    return CompletionFileXml::read(fileSystem, scope.unsealingCompletionFilePath(), text, error) &&
           parse(text, scope, error);
}
