#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "concordance/concordance.h"
#include "concordance/concordance_page.h"
#include "pagestore/compose.h"
#include "pagestore/hitmark.h"
#include "test_support.h"
#include "text/codeconverter.h"

namespace kolva {
namespace {

using test::TempDir;

const std::string kNote(kNoteOpen);
const std::string kEndNote(kNoteClose);

std::string Page(const std::string& title, const std::string& first, const std::string& second) {
    return "<html><head><title>" + title + "</title></head><body><table><tr><TD>" + first +
           "</TD><TD>" + second + "</TD></tr></table></body></html>";
}

struct Expect {
    std::string left, match, right;
    bool operator==(const Expect&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Expect& e) {
    return out << '[' << e.left << '|' << e.match << '|' << e.right << ']';
}

struct LineCase {
    const char* name;
    std::string cell;  // the body: the second cell of page 1
    std::u16string keywords;
    int mode;          // the index open: kModeWholeText, kModeMainText or kModeNotes
    size_t context;
    std::vector<Expect> lines;
};

TEST(ConcordanceLines, Cases) {
    const std::vector<LineCase> cases = {
        {"plain", "甲乙丙丁戊己庚", u"丙", kModeWholeText, 2, {{"甲乙", "丙", "丁戊"}}},
        {"hits at the cell's two ends, words in text order", "甲乙丙", u"丙 甲", kModeWholeText,
         5, {{"", "甲", "乙丙"}, {"甲乙", "丙", ""}}},
        {"tags out, references decoded, white space as one space",
         "甲<br>\n  乙 &amp;&#x4E00;&#19968;丙<i>丁</i>&lt;&bogus;", u"丙", kModeWholeText, 5,
         {{"乙 &一一", "丙", "丁<&bo"}}},
        {"white space at the cell's ends is no text", "\n  丙 \n", u"丙", kModeWholeText, 5,
         {{"", "丙", ""}}},
        {"notes are context for main-text hits", "甲丙" + kNote + "乙丙" + kEndNote + "丁", u"丙",
         kModeMainText, 3, {{"甲", "丙", "乙丙丁"}}},
        {"and main text for note hits", "甲丙" + kNote + "乙丙" + kEndNote + "丁", u"丙",
         kModeNotes, 3, {{"甲丙乙", "丙", "丁"}}},
        {"the hit's text runs over what lies between its characters",
         "孰羨" + kNote + "一作「恣」" + kEndNote + "淫昏。", u"孰羨淫昏", kModeMainText, 2,
         {{"", "孰羨一作「恣」淫昏", "。"}}},
        {"across punctuation, a tag and a line end", "《國史補》<br>\n卷", u"國史補卷",
         kModeWholeText, 2, {{"《", "國史補》 卷", ""}}},
        {"overlapping hits of two words", "甲丙丁戊己", u"丙丁戊 丁", kModeWholeText, 2,
         {{"甲", "丙丁戊", "己"}, {"甲丙", "丁", "戊己"}}},
        {"overlapping hits of one word", "哈哈哈", u"哈哈", kModeWholeText, 2,
         {{"", "哈哈", "哈"}, {"哈", "哈哈", ""}}},
        {"a \"?\" hit is one line", "甲乙丙丁戊", u"乙?丁", kModeWholeText, 9,
         {{"甲", "乙丙丁", "戊"}}},
        {"a \"*\" hit's gap whole within the context", "甲乙丙丁戊己", u"乙*戊", kModeWholeText,
         2, {{"甲", "乙丙丁戊", "己"}}},
        {"and shortened beyond it", "甲乙丙丁戊己", u"乙*戊", kModeWholeText, 1,
         {{"甲", "乙丙…戊", "己"}}},
        {"context counts characters, not bytes", "a甲b𠀀c丙d", u"丙", kModeWholeText, 3,
         {{"b𠀀c", "丙", "d"}}},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        test::WritePages(dir.path(), {{test::PageName(1), Page("丙題", "丙外", c.cell)}});
        CIndex index;
        ASSERT_TRUE(index.Open(dir.path(), "Index", c.mode));
        CConcordance concordance(index, {0}, {c.keywords, index.TextTarget(), false, c.context});
        std::vector<ConcordanceLine> lines;
        concordance.AppendRowLines(0, lines);
        std::vector<Expect> got;
        for (size_t k = 0; k < lines.size(); ++k) {
            EXPECT_EQ(lines[k].anchor, int(k));
            got.push_back({lines[k].left, lines[k].match, lines[k].right});
        }
        EXPECT_EQ(got, c.lines);
        std::string html;
        EXPECT_EQ(index.ComposePage(0, html, c.keywords, index.TextTarget(), 0), int(lines.size()));
    }
}

TEST(ConcordanceLines, AHitThePageCannotPlaceKeepsItsLine) {
    // An index made elsewhere that numbers more characters than the page has: the search counts
    // the hit past the page's text, and it keeps its anchor (at the body's end) and its line.
    TempDir dir;
    PageStoreWriter store(dir.path());
    store.AddPage(test::PageName(1), Page("", "", "甲乙"));
    store.Finish();
    IndexWriter positions;
    positions.AddText(0, U"甲乙甲乙");
    for (int mode : {0, 1, 2}) positions.Write(dir.path(), IndexFileStem("Index", mode));
    CIndex index;
    ASSERT_TRUE(index.Open(dir.path(), "Index", kModeWholeText));
    ASSERT_EQ(test::Results(index.SearchAnd(u"甲乙", false)),
              (std::vector<std::pair<uint32_t, uint32_t>>{{0, 2}}));
    std::string html;
    ASSERT_EQ(index.ComposePage(0, html, u"甲乙", 0, 0), 2);
    EXPECT_NE(html.find(test::Hit(0, "甲乙") + test::Anchor(1)), std::string::npos);
    CConcordance concordance(index, {0}, {u"甲乙", 0, false, 5});
    const std::vector<ConcordanceLine> lines = concordance.Lines(ConcordanceOrder::kPage);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].match, "甲乙");
    EXPECT_EQ(lines[1].anchor, 1);
    EXPECT_EQ(lines[1].match, "");
}

// ---------------------------------------------------------------------------------------------
// Random pages against their composed form, through the index as the reader composes.

const std::u32string kAlphabet = U"甲乙丙丁戊己";

struct Fixture {
    TempDir dir;
    std::vector<std::string> cells;  // body cell of each page
    CIndex index[3];                 // by mode

    explicit Fixture(std::mt19937& random, size_t pages) {
        std::vector<std::pair<std::string, std::string>> stored;
        for (size_t i = 0; i < pages; ++i) {
            cells.push_back(RandomCell(random));
            // Page numbers from 1: odd pages have their body in the second cell.
            const std::string other = "丙丁<br>外";
            const bool odd = (i + 1) % 2 == 1;
            stored.emplace_back(test::PageName(int(i) + 1),
                                Page("丙題", odd ? other : cells.back(), odd ? cells.back() : other));
        }
        test::WritePages(dir.path(), stored, {{U'甲', U'乙'}});
        for (int mode : {0, 1, 2})
            if (!index[mode].Open(dir.path(), "Index", mode)) std::abort();
    }

    static std::string RandomCell(std::mt19937& random) {
        static const char* const kPieces[] = {"<br>", "<p>", "\n ", " ", "<i>", "</i>", "<b>",
                                              "</b>", "&amp;", "&#x4E19;", "&#19993;", "<h4>",
                                              "。", "《", "》"};
        std::string cell;
        bool inNote = false;
        const int length = int(random() % 60);
        for (int n = 0; n < length; ++n) {
            const unsigned roll = random() % 20;
            if (roll < 13) {
                std::u16string unit(1, char16_t(kAlphabet[random() % kAlphabet.size()]));
                AppendUtf8(unit, cell, kConvertLenient);
            } else if (roll < 18) {
                cell += kPieces[random() % std::size(kPieces)];
            } else {
                cell += inNote ? kEndNote : kNote;
                inNote = !inNote;
            }
        }
        return cell;
    }
};

std::u16string RandomKeywords(std::mt19937& random) {
    std::u16string keywords;
    const int words = 1 + int(random() % 2);
    for (int w = 0; w < words; ++w) {
        if (w) keywords += random() % 2 ? u" " : u"\u3000";
        const int length = 1 + int(random() % 3);
        for (int n = 0; n < length; ++n) {
            const unsigned roll = random() % 10;
            keywords += roll == 0 ? u'?' : roll == 1 ? u'*' : char16_t(kAlphabet[random() % kAlphabet.size()]);
        }
    }
    return keywords;
}

std::u32string Chars(std::string_view utf8) {
    std::u32string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto b = uint8_t(utf8[i]);
        const size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = n == 1 ? b : b & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) c = (c << 6) | (uint8_t(utf8[i + k]) & 0x3F);
        out.push_back(c);
        i += n;
    }
    return out;
}

TEST(Concordance, LinesAgainstComposedPages) {
    std::mt19937 random(18);
    Fixture f(random, 40);
    const std::string sentinel = "〓";
    size_t total = 0;
    for (int round = 0; round < 300; ++round) {
        const uint32_t page = uint32_t(random() % f.cells.size());
        const int mode = int(random() % 3);
        CIndex& index = f.index[mode];
        ConcordanceQuery query{RandomKeywords(random), index.TextTarget(), random() % 2 == 0,
                               size_t(random() % 8)};
        SCOPED_TRACE(testing::Message() << "page " << page << " mode " << mode << " variant "
                                        << query.variant << " context " << query.context);
        CConcordance concordance(index, {page}, query);
        std::vector<ConcordanceLine> lines;
        concordance.AppendRowLines(0, lines);

        std::string html;
        const int anchors = index.ComposePage(int(page), html, query.keywords, query.target,
                                              query.variant);
        ASSERT_EQ(lines.size(), size_t(anchors));
        total += lines.size();
        std::vector<HTMLNode> nodes;
        ParsePage(html, nodes);
        const std::string& body = nodes[(page + 1) % 2 + 1].text;
        const bool star = query.keywords.find(u'*') != std::u16string::npos;
        for (size_t k = 0; k < lines.size(); ++k) {
            const ConcordanceLine& line = lines[k];
            EXPECT_EQ(line.row, 0u);
            EXPECT_EQ(line.anchor, int(k));
            // Put a visible sentinel where anchor k stands: the left context must end right
            // before it, and the match and right context follow it.
            std::string marked = body;
            const std::string anchor = test::Anchor(int(k));
            const size_t at = marked.find(anchor);
            ASSERT_NE(at, std::string::npos);
            marked.replace(at, anchor.size(), sentinel);
            const std::string visible = VisibleText(marked);
            const size_t s = visible.find(sentinel);
            ASSERT_NE(s, std::string::npos);
            const std::u32string before = Chars(visible.substr(0, s));
            const std::u32string after = Chars(visible.substr(s + sentinel.size()));
            const size_t leftLength = std::min(before.size(), query.context);
            EXPECT_EQ(Chars(line.left), before.substr(before.size() - leftLength)) << "anchor " << k;
            // (A "*" hit's gap may be shortened in its match.)
            if (star) continue;
            const std::u32string matchAndRight = Chars(line.match + line.right);
            EXPECT_EQ(after.substr(0, matchAndRight.size()), matchAndRight) << "anchor " << k;
            EXPECT_EQ(Chars(line.right).size(),
                      std::min(query.context, after.size() - Chars(line.match).size()));
        }
    }
    EXPECT_GT(total, 500u);  // the rounds do find hits
}

TEST(Concordance, PagesOfLinesReadEachRowOnce) {
    std::mt19937 random(7);
    Fixture f(random, 30);
    std::vector<uint32_t> pages;
    for (uint32_t p = 0; p < 30; ++p) pages.push_back(p);
    const ConcordanceQuery query{u"丙", 0, true, 4};
    CConcordance whole(f.index[0], pages, query);
    const std::vector<ConcordanceLine> all = whole.Lines(ConcordanceOrder::kPage);
    ASSERT_GT(all.size(), 20u);
    for (size_t i = 1; i < all.size(); ++i)
        EXPECT_TRUE(all[i - 1].row < all[i].row ||
                    (all[i - 1].row == all[i].row && all[i - 1].anchor + 1 == all[i].anchor));

    CConcordance paged(f.index[0], pages, query);
    for (size_t first : {size_t(0), size_t(7), size_t(3), all.size() - 2, size_t(12), all.size() + 3}) {
        std::vector<ConcordanceLine> lines;
        const size_t n = paged.AppendPageOrderLines(first, 6, lines);
        const size_t expected = first < all.size() ? std::min<size_t>(6, all.size() - first) : 0;
        ASSERT_EQ(n, expected) << first;
        for (size_t k = 0; k < n; ++k) {
            EXPECT_EQ(lines[k].row, all[first + k].row);
            EXPECT_EQ(lines[k].anchor, all[first + k].anchor);
            EXPECT_EQ(lines[k].match, all[first + k].match);
        }
    }
    EXPECT_TRUE(paged.AllCounted());
    EXPECT_EQ(paged.LinesCounted(), all.size());
    EXPECT_EQ(whole.Lines(ConcordanceOrder::kPage, 5).size(), 5u);
}

TEST(SortConcordance, LeftBackwardsRightForwardTiesInPageOrder) {
    auto line = [](uint32_t row, int anchor, std::string left, std::string right) {
        return ConcordanceLine{row, anchor, std::move(left), "丙", std::move(right)};
    };
    const std::vector<ConcordanceLine> lines = {
        line(0, 0, "乙甲", "乙"),  // left read backwards: 甲乙
        line(0, 1, "甲乙", "甲"),  // 乙甲
        line(1, 0, "丁甲", "乙"),  // 甲丁
        line(2, 0, "甲", "甲乙"),  // 甲
        line(2, 1, "乙甲", "甲"),  // 甲乙, as row 0's first
    };
    auto order = [&](ConcordanceOrder o) {
        std::vector<ConcordanceLine> sorted = lines;
        SortConcordance(sorted, o);
        std::vector<std::pair<uint32_t, int>> out;
        for (const auto& l : sorted) out.emplace_back(l.row, l.anchor);
        return out;
    };
    using Order = std::vector<std::pair<uint32_t, int>>;
    // By code point: 丁 U+4E01 < 丙 U+4E19 < 乙 U+4E59 < 甲 U+7532.
    // 乙甲 < 甲 < 甲丁 < 甲乙, the tie (0,0) (2,1) in page order.
    EXPECT_EQ(order(ConcordanceOrder::kLeft), (Order{{0, 1}, {2, 0}, {1, 0}, {0, 0}, {2, 1}}));
    // 丙乙 (0,0) (1,0) < 丙甲 (0,1) (2,1) < 丙甲乙 (2,0).
    EXPECT_EQ(order(ConcordanceOrder::kRight), (Order{{0, 0}, {1, 0}, {0, 1}, {2, 1}, {2, 0}}));
    std::vector<ConcordanceLine> shuffled = {lines[4], lines[2], lines[0], lines[3], lines[1]};
    SortConcordance(shuffled, ConcordanceOrder::kPage);
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(shuffled[i].left, lines[i].left);
    // A supplementary character is one character when read backwards.
    EXPECT_EQ(ConcordanceKey(line(0, 0, "a𠀀b", ""), ConcordanceOrder::kLeft), "b𠀀a");
}

}  // namespace
}  // namespace kolva

namespace kolva {
namespace {

TEST(ConcordancePage, LinksReadBackAndOddOnesAreRefused) {
    ConcordanceLink link;
    ASSERT_TRUE(ParseConcordanceLink("kolva-concordance:view?order=left&page=3&book=2", link));
    EXPECT_EQ(link.kind, ConcordanceLink::kView);
    EXPECT_EQ(link.order, ConcordanceOrder::kLeft);
    EXPECT_EQ(link.page, 3u);
    EXPECT_EQ(link.book, 2);
    ASSERT_TRUE(ParseConcordanceLink("kolva-concordance:line?row=12&anchor=7", link));
    EXPECT_EQ(link.kind, ConcordanceLink::kLine);
    EXPECT_EQ(link.row, 12u);
    EXPECT_EQ(link.anchor, 7);
    // What the page writes (with its &amp; decoded by the browser) reads back the same.
    std::string written = ConcordanceViewLink(ConcordanceOrder::kRight, 4, -1);
    for (size_t at; (at = written.find("&amp;")) != std::string::npos;) written.replace(at, 5, "&");
    ASSERT_TRUE(ParseConcordanceLink(written, link));
    EXPECT_EQ(link.order, ConcordanceOrder::kRight);
    EXPECT_EQ(link.page, 4u);
    EXPECT_EQ(link.book, -1);
    for (const char* bad : {"kolva-concordance:line?row=1", "kolva-concordance:view?order=up",
                            "kolva-concordance:view?page=-1", "kolva-concordance:copy?row=x&anchor=1",
                            "file:///tmp/a.html", "kolva-concordance:erase", "kolva-concordance:view?page"})
        EXPECT_FALSE(ParseConcordanceLink(bad, link)) << bad;
}

TEST(ConcordancePage, BarsCitationAndCopy) {
    // Rows name their books by views of the contents tree's names: string literals here.
    auto row = [](std::u16string_view title, std::u16string_view volume, uint32_t index,
                  uint32_t hits) {
        SearchNodeTag r;
        r.title = title;
        r.volume = volume;
        r.pageIndex = index;
        r.pageNumber = index + 1;
        r.hits = hits;
        return r;
    };
    // Rows in page-number order, which mixes the books: bars follow the collection instead.
    const std::vector<SearchNodeTag> rows = {row(u"詩集", u"巻二", 40, 3), row(u"文集", u"巻一", 5, 2),
                                             row(u"詩集", u"巻一", 30, 1), row(u"詩集", u"巻二", 41, 4)};
    const std::vector<ConcordanceBar> books = HitsPerBook(rows);
    ASSERT_EQ(books.size(), 2u);
    EXPECT_EQ(books[0].label, u"文集");
    EXPECT_EQ(books[0].hits, 2u);
    EXPECT_EQ(books[1].hits, 8u);
    const std::vector<ConcordanceBar> volumes = HitsPerVolume(rows, u"詩集");
    ASSERT_EQ(volumes.size(), 2u);
    EXPECT_EQ(volumes[0].label, u"巻一");
    EXPECT_EQ(volumes[1].hits, 7u);
    EXPECT_EQ(ConcordanceCitation(rows[0]), u"《詩集》巻二 41頁");
    const ConcordanceLine line{0, 2, "前<", "丙", "後"};
    EXPECT_EQ(ConcordanceCopyText(line, rows[0]), u"前<丙後（《詩集》巻二 41頁）");

    const std::vector<ConcordanceLine> lines = {line};
    ConcordancePageModel model;
    model.keywords = std::u16string(1, u'丙');
    model.rows = &rows;
    model.lines = &lines;
    model.books = books;
    const std::string html = ConcordancePageHtml(model);
    EXPECT_NE(html.find("前&lt;"), std::string::npos);  // page text is escaped
    EXPECT_NE(html.find("kolva-concordance:line?row=0&amp;anchor=2"), std::string::npos);
    EXPECT_NE(html.find("<svg"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
}

}  // namespace
}  // namespace kolva
