#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "PassphraseInput.h"
#include "TemporaryDirectory.h"

namespace fs = std::filesystem;

namespace {

std::string text(const PassphraseInput& passphrase) {
    return std::string(reinterpret_cast<const char*>(passphrase.bytes()), passphrase.size());
}

class PassphraseFileTest : public ::testing::Test {
protected:
    std::string write(const std::string& bytes) {
        const std::string path = scratch_.file("passphrase");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }
    TemporaryDirectory scratch_{"passphrase-"};
};

TEST_F(PassphraseFileTest, TakesTheFirstLineWithoutItsLineEnd) {
    PassphraseInput passphrase;
    ASSERT_TRUE(passphrase.readFromFile(write("correct horse\nsecond line\n")));
    EXPECT_EQ(text(passphrase), "correct horse");
    ASSERT_TRUE(passphrase.readFromFile(write("dos line\r\nmore")));
    EXPECT_EQ(text(passphrase), "dos line");
    ASSERT_TRUE(passphrase.readFromFile(write("  blanks kept  ")));
    EXPECT_EQ(text(passphrase), "  blanks kept  ");
    ASSERT_TRUE(passphrase.readFromFile(write("")));
    EXPECT_TRUE(passphrase.empty());
    ASSERT_TRUE(passphrase.readFromFile(write("\nsecond")));
    EXPECT_TRUE(passphrase.empty());
}

TEST_F(PassphraseFileTest, RefusesMissingFilesAndOverlongLines) {
    PassphraseInput passphrase;
    EXPECT_FALSE(passphrase.readFromFile(scratch_.file("missing")));
    EXPECT_NE(passphrase.error().find("missing"), std::string::npos);
    EXPECT_TRUE(passphrase.readFromFile(write(std::string(PassphraseInput::kMaximumBytes, 'x'))));
    EXPECT_EQ(passphrase.size(), PassphraseInput::kMaximumBytes);
    EXPECT_FALSE(
        passphrase.readFromFile(write(std::string(PassphraseInput::kMaximumBytes + 1, 'x'))));
    EXPECT_TRUE(passphrase.empty());
    EXPECT_NE(passphrase.error().find("longer"), std::string::npos);
}

TEST(PassphraseInputTest, SameAsComparesBytes) {
    PassphraseInput a;
    PassphraseInput b;
    EXPECT_TRUE(a.sameAs(b));
    TemporaryDirectory scratch("passphrase-same-");
    const std::string path = scratch.file("passphrase");
    std::ofstream(path) << "abc\n";
    ASSERT_TRUE(a.readFromFile(path));
    EXPECT_FALSE(a.sameAs(b));
    ASSERT_TRUE(b.readFromFile(path));
    EXPECT_TRUE(a.sameAs(b));
}

// A pseudo-terminal stands in for the user's terminal.
class PassphraseTerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(::grantpt(master_), 0);
        ASSERT_EQ(::unlockpt(master_), 0);
        terminal_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal_, 0);
    }
    void TearDown() override {
        ::close(terminal_);
        ::close(master_);
    }
    bool echoIsOn() const {
        struct termios settings {};
        ::tcgetattr(terminal_, &settings);
        return (settings.c_lflag & ECHO) != 0;
    }
    // Types `line` once the reader has turned the echo off.
    std::thread typeWhenQuiet(const std::string& line) {
        return std::thread([this, line] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (echoIsOn() && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            EXPECT_EQ(::write(master_, line.data(), line.size()),
                      static_cast<ssize_t>(line.size()));
        });
    }
    // Everything the terminal showed so far.
    std::string shown() const {
        std::string all;
        char buffer[256];
        struct pollfd ready {
            master_, POLLIN, 0
        };
        while (::poll(&ready, 1, 100) > 0 && (ready.revents & POLLIN) != 0) {
            const ssize_t got = ::read(master_, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            all.append(buffer, static_cast<size_t>(got));
        }
        return all;
    }

    int master_ = -1;
    int terminal_ = -1;
};

TEST_F(PassphraseTerminalTest, ReadsALineWithoutEchoAndRestoresTheTerminal) {
    ASSERT_TRUE(echoIsOn());
    std::thread typist = typeWhenQuiet("tr0ub4dor&3\n");
    PassphraseInput passphrase;
    const bool ok = passphrase.readFromTerminal("Passphrase: ", terminal_);
    typist.join();
    ASSERT_TRUE(ok) << passphrase.error();
    EXPECT_EQ(text(passphrase), "tr0ub4dor&3");
    EXPECT_TRUE(echoIsOn());
    const std::string screen = shown();
    EXPECT_NE(screen.find("Passphrase: "), std::string::npos);
    EXPECT_EQ(screen.find("tr0ub4dor"), std::string::npos) << screen;
}

TEST_F(PassphraseTerminalTest, EndOfInputIsNoPassphrase) {
    std::thread typist = typeWhenQuiet("\x04");  // Ctrl-D on an empty line.
    PassphraseInput passphrase;
    EXPECT_FALSE(passphrase.readFromTerminal("Passphrase: ", terminal_));
    typist.join();
    EXPECT_FALSE(passphrase.error().empty());
    EXPECT_TRUE(echoIsOn());
}

TEST(PassphraseInputTest, NoTerminalIsReported) {
    PassphraseInput passphrase;
    const int notATerminal = ::open("/dev/null", O_RDWR);
    EXPECT_FALSE(passphrase.readFromTerminal("Passphrase: ", notATerminal));
    EXPECT_FALSE(passphrase.error().empty());
    ::close(notATerminal);
}

}  // namespace
