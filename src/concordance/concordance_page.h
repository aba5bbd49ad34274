// The concordance as the reading view shows it: one HTML page (UTF-8) with the keywords and
// totals, bar charts of hits per book and per volume of a chosen book (inline SVG), and a table
// of up to kConcordancePageLines lines. The reading view runs no scripts, so everything the page
// offers is a link the program answers itself:
//
//   kolva-concordance:view?order=page|left|right&page=P&book=B   this page in another state
//   kolva-concordance:line?row=R&anchor=A                         show the line's page at its hit
//   kolva-concordance:copy?row=R&anchor=A                         copy the line with its citation
//
// P counts 500-line pages from 0, B the books of the chart from 0, R result rows, A anchors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/results.h"
#include "concordance/concordance.h"

namespace kolva {

inline constexpr size_t kConcordancePageLines = 500;
inline constexpr std::string_view kConcordanceScheme = "kolva-concordance";

// A link of the concordance page, parsed.
struct ConcordanceLink {
    enum Kind { kView, kLine, kCopy } kind = kView;
    ConcordanceOrder order = ConcordanceOrder::kPage;
    size_t page = 0;
    int book = -1;       // -1: none chosen
    uint32_t row = 0;
    int anchor = 0;
};
// False for anything that is not one of the links above, or that names no number where one goes.
bool ParseConcordanceLink(std::string_view url, ConcordanceLink& link);
std::string ConcordanceViewLink(ConcordanceOrder order, size_t page, int book);


// One bar of a chart: a book or a volume and its hits.
struct ConcordanceBar {
    std::u16string label;
    uint64_t hits = 0;
};
// Hits per book of the rows, books in the order of their first page in the collection; and per
// volume of one book (its title as the rows name it).
std::vector<ConcordanceBar> HitsPerBook(const std::vector<SearchNodeTag>& rows);
std::vector<ConcordanceBar> HitsPerVolume(const std::vector<SearchNodeTag>& rows,
                                          std::u16string_view book);

// "《書名》巻 頁" of a row.
std::u16string ConcordanceCitation(const SearchNodeTag& row);
// A line as it is copied: its text, then its citation.
std::u16string ConcordanceCopyText(const ConcordanceLine& line, const SearchNodeTag& row);

// Everything one concordance page shows.
struct ConcordancePageModel {
    std::u16string keywords;
    std::u16string totals;                 // the search's totals line
    std::u16string options;                // target and variant option, as words
    ConcordanceOrder order = ConcordanceOrder::kPage;
    size_t page = 0;                       // 500-line page shown, from 0
    size_t firstLine = 0;                  // number of the first line shown, from 0
    size_t linesKnown = 0;                 // lines counted so far (all of them when allKnown)
    bool allKnown = false;
    bool more = false;                     // a further page exists
    std::vector<ConcordanceBar> books;
    int book = -1;                         // the chosen book, -1 none
    std::vector<ConcordanceBar> volumes;   // of the chosen book
    const std::vector<SearchNodeTag>* rows = nullptr;
    const std::vector<ConcordanceLine>* lines = nullptr;  // the lines of this page
};
std::string ConcordancePageHtml(const ConcordancePageModel& model);

}  // namespace kolva
