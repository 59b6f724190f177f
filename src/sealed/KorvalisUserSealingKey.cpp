#include "KorvalisUserSealingKey.h"

#include <cryptopp/aes.h>
#include <cryptopp/filters.h>
#include <cryptopp/modes.h>
#include <cryptopp/osrng.h>
#include <cryptopp/pwdbased.h>
#include <cryptopp/sha.h>
#include <tinyxml.h>

#include <cstring>

#include "FileIo.h"
#include "PointerChecks.h"
#include "XmlTextParser.h"

namespace {

constexpr size_t kDerivedKeyBytes = 32;
constexpr const char* kDerivationText =
    "PBKDF2 (PKCS #5 v2) with HMAC-SHA-256, 32-byte key; AES-256-CBC with PKCS #7 padding";

void derivePassphraseKey(const uint8_t* passphrase, size_t passphraseLength, const uint8_t* salt,
                         size_t saltLength, int iterations, CryptoPP::SecByteBlock& derived) {
    static const uint8_t kNothing = 0;
    derived.New(kDerivedKeyBytes);
    CryptoPP::PKCS5_PBKDF2_HMAC<CryptoPP::SHA256> pbkdf2;
    pbkdf2.DeriveKey(derived, derived.size(), 0, passphraseLength > 0 ? passphrase : &kNothing,
                     passphraseLength, saltLength > 0 ? salt : &kNothing, saltLength,
                     static_cast<unsigned>(iterations > 0 ? iterations : 1), 0.0);
}

}  // namespace

KorvalisUserSealingKey::KorvalisUserSealingKey() = default;
KorvalisUserSealingKey::~KorvalisUserSealingKey() = default;

bool KorvalisUserSealingKey::loadFromFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    std::string text;
    if (!FileIo::readWholeFile(path, text, kMaximumFileBytes)) {
        return false;
    }
    return loadFromText(text);
}

bool KorvalisUserSealingKey::loadFromText(const std::string& xmlText) {
    std::lock_guard lock(mutex_);
    TiXmlDocument document;
    const bool parsed = XmlTextParser::parse(xmlText, document);
    const TiXmlElement* root = document.FirstChildElement();
    if (!parsed || root == nullptr || std::strcmp(root->Value(), "KoUserSealingKey") != 0) {
        return false;
    }
    const TiXmlElement* derivation = root->FirstChildElement("UserKeyDerivation");
    const TiXmlElement* creation = root->FirstChildElement("CreationDate");
    const TiXmlElement* black = root->FirstChildElement("BlackMasterSealingKey");
    const char* userName = XmlTextParser::childText(root, "UserName");
    if (derivation == nullptr || creation == nullptr || black == nullptr || userName == nullptr ||
        derivation->GetText() == nullptr || black->GetText() == nullptr) {
        return false;
    }
    const char* epochTime = creation->Attribute("EpochTime");
    const char* salt = derivation->Attribute("Salt");
    const char* iterations = derivation->Attribute("Iterations");
    const char* iv = black->Attribute("Iv");
    if (epochTime == nullptr || salt == nullptr || iterations == nullptr || iv == nullptr ||
        *epochTime == '\0' || *salt == '\0' || *iterations == '\0' || *iv == '\0') {
        return false;
    }
    int64_t count = 0;
    if (!SealedFormatText::parseInteger(iterations, 0, kMaximumIterations, count)) {
        return false;
    }
    // Only a complete file replaces what was loaded before.
    userName_ = userName;
    keyDerivationText_ = derivation->GetText();
    blackMasterKey_ = black->GetText();
    salt_ = salt;
    iv_ = iv;
    iterations_ = static_cast<int>(count);
    // The creation time is informational: a value that does not read is kept as 0.
    int64_t seconds = 0;
    creationEpochTime_ =
        SealedFormatText::parseInteger(epochTime, INT64_MIN, INT64_MAX, seconds) ? seconds : 0;
    masterKey_.reset();
    return true;
}

bool KorvalisUserSealingKey::uncoverMasterKey(const std::string& passphrase) {
    return uncoverMasterKey(reinterpret_cast<const uint8_t*>(passphrase.data()), passphrase.size());
}

bool KorvalisUserSealingKey::uncoverMasterKey(const uint8_t* passphrase, size_t passphraseLength) {
    std::lock_guard lock(mutex_);
    masterKey_.reset();
    if (blackMasterKey_.empty() || (passphraseLength > 0 && passphrase == nullptr)) {
        return false;
    }
    try {
        CryptoPP::SecByteBlock black(blackMasterKey_.size() / 2);
        const size_t blackLength = std::min(
            SealedFormatText::fromHex(blackMasterKey_, black.data(), black.size()), black.size());
        CryptoPP::SecByteBlock salt(kMaximumSaltBytes);
        const size_t saltLength =
            std::min(SealedFormatText::fromHex(salt_, salt.data(), salt.size()), kMaximumSaltBytes);
        uint8_t iv[CryptoPP::AES::BLOCKSIZE] = {};
        SealedFormatText::fromHex(iv_, iv, sizeof iv);

        CryptoPP::SecByteBlock derived;
        derivePassphraseKey(passphrase, passphraseLength, salt, saltLength, iterations_, derived);
        CryptoPP::CBC_Mode<CryptoPP::AES>::Decryption cbc(derived, derived.size(), iv);
        CryptoPP::SecByteBlock document(blackLength);
        // The sink outlives the pipeline (which owns only the redirector to it).
        CryptoPP::ArraySink sink(document.data(), document.size());
        CryptoPP::ArraySource(black.data(), blackLength, true,
                              new CryptoPP::StreamTransformationFilter(
                                  cbc, new CryptoPP::Redirector(sink),
                                  CryptoPP::BlockPaddingSchemeDef::PKCS_PADDING));
        const SecretText text(reinterpret_cast<const char*>(document.data()),
                              static_cast<size_t>(sink.TotalPutLength()));
        masterKey_ = std::make_unique<KorvalisMasterSealingKey>("String", text);
        CHECK_ALLOCATION(masterKey_);
        return masterKey_->isValid();
    } catch (const CryptoPP::Exception&) {
        // A wrong passphrase mostly shows as bad padding.
        return false;
    }
}

KorvalisMasterSealingKey* KorvalisUserSealingKey::getMasterKey() const {
    std::lock_guard lock(mutex_);
    return masterKey_.get();
}

bool KorvalisUserSealingKey::isUsableUserName(std::string_view name) {
    return name.find_first_not_of(" \t\n\r") != std::string_view::npos &&
           !SealedFormatText::hasControlCharacters(name);
}

bool KorvalisUserSealingKey::wrapMasterKey(const KorvalisMasterSealingKey& masterKey,
                                           const std::string& userName, const uint8_t* passphrase,
                                           size_t passphraseLength, int iterations,
                                           int64_t creationEpochTime) {
    std::lock_guard lock(mutex_);
    if (!masterKey.isValid() || iterations < 1 || iterations > kMaximumIterations ||
        !isUsableUserName(userName) || (passphraseLength > 0 && passphrase == nullptr)) {
        return false;
    }
    try {
        CryptoPP::AutoSeededRandomPool random;
        uint8_t salt[kSaltBytes];
        uint8_t iv[CryptoPP::AES::BLOCKSIZE];
        random.GenerateBlock(salt, sizeof salt);
        random.GenerateBlock(iv, sizeof iv);
        CryptoPP::SecByteBlock derived;
        derivePassphraseKey(passphrase, passphraseLength, salt, sizeof salt, iterations, derived);
        CryptoPP::CBC_Mode<CryptoPP::AES>::Encryption cbc(derived, derived.size(), iv);
        const SecretText& document = masterKey.getSourceText();
        std::string black;
        CryptoPP::StringSource(reinterpret_cast<const uint8_t*>(document.data()), document.size(),
                               true,
                               new CryptoPP::StreamTransformationFilter(
                                   cbc, new CryptoPP::StringSink(black),
                                   CryptoPP::BlockPaddingSchemeDef::PKCS_PADDING));
        userName_ = userName;
        keyDerivationText_ = kDerivationText;
        salt_ = SealedFormatText::toHex(salt, sizeof salt);
        iterations_ = iterations;
        blackMasterKey_ =
            SealedFormatText::toHex(reinterpret_cast<const uint8_t*>(black.data()), black.size());
        iv_ = SealedFormatText::toHex(iv, sizeof iv);
        creationEpochTime_ = creationEpochTime;
        masterKey_.reset();
        return true;
    } catch (const CryptoPP::Exception&) {
        return false;
    }
}

std::string KorvalisUserSealingKey::toXmlText() const {
    std::lock_guard lock(mutex_);
    TiXmlDocument document;
    document.LinkEndChild(new TiXmlDeclaration("1.0", "UTF-8", ""));
    auto* root = new TiXmlElement("KoUserSealingKey");
    document.LinkEndChild(root);
    auto* name = new TiXmlElement("UserName");
    name->LinkEndChild(new TiXmlText(userName_.c_str()));
    root->LinkEndChild(name);
    auto* derivation = new TiXmlElement("UserKeyDerivation");
    derivation->SetAttribute("Salt", salt_.c_str());
    derivation->SetAttribute("Iterations", iterations_);
    derivation->LinkEndChild(new TiXmlText(keyDerivationText_.c_str()));
    root->LinkEndChild(derivation);
    auto* creation = new TiXmlElement("CreationDate");
    creation->SetAttribute("EpochTime", std::to_string(creationEpochTime_).c_str());
    root->LinkEndChild(creation);
    auto* black = new TiXmlElement("BlackMasterSealingKey");
    black->SetAttribute("Iv", iv_.c_str());
    black->LinkEndChild(new TiXmlText(blackMasterKey_.c_str()));
    root->LinkEndChild(black);
    TiXmlPrinter printer;
    document.Accept(&printer);
    return printer.Str();
}

bool KorvalisUserSealingKey::saveToFile(const std::string& path, std::string* error) const {
    std::lock_guard lock(mutex_);
    return FileIo::writePrivateFileAtomically(path, toXmlText(), error);
}

bool KorvalisUserSealingKey::saveToNewFile(const std::string& path, bool& nameTaken,
                                           std::string* error) const {
    std::lock_guard lock(mutex_);
    return FileIo::writeNewPrivateFile(path, toXmlText(), nameTaken, error);
}

std::string KorvalisUserSealingKey::getUserName() const {
    std::lock_guard lock(mutex_);
    return userName_;
}

std::string KorvalisUserSealingKey::getKeyDerivationText() const {
    std::lock_guard lock(mutex_);
    return keyDerivationText_;
}

int KorvalisUserSealingKey::getIterations() const {
    std::lock_guard lock(mutex_);
    return iterations_;
}

int64_t KorvalisUserSealingKey::getCreationEpochTime() const {
    std::lock_guard lock(mutex_);
    return creationEpochTime_;
}
