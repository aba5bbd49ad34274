// One word of a search as the matcher and the pairs file take it: its terms (the characters the
// index knows, each with its slot and its place in the word) and its segments (the parts between
// two "*").
#pragma once

#include <array>
#include <cstdint>

#include "index/pair_narrowing.h"
#include "index/word_matcher.h"

namespace kolva {

struct WordPlan {
    std::array<Term, kMaxTerms> terms;
    std::array<PhraseTerm, kMaxTerms> phrase;  // the terms as the pairs file sees them
    std::array<Segment, kMaxSegments> segments;
    uint32_t termCount = 0;     // terms in all
    uint32_t segmentCount = 0;  // parts ended by a "*"
    uint32_t length = 0;        // characters and "?" of the word
};

}  // namespace kolva
