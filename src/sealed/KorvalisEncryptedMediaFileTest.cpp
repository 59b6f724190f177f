#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <regex>

#include "FlushRecorder.h"
#include "KorvalisEncryptedMediaFile.h"
#include "SealedTestSupport.h"

namespace fs = std::filesystem;

namespace {

const uint8_t kKey[32] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa,
                          0xbb, 0xcc, 0xdd, 0xee, 0xff, 0x0f, 0x1e, 0x2d, 0x3c, 0x4b, 0x5a,
                          0x69, 0x78, 0x87, 0x96, 0xa5, 0xb4, 0xc3, 0xd2, 0xe1, 0xf0};
const char* kMediaName = "COURT1~4b9e1a40~250~1~2~3.mp3";
const char* kSealedName = "COURT1~4b9e1a40~250~1~2~3.sealedAudio";

class KorvalisEncryptedMediaFileTest : public ::testing::Test {
protected:
    // Writes `bytes` as the archive file and seals it into the work directory.
    bool seal(const std::string& bytes, int keyLength = 32, double start = 1268652608.25,
              double end = 1268652668.75) {
        archive_ = scratch_.subdirectory("archive");
        work_ = scratch_.subdirectory("work");
        SealedTestSupport::writeFile(archive_ + "/" + kMediaName, bytes);
        KorvalisEncryptedMediaFile file;
        file.setEncryptedLocation(work_, kSealedName);
        file.setOriginalLocation(archive_, kMediaName);
        file.setSourceLocation(archive_, kMediaName);
        file.setStartTime(start);
        file.setEndTime(end);
        return file.encrypt(kKey, keyLength, "", "");
    }
    std::string sealedPath() const { return work_ + "/" + kSealedName; }
    // The trailer text of the sealed file.
    std::string trailer() const {
        const std::string bytes = SealedTestSupport::readFile(sealedPath());
        return bytes.substr(bytes.rfind('\0') + 1);
    }
    // Replaces the sealed file's trailer text.
    void replaceTrailer(const std::string& text) const {
        std::string bytes = SealedTestSupport::readFile(sealedPath());
        bytes = bytes.substr(0, bytes.rfind('\0') + 1) + text;
        SealedTestSupport::writeFile(sealedPath(), bytes);
    }
    void editTrailer(const std::string& from, const std::string& to) const {
        std::string text = trailer();
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        replaceTrailer(text.replace(at, from.size(), to));
    }

    SealedTestSupport scratch_;
    std::string archive_;
    std::string work_;
};

TEST_F(KorvalisEncryptedMediaFileTest, SealsAndRestoresEveryLengthAndKeySize) {
    // Lengths around the AES block and the streaming block boundaries.
    const size_t lengths[] = {1, 15, 16, 17, 4095, (1u << 20) - 1, (1u << 20) + 17, (3u << 20)};
    for (int keyLength : {16, 24, 32}) {
        for (size_t length : lengths) {
            SCOPED_TRACE(std::to_string(keyLength) + " byte key, " + std::to_string(length));
            const std::string original = SealedTestSupport::mediaBytes(length, length);
            ASSERT_TRUE(seal(original, keyLength));
            bool opened = false;
            KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
            ASSERT_TRUE(opened);
            EXPECT_EQ(sealed.getOriginalFileLength(), static_cast<int64_t>(length));
            EXPECT_EQ(sealed.getKeyLength(), keyLength);
            EXPECT_EQ(fs::file_size(sealedPath()), length + sealed.getTrailerLength());
            const std::string restored = scratch_.subdirectory("restored");
            ASSERT_TRUE(sealed.decrypt(kKey, keyLength, restored, "")) << sealed.getErrorText();
            EXPECT_EQ(SealedTestSupport::readFile(restored + "/" + kMediaName), original);
            EXPECT_TRUE(sealed.verify(kKey, keyLength));
            fs::remove_all(restored);
        }
    }
}

TEST_F(KorvalisEncryptedMediaFileTest, LayoutIsCiphertextSeparatorAndCompactTrailer) {
    const std::string original = SealedTestSupport::mediaBytes(100000, 7);
    ASSERT_TRUE(seal(original, 32, 1268652608.2506, 1268652668.0));
    const std::string bytes = SealedTestSupport::readFile(sealedPath());
    ASSERT_EQ(bytes[original.size()], '\0');
    const std::string text = bytes.substr(original.size() + 1);
    EXPECT_NE(bytes.substr(0, original.size()), original);
    // Ciphertext holds 0x00 bytes; only the last one separates the trailer.
    EXPECT_NE(bytes.substr(0, original.size()).find('\0'), std::string::npos);
    const std::regex expected(
        "<KorvalisEncryptedMediaFile FormatVersion=\"1\\.0\">"
        "<OriginalFilePath>" +
        archive_ +
        "</OriginalFilePath>"
        "<OriginalFileName>COURT1~4b9e1a40~250~1~2~3\\.mp3</OriginalFileName>"
        "<OriginalFileLength>100000</OriginalFileLength>"
        "<StartTime epochTime=\"1268652608\\.251\" />"
        "<EndTime epochTime=\"1268652668\\.000\" />"
        "<OriginalFileHash HashType=\"SHA256\">[0-9A-F]{64}</OriginalFileHash>"
        "<EncryptedDataHash HashType=\"SHA256\">[0-9A-F]{64}</EncryptedDataHash>"
        "<Cipher Iv=\"[0-9A-F]{32}\" keyLengthBytes=\"32\" Mode=\"CFB\">AES</Cipher>"
        "</KorvalisEncryptedMediaFile>");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;

    bool opened = false;
    KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
    ASSERT_TRUE(opened);
    EXPECT_EQ(sealed.getTrailerLength(), static_cast<int>(text.size() + 1));
    EXPECT_DOUBLE_EQ(sealed.getStartTime(), 1268652608.251);
    EXPECT_DOUBLE_EQ(sealed.getDuration(), 1268652668.0 - 1268652608.251);
    EXPECT_EQ(sealed.getOriginalFilePath(), archive_);
    EXPECT_EQ(sealed.getSourceDirectory(), archive_);
    EXPECT_EQ(sealed.getOriginalFileName(), kMediaName);
    EXPECT_EQ(sealed.getSourceFileName(), kMediaName);
    EXPECT_EQ(sealed.getCipher(), "AES");
    EXPECT_EQ(sealed.getMode(), "CFB");
    EXPECT_EQ(sealed.getOriginalHashType(), "SHA256");
}

TEST_F(KorvalisEncryptedMediaFileTest, EachFileGetsAFreshIv) {
    const std::string original = SealedTestSupport::mediaBytes(5000, 1);
    ASSERT_TRUE(seal(original));
    const std::string first = SealedTestSupport::readFile(sealedPath());
    const std::string firstTrailer = trailer();
    ASSERT_TRUE(seal(original));
    EXPECT_NE(SealedTestSupport::readFile(sealedPath()).substr(0, 5000), first.substr(0, 5000));
    EXPECT_NE(trailer(), firstTrailer);
}

TEST_F(KorvalisEncryptedMediaFileTest, DefaultsRestoreWhereTheFileCameFrom) {
    const std::string original = SealedTestSupport::mediaBytes(3000, 2);
    ASSERT_TRUE(seal(original));
    fs::remove(archive_ + "/" + kMediaName);
    bool opened = false;
    KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(sealed.decrypt(kKey, 32, "", ""));
    EXPECT_EQ(SealedTestSupport::readFile(archive_ + "/" + kMediaName), original);
    ASSERT_TRUE(sealed.decrypt(kKey, 32, "", "renamed.mp3"));
    EXPECT_EQ(SealedTestSupport::readFile(archive_ + "/renamed.mp3"), original);
}

TEST_F(KorvalisEncryptedMediaFileTest, EmptySourceSealsButIsNotRestored) {
    ASSERT_TRUE(seal(""));
    const std::string bytes = SealedTestSupport::readFile(sealedPath());
    EXPECT_EQ(bytes[0], '\0');
    bool opened = false;
    KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
    ASSERT_TRUE(opened);
    EXPECT_EQ(sealed.getOriginalFileLength(), 0);
    const std::string restored = scratch_.subdirectory("restored");
    EXPECT_FALSE(sealed.decrypt(kKey, 32, restored, ""));
    EXPECT_TRUE(SealedTestSupport::entries(restored).empty());
}

TEST_F(KorvalisEncryptedMediaFileTest, UnreadableSourceWritesNothing) {
    const std::string work = scratch_.subdirectory("work");
    KorvalisEncryptedMediaFile file;
    file.setEncryptedLocation(work, kSealedName);
    file.setOriginalLocation(scratch_.path("archive"), kMediaName);
    file.setSourceLocation(scratch_.path("archive"), kMediaName);
    file.setStartTime(10.0);
    file.setEndTime(20.0);
    EXPECT_FALSE(file.encrypt(kKey, 32, "", ""));
    EXPECT_NE(file.getErrorText().find("Cannot read"), std::string::npos);
    EXPECT_TRUE(SealedTestSupport::entries(work).empty());
    // Neither a directory nor a pipe is a source (and a pipe is not waited on).
    file.setSourceLocation(scratch_.directory().string(), "work");
    EXPECT_FALSE(file.encrypt(kKey, 32, "", ""));
    ASSERT_EQ(::mkfifo(scratch_.path("pipe.mp3").c_str(), 0600), 0);
    file.setSourceLocation(scratch_.directory().string(), "pipe.mp3");
    EXPECT_FALSE(file.encrypt(kKey, 32, "", ""));
    EXPECT_TRUE(SealedTestSupport::entries(work).empty());
}

TEST_F(KorvalisEncryptedMediaFileTest, EncryptRefusesUnsetLocationsSpanAndBadKeys) {
    const std::string work = scratch_.subdirectory("work");
    SealedTestSupport::writeFile(scratch_.path(kMediaName), "data");
    const auto prepared = [&](KorvalisEncryptedMediaFile& file) {
        file.setEncryptedLocation(work, kSealedName);
        file.setOriginalLocation(scratch_.directory().string(), kMediaName);
        file.setSourceLocation(scratch_.directory().string(), kMediaName);
        file.setStartTime(10.0);
        file.setEndTime(20.0);
    };
    {
        KorvalisEncryptedMediaFile file;
        prepared(file);
        file.setEndTime(-1.0);
        EXPECT_FALSE(file.encrypt(kKey, 32, "", ""));
    }
    {
        KorvalisEncryptedMediaFile file;
        prepared(file);
        file.setOriginalLocation("", kMediaName);
        EXPECT_FALSE(file.encrypt(kKey, 32, "", ""));
    }
    {
        KorvalisEncryptedMediaFile file;
        prepared(file);
        file.setEncryptedLocation("", "");
        EXPECT_FALSE(file.encrypt(kKey, 32, "", ""));
        // Explicit outputs stand in for the unset location.
        EXPECT_TRUE(file.encrypt(kKey, 32, work, kSealedName));
        fs::remove(work + "/" + kSealedName);
    }
    for (int keyLength : {0, 8, 20, 33}) {
        KorvalisEncryptedMediaFile file;
        prepared(file);
        EXPECT_FALSE(file.encrypt(kKey, keyLength, "", "")) << keyLength;
    }
    for (const char* name : {"..", ".", "a/b.mp3"}) {
        KorvalisEncryptedMediaFile file;
        prepared(file);
        file.setOriginalLocation(scratch_.directory().string(), name);
        EXPECT_FALSE(file.encrypt(kKey, 32, "", "")) << name;
    }
    EXPECT_TRUE(SealedTestSupport::entries(work).empty());
}

TEST_F(KorvalisEncryptedMediaFileTest, NamesThatWouldNotReadBackAreRefused) {
    const std::string work = scratch_.subdirectory("work");
    // XML parsing folds runs of blanks: this name would be restored as "a b.mp3".
    SealedTestSupport::writeFile(scratch_.path("a  b.mp3"), "data");
    KorvalisEncryptedMediaFile file;
    file.setEncryptedLocation(work, "a  b.sealedAudio");
    file.setOriginalLocation(scratch_.directory().string(), "a  b.mp3");
    file.setSourceLocation(scratch_.directory().string(), "a  b.mp3");
    file.setStartTime(10.0);
    file.setEndTime(20.0);
    EXPECT_FALSE(file.encrypt(kKey, 32, "", ""));
    EXPECT_NE(file.getErrorText().find("faithfully"), std::string::npos);
    // A path too long for the trailer area.
    file.setOriginalLocation("/" + std::string(10300, 'd'), "x.mp3");
    file.setSourceLocation(scratch_.directory().string(), "a  b.mp3");
    EXPECT_FALSE(file.encrypt(kKey, 32, "", ""));
    EXPECT_TRUE(SealedTestSupport::entries(work).empty());
    // Markup characters are escaped and read back.
    SealedTestSupport::writeFile(scratch_.path("a&<b>\"'.mp3"), "data");
    file.setOriginalLocation(scratch_.directory().string(), "a&<b>\"'.mp3");
    file.setSourceLocation(scratch_.directory().string(), "a&<b>\"'.mp3");
    ASSERT_TRUE(file.encrypt(kKey, 32, "", ""));
    bool opened = false;
    KorvalisEncryptedMediaFile sealed(work, "a  b.sealedAudio", opened);
    ASSERT_TRUE(opened);
    EXPECT_EQ(sealed.getOriginalFileName(), "a&<b>\"'.mp3");
}

TEST_F(KorvalisEncryptedMediaFileTest, TamperedCiphertextIsNotRestoredAndLeavesNothing) {
    const std::string original = SealedTestSupport::mediaBytes(200000, 3);
    ASSERT_TRUE(seal(original));
    std::string bytes = SealedTestSupport::readFile(sealedPath());
    bytes[123456] ^= 0x01;
    SealedTestSupport::writeFile(sealedPath(), bytes);
    bool opened = false;
    KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
    ASSERT_TRUE(opened);
    const std::string restored = scratch_.subdirectory("restored");
    SealedTestSupport::writeFile(restored + "/" + kMediaName, "previous content");
    EXPECT_FALSE(sealed.decrypt(kKey, 32, restored, ""));
    EXPECT_NE(sealed.getErrorText().find("damaged"), std::string::npos);
    // The file already there is untouched, and no partial file is left beside it.
    EXPECT_EQ(SealedTestSupport::entries(restored), std::vector<std::string>{kMediaName});
    EXPECT_EQ(SealedTestSupport::readFile(restored + "/" + kMediaName), "previous content");
    EXPECT_FALSE(sealed.verify(kKey, 32));
}

TEST_F(KorvalisEncryptedMediaFileTest, WrongKeyIsNotRestored) {
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(70000, 4)));
    bool opened = false;
    KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
    ASSERT_TRUE(opened);
    uint8_t wrong[32];
    std::memcpy(wrong, kKey, sizeof wrong);
    wrong[31] ^= 0x80;
    const std::string restored = scratch_.subdirectory("restored");
    EXPECT_FALSE(sealed.decrypt(wrong, 32, restored, ""));
    EXPECT_NE(sealed.getErrorText().find("key is wrong"), std::string::npos);
    EXPECT_FALSE(sealed.decrypt(kKey, 16, restored, ""));
    EXPECT_NE(sealed.getErrorText().find("32-byte key"), std::string::npos);
    EXPECT_TRUE(SealedTestSupport::entries(restored).empty());
}

TEST_F(KorvalisEncryptedMediaFileTest, ChangedTrailerIsRefusedBeforeWriting) {
    const std::string original = SealedTestSupport::mediaBytes(4000, 5);
    const std::string restored = scratch_.subdirectory("restored");
    const std::pair<std::string, std::string> edits[] = {
        {"keyLengthBytes=\"32\"", "keyLengthBytes=\"16\""},
        {"Mode=\"CFB\"", "Mode=\"CBC\""},
        {">AES<", ">DES<"},
        {"<OriginalFileLength>4000<", "<OriginalFileLength>3999<"},
        {"HashType=\"SHA256\"", "HashType=\"MD5\""},
        {"Iv=\"", "Iv=\"00"},
        {"Iv=\"", "Iv=\"x"},
    };
    for (const auto& [from, to] : edits) {
        SCOPED_TRACE(to);
        ASSERT_TRUE(seal(original));
        if (to == "Iv=\"x") {
            // Drop two digits: 15 bytes of IV.
            const std::string text = trailer();
            const size_t at = text.find("Iv=\"") + 4;
            replaceTrailer(text.substr(0, at) + text.substr(at + 2));
        } else {
            editTrailer(from, to);
        }
        bool opened = false;
        KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
        ASSERT_TRUE(opened);
        EXPECT_FALSE(sealed.decrypt(kKey, 32, restored, ""));
        EXPECT_FALSE(sealed.getErrorText().empty());
        EXPECT_TRUE(SealedTestSupport::entries(restored).empty());
    }
}

TEST_F(KorvalisEncryptedMediaFileTest, RecordedNamesOutsideTheOutputDirectoryAreRefused) {
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(4000, 6)));
    const std::string restored = scratch_.subdirectory("out/restored");
    std::string previous = kMediaName;
    for (const std::string name : {"../escaped.mp3", "..", ".", "sub/x.mp3", "/tmp/x.mp3"}) {
        SCOPED_TRACE(name);
        editTrailer(">" + previous + "<", ">" + name + "<");
        previous = name;
        bool opened = false;
        KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
        ASSERT_TRUE(opened);
        EXPECT_EQ(sealed.getOriginalFileName(), name);
        EXPECT_FALSE(sealed.decrypt(kKey, 32, restored, ""));
        EXPECT_NE(sealed.getErrorText().find("not a plain file name"), std::string::npos);
    }
    EXPECT_TRUE(SealedTestSupport::entries(restored).empty());
    EXPECT_EQ(SealedTestSupport::entries(scratch_.path("out")),
              std::vector<std::string>{"restored"});
}

TEST_F(KorvalisEncryptedMediaFileTest, IncompleteTrailersDoNotParse) {
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(1000, 8)));
    const std::string good = trailer();
    const char* pieces[] = {
        "OriginalFilePath",  "OriginalFileName", "OriginalFileLength", "OriginalFileHash",
        "EncryptedDataHash", "Cipher",           "StartTime",          "EndTime"};
    for (const char* piece : pieces) {
        SCOPED_TRACE(piece);
        const std::string open = std::string("<") + piece;
        std::string text = good;
        const size_t at = text.find(open);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, open.size(), "<Other");
        const size_t close = text.find(std::string("</") + piece + ">");
        if (close != std::string::npos) {
            text.replace(close, std::strlen(piece) + 3, "</Other>");
        }
        KorvalisEncryptedMediaFile file;
        EXPECT_FALSE(file.parseHeader(text));
    }
    const char* attributes[] = {"HashType=\"SHA256\">[0-9A-F]{64}</OriginalFileHash",
                                "HashType=\"SHA256\">[0-9A-F]{64}</EncryptedDataHash",
                                "Iv=\"[0-9A-F]+\"",
                                "keyLengthBytes=\"32\"",
                                "Mode=\"CFB\"",
                                "<StartTime epochTime=\"[0-9.]+\"",
                                "<EndTime epochTime=\"[0-9.]+\""};
    for (const char* attribute : attributes) {
        SCOPED_TRACE(attribute);
        std::string text = good;
        std::smatch match;
        ASSERT_TRUE(std::regex_search(text, match, std::regex(attribute)));
        std::string replacement = match.str();
        const size_t equals = replacement.find('=');
        const size_t nameStart = replacement.find_last_of(" <", equals) + 1;
        replacement.replace(nameStart, equals - nameStart, "renamed");
        text.replace(match.position(), match.length(), replacement);
        KorvalisEncryptedMediaFile file;
        EXPECT_FALSE(file.parseHeader(text));
    }
    for (const std::string bad : {"<OriginalFileLength>many<", "epochTime=\"soon\"",
                                  "keyLengthBytes=\"-1\"", "<OriginalFileLength>-5<"}) {
        SCOPED_TRACE(bad);
        std::string text = good;
        if (bad.find("OriginalFileLength") != std::string::npos) {
            text = std::regex_replace(text, std::regex("<OriginalFileLength>[0-9]+<"), bad);
        } else if (bad.find("epochTime") != std::string::npos) {
            text = std::regex_replace(text, std::regex("epochTime=\"[0-9.]+\""), bad);
        } else {
            text = std::regex_replace(text, std::regex("keyLengthBytes=\"32\""), bad);
        }
        KorvalisEncryptedMediaFile file;
        EXPECT_FALSE(file.parseHeader(text));
    }
    KorvalisEncryptedMediaFile file;
    EXPECT_FALSE(file.parseHeader("<SomethingElse/>"));
    EXPECT_FALSE(file.parseHeader("not xml at all"));
    EXPECT_TRUE(file.parseHeader(good));
}

TEST_F(KorvalisEncryptedMediaFileTest, FilesWithoutAFindableTrailerAreNotSealedFiles) {
    const std::string directory = scratch_.directory().string();
    const auto opens = [&](const std::string& bytes) {
        SealedTestSupport::writeFile(scratch_.path("probe"), bytes);
        bool opened = false;
        KorvalisEncryptedMediaFile file(directory, "probe", opened);
        return opened;
    };
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(50000, 9)));
    const std::string good = SealedTestSupport::readFile(sealedPath());
    const std::string text = trailer();
    EXPECT_TRUE(opens(good));
    // An MP3 file that was never sealed ends with frame data, not '>'.
    EXPECT_FALSE(opens(SealedTestSupport::mediaBytes(50000, 9) + "\x55"));
    EXPECT_FALSE(opens(""));
    // Truncated inside the trailer, or inside the ciphertext.
    EXPECT_FALSE(opens(good.substr(0, good.size() - 10)));
    EXPECT_FALSE(opens(good.substr(0, 20000)));
    // No separator.
    EXPECT_FALSE(opens(text));
    // The largest findable trailer, and one byte more.
    const std::string padding = "<!--" + std::string(10239 - text.size() - 7, 'p') + "-->";
    const std::string longest = padding + text;
    ASSERT_EQ(longest.size(), 10239u);
    EXPECT_TRUE(opens(std::string(100, 'c') + '\0' + longest));
    EXPECT_FALSE(opens(std::string(100, 'c') + '\0' + "<!---->" + longest));
    EXPECT_FALSE(opens(std::string(1, '\0') + "<!---->" + longest));
    // A pipe is no sealed file, and opening one does not wait for a writer.
    ASSERT_EQ(::mkfifo(scratch_.path("pipe").c_str(), 0600), 0);
    bool opened = true;
    KorvalisEncryptedMediaFile pipe(directory, "pipe", opened);
    EXPECT_FALSE(opened);
    KorvalisEncryptedMediaFile missing(directory, "no such file", opened);
    EXPECT_FALSE(opened);
    EXPECT_EQ(missing.getEncryptedFileName(), "no such file");
}

TEST_F(KorvalisEncryptedMediaFileTest, ShortenedSealedDataIsRefusedBeforeWriting) {
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(50000, 10)));
    const std::string good = SealedTestSupport::readFile(sealedPath());
    const std::string text = trailer();
    // Drop 100 bytes of ciphertext but keep separator and trailer.
    SealedTestSupport::writeFile(sealedPath(), good.substr(0, 49900) + '\0' + text);
    bool opened = false;
    KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
    ASSERT_TRUE(opened);
    const std::string restored = scratch_.subdirectory("restored");
    EXPECT_FALSE(sealed.decrypt(kKey, 32, restored, ""));
    EXPECT_NE(sealed.getErrorText().find("49900"), std::string::npos);
    EXPECT_TRUE(SealedTestSupport::entries(restored).empty());
}

TEST_F(KorvalisEncryptedMediaFileTest, WrittenFilesGetNoMoreThanTheUmaskAndTheSourceAllow) {
    const auto modeOf = [](const std::string& path) {
        struct stat status {};
        EXPECT_EQ(::stat(path.c_str(), &status), 0);
        return status.st_mode & 07777;
    };
    const std::string restored = scratch_.subdirectory("restored");
    const std::string restoredPath = restored + "/" + kMediaName;
    const auto restore = [&](mode_t sealedMode) {
        fs::remove(restoredPath);
        ::chmod(sealedPath().c_str(), sealedMode);
        bool opened = false;
        KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
        EXPECT_TRUE(sealed.decrypt(kKey, 32, restored, "")) << sealed.getErrorText();
        return modeOf(restoredPath);
    };
    const mode_t mask = ::umask(077);
    // A world-readable source stays private under a private umask, on both sides.
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(1000, 11)));
    ::chmod((archive_ + "/" + kMediaName).c_str(), 0644);
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(1000, 11)));
    EXPECT_EQ(modeOf(sealedPath()), 0600u);
    EXPECT_EQ(restore(0644), 0600u);
    // Nothing becomes executable.
    ::umask(022);
    ::chmod((archive_ + "/" + kMediaName).c_str(), 0777);
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(1000, 11)));
    EXPECT_EQ(modeOf(sealedPath()), 0644u);
    EXPECT_EQ(restore(0777), 0644u);
    // A source more private than the umask keeps the written file as private.
    ::chmod((archive_ + "/" + kMediaName).c_str(), 0440);
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(1000, 11)));
    EXPECT_EQ(modeOf(sealedPath()), 0440u);
    EXPECT_EQ(restore(0640), 0640u);
    ::umask(mask);
}

TEST_F(KorvalisEncryptedMediaFileTest, OutputsAreNotReplacedWhenTheCallerSaysSo) {
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(3000, 12)));
    const std::string before = SealedTestSupport::readFile(sealedPath());
    KorvalisEncryptedMediaFile file;
    file.setEncryptedLocation(work_, kSealedName);
    file.setOriginalLocation(archive_, kMediaName);
    file.setSourceLocation(archive_, kMediaName);
    file.setStartTime(100.0);
    file.setEndTime(160.0);
    file.setReplaceExisting(false);
    EXPECT_FALSE(file.encrypt(kKey, 32, "", ""));
    EXPECT_TRUE(file.outputExists());
    EXPECT_NE(file.getErrorText().find("exists"), std::string::npos) << file.getErrorText();
    EXPECT_EQ(SealedTestSupport::readFile(sealedPath()), before);
    EXPECT_EQ(SealedTestSupport::entries(work_), std::vector<std::string>{kSealedName});

    // Not even a dangling symbolic link is replaced.
    const std::string restored = scratch_.subdirectory("restored");
    ASSERT_EQ(::symlink("elsewhere", (restored + "/" + kMediaName).c_str()), 0);
    bool opened = false;
    KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
    ASSERT_TRUE(opened);
    sealed.setReplaceExisting(false);
    EXPECT_FALSE(sealed.decrypt(kKey, 32, restored, ""));
    EXPECT_TRUE(sealed.outputExists());
    EXPECT_EQ(fs::read_symlink(restored + "/" + kMediaName), "elsewhere");
    EXPECT_EQ(SealedTestSupport::entries(restored), std::vector<std::string>{kMediaName});
    ASSERT_TRUE(sealed.decrypt(kKey, 32, restored, "free.mp3"));
    EXPECT_FALSE(sealed.outputExists());
}

TEST_F(KorvalisEncryptedMediaFileTest, WrittenFilesAreFlushedWithTheirDirectoryByDefault) {
    FlushRecorder recorder;
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(3000, 13)));
    EXPECT_TRUE(recorder.wasFlushed(sealedPath()));
    EXPECT_TRUE(recorder.wasFlushed(work_));
    bool opened = false;
    KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
    const std::string restored = scratch_.subdirectory("restored");
    ASSERT_TRUE(sealed.decrypt(kKey, 32, restored, ""));
    EXPECT_TRUE(recorder.wasFlushed(restored + "/" + kMediaName));
    EXPECT_TRUE(recorder.wasFlushed(restored));
}

TEST_F(KorvalisEncryptedMediaFileTest, DebrisOfAKilledRunIsRemovedAndReported) {
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(3000, 14)));
    const std::string sealedDebris = SealedTestSupport::leaveDebrisOfAKilledWrite(sealedPath());
    KorvalisEncryptedMediaFile file;
    file.setEncryptedLocation(work_, kSealedName);
    file.setOriginalLocation(archive_, kMediaName);
    file.setSourceLocation(archive_, kMediaName);
    file.setStartTime(100.0);
    file.setEndTime(160.0);
    ASSERT_TRUE(file.encrypt(kKey, 32, "", ""));
    EXPECT_EQ(file.getRemovedTemporaries(), std::vector<std::string>{sealedDebris});
    EXPECT_EQ(SealedTestSupport::entries(work_), std::vector<std::string>{kSealedName});

    const std::string restored = scratch_.subdirectory("restored");
    const std::string restoredDebris =
        SealedTestSupport::leaveDebrisOfAKilledWrite(restored + "/" + kMediaName);
    bool opened = false;
    KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
    ASSERT_TRUE(sealed.decrypt(kKey, 32, restored, ""));
    EXPECT_EQ(sealed.getRemovedTemporaries(), std::vector<std::string>{restoredDebris});
    EXPECT_EQ(SealedTestSupport::entries(restored), std::vector<std::string>{kMediaName});
}

TEST_F(KorvalisEncryptedMediaFileTest, NamesOfEveryLegalLengthAreSealedAndRestored) {
    const std::string work = scratch_.subdirectory("work");
    const std::string name = std::string(251, 'm') + ".mp3";
    const std::string sealedName = std::string(243, 's') + ".sealedAudio";
    ASSERT_EQ(name.size(), 255u);
    ASSERT_EQ(sealedName.size(), 255u);
    const std::string original = SealedTestSupport::mediaBytes(5000, 15);
    SealedTestSupport::writeFile(scratch_.path(name), original);
    KorvalisEncryptedMediaFile file;
    file.setEncryptedLocation(work, sealedName);
    file.setOriginalLocation(scratch_.directory().string(), name);
    file.setSourceLocation(scratch_.directory().string(), name);
    file.setStartTime(10.0);
    file.setEndTime(20.0);
    ASSERT_TRUE(file.encrypt(kKey, 32, "", "")) << file.getErrorText();
    bool opened = false;
    KorvalisEncryptedMediaFile sealed(work, sealedName, opened);
    ASSERT_TRUE(opened);
    const std::string restored = scratch_.subdirectory("restored");
    ASSERT_TRUE(sealed.decrypt(kKey, 32, restored, "")) << sealed.getErrorText();
    EXPECT_EQ(SealedTestSupport::readFile(restored + "/" + name), original);
}

TEST_F(KorvalisEncryptedMediaFileTest, NamesWithControlCharactersAreRefusedBothWays) {
    const std::string work = scratch_.subdirectory("work");
    KorvalisEncryptedMediaFile file;
    file.setEncryptedLocation(work, kSealedName);
    file.setStartTime(10.0);
    file.setEndTime(20.0);
    for (const std::string name :
         {"a\nb.mp3", "a\x1b[2Jb.mp3", "tab\t.mp3", "a\x7f.mp3", "csi\xc2\x9b.mp3"}) {
        SealedTestSupport::writeFile(scratch_.path(name), "data");
        file.setSourceLocation(scratch_.directory().string(), name);
        file.setOriginalLocation(scratch_.directory().string(), name);
        EXPECT_FALSE(file.encrypt(kKey, 32, "", ""));
        EXPECT_NE(file.getErrorText().find("control character"), std::string::npos)
            << file.getErrorText();
        // The refusal names the file without its control characters.
        EXPECT_EQ(file.getErrorText().find_first_of("\n\x1b\t\x7f"), std::string::npos);
        file.setOriginalLocation("/archive/\x1b]0;x\x07", "plain.mp3");
        EXPECT_FALSE(file.encrypt(kKey, 32, "", ""));
        EXPECT_NE(file.getErrorText().find("control character"), std::string::npos);
    }
    EXPECT_TRUE(SealedTestSupport::entries(work).empty());
    // Names in UTF-8 beyond ASCII are welcome.
    SealedTestSupport::writeFile(scratch_.path("Sitzung \xc3\x9f\xe2\x82\xac.mp3"), "data");
    file.setSourceLocation(scratch_.directory().string(), "Sitzung \xc3\x9f\xe2\x82\xac.mp3");
    file.setOriginalLocation(scratch_.directory().string(), "Sitzung \xc3\x9f\xe2\x82\xac.mp3");
    EXPECT_TRUE(file.encrypt(kKey, 32, "", "")) << file.getErrorText();

    // A trailer that records such a name or path is refused when it is read.
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(3000, 16)));
    const std::string good = trailer();
    const std::pair<std::string, std::string> forgeries[] = {
        {">COURT1~", ">x&#10;cipher: forged&#10;COURT1~"},
        {">COURT1~", ">\x1b[2JCOURT1~"},
        {"<OriginalFilePath>", "<OriginalFilePath>&#27;]0;title&#7;"},
    };
    for (const auto& [from, to] : forgeries) {
        SCOPED_TRACE(to);
        replaceTrailer(good);
        editTrailer(from, to);
        bool opened = true;
        KorvalisEncryptedMediaFile sealed(work_, kSealedName, opened);
        EXPECT_FALSE(opened);
        EXPECT_NE(sealed.getErrorText().find("control character"), std::string::npos)
            << sealed.getErrorText();
        EXPECT_EQ(sealed.getErrorText().find_first_of("\n\x1b\x07"), std::string::npos);
        const std::string restored = scratch_.subdirectory("restored");
        EXPECT_FALSE(sealed.decrypt(kKey, 32, restored, ""));
        EXPECT_FALSE(sealed.verify(kKey, 32));
        EXPECT_TRUE(SealedTestSupport::entries(restored).empty());
    }
}

TEST_F(KorvalisEncryptedMediaFileTest, TimesOutsideARecordingsRangeAreRefused) {
    ASSERT_TRUE(seal(SealedTestSupport::mediaBytes(1000, 17)));
    const std::string good = trailer();
    const auto withTimes = [&](const std::string& start, const std::string& end) {
        std::string text = std::regex_replace(good, std::regex("<StartTime epochTime=\"[0-9.]+\""),
                                              "<StartTime epochTime=\"" + start + "\"");
        return std::regex_replace(text, std::regex("<EndTime epochTime=\"[0-9.]+\""),
                                  "<EndTime epochTime=\"" + end + "\"");
    };
    KorvalisEncryptedMediaFile file;
    EXPECT_TRUE(file.parseHeader(withTimes("0.000", "4294967296.000")));
    for (const auto& [start, end] :
         std::vector<std::pair<std::string, std::string>>{{"1e308", "1e308"},
                                                          {"100.000", "1e308"},
                                                          {"-0.001", "100.000"},
                                                          {"-1.000", "100.000"},
                                                          {"100.000", "4294967296.001"},
                                                          {"100.000", "inf"},
                                                          {"nan", "100.000"}}) {
        SCOPED_TRACE(start + " " + end);
        KorvalisEncryptedMediaFile refused;
        EXPECT_FALSE(refused.parseHeader(withTimes(start, end)));
        EXPECT_NE(refused.getErrorText().find("time"), std::string::npos) << refused.getErrorText();
    }
    // Nor is such a span written.
    const std::string work = scratch_.subdirectory("elsewhere");
    KorvalisEncryptedMediaFile sealing;
    sealing.setEncryptedLocation(work, kSealedName);
    sealing.setOriginalLocation(archive_, kMediaName);
    sealing.setSourceLocation(archive_, kMediaName);
    for (const auto& [start, end] :
         std::vector<std::pair<double, double>>{{1e308, 1e308}, {-5.0, 10.0}, {10.0, 5e9}}) {
        sealing.setStartTime(start);
        sealing.setEndTime(end);
        EXPECT_FALSE(sealing.encrypt(kKey, 32, "", ""));
        EXPECT_NE(sealing.getErrorText().find("time"), std::string::npos) << sealing.getErrorText();
    }
    EXPECT_TRUE(SealedTestSupport::entries(work).empty());
}

TEST(KorvalisEncryptedMediaFileNames, SealedNamesFollowTheMediaKind) {
    EXPECT_EQ(KorvalisEncryptedMediaFile::sealedFileNameFor("A~4b9e1a40~0~1~2~3.mp3"),
              "A~4b9e1a40~0~1~2~3.sealedAudio");
    EXPECT_EQ(KorvalisEncryptedMediaFile::sealedFileNameFor("/x.y/V~4b9e1a40~0~1~2~3.KOV"),
              "V~4b9e1a40~0~1~2~3.sealedVideo");
    EXPECT_EQ(KorvalisEncryptedMediaFile::sealedFileNameFor("notes.txt"), "");
    EXPECT_EQ(KorvalisEncryptedMediaFile::sealedFileNameFor("/dir.mp3/noextension"), "");
    EXPECT_EQ(KorvalisEncryptedMediaFile::sealedFileNameFor(".mp3"), "");
}

}  // namespace
