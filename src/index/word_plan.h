// One word of a search as the matcher and the pairs file take it: its terms (the characters the
// index knows, each with its slot and its place in the word) and its segments (the parts between
// two "*").
#pragma once

#include <array>
#include <cstdint>

#include "index/pair_narrowing.h"
#include "index/word_matcher.h"

namespace kolva {

// The positions of a word that one segment covers: its characters and "?", first to last (a "?"
// beside a segment's characters stands at a fixed place from them).
struct SegmentSpan {
    uint32_t first = 0;  // key position of its first character or "?"
    uint32_t last = 0;   // and of its last
};

struct WordPlan {
    std::array<Term, kMaxTerms> terms;
    std::array<PhraseTerm, kMaxTerms> phrase;  // the terms as the pairs file sees them
    std::array<Segment, kMaxSegments> segments;
    std::array<SegmentSpan, kMaxSegments> spans;  // of segments with terms
    uint32_t termCount = 0;     // terms in all
    uint32_t segmentCount = 0;  // parts ended by a "*"
    uint32_t length = 0;        // characters and "?" of the word
};

}  // namespace kolva
