#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One passphrase for one command: read from the terminal without echo, or from the first line of
// a file; never from the command line. Held in a fixed buffer that is wiped when the object goes.
// Nothing here logs or prints the passphrase.
class PassphraseInput {
public:
    // Longest passphrase accepted, bytes.
    static constexpr size_t kMaximumBytes = 1023;

    PassphraseInput();
    ~PassphraseInput();
    PassphraseInput(const PassphraseInput&) = delete;
    PassphraseInput& operator=(const PassphraseInput&) = delete;

    // The first line of the file at `path`, without its line end ("\n" or "\r\n"); an empty
    // file gives the empty passphrase. False (see error()) when the file cannot be read or the
    // line is longer than kMaximumBytes.
    bool readFromFile(const std::string& path);

    // Writes `prompt` to the terminal, reads one line with echo off and restores the terminal's
    // settings (also when the process is interrupted meanwhile). `terminal` is an open terminal
    // descriptor, or -1 for the process's controlling terminal. False (see error()) when there
    // is no terminal, input ends before a line, or the line is too long.
    bool readFromTerminal(const std::string& prompt, int terminal = -1);

    const uint8_t* bytes() const { return buffer_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    bool sameAs(const PassphraseInput& other) const;
    // Why the last read failed, in words.
    const std::string& error() const { return error_; }

private:
    void clear();
    bool readLine(int descriptor);

    uint8_t buffer_[kMaximumBytes + 1];
    size_t size_ = 0;
    std::string error_;
};
