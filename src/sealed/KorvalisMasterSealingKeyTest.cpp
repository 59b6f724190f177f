#include <cryptopp/sha.h>
#include <gtest/gtest.h>

#include "KorvalisMasterSealingKey.h"
#include "SealedTestSupport.h"

namespace {

std::string hexOf(const std::string& bytes) {
    return SealedFormatText::toHex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string sha256Hex(const std::string& bytes) {
    uint8_t digest[32];
    CryptoPP::SHA256().CalculateDigest(digest, reinterpret_cast<const uint8_t*>(bytes.data()),
                                       bytes.size());
    return SealedFormatText::toHex(digest, sizeof digest);
}

// A master key document for `keyBytes`, its digest given or computed.
std::string document(const std::string& keyBytes, const std::string& hashType = "SHA256",
                     std::string hash = "") {
    if (hash.empty()) {
        hash = sha256Hex(keyBytes);
    }
    return "<KoMasterSealingKey><Owner>Clerk of court</Owner>"
           "<CreationDate EpochTime=\"1268652608\">2010-03-15</CreationDate>"
           "<RedMasterSealingKey>" +
           hexOf(keyBytes) + "</RedMasterSealingKey><RedMasterSealingKeyHash HashType=\"" +
           hashType + "\">" + hash + "</RedMasterSealingKeyHash></KoMasterSealingKey>";
}

TEST(KorvalisMasterSealingKey, ReadsEveryAesKeyLength) {
    for (size_t length : {16u, 24u, 32u}) {
        const std::string key =
            SealedTestSupport::mediaBytes(length, static_cast<uint32_t>(length));
        KorvalisMasterSealingKey master("String", document(key));
        ASSERT_TRUE(master.isValid()) << length;
        EXPECT_EQ(master.getKeyLength(), static_cast<int>(length));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(master.getKeyBytes()), length), key);
        EXPECT_EQ(master.getOwner(), "Clerk of court");
        EXPECT_EQ(master.getCreationEpochTime(), 1268652608);
    }
}

TEST(KorvalisMasterSealingKey, HexDigitsOfEitherCaseWithSeparatorsAreRead) {
    const std::string key(16, '\xab');
    std::string text = document(key);
    const std::string upperHex = hexOf(key);
    // Separators count towards the text's length (at most 64 characters) but are skipped.
    std::string spaced;
    for (size_t i = 0; i < key.size(); ++i) {
        spaced += "ab ";
    }
    text.replace(text.find(upperHex), upperHex.size(), spaced);
    KorvalisMasterSealingKey master("String", text);
    EXPECT_TRUE(master.isValid());
    EXPECT_EQ(master.getKeyLength(), 16);
    text.replace(text.find(spaced), spaced.size(), spaced + std::string(20, '-'));
    EXPECT_FALSE(KorvalisMasterSealingKey("String", text).isValid());
}

TEST(KorvalisMasterSealingKey, InvalidKeysAndDigests) {
    const std::string key32 = SealedTestSupport::mediaBytes(32, 1);
    const std::string key33 = SealedTestSupport::mediaBytes(33, 1);
    // 33 bytes is too long even though the digest matches.
    EXPECT_FALSE(KorvalisMasterSealingKey("String", document(key33)).isValid());
    // Not an AES key length.
    EXPECT_FALSE(KorvalisMasterSealingKey("String", document(key32.substr(0, 20))).isValid());
    EXPECT_FALSE(KorvalisMasterSealingKey("String", document(key32, "SHA1")).isValid());
    EXPECT_FALSE(KorvalisMasterSealingKey("String", document(key32, "sha256")).isValid());
    EXPECT_FALSE(KorvalisMasterSealingKey("String", document(key32, "SHA256", sha256Hex("other")))
                     .isValid());
    // A digest of 33 bytes, and one without any hexadecimal digit.
    EXPECT_FALSE(
        KorvalisMasterSealingKey("String", document(key32, "SHA256", sha256Hex(key32) + "00"))
            .isValid());
    EXPECT_FALSE(KorvalisMasterSealingKey("String", document(key32, "SHA256", "zz")).isValid());
    // A truncated digest still has to match.
    EXPECT_TRUE(KorvalisMasterSealingKey("String",
                                         document(key32, "SHA256", sha256Hex(key32).substr(0, 40)))
                    .isValid());
}

TEST(KorvalisMasterSealingKey, IncompleteDocumentsAreInvalid) {
    const std::string good = document(SealedTestSupport::mediaBytes(32, 2));
    ASSERT_TRUE(KorvalisMasterSealingKey("String", good).isValid());
    const std::pair<std::string, std::string> damage[] = {
        {"<Owner>Clerk of court</Owner>", ""},
        {"<Owner>Clerk of court</Owner>", "<Owner></Owner>"},
        {"<CreationDate EpochTime=\"1268652608\">2010-03-15</CreationDate>", ""},
        {"EpochTime=\"1268652608\"", "EpochTime=\"\""},
        {"EpochTime=\"1268652608\"", "Epoch=\"1268652608\""},
        {" HashType=\"SHA256\"", ""},
        {"KoMasterSealingKey>", "KoMasterKey>"},
        {"</KoMasterSealingKey>", ""},
    };
    for (const auto& [from, to] : damage) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        EXPECT_FALSE(KorvalisMasterSealingKey("String", text).isValid()) << text;
    }
    std::string noKey = good;
    const size_t start = noKey.find("<RedMasterSealingKey>");
    noKey.erase(start, noKey.find("<RedMasterSealingKeyHash") - start);
    EXPECT_FALSE(KorvalisMasterSealingKey("String", noKey).isValid());
    EXPECT_FALSE(KorvalisMasterSealingKey("String", "").isValid());
    EXPECT_FALSE(KorvalisMasterSealingKey("String", "\x01\x02 binary").isValid());
}

TEST(KorvalisMasterSealingKey, ReadsADocumentFile) {
    SealedTestSupport scratch;
    const std::string key = SealedTestSupport::mediaBytes(24, 3);
    SealedTestSupport::writeFile(scratch.path("master.xml"), document(key));
    KorvalisMasterSealingKey master("File", scratch.path("master.xml"));
    EXPECT_TRUE(master.isValid());
    EXPECT_EQ(master.getKeyLength(), 24);
    EXPECT_FALSE(KorvalisMasterSealingKey("File", scratch.path("missing.xml")).isValid());
    // The file name is not a document.
    EXPECT_FALSE(KorvalisMasterSealingKey("String", scratch.path("master.xml")).isValid());
}

TEST(KorvalisMasterSealingKey, CreatedKeysAreRandomAndReadBack) {
    for (int length : {16, 24, 32}) {
        auto first = KorvalisMasterSealingKey::create("Clerk <1> & co", length, 1268652608);
        auto second = KorvalisMasterSealingKey::create("Clerk <1> & co", length, 1268652608);
        ASSERT_TRUE(first && second);
        ASSERT_TRUE(first->isValid());
        EXPECT_EQ(first->getKeyLength(), length);
        EXPECT_EQ(first->getOwner(), "Clerk <1> & co");
        EXPECT_NE(std::string(reinterpret_cast<const char*>(first->getKeyBytes()), length),
                  std::string(reinterpret_cast<const char*>(second->getKeyBytes()), length));
        KorvalisMasterSealingKey again("String", first->getSourceText());
        EXPECT_TRUE(again.isValid());
    }
    EXPECT_EQ(KorvalisMasterSealingKey::create("x", 20, 0), nullptr);
}

}  // namespace
