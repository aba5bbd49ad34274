// Building a collection: every page laid out and stored, the three indexes, the catalogue and
// the variant table, written into one folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "builder/source.h"

namespace kolva {

struct BuildProgress {
    size_t pagesDone = 0;
    size_t pageCount = 0;
    uint64_t bytesDone = 0;   // bytes of page files read
    uint64_t bytesTotal = 0;
};

struct BuildResult {
    size_t pages = 0;
    uint64_t positions = 0;  // positions in the whole-text index
};

// Writes the ten data files of source into folder (which must exist). Raises SourceError for a
// fault of the source and WriterError when the files cannot be written.
BuildResult BuildCollection(const CollectionSource& source, const std::filesystem::path& folder,
                            const std::function<void(const BuildProgress&)>& progress = {});

// The names of the ten data files.
const std::vector<std::string>& CollectionFileNames();

}  // namespace kolva
