#include "platform/checksum.h"

#include <algorithm>
#include <cstring>

namespace kolva {

namespace {

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t kPrime3 = 0x165667B19E3779F9ull;

inline uint64_t Rotl(uint64_t x, int r) { return x << r | x >> (64 - r); }
inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;  // little-endian machines only, like the rest of the program
}
inline uint64_t Round(uint64_t acc, uint64_t input) {
    return Rotl(acc + input * kPrime2, 31) * kPrime1;
}
inline uint64_t Mix(uint64_t h) {
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    h ^= h >> 32;
    return h;
}

// Both forms below: the four lanes over the 32-byte stripes from p to end, then the lanes
// folded into h; the tail of fewer than 32 bytes into h.
inline void Stripes(uint64_t (&v)[4], const uint8_t* p, const uint8_t* end) {
    uint64_t v0 = v[0], v1 = v[1], v2 = v[2], v3 = v[3];
    for (; p < end; p += 32) {
        v0 = Round(v0, Load64(p));
        v1 = Round(v1, Load64(p + 8));
        v2 = Round(v2, Load64(p + 16));
        v3 = Round(v3, Load64(p + 24));
    }
    v[0] = v0, v[1] = v1, v[2] = v2, v[3] = v3;
}
inline uint64_t Fold(uint64_t h, const uint64_t (&v)[4]) {
    return Mix(h ^ (Rotl(v[0], 1) + Rotl(v[1], 7) + Rotl(v[2], 12) + Rotl(v[3], 18)));
}
inline uint64_t Tail(uint64_t h, const uint8_t* p, size_t rest) {
    for (; rest >= 8; rest -= 8, p += 8) h = Rotl(h ^ Round(0, Load64(p)), 27) * kPrime1 + kPrime3;
    for (; rest > 0; --rest, ++p) h = Rotl(h ^ (uint64_t(*p) * kPrime3), 11) * kPrime1;
    return Mix(h);
}

}  // namespace

uint64_t Checksum64(const void* data, size_t size, uint64_t seed) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint64_t h = seed + kPrime3 + uint64_t(size);
    if (size >= 32) {
        uint64_t v[4] = {seed + kPrime1 + kPrime2, seed + kPrime2, seed, seed - kPrime1};
        const uint8_t* end = p + (size & ~size_t(31));
        Stripes(v, p, end);
        p = end;
        h = Fold(h, v);
    }
    return Tail(h, p, size & 31);
}

Checksum64Pieces::Checksum64Pieces(uint64_t size, uint64_t seed)
    : m_h(seed + kPrime3 + size),
      m_v{seed + kPrime1 + kPrime2, seed + kPrime2, seed, seed - kPrime1},
      m_stripeBytes(size & ~uint64_t(31)),
      m_long(size >= 32) {}

void Checksum64Pieces::Add(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    const size_t stripes = size_t(std::min<uint64_t>(size, m_stripeBytes) & ~uint64_t(31));
    Stripes(m_v, p, p + stripes);
    m_stripeBytes -= stripes;
    // What follows the stripes: the tail, in the last piece.
    const size_t rest = std::min(size - stripes, sizeof m_tail - m_tailSize);
    std::memcpy(m_tail + m_tailSize, p + stripes, rest);
    m_tailSize += rest;
}

uint64_t Checksum64Pieces::Sum() const {
    return Tail(m_long ? Fold(m_h, m_v) : m_h, m_tail, m_tailSize);
}

}  // namespace kolva
