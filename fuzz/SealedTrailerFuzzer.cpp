// Feeds arbitrary bytes to the sealed-file trailer reader: the search for the trailer at the end
// of a file and the trailer parser, then reads back every field and checks what an accepted
// trailer may hold.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "KorvalisEncryptedMediaFile.h"
#include "SealedFormatText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t tailSize = std::min(size, KorvalisEncryptedMediaFile::kTrailerSearchBytes);
    std::string text;
    KorvalisEncryptedMediaFile file;
    if (KorvalisEncryptedMediaFile::findTrailer(data + size - tailSize, tailSize, text)) {
        file.parseHeader(text);
    }
    if (file.parseHeader(std::string(reinterpret_cast<const char*>(data), size))) {
        // What a trailer that reads may hold: times a recording can have, names that are safe to
        // show on a terminal.
        if (!SealedFormatText::isRecordingTime(file.getStartTime()) ||
            !SealedFormatText::isRecordingTime(file.getEndTime()) ||
            SealedFormatText::hasControlCharacters(file.getOriginalFileName()) ||
            SealedFormatText::hasControlCharacters(file.getOriginalFilePath())) {
            __builtin_trap();
        }
    }
    SealedFormatText::escapeControlCharacters(file.getOriginalFileName());
    volatile double duration = file.getDuration();
    volatile int64_t length = file.getOriginalFileLength() + file.getKeyLength();
    (void)duration;
    (void)length;
    KorvalisEncryptedMediaFile::sealedFileNameFor(file.getOriginalFileName());
    return 0;
}
