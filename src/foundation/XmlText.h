#pragma once

#include <string_view>

class TiXmlDocument;
class TiXmlElement;

// Hands XML text to TinyXML safely. TinyXML steps over the terminating NUL when the text ends
// inside a multi-byte UTF-8 sequence and then reads whatever lies beyond the text; every parse of
// text from outside (files, records, key material) goes through here, which adds NUL padding that
// stops it. The padded copy is wiped before it is freed, so secret documents leave no copy.
class XmlText {
public:
    // Parses `text` (up to its first NUL byte) into `document`. False when it does not parse.
    static bool parse(TiXmlDocument& document, std::string_view text);
    // The text of `parent`'s first child element `name` when that element begins with text;
    // null when there is no such element or it begins with anything else (or nothing).
    static const char* childText(const TiXmlElement* parent, const char* name);
};
