#pragma once

#include <cstdint>
#include <string>

// Receives the bytes of every split and write operation, in order, instead of a file stream:
// `context` is the caller's, `timeSeconds` is always 0.0 from the media files, `targetFileName`
// names the file the bytes belong to, and `finished` is true on the last call for that file.
// Returns false to report a failed write, which fails the operation.
using KovWriteCallback = bool (*)(void* context, double timeSeconds, const uint8_t* bytes,
                                  uint32_t count, const std::string* targetFileName, bool finished);
