#pragma once

#include <cryptopp/secblock.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "SealedFormatText.h"

// The archive's master sealing key, read from its document:
//   <KoMasterSealingKey><Owner>NAME</Owner><CreationDate EpochTime="SECONDS">...</CreationDate>
//   <RedMasterSealingKey>HEX</RedMasterSealingKey>
//   <RedMasterSealingKeyHash HashType="SHA256">HEX</RedMasterSealingKeyHash></KoMasterSealingKey>
// "Red" is the key in the clear: the document only ever lies on disk encrypted inside a user key
// file. Key bytes and the document text live in memory that is wiped when freed.
// Immutable after construction, so it may be read from any thread.
class KorvalisMasterSealingKey {
public:
    static constexpr int kMaximumKeyBytes = 32;
    static constexpr int kMaximumHashBytes = 32;

    // sourceKind "File": `data` names a file whose whole content is the document; any other kind
    // ("String"): `data` is the document. Check isValid().
    KorvalisMasterSealingKey(const std::string& sourceKind, std::string_view data);
    ~KorvalisMasterSealingKey();

    KorvalisMasterSealingKey(const KorvalisMasterSealingKey&) = delete;
    KorvalisMasterSealingKey& operator=(const KorvalisMasterSealingKey&) = delete;

    // A new random key of `keyLength` bytes (16, 24 or 32) for `owner`, created at
    // `creationEpochTime` (seconds); null for another length.
    static std::unique_ptr<KorvalisMasterSealingKey> create(const std::string& owner, int keyLength,
                                                            int64_t creationEpochTime);

    // True when the document parsed, its key is an AES key length (16, 24 or 32 bytes), the hash
    // type is "SHA256" and the stored digest matches the key.
    bool isValid() const { return valid_; }
    // The key for sealing (valid only while this object lives) and its length in bytes.
    const uint8_t* getKeyBytes() const { return keyBytes_.data(); }
    int getKeyLength() const { return keyLength_; }

    const std::string& getOwner() const { return owner_; }
    const std::string& getHashType() const { return hashType_; }
    int64_t getCreationEpochTime() const { return creationEpochTime_; }
    // The document this key was built from (secret: it holds the key).
    const SecretText& getSourceText() const { return sourceText_; }

private:
    bool parse();

    bool valid_ = false;
    SecretText sourceText_;
    SecretText redKeyText_;
    SecretText redKeyHashText_;
    std::string hashType_;
    std::string owner_;
    int64_t creationEpochTime_ = 0;
    CryptoPP::SecByteBlock keyBytes_;
    int keyLength_ = 0;
    CryptoPP::SecByteBlock hashBytes_;
    int hashLength_ = 0;
};
