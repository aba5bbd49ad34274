// Reading the pairs file of an index (format in pairs_format.h), and what both its reader and its
// writer compute: the fingerprint of the files it was made from, and the key of a slot.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "index/block_cache.h"
#include "index/lazy_bytes.h"
#include "index/pairs_format.h"
#include "index/slot_guides.h"
#include "platform/file.h"

namespace kolva {

// The fingerprint of the files of index stem ("Index_desc") in folder: the whole header file,
// samples of the postings file, the whole variant table. False when an index file is missing.
bool ComputePairsFingerprint(const std::filesystem::path& folder, const std::string& stem,
                             PairsFingerprint& out);
// The same from files already open: the index header, the postings file, and the variant
// table's bytes (null when there is none). False when they cannot be read.
bool FingerprintOf(const ReadOnlyFile& header, const ReadOnlyFile& postings,
                   const std::string* table, PairsFingerprint& out);
// Checksum of the postings samples: every block of a file of at most kPostingsSamples blocks,
// else kPostingsSamples blocks spread evenly from the first to the last.
// The samples are read from the file, not through a mapping: touching 256 pages spread over a
// mapping costs a fault each, more than reading them. False when the file cannot be read.
bool PostingsSamplesChecksum(const ReadOnlyFile& postings, uint64_t& sum);

// The key of slot: that of the first group holding its character, else the slot itself.
// (groups: the variant groups in file order, as ParseVariantTable gives them)
int32_t PairKey(int32_t slot, const std::vector<std::vector<uint32_t>>& groups);
// PairKey of every slot at once.
std::vector<int32_t> PairKeys(const std::vector<std::vector<uint32_t>>& groups);

// One page list of the pairs file, in place in the mapping.
struct PageList {
    uint8_t kind = kPairList;
    uint32_t count = 0;
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    uint32_t entry = UINT32_MAX;  // its directory entry (PairsFile::Find sets it)
    uint32_t checksum = 0;        // low half of the checksum of its bytes, as the entry gives it
};

// Decodes list into pages (ascending). False when the list does not read as its kind says.
bool DecodePageList(const PageList& list, uint32_t pageLimit, std::vector<uint32_t>& pages);
// Keeps the pages of candidates (ascending) that list, a list of page deltas, holds (bitmaps are
// read by BitmapWord and BitmapHolds). False when the list is not a list of page deltas or does not
// read as one (candidates are then left in an unspecified order).
bool KeepListedPages(const PageList& list, uint32_t pageLimit, std::vector<uint32_t>& candidates);

// Whether list reads as a bitmap of pageLimit pages: of that size, no page at or past pageLimit,
// and as many pages as it says. A search reads a bitmap list in place, once it is found sound.
bool BitmapListSound(const PageList& list, uint32_t pageLimit);
// Pages 64 w .. 64 w + 63 of a sound bitmap list, low bit first (w below (pageLimit + 63) / 64).
inline uint64_t BitmapWord(const PageList& list, size_t w) {
    uint64_t bits = 0;
    const size_t at = 8 * w;
    std::memcpy(&bits, list.bytes + at, list.size - at < 8 ? list.size - at : 8);
    return bits;
}
// Whether a sound bitmap list holds page (below its page limit).
inline bool BitmapHolds(const PageList& list, uint32_t page) {
    return list.bytes[page / 8] >> (page % 8) & 1;
}

// Pointers by a 32-bit key in one flat table (open addressing, at most half full): looked up at
// every list, row and points asked for, so a probe reads one place of a small array.
template <typename T>
class PointerTable {
  public:
    const T* Find(uint32_t key) const {
        if (m_count == 0) return nullptr;
        for (size_t h = Home(key);; h = (h + 1) & (m_keys.size() - 1)) {
            if (m_keys[h] == 0) return nullptr;
            if (m_keys[h] == uint64_t(key) + 1) return m_values[h];
        }
    }
    void Insert(uint32_t key, const T* value) {
        if (2 * (m_count + 1) > m_keys.size()) {
            // Twice the room (64 places at first), every key placed again.
            std::vector<uint64_t> keys(std::max<size_t>(64, 2 * m_keys.size()), 0);
            std::vector<const T*> values(keys.size(), nullptr);
            keys.swap(m_keys);
            values.swap(m_values);
            m_count = 0;
            for (size_t i = 0; i < keys.size(); ++i)
                if (keys[i] != 0) Insert(uint32_t(keys[i] - 1), values[i]);
        }
        size_t h = Home(key);
        while (m_keys[h] != 0 && m_keys[h] != uint64_t(key) + 1) h = (h + 1) & (m_keys.size() - 1);
        if (m_keys[h] == 0) ++m_count;
        m_keys[h] = uint64_t(key) + 1;
        m_values[h] = value;
    }
    void Clear() {
        m_keys.clear();
        m_values.clear();
        m_count = 0;
    }

  private:
    size_t Home(uint32_t key) const {
        return size_t((uint64_t(key) * 0x9E3779B97F4A7C15ull) >> 32) & (m_keys.size() - 1);
    }
    std::vector<uint64_t> m_keys;  // key + 1, 0 for a free place
    std::vector<const T*> m_values;
    size_t m_count = 0;
};

// The pairs file of one index, mapped read-only.
class PairsFile {
public:
    enum class Lookup { kAbsent, kFound, kDamaged };

    // Opens folder/<stem>-idx.pairs when it is whole and made from exactly the files beside it;
    // false (and closed) otherwise. Never shows a message: without it the search runs as ever.
    bool Open(const std::filesystem::path& folder, const std::string& stem);
    // As Open, with the fingerprint of the files beside it already known (the index computes it
    // from the files it has opened, so that nothing is read twice).
    bool Open(const std::filesystem::path& folder, const std::string& stem,
              const PairsFingerprint& expected);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    // Rows, lists and points read for the first time are copied into memory from now on (which
    // the owner lets go only after Close); without it they are read in place.
    void CopyInto(ReadMemory* memory) { m_copies = memory; }

    // Whether slot's whole postings stream read without a fault when the file was made.
    bool SlotClean(int32_t slot) const;
    // The key of slot (PairKey, as the file was made with it).
    int32_t Key(int32_t slot) const;
    // Rank of key among the listed keys, -1 when it is not listed.
    int32_t Rank(int32_t key) const;
    // Page entries of the key of rank, 0 for a rank not listed.
    uint32_t KeyEntries(int32_t rank) const;
    // Whether the key of rank takes part in the pairs one apart.
    bool TakesPartApart(int32_t rank) const;
    // The list of the pair of ranks (a, b) at distance 1 (neighbours) or 2 (one apart): kAbsent
    // when no page holds it, kDamaged when its directory entry or its bytes are not as written
    // (a bitmap found is sound: BitmapListSound).
    Lookup Find(int32_t rankA, int32_t rankB, PageList& list, uint32_t distance = 1) const;
    // Find without reading the list: its kind, page count and place from the directory (whose
    // row is checked), its bytes not yet checked. A search that may pass a long list over asks
    // Ready only for the lists it reads.
    Lookup Locate(int32_t rankA, int32_t rankB, PageList& list, uint32_t distance = 1) const;
    // Checks a list Locate found the first time it is asked for (its checksum, a bitmap's pages)
    // and points it at the copy read into memory; false when it is not as written.
    bool Ready(PageList& list) const;
    // The stored points of slot's stream: none when the file has none for it or they do not read
    // as written (their checksum, pages ascending), which is checked the first time they are
    // asked for.
    StoredPoints PointsOf(int32_t slot) const;
    // The pages of a long list of page deltas that searches have asked for before, decoded and
    // kept (least recently used first out, kDecodedListsMemory in all); null for a list asked for
    // the first time, a short one, a bitmap, or one that does not read as a list. The pages stay
    // until the next call.
    const std::vector<uint32_t>* DecodedPages(const PageList& list) const;
    uint32_t PageLimit() const { return m_pageLimit; }
    uint32_t KeyCount() const { return m_keyCount; }
    uint32_t PairCount() const { return m_pairCount; }
    uint32_t ApartCount() const { return m_apartCount; }

private:
    // Whether directory row (0..K-1 neighbours, K..2K-1 one apart), entries [first, end),
    // matches its checksum; checked once, then remembered. Sets entries to where the row's
    // entries are read (its copy, or the mapping), with the entry after it where there is one.
    bool RowChecked(uint32_t row, uint32_t first, uint32_t end, const uint8_t*& entries) const;
    // A copy of size bytes of the mapped file from at on, read with pread into memory kept while
    // the file is open (CopyInto's memory): a row, list or points array read for the first time
    // costs a read from the system's file cache then, not page faults. Null for a large one or
    // when there is no room left (the mapping is read instead); with failed set when the bytes
    // could not be read.
    const uint8_t* CopyOf(const uint8_t* at, uint64_t size, bool& failed) const;
    // PointsOf's lookup in the file, the first time a slot is asked for.
    StoredPoints ReadPointsOf(int32_t slot) const;

    ReadOnlyMapping m_file;
    ReadOnlyFile m_reader;  // the same file, for CopyOf
    const uint8_t* m_clean = nullptr;
    const uint8_t* m_keys = nullptr;
    const uint8_t* m_rowStarts = nullptr;
    const uint8_t* m_apartRowStarts = nullptr;
    const uint8_t* m_aliases = nullptr;
    const uint8_t* m_apartKeys = nullptr;
    const uint8_t* m_keyEntries = nullptr;
    const uint8_t* m_rowChecksums = nullptr;
    const uint8_t* m_directory = nullptr;
    const uint8_t* m_lists = nullptr;
    uint64_t m_listsSize = 0;
    const uint8_t* m_pointSlots = nullptr;  // the points area's slot entries
    const uint8_t* m_points = nullptr;      // its points
    uint32_t m_pointSlotCount = 0;
    uint64_t m_pointCount = 0;
    // Bits found as searches ask, in tables that take memory only where they are set.
    mutable LazyBytes m_checked;      // per directory entry (a bit each): its list's checksum matched
    mutable LazyBytes m_rowChecked;   // per directory row (a bit each): its checksum matched
    // Copies made by CopyOf, of lists (by directory entry) and of directory rows (by row).
    mutable PointerTable<uint8_t> m_listCopies, m_rowCopies;
    // What PointsOf found for each slot asked for (none for a slot without sound points), with
    // the page of every point kept apart, where a leap looks it up.
    mutable PointerTable<StoredPoints> m_pointsOfSlot;
    mutable std::deque<StoredPoints> m_pointsFound;
    mutable std::deque<std::vector<uint32_t>> m_pointPages;
    ReadMemory* m_copies = nullptr;
    // Long lists of page deltas decoded (DecodedPages): how often each entry was asked for, and
    // the pages of those asked for again, with the search that used them last.
    struct DecodedList {
        std::vector<uint32_t> pages;
        uint64_t lastUse = 0;
    };
    mutable LazyBytes m_listUses;
    mutable std::unordered_map<uint32_t, DecodedList> m_decoded;
    mutable size_t m_decodedBytes = 0;
    mutable uint64_t m_decodeClock = 0;
    uint32_t m_pageLimit = 0, m_keyCount = 0, m_pairCount = 0, m_apartCount = 0,
             m_aliasCount = 0;
};

// Whether the bytes of a whole pairs file hold a header and tables that are whole (their
// checksums) and laid out within the file; header is set to what it reads.
bool ReadPairsHeader(const uint8_t* data, uint64_t size, PairsHeader& header);

}  // namespace kolva
