// Keywords nobody types but anybody can paste: 100,000 characters in one word (plain, and with
// a "?" between characters), 50 characters that all have variant forms, and unpaired surrogates; each searched (AND and OR, variants off
// and on) and composed on a page of about 20 KB (variants off and on).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "text/codeconverter.h"
#include "index/index.h"
#include "pagestore/compose.h"
#include "test_support.h"
#include "writer/writer.h"

namespace {

using namespace kolva;

constexpr int kVariantChars = 50;
char16_t Plain(int i) { return char16_t(0x4E00 + i); }
char16_t Variant(int i) { return char16_t(0x4E00 + kVariantChars + i); }

// 80 pages of 250 characters (the first 50 plain forms in turn, with a variant form now and
// then), one of them the whole phrase of 50; every Plain(i) is paired with Variant(i).
class Collection {
public:
    Collection() {
        std::vector<VariantGroup> groups;
        for (int i = 0; i < kVariantChars; ++i) groups.push_back({Plain(i), Variant(i)});
        PageStoreWriter store(m_dir.path());
        IndexWriter writer(groups);
        for (int page = 0; page < 80; ++page) {
            std::u16string text;
            for (int i = 0; i < 250; ++i)
                text += (page + i) % 17 == 0 ? Variant(i % kVariantChars) : Plain(i % kVariantChars);
            std::u16string body;
            for (int k = 0; k < 25; ++k) body += text;  // about 20 KB of UTF-8
            std::string cell;
            AppendUtf8(body, cell, kConvertLenient);
            char name[32];
            std::snprintf(name, sizeof name, "vol\\%04d.htm", 2 * page + 2);
            store.AddPage(name, "<title>T</title><TD>" + cell + "</TD><TD></TD>");
            writer.AddText(uint32_t(page), std::u32string(body.begin(), body.end()));
        }
        store.Finish();
        for (int mode : {0, 1, 2}) writer.Write(m_dir.path(), IndexFileStem("Index", mode));
        WriteVariantTable(m_dir / "yitizi.txt", groups);
        if (!m_index.Open(m_dir.path(), "Index", kModeWholeText)) std::abort();
    }
    CIndex& index() { return m_index; }

private:
    test::TempDir m_dir;  // removed after the index below is closed
    CIndex m_index;
};

Collection& Shared() {
    static Collection collection;
    return collection;
}

std::u16string LongKeyword() { return std::u16string(100000, Plain(0)); }
// 100,000 units of two characters and "?": on the page the first character comes every 50
// characters and the second never 2 after it, so every match attempt walks all 50,000 pieces.
std::u16string LongWildcardKeyword() {
    std::u16string keyword;
    while (keyword.size() < 100000) keyword += {Plain(0), u'?', Plain(7), u'?'};
    return keyword;
}
std::u16string VariantKeyword() {
    std::u16string keyword;
    for (int i = 0; i < kVariantChars; ++i) keyword += i % 2 ? Variant(i) : Plain(i);
    return keyword;
}
std::u16string SurrogateKeyword() {
    return {0xD840, Plain(0), Plain(1), 0xDC00, Plain(2), 0xDC00, 0xD840, Plain(3), 0xD840,
            0xDBFF, u' ', 0xDFFF, Plain(4), u'*', 0xD800, u'?', Plain(5), 0xD800};
}

void Search(benchmark::State& state, std::u16string (*make)(), bool orSearch, uint8_t variant) {
    CIndex& index = Shared().index();
    const std::u16string keyword = make();
    size_t pages = 0;
    for (auto _ : state) {
        const SearchResult r =
            orSearch ? index.SearchOr(keyword, variant) : index.SearchAnd(keyword, variant);
        benchmark::DoNotOptimize(r.pages.data());
        pages = r.pages.size();
    }
    state.counters["pages"] = double(pages);
}

void Compose(benchmark::State& state, std::u16string (*make)(), uint8_t variant) {
    CIndex& index = Shared().index();
    const std::u16string keyword = make();
    int anchors = 0;
    for (auto _ : state) {
        std::string html;
        anchors = index.ComposePage(0, html, keyword, kTargetWholeText, variant);
        benchmark::DoNotOptimize(html.data());
    }
    state.counters["anchors"] = anchors;
}

#define KEYWORD_BENCHMARKS(Name, make)                                                   \
    void BM_##Name##_And(benchmark::State& s) { Search(s, make, false, 0); }             \
    void BM_##Name##_Or(benchmark::State& s) { Search(s, make, true, 0); }               \
    void BM_##Name##_AndVariants(benchmark::State& s) { Search(s, make, false, 1); }     \
    void BM_##Name##_OrVariants(benchmark::State& s) { Search(s, make, true, 1); }       \
    void BM_##Name##_Compose(benchmark::State& s) { Compose(s, make, 0); }               \
    void BM_##Name##_ComposeVariants(benchmark::State& s) { Compose(s, make, 1); }       \
    BENCHMARK(BM_##Name##_And)->Unit(benchmark::kMillisecond);                          \
    BENCHMARK(BM_##Name##_Or)->Unit(benchmark::kMillisecond);                           \
    BENCHMARK(BM_##Name##_AndVariants)->Unit(benchmark::kMillisecond);                  \
    BENCHMARK(BM_##Name##_OrVariants)->Unit(benchmark::kMillisecond);                   \
    BENCHMARK(BM_##Name##_Compose)->Unit(benchmark::kMillisecond);                      \
    BENCHMARK(BM_##Name##_ComposeVariants)->Unit(benchmark::kMillisecond);

KEYWORD_BENCHMARKS(HundredThousandUnits, LongKeyword)
KEYWORD_BENCHMARKS(HundredThousandWildcardUnits, LongWildcardKeyword)
KEYWORD_BENCHMARKS(FiftyVariantCharacters, VariantKeyword)
KEYWORD_BENCHMARKS(UnpairedSurrogates, SurrogateKeyword)

}  // namespace

BENCHMARK_MAIN();
