#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "index/index.h"
#include "pagestore/compose.h"
#include "pagestore/hitmark.h"
#include "test_support.h"

namespace kolva {
namespace {

using test::TempDir;

// An index whose variant groups come from the given table bytes (no index files needed).
struct Variants {
    explicit Variants(const std::string& table) {
        test::WriteBytes(dir / "yitizi.txt", table);
        index.LoadVariantTable(dir.path());
    }
    std::vector<std::u16string> Expand(std::u16string_view keywords) const {
        std::vector<std::u16string> forms = {u"stale"};
        index.ExpandVariants(keywords, forms);
        return forms;
    }
    TempDir dir;
    CIndex index;
};

TEST(GetVariantForms, FirstGroupByLow16Bits) {
    Variants v("4E00,4E01\n4E01,4E02,4E03\n24E10,4E11\n1FFFFFFFFF,41\n");
    EXPECT_EQ(v.index.GetVariantForms(u'\u4E00'), (VariantGroup{0x4E00, 0x4E01}));
    EXPECT_EQ(v.index.GetVariantForms(u'\u4E01'), (VariantGroup{0x4E00, 0x4E01}));
    EXPECT_EQ(v.index.GetVariantForms(u'\u4E03'), (VariantGroup{0x4E01, 0x4E02, 0x4E03}));
    // A member beyond U+FFFF is found by its low 16 bits.
    EXPECT_EQ(v.index.GetVariantForms(u'\u4E10'), (VariantGroup{0x24E10, 0x4E11}));
    // A value beyond 32 bits reads as 0xFFFFFFFF.
    EXPECT_EQ(v.index.GetVariantForms(u'\uFFFF'), (VariantGroup{0xFFFFFFFF, 0x41}));
    EXPECT_EQ(v.index.GetVariantForms(u'\u5000'), (VariantGroup{0x5000}));
}

TEST(ExpandVariants, DepthFirstOneUnitAtATime) {
    // A = 4E00 ~ 4E01, B = 4E10 ~ 4E11 ~ 4E12, C = 4E20 ~ 4E21; 5000 is in no group.
    Variants v("4E00,4E01\n4E11,4E10,4E12\n4E20,4E21\n");
    EXPECT_EQ(v.Expand(u"\u4E00\u5000"), (std::vector<std::u16string>{u"\u4E00\u5000",
                                                                        u"\u4E01\u5000"}));
    // Each list is walked in group order, whatever unit was typed.
    EXPECT_EQ(v.Expand(u"\u4E10"),
              (std::vector<std::u16string>{u"\u4E11", u"\u4E10", u"\u4E12"}));
    EXPECT_EQ(v.Expand(u"\u4E00\u4E01\u4E20"),
              (std::vector<std::u16string>{u"\u4E00\u4E00\u4E20", u"\u4E00\u4E00\u4E21",
                                           u"\u4E00\u4E01\u4E20", u"\u4E00\u4E01\u4E21",
                                           u"\u4E01\u4E00\u4E20", u"\u4E01\u4E00\u4E21",
                                           u"\u4E01\u4E01\u4E20", u"\u4E01\u4E01\u4E21"}));
    // Separators and wildcards are units like any other.
    EXPECT_EQ(v.Expand(u"\u4E00\u3000*"),
              (std::vector<std::u16string>{u"\u4E00\u3000*", u"\u4E01\u3000*"}));
    EXPECT_EQ(v.Expand(u"xyz"), (std::vector<std::u16string>{u"xyz"}));
    EXPECT_EQ(v.Expand(u""), (std::vector<std::u16string>{u""}));
    // The keyword string ends at a NUL.
    EXPECT_EQ(v.Expand(std::u16string_view(u"x\0\u4E00", 3)), (std::vector<std::u16string>{u"x"}));
}

TEST(ExpandVariants, SurrogateHalvesAndZeroMembers) {
    // 10000 has the low bits 0000 and D800 -> D801 is a group of surrogate halves.
    Variants v("41,10000\nD800,D801\n");
    EXPECT_EQ(v.Expand(u"A"), (std::vector<std::u16string>{u"A", std::u16string(1, u'\0')}));
    EXPECT_EQ(v.Expand(u"AB"),
              (std::vector<std::u16string>{u"AB", std::u16string{u'\0', u'B'}}));
    EXPECT_EQ(v.Expand(std::u16string{0xD800, 0xDC00}),
              (std::vector<std::u16string>{{0xD800, 0xDC00}, {0xD801, 0xDC00}}));
}

TEST(ExpandVariants, BoundedAtOneThousandTwentyFourForms) {
    // Groups of four: five units reach exactly 1,024 forms, the sixth keeps only itself.
    Variants v("4E00,4E01,4E02,4E03\n");
    const std::u16string six(6, u'\u4E01');
    std::vector<std::u16string> forms = v.Expand(six);
    ASSERT_EQ(forms.size(), 1024u);
    EXPECT_EQ(forms.front(), std::u16string(5, u'\u4E00') + u'\u4E01');
    EXPECT_EQ(forms.back(), std::u16string(5, u'\u4E03') + u'\u4E01');
    EXPECT_NE(std::find(forms.begin(), forms.end(), six), forms.end());
    for (const std::u16string& form : forms) EXPECT_EQ(form[5], u'\u4E01');
}

TEST(ExpandVariants, LongKeywordsHaveFewerForms) {
    // All forms together hold at most 524,288 units: 1,024 forms up to 512 units, then fewer.
    Variants v("4E00,4E01\n");
    struct Case {
        size_t length;
        size_t forms;
    } cases[] = {{512, 1024}, {513, 512}, {100000, 4}, {524288, 1}, {600000, 1}};
    for (const Case& c : cases) {
        const std::u16string typed(c.length, u'\u4E01');
        const std::vector<std::u16string> forms = v.Expand(typed);
        EXPECT_EQ(forms.size(), c.forms) << c.length;
        EXPECT_EQ(forms.back(), typed) << c.length;
    }
}

TEST(ExpandVariants, UnitsAfterTheBoundKeepOnlyThemselves) {
    // 2 x 600 passes the bound: the big group and every unit after it keep only the typed unit,
    // even the last one, whose group of two would still fit.
    std::string table = "5000,5001\n";
    for (int i = 0; i < 600; ++i) table += (i ? "," : "") + std::to_string(6000 + i);
    table += "\n";
    Variants v(table);
    const std::u16string typed = u"\u5001\u6100\u5000";
    EXPECT_EQ(v.Expand(typed), (std::vector<std::u16string>{u"\u5000\u6100\u5000",
                                                             u"\u5001\u6100\u5000"}));
}

// A collection with one page (number 2) whose first cell is body, indexed with the variant
// groups of table.
class VariantStore {
public:
    VariantStore(const std::string& body, const std::vector<VariantGroup>& groups) {
        test::WritePages(m_dir.path(),
                         {{test::PageName(2), "<title>T</title><TD>" + body + "</TD><TD></TD>"}},
                         groups);
        EXPECT_TRUE(m_index.index.Open(m_dir.path(), "Index", kModeWholeText));
    }
    std::pair<int, std::string> Compose(const std::u16string& keywords, uint8_t bVariant) const {
        std::string html;
        int anchors = m_index.index.ComposePage(0, html, keywords, kTargetWholeText, bVariant);
        return {anchors, html};
    }

private:
    TempDir m_dir;
    test::QuietIndex m_index;
};

std::string Body(const std::string& body) {
    return std::string(kFrameT1) + "T" + std::string(kFrameT2) + body + std::string(kFrameT3) +
           std::string(kFrameT4);
}

TEST(IndexComposePage, VariantOptionMarksEveryFormOfTheGroup) {
    VariantStore store("\u842C\u4E07\u842C\u5927", {{0x4E07, 0x842C}});
    // Option off: the form typed.
    EXPECT_EQ(store.Compose(u"\u4E07", 0),
              std::make_pair(1, Body("\u842C" + test::Hit(0, "\u4E07") + "\u842C\u5927")));
    // Option on: every member of its group, in text order, as the search counts them.
    EXPECT_EQ(store.Compose(u"\u842C", 1),
              std::make_pair(3, Body(test::Hit(0, "\u842C") + test::Hit(1, "\u4E07") +
                                     test::Hit(2, "\u842C") + "\u5927")));
    EXPECT_EQ(store.Compose(u"\u4E07\u3000\u5927", 1).first, 4);
    // No keyword, no page.
    EXPECT_EQ(store.Compose(u"", 1), std::make_pair(0, std::string()));
}

TEST(IndexComposePage, NoVariantTableMarksTheFormTyped) {
    VariantStore store("\u842C\u4E07", {});
    EXPECT_EQ(store.Compose(u"\u4E07", 1),
              std::make_pair(1, Body("\u842C" + test::Hit(0, "\u4E07"))));
}

}  // namespace
}  // namespace kolva
