// The pairs file: what its writer lists against the pages' texts, and when its reader refuses it
// (another index or variant table beside it, damage anywhere in it).
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "index/pair_narrowing.h"
#include "index/pairs.h"
#include "platform/checksum.h"
#include "platform/coding.h"
#include "test_support.h"
#include "writer/pairs_writer.h"
#include "writer/writer.h"

namespace kolva {
namespace {

using PairSet = std::map<std::pair<int32_t, int32_t>, std::set<uint32_t>>;

// Pairs of keys distance positions apart in the pages' indexed texts, with their pages.
PairSet PairsOfTexts(const std::vector<std::u32string>& pages,
                     const std::vector<VariantGroup>& groups, size_t distance) {
    PairSet out;
    for (uint32_t p = 0; p < pages.size(); ++p) {
        std::vector<int32_t> keys;
        for (char32_t c : pages[p])
            if (CharToSlot(c) >= 0) keys.push_back(PairKey(CharToSlot(c), groups));
        for (size_t i = 0; i + distance < keys.size(); ++i)
            out[{keys[i], keys[i + distance]}].insert(p);
    }
    return out;
}

// Every pair of listed keys at distance as the file has it: pages, or nothing when it has no
// entry.
PairSet PairsOfFile(const PairsFile& file, const std::set<int32_t>& candidates,
                    uint32_t distance) {
    PairSet out;
    for (int32_t a : candidates)
        for (int32_t b : candidates) {
            PageList list;
            const int32_t ra = file.Rank(a), rb = file.Rank(b);
            if (ra < 0 || rb < 0) continue;
            auto found = file.Find(ra, rb, list, distance);
            EXPECT_NE(found, PairsFile::Lookup::kDamaged);
            if (found != PairsFile::Lookup::kFound) continue;
            std::vector<uint32_t> pages;
            EXPECT_TRUE(DecodePageList(list, file.PageLimit(), pages));
            out[{a, b}] = std::set<uint32_t>(pages.begin(), pages.end());
        }
    return out;
}

std::vector<std::u32string> RandomTexts(std::mt19937& rng, size_t count, size_t letters) {
    const std::u32string pool = U"一二三四五六七八九十万萬\U00020000あ、a";
    std::vector<std::u32string> pages(count);
    for (auto& page : pages) {
        const size_t n = rng() % 5 == 0 ? 0 : rng() % 90;
        for (size_t i = 0; i < n; ++i) page += pool[rng() % std::min(letters, pool.size())];
    }
    return pages;
}

TEST(PairsFileTest, ListsExactlyThePairsOfTheTexts) {
    const std::vector<VariantGroup> groups = {{0x4E07, 0x842C}, {0x4E09, 0x20000}};
    std::mt19937 rng(1612);
    for (size_t letters : {3u, 8u, 16u}) {
        test::TempDir dir;
        // Sparse and dense pairs, so that both list kinds occur.
        const auto pages = RandomTexts(rng, 400 + rng() % 300, letters);
        test::WriteCollection(dir.path(), pages, groups, BlockOrder::kInterleaved);
        const PairsStats stats = WritePairsFile(dir.path(), "Index");
        EXPECT_EQ(stats.faultySlots, 0u);
        PairsFile file;
        ASSERT_TRUE(file.Open(dir.path(), "Index"));
        std::set<int32_t> keys;
        for (char32_t c : std::u32string(U"一二三四五六七八九十万萬\U00020000あ"))
            keys.insert(PairKey(CharToSlot(c), groups));
        for (uint32_t distance : {1u, 2u})
            EXPECT_EQ(PairsOfFile(file, keys, distance), PairsOfTexts(pages, groups, distance))
                << letters << " letters, distance " << distance;
        for (char32_t c : std::u32string(U"一三万萬\U00020000")) {
            EXPECT_EQ(file.Key(CharToSlot(c)), PairKey(CharToSlot(c), groups));
        }
        // Every slot with postings is clean; one without is not.
        std::set<char32_t> present;
        for (const auto& page : pages) present.insert(page.begin(), page.end());
        for (char32_t c : present) {
            if (CharToSlot(c) >= 0) {
                EXPECT_TRUE(file.SlotClean(CharToSlot(c)));
            }
        }
        EXPECT_FALSE(file.SlotClean(CharToSlot(U'九')) && letters < 9);
    }
}

TEST(PairsFileTest, FewerKeysListOnlyTheMostFrequent) {
    test::TempDir dir;
    std::vector<std::u32string> pages;
    for (int i = 0; i < 50; ++i) pages.push_back(i % 10 == 0 ? U"一二三一二" : U"一二一二");
    test::WriteCollection(dir.path(), pages);
    WritePairsFile(dir.path(), "Index", 2);
    PairsFile file;
    ASSERT_TRUE(file.Open(dir.path(), "Index"));
    EXPECT_EQ(file.KeyCount(), 2u);
    EXPECT_EQ(file.Rank(CharToSlot(U'三')), -1);
    PageList list;
    ASSERT_EQ(file.Find(file.Rank(CharToSlot(U'二')), file.Rank(CharToSlot(U'一')), list),
              PairsFile::Lookup::kFound);
    std::vector<uint32_t> found;
    ASSERT_TRUE(DecodePageList(list, file.PageLimit(), found));
    EXPECT_EQ(found.size(), 45u);  // not on the pages of 一二三一二
    EXPECT_EQ(file.Find(file.Rank(CharToSlot(U'一')), file.Rank(CharToSlot(U'一')), list),
              PairsFile::Lookup::kAbsent);

    // One key in the pairs one apart: the first of two on as many entries.
    WritePairsFile(dir.path(), "Index", 2, 1);
    ASSERT_TRUE(file.Open(dir.path(), "Index"));
    const int32_t one = file.Rank(CharToSlot(U'一')), two = file.Rank(CharToSlot(U'二'));
    EXPECT_TRUE(file.TakesPartApart(one));
    EXPECT_FALSE(file.TakesPartApart(two));
    ASSERT_EQ(file.Find(one, one, list, 2), PairsFile::Lookup::kFound);
    ASSERT_TRUE(DecodePageList(list, file.PageLimit(), found));
    EXPECT_EQ(found.size(), 45u);  // 一 and 三 one apart on the others
    EXPECT_EQ(file.Find(two, two, list, 2), PairsFile::Lookup::kAbsent);
}

// A file that does not belong to the index beside it, or whose header or tables before the
// directory are damaged, is not opened; a damaged directory row or list is found out when it is
// asked for.
TEST(PairsFileTest, RefusedWhenStaleOrDamaged) {
    std::mt19937 rng(16);
    const auto pages = RandomTexts(rng, 300, 8);
    const std::vector<VariantGroup> groups = {{0x4E07, 0x842C}};
    test::TempDir dir;
    test::WriteCollection(dir.path(), pages, groups);
    WritePairsFile(dir.path(), "Index");
    const std::filesystem::path path = dir / "Index-idx.pairs";
    const std::string good = test::ReadBytes(path);
    PairsFile file;
    ASSERT_TRUE(file.Open(dir.path(), "Index"));
    file.Close();

    // Another collection in the folder, the old file left beside it; another variant table;
    // a postings byte changed in place.
    struct Case {
        const char* what;
        std::function<void()> change;
    };
    const std::string postings = test::ReadBytes(dir / "Index-idx.m");
    const std::string table = test::ReadBytes(dir / "yitizi.txt");
    const std::vector<Case> stale = {
        {"rebuilt", [&] { test::WriteCollection(dir.path(), RandomTexts(rng, 300, 8), groups); }},
        {"variant table", [&] { test::WriteBytes(dir / "yitizi.txt", "4E07,842C\n4E00,4E01\n"); }},
        {"no variant table", [&] { std::filesystem::remove(dir / "yitizi.txt"); }},
        {"postings byte", [&] {
             std::string m = postings;
             m[m.size() / 2] = char(m[m.size() / 2] ^ 1);
             test::WriteBytes(dir / "Index-idx.m", m);
         }},
    };
    for (const Case& c : stale) {
        c.change();
        EXPECT_FALSE(file.Open(dir.path(), "Index")) << c.what;
        test::WriteCollection(dir.path(), pages, groups);
        test::WriteBytes(dir / "yitizi.txt", table);
        ASSERT_TRUE(file.Open(dir.path(), "Index")) << c.what;
        file.Close();
    }

    // Every byte of the header and of the tables before the directory is covered by a checksum
    // checked at open; directory rows and lists by their own, checked when they are read.
    const auto le32 = [&](size_t at) {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(good[at + size_t(i)])) << (8 * i);
        return size_t(v);
    };
    const size_t keys = le32(76), aliases = le32(84);
    const size_t directoryStart =
        kPairsHeaderSize + kSlotBits / 8 + 4 * keys + 8 * (keys + 1) + 8 * aliases + 5 * keys + 8 * keys;
    for (size_t at = 0; at < good.size(); at += 1 + at / 7) {
        std::string bad = good;
        bad[at] = char(bad[at] ^ 0x10);
        test::WriteBytes(path, bad);
        if (at < directoryStart) {
            EXPECT_FALSE(file.Open(dir.path(), "Index")) << at;
            continue;
        }
        ASSERT_TRUE(file.Open(dir.path(), "Index")) << at;
        bool damaged = false;
        for (uint32_t a = 0; a < file.KeyCount(); ++a)
            for (uint32_t b = 0; b < file.KeyCount(); ++b)
                for (uint32_t distance : {1u, 2u}) {
                    PageList list;
                    damaged |= file.Find(int32_t(a), int32_t(b), list, distance) ==
                               PairsFile::Lookup::kDamaged;
                }
        EXPECT_TRUE(damaged) << at;
        file.Close();
    }
    test::WriteBytes(path, good.substr(0, good.size() - 1));
    EXPECT_FALSE(file.Open(dir.path(), "Index"));
    test::WriteBytes(path, good + "x");
    EXPECT_FALSE(file.Open(dir.path(), "Index"));

    // A bitmap is read in place once found, so what its entry says of it is checked with it:
    // a page count one off (the row's checksum made to match) is refused, not trusted.
    const size_t pairs = le32(80), rowStarts = kPairsHeaderSize + kSlotBits / 8 + 4 * keys;
    const size_t rowChecksums = directoryStart - 8 * keys;
    bool patched = false;
    for (size_t row = 0; row < keys && !patched; ++row) {
        const size_t first = le32(rowStarts + 4 * row), end = le32(rowStarts + 4 * (row + 1));
        for (size_t e = first; e < end && e < pairs && !patched; ++e) {
            const size_t at = directoryStart + 16 * e;
            if (good[at + 2] != char(kPairBitmap)) continue;
            std::string bad = good;
            const uint32_t count = uint32_t(le32(at + 4)) + 1;
            for (int i = 0; i < 4; ++i) bad[at + 4 + size_t(i)] = char(count >> (8 * i));
            const uint32_t sum = uint32_t(Checksum64(bad.data() + directoryStart + 16 * first,
                                                     16 * (end - first)));
            for (int i = 0; i < 4; ++i) bad[rowChecksums + 4 * row + size_t(i)] = char(sum >> (8 * i));
            // ... and the checksums over the row checksums: the tables', then the header's.
            const auto put64 = [&](size_t at64, uint64_t v) {
                for (int i = 0; i < 8; ++i) bad[at64 + size_t(i)] = char(v >> (8 * i));
            };
            put64(96, Checksum64(bad.data() + kPairsHeaderSize, directoryStart - kPairsHeaderSize));
            put64(120, Checksum64(bad.data(), 120));
            test::WriteBytes(path, bad);
            ASSERT_TRUE(file.Open(dir.path(), "Index"));
            PageList list;
            EXPECT_EQ(file.Find(int32_t(row), int32_t(uint8_t(good[at]) | uint8_t(good[at + 1]) << 8),
                                list, 1),
                      PairsFile::Lookup::kDamaged);
            file.Close();
            patched = true;
        }
    }
    EXPECT_TRUE(patched) << "the collection has no bitmap list";
}

TEST(PairsFileTest, FaultyStreamsAreMarkedAndLeftOut) {
    test::TempDir dir;
    std::vector<std::u32string> pages(40, U"一二三");
    test::WriteCollection(dir.path(), pages);
    // Page delta 0 in the second entry of 二's stream: the stream is faulty from there.
    std::string m = test::ReadBytes(dir / "Index-idx.m");
    std::string h = test::ReadBytes(dir / "Index-idx.h");
    const uint32_t block = LoadLE32(reinterpret_cast<const uint8_t*>(h.data()) +
                                    4 * size_t(CharToSlot(U'二')));
    // First entry: delta 0, count 1 0, position 1; second entry starts 4 bytes in.
    m[size_t(block) * kBlockSize + 4] = 0;
    test::WriteBytes(dir / "Index-idx.m", m);
    const PairsStats stats = WritePairsFile(dir.path(), "Index");
    EXPECT_EQ(stats.faultySlots, 1u);
    PairsFile file;
    ASSERT_TRUE(file.Open(dir.path(), "Index"));
    EXPECT_TRUE(file.SlotClean(CharToSlot(U'一')));
    EXPECT_FALSE(file.SlotClean(CharToSlot(U'二')));
    EXPECT_EQ(file.Rank(CharToSlot(U'二')), -1);
}

// Page numbers run up to the last a number can hold, so that "the page after the last one" has
// no number: the streams on that page are left out like faulty ones; the others are listed.
TEST(PairsFileTest, StreamsOnThePageNumberedUint32MaxAreLeftOut) {
    test::TempDir dir;
    IndexWriter index(std::vector<VariantGroup>{});
    constexpr uint32_t kStep = 4000000;  // a page delta the index can hold
    uint32_t page = 0, count = 0;        // page: the last page below UINT32_MAX
    for (;; page += kStep) {
        index.AddText(page, U"一二五六");
        ++count;
        if (UINT32_MAX - page <= kStep) break;
    }
    index.AddText(UINT32_MAX, U"一二");
    index.Write(dir.path(), "Index", BlockOrder::kSequential);
    WritePairsFile(dir.path(), "Index");
    PairsFile file;
    ASSERT_TRUE(file.Open(dir.path(), "Index"));
    EXPECT_EQ(file.PageLimit(), page + 1);
    for (char32_t c : std::u32string(U"一二")) {
        EXPECT_FALSE(file.SlotClean(CharToSlot(c)));
        EXPECT_EQ(file.Rank(CharToSlot(c)), -1);
    }
    PageList list;
    ASSERT_EQ(file.Find(file.Rank(CharToSlot(U'五')), file.Rank(CharToSlot(U'六')), list),
              PairsFile::Lookup::kFound);
    std::vector<uint32_t> pages;
    ASSERT_TRUE(DecodePageList(list, file.PageLimit(), pages));
    EXPECT_EQ(pages.size(), count);
    EXPECT_EQ(pages.back(), page);
}

TEST(PairsFileTest, AccelerateWritesAllThreeAndChangesNothingElse) {
    test::TempDir dir;
    std::mt19937 rng(3);
    test::WriteCollection(dir.path(), RandomTexts(rng, 100, 8), {{0x4E07, 0x842C}});
    std::map<std::string, std::string> before;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        before[e.path().filename().string()] = test::ReadBytes(e.path());
    EXPECT_GT(AccelerateCollection(dir.path()), 0u);
    std::map<std::string, std::string> after;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        after[e.path().filename().string()] = test::ReadBytes(e.path());
    for (const char* name : {"Index-idx.pairs", "Index_desc-idx.pairs", "Index_content-idx.pairs"})
        EXPECT_EQ(after.erase(name), 1u) << name;
    EXPECT_EQ(after, before);
    PairsFile file;
    for (const char* stem : {"Index", "Index_desc", "Index_content"})
        EXPECT_TRUE(file.Open(dir.path(), stem)) << stem;
}

// Lists that outgrow the memory given them go to a spill file beside the pairs file and come
// back from it: the file is the same whatever the memory, and nothing is left beside it.
TEST(PairsFileTest, SpilledListsGiveTheSameFile) {
    std::mt19937 rng(27);
    for (size_t letters : {3u, 16u}) {
        test::TempDir dir;
        test::WriteCollection(dir.path(), RandomTexts(rng, 600, letters), {{0x4E07, 0x842C}},
                              BlockOrder::kInterleaved);
        WritePairsFile(dir.path(), "Index");
        const std::string inMemory = test::ReadBytes(dir / "Index-idx.pairs");
        const auto names = [&] {
            std::set<std::string> out;
            for (const auto& e : std::filesystem::directory_iterator(dir.path()))
                out.insert(e.path().filename().string());
            return out;
        };
        const std::set<std::string> before = names();
        // Buffers spilled every few entries and a range read back a few cells at a time, and less.
        for (uint64_t memory : {64u, 300u, 4096u}) {
            WritePairsFile(dir.path(), "Index", 0, kApartKeys, memory);
            EXPECT_EQ(test::ReadBytes(dir / "Index-idx.pairs"), inMemory)
                << letters << " letters, " << memory << " bytes";
            EXPECT_EQ(names(), before);
        }
    }
}

// The file made from what the index writer recorded while the pages came is the file made from
// the index files, whatever the keys listed, the order of the blocks and the memory for the
// lists and for putting the points by slot; a record made with another variant table than the one beside the index gives way to
// the files.
TEST(PairsFileTest, RecordedPagesGiveTheFileOfTheIndexFiles) {
    const std::vector<VariantGroup> groups = {{0x4E07, 0x842C}, {0x4E09, 0x20000}};
    struct Case {
        size_t letters;
        uint32_t maxKeys, apartKeys;
        uint64_t memory;
        BlockOrder order;
        bool otherTable;
    };
    const Case cases[] = {{3, 0, kApartKeys, 0, BlockOrder::kAsFilled, false},
                          {16, 5, 2, 300, BlockOrder::kInterleaved, false},
                          {16, 0, kApartKeys, 0, BlockOrder::kReversed, false},
                          {8, 3, 0, 64, BlockOrder::kSequential, false},
                          {16, 0, kApartKeys, 0, BlockOrder::kAsFilled, true}};
    std::mt19937 rng(4451);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.letters << " letters, " << c.maxKeys << " keys");
        test::TempDir dir;
        // More pages than a stream needs for stored points.
        const auto pages = RandomTexts(rng, 1500, c.letters);
        IndexWriter index(groups);
        index.RecordPairs(dir / "Index-idx.m", size_t(c.memory));
        for (size_t i = 0; i < pages.size(); ++i) index.AddText(uint32_t(i), pages[i]);
        index.Write(dir.path(), "Index", c.order);
        const std::vector<VariantGroup> other = {{0x4E00, 0x4E8C}};
        WriteVariantTable(dir / "yitizi.txt", c.otherTable ? other : groups);
        const std::unique_ptr<PairsRecord> record = index.TakePairsRecord();
        ASSERT_TRUE(record);
        WriteRecordedPairsFile(dir.path(), "Index", *record, c.maxKeys, c.apartKeys, c.memory);
        const std::string recorded = test::ReadBytes(dir / "Index-idx.pairs");
        WritePairsFile(dir.path(), "Index", c.maxKeys, c.apartKeys, c.memory);
        EXPECT_EQ(test::ReadBytes(dir / "Index-idx.pairs"), recorded);
        PairsFile file;
        EXPECT_TRUE(file.Open(dir.path(), "Index"));
        EXPECT_GT(file.PointsOf(CharToSlot(U'一')).count, 1u);
    }
}

// A recording writer keeps its record true to the stream or refuses: it records from the first
// page, takes whole texts only, and each page once (a page added again would grow an entry
// whose byte count is already recorded).
TEST(PairsFileTest, RecordingWriterRefusesWhatItCannotRecord) {
    test::TempDir dir;
    IndexWriter late;
    late.AddText(0, U"一二");
    EXPECT_THROW(late.RecordPairs(dir / "Index-idx.m"), WriterError);

    IndexWriter index;
    index.RecordPairs(dir / "Index-idx.m");
    index.AddText(0, U"一二");
    EXPECT_THROW(index.AddPosition(CharToSlot(U'一'), 1, 0), WriterError);
    EXPECT_THROW(index.AddText(0, U"三一"), WriterError);  // 一 again on page 0, later
}

// The stored points of a long clean stream are the reader's state at every kStoredPointInterval-th
// entry; damaged point bytes are never handed out; short streams have none.
TEST(PairsFileTest, StoredPointsOfLongStreams) {
    test::TempDir dir;
    std::vector<std::u32string> pages;
    for (uint32_t p = 0; p < 2000; ++p) pages.push_back(p % 3 == 0 ? U"一二一" : U"一");
    test::WriteCollection(dir.path(), pages);
    WritePairsFile(dir.path(), "Index");
    PairsFile file;
    ASSERT_TRUE(file.Open(dir.path(), "Index"));
    const StoredPoints one = file.PointsOf(CharToSlot(U'一'));
    ASSERT_EQ(one.count, (2000 + kStoredPointInterval - 1) / kStoredPointInterval);
    ASSERT_NE(one.pages, nullptr);  // the pages kept apart for the leaps' searches
    for (uint32_t i = 0; i < one.count; ++i) {
        EXPECT_EQ(one.At(i).page, i * kStoredPointInterval);
        EXPECT_EQ(one.PageAt(i), i * kStoredPointInterval);
    }
    EXPECT_EQ(file.PointsOf(CharToSlot(U'一')).pages, one.pages);  // found once, then kept
    EXPECT_EQ(file.PointsOf(CharToSlot(U'二')).count, 667u / kStoredPointInterval + 1);
    EXPECT_EQ(file.PointsOf(CharToSlot(U'三')).count, 0u);

    // A byte of the last point changed: that stream's points are refused, the others kept.
    std::string bytes = test::ReadBytes(dir / "Index-idx.pairs");
    bytes[bytes.size() - 3] = char(bytes[bytes.size() - 3] ^ 0x40);
    test::WriteBytes(dir / "Index-idx.pairs", bytes);
    ASSERT_TRUE(file.Open(dir.path(), "Index"));
    const uint32_t points = file.PointsOf(CharToSlot(U'一')).count +
                            file.PointsOf(CharToSlot(U'二')).count;
    EXPECT_TRUE(points == one.count || points == 667u / kStoredPointInterval + 1) << points;
}

// A long list of page deltas that searches ask for again is kept decoded: the same pages as
// reading it, and phrases narrowed by it find what they found reading it in place.
TEST(PairsFileTest, LongListsAskedForAgainAreKeptDecoded) {
    // 12,000 pages: "一二" on every ninth (a list of deltas, shorter than a bitmap of all pages),
    // "三四" on every other (a bitmap), "五六" on five.
    std::vector<std::u32string> pages(12000);
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i % 9 == 0) pages[i] += U"一二";
        if (i % 2 == 0) pages[i] += U"三四";
        if (i % 2400 == 7) pages[i] += U"五六";
    }
    test::TempDir dir;
    test::WriteCollection(dir.path(), pages);
    WritePairsFile(dir.path(), "Index");
    PairsFile file;
    ASSERT_TRUE(file.Open(dir.path(), "Index"));
    const auto find = [&](char32_t a, char32_t b) {
        PageList list;
        EXPECT_EQ(file.Find(file.Rank(CharToSlot(a)), file.Rank(CharToSlot(b)), list, 1),
                  PairsFile::Lookup::kFound);
        return list;
    };
    const PageList longList = find(U'一', U'二'), bitmap = find(U'三', U'四'),
                   shortList = find(U'五', U'六');
    ASSERT_EQ(longList.kind, kPairList);
    ASSERT_GE(longList.count, kDecodedListsFrom);
    ASSERT_EQ(bitmap.kind, kPairBitmap);
    std::vector<uint32_t> read;
    ASSERT_TRUE(DecodePageList(longList, file.PageLimit(), read));
    EXPECT_EQ(file.DecodedPages(longList), nullptr);  // asked for once: read in place
    const std::vector<uint32_t>* kept = file.DecodedPages(longList);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(*kept, read);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(file.DecodedPages(bitmap), nullptr);
        EXPECT_EQ(file.DecodedPages(shortList), nullptr);
    }

    // "一二三四" narrowed the first time (lists read in place) and later (the long list kept).
    std::vector<PhraseTerm> terms;
    for (char32_t c : std::u32string(U"一二三四"))
        terms.push_back({CharToSlot(c), uint32_t(terms.size()), 0});
    std::vector<uint32_t> expected;
    for (uint32_t p = 0; p < pages.size(); p += 18) expected.push_back(p);
    file.Close();
    ASSERT_TRUE(file.Open(dir.path(), "Index"));
    for (int round = 0; round < 3; ++round) {
        std::vector<uint32_t> narrowed;
        ASSERT_TRUE(PagesByPairs(file, terms.data(), terms.size(), narrowed)) << round;
        EXPECT_EQ(narrowed, expected) << round;
    }
}

// Once few pages are left, a long list of page deltas is passed over instead of read: the pages
// it would drop stay (the walk finds the word is not on them), and its bytes are never read, so
// damage in them leaves the narrowing as it was; damage in a list it reads still stops it.
TEST(PairsFileTest, PassesOverLongListsOnceFewPagesAreLeft) {
    std::vector<std::u32string> pages(12000);
    for (size_t i = 0; i < pages.size(); i += 9) pages[i] = U"七八";  // 1,334 pages
    pages[7] = U"五六七八";
    pages[2407] = U"五六七、六一八";  // every pair of the phrase but 七八
    test::TempDir dir;
    test::WriteCollection(dir.path(), pages);
    WritePairsFile(dir.path(), "Index");
    std::vector<PhraseTerm> terms;
    for (char32_t c : std::u32string(U"五六七八"))
        terms.push_back({CharToSlot(c), uint32_t(terms.size()), 0});
    const std::string path = (dir / "Index-idx.pairs").string();
    const std::string good = test::ReadBytes(path);
    // The bytes of a list as the file holds them: found where they stand in the file.
    const auto listAt = [&](char32_t a, char32_t b) {
        PairsFile file;
        EXPECT_TRUE(file.Open(dir.path(), "Index"));
        PageList list;
        EXPECT_EQ(file.Locate(file.Rank(CharToSlot(a)), file.Rank(CharToSlot(b)), list, 1),
                  PairsFile::Lookup::kFound);
        EXPECT_EQ(list.kind, kPairList);
        const size_t at =
            good.find(std::string(reinterpret_cast<const char*>(list.bytes), list.size));
        EXPECT_NE(at, std::string::npos);
        return std::make_pair(at, size_t(list.count));
    };
    const auto [longAt, longCount] = listAt(U'七', U'八');
    const auto [shortAt, shortCount] = listAt(U'五', U'六');
    ASSERT_EQ(longCount, 1335u);
    ASSERT_EQ(shortCount, 2u);
    const auto narrow = [&](size_t damagedAt, std::vector<uint32_t>& narrowed) {
        std::string bytes = good;
        if (damagedAt != std::string::npos) bytes[damagedAt] = char(bytes[damagedAt] ^ 0x40);
        test::WriteBytes(path, bytes);
        PairsFile file;
        EXPECT_TRUE(file.Open(dir.path(), "Index"));
        return PagesByPairs(file, terms.data(), terms.size(), narrowed);
    };
    std::vector<uint32_t> narrowed;
    ASSERT_TRUE(narrow(std::string::npos, narrowed));
    EXPECT_EQ(narrowed, (std::vector<uint32_t>{7, 2407}));
    narrowed.clear();
    ASSERT_TRUE(narrow(longAt + 100, narrowed));
    EXPECT_EQ(narrowed, (std::vector<uint32_t>{7, 2407}));
    EXPECT_FALSE(narrow(shortAt + 1, narrowed));
}

}  // namespace
}  // namespace kolva
