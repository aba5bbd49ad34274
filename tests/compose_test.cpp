#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pagestore/compose.h"
#include "pagestore/filelist.h"
#include "pagestore/hitmark.h"
#include "pagestore/page_text.h"
#include "test_support.h"

namespace kolva {
namespace {

using test::Anchor;
using test::Hit;

std::string Mark(const std::string& text) {
    return std::string(kMarkOpen) + text + std::string(kMarkClose);
}

using test::TempDir;

const std::string kNote(kNoteOpen);
const std::string kEndNote(kNoteClose);


// A stored page in the layout the parser reads.
std::string Page(const std::string& title, const std::string& first, const std::string& second) {
    return "<html><head><meta charset=utf-8><title>" + title +
           "</title></head>\n<body><table><tr><TD width=80 class=side>" + first +
           "</TD>\n<TD width=450>" + second + "</TD></tr></table><p>footer</body></html>";
}
// The composed page of three parts.
std::string Framed(const std::string& title, const std::string& first, const std::string& second) {
    return std::string(kFrameT1) + title + std::string(kFrameT2) + first + std::string(kFrameT3) +
           second + std::string(kFrameT4);
}

std::vector<std::string> Parts(std::string_view page) {
    std::vector<HTMLNode> nodes;
    ParsePage(page, nodes);
    std::vector<std::string> parts;
    for (const HTMLNode& node : nodes) {
        EXPECT_EQ(node.kind, 2);
        parts.push_back(node.text);
    }
    return parts;
}

TEST(Frame, BytesAsLaidDown) {
    EXPECT_EQ(kFrameT1.find('\t'), 12u);
    EXPECT_EQ(kFrameT1.substr(12, 2), "\t\t");
    EXPECT_TRUE(kFrameT4.starts_with("</TD> \t\t</tr>"));
    EXPECT_EQ(kNoteOpen.size(), 30u);
    EXPECT_EQ(kMarkOpen.size(), 41u);
    // Every part of the frame reads back as nothing.
    EXPECT_EQ(Parts(Framed("", "", "")), (std::vector<std::string>{"", "", ""}));
}

struct ParseCase {
    const char* name;
    std::string page;
    std::vector<std::string> parts;
};

TEST(ParsePage, Cases) {
    const std::vector<ParseCase> cases = {
        {"page layout", Page("T<i>t</i>", "one<b>x</b>", "two"), {"T<i>t</i>", "one<b>x</b>", "two"}},
        {"capital title tags", "<TITLE>T</TITLE><TD>one</TD><TD>two</TD>", {"", "", ""}},
        {"lower-case cell tags", "<title>T</title><td>one</td><td>two</td>", {"T", "", ""}},
        {"no title: cells never start", "<TD>one</TD><TD>two</TD>", {"", "", ""}},
        {"open tag at the end is dropped", "<title>T</title><TD>one<b", {"T", "one", ""}},
        {"a < inside a tag stays in it", "<title></title><TD>a<b<c>d</TD>", {"", "a<b<c>d", ""}},
        {"second title tag is text", "<title>a<title>b</title>", {"a<title>b", "", ""}},
        {"title end from any section", "<title>T</title><TD>x</title><TD>y</TD>z",
         {"T", "xy", ""}},
        {"cell open inside a cell is dropped", "<title></title><TD>a<TD>b</TD><TD>c</TD>",
         {"", "ab", "c"}},
        {"prefix tests", "<titlex>T</title><TDx>a</TDx><TDy>b</TD>", {"T", "a", "b"}},
        {"title end needs its exact tag", "<title>a</title >b</title>", {"a</title >b", "", ""}},
        {"cell end in the title is dropped", "<title>a</TD>b</title>", {"ab", "", ""}},
        {"text after the second cell is dropped", "<title></title><TD>a</TD><TD>b</TD>c<TD>d",
         {"", "a", "b"}},
        {"empty", "", {"", "", ""}},
    };
    for (const ParseCase& c : cases) EXPECT_EQ(Parts(c.page), c.parts) << c.name;
}

using Items = std::vector<std::pair<int, std::string>>;

Items Split(const std::string& text) {
    std::vector<FilterItem> items;
    SplitFilterItems(HTMLNode{text, 2}, items);
    Items out;
    for (const FilterItem& item : items) out.emplace_back(item.type, item.text);
    return out;
}

TEST(SplitFilterItems, Cases) {
    const std::string other = "<font color=red>";
    EXPECT_EQ(Split("a"), (Items{{0, "a"}}));
    EXPECT_EQ(Split(""), (Items{{0, ""}}));
    EXPECT_EQ(Split("a" + kNote + "n<b>x</b>" + kEndNote + "b"),
              (Items{{0, "a"}, {1, "n<b>x</b>"}, {0, "b"}}));
    EXPECT_EQ(Split(kNote + "n" + kEndNote), (Items{{0, ""}, {1, "n"}, {0, ""}}));
    // A note opened inside a note starts another note item.
    EXPECT_EQ(Split("a" + kNote + "x" + kNote + "y" + kEndNote + "z"),
              (Items{{0, "a"}, {1, "x"}, {1, "y"}, {0, "z"}}));
    // A close outside a note and a font tag of another look are text.
    EXPECT_EQ(Split("a" + kEndNote + other + "b" + kEndNote),
              (Items{{0, "a" + kEndNote + other + "b" + kEndNote}}));
    // The first close inside a note ends it, even when it closes another font.
    EXPECT_EQ(Split(kNote + "x" + other + "y" + kEndNote + "z" + kEndNote),
              (Items{{0, ""}, {1, "x" + other + "y"}, {0, "z" + kEndNote}}));
    EXPECT_EQ(Split("a<fo"), (Items{{0, "a"}}));
}

TEST(BodyColumn, ParityWithMathematicalRemainder) {
    EXPECT_EQ(BodyColumn(0), 0);
    EXPECT_EQ(BodyColumn(12), 0);
    EXPECT_EQ(BodyColumn(13), 1);
    EXPECT_EQ(BodyColumn(-3), 1);
    EXPECT_EQ(BodyColumn(-4), 0);
}

// A collection of the given (name, page) records, indexed as kolva-build indexes its pages, and
// an index open on one of its three texts.
class Store {
public:
    explicit Store(const std::vector<std::pair<std::string, std::string>>& pages,
                   int mode = kModeWholeText, const std::vector<VariantGroup>& groups = {}) {
        test::WritePages(m_dir.path(), pages, groups);
        EXPECT_TRUE(m_index.Open(m_dir.path(), "Index", mode));
    }
    CIndex& index() { return m_index; }
    // Composes page index; the result list's count of the page for the same search, under AND
    // and under OR, must be the number of anchors.
    std::pair<int, std::string> Compose(int index, std::u16string_view keywords,
                                        uint8_t variants = 0) {
        std::string html;
        const int anchors = m_index.ComposePage(index, html, keywords, m_index.TextTarget(), variants);
        std::u16string spaced(keywords);
        for (char16_t& u : spaced)
            if (u == u'\u3000') u = u' ';
        // Under OR a page's count is every hit of every word on it; under AND too, on the pages
        // that the AND keeps.
        const uint32_t any = CountOf(m_index.SearchOr(spaced, variants), index);
        const uint32_t all = CountOf(m_index.SearchAnd(spaced, variants), index);
        EXPECT_EQ(uint32_t(anchors), any) << "page " << index;
        if (all) {
            EXPECT_EQ(uint32_t(anchors), all) << "page " << index;
        }
        return {anchors, html};
    }

private:
    static uint32_t CountOf(const SearchResult& result, int index) {
        for (size_t i = 0; i < result.pages.size(); ++i)
            if (result.pages[i] == uint32_t(index)) return result.counts[i];
        return 0;
    }

    TempDir m_dir;
    CIndex m_index{[](std::u16string_view) {}};
};

TEST(ComposePage, TargetsDecideWhereMarksGo) {
    const std::string page = Page("甲", "甲" + kNote + "甲" + kEndNote + "甲", "甲");
    struct Case {
        int mode;
        std::string first;
        int anchors;
    } cases[] = {
        {kModeWholeText, Hit(0, "甲") + kNote + Hit(1, "甲") + kEndNote + Hit(2, "甲"), 3},
        {kModeMainText, Hit(0, "甲") + kNote + "甲" + kEndNote + Hit(1, "甲"), 2},
        {kModeNotes, "甲" + kNote + Hit(0, "甲") + kEndNote + "甲", 1},
    };
    for (const Case& c : cases) {
        Store store({{test::PageName(2), page}, {test::PageName(3), page}}, c.mode);
        EXPECT_EQ(store.Compose(0, u"甲"), std::make_pair(c.anchors, Framed("甲", c.first, "甲")))
            << c.mode;
        // Notes only, on a cell without notes: nothing to mark.
        if (c.mode == kModeNotes) {
            EXPECT_EQ(store.Compose(1, u"甲"),
                      std::make_pair(0, Framed("甲", "甲" + kNote + "甲" + kEndNote + "甲", "甲")));
        }
    }
}

TEST(ComposePage, PageNumberChoosesTheCell) {
    const std::string page = Page("甲", "甲", "甲");
    Store store({{"vol\\0012.htm", page},
                 {"vol\\0013.htm", page},
                 {"vol\\-3.htm", page},
                 {"nopage.htm", page}});
    const std::string first = Framed("甲", Hit(0, "甲"), "甲");
    const std::string second = Framed("甲", "甲", Hit(0, "甲"));
    EXPECT_EQ(store.Compose(0, u"甲"), std::make_pair(1, first));
    EXPECT_EQ(store.Compose(1, u"甲"), std::make_pair(1, second));
    EXPECT_EQ(store.Compose(2, u"甲"), std::make_pair(1, second));
    EXPECT_EQ(store.Compose(3, u"甲"), std::make_pair(1, first));
}

TEST(ComposePage, WordsAndTheirAnchorsInTextOrder) {
    Store store({{test::PageName(2), Page("T", "甲x乙x甲", "")}});
    const std::string both = Framed("T", Hit(0, "甲") + "x" + Hit(1, "乙") + "x" + Hit(2, "甲"), "");
    struct Case {
        std::u16string keywords;
        int anchors;
        std::string html;
    } cases[] = {
        {u"甲 乙", 3, both},
        {u"乙 甲", 3, both},
        {u"甲\u3000乙", 3, both},
        {u"\u3000 甲  乙\u3000", 3, both},
        // A word typed twice counts twice in the result list, and so has two anchors a hit.
        {u"甲 甲", 4, Framed("T", Anchor(0) + Hit(1, "甲") + "x乙x" + Anchor(2) + Hit(3, "甲"), "")},
        {u"甲 乙 甲", 5,
         Framed("T", Anchor(0) + Hit(1, "甲") + "x" + Hit(2, "乙") + "x" + Anchor(3) + Hit(4, "甲"),
                "")},
        // A tab is no separator: the search rejects the string, so nothing is counted or marked.
        {u"甲\t乙", 0, Framed("T", "甲x乙x甲", "")},
        {u" \u3000 ", 0, ""},
        {u"", 0, ""},
    };
    for (const Case& c : cases) {
        auto [anchors, html] = store.Compose(0, c.keywords);
        EXPECT_EQ(anchors, c.anchors);
        EXPECT_EQ(html, c.html);
    }
}

TEST(ComposePage, OverlappingHitsOfTwoWords) {
    Store store({{test::PageName(2), Page("T", "中文", "")}});
    // Each word's hit has its anchor; the marks merge into one stretch.
    EXPECT_EQ(store.Compose(0, u"中文 文"),
              std::make_pair(2, Framed("T", Hit(0, "中") + Hit(1, "文"), "")));
}

TEST(ComposePage, WildcardOnlyKeywordRebuildsWithoutMarks) {
    Store store({{test::PageName(2), Page("T", "a<p>b" + kNote + "c", "d")}});
    EXPECT_EQ(store.Compose(0, u"*?"),
              std::make_pair(0, Framed("T", "a<p>b" + kNote + "c" + kEndNote, "d")));
}

TEST(ComposePage, TextThatIsNotUtf8TakesNoCharacters) {
    const std::string lone = "\xED\xA0\x80";
    Store store({{test::PageName(2), Page("T", "甲<i>" + lone + "</i>乙<br>丙" + lone + "丁", "")}});
    // Between two tags the lone surrogate's bytes have no characters, so 甲 and 乙 stand side by
    // side; the stretch with 丙 and 丁 has none at all. A keyword's lone surrogate has no slot
    // and is left out, as the search leaves it out.
    EXPECT_EQ(store.Compose(0, std::u16string{u'甲', 0xD800, u'乙'}),
              std::make_pair(1, Framed("T", Hit(0, "甲") + "<i>" + Mark(lone) + "</i>" + Mark("乙") +
                                                "<br>丙" + lone + "丁",
                                       "")));
    EXPECT_EQ(store.Compose(0, u"丙").first, 0);
}

TEST(ComposePage, NothingReadableGivesNothing) {
    Store store({{test::PageName(2), Page("T", "甲", "")}});
    for (int index : {-1, 1, 1000}) {
        std::string html;
        EXPECT_EQ(store.index().ComposePage(index, html, u"甲", 0, 0), 0);
        EXPECT_EQ(html, "");
    }
    CIndex closed;
    std::string html;
    EXPECT_EQ(closed.ComposePage(0, html, u"甲", 0, 0), 0);
    EXPECT_EQ(html, "");
}

TEST(ComposePage, DamagedStoreGivesNothing) {
    TempDir dir;
    PageStoreWriter writer(dir.path());
    uint32_t end = writer.AppendBlob(Page("T", "甲", ""));
    writer.AddRecord(test::PageName(2), end + 100, end + 100);  // blob past the file's end
    writer.Finish();
    IndexWriter positions;
    positions.AddText(0, U"甲");
    for (int mode : {0, 1, 2}) positions.Write(dir.path(), IndexFileStem("Index", mode));
    CIndex index;
    ASSERT_TRUE(index.Open(dir.path(), "Index", kModeWholeText));
    std::string html;
    EXPECT_EQ(index.ComposePage(0, html, u"甲", 0, 0), 0);
    EXPECT_EQ(html, "");
}

// Random pages in the page layout: marks, anchors, notes, barriers and other tags in the cells.
std::string RandomRun(std::mt19937& rng, int length) {
    static const std::vector<std::string> pieces = {
        "甲", "乙", "中", "文", "x", " ", "<p>", "<h4>", "<b>", "</b>", "<br>", kNote, kEndNote,
        ">", "\t", "<title>", "</font>", "\n"};
    std::string out;
    for (int i = 0; i < length; ++i) out += pieces[rng() % pieces.size()];
    return out;
}

std::u16string RandomKeywords(std::mt19937& rng) {
    static const std::vector<std::u16string> pieces = {u"甲", u"乙", u"中", u"文", u"*",
                                                      u"?", u" ", u"\u3000", u"、"};
    std::u16string out;
    int length = 1 + int(rng() % 6);
    for (int i = 0; i < length; ++i) out += pieces[rng() % pieces.size()];
    return out;
}

TEST(ComposePage, ComposedPagesReadBackUnchanged) {
    std::mt19937 rng(20240603);
    std::vector<std::pair<std::string, std::string>> pages;
    for (int i = 0; i < 60; ++i)
        pages.emplace_back(test::PageName(i),
                           Page(RandomRun(rng, 3), RandomRun(rng, 1 + i), RandomRun(rng, 10)));
    std::vector<std::pair<std::string, std::string>> composed;
    for (int mode : {kModeWholeText, kModeMainText, kModeNotes}) {
        Store store(pages, mode);
        for (int i = 0; i < 60; ++i) {
            auto [anchors, html] = store.Compose(i, RandomKeywords(rng) + u" 甲");
            ASSERT_FALSE(html.empty());
            if (mode == kModeWholeText) composed.emplace_back(test::PageName(i), html);
            // The composed page read again and written without hits is the same page.
            PageBody body;
            ReadPageBody(html, i % 2, body);
            std::string again;
            EXPECT_EQ(ComposeMarkedPage(body, i % 3, PageHits{}, again), 0);
            EXPECT_EQ(again, html) << i;
        }
    }
    // The same through a collection: the three parts read back.
    Store second(composed);
    for (int i = 0; i < 60; ++i) {
        auto [anchors, html] = second.Compose(i, u"?");
        EXPECT_EQ(Parts(html), Parts(composed[size_t(i)].second)) << i;
    }
}

}  // namespace
}  // namespace kolva
