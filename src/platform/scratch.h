// The private folder that holds the scratch pages shown in the reading view ("windows.html",
// "windows1.html", "windows2.html"). It is made with mode 0700 inside the temporary location,
// so no other user can read the pages or plant links in it, and it is removed with its files.
// Writing never follows a symbolic link.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kolva {

class ScratchFolder {
public:
    ScratchFolder() = default;
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Makes a fresh private folder under root ("kolva-XXXXXX"); false when it cannot.
    bool Create(const std::filesystem::path& root);
    // Removes the folder and everything in it.
    void Remove();
    bool IsCreated() const { return !m_path.empty(); }

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path FilePath(const std::string& name) const { return m_path / name; }
    // Writes (creating or truncating) a file of the folder; false when it cannot, and always
    // when the name is a symbolic link.
    bool WriteFile(const std::string& name, std::string_view bytes) const;

private:
    std::filesystem::path m_path;
};

// Writes a whole file, refusing to follow a symbolic link at its path.
bool WriteFileNoFollow(const std::filesystem::path& path, std::string_view bytes);

}  // namespace kolva
