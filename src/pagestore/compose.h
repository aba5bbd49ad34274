// Page composition: a stored page is cut into its title and two table cells, the cell holding
// the body text is written with its hits marked (hitmark.h), and the parts are put back into a
// fixed frame:
//
//   T1 title T2 first cell T3 second cell T4
//
// The parser (page_text.h) reads a composed page back into the same three parts. Notes inside
// the body are wrapped in kNoteOpen ... kNoteClose, in the stored page and in the composed one
// alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pagestore/page_text.h"

namespace kolva {

// The frame. The "\t" are real TAB bytes.
inline constexpr std::string_view kFrameT1 =
    "<html><head>\t\t<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">"
    "<title>";
inline constexpr std::string_view kFrameT2 =
    "</title></head><div align=\"center\"><center><BODY>\t\t<TABLE border=1 cellPadding=0 "
    "cellSpacing=1 class=wd_gray height=477 width=635 bordercolor=\"#FFCC66\">\t\t<tr>  <TD "
    "height=477 width=80 vAlign=top align=\"center\" background=\"../Back.gif\">";
inline constexpr std::string_view kFrameT3 =
    "</TD>\t\t<TD height=477 width=450 vAlign=top align=\"center\">";
inline constexpr std::string_view kFrameT4 =
    "</TD> \t\t</tr></table></div></div>\t\t</center></BODY></html>";

struct PageHits;

// Appends the framed page of body to html, the body cell with hits marked in the text of target
// (ComposeTarget); the title and the other cell as parsed. Returns the anchors written.
int ComposeMarkedPage(const PageBody& body, int target, const PageHits& hits, std::string& html);

// The cell holding the body text of a page: its page number modulo 2, never negative.
int BodyColumn(int pageNumber);

}  // namespace kolva
