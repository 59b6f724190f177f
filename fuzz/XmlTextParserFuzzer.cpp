// Checks the nesting bound against TinyXML itself: whenever the check accepts a text, the tree
// TinyXML builds from it (reading UTF-8, as the parser has it read) must be no deeper than the
// bound the check gave. Then the whole parse, conversion to UTF-8 included.

#include <tinyxml.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "XmlTextParser.h"

namespace {

int treeDepth(const TiXmlNode* node) {
    int deepest = 0;
    for (const TiXmlNode* child = node->FirstChild(); child != nullptr;
         child = child->NextSibling()) {
        const int below = treeDepth(child) + (child->ToElement() != nullptr ? 1 : 0);
        deepest = below > deepest ? below : deepest;
    }
    return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int bound = XmlTextParser::nestingDepth(text);
    if (bound < 0) {
        return 0;
    }
    std::string padded = text.substr(0, text.find('\0'));
    padded.append(4, '\0');
    TiXmlDocument document;
    document.Parse(padded.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (treeDepth(&document) > bound) {
        std::abort();
    }
    TiXmlDocument checked;
    XmlTextParser::parse(text, checked);
    return 0;
}
