#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Reading and writing UTF-8 one character at a time.
class Utf8Text {
public:
    // The length in bytes (1 to 4) of the well-formed UTF-8 character at `position` of `text`,
    // whose code point goes to `codePoint`; 0 when the bytes there are not one (a stray
    // continuation byte, a cut or overlong sequence, a surrogate, a value past U+10FFFF).
    static size_t characterLength(std::string_view text, size_t position, char32_t& codePoint);
    // True when all of `text` is well-formed UTF-8.
    static bool isWellFormed(std::string_view text);
    // Appends `codePoint` (at most U+10FFFF, no surrogate) in UTF-8.
    static void append(std::string& text, char32_t codePoint);
    // Appends `bytes`, reading every byte that is no part of a well-formed UTF-8 character as a
    // character of the Windows code page 1252 (older records were written in it), so that the
    // result is well-formed UTF-8 and loses nothing.
    static void appendRepaired(std::string& text, std::string_view bytes);
};
