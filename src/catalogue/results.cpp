#include "catalogue/results.h"

#include <algorithm>

namespace kolva {

namespace {

// The node whose name is the category of a range: the range, its parent or its grandparent.
const ContentsNodeTag* CategoryNode(const ContentsNodeTag* range) {
    if (!range) return nullptr;
    if (range->level == 1) return range;
    if (range->level == 2) return range->parent;
    return range->parent ? range->parent->parent : nullptr;
}

}  // namespace

std::u16string GetCategoryName(const ContentsNodeTag* range) {
    const ContentsNodeTag* node = CategoryNode(range);
    return node ? node->name : std::u16string();
}

std::u16string GetBookName(uint32_t pageIndex, const ContentsNodeTag* range) {
    if (!range) return {};
    switch (range->level) {
        case 1:
            for (const ContentsNodeTag* child : range->children)
                if (child->ContainsPage(pageIndex)) return child->name;
            return {};
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
    if (range->level == 1) {
        for (const ContentsNodeTag* child : range->children)
            for (const ContentsNodeTag* grand : child->children)
                if (grand->ContainsPage(pageIndex)) return grand;
        return nullptr;
    }
    if (range->level == 2) {
        for (const ContentsNodeTag* child : range->children)
            if (child->ContainsPage(pageIndex)) return child;
        return nullptr;
    }
    // Only a volume is its own volume: a node that is no entry (the root) names none.
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

// What names the rows of one range: its category, the book of a book or volume range, and the
// books and volumes below it, looked up as GetBookName and FindVolumeNode look them up, once for
// all rows.
class RangeNames {
public:
    explicit RangeNames(const ContentsNodeTag& range)
        : m_range(range), m_bookOf(Books(range)), m_volumeOf(Volumes(range)) {
        if (const ContentsNodeTag* node = CategoryNode(&range)) m_category = node->name;
        if (range.level == 2) m_rangeBook = range.name;
        if (range.level == 3 && range.parent) m_rangeBook = range.parent->name;
    }

    // The volume that holds page index p of the range, null when none does.
    const ContentsNodeTag* VolumeOf(uint32_t p) const {
        if (m_range.level == 1 || m_range.level == 2) return m_volumeOf.Find(p);
        return m_range.level == 3 ? &m_range : nullptr;
    }
    // The row of hit page p with its volume and page number, the hits left to the caller.
    void Name(uint32_t p, const Kept& kept, SearchNodeTag& row) const {
        row.category = m_category;
        if (m_range.level == 1) {
            const ContentsNodeTag* book = m_bookOf.Find(p);
            row.title = book ? std::u16string_view(book->name) : std::u16string_view();
        } else {
            row.title = m_rangeBook;
        }
        row.volume = kept.volume ? std::u16string_view(kept.volume->name) : std::u16string_view();
        row.pageNumber = kept.volume ? kept.pageNumber : 0;
        row.pageIndex = p;
    }

private:
    static std::vector<const ContentsNodeTag*> Books(const ContentsNodeTag& range) {
        if (range.level != 1) return {};
        return {range.children.begin(), range.children.end()};
    }
    static std::vector<const ContentsNodeTag*> Volumes(const ContentsNodeTag& range) {
        std::vector<const ContentsNodeTag*> volumes;
        if (range.level == 1) {
            for (const ContentsNodeTag* child : range.children)
                volumes.insert(volumes.end(), child->children.begin(), child->children.end());
        } else if (range.level == 2) {
            volumes.assign(range.children.begin(), range.children.end());
        }
        return volumes;
    }

    const ContentsNodeTag& m_range;
    const FirstContaining m_bookOf, m_volumeOf;
    std::u16string_view m_category, m_rangeBook;
};

// The hit pages inside the range, each with its volume and page number, in the hit lists' order.
void KeepPagesInRange(const ContentsNodeTag& range, const RangeNames& names,
                      const std::vector<uint32_t>& hitPages, std::vector<Kept>& kept) {
    kept.clear();
    for (size_t i = 0; i < hitPages.size(); ++i) {
        const uint32_t p = hitPages[i];
        if (!range.ContainsPage(p)) continue;
        const ContentsNodeTag* volume = names.VolumeOf(p);
        kept.push_back({volume ? p + 1 - uint32_t(volume->docID) + volume->curFileName : 0,
                        uint32_t(i), volume});
    }
}

}  // namespace

uint32_t BuildResultList(const ContentsNodeTag* range, const std::vector<uint32_t>& hitPages,
                         const std::vector<uint32_t>& hitCounts,
                         std::vector<SearchNodeTag>& rows) {
    rows.clear();
    if (!range) return 0;
    const RangeNames names(*range);
    // Rows are sorted by page number, equal numbers in the index's order, before they are made.
    // The working lists keep their memory from one search to the next: a search of a frequent
    // character names tens of thousands of rows, and lists that size would otherwise be mapped
    // and unmapped by the allocator every time.
    thread_local std::vector<Kept> kept;
    thread_local std::vector<Kept> sorted;
    thread_local std::vector<uint32_t> start;
    KeepPagesInRange(*range, names, hitPages, kept);
    SortByPageNumber(kept, sorted, start);

    uint32_t total = 0;
    rows.resize(kept.size());
    for (size_t k = 0; k < kept.size(); ++k) {
        names.Name(hitPages[kept[k].hit], kept[k], rows[k]);
        rows[k].hits = kept[k].hit < hitCounts.size() ? hitCounts[kept[k].hit] : 0;
        total += rows[k].hits;
    }
    return total;
}

const ContentsNodeTag* FindRangeNode(const CCatalogue& catalogue, int slot) {
    if (!catalogue.IsValidSlot(slot)) return nullptr;
    // The tree's own root (level 0, every number 0) stands for no record: a damaged record of
    // zeros matches it, and would name every row after it.
    const ContentsNodeTag* node = FindNode(catalogue.Root(), catalogue.Record(slot));
    return node == catalogue.Root() ? nullptr : node;
}

std::u16string TotalsText(size_t pages, uint32_t hits) {
    std::u16string text = u"全部で ";
    for (char c : std::to_string(pages)) text += char16_t(c);
    text += u" 頁で、";
    for (char c : std::to_string(hits)) text += char16_t(c);
    return text + u" 箇所でした。";
}

}  // namespace kolva
