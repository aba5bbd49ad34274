#include "platform/file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <utility>

namespace kolva {

namespace {

// Opens a regular file read-only; -1 for anything else (a folder cannot be read as data).
int OpenRegular(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
    }
    return fd;
}

// pread until count bytes or the end of the file; -1 on an error.
ssize_t PreadFully(int fd, void* buffer, size_t count, uint64_t offset) {
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        ssize_t n = ::pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

ReadOnlyFile::~ReadOnlyFile() { Close(); }

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

bool ReadOnlyFile::Open(const std::filesystem::path& path) {
    Close();
    m_fd = OpenRegular(path);
    return m_fd >= 0;
}

void ReadOnlyFile::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool ReadOnlyFile::Size(uint64_t& size) const {
    struct stat st{};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool ReadOnlyFile::ReadAt(uint64_t offset, void* buffer, size_t count) const {
    if (m_fd < 0) return false;
    return PreadFully(m_fd, buffer, count, offset) == static_cast<ssize_t>(count);
}

ReadOnlyMapping::~ReadOnlyMapping() { Close(); }

ReadOnlyMapping::ReadOnlyMapping(ReadOnlyMapping&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

ReadOnlyMapping& ReadOnlyMapping::operator=(ReadOnlyMapping&& other) noexcept {
    if (this != &other) {
        Close();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

bool ReadOnlyMapping::Open(const std::filesystem::path& path) {
    Close();
    int fd = OpenRegular(path);
    if (fd < 0) return false;
    struct stat st{};
    bool ok = ::fstat(fd, &st) == 0 && st.st_size > 0;
    void* data = MAP_FAILED;
    if (ok) data = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    // The mapping keeps the file alive; the descriptor is not needed any more.
    ::close(fd);
    if (!ok || data == MAP_FAILED) return false;
    m_data = static_cast<const uint8_t*>(data);
    m_size = static_cast<uint64_t>(st.st_size);
    return true;
}

void ReadOnlyMapping::ReleasePages() const {
    if (m_data) ::madvise(const_cast<uint8_t*>(m_data), static_cast<size_t>(m_size), MADV_DONTNEED);
}

void ReadOnlyMapping::Populate() const {
#ifndef MADV_POPULATE_READ
    constexpr int MADV_POPULATE_READ = 22;  // Linux 5.14; older systems answer EINVAL
#endif
    if (m_data) ::madvise(const_cast<uint8_t*>(m_data), static_cast<size_t>(m_size), MADV_POPULATE_READ);
}

void ReadOnlyMapping::Close() {
    if (m_data) ::munmap(const_cast<uint8_t*>(m_data), static_cast<size_t>(m_size));
    m_data = nullptr;
    m_size = 0;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
    ReadOnlyFile file;
    uint64_t size;
    if (!file.Open(path) || !file.Size(size) || size > SIZE_MAX) return false;
    std::string data(static_cast<size_t>(size), '\0');
    if (!file.ReadAt(0, data.data(), data.size())) return false;
    bytes.swap(data);
    return true;
}

uint64_t ResidentFileBytes() {
    // /proc/self/statm: sizes in pages; the third is the resident pages of files and shared
    // memory. Opened once and read again from its start each time.
    static const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[128];
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return 0;
    text[n] = '\0';
    unsigned long long size = 0, resident = 0, shared = 0;
    if (std::sscanf(text, "%llu %llu %llu", &size, &resident, &shared) != 3) return 0;
    const long page = ::sysconf(_SC_PAGESIZE);
    return page > 0 ? uint64_t(shared) * uint64_t(page) : 0;
}

}  // namespace kolva
