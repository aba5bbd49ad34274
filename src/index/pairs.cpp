// Reading a pairs file (format drawn in pairs_format.h). Every read is bounded by the mapping:
// the header and the tables are checked whole at open (their checksums and their layout), a
// directory entry and its list when a search asks for them.
#include "index/pairs.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "index/slots.h"
#include "platform/coding.h"
#include "platform/checksum.h"

namespace kolva {

namespace {

// Size of the tables before the directory, for key count k and a aliases.
uint64_t TablesBeforeDirectory(uint64_t k, uint64_t a) {
    return kSlotBits / 8 + 4 * k + 8 * (k + 1) + 8 * a + 5 * k + 8 * k;
}

// Reads the LEB128 number at list.bytes[q] (low seven bits first) and moves q past it. False
// when the number runs past the list or beyond 35 bits.
bool ReadListNumber(const PageList& list, uint32_t& q, uint64_t& value) {
    value = 0;
    int shift = 0;
    uint8_t b;
    do {
        if (q == list.size || shift > 28) return false;
        b = list.bytes[q++];
        value |= uint64_t(b & 0x7F) << shift;
        shift += 7;
    } while (b & 0x80);
    return true;
}

}  // namespace

bool PostingsSamplesChecksum(const ReadOnlyFile& postings, uint64_t& sum) {
    uint64_t size;
    if (!postings.Size(size)) return false;
    const uint64_t blocks = (size + kBlockSize - 1) / kBlockSize;
    std::string bytes;
    if (blocks <= kPostingsSamples) {
        bytes.resize(size_t(size));
        if (!postings.ReadAt(0, bytes.data(), bytes.size())) return false;
        sum = Checksum64(bytes.data(), bytes.size());
        return true;
    }
    bytes.resize(kBlockSize);
    uint64_t h = 0;
    for (uint64_t i = 0; i < kPostingsSamples; ++i) {
        const uint64_t block = i * (blocks - 1) / (kPostingsSamples - 1);
        const uint64_t start = block * kBlockSize;
        const size_t n = size_t(std::min<uint64_t>(kBlockSize, size - start));
        if (!postings.ReadAt(start, bytes.data(), n)) return false;
        h = Checksum64(bytes.data(), n, h);
    }
    sum = h;
    return true;
}

bool FingerprintOf(const ReadOnlyFile& header, const ReadOnlyFile& postings,
                   const std::string* table, PairsFingerprint& out) {
    PairsFingerprint fp;
    if (!header.Size(fp.headerSize)) return false;
    // Read a piece at a time: through a mapping, the first touch of each of its pages costs
    // more than reading it (the real collection's 1.5 MB header: 1.3 ms against 0.75 ms).
    constexpr size_t kPiece = size_t(64) << 10;  // a multiple of 32
    const std::unique_ptr<uint8_t[]> piece(new uint8_t[kPiece]);
    Checksum64Pieces sum(fp.headerSize);
    for (uint64_t at = 0; at < fp.headerSize; at += kPiece) {
        const size_t n = size_t(std::min<uint64_t>(kPiece, fp.headerSize - at));
        if (!header.ReadAt(at, piece.get(), n)) return false;
        sum.Add(piece.get(), n);
    }
    fp.headerChecksum = sum.Sum();
    if (!postings.Size(fp.postingsSize) || !PostingsSamplesChecksum(postings, fp.postingsChecksum))
        return false;
    if (table) {
        fp.tableSize = table->size();
        fp.tableChecksum = Checksum64(table->data(), table->size());
    }
    out = fp;
    return true;
}

bool ComputePairsFingerprint(const std::filesystem::path& folder, const std::string& stem,
                             PairsFingerprint& out) {
    ReadOnlyFile header, postings;
    if (!header.Open(folder / (stem + "-idx.h")) || !postings.Open(folder / (stem + "-idx.m")))
        return false;
    std::string table;
    const bool hasTable = ReadWholeFile(folder / "yitizi.txt", table);
    return FingerprintOf(header, postings, hasTable ? &table : nullptr, out);
}

int32_t PairKey(int32_t slot, const std::vector<VariantGroup>& groups) {
    const uint32_t c = SlotToCodePoint(slot);
    if (c == UINT32_MAX) return slot;
    for (size_t g = 0; g < groups.size(); ++g)
        for (uint32_t member : groups[g])
            if (member == c) return kVariantSlotBase + int32_t(g);
    return slot;
}

std::vector<int32_t> PairKeys(const std::vector<VariantGroup>& groups) {
    std::vector<int32_t> keys(kSlotCount);
    std::vector<bool> grouped(kSlotCount, false);
    for (int32_t s = 0; s < kSlotCount; ++s) keys[size_t(s)] = s;
    for (size_t g = 0; g < groups.size(); ++g)
        for (uint32_t member : groups[g]) {
            const int32_t s = CharToSlot(member);
            if (s < 0 || grouped[size_t(s)]) continue;
            grouped[size_t(s)] = true;
            keys[size_t(s)] = kVariantSlotBase + int32_t(g);
        }
    return keys;
}

bool DecodePageList(const PageList& list, uint32_t pageLimit, std::vector<uint32_t>& pages) {
    pages.clear();
    if (list.kind == kPairBitmap) {
        if (list.size != (uint64_t(pageLimit) + 7) / 8) return false;
        for (uint32_t i = 0; i < list.size; ++i)
            for (uint32_t b = list.bytes[i]; b != 0; b &= b - 1) {
                const uint32_t page = i * 8 + uint32_t(__builtin_ctz(b));
                if (page >= pageLimit) return false;
                pages.push_back(page);
            }
        return pages.size() == list.count;
    }
    if (list.kind != kPairList) return false;
    // Every page takes at least one byte and lies below pageLimit: a count beyond either cannot
    // be read back, and the room reserved for it must not come from a damaged file.
    if (list.count > list.size || list.count > pageLimit) return false;
    pages.reserve(list.count);
    uint64_t page = 0;
    uint32_t q = 0;
    while (q < list.size) {
        uint64_t value;
        if (!ReadListNumber(list, q, value)) return false;
        if (!pages.empty() && value == 0) return false;
        page = pages.empty() ? value : page + value;
        if (page >= pageLimit || pages.size() == list.count) return false;
        pages.push_back(uint32_t(page));
    }
    return pages.size() == list.count;
}

bool KeepListedPages(const PageList& list, uint32_t pageLimit, std::vector<uint32_t>& candidates) {
    if (list.kind != kPairList) return false;
    uint64_t page = 0;
    uint32_t q = 0, read = 0;
    size_t i = 0, kept = 0;
    while (q < list.size && i < candidates.size()) {
        uint64_t value;
        if (!ReadListNumber(list, q, value)) return false;
        if (read != 0 && value == 0) return false;
        page = read == 0 ? value : page + value;
        if (page >= pageLimit || ++read > list.count) return false;
        while (i < candidates.size() && candidates[i] < page) ++i;
        if (i < candidates.size() && candidates[i] == page) candidates[kept++] = candidates[i++];
    }
    candidates.resize(kept);
    return true;
}

bool BitmapListSound(const PageList& list, uint32_t pageLimit) {
    const uint64_t size = (uint64_t(pageLimit) + 7) / 8;
    if (list.kind != kPairBitmap || list.size != size) return false;
    const size_t words = size_t((size + 7) / 8);
    uint64_t count = 0;
    for (size_t w = 0; w < words; ++w) count += uint64_t(__builtin_popcountll(BitmapWord(list, w)));
    // Every page the list holds lies below pageLimit, and it holds as many as it says.
    const uint32_t tail = pageLimit % 64;  // pages in the last word, when it is not full
    if (tail != 0 && BitmapWord(list, words - 1) >> tail != 0) return false;
    return count == list.count;
}

bool ReadPairsHeader(const uint8_t* data, uint64_t size, PairsHeader& h) {
    if (!DecodePairsHeader(data, size, h) || h.fileSize != size) return false;
    if (h.keyCount > kMaxPairKeys || uint64_t(h.pairCount) > uint64_t(h.keyCount) * h.keyCount ||
        uint64_t(h.apartCount) > uint64_t(h.keyCount) * h.keyCount || h.aliasCount > kSlotBits)
        return false;
    const uint64_t before = TablesBeforeDirectory(h.keyCount, h.aliasCount);
    const uint64_t tables =
        before + uint64_t(kPairEntrySize) * (uint64_t(h.pairCount) + h.apartCount);
    const uint64_t slotEntries = uint64_t(kPointSlotEntrySize) * h.pointSlots;
    if (h.pointSlots > kSlotBits || h.pointsSize < slotEntries ||
        (h.pointsSize - slotEntries) % kStoredPointSize != 0)
        return false;
    if (tables > size - kPairsHeaderSize || h.pointsSize > size - kPairsHeaderSize - tables ||
        h.listsSize != size - kPairsHeaderSize - tables - h.pointsSize ||
        h.listsSize > UINT32_MAX)
        return false;
    return h.tablesChecksum == Checksum64(data + kPairsHeaderSize, before);
}

bool PairsFile::Open(const std::filesystem::path& folder, const std::string& stem) {
    Close();
    PairsFingerprint expected;
    // (A collection without pairs files pays no fingerprint.)
    return std::filesystem::is_regular_file(folder / (stem + kPairsSuffix)) &&
           ComputePairsFingerprint(folder, stem, expected) && Open(folder, stem, expected);
}

bool PairsFile::Open(const std::filesystem::path& folder, const std::string& stem,
                     const PairsFingerprint& expected) {
    Close();
    PairsHeader header;
    if (!m_file.Open(folder / (stem + kPairsSuffix))) return false;
    m_reader.Open(folder / (stem + kPairsSuffix));  // without it, nothing is copied
    const uint8_t* data = m_file.Data();
    if (!ReadPairsHeader(data, m_file.Size(), header) || !(expected == header.fingerprint)) {
        Close();
        return false;
    }
    m_pageLimit = header.pageLimit;
    m_keyCount = header.keyCount;
    m_pairCount = header.pairCount;
    m_aliasCount = header.aliasCount;
    m_apartCount = header.apartCount;
    m_clean = data + kPairsHeaderSize;
    m_keys = m_clean + kSlotBits / 8;
    m_rowStarts = m_keys + 4 * uint64_t(m_keyCount);
    m_apartRowStarts = m_rowStarts + 4 * (uint64_t(m_keyCount) + 1);
    m_aliases = m_apartRowStarts + 4 * (uint64_t(m_keyCount) + 1);
    m_apartKeys = m_aliases + 8 * uint64_t(m_aliasCount);
    m_keyEntries = m_apartKeys + m_keyCount;
    m_rowChecksums = m_keyEntries + 4 * uint64_t(m_keyCount);
    m_directory = m_rowChecksums + 8 * uint64_t(m_keyCount);
    m_lists = m_directory + uint64_t(kPairEntrySize) * (uint64_t(m_pairCount) + m_apartCount);
    m_listsSize = header.listsSize;
    m_pointSlots = m_lists + m_listsSize;
    m_pointSlotCount = header.pointSlots;
    m_points = m_pointSlots + uint64_t(kPointSlotEntrySize) * m_pointSlotCount;
    m_pointCount = (header.pointsSize - uint64_t(kPointSlotEntrySize) * m_pointSlotCount) /
                   kStoredPointSize;
    m_checked.Reset(size_t((uint64_t(m_pairCount) + m_apartCount + 7) / 8));
    m_rowChecked.Reset(size_t((2 * uint64_t(m_keyCount) + 7) / 8));
    m_listUses.Reset(size_t(uint64_t(m_pairCount) + m_apartCount));
    return true;
}

void PairsFile::Close() {
    m_file.Close();
    m_reader.Close();
    m_listCopies.Clear();
    m_pointsOfSlot.Clear();
    m_pointsFound.clear();
    m_pointPages.clear();
    m_rowCopies.Clear();
    m_clean = m_keys = m_rowStarts = m_apartRowStarts = m_aliases = m_apartKeys = nullptr;
    m_keyEntries = m_rowChecksums = m_directory = m_lists = nullptr;
    m_listsSize = 0;
    m_pointSlots = m_points = nullptr;
    m_pointSlotCount = 0;
    m_pointCount = 0;
    m_checked.Reset(0);
    m_rowChecked.Reset(0);
    m_listUses.Reset(0);
    m_decoded.clear();
    m_decodedBytes = 0;
    m_pageLimit = m_keyCount = m_pairCount = m_apartCount = m_aliasCount = 0;
}

bool PairsFile::SlotClean(int32_t slot) const {
    if (!IsOpen() || slot < 0 || uint32_t(slot) >= kSlotBits) return false;
    return m_clean[slot / 8] >> (slot % 8) & 1;
}

int32_t PairsFile::Key(int32_t slot) const {
    uint32_t low = 0, high = m_aliasCount;
    while (low < high) {
        const uint32_t mid = low + (high - low) / 2;
        const int64_t s = LoadLE32(m_aliases + 8 * uint64_t(mid));
        if (s == slot) return int32_t(LoadLE32(m_aliases + 8 * uint64_t(mid) + 4));
        if (s < slot) low = mid + 1;
        else high = mid;
    }
    return slot;
}

bool PairsFile::TakesPartApart(int32_t rank) const {
    return IsOpen() && rank >= 0 && uint32_t(rank) < m_keyCount && m_apartKeys[rank] != 0;
}

uint32_t PairsFile::KeyEntries(int32_t rank) const {
    if (!IsOpen() || rank < 0 || uint32_t(rank) >= m_keyCount) return 0;
    return LoadLE32(m_keyEntries + 4 * uint64_t(rank));
}

int32_t PairsFile::Rank(int32_t key) const {
    uint32_t low = 0, high = m_keyCount;
    while (low < high) {
        const uint32_t mid = low + (high - low) / 2;
        const int64_t k = LoadLE32(m_keys + 4 * uint64_t(mid));
        if (k == key) return int32_t(mid);
        if (k < key) low = mid + 1;
        else high = mid;
    }
    return -1;
}

StoredPoints PairsFile::PointsOf(int32_t slot) const {
    if (!IsOpen() || slot < 0) return {};
    if (const StoredPoints* kept = m_pointsOfSlot.Find(uint32_t(slot))) return *kept;
    m_pointsFound.push_back(ReadPointsOf(slot));
    m_pointsOfSlot.Insert(uint32_t(slot), &m_pointsFound.back());
    return m_pointsFound.back();
}

StoredPoints PairsFile::ReadPointsOf(int32_t slot) const {
    uint32_t low = 0, high = m_pointSlotCount;
    while (low < high) {
        const uint32_t mid = low + (high - low) / 2;
        const uint8_t* e = m_pointSlots + uint64_t(kPointSlotEntrySize) * mid;
        const int64_t s = LoadLE32(e);
        if (s < slot) {
            low = mid + 1;
            continue;
        }
        if (s > slot) {
            high = mid;
            continue;
        }
        const uint64_t first = LoadLE32(e + 4), count = LoadLE32(e + 8);
        if (first > m_pointCount || count > m_pointCount - first || count == 0) return {};
        StoredPoints points{m_points + uint64_t(kStoredPointSize) * first, uint32_t(count),
                            kStoredPointInterval};
        bool failed;
        const uint8_t* copy = CopyOf(points.bytes, uint64_t(kStoredPointSize) * count, failed);
        if (copy) points.bytes = copy;
        const uint64_t seed = Checksum64(e, 12);
        if (failed || uint32_t(Checksum64(points.bytes, size_t(kStoredPointSize) * count,
                                          seed)) != LoadLE32(e + 12))
            return {};
        // A leap searches the pages of the points, four bytes apart here instead of sixteen.
        std::vector<uint32_t>& pages = m_pointPages.emplace_back(count);
        for (uint32_t i = 0; i < count; ++i) {
            pages[i] = points.At(i).page;
            if (i > 0 && pages[i - 1] >= pages[i]) {
                m_pointPages.pop_back();
                return {};
            }
        }
        points.pages = pages.data();
        return points;
    }
    return {};
}

const std::vector<uint32_t>* PairsFile::DecodedPages(const PageList& list) const {
    if (!IsOpen() || list.kind != kPairList || list.count < kDecodedListsFrom ||
        list.entry >= m_listUses.size())
        return nullptr;
    ++m_decodeClock;
    if (auto found = m_decoded.find(list.entry); found != m_decoded.end()) {
        found->second.lastUse = m_decodeClock;
        return &found->second.pages;
    }
    // A list asked for once is read in place: a process that searches once pays no copy.
    uint8_t& uses = m_listUses.At(list.entry);
    if (uses < 255) ++uses;
    if (uses < 2) return nullptr;
    DecodedList decoded;
    if (!DecodePageList(list, m_pageLimit, decoded.pages)) return nullptr;
    const size_t bytes = decoded.pages.size() * sizeof(uint32_t);
    while (!m_decoded.empty() && m_decodedBytes + bytes > kDecodedListsMemory) {
        auto oldest = m_decoded.begin();
        for (auto it = m_decoded.begin(); it != m_decoded.end(); ++it)
            if (it->second.lastUse < oldest->second.lastUse) oldest = it;
        m_decodedBytes -= oldest->second.pages.size() * sizeof(uint32_t);
        m_decoded.erase(oldest);
    }
    if (bytes > kDecodedListsMemory) return nullptr;
    decoded.lastUse = m_decodeClock;
    m_decodedBytes += bytes;
    return &m_decoded.emplace(list.entry, std::move(decoded)).first->second.pages;
}

bool PairsFile::RowChecked(uint32_t row, uint32_t first, uint32_t end,
                           const uint8_t*& entries) const {
    const uint8_t* const inPlace = m_directory + uint64_t(kPairEntrySize) * first;
    entries = inPlace;
    uint8_t& checked = m_rowChecked.At(row / 8);
    if (checked >> (row % 8) & 1) {
        if (const uint8_t* copy = m_rowCopies.Find(row)) entries = copy;
        return true;
    }
    // The copy takes the entry after the row too, where its list's end is read.
    const uint64_t total = uint64_t(m_pairCount) + m_apartCount;
    const uint64_t copied = uint64_t(end) - first + (end < total ? 1 : 0);
    bool failed;
    const uint8_t* copy = CopyOf(inPlace, uint64_t(kPairEntrySize) * copied, failed);
    if (failed) return false;
    if (copy) entries = copy;
    const uint64_t sum = Checksum64(entries, size_t(kPairEntrySize) * (end - first));
    if (uint32_t(sum) != LoadLE32(m_rowChecksums + 4 * uint64_t(row))) return false;
    checked = uint8_t(checked | 1 << (row % 8));
    if (copy) m_rowCopies.Insert(row, copy);
    return true;
}

const uint8_t* PairsFile::CopyOf(const uint8_t* at, uint64_t size, bool& failed) const {
    // A larger part is read in place: a fault maps 16 pages of the file at once.
    constexpr uint64_t kLargest = uint64_t(64) << 10;
    failed = false;
    if (!m_copies || !m_reader.IsOpen() || size == 0 || size > kLargest) return nullptr;
    uint8_t* out = m_copies->Take(size_t(size));
    if (out == nullptr) return nullptr;
    if (!m_reader.ReadAt(uint64_t(at - m_file.Data()), out, size_t(size))) {
        failed = true;
        return nullptr;
    }
    return out;
}

PairsFile::Lookup PairsFile::Find(int32_t rankA, int32_t rankB, PageList& list,
                                  uint32_t distance) const {
    const Lookup found = Locate(rankA, rankB, list, distance);
    return found == Lookup::kFound && !Ready(list) ? Lookup::kDamaged : found;
}

PairsFile::Lookup PairsFile::Locate(int32_t rankA, int32_t rankB, PageList& list,
                                    uint32_t distance) const {
    if (!IsOpen() || rankA < 0 || rankB < 0 || uint32_t(rankA) >= m_keyCount ||
        uint32_t(rankB) >= m_keyCount || distance < 1 || distance > 2)
        return Lookup::kDamaged;
    // The directory's part of this distance: [first, end).
    const uint8_t* rowStarts = distance == 1 ? m_rowStarts : m_apartRowStarts;
    const uint32_t first = distance == 1 ? 0 : m_pairCount;
    const uint32_t end = distance == 1 ? m_pairCount : m_pairCount + m_apartCount;
    uint32_t low = LoadLE32(rowStarts + 4 * uint64_t(rankA));
    uint32_t high = LoadLE32(rowStarts + 4 * (uint64_t(rankA) + 1));
    if (low < first || low > high || high > end) return Lookup::kDamaged;
    const uint8_t* entries;  // of the row, from entry `rowFirst` on
    const uint32_t rowFirst = low;
    if (!RowChecked(distance == 1 ? uint32_t(rankA) : m_keyCount + uint32_t(rankA), low, high,
                    entries))
        return Lookup::kDamaged;
    while (low < high) {
        const uint32_t mid = low + (high - low) / 2;
        const uint8_t* e = entries + uint64_t(kPairEntrySize) * (mid - rowFirst);
        const int32_t second = LoadLE16(e);
        if (second < rankB) {
            low = mid + 1;
            continue;
        }
        if (second > rankB) {
            high = mid;
            continue;
        }
        const uint64_t offset = LoadLE32(e + 8);
        const uint64_t listEnd = uint64_t(mid) + 1 < uint64_t(m_pairCount) + m_apartCount
                                     ? LoadLE32(e + kPairEntrySize + 8)
                                     : m_listsSize;
        if (offset > listEnd || listEnd > m_listsSize) return Lookup::kDamaged;
        list.kind = e[2];
        list.count = LoadLE32(e + 4);
        list.bytes = m_lists + offset;
        list.size = uint32_t(listEnd - offset);
        list.entry = mid;
        list.checksum = LoadLE32(e + 12);
        return list.count == 0 ? Lookup::kDamaged : Lookup::kFound;
    }
    return Lookup::kAbsent;
}

bool PairsFile::Ready(PageList& list) const {
    if (!IsOpen() || list.entry >= uint64_t(m_pairCount) + m_apartCount) return false;
    // A list's checksum, and a bitmap's pages, are checked the first time a search asks for it
    // (the mapping is read-only, so it stays as checked): a bitmap is then read in place.
    uint8_t& checked = m_checked.At(list.entry / 8);
    if (!(checked >> (list.entry % 8) & 1)) {
        bool failed;
        const uint8_t* copy = CopyOf(list.bytes, list.size, failed);
        if (failed) return false;
        if (copy) list.bytes = copy;
        if (uint32_t(Checksum64(list.bytes, list.size)) != list.checksum ||
            (list.kind == kPairBitmap && !BitmapListSound(list, m_pageLimit)))
            return false;
        checked = uint8_t(checked | 1 << (list.entry % 8));
        if (copy) m_listCopies.Insert(list.entry, copy);
    } else if (const uint8_t* copy = m_listCopies.Find(list.entry)) {
        list.bytes = copy;
    }
    return true;
}

}  // namespace kolva
