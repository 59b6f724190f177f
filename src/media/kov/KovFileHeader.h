#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <string>

#include "KovFrameHeaderField.h"
#include "LiveInstanceCounter.h"

// The header of a KOV file: one line of XML naming the recording's start time, counter frequency,
// frame size, rate and encoding and the table of the frame-header block, then a 0x00 terminator
// and a zero 4-byte reserved word. Frames follow at getHeaderLength(). A value type, not shared
// between threads.
class KovFileHeader {
public:
    // Header text (XML) + terminator (1 byte, 0x00) + reserved word (4 bytes, 0).
    static constexpr uint32_t kTrailerLength = 5;
    // Largest frame-header block a reader accepts.
    static constexpr uint32_t kMaximumFrameHeaderLength = 256;
    // Longest header text read; real headers need about 1 KB.
    static constexpr size_t kMaximumHeaderTextLength = 65536;

    // A header with versions 1.1 and the standard 72-byte frame-header table; not valid and of
    // header length 0 until written or read.
    KovFileHeader(uint32_t frameWidth, uint32_t frameHeight, uint32_t targetFrameRate,
                  double startTime, int64_t highResolutionCounterFrequency,
                  std::string frameEncoding);
    // A deep copy, valid flag included.
    KovFileHeader(const KovFileHeader& other);
    KovFileHeader& operator=(const KovFileHeader& other);
    virtual ~KovFileHeader();

    // Reads the header at the start of `stream` (which it seeks to 0). True when the text is
    // terminated, the reserved word is zero, the XML parses, every element is present, every
    // table entry is complete and the table describes a block of at most 256 bytes in which each
    // field fits. Even when false the readable items are taken, and the header length is the
    // position after the reserved word once the terminator was found.
    bool readFromStream(std::istream& stream);
    // Writes the header at the stream's position and sets the header length. False when the
    // stream failed.
    bool writeToStream(std::ostream& stream);
    // The header text as writeToStream writes it, without the five trailing bytes.
    std::string headerText() const;
    // Copies every value except the valid flag, and deep copies of the table.
    void copyFromAnotherHeader(const KovFileHeader& other);

    uint32_t getFormatVersionMajor() const { return formatVersionMajor_; }
    uint32_t getFormatVersionMinor() const { return formatVersionMinor_; }
    double getStartTime() const { return startTime_; }
    int64_t getHighResolutionCounterFrequency() const { return highResolutionCounterFrequency_; }
    uint32_t getFrameWidth() const { return frameWidth_; }
    uint32_t getFrameHeight() const { return frameHeight_; }
    uint32_t getTargetFrameRate() const { return targetFrameRate_; }
    const std::string& getFrameEncoding() const { return frameEncoding_; }
    // Bytes of one frame-header block: the sum of the table's length attributes.
    uint32_t getFrameHeaderLength() const { return frameHeaderLength_; }
    // Bytes before the first frame.
    uint32_t getHeaderLength() const { return headerLength_; }
    bool isValid() const { return valid_; }

    // The offset of the named table entry, or 0 when there is none.
    uint32_t getFieldOffset(const std::string& name) const;
    // The offset of each of the ten frame fields (0 for those the table lacks).
    const std::array<uint32_t, KovFrameHeaderField::kFieldCount>& getFrameFieldOffsets() const {
        return frameFieldOffsets_;
    }
    const std::map<std::string, std::unique_ptr<KovFrameHeaderField>>& getFieldTable() const {
        return fieldTable_;
    }

    // Live headers in the process (leak diagnostics only).
    static long liveInstances() { return LiveInstanceCounter<KovFileHeader>::liveInstances(); }

private:
    void addField(std::unique_ptr<KovFrameHeaderField> field);
    void clearFieldTable();
    // Recomputes the field offsets; false when a field of the table does not fit the block.
    bool updateFrameFieldOffsets();
    bool parseHeaderText(const std::string& text);

    uint32_t formatVersionMajor_ = 1;
    uint32_t formatVersionMinor_ = 1;
    double startTime_;
    int64_t highResolutionCounterFrequency_;
    uint32_t frameWidth_;
    uint32_t frameHeight_;
    uint32_t targetFrameRate_;
    std::string frameEncoding_;
    uint32_t frameHeaderLength_ = 0;
    uint32_t headerLength_ = 0;
    bool valid_ = false;
    std::map<std::string, std::unique_ptr<KovFrameHeaderField>> fieldTable_;
    std::array<uint32_t, KovFrameHeaderField::kFieldCount> frameFieldOffsets_{};
    LiveInstanceCounter<KovFileHeader> counter_;
};

// Extraction reads with readFromStream (the result is then isValid());
// insertion writes with writeToStream.
std::istream& operator>>(std::istream& stream, KovFileHeader& header);
std::ostream& operator<<(std::ostream& stream, KovFileHeader& header);
