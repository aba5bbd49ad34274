// Little-endian integers in byte strings: every data file of a collection stores its numbers this
// way. Each Put appends to a byte string; each Load reads from bytes that the caller has checked
// hold the whole value (Load reads sizeof the value unconditionally, from unaligned memory).
// Nothing else in the program encodes or decodes a little-endian number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kolva {

// (One append a number: writers put millions of them, and a push_back a byte costs a check of
// the room each.)
inline void PutLE16(std::string& out, uint16_t v) {
    const char bytes[2] = {char(v & 0xFF), char(v >> 8)};
    out.append(bytes, 2);
}
inline void PutLE32(std::string& out, uint32_t v) {
    const char bytes[4] = {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF),
                           char(v >> 24)};
    out.append(bytes, 4);
}
inline void PutLE64(std::string& out, uint64_t v) {
    PutLE32(out, uint32_t(v));
    PutLE32(out, uint32_t(v >> 32));
}

// Stores v in the two, four or eight bytes at out; out must hold them.
inline void EncodeLE16(uint8_t* out, uint16_t v) {
    out[0] = uint8_t(v);
    out[1] = uint8_t(v >> 8);
}
inline void EncodeLE32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = uint8_t(v >> (8 * i));
}
inline void EncodeLE64(uint8_t* out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out[i] = uint8_t(v >> (8 * i));
}

// Precondition of each Load: p points at (at least) 2, 4 or 8 readable bytes.
inline uint16_t LoadLE16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t LoadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t LoadLE64(const uint8_t* p) {
    return uint64_t(LoadLE32(p)) | uint64_t(LoadLE32(p + 4)) << 32;
}

}  // namespace kolva
