// SearchAnd / SearchOr over a generated collection of 12 million indexed characters.
//
// Characters follow a Zipf law over 6,000 CJK characters, so rank 1-20 are "frequent" and ranks
// around 3,000 "rare". Phrases are cut from the generated text, so every one of them occurs.
// Counters: pages found, and "postings" = bytes of the postings streams of the query's slots
// handed through per second (an upper bound on what the search reads: it skips whole entries).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <random>

#include "test_support.h"
#include "writer/writer.h"

namespace {

using namespace kolva;

constexpr uint32_t kPages = 20000;
constexpr uint32_t kCharsPerPage = 600;
constexpr uint32_t kAlphabet = 6000;

struct Collection {
    test::TempDir folder;  // removed after the index below is closed
    std::vector<std::u32string> pages;
    std::map<int32_t, uint64_t> streamBytes;  // slot -> bytes of its stream
    CIndex index;

    Collection() {
        std::mt19937 rng(7);
        std::vector<double> weights(kAlphabet);
        for (uint32_t r = 0; r < kAlphabet; ++r) weights[r] = 1.0 / std::pow(r + 1, 1.05);
        std::discrete_distribution<uint32_t> zipf(weights.begin(), weights.end());
        PageStoreWriter store(folder.path());
        IndexWriter writer;
        pages.resize(kPages);
        for (uint32_t p = 0; p < kPages; ++p) {
            for (uint32_t i = 0; i < kCharsPerPage; ++i) pages[p] += char32_t(0x4E00 + zipf(rng));
            store.AddPage("b\\" + std::to_string(p + 1) + ".htm", "<html></html>");
            writer.AddText(p, pages[p]);
        }
        store.Finish();
        writer.Write(folder.path(), "Index");
        for (char32_t c = 0x4E00; c < 0x4E00 + kAlphabet; ++c)
            streamBytes[CharToSlot(c)] = writer.SlotStream(CharToSlot(c)).size();
        if (!index.Open(folder.path(), "Index", 0)) std::abort();
    }

    // A phrase of n characters cut from the text, starting at a character of the given rank band.
    std::u16string Phrase(uint32_t n, uint32_t minRank, uint32_t maxRank, uint32_t seed) const {
        std::mt19937 rng(seed);
        for (;;) {
            const std::u32string& page = pages[rng() % kPages];
            uint32_t at = rng() % (kCharsPerPage - n);
            uint32_t rank = page[at] - 0x4E00;
            if (rank < minRank || rank > maxRank) continue;
            return std::u16string(page.begin() + at, page.begin() + at + n);
        }
    }
    uint64_t BytesOf(const std::u16string& keywords) const {
        uint64_t total = 0;
        for (char16_t u : keywords)
            if (CharToSlot(u) >= 0) total += streamBytes.at(CharToSlot(u));
        return total;
    }
};

Collection& Shared() {
    static Collection collection;
    return collection;
}

void Run(benchmark::State& state, const std::u16string& keywords, bool orMode) {
    Collection& c = Shared();
    size_t pages = 0;
    for (auto _ : state) {
        const SearchResult r =
            orMode ? c.index.SearchOr(keywords, false) : c.index.SearchAnd(keywords, false);
        benchmark::DoNotOptimize(r.pages.data());
        pages = r.pages.size();
    }
    state.counters["pages"] = double(pages);
    state.counters["postings"] = benchmark::Counter(double(c.BytesOf(keywords)) * double(state.iterations()),
                                                    benchmark::Counter::kIsRate,
                                                    benchmark::Counter::kIs1024);
}

void Phrase(benchmark::State& state) {
    const uint32_t n = uint32_t(state.range(0));
    const bool rare = state.range(1) != 0;
    Run(state, rare ? Shared().Phrase(n, 2500, 3500, n) : Shared().Phrase(n, 0, 19, n), false);
}
BENCHMARK(Phrase)->ArgNames({"chars", "rare"})->ArgsProduct({{1, 2, 4, 8}, {0, 1}});

void QuestionWord(benchmark::State& state) {
    std::u16string p = Shared().Phrase(4, 0, 19, 11);
    p[1] = u'?';
    Run(state, p, false);
}
BENCHMARK(QuestionWord);

void StarWord(benchmark::State& state) {
    Run(state, Shared().Phrase(2, 0, 19, 12) + u"*" + Shared().Phrase(2, 0, 19, 13), false);
}
BENCHMARK(StarWord);

void TwoWordAnd(benchmark::State& state) {
    Run(state, Shared().Phrase(2, 0, 19, 14) + u" " + Shared().Phrase(2, 20, 200, 15), false);
}
BENCHMARK(TwoWordAnd);

void TwoWordOr(benchmark::State& state) {
    Run(state, Shared().Phrase(2, 0, 19, 14) + u" " + Shared().Phrase(2, 20, 200, 15), true);
}
BENCHMARK(TwoWordOr);

}  // namespace

BENCHMARK_MAIN();
