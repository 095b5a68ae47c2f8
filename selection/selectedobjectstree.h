#ifndef STATIONSCOPE_SELECTEDOBJECTSTREE_H
#define STATIONSCOPE_SELECTEDOBJECTSTREE_H

#include "selecteditemstree.h"

class QStandardItem;

// Shows the picked data objects and attributes with their thirteen columns; a
// combo cell opens its drop-down on a double-click or F2, never on selection.
class SelectedObjectsTree : public SelectedItemsTree
{
    Q_OBJECT

public:
    explicit SelectedObjectsTree(QWidget *parent = nullptr);
    void setModel(QAbstractItemModel *model) override;

public slots:
    void onNodeAdded(QStandardItem *newNode);
};

#endif
