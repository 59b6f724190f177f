#include "SealingKeyLoader.h"

#include <cstdio>

#include "AvDebugLogger.h"
#include "SealedFormatText.h"

SealingKeyLoader::SealingKeyLoader(std::string commandName)
    : commandName_(std::move(commandName)) {}

void SealingKeyLoader::report(const std::string& text) const {
    std::fprintf(stderr, "korvalis %s: %s\n", commandName_.c_str(), text.c_str());
}

bool SealingKeyLoader::readPassphrase(const std::optional<std::string>& passphraseFile,
                                      const std::string& prompt,
                                      PassphraseInput& passphrase) const {
    const bool ok = passphraseFile ? passphrase.readFromFile(*passphraseFile)
                                   : passphrase.readFromTerminal(prompt);
    if (!ok) {
        report(passphrase.error() + (passphraseFile ? "" : " (or use --passphrase-file FILE)"));
    }
    return ok;
}

bool SealingKeyLoader::readNewPassphrase(const std::optional<std::string>& passphraseFile,
                                         const std::string& userName,
                                         PassphraseInput& passphrase) const {
    if (!readPassphrase(
            passphraseFile,
            "New passphrase for " + SealedFormatText::escapeControlCharacters(userName) + ": ",
            passphrase)) {
        return false;
    }
    if (passphrase.empty()) {
        report("an empty passphrase protects nothing; choose one");
        return false;
    }
    if (!passphraseFile) {
        PassphraseInput again;
        if (!readPassphrase(passphraseFile, "Repeat the passphrase: ", again)) {
            return false;
        }
        if (!again.sameAs(passphrase)) {
            report("the two passphrases differ; nothing was written");
            return false;
        }
    }
    return true;
}

std::unique_ptr<KorvalisUserSealingKey> SealingKeyLoader::uncover(
    const std::string& keyFile, const std::optional<std::string>& passphraseFile) const {
    auto userKey = std::make_unique<KorvalisUserSealingKey>();
    if (!userKey->loadFromFile(keyFile)) {
        report(keyFile + " is not a readable user key file");
        return nullptr;
    }
    PassphraseInput passphrase;
    // The name comes from the key file: shown with its control characters escaped.
    if (!readPassphrase(passphraseFile,
                        "Passphrase for " +
                            SealedFormatText::escapeControlCharacters(userKey->getUserName()) +
                            ": ",
                        passphrase)) {
        return nullptr;
    }
    if (!userKey->uncoverMasterKey(passphrase.bytes(), passphrase.size())) {
        AvDebugLogger::instance().log(AvDebugLogger::kWarning,
                                      "korvalis %s: the passphrase for %s was refused",
                                      commandName_.c_str(), keyFile.c_str());
        std::fprintf(stderr, "Bad passphrase!\n");
        return nullptr;
    }
    return userKey;
}
