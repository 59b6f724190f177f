// Feeds arbitrary bytes to the KOV file-header reader; a header that reads must write back and
// read again to the same values.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "KovFileHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    KovFileHeader header(0, 0, 0, 0.0, 0, "");
    const bool valid = header.readFromStream(input);
    if (header.getHeaderLength() > size) {
        std::abort();  // the header cannot be longer than what was read
    }
    if (!valid) {
        return 0;
    }
    std::stringstream written;
    if (!header.writeToStream(written)) {
        std::abort();
    }
    // A name listed twice keeps one entry but counts both lengths; such a table does not survive
    // the round trip (its block changes), so only tables without repeats are compared.
    uint64_t tableLength = 0;
    for (const auto& [name, field] : header.getFieldTable()) {
        tableLength += field->getLength();
    }
    if (tableLength != header.getFrameHeaderLength()) {
        return 0;
    }
    KovFileHeader again(0, 0, 0, 0.0, 0, "");
    if (!again.readFromStream(written) || again.getFrameWidth() != header.getFrameWidth() ||
        again.getFrameHeaderLength() != header.getFrameHeaderLength() ||
        again.getFrameEncoding() != header.getFrameEncoding() ||
        again.getFrameFieldOffsets() != header.getFrameFieldOffsets() ||
        again.headerText() != header.headerText()) {
        std::abort();
    }
    return 0;
}
