#include "XmlText.h"

#include <string.h>
#include <tinyxml.h>

#include <vector>

namespace {

// A UTF-8 lead byte makes TinyXML skip at most three following bytes.
constexpr size_t kPaddingBytes = 8;

}  // namespace

bool XmlText::parse(TiXmlDocument& document, std::string_view text) {
    std::vector<char> padded(text.size() + kPaddingBytes, '\0');
    text.copy(padded.data(), text.size());
    document.Parse(padded.data());
    ::explicit_bzero(padded.data(), padded.size());
    return !document.Error();
}

const char* XmlText::childText(const TiXmlElement* parent, const char* name) {
    const TiXmlElement* child = parent->FirstChildElement(name);
    return child == nullptr ? nullptr : child->GetText();
}
