// Keywords of any length and any UTF-16: whatever a person pastes into the keyword box, search
// and composition give a defined result. (How long they take is measured by
// bench/keyword_bench.cpp.)
#include <gtest/gtest.h>

#include "text/codeconverter.h"
#include "pagestore/compose.h"
#include "pagestore/hitmark.h"
#include "pagestore/page_text.h"
#include "test_support.h"

namespace kolva {
namespace {

using test::Results;
using test::TempDir;
using Hits = std::vector<std::pair<uint32_t, uint32_t>>;

// 50 characters, 一 (U+4E00) onwards, each with one variant form 50 code points further on.
constexpr int kVariantChars = 50;
char16_t Plain(int i) { return char16_t(0x4E00 + i); }
char16_t Variant(int i) { return char16_t(0x4E00 + kVariantChars + i); }

std::string Utf8(std::u16string_view text) {
    std::string out;
    AppendUtf8(text, out, kConvertLenient);
    return out;
}

// Pages (numbered 2, 4, ...: the body is the first cell) whose body text is also their indexed
// text, and a variant table pairing each Plain(i) with Variant(i).
class KeywordCollection : public ::testing::Test {
protected:
    void SetUp() override {
        std::u16string phrase, early, late;
        for (int i = 0; i < kVariantChars; ++i) {
            phrase += Plain(i);
            early += i < 5 ? Variant(i) : Plain(i);  // variant forms among the first units
            late += i == 40 ? Variant(i) : Plain(i);  // one variant form far into the phrase
        }
        m_pages = {u"一二三一二", phrase, early, late, std::u16string(2000, u'一')};
        std::vector<VariantGroup> groups;
        for (int i = 0; i < kVariantChars; ++i) groups.push_back({Plain(i), Variant(i)});

        PageStoreWriter store(dir.path());
        IndexWriter writer(groups);
        for (size_t i = 0; i < m_pages.size(); ++i) {
            store.AddPage(test::PageName(2 * int(i) + 2),
                          "<title>T</title><TD>" + Utf8(m_pages[i]) + "</TD><TD></TD>");
            writer.AddText(uint32_t(i), std::u32string(m_pages[i].begin(), m_pages[i].end()));
        }
        store.Finish();
        for (int mode : {0, 1, 2}) writer.Write(dir.path(), IndexFileStem("Index", mode));
        WriteVariantTable(dir / "yitizi.txt", groups);
        ASSERT_TRUE(q.index.Open(dir.path(), "Index", kModeWholeText));
    }
    Hits Search(std::u16string keywords, bool orSearch, uint8_t variant) {
        return Results(orSearch ? q.index.SearchOr(keywords, variant)
                                : q.index.SearchAnd(keywords, variant));
    }
    int Compose(size_t page, const std::u16string& keywords, uint8_t variant, std::string& html) {
        html.clear();
        return q.index.ComposePage(int(page), html, keywords, kTargetWholeText, variant);
    }
    // The page as composed with no hit in it.
    std::string Unmarked(size_t page) {
        std::string bytes, html;
        EXPECT_TRUE(q.index.PageStore().ReadPage(int(page), bytes));
        PageBody body;
        ReadPageBody(bytes, 0, body);
        ComposeMarkedPage(body, kTargetWholeText, PageHits{}, html);
        return html;
    }
    TempDir dir;
    test::QuietIndex q;
    std::vector<std::u16string> m_pages;
};

TEST_F(KeywordCollection, AHundredThousandCharacterKeywordFindsAndMarksNothing) {
    // One word far longer than the search has room for: no terms, so no hits (AND empties the
    // results, OR leaves them), and no page holds it to be marked.
    std::u16string pieces;
    while (pieces.size() < 100000) pieces += u"一?";
    for (const std::u16string& keyword :
         {std::u16string(100000, u'一'), std::u16string(100000, u'?'), std::u16string(100000, u'*'),
          std::u16string(100000, u'、'), pieces}) {
        for (uint8_t variant : {0, 1}) {
            ASSERT_FALSE(Search(u"一", false, 0).empty());  // results the long word replaces
            EXPECT_EQ(Search(keyword, false, variant), Hits{});
            EXPECT_EQ(Search(keyword, true, variant), Hits{});
            for (size_t page : {0, 4}) {  // short text, and a page of nothing but 一
                std::string html;
                EXPECT_EQ(Compose(page, keyword, variant, html), 0);
                // Wildcards alone or characters not on the page: the page comes back unmarked.
                EXPECT_EQ(html, Unmarked(page)) << int(keyword[1]) << " page " << page;
            }
        }
    }
    // Beside a short word, the long one changes nothing under OR and empties AND.
    const std::u16string both = u"一 " + std::u16string(100000, u'一');
    const Hits one = Search(u"一", true, 0);
    EXPECT_EQ(Search(both, true, 0), one);
    EXPECT_EQ(Search(both, false, 1), Hits{});
    std::string html;
    EXPECT_EQ(Compose(0, both, 1, html), 2);
}

TEST_F(KeywordCollection, FiftyCharactersThatAllHaveVariants) {
    std::u16string keyword;
    for (int i = 0; i < kVariantChars; ++i) keyword += i < 10 && i % 2 ? Variant(i) : Plain(i);
    // The search looks every character up under its group: every written form is found.
    EXPECT_EQ(Search(keyword, false, 1), (Hits{{1, 1}, {2, 1}, {3, 1}}));
    EXPECT_EQ(Search(keyword, true, 1), (Hits{{1, 1}, {2, 1}, {3, 1}}));
    EXPECT_EQ(Search(keyword, false, 0), Hits{});

    // Composition marks what the search counts: each page's one hit, the whole phrase.
    std::string html;
    for (size_t page : {1, 2, 3}) {
        EXPECT_EQ(Compose(page, keyword, 1, html), 1) << page;
        EXPECT_NE(html.find(test::Hit(0, Utf8(m_pages[page]))), std::string::npos) << page;
    }
    EXPECT_EQ(Compose(1, keyword, 0, html), 0);
    EXPECT_EQ(html, Unmarked(1));
}

TEST_F(KeywordCollection, UnpairedSurrogatesOfEveryKind) {
    const char16_t hi = 0xD840, lo = 0xDC00, hi2 = 0xDBFF, lo2 = 0xDFFF;
    struct Case {
        std::u16string keyword;
        std::u16string searchedAs;  // the search drops characters without a slot
        int anchors;                // page 0, "一二三一二": the hits of what was searched
    } cases[] = {
        {{hi, u'一', u'二'}, u"一二", 2},          // a high one first
        {{u'一', u'二', lo}, u"一二", 2},          // a low one last
        {{u'一', hi, u'二'}, u"一二", 2},          // a high one inside, before a character
        {{u'一', lo, u'二'}, u"一二", 2},          // a low one inside
        {{u'一', u'二', hi}, u"一二", 2},          // a high one last
        {{u'一', lo, hi, u'二'}, u"一二", 2},      // a pair the wrong way round
        {{u'一', hi, hi2, u'二'}, u"一二", 2},     // two high ones
        {{u'一', lo, lo2, u'二'}, u"一二", 2},     // two low ones
        {{hi, u'*', u'一'}, u"*一", 2},            // before a wildcard
        {{u'一', hi, u'?', u'三'}, u"一?三", 1},
        {{u'一', hi, u' ', lo, u'二'}, u"一 二", 4},  // each word holding one
        {{hi, u'\u3000', u'三'}, u"三", 1},         // a word that is only a surrogate
        {{hi}, u"", 0},
        {{lo, hi}, u"", 0},
        {{hi, lo, u'一'}, {hi, lo, u'一'}, 0},     // a proper pair stays one character
    };
    for (const Case& c : cases) {
        for (bool orSearch : {false, true}) {
            for (uint8_t variant : {0, 1}) {
                // A search starts from empty results, so a word of nothing leaves them empty.
                const Hits reference =
                    c.searchedAs.empty() ? Hits{} : Search(c.searchedAs, orSearch, variant);
                Search(u"一", false, 0);
                EXPECT_EQ(Search(c.keyword, orSearch, variant), reference)
                    << Utf8(c.keyword) << " or=" << orSearch << " variant=" << int(variant);
            }
        }
        // Composition marks the hits of the keyword as the search took it, with or without
        // variants (here every character's group holds only characters not on the page).
        std::string html;
        EXPECT_EQ(Compose(0, c.keyword, 0, html), c.anchors) << Utf8(c.keyword);
        EXPECT_EQ(Compose(0, c.keyword, 1, html), c.anchors) << Utf8(c.keyword);
    }
}

}  // namespace
}  // namespace kolva
