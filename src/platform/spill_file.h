// A file for data that does not fit in memory: written at its end, read back at offsets. It
// lies beside a given path but has no name there, so it is gone when closed, also when the
// program dies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace kolva {

class SpillFile {
public:
    SpillFile() = default;
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    // Makes the file in the folder of beside; false when it cannot.
    bool Create(const std::filesystem::path& beside);
    bool IsOpen() const { return m_fd >= 0; }
    // Writes bytes after everything written so far (through a buffer). False once any write has
    // failed.
    bool Append(const void* data, size_t size);
    // Bytes written.
    uint64_t Size() const { return m_end; }
    // Reads exactly count bytes at offset; false when they are not there or cannot be read.
    bool ReadAt(uint64_t offset, void* buffer, size_t count);
    void Close();

private:
    bool Flush();

    int m_fd = -1;
    std::string m_buffer;
    uint64_t m_end = 0;      // bytes written, the buffer's included
    uint64_t m_written = 0;  // bytes in the file
    bool m_ok = false;
};

}  // namespace kolva
