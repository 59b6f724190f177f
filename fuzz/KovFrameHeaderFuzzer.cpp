// Reads a KOV file header and then frame headers one after another from arbitrary bytes, as a
// navigator walking a damaged file would; every block that decodes must encode back to itself.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "KovFrameHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    KovFileHeader fileHeader(0, 0, 0, 0.0, 0, "");
    fileHeader.readFromStream(input);
    input.clear();
    input.seekg(fileHeader.getHeaderLength());
    for (int frames = 0; frames < 64 && input.good(); ++frames) {
        KovFrameHeader header(&fileHeader);
        header.readFromStream(input);
        if (input.fail()) {
            break;
        }
        header.hasValidMarker();
        // Round trip: what was decoded is written and read back unchanged (the marker is always
        // written as the real one).
        std::stringstream block;
        if (!header.writeToStream(block)) {
            std::abort();
        }
        block << "tail";
        KovFrameHeader again(&fileHeader);
        again.readFromStream(block);
        if (again.getFrameNumber() != header.getFrameNumber() ||
            again.getLengthOfFrameData() != header.getLengthOfFrameData() ||
            again.getHighResolutionTimeStamp() != header.getHighResolutionTimeStamp()) {
            // Overlapping fields may legitimately disagree; only the standard table must agree.
            if (fileHeader.isValid() && fileHeader.getFrameHeaderLength() == 72 &&
                fileHeader.getFieldTable().size() == 10 &&
                fileHeader.getFieldOffset("Start_Marker") == 0 &&
                fileHeader.getFieldOffset("Frame_Number") == 20 &&
                fileHeader.getFieldOffset("Length_Of_Frame_Data") == 36 &&
                fileHeader.getFieldOffset("High_Resolution_Time_Stamp") == 12 &&
                fileHeader.getFieldOffset("Epoch_Time") == 4) {
                std::abort();
            }
        }
        // Skip the frame data as a reader would, bounded by what is there.
        const uint64_t skip = header.getLengthOfFrameData();
        if (skip > size) {
            break;
        }
        input.seekg(static_cast<std::streamoff>(skip), std::ios::cur);
    }
    return 0;
}
