// The concordance of a search: every hit of its result rows with the text around it. Rows are
// taken in their order, each row's hits found as composition finds them (index/hit_finder.h) and
// read back from its page in anchor order (page_lines.h), so that line k of a row is what anchor
// k, and F3, shows, and a row has as many lines as the result list counts hits on it. Lines are
// made a row at a time when asked for: a word found on tens of thousands of pages is never read
// as a whole to show its first lines, and rows in ascending page order are found in one walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <memory>

#include "concordance/page_lines.h"
#include "index/hit_finder.h"
#include "index/index.h"

namespace kolva {

// One hit of the concordance.
struct ConcordanceLine {
    uint32_t row = 0;   // position of its result row
    int anchor = 0;     // anchor number on the row's composed page
    std::string left;   // visible text before the hit, UTF-8, at most `context` characters
    std::string match;  // the hit's text
    std::string right;  // visible text after the hit
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
    bool variant = true;            // the search's variant option
    size_t context = kDefaultContext;  // characters on each side
};

class CConcordance {
public:
    // pages: the page index of each result row, in row order. The index must outlive this.
    CConcordance(const CIndex& index, std::vector<uint32_t> pages, ConcordanceQuery query);

    size_t RowCount() const { return m_pages.size(); }
    const ConcordanceQuery& Query() const { return m_query; }

    // Appends the lines of one row, its hits found now, in anchor order. Returns their number.
    size_t AppendRowLines(uint32_t row, std::vector<ConcordanceLine>& lines);
    // Appends the lines of rows first .. first + count - 1 (those that exist) in row order, each
    // row's in anchor order. Their pages are read in ascending page order, so that the words'
    // walks go forward once however the rows are sorted. Returns the lines appended.
    size_t AppendRowsLines(uint32_t first, uint32_t count, std::vector<ConcordanceLine>& lines);

    // Appends up to `count` lines in page order, starting with line `first` of the whole
    // concordance. Rows before it are read once to learn their line counts, which are kept, so
    // that going on page after page reads every row once. Returns the number appended.
    size_t AppendPageOrderLines(size_t first, size_t count, std::vector<ConcordanceLine>& lines);
    // Lines counted so far, and whether every row has been counted (then it is the total).
    size_t LinesCounted() const { return m_lineStart.back(); }
    bool AllCounted() const { return m_lineStart.size() == m_pages.size() + 1; }

    // Up to `limit` lines (0: all) in page order, then ordered as asked.
    std::vector<ConcordanceLine> Lines(ConcordanceOrder order, size_t limit = 0);

private:
    std::vector<uint32_t> m_pages;     // page index of each row
    ConcordanceQuery m_query;
    CHitFinder m_finder;               // the query's hits, row after row
    PageBody m_body;                   // the page last read
    PageHits m_hits;                   // and its hits
    std::vector<size_t> m_lineStart;   // first line of each row counted so far, then the end
};

// Orders lines (stable: ties keep the order they come in, which is page order from the above).
void SortConcordance(std::vector<ConcordanceLine>& lines, ConcordanceOrder order);

// The sort key of a line: the left context reversed character by character, or the match and
// the right context; UTF-8, so that comparing bytes compares characters.
std::string ConcordanceKey(const ConcordanceLine& line, ConcordanceOrder order);

}  // namespace kolva
