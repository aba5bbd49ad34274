#include "platform/state_folder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace kolva {

std::filesystem::path StateFolder(std::string_view program) {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return std::filesystem::path(state) / program;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::filesystem::path(home) / ".local" / "state" / program;
    return {};
}

bool MakePrivateFolder(const std::filesystem::path& folder) {
    if (folder.empty()) return false;
    std::error_code ec;
    if (folder.has_parent_path()) std::filesystem::create_directories(folder.parent_path(), ec);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return std::filesystem::is_directory(folder, ec);
}

}  // namespace kolva
