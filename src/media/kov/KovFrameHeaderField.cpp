#include "KovFrameHeaderField.h"

// Block layout: marker (4 bytes BE) at 0, epoch time (8 bytes LE double) at 4, time stamp
// (8 bytes BE) at 12, then seven 4-byte BE integers at 20-44; bytes 48-71 are zero. The length
// attributes (8 for integers, 4 for the 8-byte values) add up to the 72-byte block.
const KovFrameHeaderField::StandardField
    KovFrameHeaderField::kStandardFields[KovFrameHeaderField::kFieldCount] = {
        {"Start_Marker", 0, 8, kUnsignedLongInteger, 4},
        {"Epoch_Time", 4, 4, kIeeeDouble, 8},
        {"High_Resolution_Time_Stamp", 12, 4, kUnsignedLongLong, 8},
        {"Frame_Number", 20, 8, kUnsignedLongInteger, 4},
        {"Offset_To_This_Frame", 24, 8, kUnsignedLongInteger, 4},
        {"Offset_To_Next_Frame", 28, 8, kUnsignedLongInteger, 4},
        {"Offset_To_Prior_Frame", 32, 8, kUnsignedLongInteger, 4},
        {"Length_Of_Frame_Data", 36, 8, kUnsignedLongInteger, 4},
        {"Header_Checksum", 40, 8, kUnsignedLongInteger, 4},
        {"Frame_Data_Checksum", 44, 8, kUnsignedLongInteger, 4},
};

KovFrameHeaderField::KovFrameHeaderField(std::string name, uint32_t offset, uint32_t length,
                                         std::string formatName, bool complete)
    : name_(std::move(name)),
      offset_(offset),
      length_(length),
      formatName_(std::move(formatName)),
      complete_(complete) {}
