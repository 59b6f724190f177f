#pragma once

#include <string>
#include <string_view>

// Text from files (records, names, trailers) made safe to show on a terminal: control
// characters, which a terminal would obey (escape sequences, carriage returns, bells), are shown
// as "\xHH" for each of their bytes, as are bytes that are no part of a UTF-8 character.
class TerminalText {
public:
    enum class LineBreaks { kEscape, kKeep };

    // The C0 controls, DEL and the C1 controls (U+0080 to U+009F) escaped; with
    // LineBreaks::kKeep, line feeds and tabs are kept as they are. Everything else, backslashes
    // included, is left as it is.
    static std::string escaped(std::string_view text, LineBreaks lineBreaks = LineBreaks::kEscape);
};
