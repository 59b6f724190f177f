// Feeds arbitrary bytes to the sealed-file trailer reader: the search for the trailer at the end
// of a file and the trailer parser, then reads back every field.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "KorvalisEncryptedMediaFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t tailSize = std::min(size, KorvalisEncryptedMediaFile::kTrailerSearchBytes);
    std::string text;
    KorvalisEncryptedMediaFile file;
    if (KorvalisEncryptedMediaFile::findTrailer(data + size - tailSize, tailSize, text)) {
        file.parseHeader(text);
    }
    file.parseHeader(std::string(reinterpret_cast<const char*>(data), size));
    volatile double duration = file.getDuration();
    volatile int64_t length = file.getOriginalFileLength() + file.getKeyLength();
    (void)duration;
    (void)length;
    KorvalisEncryptedMediaFile::sealedFileNameFor(file.getOriginalFileName());
    return 0;
}
