#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

#include "KovFileHeader.h"
#include "LiveInstanceCounter.h"

// The fixed-size block before each frame's data in a KOV file, laid out by the file header's
// table: marker, wall-clock time, counter time stamp, frame number, the offsets of this, the next
// and the prior frame (relative to the end of the file header), the data length and two checksums
// that are always 0. Integers are big-endian, the time a little-endian double.
class KovFrameHeader {
public:
    static constexpr uint32_t kStartMarker = 0x0BAFF1ED;  // bytes 0B AF F1 ED
    // Frames before 2000-01-01 00:00:00 UTC, or with less than 100 bytes of data, are not valid.
    static constexpr double kEarliestEpochTime = 946684800.0;
    static constexpr uint32_t kMinimumFrameDataLength = 100;
    // The header checksum hasValidMarker also accepts.
    static constexpr uint32_t kAlternativeHeaderChecksum = 0xFFFFFFFF;

    // All values 0, not valid. `fileHeader` (not owned) supplies the table and must outlive this.
    explicit KovFrameHeader(const KovFileHeader* fileHeader);
    // A header to write: checksums 0, marker set, not valid until read.
    KovFrameHeader(const KovFileHeader* fileHeader, double epochTime,
                   uint64_t highResolutionTimeStamp, uint32_t frameNumber,
                   uint32_t offsetToThisFrame, uint32_t offsetToNextFrame,
                   uint32_t offsetToPriorFrame, uint32_t lengthOfFrameData);
    KovFrameHeader(const KovFrameHeader&) = default;
    KovFrameHeader& operator=(const KovFrameHeader&) = default;
    virtual ~KovFrameHeader();

    // Reads one block (the file header's frame-header length) at the stream's position, leaving
    // the stream after it. Valid when the read succeeded without reaching the end of the stream,
    // the marker is right, the time is not before 2000, there are at least 100 data bytes and
    // both checksums are 0. Returns and stores the valid flag.
    bool readFromStream(std::istream& stream);
    // Decodes a block already in memory (`size` bytes from `block`); bytes beyond `size` read as
    // zero. Returns and stores the valid flag as readFromStream would for a successful read.
    bool decodeBlock(const uint8_t* block, size_t size);
    // Writes one block at the stream's position (the marker always as 0x0BAFF1ED). False when the
    // stream failed.
    bool writeToStream(std::ostream& stream) const;
    // The block writeToStream writes, into `block` of the file header's frame-header length.
    void encodeBlock(uint8_t* block) const;

    // Marker right and header checksum 0 or 0xFFFFFFFF: a block worth reading, without the other
    // checks of a full read.
    bool hasValidMarker() const;
    bool isValid() const { return valid_; }

    const KovFileHeader* getFileHeader() const { return fileHeader_; }
    uint32_t getStartMarker() const { return startMarker_; }
    double getEpochTime() const { return epochTime_; }
    uint64_t getHighResolutionTimeStamp() const { return highResolutionTimeStamp_; }
    uint32_t getFrameNumber() const { return frameNumber_; }
    uint32_t getOffsetToThisFrame() const { return offsetToThisFrame_; }
    uint32_t getOffsetToNextFrame() const { return offsetToNextFrame_; }
    uint32_t getOffsetToPriorFrame() const { return offsetToPriorFrame_; }
    uint32_t getLengthOfFrameData() const { return lengthOfFrameData_; }
    uint32_t getHeaderChecksum() const { return headerChecksum_; }
    uint32_t getFrameDataChecksum() const { return frameDataChecksum_; }

    // Live frame headers in the process (leak diagnostics only).
    static long liveInstances() { return LiveInstanceCounter<KovFrameHeader>::liveInstances(); }

private:
    bool contentIsValid() const;

    const KovFileHeader* fileHeader_;
    uint32_t startMarker_ = 0;
    double epochTime_ = 0.0;
    uint64_t highResolutionTimeStamp_ = 0;
    uint32_t frameNumber_ = 0;
    uint32_t offsetToThisFrame_ = 0;
    uint32_t offsetToNextFrame_ = 0;
    uint32_t offsetToPriorFrame_ = 0;
    uint32_t lengthOfFrameData_ = 0;
    uint32_t headerChecksum_ = 0;
    uint32_t frameDataChecksum_ = 0;
    bool valid_ = false;
    LiveInstanceCounter<KovFrameHeader> counter_;
};

std::istream& operator>>(std::istream& stream, KovFrameHeader& header);
std::ostream& operator<<(std::ostream& stream, const KovFrameHeader& header);
