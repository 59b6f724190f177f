#pragma once

#include <cryptopp/secblock.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Text that may hold key material: its heap buffers are wiped when freed (also on growth).
using SecretText =
    std::basic_string<char, std::char_traits<char>, CryptoPP::AllocatorWithCleanup<char>>;

// The small text conversions shared by sealed media files and key files. All are independent of
// the process locale, so a sealed file reads the same whatever language the desktop runs in.
class SealedFormatText {
public:
    // Upper-case hexadecimal, two digits per byte, no separators.
    static std::string toHex(const uint8_t* bytes, size_t size);
    // The same into wiped memory, for key material.
    static SecretText toSecretHex(const uint8_t* bytes, size_t size);

    // Decodes hexadecimal text: both letter cases, characters that are not hexadecimal digits
    // skipped, a final unpaired digit dropped. At most `maximumBytes` are stored into `bytes`;
    // the return value is the count the whole text encodes (may exceed `maximumBytes`).
    static size_t fromHex(std::string_view text, uint8_t* bytes, size_t maximumBytes);

    // Decimal integers as the formats store them: optional blanks around, an optional sign and
    // digits only. False for anything else or a value outside [minimum, maximum].
    static bool parseInteger(std::string_view text, int64_t minimum, int64_t maximum,
                             int64_t& value);
    // Epoch seconds as stored in sealed files: "%0.3f" form (any decimal number is read).
    static std::string formatMilliseconds(double seconds);
    static bool parseDouble(std::string_view text, double& value);

    // True for a file-name component that names a file in its directory: not empty, not "." or
    // "..", without "/" and without NUL bytes.
    static bool isPlainFileName(std::string_view name);

    // True when `text` holds a control character: C0 (0x00-0x1F), DEL (0x7F), C1 (U+0080-U+009F)
    // written in UTF-8, or a byte 0x80-0x9F outside any UTF-8 sequence (C1 in 8-bit character
    // sets). Such text may move a terminal's cursor, forge lines or retitle windows.
    static bool hasControlCharacters(std::string_view text);
    // `text` as a terminal may show it: those characters, and bytes that are no part of a UTF-8
    // character, written as \xNN (two hexadecimal digits, upper case); everything else as it is.
    static std::string escapeControlCharacters(std::string_view text);

    // The latest time a recording can have: media file names carry eight hexadecimal digits of
    // seconds since 1970.
    static constexpr double kLatestRecordingTime = 4294967296.0;
    // True for finite epoch seconds from 0 to kLatestRecordingTime.
    static bool isRecordingTime(double seconds);
};
