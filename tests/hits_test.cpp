// What the result list counts is what the page marks: random collections searched with random
// keywords in every text, AND and OR, variants on and off, and every result page composed. Each
// page has as many anchors as its count, numbered in text order; the concordance has one line
// per hit; and each hit covers characters that the word matches. Then the cases people met.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "concordance/concordance.h"
#include "index/hit_finder.h"
#include "pagestore/compose.h"
#include "pagestore/hitmark.h"
#include "test_support.h"
#include "text/codeconverter.h"
#include "writer/pairs_writer.h"

namespace kolva {
namespace {

using test::Anchor;
using test::Hit;
using test::TempDir;

const std::string kNote(kNoteOpen);
const std::string kEndNote(kNoteClose);
const std::string kOpen(kMarkOpen);
const std::string kClose(kMarkClose);

std::string Mark(const std::string& text) { return kOpen + text + kClose; }

std::string Utf8(std::u32string_view text) {
    std::string out;
    for (char32_t c : text) AppendCodePointUtf8(c, out);
    return out;
}

// A stored page: the body in the cell its page number gives it.
std::string Page(int number, const std::string& body) {
    const std::string label = "<br>" + std::to_string(number);
    return "<html><head><title>題</title></head><body><table><tr><TD>" +
           (number % 2 ? label + "</TD><TD>" + body : body + "</TD><TD>" + label) +
           "</TD></tr></table></body></html>";
}

// Characters of the pages and keywords: few, so that words are found; 甲 and 乙 are variants of
// each other, as are 丙 丁 戊.
const std::u32string kAlphabet = U"甲乙丙丁戊己哈";
const std::vector<VariantGroup> kGroups = {{U'甲', U'乙'}, {U'丙', U'丁', U'戊'}};

std::string RandomBody(std::mt19937& random, size_t length) {
    // Punctuation, spaces and line ends between characters (no position), tags, paragraphs, a
    // fullwidth question mark (a character with a position; a wildcard only in keywords).
    static const char* const kBetween[] = {"。", "「", "」", "《", "》", " ", "\n", "<br>",
                                           "</p>\n<p>", "<i>", "</i>", "&amp;", "a", "？", "、"};
    std::string body = "<p>";
    bool inNote = false;
    for (size_t n = 0; n < length; ++n) {
        const unsigned roll = random() % 24;
        if (roll < 16) {
            body += Utf8(std::u32string(1, kAlphabet[random() % kAlphabet.size()]));
        } else if (roll < 22) {
            body += kBetween[random() % std::size(kBetween)];
        } else {
            body += inNote ? kEndNote : kNote;
            inNote = !inNote;
        }
    }
    if (inNote) body += kEndNote;
    return body + "</p>\n";
}

std::u16string RandomKeywords(std::mt19937& random) {
    std::u16string keywords;
    const int words = 1 + int(random() % 3 == 0) + int(random() % 5 == 0);
    for (int w = 0; w < words; ++w) {
        if (w) keywords += u' ';
        const int length = 1 + int(random() % 4);
        for (int n = 0; n < length; ++n) {
            const unsigned roll = random() % 14;
            keywords += roll == 0   ? u'?'
                        : roll == 1 ? u'*'
                        : roll == 2 ? u'、'  // no slot: the search leaves it out
                                    : char16_t(kAlphabet[random() % kAlphabet.size()]);
        }
    }
    return keywords;
}

// A word as the search takes it: its parts between "*" that hold characters, each a character
// (0 for "?") per position, and the "?" of the parts without characters before each.
struct Pattern {
    std::vector<std::vector<char32_t>> parts;
    std::vector<int64_t> questionsBefore;
};
Pattern PatternOf(std::u16string_view word) {
    Pattern p;
    std::vector<char32_t> part;
    bool hasCharacter = false;
    int64_t questions = 0;
    auto end = [&] {
        if (hasCharacter) {
            p.parts.push_back(part);
            p.questionsBefore.push_back(questions);
            questions = 0;
        } else {
            questions += int64_t(part.size());
        }
        part.clear();
        hasCharacter = false;
    };
    for (char16_t u : word) {
        if (u == u'*') {
            end();
        } else if (u == u'?' || u == u'\uFF1F') {
            part.push_back(0);
        } else if (CharToSlot(u) >= 0) {
            part.push_back(u);
            hasCharacter = true;
        }
    }
    end();
    return p;
}

bool SameCharacter(char32_t a, char32_t b, bool variants) {
    if (a == b) return true;
    if (!variants) return false;
    for (const VariantGroup& g : kGroups)
        if (std::find(g.begin(), g.end(), a) != g.end() && std::find(g.begin(), g.end(), b) != g.end())
            return true;
    return false;
}

// Whether part, its first position at start, matches the text and covers [from, to]: its
// characters on the text's characters, its "?" on any or (at the text's ends) none.
bool PartMatches(const std::vector<char32_t>& part, int64_t start, int64_t from, int64_t to,
                 const std::vector<char32_t>& text, bool variants) {
    const int64_t n = int64_t(text.size());
    if (std::max<int64_t>(start, 0) != from ||
        std::min<int64_t>(start + int64_t(part.size()) - 1, n - 1) != to)
        return false;
    for (size_t j = 0; j < part.size(); ++j) {
        const int64_t at = start + int64_t(j);
        if (at < 0 || at >= n) {
            if (part[j] != 0) return false;
        } else if (part[j] != 0 && !SameCharacter(part[j], text[size_t(at)], variants)) {
            return false;
        }
    }
    return true;
}

// Checks that each hit of the page covers what its word matches: each piece the positions of a
// part of the word, its characters on the text's; the pieces in order, at most 300 positions
// apart besides the "?" between them; the hits in text order.
void ExpectHitsMatchTheirWords(const CIndex& index, const std::vector<std::u16string>& words,
                               const PageBody& body, const PageHits& hits, bool variants) {
    const int target = index.TextTarget();
    std::vector<int64_t> position(body.chars.size(), -1);
    std::vector<char32_t> text;
    for (size_t i = 0; i < body.chars.size(); ++i)
        if (RunInTarget(target, body.items[body.chars[i].item].type) &&
            CharToSlot(body.chars[i].codePoint) >= 0) {
            position[i] = int64_t(text.size());
            text.push_back(body.chars[i].codePoint);
        }
    uint32_t previousStart = 0;
    for (const MarkedHit& hit : hits.hits) {
        ASSERT_GT(hit.pieceCount, 0u) << "a hit on a page the builder indexed is not placed";
        const HitPiece& lead = hits.pieces[hit.firstPiece];
        EXPECT_LE(previousStart, lead.first) << "anchors out of text order";
        previousStart = lead.first;
        ASSERT_LT(hit.word, words.size());
        const Pattern p = PatternOf(words[hit.word]);
        ASSERT_EQ(size_t(hit.pieceCount), p.parts.size());
        int64_t end = -1;
        for (uint32_t k = 0; k < hit.pieceCount; ++k) {
            const HitPiece& piece = hits.pieces[hit.firstPiece + k];
            const int64_t from = position[piece.first], to = position[piece.last];
            ASSERT_GE(from, 0);
            ASSERT_GE(to, from);
            const std::vector<char32_t>& part = p.parts[k];
            bool matched = false;
            for (int64_t start = to - int64_t(part.size()) + 1; start <= from && !matched; ++start)
                matched = PartMatches(part, start, from, to, text, variants);
            EXPECT_TRUE(matched) << "piece " << k << " at " << from << ".." << to;
            // Between two parts: the "?" of the parts without characters, and at most 300 more.
            if (k > 0) {
                EXPECT_GE(from - end - 1, p.questionsBefore[k]);
                EXPECT_LE(from - end - 1, 300 + p.questionsBefore[k]);
            }
            end = to;
        }
    }
}

// The anchors of a composed page's body, in the order they stand: 0, 1, 2 ... Each anchor of a
// placed hit is followed by its mark, and no mark holds a tag or a line end.
void ExpectWellFormedMarks(const std::string& html, int anchors) {
    int next = 0;
    for (size_t at = html.find("<a name=\""); at != std::string::npos;
         at = html.find("<a name=\"", at + 1)) {
        EXPECT_EQ(html.compare(at, Anchor(next).size(), Anchor(next)), 0) << "anchor " << next;
        ++next;
    }
    EXPECT_EQ(next, anchors);
    for (size_t at = html.find(kOpen); at != std::string::npos; at = html.find(kOpen, at + 1)) {
        const size_t close = html.find(kClose, at);
        ASSERT_NE(close, std::string::npos);
        const std::string inside = html.substr(at + kOpen.size(), close - at - kOpen.size());
        EXPECT_EQ(inside.find_first_of("<\n\r"), std::string::npos) << inside;
        EXPECT_FALSE(inside.empty());
    }
}

struct Collection {
    TempDir dir;
    std::vector<std::pair<std::string, std::string>> pages;
    CIndex index[3];  // by mode

    Collection(std::mt19937& random, bool pairs, bool damaged) {
        const int count = 12 + int(random() % 20);
        for (int i = 0; i < count; ++i) {
            // Some pages long enough for a "*" gap of more than 300 positions.
            const size_t length = random() % 8 == 0 ? 500 + random() % 400 : 5 + random() % 60;
            pages.emplace_back(test::PageName(i + 1), Page(i + 1, RandomBody(random, length)));
        }
        test::WritePages(dir.path(), pages, kGroups);
        if (damaged) {
            for (const char* name : {"Index-idx.m", "Index_content-idx.m", "Index_desc-idx.m"}) {
                std::string postings = test::ReadBytes(dir / name);
                for (int n = 0; n < 3 && !postings.empty(); ++n)
                    postings[random() % postings.size()] = char(random() % 256);
                test::WriteBytes(dir / name, postings);
            }
        }
        if (pairs) AccelerateCollection(dir.path());
        for (int mode : {0, 1, 2}) {
            index[mode].SetMessageSink([](std::u16string_view) {});
            if (!index[mode].Open(dir.path(), "Index", mode)) std::abort();
        }
    }
};

TEST(Hits, CountsEqualMarksAndLinesOnRandomCollections) {
    std::mt19937 random(2024);
    size_t checkedHits = 0, starHits = 0;
    for (int round = 0; round < 12; ++round) {
        const bool damaged = round % 4 == 3;
        Collection c(random, round % 2 == 1, damaged);
        for (int query = 0; query < 40; ++query) {
            const std::u16string keywords = RandomKeywords(random);
            const int mode = int(random() % 3);
            const bool orSearch = random() % 2, variants = random() % 2;
            CIndex& index = c.index[mode];
            index.UseShortcuts(query % 5 != 4);
            const SearchResult result =
                orSearch ? index.SearchOr(keywords, variants) : index.SearchAnd(keywords, variants);
            SCOPED_TRACE(testing::Message()
                         << "round " << round << " keywords " << Utf8(std::u32string(
                                                                      keywords.begin(), keywords.end()))
                         << " mode " << mode << " or " << orSearch << " variants " << variants);
            uint64_t total = 0;
            std::vector<std::u16string> words;
            for (size_t i = 0, start = 0; i <= keywords.size(); ++i)
                if (i == keywords.size() || keywords[i] == u' ') {
                    if (i > start) words.push_back(keywords.substr(start, i - start));
                    start = i + 1;
                }
            CHitFinder finder(index, keywords, variants);
            for (size_t k = 0; k < result.pages.size(); ++k) {
                const uint32_t page = result.pages[k];
                std::string html;
                const int anchors =
                    index.ComposePage(int(page), html, keywords, index.TextTarget(), variants);
                ASSERT_EQ(uint32_t(anchors), result.counts[k]) << "page " << page;
                total += result.counts[k];
                ExpectWellFormedMarks(html, anchors);
                if (damaged) continue;
                PageBody body;
                PageHits hits;
                ASSERT_TRUE(finder.ReadPage(page, body, hits));
                ASSERT_EQ(hits.hits.size(), size_t(anchors));
                ExpectHitsMatchTheirWords(index, words, body, hits, variants);
                checkedHits += hits.hits.size();
                if (keywords.find(u'*') != std::u16string::npos) starHits += hits.hits.size();
            }
            // The concordance of the rows: one line per hit.
            CConcordance concordance(index, result.pages,
                                     {keywords, index.TextTarget(), variants, 4});
            EXPECT_EQ(concordance.Lines(ConcordanceOrder::kPage).size(), total);
        }
    }
    EXPECT_GT(checkedHits, 2000u);
    EXPECT_GT(starHits, 200u);
}

TEST(Hits, GapFlagKeptFromPageToPage) {
    // Short pages of three characters, some with a stretch longer than a "*" may span before
    // their last characters, so that a page can end with the search's gap flag set; words whose
    // part after "*" has two characters, where that flag can change the next page's count.
    std::mt19937 random(77);
    const std::u32string three = U"甲乙丙";
    auto any = [&] { return three[random() % 3]; };
    size_t compared = 0;
    for (int round = 0; round < 30; ++round) {
        std::vector<std::pair<std::string, std::string>> pages;
        for (int i = 0; i < 20; ++i) {
            std::u32string text;
            for (int k = 3 + int(random() % 10); k > 0; --k) text += any();
            if (random() % 3 == 0) {
                text += std::u32string(301 + random() % 3, U'子');
                for (int k = 2 + int(random() % 2); k > 0; --k) text += any();
            }
            pages.emplace_back(test::PageName(i + 1), Page(i + 1, Utf8(text)));
        }
        TempDir dir;
        test::WritePages(dir.path(), pages);
        CIndex index;
        ASSERT_TRUE(index.Open(dir.path(), "Index", kModeWholeText));
        for (int query = 0; query < 10; ++query) {
            const std::u32string word = {any(), U'*', any(), any()};
            const std::u16string keywords(word.begin(), word.end());
            const SearchResult result = index.SearchOr(keywords, false);
            for (size_t k = 0; k < result.pages.size(); ++k) {
                std::string html;
                EXPECT_EQ(uint32_t(index.ComposePage(int(result.pages[k]), html, keywords, 0, 0)),
                          result.counts[k])
                    << Utf8(word) << " page " << result.pages[k];
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 1000u);
}

// A collection of text pages laid out as the builder lays them out, notes in braces.
class TextPages {
public:
    TextPages(const std::vector<std::string>& texts, int mode = kModeWholeText) {
        std::vector<std::pair<std::string, std::string>> pages;
        for (size_t i = 0; i < texts.size(); ++i)
            pages.emplace_back(test::PageName(int(i) + 2),
                               LayoutTextPage(texts[i], u"巻", uint16_t(i + 2), "page.txt"));
        test::WritePages(m_dir.path(), pages);
        EXPECT_TRUE(m_index.Open(m_dir.path(), "Index", mode));
    }
    // The body cell of page i composed with keywords; the result list's count of the page must
    // be the number of anchors.
    std::string Body(uint32_t page, std::u16string_view keywords, bool orSearch = false) {
        std::string html;
        const int anchors = m_index.ComposePage(int(page), html, keywords, m_index.TextTarget(), 1);
        const SearchResult result =
            orSearch ? m_index.SearchOr(keywords, true) : m_index.SearchAnd(keywords, true);
        uint32_t count = 0;
        for (size_t k = 0; k < result.pages.size(); ++k)
            if (result.pages[k] == page) count = result.counts[k];
        EXPECT_EQ(uint32_t(anchors), count);
        std::vector<HTMLNode> nodes;
        ParsePage(html, nodes);
        return nodes[size_t(page % 2) + 1].text;  // pages are numbered from 2
    }

private:
    TempDir m_dir;
    CIndex m_index;
};

TEST(Hits, AcrossWhatTheIndexDoesNotNumber) {
    TextPages pages({"《國史補》卷", "居。綺", "帝京篇十首 一", "國史\n補卷"});
    EXPECT_EQ(pages.Body(0, u"國史補卷"), "<p>《" + Hit(0, "國史補》卷") + "</p>\n");
    EXPECT_EQ(pages.Body(1, u"居綺"), "<p>" + Hit(0, "居。綺") + "</p>\n");
    EXPECT_EQ(pages.Body(2, u"首一"), "<p>帝京篇十" + Hit(0, "首 一") + "</p>\n");
    // A line of the text is a line break of the page: the mark stops before it.
    EXPECT_EQ(pages.Body(3, u"國史補卷"), "<p>" + Hit(0, "國史") + "<br>" + Mark("補卷") + "</p>\n");
}

TEST(Hits, AcrossANoteInTheMainText) {
    TextPages main({"孰羨{一作「恣」}淫昏"}, kModeMainText);
    EXPECT_EQ(main.Body(0, u"孰羨淫昏"),
              "<p>" + Hit(0, "孰羨") + kNote + "一作「恣」" + kEndNote + Mark("淫昏") + "</p>\n");
    // In the whole text the note is text of the page: 孰羨 and 淫昏 do not stand side by side.
    TextPages whole({"孰羨{一作「恣」}淫昏"});
    EXPECT_EQ(whole.Body(0, u"孰羨淫昏"),
              "<p>孰羨" + kNote + "一作「恣」" + kEndNote + "淫昏</p>\n");
    EXPECT_EQ(whole.Body(0, u"羨一"),
              "<p>孰" + Hit(0, "羨") + kNote + Mark("一") + "作「恣」" + kEndNote + "淫昏</p>\n");
}

TEST(Hits, OneAnchorPerHitInTextOrder) {
    TextPages pages({"宛陵梅堯臣詩，梅聖俞。", "乙甲乙", "哈哈哈"});
    // "?" stands for one character of the hit, marked with it: one anchor.
    EXPECT_EQ(pages.Body(0, u"梅?臣"), "<p>宛陵" + Hit(0, "梅堯臣") + "詩，梅聖俞。</p>\n");
    // AND and OR: anchors in text order over all words, not word by word.
    EXPECT_EQ(pages.Body(1, u"甲 乙"), "<p>" + Hit(0, "乙") + Hit(1, "甲") + Hit(2, "乙") + "</p>\n");
    EXPECT_EQ(pages.Body(1, u"甲 乙", true),
              "<p>" + Hit(0, "乙") + Hit(1, "甲") + Hit(2, "乙") + "</p>\n");
    // Overlapping hits: two anchors, one merged mark.
    EXPECT_EQ(pages.Body(2, u"哈哈"), "<p>" + Hit(0, "哈") + Hit(1, "哈哈") + "</p>\n");
    // "*": the parts of the word marked, the gap not (parts side by side make one mark).
    EXPECT_EQ(pages.Body(0, u"陵*聖"), "<p>宛" + Hit(0, "陵") + "梅堯臣詩，梅" + Mark("聖") +
                                           "俞。</p>\n");
}

TEST(Hits, TheGapFlagAPageInheritsFromTheOneBefore) {
    // The search keeps its gap flag from one page to the next within a word. Page 0 ends with a
    // round whose parts lie more than 300 positions apart, so page 1 starts with the flag set:
    // there a round failing inside 乙丙 moves 甲 on too, and the search counts one hit of 甲*乙丙
    // where the page alone would give two. The marks follow the count.
    std::string filler;
    for (int i = 0; i < 301; ++i) filler += "丁";
    TextPages pages({"甲" + filler + "乙丙", "甲乙戊乙丙甲乙丙"});
    EXPECT_EQ(pages.Body(1, u"甲*乙丙"), "<p>甲乙戊乙丙" + Hit(0, "甲乙丙") + "</p>\n");
    // Without the page before, both hits.
    TextPages alone({"甲乙戊乙丙甲乙丙"});
    EXPECT_EQ(alone.Body(0, u"甲*乙丙"),
              "<p>" + Hit(0, "甲") + "乙戊" + Mark("乙丙") + Hit(1, "甲乙丙") + "</p>\n");
}

}  // namespace
}  // namespace kolva
