#include <gtest/gtest.h>

#include "test_support.h"

#include <string>
#include <tuple>
#include <vector>

#include "pagestore/compose.h"
#include "pagestore/hitmark.h"
#include "pagestore/page_text.h"

namespace kolva {
namespace {

using test::Anchor;
using test::Hit;

TEST(AppendAnchor, FourDigitsThenWider) {
    EXPECT_EQ(AnchorName(7), "0007");
    EXPECT_EQ(AnchorName(10000), "10000");
    EXPECT_EQ(Anchor(0), "<a name=\"0000\"></a>");
    EXPECT_EQ(Anchor(7).size(), 19u);
    EXPECT_EQ(Anchor(9999), "<a name=\"9999\"></a>");
    EXPECT_EQ(Anchor(10000), "<a name=\"10000\"></a>");
}

const std::string kNote(kNoteOpen);
const std::string kEndNote(kNoteClose);
const std::string kOpen(kMarkOpen);
const std::string kClose(kMarkClose);

// A marked stretch without its anchor.
std::string Mark(const std::string& text) { return kOpen + text + kClose; }

struct MarkCase {
    const char* name;
    std::string cell;  // the body cell (the first cell of the page)
    int target;
    // Each hit's pieces as body characters, first and last; no pieces: a hit not placed.
    std::vector<std::vector<std::pair<uint32_t, uint32_t>>> hits;
    std::string out;
};

TEST(WriteMarkedBody, Cases) {
    const std::vector<MarkCase> cases = {
        {"no hits: the cell as it was, notes rewrapped", "a" + kNote + "b" + kEndNote + "c<p>", 0,
         {}, "a" + kNote + "b" + kEndNote + "c<p>"},
        {"one hit", "x國史y", 0, {{{1, 2}}}, "x" + Hit(0, "國史") + "y"},
        {"punctuation and spaces between are marked", "《國史補》卷 x", 0, {{{1, 5}}},
         "《" + Hit(0, "國史補》卷") + " x"},
        {"a tag inside a hit splits the mark", "居<br>綺", 0, {{{0, 1}}},
         Hit(0, "居") + "<br>" + Mark("綺")},
        {"so does a line end", "居\n綺", 0, {{{0, 2}}}, Hit(0, "居") + "\n" + Mark("綺")},
        {"a note inside a main-text hit is not marked", "孰羨" + kNote + "一作" + kEndNote + "淫昏",
         1, {{{0, 5}}}, Hit(0, "孰羨") + kNote + "一作" + kEndNote + Mark("淫昏")},
        {"in the whole text it is, between the note's tags", "甲" + kNote + "乙" + kEndNote + "丙",
         0, {{{0, 2}}}, Hit(0, "甲") + kNote + Mark("乙") + kEndNote + Mark("丙")},
        {"main text inside a notes hit is not marked",
         kNote + "甲" + kEndNote + "乙" + kNote + "丙" + kEndNote, 2, {{{0, 2}}},
         kNote + Hit(0, "甲") + kEndNote + "乙" + kNote + Mark("丙") + kEndNote},
        {"overlapping hits keep their anchors, their marks merge", "哈哈哈", 0,
         {{{0, 1}}, {{1, 2}}}, Hit(0, "哈") + Hit(1, "哈哈")},
        {"hits at one character: anchors in hit order", "甲乙", 0, {{{0, 0}}, {{0, 1}}},
         test::Anchor(0) + Hit(1, "甲乙")},
        {"a \"*\" hit marks its pieces, not the gap", "甲乙丙丁", 0, {{{0, 0}, {3, 3}}},
         Hit(0, "甲") + "乙丙" + Mark("丁")},
        {"a hit not placed has its anchor at the end", "甲" + kNote + "乙" + kEndNote, 0,
         {{{0, 0}}, {}}, Hit(0, "甲") + kNote + "乙" + kEndNote + test::Anchor(1)},
        {"the page's own tags stay whole", "<b class=x>甲</b>乙", 0, {{{0, 1}}},
         "<b class=x>" + Hit(0, "甲") + "</b>" + Mark("乙")},
        {"hits in text order across runs", "甲" + kNote + "甲" + kEndNote + "甲", 0,
         {{{0, 0}}, {{1, 1}}, {{2, 2}}},
         Hit(0, "甲") + kNote + Hit(1, "甲") + kEndNote + Hit(2, "甲")},
    };
    for (const MarkCase& c : cases) {
        PageBody body;
        ReadPageBody("<title>t</title><TD>" + c.cell + "</TD><TD>o</TD>", 0, body);
        PageHits hits;
        for (const auto& pieces : c.hits) {
            hits.hits.push_back(
                MarkedHit{uint32_t(hits.pieces.size()), uint32_t(pieces.size()), 0});
            for (auto [first, last] : pieces) hits.pieces.push_back(HitPiece{first, last});
        }
        std::string out = "kept";
        EXPECT_EQ(WriteMarkedBody(body, c.target, hits, out), int(c.hits.size())) << c.name;
        EXPECT_EQ(out, "kept" + c.out) << c.name;
    }
}

TEST(ReadPageBody, CharactersOutsideTagsWithTheirPlaces) {
    PageBody body;
    // The body is the second cell here; text that is not UTF-8 between two tags has no
    // characters, the rest of the run keeps its own.
    ReadPageBody("<title>t</title><TD>x</TD><TD>a<i>甲</i>" + kNote + "\xFF乙<br>丙" + kEndNote +
                     "𠀀</TD>",
                 1, body);
    ASSERT_EQ(body.items.size(), 3u);
    std::vector<std::tuple<char32_t, uint32_t, uint32_t, uint32_t>> got;
    for (const BodyChar& c : body.chars) got.emplace_back(c.codePoint, c.item, c.offset, c.length);
    const std::vector<std::tuple<char32_t, uint32_t, uint32_t, uint32_t>> expected = {
        {U'a', 0, 0, 1}, {U'甲', 0, 4, 3}, {U'丙', 1, 8, 3}, {U'𠀀', 2, 0, 4}};
    EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace kolva
