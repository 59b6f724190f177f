#include "KorvalisResourceIndex.h"

#include <tinyxml.h>

#include <cstring>
#include <limits>

#include "XmlTextParser.h"

namespace {

// A decimal attribute read the way the index writer writes it: optional blanks, an optional
// sign, digits. False for anything else, or a value beyond `maximum`. A missing attribute is 0.
bool decimalAttribute(const TiXmlElement& element, const char* name, int64_t maximum,
                      int64_t& value) {
    value = 0;
    const char* text = element.Attribute(name);
    if (text == nullptr) {
        return true;
    }
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r') {
        ++text;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    if (*text < '0' || *text > '9') {
        return false;
    }
    int64_t result = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        const int digit = *text - '0';
        if (result > (maximum - digit) / 10) {
            return false;
        }
        result = result * 10 + digit;
    }
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r') {
        ++text;
    }
    if (*text != '\0' || (negative && result != 0)) {
        return false;
    }
    value = result;
    return true;
}

}  // namespace

KorvalisResourceIndex::KorvalisResourceIndex() = default;

KorvalisResourceIndex::~KorvalisResourceIndex() = default;

void KorvalisResourceIndex::clear() {
    entries_.clear();
}

bool KorvalisResourceIndex::parse(std::string_view text) {
    clear();
    TiXmlDocument document;
    if (!XmlTextParser::parse(text, document)) {
        return false;
    }
    const TiXmlElement* root = document.FirstChildElement();
    if (root == nullptr) {
        return true;
    }
    for (const TiXmlElement* element = root->FirstChildElement("Resource"); element != nullptr;
         element = element->NextSiblingElement("Resource")) {
        const char* name = element->Attribute("name");
        int64_t offset = 0;
        int64_t length = 0;
        const bool offsetOk =
            decimalAttribute(*element, "offset", std::numeric_limits<int64_t>::max(), offset);
        const bool lengthOk =
            decimalAttribute(*element, "length", std::numeric_limits<uint32_t>::max(), length);
        Entry entry;
        entry.resource = std::make_unique<KorvalisResource>(name != nullptr ? name : "",
                                                            static_cast<uint32_t>(length));
        entry.offset = offset;
        entry.usable = offsetOk && lengthOk;
        entries_.push_back(std::move(entry));
    }
    return true;
}

const KorvalisResourceIndex::Entry* KorvalisResourceIndex::findEntry(
    const std::string& name) const {
    for (const Entry& entry : entries_) {
        if (entry.resource->name() == name) {
            return &entry;
        }
    }
    return nullptr;
}

KorvalisResource* KorvalisResourceIndex::findResource(const std::string& name,
                                                      int64_t& offset) const {
    const Entry* entry = findEntry(name);
    if (entry == nullptr) {
        return nullptr;
    }
    offset = entry->offset;
    return entry->resource.get();
}
