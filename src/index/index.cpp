#include "index/index.h"

#include <algorithm>
#include <iostream>
#include <new>

#include "text/codeconverter.h"
#include "pagestore/compose.h"
#include "platform/coding.h"

namespace kolva {

const char16_t kOpenFailedMessage[] = u"データを開けませんでした。";

std::string IndexFileStem(const std::string& baseName, int mode) {
    if (mode == kModeMainText) return baseName + "_content";
    if (mode == kModeNotes) return baseName + "_desc";
    return baseName;
}

CIndex::CIndex(MessageSink sink) : m_messageSink(std::move(sink)) {}

CIndex::~CIndex() { Close(); }

void CIndex::ShowMessage(std::u16string_view text) const {
    if (m_messageSink) {
        m_messageSink(text);
        return;
    }
    std::string utf8;
    AppendUtf8(text, utf8, kConvertLenient);
    std::cerr << utf8 << '\n';
}

namespace {

// Reads count little-endian 32-bit values at offset of file into table; false on a short read.
template <typename T>
bool ReadTable(const ReadOnlyFile& file, uint64_t offset, std::vector<T>& table, size_t count) {
    std::vector<uint8_t> bytes(count * 4);
    if (!file.ReadAt(offset, bytes.data(), bytes.size())) return false;
    table.resize(count);
    for (size_t i = 0; i < count; ++i) table[i] = static_cast<T>(LoadLE32(&bytes[i * 4]));
    return true;
}

}  // namespace

bool CIndex::OpenFiles(const std::filesystem::path& folder, const std::string& baseName,
                       int mode) {
    const std::filesystem::path stem = folder / IndexFileStem(baseName, mode);
    ReadOnlyFile header;
    uint64_t length;
    if (!header.Open(std::filesystem::path(stem).concat("-idx.h")) || !header.Size(length))
        return false;
    // A header that cannot hold its four tables in full is not an index header.
    if (length < kHeaderTablesSize || (length - kHeaderTablesSize) / 4 > UINT32_MAX) return false;
    m_nNextBlockCount = static_cast<uint32_t>((length - kHeaderTablesSize) / 4);
    if (!ReadTable(header, 0, m_pFirstBlock, kSlotCount) ||
        !ReadTable(header, kLastPageTableOffset, m_pLastPage, kSlotCount) ||
        !ReadTable(header, kHeaderTablesSize, m_pNextBlock, m_nNextBlockCount))
        return false;
    header.Close();
    if (!m_postings.Open(std::filesystem::path(stem).concat("-idx.m"))) return false;
    m_pPostings = m_postings.Data();
    // Blocks that start inside the file; a partial last block is read up to its end.
    m_nBlockCount = static_cast<uint32_t>(
        std::min<uint64_t>((m_postings.Size() + kBlockSize - 1) / kBlockSize, UINT32_MAX));
    if (!m_fileList.Open(folder, baseName)) return false;
    // Optional: without a pairs file that fits, the search reads as it always did.
    m_pairs.Open(folder, IndexFileStem(baseName, mode));
    return true;
}

bool CIndex::Open(const std::filesystem::path& folder, const std::string& baseName, int mode) {
    ++m_generation;
    m_mode = mode;
    LoadVariantTable(folder);
    bool ok = false;
    try {
        ok = OpenFiles(folder, baseName, mode);
    } catch (const std::bad_alloc&) {
        ok = false;  // tables larger than memory: the index cannot be opened
    }
    if (!ok) {
        ShowMessage(kOpenFailedMessage);
        Close();
    }
    return ok;
}

void CIndex::Close() {
    ++m_generation;
    m_slotGuides = {};
    m_guideMemory.used = 0;
    m_slotChecks = {};
    m_pairs.Close();
    m_pNextBlock = {};
    m_pFirstBlock = {};
    m_pLastPage = {};
    m_nNextBlockCount = 0;
    m_nBlockCount = 0;
    m_pPostings = nullptr;
    m_postings.Close();
    m_fileList.Close();
}

int CIndex::TextTarget() const {
    return m_mode == kModeMainText ? kTargetMainText
                                   : m_mode == kModeNotes ? kTargetNotes : kTargetWholeText;
}

int32_t CIndex::FirstBlock(int32_t slot) const {
    if (!IsOpen() || slot < 0 || slot >= kSlotCount) return -1;
    return m_pFirstBlock[slot];
}

uint32_t CIndex::LastPage(int32_t slot) const {
    if (!IsOpen() || slot < 0 || slot >= kSlotCount) return 0;
    return m_pLastPage[slot];
}

}  // namespace kolva
