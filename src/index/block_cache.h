// Memory that the search reads file bytes into with pread, and the postings blocks it reads so.
//
// The first touch of a mapped page costs a page fault, several times what reading the same 4 KB
// from the system's file cache with pread costs, and the blocks of one stream lie far apart in
// the file, so that a search entering blocks no earlier search entered would fault once for each.
// The search therefore reads a block it enters for the first time into memory of its own and
// keeps it there until the index is closed, as long as room lasts; once room runs out, a block
// entered for the first time is read through the mapping (its one fault then buys it for good).
// No block makes way for another: one that did would pay that fault too when entered again,
// after the read that brought it in (a list of varied searches run three times over paid in its
// second round what the first had saved).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "index/lazy_bytes.h"
#include "platform/file.h"

namespace kolva {

// Memory handed out in pieces: the first 64 KB in pages of their own, the next 2 MB in one
// region on a 2 MB boundary that the system may make a single huge page. A fresh 4 KB page costs
// a fault when first written; a huge page costs one fault for the whole region, about as much as
// a dozen small ones, so it is taken only by searches that read more than the first 64 KB.
class ReadMemory {
  public:
    static constexpr size_t kSmallBytes = size_t(64) << 10;
    static constexpr size_t kLargeBytes = size_t(2) << 20;

    ReadMemory() = default;
    ~ReadMemory();
    ReadMemory(const ReadMemory&) = delete;
    ReadMemory& operator=(const ReadMemory&) = delete;

    // size bytes (8-byte aligned, at most kLargeBytes; a multiple of 4096 stays 4096-aligned),
    // left as they are; null when no room is left.
    uint8_t* Take(size_t size);
    // Everything taken is let go (its memory is kept for what is taken next).
    void Reset() { m_smallUsed = m_largeUsed = 0; }
    // Bytes taken so far (with what alignment added).
    size_t Used() const { return m_smallUsed + m_largeUsed; }

  private:
    uint8_t* m_small = nullptr;  // mapped at the first Take
    uint8_t* m_large = nullptr;  // mapped when the small part is full
    size_t m_smallUsed = 0, m_largeUsed = 0;
    size_t m_smallReady = 0;  // bytes of the small part whose pages are made
};

class BlockCache {
  public:
    // Blocks the cache may hold at most (ReadMemory's room in 4 KB pieces; less when others
    // take from the same memory).
    static constexpr uint32_t kMaxBlocks =
        uint32_t((ReadMemory::kSmallBytes + ReadMemory::kLargeBytes) / 4096);

    BlockCache() = default;
    ~BlockCache() = default;
    BlockCache(const BlockCache&) = delete;
    BlockCache& operator=(const BlockCache&) = delete;

    // Reads blocks of the postings file at path, of which blockCount start inside it, into
    // pieces taken from memory (which the owner lets go only after Close); false (and no blocks
    // read this way) when it cannot be opened.
    bool Open(const std::filesystem::path& path, uint32_t blockCount, ReadMemory& memory);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }

    // The first bytes (up to 4096) of block (below blockCount). Null when the block is to be
    // read through the mapping; with failed set when it could not be read at all. The bytes
    // stay where they are until Close.
    const uint8_t* Find(uint32_t block, uint32_t bytes, bool& failed);

  private:
    static constexpr uint32_t kTableSize = 2048;  // a power of two, above 2 kMaxBlocks
    static_assert(kTableSize >= 2 * kMaxBlocks && (kTableSize & (kTableSize - 1)) == 0);

    static constexpr uint32_t kNone = UINT32_MAX;  // a slot that holds no block

    // The table entry of block, or of the free entry where it would go.
    uint32_t Probe(uint32_t block) const;
    // A fresh slot for a new block while room lasts; kNone after.
    uint32_t FreeSlot();

    ReadOnlyFile m_file;
    uint32_t m_blockCount = 0;
    ReadMemory* m_memory = nullptr;
    uint32_t m_slotCount = 0;  // slots taken from m_memory
    // Open addressing: block + 1 (0 = free) and its slot.
    uint32_t m_keys[kTableSize] = {};
    uint16_t m_slots[kTableSize] = {};
    uint8_t* m_bytesOf[kMaxBlocks] = {};  // per slot
    // Per block: never entered, held here, read through the mapping (there was no room for it)
    // or unreadable (a read failed: the file is not what was mapped).
    static constexpr uint8_t kHeld = 1, kThroughMapping = 2, kUnreadable = 3;
    LazyBytes m_state;
};

}  // namespace kolva
