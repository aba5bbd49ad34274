// The checksum of bytes given in pieces is the checksum of them given at once.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/checksum.h"

namespace kolva {
namespace {

TEST(Checksum64Pieces, SameAsAllAtOnce) {
    std::mt19937 rng(64);
    std::string bytes(70000, '\0');
    for (char& c : bytes) c = char(rng());
    for (size_t size : {0u, 1u, 7u, 31u, 32u, 33u, 63u, 64u, 100u, 4096u, 65536u, 70000u})
        for (uint64_t seed : {uint64_t(0), uint64_t(12345)}) {
            Checksum64Pieces pieces(size, seed);
            size_t at = 0;
            while (at < size) {
                // Pieces of 32 bytes times 0 to 40, the last one whatever is left.
                size_t n = 32 * size_t(rng() % 41);
                if (n == 0 || at + n > size) n = size - at;
                pieces.Add(bytes.data() + at, n);
                at += n;
            }
            EXPECT_EQ(pieces.Sum(), Checksum64(bytes.data(), size, seed))
                << size << " bytes, seed " << seed;
        }
}

}  // namespace
}  // namespace kolva
