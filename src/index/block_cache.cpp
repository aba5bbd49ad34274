#include "index/block_cache.h"

#include <sys/mman.h>

#include <algorithm>
#include <iterator>

#include "index/postings_format.h"

namespace kolva {

static_assert(kBlockSize == 4096, "a block is read into one 4 KB piece");

ReadMemory::~ReadMemory() {
    if (m_small) ::munmap(m_small, kSmallBytes);
    if (m_large) ::munmap(m_large, kLargeBytes);
}

uint8_t* ReadMemory::Take(size_t size) {
#ifndef MADV_POPULATE_WRITE
    constexpr int MADV_POPULATE_WRITE = 23;  // Linux 5.14; older systems answer EINVAL
#endif
    size = (size + 7) & ~size_t(7);
    if (size > kLargeBytes) return nullptr;
    if (m_smallUsed + size <= kSmallBytes) {
        if (!m_small) {
            void* memory = ::mmap(nullptr, kSmallBytes, PROT_READ | PROT_WRITE,
                                  MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (memory == MAP_FAILED) return nullptr;
            m_small = static_cast<uint8_t*>(memory);
        }
        // Making four pages at once costs less than a fault for each, and a search that reads
        // a block or two pays for no more.
        constexpr size_t kStep = size_t(16) << 10;
        if (m_smallUsed + size > m_smallReady) {
            const size_t ready = std::min(kSmallBytes, (m_smallUsed + size + kStep - 1) / kStep * kStep);
            ::madvise(m_small + m_smallReady, ready - m_smallReady, MADV_POPULATE_WRITE);
            m_smallReady = ready;
        }
        uint8_t* out = m_small + m_smallUsed;
        m_smallUsed += size;
        return out;
    }
    if (m_largeUsed + size > kLargeBytes) return nullptr;
    if (!m_large) {
        // Twice the size is reserved and all but the 2 MB on a 2 MB boundary given back.
        void* reserved = ::mmap(nullptr, 2 * kLargeBytes, PROT_READ | PROT_WRITE,
                                MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (reserved == MAP_FAILED) return nullptr;
        auto* start = static_cast<uint8_t*>(reserved);
        const size_t before =
            (kLargeBytes - reinterpret_cast<uintptr_t>(start) % kLargeBytes) % kLargeBytes;
        if (before > 0) ::munmap(start, before);
        if (kLargeBytes - before > 0) ::munmap(start + before + kLargeBytes, kLargeBytes - before);
        m_large = start + before;
        ::madvise(m_large, kLargeBytes, MADV_HUGEPAGE);
    }
    uint8_t* out = m_large + m_largeUsed;
    m_largeUsed += size;
    return out;
}

namespace {

uint32_t HashOf(uint32_t block) { return block * 0x9E3779B1u; }

}  // namespace

bool BlockCache::Open(const std::filesystem::path& path, uint32_t blockCount,
                      ReadMemory& memory) {
    Close();
    m_memory = &memory;
    if (!m_file.Open(path)) return false;
    m_blockCount = blockCount;
    m_state.Reset(blockCount);
    return true;
}

void BlockCache::Close() {
    m_file.Close();
    m_blockCount = 0;
    m_state = {};
    std::fill(std::begin(m_keys), std::end(m_keys), 0u);
    m_slotCount = 0;  // the memory is its owner's to let go
    m_memory = nullptr;
}

uint32_t BlockCache::Probe(uint32_t block) const {
    uint32_t h = HashOf(block) & (kTableSize - 1);
    while (m_keys[h] != 0 && m_keys[h] != block + 1) h = (h + 1) & (kTableSize - 1);
    return h;
}

uint32_t BlockCache::FreeSlot() {
    if (m_slotCount == kMaxBlocks) return kNone;
    uint8_t* bytes = m_memory ? m_memory->Take(kBlockSize) : nullptr;
    if (!bytes) return kNone;
    m_bytesOf[m_slotCount] = bytes;
    return m_slotCount++;
}

const uint8_t* BlockCache::Find(uint32_t block, uint32_t bytes, bool& failed) {
    failed = false;
    if (!m_file.IsOpen() || block >= m_blockCount || bytes > kBlockSize) return nullptr;
    const uint8_t state = m_state.Get(block);
    if (state == kThroughMapping) return nullptr;
    if (state == kUnreadable) {
        failed = true;
        return nullptr;
    }
    if (state == kHeld) return m_bytesOf[m_slots[Probe(block)]];
    const uint32_t slot = FreeSlot();
    if (slot == kNone) {
        m_state.At(block) = kThroughMapping;
        return nullptr;
    }
    if (!m_file.ReadAt(uint64_t(block) * kBlockSize, m_bytesOf[slot], bytes)) {
        m_state.At(block) = kUnreadable;
        failed = true;
        return nullptr;
    }
    m_state.At(block) = kHeld;
    const uint32_t h = Probe(block);
    m_keys[h] = block + 1;
    m_slots[h] = uint16_t(slot);
    return m_bytesOf[slot];
}

}  // namespace kolva
