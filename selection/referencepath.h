#ifndef STATIONSCOPE_REFERENCEPATH_H
#define STATIONSCOPE_REFERENCEPATH_H

#include <QString>

class QStandardItem;

// The object reference of a node of the DataObjects branch and the functional
// constraint met on the way to it.
struct ReferencePath
{
    // IED name and LD inst, "/", logical node, ".", data object, ".", attribute.
    QString path;
    // Position in FunctionalConstraintList(), -1 when no known constraint was met.
    int constraint = -1;
};

ReferencePath referencePath(const QStandardItem *item);

#endif
