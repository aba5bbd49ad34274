// Writers of every data file of a collection. The reader never writes; kolva-build, the tests,
// the benchmarks and the fuzzers' seed corpora make collections with these.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "index/index.h"
#include "index/postings_stream.h"
#include "platform/spill_file.h"

namespace kolva {

// Raised when a collection cannot be written: an I/O error or data the formats cannot hold.
class WriterError : public std::runtime_error {
public:
    explicit WriterError(const std::string& what) : std::runtime_error(what) {}
};

// Writes "<base>-fl.h" and "<base>-fl.cnt". Blobs are appended to the content file as they come;
// the page list is written by Finish.
class PageStoreWriter {
public:
    PageStoreWriter(const std::filesystem::path& folder, const std::string& baseName = "Index",
                    int32_t nameSize = 100);
    ~PageStoreWriter();

    // Appends a page: its record name (e.g. "kolva\\0012.htm") and its UTF-8 HTML.
    void AddPage(std::string_view name, std::string_view html);
    // Lower level, for unusual layouts: append scrambled bytes and get their end offset; add a
    // record with any end offset and length.
    uint32_t AppendBlob(std::string_view html);
    void AddRecord(std::string_view name, uint32_t endOffset, uint32_t blobLength);

    // The header's first word; the number of records unless set.
    void SetHeaderCount(int32_t count) { m_headerCount = count; m_headerCountSet = true; }
    uint32_t PageCount() const { return m_recordCount; }
    void Finish();

private:
    std::filesystem::path m_listPath;
    std::ofstream m_content;
    std::string m_records;
    int32_t m_nameSize;
    uint32_t m_recordCount = 0;
    uint64_t m_contentSize = 0;
    int32_t m_headerCount = 0;
    bool m_headerCountSet = false;
    bool m_finished = false;
};

// How the postings blocks are numbered.
enum class BlockOrder {
    kAsFilled,     // in the order blocks fill up while pages are added (streams interleave)
    kSequential,   // each slot's blocks together, slots in slot order
    kInterleaved,  // one block of each slot in turn, so every chain jumps around the file
    kReversed,     // sequential, then the whole block order reversed
};

// The stored points of streams, by slot, as the pairs file holds them (kStoredPointSize bytes
// each), kept in a spill file beside the pairs file until the file is written.
struct SpilledPoints {
    struct OfSlot {
        int32_t slot;
        uint64_t offset;  // in the spill file
        uint32_t count;
    };
    std::filesystem::path beside;
    SpillFile file;
    std::vector<OfSlot> ofSlots;

    // Appends the points of a slot.
    void Add(int32_t slot, const std::vector<StreamPoint>& points);
    // The points of ofSlots[i].
    void Read(size_t i, std::string& bytes);
};

// What an index writer records for the pairs file of its index while the pages come
// (IndexWriter::RecordPairs), so that the file can be made without reading the postings back:
// every page's keys in position order, and per slot its page entries and the stream points a
// reader of the written postings would take at its stored entries.
struct PairsRecord {
    std::vector<int32_t> keyOfSlot;  // PairKey of every slot, for the writer's variant groups
    std::vector<int32_t> keyOfCode;  // the key of code c + 1: keys numbered as pages reach them
    // Per page with positions: the page and its position count (LEB128), then per position the
    // code of its key, or 0 and the codes of two keys where the position's two slots have
    // different keys: a 16-bit word below 0x8000, else two (the high part first, its top bit
    // set), little-endian.
    SpillFile pages;
    std::vector<uint32_t> entries;   // page entries of every slot
    std::vector<uint32_t> lastPage;  // page of every slot's last entry
    // The point of every kStoredPointInterval-th entry of the slots of at least
    // kStoredPointsFrom entries, by slot in ascending order, then entry.
    SpilledPoints points;
};

// Collects positions and writes one index pair "<stem>-idx.h" and "<stem>-idx.m".
//
// Each slot's stream is cut into 4096-byte blocks as soon as a block fills, so memory holds only
// every slot's unfinished block. Given a postings path, full blocks go straight to that file and
// Write must name the same file (order kAsFilled); otherwise they are kept in memory and Write
// can lay them out in any order.
class IndexWriter {
public:
    explicit IndexWriter(const std::vector<VariantGroup>& groups = {},
                         const std::filesystem::path& postingsPath = {});

    // One position of a slot. Per slot, pages must come in ascending order and positions in
    // strictly ascending order within a page.
    void AddPosition(int32_t slot, uint32_t page, uint32_t position);
    // The indexed text of one page in reading order: every character with a slot takes the next
    // position (from 0) under its own slot and, when in a variant group, under the first group's
    // slot; characters without a slot take none. Pages must come in ascending order.
    void AddText(uint32_t page, std::u32string_view text);

    // Records what the pairs file of the index needs (PairsRecord) as the pages come; the page
    // keys and the entries that may get stored points go to spill files beside spillBeside.
    // Pages must then come by AddText only, each once. The points are put by slot in groups
    // that take about pointMemory bytes (0: 16 MB), however many there are.
    void RecordPairs(const std::filesystem::path& spillBeside, size_t pointMemory = 0);
    // The record, once the index is written (the points lie in the blocks as first written; null
    // when none was kept).
    std::unique_ptr<PairsRecord> TakePairsRecord() { return std::move(m_record); }

    // Encoded postings stream of a slot (in-memory writers only; for tests).
    std::string SlotStream(int32_t slot) const;
    uint64_t PositionCount() const { return m_positionCount; }

    // Writes the header and the rest of the postings. No positions may be added afterwards; an
    // in-memory writer may write its index again (under another stem or in another order).
    void Write(const std::filesystem::path& folder, const std::string& stem,
               BlockOrder order = BlockOrder::kAsFilled);

private:
    // A slot's stream is written straight into its tail, page entry by page entry; the entry of
    // the slot's last page stays last in the tail and takes more positions while that page
    // lasts. Full blocks leave the tail only when the next entry starts (or at Finish), so that
    // blocks are numbered in the order in which slots reach a new page. One cache line a slot.
    struct alignas(64) SlotPostings {
        char* tail = nullptr;      // stream bytes not yet in a block (from m_tails)
        uint32_t tailSize = 0;
        uint32_t tailCapacity = 0;
        uint64_t length = 0;       // bytes of the stream
        uint32_t lastPage = 0;     // page of the last entry
        uint32_t lastPosition = 0;
        uint32_t firstBlock = 0xFFFFFFFF;
        uint32_t lastBlock = 0xFFFFFFFF;
        uint32_t pageCount = 0;    // AddText: the slot's positions on the page being added
        uint32_t entries = 0;      // page entries started
        uint32_t keyCode = 0;      // recording: the code of the slot's key, 0 until known
        uint16_t countAt = 0;      // where the byte count of the last entry lies in the tail
        bool hasEntry = false;     // an entry was started
    };
    // The tails' memory: buffers of 64 << k bytes cut from large chunks that the system may back
    // with large pages. Thousands of tails are written in turn, a few bytes each, and with a
    // small page each they would miss the address translation cache at nearly every visit.
    class TailPool {
    public:
        TailPool() = default;
        TailPool(const TailPool&) = delete;
        TailPool& operator=(const TailPool&) = delete;
        ~TailPool();
        // A buffer of at least capacity bytes; capacity becomes its size.
        char* Allocate(uint32_t& capacity);
        void Release(char* buffer, uint32_t capacity);

    private:
        static constexpr size_t kChunkSize = size_t(8) << 20;
        static constexpr int kClasses = 16;  // 64 bytes to 2 MB; larger buffers are mapped alone
        std::vector<std::pair<char*, size_t>> m_mappings;  // chunks and large buffers
        char* m_free = nullptr;                            // unused rest of the last chunk
        size_t m_freeSize = 0;
        std::vector<char*> m_released[kClasses];
    };
    // Makes room for `more` bytes after the tail's end.
    void ReserveTail(SlotPostings& s, size_t more);
    // Positions of one slot on one page, strictly ascending: AddPosition for each in turn.
    void AddPositions(SlotPostings& s, uint32_t page, const uint32_t* positions, size_t count);
    void Finish();
    void FlushFullBlocks(SlotPostings& s);
    void EmitBlock(SlotPostings& s, const char* bytes);
    int32_t GroupSlot(uint32_t codePoint) const;
    // Recording: AddText's count of the page's positions per slot with their keys noted, and a
    // slot's whole entry of the page, its bytes after the header from headerEnd in the stream.
    void RecordPage(uint32_t page, uint32_t positions);
    void RecordEntry(SlotPostings& s, uint32_t page, uint64_t headerEnd, uint32_t bytes);
    uint32_t NewKeyCode(SlotPostings& s);  // the code of the slot's key, first asked for
    // Recording: the stream points of the recorded entries in the blocks as written.
    void PlacePoints(const std::vector<uint32_t>& newNumber);

    std::vector<SlotPostings> m_slots;  // by slot
    std::unique_ptr<TailPool> m_tails = std::make_unique<TailPool>();
    std::vector<int32_t> m_groupSlotByChar;  // code point -> group slot, -1 none (up to the
                                             // largest member)
    std::vector<uint32_t> m_next;            // next-block table
    // AddText's work lists, kept between pages: the page's (slot, position) pairs, the slots in
    // the order the page first reaches them, the positions sorted by slot.
    std::vector<int32_t> m_pageSlots;
    std::vector<std::pair<int32_t, uint32_t>> m_pagePairs;
    std::vector<uint32_t> m_pagePositions;
    std::string m_memory;                    // blocks of an in-memory writer
    std::filesystem::path m_postingsPath;    // blocks of a streaming writer
    std::vector<VariantGroup> m_groups;
    std::ofstream m_postingsFile;
    uint64_t m_positionCount = 0;
    bool m_written = false;
    // Recording (RecordPairs): the record, each key's code (0: none yet), the page's codes, and
    // every kStoredPointInterval-th entry of every slot as it came (kEntryRecordSize bytes each:
    // slot, page, and the stream's length after the entry's header with the entry's byte count
    // in the top 16 bits), the points of the long streams among them.
    static constexpr size_t kEntryRecordSize = 16;
    std::unique_ptr<PairsRecord> m_record;
    std::vector<uint32_t> m_codeOfKey;
    std::string m_pageCodes;
    SpillFile m_recordedEntries;
    size_t m_pointMemory = 0;
};

// One record of the catalogue "kolva.dir".
struct CatalogueEntry {
    std::u16string name;       // at most 99 units
    int32_t level = 1;         // 1 category, 2 book, 3 volume
    int32_t docID = 0;         // 1-based page index of the first page
    int32_t docNo = 0;         // number of pages
    uint16_t firstPage = 0;  // page number of the first page
};
void WriteCatalogue(const std::filesystem::path& path, const std::vector<CatalogueEntry>& entries);

// Writes "yitizi.txt": one line a group, members in upper-case hexadecimal, LF line ends.
void WriteVariantTable(const std::filesystem::path& path, const std::vector<VariantGroup>& groups);

}  // namespace kolva
