// Composing one 20 KB page for the reading view: one plain keyword, one "*" keyword, and a
// keyword whose variant forms make 64 passes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "text/codeconverter.h"
#include "index/index.h"
#include "pagestore/compose.h"
#include "test_support.h"
#include "writer/writer.h"

namespace {

using namespace kolva;

// The characters of the page text: 4E00, 4E01, ... 4E00 + kAlphabet - 1; few enough that a
// keyword of two or three of them has hits on the page.
constexpr int kAlphabet = 30;

std::u16string Unit(int i) { return std::u16string(1, char16_t(0x4E00 + i)); }

// A page of about 21 KB: paragraphs of CJK text with a note now and then.
std::string MakePage() {
    std::mt19937 rng(7);
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
    return "<html><head><title>vol 12</title></head><body><table><tr><TD>12</TD><TD>" + cell +
           "</TD></tr></table></body></html>";
}

// A collection of one page (number 13, so its body is the second cell) in a temporary folder,
// with a variant table in which 4E00..4E0B form three groups of four.
class Collection {
public:
    Collection() {
        test::WritePages(m_dir.path(), {{"vol\\0013.htm", MakePage()}},
                         {{0x4E00, 0x4E01, 0x4E02, 0x4E03},
                          {0x4E04, 0x4E05, 0x4E06, 0x4E07},
                          {0x4E08, 0x4E09, 0x4E0A, 0x4E0B}});
        if (!m_index.Open(m_dir.path(), "Index", kModeWholeText)) std::abort();
    }
    const CIndex& index() const { return m_index; }

private:
    test::TempDir m_dir;  // removed after the index below is closed
    CIndex m_index;
};

void Compose(benchmark::State& state, const std::u16string& keywords, uint8_t bVariant) {
    static Collection collection;
    int anchors = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        std::string html;
        anchors = collection.index().ComposePage(0, html, keywords, kTargetWholeText, bVariant);
        bytes = html.size();
        benchmark::DoNotOptimize(html.data());
    }
    state.counters["anchors"] = anchors;
    state.counters["page_bytes"] = double(bytes);
}

void BM_ComposeOneKeyword(benchmark::State& state) {
    Compose(state, Unit(0) + Unit(1), 0);
}
void BM_ComposeStarKeyword(benchmark::State& state) {
    Compose(state, Unit(0) + u"*" + Unit(1), 0);
}
void BM_Compose64VariantForms(benchmark::State& state) {
    Compose(state, Unit(0) + Unit(4) + Unit(8), 1);
}

BENCHMARK(BM_ComposeOneKeyword);
BENCHMARK(BM_ComposeStarKeyword);
BENCHMARK(BM_Compose64VariantForms);

}  // namespace

BENCHMARK_MAIN();
