#include "catalogue/catalogue.h"

#include <algorithm>
#include <array>
#include <bit>
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

CCatalogue::CCatalogue() : m_pRootNode(std::make_unique<ContentsNodeTag>()) {
    m_pRootNode->name = u"root";
}

const CatalogueRecord& CCatalogue::Record(int slot) const {
    static const CatalogueRecord kEmpty{};
    return slot >= 1 && slot < m_nNodeCount ? m_records[slot - 1] : kEmpty;
}

ContentsNodeTag* CCatalogue::Node(int slot) const {
    return slot >= 0 && size_t(slot) < m_nodeOfSlot.size() ? m_nodeOfSlot[size_t(slot)] : nullptr;
}

namespace {

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

static_assert(std::endian::native == std::endian::little,
              "catalogue records are read in place as the host's numbers");
static_assert(alignof(CatalogueRecord) <= 8 && kCatalogueRecordSize % alignof(CatalogueRecord) == 0,
              "records in a mapped file lie on their alignment");

bool CCatalogue::Load(const std::filesystem::path& file, const std::filesystem::path& tracePath) {
    m_file.Close();
    m_records = nullptr;
    m_nNodeCount = 1;
    m_pRootNode = std::make_unique<ContentsNodeTag>();
    m_pRootNode->name = u"root";
    m_nodeOfSlot.clear();
    m_volumeSlots.clear();
    std::string trace;
    {
        ReadOnlyFile in;
        if (!in.Open(file)) {
            WriteTrace(tracePath, trace);
            return false;
        }
    }
    // A file too short for a record holds none (an empty file cannot be mapped); a trailing
    // partial record is not a record; a file that cannot be mapped reads as one without records.
    if (m_file.Open(file) && m_file.Size() >= kCatalogueRecordSize) {
        m_records = reinterpret_cast<const CatalogueRecord*>(m_file.Data());
        m_nNodeCount = int(std::min<uint64_t>(m_file.Size() / kCatalogueRecordSize + 1,
                                              kCatalogueSlots));
    } else {
        m_file.Close();
    }
    m_nodeOfSlot.reserve(size_t(m_nNodeCount));
    ContentsNodeTag* previousVolume = nullptr;
    // A node's level is its depth (root 0, a record goes below a node one level up), and the
    // records come in pre-order: the last node of a level that FindParentNode would find is the
    // one added last at that level. So the parent is looked up, not searched for.
    std::array<ContentsNodeTag*, kMaxCatalogueLevel + 1> lastOfLevel{};
    lastOfLevel[0] = m_pRootNode.get();
    const bool tracing = !tracePath.empty();
    for (int slot = 1; slot < m_nNodeCount; ++slot) {
        const CatalogueRecord& record = m_records[slot - 1];
        if (tracing) AppendTraceLine(trace, record);
        if (record.level == 3) m_volumeSlots.push_back(slot);
        if (record.level < 1 || record.level > kMaxCatalogueLevel) continue;
        ContentsNodeTag* parent = lastOfLevel[size_t(record.level) - 1];
        if (!parent) continue;  // no earlier entry of the level above: no place in the tree
        auto* node = new ContentsNodeTag(record, slot);
        lastOfLevel[size_t(record.level)] = node;
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
