#include "pane/resultlist.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>
#include <algorithm>

namespace kolva {

CResultList::CResultList(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSortingEnabled(false);
    header()->setSectionsClickable(true);
    connect(header(), &QHeaderView::sectionClicked, this, &CResultList::OnColumnClick);
}

void CResultList::OnColumnClick(int column) {
    m_descending = column == m_sortColumn && !m_descending;
    m_sortColumn = column;
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(column, m_descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    emit sortRequested(column, m_descending);
}

bool CResultList::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QTreeWidget::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.isValid() ? index.data(Qt::DisplayRole).toString() : QString();
    const QRect cell = visualRect(index);
    // The text's room: the cell less the margins the style draws around it.
    const int room = cell.width() - 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) - 2;
    if (!text.isEmpty() && fontMetrics().horizontalAdvance(text) > room)
        QToolTip::showText(help->globalPos(), text, viewport(), cell);
    else
        QToolTip::hideText();
    return true;
}

void CResultList::SortByNumber(int column) {
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
