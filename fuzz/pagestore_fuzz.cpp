// The page store readers on an arbitrary page list file and content file: open, record count,
// page length, page bytes, page names, page-number lookup and page composition.
//
// Input: int8 target | uint32 firstIndex | uint32 pageNumber | keywords (UTF-16, unused) |
//        page list file | rest: page content file
#include <climits>

#include "fuzz_support.h"
#include "pagestore/compose.h"
#include "pagestore/filelist.h"
#include "pagestore/hitmark.h"
#include "pagestore/page_text.h"

using namespace kolva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InputReader in(data, size);
    const int target = int8_t(in.U8());
    const int firstIndex = int(in.U32());
    const int pageNumber = int(in.U32());
    const std::u16string keywords = in.Utf16();
    const std::filesystem::path& folder = fuzz::WorkFolder();
    fuzz::WriteFile(folder / "Index-fl.h", in.Bytes());
    fuzz::WriteFile(folder / "Index-fl.cnt", in.Rest());

    CFileList store;
    if (!store.Open(folder, "Index")) return 0;
    const int count = int(store.GetRecordCount());
    // Every record of a small store, and the indexes just outside it.
    const int last = std::min(count, 64);
    for (int index = -1; index <= last; ++index) {
        uint32_t length = 0;
        std::string page, name;
        const bool hasLength = store.GetPageLength(index, length);
        const bool hasPage = store.ReadPage(index, page);
        fuzz::Check(hasPage == hasLength);
        fuzz::Check(!hasPage || page.size() == length);
        fuzz::Check(store.GetPageName(index, name) == (index >= 0 && index < count));
        // Whatever a page holds, it composes into the frame.
        if (hasPage) {
            PageBody body;
            ReadPageBody(page, store.GetBodyColumn(index), body);
            std::string html;
            fuzz::Check(ComposeMarkedPage(body, target, PageHits{}, html) == 0);
            fuzz::Check(html.starts_with(kFrameT1) && html.ends_with(kFrameT4));
        }
    }
    for (int first : {firstIndex, 0, count, INT_MAX}) {
        int found = -7;
        if (store.FindPage(first, pageNumber, found))
            fuzz::Check(found >= first && found < count);
    }
    return 0;
}
