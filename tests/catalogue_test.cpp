#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "catalogue/catalogue.h"
#include "test_support.h"

namespace kolva {
namespace {

using test::TempDir;

CatalogueEntry Entry(std::u16string name, int32_t level, int32_t docID, int32_t docNo,
                     uint16_t cur) {
    return CatalogueEntry{std::move(name), level, docID, docNo, cur};
}

// 唐詩 > 李白 > 巻一 (pages 0-9, numbered 1-10), 巻二 (10-19, numbered 1-10);
//        杜甫 > 巻一 (20-24, numbered 5-9); and 宋詞 > 蘇軾 (no volumes, page 25).
std::vector<CatalogueEntry> Sample() {
    return {Entry(u"唐詩", 1, 1, 25, 1), Entry(u"李白", 2, 1, 20, 1),  Entry(u"巻一", 3, 1, 10, 1),
            Entry(u"巻二", 3, 11, 10, 1), Entry(u"杜甫", 2, 21, 5, 5), Entry(u"巻一", 3, 21, 5, 5),
            Entry(u"宋詞", 1, 26, 1, 1),  Entry(u"蘇軾", 2, 26, 1, 1)};
}

class CatalogueTest : public ::testing::Test {
protected:
    bool Load(const std::vector<CatalogueEntry>& entries) {
        WriteCatalogue(dir / "kolva.dir", entries);
        return catalogue.Load(dir / "kolva.dir", dir / "kolva.txt");
    }
    TempDir dir;
    CCatalogue catalogue;
};

TEST_F(CatalogueTest, BuildsTheTreeWithVolumeLinksAndTrace) {
    ASSERT_TRUE(Load(Sample()));
    EXPECT_EQ(catalogue.NodeCount(), 9);
    ContentsNodeTag* root = catalogue.Root();
    EXPECT_EQ(root->name, u"root");
    ASSERT_EQ(root->children.size(), 2u);
    ContentsNodeTag* tang = root->children[0];
    ASSERT_EQ(tang->children.size(), 2u);
    EXPECT_EQ(tang->children[0]->children.size(), 2u);
    EXPECT_EQ(catalogue.Node(3)->nextSibling, catalogue.Node(4));
    EXPECT_EQ(catalogue.Node(4)->prevSibling, catalogue.Node(3));
    EXPECT_EQ(catalogue.Node(6)->prevSibling, nullptr);  // another book's volume
    EXPECT_EQ(catalogue.Node(4)->nextSibling, nullptr);
    EXPECT_EQ(catalogue.Node(6)->parent, catalogue.Node(5));
    EXPECT_EQ(catalogue.Record(2).Title(), u"李白");

    const std::string head =
        "name=唐詩\tdocID=1\tdocNo=25\tcurFileName=1\n"
        "\tname=李白\tdocID=1\tdocNo=20\tcurFileName=1\n"
        "\t\tname=巻一\tdocID=1\tdocNo=10\tcurFileName=1\n";
    EXPECT_EQ(test::ReadBytes(dir / "kolva.txt").substr(0, head.size()), head);

    CatalogueRecord probe = catalogue.Record(6);
    EXPECT_EQ(FindNode(root, probe), catalogue.Node(6));
    probe.docNo = 99;
    EXPECT_EQ(FindNode(root, probe), nullptr);
}

TEST_F(CatalogueTest, EmptyAndMissingCatalogues) {
    EXPECT_FALSE(catalogue.Load(dir / "kolva.dir", dir / "kolva.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir / "kolva.txt"));
    EXPECT_EQ(catalogue.NodeCount(), 1);
    ASSERT_TRUE(Load({}));
    EXPECT_EQ(catalogue.NodeCount(), 1);
    EXPECT_TRUE(catalogue.Root()->children.empty());
    EXPECT_EQ(test::ReadBytes(dir / "kolva.txt"), "");
    // A trace that cannot be created does not stop the load.
    CCatalogue other;
    EXPECT_TRUE(other.Load(dir / "kolva.dir", dir / "no-such-folder" / "kolva.txt"));
}

TEST_F(CatalogueTest, OddRecordsKeepTheirSlotButGetNoNode) {
    ASSERT_TRUE(Load({Entry(u"a", 1, 1, 1, 1), Entry(u"orphan", 3, 1, 1, 1),
                      Entry(u"zero", 0, 1, 1, 1), Entry(u"deep", 20, 1, 1, 1),
                      Entry(u"b", 2, 1, 1, 1), Entry(u"c", 3, 1, 1, 1)}));
    EXPECT_EQ(catalogue.NodeCount(), 7);
    for (int slot : {2, 3, 4}) EXPECT_EQ(catalogue.Node(slot), nullptr) << slot;
    EXPECT_EQ(catalogue.Record(2).Title(), u"orphan");
    EXPECT_EQ(catalogue.Node(6)->parent, catalogue.Node(5));
    EXPECT_EQ(catalogue.Node(6)->prevSibling, nullptr);
}

TEST_F(CatalogueTest, TableLimitsAndDamagedRecords) {
    std::vector<CatalogueEntry> many(10005, Entry(u"x", 1, 1, 1, 1));
    WriteCatalogue(dir / "kolva.dir", many);
    // A partial record at the end, and a name with no NUL in its 100 units.
    std::string bytes = test::ReadBytes(dir / "kolva.dir");
    test::WriteBytes(dir / "kolva.dir", bytes.substr(0, 216 * 3) + std::string(100, 'A'));
    CCatalogue small;
    ASSERT_TRUE(small.Load(dir / "kolva.dir", {}));
    EXPECT_EQ(small.NodeCount(), 4);

    for (size_t i = 0; i < 100; ++i) bytes[2 * i] = 'B', bytes[2 * i + 1] = 0;
    test::WriteBytes(dir / "kolva.dir", bytes);
    ASSERT_TRUE(catalogue.Load(dir / "kolva.dir", {}));
    EXPECT_EQ(catalogue.NodeCount(), kCatalogueSlots);  // slots 1..9,999
    EXPECT_EQ(catalogue.Record(1).Title(), std::u16string(100, u'B'));
}

TEST_F(CatalogueTest, ResultRowsAreNamedByTheRangeAndSortedByPageNumber) {
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
    node->curFileName = cur;
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
        std::vector<const ContentsNodeTag*> ranges = {category};
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

        std::vector<uint32_t> pages, counts;
        for (int i = 0, n = pick(40); i < n; ++i) {
            pages.push_back(uint32_t(pick(60)));
            counts.push_back(uint32_t(1 + pick(9)));
        }
        if (tree % 3 == 0 && !counts.empty()) counts.pop_back();  // fewer counts: 0 hits
        for (const ContentsNodeTag* range : ranges) {
            std::vector<SearchNodeTag> expected;
            uint32_t expectedTotal = 0;
            for (size_t i = 0; i < pages.size(); ++i) {
                if (!range->ContainsPage(pages[i])) continue;
                SearchNodeTag row;
                row.category = GetCategoryName(range);
                row.title = GetBookName(pages[i], range);
                if (const ContentsNodeTag* v = FindVolumeNode(pages[i], range)) {
                    row.volume = v->name;
                    row.pageNumber = pages[i] + 1 - uint32_t(v->docID) + v->curFileName;
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

}  // namespace
}  // namespace kolva
