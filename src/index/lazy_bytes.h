// A table of bytes, all 0 at first, whose memory is taken a small chunk at a time as bytes are
// written. The search keeps such tables per slot or per directory entry, of which a session
// touches a few: a process that opens a collection and runs one search then pays for the chunks
// it uses, never for clearing (and faulting in) the whole table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kolva {

class LazyBytes {
public:
    static constexpr size_t kChunk = 256;

    LazyBytes() = default;
    explicit LazyBytes(size_t size) { Reset(size); }

    // size bytes, all 0; none of their memory taken yet.
    void Reset(size_t size) {
        m_chunks.clear();
        m_chunks.resize((size + kChunk - 1) / kChunk);
        m_size = size;
    }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    // Byte i (below size()), read without taking memory.
    uint8_t Get(size_t i) const {
        const std::unique_ptr<uint8_t[]>& chunk = m_chunks[i / kChunk];
        return chunk ? chunk[i % kChunk] : 0;
    }
    // Byte i (below size()), to be written; it stays where it is while the table lives unchanged.
    uint8_t& At(size_t i) {
        std::unique_ptr<uint8_t[]>& chunk = m_chunks[i / kChunk];
        if (!chunk) chunk = std::make_unique<uint8_t[]>(kChunk);  // value-initialised: zeros
        return chunk[i % kChunk];
    }

private:
    std::vector<std::unique_ptr<uint8_t[]>> m_chunks;
    size_t m_size = 0;
};

}  // namespace kolva
