#include "catalogue/results.h"

#include <algorithm>

namespace kolva {

std::u16string GetCategoryName(const ContentsNodeTag* range) {
    if (!range) return {};
    if (range->level == 1) return range->name;
    if (range->level == 2) return range->parent ? range->parent->name : std::u16string();
    const ContentsNodeTag* grand = range->parent ? range->parent->parent : nullptr;
    return grand ? grand->name : std::u16string();
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
    return range;
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

// Sorts rows by page number, equal numbers in the order they came: by counting when the
// numbers lie close together (as volumes' page numbers do), else by merging.
template <typename Row>
void SortByPageNumber(std::vector<Row>& rows) {
    if (rows.size() < 2) return;
    uint32_t low = UINT32_MAX, high = 0;
    for (const Row& row : rows) {
        low = std::min(low, row.pageNumber);
        high = std::max(high, row.pageNumber);
    }
    if (high - low > 4 * rows.size() + 4096) {
        std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
            return a.pageNumber < b.pageNumber;
        });
        return;
    }
    std::vector<uint32_t> start(size_t(high - low) + 2, 0);
    for (const Row& row : rows) ++start[row.pageNumber - low + 1];
    for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
    std::vector<Row> sorted(rows.size());
    for (const Row& row : rows) sorted[start[row.pageNumber - low]++] = row;
    rows.swap(sorted);
}

}  // namespace

uint32_t BuildResultList(const ContentsNodeTag* range, const std::vector<uint32_t>& hitPages,
                         const std::vector<uint32_t>& hitCounts,
                         std::vector<SearchNodeTag>& rows) {
    rows.clear();
    if (!range) return 0;
    // Books and volumes are looked up as GetBookName and FindVolumeNode look them up, once
    // for all rows.
    std::vector<const ContentsNodeTag*> books, volumes;
    if (range->level == 1) {
        books.assign(range->children.begin(), range->children.end());
        for (const ContentsNodeTag* child : range->children)
            volumes.insert(volumes.end(), child->children.begin(), child->children.end());
    } else if (range->level == 2) {
        volumes.assign(range->children.begin(), range->children.end());
    }
    const FirstContaining bookOf(books), volumeOf(volumes);
    const std::u16string category = GetCategoryName(range);
    const std::u16string noName;
    const std::u16string* rangeBook = &noName;
    if (range->level == 2) rangeBook = &range->name;
    if (range->level == 3 && range->parent) rangeBook = &range->parent->name;

    // Rows are sorted by page number, equal numbers in the index's order, before they are made.
    struct Kept {
        uint32_t pageNumber, hit;
        const ContentsNodeTag* volume;
    };
    std::vector<Kept> kept;
    for (size_t i = 0; i < hitPages.size(); ++i) {
        const uint32_t p = hitPages[i];
        if (!range->ContainsPage(p)) continue;
        const ContentsNodeTag* volume =
            range->level == 1 || range->level == 2 ? volumeOf.Find(p) : range;
        kept.push_back({volume ? p + 1 - uint32_t(volume->docID) + volume->curFileName : 0,
                        uint32_t(i), volume});
    }
    SortByPageNumber(kept);

    uint32_t total = 0;
    rows.resize(kept.size());
    for (size_t k = 0; k < kept.size(); ++k) {
        SearchNodeTag& row = rows[k];
        const uint32_t p = hitPages[kept[k].hit];
        row.category = category;
        if (range->level == 1) {
            const ContentsNodeTag* book = bookOf.Find(p);
            row.title = book ? book->name : noName;
        } else {
            row.title = *rangeBook;
        }
        if (kept[k].volume) {
            row.volume = kept[k].volume->name;
            row.pageNumber = kept[k].pageNumber;
        }
        row.pageIndex = p;
        row.hits = kept[k].hit < hitCounts.size() ? hitCounts[kept[k].hit] : 0;
        total += row.hits;
    }
    return total;
}

const ContentsNodeTag* FindRangeNode(const CCatalogue& catalogue, int slot) {
    if (!catalogue.IsValidSlot(slot)) return nullptr;
    return FindNode(catalogue.Root(), catalogue.Record(slot));
}

std::u16string TotalsText(size_t pages, uint32_t hits) {
    std::u16string text = u"全部で ";
    for (char c : std::to_string(pages)) text += char16_t(c);
    text += u" 頁で、";
    for (char c : std::to_string(hits)) text += char16_t(c);
    return text + u" 箇所でした。";
}

}  // namespace kolva
