#ifndef STATIONSCOPE_SELECTEDOBJECTSTREE_H
#define STATIONSCOPE_SELECTEDOBJECTSTREE_H

#include "selecteditemstree.h"

class QStandardItem;

// Shows the picked data objects and attributes with their thirteen columns; the
// combo boxes of the selected row are shown at once.
class SelectedObjectsTree : public SelectedItemsTree
{
    Q_OBJECT

public:
    explicit SelectedObjectsTree(QWidget *parent = nullptr);
    void setModel(QAbstractItemModel *model) override;

public slots:
    void onNodeAdded(QStandardItem *newNode);
    void onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void onComboFocusOut();
};

#endif
