// Writing the pairs files of a collection (format in index/pairs_format.h) from its index files
// and variant table alone, so that a collection made by any writer can be given them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "index/pairs_format.h"

namespace kolva {

struct PairsStats {
    uint64_t bytes = 0;        // size of the file written
    uint32_t keys = 0;         // keys listed
    uint32_t pairs = 0;        // pairs of neighbouring keys with a list
    uint32_t apart = 0;        // pairs of keys one apart with a list
    uint32_t faultySlots = 0;  // slots whose streams do not read cleanly
};

// Writes folder/<stem>-idx.pairs for the index pair folder/<stem>-idx.h/.m and folder/yitizi.txt
// (kMaxPairKeys keys, kApartKeys of them in pairs one apart, unless told fewer). Only those files
// are read, and none is changed. The file is written under a temporary name and renamed into
// place. The pairs' entries are held in memory up to about listMemory bytes (0: an amount that
// follows the size of the postings, at most 16 MB), the rest in a spill file beside it that is
// gone when the writer is; the file is the same whatever the amount. Raises WriterError when an index file
// cannot be read or a file cannot be written.
PairsStats WritePairsFile(const std::filesystem::path& folder, const std::string& stem,
                          uint32_t maxKeys = 0, uint32_t apartKeys = kApartKeys,
                          uint64_t listMemory = 0);

struct PairsRecord;

// The same file as WritePairsFile, made from what the index's writer recorded while the pages
// came (IndexWriter::RecordPairs) instead of from the postings read back; the index pair and
// folder/yitizi.txt must be written. When the record does not fit them (another variant table,
// a page numbered UINT32_MAX), the file is made from the files. The record is used up.
PairsStats WriteRecordedPairsFile(const std::filesystem::path& folder, const std::string& stem,
                                  PairsRecord& record, uint32_t maxKeys = 0,
                                  uint32_t apartKeys = kApartKeys, uint64_t listMemory = 0);

// Writes the pairs files of the three indexes of the collection in folder (base name "Index").
// Returns the bytes written.
uint64_t AccelerateCollection(const std::filesystem::path& folder,
                              const std::string& baseName = "Index");

}  // namespace kolva
