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
};

// The terms between two "*" of a word.
struct Segment {
    uint32_t termCount;
    uint32_t end;  // terms up to and including this segment
};

// The state of one word search: its terms, segments and the walk over pages and positions.
class WordMatcher {
  public:
    WordMatcher(const StreamReader& reader, Term* terms, uint32_t termCount,
                const Segment* segments, uint32_t segmentCount, uint32_t length, bool shortcuts,
                GuideMemory& memory);

    // Walks the pages; appends every page with hits and its count. With `within` (ascending),
    // pages outside it may be passed over: a word whose hits only count on those pages.
    void Run(const int32_t* firstBlock, const std::vector<uint32_t>* within,
             std::vector<uint32_t>& pages, std::vector<uint32_t>& counts);

  private:
    uint32_t SegmentStart(uint32_t s) const { return s == 0 ? 0 : m_segments[s - 1].end; }
    uint32_t MaxAligned(uint32_t from, uint32_t to) const {
        uint32_t best = m_terms[from].aligned;
        for (uint32_t i = from + 1; i < to; ++i) best = std::max(best, m_terms[i].aligned);
        return best;
    }

    // Keeps the first n values of candidates that the first m of other hold too; both strictly
    // increase. Returns how many are kept.
    static size_t KeepCommon(uint32_t* candidates, size_t n, const uint32_t* other, size_t m);

    // Keeps the first n candidates (ascending) that t's entry holds as aligned values, reading
    // the entry only up to the last candidate. The entry lies in one block and reads cleanly.
    size_t KeepInEntry(uint32_t* candidates, size_t n, const Term& t, uint32_t shift) const;

    // A word without "*" between its terms, on a page where every term's entry reads cleanly:
    // MatchPage would then count exactly the aligned values that all terms share (each round
    // moves every term below the largest value, a round where all are equal is a hit) and never
    // fail, so count those directly. The terms stay at the start of their entries; Run skips
    // them as it skips partly read ones. False, with nothing changed, when MatchPage must walk.
    bool CountCleanPage(uint32_t page, std::vector<uint32_t>& pages, std::vector<uint32_t>& counts);

    // Reads the stream of t's slot whole, as a term would, keeping skip points on the way, and
    // notes whether every entry reads cleanly.
    void CheckSlot(const Term& term);

    // Counts the occurrences on page. False when a stream turned out corrupt.
    bool MatchPage(uint32_t page, std::vector<uint32_t>& pages, std::vector<uint32_t>& counts);

    const StreamReader& m_reader;
    GuideMemory& m_memory;
    const int32_t* m_firstBlock = nullptr;
    std::vector<uint32_t> m_scratch;
    Term* m_terms;
    uint32_t m_termCount;
    const Segment* m_segments;
    uint32_t m_segmentCount;
    uint32_t m_length;
    bool m_gap = false;                           // kept from page to page within the word
    bool m_singleSegment = false;                 // all terms in one segment
    std::vector<std::vector<uint32_t>> m_values;  // per term: aligned values on the page
    std::vector<size_t> m_counts;                 // per term: how many of them
};

}  // namespace kolva
