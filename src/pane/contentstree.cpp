#include "pane/contentstree.h"

#include <QHeaderView>
#include <QIcon>
#include <algorithm>

#include "catalogue/catalogue.h"
#include "catalogue/results.h"

namespace kolva {

CContentsTree::CContentsTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setIconSize(QSize(20, 20));
}

bool CContentsTree::Fill(const CCatalogue& catalogue) {
    QIcon icon(QStringLiteral(":/pictures/closed-book.png"));
    icon.addFile(QStringLiteral(":/pictures/open-book.png"), QSize(), QIcon::Selected);
    const bool whole = HasWholeCollection(catalogue);
    m_items.assign(size_t(std::max(catalogue.NodeCount(), 1)), nullptr);
    if (whole) {
        auto* item = new QTreeWidgetItem(this);
        item->setText(0, QStringLiteral("全体"));
        item->setIcon(0, icon);
        item->setData(0, Qt::UserRole, kWholeCollection);
        item->setToolTip(0, QStringLiteral("コレクション全体を検索します"));
        m_items[size_t(kWholeCollection)] = item;
    }
    for (int slot = 1; slot < catalogue.NodeCount(); ++slot) {
        const ContentsNodeTag* node = catalogue.Node(slot);
        if (!node) continue;  // a record with no place in the tree
        QTreeWidgetItem* parent =
            node->parent && node->parent->slot ? m_items[size_t(node->parent->slot)] : nullptr;
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, QString::fromStdU16String(node->name));
        item->setIcon(0, icon);
        item->setData(0, Qt::UserRole, slot);
        m_items[size_t(slot)] = item;
    }
    return whole;
}

QTreeWidgetItem* CContentsTree::ItemOfSlot(int slot) const {
    return slot >= 0 && size_t(slot) < m_items.size() ? m_items[size_t(slot)] : nullptr;
}

int CContentsTree::SlotOf(const QTreeWidgetItem* item) { return item->data(0, Qt::UserRole).toInt(); }

QString CContentsTree::PathOf(const QTreeWidgetItem* item) {
    QString path = item->text(0);
    for (const QTreeWidgetItem* up = item->parent(); up; up = up->parent())
        path = up->text(0) + QLatin1Char('\\') + path;
    return path;
}

}  // namespace kolva
