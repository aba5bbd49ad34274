// Replacing a whole file so that a reader sees either the old one or the new one, never a part:
// the bytes go to a temporary file in the same folder, which is then renamed over the path.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string_view>

namespace kolva {

// Writes the parts, one after another, as the new content of path (created with mode, less the
// umask). False when it cannot; the temporary file is then removed and path left as it was.
bool ReplaceFile(const std::filesystem::path& path, std::initializer_list<std::string_view> parts,
                 unsigned mode = 0644);

}  // namespace kolva
