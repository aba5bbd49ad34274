// Matching one word's terms: the walk of a word search over its terms' postings streams.
//
// A word is a phrase in which "?" (or "？") takes one position and "*" a gap of 0 to 300
// positions. Each character of the word becomes a term that walks its slot's postings stream.
// Terms leapfrog page by page (skipping whole page entries by their byte count) until all stand
// on one page; only then are positions decoded. A term's position is shifted by its distance to
// the end of the word ("aligned"), so that all terms of one occurrence share one aligned value.
// A stream that turns out corrupt ends the word with the hits found so far.
//
// Besides the slot guides (slot_guides.h), what the matcher learns and keeps while the index is
// open, never changing a result: whether a slot's whole stream reads cleanly, found by reading
// it once when direct counts have needed its entries on 64 pages. A word without "*" then counts
// a page by intersecting the terms' positions and stops as soon as no candidate is left; a
// one-character word counts its numbers; a later word of an AND passes over the pages the
// earlier words did not find.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "index/postings_stream.h"
#include "index/slot_guides.h"

namespace kolva {

constexpr size_t kMaxTerms = 300;
constexpr size_t kMaxSegments = 300;
constexpr uint32_t kMaxGap = 300;          // positions between two segments at most
constexpr uint32_t kMaxShift = kMaxTerms;  // above any L - 1 - keyPos
// What the search knows of a slot's whole stream: a count of the pages on which a direct count
// had to read its entry first, until kCheckAfter; then the stream has been read whole once and
// every entry read cleanly (kSlotClean) or one did not (kSlotFaulty).
constexpr uint8_t kCheckAfter = 64;
constexpr uint8_t kSlotClean = 254;
constexpr uint8_t kSlotFaulty = 255;

// One character of a word, with where it stands in its slot's stream.
struct Term : StreamCursor {
    int32_t slot;
    uint32_t keyPos;   // characters and "?" before it in the word
    uint32_t aligned;  // current position + (L - 1 - keyPos)
    SlotGuide* guide;  // skip points of the slot's stream, or null
    uint8_t* check;    // what is known of the slot's whole stream, or null
    StoredPoints stored;  // skip points the accelerator keeps for the stream (none: count 0)
};

// The terms between two "*" of a word.
struct Segment {
    uint32_t termCount;
    uint32_t end;  // terms up to and including this segment
};

// Walks the terms of one word over their streams and appends every page on which they stand as
// the word says to pages, with how often to counts. terms[0 .. termCount) are in word order,
// each at the start of its stream; segments[0 .. segmentCount) group them; length is the word's
// length in positions. With shortcuts, slot checks and guides (when the terms hold them) are
// used and kept. With within (ascending), pages outside it may be passed over: a word whose hits
// only count on those pages. With candidates (ascending, from the pairs file), pages outside it
// may be passed over whatever the word: they lack a pair of neighbouring terms of one segment,
// so no round on them gets past the adjacency test, and such a page neither counts a hit nor
// touches the gap flag; the terms' streams must be clean. With moveOrder (a permutation of the
// terms, rarer first), the terms are moved towards a page in that order and a term that passes
// it stops the others from moving on: the dense streams then move only to pages where the rare
// ones agree. The pages visited, and so the result, are the same in any order.
void MatchWord(const StreamReader& reader, const int32_t* firstBlock, Term* terms,
               uint32_t termCount, const Segment* segments, uint32_t segmentCount, uint32_t length,
               bool shortcuts, GuideMemory& memory, const std::vector<uint32_t>* within,
               const std::vector<uint32_t>* candidates, const uint32_t* moveOrder,
               std::vector<uint32_t>& pages, std::vector<uint32_t>& counts);

}  // namespace kolva
