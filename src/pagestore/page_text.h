// A stored page cut into its title and two table cells (ParsePage), and the text of the page:
// its body cell cut into main-text and note runs as composition cuts it, and
// the characters of those runs outside tags, each with where its bytes lie. This is the text the
// index numbers (whole text = every run in order, main text = the main-text runs, notes = the
// note runs; each indexed character takes the next position) and the text hits are marked in,
// so the builder and the composer read a page through the same code:
//
//   cell  = run { NOTE_OPEN run NOTE_CLOSE run }        (SplitFilterItems)
//   run   = { text | tag }                              tag = "<" ... first ">"
//   text  = UTF-8 characters; a stretch of text between two tags that is not UTF-8 has none
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/utf8.h"

namespace kolva {

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

// One character of a page's body text.
struct BodyChar {
    char32_t codePoint;
    uint32_t item;    // the run (FilterItem) it lies in
    uint32_t offset;  // its first byte in the run's text
    uint32_t length;  // its bytes, 1 to 4
};

// A page cut up as composition cuts it, with the characters of its body cell.
struct PageBody {
    std::vector<HTMLNode> nodes;    // title, first cell, second cell
    int column = 0;                 // the cell holding the body: 0 or 1
    std::vector<FilterItem> items;  // the body cell's runs
    std::vector<BodyChar> chars;    // the characters of the runs, in text order
};

// Cuts page bytes into body (its previous contents are replaced). column: the body cell, 0 or 1.
void ReadPageBody(std::string_view page, int column, PageBody& body);

// Whether a run of type itemType (0 main text, 1 note) is part of target (ComposeTarget).
inline bool RunInTarget(int target, int itemType) {
    return itemType == 1 ? target == kTargetWholeText || target == kTargetNotes
                         : target == kTargetWholeText || target == kTargetMainText;
}

// Calls onChar(offset, length, codePoint) for every character of one run's text, in order.
template <typename OnChar>
void ForEachRunChar(std::string_view run, OnChar&& onChar) {
    size_t at = 0;
    while (at < run.size()) {
        size_t open = run.find('<', at);
        if (open == std::string_view::npos) open = run.size();
        const std::string_view text = run.substr(at, open - at);
        size_t bad;
        // Only text that is UTF-8 throughout takes characters; once checked, each character's
        // length follows from its lead byte.
        if (!text.empty() && AppendUtf8Decoded(text, nullptr, bad, false)) {
            for (size_t q = 0; q < text.size();) {
                const auto lead = uint8_t(text[q]);
                const uint32_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
                char32_t c = n == 1 ? lead : lead & (0x7F >> n);
                for (uint32_t k = 1; k < n; ++k) c = c << 6 | (uint8_t(text[q + k]) & 0x3F);
                onChar(uint32_t(at + q), n, c);
                q += n;
            }
        }
        if (open == run.size()) return;
        const size_t close = run.find('>', open);
        if (close == std::string_view::npos) return;
        at = close + 1;
    }
}

}  // namespace kolva
