#include "FaultInjectingFileSystem.h"

FaultInjectingFileSystem::FaultInjectingFileSystem(FileSystem& target) : target_(target) {}

void FaultInjectingFileSystem::failAt(uint64_t operation) {
    std::lock_guard lock(mutex_);
    fault_ = Fault::kFail;
    faultAt_ = operation;
}

void FaultInjectingFileSystem::crashAt(uint64_t operation) {
    std::lock_guard lock(mutex_);
    fault_ = Fault::kCrash;
    faultAt_ = operation;
}

void FaultInjectingFileSystem::clearFault() {
    std::lock_guard lock(mutex_);
    fault_ = Fault::kNone;
    faultAt_ = 0;
    crashed_ = false;
}

uint64_t FaultInjectingFileSystem::operationCount() const {
    std::lock_guard lock(mutex_);
    return count_;
}

bool FaultInjectingFileSystem::hasCrashed() const {
    std::lock_guard lock(mutex_);
    return crashed_;
}

uint64_t FaultInjectingFileSystem::failedOperationCount() const {
    std::lock_guard lock(mutex_);
    return failed_;
}

std::vector<std::string> FaultInjectingFileSystem::operations() const {
    std::lock_guard lock(mutex_);
    return operations_;
}

std::string FaultInjectingFileSystem::firstFailedOperation() const {
    std::lock_guard lock(mutex_);
    return firstFailed_;
}

bool FaultInjectingFileSystem::admit(const char* operation, const std::string& path) {
    std::lock_guard lock(mutex_);
    ++count_;
    const std::string description = std::string(operation) + " " + path;
    operations_.push_back(description);
    bool refused = crashed_;
    if (!refused && fault_ != Fault::kNone && count_ == faultAt_) {
        refused = true;
        crashed_ = fault_ == Fault::kCrash;
    }
    if (!refused) {
        lastFailureInjected_ = false;
        return true;
    }
    ++failed_;
    lastFailureInjected_ = true;
    injectedError_ = (crashed_ ? "Stopped before operation " : "Injected failure of operation ") +
                     std::to_string(count_) + ": " + description;
    if (firstFailed_.empty()) {
        firstFailed_ = description;
    }
    return false;
}

std::string FaultInjectingFileSystem::error() const {
    {
        std::lock_guard lock(mutex_);
        if (lastFailureInjected_) {
            return injectedError_;
        }
    }
    return target_.error();
}

bool FaultInjectingFileSystem::alreadyExists() const {
    {
        std::lock_guard lock(mutex_);
        if (lastFailureInjected_) {
            return false;
        }
    }
    return target_.alreadyExists();
}

bool FaultInjectingFileSystem::exists(const std::string& path) {
    return admit("exists", path) && target_.exists(path);
}

bool FaultInjectingFileSystem::isDirectory(const std::string& path) {
    return admit("isDirectory", path) && target_.isDirectory(path);
}

bool FaultInjectingFileSystem::createDirectory(const std::string& path) {
    return admit("createDirectory", path) && target_.createDirectory(path);
}

bool FaultInjectingFileSystem::removeFile(const std::string& path) {
    return admit("removeFile", path) && target_.removeFile(path);
}

bool FaultInjectingFileSystem::removeDirectory(const std::string& path) {
    return admit("removeDirectory", path) && target_.removeDirectory(path);
}

bool FaultInjectingFileSystem::removeRecursively(const std::string& path) {
    return admit("removeRecursively", path) && target_.removeRecursively(path);
}

bool FaultInjectingFileSystem::moveWithoutReplacing(const std::string& from,
                                                    const std::string& to) {
    return admit("moveWithoutReplacing", from + " -> " + to) &&
           target_.moveWithoutReplacing(from, to);
}

bool FaultInjectingFileSystem::copyFile(const std::string& from, const std::string& to) {
    return admit("copyFile", from + " -> " + to) && target_.copyFile(from, to);
}

bool FaultInjectingFileSystem::readFileInPieces(
    const std::string& path, size_t pieceBytes,
    const std::function<bool(std::string_view piece)>& consume) {
    return admit("readFileInPieces", path) && target_.readFileInPieces(path, pieceBytes, consume);
}

bool FaultInjectingFileSystem::readWholeFile(const std::string& path, std::string& bytes,
                                             uint64_t maximumBytes) {
    return admit("readWholeFile", path) && target_.readWholeFile(path, bytes, maximumBytes);
}

bool FaultInjectingFileSystem::writeFileDurably(const std::string& path, std::string_view bytes) {
    return admit("writeFileDurably", path) && target_.writeFileDurably(path, bytes);
}

bool FaultInjectingFileSystem::syncFile(const std::string& path) {
    return admit("syncFile", path) && target_.syncFile(path);
}

bool FaultInjectingFileSystem::syncDirectory(const std::string& path) {
    return admit("syncDirectory", path) && target_.syncDirectory(path);
}

bool FaultInjectingFileSystem::listDirectory(const std::string& path,
                                             std::vector<DirectoryEntry>& entries) {
    return admit("listDirectory", path) && target_.listDirectory(path, entries);
}

bool FaultInjectingFileSystem::fileSize(const std::string& path, uint64_t& bytes) {
    return admit("fileSize", path) && target_.fileSize(path, bytes);
}
