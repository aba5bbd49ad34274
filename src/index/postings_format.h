// The format of an index pair, shared by the writer (writer/index_writer.cpp) and the reader
// (index.cpp, postings_stream.*). Every integer of the header file is little-endian.
//
//   header file "<base>[_desc|_content]-idx.h"
//   +0          int32[100000]   first block of each slot's postings, -1 = no postings
//   +400000     200000 bytes    unused by the search (zeros)
//   +600000     400000 bytes    unused by the search (zeros)
//   +1000000    uint32[100000]  page index of the last page entry of each slot
//   +1400000    uint32[N]       next-block table: block b continues in block next[b]
//
//   postings file "<...>-idx.m": blocks of 4096 bytes, no header. A slot's postings are one
//   byte stream that starts at byte 0 of its first block and runs on through next[] whenever a
//   read passes a block's end (so any item below may be split between two blocks):
//       stream      := entry+                       pages strictly ascending
//       entry       := number    page delta         the first entry's delta is its page index;
//                                                   later deltas are above 0
//                      count     uint16, low byte first: bytes of the position data, at least 1
//                      number+   position deltas    the first is the position itself; later
//                                                   deltas are above 0
//       number      := 0xxxxxxx                     0 .. 127
//                    | 10xxxxxx b                   up to 16,383
//                    | 11xxxxxx b b                 up to 4,194,303 (high part first)
//   There is no terminator: the entry whose page is the slot's last page (header +1000000) ends
//   the stream, and nothing is read after it.
#pragma once

#include <cstdint>

namespace kolva {

constexpr int kSlotCount = 100000;               // entries of each per-slot table
constexpr uint32_t kBlockSize = 4096;            // bytes of a postings block
constexpr uint64_t kUnusedRegionsSize = 600000;  // the two regions after the first-block table
constexpr uint64_t kLastPageTableOffset = 1000000;
constexpr uint64_t kHeaderTablesSize = 1400000;  // the four tables before the next-block table
constexpr int32_t kNoPostings = -1;              // first-block entry of a slot without postings

// A posting number: a page delta or a position delta.
constexpr uint32_t kMaxPostingNumber = 4194303;  // largest 3-byte number
constexpr uint32_t kMaxPostingNumberBytes = 3;

// Bytes of the number whose first byte is first: one more for each of its two high bits.
inline uint32_t PostingNumberLength(uint8_t first) {
    return 1 + uint32_t(first >= 0x80) + uint32_t(first >= 0xC0);
}

// Writes value (at most kMaxPostingNumber) at out, which has room for kMaxPostingNumberBytes;
// returns the end of what was written.
inline char* PutPostingNumber(char* out, uint32_t value) {
    if (value < 0x80) {
        out[0] = char(value);
        return out + 1;
    }
    if (value < 0x4000) {
        out[0] = char(0x80 | value >> 8);
        out[1] = char(value & 0xFF);
        return out + 2;
    }
    out[0] = char(0xC0 | value >> 16);
    out[1] = char(value >> 8 & 0xFF);
    out[2] = char(value & 0xFF);
    return out + 3;
}

// The number that starts at in, and its length in bytes (PostingNumberLength(in[0]): only those
// bytes are read). The length is decided by branches, not computed from the first byte, so that
// a loop over numbers need not wait for one number's load to find the next.
inline uint32_t GetPostingNumber(const uint8_t* in, uint32_t& length) {
    const uint32_t b0 = in[0];
    if (b0 < 0x80) {
        length = 1;
        return b0;
    }
    const uint32_t two = (b0 & 0x3F) << 8 | in[1];
    if (b0 < 0xC0) {
        length = 2;
        return two;
    }
    length = 3;
    return two << 8 | in[2];
}

// The byte count of an entry's position data (0 .. 65535), at out / in.
constexpr uint32_t kEntryCountBytes = 2;
inline void PutEntryByteCount(char* out, uint32_t count) {
    out[0] = char(count & 0xFF);
    out[1] = char(count >> 8 & 0xFF);
}
inline uint32_t GetEntryByteCount(const uint8_t* in) {
    return uint32_t(in[0]) | uint32_t(in[1]) << 8;
}

}  // namespace kolva
