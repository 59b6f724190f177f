#pragma once

#include <string>

#include "XmlPacker.h"

class TiXmlElement;

// Packs one annotation as a single "annotation" element: every field becomes an attribute in the
// order packed (values in their type's usual decimal form), except a text packed under the name
// "event", which becomes the element's text. Unpacking reads the attribute of that name, or the
// text for "event"; attributes are not consumed, so they may be read in any order and again.
// Used by one thread at a time.
class KorvalisAnnotationsPacker : public XmlPacker {
public:
    KorvalisAnnotationsPacker();

    void pack(const std::string& name, char value) override;
    void pack(const std::string& name, bool value) override;
    void pack(const std::string& name, int value) override;
    void pack(const std::string& name, unsigned int value) override;
    void pack(const std::string& name, long value) override;
    void pack(const std::string& name, double value) override;
    void pack(const std::string& name, const char* value) override;
    void pack(const std::string& name, const std::string& value) override;
    using XmlPacker::pack;

    bool unpack(const std::string& name, char& value) override;
    bool unpack(const std::string& name, bool& value) override;
    bool unpack(const std::string& name, int& value) override;
    bool unpack(const std::string& name, unsigned int& value) override;
    bool unpack(const std::string& name, long& value) override;
    bool unpack(const std::string& name, double& value) override;
    bool unpack(const std::string& name, char* buffer, size_t bufferSize, size_t& length) override;
    bool unpack(const std::string& name, std::string& value) override;
    // An attribute holds no nested record: always false.
    bool unpack(const std::string& name, std::unique_ptr<RawMessage>& message) override;

    // Makes the following unpacks read `element` (borrowed: it must outlive them) instead of the
    // packer's own element, so that the annotations of a parsed record are read where they lie.
    // beginPacking, beginUnpacking and readFromFile return to the packer's own element.
    void unpackFrom(const TiXmlElement* element) { source_ = element; }

    void beginPacking() override;
    void beginUnpacking(const RawMessage& message) override;
    bool readFromFile(const std::string& path) override;

    // The packed element (null when there is none), for placing into a record document.
    const TiXmlElement* annotationElement() const { return currentElement(); }

    // The element name every annotation carries.
    static constexpr const char* kElementName = "annotation";
    // The field packed as the element's text.
    static constexpr const char* kEventName = "event";

private:
    void setValue(const std::string& name, const std::string& text);
    // The attribute `name`, or the element text for "event"; false when the element has none.
    bool value(const std::string& name, std::string& text) const;

    const TiXmlElement* source_ = nullptr;
};
