#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "KorvalisUserSealingKey.h"
#include "SealedTestSupport.h"

namespace fs = std::filesystem;

namespace {

// Small counts keep the tests fast under sanitizers; one test uses the default.
constexpr int kFewIterations = 7;

class KorvalisUserSealingKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        master_ = KorvalisMasterSealingKey::create("Clerk", 32, 1268652608);
        ASSERT_TRUE(master_ && master_->isValid());
    }
    // The text of a key file for master_ under `passphrase`.
    std::string keyFileText(const std::string& passphrase, int iterations = kFewIterations) {
        KorvalisUserSealingKey user;
        EXPECT_TRUE(user.wrapMasterKey(*master_, "Judge Example",
                                       reinterpret_cast<const uint8_t*>(passphrase.data()),
                                       passphrase.size(), iterations, 1268652700));
        return user.toXmlText();
    }
    bool sameKeyAsMaster(const KorvalisMasterSealingKey* key) const {
        return key != nullptr && key->getKeyLength() == master_->getKeyLength() &&
               std::equal(key->getKeyBytes(), key->getKeyBytes() + key->getKeyLength(),
                          master_->getKeyBytes());
    }

    std::unique_ptr<KorvalisMasterSealingKey> master_;
    SealedTestSupport scratch_;
};

TEST_F(KorvalisUserSealingKeyTest, WrappedKeyFileUncoversTheMasterKey) {
    KorvalisUserSealingKey writer;
    ASSERT_TRUE(writer.wrapMasterKey(*master_, "Judge Example",
                                     reinterpret_cast<const uint8_t*>("correct horse"), 13,
                                     kFewIterations, 1268652700));
    std::string error;
    ASSERT_TRUE(writer.saveToFile(scratch_.path("judge.xml"), &error)) << error;
    EXPECT_EQ(fs::status(scratch_.path("judge.xml")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);

    KorvalisUserSealingKey user;
    ASSERT_TRUE(user.loadFromFile(scratch_.path("judge.xml")));
    EXPECT_EQ(user.getUserName(), "Judge Example");
    EXPECT_EQ(user.getIterations(), kFewIterations);
    EXPECT_EQ(user.getCreationEpochTime(), 1268652700);
    EXPECT_FALSE(user.getKeyDerivationText().empty());
    EXPECT_EQ(user.getMasterKey(), nullptr);
    ASSERT_TRUE(user.uncoverMasterKey(std::string("correct horse")));
    EXPECT_TRUE(sameKeyAsMaster(user.getMasterKey()));
    EXPECT_EQ(user.getMasterKey()->getOwner(), "Clerk");

    // The file's shape: 16-byte salt, 16-byte IV, hex black key, no key in the clear.
    const std::string text = SealedTestSupport::readFile(scratch_.path("judge.xml"));
    EXPECT_TRUE(std::regex_search(text, std::regex("Salt=\"[0-9A-F]{32}\"")));
    EXPECT_TRUE(std::regex_search(text, std::regex("Iv=\"[0-9A-F]{32}\">[0-9A-F]+<")));
    EXPECT_EQ(text.find(SealedFormatText::toHex(master_->getKeyBytes(), 32)), std::string::npos);
}

TEST_F(KorvalisUserSealingKeyTest, WrongPassphrasesAreRefusedAndDropTheOldMasterKey) {
    KorvalisUserSealingKey user;
    ASSERT_TRUE(user.loadFromText(keyFileText("right")));
    ASSERT_TRUE(user.uncoverMasterKey(std::string("right")));
    ASSERT_NE(user.getMasterKey(), nullptr);
    // ("right\0" would pass: HMAC pads short keys with zero bytes.)
    for (const std::string wrong : {"wrong", "", "Right", "right ", "righ"}) {
        EXPECT_FALSE(user.uncoverMasterKey(wrong));
        const KorvalisMasterSealingKey* key = user.getMasterKey();
        EXPECT_TRUE(key == nullptr || !key->isValid());
    }
    // Uncovering again gives a fresh, valid master key.
    ASSERT_TRUE(user.uncoverMasterKey(std::string("right")));
    EXPECT_TRUE(sameKeyAsMaster(user.getMasterKey()));
}

TEST_F(KorvalisUserSealingKeyTest, EmptyPassphraseIsAPassphraseLikeAnyOther) {
    KorvalisUserSealingKey user;
    ASSERT_TRUE(user.loadFromText(keyFileText("")));
    EXPECT_FALSE(user.uncoverMasterKey(std::string("x")));
    EXPECT_TRUE(user.uncoverMasterKey(nullptr, 0));
    EXPECT_TRUE(sameKeyAsMaster(user.getMasterKey()));
}

TEST_F(KorvalisUserSealingKeyTest, EveryMasterKeyLengthIsUncovered) {
    for (int length : {16, 24}) {
        master_ = KorvalisMasterSealingKey::create("Clerk", length, 1);
        KorvalisUserSealingKey user;
        ASSERT_TRUE(user.loadFromText(keyFileText("pass")));
        ASSERT_TRUE(user.uncoverMasterKey(std::string("pass")));
        EXPECT_EQ(user.getMasterKey()->getKeyLength(), length);
    }
}

TEST_F(KorvalisUserSealingKeyTest, DefaultIterationCountWorks) {
    KorvalisUserSealingKey user;
    ASSERT_TRUE(user.loadFromText(keyFileText("slow", KorvalisUserSealingKey::kDefaultIterations)));
    EXPECT_EQ(user.getIterations(), 600000);
    EXPECT_TRUE(user.uncoverMasterKey(std::string("slow")));
}

TEST_F(KorvalisUserSealingKeyTest, ZeroIterationsCountAsOne) {
    const std::string text = keyFileText("one", 1);
    KorvalisUserSealingKey user;
    ASSERT_TRUE(user.loadFromText(
        std::regex_replace(text, std::regex("Iterations=\"1\""), "Iterations=\"0\"")));
    EXPECT_EQ(user.getIterations(), 0);
    EXPECT_TRUE(user.uncoverMasterKey(std::string("one")));
}

TEST_F(KorvalisUserSealingKeyTest, IncompleteOrMalformedKeyFilesAreRefused) {
    const std::string good = keyFileText("pass");
    ASSERT_TRUE(KorvalisUserSealingKey().loadFromText(good));
    const std::pair<const char*, const char*> damage[] = {
        {"<UserName>[^<]*</UserName>", ""},
        {"<UserName>[^<]*</UserName>", "<UserName></UserName>"},
        {"<UserKeyDerivation[^>]*>[^<]*</UserKeyDerivation>", ""},
        {">PBKDF2[^<]*<", "><"},
        {"<CreationDate[^>]*/>", ""},
        {"<BlackMasterSealingKey[^>]*>[^<]*</BlackMasterSealingKey>", ""},
        {"Iv=\"[0-9A-F]*\">[0-9A-F]+<", "Iv=\"00\"><"},
        {"Salt=\"[0-9A-F]*\"", ""},
        {"Salt=\"[0-9A-F]*\"", "Salt=\"\""},
        {"Iterations=\"[0-9]*\"", ""},
        {"Iterations=\"[0-9]*\"", "Iterations=\"many\""},
        {"Iterations=\"[0-9]*\"", "Iterations=\"-1\""},
        {"Iterations=\"[0-9]*\"", "Iterations=\"100000001\""},
        {"Iterations=\"[0-9]*\"", "Iterations=\"99999999999999999999\""},
        {"EpochTime=\"[0-9]*\"", ""},
        {"EpochTime=\"[0-9]*\"", "EpochTime=\"\""},
        {"Iv=\"[0-9A-F]*\"", ""},
        {"KoUserSealingKey>", "KoUserKey>"},
        {"</KoUserSealingKey>", ""},
    };
    for (const auto& [pattern, replacement] : damage) {
        const std::string text = std::regex_replace(good, std::regex(pattern), replacement,
                                                    std::regex_constants::format_first_only);
        ASSERT_NE(text, good) << pattern;
        EXPECT_FALSE(KorvalisUserSealingKey().loadFromText(text)) << text;
    }
    // A failed load keeps the file loaded before.
    KorvalisUserSealingKey user;
    ASSERT_TRUE(user.loadFromText(good));
    EXPECT_FALSE(user.loadFromText(std::regex_replace(good, std::regex("Iv=\"[0-9A-F]*\""), "")));
    EXPECT_EQ(user.getIterations(), kFewIterations);
    EXPECT_TRUE(user.uncoverMasterKey(std::string("pass")));
    EXPECT_FALSE(user.loadFromText(""));
    EXPECT_FALSE(user.loadFromFile(scratch_.path("missing.xml")));
    EXPECT_FALSE(user.loadFromFile(scratch_.directory().string()));
    SealedTestSupport::writeFile(
        scratch_.path("huge.xml"),
        good + std::string(KorvalisUserSealingKey::kMaximumFileBytes, ' '));
    EXPECT_FALSE(user.loadFromFile(scratch_.path("huge.xml")));
}

TEST_F(KorvalisUserSealingKeyTest, DamagedBlackKeysAndIvsAreWrongPassphrasesNotCrashes) {
    const std::string good = keyFileText("pass");
    const std::pair<const char*, const char*> damage[] = {
        // Not a whole number of cipher blocks.
        {"(Iv=\"[0-9A-F]*\">)([0-9A-F]{2})", "$1"},
        // One block less.
        {"(Iv=\"[0-9A-F]*\">)([0-9A-F]{32})", "$1"},
        // No hexadecimal digit at all.
        {"(Iv=\"[0-9A-F]*\">)([0-9A-F]+)", "$1zz"},
        // A salt far beyond what is used.
        {"Salt=\"[0-9A-F]*\"",
         "Salt=\""
         "000102030405060708090A0B0C0D0E0F"
         "\""},
    };
    for (const auto& [pattern, replacement] : damage) {
        const std::string text = std::regex_replace(good, std::regex(pattern), replacement,
                                                    std::regex_constants::format_first_only);
        ASSERT_NE(text, good) << pattern;
        KorvalisUserSealingKey user;
        ASSERT_TRUE(user.loadFromText(text));
        EXPECT_FALSE(user.uncoverMasterKey(std::string("pass"))) << pattern;
    }
    // Another IV: the first block decrypts differently. The first digit is changed to one it
    // cannot already be.
    {
        std::string text = good;
        const size_t iv = text.find("Iv=\"");
        ASSERT_NE(iv, std::string::npos);
        char& digit = text[iv + 4];
        digit = digit == '5' ? 'A' : '5';
        KorvalisUserSealingKey user;
        ASSERT_TRUE(user.loadFromText(text));
        EXPECT_FALSE(user.uncoverMasterKey(std::string("pass")));
    }
    // A salt longer than 1024 bytes is read up to 1024 bytes, which then decide.
    std::string longSalt = std::regex_replace(good, std::regex("Salt=\"[0-9A-F]*\""),
                                              "Salt=\"" + std::string(4000, 'A') + "\"");
    KorvalisUserSealingKey user;
    ASSERT_TRUE(user.loadFromText(longSalt));
    EXPECT_FALSE(user.uncoverMasterKey(std::string("pass")));
}

TEST_F(KorvalisUserSealingKeyTest, NewKeyFilesNeverReplaceAFile) {
    KorvalisUserSealingKey user;
    ASSERT_TRUE(user.wrapMasterKey(*master_, "Judge", nullptr, 0, 1, 0));
    const std::string path = scratch_.path("judge.xml");
    bool nameTaken = true;
    ASSERT_TRUE(user.saveToNewFile(path, nameTaken));
    EXPECT_FALSE(nameTaken);
    const std::string saved = SealedTestSupport::readFile(path);
    ASSERT_TRUE(user.wrapMasterKey(*master_, "Other", nullptr, 0, 1, 0));
    std::string error;
    EXPECT_FALSE(user.saveToNewFile(path, nameTaken, &error));
    EXPECT_TRUE(nameTaken);
    EXPECT_EQ(SealedTestSupport::readFile(path), saved);
    EXPECT_EQ(SealedTestSupport::entries(scratch_.directory().string()),
              std::vector<std::string>{"judge.xml"});
}

TEST_F(KorvalisUserSealingKeyTest, WrappingRefusesInvalidInput) {
    KorvalisUserSealingKey user;
    KorvalisMasterSealingKey invalid("String", "<KoMasterSealingKey/>");
    EXPECT_FALSE(user.wrapMasterKey(invalid, "x", nullptr, 0, 1, 0));
    EXPECT_FALSE(user.wrapMasterKey(*master_, "", nullptr, 0, 1, 0));
    // Blank names would not read back (XML folds blanks away), and control characters would
    // reach the terminal in the passphrase prompt.
    for (const std::string name : {"   ", " \t\n ", "Judge\x1b[2J", "a\nb"}) {
        EXPECT_FALSE(KorvalisUserSealingKey::isUsableUserName(name)) << name;
        EXPECT_FALSE(user.wrapMasterKey(*master_, name, nullptr, 0, 1, 0)) << name;
    }
    EXPECT_TRUE(KorvalisUserSealingKey::isUsableUserName(" Judge  Example "));
    EXPECT_FALSE(user.wrapMasterKey(*master_, "x", nullptr, 0, 0, 0));
    EXPECT_FALSE(user.wrapMasterKey(*master_, "x", nullptr, 0, 100000001, 0));
    EXPECT_TRUE(user.wrapMasterKey(*master_, "x", nullptr, 0, 1, 0));
}

// Found by fuzz_user_sealing_key: a key file ending inside a UTF-8 sequence ("...\xf5\xc3") made
// the XML parser step over the text's end and read the heap beyond it.
TEST(KorvalisUserSealingKeyRegression, TextEndingInsideAUtf8SequenceIsRefused) {
    static const unsigned char kInput[] = {
        0x3c, 0x3f, 0x78, 0x6d, 0x6c, 0x20, 0x76, 0x65, 0x72, 0x73, 0x69, 0x60, 0x3f, 0x3e, 0x0a,
        0x3c, 0x4b, 0x6f, 0x55, 0x61, 0x6c, 0x65, 0x79, 0x3e, 0x0a, 0x20, 0x20, 0x20, 0x20, 0x3c,
        0x55, 0x73, 0x6d, 0x65, 0x3e, 0x61, 0x4e, 0x65, 0x72, 0x4a, 0x3f, 0x3e, 0x0a, 0x3c, 0x4b,
        0x65, 0x78, 0x3e, 0x0a, 0x20, 0x20, 0x20, 0x20, 0x3c, 0x55, 0x73, 0x65, 0x6d, 0x31, 0x3e,
        0x2a, 0x38, 0x22, 0x20, 0x3f, 0x3e, 0x0a, 0x3c, 0x4b, 0x65, 0x61, 0x6c, 0x69, 0x6e, 0x4b,
        0x65, 0x79, 0x3e, 0x20, 0x3c, 0x55, 0x73, 0x65, 0x6f, 0x3e, 0x4a, 0x6d, 0x6c, 0x20, 0x3c,
        0x65, 0x72, 0x56, 0x65, 0x61, 0x6c, 0x69, 0x6e, 0x67, 0x4b, 0x65, 0x79, 0x3e, 0x0a, 0x20,
        0x20, 0x20, 0x20, 0x3c, 0x55, 0x73, 0x65, 0x72, 0x4e, 0x61, 0x6d, 0x65, 0x3e, 0x4a, 0xf5,
        0x64, 0x2c, 0x65, 0x67, 0x65, 0x72, 0x73, 0x3c, 0x55, 0x4e, 0x61, 0x6d, 0x65, 0x3e, 0x3c,
        0x55, 0x4b, 0x73, 0x79, 0x65, 0x72, 0x65, 0x67, 0x64, 0x4b, 0x65, 0x79, 0x3e, 0x0a, 0x20,
        0x3c, 0x3f, 0x78, 0x6d, 0x6c, 0x20, 0x2d, 0x38, 0x22, 0x20, 0x3f, 0x3e, 0x0a, 0x3c, 0x4b,
        0x6f, 0x55, 0x73, 0x65, 0x65, 0x6f, 0x55, 0x73, 0x65, 0x65, 0x3e, 0x4a, 0xf5, 0x64, 0x2c,
        0x46, 0x67, 0x65, 0x72, 0x73, 0x3c, 0x55, 0x4e, 0x61, 0x6d, 0x65, 0x3e, 0x0a, 0x20, 0x20,
        0x20, 0x20, 0x3c, 0x55, 0x65, 0x72, 0x57, 0x65, 0x61, 0x6c, 0x69, 0x6e, 0x67, 0x4b, 0x65,
        0x79, 0x3e, 0x0a, 0x20, 0x4a, 0x74, 0x6f, 0x65, 0x49, 0x61, 0x4a, 0x4a, 0x4a, 0x4a, 0x4a,
        0x4a, 0x72, 0x73, 0x3c, 0x55, 0x4e, 0x61, 0x6d, 0x65, 0x3e, 0x0a, 0x20, 0x20, 0x20, 0x20,
        0x3c, 0x55, 0x61, 0x6c, 0x69, 0x6e, 0x67, 0x4b, 0x65, 0x79, 0x3e, 0x0a, 0x4a, 0x4a, 0x4a,
        0x4a, 0x4a, 0x4a, 0x3c, 0x55, 0x4e, 0x61, 0x6d, 0x65, 0x3e, 0x0a, 0x20, 0x20, 0x20, 0x20,
        0x3c, 0x55, 0x9f, 0x8d, 0xb1, 0x9e, 0x6d, 0x65, 0x3e, 0x0a, 0x20, 0x20, 0x20, 0x20, 0x73,
        0x65, 0x65, 0x79, 0x72, 0x3c, 0x55, 0x4b, 0x44, 0x65, 0x72, 0x69, 0x76, 0x61, 0x74, 0x69,
        0x6f, 0x73, 0x65, 0x72, 0x4e, 0x61, 0x6d, 0x65, 0x3e, 0x4a, 0xf5, 0x64, 0x2c, 0x46, 0x67,
        0x65, 0x72, 0x69, 0x76, 0x61, 0x74, 0x69, 0xf5, 0xc3};
    KorvalisUserSealingKey user;
    EXPECT_FALSE(
        user.loadFromText(std::string(reinterpret_cast<const char*>(kInput), sizeof kInput)));
}

}  // namespace
