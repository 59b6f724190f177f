#include "TerminalText.h"

#include <cstdio>

#include "Utf8Text.h"

namespace {

void appendEscapedBytes(std::string& out, std::string_view bytes) {
    for (const char c : bytes) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(c));
        out += escape;
    }
}

}  // namespace

std::string TerminalText::escaped(std::string_view text, LineBreaks lineBreaks) {
    std::string out;
    out.reserve(text.size());
    size_t position = 0;
    char32_t c = 0;
    while (position < text.size()) {
        size_t length = Utf8Text::characterLength(text, position, c);
        const bool isControl = length == 0 || c < 0x20 || (c >= 0x7F && c <= 0x9F);
        const bool kept = lineBreaks == LineBreaks::kKeep && (c == '\n' || c == '\t');
        if (length == 0) {
            length = 1;
        }
        if (isControl && !kept) {
            appendEscapedBytes(out, text.substr(position, length));
        } else {
            out.append(text.substr(position, length));
        }
        position += length;
    }
    return out;
}
