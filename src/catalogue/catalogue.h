// The catalogue "kolva.dir": a headerless run of 216-byte records in pre-order (each entry
// followed by all entries below it), little-endian:
//
//   +0    char16[100]  title, UTF-16LE, NUL-terminated
//   +200  int32        level: 1 category, 2 book, 3 volume (1..19 valid)
//   +204  int32        docID: 1-based page index of the entry's first page
//   +208  int32        docNo: number of pages the entry spans
//   +212  uint16       firstPage: page number of the first page
//   +214  uint16       padding
//
// The records live in a fixed table of 10,000 slots (slot 0 unused, record i in slot i); the
// slot number names an entry everywhere (tree items, search range, reading position). The same
// records also form a tree of ContentsNodeTag, from which result rows are named (results.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/file.h"

namespace kolva {

constexpr int kCatalogueSlots = 10000;
constexpr size_t kCatalogueRecordSize = 216;
constexpr int kMaxCatalogueLevel = 19;

// One record of "kolva.dir", byte for byte.
struct CatalogueRecord {
    char16_t name[100];
    int32_t level;
    int32_t docID;
    int32_t docNo;
    uint16_t firstPage;
    uint16_t padding;

    std::u16string Title() const;  // the name up to its NUL (all 100 units when it has none)
};
static_assert(sizeof(CatalogueRecord) == kCatalogueRecordSize);

// One node of the contents tree. A node owns its children.
struct ContentsNodeTag {
    std::u16string name;
    int32_t level = 0;
    int32_t docID = 0;
    int32_t docNo = 0;
    uint16_t firstPage = 0;
    int slot = 0;                               // its catalogue slot (0 for the root)
    ContentsNodeTag* parent = nullptr;          // the root for level 1
    ContentsNodeTag* prevSibling = nullptr;     // level 3: previous volume of the same parent
    ContentsNodeTag* nextSibling = nullptr;     // level 3: next volume of the same parent
    std::vector<ContentsNodeTag*> children;     // in file order, owned

    ContentsNodeTag() = default;
    ContentsNodeTag(const CatalogueRecord& record, int slot);
    ~ContentsNodeTag();
    ContentsNodeTag(const ContentsNodeTag&) = delete;
    ContentsNodeTag& operator=(const ContentsNodeTag&) = delete;

    // The 0-based page index p lies in the node: docID <= p + 1 <= docID + docNo - 1 (unsigned).
    bool ContainsPage(uint32_t pageIndex) const;
};

// The new record's parent, searched depth first from node: a node of level record.level - 1
// (whose children are not searched); the last one found wins.
ContentsNodeTag* FindParentNode(ContentsNodeTag* node, const CatalogueRecord& record);
// The first node, pre-order from node, whose level, docID, docNo and firstPage equal the
// record's.
ContentsNodeTag* FindNode(ContentsNodeTag* node, const CatalogueRecord& record);

// The fixed slot table and the contents tree.
class CCatalogue {
public:
    CCatalogue();

    // Reads the catalogue file (a catalogue read before is dropped). The trace file (if its path is not empty and it can be written)
    // is replaced, whole, by one line per record (empty when the catalogue cannot be opened). False when the catalogue cannot be opened: the table stays empty.
    // Records beyond slot 9,999 and a trailing partial record are ignored. A record whose level
    // is outside 1..19, or that has no parent node, keeps its slot but gets no tree node.
    bool Load(const std::filesystem::path& file, const std::filesystem::path& tracePath);

    int NodeCount() const { return m_nNodeCount; }  // first free slot: records + 1
    // The record in slot; an empty record for a slot no record was read into.
    const CatalogueRecord& Record(int slot) const;
    bool IsValidSlot(int slot) const { return slot >= 1 && slot < m_nNodeCount; }
    // The first slot after `slot` (step +1) or before it (step -1) that holds a volume (a
    // level-3 record), or 0 when there is none.
    int NextVolumeSlot(int slot, int step) const;
    // The tree node of a slot; null when the record has none.
    ContentsNodeTag* Node(int slot) const;
    ContentsNodeTag* Root() const { return m_pRootNode.get(); }

private:
    // The records, read in place in the mapped file (slot s is record s - 1; slot 0 and the
    // slots after the last record are empty): opening a collection copies none of them.
    ReadOnlyMapping m_file;
    const CatalogueRecord* m_records = nullptr;
    int m_nNodeCount = 1;                       // first free slot
    std::unique_ptr<ContentsNodeTag> m_pRootNode;
    std::vector<ContentsNodeTag*> m_nodeOfSlot;  // slot -> node or null
    std::vector<int> m_volumeSlots;              // slots of level-3 records, ascending
};

}  // namespace kolva
