// What a keyword search returns: the pages it found and the hits on each, as a value the caller
// owns. The words of a search are folded into it one by one (CombineWordHits).
#pragma once

#include <cstdint>
#include <vector>

namespace kolva {

struct SearchResult {
    std::vector<uint32_t> pages;   // page indexes, in the order the search found them
    std::vector<uint32_t> counts;  // hits per page, parallel to pages
    // The sum, over the words, of the number of pages the result held after that word (the figure
    // the search has always returned; 0 for a rejected string).
    int wordTotal = 0;
    // The keyword string held a unit no keyword may hold (CountKeywords gave 0): nothing was
    // searched. A caller that shows results keeps what it showed before.
    bool rejected = false;
};

// How one word's hits join the result.
enum CombineMode {
    kReplace = 0,    // the first word of an AND: its hits are the result
    kMerge = 1,      // every word of an OR: new pages appended, counts of known pages added
    kIntersect = 2,  // every later word of an AND: pages of both kept, counts added
};

// Folds one word's hits (pages and counts, parallel) into result.
void CombineWordHits(SearchResult& result, const std::vector<uint32_t>& pages,
                     const std::vector<uint32_t>& counts, CombineMode mode);

}  // namespace kolva
