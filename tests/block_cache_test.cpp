// The blocks the search reads with pread: the same bytes as the file, held until the cache is
// closed, read through the mapping once room has run out, and a failed read reported.
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

TEST(BlockCache, KeepsTheBlocksItReadAndReadsTheRestThroughTheMapping) {
    test::TempDir dir;
    const uint32_t count = BlockCache::kMaxBlocks + 8;
    const std::string bytes = Blocks(count);
    test::WriteBytes(dir / "p", bytes);
    ReadMemory memory;
    BlockCache cache;
    ASSERT_TRUE(cache.Open(dir / "p", count + 1, memory));
    auto same = [&](const uint8_t* got, uint32_t block, size_t n = 4096) {
        return got != nullptr && std::memcmp(got, bytes.data() + size_t(block) * 4096, n) == 0;
    };
    bool failed = true;
    const uint8_t* first = cache.Find(3, 4096, failed);
    EXPECT_TRUE(same(first, 3));
    EXPECT_FALSE(failed);
    EXPECT_EQ(cache.Find(3, 4096, failed), first);  // entered again
    // The partial last block is read up to the file's end.
    EXPECT_TRUE(same(cache.Find(count, 100, failed), count, 100));
    // Outside the file, or more than a block: not this cache's to read.
    EXPECT_EQ(cache.Find(count + 1, 4096, failed), nullptr);
    EXPECT_EQ(cache.Find(4, 4097, failed), nullptr);

    // More blocks than there is room for: those that find room are held, the rest are read
    // through the mapping, and no block makes way for another.
    std::vector<const uint8_t*> held;
    for (uint32_t b = 4; b < count; ++b) held.push_back(cache.Find(b, 4096, failed));
    for (uint32_t b = 4; b < count; ++b) {
        if (b - 4 < BlockCache::kMaxBlocks - 2)
            EXPECT_TRUE(same(held[b - 4], b)) << b;
        else
            EXPECT_EQ(held[b - 4], nullptr) << b;
        EXPECT_EQ(cache.Find(b, 4096, failed), held[b - 4]) << b;  // every one found again
    }
    EXPECT_EQ(cache.Find(3, 4096, failed), first);
    EXPECT_FALSE(failed);
}

TEST(BlockCache, AFailedReadIsReported) {
    test::TempDir dir;
    test::WriteBytes(dir / "p", Blocks(4));
    ReadMemory memory;
    BlockCache cache;
    ASSERT_TRUE(cache.Open(dir / "p", 5, memory));
    // The file cut short after it was opened (as the mapping saw it).
    ASSERT_EQ(::truncate((dir / "p").c_str(), 4096), 0);
    bool failed = false;
    EXPECT_EQ(cache.Find(2, 4096, failed), nullptr);
    EXPECT_TRUE(failed);
    EXPECT_EQ(cache.Find(2, 4096, failed), nullptr);  // and again, never through the mapping
    EXPECT_TRUE(failed);
    EXPECT_NE(cache.Find(0, 4096, failed), nullptr);
    EXPECT_FALSE(failed);
    EXPECT_FALSE(BlockCache().Open(dir / "missing", 1, memory));
}

}  // namespace
}  // namespace kolva
