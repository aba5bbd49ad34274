// Page composition of an arbitrary stored page with arbitrary keywords, against the search: the
// page is indexed as kolva-build indexes it (with an arbitrary variant table), searched with AND
// or OR, variants on or off, in one of the three texts, and composed. The anchors must be the
// page's count in the result list, the concordance must have one line per anchor, and the page
// must come out in its frame.
//
// Input: uint8 mode (0 whole text, 1 notes, 2 main text; modulo 3) |
//        uint8 flags (1 variants, 2 odd page number, 4 OR) | keywords (UTF-16) |
//        variant table | rest: the page (UTF-8 HTML as the page store keeps it)
#include "builder/source.h"
#include "concordance/concordance.h"
#include "fuzz_support.h"
#include "index/index.h"
#include "pagestore/compose.h"
#include "writer/writer.h"

using namespace kolva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InputReader in(data, size);
    const int mode = in.U8() % 3;
    const uint8_t flags = in.U8();
    const std::u16string keywords = in.Utf16();
    const std::string_view table = in.Bytes();
    const std::string_view page = in.Rest();
    const bool variants = flags & 1;
    const bool odd = flags & 2;
    const std::filesystem::path& folder = fuzz::WorkFolder();

    // The collection of this one page, its positions as the builder numbers them.
    PageStoreWriter store(folder);
    store.AddPage(odd ? "vol\\0001.htm" : "vol\\0002.htm", page);
    store.Finish();
    fuzz::WriteFile(folder / "yitizi.txt", table);
    const std::vector<VariantGroup> groups = ParseVariantTable(table);
    PageTexts texts;
    ExtractPageTexts(page, odd ? 1 : 2, texts);
    IndexWriter positions(groups);
    positions.AddText(0, mode == kModeWholeText ? texts.whole
                         : mode == kModeNotes   ? texts.notes
                                                : texts.main);
    positions.Write(folder, IndexFileStem("Index", mode));

    CIndex index([](std::u16string_view) {});
    fuzz::Check(index.Open(folder, "Index", mode));
    const SearchResult result =
        flags & 4 ? index.SearchOr(keywords, variants) : index.SearchAnd(keywords, variants);
    const uint32_t count = result.pages.empty() ? 0 : result.counts[0];

    std::string html;
    const int anchors = index.ComposePage(0, html, keywords, index.TextTarget(), variants);
    fuzz::Check(anchors >= 0);
    // Whatever the page held, the composed page is the frame around what was parsed.
    if (!html.empty()) fuzz::Check(html.starts_with(kFrameT1) && html.ends_with(kFrameT4));
    fuzz::Check(anchors == 0 || !html.empty());
    // U+3000 parts words for composition as U+0020 does for the search: compare strings
    // without it. A page the AND keeps, or any page under OR, has one anchor per hit counted.
    if (keywords.find(u'\u3000') == std::u16string::npos && (flags & 4 || count != 0))
        fuzz::Check(uint32_t(anchors) == count);

    // The concordance has one line per anchor.
    CConcordance concordance(index, {0}, {keywords, index.TextTarget(), variants, 5});
    std::vector<ConcordanceLine> lines;
    concordance.AppendRowLines(0, lines);
    fuzz::Check(lines.size() == size_t(anchors));
    return 0;
}
