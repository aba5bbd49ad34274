// Read-only access to data files: an RAII file and an RAII memory mapping.
//
// Every failure is a result (false), never an exception: a data file that is missing, short or
// unreadable is something the program expects and answers (a page not shown, an index not
// opened, a catalogue that ends early), and no caller has anything to unwind.
//
// Collections are read-only and may be read by two copies of the program at once, so nothing here
// takes a lock. (The Windows design opened its index with "no sharing"; that was an artefact of the
// platform's file API, not a feature the program relies on.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace kolva {

// A file opened for reading only, read at given offsets; a short read is a failed read, never
// garbage.
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
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Sets size to the current length of the file in bytes; false when it cannot be told (a
    // closed file).
    bool Size(uint64_t& size) const;
    // Reads exactly count bytes at offset; false on a short read, an error or a closed file.
    bool ReadAt(uint64_t offset, void* buffer, size_t count) const;

private:
    int m_fd = -1;
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

    // Gives up the pages of the file held in this process's memory; they stay in the system's
    // file cache and are mapped again when read. For a long pass over a large file, so that the
    // process does not end up holding all of it.
    void ReleasePages() const;
    // Maps every page of the file into this process at once (those in the system's file cache),
    // for a file about to be read whole: one call instead of a fault every few pages. Nothing
    // happens where the system cannot do it.
    void Populate() const;

private:
    const uint8_t* m_data = nullptr;
    uint64_t m_size = 0;
};

// Reads a whole (small) file into memory; false when it cannot be opened or read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes);

// Bytes of files mapped in this process's memory (its own program and libraries included); 0
// when that cannot be told.
uint64_t ResidentFileBytes();

}  // namespace kolva
