// The result list: a report list whose every heading sorts the whole list (all its list pages):
// a click announces the column and the direction, a second click on the same heading reverses it.
// Columns can be widened; a cell cut by its column's width shows its whole text when hovered.
// The columns fit the list's width: the book title takes what the others leave, and when the
// list is narrow the title, then the category, give way down to two characters and the volume to
// four, so that the page and hits columns stay in view.
#pragma once

#include <QTreeWidget>

namespace kolva {

class CResultList : public QTreeWidget {
    Q_OBJECT
public:
    explicit CResultList(QWidget* parent = nullptr);

    static constexpr int kPageColumn = 3;
    static constexpr int kHitsColumn = 4;
    // Sorts the rows on the list by the number in column.
    void SortByNumber(int column);
    // The widths the columns take when there is room (a column the reader widens keeps its new
    // width as its own).
    void SetPreferredWidths(const QList<int>& widths);
    // Forgets the heading clicked last (a new search lists in reading order).
    void ResetSortColumn() { m_sortColumn = -1; }

signals:
    void sortRequested(int column, bool descending);

protected:
    // A cell too narrow for its text shows the whole text in a tooltip.
    bool viewportEvent(QEvent* event) override;

private:
    void OnColumnClick(int column);
    void FitColumns();
    QList<int> m_preferred;
    bool m_fitting = false;
    int m_sortColumn = -1;
    bool m_descending = false;
};

}  // namespace kolva
