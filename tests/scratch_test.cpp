#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/scratch.h"
#include "test_support.h"

namespace kolva {
namespace {

TEST(ScratchFolder, PrivateFolderThatNeverWritesThroughALink) {
    test::TempDir root;
    std::filesystem::path made;
    {
        ScratchFolder scratch;
        ASSERT_TRUE(scratch.Create(root.path()));
        made = scratch.Path();
        struct stat st{};
        ASSERT_EQ(stat(made.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);

        ASSERT_TRUE(scratch.WriteFile("windows.html", "first"));
        ASSERT_TRUE(scratch.WriteFile("windows.html", "2nd"));  // truncates
        EXPECT_EQ(test::ReadBytes(scratch.FilePath("windows.html")), "2nd");

        // A link planted where a page goes is refused; its target stays as it was.
        test::WriteBytes(root / "victim", "keep");
        std::filesystem::create_symlink(root / "victim", scratch.FilePath("windows1.html"));
        EXPECT_FALSE(scratch.WriteFile("windows1.html", "page"));
        EXPECT_EQ(test::ReadBytes(root / "victim"), "keep");
    }
    EXPECT_FALSE(std::filesystem::exists(made));  // removed with its files
    EXPECT_TRUE(std::filesystem::exists(root / "victim"));
}

}  // namespace
}  // namespace kolva
