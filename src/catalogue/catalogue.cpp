#include "catalogue/catalogue.h"

#include <algorithm>
#include <cstring>

#include "text/codeconverter.h"
#include "platform/file.h"
#include "platform/replace_file.h"
#include "platform/coding.h"

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
      firstPage(record.firstPage),
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
        node->docNo == record.docNo && node->firstPage == record.firstPage)
        return node;
    for (ContentsNodeTag* child : node->children)
        if (ContentsNodeTag* f = FindNode(child, record)) return f;
    return nullptr;
}

CCatalogue::CCatalogue() : m_NodeItem(1), m_pRootNode(std::make_unique<ContentsNodeTag>()) {
    m_pRootNode->name = u"root";
}

const CatalogueRecord& CCatalogue::Record(int slot) const {
    static const CatalogueRecord kEmpty{};
    return slot >= 0 && size_t(slot) < m_NodeItem.size() ? m_NodeItem[size_t(slot)] : kEmpty;
}

ContentsNodeTag* CCatalogue::Node(int slot) const {
    return slot >= 0 && size_t(slot) < m_nodeOfSlot.size() ? m_nodeOfSlot[size_t(slot)] : nullptr;
}

namespace {

CatalogueRecord DecodeRecord(const uint8_t* p) {
    CatalogueRecord r{};
    for (size_t i = 0; i < 100; ++i) r.name[i] = char16_t(LoadLE16(p + 2 * i));
    r.level = int32_t(LoadLE32(p + 200));
    r.docID = int32_t(LoadLE32(p + 204));
    r.docNo = int32_t(LoadLE32(p + 208));
    r.firstPage = LoadLE16(p + 212);
    r.padding = LoadLE16(p + 214);
    return r;
}

void AppendTraceLine(std::string& trace, const CatalogueRecord& r) {
    trace += r.level == 2 ? "\t" : r.level == 3 ? "\t\t" : "";
    trace += "name=";
    AppendUtf8(r.Title(), trace, kConvertLenient);
    trace += "\tdocID=" + std::to_string(r.docID) + "\tdocNo=" + std::to_string(r.docNo) +
             "\tcurFileName=" + std::to_string(r.firstPage) + "\n";
}

// The trace is a diagnostic aid: written whole or not at all (never half over an earlier one),
// and when it cannot be written the load goes on without it.
void WriteTrace(const std::filesystem::path& tracePath, const std::string& trace) {
    if (!tracePath.empty()) ReplaceFile(tracePath, {trace});
}

}  // namespace

bool CCatalogue::Load(const std::filesystem::path& file, const std::filesystem::path& tracePath) {
    std::string trace;
    ReadOnlyFile in;
    uint64_t size = 0;
    if (!in.Open(file)) {
        WriteTrace(tracePath, trace);
        return false;
    }
    if (!in.Size(size)) size = 0;  // a file that cannot be told holds no record
    m_NodeItem.reserve(size_t(std::min<uint64_t>(size / kCatalogueRecordSize + 1, kCatalogueSlots)));
    ContentsNodeTag* previousVolume = nullptr;
    // Records are read 256 at a time. A trailing partial record is not a record; a read error
    // ends the catalogue at the records read before it.
    constexpr uint64_t kChunk = 256 * kCatalogueRecordSize;
    std::vector<uint8_t> chunk(kChunk);
    uint64_t chunkAt = 0, chunkSize = 0;
    for (uint64_t at = 0; m_nNodeCount < kCatalogueSlots && at + kCatalogueRecordSize <= size;
         at += kCatalogueRecordSize) {
        if (at >= chunkAt + chunkSize) {
            chunkAt = at;
            chunkSize = std::min(kChunk, (size - at) / kCatalogueRecordSize * kCatalogueRecordSize);
            if (!in.ReadAt(chunkAt, chunk.data(), size_t(chunkSize))) break;
        }
        const uint8_t* bytes = chunk.data() + (at - chunkAt);
        const int slot = m_nNodeCount++;
        m_NodeItem.push_back(DecodeRecord(bytes));
        const CatalogueRecord& record = m_NodeItem.back();
        AppendTraceLine(trace, record);
        if (record.level == 3) m_volumeSlots.push_back(slot);
        if (record.level < 1 || record.level > kMaxCatalogueLevel) continue;
        ContentsNodeTag* parent = FindParentNode(m_pRootNode.get(), record);
        if (!parent) continue;  // no earlier entry of the level above: no place in the tree
        auto* node = new ContentsNodeTag(record, slot);
        node->parent = parent;
        parent->children.push_back(node);
        m_nodeOfSlot.resize(size_t(slot) + 1, nullptr);
        m_nodeOfSlot[size_t(slot)] = node;
        if (record.level == 3) {
            if (previousVolume && previousVolume->parent == parent) {
                previousVolume->nextSibling = node;
                node->prevSibling = previousVolume;
            }
            previousVolume = node;
        }
    }
    WriteTrace(tracePath, trace);
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

}  // namespace kolva
