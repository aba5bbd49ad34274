// The pairs file of an index, made from its postings: every slot's stream is read whole once,
// as the search would read it, to learn whether it is clean and how many page entries it has;
// then the streams of the clean slots of the most frequent keys are walked page by page together,
// each page's positions laid out by key, and every pair of keys on neighbouring positions notes
// the page.
#include "writer/pairs_writer.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "index/index.h"
#include "index/pairs.h"
#include "index/postings_stream.h"
#include "index/word_matcher.h"
#include "platform/checksum.h"
#include "platform/coding.h"
#include "platform/file.h"
#include "platform/replace_file.h"
#include "writer/writer.h"

namespace kolva {

namespace {

constexpr uint16_t kNoRank = 0xFFFF;
constexpr uint32_t kDirectPositions = 1 << 16;  // positions laid out in an array; others sorted

// One slot's postings stream read from its start through the search's own reader, so that a
// stream is clean here exactly when the search's slot check finds it clean.
class SlotStream {
public:
    explicit SlotStream(const StreamReader& reader) : m_reader(&reader) {}

    // Reads up to the first entry's positions; false when the stream is faulty there.
    bool Start(uint32_t firstBlock, uint32_t lastPage) {
        m_cursor = StreamCursor{};
        m_cursor.lastPage = lastPage;
        return m_reader->Start(m_cursor, firstBlock);
    }
    // Reads the positions of the current entry (ascending) as the search's slot check decodes
    // them; false on a fault.
    bool ReadPositions(std::vector<uint32_t>& out) {
        size_t count = 0;
        if (!DecodeEntry(*m_reader, m_cursor, kMaxShift, m_aligned, count)) return false;
        out.resize(count);
        for (size_t i = 0; i < count; ++i) out[i] = m_aligned[i] - kMaxShift;
        // As the slot check: nothing after the last entry is read.
        return m_cursor.page == m_cursor.lastPage || m_reader->SkipEntry(m_cursor);
    }
    // Passes over the positions of the current entry; false on a fault.
    bool SkipPositions() { return m_reader->SkipEntry(m_cursor); }
    // Moves to the next entry; false at the end or on a fault (Faulty tells).
    bool Next() {
        if (m_cursor.page == m_cursor.lastPage) return false;
        m_faulty = !m_reader->ReadEntry(m_cursor, false);
        return !m_faulty;
    }
    uint32_t Page() const { return m_cursor.page; }
    bool Faulty() const { return m_faulty; }
    // Where the search can take up reading at the current entry (as a slot guide keeps it).
    StreamPoint Point() const { return StreamReader::PointOf(m_cursor); }

private:
    const StreamReader* m_reader;
    StreamCursor m_cursor{};
    std::vector<uint32_t> m_aligned;
    bool m_faulty = false;
};

// The header tables of an index and its mapped postings.
struct IndexFiles {
    std::vector<int32_t> firstBlock;
    std::vector<uint32_t> lastPage;
    std::vector<uint32_t> next;
    ReadOnlyMapping postings;
    uint32_t blockCount = 0;
};

void ReadIndexFiles(const std::filesystem::path& folder, const std::string& stem, IndexFiles& f) {
    const std::filesystem::path header = folder / (stem + "-idx.h");
    std::string bytes;
    if (!ReadWholeFile(header, bytes) || bytes.size() < kHeaderTablesSize ||
        (bytes.size() - kHeaderTablesSize) / 4 > UINT32_MAX)
        throw WriterError("cannot read the index header " + header.string());
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
    f.firstBlock.resize(kSlotCount);
    f.lastPage.resize(kSlotCount);
    for (int s = 0; s < kSlotCount; ++s) {
        f.firstBlock[size_t(s)] = int32_t(LoadLE32(p + 4 * size_t(s)));
        f.lastPage[size_t(s)] = LoadLE32(p + 1000000 + 4 * size_t(s));
    }
    f.next.resize((bytes.size() - kHeaderTablesSize) / 4);
    for (size_t b = 0; b < f.next.size(); ++b) f.next[b] = LoadLE32(p + kHeaderTablesSize + 4 * b);
    const std::filesystem::path postings = folder / (stem + "-idx.m");
    if (!f.postings.Open(postings))
        throw WriterError("cannot read the index postings " + postings.string());
    f.blockCount = uint32_t(
        std::min<uint64_t>((f.postings.Size() + kBlockSize - 1) / kBlockSize, UINT32_MAX));
}

// A pair's pages as they are found, in ascending order.
struct PairPages {
    std::vector<uint8_t> bytes;  // varint deltas
    uint32_t last = 0;
    uint32_t count = 0;
    void Add(uint32_t page) {
        if (count != 0 && page == last) return;
        uint32_t delta = count == 0 ? page : page - last;
        while (delta >= 0x80) {
            bytes.push_back(uint8_t(delta | 0x80));
            delta >>= 7;
        }
        bytes.push_back(uint8_t(delta));
        last = page;
        ++count;
    }
    // The pages as a bitmap over pageLimit pages, read back through the search's own decoder.
    void ToBitmap(uint32_t pageLimit, std::vector<uint32_t>& pages, std::string& bitmap) const {
        const PageList list{kPairList, count, bytes.data(), uint32_t(bytes.size())};
        if (!DecodePageList(list, pageLimit, pages))
            throw WriterError("a pair's pages do not lie below the page limit");
        bitmap.assign((uint64_t(pageLimit) + 7) / 8, '\0');
        for (uint32_t page : pages)
            bitmap[page / 8] = char(uint8_t(bitmap[page / 8]) | uint8_t(1 << (page % 8)));
    }
};

// Sorts entries (cell << 32 | page) by cell, keeping the order of entries of one cell: a radix
// sort, eleven bits of the cell a pass. cellBits: bits that cells take.
void SortByCell(std::vector<uint64_t>& entries, std::vector<uint64_t>& spare, uint32_t cellBits) {
    constexpr uint32_t kBits = 11, kBuckets = 1u << kBits;
    spare.resize(entries.size());
    for (uint32_t shift = 32; shift < 32 + cellBits; shift += kBits) {
        std::vector<size_t> start(kBuckets + 1, 0);
        for (uint64_t e : entries) ++start[((e >> shift) & (kBuckets - 1)) + 1];
        for (uint32_t i = 0; i < kBuckets; ++i) start[i + 1] += start[i];
        for (uint64_t e : entries) spare[start[(e >> shift) & (kBuckets - 1)]++] = e;
        entries.swap(spare);
    }
}

// The pages of the pairs of one distance, for the ranks that take part in it.
class PairTable {
public:
    explicit PairTable(const std::vector<bool>& takesPart) : m_placeOfRank(takesPart.size(), kNoRank) {
        for (size_t r = 0; r < takesPart.size(); ++r)
            if (takesPart[r]) m_placeOfRank[r] = uint16_t(m_width++);
        m_cells.resize(size_t(m_width) * m_width);
        while ((uint64_t(1) << m_cellBits) < m_cells.size()) ++m_cellBits;
    }
    // Notes page under the pair of ranks (pages come in ascending order).
    void Add(uint16_t rankA, uint16_t rankB, uint32_t page) {
        const uint16_t a = m_placeOfRank[rankA], b = m_placeOfRank[rankB];
        if (a == kNoRank || b == kNoRank) return;
        // A pair noted twice on a page is kept once when its pages are handed over; most
        // repeats are caught here already, by a small table of the entries noted last.
        const uint64_t entry = uint64_t(size_t(a) * m_width + b) << 32 | page;
        uint64_t& recent = m_recent[(size_t(a) * 0x9E5 ^ b) & (kRecent - 1)];
        if (recent == entry) return;
        recent = entry;
        m_pending.push_back(entry);
        if (m_pending.size() == kPendingLimit) Flush();
    }
    // Hands the pages noted so far to their pairs. A pair turns up on a new page at random
    // among a million, so pages are gathered and handed over pair by pair, not one by one.
    void Flush() {
        SortByCell(m_pending, m_spare, m_cellBits);
        for (uint64_t e : m_pending) m_cells[size_t(e >> 32)].Add(uint32_t(e));
        m_pending.clear();
    }
    // Calls f with every pair's pages that holds a page (after Flush).
    template <typename F>
    void ForEach(F&& f) const {
        for (const PairPages& pp : m_cells)
            if (pp.count != 0) f(pp);
    }
    // The pages of the pair of ranks (after Flush), null when one of them takes no part.
    const PairPages* At(uint32_t rankA, uint32_t rankB) const {
        const uint16_t a = m_placeOfRank[rankA], b = m_placeOfRank[rankB];
        return a == kNoRank || b == kNoRank ? nullptr : &m_cells[size_t(a) * m_width + b];
    }

private:
    static constexpr size_t kPendingLimit = size_t(1) << 22;
    static constexpr size_t kRecent = 8192;
    std::vector<uint64_t> m_recent = std::vector<uint64_t>(kRecent, ~uint64_t(0));
    uint32_t m_width = 0;                 // ranks taking part
    uint32_t m_cellBits = 0;              // bits a cell number takes
    std::vector<uint16_t> m_placeOfRank;  // a rank's place among them, kNoRank if it takes none
    std::vector<PairPages> m_cells;       // width * width
    std::vector<uint64_t> m_pending, m_spare;  // cell << 32 | page, not yet handed over
};

// The keys of one page's positions, and the pairs they make.
class PageLayout {
public:
    PageLayout() : m_rankAt(kDirectPositions + 2, kNoRank) {}

    void Add(uint32_t position, uint16_t rank) {
        m_all.emplace_back(position, rank);
        if (position >= kDirectPositions) {
            m_sorted = true;
            return;
        }
        uint16_t& at = m_rankAt[position];
        if (at != kNoRank && at != rank) m_sorted = true;  // two keys at one position
        at = rank;
        m_low = std::min(m_low, position);
        m_high = std::max(m_high, position);
    }

    // Notes page under every pair of keys on neighbouring positions (pairs) and on positions
    // one apart (apart), and empties the layout.
    void Emit(uint32_t page, PairTable& pairs, PairTable& apart) {
        if (!m_all.empty()) {
            const bool sparse = uint64_t(m_high - m_low) > 8 * uint64_t(m_all.size()) + 64;
            if (m_sorted || sparse) {
                EmitSorted(page, 1, pairs);
                EmitSorted(page, 2, apart);
            } else {
                // m_rankAt has room for two positions past the highest.
                for (uint32_t x = m_low; x < m_high; ++x) {
                    const uint16_t a = m_rankAt[x];
                    if (a == kNoRank) continue;
                    const uint16_t b = m_rankAt[x + 1], c = m_rankAt[x + 2];
                    if (b != kNoRank) pairs.Add(a, b, page);
                    if (c != kNoRank) apart.Add(a, c, page);
                }
            }
        }
        for (const auto& [position, rank] : m_all)
            if (position < kDirectPositions) m_rankAt[position] = kNoRank;
        m_all.clear();
        m_sorted = false;
        m_low = UINT32_MAX;
        m_high = 0;
    }

private:
    // The pairs of keys distance positions apart, from the positions sorted.
    void EmitSorted(uint32_t page, uint32_t distance, PairTable& pairs) {
        if (!std::is_sorted(m_all.begin(), m_all.end())) {
            std::sort(m_all.begin(), m_all.end());
            m_all.erase(std::unique(m_all.begin(), m_all.end()), m_all.end());
        }
        // For each run of one position x, every key of it against every key at x + distance
        // (the runs after it up to that position).
        size_t i = 0;
        while (i < m_all.size()) {
            const uint32_t x = m_all[i].first;
            size_t j = i;
            while (j < m_all.size() && m_all[j].first == x) ++j;
            if (x <= UINT32_MAX - distance) {
                size_t from = j;
                while (from < m_all.size() && m_all[from].first < x + distance) ++from;
                size_t to = from;
                while (to < m_all.size() && m_all[to].first == x + distance) ++to;
                for (size_t a = i; a < j; ++a)
                    for (size_t b = from; b < to; ++b)
                        pairs.Add(m_all[a].second, m_all[b].second, page);
            }
            i = j;
        }
    }

    std::vector<uint16_t> m_rankAt;
    std::vector<std::pair<uint32_t, uint16_t>> m_all;
    bool m_sorted = false;
    uint32_t m_low = UINT32_MAX, m_high = 0;
};

// What the first pass learns of the streams, and the keys chosen from it.
struct Keys {
    std::vector<int32_t> keyOfSlot;      // PairKey of every slot
    std::vector<uint64_t> entriesOfKey;  // page entries of the longest readable stream of a key
    std::vector<uint8_t> readable;       // per slot: its entries can be passed over to the end
    std::vector<int32_t> listed;         // the keys on the most page entries, ascending
    std::vector<uint16_t> rankOfKey;     // a key's place among them, kNoRank when not listed
    std::vector<bool> takesPartApart;    // per rank: the key takes part in the pairs one apart
    // The stored points of the readable streams of at least kStoredPointsFrom entries, by slot.
    std::vector<std::pair<int32_t, std::vector<StreamPoint>>> points;
};

// Pass 1: the page entries of every stream counted under its slot's key, positions passed over.
// Whether a stream is clean is known once its positions are read (pass 2 or 3).
void CountKeyEntries(const StreamReader& reader, const IndexFiles& f, Keys& k) {
    k.entriesOfKey.assign(kSlotCount, 0);
    k.readable.assign(kSlotCount, 0);
    std::vector<StreamPoint> points;
    for (int32_t s = 0; s < kSlotCount; ++s) {
        if (f.firstBlock[size_t(s)] == -1) continue;
        SlotStream c(reader);
        bool ok = c.Start(uint32_t(f.firstBlock[size_t(s)]), f.lastPage[size_t(s)]);
        uint64_t entries = 0;
        points.clear();
        while (ok) {
            if (entries % kStoredPointInterval == 0) points.push_back(c.Point());
            ok = c.SkipPositions();
            ++entries;
            if (!ok || !c.Next()) break;
        }
        // A stream on the page numbered UINT32_MAX is left out like a faulty one: a list could
        // not hold that page (every page of a list lies below a 32-bit page limit).
        if (!ok || c.Faulty() || c.Page() == UINT32_MAX) continue;
        k.readable[size_t(s)] = 1;
        if (entries >= kStoredPointsFrom) k.points.emplace_back(s, points);
        uint64_t& ofKey = k.entriesOfKey[size_t(k.keyOfSlot[size_t(s)])];
        ofKey = std::max(ofKey, entries);  // a group slot holds the pages of all its members
    }
}

// The maxKeys keys on the most page entries, ranked in key order; the apartKeys of them on the
// most entries take part in the pairs one apart.
void ChooseKeys(uint32_t maxKeys, uint32_t apartKeys, Keys& k) {
    const auto moreEntries = [&](int32_t a, int32_t b) {
        const uint64_t ea = k.entriesOfKey[size_t(a)], eb = k.entriesOfKey[size_t(b)];
        return ea != eb ? ea > eb : a < b;
    };
    for (int32_t key = 0; key < kSlotCount; ++key)
        if (k.entriesOfKey[size_t(key)] != 0) k.listed.push_back(key);
    if (k.listed.size() > maxKeys) {
        std::nth_element(k.listed.begin(), k.listed.begin() + maxKeys, k.listed.end(), moreEntries);
        k.listed.resize(maxKeys);
    }
    std::sort(k.listed.begin(), k.listed.end());
    const uint32_t keyCount = uint32_t(k.listed.size());
    k.rankOfKey.assign(kSlotCount, kNoRank);
    for (uint32_t r = 0; r < keyCount; ++r) k.rankOfKey[size_t(k.listed[r])] = uint16_t(r);
    std::vector<uint32_t> byEntries(keyCount);
    for (uint32_t r = 0; r < keyCount; ++r) byEntries[r] = r;
    std::sort(byEntries.begin(), byEntries.end(),
              [&](uint32_t a, uint32_t b) { return moreEntries(k.listed[a], k.listed[b]); });
    k.takesPartApart.assign(keyCount, false);
    for (uint32_t i = 0; i < keyCount && i < apartKeys; ++i) k.takesPartApart[byEntries[i]] = true;
}

// Pass 2: the clean streams of listed keys, page by page together, their pairs noted in pairs
// and apart; a stream found faulty loses its clean bit. Returns the page limit (one past the last
// page seen).
uint32_t CollectPairs(const StreamReader& reader, const IndexFiles& f, const Keys& k,
                      std::vector<uint8_t>& clean, PairTable& pairs, PairTable& apart) {
    struct Walker {
        SlotStream cursor;
        uint16_t rank;
        bool done;
    };
    std::vector<Walker> walkers;
    std::vector<int32_t> walked;  // the slot of each walker
    for (int32_t s = 0; s < kSlotCount; ++s) {
        if (!k.readable[size_t(s)]) continue;
        const uint16_t rank = k.rankOfKey[size_t(k.keyOfSlot[size_t(s)])];
        if (rank == kNoRank) continue;
        Walker w{SlotStream(reader), rank, false};
        w.cursor.Start(uint32_t(f.firstBlock[size_t(s)]), f.lastPage[size_t(s)]);
        walkers.push_back(std::move(w));
        walked.push_back(s);
        clean[size_t(s) / 8] |= uint8_t(1 << (s % 8));  // until a fault shows
    }
    PageLayout layout;
    uint32_t pageLimit = 0;
    std::vector<uint32_t> positions;
    // A window of pages at a time: each stream is read through the window in one go (reading
    // a thousand streams a page at a time would jump between their blocks for every page), its
    // positions put by page, then the window's pages are laid out in order.
    constexpr uint32_t kWindow = 64;
    std::vector<std::vector<std::pair<uint32_t, uint16_t>>> byPage(kWindow);
    std::vector<uint8_t> visited(kWindow);
    for (;;) {
        uint32_t first = UINT32_MAX;
        bool any = false;
        for (const Walker& w : walkers)
            if (!w.done) {
                first = std::min(first, w.cursor.Page());
                any = true;
            }
        if (!any) break;
        const uint64_t end = uint64_t(first) + kWindow;
        std::fill(visited.begin(), visited.end(), 0);
        for (size_t i = 0; i < walkers.size(); ++i) {
            Walker& w = walkers[i];
            while (!w.done && w.cursor.Page() < end) {
                const uint32_t at = w.cursor.Page() - first;
                visited[at] = 1;
                // Positions of a faulty stream's earlier pages may stay in the lists: they only
                // make them longer, and no phrase with a term of that slot is narrowed.
                const bool read = w.cursor.ReadPositions(positions);
                if (read)
                    for (uint32_t x : positions) byPage[at].emplace_back(x, w.rank);
                w.done = !read || !w.cursor.Next();
                if (!read || w.cursor.Faulty())
                    clean[size_t(walked[i]) / 8] &= uint8_t(~(1 << (walked[i] % 8)));
            }
        }
        for (uint32_t at = 0; at < kWindow; ++at) {
            if (!visited[at]) continue;
            for (const auto& [x, rank] : byPage[at]) layout.Add(x, rank);
            byPage[at].clear();
            layout.Emit(first + at, pairs, apart);
            pageLimit = first + at + 1;  // pages come in ascending order
        }
    }
    pairs.Flush();
    apart.Flush();
    return pageLimit;
}

// Pass 3: the positions of the other readable streams, only to know whether they are clean.
void CheckOtherStreams(const StreamReader& reader, const IndexFiles& f, const Keys& k,
                       std::vector<uint8_t>& clean) {
    std::vector<uint32_t> positions;
    for (int32_t s = 0; s < kSlotCount; ++s) {
        if (!k.readable[size_t(s)] || k.rankOfKey[size_t(k.keyOfSlot[size_t(s)])] != kNoRank)
            continue;
        SlotStream c(reader);
        bool ok = c.Start(uint32_t(f.firstBlock[size_t(s)]), f.lastPage[size_t(s)]);
        while (ok) {
            ok = c.ReadPositions(positions);
            if (!ok || !c.Next()) break;
        }
        if (ok && !c.Faulty()) clean[size_t(s) / 8] |= uint8_t(1 << (s % 8));
    }
}

// The tables after the header and the list area, as pairs_format.h draws them.
struct FileBody {
    std::string tables, lists, points;
    uint32_t pointSlots = 0;
    uint64_t tablesChecksum = 0;  // of the tables before the directory
    uint32_t pairCount = 0, apartCount = 0, aliasCount = 0;
};

// Appends one part of the directory (the neighbouring pairs, or those one apart) to directory,
// its lists to lists, its row starts to rowStarts and its rows' checksums to rowChecksums;
// returns the entries written.
uint32_t WriteDirectoryPart(const PairTable& part, uint32_t keyCount, uint32_t pageLimit,
                            uint32_t firstEntry, std::string& directory, std::string& lists,
                            std::vector<uint32_t>& rowStarts, std::vector<uint32_t>& rowChecksums) {
    const uint32_t bitmapBytes = uint32_t((uint64_t(pageLimit) + 7) / 8);
    std::string bitmap;
    std::vector<uint32_t> listPages;
    uint32_t entry = firstEntry;
    for (uint32_t a = 0; a < keyCount; ++a) {
        rowStarts.push_back(entry);
        const size_t rowStart = directory.size();
        for (uint32_t b = 0; b < keyCount; ++b) {
            const PairPages* at = part.At(a, b);
            if (at == nullptr || at->count == 0) continue;
            const PairPages& pp = *at;
            const uint32_t offset = uint32_t(lists.size());
            uint8_t kind = kPairList;
            if (bitmapBytes < pp.bytes.size()) {
                kind = kPairBitmap;
                pp.ToBitmap(pageLimit, listPages, bitmap);
                lists += bitmap;
            } else {
                lists.append(reinterpret_cast<const char*>(pp.bytes.data()), pp.bytes.size());
            }
            if (lists.size() > UINT32_MAX) throw WriterError("pairs file too large");
            PutLE16(directory, uint16_t(b));
            directory.push_back(char(kind));
            directory.push_back('\0');
            PutLE32(directory, pp.count);
            PutLE32(directory, offset);
            PutLE32(directory, uint32_t(Checksum64(lists.data() + offset, lists.size() - offset)));
            ++entry;
        }
        rowChecksums.push_back(
            uint32_t(Checksum64(directory.data() + rowStart, directory.size() - rowStart)));
    }
    rowStarts.push_back(entry);
    return entry - firstEntry;
}

// The points area: the stored points of the clean streams that have them.
void LayOutPoints(const Keys& k, const std::vector<uint8_t>& clean, FileBody& body) {
    std::string entries, points;
    uint32_t first = 0;
    for (const auto& [slot, ofSlot] : k.points) {
        if (!(clean[size_t(slot) / 8] >> (slot % 8) & 1)) continue;
        const size_t start = points.size();
        for (const StreamPoint& p : ofSlot) {
            PutLE32(points, p.page);
            PutLE32(points, p.block);
            PutLE32(points, p.blocksSeen);
            PutLE16(points, p.offset);
            PutLE16(points, p.remaining);
        }
        const size_t at = entries.size();
        PutLE32(entries, uint32_t(slot));
        PutLE32(entries, first);
        PutLE32(entries, uint32_t(ofSlot.size()));
        const uint64_t seed = Checksum64(entries.data() + at, 12);
        PutLE32(entries, uint32_t(Checksum64(points.data() + start, points.size() - start, seed)));
        first += uint32_t(ofSlot.size());
        ++body.pointSlots;
    }
    body.points = entries + points;
}

void LayOutBody(const Keys& k, const std::vector<uint8_t>& clean, const PairTable& pairs,
                const PairTable& apart, uint32_t pageLimit, FileBody& body) {
    const uint32_t keyCount = uint32_t(k.listed.size());
    const uint32_t bitmapBytes = uint32_t((uint64_t(pageLimit) + 7) / 8);
    // Room for every list and directory entry at once (the lists may take gigabytes).
    size_t listBytes = 0, entries = 0;
    for (const PairTable* part : {&pairs, &apart})
        part->ForEach([&](const PairPages& pp) {
            listBytes += std::min<size_t>(pp.bytes.size(), bitmapBytes);
            ++entries;
        });
    std::string directory;
    body.lists.reserve(listBytes);
    directory.reserve(entries * kPairEntrySize);
    std::vector<uint32_t> rowStarts, rowChecksums;  // of both parts, one after the other
    body.pairCount = WriteDirectoryPart(pairs, keyCount, pageLimit, 0, directory, body.lists,
                                        rowStarts, rowChecksums);
    body.apartCount = WriteDirectoryPart(apart, keyCount, pageLimit, body.pairCount, directory,
                                         body.lists, rowStarts, rowChecksums);

    std::string& tables = body.tables;
    tables.assign(clean.begin(), clean.end());
    for (int32_t key : k.listed) PutLE32(tables, uint32_t(key));
    for (uint32_t r : rowStarts) PutLE32(tables, r);
    for (int32_t s = 0; s < kSlotCount; ++s)
        if (k.keyOfSlot[size_t(s)] != s) {
            PutLE32(tables, uint32_t(s));
            PutLE32(tables, uint32_t(k.keyOfSlot[size_t(s)]));
            ++body.aliasCount;
        }
    for (uint32_t r = 0; r < keyCount; ++r) tables.push_back(char(k.takesPartApart[r] ? 1 : 0));
    for (uint32_t r = 0; r < keyCount; ++r)
        PutLE32(tables,
                uint32_t(std::min<uint64_t>(k.entriesOfKey[size_t(k.listed[r])], UINT32_MAX)));
    for (uint32_t sum : rowChecksums) PutLE32(tables, sum);
    body.tablesChecksum = Checksum64(tables.data(), tables.size());
    tables += directory;
    LayOutPoints(k, clean, body);
}

}  // namespace

PairsStats WritePairsFile(const std::filesystem::path& folder, const std::string& stem,
                          uint32_t maxKeys, uint32_t apartKeys) {
    if (maxKeys == 0 || maxKeys > kMaxPairKeys) maxKeys = kMaxPairKeys;
    apartKeys = std::min(apartKeys, kApartKeys);
    PairsFingerprint fp;
    if (!ComputePairsFingerprint(folder, stem, fp))
        throw WriterError("cannot read the index files of " + (folder / stem).string());
    IndexFiles f;
    ReadIndexFiles(folder, stem, f);
    const StreamReader reader(f.postings.Data(), f.postings.Size(), f.next.data(),
                              uint32_t(f.next.size()), f.blockCount);
    std::string table;
    std::vector<VariantGroup> groups;
    if (ReadWholeFile(folder / "yitizi.txt", table)) groups = ParseVariantTable(table);

    Keys keys;
    keys.keyOfSlot = PairKeys(groups);
    CountKeyEntries(reader, f, keys);
    ChooseKeys(maxKeys, apartKeys, keys);
    const uint32_t keyCount = uint32_t(keys.listed.size());

    std::vector<uint8_t> clean(kSlotBits / 8, 0);
    // Every listed key takes part in the neighbouring pairs.
    PairTable pairs(std::vector<bool>(keyCount, true)), apart(keys.takesPartApart);
    const uint32_t pageLimit = CollectPairs(reader, f, keys, clean, pairs, apart);
    CheckOtherStreams(reader, f, keys, clean);
    PairsStats stats;
    for (int32_t s = 0; s < kSlotCount; ++s)
        if (f.firstBlock[size_t(s)] != -1 && !(clean[size_t(s) / 8] >> (s % 8) & 1))
            ++stats.faultySlots;

    FileBody body;
    LayOutBody(keys, clean, pairs, apart, pageLimit, body);
    pairs = PairTable(std::vector<bool>());  // the lists are in the body now
    apart = PairTable(std::vector<bool>());

    PairsHeader header;
    header.fileSize = kPairsHeaderSize + body.tables.size() + body.lists.size();
    header.fingerprint = fp;
    header.pageLimit = pageLimit;
    header.keyCount = keyCount;
    header.pairCount = body.pairCount;
    header.aliasCount = body.aliasCount;
    header.listsSize = body.lists.size();
    header.tablesChecksum = body.tablesChecksum;
    header.apartCount = body.apartCount;
    header.pointSlots = body.pointSlots;
    header.pointsSize = body.points.size();
    header.fileSize += body.points.size();
    std::string head = EncodePairsHeader(header);
    head += body.tables;
    const std::filesystem::path path = folder / (stem + kPairsSuffix);
    if (!ReplaceFile(path, {head, body.lists, body.points}))
        throw WriterError("cannot write " + path.string());

    stats.pairs = body.pairCount;
    stats.apart = body.apartCount;
    stats.bytes = head.size() + body.lists.size() + body.points.size();
    stats.keys = keyCount;
    return stats;
}

uint64_t AccelerateCollection(const std::filesystem::path& folder, const std::string& baseName) {
    const int modes[] = {kModeWholeText, kModeMainText, kModeNotes};
    PairsStats stats[3];
    std::exception_ptr errors[3];
    // The whole text on another thread, main text and notes on this one.
    std::thread whole([&] {
        try {
            stats[0] = WritePairsFile(folder, IndexFileStem(baseName, modes[0]));
        } catch (...) {
            errors[0] = std::current_exception();
        }
    });
    for (int i = 1; i < 3; ++i) {
        try {
            stats[i] = WritePairsFile(folder, IndexFileStem(baseName, modes[i]));
        } catch (...) {
            errors[i] = std::current_exception();
        }
    }
    whole.join();
    for (const std::exception_ptr& e : errors)
        if (e) std::rethrow_exception(e);
    return stats[0].bytes + stats[1].bytes + stats[2].bytes;
}

}  // namespace kolva
