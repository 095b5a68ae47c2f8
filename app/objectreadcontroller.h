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
class QStandardItemModel;

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
    // Takes the values read back out of the project's and the browsed tree,
    // and drops a read still under way: the device or the project changed.
    void clearValues();

private:
    void onObjectsRead(const QVector<ObjectReadResult> &results);
    // The model the CID tree shows: the project's or the browsed one.
    QStandardItemModel *shownModel() const;

    OnlineController *controller;
    QPersistentModelIndex target;
};

#endif
