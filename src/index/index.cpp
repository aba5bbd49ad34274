#include "index/index.h"

#include <algorithm>
#include <bit>
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

}  // namespace

static_assert(std::endian::native == std::endian::little,
              "the index header's tables are read in place as the host's numbers");

bool CIndex::OpenFiles(const std::filesystem::path& folder, const std::string& baseName,
                       int mode) {
    const std::string stem = IndexFileStem(baseName, mode);
    // A header that cannot hold its four tables in full is not an index header.
    if (!m_header.Open(folder / (stem + "-idx.h")) || m_header.Size() < kHeaderTablesSize ||
        (m_header.Size() - kHeaderTablesSize) / 4 > UINT32_MAX)
        return false;
    // The search reads its tables: mapped in one call rather than a fault at a time.
    m_header.Populate();
    const uint8_t* header = m_header.Data();  // page-aligned, so the tables are 4-byte aligned
    m_pFirstBlock = reinterpret_cast<const int32_t*>(header);
    m_pLastPage = reinterpret_cast<const uint32_t*>(header + kLastPageTableOffset);
    m_pNextBlock = reinterpret_cast<const uint32_t*>(header + kHeaderTablesSize);
    m_nNextBlockCount = static_cast<uint32_t>((m_header.Size() - kHeaderTablesSize) / 4);
    if (!m_postings.Open(folder / (stem + "-idx.m"))) return false;
    m_pPostings = m_postings.Data();
    // Blocks that start inside the file; a partial last block is read up to its end.
    m_nBlockCount = static_cast<uint32_t>(
        std::min<uint64_t>((m_postings.Size() + kBlockSize - 1) / kBlockSize, UINT32_MAX));
    if (!m_fileList.Open(folder, baseName)) return false;
    // Optional too: without it, every block is read through the mapping.
    m_blocks.Open(folder / (stem + "-idx.m"), m_nBlockCount, m_readMemory);
    // Optional: without a pairs file that fits, the search reads as it always did.
    PairsFingerprint fp;
    ReadOnlyFile headerFile, postings;
    if (std::filesystem::is_regular_file(folder / (stem + kPairsSuffix)) &&
        headerFile.Open(folder / (stem + "-idx.h")) && postings.Open(folder / (stem + "-idx.m")) &&
        FingerprintOf(headerFile, postings, nullptr, fp) && fp.headerSize == m_header.Size()) {
        fp.tableSize = m_variantTableSize;
        fp.tableChecksum = m_variantTableChecksum;
        m_pairs.CopyInto(&m_readMemory);
        m_pairs.Open(folder, stem, fp);
    }
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
    m_pNextBlock = nullptr;
    m_pFirstBlock = nullptr;
    m_pLastPage = nullptr;
    m_header.Close();
    m_nNextBlockCount = 0;
    m_nBlockCount = 0;
    m_pPostings = nullptr;
    m_blocks.Close();
    m_readMemory.Reset();  // the pairs file and the blocks are closed
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
