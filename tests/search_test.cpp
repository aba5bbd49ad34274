#include <gtest/gtest.h>

#include <map>
#include <random>

#include "text/codeconverter.h"
#include "test_support.h"

namespace kolva {
namespace {

using test::Results;
using test::TempDir;
using Hits = std::vector<std::pair<uint32_t, uint32_t>>;

// 一 二 三 四, a filler 字, and 、 which has no slot.
constexpr char32_t A = U'一', B = U'二', C = U'三', D = U'四', X = U'字';

std::u32string Repeat(char32_t c, size_t n) { return std::u32string(n, c); }

class SearchTest : public ::testing::Test {
protected:
    void Build(const std::vector<std::u32string>& pages, const std::vector<VariantGroup>& groups = {},
               BlockOrder order = BlockOrder::kSequential) {
        test::WriteCollection(dir.path(), pages, groups, order);
        index.Close();
        ASSERT_TRUE(index.Open(dir.path(), "Index", 0));
    }
    Hits And(std::u16string_view kw, bool variant = false) {
        return Results(index.SearchAnd(kw, variant));
    }
    Hits Or(std::u16string_view kw, bool variant = false) {
        return Results(index.SearchOr(kw, variant));
    }
    TempDir dir;
    CIndex index;
};

TEST_F(SearchTest, PhrasesAndWildcards) {
    Build({
        {A, B, C, D},                                  // 0
        {A, A, A},                                     // 1
        {A, X, B},                                     // 2
        {C, D, X, A, B},                               // 3
        Repeat(A, 1) + Repeat(X, 300) + Repeat(B, 1),  // 4: 300 between
        Repeat(A, 1) + Repeat(X, 301) + Repeat(B, 1),  // 5: 301 between
        {A, U'、', X, U'a', B},                        // 6: 、 and a take no position
    });
    struct Case {
        std::u16string keyword;
        Hits hits;
    } cases[] = {
        {u"一", {{0, 1}, {1, 3}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}}},
        {u"*一", {{0, 1}, {1, 3}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}}},
        {u"一**", {{0, 1}, {1, 3}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}}},
        {u"一一", {{1, 2}}},  // overlapping occurrences count
        {u"一二", {{0, 1}, {3, 1}}},
        {u"一二?", {{0, 1}, {3, 1}}},
        {u"一二？", {{0, 1}, {3, 1}}},
        {u"一?二", {{2, 1}, {6, 1}}},
        {u"一、二", {{0, 1}, {3, 1}}},  // a character without a slot is not there
        {u"一*二", {{0, 1}, {2, 1}, {3, 1}, {4, 1}, {6, 1}}},
        {u"一二*三四", {{0, 1}}},  // CD before AB on page 3 is no hit
        {u"?", {}},
        {u"***", {}},
        {u"、、", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(And(c.keyword), c.hits) << c.keyword.size();
}

TEST_F(SearchTest, WordsCombineByAndOr) {
    Build({{A, B}, {A}, {B}, {C}, {A, A, B}});
    EXPECT_EQ(And(u"一 二"), (Hits{{0, 2}, {4, 3}}));
    EXPECT_EQ(And(u"一 一"), (Hits{{0, 2}, {1, 2}, {4, 4}}));
    // OR: the first word's pages ascending, then each later word's new pages ascending.
    EXPECT_EQ(Or(u"二 一"), (Hits{{0, 2}, {2, 1}, {4, 3}, {1, 1}}));
    EXPECT_EQ(Or(u"三  二   一"), (Hits{{3, 1}, {0, 2}, {2, 1}, {4, 3}, {1, 1}}));
    EXPECT_EQ(And(u"一 、、"), Hits{});
    EXPECT_EQ(Or(u"一 、、"), (Hits{{0, 1}, {1, 1}, {4, 2}}));
    EXPECT_EQ(And(u"一 ?"), Hits{});
    EXPECT_EQ(And(u"四 一"), Hits{});  // a character without postings

    // wordTotal sums the pages held after each word.
    EXPECT_EQ(index.SearchAnd(u"一 二", false).wordTotal, 3 + 2);
    const SearchResult joined = index.SearchAnd(u"一\u3000二", false);  // U+3000 has no slot:
    EXPECT_EQ(joined.wordTotal, 2);                                       // one word 一二
    EXPECT_EQ(Results(joined), (Hits{{0, 1}, {4, 1}}));
}

// A rejected string searches nothing and says so; the caller keeps what it showed before.
TEST_F(SearchTest, RejectedStringsSearchNothing) {
    Build({{A}, {B}});
    for (std::u16string_view kw : {u"一a", u"1", u"一,二", u"", u"   ", u"\u3000", u"一\u00e9"}) {
        for (const SearchResult& r : {index.SearchAnd(kw, false), index.SearchOr(kw, false)}) {
            EXPECT_TRUE(r.rejected);
            EXPECT_EQ(r.wordTotal, 0);
            EXPECT_TRUE(r.pages.empty() && r.counts.empty());
        }
    }
    EXPECT_FALSE(index.SearchAnd(u"一", false).rejected);
    EXPECT_EQ(CIndex::CountKeywords(u"一 二\u3000三"), 3);
    EXPECT_EQ(CIndex::CountKeywords(u"*  ?"), 2);
    EXPECT_EQ(CIndex::CountKeywords(std::u16string(u"一\0a", 3)), 1);  // the string ends at NUL
}

TEST_F(SearchTest, SupplementaryCharactersAreOneTerm) {
    Build({{A, U'\U00020000', B}, {U'\U00020000'}});
    EXPECT_EQ(And(u"\U00020000"), (Hits{{0, 1}, {1, 1}}));
    EXPECT_EQ(And(u"一\U00020000二"), (Hits{{0, 1}}));
    EXPECT_EQ(And(u"一?二"), (Hits{{0, 1}}));
    EXPECT_EQ(index.FirstBlock(32512) >= 0, true);
}

TEST_F(SearchTest, GapsOfStarWords) {
    // 一 then 二 with n characters between, for n around the limit of 300.
    std::vector<std::u32string> pages;
    for (size_t n : {0, 1, 299, 300, 301, 1000}) pages.push_back(A + Repeat(X, n) + B);
    pages.push_back({B, A});                  // wrong order
    pages.push_back({A, B, X, C, D, X, A, B});  // AB*CD once, A*B twice
    Build(pages);
    EXPECT_EQ(And(u"一*二"), (Hits{{0, 1}, {1, 1}, {2, 1}, {3, 1}, {7, 2}}));
    EXPECT_EQ(And(u"一二*三四"), (Hits{{7, 1}}));
    EXPECT_EQ(And(u"一*二*"), And(u"一*二"));
}

TEST_F(SearchTest, OverlongWordsYieldNoTerms) {
    Build({Repeat(A, 300)});
    // 298 units, the added "*" and the NUL make 300: the most a word may have.
    EXPECT_EQ(And(std::u16string(298, u'一')), (Hits{{0, 3}}));
    EXPECT_EQ(And(std::u16string(299, u'一')), Hits{});
    EXPECT_EQ(Or(u"一 " + std::u16string(299, u'一')), (Hits{{0, 300}}));
    EXPECT_EQ(And(u"一" + std::u16string(400, u'*') + u"一"), (Hits{{0, 299}}));
}

TEST_F(SearchTest, VariantOptionSearchesUnderTheGroupSlot) {
    // 万 and 萬 form a group; 二 is in none.
    const std::vector<VariantGroup> groups = {{0x4E07, 0x842C}};
    Build({{U'万', B}, {U'萬', B}, {B}}, groups);
    EXPECT_EQ(And(u"万二", 1), (Hits{{0, 1}, {1, 1}}));
    EXPECT_EQ(And(u"万二", 0), (Hits{{0, 1}}));
    EXPECT_EQ(And(u"二", 1), (Hits{{0, 1}, {1, 1}, {2, 1}}));

    // A table whose group slot has no postings: with the option on, no hits at all.
    test::WriteCollection(dir.path(), {{U'万'}});
    WriteVariantTable(dir / "yitizi.txt", groups);
    index.Close();
    ASSERT_TRUE(index.Open(dir.path(), "Index", 0));
    EXPECT_EQ(And(u"万", 0), (Hits{{0, 1}}));
    EXPECT_EQ(And(u"万", 1), Hits{});
}

// ---- the search against a direct count on the page texts ----

struct Model {
    std::vector<std::vector<char32_t>> indexed;  // indexed characters of each page
    std::map<char32_t, char32_t> group;          // character -> its group's first member
    char32_t Key(char32_t c, bool variant) const {
        auto it = group.find(c);
        return variant && it != group.end() ? it->second : c;
    }
    // Occurrences of a word without "*": every anchor at which each term's character stands.
    uint32_t Count(size_t page, const std::u32string& word, bool variant) const {
        const auto& text = indexed[page];
        uint32_t count = 0;
        for (long anchor = -long(word.size()); anchor < long(text.size()); ++anchor) {
            bool all = true, any = false;
            for (size_t k = 0; k < word.size() && all; ++k) {
                if (word[k] == U'?') continue;
                long at = anchor + long(k);
                any = true;
                all = at >= 0 && at < long(text.size()) &&
                      Key(text[size_t(at)], variant) == Key(word[k], variant);
            }
            count += all && any;
        }
        return count;
    }
    Hits Search(const std::vector<std::u32string>& words, bool orMode, bool variant) const {
        Hits out;
        std::map<uint32_t, size_t> at;
        for (size_t w = 0; w < words.size(); ++w) {
            Hits next;
            for (size_t p = 0; p < indexed.size(); ++p) {
                uint32_t n = Count(p, words[w], variant);
                if (!n) continue;
                if (orMode) {
                    if (at.count(uint32_t(p))) {
                        out[at[uint32_t(p)]].second += n;
                    } else {
                        at[uint32_t(p)] = out.size();
                        out.emplace_back(uint32_t(p), n);
                    }
                } else if (w == 0) {
                    next.emplace_back(uint32_t(p), n);
                } else {
                    for (auto& h : out)
                        if (h.first == p) next.emplace_back(uint32_t(p), n + h.second);
                }
            }
            if (!orMode) out = next;
        }
        return out;
    }
};

// A random word of the test's letters: 1 to 4 of them, "?" among them, at least one letter.
std::u32string RandomWord(std::mt19937& rng) {
    static const char32_t pool[] = {A, B, C, D, U'万', U'萬', U'\U00020000', U'?'};
    std::u32string w;
    for (size_t i = 0, len = 1 + rng() % 4; i < len; ++i) w += pool[rng() % 8];
    if (w.find_first_not_of(U'?') == std::u32string::npos) w[0] = A;
    return w;
}

// Pages of a few letters, so that phrases recur and every slot's stream spans several blocks;
// D is rare, so that the other terms leap over long runs of entries to reach it; some pages are
// long, so that entries run over block ends.
std::vector<std::u32string> RandomPages(std::mt19937& rng, Model* model) {
    const std::u32string letters = {A, B, C, U'万', U'萬', U'\U00020000', U'、', U'a'};
    std::vector<std::u32string> pages(700);
    if (model) model->indexed.resize(pages.size());
    for (size_t p = 0; p < pages.size(); ++p) {
        size_t n = p % 97 == 5 ? 600 + rng() % 600 : rng() % 60;
        for (size_t i = 0; i < n; ++i) {
            char32_t c = rng() % 400 == 0 ? D : letters[rng() % letters.size()];
            pages[p] += c;
            if (model && CharToSlot(c) >= 0) model->indexed[p].push_back(c);
        }
    }
    return pages;
}

TEST_F(SearchTest, MatchesADirectCountOnRandomCollections) {
    const std::vector<VariantGroup> groups = {{0x4E07, 0x842C}};
    std::mt19937 rng(20261210);
    for (BlockOrder order : {BlockOrder::kSequential, BlockOrder::kInterleaved, BlockOrder::kReversed}) {
        Model model;
        model.group[U'万'] = U'万';
        model.group[U'萬'] = U'万';
        Build(RandomPages(rng, &model), groups, order);
        ASSERT_GT(index.FirstBlock(CharToSlot(A)), -1);
        for (int round = 0; round < 300; ++round) {
            std::vector<std::u32string> words(1 + rng() % 2);
            std::u32string keyword;
            for (auto& w : words) {
                w = RandomWord(rng);
                keyword += (keyword.empty() ? U"" : U" ") + w;
            }
            const bool orMode = rng() % 2, variant = rng() % 2;
            // Skip points and direct counts on; on with so little memory for guides that they
            // stop keeping points mid-walk and are dropped between words; off. The same lists,
            // and all of them the model's.
            for (int shortcuts : {1, 2, 0}) {
                index.UseShortcuts(shortcuts != 0);
                index.LimitGuideMemory(shortcuts == 2 ? 600 : size_t(8) << 20);
                const std::u16string kw = CodePointsToUtf16(keyword);
                ASSERT_EQ(Results(orMode ? index.SearchOr(kw, variant) : index.SearchAnd(kw, variant)),
                          model.Search(words, orMode, variant))
                    << "order " << int(order) << " or " << orMode << " variant " << variant
                    << " shortcuts " << shortcuts;
            }
        }
    }
}

TEST_F(SearchTest, ShortcutsGiveThePlainResultsOnDamagedPostings) {
    // On damaged postings the plain search stops a word at the first fault it reads, keeping
    // what it found; skip points and direct counts must stop it at the same place.
    // A number that runs past its entry: page 0 holds 一一, so the entry is 00 | 02 00 | 00 01;
    // 0x81 makes the last number two bytes long. The word stops there after one hit.
    test::WriteCollection(dir.path(), {{A, A}, {A}});
    ASSERT_TRUE(index.Open(dir.path(), "Index", 0));
    const size_t entry = size_t(index.FirstBlock(CharToSlot(A))) * kBlockSize;
    index.Close();
    std::string bytes = test::ReadBytes(dir / "Index-idx.m");
    ASSERT_EQ(bytes.substr(entry, 5), std::string("\0\2\0\0\1", 5));
    bytes[entry + 4] = char(0x81);
    test::WriteBytes(dir / "Index-idx.m", bytes);
    ASSERT_TRUE(index.Open(dir.path(), "Index", 0));
    for (bool shortcuts : {true, false}) {
        index.UseShortcuts(shortcuts);
        EXPECT_EQ(And(u"一"), (Hits{{0, 1}})) << shortcuts;
        EXPECT_EQ(And(u"一一"), Hits{}) << shortcuts;
    }

    // A later word of an AND meets a fault on a page the earlier word did not find: page 1's
    // entry of 二 runs past its end, so the plain search ends that word there and page 2,
    // which holds both words, is not found. Passing over pages must not step round the fault.
    index.Close();
    test::WriteCollection(dir.path(), {{A}, {B, B}, {A, B}});
    ASSERT_TRUE(index.Open(dir.path(), "Index", 0));
    const size_t second = size_t(index.FirstBlock(CharToSlot(B))) * kBlockSize;
    index.Close();
    bytes = test::ReadBytes(dir / "Index-idx.m");
    ASSERT_EQ(bytes.substr(second, 5), std::string("\1\2\0\0\1", 5));
    bytes[second + 4] = char(0x81);
    test::WriteBytes(dir / "Index-idx.m", bytes);
    ASSERT_TRUE(index.Open(dir.path(), "Index", 0));
    for (bool shortcuts : {true, false}) {
        index.UseShortcuts(shortcuts);
        for (int repeat = 0; repeat < 80; ++repeat)  // long enough for the slots to be read whole
            ASSERT_EQ(And(u"一 二"), Hits{}) << shortcuts;
    }

    // A zero position delta in a run of one-byte numbers (positions repeat): page 0 holds
    // twenty 一, so its entry is 00 | 14 00 | 00 01 01 ...; the twelfth number becomes 0.
    std::u32string twenty(20, A);
    index.Close();
    test::WriteCollection(dir.path(), {twenty, {A, A}});
    ASSERT_TRUE(index.Open(dir.path(), "Index", 0));
    const size_t run = size_t(index.FirstBlock(CharToSlot(A))) * kBlockSize;
    index.Close();
    bytes = test::ReadBytes(dir / "Index-idx.m");
    ASSERT_EQ(bytes.substr(run, 5), std::string("\0\x14\0\0\1", 5));
    bytes[run + 3 + 11] = 0;
    test::WriteBytes(dir / "Index-idx.m", bytes);
    ASSERT_TRUE(index.Open(dir.path(), "Index", 0));
    for (const char16_t* word : {u"一一", u"一一一", u"一?一", u"一"}) {
        index.UseShortcuts(true);
        const Hits withShortcuts = And(word);
        index.UseShortcuts(false);
        EXPECT_EQ(withShortcuts, And(word)) << std::u16string_view(word).size();
    }

    std::mt19937 rng(77);
    for (int collection = 0; collection < 16; ++collection) {
        const BlockOrder order = collection % 2 ? BlockOrder::kInterleaved : BlockOrder::kSequential;
        test::WriteCollection(dir.path(), RandomPages(rng, nullptr), {}, order);
        std::string postings = test::ReadBytes(dir / "Index-idx.m");
        for (int damage = 0, n = 1 + collection % 4; damage < n; ++damage)
            postings[rng() % postings.size()] = char(rng() % 2 ? 0x80 | rng() % 128 : rng() % 256);
        test::WriteBytes(dir / "Index-idx.m", postings);
        index.Close();
        ASSERT_TRUE(index.Open(dir.path(), "Index", 0));
        for (int round = 0; round < 150; ++round) {
            std::u32string keyword = RandomWord(rng);
            if (rng() % 3 == 0) keyword += U" " + RandomWord(rng);
            if (rng() % 4 == 0) keyword.insert(1 + rng() % keyword.size(), U"*");
            const std::u16string kw = CodePointsToUtf16(keyword);
            index.UseShortcuts(true);
            const auto withShortcuts = Results(index.SearchAnd(kw, false));
            index.UseShortcuts(false);
            ASSERT_EQ(withShortcuts, Results(index.SearchAnd(kw, false))) << "collection " << collection;
        }
    }
}

}  // namespace
}  // namespace kolva
