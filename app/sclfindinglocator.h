#ifndef STATIONSCOPE_SCLFINDINGLOCATOR_H
#define STATIONSCOPE_SCLFINDINGLOCATOR_H

// Finds the node of the SCL model that a check finding names: a report
// control block, a data set, or a logical node, data object or attribute.

#include "sclfinding.h"

#include <QModelIndex>

class QStandardItemModel;

// The deepest node the reference reaches; invalid when the model holds
// another IED or not even the logical node.
QModelIndex locateSclFinding(const QStandardItemModel &model, const SclFinding &finding);

#endif
