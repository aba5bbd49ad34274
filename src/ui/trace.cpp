#include "ui/trace.h"

#include "platform/state_folder.h"

namespace kolva {

namespace {
std::filesystem::path& Chosen() {
    static std::filesystem::path file;
    return file;
}
}  // namespace

void SetCatalogueTrace(const std::filesystem::path& file) { Chosen() = file; }

std::filesystem::path CatalogueTracePath() {
    if (!Chosen().empty()) return Chosen();
    const std::filesystem::path folder = StateFolder("kolva");
    return MakePrivateFolder(folder) ? folder / "kolva.txt" : std::filesystem::path();
}

}  // namespace kolva
