#ifndef STATIONSCOPE_SELECTEDREPORTSTREE_H
#define STATIONSCOPE_SELECTEDREPORTSTREE_H

#include "selecteditemstree.h"

class QStandardItem;

// Shows the picked report control blocks; a click on a check box cell (or
// Space on it) toggles it.
class SelectedReportsTree : public SelectedItemsTree
{
    Q_OBJECT

public:
    explicit SelectedReportsTree(QWidget *parent = nullptr);
    void setModel(QAbstractItemModel *model) override;

public slots:
    void onNodeAdded(QStandardItem *newNode);
};

#endif
