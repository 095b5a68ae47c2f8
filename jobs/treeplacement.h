#ifndef STATIONSCOPE_TREEPLACEMENT_H
#define STATIONSCOPE_TREEPLACEMENT_H

// Rebuilds a tree from rows linked by id and parent id, in any row order: a row
// whose parent is not placed yet waits until it is.

#include <QHash>
#include <QList>

class QStandardItem;

using ItemRow = QList<QStandardItem *>;

// No model the parser makes comes near this depth; a file that nests deeper
// would make every recursive walk of the tree (and its deletion) overflow the stack.
constexpr int MaxTreeDepth = 512;

struct TreePlacement
{
    QHash<int, QStandardItem *> nodesById;
    QHash<int, QList<ItemRow>> waitingChildren;
};

// Places row (its first item being the node with the given id) under root
// when parentId is -1, else under the placed node with that id, or parks it.
// Rows that would close a cycle or sit deeper than MaxTreeDepth below root
// wait, and are dropped by attachWaiting.
void placeRow(QStandardItem *root, const ItemRow &row, int id, int parentId,
              QHash<int, QStandardItem *> &nodesById, QHash<int, QList<ItemRow>> &waitingChildren);
// Attaches what still waits; rows whose parent never came are dropped with a
// debug line. Both hashes are empty afterwards.
void attachWaiting(QHash<int, QStandardItem *> &nodesById,
                   QHash<int, QList<ItemRow>> &waitingChildren);

inline void placeRow(QStandardItem *root, const ItemRow &row, int id, int parentId,
                     TreePlacement &placement)
{
    placeRow(root, row, id, parentId, placement.nodesById, placement.waitingChildren);
}

inline void attachWaiting(TreePlacement &placement)
{
    attachWaiting(placement.nodesById, placement.waitingChildren);
}

#endif
