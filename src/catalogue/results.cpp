#include "catalogue/results.h"

#include <algorithm>
#include <tuple>

namespace kolva {

namespace {

// The node whose name is the category of a range: the range, its parent or its grandparent.
// The whole collection (the root) has none of its own: each page's is looked up.
const ContentsNodeTag* CategoryNode(const ContentsNodeTag* range) {
    if (!range || range->level == 0) return nullptr;
    if (range->level == 1) return range;
    if (range->level == 2) return range->parent;
    return range->parent ? range->parent->parent : nullptr;
}

// The nodes `depth` levels below a range, in pre-order.
std::vector<const ContentsNodeTag*> NodesBelow(const ContentsNodeTag* range, int depth) {
    std::vector<const ContentsNodeTag*> nodes{range};
    for (int d = 0; d < depth; ++d) {
        std::vector<const ContentsNodeTag*> next;
        for (const ContentsNodeTag* node : nodes)
            next.insert(next.end(), node->children.begin(), node->children.end());
        nodes.swap(next);
    }
    return nodes;
}

// The first node `depth` levels below a range that contains a page.
const ContentsNodeTag* FirstBelow(const ContentsNodeTag* range, int depth, uint32_t pageIndex) {
    for (const ContentsNodeTag* node : NodesBelow(range, depth))
        if (node->ContainsPage(pageIndex)) return node;
    return nullptr;
}

}  // namespace

std::u16string GetCategoryName(uint32_t pageIndex, const ContentsNodeTag* range) {
    const ContentsNodeTag* node =
        range && range->level == 0 ? FirstBelow(range, 1, pageIndex) : CategoryNode(range);
    return node ? node->name : std::u16string();
}

std::u16string GetBookName(uint32_t pageIndex, const ContentsNodeTag* range) {
    if (!range) return {};
    switch (range->level) {
        case 0:
        case 1: {
            const ContentsNodeTag* book = FirstBelow(range, 2 - range->level, pageIndex);
            return book ? book->name : std::u16string();
        }
        case 2:
            return range->name;
        case 3:
            return range->parent ? range->parent->name : std::u16string();
        default:
            return {};
    }
}

const ContentsNodeTag* FindVolumeNode(uint32_t pageIndex, const ContentsNodeTag* range) {
    if (!range) return nullptr;
    if (range->level >= 0 && range->level <= 2) return FirstBelow(range, 3 - range->level, pageIndex);
    return range->level == 3 ? range : nullptr;
}

namespace {

// The first of some nodes, in their order, that contains a page: what a scan over them finds,
// by binary search when their page spans are ascending and apart (as a sound catalogue's are).
class FirstContaining {
public:
    explicit FirstContaining(const std::vector<const ContentsNodeTag*>& nodes) {
        for (const ContentsNodeTag* node : nodes) {
            const uint32_t first = uint32_t(node->docID);
            const uint32_t last = first + uint32_t(node->docNo) - 1;
            if (first <= last) m_spans.push_back({first, last, node});  // others hold no page
        }
        for (size_t i = 1; i < m_spans.size() && m_ordered; ++i)
            m_ordered = m_spans[i - 1].last < m_spans[i].first;
    }

    const ContentsNodeTag* Find(uint32_t pageIndex) const {
        const uint32_t page = pageIndex + 1;  // as ContainsPage counts it
        if (!m_ordered) {
            for (const Span& span : m_spans)
                if (span.first <= page && page <= span.last) return span.node;
            return nullptr;
        }
        auto after = std::upper_bound(m_spans.begin(), m_spans.end(), page,
                                      [](uint32_t p, const Span& span) { return p < span.first; });
        if (after == m_spans.begin() || page > (after - 1)->last) return nullptr;
        return (after - 1)->node;
    }

private:
    struct Span {
        uint32_t first, last;
        const ContentsNodeTag* node;
    };
    std::vector<Span> m_spans;  // the nodes that hold any page, in their order
    bool m_ordered = true;
};

// A hit page kept for a row: its page number, its place in the hit lists, its volume.
struct Kept {
    uint32_t pageNumber, hit;
    const ContentsNodeTag* volume;
};

// Sorts rows by page number, equal numbers in the order they came: by counting when the
// numbers lie close together (as volumes' page numbers do), else by merging. sorted and start
// are working lists whose memory is kept.
void SortByPageNumber(std::vector<Kept>& rows, std::vector<Kept>& sorted,
                      std::vector<uint32_t>& start) {
    if (rows.size() < 2) return;
    uint32_t low = UINT32_MAX, high = 0;
    for (const Kept& row : rows) {
        low = std::min(low, row.pageNumber);
        high = std::max(high, row.pageNumber);
    }
    if (high - low > 4 * rows.size() + 4096) {
        std::stable_sort(rows.begin(), rows.end(), [](const Kept& a, const Kept& b) {
            return a.pageNumber < b.pageNumber;
        });
        return;
    }
    start.assign(size_t(high - low) + 2, 0);
    for (const Kept& row : rows) ++start[row.pageNumber - low + 1];
    for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
    sorted.resize(rows.size());
    for (const Kept& row : rows) sorted[start[row.pageNumber - low]++] = row;
    rows.swap(sorted);
}

}  // namespace

namespace {

// The names of a range's rows: each level's name fixed by the range itself, or looked up per
// page among the nodes below it (as GetCategoryName, GetBookName and FindVolumeNode do), once
// for all rows.
class RowNamer {
public:
    explicit RowNamer(const ContentsNodeTag* range)
        : m_range(range),
          m_categoryOf(range->level == 0 ? NodesBelow(range, 1) : Nodes{}),
          m_bookOf(range->level <= 1 ? NodesBelow(range, 2 - range->level) : Nodes{}),
          m_volumeOf(range->level <= 2 ? NodesBelow(range, 3 - range->level) : Nodes{}) {
        if (const ContentsNodeTag* category = CategoryNode(range)) m_category = category->name;
        if (range->level == 2) m_book = range->name;
        if (range->level == 3 && range->parent) m_book = range->parent->name;
    }

    const ContentsNodeTag* Volume(uint32_t pageIndex) const {
        if (m_range->level == 3) return m_range;
        return m_range->level >= 0 && m_range->level <= 2 ? m_volumeOf.Find(pageIndex) : nullptr;
    }
    std::u16string_view Category(uint32_t pageIndex) const {
        return m_range->level == 0 ? NameOf(m_categoryOf.Find(pageIndex)) : m_category;
    }
    std::u16string_view Book(uint32_t pageIndex) const {
        return m_range->level <= 1 ? NameOf(m_bookOf.Find(pageIndex)) : m_book;
    }

private:
    using Nodes = std::vector<const ContentsNodeTag*>;
    static std::u16string_view NameOf(const ContentsNodeTag* node) {
        return node ? std::u16string_view(node->name) : std::u16string_view();
    }
    const ContentsNodeTag* m_range;
    FirstContaining m_categoryOf, m_bookOf, m_volumeOf;
    std::u16string_view m_category, m_book;
};

// The hit pages that lie in the range, with their volumes and page numbers, in the index's order.
void KeepPagesInRange(const ContentsNodeTag* range, const RowNamer& names,
                      const std::vector<uint32_t>& hitPages, std::vector<Kept>& kept) {
    kept.clear();
    for (size_t i = 0; i < hitPages.size(); ++i) {
        const uint32_t p = hitPages[i];
        if (!range->ContainsPage(p)) continue;
        const ContentsNodeTag* volume = names.Volume(p);
        kept.push_back({volume ? p + 1 - uint32_t(volume->docID) + volume->firstPage : 0,
                        uint32_t(i), volume});
    }
}

// One row for each kept page, named; returns the hits of all rows.
uint32_t MakeRows(const RowNamer& names, const std::vector<Kept>& kept,
                  const std::vector<uint32_t>& hitPages, const std::vector<uint32_t>& hitCounts,
                  std::vector<SearchNodeTag>& rows) {
    uint32_t total = 0;
    rows.resize(kept.size());
    for (size_t k = 0; k < kept.size(); ++k) {
        SearchNodeTag& row = rows[k];
        const uint32_t p = hitPages[kept[k].hit];
        row.category = names.Category(p);
        row.title = names.Book(p);
        row.volume = kept[k].volume ? std::u16string_view(kept[k].volume->name) : std::u16string_view();
        row.pageNumber = kept[k].volume ? kept[k].pageNumber : 0;
        row.pageIndex = p;
        row.hits = kept[k].hit < hitCounts.size() ? hitCounts[kept[k].hit] : 0;
        total += row.hits;
    }
    return total;
}

}  // namespace

uint32_t BuildResultList(const ContentsNodeTag* range, const std::vector<uint32_t>& hitPages,
                         const std::vector<uint32_t>& hitCounts,
                         std::vector<SearchNodeTag>& rows) {
    rows.clear();
    if (!range) return 0;
    const RowNamer names(range);
    // The working lists keep their memory from one search to the next: a search of a frequent
    // character names tens of thousands of rows, and lists that size would otherwise be mapped
    // and unmapped by the allocator every time.
    thread_local std::vector<Kept> kept;
    thread_local std::vector<Kept> sorted;
    thread_local std::vector<uint32_t> start;
    KeepPagesInRange(range, names, hitPages, kept);
    SortByPageNumber(kept, sorted, start);  // equal numbers in the index's order
    return MakeRows(names, kept, hitPages, hitCounts, rows);
}

bool HasWholeCollection(const CCatalogue& catalogue) {
    return catalogue.Root() && catalogue.Root()->children.size() > 1;
}

const ContentsNodeTag* FindRangeNode(const CCatalogue& catalogue, int slot) {
    if (slot == kWholeCollection) return HasWholeCollection(catalogue) ? catalogue.Root() : nullptr;
    if (!catalogue.IsValidSlot(slot)) return nullptr;
    // The tree's own root (level 0, every number 0) stands for no record: a damaged record of
    // zeros matches it, and would name every row after it.
    const ContentsNodeTag* node = FindNode(catalogue.Root(), catalogue.Record(slot));
    return node == catalogue.Root() ? nullptr : node;
}

void SortRows(std::vector<SearchNodeTag>& rows, RowOrder order, bool descending) {
    const auto key = [order](const SearchNodeTag& r) {
        switch (order) {
            case RowOrder::kCategory: return std::make_tuple(r.category, uint32_t(0), r.pageIndex);
            case RowOrder::kTitle: return std::make_tuple(r.title, uint32_t(0), r.pageIndex);
            case RowOrder::kVolume: return std::make_tuple(r.volume, uint32_t(0), r.pageIndex);
            case RowOrder::kPageNumber: return std::make_tuple(std::u16string_view(), r.pageNumber, r.pageIndex);
            case RowOrder::kHits: return std::make_tuple(std::u16string_view(), r.hits, r.pageIndex);
            case RowOrder::kReading: break;
        }
        return std::make_tuple(std::u16string_view(), uint32_t(0), r.pageIndex);
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const SearchNodeTag& a, const SearchNodeTag& b) {
        const auto ka = key(a), kb = key(b);
        // The reading order breaks ties either way.
        if (std::get<0>(ka) != std::get<0>(kb) || std::get<1>(ka) != std::get<1>(kb)) {
            const bool less = std::tie(std::get<0>(ka), std::get<1>(ka)) < std::tie(std::get<0>(kb), std::get<1>(kb));
            return descending ? !less : less;
        }
        return std::get<2>(ka) < std::get<2>(kb);
    });
}

int VolumeSlotOfPage(const CCatalogue& catalogue, uint32_t pageIndex, int& pageNumber) {
    const uint32_t page = pageIndex + 1;  // as docID counts
    for (int slot = catalogue.NextVolumeSlot(0, +1); slot != 0; slot = catalogue.NextVolumeSlot(slot, +1)) {
        const CatalogueRecord& r = catalogue.Record(slot);
        if (r.docID <= 0 || r.docNo <= 0) continue;
        if (uint32_t(r.docID) <= page && page - uint32_t(r.docID) < uint32_t(r.docNo)) {
            pageNumber = int(page - uint32_t(r.docID)) + r.firstPage;
            return slot;
        }
    }
    return 0;
}

std::u16string TotalsText(size_t pages, uint32_t hits) {
    std::u16string text = u"全部で ";
    for (char c : std::to_string(pages)) text += char16_t(c);
    text += u" 頁で、";
    for (char c : std::to_string(hits)) text += char16_t(c);
    return text + u" 箇所でした。";
}

}  // namespace kolva
