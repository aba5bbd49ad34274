// The blocks the search reads with pread: the same bytes as the file, held for one walk, read
// through the mapping once an earlier walk entered them, bounded, and a failed read reported.
#include <gtest/gtest.h>

#include <unistd.h>

#include "index/block_cache.h"
#include "test_support.h"

namespace kolva {
namespace {

// A file of `blocks` 4 KB blocks and a partial one of 100 bytes; byte i of block b is b + i.
std::string Blocks(uint32_t blocks) {
    std::string bytes(size_t(blocks) * 4096 + 100, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i / 4096 + i % 4096);
    return bytes;
}

TEST(BlockCache, HoldsABlockForOneWalkThenLeavesItToTheMapping) {
    test::TempDir dir;
    const uint32_t count = BlockCache::kMaxBlocks + 8;
    const std::string bytes = Blocks(count);
    test::WriteBytes(dir / "p", bytes);
    BlockCache cache;
    ASSERT_TRUE(cache.Open(dir / "p", count + 1));
    bool failed = true;
    const uint8_t* first = cache.Find(3, 4096, failed);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(failed);
    EXPECT_EQ(0, std::memcmp(first, bytes.data() + 3 * 4096, 4096));
    EXPECT_EQ(cache.Find(3, 4096, failed), first);  // entered again in the same walk
    // The partial last block is read up to the file's end.
    const uint8_t* last = cache.Find(count, 100, failed);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(0, std::memcmp(last, bytes.data() + size_t(count) * 4096, 100));
    // Outside the file, or more than a block: not this cache's to read.
    EXPECT_EQ(cache.Find(count + 1, 4096, failed), nullptr);
    EXPECT_EQ(cache.Find(4, 4097, failed), nullptr);

    cache.BeginSearch();
    EXPECT_EQ(cache.Find(3, 4096, failed), nullptr);  // entered before: through the mapping
    EXPECT_FALSE(failed);
    // The bound: blocks past it are read through the mapping, those held stay right.
    std::vector<const uint8_t*> held;
    for (uint32_t b = 4; b < count; ++b) held.push_back(cache.Find(b, 4096, failed));
    for (uint32_t b = 4; b < count; ++b) {
        const uint8_t* got = held[b - 4];
        if (b - 4 < BlockCache::kMaxBlocks) {
            ASSERT_NE(got, nullptr) << b;
            EXPECT_EQ(0, std::memcmp(got, bytes.data() + size_t(b) * 4096, 4096)) << b;
        } else {
            EXPECT_EQ(got, nullptr) << b;
        }
    }
}

TEST(BlockCache, AFailedReadIsReported) {
    test::TempDir dir;
    test::WriteBytes(dir / "p", Blocks(4));
    BlockCache cache;
    ASSERT_TRUE(cache.Open(dir / "p", 5));
    // The file cut short after it was opened (as the mapping saw it).
    ASSERT_EQ(::truncate((dir / "p").c_str(), 4096), 0);
    bool failed = false;
    EXPECT_EQ(cache.Find(2, 4096, failed), nullptr);
    EXPECT_TRUE(failed);
    EXPECT_NE(cache.Find(0, 4096, failed), nullptr);
    EXPECT_FALSE(failed);
    EXPECT_FALSE(BlockCache().Open(dir / "missing", 1));
}

}  // namespace
}  // namespace kolva
