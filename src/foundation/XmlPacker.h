#pragma once

#include <memory>
#include <string>

#include "ObjectPacker.h"

class TiXmlElement;
class TiXmlNode;

// Packs a record as an XML element tree: the root element is named after the packer and every
// field becomes a child element holding its value as text. The packed text has the layout of
// TinyXML's default printing (four-blank indent, one element per line, no declaration) and is
// UTF-8 that any XML reader reads as the same characters (see printXml).
class XmlPacker : public ObjectPacker {
public:
    // Starts with an empty root element of that name, ready to be packed into.
    explicit XmlPacker(std::string name);
    ~XmlPacker() override;

    void beginPacking() override;
    void beginUnpacking(const RawMessage& message) override;
    std::unique_ptr<RawMessage> getPackedMessage() const override;
    bool writeToFile(const std::string& path) const override;
    bool readFromFile(const std::string& path) override;

    void pack(const std::string& name, char value) override;
    void pack(const std::string& name, bool value) override;
    void pack(const std::string& name, int value) override;
    void pack(const std::string& name, unsigned int value) override;
    void pack(const std::string& name, long value) override;
    void pack(const std::string& name, double value) override;
    void pack(const std::string& name, const char* value) override;
    void pack(const std::string& name, const std::string& value) override;
    void pack(const std::string& name, const RawMessage& message) override;

    bool unpack(const std::string& name, char& value) override;
    bool unpack(const std::string& name, bool& value) override;
    bool unpack(const std::string& name, int& value) override;
    bool unpack(const std::string& name, unsigned int& value) override;
    bool unpack(const std::string& name, long& value) override;
    bool unpack(const std::string& name, double& value) override;
    bool unpack(const std::string& name, char* buffer, size_t bufferSize, size_t& length) override;
    bool unpack(const std::string& name, std::string& value) override;
    bool unpack(const std::string& name, std::unique_ptr<RawMessage>& message) override;

    // The value of the root element's attribute `name` (exact match), or null.
    const char* attributeValue(const std::string& name) const;

    // The printed XML of the current record ("" when there is none).
    std::string packedText() const;

    // `node` and everything below it printed in TinyXML's default layout, as well-formed UTF-8:
    // markup characters, tabs and line breaks are escaped everywhere (TinyXML lets "&#x" through
    // unescaped), as are the blanks of element text that TinyXML would drop or collapse (at
    // either end, or after another); bytes that are no part of a UTF-8 character are read as
    // code page 1252, and characters XML cannot carry (other control characters, U+FFFE,
    // U+FFFF) become U+FFFD.
    static std::string printXml(const TiXmlNode& node);

protected:
    // The root element, or null when there is no record (after an unparsable read).
    TiXmlElement* currentElement() const { return current_.get(); }
    // Makes `element` (owned) the root element.
    void setCurrentElement(std::unique_ptr<TiXmlElement> element);
    // Parses `text` as XML and returns a copy of its first element, or null.
    static std::unique_ptr<TiXmlElement> parseFirstElement(const std::string& text);
    // Appends <name>text</name> to the root element; nothing when there is no root.
    void appendTextElement(const std::string& name, const std::string& text);
    // The text of the first child element `name`, which is then removed. False when missing.
    bool takeChildText(const std::string& name, std::string& text);

private:
    struct ElementDeleter {
        void operator()(TiXmlElement* element) const;
    };
    std::unique_ptr<TiXmlElement, ElementDeleter> current_;
};
