// The pairs file of an index, made from its postings: every slot's stream is read whole once,
// as the search would read it, to learn whether it is clean and how many page entries it has;
// then the streams of the clean slots of the most frequent keys are walked page by page together,
// each page's positions laid out by key, and every pair of keys on neighbouring positions notes
// the page. Or, in a build, the same from what the index writer recorded as the pages came (each
// page's keys in position order, each slot's entries and stored points), without reading the
// postings back. Memory stays bounded whatever the collection's size: the pairs' entries are
// gathered by range of cells in buffers that spill to a file beside the output (PairCollector),
// the file is streamed out, and the postings' pages held mapped are let go past a bound
// (PostingsHold).
#include "writer/pairs_writer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <type_traits>
#include <vector>

#include "index/index.h"
#include "index/pairs.h"
#include "index/postings_stream.h"
#include "index/word_matcher.h"
#include "platform/checksum.h"
#include "platform/coding.h"
#include "platform/file.h"
#include "platform/replace_file.h"
#include "platform/spill_file.h"
#include "platform/two_threads.h"
#include "writer/writer.h"

namespace kolva {

void SpilledPoints::Add(int32_t slot, const std::vector<StreamPoint>& points) {
    std::string bytes;
    bytes.reserve(points.size() * kStoredPointSize);
    for (const StreamPoint& p : points) {
        PutLE32(bytes, p.page);
        PutLE32(bytes, p.block);
        PutLE32(bytes, p.blocksSeen);
        PutLE16(bytes, p.offset);
        PutLE16(bytes, p.remaining);
    }
    if ((!file.IsOpen() && !file.Create(beside)) || !file.Append(bytes.data(), bytes.size()))
        throw WriterError("cannot write a spill file beside " + beside.string());
    ofSlots.push_back({slot, file.Size() - bytes.size(), uint32_t(points.size())});
}

void SpilledPoints::Read(size_t i, std::string& bytes) {
    bytes.resize(size_t(ofSlots[i].count) * kStoredPointSize);
    if (!file.ReadAt(ofSlots[i].offset, bytes.data(), bytes.size()))
        throw WriterError("the spill file does not read back");
}

namespace {

constexpr uint16_t kNoRank = 0xFFFF;
constexpr uint32_t kDirectPositions = 1 << 16;  // positions laid out in an array; others sorted
// The pairs' lists held in memory before they go to a spill file: a quarter of the postings
// file's size, within these bounds.
constexpr size_t kLeastArena = size_t(2) << 20, kMostArena = size_t(16) << 20;

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
    uint32_t BlocksSeen() const { return m_cursor.blocksSeen; }
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

// Zeroed memory that the system may back with large pages: the ranges' buffers are written in
// turn at random, and with small pages nearly every write would miss the address translation
// cache, and the first write to each page fault.
template <typename T>
class LargePageArray {
public:
    static_assert(std::is_trivially_copyable_v<T>);
    LargePageArray() = default;
    LargePageArray(const LargePageArray&) = delete;
    LargePageArray& operator=(const LargePageArray&) = delete;
    ~LargePageArray() { Reset(); }

    // count zeroed elements (T's zero bytes are its default value), left untouched until used.
    void Allocate(size_t count) {
        Reset();
        if (count == 0) return;
        m_bytes = count * sizeof(T);
        void* p =
            mmap(nullptr, m_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        madvise(p, m_bytes, MADV_HUGEPAGE);  // a hint; without it all works the same
#endif
        m_data = static_cast<T*>(p);
        m_count = count;
    }
    void Reset() {
        if (m_data) munmap(m_data, m_bytes);
        m_data = nullptr;
        m_count = m_bytes = 0;
    }
    T& operator[](size_t i) { return m_data[i]; }
    const T& operator[](size_t i) const { return m_data[i]; }
    T* get() const { return m_data; }
    size_t size() const { return m_count; }

private:
    T* m_data = nullptr;
    size_t m_count = 0, m_bytes = 0;
};

// The pages of every pair of listed keys, found in ascending order and kept as the file lists
// them: LEB128 page deltas, the first the page itself. Both distances share one numbering of
// cells, the neighbouring pairs first (rank a * K + rank b), then the pairs one apart (place a *
// W + place b among the W ranks that take part), so that cell order is directory order.
//
// The pages come page after page, the lists are wanted cell after cell. The cells are cut into
// ranges of kRangeCells; each range gathers the entries (page, cell) of its cells as they come,
// in a small buffer that goes to a spill file beside the pairs file whenever it is full. At the
// end each range in turn is read back, its entries put by cell and the lists made from them.
// So memory holds the ranges' buffers and one range's entries (a part of its cells at a time
// when they are many), however long the lists are.
class PairCollector {
public:
    PairCollector(uint32_t keyCount, const std::vector<bool>& takesPartApart,
                  std::filesystem::path spillBeside, size_t memoryBytes)
        : m_keyCount(keyCount),
          m_placeOfRank(keyCount, kNoRank),
          m_spillBeside(std::move(spillBeside)) {
        for (uint32_t r = 0; r < keyCount; ++r)
            if (takesPartApart[r]) {
                m_placeOfRank[r] = uint16_t(m_width++);
                m_rankOfPlace.push_back(uint16_t(r));
            }
        m_nearCells = keyCount * keyCount;
        m_cellCount = m_nearCells + m_width * m_width;
        m_hasPages.assign((size_t(m_cellCount) + 63) / 64, 0);
        const size_t ranges = (size_t(m_cellCount) + kRangeCells - 1) / kRangeCells;
        m_ranges.resize(ranges);
        m_chunks.resize(ranges);
        // Half the memory for the ranges' buffers, half for the entries of a range read back.
        m_bufferBytes = uint32_t(std::clamp<size_t>(memoryBytes / 2 / std::max<size_t>(ranges, 1),
                                                    kLeastBuffer, kMostBuffer));
        m_entryLimit = std::max<size_t>(memoryBytes / 2 / sizeof(uint32_t), 64);
        m_loadLimit = m_entryLimit * sizeof(uint32_t);
        m_buffers.Allocate(ranges * size_t(m_bufferBytes));
    }

    // Notes page under the pair of ranks a, b on neighbouring positions, or one apart (pages
    // come in ascending order; a pair noted again on its last page is kept once).
    void AddNear(uint16_t a, uint16_t b, uint32_t page) { Add(uint32_t(a) * m_keyCount + b, page); }
    void AddApart(uint16_t a, uint16_t b, uint32_t page) {
        const uint16_t pa = m_placeOfRank[a], pb = m_placeOfRank[b];
        if (pa != kNoRank && pb != kNoRank) Add(m_nearCells + uint32_t(pa) * m_width + pb, page);
    }

    // After the last page: the cells of the entries still in the buffers are marked (HasPages).
    void HandOver() {
        for (size_t r = 0; r < m_ranges.size(); ++r)
            MarkCells(r, m_buffers.get() + r * m_bufferBytes, m_ranges[r].used);
    }

    // Whether the pair of ranks has a page, at distance 1 or 2.
    bool HasPages(uint32_t distance, uint16_t a, uint16_t b) const {
        if (distance == 1) return Has(uint32_t(a) * m_keyCount + b);
        const uint16_t pa = m_placeOfRank[a], pb = m_placeOfRank[b];
        return pa != kNoRank && pb != kNoRank && Has(m_nearCells + uint32_t(pa) * m_width + pb);
    }

    // Calls f(second rank, bytes, pages listed, pages) with the list of every pair that has a
    // page, in cell order (directory order); pages is the list's pages ascending, a page noted
    // twice given twice. Once only: the entries are given up as they are read.
    template <typename F>
    void ForEachList(F&& f) {
        // The ranges' buffers go to the spill file and give their memory to the pages of a
        // range read back: a range with more entries than that is read once for each group of
        // its cells, so twice the room is half the reads.
        for (size_t r = 0; r < m_ranges.size(); ++r) Flush(r, m_buffers.get() + r * m_bufferBytes);
        m_buffers.Reset();
        m_entryLimit *= 2;
        std::vector<uint32_t> counts(kRangeCells), start(kRangeCells + 1), pages;
        pages.reserve(m_entryLimit);  // taken as used, never moved by growing
        std::vector<std::pair<uint32_t, uint32_t>> groups;  // cells from, to
        std::string list;
        // Puts a group's pages (cells from .. to) by cell, in the order read, so that a cell's
        // pages ascend; then lists its cells.
        const auto listGroup = [&](size_t r, uint32_t from, uint32_t to, auto&& read) {
            start[from] = 0;
            for (uint32_t o = from; o < to; ++o) start[o + 1] = start[o] + counts[o];
            pages.resize(start[to]);
            read([&](uint32_t offset, uint32_t page) { pages[start[offset]++] = page; });
            // start[o] is now where cell o's pages end.
            for (uint32_t o = from; o < to; ++o)
                if (counts[o] != 0)
                    EmitList(uint32_t(r) * kRangeCells + o, pages.data() + (start[o] - counts[o]),
                             counts[o], list, f);
        };
        for (size_t r = 0; r < m_ranges.size(); ++r) {
            if (m_chunks[r].bytes + m_ranges[r].used == 0) continue;
            LoadRange(r);
            std::fill(counts.begin(), counts.end(), 0);
            ReadRange(r, [&](uint32_t offset, uint32_t) { ++counts[offset]; });
            // The range's cells in groups whose pages fit the limit: all of them in one unless
            // the range is very full. A cell's pages are never cut.
            groups.clear();
            for (uint32_t from = 0, to; from < kRangeCells; from = to) {
                uint64_t sum = counts[from];
                for (to = from + 1; to < kRangeCells && sum + counts[to] <= m_entryLimit; ++to)
                    sum += counts[to];
                if (sum != 0) groups.emplace_back(from, to);
            }
            if (groups.size() == 1) {
                listGroup(r, groups[0].first, groups[0].second,
                          [&](auto&& put) { ReadRange(r, put); });
                continue;
            }
            // Several groups: the range is read once more, each entry going to its group's own
            // chunks of the spill file, and each group is then read alone.
            std::vector<uint16_t> groupOf(kRangeCells, 0);
            for (size_t g = 0; g < groups.size(); ++g)
                for (uint32_t o = groups[g].first; o < groups[g].second; ++o)
                    groupOf[o] = uint16_t(g);
            const uint32_t bufferBytes = uint32_t(std::clamp<size_t>(
                m_loadLimit / groups.size(), kLeastBuffer, kMostBuffer));
            std::vector<uint8_t> buffers(groups.size() * size_t(bufferBytes));
            std::vector<Range> state(groups.size());
            std::vector<Chunks> chunks(groups.size());
            ReadRange(r, [&](uint32_t offset, uint32_t page) {
                const size_t g = groupOf[offset];
                uint8_t* const buffer = buffers.data() + g * bufferBytes;
                if (state[g].used + kMaxEntryBytes > bufferBytes)
                    SpillBuffer(state[g], buffer, chunks[g]);
                PutEntry(state[g], buffer, offset, page);
            });
            for (size_t g = 0; g < groups.size(); ++g)
                SpillBuffer(state[g], buffers.data() + g * bufferBytes, chunks[g]);
            buffers = {};
            for (size_t g = 0; g < groups.size(); ++g)
                listGroup(r, groups[g].first, groups[g].second,
                          [&](auto&& put) { ReadChunks(chunks[g], put); });
        }
        m_buffers.Reset();
        m_spill.Close();
    }

private:
    static constexpr uint32_t kRangeBits = 11;
    static constexpr uint32_t kRangeCells = 1u << kRangeBits;
    static constexpr uint32_t kLeastBuffer = 16, kMostBuffer = 64 << 10;
    static constexpr uint32_t kLongStep = (1u << (16 - kRangeBits)) - 1;
    static constexpr size_t kMaxEntryBytes = 6;

    struct Range {              // what an entry needs of its range, 8 bytes for the cache
        uint32_t lastPage = 0;  // of the range's last entry
        uint32_t used = 0;      // bytes in its buffer
    };
    struct Chunks {             // a range's entries in the spill file
        uint64_t bytes = 0;     // there and in the buffer
        std::vector<std::pair<uint64_t, uint32_t>> at;  // offset, bytes
    };

    bool Has(uint32_t cell) const { return m_hasPages[cell / 64] >> (cell % 64) & 1; }

    void Add(uint32_t cell, uint32_t page) {
        const size_t r = cell >> kRangeBits;
        Range& range = m_ranges[r];
        uint8_t* const buffer = m_buffers.get() + r * m_bufferBytes;
        if (range.used + kMaxEntryBytes > m_bufferBytes) Flush(r, buffer);
        PutEntry(range, buffer, cell & (kRangeCells - 1), page);
    }

    // Appends an entry to the buffer of range (which has room for kMaxEntryBytes more): a
    // 16-bit word, the cell's offset in the range and the step from the range's last page, or
    // kLongStep and the step in 32 bits after it.
    static void PutEntry(Range& range, uint8_t* buffer, uint32_t offset, uint32_t page) {
        const uint32_t step = page - range.lastPage;
        range.lastPage = page;
        uint8_t* out = buffer + range.used;
        if (step < kLongStep) {
            const uint16_t word = uint16_t(step << kRangeBits | offset);
            std::memcpy(out, &word, 2);
            range.used += 2;
        } else {
            const uint16_t word = uint16_t(kLongStep << kRangeBits | offset);
            std::memcpy(out, &word, 2);
            std::memcpy(out + 2, &step, 4);
            range.used += 6;
        }
    }

    // Marks the cells of the entries in range r's buffer as having pages: here the range's
    // bits lie together, where each entry as it comes would touch one anywhere in the bitmap.
    void MarkCells(size_t r, const uint8_t* buffer, uint32_t used) {
        uint64_t* const bits = m_hasPages.data() + r * (kRangeCells / 64);
        for (uint32_t at = 0; at + 2 <= used;) {
            uint16_t word;
            std::memcpy(&word, buffer + at, 2);
            const uint32_t offset = word & (kRangeCells - 1);
            bits[offset / 64] |= uint64_t(1) << (offset % 64);
            at += word >> kRangeBits == kLongStep ? 6 : 2;
        }
    }

    // Puts range r's buffer in the spill file, its cells marked.
    void Flush(size_t r, const uint8_t* buffer) {
        if (m_ranges[r].used == 0) return;
        MarkCells(r, buffer, m_ranges[r].used);
        SpillBuffer(m_ranges[r], buffer, m_chunks[r]);
    }

    // Puts the buffer of range (its entries, or a group's of them) in the spill file as the
    // next of its chunks; the step of the next entry stays counted from the last page.
    void SpillBuffer(Range& range, const uint8_t* buffer, Chunks& chunks) {
        if (range.used == 0) return;
        if (!m_spill.IsOpen() && !m_spill.Create(m_spillBeside))
            throw WriterError("cannot make a spill file beside " + m_spillBeside.string());
        chunks.at.emplace_back(m_spill.Size(), range.used);
        chunks.bytes += range.used;
        if (!m_spill.Append(buffer, range.used))
            throw WriterError("cannot write a spill file beside " + m_spillBeside.string());
        range.used = 0;
    }

    // Reads range r's entries from the spill file into memory for ReadRange when they are
    // few enough, else leaves them to be read there chunk by chunk each time.
    void LoadRange(size_t r) {
        m_loaded = m_chunks[r].bytes <= m_loadLimit;
        if (!m_loaded) return;
        m_chunk.resize(size_t(m_chunks[r].bytes));
        size_t at = 0;
        for (const auto& [offset, bytes] : m_chunks[r].at) {
            if (!m_spill.ReadAt(offset, m_chunk.data() + at, bytes))
                throw WriterError("the spill file does not read back");
            at += bytes;
        }
    }

    // Calls f(cell offset, page) for every entry of range r in the order noted (LoadRange(r)
    // first).
    template <typename F>
    void ReadRange(size_t r, F&& f) {
        uint32_t page = 0;
        if (m_loaded)
            Decode(m_chunk.data(), m_chunk.data() + m_chunk.size(), page, f);
        else
            ReadChunks(m_chunks[r], f, page);
        if (m_ranges[r].used != 0) {  // not yet in the spill file (before ForEachList)
            const uint8_t* buffer = m_buffers.get() + r * m_bufferBytes;
            Decode(buffer, buffer + m_ranges[r].used, page, f);
        }
    }

    // Calls f(cell offset, page) for every entry of chunks in the order noted, reading them
    // from the spill file one at a time; page is the last page before them.
    template <typename F>
    void ReadChunks(const Chunks& chunks, F&& f, uint32_t& page) {
        for (const auto& [offset, bytes] : chunks.at) {
            m_chunk.resize(bytes);
            if (!m_spill.ReadAt(offset, m_chunk.data(), bytes))
                throw WriterError("the spill file does not read back");
            Decode(m_chunk.data(), m_chunk.data() + bytes, page, f);
        }
    }
    template <typename F>
    void ReadChunks(const Chunks& chunks, F&& f) {
        uint32_t page = 0;
        ReadChunks(chunks, f, page);
    }

    // Calls f(cell offset, page) for the entries at .. end, after the last page page.
    template <typename F>
    static void Decode(const uint8_t* at, const uint8_t* end, uint32_t& page, F&& f) {
        while (at < end) {
            if (end - at < 2) throw WriterError("the spill file does not read back");
            uint16_t word;
            std::memcpy(&word, at, 2);
            at += 2;
            uint32_t step = word >> kRangeBits;
            if (step == kLongStep) {
                if (end - at < 4) throw WriterError("the spill file does not read back");
                std::memcpy(&step, at, 4);
                at += 4;
            }
            page += step;
            f(uint32_t(word & (kRangeCells - 1)), page);
        }
    }

    // Calls f with the list of cell from its pages (ascending, repeats left out) and the
    // number of pages it lists.
    template <typename F>
    void EmitList(uint32_t cell, const uint32_t* pages, size_t count, std::string& list, F&& f) {
        // A page delta takes five bytes at most.
        if (list.size() < 5 * count) list.resize(5 * count);
        char* const begin = list.data();
        char* out = begin;
        uint32_t pageAfter = 0;  // one past the last page listed, 0 before the first
        uint32_t listed = 0;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t page = pages[i];
            if (pageAfter == page + 1) continue;
            ++listed;
            uint32_t delta = pageAfter == 0 ? page : page - (pageAfter - 1);
            pageAfter = page + 1;
            for (; delta >= 0x80; delta >>= 7) *out++ = char(uint8_t(delta | 0x80));
            *out++ = char(delta);
        }
        f(SecondRank(cell), std::string_view(begin, size_t(out - begin)), listed,
          std::span<const uint32_t>(pages, count));
    }

    uint16_t SecondRank(uint32_t cell) const {
        return cell < m_nearCells ? uint16_t(cell % m_keyCount)
                                  : m_rankOfPlace[(cell - m_nearCells) % m_width];
    }

    uint32_t m_keyCount;
    std::vector<uint16_t> m_placeOfRank;  // a rank's place among those one apart, else kNoRank
    std::vector<uint16_t> m_rankOfPlace;
    uint32_t m_width = 0;      // ranks taking part in the pairs one apart
    uint32_t m_nearCells = 0;  // cells of the neighbouring pairs, before those one apart
    uint32_t m_cellCount = 0;
    std::vector<uint64_t> m_hasPages;  // a bit per cell
    std::vector<Range> m_ranges;
    std::vector<Chunks> m_chunks;
    LargePageArray<uint8_t> m_buffers;  // m_bufferBytes for each range
    uint32_t m_bufferBytes = 0;
    size_t m_entryLimit = 0;  // pages of a range held at once
    size_t m_loadLimit = 0;   // bytes of a range's entries read into memory at once
    std::vector<uint8_t> m_chunk;  // a chunk of the spill file, or a whole range (m_loaded)
    bool m_loaded = false;
    std::filesystem::path m_spillBeside;
    SpillFile m_spill;
};

// Keeps the file pages held in this process's memory (all the files it maps together) to about
// half the postings file, within kLeastHeld .. kMostHeld bytes: the passes read the
// whole file, which would otherwise stay mapped whole. The pages let go stay in the system's
// file cache and are mapped again when read again, which takes time: the more held, the fewer.
class PostingsHold {
public:
    explicit PostingsHold(const ReadOnlyMapping& postings)
        : m_postings(postings),
          m_held(std::clamp<uint64_t>(postings.Size() / 2, kLeastHeld, kMostHeld)) {}
    // Notes blocks newly entered; every kCheckBlocks of them the pages held are looked at.
    void Read(uint64_t blocks) {
        m_blocks += blocks;
        if (m_blocks < kCheckBlocks) return;
        m_blocks = 0;
        if (ResidentFileBytes() > m_held) m_postings.ReleasePages();
    }

private:
    static constexpr uint64_t kLeastHeld = uint64_t(32) << 20;
    static constexpr uint64_t kMostHeld = uint64_t(128) << 20;
    static constexpr uint64_t kCheckBlocks = 128;
    const ReadOnlyMapping& m_postings;
    uint64_t m_held;
    uint64_t m_blocks = 0;
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

    // Notes page under every pair of keys on neighbouring positions and on positions one
    // apart, and empties the layout.
    void Emit(uint32_t page, PairCollector& pairs) {
        if (!m_all.empty()) {
            const bool sparse = uint64_t(m_high - m_low) > 8 * uint64_t(m_all.size()) + 64;
            if (m_sorted || sparse) {
                EmitSorted(page, 1, pairs);
                EmitSorted(page, 2, pairs);
            } else {
                // m_rankAt has room for two positions past the highest.
                for (uint32_t x = m_low; x < m_high; ++x) {
                    const uint16_t a = m_rankAt[x];
                    if (a == kNoRank) continue;
                    const uint16_t b = m_rankAt[x + 1], c = m_rankAt[x + 2];
                    if (b != kNoRank) pairs.AddNear(a, b, page);
                    if (c != kNoRank) pairs.AddApart(a, c, page);
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
    void EmitSorted(uint32_t page, uint32_t distance, PairCollector& pairs) {
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
                        if (distance == 1)
                            pairs.AddNear(m_all[a].second, m_all[b].second, page);
                        else
                            pairs.AddApart(m_all[a].second, m_all[b].second, page);
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
};

// Pass 1: the page entries of every stream counted under its slot's key, positions passed over.
// Whether a stream is clean is known once its positions are read (pass 2 or 3).
void CountKeyEntries(const StreamReader& reader, const IndexFiles& f, Keys& k, SpilledPoints& stored,
                     PostingsHold& hold) {
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
        hold.Read(c.BlocksSeen());
        // A stream on the page numbered UINT32_MAX is left out like a faulty one: a list could
        // not hold that page (every page of a list lies below a 32-bit page limit).
        if (!ok || c.Faulty() || c.Page() == UINT32_MAX) continue;
        k.readable[size_t(s)] = 1;
        if (entries >= kStoredPointsFrom) stored.Add(s, points);
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

// Pass 2: the clean streams of listed keys, page by page together, their pairs noted in pairs;
// a stream found faulty loses its clean bit. Returns the page limit (one past the last page
// seen).
uint32_t CollectPairs(const StreamReader& reader, const IndexFiles& f, const Keys& k,
                      std::vector<uint8_t>& clean, PairCollector& pairs, PostingsHold& hold) {
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
            if (w.done || w.cursor.Page() >= end) continue;
            const uint32_t seen = w.cursor.BlocksSeen();
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
            hold.Read(w.cursor.BlocksSeen() - seen + 1);  // and its block before, maybe let go
        }
        for (uint32_t at = 0; at < kWindow; ++at) {
            if (!visited[at]) continue;
            for (const auto& [x, rank] : byPage[at]) layout.Add(x, rank);
            byPage[at].clear();
            layout.Emit(first + at, pairs);
            pageLimit = first + at + 1;  // pages come in ascending order
        }
    }
    pairs.HandOver();
    return pageLimit;
}

// Reads a spill file from its start, a buffer at a time.
class SpillReader {
public:
    explicit SpillReader(SpillFile& file) : m_file(&file), m_buffer(size_t(64) << 10) {}

    bool AtEnd() { return m_used == m_filled && m_at == m_file->Size(); }
    uint8_t Byte() {
        if (m_used == m_filled) Refill();
        return m_buffer[m_used++];
    }
    uint32_t Number() {
        if (m_used < m_filled && m_buffer[m_used] < 0x80) return m_buffer[m_used++];
        return LongNumber();
    }
    // A key code: a 16-bit word, or two when the first has its top bit set.
    uint32_t Code() {
        uint32_t word;
        if (m_used + 2 <= m_filled) {
            word = uint32_t(m_buffer[m_used]) | uint32_t(m_buffer[m_used + 1]) << 8;
            m_used += 2;
        } else {
            word = Byte();
            word |= uint32_t(Byte()) << 8;
        }
        if (word < 0x8000) return word;
        uint32_t low = Byte();
        low |= uint32_t(Byte()) << 8;
        return (word & 0x7FFF) << 16 | low;
    }

private:
    __attribute__((noinline)) uint32_t LongNumber() {
        uint32_t value = 0;
        for (uint32_t shift = 0;; shift += 7) {
            const uint8_t b = Byte();
            if (shift > 28) throw WriterError("the spill file does not read back");
            value |= uint32_t(b & 0x7F) << shift;
            if (b < 0x80) return value;
        }
    }

    void Refill() {
        const size_t n = size_t(std::min<uint64_t>(m_buffer.size(), m_file->Size() - m_at));
        if (n == 0 || !m_file->ReadAt(m_at, m_buffer.data(), n))
            throw WriterError("the spill file does not read back");
        m_at += n;
        m_used = 0;
        m_filled = n;
    }

    SpillFile* m_file;
    std::vector<uint8_t> m_buffer;
    uint64_t m_at = 0;
    size_t m_used = 0, m_filled = 0;
};

// Pass 2 from a writer's record: every page's keys in position order, their pairs noted in
// pairs. Returns the page limit (one past the last page with a listed key).
uint32_t CollectRecordedPairs(PairsRecord& r, const Keys& k, PairCollector& pairs) {
    std::vector<uint16_t> rankOfCode(r.keyOfCode.size() + 1, kNoRank);
    for (size_t c = 0; c < r.keyOfCode.size(); ++c)
        rankOfCode[c + 1] = k.rankOfKey[size_t(r.keyOfCode[c])];
    const auto rankOf = [&](uint32_t code) {
        if (code >= rankOfCode.size()) throw WriterError("the spill file does not read back");
        return rankOfCode[code];
    };
    SpillReader in(r.pages);
    PageLayout layout;
    std::vector<uint16_t> rankAt;
    uint32_t pageLimit = 0;
    while (!in.AtEnd()) {
        const uint32_t page = in.Number(), positions = in.Number();
        // One key a position but where a position's two slots have different keys: each
        // position's pairs with the two before it noted as it is read; on a page with such a
        // position, the page is laid out instead.
        rankAt.assign(size_t(positions) + 2, kNoRank);
        uint16_t* const at = rankAt.data() + 2;  // two positions before the first
        bool any = false, twoKeys = false;
        for (uint32_t x = 0; x < positions; ++x) {
            const uint32_t code = in.Code();
            if (code != 0) {
                const uint16_t rank = rankOf(code);
                at[x] = rank;
                if (rank == kNoRank) continue;
                any = true;
                if (const uint16_t a = at[int64_t(x) - 1]; a != kNoRank)
                    pairs.AddNear(a, rank, page);
                if (const uint16_t a = at[int64_t(x) - 2]; a != kNoRank)
                    pairs.AddApart(a, rank, page);
                continue;
            }
            twoKeys = true;
            for (int i = 0; i < 2; ++i)
                if (const uint16_t rank = rankOf(in.Code()); rank != kNoRank) {
                    layout.Add(x, rank);
                    any = true;
                }
            at[x] = kNoRank;
        }
        if (!any) continue;
        if (twoKeys) {
            for (uint32_t x = 0; x < positions; ++x)
                if (at[x] != kNoRank) layout.Add(x, at[x]);
            layout.Emit(page, pairs);
        }
        pageLimit = page + 1;  // pages come in ascending order
    }
    pairs.HandOver();
    r.pages.Close();
    return pageLimit;
}

// Pass 3: the positions of the other readable streams, only to know whether they are clean.
void CheckOtherStreams(const StreamReader& reader, const IndexFiles& f, const Keys& k,
                       std::vector<uint8_t>& clean, PostingsHold& hold) {
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
        hold.Read(c.BlocksSeen());
        if (ok && !c.Faulty()) clean[size_t(s) / 8] |= uint8_t(1 << (s % 8));
    }
}

// Row starts of the directory, as pairs_format.h draws them: the K + 1 of the neighbouring
// pairs, then the K + 1 of the pairs one apart (counted on from the neighbouring ones).
std::vector<uint32_t> RowStarts(const PairCollector& c, uint32_t keyCount) {
    std::vector<uint32_t> starts;
    uint32_t entry = 0;
    for (uint32_t distance = 1; distance <= 2; ++distance) {
        for (uint32_t a = 0; a < keyCount; ++a) {
            starts.push_back(entry);
            for (uint32_t b = 0; b < keyCount; ++b)
                entry += c.HasPages(distance, uint16_t(a), uint16_t(b)) ? 1 : 0;
        }
        starts.push_back(entry);
    }
    return starts;
}

// The tables before the row checksums: clean bits, keys, row starts, aliases, the keys taking
// part one apart and the keys' page entries.
std::string FirstTables(const Keys& k, const std::vector<uint8_t>& clean,
                        const std::vector<uint32_t>& rowStarts, uint32_t& aliasCount) {
    std::string tables(clean.begin(), clean.end());
    for (int32_t key : k.listed) PutLE32(tables, uint32_t(key));
    for (uint32_t r : rowStarts) PutLE32(tables, r);
    aliasCount = 0;
    for (int32_t s = 0; s < kSlotCount; ++s)
        if (k.keyOfSlot[size_t(s)] != s) {
            PutLE32(tables, uint32_t(s));
            PutLE32(tables, uint32_t(k.keyOfSlot[size_t(s)]));
            ++aliasCount;
        }
    for (bool apart : k.takesPartApart) tables.push_back(char(apart ? 1 : 0));
    for (int32_t key : k.listed)
        PutLE32(tables, uint32_t(std::min<uint64_t>(k.entriesOfKey[size_t(key)], UINT32_MAX)));
    return tables;
}

// The directory, written into its place in the file a few rows at a time as the lists come, the
// checksum of each row (the low half of the checksum of its entries) taken as it ends: held
// whole it would take 16 bytes a pair of fresh memory.
class DirectoryWriter {
public:
    // rowStarts as RowStarts gives them; the directory lies at offset at of out.
    DirectoryWriter(FileReplacement& out, const std::filesystem::path& path, uint64_t at,
                    const std::vector<uint32_t>& rowStarts)
        : m_out(out), m_path(path), m_at(at) {
        const size_t rows = rowStarts.size() / 2 - 1;  // per distance
        for (size_t part = 0; part < 2; ++part)
            for (size_t r = 0; r < rows; ++r) m_rowEnds.push_back(rowStarts[part * (rows + 1) + r + 1]);
        m_bytes.reserve(kFlushBytes + kPairEntrySize * size_t(rows));
    }

    void Add(const uint8_t (&entry)[kPairEntrySize]) {
        EndRows();
        m_bytes.append(reinterpret_cast<const char*>(entry), kPairEntrySize);
        ++m_count;
    }

    // After the last entry: writes what is left and returns the row checksums, rows in order.
    std::vector<uint32_t> Finish() {
        EndRows();
        if (m_sums.size() != m_rowEnds.size())
            throw WriterError("the pairs' directory does not fill its rows");
        Write();
        return std::move(m_sums);
    }

private:
    static constexpr size_t kFlushBytes = size_t(256) << 10;

    // Ends the rows that end before the next entry (empty rows included).
    void EndRows() {
        while (m_sums.size() < m_rowEnds.size() && m_rowEnds[m_sums.size()] == m_count) {
            const size_t from = size_t(m_rowFrom - m_written) * kPairEntrySize;
            m_sums.push_back(uint32_t(Checksum64(m_bytes.data() + from, m_bytes.size() - from)));
            m_rowFrom = m_count;
            if (m_bytes.size() >= kFlushBytes) Write();
        }
    }
    void Write() {
        if (!m_out.WriteAt(m_at + uint64_t(m_written) * kPairEntrySize, m_bytes))
            throw WriterError("cannot write " + m_path.string());
        m_written = m_count;
        m_bytes.clear();
    }

    FileReplacement& m_out;
    const std::filesystem::path& m_path;
    uint64_t m_at;
    std::vector<uint32_t> m_rowEnds, m_sums;
    std::string m_bytes;     // the entries from m_written on
    uint32_t m_count = 0;    // entries added
    uint32_t m_written = 0;  // entries written to the file
    uint32_t m_rowFrom = 0;  // the first entry of the row being filled
};

// Writes the list of every pair to out, in directory order, each as page deltas or as a bitmap,
// whichever is shorter, and its directory entry to directory. Returns the size of the lists.
uint64_t WriteLists(PairCollector& c, uint32_t pageLimit, FileReplacement& out,
                    const std::filesystem::path& path, DirectoryWriter& directory) {
    const uint32_t bitmapBytes = uint32_t((uint64_t(pageLimit) + 7) / 8);
    std::vector<uint8_t> bitmap;
    uint64_t offset = 0;
    c.ForEachList([&](uint16_t second, std::string_view deltas, uint32_t count,
                      std::span<const uint32_t> pages) {
        uint8_t kind = kPairList;
        std::string_view list = deltas;
        if (bitmapBytes < deltas.size()) {
            if (pages.back() >= pageLimit)  // they ascend
                throw WriterError("a pair's pages do not lie below the page limit");
            bitmap.assign(bitmapBytes, 0);
            for (uint32_t page : pages) bitmap[page / 8] |= uint8_t(1 << (page % 8));
            kind = kPairBitmap;
            list = std::string_view(reinterpret_cast<const char*>(bitmap.data()), bitmap.size());
        }
        if (offset + list.size() > UINT32_MAX) throw WriterError("pairs file too large");
        if (!out.Append(list)) throw WriterError("cannot write " + path.string());
        uint8_t entry[kPairEntrySize] = {};
        EncodeLE16(entry, second);
        entry[2] = kind;
        EncodeLE32(entry + 4, count);
        EncodeLE32(entry + 8, uint32_t(offset));
        EncodeLE32(entry + 12, uint32_t(Checksum64(list.data(), list.size())));
        directory.Add(entry);
        offset += list.size();
    });
    return offset;
}

// Writes the points area to out: the entries of the clean streams that have stored points, then
// their points. Returns its size.
uint64_t WritePoints(SpilledPoints& stored, const std::vector<uint8_t>& clean,
                     FileReplacement& out, const std::filesystem::path& path,
                     uint32_t& pointSlots) {
    const auto isClean = [&](int32_t s) { return clean[size_t(s) / 8] >> (s % 8) & 1; };
    std::string entries, bytes;
    uint32_t first = 0;
    pointSlots = 0;
    for (size_t i = 0; i < stored.ofSlots.size(); ++i) {
        const SpilledPoints::OfSlot& of = stored.ofSlots[i];
        if (!isClean(of.slot)) continue;
        stored.Read(i, bytes);
        const size_t at = entries.size();
        PutLE32(entries, uint32_t(of.slot));
        PutLE32(entries, first);
        PutLE32(entries, of.count);
        const uint64_t seed = Checksum64(entries.data() + at, 12);
        PutLE32(entries, uint32_t(Checksum64(bytes.data(), bytes.size(), seed)));
        first += of.count;
        ++pointSlots;
    }
    uint64_t size = entries.size();
    if (!out.Append(entries)) throw WriterError("cannot write " + path.string());
    for (size_t i = 0; i < stored.ofSlots.size(); ++i) {
        if (!isClean(stored.ofSlots[i].slot)) continue;
        stored.Read(i, bytes);
        if (!out.Append(bytes)) throw WriterError("cannot write " + path.string());
        size += bytes.size();
    }
    stored.file.Close();
    return size;
}

// Writes the file: room left for the header and the tables, the lists streamed after it, the
// points area, then the header and the tables, whose directory and checksums the lists gave.
PairsStats WriteFile(const std::filesystem::path& path, const PairsFingerprint& fp, const Keys& k,
                     SpilledPoints& stored, const std::vector<uint8_t>& clean, PairCollector& c,
                     uint32_t pageLimit) {
    const uint32_t keyCount = uint32_t(k.listed.size());
    const std::vector<uint32_t> rowStarts = RowStarts(c, keyCount);
    PairsHeader header;
    header.fingerprint = fp;
    header.pageLimit = pageLimit;
    header.keyCount = keyCount;
    header.pairCount = rowStarts[keyCount];
    header.apartCount = rowStarts.back() - header.pairCount;
    std::string tables = FirstTables(k, clean, rowStarts, header.aliasCount);
    const uint64_t entries = uint64_t(header.pairCount) + header.apartCount;
    const uint64_t listsAt =
        kPairsHeaderSize + tables.size() + 2 * uint64_t(keyCount) * 4 + entries * kPairEntrySize;

    FileReplacement out;
    if (!out.Open(path) || !out.Skip(listsAt)) throw WriterError("cannot write " + path.string());
    DirectoryWriter directory(out, path, kPairsHeaderSize + tables.size() + 2 * uint64_t(keyCount) * 4,
                              rowStarts);
    header.listsSize = WriteLists(c, pageLimit, out, path, directory);
    for (uint32_t sum : directory.Finish()) PutLE32(tables, sum);
    header.pointsSize = WritePoints(stored, clean, out, path, header.pointSlots);
    header.tablesChecksum = Checksum64(tables.data(), tables.size());
    header.fileSize = listsAt + header.listsSize + header.pointsSize;
    if (!out.WriteAt(0, EncodePairsHeader(header)) || !out.WriteAt(kPairsHeaderSize, tables) ||
        !out.Commit())
        throw WriterError("cannot write " + path.string());

    PairsStats stats;
    stats.bytes = header.fileSize;
    stats.keys = keyCount;
    stats.pairs = header.pairCount;
    stats.apart = header.apartCount;
    return stats;
}

}  // namespace

PairsStats WritePairsFile(const std::filesystem::path& folder, const std::string& stem,
                          uint32_t maxKeys, uint32_t apartKeys, uint64_t listMemory) {
    if (maxKeys == 0 || maxKeys > kMaxPairKeys) maxKeys = kMaxPairKeys;
    apartKeys = std::min(apartKeys, kApartKeys);
    PairsFingerprint fp;
    if (!ComputePairsFingerprint(folder, stem, fp))
        throw WriterError("cannot read the index files of " + (folder / stem).string());
    IndexFiles f;
    ReadIndexFiles(folder, stem, f);
    const StreamReader reader(f.postings.Data(), f.postings.Size(), f.next.data(),
                              uint32_t(f.next.size()), f.blockCount);
    PostingsHold hold(f.postings);
    std::string table;
    std::vector<VariantGroup> groups;
    if (ReadWholeFile(folder / "yitizi.txt", table)) groups = ParseVariantTable(table);

    const std::filesystem::path path = folder / (stem + kPairsSuffix);
    Keys keys;
    keys.keyOfSlot = PairKeys(groups);
    SpilledPoints stored;
    stored.beside = path;
    CountKeyEntries(reader, f, keys, stored, hold);
    ChooseKeys(maxKeys, apartKeys, keys);

    std::vector<uint8_t> clean(kSlotBits / 8, 0);
    if (listMemory == 0)
        listMemory = std::clamp<uint64_t>(f.postings.Size() / 4, kLeastArena, kMostArena);
    PairCollector pairs(uint32_t(keys.listed.size()), keys.takesPartApart, path,
                        size_t(std::min<uint64_t>(listMemory, uint64_t(1) << 30)));
    const uint32_t pageLimit = CollectPairs(reader, f, keys, clean, pairs, hold);
    CheckOtherStreams(reader, f, keys, clean, hold);
    f.postings.Close();

    PairsStats stats = WriteFile(path, fp, keys, stored, clean, pairs, pageLimit);
    for (int32_t s = 0; s < kSlotCount; ++s)
        if (f.firstBlock[size_t(s)] != -1 && !(clean[size_t(s) / 8] >> (s % 8) & 1))
            ++stats.faultySlots;
    return stats;
}

PairsStats WriteRecordedPairsFile(const std::filesystem::path& folder, const std::string& stem,
                                  PairsRecord& record, uint32_t maxKeys, uint32_t apartKeys,
                                  uint64_t listMemory) {
    std::string table;
    std::vector<VariantGroup> groups;
    if (ReadWholeFile(folder / "yitizi.txt", table)) groups = ParseVariantTable(table);
    bool fits = record.keyOfSlot == PairKeys(groups) && record.entries.size() == size_t(kSlotCount);
    for (size_t s = 0; fits && s < record.entries.size(); ++s)
        fits = record.entries[s] == 0 || record.lastPage[s] != UINT32_MAX;
    if (!fits) return WritePairsFile(folder, stem, maxKeys, apartKeys, listMemory);

    if (maxKeys == 0 || maxKeys > kMaxPairKeys) maxKeys = kMaxPairKeys;
    apartKeys = std::min(apartKeys, kApartKeys);
    PairsFingerprint fp;
    if (!ComputePairsFingerprint(folder, stem, fp))
        throw WriterError("cannot read the index files of " + (folder / stem).string());
    const std::filesystem::path path = folder / (stem + kPairsSuffix);
    // Every stream the writer wrote reads cleanly to its end.
    Keys keys;
    keys.keyOfSlot = std::move(record.keyOfSlot);
    keys.entriesOfKey.assign(kSlotCount, 0);
    keys.readable.assign(kSlotCount, 0);
    std::vector<uint8_t> clean(kSlotBits / 8, 0);
    for (int32_t s = 0; s < kSlotCount; ++s) {
        const uint32_t entries = record.entries[size_t(s)];
        if (entries == 0) continue;
        keys.readable[size_t(s)] = 1;
        clean[size_t(s) / 8] |= uint8_t(1 << (s % 8));
        uint64_t& ofKey = keys.entriesOfKey[size_t(keys.keyOfSlot[size_t(s)])];
        ofKey = std::max<uint64_t>(ofKey, entries);
    }
    ChooseKeys(maxKeys, apartKeys, keys);

    if (listMemory == 0) {
        std::error_code ec;
        const uint64_t postings = std::filesystem::file_size(folder / (stem + "-idx.m"), ec);
        listMemory = std::clamp<uint64_t>(ec ? 0 : postings / 4, kLeastArena, kMostArena);
    }
    PairCollector pairs(uint32_t(keys.listed.size()), keys.takesPartApart, path,
                        size_t(std::min<uint64_t>(listMemory, uint64_t(1) << 30)));
    const uint32_t pageLimit = CollectRecordedPairs(record, keys, pairs);
    return WriteFile(path, fp, keys, record.points, clean, pairs, pageLimit);
}

uint64_t AccelerateCollection(const std::filesystem::path& folder, const std::string& baseName) {
    // On two threads, each taking the next file when done with one: the whole text and the
    // main text first, the small notes last.
    const int modes[] = {kModeWholeText, kModeMainText, kModeNotes};
    PairsStats stats[3];
    RunOnTwoThreads(3, [&](size_t i) {
        stats[i] = WritePairsFile(folder, IndexFileStem(baseName, modes[i]));
    });
    return stats[0].bytes + stats[1].bytes + stats[2].bytes;
}

}  // namespace kolva
