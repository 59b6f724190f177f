#include "SealedFormatText.h"

#include <charconv>
#include <cmath>

#include "TerminalText.h"
#include "Utf8Text.h"

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
    size_t position = 0;
    while (position < text.size()) {
        char32_t c = 0;
        const size_t length = Utf8Text::characterLength(text, position, c);
        if (length == 0) {
            // A stray byte of the C1 range counts as the control it would be in Latin-1.
            const auto byte = static_cast<unsigned char>(text[position]);
            if (byte >= 0x80 && byte <= 0x9f) {
                return true;
            }
            ++position;
            continue;
        }
        if (c < 0x20 || (c >= 0x7f && c <= 0x9f)) {
            return true;
        }
        position += length;
    }
    return false;
}

std::string SealedFormatText::escapeControlCharacters(std::string_view text) {
    return TerminalText::escaped(text);
}

bool SealedFormatText::isRecordingTime(double seconds) {
    return std::isfinite(seconds) && seconds >= 0.0 && seconds <= kLatestRecordingTime;
}
