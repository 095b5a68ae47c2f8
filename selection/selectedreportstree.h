#ifndef STATIONSCOPE_SELECTEDREPORTSTREE_H
#define STATIONSCOPE_SELECTEDREPORTSTREE_H

#include "selecteditemstree.h"

class QStandardItem;

// Shows the picked report control blocks; the check boxes of the selected row
// become live.
class SelectedReportsTree : public SelectedItemsTree
{
    Q_OBJECT

public:
    explicit SelectedReportsTree(QWidget *parent = nullptr);
    void setModel(QAbstractItemModel *model) override;

public slots:
    void onNodeAdded(QStandardItem *newNode);
    void onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
};

#endif
