// Hit marking: the body cell of a page written again with its hits marked in red on grey, each
// hit preceded by one numbered anchor. Which characters a hit covers is the search's business
// (index/hit_finder.h); here a hit arrives as the body characters it spans (page_text.h), and
// is written as
//
//   <a name="NNNN"></a><b style=...>first character ... last character</b>
//
// everything from its first character to its last in the mark, the punctuation and spaces
// between included. A mark never holds a tag or a line end: where one lies inside a hit the mark
// is closed before it and opened again after it, so the page stays well formed. Text outside the
// target (a note inside a main-text hit) is not marked. A hit of a word with "*" has one piece per
// part of the word and its gaps stay unmarked. Overlapping hits keep an anchor each and their
// marks merge; an anchor inside a mark closes the mark before it and opens it again after it,
// so an anchor is always followed by its mark. Anchors are numbered in the order of the hits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pagestore/page_text.h"

namespace kolva {

inline constexpr std::string_view kMarkOpen = "<b style='color:red;background:#D9D9D9;'>";
inline constexpr std::string_view kMarkClose = "</b>";

// The name of hit anchor number ("%04d": 0000, 0001, ...; five digits and more from 10000). The
// page composer writes it and the reader navigates to "#" followed by it.
std::string AnchorName(int number);
// Appends "<a name="%04d"></a>" for number to out.
void AppendAnchor(std::string& out, int number);

// A marked stretch of one hit: body characters first to last (indexes into PageBody::chars).
struct HitPiece {
    uint32_t first = 0;
    uint32_t last = 0;
};

// One hit: its pieces in text order (pieces[firstPiece .. firstPiece + pieceCount) of its list).
// A hit without pieces could not be placed in the page's text (the page does not number its
// characters as the index does); its anchor stands at the end of the body, so that every hit
// keeps its anchor.
struct MarkedHit {
    uint32_t firstPiece = 0;
    uint32_t pieceCount = 0;
    uint32_t word = 0;  // the word of the keyword string it is a hit of
};

// The hits of one page, in anchor order (text order: by first character, then by word).
struct PageHits {
    std::vector<HitPiece> pieces;
    std::vector<MarkedHit> hits;
};

// Appends the body cell of body to out with every hit of hits marked, runs outside target
// (ComposeTarget) unmarked, notes wrapped in kNoteOpen ... kNoteClose. Returns the anchors
// written (one per hit). Without hits the cell is written exactly as composition always wrote it.
int WriteMarkedBody(const PageBody& body, int target, const PageHits& hits, std::string& out);

}  // namespace kolva
