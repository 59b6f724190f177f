#include "Utf8Text.h"

namespace {

// Windows code page 1252 from 0x80 to 0x9F; its five unassigned bytes read as in ISO-8859-1.
constexpr char32_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

size_t Utf8Text::characterLength(std::string_view text, size_t position, char32_t& codePoint) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[position + i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - position < length) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    codePoint = value;
    return length;
}

bool Utf8Text::isWellFormed(std::string_view text) {
    size_t position = 0;
    char32_t codePoint = 0;
    while (position < text.size()) {
        const size_t length = characterLength(text, position, codePoint);
        if (length == 0) {
            return false;
        }
        position += length;
    }
    return true;
}

void Utf8Text::append(std::string& text, char32_t codePoint) {
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        text += static_cast<char>(0xC0 | (codePoint >> 6));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        text += static_cast<char>(0xE0 | (codePoint >> 12));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (codePoint >> 18));
        text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

void Utf8Text::appendRepaired(std::string& text, std::string_view bytes) {
    size_t position = 0;
    char32_t codePoint = 0;
    while (position < bytes.size()) {
        const size_t length = characterLength(bytes, position, codePoint);
        if (length > 0) {
            text.append(bytes.substr(position, length));
            position += length;
            continue;
        }
        const auto byte = static_cast<unsigned char>(bytes[position++]);
        append(text, byte >= 0x80 && byte <= 0x9F ? kWindows1252[byte - 0x80] : byte);
    }
}
