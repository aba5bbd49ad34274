// The pairs file "<base>[_desc|_content]-idx.pairs": which pages hold two frequent characters
// side by side, or one apart, written by the accelerator writer and read by the search. It is ours, beside the
// ten data files, and optional: the search uses it only to pass over pages that cannot hold a
// phrase, and only when it was made from exactly the index and variant table beside it.
//
//   header, kPairsHeaderSize bytes (little-endian):
//     +0    char[8]  kPairsMagic
//     +8    uint32   kPairsVersion
//     +12   uint32   kPairsHeaderSize
//     +16   uint64   size of the whole file
//     +24   uint64   fingerprint: size of the index header file (-idx.h)
//     +32   uint64   fingerprint: checksum of the whole index header file
//     +40   uint64   fingerprint: size of the postings file (-idx.m)
//     +48   uint64   fingerprint: checksum of the postings samples (PostingsSamples)
//     +56   uint64   fingerprint: size of yitizi.txt, kNoFile when there is none
//     +64   uint64   fingerprint: checksum of yitizi.txt
//     +72   uint32   page limit P: every page in a list is below it
//     +76   uint32   key count K, at most kMaxPairKeys
//     +80   uint32   pair count M: pairs of neighbouring keys
//     +84   uint32   alias count A
//     +88   uint64   size of the list area
//     +96   uint64   checksum of the tables before the directory (everything from the header's
//                    end to the directory: the directory is checked a row at a time)
//     +104  uint32   pair count N: pairs of keys one position apart
//     +108  uint32   slot count S of the points area
//     +112  uint64   size of the points area
//     +120  uint64   checksum of bytes 0..119
//   tables, right after the header:
//     uint8[kSlotBits / 8]  clean bits: bit s (byte s/8, bit s%8) set when slot s's whole
//                           postings stream reads without a fault
//     uint32[K]             keys, ascending: a key's rank is its place here
//     uint32[K + 1]         row starts: the pairs whose first key has rank r are entries
//                           rowStart[r] .. rowStart[r+1] - 1 of the directory (all below M)
//     uint32[K + 1]         row starts of the pairs one apart, the same way (from M to M + N)
//     {uint32 slot, uint32 key}[A]  aliases, ascending by slot: every character slot whose key
//                           is not the slot itself (the members of variant groups)
//     uint8[K]              1 when the key of that rank takes part in the pairs one apart (the
//                           kApartKeys keys on the most page entries), else 0
//     uint32[K]             page entries of the key of that rank (at most UINT32_MAX): the
//                           search moves the terms of rarer keys first
//     uint32[2K]            row checksums: the low half of the checksum of the directory entries
//                           of each row (the K rows of neighbouring pairs, then the K rows one
//                           apart), checked the first time a search reads the row, so that
//                           opening the file reads none of the directory
//     entry[M + N]          directory, 16 bytes an entry: the M neighbouring pairs, then the N
//                           pairs one apart, each part by first rank, then second rank:
//                             uint16 second rank, uint8 list kind, uint8 0,
//                             uint32 pages in the list (at least 1),
//                             uint32 offset of the list in the list area (lists lie in
//                                    directory order; a list ends where the next begins),
//                             uint32 low half of the checksum of the list's bytes
//   list area (its size: the file's less the header, the tables and the points area): the lists
//     kind kPairList:   varint page deltas, LEB128 (7 bits a byte, low first, at most 5 bytes);
//                       the first is the page itself, every later delta at least 1
//     kind kPairBitmap: (P + 7) / 8 bytes, bit p (byte p/8, bit p%8) set when page p holds it
//   points area, at the end of the file: stored skip points of the long clean streams
//     {uint32 slot, uint32 first point, uint32 point count, uint32 check}[S], ascending by slot;
//                       check: the low half of the checksum of the point bytes, seeded with
//                       the checksum of the entry's first 12 bytes
//     point[]:          16 bytes each, the state of the slot's stream right after reading the
//                       page delta and byte count of entries 0, kStoredPointInterval,
//                       2 kStoredPointInterval, ...: uint32 page, uint32 block,
//                       uint32 blocks entered, uint16 offset in the block, uint16 byte count
//
// Stored points. A search reaches a page far into a long stream by taking up reading at the last
// stored point before it instead of reading every entry before it, in a fresh process as in a
// long session. Only clean streams of at least kStoredPointsFrom entries have them.
//
// Keys. A character's key is the slot of the first variant group that holds it, else its own
// slot; a variant group's slot is its own key. So a key stands for a character with every form
// of it, and one list serves the search with the variant option on and off alike. Position x of
// page p has the keys of every slot whose postings hold x on p; the pair (a, b) lists p when some
// x has key a and x + 1 key b, the pair one apart when some x has key a and x + 2 key b
// (whatever stands between: a phrase's terms two apart, or a "?" between two terms). A key's page
// entries are those of the longest readable stream among its slots (a variant group's slot holds
// the pages of all its members). Only the K keys on the most page entries take part (in the pairs one apart only those marked so), and only
// the positions of clean slots: a phrase can use a list only when the streams of all its terms
// are clean, and a pair of two keys taking part that has no directory entry of its distance is
// on no page.
#pragma once

#include <cstdint>
#include <string>

namespace kolva {

constexpr char kPairsMagic[8] = {'K', 'O', 'L', 'V', 'A', 'P', 'R', '1'};
constexpr uint32_t kPairsVersion = 3;  // 3: row checksums, stored points
constexpr uint32_t kPairsHeaderSize = 128;
constexpr uint64_t kNoFile = ~uint64_t(0);
constexpr uint32_t kMaxPairKeys = 1024;
constexpr uint32_t kApartKeys = 256;  // keys taking part in the pairs one apart, at most
constexpr uint32_t kPairEntrySize = 16;
constexpr uint32_t kSlotBits = 100000;  // one per slot
constexpr uint8_t kPairList = 0;
constexpr uint8_t kPairBitmap = 1;
constexpr uint32_t kStoredPointInterval = 64;  // entries between two stored points
constexpr uint32_t kStoredPointsFrom = 512;    // entries a stream needs to have stored points
constexpr uint32_t kStoredPointSize = 16;
constexpr uint32_t kPointSlotEntrySize = 16;
// The reader keeps lists of page deltas of at least this many pages decoded once searches have
// asked for them twice, up to this much memory.
constexpr uint32_t kDecodedListsFrom = 1024;
constexpr size_t kDecodedListsMemory = size_t(2) << 20;
// Postings blocks whose bytes enter the fingerprint: all of a small file, else this many spread
// evenly over it (the first and the last among them).
constexpr uint32_t kPostingsSamples = 256;

// The suffix of a pairs file after the index file stem, e.g. "Index_desc" + kPairsSuffix.
constexpr const char* kPairsSuffix = "-idx.pairs";

// What a pairs file was made from: the index pair and the variant table beside it.
struct PairsFingerprint {
    uint64_t headerSize = 0, headerChecksum = 0;
    uint64_t postingsSize = 0, postingsChecksum = 0;
    uint64_t tableSize = kNoFile, tableChecksum = 0;
    bool operator==(const PairsFingerprint&) const = default;
};

// The header's fields, as drawn above (magic, version, header size and the header's own checksum
// are the encoder's and the decoder's business).
struct PairsHeader {
    uint64_t fileSize = 0;          // size of the whole file
    PairsFingerprint fingerprint;   // the files it was made from
    uint32_t pageLimit = 0;         // P
    uint32_t keyCount = 0;          // K
    uint32_t pairCount = 0;         // M, neighbouring pairs
    uint32_t aliasCount = 0;        // A
    uint64_t listsSize = 0;         // size of the list area
    uint64_t tablesChecksum = 0;    // checksum of the tables
    uint32_t apartCount = 0;        // N, pairs one apart
    uint32_t pointSlots = 0;        // S, slots with stored points
    uint64_t pointsSize = 0;        // size of the points area
};

// The kPairsHeaderSize bytes of header, its checksum included.
std::string EncodePairsHeader(const PairsHeader& header);
// Reads the header at data (size bytes in all). False when the bytes cannot be a header of this
// version: too short, another magic, version or header size, or a checksum that does not match.
// The fields are not checked against each other or against size.
bool DecodePairsHeader(const uint8_t* data, uint64_t size, PairsHeader& header);

}  // namespace kolva
