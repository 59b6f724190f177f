// The key and sealed commands end to end, through the built korvalis tool.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "AtomicFileWriter.h"
#include "SealedTestSupport.h"

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class SealedCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        secret_ = scratch_.path("secret");
        SealedTestSupport::writeFile(secret_, "first user's passphrase\n");
        other_ = scratch_.path("other");
        SealedTestSupport::writeFile(other_, "second user's passphrase\n");
        wrong_ = scratch_.path("wrong");
        SealedTestSupport::writeFile(wrong_, "not it\n");
    }
    // Runs korvalis without a controlling terminal, with its log in the scratch directory.
    Result korvalis(const std::string& arguments) {
        Result result;
        const std::string out = scratch_.path("stdout");
        const std::string err = scratch_.path("stderr");
        std::string status;
        SealedTestSupport::run(shellPrefix_ + "XDG_STATE_HOME='" + scratch_.path("state") +
                                   "' setsid -w " KORVALIS_EXECUTABLE " " + arguments + " >'" +
                                   out + "' 2>'" + err + "' </dev/null; echo -n $?",
                               &status);
        result.status = std::stoi(status);
        result.out = SealedTestSupport::readFile(out);
        result.err = SealedTestSupport::readFile(err);
        return result;
    }
    // Runs korvalis with `arguments`, which name pipe() as the file of the first passphrase it
    // reads. Once korvalis opens the pipe (it has checked its output by then), the shell
    // command `meanwhile` runs; then korvalis gets the passphrase of secret_ and runs on.
    Result korvalisWhile(const std::string& arguments, const std::string& meanwhile) {
        Result result;
        const std::string out = scratch_.path("stdout");
        const std::string err = scratch_.path("stderr");
        const std::string status = scratch_.path("status");
        const std::string script = scratch_.path("meanwhile.sh");
        SealedTestSupport::writeFile(
            script, "rm -f '" + pipe() + "' '" + status + "' && mkfifo '" + pipe() + "'\n" +
                        "(XDG_STATE_HOME='" + scratch_.path("state") +
                        "' setsid -w " KORVALIS_EXECUTABLE " " + arguments + " >'" + out + "' 2>'" +
                        err + "' </dev/null; echo -n $? >'" + status + "') &\n" + "exec 3>'" +
                        pipe() + "'\n" + meanwhile + "\ncat '" + secret_ +
                        "' >&3\nexec 3>&-\nwait\n");
        SealedTestSupport::run("timeout 60 sh '" + script + "'");
        const std::string code = SealedTestSupport::readFile(status);
        result.status = code.empty() ? -1 : std::stoi(code);
        result.out = SealedTestSupport::readFile(out);
        result.err = SealedTestSupport::readFile(err);
        fs::remove(pipe());
        return result;
    }
    std::string pipe() const { return scratch_.path("passphrase-pipe"); }
    // Names of temporary files in `directory`.
    static std::vector<std::string> temporaries(const std::string& directory) {
        std::vector<std::string> found;
        for (const std::string& name : SealedTestSupport::entries(directory)) {
            if (name.rfind(".korvalis-", 0) == 0) {
                found.push_back(name);
            }
        }
        return found;
    }
    static mode_t modeOf(const std::string& path) {
        struct stat status {};
        EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
        return status.st_mode & 07777;
    }
    // Seals `original` into a fresh "sealed" directory with the key; the sealed file's path.
    std::string sealInto(const std::string& original, const std::string& key) {
        const std::string directory = scratch_.subdirectory("sealed");
        const Result sealed = korvalis("sealed seal '" + original + "' --key '" + key +
                                       "' --start 100 --end 160 --out '" + directory +
                                       "' --passphrase-file '" + secret_ + "'");
        EXPECT_EQ(sealed.status, 0) << sealed.err;
        return sealed.out.empty() ? std::string() : sealed.out.substr(0, sealed.out.size() - 1);
    }
    // Replaces `from` by `to` in the trailer of the sealed file at `path`.
    static void editTrailer(const std::string& path, const std::string& from,
                            const std::string& to) {
        std::string bytes = SealedTestSupport::readFile(path);
        const size_t at = bytes.find(from, bytes.rfind('\0'));
        ASSERT_NE(at, std::string::npos) << from;
        SealedTestSupport::writeFile(path, bytes.replace(at, from.size(), to));
    }
    std::string sealedCommand(const std::string& action, const std::string& path,
                              const std::string& key, const std::string& extra = "") {
        return "sealed " + action + " '" + path + "' --key '" + key + "' --passphrase-file '" +
               secret_ + "' " + extra;
    }
    std::string createKey(const std::string& name, const std::string& extra = "") {
        const std::string path = scratch_.path(name);
        const Result created =
            korvalis("key create --user 'Judge Example' --out '" + path +
                     "' --iterations 10 --passphrase-file '" + secret_ + "' " + extra);
        EXPECT_EQ(created.status, 0) << created.err;
        return path;
    }
    std::string media(const std::string& name, size_t size) {
        const std::string path = scratch_.subdirectory("archive") + "/" + name;
        SealedTestSupport::writeFile(path, SealedTestSupport::mediaBytes(size, 42));
        return path;
    }

    SealedTestSupport scratch_;
    std::string shellPrefix_;
    std::string secret_;
    std::string other_;
    std::string wrong_;
};

TEST_F(SealedCommandsTest, KeysAreCreatedSharedAndChecked) {
    const std::string key = createKey("judge.xml");
    EXPECT_EQ(fs::status(key).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    Result check = korvalis("key check --key '" + key + "' --passphrase-file '" + secret_ + "'");
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.out, "Passphrase Ok!\n");
    check = korvalis("key check --key '" + key + "' --passphrase-file '" + wrong_ + "'");
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.err, "Bad passphrase!\n");

    const std::string clerk = scratch_.path("clerk.xml");
    Result added = korvalis("key add-user --key '" + key + "' --user Clerk --out '" + clerk +
                            "' --iterations 12 --passphrase-file '" + secret_ +
                            "' --new-passphrase-file '" + other_ + "'");
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(korvalis("key check --key '" + clerk + "' --passphrase-file '" + other_ + "'").status,
              0);
    EXPECT_EQ(
        korvalis("key check --key '" + clerk + "' --passphrase-file '" + secret_ + "'").status, 1);
    // A wrong passphrase for the existing file makes nothing.
    added = korvalis("key add-user --key '" + key + "' --user X --out '" + scratch_.path("x.xml") +
                     "' --passphrase-file '" + wrong_ + "' --new-passphrase-file '" + other_ + "'");
    EXPECT_EQ(added.status, 1);
    EXPECT_FALSE(fs::exists(scratch_.path("x.xml")));
}

TEST_F(SealedCommandsTest, KeyFilesAreNeverOverwrittenNorMadeWithoutAPassphrase) {
    const std::string key = createKey("judge.xml");
    const std::string before = SealedTestSupport::readFile(key);
    Result again =
        korvalis("key create --user Other --out '" + key + "' --passphrase-file '" + secret_ + "'");
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("never overwritten"), std::string::npos);
    EXPECT_EQ(SealedTestSupport::readFile(key), before);

    SealedTestSupport::writeFile(scratch_.path("empty"), "\n");
    again = korvalis("key create --user Other --out '" + scratch_.path("o.xml") +
                     "' --passphrase-file '" + scratch_.path("empty") + "'");
    EXPECT_EQ(again.status, 1);
    // No terminal and no file: the user is told how to give one.
    again = korvalis("key create --user Other --out '" + scratch_.path("o.xml") + "'");
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("--passphrase-file"), std::string::npos);
    EXPECT_FALSE(fs::exists(scratch_.path("o.xml")));
    // Never from the command line itself.
    EXPECT_EQ(korvalis("key check --key '" + key + "' --passphrase 'x'").status, 2);
    EXPECT_EQ(korvalis("key create --user A --out b.xml --key-bytes 20").status, 2);
    EXPECT_EQ(korvalis("key create --user A --out b.xml --iterations 0").status, 2);
    EXPECT_EQ(korvalis("key frobnicate").status, 2);
    EXPECT_EQ(korvalis("key check --key '" + scratch_.path("missing.xml") +
                       "' --passphrase-file '" + secret_ + "'")
                  .status,
              1);
}

TEST_F(SealedCommandsTest, SealInfoVerifyAndUnseal) {
    const std::string key = createKey("judge.xml");
    const std::string clerk = scratch_.path("clerk.xml");
    ASSERT_EQ(korvalis("key add-user --key '" + key + "' --user Clerk --out '" + clerk +
                       "' --iterations 3 --passphrase-file '" + secret_ +
                       "' --new-passphrase-file '" + other_ + "'")
                  .status,
              0);
    const std::string original = media("COURT1~4b9e1a40~250~1~2~3.mp3", 300001);
    const std::string sealedDirectory = scratch_.subdirectory("sealed");
    Result sealed = korvalis("sealed seal '" + original + "' --key '" + key +
                             "' --start 0x4b9e1a40 --end 1268652668.5 --out '" + sealedDirectory +
                             "' --passphrase-file '" + secret_ + "'");
    ASSERT_EQ(sealed.status, 0) << sealed.err;
    const std::string sealedPath = sealedDirectory + "/COURT1~4b9e1a40~250~1~2~3.sealedAudio";
    EXPECT_EQ(sealed.out, sealedPath + "\n");
    ASSERT_TRUE(fs::exists(sealedPath));

    const Result info = korvalis("sealed info '" + sealedPath + "'");
    ASSERT_EQ(info.status, 0) << info.err;
    const std::regex expected("original_file_path: " + fs::path(original).parent_path().string() +
                              "\n"
                              "original_file_name: COURT1~4b9e1a40~250~1~2~3\\.mp3\n"
                              "original_file_length: 300001\n"
                              "start_time: 1268652608\\.000\n"
                              "end_time: 1268652668\\.500\n"
                              "cipher: AES\nmode: CFB\nkey_length_bytes: 32\n"
                              "iv: [0-9A-F]{32}\n"
                              "original_file_hash: [0-9A-F]{64}\n"
                              "encrypted_data_hash: [0-9A-F]{64}\n"
                              "trailer_length: [0-9]+\n");
    EXPECT_TRUE(std::regex_match(info.out, expected)) << info.out;

    // Any user of the master key may verify and unseal.
    Result verified = korvalis("sealed verify '" + sealedPath + "' --key '" + clerk +
                               "' --passphrase-file '" + other_ + "'");
    EXPECT_EQ(verified.status, 0) << verified.err;
    const std::string restoredDirectory = scratch_.subdirectory("restored");
    Result unsealed = korvalis("sealed unseal '" + sealedPath + "' --key '" + clerk + "' --out '" +
                               restoredDirectory + "' --passphrase-file '" + other_ + "'");
    ASSERT_EQ(unsealed.status, 0) << unsealed.err;
    const std::string restored = restoredDirectory + "/COURT1~4b9e1a40~250~1~2~3.mp3";
    EXPECT_EQ(unsealed.out, restored + "\n");
    EXPECT_EQ(SealedTestSupport::readFile(restored), SealedTestSupport::readFile(original));
    // Nothing is overwritten.
    unsealed = korvalis("sealed unseal '" + sealedPath + "' --key '" + clerk + "' --out '" +
                        restoredDirectory + "' --passphrase-file '" + other_ + "'");
    EXPECT_EQ(unsealed.status, 1);
    sealed =
        korvalis("sealed seal '" + original + "' --key '" + key + "' --start 1 --end 2 --out '" +
                 sealedDirectory + "' --passphrase-file '" + secret_ + "'");
    EXPECT_EQ(sealed.status, 1);
    // A wrong passphrase unseals nothing.
    fs::remove(restored);
    unsealed = korvalis("sealed unseal '" + sealedPath + "' --key '" + clerk + "' --out '" +
                        restoredDirectory + "' --passphrase-file '" + wrong_ + "'");
    EXPECT_EQ(unsealed.status, 1);
    EXPECT_EQ(unsealed.err, "Bad passphrase!\n");
    EXPECT_TRUE(SealedTestSupport::entries(restoredDirectory).empty());
}

TEST_F(SealedCommandsTest, DamagedFilesAndBadArguments) {
    const std::string key = createKey("judge.xml", "--key-bytes 16");
    const std::string video = media("CAM~4b9e1a40~0~1~2~3.kov", 100000);
    const std::string sealedDirectory = scratch_.subdirectory("sealed");
    const Result sealed =
        korvalis("sealed seal '" + video + "' --key '" + key + "' --start 100 --end 160 --out '" +
                 sealedDirectory + "' --passphrase-file '" + secret_ + "'");
    ASSERT_EQ(sealed.status, 0) << sealed.err;
    const std::string sealedPath = sealedDirectory + "/CAM~4b9e1a40~0~1~2~3.sealedVideo";
    EXPECT_NE(korvalis("sealed info '" + sealedPath + "'").out.find("key_length_bytes: 16\n"),
              std::string::npos);

    std::string bytes = SealedTestSupport::readFile(sealedPath);
    bytes[5000] ^= 0x20;
    SealedTestSupport::writeFile(sealedPath, bytes);
    const std::string restoredDirectory = scratch_.subdirectory("restored");
    const Result unsealed =
        korvalis("sealed unseal '" + sealedPath + "' --key '" + key + "' --out '" +
                 restoredDirectory + "' --passphrase-file '" + secret_ + "'");
    EXPECT_EQ(unsealed.status, 1);
    EXPECT_NE(unsealed.err.find("damaged"), std::string::npos);
    EXPECT_TRUE(SealedTestSupport::entries(restoredDirectory).empty());
    EXPECT_EQ(korvalis("sealed verify '" + sealedPath + "' --key '" + key +
                       "' --passphrase-file '" + secret_ + "'")
                  .status,
              1);

    const Result notSealed = korvalis("sealed info '" + video + "'");
    EXPECT_EQ(notSealed.status, 1);
    EXPECT_NE(notSealed.err.find("not a sealed media file"), std::string::npos);
    EXPECT_EQ(korvalis("sealed info '" + scratch_.path("missing") + "'").status, 1);
    SealedTestSupport::writeFile(scratch_.path("notes.txt"), "x");
    EXPECT_EQ(korvalis("sealed seal '" + scratch_.path("notes.txt") + "' --key '" + key +
                       "' --start 1 --end 2 --out '" + sealedDirectory + "'")
                  .status,
              2);
    EXPECT_EQ(korvalis("sealed seal '" + video + "' --key '" + key + "' --start 5 --end 2 --out '" +
                       sealedDirectory + "'")
                  .status,
              2);
    EXPECT_EQ(korvalis("sealed seal '" + video + "' --key k --start soon --end 2 --out d").status,
              2);
    EXPECT_EQ(korvalis("sealed unseal '" + sealedPath + "'").status, 2);
    EXPECT_EQ(korvalis("sealed open '" + sealedPath + "'").status, 2);
    EXPECT_EQ(korvalis("sealed").status, 2);
}

TEST_F(SealedCommandsTest, PassphrasesAppearNowhere) {
    const std::string key = createKey("judge.xml");
    const std::string original = media("A~4b9e1a40~0~1~2~3.mp3", 5000);
    std::string everything;
    for (const std::string& arguments :
         {"key check --key '" + key + "' --passphrase-file '" + secret_ + "'",
          "key check --key '" + key + "' --passphrase-file '" + wrong_ + "'",
          "sealed seal '" + original + "' --key '" + key + "' --start 1 --end 2 --out '" +
              scratch_.directory().string() + "' --passphrase-file '" + secret_ + "'"}) {
        const Result result = korvalis(arguments);
        everything += result.out + result.err;
    }
    for (const auto& entry : fs::recursive_directory_iterator(scratch_.path("state"))) {
        if (entry.is_regular_file()) {
            everything += SealedTestSupport::readFile(entry.path().string());
        }
    }
    EXPECT_NE(everything.find("sealed"), std::string::npos);
    EXPECT_EQ(everything.find("first user's passphrase"), std::string::npos);
    EXPECT_EQ(everything.find("not it"), std::string::npos);
    EXPECT_EQ(SealedTestSupport::readFile(key).find("passphrase\n"), std::string::npos);
}

TEST_F(SealedCommandsTest, OutputsThatAppearWhileACommandRunsAreNeverReplaced) {
    const std::string key = createKey("judge.xml");
    // key create: a file written meanwhile under the name.
    const std::string created = scratch_.path("created.xml");
    Result result = korvalisWhile("key create --user Clerk --out '" + created +
                                      "' --iterations 3 --passphrase-file '" + pipe() + "'",
                                  "echo planted >'" + created + "'");
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find("never overwritten"), std::string::npos) << result.err;
    EXPECT_EQ(SealedTestSupport::readFile(created), "planted\n");
    // key add-user: a dangling symbolic link made meanwhile.
    const std::string added = scratch_.path("added.xml");
    result = korvalisWhile("key add-user --key '" + key + "' --user Clerk --out '" + added +
                               "' --iterations 3 --passphrase-file '" + pipe() +
                               "' --new-passphrase-file '" + other_ + "'",
                           "ln -s nowhere '" + added + "'");
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find("never overwritten"), std::string::npos) << result.err;
    EXPECT_EQ(fs::read_symlink(added), "nowhere");
    EXPECT_TRUE(temporaries(scratch_.directory().string()).empty());

    // sealed seal and unseal.
    const std::string original = media("COURT1~4b9e1a40~0~1~2~3.mp3", 200000);
    const std::string sealedDirectory = scratch_.subdirectory("sealed");
    const std::string sealedPath = sealedDirectory + "/COURT1~4b9e1a40~0~1~2~3.sealedAudio";
    result = korvalisWhile("sealed seal '" + original + "' --key '" + key +
                               "' --start 100 --end 160 --out '" + sealedDirectory +
                               "' --passphrase-file '" + pipe() + "'",
                           "echo planted >'" + sealedPath + "'");
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find("exists"), std::string::npos) << result.err;
    EXPECT_EQ(SealedTestSupport::readFile(sealedPath), "planted\n");
    EXPECT_EQ(SealedTestSupport::entries(sealedDirectory),
              std::vector<std::string>{"COURT1~4b9e1a40~0~1~2~3.sealedAudio"});

    fs::remove(sealedPath);
    ASSERT_EQ(sealInto(original, key), sealedPath);
    const std::string restoredDirectory = scratch_.subdirectory("restored");
    const std::string restored = restoredDirectory + "/COURT1~4b9e1a40~0~1~2~3.mp3";
    result = korvalisWhile("sealed unseal '" + sealedPath + "' --key '" + key + "' --out '" +
                               restoredDirectory + "' --passphrase-file '" + pipe() + "'",
                           "ln -s nowhere '" + restored + "'");
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find("exists"), std::string::npos) << result.err;
    EXPECT_EQ(fs::read_symlink(restored), "nowhere");
    EXPECT_EQ(SealedTestSupport::entries(restoredDirectory),
              std::vector<std::string>{"COURT1~4b9e1a40~0~1~2~3.mp3"});
    // Checked before the passphrase is asked, a dangling link counts as taken too.
    result =
        korvalis(sealedCommand("unseal", sealedPath, key, "--out '" + restoredDirectory + "'"));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("exists"), std::string::npos) << result.err;
}

TEST_F(SealedCommandsTest, WrittenFilesFollowTheUmaskNotTheSourcesMode) {
    const std::string key = createKey("judge.xml");
    const std::string original = media("COURT1~4b9e1a40~0~1~2~3.mp3", 5000);
    const std::string restoredDirectory = scratch_.subdirectory("restored");
    const std::string restored = restoredDirectory + "/COURT1~4b9e1a40~0~1~2~3.mp3";
    for (const auto& [umask, sourceMode, expected] :
         {std::tuple{"077", 0644, 0600}, std::tuple{"022", 0777, 0644}}) {
        SCOPED_TRACE(umask);
        fs::remove_all(scratch_.path("sealed"));
        fs::remove(restored);
        ASSERT_EQ(::chmod(original.c_str(), static_cast<mode_t>(sourceMode)), 0);
        shellPrefix_ = std::string("umask ") + umask + "; ";
        const std::string sealedPath = sealInto(original, key);
        ASSERT_FALSE(sealedPath.empty());
        EXPECT_EQ(modeOf(sealedPath), static_cast<mode_t>(expected));
        ASSERT_EQ(::chmod(sealedPath.c_str(), static_cast<mode_t>(sourceMode)), 0);
        const Result unsealed =
            korvalis(sealedCommand("unseal", sealedPath, key, "--out '" + restoredDirectory + "'"));
        ASSERT_EQ(unsealed.status, 0) << unsealed.err;
        EXPECT_EQ(modeOf(restored), static_cast<mode_t>(expected));
    }
}

TEST_F(SealedCommandsTest, DebrisOfAKilledRunIsRemovedAndReported) {
    const std::string key = createKey("judge.xml");
    const std::string original = media("COURT1~4b9e1a40~0~1~2~3.mp3", 5000);
    const std::string sealedDirectory = scratch_.subdirectory("sealed");
    const std::string sealedDebris = SealedTestSupport::leaveDebrisOfAKilledWrite(
        sealedDirectory + "/COURT1~4b9e1a40~0~1~2~3.sealedAudio");
    const Result sealed = korvalis("sealed seal '" + original + "' --key '" + key +
                                   "' --start 100 --end 160 --out '" + sealedDirectory +
                                   "' --passphrase-file '" + secret_ + "'");
    ASSERT_EQ(sealed.status, 0) << sealed.err;
    EXPECT_NE(sealed.err.find("removed " + sealedDebris), std::string::npos) << sealed.err;
    EXPECT_NE(sealed.err.find("interrupted"), std::string::npos) << sealed.err;
    EXPECT_EQ(SealedTestSupport::entries(sealedDirectory),
              std::vector<std::string>{"COURT1~4b9e1a40~0~1~2~3.sealedAudio"});

    const std::string restoredDirectory = scratch_.subdirectory("restored");
    const std::string restoredDebris = SealedTestSupport::leaveDebrisOfAKilledWrite(
        restoredDirectory + "/COURT1~4b9e1a40~0~1~2~3.mp3");
    const Result unsealed =
        korvalis(sealedCommand("unseal", sealedDirectory + "/COURT1~4b9e1a40~0~1~2~3.sealedAudio",
                               key, "--out '" + restoredDirectory + "'"));
    ASSERT_EQ(unsealed.status, 0) << unsealed.err;
    EXPECT_NE(unsealed.err.find("removed " + restoredDebris), std::string::npos) << unsealed.err;
    EXPECT_EQ(SealedTestSupport::entries(restoredDirectory),
              std::vector<std::string>{"COURT1~4b9e1a40~0~1~2~3.mp3"});
}

TEST_F(SealedCommandsTest, NamesUpToTheLongestLegalOneAreSealedAndRestored) {
    const std::string key = createKey("judge.xml");
    // The sealed name ".sealedAudio" is 8 bytes longer than ".mp3": 255 bytes.
    const std::string name = std::string(243, 'L') + ".mp3";
    const std::string original = media(name, 70000);
    const std::string sealedPath = sealInto(original, key);
    ASSERT_EQ(fs::path(sealedPath).filename().string().size(), 255u);
    const std::string restoredDirectory = scratch_.subdirectory("restored");
    const Result unsealed =
        korvalis(sealedCommand("unseal", sealedPath, key, "--out '" + restoredDirectory + "'"));
    ASSERT_EQ(unsealed.status, 0) << unsealed.err;
    EXPECT_EQ(SealedTestSupport::readFile(restoredDirectory + "/" + name),
              SealedTestSupport::readFile(original));
}

TEST_F(SealedCommandsTest, ControlCharactersNeverReachTheTerminal) {
    const std::string key = createKey("judge.xml");
    const std::string original = media("COURT1~4b9e1a40~0~1~2~3.mp3", 5000);
    const std::string sealedPath = sealInto(original, key);
    const std::string good = SealedTestSupport::readFile(sealedPath);
    const std::string restoredDirectory = scratch_.subdirectory("restored");
    // A forged name that would print a line of its own and clear the screen.
    editTrailer(sealedPath, "<OriginalFileName>",
                "<OriginalFileName>&#27;[2Jx&#10;cipher: forged&#10;");
    for (const std::string action : {"info", "verify", "unseal"}) {
        SCOPED_TRACE(action);
        const Result result =
            action == "info" ? korvalis("sealed info '" + sealedPath + "'")
                             : korvalis(sealedCommand(
                                   action, sealedPath, key,
                                   action == "unseal" ? "--out '" + restoredDirectory + "'" : ""));
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("control characters"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("\\x1B[2Jx\\x0Acipher: forged"), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find_first_of("\x1b"), std::string::npos);
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
        EXPECT_EQ(result.out.find("forged"), std::string::npos);
    }
    EXPECT_TRUE(SealedTestSupport::entries(restoredDirectory).empty());
    // Fields shown as they are read are shown with their control characters escaped.
    SealedTestSupport::writeFile(sealedPath, good);
    editTrailer(sealedPath, ">AES<", ">AES&#27;[31m<");
    const Result info = korvalis("sealed info '" + sealedPath + "'");
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("\ncipher: AES\\x1B[31m\n"), std::string::npos) << info.out;

    // Nor is such a name sealed.
    const std::string strange = media("a\nb~4b9e1a40~0~1~2~3.mp3", 100);
    const Result sealed =
        korvalis("sealed seal '" + strange + "' --key '" + key + "' --start 1 --end 2 --out '" +
                 scratch_.subdirectory("strange") + "' --passphrase-file '" + secret_ + "'");
    EXPECT_EQ(sealed.status, 1);
    EXPECT_NE(sealed.err.find("control characters"), std::string::npos) << sealed.err;
    EXPECT_TRUE(SealedTestSupport::entries(scratch_.path("strange")).empty());
}

TEST_F(SealedCommandsTest, BlankUserNamesAreRefusedWithAMessageAboutTheName) {
    const std::string key = createKey("judge.xml");
    for (const std::string name : {"   ", "\t", "Judge\x1b[2J"}) {
        Result result =
            korvalis("key create --user '" + name + "' --out '" + scratch_.path("blank.xml") +
                     "' --passphrase-file '" + secret_ + "'");
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err.find("user name"), std::string::npos) << result.err;
        result = korvalis("key add-user --key '" + key + "' --user '" + name + "' --out '" +
                          scratch_.path("blank.xml") + "' --passphrase-file '" + secret_ +
                          "' --new-passphrase-file '" + other_ + "'");
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err.find("user name"), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\x1b'), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(scratch_.path("blank.xml")));
}

TEST_F(SealedCommandsTest, TrailerTimesOutsideARecordingAreRefused) {
    const std::string key = createKey("judge.xml");
    const std::string sealedPath = sealInto(media("COURT1~4b9e1a40~0~1~2~3.mp3", 5000), key);
    editTrailer(sealedPath, "<StartTime epochTime=\"100.000\"", "<StartTime epochTime=\"1e308\"");
    const Result info = korvalis("sealed info '" + sealedPath + "'");
    EXPECT_EQ(info.status, 1);
    EXPECT_NE(info.err.find("StartTime \"1e308\" is not a time a recording can have"),
              std::string::npos)
        << info.err;
    EXPECT_EQ(info.out, "");
    EXPECT_EQ(korvalis(sealedCommand("verify", sealedPath, key)).status, 1);
}

}  // namespace
