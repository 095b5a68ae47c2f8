#ifndef STATIONSCOPE_CIDITEMSTREE_H
#define STATIONSCOPE_CIDITEMSTREE_H

#include "selecteditemstree.h"

// Shows the parsed SCL model. When it is not read-only, a whole connection (a
// top-level row) can be deleted after a confirmation.
class CidItemsTree : public SelectedItemsTree
{
    Q_OBJECT

public:
    explicit CidItemsTree(QWidget *parent = nullptr);

signals:
    void connectionRemoved(int id);

public slots:
    void deleteSelectedItems() override;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    bool connectionsOnlyMenu = true;
};

#endif
