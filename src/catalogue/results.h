// The result rows of a search: the hit pages that lie in the search range (one contents entry,
// or the whole collection), each named by the category, book and volume that hold it, sorted
// by page number; and the totals line the
// reader and kolva-search show under them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"

namespace kolva {

// One result row. Its names are views of the names in the contents tree (never copies), so
// naming rows allocates nothing per row; they stay valid while the catalogue whose tree named
// them is loaded and unchanged (the pane and kolva-search keep theirs to the end).
struct SearchNodeTag {
    std::u16string_view category;  // "類別"
    std::u16string_view title;     // "書名"
    std::u16string_view volume;    // "巻": empty when no volume holds the page
    uint32_t pageIndex = 0;        // 0-based page index
    uint32_t pageNumber = 0;       // "頁": page number in its volume, 0 when no volume holds it
    uint32_t hits = 0;
};

// The names of a row, looked up for one page of a range. Below the whole collection (the root)
// each level's name is that of the first node of the level that holds the page.
std::u16string GetCategoryName(uint32_t pageIndex, const ContentsNodeTag* range);
std::u16string GetBookName(uint32_t pageIndex, const ContentsNodeTag* range);
const ContentsNodeTag* FindVolumeNode(uint32_t pageIndex, const ContentsNodeTag* range);

// The range that stands for the whole collection: the tree's root. It is offered only when the
// contents have more than one top-level entry (else the first entry is the whole).
inline constexpr int kWholeCollection = 0;
bool HasWholeCollection(const CCatalogue& catalogue);

// The range node of a search: the root for kWholeCollection (when HasWholeCollection), else the first node, pre-order from the root, whose record equals the
// record in `slot` (FindNode); null when the slot holds no record or its record matches only
// the tree's root, which is no entry of the contents.
const ContentsNodeTag* FindRangeNode(const CCatalogue& catalogue, int slot);

// The rows of the hit pages that lie in range (every hit page for the root), named from the
// tree and sorted by page number (stable: equal page numbers keep the index's order). Returns the hits of the kept rows.
uint32_t BuildResultList(const ContentsNodeTag* range, const std::vector<uint32_t>& hitPages,
                         const std::vector<uint32_t>& hitCounts,
                         std::vector<SearchNodeTag>& rows);


// The orders of the result list: reading order (the collection's own order of pages: category,
// book, volume, page) and the list's columns.
enum class RowOrder { kReading, kCategory, kTitle, kVolume, kPageNumber, kHits };
// Sorts rows stably in an order, ascending or descending; ties in reading order.
void SortRows(std::vector<SearchNodeTag>& rows, RowOrder order, bool descending);

// The volume that holds a page: the first volume record (level 3), in slot order, whose span
// holds the 0-based page index; 0 when none does. pageNumber gets the page's number in it.
int VolumeSlotOfPage(const CCatalogue& catalogue, uint32_t pageIndex, int& pageNumber);

// The totals line: "全部で <pages> 頁で、<hits> 箇所でした。".
std::u16string TotalsText(size_t pages, uint32_t hits);

}  // namespace kolva
