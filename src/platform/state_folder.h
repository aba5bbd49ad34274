// The program's own state folder, for what it writes about itself (the catalogue trace): never
// the working folder, which is the user's.
#pragma once

#include <filesystem>
#include <string_view>

namespace kolva {

// program's folder under $XDG_STATE_HOME when that is an absolute path, else under
// $HOME/.local/state; empty when neither variable gives one.
std::filesystem::path StateFolder(std::string_view program);

// Makes folder (and the folders above it that are missing), the last one with mode 0700, so
// that what the program keeps about itself is the user's alone; true when it is a folder then.
bool MakePrivateFolder(const std::filesystem::path& folder);

}  // namespace kolva
