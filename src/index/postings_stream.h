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
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "index/block_cache.h"
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
    const uint8_t* bytes; // the current block's bytes, valid up to limit
};

// A place in a slot's postings stream where a search can take up reading: the reader's state
// right after it read the page delta and byte count of an entry. Which entry follows from where
// the point is kept, the readable length of the block from the block.
struct StreamPoint {
    uint32_t page, block, blocksSeen;
    uint16_t offset;     // at most the block size
    uint16_t remaining;  // the entry's byte count
};

// Reads streams in place from the mapped postings file, or (with a block cache) the blocks the
// cache reads for it; the cursors hold where each stands.
class StreamReader {
  public:
    StreamReader(const uint8_t* postings, uint64_t size, const uint32_t* next, uint32_t nextCount,
                 uint32_t blockCount, BlockCache* cache = nullptr)
        : m_postings(postings),
          m_size(size),
          m_next(next),
          m_nextCount(nextCount),
          m_blockCount(blockCount),
          m_cache(cache) {}

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
        if (!first) ++t.entry;
        if (!ReadNumber(t, delta, n) || (!first && delta == 0)) return false;
        if (delta > UINT32_MAX - t.page) return false;
        t.page += delta;
        if (t.page > t.lastPage) return false;
        if (t.offset + kEntryCountBytes <= t.limit) {
            t.remaining = GetEntryByteCount(BlockBytes(t) + t.offset);
            t.offset += kEntryCountBytes;
        } else if (!ReadSplitCount(t)) {
            return false;
        }
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
        const bool sameBlock = t.bytes != nullptr && t.block == p.block && t.limit != 0;
        t.entry = entry;
        t.page = p.page;
        t.block = p.block;
        t.offset = p.offset;
        t.limit = BlockLimit(p.block);
        t.blocksSeen = p.blocksSeen;
        t.remaining = p.remaining;
        // (A leap within the cursor's block keeps its bytes.) A block that cannot be read
        // leaves nothing readable: the next read fails.
        if (!sameBlock && !Place(t)) t.limit = 0;
    }
    // Whether point can be taken up in this file: its block starts inside it, its offset lies in
    // the block, and no more blocks were entered than the file has (a stored point is checked
    // so before a cursor is moved to it).
    bool FitsPoint(const StreamPoint& p) const {
        return p.block < m_blockCount && p.offset <= BlockLimit(p.block) &&
               p.blocksSeen <= m_blockCount;
    }
    // The state of a cursor that has just read an entry's page delta and byte count.
    static StreamPoint PointOf(const StreamCursor& t) {
        return {t.page, t.block, t.blocksSeen, uint16_t(t.offset), uint16_t(t.remaining)};
    }

    // The bytes of the cursor's current block; valid up to t.limit.
    static const uint8_t* BlockBytes(const StreamCursor& t) { return t.bytes; }

  private:
    bool Enter(StreamCursor& t, uint32_t block) const {
        if (block >= m_blockCount || ++t.blocksSeen > m_blockCount) return false;
        t.block = block;
        t.offset = 0;
        t.limit = BlockLimit(block);
        return Place(t);
    }
    // Points the cursor at its block's bytes; false when the cache could not read them.
    bool Place(StreamCursor& t) const {
        t.bytes = m_postings + uint64_t(t.block) * kBlockSize;
        if (m_cache == nullptr) return true;
        bool failed;
        const uint8_t* read = m_cache->Find(t.block, t.limit, failed);
        if (read) t.bytes = read;
        return !failed;
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
            out[k] = t.bytes[t.offset++];
        }
        return true;
    }
    bool ReadNumber(StreamCursor& t, uint32_t& value, uint32_t& bytes) const {
        if (t.offset + kMaxPostingNumberBytes > t.limit) return ReadSplitNumber(t, value, bytes);
        // The usual case: the number lies inside the current block.
        const uint8_t* const in = BlockBytes(t) + t.offset;
        value = GetPostingNumber(in, bytes);
        t.offset += bytes;
        return true;
    }
    // A byte count that may continue in the next block.
    __attribute__((noinline)) bool ReadSplitCount(StreamCursor& t) const {
        uint8_t count[kEntryCountBytes];
        if (!ReadBytes(t, count, kEntryCountBytes)) return false;
        t.remaining = GetEntryByteCount(count);
        return true;
    }
    // A number near the block's end, which may continue in the next block.
    __attribute__((noinline)) bool ReadSplitNumber(StreamCursor& t, uint32_t& value,
                                                   uint32_t& bytes) const {
        uint8_t in[kMaxPostingNumberBytes];
        if (!ReadBytes(t, in, 1)) return false;
        if (!ReadBytes(t, in + 1, PostingNumberLength(in[0]) - 1)) return false;
        value = GetPostingNumber(in, bytes);
        return true;
    }

    const uint8_t* m_postings;
    uint64_t m_size;
    const uint32_t* m_next;
    uint32_t m_nextCount;
    uint32_t m_blockCount;
    BlockCache* m_cache;  // null: every block is read through the mapping
};

#ifdef __SSE2__
// out[i] = base + bytes[0] + ... + bytes[i] for sixteen bytes below 0x80 (the sums stay below
// 2,048, so 16-bit lanes hold them).
inline void PrefixSums16(__m128i bytes, uint32_t base, uint32_t* out) {
    const __m128i zero = _mm_setzero_si128();
    __m128i lo = _mm_unpacklo_epi8(bytes, zero);
    __m128i hi = _mm_unpackhi_epi8(bytes, zero);
    lo = _mm_add_epi16(lo, _mm_slli_si128(lo, 2));
    hi = _mm_add_epi16(hi, _mm_slli_si128(hi, 2));
    lo = _mm_add_epi16(lo, _mm_slli_si128(lo, 4));
    hi = _mm_add_epi16(hi, _mm_slli_si128(hi, 4));
    lo = _mm_add_epi16(lo, _mm_slli_si128(lo, 8));
    hi = _mm_add_epi16(hi, _mm_slli_si128(hi, 8));
    const __m128i lastOfLo = _mm_shufflehi_epi16(lo, 0xFF);
    hi = _mm_add_epi16(hi, _mm_unpackhi_epi64(lastOfLo, lastOfLo));
    const __m128i b = _mm_set1_epi32(int32_t(base));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_add_epi32(_mm_unpacklo_epi16(lo, zero), b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4),
                     _mm_add_epi32(_mm_unpackhi_epi16(lo, zero), b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8),
                     _mm_add_epi32(_mm_unpacklo_epi16(hi, zero), b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12),
                     _mm_add_epi32(_mm_unpackhi_epi16(hi, zero), b));
}
#endif

// The aligned values (positions + shift) of the cursor's current entry, read without moving the
// cursor: false unless every number lies inside the entry, the positions strictly increase and
// no aligned value comes near UINT32_MAX (so that a walk's "limit + 1" cannot wrap).
inline bool DecodeEntry(const StreamReader& reader, const StreamCursor& t, uint64_t shift,
                        std::vector<uint32_t>& out, size_t& count) {
    if (out.size() < t.remaining) out.resize(t.remaining);
    if (uint64_t(t.offset) + t.remaining + 2 <= t.limit) {
        // The usual case: the entry and the two bytes after it lie in one block, so even a
        // number that runs past the entry reads inside it. The numbers' lengths come from the
        // high bits of eight bytes at a time, so that finding the next number does not wait
        // for the decoding of this one.
        const uint8_t* const base = reader.BlockBytes(t) + t.offset;
        const size_t n = t.remaining;
        const bool roomForWords = uint64_t(t.offset) + n + 8 <= t.limit;
        uint64_t aligned = shift;
        size_t k = 0, q = 0;
        bool zero = false;
        while (q < n) {
#ifdef __SSE2__
            // Sixteen one-byte numbers (frequent characters stand close together): their
            // running sums at once.
            if (q + 16 <= n) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + q));
                if (_mm_movemask_epi8(bytes) == 0) {
                    const int zeros = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
                    zero |= (k == 0 ? zeros & ~1 : zeros) != 0;
                    PrefixSums16(bytes, uint32_t(aligned), &out[k]);
                    aligned += out[k + 15] - uint32_t(aligned);
                    k += 16;
                    q += 16;
                    continue;
                }
            }
#endif
            uint64_t extras = 0;  // per byte: the bytes that follow it in a number it starts
            if (roomForWords) {
                uint64_t w;
                std::memcpy(&w, base + q, 8);
                const uint64_t high = w & 0x8080808080808080ull;
                extras = (high >> 7) + ((high & (w << 1)) >> 7);
            } else {
                for (size_t r = 0; r < 8 && q + r < n; ++r)
                    extras |= uint64_t((base[q + r] >= 0x80) + (base[q + r] >= 0xC0)) << (8 * r);
            }
            size_t r = 0;
            do {
                const uint32_t extra = uint32_t(extras >> (8 * r)) & 3;
                uint32_t length;  // 1 + extra
                const uint32_t value = GetPostingNumber(base + q + r, length);
                r += 1 + extra;
                zero |= value == 0 && k != 0;
                aligned += value;
                out[k++] = uint32_t(aligned);
            } while (r < 8 && q + r < n);
            q += r;
        }
        if (q != n || zero || aligned >= UINT32_MAX) return false;
        count = k;
        return true;
    }
    StreamCursor copy = t;
    uint64_t aligned = shift;
    size_t k = 0;
    uint32_t value;
    while (copy.remaining != 0) {
        if (!reader.ReadPosition(copy, value) || (value == 0 && k != 0)) return false;
        aligned += value;
        if (aligned >= UINT32_MAX) return false;
        out[k++] = uint32_t(aligned);
    }
    count = k;
    return true;
}

// How many numbers n bytes hold that are known to be whole numbers, counted without decoding.
// A number is one byte more for each of the two high bits of its first byte (as
// PostingNumberLength says); runs of one-byte numbers are counted sixteen at a time.
inline size_t CountNumbers(const uint8_t* bytes, size_t n) {
    size_t q = 0, count = 0;
    while (q < n) {
#ifdef __SSE2__
        if (q + 16 <= n) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + q));
            const unsigned high = unsigned(_mm_movemask_epi8(chunk));
            // The bytes before the first with its high bit set are one-byte numbers.
            const size_t ones = high == 0 ? 16 : size_t(__builtin_ctz(high));
            count += ones;
            q += ones;
            if (ones == 16) continue;
        }
#endif
        q += PostingNumberLength(bytes[q]);
        ++count;
    }
    return count;
}

}  // namespace kolva
