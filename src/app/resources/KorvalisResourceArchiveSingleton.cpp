#include "KorvalisResourceArchiveSingleton.h"

namespace {

// The program's own file; kept for the whole run.
const std::string& ownProgramFile() {
    static const std::string path = "/proc/self/exe";
    return path;
}

std::string& archiveFile() {
    static std::string path = ownProgramFile();
    return path;
}

}  // namespace

KorvalisResourceArchiveSingleton::KorvalisResourceArchiveSingleton() = default;

KorvalisResourceArchiveSingleton::~KorvalisResourceArchiveSingleton() = default;

KorvalisResourceArchiveSingleton& KorvalisResourceArchiveSingleton::getInstance() {
    static KorvalisResourceArchiveSingleton* instance = [] {
        auto* archive = new KorvalisResourceArchiveSingleton();
        archive->open(archiveFile());
        return archive;
    }();
    return *instance;
}

bool KorvalisResourceArchiveSingleton::useArchiveFile(const std::string& path) {
    archiveFile() = path;
    return getInstance().open(path);
}

std::string KorvalisResourceArchiveSingleton::programFilePath() {
    return archiveFile();
}
