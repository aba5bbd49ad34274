#include "catalogue/catalogue.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "text/codeconverter.h"
#include "platform/file.h"

namespace kolva {

std::u16string CatalogueRecord::Title() const {
    size_t n = 0;
    while (n < 100 && name[n] != u'\0') ++n;
    return std::u16string(name, n);
}

ContentsNodeTag::ContentsNodeTag(const CatalogueRecord& record, int slot_)
    : name(record.Title()),
      level(record.level),
      docID(record.docID),
      docNo(record.docNo),
      curFileName(record.curFileName),
      slot(slot_) {}

ContentsNodeTag::~ContentsNodeTag() {
    for (ContentsNodeTag* child : children) delete child;
}

bool ContentsNodeTag::ContainsPage(uint32_t pageIndex) const {
    const uint32_t page = pageIndex + 1;
    return uint32_t(docID) <= page && page <= uint32_t(docID) + uint32_t(docNo) - 1;
}

ContentsNodeTag* FindParentNode(ContentsNodeTag* node, const CatalogueRecord& record) {
    if (!node) return nullptr;
    if (int64_t(node->level) == int64_t(record.level) - 1) return node;
    ContentsNodeTag* found = nullptr;
    for (ContentsNodeTag* child : node->children)
        if (ContentsNodeTag* f = FindParentNode(child, record)) found = f;
    return found;
}

ContentsNodeTag* FindNode(ContentsNodeTag* node, const CatalogueRecord& record) {
    if (!node) return nullptr;
    if (node->level == record.level && node->docID == record.docID &&
        node->docNo == record.docNo && node->curFileName == record.curFileName)
        return node;
    for (ContentsNodeTag* child : node->children)
        if (ContentsNodeTag* f = FindNode(child, record)) return f;
    return nullptr;
}

CCatalogue::CCatalogue()
    : m_NodeItem(kCatalogueSlots),
      m_pRootNode(std::make_unique<ContentsNodeTag>()),
      m_nodeOfSlot(kCatalogueSlots, nullptr) {
    m_pRootNode->name = u"root";
}

ContentsNodeTag* CCatalogue::Node(int slot) const {
    return slot >= 0 && slot < kCatalogueSlots ? m_nodeOfSlot[size_t(slot)] : nullptr;
}

namespace {

CatalogueRecord DecodeRecord(const uint8_t* p) {
    CatalogueRecord r{};
    for (size_t i = 0; i < 100; ++i) r.name[i] = char16_t(LoadLE16(p + 2 * i));
    r.level = int32_t(LoadLE32(p + 200));
    r.docID = int32_t(LoadLE32(p + 204));
    r.docNo = int32_t(LoadLE32(p + 208));
    r.curFileName = LoadLE16(p + 212);
    r.padding = LoadLE16(p + 214);
    return r;
}

void WriteTraceLine(std::ofstream& trace, const CatalogueRecord& r) {
    if (!trace) return;
    std::string line = r.level == 2 ? "\t" : r.level == 3 ? "\t\t" : "";
    line += "name=";
    AppendUtf8(r.Title(), line, kConvertLenient);
    line += "\tdocID=" + std::to_string(r.docID) + "\tdocNo=" + std::to_string(r.docNo) +
            "\tcurFileName=" + std::to_string(r.curFileName) + "\n";
    trace << line;
}

}  // namespace

bool CCatalogue::Load(const std::filesystem::path& file, const std::filesystem::path& tracePath) {
    // The trace is a diagnostic aid: when it cannot be created the load goes on without it.
    std::ofstream trace;
    if (!tracePath.empty()) trace.open(tracePath, std::ios::binary | std::ios::trunc);

    ReadOnlyFile in;
    if (!in.Open(file)) return false;
    ContentsNodeTag* previousVolume = nullptr;
    uint8_t bytes[kCatalogueRecordSize];
    try {
        // A trailing partial record is not a record.
        while (m_nNodeCount < kCatalogueSlots && in.Read(bytes, sizeof bytes) == sizeof bytes) {
            const int slot = m_nNodeCount++;
            CatalogueRecord& record = m_NodeItem[size_t(slot)];
            record = DecodeRecord(bytes);
            WriteTraceLine(trace, record);
            if (record.level == 3) m_volumeSlots.push_back(slot);
            if (record.level < 1 || record.level > kMaxCatalogueLevel) continue;
            ContentsNodeTag* parent = FindParentNode(m_pRootNode.get(), record);
            if (!parent) continue;  // no earlier entry of the level above: no place in the tree
            auto* node = new ContentsNodeTag(record, slot);
            node->parent = parent;
            parent->children.push_back(node);
            m_nodeOfSlot[size_t(slot)] = node;
            if (record.level == 3) {
                if (previousVolume && previousVolume->parent == parent) {
                    previousVolume->nextSibling = node;
                    node->prevSibling = previousVolume;
                }
                previousVolume = node;
            }
        }
    } catch (const FileError&) {
        // A read error ends the catalogue where it happened.
    }
    return true;
}

int CCatalogue::NextVolumeSlot(int slot, int step) const {
    if (step > 0) {
        auto it = std::upper_bound(m_volumeSlots.begin(), m_volumeSlots.end(), slot);
        return it == m_volumeSlots.end() ? 0 : *it;
    }
    auto it = std::lower_bound(m_volumeSlots.begin(), m_volumeSlots.end(), slot);
    return it == m_volumeSlots.begin() ? 0 : *(it - 1);
}

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

}  // namespace kolva
