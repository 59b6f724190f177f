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
// attribute value, unquoted attribute values, unterminated comments or CDATA sections).
class XmlTextParser {
public:
    // Deeper than any record this system reads (session records nest three levels).
    static constexpr int kMaximumNestingDepth = 100;

    // The element nesting depth TinyXML reaches when it parses `text` (an upper bound), or -1
    // when the text is markup the check does not accept; `error` then says why and where.
    // Reading stops at the first NUL byte, as TinyXML's does.
    static int nestingDepth(std::string_view text, std::string* error = nullptr);

    // Parses `text` into `document` (which is cleared first; its nodes carry no row and column).
    // False when the check refuses the text or TinyXML reports an error; `error` then gives the
    // reason in words and the place.
    // The working copy of the text is wiped before it is freed, so secret documents (key
    // material) leave no copy behind.
    static bool parse(std::string_view text, TiXmlDocument& document, std::string* error = nullptr);

    // The text of `parent`'s first child element `name` when that element begins with text;
    // null when there is no such element or it begins with anything else (or nothing).
    static const char* childText(const TiXmlElement* parent, const char* name);
};
