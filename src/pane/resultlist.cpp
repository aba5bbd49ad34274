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
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, &CResultList::OnColumnClick);
    connect(header(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (!m_fitting && column >= 0 && column < m_preferred.size()) m_preferred[column] = width;
    });
}

void CResultList::SetPreferredWidths(const QList<int>& widths) {
    m_preferred = widths;
    FitColumns();
}

void CResultList::FitColumns() {
    if (m_preferred.size() != columnCount()) return;
    QList<int> widths = m_preferred;
    int excess = -viewport()->width();
    for (int w : widths) excess += w;
    constexpr int kCategory = 0, kTitle = 1, kVolume = 2;
    if (excess < 0) {
        widths[kTitle] -= excess;  // room to spare: the title takes it
    } else {
        // The title and the category down to two characters, the volume down to four (卷二十一
        // and 卷二十九 still apart).
        const QFontMetrics metrics = fontMetrics();
        const int least[] = {metrics.horizontalAdvance(QStringLiteral("書名")) + 12,
                             metrics.horizontalAdvance(QStringLiteral("書名")) + 12,
                             metrics.horizontalAdvance(QStringLiteral("卷二十九")) + 12};
        for (int column : {kTitle, kCategory, kVolume}) {
            const int give = std::clamp(widths[column] - least[column], 0, excess);
            widths[column] -= give;
            excess -= give;
        }
    }
    m_fitting = true;
    for (int c = 0; c < widths.size(); ++c) setColumnWidth(c, widths[c]);
    m_fitting = false;
}

void CResultList::OnColumnClick(int column) {
    m_descending = column == m_sortColumn && !m_descending;
    m_sortColumn = column;
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(column, m_descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    emit sortRequested(column, m_descending);
}

bool CResultList::viewportEvent(QEvent* event) {
    // The viewport narrows when the vertical scroll bar comes with the rows: the columns fit again.
    if (event->type() == QEvent::Resize) {
        const bool handled = QTreeWidget::viewportEvent(event);
        FitColumns();
        return handled;
    }
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
