// Feeds arbitrary bytes to the user key file parser and, when the file asks for few iterations,
// uncovers its master key (decryption, padding and the master key document parser).

#include <cstddef>
#include <cstdint>
#include <string>

#include "KorvalisUserSealingKey.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KorvalisUserSealingKey key;
    if (key.loadFromText(std::string(reinterpret_cast<const char*>(data), size)) &&
        key.getIterations() <= 16) {
        key.uncoverMasterKey(std::string("fuzz"));
        key.uncoverMasterKey(nullptr, 0);
    }
    return 0;
}
