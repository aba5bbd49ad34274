// Page composition: a stored page is cut into its title and two table cells, the cell holding
// the body text is written with its hits marked (hitmark.h), and the parts are put back into a
// fixed frame:
//
//   T1 title T2 first cell T3 second cell T4
//
// The parser reads a composed page back into the same three parts. Notes inside the body are
// wrapped in kNoteOpen ... kNoteClose, in the stored page and in the composed one alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

inline constexpr std::string_view kNoteOpen = "<font size=-1 color=\"#993366\">";
inline constexpr std::string_view kNoteClose = "</font>";

// Which text of the body cell is marked.
enum ComposeTarget { kTargetWholeText = 0, kTargetMainText = 1, kTargetNotes = 2 };

// One part of a parsed page: the title or the content of a table cell, inner tags included.
struct HTMLNode {
    std::string text;
    int32_t kind = 2;  // always 2 for the three parts of a page
};

// One run of a cell's text, the note font tags themselves excluded.
struct FilterItem {
    std::string text;
    int32_t type = 0;  // 0 main text, 1 note
};

// The tag closes the title / closes a table cell.
bool IsTitleEnd(std::string_view tag);
bool IsCellEnd(std::string_view tag);

// Cuts page bytes into exactly three nodes: the title, the first cell, the second cell (any of
// them possibly empty). Everything else of the page is dropped.
void ParsePage(std::string_view page, std::vector<HTMLNode>& nodes);

// Splits a cell into main-text and note runs in text order; the first is always a (possibly
// empty) main-text run.
void SplitFilterItems(const HTMLNode& node, std::vector<FilterItem>& items);

struct PageBody;
struct PageHits;

// Appends the framed page of body to html, the body cell with hits marked in the text of target
// (ComposeTarget); the title and the other cell as parsed. Returns the anchors written.
int ComposeMarkedPage(const PageBody& body, int target, const PageHits& hits, std::string& html);

// The cell holding the body text of a page: its page number modulo 2, never negative.
int BodyColumn(int pageNumber);

}  // namespace kolva
