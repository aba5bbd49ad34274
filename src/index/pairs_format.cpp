// The pairs file's header: one encoder for the writer, one decoder for the reader.
#include "index/pairs_format.h"

#include <cstring>

#include "platform/checksum.h"
#include "platform/coding.h"

namespace kolva {

namespace {
constexpr size_t kChecksumAt = 120;  // the header's own checksum covers the bytes before it
}  // namespace

std::string EncodePairsHeader(const PairsHeader& h) {
    std::string out(kPairsMagic, sizeof kPairsMagic);
    PutLE32(out, kPairsVersion);
    PutLE32(out, kPairsHeaderSize);
    PutLE64(out, h.fileSize);
    PutLE64(out, h.fingerprint.headerSize);
    PutLE64(out, h.fingerprint.headerChecksum);
    PutLE64(out, h.fingerprint.postingsSize);
    PutLE64(out, h.fingerprint.postingsChecksum);
    PutLE64(out, h.fingerprint.tableSize);
    PutLE64(out, h.fingerprint.tableChecksum);
    PutLE32(out, h.pageLimit);
    PutLE32(out, h.keyCount);
    PutLE32(out, h.pairCount);
    PutLE32(out, h.aliasCount);
    PutLE64(out, h.listsSize);
    PutLE64(out, h.tablesChecksum);
    PutLE32(out, h.apartCount);
    PutLE32(out, h.pointSlots);
    PutLE64(out, h.pointsSize);
    PutLE64(out, Checksum64(out.data(), kChecksumAt));
    return out;
}

bool DecodePairsHeader(const uint8_t* data, uint64_t size, PairsHeader& h) {
    if (size < kPairsHeaderSize || std::memcmp(data, kPairsMagic, sizeof kPairsMagic) != 0 ||
        LoadLE32(data + 8) != kPairsVersion || LoadLE32(data + 12) != kPairsHeaderSize ||
        LoadLE64(data + kChecksumAt) != Checksum64(data, kChecksumAt))
        return false;
    h.fileSize = LoadLE64(data + 16);
    h.fingerprint.headerSize = LoadLE64(data + 24);
    h.fingerprint.headerChecksum = LoadLE64(data + 32);
    h.fingerprint.postingsSize = LoadLE64(data + 40);
    h.fingerprint.postingsChecksum = LoadLE64(data + 48);
    h.fingerprint.tableSize = LoadLE64(data + 56);
    h.fingerprint.tableChecksum = LoadLE64(data + 64);
    h.pageLimit = LoadLE32(data + 72);
    h.keyCount = LoadLE32(data + 76);
    h.pairCount = LoadLE32(data + 80);
    h.aliasCount = LoadLE32(data + 84);
    h.listsSize = LoadLE64(data + 88);
    h.tablesChecksum = LoadLE64(data + 96);
    h.apartCount = LoadLE32(data + 104);
    h.pointSlots = LoadLE32(data + 108);
    h.pointsSize = LoadLE64(data + 112);
    return true;
}

}  // namespace kolva
