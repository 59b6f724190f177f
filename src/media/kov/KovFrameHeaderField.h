#pragma once

#include <cstdint>
#include <string>

#include "LiveInstanceCounter.h"

// One entry of a KOV file's frame-header table: where a named field sits in every frame-header
// block. `length` is the table's length attribute, which sets the block size (the sum of all
// lengths); a field's width when encoded comes from what the field is, never from `length`.
class KovFrameHeaderField {
public:
    // The ten fields every frame header carries, in block order.
    enum Field {
        kStartMarker,
        kEpochTime,
        kHighResolutionTimeStamp,
        kFrameNumber,
        kOffsetToThisFrame,
        kOffsetToNextFrame,
        kOffsetToPriorFrame,
        kLengthOfFrameData,
        kHeaderChecksum,
        kFrameDataChecksum,
        kFieldCount
    };

    // The table this system writes, and how each field is encoded.
    struct StandardField {
        const char* name;
        uint32_t offset;     // byte offset inside the block
        uint32_t length;     // the length attribute written
        const char* format;  // the format attribute written
        uint32_t width;      // bytes the value occupies
    };
    static const StandardField kStandardFields[kFieldCount];

    static constexpr const char* kUnsignedLongInteger = "Unsigned Long Integer";  // 4 bytes, BE
    static constexpr const char* kIeeeDouble = "IEEE Double";                     // 8 bytes, LE
    static constexpr const char* kUnsignedLongLong = "Unsigned Long Long";        // 8 bytes, BE

    KovFrameHeaderField(std::string name, uint32_t offset, uint32_t length, std::string formatName,
                        bool complete = true);
    virtual ~KovFrameHeaderField() = default;

    const std::string& getName() const { return name_; }
    uint32_t getOffset() const { return offset_; }
    uint32_t getLength() const { return length_; }
    const std::string& getFormatName() const { return formatName_; }
    // All four attributes were present when the entry was read from a file.
    bool isComplete() const { return complete_; }

    // Live entries in the process (leak diagnostics only).
    static long liveInstances() {
        return LiveInstanceCounter<KovFrameHeaderField>::liveInstances();
    }

private:
    std::string name_;
    uint32_t offset_;
    uint32_t length_;
    std::string formatName_;
    bool complete_;
    LiveInstanceCounter<KovFrameHeaderField> counter_;
};
