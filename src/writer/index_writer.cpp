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

IndexWriter::IndexWriter(const std::vector<VariantGroup>& groups,
                         const std::filesystem::path& postingsPath)
    : m_slots(kSlotCount), m_postingsPath(postingsPath) {
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

void IndexWriter::FinishEntry(SlotPostings& s) {
    if (!s.open) return;
    const size_t before = s.tail.size();
    AppendPostingNumber(s.tail, s.hasEntry ? s.page - s.lastPage : s.page);
    s.tail += char(s.pending.size() & 0xFF);
    s.tail += char(s.pending.size() >> 8);
    s.tail += s.pending;
    s.length += s.tail.size() - before;
    s.pending.clear();
    s.lastPage = s.page;
    s.hasEntry = true;
    s.open = false;
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
    for (; s.tail.size() - done >= kBlockSize; done += kBlockSize) EmitBlock(s, s.tail.data() + done);
    s.tail.erase(0, done);
}

void IndexWriter::AddPosition(int32_t slot, uint32_t page, uint32_t position) {
    if (slot < 0 || slot >= kSlotCount) throw WriterError("slot out of range");
    if (m_written) throw WriterError("the index was already written");
    if (!m_slots[size_t(slot)]) m_slots[size_t(slot)] = std::make_unique<SlotPostings>();
    SlotPostings& s = *m_slots[size_t(slot)];
    if (s.open && page == s.page) {
        if (position <= s.lastPosition) throw WriterError("positions must ascend within a page");
        AppendPostingNumber(s.pending, position - s.lastPosition);
    } else {
        if ((s.open && page < s.page) || (s.hasEntry && page <= s.lastPage))
            throw WriterError("pages must ascend per character");
        FinishEntry(s);
        FlushFullBlocks(s);
        s.open = true;
        s.page = page;
        AppendPostingNumber(s.pending, position);
    }
    // The byte count of an entry has 16 bits.
    if (s.pending.size() > 0xFFFF)
        throw WriterError("one page holds too many positions of one character for the index");
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
    if (!m_postingsPath.empty()) throw WriterError("the stream of a streaming writer is on disk");
    if (!Find(slot)) return {};
    SlotPostings s = *Find(slot);
    std::string stream;
    for (uint32_t b = s.firstBlock; b != kNoBlock; b = m_next[b])
        stream.append(m_memory, size_t(b) * kBlockSize, kBlockSize);
    FinishEntry(s);
    return (stream + s.tail).substr(0, size_t(s.length));
}

void IndexWriter::Finish() {
    // The unfinished block of every slot becomes its last block, padded with zeros.
    for (auto& slot : m_slots) {
        if (!slot) continue;
        SlotPostings& s = *slot;
        FinishEntry(s);
        FlushFullBlocks(s);
        if (!s.tail.empty()) {
            s.tail.resize(kBlockSize, '\0');
            EmitBlock(s, s.tail.data());
            std::string().swap(s.tail);
        }
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
    if (!m_written) Finish();
    m_written = true;

    // Renumber the blocks for the layouts tests ask for.
    const uint32_t blocks = uint32_t(m_next.size());
    std::vector<uint32_t> newNumber(blocks);
    for (uint32_t b = 0; b < blocks; ++b) newNumber[b] = b;
    if (order != BlockOrder::kAsFilled) {
        std::vector<std::vector<uint32_t>> chains;
        for (const auto& s : m_slots) {
            if (!s || s->firstBlock == kNoBlock) continue;
            chains.emplace_back();
            for (uint32_t b = s->firstBlock; b != kNoBlock; b = m_next[b]) chains.back().push_back(b);
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

    std::string header;
    header.reserve(size_t(kHeaderTablesSize) + size_t(blocks) * 4);
    for (const auto& s : m_slots)
        AppendLE32(header, !s || s->firstBlock == kNoBlock ? kNoBlock : newNumber[s->firstBlock]);
    header.append(600000, '\0');
    for (const auto& s : m_slots) AppendLE32(header, s && s->hasEntry ? s->lastPage : 0);
    std::vector<uint32_t> next(blocks, kNoBlock);
    for (uint32_t b = 0; b < blocks; ++b)
        if (m_next[b] != kNoBlock) next[newNumber[b]] = newNumber[m_next[b]];
    for (uint32_t b : next) AppendLE32(header, b);

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
