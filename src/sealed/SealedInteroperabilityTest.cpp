// Sealed files and key files against an independent implementation of AES, SHA-256 and PBKDF2:
// the openssl command-line tool. Skipped only where openssl is not installed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "KorvalisEncryptedMediaFile.h"
#include "KorvalisUserSealingKey.h"
#include "SealedTestSupport.h"

namespace {

class SealedInteroperabilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SealedTestSupport::hasOpenssl()) {
            GTEST_SKIP() << "the openssl command is not installed";
        }
    }
    // openssl's SHA-256 of a file, upper-case hex.
    std::string opensslSha256(const std::string& path) {
        std::string output;
        EXPECT_EQ(SealedTestSupport::run("openssl dgst -sha256 -r '" + path + "'", &output), 0);
        std::string hex = output.substr(0, output.find(' '));
        std::transform(hex.begin(), hex.end(), hex.begin(), ::toupper);
        return hex;
    }
    // PBKDF2-HMAC-SHA256, 32 bytes, by openssl, upper-case hex.
    std::string opensslPbkdf2(const std::string& passphrase, const std::string& saltHex,
                              int iterations) {
        std::string output;
        EXPECT_EQ(SealedTestSupport::run(
                      "openssl kdf -keylen 32 -kdfopt digest:SHA256 -kdfopt 'pass:" + passphrase +
                          "' -kdfopt hexsalt:" + saltHex +
                          " -kdfopt iter:" + std::to_string(iterations) + " PBKDF2",
                      &output),
                  0);
        output.erase(std::remove_if(output.begin(), output.end(),
                                    [](char c) { return c == ':' || std::isspace(c); }),
                     output.end());
        return output;
    }
    static std::string hexOf(const uint8_t* bytes, size_t size) {
        return SealedFormatText::toHex(bytes, size);
    }
    static std::string bytesOfHex(const std::string& hex) {
        std::string bytes(hex.size() / 2, '\0');
        SealedFormatText::fromHex(hex, reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
        return bytes;
    }

    SealedTestSupport scratch_;
};

const uint8_t kKey[32] = {0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe, 0x2b, 0x73, 0xae,
                          0xf0, 0x85, 0x7d, 0x77, 0x81, 0x1f, 0x35, 0x2c, 0x07, 0x3b, 0x61,
                          0x08, 0xd7, 0x2d, 0x98, 0x10, 0xa3, 0x09, 0x14, 0xdf, 0xf4};

TEST_F(SealedInteroperabilityTest, OpensslDecryptsOurSealedData) {
    const std::string directory = scratch_.directory().string();
    for (int keyLength : {16, 24, 32}) {
        for (size_t length : {1u, 31u, 1048593u}) {
            SCOPED_TRACE(std::to_string(keyLength) + "/" + std::to_string(length));
            const std::string original = SealedTestSupport::mediaBytes(length, keyLength);
            SealedTestSupport::writeFile(scratch_.path("in.mp3"), original);
            KorvalisEncryptedMediaFile file;
            file.setEncryptedLocation(directory, "in.sealedAudio");
            file.setOriginalLocation(directory, "in.mp3");
            file.setSourceLocation(directory, "in.mp3");
            file.setStartTime(1.0);
            file.setEndTime(2.0);
            ASSERT_TRUE(file.encrypt(kKey, keyLength, "", ""));
            const std::string sealed = SealedTestSupport::readFile(scratch_.path("in.sealedAudio"));
            SealedTestSupport::writeFile(scratch_.path("cipher"), sealed.substr(0, length));
            const std::string command = "openssl enc -d -aes-" + std::to_string(keyLength * 8) +
                                        "-cfb -nopad -K " + hexOf(kKey, keyLength) + " -iv " +
                                        file.getIv() + " -in '" + scratch_.path("cipher") +
                                        "' -out '" + scratch_.path("plain") + "'";
            ASSERT_EQ(SealedTestSupport::run(command), 0) << command;
            EXPECT_EQ(SealedTestSupport::readFile(scratch_.path("plain")), original);
            EXPECT_EQ(opensslSha256(scratch_.path("plain")), file.getOriginalFileHash());
            EXPECT_EQ(opensslSha256(scratch_.path("cipher")), file.getEncryptedDataHash());
        }
    }
}

TEST_F(SealedInteroperabilityTest, WeRestoreASealedFileMadeByOpenssl) {
    const std::string directory = scratch_.directory().string();
    const std::string original = SealedTestSupport::mediaBytes(2500001, 77);
    SealedTestSupport::writeFile(scratch_.path("plain"), original);
    const std::string iv = "000102030405060708090A0B0C0D0E0F";
    ASSERT_EQ(SealedTestSupport::run("openssl enc -aes-256-cfb -nopad -K " + hexOf(kKey, 32) +
                                     " -iv " + iv + " -in '" + scratch_.path("plain") + "' -out '" +
                                     scratch_.path("cipher") + "'"),
              0);
    const std::string trailer =
        "<KorvalisEncryptedMediaFile FormatVersion=\"1.0\">"
        "<OriginalFilePath>/elsewhere</OriginalFilePath>"
        "<OriginalFileName>V~4b9e1a40~0~1~2~3.kov</OriginalFileName>"
        "<OriginalFileLength>2500001</OriginalFileLength>"
        "<StartTime epochTime=\"1268652608.000\" /><EndTime epochTime=\"1268652668.500\" />"
        "<OriginalFileHash HashType=\"SHA256\">" +
        opensslSha256(scratch_.path("plain")) +
        "</OriginalFileHash><EncryptedDataHash HashType=\"SHA256\">" +
        opensslSha256(scratch_.path("cipher")) + "</EncryptedDataHash><Cipher Iv=\"" + iv +
        "\" keyLengthBytes=\"32\" Mode=\"CFB\">AES</Cipher></KorvalisEncryptedMediaFile>";
    SealedTestSupport::writeFile(
        scratch_.path("V.sealedVideo"),
        SealedTestSupport::readFile(scratch_.path("cipher")) + '\0' + trailer);
    bool opened = false;
    KorvalisEncryptedMediaFile sealed(directory, "V.sealedVideo", opened);
    ASSERT_TRUE(opened);
    EXPECT_DOUBLE_EQ(sealed.getDuration(), 60.5);
    const std::string restored = scratch_.subdirectory("restored");
    ASSERT_TRUE(sealed.decrypt(kKey, 32, restored, "")) << sealed.getErrorText();
    EXPECT_EQ(SealedTestSupport::readFile(restored + "/V~4b9e1a40~0~1~2~3.kov"), original);
}

TEST_F(SealedInteroperabilityTest, OpensslUncoversOurKeyFile) {
    auto master = KorvalisMasterSealingKey::create("Clerk", 32, 1268652608);
    ASSERT_TRUE(master);
    KorvalisUserSealingKey user;
    ASSERT_TRUE(user.wrapMasterKey(
        *master, "Judge", reinterpret_cast<const uint8_t*>("s3cret pass"), 11, 1000, 1268652608));
    const std::string text = user.toXmlText();
    auto attribute = [&](const std::string& name) {
        const size_t start = text.find(name + "=\"") + name.size() + 2;
        return text.substr(start, text.find('"', start) - start);
    };
    const std::string ivHex = attribute("Iv");
    const size_t blackStart = text.find('>', text.find("<BlackMasterSealingKey")) + 1;
    const std::string blackHex = text.substr(blackStart, text.find('<', blackStart) - blackStart);
    SealedTestSupport::writeFile(scratch_.path("black"), bytesOfHex(blackHex));
    const std::string derived = opensslPbkdf2("s3cret pass", attribute("Salt"), 1000);
    ASSERT_EQ(derived.size(), 64u);
    ASSERT_EQ(SealedTestSupport::run("openssl enc -d -aes-256-cbc -K " + derived + " -iv " + ivHex +
                                     " -in '" + scratch_.path("black") + "' -out '" +
                                     scratch_.path("document") + "'"),
              0);
    const SecretText& document = master->getSourceText();
    EXPECT_EQ(SealedTestSupport::readFile(scratch_.path("document")),
              std::string(document.data(), document.size()));
}

TEST_F(SealedInteroperabilityTest, WeAcceptAKeyFileMadeByOpenssl) {
    for (int keyLength : {16, 24, 32}) {
        SCOPED_TRACE(keyLength);
        // The master key and its digest, digested by openssl.
        SealedTestSupport::writeFile(scratch_.path("key"),
                                     std::string(reinterpret_cast<const char*>(kKey), keyLength));
        const std::string document =
            "<KoMasterSealingKey><Owner>Peer tool</Owner><CreationDate EpochTime=\"1268652608\"/>"
            "<RedMasterSealingKey>" +
            hexOf(kKey, keyLength) +
            "</RedMasterSealingKey><RedMasterSealingKeyHash HashType=\"SHA256\">" +
            opensslSha256(scratch_.path("key")) + "</RedMasterSealingKeyHash></KoMasterSealingKey>";
        SealedTestSupport::writeFile(scratch_.path("document"), document);
        const std::string saltHex = "A0A1A2A3A4A5A6A7A8A9AAABACADAEAF";
        const std::string ivHex = "F0E0D0C0B0A090807060504030201000";
        const std::string derived = opensslPbkdf2("peer passphrase", saltHex, 2048);
        ASSERT_EQ(SealedTestSupport::run("openssl enc -aes-256-cbc -K " + derived + " -iv " +
                                         ivHex + " -in '" + scratch_.path("document") + "' -out '" +
                                         scratch_.path("black") + "'"),
                  0);
        const std::string black = SealedTestSupport::readFile(scratch_.path("black"));
        const std::string keyFile =
            "<?xml version=\"1.0\"?>\n<KoUserSealingKey>\n"
            "  <BlackMasterSealingKey Iv=\"" +
            ivHex + "\">" + hexOf(reinterpret_cast<const uint8_t*>(black.data()), black.size()) +
            "</BlackMasterSealingKey>\n"
            "  <CreationDate EpochTime=\"1268652608\">15 March 2010</CreationDate>\n"
            "  <UserName>Peer</UserName>\n"
            "  <UserKeyDerivation Salt=\"" +
            saltHex +
            "\" Iterations=\"2048\">pbkdf2-sha256</UserKeyDerivation>\n"
            "</KoUserSealingKey>\n";
        SealedTestSupport::writeFile(scratch_.path("peer.xml"), keyFile);
        KorvalisUserSealingKey user;
        ASSERT_TRUE(user.loadFromFile(scratch_.path("peer.xml")));
        ASSERT_TRUE(user.uncoverMasterKey(std::string("peer passphrase")));
        const KorvalisMasterSealingKey* master = user.getMasterKey();
        ASSERT_EQ(master->getKeyLength(), keyLength);
        EXPECT_TRUE(std::equal(kKey, kKey + keyLength, master->getKeyBytes()));
        EXPECT_FALSE(user.uncoverMasterKey(std::string("peer passphrasE")));
    }
}

}  // namespace
