#ifndef STATIONSCOPE_SIGNALITEMSTREE_H
#define STATIONSCOPE_SIGNALITEMSTREE_H

#include "selecteditemstree.h"

// Shows the imported signal list in its own colours. It is no selection model,
// so nothing in it can be deleted, and it opens no editor.
class SignalItemsTree : public SelectedItemsTree
{
    Q_OBJECT

public:
    explicit SignalItemsTree(QWidget *parent = nullptr);
    void setModel(QAbstractItemModel *model) override;

private slots:
    void fitColumns();
};

#endif
