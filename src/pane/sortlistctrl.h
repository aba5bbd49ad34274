// The result list: a report list whose rows are sorted by page number when the heading of that
// column ("頁") is clicked; no other heading sorts.
#pragma once

#include <QTreeWidget>

namespace kolva {

class CSortListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CSortListCtrl(QWidget* parent = nullptr);

    static constexpr int kPageColumn = 3;
    // Sorts the rows on the list by the number in column.
    void SortByNumber(int column);

private:
    void OnColumnClick(int column);
};

}  // namespace kolva
