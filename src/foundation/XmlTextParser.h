#pragma once

#include <string>
#include <string_view>

class TiXmlDocument;
class TiXmlElement;

// Parses XML text that comes from outside the program (records, headers, key files) with TinyXML,
// after a single non-recursive pass has checked that TinyXML can do so safely. TinyXML parses
// elements recursively, so a few hundred kilobytes of nested tags overflow the stack; the check
// follows TinyXML's own reading of the markup and rejects text nested more deeply than a limit,
// as well as markup whose reading TinyXML could not be trusted to share ('<' inside a tag or an
// attribute value, unquoted attribute values, unterminated comments or CDATA sections). TinyXML
// also compares each new attribute of an element with all before it, so the number of attributes
// of one element is bounded as well.
//
// Text is read as UTF-8 unless its XML declaration names another encoding, from which it is first
// converted; TinyXML then always reads UTF-8, so character references become UTF-8 too. Bytes
// that are no part of a UTF-8 character are kept as they are (names of files, say, are bytes);
// readers of text make it UTF-8 with toUtf8 first.
class XmlTextParser {
public:
    // Deeper than any record this system reads (session records nest three levels).
    static constexpr int kMaximumNestingDepth = 100;
    // Far more than any element this system reads carries (an annotation has thirteen).
    static constexpr int kMaximumAttributesPerElement = 256;

    // The element nesting depth TinyXML reaches when it parses `text` (an upper bound), or -1
    // when the text is markup the check does not accept; `error` then says why and where.
    // Reading stops at the first NUL byte, as TinyXML's does. The text is taken as UTF-8, as
    // parse has TinyXML read it.
    static int nestingDepth(std::string_view text, std::string* error = nullptr);

    // `text` as UTF-8 without a byte order mark: converted from the encoding its XML declaration
    // names, if any other (with iconv); otherwise as it is, except that bytes which are no part
    // of a UTF-8 character are read as the Windows code page 1252 that older records were
    // written in. False, with the reason in `error`, when the declared encoding is unknown or
    // the text is not written in it. Reading stops at the first NUL byte.
    static bool toUtf8(std::string_view text, std::string& utf8, std::string* error = nullptr);

    // Parses `text` into `document` (which is cleared first; its nodes carry no row and column),
    // after converting it from the encoding its declaration names, if any other than UTF-8.
    // False when the text cannot be converted, the check refuses it or TinyXML reports an error;
    // `error` then gives the reason in words and the place.
    // The working copy of the text is wiped before it is freed, so secret documents (key
    // material) leave no copy behind.
    static bool parse(std::string_view text, TiXmlDocument& document, std::string* error = nullptr);

    // The text of `parent`'s first child element `name` when that element begins with text;
    // null when there is no such element or it begins with anything else (or nothing).
    static const char* childText(const TiXmlElement* parent, const char* name);
};
