// The concordance: lines per second of a whole concordance in page order and sorted by the left
// context, and the time to the first 500 lines, over 300 pages of about 7,000 characters; with
// --collection=DIR (and --keyword=K) also the search and the first 500 lines on that collection
// (target: a frequent character at 40 M characters in under 300 ms).
//
//   build/bin/kolva_concordance_bench --collection=/work/benchdata/c40new --keyword=人
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/results.h"
#include "concordance/concordance.h"
#include "concordance/concordance_page.h"
#include "index/index.h"
#include "pagestore/compose.h"
#include "test_support.h"
#include "text/codeconverter.h"
#include "text/utf8.h"
#include "writer/writer.h"

namespace {

using namespace kolva;

constexpr int kPages = 300;
// Page text draws from 4E00 .. 4E00 + kAlphabet - 1, so one character has a few hundred hits
// on every page and a two-character word a few dozen.
constexpr int kAlphabet = 30;

std::u16string Unit(int i) { return std::u16string(1, char16_t(0x4E00 + i)); }

std::string MakePage(std::mt19937& rng, int number) {
    std::u16string body;
    while (body.size() < 6900) {
        body += u"<p>";
        for (int i = 0; i < 60; ++i) body += Unit(int(rng() % kAlphabet));
        if (rng() % 3 == 0) {
            body += u"<font size=-1 color=\"#993366\">";
            for (int i = 0; i < 20; ++i) body += Unit(int(rng() % kAlphabet));
            body += u"</font>";
        }
    }
    std::string cell;
    AppendUtf8(body, cell, kConvertLenient);
    const std::string label = "<TD>" + std::to_string(number) + "</TD>";
    return "<html><head><title>vol</title></head><body><table><tr>" +
           (number % 2 ? label + "<TD>" + cell + "</TD>" : "<TD>" + cell + "</TD>" + label) +
           "</tr></table></body></html>";
}

class Collection {
public:
    Collection() {
        std::mt19937 rng(7);
        std::vector<std::pair<std::string, std::string>> pages;
        for (int i = 0; i < kPages; ++i) pages.emplace_back(test::PageName(i + 1), MakePage(rng, i + 1));
        test::WritePages(m_dir.path(), pages);
        if (!m_index.Open(m_dir.path(), "Index", kModeWholeText)) std::abort();
        for (uint32_t p = 0; p < kPages; ++p) m_pages.push_back(p);
    }
    const CIndex& index() const { return m_index; }
    const std::vector<uint32_t>& pages() const { return m_pages; }

private:
    test::TempDir m_dir;
    CIndex m_index;
    std::vector<uint32_t> m_pages;
};

Collection& Shared() {
    static Collection collection;
    return collection;
}

void WholeConcordance(benchmark::State& state, std::u16string keywords, ConcordanceOrder order) {
    Collection& c = Shared();
    size_t lines = 0;
    for (auto _ : state) {
        CConcordance concordance(c.index(), c.pages(), {keywords, 0, false, 20});
        lines = concordance.Lines(order).size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = double(lines);
    state.SetItemsProcessed(int64_t(state.iterations() * lines));  // lines per second
}

void FirstPageOfLines(benchmark::State& state, std::u16string keywords) {
    Collection& c = Shared();
    size_t rows = 0;
    for (auto _ : state) {
        CConcordance concordance(c.index(), c.pages(), {keywords, 0, false, 20});
        std::vector<ConcordanceLine> lines;
        concordance.AppendPageOrderLines(0, 500, lines);
        rows = lines.empty() ? 0 : lines.back().row + 1;
        benchmark::DoNotOptimize(lines.data());
    }
    state.counters["rows_read"] = double(rows);
}

BENCHMARK_CAPTURE(WholeConcordance, one_char_page_order, u"\u4E00", ConcordanceOrder::kPage)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeConcordance, one_char_left_sorted, u"\u4E00", ConcordanceOrder::kLeft)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeConcordance, two_chars_page_order, u"\u4E00\u4E01", ConcordanceOrder::kPage)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeConcordance, star_word_page_order, u"\u4E00*\u4E01\u4E02",
                  ConcordanceOrder::kPage)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FirstPageOfLines, one_char, u"\u4E00")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FirstPageOfLines, two_chars, u"\u4E00\u4E01")->Unit(benchmark::kMillisecond);

// A collection made elsewhere (--collection=DIR, e.g. the 40 M one): the search of a keyword
// (--keyword=K, default 人) as the pane runs it, its rows named from the catalogue, and the first
// 500 lines of its concordance in page order, as the reader shows them; and those lines alone.
struct Outside {
    std::filesystem::path folder;
    std::u16string keyword = u"人";
    CIndex index;
    CCatalogue catalogue;
    std::vector<uint32_t> pages;  // of the rows, in row order
};
Outside& TheOutside() {
    static Outside outside;
    return outside;
}

void OutsideSearchAndFirstLines(benchmark::State& state, bool search) {
    Outside& o = TheOutside();
    size_t lines = 0, rows = 0;
    for (auto _ : state) {
        if (search) {
            const SearchResult result = o.index.SearchAnd(o.keyword, true);
            std::vector<SearchNodeTag> named;
            BuildResultList(FindRangeNode(o.catalogue, 1), result.pages, result.counts, named);
            o.pages.clear();
            for (const SearchNodeTag& row : named) o.pages.push_back(row.pageIndex);
        }
        CConcordance concordance(o.index, o.pages, {o.keyword, 0, true, 20});
        std::vector<ConcordanceLine> shown;
        concordance.AppendPageOrderLines(0, kConcordancePageLines, shown);
        lines = shown.size();
        rows = shown.empty() ? 0 : shown.back().row + 1;
        benchmark::DoNotOptimize(shown.data());
    }
    state.counters["lines"] = double(lines);
    state.counters["rows_read"] = double(rows);
}

}  // namespace

int main(int argc, char** argv) {
    // Our own flags first; the rest go to Google Benchmark.
    std::vector<char*> rest;
    Outside& o = TheOutside();
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.starts_with("--collection=")) {
            o.folder = arg.substr(13);
        } else if (arg.starts_with("--keyword=")) {
            std::u32string points;
            size_t bad;
            if (!DecodeUtf8(arg.substr(10), points, bad)) return 2;
            o.keyword = CodePointsToUtf16(points);
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (!o.folder.empty()) {
        if (!o.index.Open(o.folder, "Index", kModeWholeText) ||
            !o.catalogue.Load(o.folder / "kolva.dir", {})) {
            std::fprintf(stderr, "cannot open the collection in %s\n", o.folder.c_str());
            return 1;
        }
        // The rows once, for the lines alone.
        const SearchResult result = o.index.SearchAnd(o.keyword, true);
        std::vector<SearchNodeTag> named;
        BuildResultList(FindRangeNode(o.catalogue, 1), result.pages, result.counts, named);
        for (const SearchNodeTag& row : named) o.pages.push_back(row.pageIndex);
        benchmark::RegisterBenchmark("Collection/search_rows_and_first_500_lines",
                                     OutsideSearchAndFirstLines, true)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("Collection/first_500_lines", OutsideSearchAndFirstLines,
                                     false)
            ->Unit(benchmark::kMillisecond);
    }
    int count = int(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
