// Files of the program's own written whole (a reader sees the old content or the new, never a
// part), and spill files that leave nothing behind.
#include <gtest/gtest.h>

#include "platform/replace_file.h"
#include "platform/spill_file.h"
#include "test_support.h"

namespace kolva {
namespace {

size_t FilesIn(const std::filesystem::path& folder) {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) n += e.exists() ? 1 : 0;
    return n;
}

TEST(FileReplacementTest, PiecesPatchesAndAFileLeftAloneUntilCommitted) {
    test::TempDir dir;
    const std::filesystem::path path = dir / "f";
    test::WriteBytes(path, "old");
    {
        FileReplacement file;
        ASSERT_TRUE(file.Open(path));
        ASSERT_TRUE(file.Skip(4));  // room for a head written last
        ASSERT_TRUE(file.Append("body"));
        ASSERT_TRUE(file.Append(std::string(3 << 20, 'x')));  // past the buffer
        ASSERT_TRUE(file.Append("end"));
        ASSERT_TRUE(file.WriteAt(0, "head"));
        EXPECT_FALSE(file.WriteAt(file.Size() - 1, "xy"));  // past the end: refused
        EXPECT_EQ(test::ReadBytes(path), "old");
    }  // never committed: the old file stays, the temporary one goes
    EXPECT_EQ(test::ReadBytes(path), "old");
    EXPECT_EQ(FilesIn(dir.path()), 1u);

    FileReplacement file;
    ASSERT_TRUE(file.Open(path));
    ASSERT_TRUE(file.Skip(4));
    ASSERT_TRUE(file.Append("body"));
    ASSERT_TRUE(file.Skip(2));  // a gap at the end is written as zeros
    ASSERT_TRUE(file.WriteAt(0, "head"));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(test::ReadBytes(path), std::string("headbody\0\0", 10));
    EXPECT_EQ(FilesIn(dir.path()), 1u);

    FileReplacement nowhere;
    EXPECT_FALSE(nowhere.Open(dir / "no-such-folder" / "f"));
    EXPECT_FALSE(ReplaceFile(dir / "no-such-folder" / "f", {"x"}));
}

TEST(SpillFileTest, ReadsBackWhatWasWrittenAndHasNoName) {
    test::TempDir dir;
    SpillFile spill;
    ASSERT_TRUE(spill.Create(dir / "out"));
    EXPECT_EQ(FilesIn(dir.path()), 0u);
    std::string bytes;
    for (int i = 0; i < 300000; ++i) bytes += char('a' + i % 26);
    ASSERT_TRUE(spill.Append(bytes.data(), bytes.size()));
    ASSERT_TRUE(spill.Append("tail", 4));  // still in the buffer when read
    EXPECT_EQ(spill.Size(), bytes.size() + 4);
    std::string back(bytes.size() + 4, '\0');
    ASSERT_TRUE(spill.ReadAt(0, back.data(), back.size()));
    EXPECT_EQ(back, bytes + "tail");
    char c;
    EXPECT_FALSE(spill.ReadAt(spill.Size(), &c, 1));
    SpillFile nowhere;
    EXPECT_FALSE(nowhere.Create(dir / "no-such-folder" / "out"));
}

}  // namespace
}  // namespace kolva
