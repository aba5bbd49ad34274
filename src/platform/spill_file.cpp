#include "platform/spill_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kolva {

namespace {

// Written out a buffer at a time. The buffer's memory is taken once, at its full size: grown
// from nothing it would be taken again at each doubling, and each time the system maps it anew.
constexpr size_t kBufferBytes = size_t(64) << 10;

}  // namespace

SpillFile::~SpillFile() {
    Close();
}

bool SpillFile::Create(const std::filesystem::path& beside) {
    Close();
    std::filesystem::path folder = beside.parent_path();
    if (folder.empty()) folder = ".";
#ifdef O_TMPFILE
    m_fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (m_fd < 0) {  // a file system without unnamed files: a named one, unlinked at once
        std::string name = (folder / (beside.filename().string() + ".spill-XXXXXX")).string();
        m_fd = mkostemp(name.data(), O_CLOEXEC);
        if (m_fd >= 0) unlink(name.c_str());
    }
    m_end = m_written = 0;
    m_ok = m_fd >= 0;
    if (m_ok) m_buffer.reserve(kBufferBytes);
    return m_ok;
}

bool SpillFile::Flush() {
    size_t done = 0;
    while (m_ok && done < m_buffer.size()) {
        const ssize_t n =
            pwrite(m_fd, m_buffer.data() + done, m_buffer.size() - done, off_t(m_written + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            m_ok = false;
        else
            done += size_t(n);
    }
    m_written = m_end;
    m_buffer.clear();
    return m_ok;
}

bool SpillFile::Append(const void* data, size_t size) {
    if (!m_ok) return false;
    if (m_buffer.size() + size > kBufferBytes && !Flush()) return false;
    m_buffer.append(static_cast<const char*>(data), size);
    m_end += size;
    return true;
}

bool SpillFile::ReadAt(uint64_t offset, void* buffer, size_t count) {
    if (offset > m_end || count > m_end - offset) return false;
    if (offset + count > m_written && !Flush()) return false;
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = pread(m_fd, out + done, count - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

void SpillFile::Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_end = m_written = 0;
    m_ok = false;
}

}  // namespace kolva
