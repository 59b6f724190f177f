#pragma once

#include <cstdint>
#include <cstring>

// Reading and writing integers of a given byte order at a byte position, never by casting
// pointers: file formats fix their byte order, the machine does not.
namespace ByteOrder {

inline uint16_t readBigEndian16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t readBigEndian32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
inline uint64_t readBigEndian64(const uint8_t* p) {
    return (static_cast<uint64_t>(readBigEndian32(p)) << 32) | readBigEndian32(p + 4);
}
inline uint16_t readLittleEndian16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t readLittleEndian32(const uint8_t* p) {
    return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t readLittleEndian64(const uint8_t* p) {
    return readLittleEndian32(p) | (static_cast<uint64_t>(readLittleEndian32(p + 4)) << 32);
}
inline double readLittleEndianDouble(const uint8_t* p) {
    const uint64_t bits = readLittleEndian64(p);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void writeBigEndian16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
inline void writeBigEndian32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
inline void writeBigEndian64(uint8_t* p, uint64_t v) {
    writeBigEndian32(p, static_cast<uint32_t>(v >> 32));
    writeBigEndian32(p + 4, static_cast<uint32_t>(v));
}
inline void writeLittleEndian16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void writeLittleEndian32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}
inline void writeLittleEndian64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}
inline void writeLittleEndianDouble(uint8_t* p, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    writeLittleEndian64(p, bits);
}

}  // namespace ByteOrder
