// Hits in their context, read back from a page: one line per hit of a page's hits (index/
// hit_finder.h), in anchor order, so that line k of a page is what anchor k, and F3, shows.
//
// Visible text is the body cell with its tags left out, character references decoded and every
// run of white space read as one space (none at the cell's ends). A line's match is the visible
// text from the hit's first character to its last, notes and punctuation between included; a
// gap of a "*" hit longer than the context keeps its two ends around "…". Left and right
// context are the visible text before and after it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "pagestore/hitmark.h"
#include "pagestore/page_text.h"

namespace kolva {

// One hit of a page: its anchor and the visible text around it, UTF-8.
struct PageLine {
    int anchor = 0;
    std::string left;   // at most `context` characters before the hit, nearest last
    std::string match;  // the hit's text
    std::string right;  // at most `context` characters after the hit
};

// The default number of characters of context on each side.
inline constexpr size_t kDefaultContext = 20;

// The lines of the hits of a page, one per hit in anchor order (lines is replaced). A hit that
// could not be placed in the page's text still gets its line, with empty texts.
void ReadPageLines(const PageBody& body, const PageHits& hits, size_t context,
                   std::vector<PageLine>& lines);

// The visible text of a run of page bytes as described above (tags out, references decoded,
// white space collapsed and trimmed), UTF-8.
std::string VisibleText(std::string_view bytes);

}  // namespace kolva
