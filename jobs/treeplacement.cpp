#include "treeplacement.h"

#include <QDebug>
#include <QStandardItem>
#include <QVector>

#include <algorithm>

namespace {

// Whether node (with what hangs below it) may go under parent: not when parent
// is node or one of its descendants, which would make the tree a cycle (a file
// edited by other means can ask for that), nor when it would end up more than
// MaxTreeDepth levels deep. Both walks stop at the depth bound, so a long
// chain of rows costs linear time.
bool fits(const QStandardItem *parent, const QStandardItem *node)
{
    int depth = 1;
    for (const QStandardItem *item = parent; item; item = item->parent()) {
        if (item == node || ++depth > MaxTreeDepth)
            return false;
    }
    // Breadth first, one level at a time, down to what the depth leaves.
    QVector<const QStandardItem *> level{node};
    for (; !level.isEmpty(); ++depth) {
        if (depth > MaxTreeDepth)
            return false;
        QVector<const QStandardItem *> next;
        for (const QStandardItem *item : qAsConst(level)) {
            for (int row = 0; row < item->rowCount(); ++row) {
                if (const QStandardItem *child = item->child(row))
                    next.append(child);
            }
        }
        level.swap(next);
    }
    return true;
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

    if (parent && fits(parent, node))
        parent->appendRow(row);
    else
        waitingChildren[parentId].append(row);

    auto waiting = waitingChildren.find(id);
    if (waiting == waitingChildren.end())
        return;
    QList<ItemRow> keep;
    for (const ItemRow &child : qAsConst(waiting.value())) {
        if (!fits(node, child.value(0)))
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
            if (!fits(parent, row.value(0))) {
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
