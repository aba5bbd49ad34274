#include "platform/checksum.h"

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

}  // namespace

uint64_t Checksum64(const void* data, size_t size, uint64_t seed) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint64_t h = seed + kPrime3 + uint64_t(size);
    if (size >= 32) {
        uint64_t v[4] = {seed + kPrime1 + kPrime2, seed + kPrime2, seed, seed - kPrime1};
        const uint8_t* end = p + (size & ~size_t(31));
        for (; p < end; p += 32) {
            v[0] = Round(v[0], Load64(p));
            v[1] = Round(v[1], Load64(p + 8));
            v[2] = Round(v[2], Load64(p + 16));
            v[3] = Round(v[3], Load64(p + 24));
        }
        h ^= Rotl(v[0], 1) + Rotl(v[1], 7) + Rotl(v[2], 12) + Rotl(v[3], 18);
        h = Mix(h);
    }
    size_t rest = size & 31;
    for (; rest >= 8; rest -= 8, p += 8) h = Rotl(h ^ Round(0, Load64(p)), 27) * kPrime1 + kPrime3;
    for (; rest > 0; --rest, ++p) h = Rotl(h ^ (uint64_t(*p) * kPrime3), 11) * kPrime1;
    return Mix(h);
}

}  // namespace kolva
