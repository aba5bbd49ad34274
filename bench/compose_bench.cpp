// Composing one page of 15,000 characters for the reading view, its hits found as the search
// finds them and marked: a plain two-character word, one character (hundreds of hits), a word
// with "?", one with "*", two words under AND, and a word of three characters with variants on.
// The page has paragraphs, punctuation and notes, so that marks split at tags and notes. Target:
// well under 1 ms a page.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "index/index.h"
#include "pagestore/compose.h"
#include "test_support.h"
#include "text/codeconverter.h"

namespace {

using namespace kolva;

// The characters of the page text: 4E00, 4E01, ... 4E00 + kAlphabet - 1; few enough that a
// keyword of two or three of them has hits on the page.
constexpr int kAlphabet = 30;
constexpr size_t kPageCharacters = 15000;

std::u16string Unit(int i) { return std::u16string(1, char16_t(0x4E00 + i)); }

// A page of 15,000 characters (about 50 KB): paragraphs of CJK text with punctuation, a line
// break now and then, and notes.
std::string MakePage() {
    std::mt19937 rng(7);
    std::u16string body;
    size_t characters = 0;
    while (characters < kPageCharacters) {
        body += u"<p>";
        for (int i = 0; i < 60; ++i, ++characters) {
            body += Unit(int(rng() % kAlphabet));
            if (rng() % 12 == 0) body += rng() % 2 ? u"，" : u"。";
            if (rng() % 40 == 0) body += u"<br>";
        }
        if (rng() % 3 == 0) {
            body += u"<font size=-1 color=\"#993366\">";
            for (int i = 0; i < 20; ++i, ++characters) body += Unit(int(rng() % kAlphabet));
            body += u"</font>";
        }
        body += u"</p>\n";
    }
    std::string cell;
    AppendUtf8(body, cell, kConvertLenient);
    return "<html><head><title>vol 12</title></head><body><table><tr><TD>12</TD><TD>" + cell +
           "</TD></tr></table></body></html>";
}

// A collection of that one page (number 13, so its body is the second cell), indexed as the
// builder indexes it, with a variant table in which 4E00..4E0B form three groups of four.
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

void BM_ComposeTwoCharacters(benchmark::State& state) { Compose(state, Unit(0) + Unit(1), 0); }
void BM_ComposeOneCharacter(benchmark::State& state) { Compose(state, Unit(0), 0); }
void BM_ComposeQuestionWord(benchmark::State& state) {
    Compose(state, Unit(0) + u"?" + Unit(1), 0);
}
void BM_ComposeStarWord(benchmark::State& state) { Compose(state, Unit(0) + u"*" + Unit(1), 0); }
void BM_ComposeTwoWordsAnd(benchmark::State& state) {
    Compose(state, Unit(0) + Unit(1) + u" " + Unit(2) + Unit(3), 0);
}
void BM_ComposeVariants(benchmark::State& state) {
    Compose(state, Unit(0) + Unit(4) + Unit(8), 1);
}

BENCHMARK(BM_ComposeTwoCharacters)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeOneCharacter)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeQuestionWord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeStarWord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeTwoWordsAnd)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeVariants)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
