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

struct BuildOptions {
    // The whole-text index is built on one more thread and the main-text and notes indexes on
    // another, while the calling thread reads and lays out the pages. Without, everything runs
    // on the calling thread. The files are the same bytes either way, and so is the error a
    // faulty source raises (that of its first fault in page order).
    bool indexThreads = true;
    // The three pairs files are written too (as WritePairsFile writes them), from what the index
    // writers record while the pages come rather than from the postings read back.
    bool pairsFiles = false;
};

// Writes the ten data files of source into folder (which must exist). Raises SourceError for a
// fault of the source and WriterError when the files cannot be written.
BuildResult BuildCollection(const CollectionSource& source, const std::filesystem::path& folder,
                            const std::function<void(const BuildProgress&)>& progress = {},
                            const BuildOptions& options = {});

// The names of the ten data files.
const std::vector<std::string>& CollectionFileNames();

}  // namespace kolva
