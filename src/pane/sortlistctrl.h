// The result list: a report list whose every heading sorts the whole list (all its list pages):
// a click announces the column and the direction, a second click on the same heading reverses it.
#pragma once

#include <QTreeWidget>

namespace kolva {

class CSortListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CSortListCtrl(QWidget* parent = nullptr);

    static constexpr int kPageColumn = 3;
    static constexpr int kHitsColumn = 4;
    // Sorts the rows on the list by the number in column.
    void SortByNumber(int column);
    // Forgets the heading clicked last (a new search lists in reading order).
    void ResetSortColumn() { m_sortColumn = -1; }

signals:
    void sortRequested(int column, bool descending);

private:
    void OnColumnClick(int column);
    int m_sortColumn = -1;
    bool m_descending = false;
};

}  // namespace kolva
