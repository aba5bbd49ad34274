#include <cstring>

#include "pagestore/filelist.h"
#include "platform/coding.h"
#include "writer/writer.h"

namespace kolva {

PageStoreWriter::PageStoreWriter(const std::filesystem::path& folder, const std::string& baseName,
                                 int32_t nameSize)
    : m_listPath(folder / (baseName + "-fl.h")), m_nameSize(nameSize) {
    if (nameSize < 1) throw WriterError("the record name size must be positive");
    std::filesystem::path contentPath = folder / (baseName + "-fl.cnt");
    m_content.open(contentPath, std::ios::binary | std::ios::trunc);
    if (!m_content) throw WriterError("cannot create " + contentPath.string());
}

PageStoreWriter::~PageStoreWriter() = default;

uint32_t PageStoreWriter::AppendBlob(std::string_view html) {
    if (m_contentSize + html.size() > UINT32_MAX)
        throw WriterError("the page content file would pass 4 GiB");
    std::string scrambled(html);
    for (char& c : scrambled) c = char(uint8_t(c) ^ kPageScrambleKey);
    m_content.write(scrambled.data(), std::streamsize(scrambled.size()));
    if (!m_content) throw WriterError("cannot write the page content file");
    m_contentSize += html.size();
    return uint32_t(m_contentSize);
}

void PageStoreWriter::AddRecord(std::string_view name, uint32_t endOffset, uint32_t blobLength) {
    if (name.size() >= size_t(m_nameSize))
        throw WriterError("page name longer than the name field: " + std::string(name));
    std::string field(size_t(m_nameSize), '\0');
    std::memcpy(field.data(), name.data(), name.size());
    m_records += field;
    PutLE32(m_records, endOffset);
    PutLE32(m_records, blobLength);
    ++m_recordCount;
}

void PageStoreWriter::AddPage(std::string_view name, std::string_view html) {
    uint32_t end = AppendBlob(html);
    AddRecord(name, end, uint32_t(html.size()));
}

void PageStoreWriter::Finish() {
    if (m_finished) return;
    m_finished = true;
    m_content.close();
    if (!m_content) throw WriterError("cannot write the page content file");
    std::string header;
    PutLE32(header, uint32_t(m_headerCountSet ? m_headerCount : int32_t(m_recordCount)));
    PutLE32(header, uint32_t(m_nameSize));
    header.append(260, '\0');
    std::ofstream list(m_listPath, std::ios::binary | std::ios::trunc);
    list.write(header.data(), std::streamsize(header.size()));
    list.write(m_records.data(), std::streamsize(m_records.size()));
    list.close();
    if (!list) throw WriterError("cannot write " + m_listPath.string());
}

}  // namespace kolva
