#ifndef STATIONSCOPE_CIDITEMSTREE_H
#define STATIONSCOPE_CIDITEMSTREE_H

#include "selecteditemstree.h"

// Shows the parsed SCL model. The selected nodes are picked with Enter or the
// context menu. When it is not read-only, a whole connection (a top-level row)
// can be deleted after a confirmation.
class CidItemsTree : public SelectedItemsTree
{
    Q_OBJECT

public:
    explicit CidItemsTree(QWidget *parent = nullptr);

    // The selected nodes, column 0, in tree order.
    QModelIndexList selectedNodes() const;

signals:
    void connectionRemoved(int id);
    void pickRequested();

public slots:
    void deleteSelectedItems() override;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool connectionsOnlyMenu = true;
};

#endif
