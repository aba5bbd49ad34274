// Narrowing a word's pages by the pairs file: a page can hold the word only when it holds every
// pair of characters next to each other or one apart inside each part of the word between two
// "*".
#pragma once

#include <cstdint>
#include <vector>

#include "index/pairs.h"

namespace kolva {

// One term of a word as the narrowing sees it.
struct PhraseTerm {
    int32_t slot;      // the slot searched (a variant group's when the option is on)
    uint32_t keyPos;   // characters and "?" before it in the word
    uint32_t segment;  // the part of the word between two "*" it belongs to
};

// Sets pages (ascending) to the pages that hold the pairs of listed keys that two terms of one
// segment form at neighbouring positions or one apart: a superset of the pages on which the word
// has hits. Every such pair is looked up, but a long list of page deltas is read only while few
// enough pages are left for it to be worth it (the walk rules out the pages it would drop). A
// pair with no list empties pages. False, pages unspecified, when the file cannot narrow the
// word: the stream of a term was not clean when the file was made (passing pages over would then
// pass over faults the search would meet), no pair of terms has listed keys, or a directory row
// or a list read is damaged.
bool PagesByPairs(const PairsFile& file, const PhraseTerm* terms, size_t count,
                  std::vector<uint32_t>& pages);

}  // namespace kolva
