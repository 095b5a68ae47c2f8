#ifndef STATIONSCOPE_SCLDATAEXPORTER_H
#define STATIONSCOPE_SCLDATAEXPORTER_H

// The long jobs on a project: writing the SCL model, the selections and the
// signal list into the project file and loading them back. A job runs
// synchronously and reports its progress for the progress dialog.

#include <QHash>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

class Iec61850DbManager;
class QStandardItem;
class QStandardItemModel;
class SelectedDatasetsModel;
class SelectedItemsModel;
class SelectedObjectsModel;
class SelectedReportsModel;

class SclDataExporter : public QObject
{
    Q_OBJECT

public:
    explicit SclDataExporter(QObject *parent = nullptr);

    // The parsed model of a new project into tables 0, 4, 5 and 6.
    bool writeSclModel(QStandardItemModel *sclModel, Iec61850DbManager *db);
    // The three selections into tables 1, 2 and 3, replacing what they held;
    // false, with the file unchanged, when the rows cannot be written.
    bool writeSelections(SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                         SelectedReportsModel *reports, Iec61850DbManager *db);
    // The signal list into table 7, replacing what it held. Reports no progress.
    bool writeSignals(QStandardItemModel *signalModel, Iec61850DbManager *db);

    // The SCL model of the project's connection; false when the file holds none.
    bool loadSclModel(QStandardItemModel *sclModel, Iec61850DbManager *db);
    bool loadSelections(SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                        SelectedReportsModel *reports, Iec61850DbManager *db);
    bool loadSignals(QStandardItemModel *signalModel, Iec61850DbManager *db);

    // Items of a model in column 0, at every level.
    static int countNodes(const QStandardItem *parent);

signals:
    void progressUpdated(int progress);
    void progressFinished();

private:
    void startProgress(int count);
    void step();
    QIcon icon(const QString &path);

    void writeSubtree(QStandardItem *node, int table, Iec61850DbManager *db);
    void writeSelectionRow(const QList<QStandardItem *> &row, const QStandardItem *parentFirst,
                           int table, Iec61850DbManager *db, bool reportProgress);

    void loadModelTree(Iec61850DbManager *db, int table, QStandardItem *branchRoot);
    void loadSelectionTable(const QVector<QStringList> &rows, Iec61850DbManager *db, int table,
                            SelectedItemsModel *model);

    int total = 0;
    int remaining = 0;
    QHash<QString, QIcon> icons;
};

#endif
