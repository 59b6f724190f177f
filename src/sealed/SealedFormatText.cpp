#include "SealedFormatText.h"

#include <charconv>
#include <cmath>

namespace {

std::string_view trimmed(std::string_view text) {
    const auto isBlank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

template <typename Text>
Text upperHex(const uint8_t* bytes, size_t size) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    Text text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0f]);
    }
    return text;
}

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0.
size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        secondLow = lead == 0xe0 ? 0xa0 : 0x80;
        secondHigh = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        secondLow = lead == 0xf0 ? 0x90 : 0x80;
        secondHigh = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < secondLow || byte(1) > secondHigh) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xbf) {
            return 0;
        }
    }
    return length;
}

// Walks `text`, calling `visit(piece, isControl)` for each character (or stray byte) in order.
template <typename Visit>
void forEachCharacter(std::string_view text, Visit&& visit) {
    while (!text.empty()) {
        const auto lead = static_cast<unsigned char>(text.front());
        size_t length = 1;
        bool control = lead < 0x20 || lead == 0x7f;
        if (lead >= 0x80) {
            length = utf8SequenceLength(text);
            if (length == 0) {
                length = 1;
                control = lead <= 0x9f;
            } else {
                control = lead == 0xc2 && static_cast<unsigned char>(text[1]) <= 0x9f;
            }
        }
        visit(text.substr(0, length), control);
        text.remove_prefix(length);
    }
}

}  // namespace

std::string SealedFormatText::toHex(const uint8_t* bytes, size_t size) {
    return upperHex<std::string>(bytes, size);
}

SecretText SealedFormatText::toSecretHex(const uint8_t* bytes, size_t size) {
    return upperHex<SecretText>(bytes, size);
}

size_t SealedFormatText::fromHex(std::string_view text, uint8_t* bytes, size_t maximumBytes) {
    // The rules of Crypto++'s HexDecoder, counting what does not fit.
    size_t count = 0;
    int high = -1;
    for (const char c : text) {
        int nibble = -1;
        if (c >= '0' && c <= '9') {
            nibble = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            nibble = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            nibble = c - 'a' + 10;
        }
        if (nibble < 0) {
            continue;
        }
        if (high < 0) {
            high = nibble;
            continue;
        }
        if (count < maximumBytes) {
            bytes[count] = static_cast<uint8_t>((high << 4) | nibble);
        }
        ++count;
        high = -1;
    }
    return count;
}

bool SealedFormatText::parseInteger(std::string_view text, int64_t minimum, int64_t maximum,
                                    int64_t& value) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    int64_t parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < minimum ||
        parsed > maximum) {
        return false;
    }
    value = parsed;
    return true;
}

std::string SealedFormatText::formatMilliseconds(double seconds) {
    // Room for any finite double in fixed notation (up to 309 integer digits).
    char buffer[400];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 3);
    return error == std::errc() ? std::string(buffer, end) : std::string("0.000");
}

bool SealedFormatText::parseDouble(std::string_view text, double& value) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double parsed = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

bool SealedFormatText::isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

bool SealedFormatText::hasControlCharacters(std::string_view text) {
    bool found = false;
    forEachCharacter(text, [&](std::string_view, bool control) { found = found || control; });
    return found;
}

std::string SealedFormatText::escapeControlCharacters(std::string_view text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    forEachCharacter(text, [&](std::string_view piece, bool control) {
        if (!control) {
            escaped.append(piece);
            return;
        }
        for (const char c : piece) {
            const auto byte = static_cast<unsigned char>(c);
            escaped += "\\x";
            escaped.push_back(kDigits[byte >> 4]);
            escaped.push_back(kDigits[byte & 0x0f]);
        }
    });
    return escaped;
}

bool SealedFormatText::isRecordingTime(double seconds) {
    return std::isfinite(seconds) && seconds >= 0.0 && seconds <= kLatestRecordingTime;
}
