// The posting number and entry byte count as the writer puts them and the reader gets them, and
// the reader's fast paths (sixteen numbers at once, counting without decoding) held against that
// pair.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "index/postings_format.h"
#include "index/postings_stream.h"

namespace kolva {
namespace {

std::string Put(uint32_t value) {
    char bytes[kMaxPostingNumberBytes];
    return std::string(bytes, PutPostingNumber(bytes, value));
}

TEST(PostingsFormat, NumbersPutAndGetAtEveryLengthBoundary) {
    const struct {
        uint32_t value;
        std::string bytes;
    } cases[] = {
        {0, std::string(1, '\0')},
        {0x7F, "\x7F"},
        {0x80, "\x80\x80"},
        {0x3FFF, "\xBF\xFF"},
        {0x4000, std::string("\xC0\x40\x00", 3)},
        {0x12345, "\xC1\x23\x45"},
        {kMaxPostingNumber, "\xFF\xFF\xFF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Put(c.value), c.bytes) << c.value;
        const auto* in = reinterpret_cast<const uint8_t*>(c.bytes.data());
        uint32_t length = 0;
        EXPECT_EQ(GetPostingNumber(in, length), c.value) << c.value;
        EXPECT_EQ(length, c.bytes.size()) << c.value;
        EXPECT_EQ(PostingNumberLength(in[0]), c.bytes.size()) << c.value;
    }
    char count[kEntryCountBytes];
    PutEntryByteCount(count, 0xFE01);
    EXPECT_EQ(std::string(count, 2), "\x01\xFE");
    EXPECT_EQ(GetEntryByteCount(reinterpret_cast<const uint8_t*>(count)), 0xFE01u);
}

// Position data of one entry: deltas drawn so that runs of one-byte numbers (which the reader
// takes sixteen at a time) alternate with two- and three-byte ones.
std::string RandomEntry(std::mt19937& random, size_t numbers, std::vector<uint32_t>& deltas) {
    deltas.assign(1, random() % 0x4000);  // the first is the position itself, 0 allowed
    while (deltas.size() < numbers) {
        const uint32_t kind = random() % 3;
        if (kind == 0) {
            for (uint32_t run = 16 + random() % 24; run > 0 && deltas.size() < numbers; --run)
                deltas.push_back(1 + random() % 0x7F);
        } else {
            deltas.push_back(kind == 1 ? 0x80 + random() % 0x3F80 : 0x4000 + random() % 0x10000);
        }
    }
    std::string bytes;
    for (uint32_t delta : deltas) bytes += Put(delta);
    return bytes;
}

// Two blocks, the first continuing in the second.
struct TwoBlocks {
    std::vector<uint8_t> postings = std::vector<uint8_t>(2 * kBlockSize, 0);
    std::vector<uint32_t> next = {1, 0xFFFFFFFF};
    StreamReader reader{postings.data(), postings.size(), next.data(), 2, 2};

    StreamCursor Place(const std::string& entry, uint32_t offset) {
        std::copy(entry.begin(), entry.end(), postings.begin() + offset);
        return StreamCursor{0, offset, kBlockSize, 1, 0, 0, uint32_t(entry.size()), 0,
                            postings.data()};
    }
};

TEST(PostingsFormat, FastPathsAgreeWithTheNumberPair) {
    std::mt19937 random(15);
    TwoBlocks blocks;
    std::vector<uint32_t> deltas, out;
    for (int round = 0; round < 400; ++round) {
        const size_t numbers = 1 + random() % 120;
        const std::string entry = RandomEntry(random, numbers, deltas);
        // Most entries lie inside the first block; some end near its end or run into the next.
        const uint32_t offset = round % 4 == 3
                                    ? kBlockSize - uint32_t(random() % (entry.size() + 8))
                                    : uint32_t(random() % 512);
        blocks.postings.assign(blocks.postings.size(), 0);
        const StreamCursor at = blocks.Place(entry, offset);

        std::vector<uint32_t> expected;
        uint64_t aligned = 7;
        for (size_t q = 0; q < entry.size();) {
            const auto* in = reinterpret_cast<const uint8_t*>(entry.data()) + q;
            uint32_t length;
            aligned += GetPostingNumber(in, length);
            expected.push_back(uint32_t(aligned));
            q += length;
        }
        size_t count = 0;
        ASSERT_TRUE(DecodeEntry(blocks.reader, at, 7, out, count)) << round;
        ASSERT_EQ(std::vector<uint32_t>(out.begin(), out.begin() + long(count)), expected) << round;
        EXPECT_EQ(CountNumbers(reinterpret_cast<const uint8_t*>(entry.data()), entry.size()),
                  numbers)
            << round;
    }
}

TEST(PostingsFormat, DecodingAnEntryRefusesWhatTheFormatRulesOut) {
    TwoBlocks blocks;
    std::vector<uint32_t> out;
    size_t count = 0;
    const std::string ones(40, '\x01');
    // A zero step after the first position, in the sixteen-at-once path and the one-by-one path.
    for (size_t at : {size_t(20), size_t(39)}) {
        std::string entry = ones;
        entry[at] = '\0';
        EXPECT_FALSE(DecodeEntry(blocks.reader, blocks.Place(entry, 0), 0, out, count)) << at;
    }
    // A first position of 0 is a position like any other.
    std::string first = ones;
    first[0] = '\0';
    EXPECT_TRUE(DecodeEntry(blocks.reader, blocks.Place(first, 0), 0, out, count));
    EXPECT_EQ(count, 40u);
    // A number whose bytes run past the entry's byte count.
    const std::string cut = "\x05\xC1\x23";
    StreamCursor short_ = blocks.Place(cut, 100);
    short_.remaining = 2;
    EXPECT_FALSE(DecodeEntry(blocks.reader, short_, 0, out, count));
}

}  // namespace
}  // namespace kolva
