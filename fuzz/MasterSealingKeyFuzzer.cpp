// Feeds arbitrary bytes to the master key document parser.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "KorvalisMasterSealingKey.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KorvalisMasterSealingKey key("String",
                                 std::string_view(reinterpret_cast<const char*>(data), size));
    if (key.isValid() && (key.getKeyLength() < 16 || key.getKeyLength() > 32)) {
        __builtin_trap();  // A valid key is always an AES key.
    }
    return 0;
}
