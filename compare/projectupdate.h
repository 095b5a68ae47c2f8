#ifndef STATIONSCOPE_PROJECTUPDATE_H
#define STATIONSCOPE_PROJECTUPDATE_H

// Moves a project to a newer parse of its IED: the picks that still resolve
// stay with their bindings and settings and take over what the IED now
// states; the others are removed and listed. The file is written in one
// transaction, so a failure leaves it as it was.

#include "compareengine.h"

#include <QString>
#include <QVector>

class Iec61850DbManager;
class QStandardItem;
class QStandardItemModel;
class SelectedDatasetsModel;
class SelectedObjectsModel;
class SelectedReportsModel;

struct RemovedPick
{
    PickKind kind = PickKind::DataObject;
    QString reference;
    QString reason;
};

class ProjectUpdate
{
public:
    // newModel: the new parse, whose snapshot found is; the selections are
    // those picks was read from.
    ProjectUpdate(const QStandardItemModel *newModel, const ModelSnapshot &found,
                  SelectedObjectsModel *objects, SelectedDatasetsModel *dataSets,
                  SelectedReportsModel *reports);

    // Edits the selection models; returns the picks it removed.
    QVector<RemovedPick> applyToSelections(const ProjectPicks &picks,
                                           const ComparisonResult &comparison);
    // Every signal binding the last applyToSelections dropped: those of the
    // removed picks and those of data set members the new file no longer has.
    // The reference names the row the signal was bound to, the reason the
    // signal and its column.
    QVector<RemovedPick> droppedBindings() const { return dropped; }
    // Replaces the model tables with the new parse, the connection's IED name
    // and name plate revision, and the selection tables with the models, as
    // one transaction. False, with the file unchanged, when it fails.
    bool writeProject(Iec61850DbManager *db) const;

    // "Selection,Reference,Reason" and one line per removed pick.
    static bool writeRemovedCsv(const QString &path, const QVector<RemovedPick> &removed,
                                QString *problem);
    static QString pickKindText(PickKind kind);

private:
    // row: where the pick's row is now.
    void refreshObject(const ObjectPick &pick, int row, const QString &oldIed);
    void refreshDataSet(const DataSetPick &pick, int row, const QString &oldIed);
    void refreshReport(const ReportPick &pick, int row, const QString &oldIed);
    const QStandardItem *newDataSetNode(const QString &relativeReference) const;

    const QStandardItemModel *newModel;
    const ModelSnapshot &found;
    SelectedObjectsModel *objects;
    SelectedDatasetsModel *dataSets;
    SelectedReportsModel *reports;
    QVector<RemovedPick> dropped;
};

#endif
