// A 64-bit checksum of bytes, for files that must be recognised again (which data files an
// accelerator was made from) and for catching damage in files of our own. Not cryptographic:
// it finds accidents (a flipped bit, a truncated or rewritten file), not forgeries.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kolva {

// Checksum of size bytes at data, continuing from seed (0 to start). Four lanes of 64-bit
// multiply-rotate rounds over 32-byte stripes, the tail byte by byte.
uint64_t Checksum64(const void* data, size_t size, uint64_t seed = 0);

// Checksum64 of size bytes given in pieces, in order: every piece but the last a multiple of
// 32 bytes long (a file read a buffer at a time).
class Checksum64Pieces {
public:
    explicit Checksum64Pieces(uint64_t size, uint64_t seed = 0);
    void Add(const void* data, size_t size);
    // Once all size bytes are given.
    uint64_t Sum() const;

private:
    uint64_t m_h;
    uint64_t m_v[4];
    uint64_t m_stripeBytes;  // of the 32-byte stripes still to come
    bool m_long;             // size reaches a stripe
    uint8_t m_tail[32] = {};
    size_t m_tailSize = 0;
};

}  // namespace kolva
