#include "KorvalisMasterSealingKey.h"

#include <cryptopp/osrng.h>
#include <cryptopp/sha.h>
#include <tinyxml.h>

#include <cstring>
#include <ctime>

#include "FileIo.h"
#include "XmlTextParser.h"

namespace {

// A document file is a few hundred bytes; anything much larger is not one.
constexpr uint64_t kMaximumDocumentBytes = 1 << 16;

std::string escaped(const std::string& text) {
    TIXML_STRING out;
    TiXmlBase::EncodeString(TIXML_STRING(text.c_str()), &out);
    return out.c_str();
}

std::string utcDateText(int64_t epochSeconds) {
    const std::time_t seconds = static_cast<std::time_t>(epochSeconds);
    std::tm fields{};
    char buffer[64] = "";
    if (gmtime_r(&seconds, &fields) != nullptr) {
        std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", &fields);
    }
    return buffer;
}

}  // namespace

KorvalisMasterSealingKey::KorvalisMasterSealingKey(const std::string& sourceKind,
                                                   std::string_view data)
    : keyBytes_(kMaximumKeyBytes), hashBytes_(kMaximumHashBytes) {
    if (sourceKind == "File") {
        std::string bytes;
        if (!FileIo::readWholeFile(std::string(data), bytes, kMaximumDocumentBytes)) {
            return;
        }
        sourceText_.assign(bytes.data(), bytes.size());
        CryptoPP::SecureWipeArray(bytes.data(), bytes.size());
    } else {
        sourceText_.assign(data.data(), data.size());
    }
    valid_ = parse();
}

KorvalisMasterSealingKey::~KorvalisMasterSealingKey() = default;

bool KorvalisMasterSealingKey::parse() {
    TiXmlDocument document;
    const bool parsed = XmlTextParser::parse(sourceText_, document);
    const TiXmlElement* root = document.FirstChildElement();
    if (!parsed || root == nullptr || std::strcmp(root->Value(), "KoMasterSealingKey") != 0) {
        return false;
    }
    const char* owner = XmlTextParser::childText(root, "Owner");
    const TiXmlElement* creation = root->FirstChildElement("CreationDate");
    const char* redKey = XmlTextParser::childText(root, "RedMasterSealingKey");
    const TiXmlElement* hashElement = root->FirstChildElement("RedMasterSealingKeyHash");
    if (owner == nullptr || creation == nullptr || redKey == nullptr || hashElement == nullptr ||
        hashElement->GetText() == nullptr) {
        return false;
    }
    owner_ = owner;
    redKeyText_ = redKey;
    redKeyHashText_ = hashElement->GetText();
    const char* hashType = hashElement->Attribute("HashType");
    hashType_ = hashType != nullptr ? hashType : "";
    const char* epochTime = creation->Attribute("EpochTime");
    if (epochTime == nullptr || *epochTime == '\0') {
        return false;
    }
    // The creation time is informational: a value that does not read is kept as 0.
    int64_t seconds = 0;
    creationEpochTime_ =
        SealedFormatText::parseInteger(epochTime, INT64_MIN, INT64_MAX, seconds) ? seconds : 0;

    if (redKeyText_.size() / 2 > kMaximumKeyBytes ||
        redKeyHashText_.size() / 2 > kMaximumHashBytes) {
        return false;
    }
    keyLength_ = static_cast<int>(
        SealedFormatText::fromHex(redKeyText_, keyBytes_.data(), keyBytes_.size()));
    hashLength_ = static_cast<int>(
        SealedFormatText::fromHex(redKeyHashText_, hashBytes_.data(), hashBytes_.size()));
    if (hashType_ != "SHA256" || hashLength_ == 0 ||
        (keyLength_ != 16 && keyLength_ != 24 && keyLength_ != 32)) {
        return false;
    }
    uint8_t digest[CryptoPP::SHA256::DIGESTSIZE];
    CryptoPP::SHA256().CalculateDigest(digest, keyBytes_.data(), static_cast<size_t>(keyLength_));
    return CryptoPP::VerifyBufsEqual(digest, hashBytes_.data(), static_cast<size_t>(hashLength_));
}

std::unique_ptr<KorvalisMasterSealingKey> KorvalisMasterSealingKey::create(
    const std::string& owner, int keyLength, int64_t creationEpochTime) {
    if (keyLength != 16 && keyLength != 24 && keyLength != 32) {
        return nullptr;
    }
    CryptoPP::SecByteBlock key(static_cast<size_t>(keyLength));
    CryptoPP::AutoSeededRandomPool().GenerateBlock(key, key.size());
    uint8_t digest[CryptoPP::SHA256::DIGESTSIZE];
    CryptoPP::SHA256().CalculateDigest(digest, key, key.size());

    SecretText document = "<KoMasterSealingKey><Owner>";
    document += escaped(owner);
    document += "</Owner><CreationDate EpochTime=\"";
    document += std::to_string(creationEpochTime);
    document += "\">";
    document += utcDateText(creationEpochTime);
    document += "</CreationDate><RedMasterSealingKey>";
    document += SealedFormatText::toSecretHex(key, key.size());
    document += "</RedMasterSealingKey><RedMasterSealingKeyHash HashType=\"SHA256\">";
    document += SealedFormatText::toHex(digest, sizeof digest);
    document += "</RedMasterSealingKeyHash></KoMasterSealingKey>";
    return std::make_unique<KorvalisMasterSealingKey>("String", document);
}
