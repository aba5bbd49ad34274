// The search with and without pairs files: the same result lists, in order, for every kind of
// word, target and variant option, on sound and damaged collections, and with pairs files that
// are stale or damaged (which the index must not use, or must not let change a result).
#include <gtest/gtest.h>

#include <random>

#include "test_support.h"
#include "text/codeconverter.h"
#include "writer/pairs_writer.h"

namespace kolva {
namespace {

using test::Results;
using Hits = std::vector<std::pair<uint32_t, uint32_t>>;

const std::u32string kLetters = U"一二三四五六七万萬\U00020000あ、a";
const std::vector<VariantGroup> kGroups = {{0x4E07, 0x842C}, {0x4E09, 0x56DB}};

// Pages of a few letters with long repeats, so that pairs recur on many pages; a few long pages
// whose entries run over block ends; now and then enough pages that the frequent letters' streams
// have stored points.
std::vector<std::u32string> RandomPages(std::mt19937& rng) {
    std::vector<std::u32string> pages(rng() % 3 == 0 ? 1500 + rng() % 500 : 300 + rng() % 300);
    const size_t letters = 4 + rng() % (kLetters.size() - 4);
    for (size_t p = 0; p < pages.size(); ++p) {
        const size_t n = p % 61 == 7 ? 800 + rng() % 800 : rng() % 80;
        for (size_t i = 0; i < n; ++i) pages[p] += kLetters[rng() % letters];
    }
    return pages;
}

// A word cut from a page (so that it is found) or made up, with "?" and "*" now and then.
std::u32string RandomWord(std::mt19937& rng, const std::vector<std::u32string>& pages) {
    std::u32string w;
    const std::u32string& page = pages[rng() % pages.size()];
    const size_t n = 1 + rng() % 6;
    if (rng() % 3 != 0 && page.size() > n) {
        w = page.substr(rng() % (page.size() - n), n);
    } else {
        for (size_t i = 0; i < n; ++i) w += kLetters[rng() % kLetters.size()];
    }
    if (rng() % 5 == 0) w[rng() % w.size()] = U'?';
    if (rng() % 5 == 0) w.insert(rng() % (w.size() + 1), U"*");
    if (rng() % 8 == 0) w += U"*" + page.substr(0, 2);
    if (w.find_first_not_of(U"?*a、") == std::u32string::npos) w += U'一';
    return w;
}

// Copies the ten files of from into to (an empty folder).
void CopyCollection(const std::filesystem::path& from, const std::filesystem::path& to) {
    for (const auto& e : std::filesystem::directory_iterator(from))
        if (e.path().extension() != ".pairs")
            std::filesystem::copy_file(e.path(), to / e.path().filename(),
                                       std::filesystem::copy_options::overwrite_existing);
}

// Runs the same searches on both folders (and without shortcuts on the plain one) and expects
// the same lists; expectPairs: whether the whole-text index uses its pairs file.
void ExpectSameSearches(const std::filesystem::path& paired, const std::filesystem::path& plain,
                        const std::vector<std::u32string>& pages, std::mt19937& rng, int rounds,
                        bool expectPairs, const std::string& what) {
    for (int mode : {0, 1, 2}) {
        CIndex a, b;
        ASSERT_TRUE(a.Open(paired, "Index", mode));
        ASSERT_TRUE(b.Open(plain, "Index", mode));
        if (mode == 0) {
            EXPECT_EQ(a.HasPairs(), expectPairs) << what;
        }
        EXPECT_FALSE(b.HasPairs());
        for (int round = 0; round < rounds; ++round) {
            std::u32string keyword = RandomWord(rng, pages);
            for (int w = 0, more = int(rng() % 3); w < more; ++w) keyword += U" " + RandomWord(rng, pages);
            const bool orMode = rng() % 2;
            const uint8_t variant = rng() % 2;
            std::vector<Hits> lists;
            for (int run = 0; run < 3; ++run) {
                CIndex& index = run == 0 ? a : b;
                index.UseShortcuts(run != 2);
                const std::u16string kw = CodePointsToUtf16(keyword);
                lists.push_back(Results(orMode ? index.SearchOr(kw, variant)
                                               : index.SearchAnd(kw, variant)));
            }
            ASSERT_EQ(lists[0], lists[1]) << what << " mode " << mode << " or " << orMode
                                          << " variant " << int(variant) << " round " << round;
            ASSERT_EQ(lists[1], lists[2]) << what << " round " << round;
        }
    }
}

TEST(PairsSearchTest, SameResultsOnSoundCollections) {
    std::mt19937 rng(1616);
    for (int collection = 0; collection < 6; ++collection) {
        test::TempDir paired, plain;
        const auto pages = RandomPages(rng);
        const BlockOrder order = collection % 2 ? BlockOrder::kInterleaved : BlockOrder::kSequential;
        test::WriteCollection(paired.path(), pages, kGroups, order);
        CopyCollection(paired.path(), plain.path());
        AccelerateCollection(paired.path());
        // Also a file of a few keys, fewer of them in the pairs one apart.
        if (collection % 3 == 2) WritePairsFile(paired.path(), "Index", 6, 3);
        ExpectSameSearches(paired.path(), plain.path(), pages, rng, 120, true,
                           "collection " + std::to_string(collection));
    }
}

// Pairs files made from damaged postings: their faulty slots are never narrowed, so the search
// meets every fault the plain search meets.
TEST(PairsSearchTest, SameResultsOnDamagedCollections) {
    std::mt19937 rng(1617);
    for (int collection = 0; collection < 10; ++collection) {
        test::TempDir paired, plain;
        const auto pages = RandomPages(rng);
        test::WriteCollection(paired.path(), pages, kGroups,
                              collection % 2 ? BlockOrder::kInterleaved : BlockOrder::kSequential);
        for (const char* name : {"Index-idx.m", "Index_content-idx.m", "Index_desc-idx.m"}) {
            std::string postings = test::ReadBytes(paired / name);
            for (int damage = 0, n = 1 + collection % 4; damage < n; ++damage)
                postings[rng() % postings.size()] =
                    char(rng() % 2 ? 0x80 | rng() % 128 : rng() % 256);
            test::WriteBytes(paired / name, postings);
        }
        CopyCollection(paired.path(), plain.path());
        AccelerateCollection(paired.path());
        ExpectSameSearches(paired.path(), plain.path(), pages, rng, 120, true,
                           "damaged collection " + std::to_string(collection));
    }
}

// Pairs files of another collection left beside a rebuilt one, of another variant table, or
// damaged: not used, or (a damaged list) not trusted.
TEST(PairsSearchTest, StaleOrDamagedPairsFilesChangeNothing) {
    std::mt19937 rng(1618);
    test::TempDir paired, plain, other;
    const auto pages = RandomPages(rng);
    test::WriteCollection(paired.path(), pages, kGroups);
    CopyCollection(paired.path(), plain.path());
    test::WriteCollection(other.path(), RandomPages(rng), kGroups);
    AccelerateCollection(other.path());
    for (const char* name : {"Index-idx.pairs", "Index_desc-idx.pairs", "Index_content-idx.pairs"})
        std::filesystem::copy_file(other / name, paired / name);
    ExpectSameSearches(paired.path(), plain.path(), pages, rng, 60, false, "stale");

    AccelerateCollection(paired.path());
    WriteVariantTable(paired / "yitizi.txt", {{0x4E07, 0x842C}});
    WriteVariantTable(plain / "yitizi.txt", {{0x4E07, 0x842C}});
    ExpectSameSearches(paired.path(), plain.path(), pages, rng, 60, false, "other variants");

    WriteVariantTable(paired / "yitizi.txt", kGroups);
    WriteVariantTable(plain / "yitizi.txt", kGroups);
    AccelerateCollection(paired.path());
    const std::string good = test::ReadBytes(paired / "Index-idx.pairs");
    for (int damage = 0; damage < 12; ++damage) {
        std::string bad = good;
        // Half in the header and tables (refused at open), half in the lists (refused when read).
        const size_t at = damage % 2 ? good.size() - 1 - rng() % (good.size() / 3)
                                     : rng() % (good.size() / 2);
        bad[at] = char(bad[at] ^ (1 << rng() % 8));
        test::WriteBytes(paired / "Index-idx.pairs", bad);
        CIndex probe;
        ASSERT_TRUE(probe.Open(paired.path(), "Index", 0));
        ExpectSameSearches(paired.path(), plain.path(), pages, rng, 40, probe.HasPairs(),
                           "damaged pairs at " + std::to_string(at));
    }
}

}  // namespace
}  // namespace kolva
