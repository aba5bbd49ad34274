// Reading one slot's postings stream (format: index/postings_format.h) in place from the mapped
// postings file, and decoding a page entry's position data at once.
//
// Every read is checked against the mapping: a block outside the file or the next-block table, a
// chain that visits more blocks than the file has, a zero byte count, a zero page delta after the
// first entry, a page past the slot's last page, or a number running past its entry make a read
// fail, and the caller takes the stream as corrupt from there on.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "index/postings_format.h"

namespace kolva {

// Where a reader stands in a slot's stream.
struct StreamCursor {
    uint32_t block;       // current block of the stream
    uint32_t offset;      // next byte in the block
    uint32_t limit;       // bytes of the block inside the file (4096 but for a partial last block)
    uint32_t blocksSeen;  // blocks entered, to catch chains that loop
    uint32_t page;        // page index of the current entry
    uint32_t lastPage;    // the slot's last page
    uint32_t remaining;   // position bytes of the current entry not yet read
    uint32_t entry;       // entries read before the current one
};

// A place in a slot's postings stream where a search can take up reading: the reader's state
// right after it read the page delta and byte count of an entry. Which entry follows from where
// the point is kept, the readable length of the block from the block.
struct StreamPoint {
    uint32_t page, block, blocksSeen;
    uint16_t offset;     // at most the block size
    uint16_t remaining;  // the entry's byte count
};

// Reads streams in place from the mapped postings file; the cursors hold where each stands.
class StreamReader {
  public:
    StreamReader(const uint8_t* postings, uint64_t size, const uint32_t* next, uint32_t nextCount,
                 uint32_t blockCount)
        : m_postings(postings),
          m_size(size),
          m_next(next),
          m_nextCount(nextCount),
          m_blockCount(blockCount) {}

    // Starts at the slot's first block and reads the first page entry.
    bool Start(StreamCursor& t, uint32_t firstBlock) const {
        t.blocksSeen = 0;
        t.page = 0;
        t.remaining = 0;
        t.entry = 0;
        return Enter(t, firstBlock) && ReadEntry(t, true);
    }

    // Reads the page delta and byte count of the next page entry.
    bool ReadEntry(StreamCursor& t, bool first) const {
        uint32_t delta, n;
        uint8_t count[kEntryCountBytes];
        if (!first) ++t.entry;
        if (!ReadNumber(t, delta, n) || (!first && delta == 0)) return false;
        if (delta > UINT32_MAX - t.page) return false;
        t.page += delta;
        if (t.page > t.lastPage || !ReadBytes(t, count, kEntryCountBytes)) return false;
        t.remaining = GetEntryByteCount(count);
        return t.remaining != 0;
    }

    // Reads one position delta of the current entry.
    bool ReadPosition(StreamCursor& t, uint32_t& value) const {
        uint32_t n;
        if (t.remaining == 0 || !ReadNumber(t, value, n) || n > t.remaining) return false;
        t.remaining -= n;
        return true;
    }

    // Skips the unread position data of the current entry.
    bool SkipEntry(StreamCursor& t) const {
        uint32_t target = t.offset + t.remaining;
        t.remaining = 0;
        while (target > kBlockSize) {
            if (!Follow(t)) return false;
            target -= kBlockSize;
        }
        if (target > t.limit) return false;
        t.offset = target;
        return true;
    }

    // Takes up reading at a skip point of the slot, the point of entry `entry`.
    void Resume(StreamCursor& t, const StreamPoint& p, uint32_t entry) const {
        t.entry = entry;
        t.page = p.page;
        t.block = p.block;
        t.offset = p.offset;
        t.limit = BlockLimit(p.block);
        t.blocksSeen = p.blocksSeen;
        t.remaining = p.remaining;
    }
    // The state of a cursor that has just read an entry's page delta and byte count.
    static StreamPoint PointOf(const StreamCursor& t) {
        return {t.page, t.block, t.blocksSeen, uint16_t(t.offset), uint16_t(t.remaining)};
    }

    // The bytes of the cursor's current block; valid up to t.limit.
    const uint8_t* BlockBytes(const StreamCursor& t) const {
        return m_postings + uint64_t(t.block) * kBlockSize;
    }

  private:
    bool Enter(StreamCursor& t, uint32_t block) const {
        if (block >= m_blockCount || ++t.blocksSeen > m_blockCount) return false;
        t.block = block;
        t.offset = 0;
        t.limit = BlockLimit(block);
        return true;
    }
    // Bytes of a block that starts inside the file.
    uint32_t BlockLimit(uint32_t block) const {
        return uint32_t(std::min<uint64_t>(kBlockSize, m_size - uint64_t(block) * kBlockSize));
    }
    // Moves to the block that continues the current one.
    bool Follow(StreamCursor& t) const {
        return t.limit == kBlockSize && t.block < m_nextCount && Enter(t, m_next[t.block]);
    }
    // Reads n bytes, following the chain where they cross a block's end.
    bool ReadBytes(StreamCursor& t, uint8_t* out, uint32_t n) const {
        for (uint32_t k = 0; k < n; ++k) {
            if (t.offset == t.limit && !Follow(t)) return false;
            out[k] = m_postings[uint64_t(t.block) * kBlockSize + t.offset++];
        }
        return true;
    }
    bool ReadNumber(StreamCursor& t, uint32_t& value, uint32_t& bytes) const {
        if (t.offset + kMaxPostingNumberBytes <= t.limit) {
            // The usual case: the number lies inside the current block.
            const uint8_t* const in = BlockBytes(t) + t.offset;
            bytes = PostingNumberLength(in[0]);
            value = GetPostingNumber(in);
            t.offset += bytes;
            return true;
        }
        uint8_t in[kMaxPostingNumberBytes];
        if (!ReadBytes(t, in, 1)) return false;
        bytes = PostingNumberLength(in[0]);
        if (!ReadBytes(t, in + 1, bytes - 1)) return false;
        value = GetPostingNumber(in);
        return true;
    }

    const uint8_t* m_postings;
    uint64_t m_size;
    const uint32_t* m_next;
    uint32_t m_nextCount;
    uint32_t m_blockCount;
};

// The aligned values (positions + shift) of the cursor's current entry, read without moving the
// cursor: false unless every number lies inside the entry, the positions strictly increase and
// no aligned value comes near UINT32_MAX (so that a walk's "limit + 1" cannot wrap).
bool DecodeEntry(const StreamReader& reader, const StreamCursor& t, uint64_t shift,
                 std::vector<uint32_t>& out, size_t& count);

// How many numbers n bytes hold that are known to be whole numbers, counted without decoding.
size_t CountNumbers(const uint8_t* bytes, size_t n);

}  // namespace kolva
