#include "import/zip.h"

#include <zip.h>

#include "import/book.h"

namespace kolva {

namespace {

// An entry name that could reach outside the archive when taken as a path.
bool IsUnsafeName(std::string_view name) {
    if (name.empty()) return false;
    if (name.front() == '/' || name.find('\\') != std::string_view::npos) return true;
    if (name.size() >= 2 && name[1] == ':') return true;  // a drive letter
    size_t start = 0;
    for (;;) {
        const size_t end = name.find('/', start);
        if (name.substr(start, end - start) == "..") return true;
        if (end == std::string_view::npos) return false;
        start = end + 1;
    }
}

std::string MiB(uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

ZipArchive::ZipArchive(const std::filesystem::path& file, const ZipLimits& limits,
                       const std::string_view* bytes)
    : m_file(file), m_limits(limits) {
    zip_error_t error;
    zip_error_init(&error);
    if (bytes) {
        zip_source_t* source = zip_source_buffer_create(bytes->data(), bytes->size(), 0, &error);
        if (source) {
            m_zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
            if (!m_zip) zip_source_free(source);
        }
    } else {
        int code = 0;
        m_zip = zip_open(file.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
        if (!m_zip) zip_error_init_with_code(&error, code);
    }
    if (!m_zip) {
        const std::string message = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw ImportError(file, 0, "not a readable ZIP archive: " + message);
    }
    zip_error_fini(&error);

    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    if (count < 0 || uint64_t(count) > m_limits.entries) {
        zip_discard(m_zip);
        m_zip = nullptr;
        throw ImportError(file, 0, "the archive holds more than " + std::to_string(m_limits.entries) +
                                       " entries");
    }
    for (zip_uint64_t i = 0; i < zip_uint64_t(count); ++i) {
        const char* name = zip_get_name(m_zip, i, 0);
        std::string why;
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (!name) {
            why = "an entry without a readable name";
        } else if (IsUnsafeName(name)) {
            why = "the entry \"" + std::string(name) + "\" points outside the archive";
        } else if (zip_file_get_external_attributes(m_zip, i, 0, &system, &attributes) == 0 &&
                   system == ZIP_OPSYS_UNIX && ((attributes >> 16) & 0170000) == 0120000) {
            why = "the entry \"" + std::string(name) + "\" is a symbolic link";
        }
        if (!why.empty()) {
            zip_discard(m_zip);
            m_zip = nullptr;
            throw ImportError(file, 0, why + "; the archive is refused");
        }
    }
}

ZipArchive::~ZipArchive() {
    if (m_zip) zip_discard(m_zip);
}

bool ZipArchive::Has(const std::string& name) const { return zip_name_locate(m_zip, name.c_str(), 0) >= 0; }

std::vector<std::string> ZipArchive::Names() const {
    std::vector<std::string> names;
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    for (zip_uint64_t i = 0; count > 0 && i < zip_uint64_t(count); ++i)
        if (const char* name = zip_get_name(m_zip, i, 0)) names.emplace_back(name);
    return names;
}

std::string ZipArchive::Read(const std::string& name) {
    const zip_int64_t index = zip_name_locate(m_zip, name.c_str(), 0);
    if (index < 0) throw ImportError(m_file, 0, name + " is missing from the archive");
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_zip, zip_uint64_t(index), 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) &&
        stat.size > m_limits.entryBytes)
        throw ImportError(m_file, 0, name + " unpacks to more than " + MiB(m_limits.entryBytes) +
                                         " (refused: a ZIP bomb?)");
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> entry(zip_fopen_index(m_zip, zip_uint64_t(index), 0),
                                                            zip_fclose);
    if (!entry)
        throw ImportError(m_file, 0, name + " cannot be read: " + zip_strerror(m_zip));
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(entry.get(), buffer, sizeof buffer);
        if (n < 0)
            throw ImportError(m_file, 0, name + " is damaged: " + zip_file_strerror(entry.get()));
        if (n == 0) break;
        if (bytes.size() + uint64_t(n) > m_limits.entryBytes)
            throw ImportError(m_file, 0, name + " unpacks to more than " + MiB(m_limits.entryBytes) +
                                             " (refused: a ZIP bomb?)");
        m_bytesRead += uint64_t(n);
        if (m_bytesRead > m_limits.archiveBytes)
            throw ImportError(m_file, 0, "the archive unpacks to more than " +
                                             MiB(m_limits.archiveBytes) + " (refused: a ZIP bomb?)");
        bytes.append(buffer, size_t(n));
    }
    return bytes;
}

bool ResolveArchivePath(std::string_view from, std::string_view href, std::string& out) {
    href = href.substr(0, href.find('#'));
    href = href.substr(0, href.find('?'));
    // A scheme ("http:", "mailto:") leads out of the archive.
    const size_t colon = href.find(':');
    if (colon != std::string_view::npos && href.find('/') > colon) return false;
    std::string decoded;
    for (size_t i = 0; i < href.size(); ++i) {
        const auto hex = [](char c) {
            return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                  : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        };
        if (href[i] == '%' && i + 2 < href.size() && hex(href[i + 1]) >= 0 && hex(href[i + 2]) >= 0) {
            decoded += char(hex(href[i + 1]) * 16 + hex(href[i + 2]));
            i += 2;
        } else {
            decoded += href[i];
        }
    }
    if (decoded.empty()) {
        out = std::string(from);
        return true;
    }
    std::string path;
    if (decoded.front() != '/') {
        const size_t slash = from.rfind('/');
        if (slash != std::string_view::npos) path = std::string(from.substr(0, slash + 1));
    }
    path += decoded;
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = path.find('/', start);
        const std::string part = path.substr(start, end == std::string::npos ? end : end - start);
        if (part == "..") {
            if (parts.empty()) return false;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    out.clear();
    for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
    return !out.empty();
}

}  // namespace kolva
