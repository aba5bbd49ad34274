// Reading postings streams across block ends, and what a damaged stream does to a search.
#include <gtest/gtest.h>

#include <set>

#include "test_support.h"

namespace kolva {
namespace {

using test::Results;
using test::TempDir;
using Hits = std::vector<std::pair<uint32_t, uint32_t>>;

const int32_t kSlotA = CharToSlot(U'一');
const int32_t kSlotB = CharToSlot(U'二');

void WriteOnePageStore(const std::filesystem::path& folder) {
    PageStoreWriter store(folder);
    store.AddPage(test::PageName(1), "<html></html>");
    store.Finish();
}

Hits Search(CIndex& index, std::u16string kw) {
    return Results(index.SearchAnd(kw, false));
}

// Splits of a stream's items by the block ends, as "kind+length@split".
void ClassifySplits(const std::string& s, std::set<std::string>& splits) {
    auto note = [&](const char* kind, size_t start, size_t len) {
        for (size_t end = kBlockSize; end < s.size(); end += kBlockSize)
            if (start < end && end < start + len)
                splits.insert(kind + std::to_string(len) + "@" + std::to_string(end - start));
    };
    auto numberLength = [&](size_t at) { return uint8_t(s[at]) < 0x80 ? 1 : uint8_t(s[at]) < 0xC0 ? 2 : 3; };
    for (size_t at = 0; at < s.size();) {
        size_t len = size_t(numberLength(at));
        note("delta", at, len);
        at += len;
        note("count", at, 2);
        size_t count = uint8_t(s[at]) | uint8_t(s[at + 1]) << 8;
        at += 2;
        for (size_t end = at + count; at < end; at += len) {
            len = size_t(numberLength(at));
            note("pos", at, len);
        }
    }
}

TEST(PostingsChains, ReadAcrossBlockEndsWhereverTheyFall) {
    std::set<std::string> splits;
    for (BlockOrder order : {BlockOrder::kInterleaved, BlockOrder::kReversed}) {
        for (uint32_t shift = 0; shift < 24; ++shift) {
            TempDir dir;
            WriteOnePageStore(dir.path());
            IndexWriter writer;
            Hits expected;
            auto add = [&](uint32_t page, const std::vector<uint32_t>& positions) {
                for (uint32_t p : positions) {
                    writer.AddPosition(kSlotA, page, p);
                    writer.AddPosition(kSlotB, page, p + 1);
                }
                expected.emplace_back(page, uint32_t(positions.size()));
            };
            // A first entry that grows by one byte per shift moves every later byte.
            std::vector<uint32_t> first;
            for (uint32_t i = 0; i <= shift; ++i) first.push_back(2 * i);
            add(0, first);
            uint32_t page = 0;
            const std::vector<std::vector<uint32_t>> shapes = {
                {5}, {200, 202}, {17000, 17002, 40000}, {0}, {9000}};
            for (uint32_t k = 0; k < 1800; ++k) {
                page += k % 3 == 0 ? 1 : k % 3 == 1 ? 300 : 20000;  // 1-, 2- and 3-byte deltas
                add(page, shapes[k % shapes.size()]);
            }
            writer.Write(dir.path(), "Index", order);
            CIndex index;
            ASSERT_TRUE(index.Open(dir.path(), "Index", 0));
            ASSERT_EQ(Search(index, u"一"), expected) << shift;
            ASSERT_EQ(Search(index, u"一二"), expected) << shift;
            ClassifySplits(writer.SlotStream(kSlotA), splits);
        }
    }
    for (const char* split : {"delta2@1", "delta3@1", "delta3@2", "count2@1", "pos2@1", "pos3@1",
                              "pos3@2"})
        EXPECT_TRUE(splits.count(split)) << split;
}

// 一 on pages 5 .. 5 + n - 1, one position each: entries of 4 bytes (delta, count, position),
// so the stream of 一 fills blocks 0 and 1 and entry k starts at byte 4k.
class DamagedPostingsTest : public ::testing::Test {
protected:
    static constexpr uint32_t kPages = 1500;
    void SetUp() override {
        WriteOnePageStore(dir.path());
        IndexWriter writer;
        for (uint32_t i = 0; i < kPages; ++i) {
            writer.AddPosition(kSlotA, 5 + i, 0);
            expected.emplace_back(5 + i, 1);
        }
        writer.Write(dir.path(), "Index");
        header = test::ReadBytes(dir / "Index-idx.h");
        postings = test::ReadBytes(dir / "Index-idx.m");
        ASSERT_EQ(postings.size(), 2 * kBlockSize);
    }
    static void Put32(std::string& bytes, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char(v >> (8 * i));
    }
    // Searches 一 in the damaged files; the index must open.
    Hits SearchDamaged() {
        test::WriteBytes(dir / "Index-idx.h", header);
        test::WriteBytes(dir / "Index-idx.m", postings);
        CIndex index;
        EXPECT_TRUE(index.Open(dir.path(), "Index", 0));
        return Search(index, u"一");
    }
    Hits Prefix(size_t n) const { return Hits(expected.begin(), expected.begin() + long(n)); }
    TempDir dir;
    Hits expected;
    std::string header, postings;
};

TEST_F(DamagedPostingsTest, IntactFilesFindEveryPage) { EXPECT_EQ(SearchDamaged(), expected); }

TEST_F(DamagedPostingsTest, BlocksOutsideTheFileOrTheTableEndTheWord) {
    Put32(header, size_t(kSlotA) * 4, 2);  // first block past the file
    EXPECT_EQ(SearchDamaged(), Hits{});
    Put32(header, size_t(kSlotA) * 4, 0);
    Put32(header, kHeaderTablesSize, 7);  // block 0 continues past the file
    EXPECT_EQ(SearchDamaged(), Prefix(1024));
    header.resize(kHeaderTablesSize);  // N = 0: block 0 has no next entry
    EXPECT_EQ(SearchDamaged(), Prefix(1024));
}

TEST_F(DamagedPostingsTest, ChainsThatLoopEnd) {
    Put32(header, kHeaderTablesSize, 0);       // block 0 continues in itself
    Put32(header, size_t(1000000 + 4 * kSlotA), 0xFFFFFFF0);  // and the last page is never met
    Hits hits = SearchDamaged();
    EXPECT_GE(hits.size(), 1024u);
    EXPECT_LE(hits.size(), 2u * 1024u + 1);
    EXPECT_EQ(Hits(hits.begin(), hits.begin() + 1024), Prefix(1024));
}

TEST_F(DamagedPostingsTest, ZeroCountsAndZeroDeltasEndTheStream) {
    postings[4 * 10 + 1] = 0;  // entry 10: byte count 0
    EXPECT_EQ(SearchDamaged(), Prefix(10));
    postings[4 * 10 + 1] = 1;
    postings[4 * 20] = 0;  // entry 20: page delta 0
    EXPECT_EQ(SearchDamaged(), Prefix(20));
    postings[4 * 20] = 1;
    postings[4 * 30 + 3] = char(0x85);  // entry 30: a 2-byte position in a 1-byte entry
    EXPECT_EQ(SearchDamaged(), Prefix(30));
}

TEST_F(DamagedPostingsTest, StreamsThatRunPastTheirEndStop) {
    // The last page is beyond the stream: it runs into the zero padding and stops there.
    Put32(header, size_t(1000000 + 4 * kSlotA), 5 + kPages + 100);
    EXPECT_EQ(SearchDamaged(), expected);
    // A postings file cut inside its last block: read up to the cut.
    Put32(header, size_t(1000000 + 4 * kSlotA), 5 + kPages - 1);
    postings.resize(kBlockSize + 4 * 100 + 2);
    EXPECT_EQ(SearchDamaged(), Prefix(1024 + 100));
}

}  // namespace
}  // namespace kolva
