// ZIP archives from outside (EPUB books), read through libzip into memory and never unpacked to
// disk. An archive is refused whole when an entry's name could point outside it (absolute, a
// drive, "..", a backslash) or the entry is a symbolic link; reads are bounded per entry and for
// the archive as a whole by the bytes actually inflated, whatever sizes the archive declares.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct zip;

namespace kolva {

struct ZipLimits {
    uint64_t entryBytes = uint64_t(64) << 20;     // inflated bytes of one entry
    uint64_t archiveBytes = uint64_t(512) << 20;  // inflated bytes of all entries read
    uint64_t entries = 20000;                     // entries in the archive
};

class ZipArchive {
public:
    // Opens the archive in file, or (when bytes is not null) the archive in those bytes, which
    // must outlive it. Raises ImportError naming file.
    ZipArchive(const std::filesystem::path& file, const ZipLimits& limits,
               const std::string_view* bytes = nullptr);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool Has(const std::string& name) const;
    // The names of the entries, in archive order.
    std::vector<std::string> Names() const;
    // The inflated bytes of an entry. Raises ImportError when it is missing, damaged or larger
    // than the limits allow.
    std::string Read(const std::string& name);
    const std::filesystem::path& File() const { return m_file; }

private:
    std::filesystem::path m_file;
    ZipLimits m_limits;
    zip* m_zip = nullptr;
    uint64_t m_bytesRead = 0;
};

// A path inside an archive: href (percent-encoded, relative to the entry from, or starting at
// the root with "/") resolved and decoded, without its "#fragment". False when it climbs out of
// the archive.
bool ResolveArchivePath(std::string_view from, std::string_view href, std::string& out);

}  // namespace kolva
