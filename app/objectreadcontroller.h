#ifndef STATIONSCOPE_OBJECTREADCONTROLLER_H
#define STATIONSCOPE_OBJECTREADCONTROLLER_H

// Read Object: reads the data object or attribute selected in the CID tree,
// from the browsed tree or from the SCL model of a project, and writes what
// came back into the tree's Value column, row by row.

#include "onlineworker.h"

#include <QObject>
#include <QPersistentModelIndex>

class OnlineController;
class QStandardItem;

class ObjectReadController : public QObject
{
    Q_OBJECT

public:
    explicit ObjectReadController(OnlineController *controller);

    // What to read for a node: one read per functional constraint; empty for
    // nodes that are no data object or attribute.
    static QVector<ObjectRead> readsFor(const QStandardItem *item);
    // True for the rows of a browse, false for those of an SCL model.
    static bool isBrowsedNode(const QStandardItem *item);

public slots:
    void readSelected();

private:
    void onObjectsRead(const QVector<ObjectReadResult> &results);

    OnlineController *controller;
    QPersistentModelIndex target;
};

#endif
