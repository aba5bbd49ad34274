#include <gtest/gtest.h>

#include "test_support.h"

#include <string>
#include <vector>

#include "pagestore/hitmark.h"

namespace kolva {
namespace {

using test::Anchor;
using test::Hit;

// The stretch a "?" stood for: the anchor goes inside the mark.
std::string Stretch(int n, const std::string& text) {
    return std::string(kMarkOpen) + Anchor(n) + text + std::string(kMarkClose);
}

TEST(AppendAnchor, FourDigitsThenWider) {
    EXPECT_EQ(AnchorName(7), "0007");
    EXPECT_EQ(AnchorName(10000), "10000");
    EXPECT_EQ(Anchor(0), "<a name=\"0000\"></a>");
    EXPECT_EQ(Anchor(7).size(), 19u);
    EXPECT_EQ(Anchor(9999), "<a name=\"9999\"></a>");
    EXPECT_EQ(Anchor(10000), "<a name=\"10000\"></a>");
}

struct CompileCase {
    std::string keyword;
    std::vector<Seg> segs;  // gap compared for kind 1 only: elsewhere it has no effect
};

TEST(CompileKeyword, Cases) {
    const std::vector<CompileCase> cases = {
        {"AB", {{kSegFirst, "AB", 0}}},
        {"A?B", {{kSegFirst, "A", 0}, {kSegAfterQuestion, "B", 1}}},
        {"A??B", {{kSegFirst, "A", 0}, {kSegAfterQuestion, "B", 2}}},
        {"A*B?C", {{kSegFirst, "A", 0}, {kSegAfterStar, "B", 0}, {kSegAfterQuestion, "C", 1}}},
        {"*A", {{kSegAfterStar, "A", 0}}},
        {"A*", {{kSegFirst, "A", 0}}},
        {"A?", {{kSegFirst, "A", 0}}},
        {"??A", {{kSegFirst, "A", 0}}},
        {"*?A", {{kSegAfterStar, "A", 0}}},
        {"A**B", {{kSegFirst, "A", 0}, {kSegAfterStar, "B", 0}}},
        {"A?*?B", {{kSegFirst, "A", 0}, {kSegAfterStar, "B", 0}}},
        {"中?文??字", {{kSegFirst, "中", 0}, {kSegAfterQuestion, "文", 1}, {kSegAfterQuestion, "字", 2}}},
        {"", {}},
        {"*", {}},
        {"?", {}},
        {"**??*?", {}},
    };
    for (const CompileCase& c : cases) {
        std::vector<Seg> got = CompileKeyword(c.keyword);
        ASSERT_EQ(got.size(), c.segs.size()) << c.keyword;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].kind, c.segs[i].kind) << c.keyword << " seg " << i;
            EXPECT_EQ(got[i].text, c.segs[i].text) << c.keyword << " seg " << i;
            if (got[i].kind == kSegAfterQuestion) {
                EXPECT_EQ(got[i].gap, c.segs[i].gap) << c.keyword << " seg " << i;
            }
        }
    }
}

struct MarkCase {
    const char* name;
    std::string text;
    std::string keyword;
    int counterIn;
    std::string out;
    int counterOut;
};

TEST(HighlightItem, Cases) {
    const std::vector<MarkCase> cases = {
        {"plain hits in text order", "xABxAB", "AB", 5, "x" + Hit(5, "AB") + "x" + Hit(6, "AB"), 7},
        {"matches do not overlap", "AAA", "AA", 0, Hit(0, "AA") + "A", 1},
        {"no hit", "xyz", "AB", 3, "xyz", 3},
        {"text ends inside the literal", "xyzA", "AB", 0, "xyzA", 0},
        {"case-sensitive", "ab", "AB", 0, "ab", 0},
        {"tags are text", "<font>", "ont", 0, "<f" + Hit(0, "ont") + ">", 1},
        {"star stretch", "AxyB", "A*B", 0, Hit(0, "A") + "xy" + Hit(1, "B"), 2},
        {"star stops at a paragraph, resumes after it", "Ax<p>yAzB", "A*B", 0,
         "Ax<p>y" + Hit(0, "A") + "z" + Hit(1, "B"), 2},
        {"star stops at a heading", "Ax<h4>B", "A*B", 0, "Ax<h4>B", 0},
        {"barrier after the literal is no barrier", "AxB<p>", "A*B", 0,
         Hit(0, "A") + "x" + Hit(1, "B") + "<p>", 2},
        {"literal beginning with the barrier", "A<p>", "A*<p>", 0, Hit(0, "A") + Hit(1, "<p>"), 2},
        {"star missing its literal", "AxA", "A*B", 0, "AxA", 0},
        {"leading star", "x<p>yA", "*A", 0, "x<p>y" + Hit(0, "A"), 1},
        {"question mark stretch", "x中文字y", "中?字", 0,
         "x" + Hit(0, "中") + Stretch(1, "文") + Hit(2, "字") + "y", 3},
        {"question mark needs a character", "中字", "中?字", 0, "中字", 0},
        {"the whole text just holds the match", "中abc字", "中?字", 0,
         Hit(0, "中") + Stretch(1, "abc") + Hit(2, "字"), 3},
        {"the text is a byte short of a match", "中ab字", "中??字", 0, "中ab字", 0},
        {"question mark is exactly three bytes", "中ab字", "中?字", 0, "中ab字", 0},
        {"question mark literal found later, retried", "中文文中文字", "中?字", 0,
         "中文文" + Hit(0, "中") + Stretch(1, "文") + Hit(2, "字"), 3},
        {"two question marks", "中文文字", "中??字", 0,
         Hit(0, "中") + Stretch(1, "文文") + Hit(2, "字"), 3},
        {"star then question mark", "AxyB中C", "A*B?C", 0,
         Hit(0, "A") + "xy" + Hit(1, "B") + Stretch(2, "中") + Hit(3, "C"), 4},
        {"wildcards only", "abc<p>def", "*?*", 4, "abc<p>def", 4},
        {"empty keyword", "abc", "", 0, "abc", 0},
        {"empty text", "", "A", 0, "", 0},
        {"anchors go on past four digits", "AA", "A", 9999, Hit(9999, "A") + Hit(10000, "A"),
         10001},
    };
    for (const MarkCase& c : cases) {
        std::string out = "kept";
        int counter = c.counterIn;
        HighlightItem(c.text, c.keyword, out, counter);
        EXPECT_EQ(out, "kept" + c.out) << c.name;
        EXPECT_EQ(counter, c.counterOut) << c.name;
    }
}

}  // namespace
}  // namespace kolva
