// The concordance of the pane's last search, shown in the reading view as a generated page of
// the scratch folder. It keeps what the page shows (order, 500-line page, chosen book) and
// answers the page's links: another order, page or book; a line (its page shown at its hit, by
// the pane); a copy of a line with its citation. The lines themselves come from the core.
#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "concordance/concordance.h"
#include "concordance/concordance_page.h"
#include "catalogue/results.h"

namespace kolva {

class CBookView;

class CConcordanceBrowser : public QObject {
    Q_OBJECT
public:
    // Shows a line's hit: page index of its row, its anchor, and the query it was found with.
    using ShowHit = std::function<void(uint32_t pageIndex, int anchor, const ConcordanceQuery&)>;

    CConcordanceBrowser(CBookView* view, std::filesystem::path scratchFolder, ShowHit showHit,
                        QObject* parent = nullptr);
    ~CConcordanceBrowser() override;

    // Takes the rows of a search and shows the first page of its concordance in page order; the
    // lines are read through index (the index of the text searched), which must outlive them.
    void Open(const CIndex& index, std::vector<SearchNodeTag> rows, ConcordanceQuery query,
              QString totals, QString options);
    // Forgets the search (a new one has run); the page's links then do nothing.
    void Close();
    bool IsOpen() const { return m_concordance != nullptr; }

    // Answers a link of the page; false when it is not one (or names no line of this search).
    bool Answer(const QString& url);
    // Shows the concordance in an order, at a 500-line page, with a book chosen for the chart.
    void Show(ConcordanceOrder order, size_t page, int book);

    // What the page shows now, for the window tests.
    const std::vector<ConcordanceLine>& ShownLines() const { return m_shown; }
    const std::filesystem::path& ShownFile() const { return m_file; }
    const std::vector<SearchNodeTag>& Rows() const { return m_rows; }

private:
    // The line of a row and anchor among those shown, or null.
    const ConcordanceLine* FindShown(uint32_t row, int anchor) const;

    CBookView* m_pBookView;
    std::filesystem::path m_scratchFolder;
    ShowHit m_showHit;
    std::unique_ptr<CConcordance> m_concordance;   // null until opened
    std::vector<SearchNodeTag> m_rows;             // the rows it was opened with
    QString m_totals, m_options;
    std::vector<ConcordanceBar> m_books;           // hits per book, for the chart
    ConcordanceOrder m_order = ConcordanceOrder::kPage;
    size_t m_page = 0;
    int m_book = -1;
    ConcordanceOrder m_sortedOrder = ConcordanceOrder::kPage;
    std::vector<ConcordanceLine> m_sorted;         // every line in m_sortedOrder, once asked for
    std::vector<ConcordanceLine> m_shown;          // the lines on the page shown
    std::filesystem::path m_file;                  // the file shown
    bool m_useFirstFile = true;                    // the two files alternate, so a page always loads
};

}  // namespace kolva
