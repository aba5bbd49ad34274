#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "catalogue_fixture.h"
#include "test_support.h"

namespace kolva {
namespace {

using test::Entry;
using test::Sample;
using test::TempDir;

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

// The trace replaces what stood at its path as a whole: a link there is replaced, never written
// through, and nothing is left beside it.
TEST_F(CatalogueTest, TraceReplacesItsFileWhole) {
    test::WriteBytes(dir / "theirs.txt", "the user's own words");
    std::filesystem::create_symlink(dir / "theirs.txt", dir / "kolva.txt");
    ASSERT_TRUE(Load({Entry(u"a", 1, 1, 1, 1)}));
    EXPECT_EQ(test::ReadBytes(dir / "theirs.txt"), "the user's own words");
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "kolva.txt"));
    EXPECT_EQ(test::ReadBytes(dir / "kolva.txt"), "name=a\tdocID=1\tdocNo=1\tcurFileName=1\n");
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 3u);  // kolva.dir, kolva.txt, theirs.txt
}

TEST_F(CatalogueTest, OddRecordsKeepTheirSlotButGetNoNode) {
    ASSERT_TRUE(Load({Entry(u"a", 1, 1, 1, 1), Entry(u"orphan", 3, 1, 1, 1),
                      Entry(u"zero", 0, 1, 1, 1), Entry(u"deep", 20, 1, 1, 1),
                      Entry(u"b", 2, 1, 1, 1), Entry(u"c", 3, 1, 1, 1),
                      Entry(u"d", 1, 1, 1, 1), Entry(u"e", 3, 1, 1, 1)}));
    EXPECT_EQ(catalogue.NodeCount(), 9);
    for (int slot : {2, 3, 4}) EXPECT_EQ(catalogue.Node(slot), nullptr) << slot;
    EXPECT_EQ(catalogue.Record(2).Title(), u"orphan");
    EXPECT_EQ(catalogue.Node(6)->parent, catalogue.Node(5));
    EXPECT_EQ(catalogue.Node(6)->prevSibling, nullptr);
    // A volume after a category without books goes to the last book before it.
    EXPECT_EQ(catalogue.Node(8)->parent, catalogue.Node(5));
    EXPECT_EQ(catalogue.Node(8)->prevSibling, catalogue.Node(6));
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

}  // namespace
}  // namespace kolva
