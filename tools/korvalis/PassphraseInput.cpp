#include "PassphraseInput.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "SystemError.h"

namespace {

// The terminal whose echo is off, for the signal handler to restore.
volatile sig_atomic_t gEchoOffTerminal = -1;
struct termios gSavedSettings;

void restoreTerminalAndDie(int signalNumber) {
    if (gEchoOffTerminal >= 0) {
        ::tcsetattr(gEchoOffTerminal, TCSAFLUSH, &gSavedSettings);
    }
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

constexpr int kRestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

// Echo off for the lifetime of the object; the settings come back on every way out.
class EchoOff {
public:
    explicit EchoOff(int terminal) : terminal_(terminal) {
        if (::tcgetattr(terminal, &saved_) != 0) {
            return;
        }
        struct termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK);
        quiet.c_lflag |= ECHONL | ICANON;
        gSavedSettings = saved_;
        struct sigaction action {};
        action.sa_handler = restoreTerminalAndDie;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kRestoringSignals); ++i) {
            ::sigaction(kRestoringSignals[i], &action, &previous_[i]);
        }
        gEchoOffTerminal = terminal;
        active_ = ::tcsetattr(terminal, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff() {
        if (gEchoOffTerminal >= 0) {
            ::tcsetattr(terminal_, TCSAFLUSH, &saved_);
            gEchoOffTerminal = -1;
            for (size_t i = 0; i < std::size(kRestoringSignals); ++i) {
                ::sigaction(kRestoringSignals[i], &previous_[i], nullptr);
            }
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    bool active() const { return active_; }

private:
    int terminal_;
    struct termios saved_ {};
    struct sigaction previous_[std::size(kRestoringSignals)]{};
    bool active_ = false;
};

}  // namespace

PassphraseInput::PassphraseInput() {
    clear();
}

PassphraseInput::~PassphraseInput() {
    clear();
}

void PassphraseInput::clear() {
    ::explicit_bzero(buffer_, sizeof buffer_);
    size_ = 0;
}

bool PassphraseInput::sameAs(const PassphraseInput& other) const {
    return size_ == other.size_ && std::memcmp(buffer_, other.buffer_, size_) == 0;
}

// Reads up to the first line end, one byte at a time so nothing beyond it is consumed.
bool PassphraseInput::readLine(int descriptor) {
    clear();
    error_.clear();
    bool sawAnything = false;
    for (;;) {
        uint8_t byte = 0;
        const ssize_t got = ::read(descriptor, &byte, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error_ = SystemError::last();
            clear();
            return false;
        }
        if (got == 0) {
            if (!sawAnything) {
                error_ = "no passphrase was given";
                return false;
            }
            break;
        }
        sawAnything = true;
        if (byte == '\n') {
            break;
        }
        if (size_ == kMaximumBytes) {
            error_ = "the passphrase is longer than " + std::to_string(kMaximumBytes) + " bytes";
            clear();
            return false;
        }
        buffer_[size_++] = byte;
    }
    if (size_ > 0 && buffer_[size_ - 1] == '\r') {
        buffer_[--size_] = 0;
    }
    return true;
}

bool PassphraseInput::readFromFile(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        error_ = "cannot read " + path + ": " + SystemError::last();
        clear();
        return false;
    }
    bool ok = readLine(descriptor);
    if (!ok && error_ == "no passphrase was given") {
        ok = true;  // An empty file holds the empty passphrase.
        error_.clear();
    }
    ::close(descriptor);
    if (!ok) {
        error_ = path + ": " + error_;
    }
    return ok;
}

bool PassphraseInput::readFromTerminal(const std::string& prompt, int terminal) {
    int owned = -1;
    if (terminal < 0) {
        owned = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (owned < 0) {
            error_ = "there is no terminal to ask for the passphrase";
            clear();
            return false;
        }
        terminal = owned;
    }
    bool ok = false;
    {
        EchoOff echoOff(terminal);
        if (!echoOff.active()) {
            error_ = "cannot turn off the terminal's echo";
        } else {
            ok = ::write(terminal, prompt.data(), prompt.size()) ==
                     static_cast<ssize_t>(prompt.size()) &&
                 readLine(terminal);
            if (!ok && error_.empty()) {
                error_ = "cannot write to the terminal";
            }
        }
    }
    if (owned >= 0) {
        ::close(owned);
    }
    return ok;
}
