// korvalis key: makes and checks user sealing key files.

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "AvDebugLogger.h"
#include "CommandLine.h"
#include "KorvalisCommand.h"
#include "SealedFormatText.h"
#include "SealingKeyLoader.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvalis key create --user NAME --out USERKEY.xml [--key-bytes 16|24|32]\n"
    "                           [--iterations N] [--passphrase-file FILE]\n"
    "       korvalis key add-user --key USERKEY.xml --user NAME --out NEW.xml [--iterations N]\n"
    "                           [--passphrase-file FILE] [--new-passphrase-file FILE]\n"
    "       korvalis key check --key USERKEY.xml [--passphrase-file FILE]\n\n"
    "create    makes a new random master key (32 bytes unless --key-bytes) and the first user\n"
    "          key file wrapping it under NAME's passphrase (PBKDF2-HMAC-SHA256 with a random\n"
    "          16-byte salt and 600000 iterations unless --iterations; AES-256-CBC).\n"
    "add-user  uncovers the master key with USERKEY.xml's passphrase and wraps it for another\n"
    "          user under theirs.\n"
    "check     prints \"Passphrase Ok!\" when the passphrase uncovers a valid master key, else\n"
    "          \"Bad passphrase!\" (exit status 1).\n\n"
    "Passphrases are asked on the terminal without echo, or read from the first line of\n"
    "--passphrase-file (for add-user, --new-passphrase-file gives the new user's). Key files are\n"
    "never overwritten; they are written readable by their owner only.\n";

int usageError(const std::string& text) {
    std::fprintf(stderr, "korvalis key: %s\n%s", text.c_str(), kUsage);
    return kExitUsage;
}

// Why `name` cannot name a key's user, or "" when it can.
std::string userNameProblem(const std::string& name) {
    if (KorvalisUserSealingKey::isUsableUserName(name)) {
        return {};
    }
    const std::string shown = "\"" + SealedFormatText::escapeControlCharacters(name) + "\"";
    return SealedFormatText::hasControlCharacters(name)
               ? "the user name " + shown + " holds control characters; give a plain name"
               : "the user name " + shown + " is blank; give the user's name";
}

// True when anything, even a dangling symbolic link, has the name `path`.
bool nameIsTaken(const std::string& path) {
    std::error_code code;
    return std::filesystem::exists(std::filesystem::symlink_status(path, code));
}

// The --iterations value, or the default.
bool iterationsOf(const CommandLine& line, int& iterations) {
    iterations = KorvalisUserSealingKey::kDefaultIterations;
    if (auto text = line.value("iterations")) {
        long value = 0;
        if (!CommandLine::parseLong(*text, value) || value < 1 ||
            value > KorvalisUserSealingKey::kMaximumIterations) {
            return false;
        }
        iterations = static_cast<int>(value);
    }
    return true;
}

// Wraps `master` for `userName` and writes the new key file; never replaces a file.
int writeUserKey(const SealingKeyLoader& loader, const KorvalisMasterSealingKey& master,
                 const std::string& userName, const PassphraseInput& passphrase, int iterations,
                 const std::string& outPath) {
    KorvalisUserSealingKey userKey;
    if (!userKey.wrapMasterKey(master, userName, passphrase.bytes(), passphrase.size(), iterations,
                               static_cast<int64_t>(std::time(nullptr)))) {
        loader.report("the master key could not be wrapped");
        return kExitFailure;
    }
    if (nameIsTaken(outPath)) {
        loader.report(outPath + " exists; a key file is never overwritten");
        return kExitFailure;
    }
    // Whatever appears under the name meanwhile is kept too.
    std::string error;
    bool nameTaken = false;
    if (!userKey.saveToNewFile(outPath, nameTaken, &error)) {
        loader.report(nameTaken ? outPath + " exists; a key file is never overwritten"
                                : "cannot write " + outPath + ": " + error);
        return kExitFailure;
    }
    AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                  "korvalis key: wrote the user key file %s for %s (%d iterations)",
                                  outPath.c_str(), userName.c_str(), iterations);
    return kExitSuccess;
}

int runCreate(const CommandLine& line) {
    const auto user = line.value("user");
    const auto out = line.value("out");
    if (!user || user->empty() || !out || line.hasOption("key") ||
        line.hasOption("new-passphrase-file")) {
        return usageError("create needs --user NAME and --out USERKEY.xml");
    }
    if (const std::string problem = userNameProblem(*user); !problem.empty()) {
        return usageError(problem);
    }
    long keyBytes = 32;
    if (auto text = line.value("key-bytes")) {
        if (!CommandLine::parseLong(*text, keyBytes) ||
            (keyBytes != 16 && keyBytes != 24 && keyBytes != 32)) {
            return usageError("--key-bytes is 16, 24 or 32");
        }
    }
    int iterations = 0;
    if (!iterationsOf(line, iterations)) {
        return usageError("--iterations is a whole number from 1 to 100000000");
    }
    SealingKeyLoader loader("key create");
    if (nameIsTaken(*out)) {
        loader.report(*out + " exists; a key file is never overwritten");
        return kExitFailure;
    }
    PassphraseInput passphrase;
    if (!loader.readNewPassphrase(line.value("passphrase-file"), *user, passphrase)) {
        return kExitFailure;
    }
    auto master = KorvalisMasterSealingKey::create(*user, static_cast<int>(keyBytes),
                                                   static_cast<int64_t>(std::time(nullptr)));
    if (!master || !master->isValid()) {
        loader.report("no master key could be made");
        return kExitFailure;
    }
    const int status = writeUserKey(loader, *master, *user, passphrase, iterations, *out);
    if (status == kExitSuccess) {
        std::printf("Created %s for %s: a new %ld-byte master key, %d iterations.\n", out->c_str(),
                    user->c_str(), keyBytes, iterations);
    }
    return status;
}

int runAddUser(const CommandLine& line) {
    const auto key = line.value("key");
    const auto user = line.value("user");
    const auto out = line.value("out");
    if (!key || !user || user->empty() || !out || line.hasOption("key-bytes")) {
        return usageError("add-user needs --key USERKEY.xml, --user NAME and --out NEW.xml");
    }
    if (const std::string problem = userNameProblem(*user); !problem.empty()) {
        return usageError(problem);
    }
    int iterations = 0;
    if (!iterationsOf(line, iterations)) {
        return usageError("--iterations is a whole number from 1 to 100000000");
    }
    SealingKeyLoader loader("key add-user");
    if (nameIsTaken(*out)) {
        loader.report(*out + " exists; a key file is never overwritten");
        return kExitFailure;
    }
    auto userKey = loader.uncover(*key, line.value("passphrase-file"));
    if (!userKey) {
        return kExitFailure;
    }
    PassphraseInput passphrase;
    if (!loader.readNewPassphrase(line.value("new-passphrase-file"), *user, passphrase)) {
        return kExitFailure;
    }
    const int status =
        writeUserKey(loader, *userKey->getMasterKey(), *user, passphrase, iterations, *out);
    if (status == kExitSuccess) {
        std::printf("Created %s for %s, holding the master key of %s.\n", out->c_str(),
                    user->c_str(), key->c_str());
    }
    return status;
}

int runCheck(const CommandLine& line) {
    const auto key = line.value("key");
    if (!key || line.hasOption("user") || line.hasOption("out") || line.hasOption("iterations") ||
        line.hasOption("key-bytes") || line.hasOption("new-passphrase-file")) {
        return usageError("check needs --key USERKEY.xml (and no other key options)");
    }
    SealingKeyLoader loader("key check");
    if (!loader.uncover(*key, line.value("passphrase-file"))) {
        return kExitFailure;
    }
    std::printf("Passphrase Ok!\n");
    return kExitSuccess;
}

int runKey(const std::vector<std::string>& arguments) {
    CommandLine line(arguments, {"user", "out", "key", "key-bytes", "iterations", "passphrase-file",
                                 "new-passphrase-file"});
    if (!line.isValid()) {
        return usageError(line.error());
    }
    if (line.positional().size() != 1) {
        return usageError("name one of create, add-user, check");
    }
    const std::string& action = line.positional().front();
    if (action == "create") {
        return runCreate(line);
    }
    if (action == "add-user") {
        return runAddUser(line);
    }
    if (action == "check") {
        return runCheck(line);
    }
    return usageError("unknown action '" + action + "'");
}

const KorvalisCommandRegistration registration({
    "key",
    "create user sealing key files, add users, check a passphrase",
    kUsage,
    runKey,
});

}  // namespace
