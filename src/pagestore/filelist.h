// The page store: the page list file "<base>-fl.h" and the page content file "<base>-fl.cnt".
//
//   page list file (little-endian)
//   +0    int32  header count      kept and shown, never used as a bound
//   +4    int32  S                 size of every record's name field
//   +8    260    header block      kept, never interpreted
//   +268  record 0, record 1, ...  (S + 8 bytes each, to the end of the file)
//
//   record:  name[S] (NUL-terminated, e.g. "vol01\0012.htm")  | uint32 endOffset | uint32 blobLength
//
//   content file: blobs anywhere; the blob of a record is the bytes
//   [endOffset - blobLength, endOffset), each stored XOR 0xD4. Unscrambled, a blob is a UTF-8 page.
//
// The record count is not stored: records run to the end of the list file.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace kolva {

constexpr uint32_t kPageListHeaderSize = 268;
constexpr uint8_t kPageScrambleKey = 0xD4;

// The page number of a record name: the digits between its last backslash and the last dot after
// it, read as atoi reads them. False when the name has no backslash or no dot after it.
bool PageNumberFromName(std::string_view name, int& number);

class CFileList {
public:
    CFileList() = default;
    virtual ~CFileList();
    CFileList(const CFileList&) = delete;
    CFileList& operator=(const CFileList&) = delete;

    // Opens folder/<baseName>-fl.h and folder/<baseName>-fl.cnt and reads the header.
    bool Open(const std::filesystem::path& folder, const std::string& baseName);
    void Close();
    bool IsOpen() const { return m_bOpen; }

    // Number of whole records in the page list file; 0 when closed.
    uint32_t GetRecordCount() const;

    // Byte length of the page of record index; false when closed, when the record does not exist,
    // when its blob lies outside the content file, or when the list file cannot be read.
    bool GetPageLength(int index, uint32_t& length) const;
    // The unscrambled page of record index, exactly blobLength bytes. False (page untouched) in the
    // cases of GetPageLength and on a short read of the content file.
    bool ReadPage(int index, std::string& page) const;
    // The first record at or after firstIndex whose name has pageNumber. index = that record, or
    // the last record examined when none matched (firstIndex - 1 when none was examined).
    bool FindPage(int firstIndex, int pageNumber, int& index) const;
    // The record's name up to its NUL (all S bytes when it has none); false when it does not exist.
    bool GetPageName(int index, std::string& name) const;

    // The cell holding the body text of page index: its page number modulo 2 (0 for a record
    // without a page number or one that cannot be read).
    int GetBodyColumn(int index) const;

    int32_t GetHeaderCount() const { return m_nHeaderCount; }
    int32_t GetNameSize() const { return m_nNameSize; }
    const std::array<uint8_t, 260>& GetHeaderBlock() const { return m_headerBlock; }

private:
    struct Blob {
        uint32_t endOffset = 0;
        uint32_t length = 0;
    };
    // Byte offset of record index in the list file, or false when no whole record lies there.
    bool RecordOffset(int index, uint64_t& offset) const;
    bool ReadBlob(int index, Blob& blob) const;

    int32_t m_nHeaderCount = 0;                 // first header word
    std::array<uint8_t, 260> m_headerBlock{};   // the header's uninterpreted block
    bool m_bOpen = false;                       // both files open, header read
    int32_t m_nNameSize = 100;                  // S
    ReadOnlyFile m_listFile;                    // the page list file
    ReadOnlyFile m_contentFile;                 // the page content file
};

}  // namespace kolva
