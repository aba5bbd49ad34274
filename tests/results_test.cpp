#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <tuple>

#include "catalogue/query.h"
#include "catalogue/results.h"
#include "catalogue_fixture.h"
#include "test_support.h"

namespace kolva {
namespace {

using test::Entry;
using test::Sample;
using test::TempDir;

class ResultsTest : public ::testing::Test {
protected:
    bool Load(const std::vector<CatalogueEntry>& entries) {
        WriteCatalogue(dir / "kolva.dir", entries);
        return catalogue.Load(dir / "kolva.dir", {});
    }
    TempDir dir;
    CCatalogue catalogue;
};

TEST_F(ResultsTest, RowsAreNamedByTheRangeAndSortedByPageNumber) {
    ASSERT_TRUE(Load(Sample()));
    // Pages in index order: 24 (杜甫 p.9), 12 (李白 巻二 p.3), 2 (李白 巻一 p.3), 30 (outside 唐詩).
    const std::vector<uint32_t> pages = {24, 12, 2, 30};
    const std::vector<uint32_t> counts = {4, 3, 2, 100};
    std::vector<SearchNodeTag> rows;

    EXPECT_EQ(BuildResultList(catalogue.Node(1), pages, counts, rows), 9u);
    ASSERT_EQ(rows.size(), 3u);
    // Equal page numbers (3 and 3) keep the index's order.
    EXPECT_EQ(rows[0].pageIndex, 12u);
    EXPECT_EQ(rows[1].pageIndex, 2u);
    EXPECT_EQ(rows[2].pageIndex, 24u);
    EXPECT_EQ(rows[0].category, u"唐詩");
    EXPECT_EQ(rows[0].title, u"李白");
    EXPECT_EQ(rows[0].volume, u"巻二");
    EXPECT_EQ(rows[0].pageNumber, 3u);
    EXPECT_EQ(rows[2].title, u"杜甫");
    EXPECT_EQ(rows[2].pageNumber, 9u);

    EXPECT_EQ(BuildResultList(catalogue.Node(2), pages, counts, rows), 5u);  // a book
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].title, u"李白");
    EXPECT_EQ(rows[0].category, u"唐詩");

    EXPECT_EQ(BuildResultList(catalogue.Node(6), pages, counts, rows), 4u);  // a volume
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].volume, u"巻一");
    EXPECT_EQ(rows[0].title, u"杜甫");
    EXPECT_EQ(rows[0].category, u"唐詩");

    // A level-1 range whose page lies under no volume: empty volume, page number 0, first.
    EXPECT_EQ(BuildResultList(catalogue.Node(7), {25, 25}, {1, 2}, rows), 3u);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].title, u"蘇軾");
    EXPECT_EQ(rows[0].volume, u"");
    EXPECT_EQ(rows[0].pageNumber, 0u);

    EXPECT_EQ(BuildResultList(nullptr, pages, counts, rows), 0u);
    EXPECT_TRUE(rows.empty());
}

// A node of a hand-made tree; the parent owns it.
ContentsNodeTag* AddNode(ContentsNodeTag* parent, int32_t level, int32_t docID, int32_t docNo,
                         uint16_t cur, std::u16string name) {
    auto* node = new ContentsNodeTag;
    node->level = level;
    node->docID = docID;
    node->docNo = docNo;
    node->firstPage = cur;
    node->name = std::move(name);
    node->parent = parent;
    parent->children.push_back(node);
    return node;
}

TEST(ResultListTest, RowsAreWhatThePerPageLookupsNameOnSoundAndDamagedTrees) {
    // The rows as the lookups name them one page at a time, sorted stably by page number,
    // against BuildResultList: on catalogues with page spans in order, and on damaged ones
    // with overlapping, empty and wrapping spans, where the first node in order must win.
    std::mt19937 rng(42);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    for (int tree = 0; tree < 300; ++tree) {
        const bool sound = tree % 2 == 0;
        ContentsNodeTag root;
        ContentsNodeTag* category = AddNode(&root, 1, 1, 0, 1, u"類");
        std::vector<const ContentsNodeTag*> ranges = {&root, category};  // the root: all of it
        int32_t next = 1;
        for (int b = 0, books = 1 + pick(5); b < books; ++b) {
            ContentsNodeTag* book = AddNode(category, 2, next, 0, 1, u"書" + std::u16string(1, u'a' + b));
            ranges.push_back(book);
            for (int v = 0, vols = pick(5); v < vols; ++v) {
                int32_t docID = next, docNo = 1 + pick(8);
                if (!sound) {
                    docID = pick(3) == 0 ? 0 : pick(40);
                    docNo = pick(12) - 2;  // some empty, some negative (a span that wraps)
                }
                ranges.push_back(AddNode(book, 3, docID, docNo, uint16_t(pick(3) ? 1 + pick(4) : 65535),
                                         u"巻" + std::u16string(1, u'0' + v)));
                next += docNo > 0 ? docNo : 0;
            }
            book->docNo = next - book->docID;
        }
        category->docNo = sound ? next - 1 : 60;
        ranges.push_back(AddNode(category->children[0], 4, 1, 60, 1, u"深"));  // below volumes
        // A second category after the first (overlapping it on damaged trees).
        ContentsNodeTag* other = AddNode(&root, 1, sound ? next : pick(40), 10, 1, u"他");
        ContentsNodeTag* otherBook = AddNode(other, 2, other->docID, 10, 1, u"他書");
        AddNode(otherBook, 3, other->docID, 10, 3, u"他巻");
        ranges.push_back(other);

        std::vector<uint32_t> pages, counts;
        for (int i = 0, n = pick(40); i < n; ++i) {
            pages.push_back(uint32_t(pick(std::max(60, next + 12))));
            counts.push_back(uint32_t(1 + pick(9)));
        }
        if (tree % 3 == 0 && !counts.empty()) counts.pop_back();  // fewer counts: 0 hits
        for (const ContentsNodeTag* range : ranges) {
            std::vector<SearchNodeTag> expected;
            std::deque<std::u16string> names;  // what the expected rows' names view
            uint32_t expectedTotal = 0;
            for (size_t i = 0; i < pages.size(); ++i) {
                if (!range->ContainsPage(pages[i])) continue;
                SearchNodeTag row;
                row.category = names.emplace_back(GetCategoryName(pages[i], range));
                row.title = names.emplace_back(GetBookName(pages[i], range));
                if (const ContentsNodeTag* v = FindVolumeNode(pages[i], range)) {
                    row.volume = v->name;
                    row.pageNumber = pages[i] + 1 - uint32_t(v->docID) + v->firstPage;
                }
                row.pageIndex = pages[i];
                row.hits = i < counts.size() ? counts[i] : 0;
                expectedTotal += row.hits;
                expected.push_back(row);
            }
            std::stable_sort(expected.begin(), expected.end(),
                             [](const auto& a, const auto& b) { return a.pageNumber < b.pageNumber; });
            std::vector<SearchNodeTag> rows;
            ASSERT_EQ(BuildResultList(range, pages, counts, rows), expectedTotal) << tree;
            ASSERT_EQ(rows.size(), expected.size()) << tree;
            for (size_t k = 0; k < rows.size(); ++k) {
                const auto key = [](const SearchNodeTag& r) {
                    return std::tie(r.category, r.title, r.volume, r.pageIndex, r.pageNumber, r.hits);
                };
                ASSERT_EQ(key(rows[k]), key(expected[k])) << "tree " << tree << " row " << k;
            }
        }
    }
}

TEST_F(ResultsTest, RangeNodeIsTheFirstEntryEqualToTheSlotsRecord) {
    // Two equal volume records: the range of the second is the first's node, as FindNode finds.
    std::vector<CatalogueEntry> entries = Sample();
    entries.push_back(Entry(u"巻二", 3, 11, 10, 1));
    ASSERT_TRUE(Load(entries));
    EXPECT_EQ(FindRangeNode(catalogue, 4), catalogue.Node(4));
    EXPECT_EQ(FindRangeNode(catalogue, 9), catalogue.Node(4));
    EXPECT_EQ(FindRangeNode(catalogue, catalogue.NodeCount()), nullptr);
}

TEST_F(ResultsTest, TheWholeCollectionIsARangeOnlyWithSeveralTopLevelEntries) {
    ASSERT_TRUE(Load(Sample()));  // 唐詩 and 宋詞
    EXPECT_TRUE(HasWholeCollection(catalogue));
    ASSERT_EQ(FindRangeNode(catalogue, kWholeCollection), catalogue.Root());
    // Every hit page is a row, each named by its own category, book and volume.
    const std::vector<uint32_t> pages = {25, 12, 2, 30};
    std::vector<SearchNodeTag> rows;
    EXPECT_EQ(BuildResultList(catalogue.Root(), pages, {1, 2, 3, 4}, rows), 10u);
    ASSERT_EQ(rows.size(), 4u);
    const auto names = [](const SearchNodeTag& r) { return std::tie(r.category, r.title, r.volume); };
    using Names = std::tuple<std::u16string_view, std::u16string_view, std::u16string_view>;
    // Pages under no volume are numbered 0 and come first.
    EXPECT_EQ(names(rows[0]), Names(u"宋詞", u"蘇軾", u""));
    EXPECT_EQ(names(rows[1]), Names(u"", u"", u""));  // beyond every entry
    EXPECT_EQ(names(rows[2]), Names(u"唐詩", u"李白", u"巻二"));
    EXPECT_EQ(names(rows[3]), Names(u"唐詩", u"李白", u"巻一"));

    std::vector<CatalogueEntry> one = Sample();
    one.resize(6);  // 唐詩 alone
    WriteCatalogue(dir / "one.dir", one);
    CCatalogue single;
    ASSERT_TRUE(single.Load(dir / "one.dir", {}));
    EXPECT_FALSE(HasWholeCollection(single));
    EXPECT_EQ(FindRangeNode(single, kWholeCollection), nullptr);
}

TEST_F(ResultsTest, ARecordOfZerosNamesNoEntryAndNoRowNamesTheRoot) {
    // A damaged first record (level 0, every number 0) is equal to the tree's root node.
    std::vector<CatalogueEntry> entries = Sample();
    entries.insert(entries.begin(), Entry(u"", 0, 0, 0, 0));
    ASSERT_TRUE(Load(entries));
    EXPECT_EQ(FindRangeNode(catalogue, 1), nullptr);
    EXPECT_EQ(FindRangeNode(catalogue, 2), catalogue.Node(2));
    // Asked with the root itself (whose empty span holds every page), no row takes its name.
    std::vector<SearchNodeTag> rows;
    BuildResultList(catalogue.Root(), {2, 12}, {1, 1}, rows);
    for (const SearchNodeTag& row : rows) {
        EXPECT_NE(row.volume, u"root");
        EXPECT_NE(row.title, u"root");
        EXPECT_NE(row.category, u"root");
    }
    // The root is the whole collection: its pages' volumes are those below it.
    EXPECT_EQ(FindVolumeNode(2, catalogue.Root()), catalogue.Node(4));
}

TEST(ResultOrderTest, ReadingOrderAndEachColumnEitherWayTiesInReadingOrder) {
    const std::vector<SearchNodeTag> rows = {
        {u"宋", u"蘇", u"巻一", 30, 2, 5}, {u"唐", u"李", u"巻二", 12, 3, 1},
        {u"唐", u"李", u"巻一", 2, 3, 5},  {u"唐", u"杜", u"巻一", 24, 9, 2}};
    const auto order = [&](RowOrder o, bool descending) {
        std::vector<SearchNodeTag> sorted = rows;
        SortRows(sorted, o, descending);
        std::vector<uint32_t> pages;
        for (const SearchNodeTag& r : sorted) pages.push_back(r.pageIndex);
        return pages;
    };
    using P = std::vector<uint32_t>;
    EXPECT_EQ(order(RowOrder::kReading, false), (P{2, 12, 24, 30}));
    EXPECT_EQ(order(RowOrder::kPageNumber, false), (P{30, 2, 12, 24}));
    EXPECT_EQ(order(RowOrder::kPageNumber, true), (P{24, 2, 12, 30}));
    EXPECT_EQ(order(RowOrder::kHits, true), (P{2, 30, 24, 12}));
    EXPECT_EQ(order(RowOrder::kTitle, false), (P{2, 12, 24, 30}));  // 李 < 杜 < 蘇 by code
    EXPECT_EQ(order(RowOrder::kVolume, false), (P{2, 24, 30, 12}));
    EXPECT_EQ(order(RowOrder::kCategory, true), (P{30, 2, 12, 24}));
}

TEST(ResultsTotalsTest, TotalsLine) {
    EXPECT_EQ(TotalsText(0, 0), u"全部で 0 頁で、0 箇所でした。");
    EXPECT_EQ(TotalsText(7, 4294967295u), u"全部で 7 頁で、4294967295 箇所でした。");
}

TEST(SearchTargetTest, EachTargetNamesItsIndexPairAndItsCompositionCode) {
    // The radios and --target count 全文, 正文, 注釈; the index files and the composer do not.
    struct Case {
        SearchTarget target;
        int indexMode;
        const char* stem;
        int targetCode;
    } cases[] = {
        {SearchTarget::kWholeText, 0, "Index", 0},
        {SearchTarget::kMainText, 2, "Index_content", 1},
        {SearchTarget::kNotes, 1, "Index_desc", 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IndexModeOf(c.target), c.indexMode) << c.stem;
        EXPECT_EQ(IndexFileStem(kIndexBaseName, IndexModeOf(c.target)), c.stem);
        EXPECT_EQ(TargetCodeOf(c.target), c.targetCode) << c.stem;
    }
}

}  // namespace
}  // namespace kolva
