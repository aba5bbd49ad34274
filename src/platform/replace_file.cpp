#include "platform/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace kolva {

bool ReplaceFile(const std::filesystem::path& path, std::initializer_list<std::string_view> parts,
                 unsigned mode) {
    std::string temp = path.string() + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    const mode_t mask = umask(0);
    umask(mask);
    bool ok = fchmod(fd, mode_t(mode) & ~mask) == 0;
    for (std::string_view part : parts) {
        size_t done = 0;
        while (ok && done < part.size()) {
            const ssize_t n = write(fd, part.data() + done, part.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) ok = false;
            else done += size_t(n);
        }
    }
    ok = close(fd) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
    std::remove(temp.c_str());
    return false;
}

}  // namespace kolva
