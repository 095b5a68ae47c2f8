#ifndef STATIONSCOPE_SELECTEDDATASETSTREE_H
#define STATIONSCOPE_SELECTEDDATASETSTREE_H

#include "selecteditemstree.h"

class QStandardItem;

// Shows the picked data sets with their members; a member attribute's MMS type
// combo opens on a double-click or F2.
class SelectedDatasetsTree : public SelectedItemsTree
{
    Q_OBJECT

public:
    explicit SelectedDatasetsTree(QWidget *parent = nullptr);
    void setModel(QAbstractItemModel *model) override;

public slots:
    void onNodeAdded(QStandardItem *newNode);
};

#endif
