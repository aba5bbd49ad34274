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

// The state of one word's walk over its terms' streams: MatchWord's walk, which can also stop at
// a page and keep where each hit on it stands. The arguments are MatchWord's and must outlive it.
class WordMatcher {
  public:
    WordMatcher(const StreamReader& reader, const int32_t* firstBlock, Term* terms,
                uint32_t termCount, const Segment* segments, uint32_t segmentCount,
                uint32_t length, bool shortcuts, GuideMemory& memory,
                const std::vector<uint32_t>* within, const std::vector<uint32_t>* candidates,
                const uint32_t* moveOrder);
    WordMatcher(const WordMatcher&) = delete;
    WordMatcher& operator=(const WordMatcher&) = delete;

    // Walks every page: the search's count.
    void Run(std::vector<uint32_t>& pages, std::vector<uint32_t>& counts);

    // Walks on to page `page` (higher than at the call before) and appends, for every hit the
    // walk counts there, the aligned value of each segment with terms (all terms of a segment
    // share it) to aligned. Pages on the way are counted as Run counts them, so the gap flag
    // stands on `page` as it stands in the search; with passOver they are passed over instead,
    // which is the same when the gap flag cannot change a count (GapFlagMatters) and every
    // term's stream is clean (StreamsClean).
    void HitsOn(uint32_t page, bool passOver, std::vector<uint32_t>& aligned);

    // Whether the gap flag, which the walk keeps from one page to the next, can change a count of
    // a word with these segments: only when a round fails inside a segment after the first one
    // with terms, which takes such a segment with two terms or more (a failure in the first one
    // moves every term from the first on anyway).
    static bool GapFlagMatters(const Segment* segments, uint32_t segmentCount);
    // Whether every term's stream is known to read cleanly; streams not yet known are read whole
    // now (as the search reads them after direct counts, keeping what it finds). False when a
    // term has no slot check.
    bool StreamsClean();

  private:
    uint32_t SegmentStart(uint32_t s) const { return s == 0 ? 0 : m_segments[s - 1].end; }
    uint32_t MaxAligned(uint32_t from, uint32_t to) const {
        uint32_t best = m_terms[from].aligned;
        for (uint32_t i = from + 1; i < to; ++i) best = std::max(best, m_terms[i].aligned);
        return best;
    }

    // Walks on until the terms stand past page until (or the word is done). A page equal to
    // until is matched with its hits kept in m_keep (when set); with passOver, pages before
    // until are passed over.
    void Walk(uint32_t until, bool passOver, std::vector<uint32_t>& pages,
              std::vector<uint32_t>& counts);

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

    // Counts the occurrences on page (keeping where each stands when keep is set). False when a
    // stream turned out corrupt.
    bool MatchPage(uint32_t page, std::vector<uint32_t>& pages, std::vector<uint32_t>& counts,
                   std::vector<uint32_t>* keep);

    // Reads every term's first position on the page into its aligned value. False on a fault.
    bool AlignTerms();
    // Whether the terms' aligned values make one hit: the terms of each segment side by side,
    // and each segment with terms before the next one and within kMaxGap of it. Otherwise failed
    // is the segment that broke it and limit the aligned value that terms below it move up to.
    bool TermsAligned(uint32_t& failed, uint32_t& limit);
    // The order and gap part of TermsAligned, from segment first on (sets m_gap).
    bool SegmentsInOrder(uint32_t first, uint32_t& failed, uint32_t& limit);
    // What moving the terms on did.
    enum class Moved { kOn, kPageDone, kFault };
    // Moves every term from start on whose aligned value is below limit to its next position.
    Moved MoveTermsBelow(uint32_t start, uint32_t limit);

    const StreamReader& m_reader;
    GuideMemory& m_memory;
    const int32_t* m_firstBlock;
    const std::vector<uint32_t>* m_within;
    const std::vector<uint32_t>* m_candidates;
    const uint32_t* m_moveOrder;
    std::vector<uint32_t> m_scratch;
    Term* m_terms;
    uint32_t m_termCount;
    const Segment* m_segments;
    uint32_t m_segmentCount;
    uint32_t m_length;
    bool m_gap = false;                           // kept from page to page within the word
    bool m_singleSegment = false;                 // all terms in one segment
    bool m_narrow = false;                        // pages outside m_within may be passed over
    bool m_started = false;                       // the terms stand on their first entries
    bool m_done = false;                          // the word has no further page
    std::vector<uint32_t>* m_keep = nullptr;      // where HitsOn keeps the hits of its page
    size_t m_nextWithin = 0, m_nextCandidate = 0; // the walk's place in m_within, m_candidates
    std::vector<std::vector<uint32_t>> m_values;  // per term: aligned values on the page
    std::vector<size_t> m_counts;                 // per term: how many of them
};

}  // namespace kolva
