// Hits in their context, read back from a composed page. Composition writes, for every hit,
//
//   <a name="NNNN"></a><b style=...>literal</b>        a literal of the keyword
//   <b style=...><a name="NNNN"></a>stretch</b>        the characters a "?" stood for
//
// and a later keyword may be marked again inside an earlier keyword's mark. Reading the marks
// back from the very bytes the reading view shows (rather than matching again) is what makes
// line k of a page the hit that anchor k, and so F3, leads to.
//
// Visible text is the body cell with its tags left out, character references decoded and every
// run of white space read as one space (none at the cell's ends). A mark's text runs from its
// opening tag to the "</b>" that closes it, nested bold tags counted as the browser counts them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kolva {

// One hit of a page: its anchor and the visible text around it, UTF-8.
struct PageLine {
    int anchor = 0;
    std::string left;   // at most `context` characters before the mark, nearest last
    std::string match;  // the marked text
    std::string right;  // at most `context` characters after the mark
};

// The default number of characters of context on each side.
inline constexpr size_t kDefaultContext = 20;

// The lines of anchors 0 .. anchors - 1 of a composed page whose body is cell `column` (0 or 1),
// one per anchor in anchor order. An anchor that cannot be found in the body (a stored page that
// breaks the frame) still gets its line, with empty texts. Where a number occurs twice, the
// first one counts, as it does for the browser's jump to it.
void ReadPageLines(std::string_view composedPage, int column, int anchors, size_t context,
                   std::vector<PageLine>& lines);

// The visible text of a run of page bytes as described above (tags out, references decoded,
// white space collapsed and trimmed), UTF-8.
std::string VisibleText(std::string_view bytes);

}  // namespace kolva
