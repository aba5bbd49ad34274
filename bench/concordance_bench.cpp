// The concordance: lines per second of a whole concordance in page order and sorted by the left
// context, and the time to the first 500 lines, over 300 pages of about 7,000 characters.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>

#include "concordance/concordance.h"
#include "index/index.h"
#include "pagestore/compose.h"
#include "test_support.h"
#include "text/codeconverter.h"
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
    state.counters["rows_composed"] = double(rows);
}

BENCHMARK_CAPTURE(WholeConcordance, one_char_page_order, u"\u4E00", ConcordanceOrder::kPage)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeConcordance, one_char_left_sorted, u"\u4E00", ConcordanceOrder::kLeft)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeConcordance, two_chars_page_order, u"\u4E00\u4E01", ConcordanceOrder::kPage)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FirstPageOfLines, one_char, u"\u4E00")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FirstPageOfLines, two_chars, u"\u4E00\u4E01")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
