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

}  // namespace kolva
