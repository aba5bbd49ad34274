#include <algorithm>

#include "writer/writer.h"

namespace kolva {

namespace {

void AppendLE32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += char(v >> (8 * i) & 0xFF);
}

constexpr uint32_t kNoBlock = 0xFFFFFFFF;

}  // namespace

void AppendPostingNumber(std::string& out, uint32_t value) {
    if (value < 0x80) {
        out += char(value);
    } else if (value < 0x4000) {
        out += char(0x80 | value >> 8);
        out += char(value & 0xFF);
    } else if (value <= kMaxPostingNumber) {
        out += char(0xC0 | value >> 16);
        out += char(value >> 8 & 0xFF);
        out += char(value & 0xFF);
    } else {
        throw WriterError("a page index or position is too large for the index: " +
                          std::to_string(value));
    }
}

IndexWriter::IndexWriter(const std::vector<VariantGroup>& groups) : m_slots(kSlotCount) {
    if (groups.empty()) return;
    m_groupSlotByChar.assign(0x110000, -1);
    // Walk the groups backwards so that the first group holding a character wins.
    for (size_t g = std::min(groups.size(), size_t(kMaxVariantGroups)); g-- > 0;)
        for (uint32_t member : groups[g])
            if (member < m_groupSlotByChar.size())
                m_groupSlotByChar[member] = kVariantSlotBase + int32_t(g);
}

int32_t IndexWriter::GroupSlot(uint32_t codePoint) const {
    return codePoint < m_groupSlotByChar.size() ? m_groupSlotByChar[codePoint] : -1;
}

void IndexWriter::FinishEntry(SlotPostings& s) {
    if (!s.open) return;
    if (s.pending.size() > 0xFFFF)
        throw WriterError("one page holds too many positions of one character for the index");
    AppendPostingNumber(s.stream, s.hasEntry ? s.page - s.lastPage : s.page);
    s.stream += char(s.pending.size() & 0xFF);
    s.stream += char(s.pending.size() >> 8);
    s.stream += s.pending;
    s.pending.clear();
    s.lastPage = s.page;
    s.hasEntry = true;
    s.open = false;
}

void IndexWriter::AddPosition(int32_t slot, uint32_t page, uint32_t position) {
    if (slot < 0 || slot >= kSlotCount) throw WriterError("slot out of range");
    SlotPostings& s = m_slots[size_t(slot)];
    if (s.open && page == s.page) {
        if (position <= s.lastPosition) throw WriterError("positions must ascend within a page");
        AppendPostingNumber(s.pending, position - s.lastPosition);
    } else {
        if ((s.open && page < s.page) || (s.hasEntry && page <= s.lastPage))
            throw WriterError("pages must ascend per character");
        FinishEntry(s);
        s.open = true;
        s.page = page;
        AppendPostingNumber(s.pending, position);
    }
    s.lastPosition = position;
    ++m_positionCount;
}

void IndexWriter::AddText(uint32_t page, std::u32string_view text) {
    uint32_t position = 0;
    for (char32_t c : text) {
        int32_t slot = CharToSlot(c);
        if (slot < 0) continue;
        AddPosition(slot, page, position);
        int32_t group = GroupSlot(c);
        if (group >= 0) AddPosition(group, page, position);
        ++position;
    }
}

std::string IndexWriter::SlotStream(int32_t slot) const {
    SlotPostings s = m_slots.at(size_t(slot));
    FinishEntry(s);
    return s.stream;
}

void IndexWriter::Write(const std::filesystem::path& folder, const std::string& stem,
                        BlockOrder order) const {
    // Finished streams and the number of blocks each needs.
    std::vector<std::string> streams(kSlotCount);
    std::vector<uint32_t> blocksOf(kSlotCount, 0);
    uint64_t totalBlocks = 0;
    for (int32_t slot = 0; slot < kSlotCount; ++slot) {
        if (!m_slots[size_t(slot)].open && !m_slots[size_t(slot)].hasEntry) continue;
        streams[size_t(slot)] = SlotStream(slot);
        blocksOf[size_t(slot)] =
            uint32_t((streams[size_t(slot)].size() + kBlockSize - 1) / kBlockSize);
        totalBlocks += blocksOf[size_t(slot)];
    }
    if (totalBlocks >= kNoBlock) throw WriterError("the index would have too many blocks");

    // Place the blocks: chain[slot] lists the block numbers of the slot in stream order.
    std::vector<std::vector<uint32_t>> chain(kSlotCount);
    uint32_t next = 0;
    if (order == BlockOrder::kInterleaved) {
        for (uint32_t round = 0; next < totalBlocks; ++round)
            for (int32_t slot = 0; slot < kSlotCount; ++slot)
                if (round < blocksOf[size_t(slot)]) chain[size_t(slot)].push_back(next++);
    } else {
        for (int32_t slot = 0; slot < kSlotCount; ++slot)
            for (uint32_t i = 0; i < blocksOf[size_t(slot)]; ++i)
                chain[size_t(slot)].push_back(next++);
        if (order == BlockOrder::kReversed)
            for (auto& c : chain)
                for (uint32_t& b : c) b = uint32_t(totalBlocks) - 1 - b;
    }

    // An empty file cannot be mapped, so an index without postings still has one block.
    const uint64_t fileBlocks = std::max<uint64_t>(totalBlocks, 1);
    std::string postings(size_t(fileBlocks * kBlockSize), '\0');
    std::vector<uint32_t> nextBlock(size_t(fileBlocks), kNoBlock);
    std::string header;
    header.reserve(size_t(kHeaderTablesSize + fileBlocks * 4));
    for (int32_t slot = 0; slot < kSlotCount; ++slot) {
        const auto& c = chain[size_t(slot)];
        AppendLE32(header, c.empty() ? kNoBlock : c.front());
        const std::string& s = streams[size_t(slot)];
        for (size_t i = 0; i < c.size(); ++i) {
            size_t from = i * kBlockSize;
            size_t n = std::min<size_t>(kBlockSize, s.size() - from);
            std::copy_n(s.data() + from, n, postings.data() + size_t(c[i]) * kBlockSize);
            if (i + 1 < c.size()) nextBlock[c[i]] = c[i + 1];
        }
    }
    header.append(600000, '\0');
    for (int32_t slot = 0; slot < kSlotCount; ++slot) {
        const SlotPostings& s = m_slots[size_t(slot)];
        AppendLE32(header, s.open ? s.page : s.hasEntry ? s.lastPage : 0);
    }
    for (uint32_t b : nextBlock) AppendLE32(header, b);

    for (const auto& [suffix, bytes] : {std::pair{"-idx.h", &header}, {"-idx.m", &postings}}) {
        std::filesystem::path path = folder / (stem + suffix);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes->data(), std::streamsize(bytes->size()));
        out.close();
        if (!out) throw WriterError("cannot write " + path.string());
    }
}

}  // namespace kolva
