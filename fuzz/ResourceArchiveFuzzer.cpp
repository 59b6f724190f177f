// Feeds arbitrary bytes to the resource archive: first as index text, then as a whole program file
// whose tail is searched for the index, every entry of which is then loaded. Checks what an
// accepted archive may give: never more bytes than the file holds, and the same bytes on a
// second load.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "../src/app/resources/KorvalisResourceArchive.h"
#include "../src/app/resources/KorvalisResourceIndex.h"

namespace {

// One scratch file for the whole run, rewritten for every input.
const std::string& scratchFile() {
    static const std::string path = [] {
        char name[] = "/tmp/fuzz_resource_archive.XXXXXX";
        const int descriptor = mkstemp(name);
        if (descriptor < 0) {
            std::abort();
        }
        close(descriptor);
        return std::string(name);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KorvalisResourceIndex index;
    index.parse(std::string_view(reinterpret_cast<const char*>(data), size));

    const std::string& path = scratchFile();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    KorvalisResourceArchive archive;
    if (!archive.open(path)) {
        return 0;
    }
    for (size_t i = 0; i < archive.index().size(); ++i) {
        const std::string name = archive.index().entry(i).resource->name();
        std::vector<uint8_t> first;
        if (!archive.loadResource(name, first)) {
            continue;
        }
        if (first.size() > size) {
            __builtin_trap();
        }
        std::vector<uint8_t> second;
        if (!archive.loadResource(name, second) || first != second) {
            __builtin_trap();
        }
    }
    return 0;
}
