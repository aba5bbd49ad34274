// Where the reader writes its catalogue trace (a diagnostic aid: one line per catalogue record).
// Never the working folder, which is the user's: the program's state folder
// ($XDG_STATE_HOME/kolva/kolva.txt, else ~/.local/state/kolva/kolva.txt), or the file a developer
// names with --trace FILE.
#pragma once

#include <filesystem>

namespace kolva {

// The file --trace named; empty puts the trace back in the state folder.
void SetCatalogueTrace(const std::filesystem::path& file);
// The trace's path, its state folder made (mode 0700) when it is the default; empty when no
// folder can be had (the catalogue then loads without a trace).
std::filesystem::path CatalogueTracePath();

}  // namespace kolva
