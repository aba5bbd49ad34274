#include <gtest/gtest.h>

#include "test_support.h"

namespace kolva {
namespace {

using test::TempDir;

TEST(CharToSlot, Ranges) {
    struct Case {
        uint32_t c;
        int32_t slot;
    } cases[] = {
        {0x3400, 0},      {0x4E00, 6656},   {0x9FFF, 27647},  {0xF900, 27904},
        {0xFAFF, 28415},  {0xFB00, 82869},  {0x20000, 32512}, {0x2A6DF, 75231},
        {0x2A6E0, -1},    {0x2F800, 75232}, {0x2FA1F, 75775}, {0x3042, 75776},
        {0x30F6, 75956},  {0x30F7, -1},     {0x3041, -1},     {0x30FB, -1},
        {0x30FC, -1},     {0xE000, 75957},  {0xFF1F, 83924},  {0xFFFF, 84148},
        {0x3001, -1},     {0x0041, -1},     {0x33FF, -1},     {0x110000, -1},
        {0xFFFFFFFF, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(CharToSlot(c.c), c.slot) << std::hex << c.c;
}

class IndexOpenTest : public ::testing::Test {
protected:
    void SetUp() override { test::WriteCollection(dir.path(), {U"一二", U"二"}); }
    bool Open(int mode) { return q.index.Open(dir.path(), "Index", mode); }
    void Truncate(const std::string& name, size_t size) {
        test::WriteBytes(dir / name, test::ReadBytes(dir / name).substr(0, size));
    }
    TempDir dir;
    test::QuietIndex q;
};

TEST_F(IndexOpenTest, OpensEachKindAndAnyOtherModeAsWholeText) {
    for (int mode : {0, 1, 2, 5, -1}) {
        ASSERT_TRUE(Open(mode)) << mode;
        EXPECT_TRUE(q.index.IsOpen());
        EXPECT_EQ(q.index.PageStore().GetHeaderCount(), 2);
        q.index.Close();
    }
    std::filesystem::remove(dir / "Index_desc-idx.m");
    std::filesystem::remove(dir / "Index_content-idx.h");
    EXPECT_TRUE(Open(5));
    q.index.Close();
    EXPECT_TRUE(q.messages.empty());
}

TEST_F(IndexOpenTest, MissingPairFailsOnceWithTheMessageAndALaterOpenWorks) {
    std::filesystem::remove(dir / "Index_desc-idx.m");
    EXPECT_FALSE(Open(1));
    EXPECT_FALSE(q.index.IsOpen());
    ASSERT_EQ(q.messages.size(), 1u);
    EXPECT_EQ(q.messages[0], u"データを開けませんでした。");
    const SearchResult closed = q.index.SearchAnd(u"一", false);  // a closed index finds nothing
    EXPECT_EQ(closed.wordTotal, 0);
    EXPECT_TRUE(closed.pages.empty());
    EXPECT_TRUE(Open(0));
    EXPECT_EQ(q.index.SearchAnd(u"一", false).wordTotal, 1);
}

TEST_F(IndexOpenTest, HeaderLengthDecidesTheNextBlockTable) {
    // Exactly the four tables: N = 0, and a one-block stream still reads.
    Truncate("Index-idx.h", 1400000);
    ASSERT_TRUE(Open(0));
    EXPECT_EQ(q.index.SearchAnd(u"二", false).wordTotal, 2);
    q.index.Close();
    Truncate("Index-idx.h", 1399999);
    EXPECT_FALSE(Open(0));
    EXPECT_EQ(q.messages.size(), 1u);
}

TEST_F(IndexOpenTest, EveryMissingOrUnmappablePieceFailsTheOpen) {
    struct Case {
        const char* file;
        bool remove;  // else emptied
    } cases[] = {{"Index-idx.h", true}, {"Index-idx.m", true}, {"Index-idx.h", false},
                 {"Index-idx.m", false}, {"Index-fl.h", true}, {"Index-fl.cnt", true}};
    for (const Case& c : cases) {
        std::string saved = test::ReadBytes(dir / c.file);
        if (c.remove)
            std::filesystem::remove(dir / c.file);
        else
            test::WriteBytes(dir / c.file, "");
        q.messages.clear();
        EXPECT_FALSE(Open(0)) << c.file;
        EXPECT_FALSE(q.index.IsOpen());
        EXPECT_EQ(q.messages.size(), 1u) << c.file;
        test::WriteBytes(dir / c.file, saved);
    }
    EXPECT_TRUE(Open(0));
}

// The index keeps no result: what a search found is the caller's, whatever becomes of the index.
TEST_F(IndexOpenTest, ResultsBelongToTheCaller) {
    ASSERT_TRUE(Open(0));
    const SearchResult found = q.index.SearchOr(u"二", false);
    ASSERT_EQ(found.pages.size(), 2u);
    q.index.Close();
    ASSERT_TRUE(Open(0));
    EXPECT_EQ(test::Results(found), test::Results(q.index.SearchOr(u"二", false)));
}

TEST(VariantTable, ParsesLinesAndFieldsAsTheFileSays) {
    using Groups = std::vector<VariantGroup>;
    struct Case {
        std::string bytes;
        Groups groups;
    } cases[] = {
        {"4E00,4E01\r\n", {{0x4E00, 0x4E01}}},
        {"4E00\r\n\r\n4E01\r\n", {{0x4E00}, {0}, {0x4E01}}},  // a lone CR is a group
        {"4E00\n\n\n4E01", {{0x4E00}, {0x4E01}}},             // empty LF lines are none
        {",,,\n4E01\n", {{}, {0x4E01}}},
        {"\xEF\xBB\xBF" "4E00,4E01\n", {{0, 0x4E01}}},         // a BOM spoils the first value
        {" 0x4e00,+4E01,-1,zz,123456789ab\n", {{0x4E00, 0x4E01, 0xFFFFFFFF, 0, 0xFFFFFFFF}}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseVariantTable(c.bytes), c.groups) << c.bytes;

    std::string many;
    for (int i = 0; i < kMaxVariantGroups + 5; ++i) many += "4E00\n";
    EXPECT_EQ(ParseVariantTable(many).size(), size_t(kMaxVariantGroups));
}

TEST(VariantTable, FirstGroupHoldingACodePointGivesItsSlot) {
    TempDir dir;
    test::WriteCollection(dir.path(), {U"一"});
    test::WriteBytes(dir / "yitizi.txt", "4E00,4E01\n4E02,4E01\n20000,4E03\n");
    CIndex index;
    ASSERT_TRUE(index.Open(dir.path(), "Index", 0));
    int32_t slot = -5;
    EXPECT_TRUE(index.FindVariantSlot(0x4E01, slot));
    EXPECT_EQ(slot, kVariantSlotBase);
    EXPECT_TRUE(index.FindVariantSlot(0x4E02, slot));
    EXPECT_EQ(slot, kVariantSlotBase + 1);
    EXPECT_TRUE(index.FindVariantSlot(0x20000, slot));  // all 32 bits compared
    EXPECT_EQ(slot, kVariantSlotBase + 2);
    slot = -5;
    EXPECT_FALSE(index.FindVariantSlot(0x4E04, slot));
    EXPECT_FALSE(index.FindVariantSlot(0x10000 + 0x4E00, slot));
    EXPECT_EQ(slot, -5);

    // Replaced on every open, and emptied when the table is gone; it survives Close.
    std::filesystem::remove(dir / "yitizi.txt");
    index.Close();
    EXPECT_EQ(index.GetVariantGroups().size(), 3u);
    ASSERT_TRUE(index.Open(dir.path(), "Index", 0));
    EXPECT_TRUE(index.GetVariantGroups().empty());
}

}  // namespace
}  // namespace kolva
