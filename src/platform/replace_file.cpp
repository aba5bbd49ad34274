#include "platform/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace kolva {

namespace {

// Written out a buffer at a time, its memory taken once at its full size (grown from nothing it
// would be taken again, and mapped anew, at each doubling).
constexpr size_t kBufferBytes = size_t(256) << 10;

bool WriteAll(int fd, const char* data, size_t size, uint64_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(fd, data + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace

bool ReplaceFile(const std::filesystem::path& path, std::initializer_list<std::string_view> parts,
                 unsigned mode) {
    FileReplacement file;
    if (!file.Open(path, mode)) return false;
    for (std::string_view part : parts)
        if (!file.Append(part)) return false;
    return file.Commit();
}

FileReplacement::~FileReplacement() {
    Discard();
}

bool FileReplacement::Open(const std::filesystem::path& path, unsigned mode) {
    Discard();
    m_path = path;
    m_temp = path.string() + ".XXXXXX";
    m_fd = mkstemp(m_temp.data());
    if (m_fd < 0) return false;
    const mode_t mask = umask(0);
    umask(mask);
    m_ok = fchmod(m_fd, mode_t(mode) & ~mask) == 0;
    m_end = m_written = 0;
    m_buffer.reserve(kBufferBytes);
    return m_ok;
}

bool FileReplacement::Flush() {
    if (m_ok && !m_buffer.empty())
        m_ok = WriteAll(m_fd, m_buffer.data(), m_buffer.size(), m_written);
    m_written = m_end;
    m_buffer.clear();
    return m_ok;
}

bool FileReplacement::Append(std::string_view bytes) {
    if (!m_ok) return false;
    if (m_buffer.size() + bytes.size() > kBufferBytes && !Flush()) return false;
    m_end += bytes.size();
    if (bytes.size() >= kBufferBytes) {
        m_ok = WriteAll(m_fd, bytes.data(), bytes.size(), m_written);
        m_written = m_end;
    } else {
        m_buffer.append(bytes);
    }
    return m_ok;
}

bool FileReplacement::WriteAt(uint64_t offset, std::string_view bytes) {
    if (!Flush()) return false;
    m_ok = offset + bytes.size() <= m_end && WriteAll(m_fd, bytes.data(), bytes.size(), offset);
    return m_ok;
}

bool FileReplacement::Skip(uint64_t count) {
    if (!Flush()) return false;
    m_end += count;
    m_written = m_end;
    return true;
}

bool FileReplacement::Commit() {
    bool ok = Flush() && ftruncate(m_fd, off_t(m_end)) == 0;
    ok = close(m_fd) == 0 && ok;
    m_fd = -1;
    if (ok && std::rename(m_temp.c_str(), m_path.c_str()) == 0) {
        m_temp.clear();
        m_ok = false;
        return true;
    }
    Discard();
    return false;
}

void FileReplacement::Discard() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
    if (!m_temp.empty()) std::remove(m_temp.c_str());
    m_temp.clear();
    m_buffer.clear();
    m_ok = false;
}

}  // namespace kolva
