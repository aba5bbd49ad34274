// Read-only access to data files: an RAII file and an RAII memory mapping.
//
// Collections are read-only and may be read by two copies of the program at once, so nothing here
// takes a lock. (The Windows design opened its index with "no sharing"; that was an artefact of the
// platform's file API, not a feature the program relies on.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace kolva {

// Raised where a read of a data file fails: a missing file, an I/O error or a short read.
class FileError : public std::runtime_error {
public:
    explicit FileError(const std::string& what) : std::runtime_error(what) {}
};

// A file opened for reading only. Reads are positional or sequential; every read reports short
// reads instead of returning garbage.
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Opens an existing file; false when it cannot be opened (missing, a folder, no permission).
    bool Open(const std::filesystem::path& path);
    // As Open, but raises FileError.
    void OpenOrThrow(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Current length of the file in bytes; raises FileError when it cannot be told.
    uint64_t Size() const;
    // Sets the position of the next sequential Read.
    void Seek(uint64_t offset) { m_position = offset; }
    uint64_t Position() const { return m_position; }
    // Reads up to count bytes at the position and advances it; returns how many were read
    // (fewer only at the end of the file). Raises FileError on an I/O error.
    size_t Read(void* buffer, size_t count);
    // Reads exactly count bytes at the position or raises FileError (short read included).
    void ReadExact(void* buffer, size_t count);
    // Reads exactly count bytes at offset without moving the position; false on a short read or
    // an error.
    bool ReadAt(uint64_t offset, void* buffer, size_t count) const;

private:
    int m_fd = -1;
    uint64_t m_position = 0;
    std::filesystem::path m_path;
};

// A read-only mapping of a whole file. An empty file cannot be mapped: opening it fails.
class ReadOnlyMapping {
public:
    ReadOnlyMapping() = default;
    ~ReadOnlyMapping();
    ReadOnlyMapping(ReadOnlyMapping&& other) noexcept;
    ReadOnlyMapping& operator=(ReadOnlyMapping&& other) noexcept;
    ReadOnlyMapping(const ReadOnlyMapping&) = delete;
    ReadOnlyMapping& operator=(const ReadOnlyMapping&) = delete;

    // Maps the whole file read-only; false when the file is missing, empty or cannot be mapped.
    bool Open(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return m_data != nullptr; }

    const uint8_t* Data() const { return m_data; }
    uint64_t Size() const { return m_size; }

private:
    const uint8_t* m_data = nullptr;
    uint64_t m_size = 0;
};

// Reads a whole (small) file into memory; false when it cannot be opened or read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes);

// Little-endian integers from unaligned bytes.
inline uint32_t LoadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t LoadLE16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace kolva
