#include "XmlTextParser.h"

#include <iconv.h>
#include <string.h>
#include <tinyxml.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "Utf8Text.h"

namespace {

// Character classes as TinyXML's parser sees them: every byte from 127 up counts as a letter.
bool isSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool isAsciiLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isNameStart(unsigned char c) {
    return c >= 127 || isAsciiLetter(c) || c == '_';
}
bool isNameCharacter(unsigned char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
}

// ASCII letters compared without case.
bool hasPrefixIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    const auto lower = [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    };
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (lower(static_cast<unsigned char>(text[i])) !=
            lower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// Bytes TinyXML takes as one character in UTF-8 mode, by lead byte.
int utf8Length(unsigned char c) {
    if (c >= 0xC2 && c <= 0xDF) {
        return 2;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        return 4;
    }
    return 1;
}

// One pass over the markup, following where TinyXML starts and ends each construct. Where TinyXML
// could read the text differently from this pass, the text is refused rather than guessed at.
class NestingScanner {
public:
    explicit NestingScanner(std::string_view text)
        : text_(text.substr(0, std::min(text.size(), text.find('\0')))) {}

    int scan(std::string* error) {
        int depth = 0;
        int deepest = 0;
        size_t position = 0;
        while ((position = nextMarkup(position)) < text_.size()) {
            const size_t start = position;
            if (startsWith(position, "<!--")) {
                position = findAfter(position + 4, "-->");
            } else if (startsWith(position, "<![CDATA[")) {
                position = findAfter(position + 9, "]]>");
            } else if (startsWithIgnoringCase(position, "<?xml")) {
                position = skipDeclaration(position + 5);
            } else if (startsWith(position, "</")) {
                position = skipUnknown(position + 2);
                depth = std::max(depth - 1, 0);
            } else if (isNameStart(at(position + 1))) {
                // TinyXML recurses into every element, empty ones included.
                bool opensElement = false;
                position = skipElementTag(position + 1, opensElement);
                deepest = std::max(deepest, depth + 1);
                if (opensElement) {
                    ++depth;
                }
            } else {
                // Processing instructions, document types and stray '<': up to the first '>'.
                position = skipUnknown(position + 1);
            }
            if (position == kRefused) {
                return refuse(error, start);
            }
            if (deepest > XmlTextParser::kMaximumNestingDepth) {
                reason_ = "elements are nested more than " +
                          std::to_string(XmlTextParser::kMaximumNestingDepth) + " levels deep";
                return refuse(error, start);
            }
        }
        return deepest;
    }

private:
    static constexpr size_t kRefused = std::string_view::npos;

    unsigned char at(size_t position) const {
        return position < text_.size() ? static_cast<unsigned char>(text_[position]) : 0;
    }
    bool startsWith(size_t position, std::string_view prefix) const {
        return text_.substr(position, prefix.size()) == prefix;
    }
    bool startsWithIgnoringCase(size_t position, std::string_view prefix) const {
        return hasPrefixIgnoringCase(text_.substr(std::min(position, text_.size())), prefix);
    }
    size_t skipSpace(size_t position) const {
        while (isSpace(at(position))) {
            ++position;
        }
        return position;
    }
    size_t skipName(size_t position) const {
        while (position < text_.size() && isNameCharacter(at(position))) {
            ++position;
        }
        return position;
    }
    // The next character after the one at `position`, as TinyXML steps through UTF-8 text.
    size_t nextCharacter(size_t position) const { return position + utf8Length(at(position)); }

    // The next '<' that TinyXML meets while reading text from `position`.
    size_t nextMarkup(size_t position) const {
        while (position < text_.size() && text_[position] != '<') {
            position = nextCharacter(position);
        }
        return std::min(position, text_.size());
    }

    size_t findAfter(size_t position, std::string_view terminator) {
        const size_t found = text_.find(terminator, position);
        if (found == std::string_view::npos) {
            reason_ = "a comment or CDATA section is not terminated";
            return kRefused;
        }
        return found + terminator.size();
    }

    // Up to and including the first '>'; a '<' before it is refused.
    size_t skipUnknown(size_t position) {
        const size_t end = text_.find_first_of("<>", position);
        if (end == std::string_view::npos || text_[end] == '<') {
            reason_ = "a tag is not closed with '>' before the next '<'";
            return kRefused;
        }
        return end + 1;
    }

    // A quoted value from its opening quote; returns the position after the closing quote.
    size_t skipQuotedValue(size_t position, std::string_view* value = nullptr) {
        const unsigned char quote = at(position);
        size_t end = position + 1;
        while (end < text_.size() && at(end) != quote) {
            end = nextCharacter(end);
        }
        if (end >= text_.size()) {
            reason_ = "an attribute value is not terminated";
            return kRefused;
        }
        const std::string_view inside = text_.substr(position + 1, end - position - 1);
        if (inside.find('<') != std::string_view::npos) {
            reason_ = "an attribute value holds '<'";
            return kRefused;
        }
        if (value != nullptr) {
            *value = inside;
        }
        return end + 1;
    }

    // name, blanks, '=', blanks, quoted value.
    size_t skipAttribute(size_t position, std::string_view* value = nullptr) {
        if (!isNameStart(at(position))) {
            reason_ = "a tag holds something that is not an attribute";
            return kRefused;
        }
        position = skipSpace(skipName(position));
        if (at(position) != '=') {
            reason_ = "an attribute has no '='";
            return kRefused;
        }
        position = skipSpace(position + 1);
        if (at(position) != '"' && at(position) != '\'') {
            reason_ = "an attribute value is not quoted";
            return kRefused;
        }
        return skipQuotedValue(position, value);
    }

    // From the element name to the end of its start tag.
    size_t skipElementTag(size_t position, bool& opensElement) {
        position = skipName(position);
        for (int attributes = 0;; ++attributes) {
            if (attributes > XmlTextParser::kMaximumAttributesPerElement) {
                reason_ = "an element has more than " +
                          std::to_string(XmlTextParser::kMaximumAttributesPerElement) +
                          " attributes";
                return kRefused;
            }
            position = skipSpace(position);
            const unsigned char c = at(position);
            if (c == '>') {
                opensElement = true;
                return position + 1;
            }
            if (c == '/') {
                if (at(position + 1) != '>') {
                    reason_ = "'/' in a tag is not followed by '>'";
                    return kRefused;
                }
                return position + 2;
            }
            if (c == 0) {
                reason_ = "a tag is not closed";
                return kRefused;
            }
            position = skipAttribute(position);
            if (position == kRefused) {
                return kRefused;
            }
        }
    }

    // TinyXML reads the declaration's version, encoding and standalone values as quoted
    // attributes and steps over anything else word by word, ending at the first '>' it meets
    // between them. Followed exactly, so that both end in the same place.
    size_t skipDeclaration(size_t position) {
        for (;;) {
            if (at(position) == '>') {
                break;
            }
            position = skipSpace(position);
            const unsigned char c = at(position);
            if (c == 0 || c == '<' || c >= 127) {
                reason_ = "the XML declaration is malformed";
                return kRefused;
            }
            if (startsWithIgnoringCase(position, "encoding") ||
                startsWithIgnoringCase(position, "version") ||
                startsWithIgnoringCase(position, "standalone")) {
                position = skipAttribute(position);
                if (position == kRefused) {
                    return kRefused;
                }
            } else {
                while (at(position) != 0 && at(position) != '>' && !isSpace(at(position))) {
                    if (at(position) == '<' || at(position) >= 127) {
                        reason_ = "the XML declaration is malformed";
                        return kRefused;
                    }
                    ++position;
                }
            }
        }
        return position + 1;
    }

    int refuse(std::string* error, size_t position) const {
        if (error != nullptr) {
            const size_t line = 1 + std::count(text_.begin(), text_.begin() + position, '\n');
            *error = reason_ + " (line " + std::to_string(line) + ")";
        }
        return -1;
    }

    std::string_view text_;
    std::string reason_;
};

// Where the encoding name of a declaration at the start of the text lies, if there is one.
struct DeclaredEncoding {
    size_t nameStart = 0;
    size_t nameLength = 0;
    size_t declarationEnd = 0;  // after its '>'
};

bool findDeclaredEncoding(std::string_view text, DeclaredEncoding& found) {
    size_t position = 0;
    while (position < text.size() && isSpace(static_cast<unsigned char>(text[position]))) {
        ++position;
    }
    if (!hasPrefixIgnoringCase(text.substr(position), "<?xml") || position + 5 >= text.size() ||
        !isSpace(static_cast<unsigned char>(text[position + 5]))) {
        return false;
    }
    const size_t end = text.find('>', position);
    if (end == std::string_view::npos) {
        return false;
    }
    for (size_t i = position + 5; i + 8 < end; ++i) {
        if (!isSpace(static_cast<unsigned char>(text[i - 1])) ||
            !hasPrefixIgnoringCase(text.substr(i), "encoding")) {
            continue;
        }
        size_t value = i + 8;
        while (value < end && isSpace(static_cast<unsigned char>(text[value]))) {
            ++value;
        }
        if (value >= end || text[value] != '=') {
            return false;
        }
        ++value;
        while (value < end && isSpace(static_cast<unsigned char>(text[value]))) {
            ++value;
        }
        if (value >= end || (text[value] != '"' && text[value] != '\'')) {
            return false;
        }
        const size_t close = text.find(text[value], value + 1);
        if (close == std::string_view::npos || close > end) {
            return false;
        }
        found = {value + 1, close - value - 1, end + 1};
        return true;
    }
    return false;
}

// Converts `text` from `encoding` to UTF-8 with iconv.
bool convertWithIconv(std::string_view text, const std::string& encoding, std::string& out,
                      std::string* error) {
    const iconv_t converter = ::iconv_open("UTF-8", encoding.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        if (error != nullptr) {
            *error = "the XML declaration names the encoding '" + encoding +
                     "', which is not known here";
        }
        return false;
    }
    std::string converted(text.size() * 4 + 16, '\0');
    char* input = const_cast<char*>(text.data());
    size_t inputLeft = text.size();
    char* output = converted.data();
    size_t outputLeft = converted.size();
    bool ok =
        ::iconv(converter, &input, &inputLeft, &output, &outputLeft) != static_cast<size_t>(-1) &&
        ::iconv(converter, nullptr, nullptr, &output, &outputLeft) != static_cast<size_t>(-1);
    ::iconv_close(converter);
    converted.resize(converted.size() - outputLeft);
    if (ok) {
        out += converted;
    }
    // Key documents pass through here too: no copy is left behind.
    ::explicit_bzero(converted.data(), converted.size());
    if (!ok) {
        if (error != nullptr) {
            const size_t line = 1 + std::count(text.data(), static_cast<const char*>(input), '\n');
            *error = "the text is not written in the encoding '" + encoding +
                     "' its XML declaration names (line " + std::to_string(line) + ")";
        }
        return false;
    }
    return true;
}

bool isUtf8Name(std::string_view name) {
    return name.empty() || (name.size() == 5 && hasPrefixIgnoringCase(name, "utf-8")) ||
           (name.size() == 4 && hasPrefixIgnoringCase(name, "utf8"));
}

}  // namespace

int XmlTextParser::nestingDepth(std::string_view text, std::string* error) {
    return NestingScanner(text).scan(error);
}

namespace {

// The text in UTF-8 when it declares another encoding; with `repair`, bytes that are no part of
// a UTF-8 character are read as code page 1252, otherwise they are kept as they are.
bool convertToUtf8(std::string_view text, std::string& utf8, std::string* error, bool repair) {
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    text = text.substr(0, std::min(text.size(), text.find('\0')));
    utf8.clear();
    utf8.reserve(text.size());
    DeclaredEncoding declared;
    if (text.substr(0, 3) == kByteOrderMark) {
        text.remove_prefix(3);
    } else if (findDeclaredEncoding(text, declared) &&
               !isUtf8Name(text.substr(declared.nameStart, declared.nameLength))) {
        // The declaration is ASCII; it now names what the text has become.
        utf8.append(text.substr(0, declared.nameStart));
        utf8.append("UTF-8");
        utf8.append(
            text.substr(declared.nameStart + declared.nameLength,
                        declared.declarationEnd - declared.nameStart - declared.nameLength));
        std::string converted;
        if (!convertWithIconv(text.substr(declared.declarationEnd),
                              std::string(text.substr(declared.nameStart, declared.nameLength)),
                              converted, error)) {
            utf8.clear();
            return false;
        }
        utf8 += converted;
        return true;
    }
    if (repair) {
        Utf8Text::appendRepaired(utf8, text);
    } else {
        utf8.append(text);
    }
    return true;
}

}  // namespace

bool XmlTextParser::toUtf8(std::string_view text, std::string& utf8, std::string* error) {
    return convertToUtf8(text, utf8, error, true);
}

bool XmlTextParser::parse(std::string_view original, TiXmlDocument& document, std::string* error) {
    document.Clear();
    document.ClearError();
    std::string utf8;
    if (!convertToUtf8(original, utf8, error, false)) {
        return false;
    }
    const std::string_view text = utf8;
    if (nestingDepth(text, error) < 0) {
        ::explicit_bzero(utf8.data(), utf8.size());
        return false;
    }
    // TinyXML would read on past a NUL byte in places; the check stopped at the first one. It also
    // steps past the terminator after some unterminated constructs and after a UTF-8 lead byte at
    // the very end (up to three bytes): the padding keeps those reads inside the buffer.
    constexpr size_t kPaddingBytes = 8;
    const size_t length = std::min(text.size(), text.find('\0'));
    std::vector<char> padded(length + kPaddingBytes, '\0');
    text.copy(padded.data(), length);
    // Without a tab size TinyXML skips tracking rows and columns (a tenth of its time); they are
    // tracked on a second pass when there is an error to place.
    document.SetTabSize(0);
    document.Parse(padded.data(), nullptr, TIXML_ENCODING_UTF8);
    bool parsed = !document.Error();
    if (!parsed) {
        document.Clear();
        document.ClearError();
        document.SetTabSize(4);
        document.Parse(padded.data(), nullptr, TIXML_ENCODING_UTF8);
        if (error != nullptr) {
            *error = std::string(document.ErrorDesc()) + " (line " +
                     std::to_string(document.ErrorRow()) + ", column " +
                     std::to_string(document.ErrorCol()) + ")";
        }
    }
    ::explicit_bzero(padded.data(), padded.size());
    ::explicit_bzero(utf8.data(), utf8.size());
    return parsed;
}

const char* XmlTextParser::childText(const TiXmlElement* parent, const char* name) {
    if (parent == nullptr) {
        return nullptr;
    }
    const TiXmlElement* child = parent->FirstChildElement(name);
    return child == nullptr ? nullptr : child->GetText();
}
