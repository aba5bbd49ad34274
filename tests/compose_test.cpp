#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pagestore/compose.h"
#include "pagestore/filelist.h"
#include "pagestore/hitmark.h"
#include "test_support.h"

namespace kolva {
namespace {

using test::Anchor;
using test::Hit;

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

TEST(ComposePass, TargetsDecideWhereMarksGo) {
    const std::string page = Page("A", "A" + kNote + "A" + kEndNote + "A", "A");
    struct Case {
        int target;
        std::string first;
        int anchors;
    } cases[] = {
        {kTargetWholeText, Hit(0, "A") + kNote + Hit(1, "A") + kEndNote + Hit(2, "A"), 3},
        {kTargetMainText, Hit(0, "A") + kNote + "A" + kEndNote + Hit(1, "A"), 2},
        {kTargetNotes, "A" + kNote + Hit(0, "A") + kEndNote + "A", 1},
    };
    for (const Case& c : cases) {
        std::string html = "x";
        int counter = 0;
        ComposePass(page, html, "A", 0, c.target, counter);
        EXPECT_EQ(html, "x" + Framed("A", c.first, "A")) << c.target;
        EXPECT_EQ(counter, c.anchors) << c.target;
    }
    // Notes only, on a cell without notes: nothing to mark.
    std::string html;
    int counter = 0;
    ComposePass(page, html, "A", 1, kTargetNotes, counter);
    EXPECT_EQ(html, Framed("A", "A" + kNote + "A" + kEndNote + "A", "A"));
    EXPECT_EQ(counter, 0);
}

TEST(BodyColumn, ParityWithMathematicalRemainder) {
    EXPECT_EQ(BodyColumn(0), 0);
    EXPECT_EQ(BodyColumn(12), 0);
    EXPECT_EQ(BodyColumn(13), 1);
    EXPECT_EQ(BodyColumn(-3), 1);
    EXPECT_EQ(BodyColumn(-4), 0);
}

// A page store of the given (name, page) records in a temporary folder.
class Store {
public:
    explicit Store(const std::vector<std::pair<std::string, std::string>>& pages) {
        PageStoreWriter writer(m_dir.path());
        for (const auto& [name, html] : pages) writer.AddPage(name, html);
        writer.Finish();
        EXPECT_TRUE(m_list.Open(m_dir.path(), "Index"));
    }
    const CFileList& list() const { return m_list; }
    std::pair<int, std::string> Compose(int index, std::u16string_view keywords,
                                        int target = kTargetWholeText) const {
        std::string html;
        int anchors = m_list.ComposePage(index, html, keywords, target);
        return {anchors, html};
    }

private:
    TempDir m_dir;
    CFileList m_list;
};

TEST(ComposePage, PageNumberChoosesTheCell) {
    const std::string page = Page("A", "A", "A");
    Store store({{"vol\\0012.htm", page},
                 {"vol\\0013.htm", page},
                 {"vol\\-3.htm", page},
                 {"nopage.htm", page}});
    const std::string first = Framed("A", Hit(0, "A"), "A");
    const std::string second = Framed("A", "A", Hit(0, "A"));
    EXPECT_EQ(store.Compose(0, u"A"), std::make_pair(1, first));
    EXPECT_EQ(store.Compose(1, u"A"), std::make_pair(1, second));
    EXPECT_EQ(store.Compose(2, u"A"), std::make_pair(1, second));
    EXPECT_EQ(store.Compose(3, u"A"), std::make_pair(1, first));
}

TEST(ComposePage, KeywordSplitting) {
    Store store({{test::PageName(2), Page("T", "AxBxA", "")}});
    const std::string both = Framed("T", Hit(0, "A") + "x" + Hit(2, "B") + "x" + Hit(1, "A"), "");
    const std::string onlyA = Framed("T", Hit(0, "A") + "xBx" + Hit(1, "A"), "");
    struct Case {
        std::u16string keywords;
        int anchors;
        std::string html;
    } cases[] = {
        {u"A B", 3, both},
        {u"A\u3000B", 3, both},
        {u"\u3000 A  B\u3000", 3, both},
        {u"A A", 2, onlyA},
        {u"A B A", 3, both},
        {u"B A", 3, Framed("T", Hit(1, "A") + "x" + Hit(0, "B") + "x" + Hit(2, "A"), "")},
        {u"A\tB", 0, Framed("T", "AxBxA", "")},
        {u" \u3000 ", 0, ""},
        {u"", 0, ""},
    };
    for (const Case& c : cases) {
        auto [anchors, html] = store.Compose(0, c.keywords);
        EXPECT_EQ(anchors, c.anchors);
        EXPECT_EQ(html, c.html);
    }
}

TEST(ComposePage, LaterKeywordsSeeEarlierMarks) {
    Store store({{test::PageName(2), Page("T", "中文", "")}});
    const std::string mark(kMarkOpen), close(kMarkClose);
    // The second keyword is found inside the first one's mark, and gets the next anchor.
    EXPECT_EQ(store.Compose(0, u"中文 文"),
              std::make_pair(2, Framed("T", Anchor(0) + mark + "中" + Hit(1, "文") + close, "")));
    // A keyword that is part of the mark's markup is marked there too.
    auto [anchors, html] = store.Compose(0, u"中文 color");
    EXPECT_EQ(anchors, 2);
    EXPECT_EQ(html, Framed("T",
                           Anchor(0) + "<b style='" + Hit(1, "color") +
                               ":red;background:#D9D9D9;'>中文" + close,
                           ""));
}

TEST(ComposePage, WildcardOnlyKeywordRebuildsWithoutMarks) {
    Store store({{test::PageName(2), Page("T", "a<p>b" + kNote + "c", "d")}});
    EXPECT_EQ(store.Compose(0, u"*?"),
              std::make_pair(0, Framed("T", "a<p>b" + kNote + "c" + kEndNote, "d")));
}

TEST(ComposePage, UnpairedSurrogateIsMarkedAsItsOwnBytes) {
    const std::string lone = "\xED\xA0\x80";
    Store store({{test::PageName(2), Page("T", "x" + lone + "y", "")}});
    EXPECT_EQ(store.Compose(0, std::u16string{0xD800, u'y'}),
              std::make_pair(1, Framed("T", "x" + Hit(0, lone + "y"), "")));
    // A keyword that ends in a high surrogate loses it.
    EXPECT_EQ(store.Compose(0, std::u16string{u'x', 0xD800}),
              std::make_pair(1, Framed("T", Hit(0, "x") + lone + "y", "")));
    // A keyword of nothing but that surrogate has no bytes; its pass still rebuilds the page.
    EXPECT_EQ(store.Compose(0, std::u16string{0xD800}),
              std::make_pair(0, Framed("T", "x" + lone + "y", "")));
}

TEST(ComposePage, NothingReadableGivesNothing) {
    Store store({{test::PageName(2), Page("T", "A", "")}});
    for (int index : {-1, 1, 1000}) {
        std::string html;
        EXPECT_EQ(store.list().ComposePage(index, html, u"A", 0), 0);
        EXPECT_EQ(html, "");
    }
    CFileList closed;
    std::string html;
    EXPECT_EQ(closed.ComposePage(0, html, u"A", 0), 0);
    EXPECT_EQ(html, "");
}

TEST(ComposePage, DamagedStoreGivesNothing) {
    TempDir dir;
    PageStoreWriter writer(dir.path());
    uint32_t end = writer.AppendBlob(Page("T", "A", ""));
    writer.AddRecord(test::PageName(2), end + 100, end + 100);  // blob past the file's end
    writer.Finish();
    CFileList list;
    ASSERT_TRUE(list.Open(dir.path(), "Index"));
    std::string html;
    EXPECT_EQ(list.ComposePage(0, html, u"A", 0), 0);
    EXPECT_EQ(html, "");
}

// Random pages in the page layout: marks, anchors, notes, barriers and other tags in the cells.
std::string RandomRun(std::mt19937& rng, int length) {
    static const std::vector<std::string> pieces = {
        "A", "B", "中", "文", "x", " ", "<p>", "<h4>", "<b>", "</b>", "<br>", kNote, kEndNote,
        ">", "\t", "<title>", "</font>"};
    std::string out;
    for (int i = 0; i < length; ++i) out += pieces[rng() % pieces.size()];
    return out;
}

std::u16string RandomKeywords(std::mt19937& rng) {
    static const std::vector<std::u16string> pieces = {u"A", u"B", u"中", u"文", u"x", u"*",
                                                      u"?", u" ", u"\u3000", u"b", u"<p>"};
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
    Store store(pages);
    std::vector<std::pair<std::string, std::string>> composed;
    for (int i = 0; i < 60; ++i) {
        auto [anchors, html] = store.Compose(i, RandomKeywords(rng) + u" A", i % 3);
        ASSERT_FALSE(html.empty());
        composed.emplace_back(test::PageName(i), html);
        // A pass over a composed page, with nothing to mark, gives it back byte for byte.
        std::string again;
        int counter = 0;
        ComposePass(html, again, "*", i % 2, i % 3, counter);
        EXPECT_EQ(again, html) << i;
        EXPECT_EQ(counter, 0);
    }
    // The same through the store: the three parts read back.
    Store second(composed);
    for (int i = 0; i < 60; ++i) {
        auto [anchors, html] = second.Compose(i, u"?");
        EXPECT_EQ(Parts(html), Parts(composed[size_t(i)].second)) << i;
    }
}

}  // namespace
}  // namespace kolva
