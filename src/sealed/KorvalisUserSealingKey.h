#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "KorvalisMasterSealingKey.h"

// A user's sealing key file: the master key document encrypted under a key derived from the
// user's passphrase (PBKDF2 with HMAC-SHA-256, 32-byte key; AES-256-CBC with PKCS #7 padding):
//   <KoUserSealingKey><UserName>NAME</UserName>
//   <UserKeyDerivation Salt="HEX" Iterations="N">description</UserKeyDerivation>
//   <CreationDate EpochTime="SECONDS">...</CreationDate>
//   <BlackMasterSealingKey Iv="HEX">HEX</BlackMasterSealingKey></KoUserSealingKey>
// The object owns the master key it uncovers. Every public operation holds the object's mutex;
// the master key returned by getMasterKey lives until the next uncover or the object's end.
class KorvalisUserSealingKey {
public:
    static constexpr int kDefaultIterations = 600000;
    // Counts beyond this would keep a user waiting for minutes; such files are refused.
    static constexpr int64_t kMaximumIterations = 100000000;
    static constexpr size_t kSaltBytes = 16;
    static constexpr size_t kMaximumSaltBytes = 1024;
    // Key files are small; larger files are refused before parsing.
    static constexpr uint64_t kMaximumFileBytes = 1 << 20;

    KorvalisUserSealingKey();
    ~KorvalisUserSealingKey();

    KorvalisUserSealingKey(const KorvalisUserSealingKey&) = delete;
    KorvalisUserSealingKey& operator=(const KorvalisUserSealingKey&) = delete;

    // Loads the user key file at `path`. False when it cannot be read, does not parse, or lacks
    // an element, text or attribute; or when the iteration count is not 0..kMaximumIterations.
    // A failed load keeps what was loaded before; a successful one drops any uncovered master key.
    bool loadFromFile(const std::string& path);
    // The same from the file's text.
    bool loadFromText(const std::string& xmlText);

    // Derives the passphrase key, decrypts the master key document and checks it. True when
    // the master key is valid. Replaces any master key uncovered before. An empty passphrase is
    // allowed (and wrong for any file made with a non-empty one).
    bool uncoverMasterKey(const uint8_t* passphrase, size_t passphraseLength);
    bool uncoverMasterKey(const std::string& passphrase);
    // The uncovered master key, or null.
    KorvalisMasterSealingKey* getMasterKey() const;

    // True for a name a key file can carry and give back: not blank (XML folds blanks away, and
    // a key file without a user name does not load) and without control characters.
    static bool isUsableUserName(std::string_view name);

    // Makes this object the key file of `userName` for `masterKey`: a random 16-byte salt and
    // IV, `iterations` PBKDF2 iterations, the creation time `creationEpochTime`. False when the
    // master key is not valid, the name is not usable or the iteration count is out of range.
    bool wrapMasterKey(const KorvalisMasterSealingKey& masterKey, const std::string& userName,
                       const uint8_t* passphrase, size_t passphraseLength, int iterations,
                       int64_t creationEpochTime);
    // The key file's XML text.
    std::string toXmlText() const;
    // Writes the key file (crash-safe, readable by its owner only). `error` says why not.
    bool saveToFile(const std::string& path, std::string* error = nullptr) const;
    // The same, but never replacing anything at `path`: false, with `nameTaken` true, when
    // something has the name by the time the file is complete.
    bool saveToNewFile(const std::string& path, bool& nameTaken,
                       std::string* error = nullptr) const;

    std::string getUserName() const;
    std::string getKeyDerivationText() const;
    int getIterations() const;
    int64_t getCreationEpochTime() const;

private:
    mutable std::recursive_mutex mutex_;
    std::string keyDerivationText_;
    std::string salt_;
    int iterations_ = 0;
    std::string blackMasterKey_;
    std::string iv_;
    int64_t creationEpochTime_ = 0;
    std::string userName_;
    std::unique_ptr<KorvalisMasterSealingKey> masterKey_;
};
