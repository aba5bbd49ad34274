#include <gtest/gtest.h>

#include <climits>

#include "pagestore/filelist.h"
#include "test_support.h"

namespace kolva {
namespace {

using test::TempDir;

TEST(PageNumber, ReadFromTheLastComponent) {
    struct Case {
        const char* name;
        bool has;
        int number;
    } cases[] = {
        {"vol\\0012.htm", true, 12},      {"a\\b\\0345.html", true, 345},
        {"vol\\ 7.htm", true, 7},         {"vol\\-3.htm", true, -3},
        {"vol\\x12.htm", true, 0},        {"vol\\12a.htm", true, 12},
        {"vol\\12.3.htm", true, 12},      {"0012.htm", false, 0},
        {"vol\\0012", false, 0},          {"a.b\\0012", false, 0},
        {"vol\\99999999999.htm", true, 2147483647},
    };
    for (const Case& c : cases) {
        int number = -99;
        EXPECT_EQ(PageNumberFromName(c.name, number), c.has) << c.name;
        if (c.has) {
            EXPECT_EQ(number, c.number) << c.name;
        }
    }
}

class PageStoreTest : public ::testing::Test {
protected:
    void WritePages(const std::vector<std::pair<std::string, std::string>>& pages) {
        PageStoreWriter writer(dir.path());
        for (const auto& [name, html] : pages) writer.AddPage(name, html);
        writer.Finish();
    }
    TempDir dir;
    CFileList store;
};

TEST_F(PageStoreTest, ClosedStoreRefusesEveryRead) {
    uint32_t length = 7;
    std::string page = "keep";
    int index = 5;
    EXPECT_FALSE(store.GetPageLength(0, length));
    EXPECT_FALSE(store.ReadPage(0, page));
    EXPECT_FALSE(store.FindPage(0, 1, index));
    EXPECT_EQ(length, 7u);
    EXPECT_EQ(page, "keep");
    EXPECT_EQ(index, 5);
}

TEST_F(PageStoreTest, ReadsPagesUnscrambledAndFindsPageNumbers) {
    WritePages({{"vol\\0001.htm", "<p>一</p>"}, {"vol\\0002.htm", ""}, {"vol\\0012.htm", "x"}});
    ASSERT_TRUE(store.Open(dir.path(), "Index"));
    EXPECT_EQ(store.GetHeaderCount(), 3);
    EXPECT_EQ(store.GetNameSize(), 100);
    EXPECT_EQ(store.GetRecordCount(), 3u);
    // The content file holds every byte XOR 0xD4.
    EXPECT_EQ(test::ReadBytes(dir / "Index-fl.cnt")[0], char('<' ^ 0xD4));

    std::string page;
    uint32_t length;
    ASSERT_TRUE(store.ReadPage(0, page));
    EXPECT_EQ(page, "<p>一</p>");
    ASSERT_TRUE(store.GetPageLength(0, length));
    EXPECT_EQ(length, page.size());
    page = "old";
    ASSERT_TRUE(store.ReadPage(1, page));  // blobLength 0
    EXPECT_EQ(page, "");

    int index = -1;
    EXPECT_TRUE(store.FindPage(0, 12, index));
    EXPECT_EQ(index, 2);
    EXPECT_TRUE(store.FindPage(1, 2, index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(store.FindPage(0, 3, index));
    EXPECT_EQ(index, 2);  // the last record examined
    EXPECT_FALSE(store.FindPage(7, 1, index));
    EXPECT_EQ(index, 6);  // none examined: firstIndex - 1
    EXPECT_FALSE(store.FindPage(-1, 1, index));
    // Starts at the ends of the int range (a catalogue's docID - 1 can be anything).
    EXPECT_FALSE(store.FindPage(INT_MIN, 1, index));
    EXPECT_EQ(index, INT_MIN);
    EXPECT_FALSE(store.FindPage(INT_MAX, 1, index));
    EXPECT_EQ(index, INT_MAX - 1);
}

TEST_F(PageStoreTest, NamesWithoutBackslashOrDotNeverMatch) {
    WritePages({{"0001.htm", "a"}, {"vol\\0001", "b"}, {"vol\\0001.htm", "c"}});
    ASSERT_TRUE(store.Open(dir.path(), "Index"));
    int index;
    EXPECT_TRUE(store.FindPage(0, 1, index));
    EXPECT_EQ(index, 2);
}

TEST_F(PageStoreTest, OpenNeedsBothFilesAndAWholeHeader) {
    EXPECT_FALSE(store.Open(dir.path(), "Index"));
    WritePages({{"vol\\0001.htm", "a"}});
    std::filesystem::remove(dir / "Index-fl.cnt");
    EXPECT_FALSE(store.Open(dir.path(), "Index"));
    EXPECT_FALSE(store.IsOpen());

    WritePages({{"vol\\0001.htm", "a"}});
    test::WriteBytes(dir / "Index-fl.h", test::ReadBytes(dir / "Index-fl.h").substr(0, 267));
    EXPECT_FALSE(store.Open(dir.path(), "Index"));
}

TEST_F(PageStoreTest, BlobsAreFoundByOffsetNotByOrder) {
    PageStoreWriter writer(dir.path());
    uint32_t endB = writer.AppendBlob("second");
    uint32_t endA = writer.AppendBlob("first!");
    writer.AddRecord("vol\\0001.htm", endA, 6);
    writer.AddRecord("vol\\0002.htm", endB, 6);
    writer.Finish();
    ASSERT_TRUE(store.Open(dir.path(), "Index"));
    std::string page;
    ASSERT_TRUE(store.ReadPage(0, page));
    EXPECT_EQ(page, "first!");
    ASSERT_TRUE(store.ReadPage(1, page));
    EXPECT_EQ(page, "second");
}

TEST_F(PageStoreTest, RecordsAndBlobsOutsideTheFilesAreRefused) {
    PageStoreWriter writer(dir.path());
    writer.AddPage("vol\\0001.htm", "abc");
    writer.AddRecord("vol\\0002.htm", 10, 4);  // ends past the content file
    writer.AddRecord("vol\\0003.htm", 2, 3);   // starts before byte 0
    writer.Finish();
    // A trailing partial record does not count.
    test::WriteBytes(dir / "Index-fl.h", test::ReadBytes(dir / "Index-fl.h") + "vol\\0004");
    ASSERT_TRUE(store.Open(dir.path(), "Index"));
    EXPECT_EQ(store.GetRecordCount(), 3u);
    std::string page = "untouched";
    uint32_t length = 99;
    for (int index : {-1, 1, 2, 3, 1000000}) {
        EXPECT_FALSE(store.ReadPage(index, page)) << index;
        EXPECT_FALSE(store.GetPageLength(index, length)) << index;
    }
    EXPECT_EQ(page, "untouched");
    EXPECT_EQ(length, 99u);
}

TEST_F(PageStoreTest, FindPageSkipsARecordCutInsideItsFields) {
    // Found by fuzzing: the name of a trailing partial record was whole, so FindPage matched a
    // record that every other read refuses.
    WritePages({{"vol\\0001.htm", "a"}, {"vol\\0002.htm", "b"}});
    const std::string list = test::ReadBytes(dir / "Index-fl.h");
    test::WriteBytes(dir / "Index-fl.h", list.substr(0, list.size() - 3));
    ASSERT_TRUE(store.Open(dir.path(), "Index"));
    EXPECT_EQ(store.GetRecordCount(), 1u);
    int index = -7;
    EXPECT_FALSE(store.FindPage(0, 2, index));
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(store.FindPage(0, 1, index));
    EXPECT_EQ(index, 0);
}

TEST_F(PageStoreTest, HostileNameSizeGivesNoRecords) {
    WritePages({{"vol\\0001.htm", "a"}});
    std::string list = test::ReadBytes(dir / "Index-fl.h");
    for (uint32_t size : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu}) {
        for (int i = 0; i < 4; ++i) list[4 + i] = char(size >> (8 * i));
        test::WriteBytes(dir / "Index-fl.h", list);
        ASSERT_TRUE(store.Open(dir.path(), "Index"));
        std::string page;
        int index;
        EXPECT_EQ(store.GetRecordCount(), 0u);
        EXPECT_FALSE(store.ReadPage(0, page));
        EXPECT_FALSE(store.FindPage(0, 1, index));
    }
}

}  // namespace
}  // namespace kolva
