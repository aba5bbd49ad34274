// Keyword search over the mapped postings.
//
// A word is a phrase in which "?" (or "？") takes one position and "*" a gap of 0 to 300
// positions. Each character of the word becomes a term that walks its slot's postings stream.
// Terms leapfrog page by page (skipping whole page entries by their byte count) until all stand
// on one page; only then are positions decoded. A term's position is shifted by its distance to
// the end of the word ("aligned"), so that all terms of one occurrence share one aligned value.
//
// Every read is checked against the mapping: a block outside the file or the next-block table, a
// chain that visits more blocks than the file has, a zero byte count, a zero page delta after the
// first entry, a page past the slot's last page, or a number running past its entry all mark the
// stream corrupt, and the word ends with the hits found so far.
//
// What the search learns along the way, kept in memory while the index is open and never
// changing a result:
// - skip points (slot guides): the reader's state at every 16th entry of a slot's stream, kept
//   as terms walk it, so that a later term of the slot leaps over the entries before its target
//   page; the least recently used guides make way beyond 8 MB;
// - whether a slot's whole stream reads cleanly, found by reading it once when direct counts
//   have needed its entries on 64 pages: a word without "*" then counts a page by intersecting
//   the terms' positions and stops as soon as no candidate is left; a one-character word counts
//   its numbers; a later word of an AND passes over the pages the earlier words did not find.
#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "index/index.h"

namespace kolva {

namespace {

constexpr size_t kMaxWordUnits = 300;  // normal form, its final "*" and the NUL
constexpr size_t kMaxTerms = 300;
constexpr size_t kMaxSegments = 300;
constexpr uint32_t kMaxGap = 300;
constexpr uint32_t kSkipInterval = 16;         // entries between two skip points
constexpr size_t kGuideOverhead = 64;          // a guide's own bytes, besides its points
// What the search knows of a slot's whole stream: a count of the pages on which a direct count
// had to read its entry first, until kCheckAfter; then the stream has been read whole once and
// every entry read cleanly (kSlotClean) or one did not (kSlotFaulty).
constexpr uint8_t kCheckAfter = 64;
constexpr uint8_t kSlotClean = 254;
constexpr uint8_t kSlotFaulty = 255;
constexpr uint32_t kMaxShift = kMaxTerms;      // above any L - 1 - keyPos

bool IsWildcardOne(char16_t u) { return u == u'?' || u == u'\uFF1F'; }

// The code point at text[i] and how many units it takes (a surrogate pair is one character).
size_t DecodeAt(std::u16string_view text, size_t i, uint32_t& codePoint) {
    char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
        codePoint = 0x10000 + (uint32_t(u) - 0xD800) * 0x400 + (uint32_t(text[i + 1]) - 0xDC00);
        return 2;
    }
    codePoint = u;
    return 1;
}

// The keyword string as the search sees it: up to its first NUL.
std::u16string_view UpToNul(std::u16string_view text) {
    return text.substr(0, text.find(u'\0'));
}

struct Term {
    int32_t slot;
    uint32_t keyPos;      // characters and "?" before it in the word
    uint32_t block;       // current block of the stream
    uint32_t offset;      // next byte in the block
    uint32_t limit;       // bytes of the block inside the file (4096 but for a partial last block)
    uint32_t blocksSeen;  // blocks entered, to catch chains that loop
    uint32_t page;        // page index of the current entry
    uint32_t lastPage;    // the slot's last page
    uint32_t remaining;   // position bytes of the current entry not yet read
    uint32_t aligned;     // current position + (L - 1 - keyPos)
    uint32_t entry;       // entries read before the current one
    SlotGuide* guide;     // skip points of the slot's stream, or null
    uint8_t* check;       // what is known of the slot's whole stream, or null
};

struct Segment {
    uint32_t termCount;
    uint32_t end;  // terms up to and including this segment
};

// Reads terms' streams in place from the mapped postings file.
class StreamReader {
public:
    StreamReader(const uint8_t* postings, uint64_t size, const uint32_t* next, uint32_t nextCount,
                 uint32_t blockCount)
        : m_postings(postings),
          m_size(size),
          m_next(next),
          m_nextCount(nextCount),
          m_blockCount(blockCount) {}

    bool Start(Term& t, uint32_t firstBlock) const {
        t.blocksSeen = 0;
        t.page = 0;
        t.remaining = 0;
        t.entry = 0;
        return Enter(t, firstBlock) && ReadEntry(t, true);
    }

    // Reads the page delta and byte count of the next page entry.
    bool ReadEntry(Term& t, bool first) const {
        uint32_t delta, n, lo, hi;
        if (!first) ++t.entry;
        if (!ReadNumber(t, delta, n) || (!first && delta == 0)) return false;
        if (delta > UINT32_MAX - t.page) return false;
        t.page += delta;
        if (t.page > t.lastPage || !ReadByte(t, lo) || !ReadByte(t, hi)) return false;
        t.remaining = lo | hi << 8;
        return t.remaining != 0;
    }

    // Reads one position delta of the current entry.
    bool ReadPosition(Term& t, uint32_t& value) const {
        uint32_t n;
        if (t.remaining == 0 || !ReadNumber(t, value, n) || n > t.remaining) return false;
        t.remaining -= n;
        return true;
    }

    // Takes up reading at a skip point of the term's slot, the point of entry `entry`.
    void Resume(Term& t, const StreamPoint& p, uint32_t entry) const {
        t.entry = entry;
        t.page = p.page;
        t.block = p.block;
        t.offset = p.offset;
        t.limit = BlockLimit(p.block);
        t.blocksSeen = p.blocksSeen;
        t.remaining = p.remaining;
    }
    // The state of a term that has just read an entry's page delta and byte count.
    static StreamPoint PointOf(const Term& t) {
        return {t.page, t.block, t.blocksSeen, uint16_t(t.offset), uint16_t(t.remaining)};
    }

    // The bytes of the term's current block; valid up to t.limit.
    const uint8_t* BlockBytes(const Term& t) const {
        return m_postings + uint64_t(t.block) * kBlockSize;
    }

    // Skips the unread position data of the current entry.
    bool SkipEntry(Term& t) const {
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

private:
    bool Enter(Term& t, uint32_t block) const {
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
    bool Follow(Term& t) const {
        return t.limit == kBlockSize && t.block < m_nextCount && Enter(t, m_next[t.block]);
    }
    bool ReadByte(Term& t, uint32_t& b) const {
        if (t.offset == t.limit && !Follow(t)) return false;
        b = m_postings[uint64_t(t.block) * kBlockSize + t.offset++];
        return true;
    }
    bool ReadNumber(Term& t, uint32_t& value, uint32_t& bytes) const {
        uint32_t b0, b1, b2;
        if (!ReadByte(t, b0)) return false;
        if (b0 < 0x80) {
            value = b0;
            bytes = 1;
            return true;
        }
        if (!ReadByte(t, b1)) return false;
        if (b0 < 0xC0) {
            value = (b0 & 0x3F) << 8 | b1;
            bytes = 2;
            return true;
        }
        if (!ReadByte(t, b2)) return false;
        value = (b0 & 0x3F) << 16 | b1 << 8 | b2;
        bytes = 3;
        return true;
    }

    const uint8_t* m_postings;
    uint64_t m_size;
    const uint32_t* m_next;
    uint32_t m_nextCount;
    uint32_t m_blockCount;
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
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_add_epi32(_mm_unpacklo_epi16(lo, zero), b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4),
                     _mm_add_epi32(_mm_unpackhi_epi16(lo, zero), b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8),
                     _mm_add_epi32(_mm_unpacklo_epi16(hi, zero), b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12),
                     _mm_add_epi32(_mm_unpackhi_epi16(hi, zero), b));
}
#endif

// The aligned values (positions + shift) of a term's current entry, read without moving the
// term: false unless every number lies inside the entry, the positions strictly increase and no
// aligned value comes near UINT32_MAX (so that the walk's "limit + 1" cannot wrap).
bool DecodeEntry(const StreamReader& reader, const Term& t, uint64_t shift,
                 std::vector<uint32_t>& out, size_t& count) {
    if (out.size() < t.remaining) out.resize(t.remaining);
    if (uint64_t(t.offset) + t.remaining + 2 <= t.limit) {
        // The usual case: the entry and the eight bytes after it lie in one block. Every
        // number is read as three bytes without a branch on its length, and the lengths come
        // from the high bits of eight bytes at a time, so that finding the next number does
        // not wait for the load of this one.
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
                const uint8_t* b = base + q + r;
                const uint32_t b0 = b[0];
                const uint32_t b1 = extra ? b[1] : 0, b2 = extra == 2 ? b[2] : 0;
                const uint32_t two = (b0 & 0x3F) << 8 | b1;
                const uint32_t value = extra == 0 ? b0 : extra == 1 ? two : two << 8 | b2;
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
    Term copy = t;
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

// Keeps the state of t as its slot's next skip point when t stands on one, while the guides
// take less than the memory kept for them.
void RecordPoint(const Term& t, GuideMemory& memory) {
    SlotGuide* guide = t.guide;
    if (guide == nullptr || t.entry % kSkipInterval != 0 ||
        t.entry / kSkipInterval != guide->points.size())
        return;
    std::vector<StreamPoint>& points = guide->points;
    const size_t before = points.capacity();
    if (points.size() == before && memory.used >= memory.limit) return;
    points.push_back(StreamReader::PointOf(t));
    memory.used += (points.capacity() - before) * sizeof(StreamPoint);
}

// How many numbers n bytes hold that are known to be whole numbers: a number is one byte more
// for each of the two high bits of its first byte.
size_t CountNumbers(const uint8_t* bytes, size_t n) {
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
        const uint8_t b = bytes[q];
        q += 1 + (b >= 0x80) + (b >= 0xC0);
        ++count;
    }
    return count;
}

// The state of one word search: its terms, segments and the walk over pages and positions.
class WordMatcher {
public:
    WordMatcher(const StreamReader& reader, Term* terms, uint32_t termCount,
                const Segment* segments, uint32_t segmentCount, uint32_t length, bool shortcuts,
                GuideMemory& memory)
        : m_reader(reader),
          m_memory(memory),
          m_terms(terms),
          m_termCount(termCount),
          m_segments(segments),
          m_segmentCount(segmentCount),
          m_length(length) {
        uint32_t withTerms = 0;
        for (uint32_t s = 0; s < segmentCount; ++s) withTerms += segments[s].termCount != 0;
        m_singleSegment = shortcuts && withTerms == 1;
        if (m_singleSegment) {
            m_values.resize(termCount);
            m_counts.resize(termCount);
        }
    }

    // Walks the pages; appends every page with hits and its count. With `within` (ascending),
    // pages outside it may be passed over: a word whose hits only count on those pages.
    void Run(const int32_t* firstBlock, const std::vector<uint32_t>* within,
             std::vector<uint32_t>& pages, std::vector<uint32_t>& counts) {
        m_firstBlock = firstBlock;
        for (uint32_t i = 0; i < m_termCount; ++i) {
            if (!m_reader.Start(m_terms[i], uint32_t(firstBlock[m_terms[i].slot]))) return;
            RecordPoint(m_terms[i], m_memory);
        }
        // Passing pages over skips their counts, and with them any fault a count could meet;
        // only streams read whole without fault have none, and only a word without "*" keeps
        // nothing from one page to the next.
        bool narrow = within != nullptr && m_singleSegment;
        for (uint32_t i = 0; narrow && i < m_termCount; ++i)
            narrow = m_terms[i].check && *m_terms[i].check == kSlotClean;
        size_t next = 0;
        for (;;) {
            uint32_t target = m_terms[0].page;
            bool allEqual = true;
            for (uint32_t i = 1; i < m_termCount; ++i) {
                if (m_terms[i].page != m_terms[0].page) allEqual = false;
                target = std::max(target, m_terms[i].page);
            }
            if (narrow) {
                while (next < within->size() && (*within)[next] < target) ++next;
                if (next == within->size()) return;
                if ((*within)[next] > target) {
                    target = (*within)[next];
                    allEqual = false;
                }
            }
            if (allEqual) {
                const bool counted = m_singleSegment && CountCleanPage(target, pages, counts);
                if ((!counted && !MatchPage(target, pages, counts)) || target == UINT32_MAX)
                    return;
                ++target;
            }
            for (uint32_t i = 0; i < m_termCount; ++i) {
                Term& t = m_terms[i];
                if (t.guide && t.page < target) Leap(t, target);
                while (t.page < target) {
                    if (t.page == t.lastPage || !m_reader.SkipEntry(t) ||
                        !m_reader.ReadEntry(t, false))
                        return;
                    RecordPoint(t, m_memory);
                }
            }
        }
    }

private:
    // Moves t to its last skip point before page target when that lies ahead of it. Reading on
    // from t would pass through the same states (pages strictly increase, and every entry up to
    // the point was read without fault when the point was kept), so nothing else changes.
    void Leap(Term& t, uint32_t target) const {
        const std::vector<StreamPoint>& points = t.guide->points;
        size_t next = t.entry / kSkipInterval + 1;
        if (next >= points.size() || points[next].page >= target) return;
        // The last point before target: galloping from next, as most leaps are short.
        size_t low = next, step = 1;
        while (low + step < points.size() && points[low + step].page < target) {
            low += step;
            step *= 2;
        }
        size_t high = std::min(low + step, points.size());
        while (high - low > 1) {
            const size_t mid = low + (high - low) / 2;
            (points[mid].page < target ? low : high) = mid;
        }
        m_reader.Resume(t, points[low], uint32_t(low) * kSkipInterval);
    }

    uint32_t SegmentStart(uint32_t s) const { return s == 0 ? 0 : m_segments[s - 1].end; }
    uint32_t MaxAligned(uint32_t from, uint32_t to) const {
        uint32_t best = m_terms[from].aligned;
        for (uint32_t i = from + 1; i < to; ++i) best = std::max(best, m_terms[i].aligned);
        return best;
    }

    // Keeps the first n values of candidates that the first m of other hold too; both strictly
    // increase. Returns how many are kept.
    static size_t KeepCommon(uint32_t* candidates, size_t n, const uint32_t* other, size_t m) {
        size_t i = 0, j = 0, kept = 0;
        while (i < n && j < m) {
            const uint32_t a = candidates[i], b = other[j];
            candidates[kept] = a;
            kept += a == b;
            i += a <= b;
            j += b <= a;
        }
        return kept;
    }

    // Keeps the first n candidates (ascending) that t's entry holds as aligned values, reading
    // the entry only up to the last candidate. The entry lies in one block and reads cleanly.
    size_t KeepInEntry(uint32_t* candidates, size_t n, const Term& t, uint32_t shift) const {
        const uint8_t* bytes = m_reader.BlockBytes(t) + t.offset;
        const uint32_t last = candidates[n - 1];
        uint32_t aligned = shift;
        size_t q = 0, i = 0, kept = 0;
        while (q < t.remaining) {
            const uint32_t b0 = bytes[q];
            if (b0 < 0x80) {
                aligned += b0;
                q += 1;
            } else if (b0 < 0xC0) {
                aligned += (b0 & 0x3F) << 8 | bytes[q + 1];
                q += 2;
            } else {
                aligned += (b0 & 0x3F) << 16 | uint32_t(bytes[q + 1]) << 8 | bytes[q + 2];
                q += 3;
            }
            while (candidates[i] < aligned && ++i < n) {
            }
            if (i == n) break;
            if (candidates[i] == aligned) candidates[kept++] = candidates[i++];
            if (i == n || aligned >= last) break;
        }
        return kept;
    }

    // A word without "*" between its terms, on a page where every term's entry reads cleanly:
    // MatchPage would then count exactly the aligned values that all terms share (each round
    // moves every term below the largest value, a round where all are equal is a hit) and never
    // fail, so count those directly. The terms stay at the start of their entries; Run skips
    // them as it skips partly read ones. False, with nothing changed, when MatchPage must walk.
    bool CountCleanPage(uint32_t page, std::vector<uint32_t>& pages,
                        std::vector<uint32_t>& counts) {
        bool allClean = true;
        for (uint32_t i = 0; i < m_termCount; ++i)
            allClean = allClean && m_terms[i].check && *m_terms[i].check == kSlotClean;
        // Terms with the fewest position bytes first, so that the candidates shrink early.
        std::array<uint32_t, kMaxTerms> order;
        order[0] = 0;
        for (uint32_t i = 1; i < m_termCount; ++i) {
            uint32_t j = i;
            for (; j > 0 && m_terms[order[j - 1]].remaining > m_terms[i].remaining; --j)
                order[j] = order[j - 1];
            order[j] = i;
        }
        // Entries of clean slots read cleanly, so once no candidate is left the rest need not be
        // read; otherwise every entry is read first, to know that MatchPage would not fail.
        const uint32_t first = order[0];
        for (uint32_t k = 0; !allClean && k < m_termCount; ++k) {
            const Term& t = m_terms[order[k]];
            if (!DecodeEntry(m_reader, t, m_length - 1 - t.keyPos, m_values[k], m_counts[k])) {
                if (t.check) *t.check = kSlotFaulty;
                return false;
            }
        }
        const Term& lone = m_terms[first];
        if (allClean && m_termCount == 1 && lone.offset + lone.remaining <= lone.limit) {
            // Every position of a one-character word is a hit: count the numbers.
            pages.push_back(page);
            counts.push_back(
                uint32_t(CountNumbers(m_reader.BlockBytes(lone) + lone.offset, lone.remaining)));
            return true;
        }
        if (allClean)
            DecodeEntry(m_reader, m_terms[first], m_length - 1 - m_terms[first].keyPos,
                        m_values[0], m_counts[0]);
        size_t hits = m_counts[0];
        for (uint32_t k = 1; k < m_termCount && hits != 0; ++k) {
            const Term& t = m_terms[order[k]];
            if (allClean && t.offset + t.remaining <= t.limit) {
                hits = KeepInEntry(m_values[0].data(), hits, t, m_length - 1 - t.keyPos);
                continue;
            }
            if (allClean)
                DecodeEntry(m_reader, t, m_length - 1 - t.keyPos, m_values[k], m_counts[k]);
            hits = KeepCommon(m_values[0].data(), hits, m_values[k].data(), m_counts[k]);
        }
        if (hits != 0) {
            pages.push_back(page);
            counts.push_back(uint32_t(hits));
        }
        // A slot whose entries keep being read first is read whole once, so that later pages
        // (and later words) need read only as many terms as it takes to rule a page out.
        for (uint32_t i = 0; !allClean && i < m_termCount; ++i) {
            uint8_t* check = m_terms[i].check;
            if (check && *check < kCheckAfter && ++*check == kCheckAfter) CheckSlot(m_terms[i]);
        }
        return true;
    }

    // Reads the stream of t's slot whole, as a term would, keeping skip points on the way, and
    // notes whether every entry reads cleanly.
    void CheckSlot(const Term& term) {
        Term t = term;
        size_t count;
        bool clean = m_reader.Start(t, uint32_t(m_firstBlock[t.slot]));
        while (clean) {
            RecordPoint(t, m_memory);
            clean = DecodeEntry(m_reader, t, kMaxShift, m_scratch, count);
            if (!clean || t.page == t.lastPage) break;
            clean = m_reader.SkipEntry(t) && m_reader.ReadEntry(t, false);
        }
        *term.check = clean ? kSlotClean : kSlotFaulty;
    }

    // Counts the occurrences on page. False when a stream turned out corrupt.
    bool MatchPage(uint32_t page, std::vector<uint32_t>& pages, std::vector<uint32_t>& counts) {
        uint32_t hits = 0;
        for (uint32_t i = 0; i < m_termCount; ++i) {
            uint32_t pos;
            if (!m_reader.ReadPosition(m_terms[i], pos)) return false;
            m_terms[i].aligned = (m_length - 1 - m_terms[i].keyPos) + pos;
        }
        for (;;) {
            bool ok = true;
            uint32_t failed = 0;
            uint32_t first = 0;
            while (m_segments[first].termCount == 0) ++first;
            uint32_t limit = MaxAligned(SegmentStart(first), m_segments[first].end);

            bool adjacencyFailed = false;
            for (uint32_t s = first; s < m_segmentCount && !adjacencyFailed; ++s) {
                for (uint32_t i = SegmentStart(s); i + 1 < m_segments[s].end; ++i) {
                    if (m_terms[i].aligned != m_terms[i + 1].aligned) {
                        ok = false;
                        failed = s;
                        adjacencyFailed = true;
                        break;
                    }
                }
            }
            if (ok) {
                // Order and gap between each segment with terms and the next one.
                for (uint32_t s = first; s < m_segmentCount; ++s) {
                    if (m_segments[s].termCount == 0 || m_segments[s].end >= m_termCount) continue;
                    m_gap = false;
                    uint32_t x = m_terms[m_segments[s].end - 1].aligned;
                    uint32_t y = m_terms[m_segments[s].end].aligned;
                    if (y < x) {
                        ok = false;
                        failed = s;
                        limit = MaxAligned(0, m_segments[s].end);
                        break;
                    }
                    if (y - x > kMaxGap) {
                        m_gap = true;
                        ok = false;
                        failed = s;
                        limit = MaxAligned(0, m_termCount);
                        break;
                    }
                }
            }
            if (adjacencyFailed) limit = MaxAligned(0, m_segments[failed].end);
            if (ok) {
                if (hits == 0) {
                    pages.push_back(page);
                    counts.push_back(1);
                } else {
                    ++counts.back();
                }
                ++hits;
                ++limit;
            }
            uint32_t start = m_gap ? 0 : SegmentStart(failed);
            for (uint32_t i = start; i < m_termCount; ++i) {
                Term& t = m_terms[i];
                if (t.aligned >= limit) continue;
                if (t.remaining == 0) return true;  // this page is done
                uint32_t pos;
                if (!m_reader.ReadPosition(t, pos)) return false;
                t.aligned += pos;
            }
        }
    }

    const StreamReader& m_reader;
    GuideMemory& m_memory;
    const int32_t* m_firstBlock = nullptr;
    std::vector<uint32_t> m_scratch;
    Term* m_terms;
    uint32_t m_termCount;
    const Segment* m_segments;
    uint32_t m_segmentCount;
    uint32_t m_length;
    bool m_gap = false;  // kept from page to page within the word
    bool m_singleSegment = false;             // all terms in one segment
    std::vector<std::vector<uint32_t>> m_values;  // per term: aligned values on the page
    std::vector<size_t> m_counts;                 // per term: how many of them
};

// Drops the guides used longest ago until those left take three quarters of the memory kept
// for them. No term holds a guide between words.
void DropOldGuides(std::unordered_map<int32_t, SlotGuide>& guides, GuideMemory& memory) {
    std::vector<std::pair<uint64_t, int32_t>> byUse;
    byUse.reserve(guides.size());
    for (const auto& [slot, guide] : guides) byUse.emplace_back(guide.lastUse, slot);
    std::sort(byUse.begin(), byUse.end());
    for (const auto& [lastUse, slot] : byUse) {
        if (memory.used <= memory.limit / 4 * 3) break;
        auto found = guides.find(slot);
        memory.used -= kGuideOverhead + found->second.points.capacity() * sizeof(StreamPoint);
        guides.erase(found);
    }
}

}  // namespace

int CIndex::CountKeywords(std::u16string_view keywords) {
    int words = 0;
    bool inWord = false;
    for (char16_t u : UpToNul(keywords)) {
        if (u == u' ' || u == u'\u3000') {
            inWord = false;
        } else if (u >= 0x100 || u == u'*' || u == u'?') {
            if (!inWord) ++words;
            inWord = true;
        } else {
            return 0;
        }
    }
    return words;
}

void CIndex::ClearResults() {
    m_resultPages.clear();
    m_resultCounts.clear();
    m_nResultCount = 0;
}

int CIndex::SearchAnd(std::u16string& keywords, uint8_t bVariant) {
    return SearchWords(keywords, bVariant, kReplace, kIntersect);
}

int CIndex::SearchOr(std::u16string& keywords, uint8_t bVariant) {
    return SearchWords(keywords, bVariant, kMerge, kMerge);
}

int CIndex::SearchWords(std::u16string& keywords, uint8_t bVariant, CombineMode first,
                        CombineMode later) {
    if (CountKeywords(keywords) == 0) return 0;
    ClearResults();
    const size_t end = UpToNul(keywords).size();
    int total = 0;
    bool firstWord = true;
    size_t start = 0;
    for (size_t i = 0; i <= end; ++i) {
        if (i < end && keywords[i] != u' ') continue;
        if (i < end) keywords[i] = u'\u3000';
        if (i > start) {
            total += SearchWord(std::u16string_view(keywords).substr(start, i - start),
                                firstWord ? first : later, bVariant);
            firstWord = false;
        }
        start = i + 1;
    }
    return total;
}

int CIndex::SearchWord(std::u16string_view word, CombineMode mode, uint8_t bVariant) {
    // Normal form: no leading "*", runs of "*" made one, one "*" at the end.
    std::u16string normal;
    size_t i = 0;
    while (i < word.size() && word[i] == u'*') ++i;
    for (; i < word.size(); ++i)
        if (word[i] != u'*' || normal.back() != u'*') normal += word[i];
    if (!normal.empty() && normal.back() != u'*') normal += u'*';

    // Characters the index does not know are dropped, as if they were not in the word.
    std::u16string kept;
    for (size_t j = 0; j < normal.size();) {
        uint32_t c;
        size_t n = DecodeAt(normal, j, c);
        if (c == u'*' || c == u'?' || CharToSlot(c) >= 0) kept.append(normal, j, n);
        j += n;
    }

    std::array<Term, kMaxTerms> terms;
    std::array<Segment, kMaxSegments> segments;
    uint32_t m = 0, k = 0, c = 0, p = 0;
    // A word longer than the search has room for yields no terms, as does a closed index.
    bool usable = IsOpen() && normal.size() + 1 <= kMaxWordUnits;
    for (size_t j = 0; usable && j < kept.size();) {
        uint32_t cp;
        size_t n = DecodeAt(kept, j, cp);
        j += n;
        if (cp == u'*') {
            if (k == kMaxSegments) {
                usable = false;
                break;
            }
            segments[k++] = {c, m};
            c = 0;
        } else if (IsWildcardOne(char16_t(cp))) {
            ++p;
        } else {
            int32_t slot = CharToSlot(cp);
            if (bVariant) FindVariantSlot(cp, slot);
            if (m_pFirstBlock[size_t(slot)] == -1 || m == kMaxTerms) {
                usable = false;
                break;
            }
            terms[m] = Term{slot, p, 0, 0, 0, 0, 0, m_pLastPage[size_t(slot)], 0, 0, 0, nullptr,
                            nullptr};
            ++m;
            ++c;
            ++p;
        }
    }
    if (!usable || m == 0) {
        if (mode != kMerge) ClearResults();
        return 0;
    }

    std::vector<uint32_t> pages, counts, within;
    if (mode == kIntersect) {
        // Only pages the earlier words found can stay in the results.
        within.assign(m_resultPages.begin(), m_resultPages.begin() + m_nResultCount);
        std::sort(within.begin(), within.end());
    }
    StreamReader reader(m_pPostings, m_postings.Size(), m_pNextBlock.data(), m_nNextBlockCount,
                        m_nBlockCount);
    // Terms of a word with several terms leapfrog, so the slow ones may leap over what earlier
    // terms of their slot have walked.
    ++m_wordSearches;
    if (m_guideMemory.used > m_guideMemory.limit) DropOldGuides(m_slotGuides, m_guideMemory);
    if (m_useShortcuts && m_slotChecks.empty()) m_slotChecks.assign(size_t(kSlotCount), 0);
    for (uint32_t j = 0; m_useShortcuts && j < m; ++j)
        terms[j].check = &m_slotChecks[size_t(terms[j].slot)];
    if (m_useShortcuts && m > 1) {
        for (uint32_t j = 0; j < m; ++j) {
            const int32_t slot = terms[j].slot;
            auto [found, added] = m_slotGuides.try_emplace(slot);
            if (added) m_guideMemory.used += kGuideOverhead;
            found->second.lastUse = m_wordSearches;
            terms[j].guide = &found->second;
        }
    }
    WordMatcher(reader, terms.data(), m, segments.data(), k, p, m_useShortcuts, m_guideMemory)
        .Run(m_pFirstBlock.data(), mode == kIntersect ? &within : nullptr, pages, counts);
    Combine(pages, counts, mode);
    return m_nResultCount;
}

void CIndex::Combine(const std::vector<uint32_t>& pages, const std::vector<uint32_t>& counts,
                     CombineMode mode) {
    if (mode == kReplace) {
        m_resultPages = pages;
        m_resultCounts = counts;
        m_nResultCount = int(pages.size());
        return;
    }
    // Where each page stands among the first m_nResultCount results (the first entry if twice).
    std::vector<std::pair<uint32_t, uint32_t>> byPage(static_cast<size_t>(m_nResultCount));
    for (uint32_t j = 0; j < uint32_t(m_nResultCount); ++j) byPage[j] = {m_resultPages[j], j};
    std::sort(byPage.begin(), byPage.end());
    auto find = [&](uint32_t page, uint32_t& j) {
        auto it = std::lower_bound(byPage.begin(), byPage.end(), std::pair{page, 0u});
        if (it == byPage.end() || it->first != page) return false;
        j = it->second;
        return true;
    };

    if (mode == kMerge) {
        for (size_t i = 0; i < pages.size(); ++i) {
            uint32_t j;
            if (find(pages[i], j)) {
                m_resultCounts[j] += counts[i];
            } else {
                m_resultPages.push_back(pages[i]);
                m_resultCounts.push_back(counts[i]);
            }
        }
        m_nResultCount = int(m_resultPages.size());
        return;
    }
    std::vector<uint32_t> newPages, newCounts;
    for (size_t i = 0; i < pages.size(); ++i) {
        uint32_t j;
        if (find(pages[i], j)) {
            newPages.push_back(pages[i]);
            newCounts.push_back(counts[i] + m_resultCounts[j]);
        }
    }
    m_resultPages.swap(newPages);
    m_resultCounts.swap(newCounts);
    m_nResultCount = int(m_resultPages.size());
}

}  // namespace kolva
