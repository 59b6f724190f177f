#include "KorvalisAnnotationsPacker.h"

#include <tinyxml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// As the C library's atoi and atol read: leading blanks, a sign, digits; anything else gives 0.
long long textToInteger(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

}  // namespace

KorvalisAnnotationsPacker::KorvalisAnnotationsPacker() : XmlPacker(kElementName) {}

void KorvalisAnnotationsPacker::beginPacking() {
    source_ = nullptr;
    XmlPacker::beginPacking();
}

void KorvalisAnnotationsPacker::beginUnpacking(const RawMessage& message) {
    source_ = nullptr;
    XmlPacker::beginUnpacking(message);
}

bool KorvalisAnnotationsPacker::readFromFile(const std::string& path) {
    source_ = nullptr;
    return XmlPacker::readFromFile(path);
}

void KorvalisAnnotationsPacker::setValue(const std::string& name, const std::string& text) {
    TiXmlElement* element = currentElement();
    if (element == nullptr) {
        return;
    }
    if (name != kEventName) {
        element->SetAttribute(name, text);
        return;
    }
    // The event is the element's only text; packing it again replaces it.
    while (TiXmlNode* child = element->FirstChild()) {
        element->RemoveChild(child);
    }
    element->LinkEndChild(new TiXmlText(text));
}

bool KorvalisAnnotationsPacker::value(const std::string& name, std::string& text) const {
    const TiXmlElement* element = source_ != nullptr ? source_ : currentElement();
    if (element == nullptr) {
        return false;
    }
    if (name == kEventName) {
        // An empty event is written as an element without text.
        const char* event = element->GetText();
        text = event == nullptr ? "" : event;
        return true;
    }
    const std::string* attribute = element->Attribute(name);
    if (attribute == nullptr) {
        return false;
    }
    text = *attribute;
    return true;
}

void KorvalisAnnotationsPacker::pack(const std::string& name, char value) {
    setValue(name, value == '\0' ? std::string() : std::string(1, value));
}

void KorvalisAnnotationsPacker::pack(const std::string& name, bool value) {
    setValue(name, value ? "1" : "0");
}

void KorvalisAnnotationsPacker::pack(const std::string& name, int value) {
    setValue(name, std::to_string(value));
}

void KorvalisAnnotationsPacker::pack(const std::string& name, unsigned int value) {
    setValue(name, std::to_string(value));
}

void KorvalisAnnotationsPacker::pack(const std::string& name, long value) {
    setValue(name, std::to_string(value));
}

void KorvalisAnnotationsPacker::pack(const std::string& name, double value) {
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, "%f", value);
    setValue(name, buffer);
}

void KorvalisAnnotationsPacker::pack(const std::string& name, const char* value) {
    setValue(name, value == nullptr ? "" : value);
}

void KorvalisAnnotationsPacker::pack(const std::string& name, const std::string& value) {
    setValue(name, value);
}

bool KorvalisAnnotationsPacker::unpack(const std::string& name, char& value) {
    std::string text;
    if (!this->value(name, text)) {
        return false;
    }
    value = text.empty() ? '\0' : text[0];
    return true;
}

bool KorvalisAnnotationsPacker::unpack(const std::string& name, bool& value) {
    std::string text;
    if (!this->value(name, text)) {
        return false;
    }
    value = textToInteger(text) == 1;
    return true;
}

bool KorvalisAnnotationsPacker::unpack(const std::string& name, int& value) {
    std::string text;
    if (!this->value(name, text)) {
        return false;
    }
    value = static_cast<int>(static_cast<uint32_t>(textToInteger(text)));
    return true;
}

bool KorvalisAnnotationsPacker::unpack(const std::string& name, unsigned int& value) {
    std::string text;
    if (!this->value(name, text)) {
        return false;
    }
    value = static_cast<unsigned int>(textToInteger(text));
    return true;
}

bool KorvalisAnnotationsPacker::unpack(const std::string& name, long& value) {
    std::string text;
    if (!this->value(name, text)) {
        return false;
    }
    value = static_cast<long>(textToInteger(text));
    return true;
}

bool KorvalisAnnotationsPacker::unpack(const std::string& name, double& value) {
    std::string text;
    if (!this->value(name, text)) {
        return false;
    }
    value = std::atof(text.c_str());
    return true;
}

bool KorvalisAnnotationsPacker::unpack(const std::string& name, char* buffer, size_t bufferSize,
                                       size_t& length) {
    std::string text;
    if (!this->value(name, text)) {
        return false;
    }
    length = text.size();
    if (buffer != nullptr && bufferSize > 0) {
        const size_t copied = std::min(text.size(), bufferSize - 1);
        std::memcpy(buffer, text.data(), copied);
        buffer[copied] = '\0';
    }
    return true;
}

bool KorvalisAnnotationsPacker::unpack(const std::string& name, std::string& value) {
    std::string text;
    if (!this->value(name, text)) {
        return false;
    }
    value += text;
    return true;
}

bool KorvalisAnnotationsPacker::unpack(const std::string& /*name*/,
                                       std::unique_ptr<RawMessage>& /*message*/) {
    return false;
}
