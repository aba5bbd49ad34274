// Page composition of an arbitrary stored page with arbitrary keywords, through the index with
// the variant option on or off and an arbitrary variant table; and the concordance's reading of
// the composed page's marks.
//
// Input: int8 target | uint8 flags (1 variants, 2 odd page number) | keywords (UTF-16) |
//        variant table | rest: the page (UTF-8 HTML as the page store keeps it)
#include "fuzz_support.h"
#include "index/index.h"
#include "pagestore/compose.h"
#include "pagestore/kwic.h"
#include "writer/writer.h"

using namespace kolva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InputReader in(data, size);
    const int target = int8_t(in.U8());
    const uint8_t flags = in.U8();
    const std::u16string keywords = in.Utf16();
    const std::string_view table = in.Bytes();
    const std::string_view page = in.Rest();
    const bool variants = flags & 1;
    const std::filesystem::path& folder = fuzz::WorkFolder();

    // One index stays open for the whole run: opening reads a 1.4 MB header, which would cost
    // more than the composition. Each input rewrites the page store files in place (the open
    // store reads them afresh on every call; the name size never changes) and reloads the
    // variant table.
    static CIndex* index = [&] {
        IndexWriter().Write(folder, "Index");
        PageStoreWriter(folder).Finish();
        auto* opened = new CIndex([](std::u16string_view) {});
        fuzz::Check(opened->Open(folder, "Index", kModeWholeText));
        return opened;
    }();
    PageStoreWriter store(folder);
    store.AddPage(flags & 2 ? "vol\\0001.htm" : "vol\\0002.htm", page);
    store.Finish();
    fuzz::WriteFile(folder / "yitizi.txt", table);
    index->LoadVariantTable(folder);

    std::string html;
    const int anchors = index->ComposePage(0, html, keywords, target, variants);
    fuzz::Check(anchors >= 0);
    // Whatever the page held, the composed page is the frame around what was parsed.
    if (!html.empty()) fuzz::Check(html.starts_with(kFrameT1) && html.ends_with(kFrameT4));
    fuzz::Check(anchors == 0 || !html.empty());
    // The concordance reads the marks back from the composed page: one line per anchor, whatever
    // the page held around them.
    std::vector<PageLine> lines;
    ReadPageLines(html, flags & 2 ? 1 : 0, anchors, 5, lines);
    fuzz::Check(lines.size() == size_t(anchors));
    return 0;
}
