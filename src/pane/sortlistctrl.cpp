#include "pane/sortlistctrl.h"

#include <QHeaderView>
#include <algorithm>

namespace kolva {

CSortListCtrl::CSortListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSortingEnabled(false);
    header()->setSectionsClickable(true);
    connect(header(), &QHeaderView::sectionClicked, this, &CSortListCtrl::OnColumnClick);
}

void CSortListCtrl::OnColumnClick(int column) {
    m_descending = column == m_sortColumn && !m_descending;
    m_sortColumn = column;
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(column, m_descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    emit sortRequested(column, m_descending);
}

void CSortListCtrl::SortByNumber(int column) {
    QList<QTreeWidgetItem*> rows;
    const bool blocked = blockSignals(true);  // reordering is no change of selection
    QTreeWidgetItem* current = currentItem();
    while (topLevelItemCount() > 0) rows.append(takeTopLevelItem(0));
    std::stable_sort(rows.begin(), rows.end(), [column](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return a->text(column).toInt() < b->text(column).toInt();
    });
    addTopLevelItems(rows);
    if (current) setCurrentItem(current);
    blockSignals(blocked);
}

}  // namespace kolva
