#include "index/postings_stream.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kolva {

namespace {

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

}  // namespace

bool DecodeEntry(const StreamReader& reader, const StreamCursor& t, uint64_t shift,
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
                const uint32_t value = GetPostingNumber(base + q + r);
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

// A number is one byte more for each of the two high bits of its first byte (as
// PostingNumberLength says); runs of one-byte numbers are counted sixteen at a time.
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
        q += PostingNumberLength(bytes[q]);
        ++count;
    }
    return count;
}

}  // namespace kolva
