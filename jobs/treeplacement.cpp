#include "treeplacement.h"

#include <QDebug>
#include <QStandardItem>

#include <algorithm>

namespace {

// Appending a node under itself or under one of its descendants would make
// the tree a cycle; a file edited by other means can ask for that.
bool wouldCycle(const QStandardItem *parent, const QStandardItem *node)
{
    for (const QStandardItem *item = parent; item; item = item->parent()) {
        if (item == node)
            return true;
    }
    return false;
}

void deleteRow(const ItemRow &row)
{
    qDeleteAll(row);
}

} // namespace

void placeRow(QStandardItem *root, const ItemRow &row, int id, int parentId,
              QHash<int, QStandardItem *> &nodesById, QHash<int, QList<ItemRow>> &waitingChildren)
{
    QStandardItem *node = row.value(0);
    if (!node || !root)
        return;
    // The parent is looked up before the node is recorded: a data object copied
    // into a data set keeps its own id, which may equal the data set's.
    QStandardItem *parent = nullptr;
    if (parentId == -1)
        parent = root;
    else
        parent = nodesById.value(parentId);
    nodesById.insert(id, node);

    if (parent && !wouldCycle(parent, node))
        parent->appendRow(row);
    else
        waitingChildren[parentId].append(row);

    auto waiting = waitingChildren.find(id);
    if (waiting == waitingChildren.end())
        return;
    QList<ItemRow> keep;
    for (const ItemRow &child : qAsConst(waiting.value())) {
        if (wouldCycle(node, child.value(0)))
            keep.append(child);
        else
            node->appendRow(child);
    }
    if (keep.isEmpty())
        waitingChildren.erase(waiting);
    else
        waiting.value() = keep;
}

void attachWaiting(QHash<int, QStandardItem *> &nodesById,
                   QHash<int, QList<ItemRow>> &waitingChildren)
{
    QList<int> parentIds = waitingChildren.keys();
    std::sort(parentIds.begin(), parentIds.end());
    QList<ItemRow> dropped;
    for (int parentId : qAsConst(parentIds)) {
        const QList<ItemRow> rows = waitingChildren.value(parentId);
        QStandardItem *parent = nodesById.value(parentId);
        if (!parent) {
            qDebug() << "Broken treemodel model!! Parent Id:" << parentId;
            dropped += rows;
            continue;
        }
        for (const ItemRow &row : rows) {
            if (wouldCycle(parent, row.value(0))) {
                qDebug() << "Broken treemodel model!! Parent Id:" << parentId;
                dropped.append(row);
            } else {
                parent->appendRow(row);
            }
        }
    }
    // Dropped rows are deleted last: a row attached above may hang under one
    // of them and goes with it.
    for (const ItemRow &row : qAsConst(dropped))
        deleteRow(row);
    waitingChildren.clear();
    nodesById.clear();
}
