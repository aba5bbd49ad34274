#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "index/pairs.h"
#include "index/pairs_format.h"
#include "index/postings_format.h"
#include "platform/coding.h"
#include "writer/writer.h"

namespace kolva {

namespace {

constexpr uint32_t kNoBlock = 0xFFFFFFFF;

// The format's PutPostingNumber for a page delta or position step, which nothing bounded yet.
char* PutCheckedNumber(char* out, uint32_t value) {
    if (value > kMaxPostingNumber)
        throw WriterError("a page index or position is too large for the index: " +
                          std::to_string(value));
    return PutPostingNumber(out, value);
}

char* MapMemory(size_t size) {
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    madvise(p, size, MADV_HUGEPAGE);  // a hint; without it the pool works all the same
#endif
    return static_cast<char*>(p);
}

}  // namespace

IndexWriter::TailPool::~TailPool() {
    for (const auto& [p, size] : m_mappings) munmap(p, size);
}

char* IndexWriter::TailPool::Allocate(uint32_t& capacity) {
    int k = 0;
    while (k < kClasses && (size_t(64) << k) < capacity) ++k;
    if (k == kClasses) {
        m_mappings.emplace_back(MapMemory(capacity), capacity);
        return m_mappings.back().first;
    }
    capacity = uint32_t(64) << k;
    if (!m_released[k].empty()) {
        char* p = m_released[k].back();
        m_released[k].pop_back();
        return p;
    }
    if (m_freeSize < capacity) {
        m_mappings.reserve(m_mappings.size() + 1);
        m_free = MapMemory(kChunkSize);
        m_freeSize = kChunkSize;
        m_mappings.emplace_back(m_free, kChunkSize);
    }
    char* p = m_free;
    m_free += capacity;
    m_freeSize -= capacity;
    return p;
}

void IndexWriter::TailPool::Release(char* buffer, uint32_t capacity) {
    if (!buffer) return;
    int k = 0;
    while (k < kClasses && (size_t(64) << k) < capacity) ++k;
    if (k < kClasses) {
        m_released[k].push_back(buffer);
        return;
    }
    for (auto it = m_mappings.begin(); it != m_mappings.end(); ++it)
        if (it->first == buffer) {
            munmap(buffer, it->second);
            m_mappings.erase(it);
            return;
        }
}

void IndexWriter::ReserveTail(SlotPostings& s, size_t more) {
    const size_t needed = s.tailSize + more;
    if (needed <= s.tailCapacity) return;
    if (needed > UINT32_MAX / 2)
        throw WriterError("one page holds too many positions of one character for the index");
    uint32_t capacity = std::max<uint32_t>(uint32_t(needed), 2 * s.tailCapacity);
    char* bigger = m_tails->Allocate(capacity);
    if (s.tailSize) std::memcpy(bigger, s.tail, s.tailSize);
    m_tails->Release(s.tail, s.tailCapacity);
    s.tail = bigger;
    s.tailCapacity = capacity;
}

IndexWriter::IndexWriter(const std::vector<VariantGroup>& groups,
                         const std::filesystem::path& postingsPath)
    : m_slots(kSlotCount), m_postingsPath(postingsPath), m_groups(groups) {
    if (!postingsPath.empty()) {
        m_postingsFile.open(postingsPath, std::ios::binary | std::ios::trunc);
        if (!m_postingsFile) throw WriterError("cannot create " + postingsPath.string());
    }
    if (groups.empty()) return;
    uint32_t largest = 0;
    for (const VariantGroup& g : groups)
        for (uint32_t member : g) largest = std::max(largest, std::min<uint32_t>(member, 0x10FFFF));
    m_groupSlotByChar.assign(size_t(largest) + 1, -1);
    // Walk the groups backwards so that the first group holding a character wins.
    for (size_t g = std::min(groups.size(), size_t(kMaxVariantGroups)); g-- > 0;)
        for (uint32_t member : groups[g])
            if (member < m_groupSlotByChar.size())
                m_groupSlotByChar[member] = kVariantSlotBase + int32_t(g);
}

int32_t IndexWriter::GroupSlot(uint32_t codePoint) const {
    return codePoint < m_groupSlotByChar.size() ? m_groupSlotByChar[codePoint] : -1;
}

void IndexWriter::EmitBlock(SlotPostings& s, const char* bytes) {
    if (m_next.size() >= kNoBlock - 1) throw WriterError("the index would have too many blocks");
    const uint32_t block = uint32_t(m_next.size());
    m_next.push_back(kNoBlock);
    if (m_postingsFile.is_open()) {
        m_postingsFile.write(bytes, kBlockSize);
        if (!m_postingsFile) throw WriterError("cannot write " + m_postingsPath.string());
    } else {
        m_memory.append(bytes, kBlockSize);
    }
    if (s.lastBlock == kNoBlock)
        s.firstBlock = block;
    else
        m_next[s.lastBlock] = block;
    s.lastBlock = block;
}

void IndexWriter::FlushFullBlocks(SlotPostings& s) {
    size_t done = 0;
    for (; s.tailSize - done >= kBlockSize; done += kBlockSize) EmitBlock(s, s.tail + done);
    if (!done) return;
    s.tailSize -= uint32_t(done);
    std::memmove(s.tail, s.tail + done, s.tailSize);
}

void IndexWriter::AddPosition(int32_t slot, uint32_t page, uint32_t position) {
    if (slot < 0 || slot >= kSlotCount) throw WriterError("slot out of range");
    if (m_record) throw WriterError("a writer that records for the pairs file takes whole texts");
    AddPositions(m_slots[size_t(slot)], page, &position, 1);
}

void IndexWriter::AddPositions(SlotPostings& s, uint32_t page, const uint32_t* positions,
                               size_t count) {
    if (m_written) throw WriterError("the index was already written");
    if (count == 0) return;
    // The first number of an entry is the position itself, the later ones are steps.
    uint32_t last = 0;
    uint64_t recordFrom = 0;  // recording: where the entry's positions start, if kept
    if (s.hasEntry && page == s.lastPage) {
        if (m_record)
            throw WriterError("a writer that records for the pairs file takes a page once");
        if (positions[0] <= s.lastPosition) throw WriterError("positions must ascend within a page");
        last = s.lastPosition;
    } else {
        if (s.hasEntry && page < s.lastPage) throw WriterError("pages must ascend per character");
        FlushFullBlocks(s);  // leaves less than a block
        ReserveTail(s, kMaxPostingNumberBytes + kEntryCountBytes);
        char* const entry = s.tail + s.tailSize;
        char* const byteCount = PutCheckedNumber(entry, s.hasEntry ? page - s.lastPage : page);
        PutEntryByteCount(byteCount, 0);
        s.countAt = uint16_t(byteCount - s.tail);
        s.tailSize += uint32_t(byteCount + kEntryCountBytes - entry);
        s.length += uint64_t(byteCount + kEntryCountBytes - entry);
        s.lastPage = page;
        s.hasEntry = true;
        if (m_record && s.entries % kStoredPointInterval == 0) recordFrom = s.length;
        ++s.entries;
    }
    ReserveTail(s, kMaxPostingNumberBytes * count);
    char* const start = s.tail + s.tailSize;
    char* out = start;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t position = positions[i];
        if (i > 0 && position <= last) throw WriterError("positions must ascend within a page");
        out = PutCheckedNumber(out, position - last);
        last = position;
    }
    const size_t added = size_t(out - start);
    // The byte count of an entry has 16 bits.
    char* const countBytes = s.tail + s.countAt;
    const size_t bytes = GetEntryByteCount(reinterpret_cast<const uint8_t*>(countBytes)) + added;
    if (bytes > 0xFFFF)
        throw WriterError("one page holds too many positions of one character for the index");
    PutEntryByteCount(countBytes, uint32_t(bytes));
    s.tailSize += uint32_t(added);
    s.length += added;
    s.lastPosition = last;
    m_positionCount += count;
    // A recording writer has the page's positions of the slot all at once: the entry is whole.
    if (recordFrom != 0) RecordEntry(s, page, recordFrom, uint32_t(bytes));
}

void IndexWriter::AddText(uint32_t page, std::u32string_view text) {
    // The positions are sorted by slot first (slots in the order the text first reaches them,
    // which is the order in which blocks fill), then each slot takes all of its positions at
    // once: the same bytes as AddPosition per character, with one visit per slot and page.
    // The slots' lines are fetched ahead, as the visits jump all over the slot table.
    constexpr size_t kAhead = 8;
    m_pagePairs.clear();
    uint32_t position = 0;
    for (char32_t c : text) {
        const int32_t slot = CharToSlot(c);
        if (slot < 0) continue;
        m_pagePairs.emplace_back(slot, position);
        const int32_t group = GroupSlot(c);
        if (group >= 0) m_pagePairs.emplace_back(group, position);
        ++position;
    }
    const size_t pairs = m_pagePairs.size();
    m_pageSlots.clear();
    if (m_record && position != 0) {
        RecordPage(page, position);
    } else {
        for (size_t i = 0; i < pairs; ++i) {
            if (i + kAhead < pairs)
                __builtin_prefetch(&m_slots[size_t(m_pagePairs[i + kAhead].first)], 1);
            const int32_t slot = m_pagePairs[i].first;
            if (m_slots[size_t(slot)].pageCount++ == 0) m_pageSlots.push_back(slot);
        }
    }
    uint32_t start = 0;
    for (int32_t slot : m_pageSlots) {
        uint32_t& cursor = m_slots[size_t(slot)].pageCount;
        const uint32_t n = cursor;
        cursor = start;
        start += n;
    }
    m_pagePositions.resize(pairs);
    for (const auto& [slot, at] : m_pagePairs) m_pagePositions[m_slots[size_t(slot)].pageCount++] = at;
    // Each cursor now stands at the end of its slot's run; every one goes back to zero.
    const size_t slots = m_pageSlots.size();
    uint32_t begin = 0;
    try {
        for (size_t k = 0; k < slots; ++k) {
            if (k + kAhead < slots) {
                const SlotPostings& ahead = m_slots[size_t(m_pageSlots[k + kAhead])];
                __builtin_prefetch(ahead.tail + ahead.tailSize, 1);
            }
            SlotPostings& s = m_slots[size_t(m_pageSlots[k])];
            const uint32_t end = s.pageCount;
            s.pageCount = 0;
            AddPositions(s, page, m_pagePositions.data() + begin, end - begin);
            begin = end;
        }
    } catch (...) {
        for (int32_t slot : m_pageSlots) m_slots[size_t(slot)].pageCount = 0;
        throw;
    }
}

void IndexWriter::RecordPairs(const std::filesystem::path& spillBeside, size_t pointMemory) {
    if (m_written || m_positionCount != 0)
        throw WriterError("a writer records for the pairs file from its first page");
    m_record = std::make_unique<PairsRecord>();
    if (!m_record->pages.Create(spillBeside) || !m_recordedEntries.Create(spillBeside))
        throw WriterError("cannot make a spill file beside " + spillBeside.string());
    m_record->points.beside = spillBeside;
    m_record->keyOfSlot = PairKeys(m_groups);
    m_codeOfKey.assign(kSlotCount, 0);
    m_pointMemory = pointMemory != 0 ? pointMemory : size_t(16) << 20;
}

uint32_t IndexWriter::NewKeyCode(SlotPostings& s) {
    const int32_t key = m_record->keyOfSlot[size_t(&s - m_slots.data())];
    uint32_t& code = m_codeOfKey[size_t(key)];
    if (code == 0) {
        m_record->keyOfCode.push_back(key);
        code = uint32_t(m_record->keyOfCode.size());
    }
    return s.keyCode = code;
}

namespace {

// A key code (below 2^31) in one 16-bit word, or two with the high bit of the first set.
inline char* PutCode(char* out, uint32_t code) {
    if (code < 0x8000) {
        const uint16_t word = uint16_t(code);
        std::memcpy(out, &word, 2);
        return out + 2;
    }
    const uint16_t words[2] = {uint16_t(0x8000 | code >> 16), uint16_t(code)};
    std::memcpy(out, words, 4);
    return out + 4;
}

}  // namespace

void IndexWriter::RecordPage(uint32_t page, uint32_t positions) {
    // AddText's count of each slot's positions, and each position's key code: one code, or 0
    // and two where the key of the position's group is not its own slot's. The code is kept
    // in the slot's line, which the count fetches anyway.
    constexpr size_t kAhead = 8;
    // At most a 0 word and two codes of two words each a position.
    const size_t room = size_t(positions) * 10 + 16;
    if (m_pageCodes.size() < room) m_pageCodes.resize(room);
    char* const start = m_pageCodes.data() + 16;  // room for the page and the count before
    char* out = start;
    const size_t pairs = m_pagePairs.size();
    uint32_t pending = 0;  // the code of a position's own slot, when its group's follows
    for (size_t i = 0; i < pairs; ++i) {
        if (i + kAhead < pairs)
            __builtin_prefetch(&m_slots[size_t(m_pagePairs[i + kAhead].first)], 1);
        const int32_t slot = m_pagePairs[i].first;
        SlotPostings& s = m_slots[size_t(slot)];
        if (s.pageCount++ == 0) m_pageSlots.push_back(slot);
        const uint32_t code = s.keyCode != 0 ? s.keyCode : NewKeyCode(s);
        if (pending != 0) {
            if (pending != code) {
                out = PutCode(out, 0);
                out = PutCode(out, pending);
            }
            out = PutCode(out, code);
            pending = 0;
        } else if (i + 1 < pairs && m_pagePairs[i + 1].second == m_pagePairs[i].second) {
            pending = code;
        } else {
            out = PutCode(out, code);
        }
    }
    char header[16];
    char* h = header;
    for (uint32_t v : {page, positions}) {
        for (; v >= 0x80; v >>= 7) *h++ = char(v | 0x80);
        *h++ = char(v);
    }
    char* const from = start - (h - header);
    std::memcpy(from, header, size_t(h - header));
    if (!m_record->pages.Append(from, size_t(out - from)))
        throw WriterError("cannot write a spill file for the pairs file");
}

void IndexWriter::RecordEntry(SlotPostings& s, uint32_t page, uint64_t headerEnd,
                              uint32_t bytes) {
    if (headerEnd >> 48 != 0) throw WriterError("a stream too long for the pairs file");
    char record[kEntryRecordSize];
    const uint32_t slot = uint32_t(&s - m_slots.data());
    const uint64_t place = headerEnd | uint64_t(bytes) << 48;
    std::memcpy(record, &slot, 4);
    std::memcpy(record + 4, &page, 4);
    std::memcpy(record + 8, &place, 8);
    if (!m_recordedEntries.Append(record, sizeof record))
        throw WriterError("cannot write a spill file for the pairs file");
}

void IndexWriter::PlacePoints(const std::vector<uint32_t>& newNumber) {
    PairsRecord& r = *m_record;
    r.entries.resize(kSlotCount);
    r.lastPage.resize(kSlotCount);
    for (size_t slot = 0; slot < m_slots.size(); ++slot) {
        r.entries[slot] = m_slots[slot].entries;
        r.lastPage[slot] = m_slots[slot].hasEntry ? m_slots[slot].lastPage : 0;
    }
    // The recorded entries of a slot with stored points: one every kStoredPointInterval.
    const auto pointsOf = [&](size_t slot) -> uint64_t {
        const uint32_t entries = m_slots[slot].entries;
        return entries < kStoredPointsFrom ? 0 : (entries + kStoredPointInterval - 1) /
                                                     kStoredPointInterval;
    };
    const uint64_t recorded = m_recordedEntries.Size();
    if (recorded % kEntryRecordSize != 0)
        throw WriterError("the spill file of the pairs file does not read back");
    struct Entry {
        uint32_t page;
        uint64_t place;  // the stream's length after the header, the byte count on top
    };
    const size_t groupLimit =
        std::clamp<size_t>(m_pointMemory / sizeof(Entry), 1, size_t(UINT32_MAX) / 2);
    // A slot's next place in the group's entries, and the end of its places (a group's places
    // number less than 2^32 unless a single slot has more, which no page count allows).
    std::vector<uint32_t> next(kSlotCount), placesEnd(kSlotCount);
    std::vector<Entry> group;
    std::vector<char> buffer(size_t(256) << 10);  // a multiple of kEntryRecordSize
    std::vector<StreamPoint> points;
    std::vector<uint32_t> chain;
    // The slots in groups whose entries fit the memory given (a slot alone when it needs more),
    // each group's entries put by slot from one read of the spill file.
    for (size_t first = 0; first < m_slots.size();) {
        uint64_t total = 0;
        size_t end = first;
        for (; end < m_slots.size(); ++end) {
            const uint64_t n = pointsOf(end);
            if (total != 0 && total + n > groupLimit) break;
            next[end] = uint32_t(total);
            total += n;
            placesEnd[end] = uint32_t(total);
        }
        if (total == 0) {
            first = end;
            continue;
        }
        group.resize(size_t(total));
        for (uint64_t at = 0; at < recorded;) {
            const size_t n = size_t(std::min<uint64_t>(buffer.size(), recorded - at));
            if (!m_recordedEntries.ReadAt(at, buffer.data(), n))
                throw WriterError("the spill file of the pairs file does not read back");
            at += n;
            for (size_t k = 0; k < n; k += kEntryRecordSize) {
                uint32_t slot;
                Entry e;
                std::memcpy(&slot, buffer.data() + k, 4);
                std::memcpy(&e.page, buffer.data() + k + 4, 4);
                std::memcpy(&e.place, buffer.data() + k + 8, 8);
                if (slot < first || slot >= end || pointsOf(slot) == 0) continue;
                if (next[slot] == placesEnd[slot])
                    throw WriterError("the recorded entries do not lie in the written stream");
                group[size_t(next[slot]++)] = e;
            }
        }
        uint64_t from = 0;
        for (size_t slot = first; slot < end; ++slot) {
            const uint64_t n = pointsOf(slot);
            if (n == 0) continue;
            if (next[slot] != placesEnd[slot])
                throw WriterError("the recorded entries do not lie in the written stream");
            const SlotPostings& s = m_slots[slot];
            chain.clear();
            for (uint32_t b = s.firstBlock; b != kNoBlock; b = m_next[b]) chain.push_back(b);
            points.clear();
            // A reader enters a block only for a byte of it: after an entry's header it stands
            // in the block of the header's last byte, at the offset past it.
            for (uint64_t k = from; k < from + n; ++k) {
                const Entry& e = group[size_t(k)];
                const uint64_t headerEnd = e.place & ((uint64_t(1) << 48) - 1);
                const uint64_t index = (headerEnd - 1) / kBlockSize;
                if (headerEnd == 0 || index >= chain.size())
                    throw WriterError("the recorded entries do not lie in the written stream");
                points.push_back(StreamPoint{e.page, newNumber[chain[index]], uint32_t(index + 1),
                                             uint16_t(headerEnd - index * kBlockSize),
                                             uint16_t(e.place >> 48)});
            }
            r.points.Add(int32_t(slot), points);
            from += n;
        }
        first = end;
    }
    m_recordedEntries.Close();
    std::vector<uint32_t>().swap(m_codeOfKey);
}

std::string IndexWriter::SlotStream(int32_t slot) const {
    if (!m_postingsPath.empty()) throw WriterError("the stream of a streaming writer is on disk");
    const SlotPostings& s = m_slots[size_t(slot)];
    std::string stream;
    for (uint32_t b = s.firstBlock; b != kNoBlock; b = m_next[b])
        stream.append(m_memory, size_t(b) * kBlockSize, kBlockSize);
    stream.append(s.tail, s.tailSize);
    return stream.substr(0, size_t(s.length));
}

void IndexWriter::Finish() {
    // The unfinished block of every slot becomes its last block, padded with zeros.
    for (SlotPostings& s : m_slots) {
        FlushFullBlocks(s);
        if (s.tailSize) {
            ReserveTail(s, kBlockSize - s.tailSize);
            std::memset(s.tail + s.tailSize, 0, kBlockSize - s.tailSize);
            EmitBlock(s, s.tail);
        }
        m_tails->Release(s.tail, s.tailCapacity);
        s.tail = nullptr;
        s.tailSize = s.tailCapacity = 0;
    }
    // An empty file cannot be mapped, so an index without postings still has one block.
    if (m_next.empty()) {
        SlotPostings none;
        EmitBlock(none, std::string(kBlockSize, '\0').data());
    }
}

void IndexWriter::Write(const std::filesystem::path& folder, const std::string& stem,
                        BlockOrder order) {
    const std::filesystem::path postingsPath = folder / (stem + "-idx.m");
    const bool streaming = !m_postingsPath.empty();
    if (streaming && (m_written || order != BlockOrder::kAsFilled || postingsPath != m_postingsPath))
        throw WriterError("a streaming index writer writes its own file once, in fill order");
    const bool first = !m_written;
    if (first) Finish();
    m_written = true;

    // Renumber the blocks for the layouts tests ask for.
    const uint32_t blocks = uint32_t(m_next.size());
    std::vector<uint32_t> newNumber(blocks);
    for (uint32_t b = 0; b < blocks; ++b) newNumber[b] = b;
    if (order != BlockOrder::kAsFilled) {
        std::vector<std::vector<uint32_t>> chains;
        for (const SlotPostings& s : m_slots) {
            if (s.firstBlock == kNoBlock) continue;
            chains.emplace_back();
            for (uint32_t b = s.firstBlock; b != kNoBlock; b = m_next[b]) chains.back().push_back(b);
        }
        uint32_t next = 0;
        if (order == BlockOrder::kInterleaved) {
            for (size_t round = 0; next < blocks && !chains.empty(); ++round)
                for (const auto& c : chains)
                    if (round < c.size()) newNumber[c[round]] = next++;
        } else {
            for (const auto& c : chains)
                for (uint32_t b : c) newNumber[b] = next++;
            if (order == BlockOrder::kReversed)
                for (uint32_t& n : newNumber) n = blocks - 1 - n;
        }
    }

    if (m_record && first) PlacePoints(newNumber);

    std::string header;
    header.reserve(size_t(kHeaderTablesSize) + size_t(blocks) * 4);
    for (const SlotPostings& s : m_slots)
        PutLE32(header, s.firstBlock == kNoBlock ? kNoBlock : newNumber[s.firstBlock]);
    header.append(size_t(kUnusedRegionsSize), '\0');
    for (const SlotPostings& s : m_slots) PutLE32(header, s.hasEntry ? s.lastPage : 0);
    std::vector<uint32_t> next(blocks, kNoBlock);
    for (uint32_t b = 0; b < blocks; ++b)
        if (m_next[b] != kNoBlock) next[newNumber[b]] = newNumber[m_next[b]];
    for (uint32_t b : next) PutLE32(header, b);

    auto writeFile = [](const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        out.close();
        if (!out) throw WriterError("cannot write " + path.string());
    };
    writeFile(folder / (stem + "-idx.h"), header);
    if (streaming) {
        m_postingsFile.close();
        if (!m_postingsFile) throw WriterError("cannot write " + m_postingsPath.string());
        return;
    }
    std::string postings(size_t(blocks) * kBlockSize, '\0');
    for (uint32_t b = 0; b < blocks; ++b)
        std::copy_n(m_memory.data() + size_t(b) * kBlockSize, kBlockSize,
                    postings.data() + size_t(newNumber[b]) * kBlockSize);
    writeFile(postingsPath, postings);
}

}  // namespace kolva
