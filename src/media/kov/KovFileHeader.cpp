#include "KovFileHeader.h"

#include <tinyxml.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TerminalText.h"
#include "XmlTextParser.h"

namespace {

// Names and kinds in a header are words a recorder writes: text with a control character or a
// byte that is no part of a UTF-8 character would not be written back as it was read.
bool isPlainText(const char* text) {
    return TerminalText::escaped(text) == text;
}

constexpr const char* kRootElement = "KOV_Header";
constexpr const char* kFormatVersionMajor = "FormatVersionMajor";
constexpr const char* kFormatVersionMinor = "FormatVersionMinor";
constexpr const char* kStartTime = "Start_Time";
constexpr const char* kCounterFrequency = "High_Resolution_Counter_Frequency";
constexpr const char* kFrameWidth = "Frame_Width";
constexpr const char* kFrameHeight = "Frame_Height";
constexpr const char* kTargetFrameRate = "Target_Frame_Rate";
constexpr const char* kFrameEncoding = "Frame_Encoding";
constexpr const char* kFrameHeaderFormat = "Frame_Header_Format";
constexpr const char* kFrameHeaderField = "Frame_Header_Field";

// Numbers in the header read as scanf would: leading blanks, then a number; whatever follows is
// ignored. Text that does not start with a number (or overflows) leaves the value unchanged.
bool parseUnsigned32(const char* text, uint32_t& value) {
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r') {
        ++text;
    }
    if (*text == '-') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (end == text || errno == ERANGE || parsed > UINT32_MAX) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool parseInt64(const char* text, int64_t& value) {
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text, &end, 10);
    if (end == text || errno == ERANGE) {
        return false;
    }
    value = parsed;
    return true;
}

bool parseDouble(const char* text, double& value) {
    char* end = nullptr;
    const double parsed = std::strtod(text, &end);
    if (end == text) {
        return false;
    }
    value = parsed;
    return true;
}

TiXmlElement* appendTextElement(TiXmlElement& parent, const char* name, const std::string& text) {
    auto* element = new TiXmlElement(name);
    element->LinkEndChild(new TiXmlText(text));
    parent.LinkEndChild(element);
    return element;
}

}  // namespace

KovFileHeader::KovFileHeader(uint32_t frameWidth, uint32_t frameHeight, uint32_t targetFrameRate,
                             double startTime, int64_t highResolutionCounterFrequency,
                             std::string frameEncoding)
    : startTime_(startTime),
      highResolutionCounterFrequency_(highResolutionCounterFrequency),
      frameWidth_(frameWidth),
      frameHeight_(frameHeight),
      targetFrameRate_(targetFrameRate),
      frameEncoding_(std::move(frameEncoding)) {
    for (const auto& standard : KovFrameHeaderField::kStandardFields) {
        addField(std::make_unique<KovFrameHeaderField>(standard.name, standard.offset,
                                                       standard.length, standard.format));
    }
    updateFrameFieldOffsets();
}

KovFileHeader::KovFileHeader(const KovFileHeader& other)
    : startTime_(0),
      highResolutionCounterFrequency_(0),
      frameWidth_(0),
      frameHeight_(0),
      targetFrameRate_(0) {
    copyFromAnotherHeader(other);
    valid_ = other.valid_;
}

KovFileHeader& KovFileHeader::operator=(const KovFileHeader& other) {
    if (this != &other) {
        copyFromAnotherHeader(other);
        valid_ = other.valid_;
    }
    return *this;
}

KovFileHeader::~KovFileHeader() = default;

void KovFileHeader::addField(std::unique_ptr<KovFrameHeaderField> field) {
    const uint64_t length = uint64_t{frameHeaderLength_} + field->getLength();
    frameHeaderLength_ = length > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(length);
    const std::string name = field->getName();
    // A name listed twice keeps its first entry; its length still counts towards the block.
    fieldTable_.emplace(name, std::move(field));
}

void KovFileHeader::clearFieldTable() {
    fieldTable_.clear();
    frameFieldOffsets_.fill(0);
}

bool KovFileHeader::updateFrameFieldOffsets() {
    bool fits = frameHeaderLength_ <= kMaximumFrameHeaderLength;
    for (int i = 0; i < KovFrameHeaderField::kFieldCount; ++i) {
        const auto& standard = KovFrameHeaderField::kStandardFields[i];
        auto entry = fieldTable_.find(standard.name);
        frameFieldOffsets_[i] = entry == fieldTable_.end() ? 0 : entry->second->getOffset();
        if (uint64_t{frameFieldOffsets_[i]} + standard.width > frameHeaderLength_) {
            fits = false;
        }
    }
    return fits;
}

uint32_t KovFileHeader::getFieldOffset(const std::string& name) const {
    auto entry = fieldTable_.find(name);
    return entry == fieldTable_.end() ? 0 : entry->second->getOffset();
}

void KovFileHeader::copyFromAnotherHeader(const KovFileHeader& other) {
    formatVersionMajor_ = other.formatVersionMajor_;
    formatVersionMinor_ = other.formatVersionMinor_;
    startTime_ = other.startTime_;
    highResolutionCounterFrequency_ = other.highResolutionCounterFrequency_;
    frameWidth_ = other.frameWidth_;
    frameHeight_ = other.frameHeight_;
    targetFrameRate_ = other.targetFrameRate_;
    frameEncoding_ = other.frameEncoding_;
    frameHeaderLength_ = other.frameHeaderLength_;
    headerLength_ = other.headerLength_;
    clearFieldTable();
    for (const auto& [name, field] : other.fieldTable_) {
        fieldTable_.emplace(name, std::make_unique<KovFrameHeaderField>(*field));
    }
    frameFieldOffsets_ = other.frameFieldOffsets_;
}

std::string KovFileHeader::headerText() const {
    TiXmlDocument document;
    auto* root = new TiXmlElement(kRootElement);
    document.LinkEndChild(root);
    root->SetAttribute(kFormatVersionMajor, std::to_string(formatVersionMajor_));
    root->SetAttribute(kFormatVersionMinor, std::to_string(formatVersionMinor_));

    // Whole: a start time too large for 29 characters is printed in full, not cut.
    char startTime[400];
    std::snprintf(startTime, sizeof startTime, "%0.3f", startTime_);
    appendTextElement(*root, kStartTime, startTime);
    appendTextElement(*root, kCounterFrequency, std::to_string(highResolutionCounterFrequency_));
    appendTextElement(*root, kFrameWidth, std::to_string(frameWidth_));
    appendTextElement(*root, kFrameHeight, std::to_string(frameHeight_));
    appendTextElement(*root, kTargetFrameRate, std::to_string(targetFrameRate_));
    appendTextElement(*root, kFrameEncoding, frameEncoding_);

    auto* format = new TiXmlElement(kFrameHeaderFormat);
    root->LinkEndChild(format);
    for (const auto& [name, field] : fieldTable_) {
        auto* element = new TiXmlElement(kFrameHeaderField);
        element->SetAttribute("name", field->getName());
        element->SetAttribute("offset", std::to_string(field->getOffset()));
        element->SetAttribute("length", std::to_string(field->getLength()));
        element->SetAttribute("format", field->getFormatName());
        format->LinkEndChild(element);
    }

    // Stream printing: no indentation and no line breaks, so the header is one line.
    TiXmlPrinter printer;
    printer.SetStreamPrinting();
    document.Accept(&printer);
    return printer.Str();
}

bool KovFileHeader::writeToStream(std::ostream& stream) {
    const std::string text = headerText();
    static const char kTrailer[kTrailerLength] = {0, 0, 0, 0, 0};
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
    stream.write(kTrailer, kTrailerLength);
    headerLength_ = static_cast<uint32_t>(text.size() + kTrailerLength);
    return !stream.fail();
}

bool KovFileHeader::readFromStream(std::istream& stream) {
    valid_ = false;
    clearFieldTable();
    frameHeaderLength_ = 0;
    stream.clear();
    stream.seekg(0);

    std::string text;
    bool terminated = false;
    char c;
    while (text.size() < kMaximumHeaderTextLength && stream.get(c)) {
        if (c == '\0') {
            terminated = true;
            break;
        }
        text.push_back(c);
    }
    if (!terminated) {
        return false;
    }
    // Preset to non-zero so that a short read counts as a bad word.
    uint8_t reserved[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    stream.read(reinterpret_cast<char*>(reserved), sizeof reserved);
    headerLength_ = static_cast<uint32_t>(text.size() + 1 + stream.gcount());
    if (reserved[0] != 0 || reserved[1] != 0 || reserved[2] != 0 || reserved[3] != 0) {
        return false;
    }
    valid_ = parseHeaderText(text);
    return valid_;
}

bool KovFileHeader::parseHeaderText(const std::string& text) {
    TiXmlDocument document;
    if (!XmlTextParser::parse(text, document)) {
        return false;
    }
    const TiXmlElement* root = document.RootElement();
    if (root == nullptr) {
        return false;
    }
    bool valid = true;
    if (const char* minor = root->Attribute(kFormatVersionMinor)) {
        parseUnsigned32(minor, formatVersionMinor_);
    }
    if (const char* major = root->Attribute(kFormatVersionMajor)) {
        parseUnsigned32(major, formatVersionMajor_);
    }

    // A missing element makes the header not valid; an element without text, or with text that
    // is not a number, leaves the value as it was.
    auto childText = [&](const char* name) -> const char* {
        const TiXmlElement* element = root->FirstChildElement(name);
        if (element == nullptr) {
            valid = false;
            return nullptr;
        }
        return element->GetText();
    };
    if (const char* value = childText(kStartTime)) {
        parseDouble(value, startTime_);
    }
    if (const char* value = childText(kCounterFrequency)) {
        parseInt64(value, highResolutionCounterFrequency_);
    }
    if (const char* value = childText(kFrameWidth)) {
        parseUnsigned32(value, frameWidth_);
    }
    if (const char* value = childText(kFrameHeight)) {
        parseUnsigned32(value, frameHeight_);
    }
    if (const char* value = childText(kTargetFrameRate)) {
        parseUnsigned32(value, targetFrameRate_);
    }
    if (const char* value = childText(kFrameEncoding)) {
        frameEncoding_ = value;
        valid = valid && isPlainText(value);
    }

    const TiXmlElement* format = root->FirstChildElement(kFrameHeaderFormat);
    if (format == nullptr) {
        return false;
    }
    for (const TiXmlElement* entry = format->FirstChildElement(kFrameHeaderField); entry != nullptr;
         entry = entry->NextSiblingElement(kFrameHeaderField)) {
        const char* name = entry->Attribute("name");
        const char* formatName = entry->Attribute("format");
        const char* offsetText = entry->Attribute("offset");
        const char* lengthText = entry->Attribute("length");
        uint32_t offset = 0;
        uint32_t length = 0;
        if (name == nullptr || formatName == nullptr || offsetText == nullptr ||
            lengthText == nullptr) {
            valid = false;
            continue;
        }
        if (!isPlainText(name) || !isPlainText(formatName)) {
            valid = false;
        }
        parseUnsigned32(offsetText, offset);
        parseUnsigned32(lengthText, length);
        addField(std::make_unique<KovFrameHeaderField>(name, offset, length, formatName));
    }
    // A block larger than the reader's buffer, or a field outside the block, cannot be read.
    if (!updateFrameFieldOffsets()) {
        valid = false;
    }
    return valid;
}

std::istream& operator>>(std::istream& stream, KovFileHeader& header) {
    header.readFromStream(stream);
    return stream;
}

std::ostream& operator<<(std::ostream& stream, KovFileHeader& header) {
    header.writeToStream(stream);
    return stream;
}
