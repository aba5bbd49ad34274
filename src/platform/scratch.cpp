#include "platform/scratch.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kolva {

ScratchFolder::~ScratchFolder() { Remove(); }

bool ScratchFolder::Create(const std::filesystem::path& root) {
    Remove();
    std::string pattern = (root / "kolva-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return false;  // mkdtemp makes the folder with mode 0700
    m_path = pattern;
    return true;
}

void ScratchFolder::Remove() {
    if (m_path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);  // remove_all does not follow links inside
    m_path.clear();
}

bool ScratchFolder::WriteFile(const std::string& name, std::string_view bytes) const {
    return IsCreated() && WriteFileNoFollow(FilePath(name), bytes);
}

bool WriteFileNoFollow(const std::filesystem::path& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        done += size_t(n);
    }
    return ::close(fd) == 0;
}

}  // namespace kolva
