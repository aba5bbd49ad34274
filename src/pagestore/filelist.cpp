#include "pagestore/filelist.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/coding.h"

namespace kolva {

namespace {

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// atoi over [begin, end): blanks, a sign, digits up to the first other byte; saturates at the
// int range instead of overflowing.
int AtoiBounded(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(INT_MAX) + 1) value = int64_t(INT_MAX) + 1;
    }
    if (negative) return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

}  // namespace

bool PageNumberFromName(std::string_view name, int& number) {
    size_t slash = name.rfind('\\');
    if (slash == std::string_view::npos) return false;
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot < slash) return false;
    number = AtoiBounded(name.substr(slash + 1, dot - slash - 1));
    return true;
}

CFileList::~CFileList() { Close(); }

bool CFileList::Open(const std::filesystem::path& folder, const std::string& baseName) {
    Close();
    if (!m_listFile.Open(folder / (baseName + "-fl.h")) ||
        !m_contentFile.Open(folder / (baseName + "-fl.cnt"))) {
        Close();
        return false;
    }
    uint8_t header[kPageListHeaderSize];
    if (!m_listFile.ReadAt(0, header, sizeof header)) {
        Close();
        return false;
    }
    m_nHeaderCount = static_cast<int32_t>(LoadLE32(header));
    m_nNameSize = static_cast<int32_t>(LoadLE32(header + 4));
    std::copy(header + 8, header + kPageListHeaderSize, m_headerBlock.begin());
    m_bOpen = true;
    return true;
}

void CFileList::Close() {
    m_listFile.Close();
    m_contentFile.Close();
    m_bOpen = false;
}

uint32_t CFileList::GetRecordCount() const {
    // A negative name size describes no valid record layout: such a store has no records.
    if (!m_bOpen || m_nNameSize < 0) return 0;
    uint64_t length;
    if (!m_listFile.Size(length) || length < kPageListHeaderSize) return 0;
    uint64_t count = (length - kPageListHeaderSize) / (uint64_t(m_nNameSize) + 8);
    return count > INT_MAX ? INT_MAX : static_cast<uint32_t>(count);
}

bool CFileList::RecordOffset(int index, uint64_t& offset) const {
    if (index < 0 || static_cast<uint32_t>(index) >= GetRecordCount()) return false;
    offset = kPageListHeaderSize + uint64_t(index) * (uint64_t(m_nNameSize) + 8);
    return true;
}

bool CFileList::ReadBlob(int index, Blob& blob) const {
    uint64_t offset;
    uint8_t fields[8];
    if (!m_bOpen || !RecordOffset(index, offset) ||
        !m_listFile.ReadAt(offset + uint64_t(m_nNameSize), fields, sizeof fields))
        return false;
    blob.endOffset = LoadLE32(fields);
    blob.length = LoadLE32(fields + 4);
    // The blob must lie inside the content file as it is now.
    uint64_t contentSize;
    if (!m_contentFile.Size(contentSize)) return false;
    return blob.length <= blob.endOffset && blob.endOffset <= contentSize;
}

bool CFileList::GetPageLength(int index, uint32_t& length) const {
    Blob blob;
    if (!ReadBlob(index, blob)) return false;
    length = blob.length;
    return true;
}

bool CFileList::ReadPage(int index, std::string& page) const {
    Blob blob;
    if (!ReadBlob(index, blob)) return false;
    std::string bytes(blob.length, '\0');
    if (!m_contentFile.ReadAt(blob.endOffset - blob.length, bytes.data(), bytes.size()))
        return false;
    for (char& c : bytes) c = static_cast<char>(static_cast<uint8_t>(c) ^ kPageScrambleKey);
    page.swap(bytes);
    return true;
}

bool CFileList::GetPageName(int index, std::string& name) const {
    uint64_t offset;
    if (!m_bOpen || !RecordOffset(index, offset)) return false;
    std::string bytes(static_cast<size_t>(m_nNameSize), '\0');
    if (!m_listFile.ReadAt(offset, bytes.data(), bytes.size())) return false;
    bytes.resize(bytes.find('\0') == std::string::npos ? bytes.size() : bytes.find('\0'));
    name.swap(bytes);
    return true;
}

bool CFileList::FindPage(int firstIndex, int pageNumber, int& index) const {
    if (!m_bOpen) return false;
    // "The record before firstIndex"; INT_MIN has none, and stays as it is.
    index = firstIndex == INT_MIN ? INT_MIN : firstIndex - 1;
    // A negative start names no record; the scan never reads the header as a record.
    if (firstIndex < 0 || m_nNameSize < 0) return false;
    uint64_t length;
    if (!m_listFile.Size(length)) return false;
    const uint64_t stride = uint64_t(m_nNameSize) + 8;
    // A name field longer than the file can never be read whole; don't allocate for it.
    std::vector<char> name(static_cast<size_t>(std::min<uint64_t>(uint64_t(m_nNameSize), length)));
    // Only whole records are scanned: a record cut inside its fields is refused by every other
    // read, so its name must not be found either.
    for (uint64_t pos = kPageListHeaderSize + uint64_t(firstIndex) * stride; pos + stride <= length;
         pos += stride) {
        if (index == INT_MAX) return false;
        ++index;
        if (name.size() < uint64_t(m_nNameSize) || !m_listFile.ReadAt(pos, name.data(), name.size()))
            return false;
        std::string_view view(name.data(), name.size());
        view = view.substr(0, view.find('\0'));
        int number;
        if (PageNumberFromName(view, number) && number == pageNumber) return true;
    }
    return false;
}

}  // namespace kolva
