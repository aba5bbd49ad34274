// The contents tree of the pane's 目録 tab: categories, books and volumes of the catalogue, each
// item holding its catalogue slot; over several top-level entries, 全体 (the whole collection)
// heads it.
#pragma once

#include <QTreeWidget>
#include <vector>

namespace kolva {

class CCatalogue;

class CContentsTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit CContentsTree(QWidget* parent = nullptr);

    // Items for every entry of the catalogue that has a place in the tree. True when 全体 heads
    // them.
    bool Fill(const CCatalogue& catalogue);
    // The item of a catalogue slot, or null.
    QTreeWidgetItem* ItemOfSlot(int slot) const;
    // The catalogue slot of an item (the whole collection's own value for 全体).
    static int SlotOf(const QTreeWidgetItem* item);
    // The item's place, its ancestors' titles before its own, parted by backslashes.
    static QString PathOf(const QTreeWidgetItem* item);

private:
    std::vector<QTreeWidgetItem*> m_items;  // the item of each slot
};

}  // namespace kolva
