#include "PlayTerminal.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

PlayTerminal::~PlayTerminal() {
    leave();
}

bool PlayTerminal::isInteractive() {
    return isatty(STDIN_FILENO) == 1 && isatty(STDOUT_FILENO) == 1;
}

bool PlayTerminal::enter() {
    if (entered_) {
        return true;
    }
    if (tcgetattr(STDIN_FILENO, &saved_) != 0) {
        return false;
    }
    termios raw = saved_;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) {
        return false;
    }
    entered_ = true;
    std::fputs("\x1b[?25l", stdout);
    std::fflush(stdout);
    return true;
}

void PlayTerminal::leave() {
    if (!entered_) {
        return;
    }
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    entered_ = false;
    std::fputs("\x1b[?25h\n", stdout);
    std::fflush(stdout);
}

std::vector<PlayTerminal::KeyPress> PlayTerminal::readKeys(int timeoutMilliseconds) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, timeoutMilliseconds) > 0 && (input.revents & POLLIN) != 0) {
        char bytes[64];
        const ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
        if (count > 0) {
            pendingBytes_.append(bytes, static_cast<size_t>(count));
        } else if (count == 0) {
            // The end of the input quits as q does.
            pendingBytes_.push_back('\x04');
        }
    }
    // An escape sequence may be split across reads: keep an incomplete one for the next call.
    std::string_view complete = pendingBytes_;
    std::string rest;
    const size_t escape = pendingBytes_.rfind('\x1b');
    if (escape != std::string::npos && pendingBytes_.size() - escape < 3 &&
        timeoutMilliseconds > 0) {
        complete = std::string_view(pendingBytes_).substr(0, escape);
        rest = pendingBytes_.substr(escape);
    }
    std::vector<KeyPress> keys = decodeKeys(complete);
    pendingBytes_ = rest;
    return keys;
}

std::vector<PlayTerminal::KeyPress> PlayTerminal::decodeKeys(std::string_view bytes) {
    std::vector<KeyPress> keys;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\x1b' && i + 2 < bytes.size() && (bytes[i + 1] == '[' || bytes[i + 1] == 'O')) {
            const char code = bytes[i + 2];
            i += 2;
            switch (code) {
                case 'A':
                    keys.push_back({Key::kFaster, 0});
                    break;
                case 'B':
                    keys.push_back({Key::kSlower, 0});
                    break;
                case 'C':
                    keys.push_back({Key::kAdvance, 0});
                    break;
                case 'D':
                    keys.push_back({Key::kRewind, 0});
                    break;
                default:
                    // Other sequences (function keys): skip to their final byte.
                    while (i < bytes.size() && !(bytes[i] >= '@' && bytes[i] <= '~')) {
                        ++i;
                    }
                    break;
            }
        } else if (c == ' ') {
            keys.push_back({Key::kPlayStop, 0});
        } else if (c >= '1' && c <= '9') {
            keys.push_back({Key::kChannel, static_cast<unsigned>(c - '1')});
        } else if (c == 'f' || c == 'F') {
            keys.push_back({Key::kFollow, 0});
        } else if (c == 'q' || c == 'Q' || c == '\x03' || c == '\x04') {
            keys.push_back({Key::kQuit, 0});
        }
    }
    return keys;
}

void PlayTerminal::drawStatus(const std::string& line) {
    lastStatus_ = line;
    std::fprintf(stdout, "\r%s\x1b[K", line.c_str());
    std::fflush(stdout);
}

void PlayTerminal::printLine(const std::string& line) {
    std::fprintf(stdout, "\r\x1b[K%s\n%s", line.c_str(), lastStatus_.c_str());
    std::fflush(stdout);
}

std::string PlayTerminal::clockText(double epochTime, int offsetSeconds) {
    const long long local = static_cast<long long>(std::floor(epochTime)) + offsetSeconds;
    const long long secondOfDay = ((local % 86400) + 86400) % 86400;
    int hour = static_cast<int>(secondOfDay / 3600);
    const int minute = static_cast<int>(secondOfDay / 60 % 60);
    const int second = static_cast<int>(secondOfDay % 60);
    const bool afternoon = hour >= 12;
    if (hour > 12) {
        hour -= 12;
    } else if (hour == 0) {
        hour = 12;
    }
    char text[16];
    std::snprintf(text, sizeof text, afternoon ? "%.2d:%.2d:%.2d PM" : "%.2d:%.2d:%.2d AM", hour,
                  minute, second);
    return text;
}

std::string PlayTerminal::elapsedText(double seconds) {
    const long long whole = seconds > 0.0 ? static_cast<long long>(seconds) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
    return text;
}

std::string PlayTerminal::statusLine(const std::string& clock, const std::string& elapsed,
                                     const std::string& speed, bool playing, bool following,
                                     const std::vector<ChannelLevel>& channels) {
    std::string line = std::string(playing ? "> " : "| ") + clock + "  " + elapsed + "  " + speed;
    line += following ? "  follow" : "";
    for (size_t channel = 0; channel < channels.size(); ++channel) {
        line += "  " + std::to_string(channel + 1) + "[";
        if (channels[channel].muted) {
            line += std::string("muted---").substr(0, kBarWidth);
        } else {
            const float level = std::clamp(channels[channel].level, 0.0f, 1.0f);
            const int filled = static_cast<int>(std::lround(level * kBarWidth));
            line += std::string(static_cast<size_t>(filled), '#') +
                    std::string(static_cast<size_t>(kBarWidth - filled), ' ');
        }
        line += "]";
    }
    return line;
}
