// Replacing a whole file so that a reader sees either the old one or the new one, never a part:
// the bytes go to a temporary file in the same folder, which is then renamed over the path.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kolva {

// Writes the parts, one after another, as the new content of path (created with mode, less the
// umask). False when it cannot; the temporary file is then removed and path left as it was.
bool ReplaceFile(const std::filesystem::path& path, std::initializer_list<std::string_view> parts,
                 unsigned mode = 0644);

// The new content of a file written piece by piece, for one too large to be put together in
// memory first: appended (through a buffer) and patched at given offsets in a temporary file
// beside the path, which Commit renames over it. Until then the path is left as it was; a
// replacement that is not committed removes its temporary file.
class FileReplacement {
public:
    FileReplacement() = default;
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Creates the temporary file beside path (mode less the umask); false when it cannot.
    bool Open(const std::filesystem::path& path, unsigned mode = 0644);
    // Writes bytes after everything appended so far. False once any write has failed.
    bool Append(std::string_view bytes);
    // Writes bytes at offset (a place already appended to or passed over with Skip).
    bool WriteAt(uint64_t offset, std::string_view bytes);
    // Leaves count bytes for a later WriteAt (zeros until then).
    bool Skip(uint64_t count);
    // Bytes appended and skipped.
    uint64_t Size() const { return m_end; }
    // Writes what is buffered, closes the file and renames it over the path; false when any
    // write failed or the rename does (the temporary file is then removed).
    bool Commit();

private:
    bool Flush();
    void Discard();

    std::filesystem::path m_path;
    std::string m_temp;
    std::string m_buffer;
    int m_fd = -1;
    uint64_t m_end = 0;      // bytes appended and skipped, the buffer's included
    uint64_t m_written = 0;  // where the buffer goes
    bool m_ok = false;
};

}  // namespace kolva
