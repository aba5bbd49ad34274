// The concordance of a search: every hit of its result rows with the text around it. Rows are
// taken in their order, each row's page composed as the reading view shows it and its marks read
// back in anchor order (pagestore/kwic.h), so that line k of a row is what anchor k, and F3,
// shows. Lines are made a row at a time when asked for: a word found on tens of thousands of
// pages is never composed as a whole to show its first lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "index/index.h"
#include "pagestore/kwic.h"

namespace kolva {

// One hit of the concordance.
struct ConcordanceLine {
    uint32_t row = 0;   // position of its result row
    int anchor = 0;     // anchor number on the row's composed page
    std::string left;   // visible text before the mark, UTF-8, at most `context` characters
    std::string match;  // the marked text
    std::string right;  // visible text after the mark
};

// How lines are ordered. Ties always keep page order (row, then anchor).
enum class ConcordanceOrder {
    kPage,   // row, then anchor
    kLeft,   // the left context read backwards from the match
    kRight,  // the match followed by the right context
};

// "page", "left", "right", as kolva-search's --sort and the page's links name the orders.
const char* ConcordanceOrderName(ConcordanceOrder order);
bool ParseConcordanceOrder(std::string_view name, ConcordanceOrder& order);

// What the rows were searched with: the marks are those the reading view sets for the same.
struct ConcordanceQuery {
    std::u16string keywords;        // as given to the search (spaces or ideographic spaces)
    int target = 0;                 // composition target: 0 whole text, 1 main text, 2 notes
    bool variant = true;            // keywords widened by their variant forms
    size_t context = kDefaultContext;  // characters on each side
};

class CConcordance {
public:
    // pages: the page index of each result row, in row order. The index must outlive this.
    CConcordance(const CIndex& index, std::vector<uint32_t> pages, ConcordanceQuery query);

    size_t RowCount() const { return m_pages.size(); }
    const ConcordanceQuery& Query() const { return m_query; }

    // Appends the lines of one row, its page composed now, in anchor order. Returns their number.
    size_t AppendRowLines(uint32_t row, std::vector<ConcordanceLine>& lines) const;

    // Appends up to `count` lines in page order, starting with line `first` of the whole
    // concordance. Rows before it are composed once to learn their line counts, which are kept,
    // so that going on page after page composes every row once. Returns the number appended.
    size_t AppendPageOrderLines(size_t first, size_t count, std::vector<ConcordanceLine>& lines);
    // Lines counted so far, and whether every row has been counted (then it is the total).
    size_t LinesCounted() const { return m_lineStart.back(); }
    bool AllCounted() const { return m_lineStart.size() == m_pages.size() + 1; }

    // Up to `limit` lines (0: all) in page order, then ordered as asked.
    std::vector<ConcordanceLine> Lines(ConcordanceOrder order, size_t limit = 0);

private:
    const CIndex& m_index;
    std::vector<uint32_t> m_pages;     // page index of each row
    ConcordanceQuery m_query;
    std::vector<size_t> m_lineStart;   // first line of each row counted so far, then the end
};

// Orders lines (stable: ties keep the order they come in, which is page order from the above).
void SortConcordance(std::vector<ConcordanceLine>& lines, ConcordanceOrder order);

// The sort key of a line: the left context reversed character by character, or the match and
// the right context; UTF-8, so that comparing bytes compares characters.
std::string ConcordanceKey(const ConcordanceLine& line, ConcordanceOrder order);

}  // namespace kolva
