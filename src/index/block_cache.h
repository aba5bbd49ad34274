// Postings blocks read with pread for the search, instead of through the mapping.
//
// The first touch of a mapped page costs a page fault, several times what reading the same 4 KB
// from the system's file cache with pread costs, and the blocks of one stream lie far apart in
// the file, so that a search entering blocks no earlier search entered would fault once for each.
// The search therefore reads a block it enters for the first time into memory of its own, kept
// until the next search begins; a block that an earlier search already entered is read through
// the mapping (it will have been faulted in by then, or costs one fault, once). The memory is
// bounded (kMaxBlocks): past it, blocks are read through the mapping as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "index/lazy_bytes.h"
#include "platform/file.h"

namespace kolva {

class BlockCache {
  public:
    static constexpr uint32_t kMaxBlocks = 512;  // 2 MB of blocks at most

    BlockCache() = default;
    ~BlockCache();
    BlockCache(const BlockCache&) = delete;
    BlockCache& operator=(const BlockCache&) = delete;

    // Reads blocks of the postings file at path, of which blockCount start inside it; false
    // (and no blocks read this way) when it cannot be opened.
    bool Open(const std::filesystem::path& path, uint32_t blockCount);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }

    // A new search begins: the blocks held for the last one are let go (no reader of that
    // search may be used after this).
    void BeginSearch();

    // The first bytes (up to 4096) of block (below blockCount). Null when the block is to be
    // read through the mapping; with failed set when it could not be read at all. The bytes
    // stay where they are until BeginSearch or Close.
    const uint8_t* Find(uint32_t block, uint32_t bytes, bool& failed);

  private:
    static constexpr uint32_t kTableSize = 2 * kMaxBlocks;  // a power of two
    static constexpr uint32_t kChunkBlocks = 16;           // memory made ready at a time

    uint8_t* Slot(uint32_t i) const { return m_memory + size_t(i) * 4096; }

    ReadOnlyFile m_file;
    uint32_t m_blockCount = 0;
    uint8_t* m_memory = nullptr;  // kMaxBlocks blocks, reserved at the first read
    uint32_t m_ready = 0;         // slots whose memory has been made ready
    uint32_t m_used = 0;          // slots holding a block of this search
    // Open addressing: block + 1 (0 = free) and its slot.
    uint32_t m_keys[kTableSize] = {};
    uint16_t m_slots[kTableSize] = {};
    uint32_t m_blockOf[kMaxBlocks] = {};  // the block of each used slot, to free its key
    // One bit per block: entered by a search before (read through the mapping from then on).
    LazyBytes m_seen;
};

}  // namespace kolva
