#include "XmlPacker.h"

#include <tinyxml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "FileIo.h"
#include "Utf8Text.h"
#include "XmlTextParser.h"

namespace {

// Text-to-number conversions read as the C library's atoi/atof do: leading blanks, an optional
// sign, the longest run of digits; anything else gives 0. Values wrap to 32 bits.
int textToInt(const std::string& text) {
    return static_cast<int>(static_cast<uint32_t>(std::strtoll(text.c_str(), nullptr, 10)));
}

// Appends `text` as XML character data or attribute value. In element text, TinyXML drops
// blanks at either end and collapses runs of them, but keeps those written as references:
// `keepBlanks` writes such blanks that way.
void appendEscaped(std::string& out, std::string_view text, bool keepBlanks = false) {
    std::string repaired;
    Utf8Text::appendRepaired(repaired, text);
    const std::string_view characters = repaired;
    size_t position = 0;
    char32_t c = 0;
    while (position < characters.size()) {
        const size_t length = Utf8Text::characterLength(characters, position, c);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '\t':
                out += "&#x09;";
                break;
            case '\n':
                out += "&#x0A;";
                break;
            case '\r':
                out += "&#x0D;";
                break;
            case ' ':
                if (keepBlanks && (position == 0 || position + 1 == characters.size() ||
                                   characters[position - 1] == ' ')) {
                    out += "&#x20;";
                } else {
                    out += ' ';
                }
                break;
            default:
                if (c < 0x20 || c == 0xFFFE || c == 0xFFFF) {
                    Utf8Text::append(out, 0xFFFD);
                } else {
                    out.append(characters.substr(position, length));
                }
        }
        position += length;
    }
}

// TinyXML's default printing (TiXmlPrinter) with conforming escapes.
class ConformingPrinter : public TiXmlVisitor {
public:
    const std::string& text() const { return out_; }

    bool VisitEnter(const TiXmlElement& element, const TiXmlAttribute* attribute) override {
        indent();
        out_ += '<';
        appendEscaped(out_, element.ValueStr());
        for (; attribute != nullptr; attribute = attribute->Next()) {
            // Quoted as TinyXML quotes: in apostrophes when the value holds a quote.
            const char quote = attribute->ValueStr().find('"') == std::string::npos ? '"' : '\'';
            out_ += ' ';
            appendEscaped(out_, attribute->NameTStr());
            out_ += '=';
            out_ += quote;
            appendEscaped(out_, attribute->ValueStr());
            out_ += quote;
        }
        const TiXmlNode* first = element.FirstChild();
        if (first == nullptr) {
            out_ += " />\n";
        } else {
            out_ += '>';
            const TiXmlText* text = first->ToText();
            simpleText_ = text != nullptr && element.LastChild() == first && !text->CDATA();
            if (!simpleText_) {
                out_ += '\n';
            }
        }
        ++depth_;
        return true;
    }

    bool VisitExit(const TiXmlElement& element) override {
        --depth_;
        if (element.FirstChild() != nullptr) {
            if (simpleText_) {
                simpleText_ = false;
            } else {
                indent();
            }
            out_ += "</";
            appendEscaped(out_, element.ValueStr());
            out_ += ">\n";
        }
        return true;
    }

    bool Visit(const TiXmlText& text) override {
        if (text.CDATA()) {
            indent();
            out_ += "<![CDATA[";
            Utf8Text::appendRepaired(out_, text.ValueStr());
            out_ += "]]>\n";
        } else if (simpleText_) {
            appendEscaped(out_, text.ValueStr(), true);
        } else {
            indent();
            appendEscaped(out_, text.ValueStr(), true);
            out_ += '\n';
        }
        return true;
    }

    bool Visit(const TiXmlDeclaration& declaration) override {
        TIXML_STRING printed;
        declaration.Print(nullptr, 0, &printed);
        raw(printed);
        return true;
    }

    bool Visit(const TiXmlComment& comment) override {
        raw("<!--" + comment.ValueStr() + "-->");
        return true;
    }

    bool Visit(const TiXmlUnknown& unknown) override {
        raw("<" + unknown.ValueStr() + ">");
        return true;
    }

private:
    void indent() {
        for (int i = 0; i < depth_; ++i) {
            out_ += "    ";
        }
    }
    void raw(const std::string& text) {
        indent();
        Utf8Text::appendRepaired(out_, text);
        out_ += '\n';
    }

    std::string out_;
    int depth_ = 0;
    bool simpleText_ = false;
};

std::string printElement(const TiXmlElement& element) {
    return XmlPacker::printXml(element);
}

}  // namespace

std::string XmlPacker::printXml(const TiXmlNode& node) {
    ConformingPrinter printer;
    node.Accept(&printer);
    return printer.text();
}

void XmlPacker::ElementDeleter::operator()(TiXmlElement* element) const {
    delete element;
}

XmlPacker::XmlPacker(std::string name) : ObjectPacker(std::move(name)) {
    beginPacking();
}

XmlPacker::~XmlPacker() = default;

void XmlPacker::setCurrentElement(std::unique_ptr<TiXmlElement> element) {
    current_.reset(element.release());
}

void XmlPacker::beginPacking() {
    setCurrentElement(std::make_unique<TiXmlElement>(name()));
}

std::unique_ptr<TiXmlElement> XmlPacker::parseFirstElement(const std::string& text) {
    TiXmlDocument document;
    if (!XmlTextParser::parse(text, document)) {
        return nullptr;
    }
    const TiXmlElement* first = document.FirstChildElement();
    if (first == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<TiXmlElement>(static_cast<TiXmlElement*>(first->Clone()));
}

void XmlPacker::beginUnpacking(const RawMessage& message) {
    std::string text(reinterpret_cast<const char*>(message.data()), message.size());
    setCurrentElement(parseFirstElement(text));
}

std::string XmlPacker::packedText() const {
    if (!current_) {
        return {};
    }
    return printElement(*current_);
}

std::unique_ptr<RawMessage> XmlPacker::getPackedMessage() const {
    if (!current_ || (current_->FirstChild() == nullptr && current_->FirstAttribute() == nullptr)) {
        return nullptr;
    }
    std::string text = packedText();
    return std::make_unique<RawMessage>(text.data(), static_cast<uint32_t>(text.size()));
}

bool XmlPacker::writeToFile(const std::string& path) const {
    // Written beside and renamed over the old file: a crash or a full disk leaves the old text
    // whole, and a short write is a failure the caller hears of.
    std::unique_ptr<RawMessage> message = getPackedMessage();
    const std::string_view text =
        message ? std::string_view(reinterpret_cast<const char*>(message->data()), message->size())
                : std::string_view();
    return FileIo::writeFileAtomically(path, text);
}

bool XmlPacker::readFromFile(const std::string& path) {
    std::string bytes;
    if (!FileIo::readWholeFile(path, bytes, std::numeric_limits<int32_t>::max()) || bytes.empty()) {
        return false;
    }
    beginPacking();
    RawMessage message(bytes.data(), static_cast<uint32_t>(bytes.size()));
    beginUnpacking(message);
    return true;
}

void XmlPacker::appendTextElement(const std::string& name, const std::string& text) {
    if (!current_) {
        return;
    }
    TiXmlElement child(name);
    child.InsertEndChild(TiXmlText(text));
    current_->InsertEndChild(child);
}

void XmlPacker::pack(const std::string& name, char value) {
    appendTextElement(name, value == '\0' ? std::string() : std::string(1, value));
}

void XmlPacker::pack(const std::string& name, bool value) {
    appendTextElement(name, value ? "1" : "0");
}

void XmlPacker::pack(const std::string& name, int value) {
    appendTextElement(name, std::to_string(value));
}

void XmlPacker::pack(const std::string& name, unsigned int value) {
    // Stored as the signed 32-bit reading of the same bits; unpacking gives the bits back.
    appendTextElement(name, std::to_string(static_cast<int32_t>(value)));
}

void XmlPacker::pack(const std::string& name, long value) {
    appendTextElement(name, std::to_string(value));
}

void XmlPacker::pack(const std::string& name, double value) {
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, "%f", value);
    appendTextElement(name, buffer);
}

void XmlPacker::pack(const std::string& name, const char* value) {
    appendTextElement(name, value == nullptr ? "" : value);
}

void XmlPacker::pack(const std::string& name, const std::string& value) {
    appendTextElement(name, value);
}

void XmlPacker::pack(const std::string& /*name*/, const RawMessage& message) {
    beginUnpacking(message);
}

bool XmlPacker::takeChildText(const std::string& name, std::string& text) {
    if (!current_) {
        return false;
    }
    TiXmlElement* child = current_->FirstChildElement(name);
    if (child == nullptr) {
        return false;
    }
    const char* childText = child->GetText();
    text = childText == nullptr ? "" : childText;
    current_->RemoveChild(child);
    return true;
}

bool XmlPacker::unpack(const std::string& name, char& value) {
    std::string text;
    if (!takeChildText(name, text)) {
        return false;
    }
    value = text.empty() ? '\0' : text[0];
    return true;
}

bool XmlPacker::unpack(const std::string& name, bool& value) {
    std::string text;
    if (!takeChildText(name, text)) {
        return false;
    }
    value = textToInt(text) == 1;
    return true;
}

bool XmlPacker::unpack(const std::string& name, int& value) {
    std::string text;
    if (!takeChildText(name, text)) {
        return false;
    }
    value = textToInt(text);
    return true;
}

bool XmlPacker::unpack(const std::string& name, unsigned int& value) {
    std::string text;
    if (!takeChildText(name, text)) {
        return false;
    }
    value = static_cast<unsigned int>(textToInt(text));
    return true;
}

bool XmlPacker::unpack(const std::string& name, long& value) {
    std::string text;
    if (!takeChildText(name, text)) {
        return false;
    }
    value = textToInt(text);
    return true;
}

bool XmlPacker::unpack(const std::string& name, double& value) {
    std::string text;
    if (!takeChildText(name, text)) {
        return false;
    }
    value = std::atof(text.c_str());
    return true;
}

bool XmlPacker::unpack(const std::string& name, char* buffer, size_t bufferSize, size_t& length) {
    if (!current_) {
        return false;
    }
    TiXmlElement* child = current_->FirstChildElement(name);
    if (child == nullptr) {
        return false;
    }
    std::string text;
    if (const char* childText = child->GetText(); childText != nullptr) {
        text = childText;
        length = text.size();
    } else if (child->FirstChildElement() != nullptr) {
        text = printElement(*child);
    }
    if (buffer != nullptr && bufferSize > 0) {
        size_t copied = std::min(text.size(), bufferSize - 1);
        std::memcpy(buffer, text.data(), copied);
        buffer[copied] = '\0';
    }
    current_->RemoveChild(child);
    return true;
}

bool XmlPacker::unpack(const std::string& name, std::string& value) {
    std::string text;
    if (!takeChildText(name, text)) {
        return false;
    }
    value += text;
    return true;
}

bool XmlPacker::unpack(const std::string& name, std::unique_ptr<RawMessage>& message) {
    if (!current_) {
        return false;
    }
    TiXmlElement* child = current_->FirstChildElement(name);
    if (child == nullptr) {
        return false;
    }
    std::string text = printElement(*child);
    message = std::make_unique<RawMessage>(text.data(), static_cast<uint32_t>(text.size()));
    current_->RemoveChild(child);
    return true;
}

const char* XmlPacker::attributeValue(const std::string& name) const {
    if (!current_) {
        return nullptr;
    }
    for (const TiXmlAttribute* attribute = current_->FirstAttribute(); attribute != nullptr;
         attribute = attribute->Next()) {
        if (name == attribute->Name()) {
            return attribute->Value();
        }
    }
    return nullptr;
}
