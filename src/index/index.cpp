#include "index/index.h"

#include <iostream>

#include "text/codeconverter.h"

namespace kolva {

const char16_t kOpenFailedMessage[] = u"データを開けませんでした。";

int32_t CharToSlot(uint32_t c) {
    if (c >= 0x3400 && c <= 0x9FFF) return int32_t(c - 0x3400);
    if (c >= 0xF900 && c <= 0xFAFF) return int32_t(c - 0x8C00);
    if (c >= 0x20000 && c <= 0x2A6DF) return int32_t(c - 0x18100);
    if (c >= 0x2F800 && c <= 0x2FA1F) return int32_t(c - 0x1D220);
    if (c >= 0x3042 && c <= 0x30F6) return int32_t(c + 0xF7BE);
    if (c >= 0xE000 && c <= 0xFFFF) return int32_t(c + 0x48B5);
    return -1;
}

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

// Reads count little-endian 32-bit values at the file's position.
template <typename T>
void ReadTable(ReadOnlyFile& file, std::vector<T>& table, size_t count) {
    std::vector<uint8_t> bytes(count * 4);
    file.ReadExact(bytes.data(), bytes.size());
    table.resize(count);
    for (size_t i = 0; i < count; ++i) table[i] = static_cast<T>(LoadLE32(&bytes[i * 4]));
}

}  // namespace

bool CIndex::Open(const std::filesystem::path& folder, const std::string& baseName, int mode) {
    LoadVariantTable(folder);
    const std::filesystem::path stem = folder / IndexFileStem(baseName, mode);
    m_resultPages.clear();
    m_nResultCount = 0;

    bool ok = false;
    try {
        ReadOnlyFile header;
        header.OpenOrThrow(std::filesystem::path(stem).concat("-idx.h"));
        uint64_t length = header.Size();
        // A header that cannot hold its four tables in full is not an index header.
        if (length >= kHeaderTablesSize && (length - kHeaderTablesSize) / 4 <= UINT32_MAX) {
            ReadTable(header, m_pFirstBlock, kSlotCount);
            header.Seek(kLastPageTableOffset);
            ReadTable(header, m_pLastPage, kSlotCount);
            m_nNextBlockCount = static_cast<uint32_t>((length - kHeaderTablesSize) / 4);
            ReadTable(header, m_pNextBlock, m_nNextBlockCount);
            header.Close();
            if (m_postings.Open(std::filesystem::path(stem).concat("-idx.m"))) {
                m_pPostings = m_postings.Data();
                // Blocks that start inside the file; a partial last block is read up to its end.
                m_nBlockCount = static_cast<uint32_t>(
                    std::min<uint64_t>((m_postings.Size() + kBlockSize - 1) / kBlockSize,
                                       UINT32_MAX));
                ok = m_fileList.Open(folder, baseName);
            }
        }
    } catch (const FileError&) {
        ok = false;
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        ShowMessage(kOpenFailedMessage);
        Close();
    }
    return ok;
}

void CIndex::Close() {
    m_slotGuides = {};
    m_guideMemory.used = 0;
    m_slotChecks = {};
    m_pNextBlock = {};
    m_pFirstBlock = {};
    m_pLastPage = {};
    m_nNextBlockCount = 0;
    m_nBlockCount = 0;
    m_pPostings = nullptr;
    m_postings.Close();
    m_fileList.Close();
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
