// The catalogue reader on an arbitrary "kolva.dir", then the tree lookups and the result rows
// of every entry for an arbitrary list of hit pages.
//
// Input: hit list (uint32 page, uint32 count pairs) | rest: catalogue file
#include <algorithm>

#include "catalogue/catalogue.h"
#include "catalogue/results.h"
#include "fuzz_support.h"
#include "platform/coding.h"
#include "platform/file.h"

using namespace kolva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InputReader in(data, size);
    const std::string_view hits = in.Bytes();
    std::vector<uint32_t> pages, counts;
    for (size_t i = 0; i + 8 <= hits.size(); i += 8) {
        const auto* p = reinterpret_cast<const uint8_t*>(hits.data() + i);
        pages.push_back(LoadLE32(p));
        counts.push_back(LoadLE32(p + 4));
    }
    const std::filesystem::path& folder = fuzz::WorkFolder();
    fuzz::WriteFile(folder / "kolva.dir", in.Rest());

    CCatalogue catalogue;
    fuzz::Check(catalogue.Load(folder / "kolva.dir", folder / "kolva.txt"));
    fuzz::Check(catalogue.NodeCount() >= 1 && catalogue.NodeCount() <= kCatalogueSlots);
    std::vector<SearchNodeTag> rows;
    BuildResultList(catalogue.Root(), pages, counts, rows);
    for (int slot = 0; slot <= catalogue.NodeCount(); ++slot) {
        ContentsNodeTag* node = catalogue.Node(slot);
        if (catalogue.IsValidSlot(slot)) {
            const CatalogueRecord& record = catalogue.Record(slot);
            FindParentNode(catalogue.Root(), record);
            ContentsNodeTag* same = FindNode(catalogue.Root(), record);
            fuzz::Check(!node || same);
        }
        if (!node) continue;
        fuzz::Check(node->parent && node->level == node->parent->level + 1);
        BuildResultList(node, pages, counts, rows);
        fuzz::Check(rows.size() <= pages.size());
        fuzz::Check(std::is_sorted(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
            return a.pageNumber < b.pageNumber;
        }));
        for (const SearchNodeTag& row : rows) {
            GetCategoryName(row.pageIndex, node);
            GetBookName(row.pageIndex, node);
            FindVolumeNode(row.pageIndex, node);
        }
    }
    return 0;
}
