// korvalis sealed: shows, seals, restores and verifies sealed media files.

#include <cstdio>
#include <filesystem>

#include "AvDebugLogger.h"
#include "CommandLine.h"
#include "KorvalisCommand.h"
#include "KorvalisEncryptedMediaFile.h"
#include "SealedFormatText.h"
#include "SealingKeyLoader.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "Usage: korvalis sealed info FILE\n"
    "       korvalis sealed seal FILE --key USERKEY.xml --start T --end T --out DIR\n"
    "                            [--passphrase-file FILE]\n"
    "       korvalis sealed unseal FILE --key USERKEY.xml --out DIR [--passphrase-file FILE]\n"
    "       korvalis sealed verify FILE --key USERKEY.xml [--passphrase-file FILE]\n\n"
    "info    prints a sealed file's trailer as key: value lines.\n"
    "seal    seals one media file into DIR (\".mp3\" becomes \".sealedAudio\", \".kov\"\n"
    "        \".sealedVideo\") covering the span T..T (epoch seconds, or hexadecimal with 0x),\n"
    "        recording FILE's directory and name as its origin; prints the sealed file's path.\n"
    "unseal  restores the original file into DIR and prints its path; exit status 1 when a\n"
    "        digest does not match (nothing is then written).\n"
    "verify  decrypts without writing anything and checks both digests.\n\n"
    "The passphrase of USERKEY.xml is asked on the terminal without echo, or read from the first\n"
    "line of --passphrase-file. Existing files are never overwritten, not even by a file that\n"
    "appears while the command runs. Written files are flushed to disk before the command\n"
    "reports them, with permissions the umask allows (never execute bits); unfinished files\n"
    "left by an interrupted run are removed, and the command says so.\n";

int usageError(const std::string& text) {
    std::fprintf(stderr, "korvalis sealed: %s\n%s", text.c_str(), kUsage);
    return kExitUsage;
}

bool onlyOptions(const CommandLine& line, std::initializer_list<const char*> allowed) {
    for (const char* option : {"key", "start", "end", "out", "passphrase-file"}) {
        if (line.hasOption(option) &&
            std::find_if(allowed.begin(), allowed.end(), [&](const char* name) {
                return std::string(name) == option;
            }) == allowed.end()) {
            return false;
        }
    }
    return true;
}

// True when anything, even a dangling symbolic link, has the name `path`.
bool nameIsTaken(const std::string& path) {
    std::error_code code;
    return fs::exists(fs::symlink_status(path, code));
}

// Tells the user about temporary files of interrupted runs that were cleared away.
void reportRemovedTemporaries(const SealingKeyLoader& loader,
                              const KorvalisEncryptedMediaFile& file) {
    for (const std::string& path : file.getRemovedTemporaries()) {
        loader.report("removed " + SealedFormatText::escapeControlCharacters(path) +
                      ", an unfinished file left by an interrupted run");
    }
}

// Prints one "key: value" line with the value's control characters escaped.
void printField(const char* key, const std::string& value) {
    std::printf("%s: %s\n", key, SealedFormatText::escapeControlCharacters(value).c_str());
}

// Opens the sealed file at `path`; reports why not.
bool openSealed(const SealingKeyLoader& loader, const std::string& path,
                std::unique_ptr<KorvalisEncryptedMediaFile>& file) {
    const fs::path location(path);
    std::string directory = location.parent_path().string();
    bool opened = false;
    file = std::make_unique<KorvalisEncryptedMediaFile>(directory.empty() ? "." : directory,
                                                        location.filename().string(), opened);
    if (!opened) {
        loader.report(file->getErrorText());
    }
    return opened;
}

int runInfo(const CommandLine& line, const std::string& path) {
    if (!onlyOptions(line, {})) {
        return usageError("info takes no options");
    }
    SealingKeyLoader loader("sealed info");
    std::unique_ptr<KorvalisEncryptedMediaFile> file;
    if (!openSealed(loader, path, file)) {
        return kExitFailure;
    }
    printField("original_file_path", file->getOriginalFilePath());
    printField("original_file_name", file->getOriginalFileName());
    std::printf("original_file_length: %lld\n",
                static_cast<long long>(file->getOriginalFileLength()));
    std::printf("start_time: %s\n",
                SealedFormatText::formatMilliseconds(file->getStartTime()).c_str());
    std::printf("end_time: %s\n", SealedFormatText::formatMilliseconds(file->getEndTime()).c_str());
    printField("cipher", file->getCipher());
    printField("mode", file->getMode());
    std::printf("key_length_bytes: %d\n", file->getKeyLength());
    printField("iv", file->getIv());
    printField("original_file_hash", file->getOriginalFileHash());
    printField("encrypted_data_hash", file->getEncryptedDataHash());
    std::printf("trailer_length: %d\n", file->getTrailerLength());
    return kExitSuccess;
}

int runSeal(const CommandLine& line, const std::string& path) {
    const auto key = line.value("key");
    const auto startText = line.value("start");
    const auto endText = line.value("end");
    const auto out = line.value("out");
    if (!key || !startText || !endText || !out) {
        return usageError("seal needs --key USERKEY.xml, --start T, --end T and --out DIR");
    }
    double start = 0.0;
    double end = 0.0;
    if (!CommandLine::parseEpochSeconds(*startText, start) ||
        !CommandLine::parseEpochSeconds(*endText, end)) {
        return usageError("--start and --end are epoch seconds (or hexadecimal with 0x)");
    }
    if (end < start) {
        return usageError("the span ends before it starts");
    }
    const std::string sealedName = KorvalisEncryptedMediaFile::sealedFileNameFor(path);
    if (sealedName.empty()) {
        return usageError(path + " is not an .mp3 or .kov media file");
    }
    SealingKeyLoader loader("sealed seal");
    std::error_code code;
    if (!fs::is_regular_file(path, code)) {
        loader.report("cannot read " + path);
        return kExitFailure;
    }
    if (!fs::is_directory(*out, code)) {
        loader.report(*out + " is not a directory");
        return kExitFailure;
    }
    const std::string sealedPath = (fs::path(*out) / sealedName).string();
    if (nameIsTaken(sealedPath)) {
        loader.report(sealedPath + " exists; it is not overwritten");
        return kExitFailure;
    }
    auto userKey = loader.uncover(*key, line.value("passphrase-file"));
    if (!userKey) {
        return kExitFailure;
    }
    const fs::path source = fs::absolute(path, code).lexically_normal();
    KorvalisEncryptedMediaFile file;
    file.setSourceLocation(source.parent_path().string(), source.filename().string());
    file.setOriginalLocation(source.parent_path().string(), source.filename().string());
    file.setEncryptedLocation(*out, sealedName);
    file.setStartTime(start);
    file.setEndTime(end);
    // A file that appears under the name meanwhile is kept; what is reported is on disk.
    file.setReplaceExisting(false);
    file.setSyncToDisk(true);
    const KorvalisMasterSealingKey* master = userKey->getMasterKey();
    const bool sealed = file.encrypt(master->getKeyBytes(), master->getKeyLength(), "", "");
    reportRemovedTemporaries(loader, file);
    if (!sealed) {
        loader.report(file.outputExists() ? sealedPath + " exists; it is not overwritten"
                                          : file.getErrorText());
        return kExitFailure;
    }
    AvDebugLogger::instance().log(AvDebugLogger::kInfo, "korvalis sealed: sealed %s into %s",
                                  source.c_str(), sealedPath.c_str());
    std::printf("%s\n", sealedPath.c_str());
    return kExitSuccess;
}

int runUnseal(const CommandLine& line, const std::string& path) {
    const auto key = line.value("key");
    const auto out = line.value("out");
    if (!key || !out || !onlyOptions(line, {"key", "out", "passphrase-file"})) {
        return usageError("unseal needs --key USERKEY.xml and --out DIR");
    }
    SealingKeyLoader loader("sealed unseal");
    std::unique_ptr<KorvalisEncryptedMediaFile> file;
    if (!openSealed(loader, path, file)) {
        return kExitFailure;
    }
    std::error_code code;
    if (!fs::is_directory(*out, code)) {
        loader.report(*out + " is not a directory");
        return kExitFailure;
    }
    const std::string name = file->getOriginalFileName();
    const std::string restoredPath = (fs::path(*out) / name).string();
    if (SealedFormatText::isPlainFileName(name) && nameIsTaken(restoredPath)) {
        loader.report(restoredPath + " exists; it is not overwritten");
        return kExitFailure;
    }
    auto userKey = loader.uncover(*key, line.value("passphrase-file"));
    if (!userKey) {
        return kExitFailure;
    }
    file->setReplaceExisting(false);
    file->setSyncToDisk(true);
    const KorvalisMasterSealingKey* master = userKey->getMasterKey();
    const bool restored = file->decrypt(master->getKeyBytes(), master->getKeyLength(), *out, "");
    reportRemovedTemporaries(loader, *file);
    if (!restored) {
        loader.report(file->outputExists() ? restoredPath + " exists; it is not overwritten"
                                           : file->getErrorText());
        return kExitFailure;
    }
    AvDebugLogger::instance().log(AvDebugLogger::kInfo, "korvalis sealed: restored %s into %s",
                                  path.c_str(), restoredPath.c_str());
    std::printf("%s\n", restoredPath.c_str());
    return kExitSuccess;
}

int runVerify(const CommandLine& line, const std::string& path) {
    const auto key = line.value("key");
    if (!key || !onlyOptions(line, {"key", "passphrase-file"})) {
        return usageError("verify needs --key USERKEY.xml");
    }
    SealingKeyLoader loader("sealed verify");
    std::unique_ptr<KorvalisEncryptedMediaFile> file;
    if (!openSealed(loader, path, file)) {
        return kExitFailure;
    }
    auto userKey = loader.uncover(*key, line.value("passphrase-file"));
    if (!userKey) {
        return kExitFailure;
    }
    const KorvalisMasterSealingKey* master = userKey->getMasterKey();
    if (!file->verify(master->getKeyBytes(), master->getKeyLength())) {
        loader.report(file->getErrorText());
        return kExitFailure;
    }
    std::printf("%s: both digests match\n", path.c_str());
    return kExitSuccess;
}

int runSealed(const std::vector<std::string>& arguments) {
    CommandLine line(arguments, {"key", "start", "end", "out", "passphrase-file"});
    if (!line.isValid()) {
        return usageError(line.error());
    }
    if (line.positional().size() != 2) {
        return usageError("name one of info, seal, unseal, verify and one FILE");
    }
    const std::string& action = line.positional()[0];
    const std::string& path = line.positional()[1];
    if (action == "info") {
        return runInfo(line, path);
    }
    if (action == "seal") {
        return runSeal(line, path);
    }
    if (action == "unseal") {
        return runUnseal(line, path);
    }
    if (action == "verify") {
        return runVerify(line, path);
    }
    return usageError("unknown action '" + action + "'");
}

const KorvalisCommandRegistration registration({
    "sealed",
    "show, seal, unseal and verify sealed media files",
    kUsage,
    runSealed,
});

}  // namespace
