#include "index/block_cache.h"

#include <sys/mman.h>

#include <cstring>

#include "index/postings_format.h"

namespace kolva {

static_assert(kBlockSize == 4096, "a cache slot holds one postings block");

namespace {

constexpr size_t kMemoryBytes = size_t(BlockCache::kMaxBlocks) * kBlockSize;

uint32_t HashOf(uint32_t block) { return block * 0x9E3779B1u; }

}  // namespace

BlockCache::~BlockCache() {
    Close();
    if (m_memory) ::munmap(m_memory, kMemoryBytes);
}

bool BlockCache::Open(const std::filesystem::path& path, uint32_t blockCount) {
    Close();
    if (!m_file.Open(path)) return false;
    m_blockCount = blockCount;
    m_seen.Reset((size_t(blockCount) + 7) / 8);
    return true;
}

void BlockCache::Close() {
    BeginSearch();
    m_file.Close();
    m_blockCount = 0;
    m_seen = {};
}

void BlockCache::BeginSearch() {
    for (uint32_t i = 0; i < m_used; ++i) {
        uint32_t h = HashOf(m_blockOf[i]) & (kTableSize - 1);
        while (m_keys[h] != m_blockOf[i] + 1) h = (h + 1) & (kTableSize - 1);
        m_keys[h] = 0;
    }
    // (The walk to a key passes over entries freed before it, so the order does not matter.)
    m_used = 0;
}

const uint8_t* BlockCache::Find(uint32_t block, uint32_t bytes, bool& failed) {
    failed = false;
    if (!m_file.IsOpen() || block >= m_blockCount || bytes > kBlockSize) return nullptr;
    uint32_t h = HashOf(block) & (kTableSize - 1);
    for (; m_keys[h] != 0; h = (h + 1) & (kTableSize - 1))
        if (m_keys[h] == block + 1) return Slot(m_slots[h]);
    uint8_t& seen = m_seen.At(block / 8);
    const uint8_t bit = uint8_t(1u << (block % 8));
    if (seen & bit) return nullptr;
    seen |= bit;
    if (m_used == kMaxBlocks) return nullptr;
    if (m_used == m_ready) {
        if (!m_memory) {
            void* memory = ::mmap(nullptr, kMemoryBytes, PROT_READ | PROT_WRITE,
                                  MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (memory == MAP_FAILED) return nullptr;
            m_memory = static_cast<uint8_t*>(memory);
        }
#ifndef MADV_POPULATE_WRITE
        constexpr int MADV_POPULATE_WRITE = 23;  // Linux 5.14; older systems answer EINVAL
#endif
        // Making a chunk's pages at once costs less than a fault for each.
        ::madvise(Slot(m_ready), size_t(kChunkBlocks) * kBlockSize, MADV_POPULATE_WRITE);
        m_ready += kChunkBlocks;
    }
    uint8_t* slot = Slot(m_used);
    if (!m_file.ReadAt(uint64_t(block) * kBlockSize, slot, bytes)) {
        failed = true;
        return nullptr;
    }
    m_keys[h] = block + 1;
    m_slots[h] = uint16_t(m_used);
    m_blockOf[m_used++] = block;
    return slot;
}

}  // namespace kolva
