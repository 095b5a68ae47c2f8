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
    // The parts of the two jobs above that only queue, for a caller that writes
    // more in the same transaction: the IED's model branches (tables 4, 5, 6),
    // and the selections after queueing the removal of the old ones.
    void queueModelBranches(const QStandardItem *ied, Iec61850DbManager *db);
    void queueSelections(SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                         SelectedReportsModel *reports, Iec61850DbManager *db);
    // The signal list into table 7, replacing what it held. Reports no progress.
    bool writeSignals(QStandardItemModel *signalModel, Iec61850DbManager *db);

    // The SCL model of the project's connection; false, with why in reason,
    // when the file holds none or a table cannot be read.
    bool loadSclModel(QStandardItemModel *sclModel, Iec61850DbManager *db,
                      QString *reason = nullptr);
    bool loadSelections(SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                        SelectedReportsModel *reports, Iec61850DbManager *db,
                        QString *reason = nullptr);
    bool loadSignals(QStandardItemModel *signalModel, Iec61850DbManager *db,
                     QString *reason = nullptr);

    // The connection and the three selections into an .xlsx workbook, one
    // sheet per selection table. False, after a warning naming the file, when
    // there is no IED or the workbook cannot be written.
    bool exportWorkbook(const QString &filePath, QStandardItemModel *sclModel,
                        SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                        SelectedReportsModel *reports);
    // The project named in the printed header of the exported sheets, beside the IED.
    void setWorkbookProject(const QString &project) { workbookProject = project; }

    // Data rows a workbook sheet may hold: far above any selection, and below
    // what a spreadsheet allows, whose import would take gigabytes.
    static constexpr int MaxWorkbookRows = 100000;

    // A workbook read into memory, cell texts by table column; nothing of it
    // has reached a model yet.
    struct WorkbookContent
    {
        // Per sheet (tables 0 to 3) the data rows, one text per table column.
        QVector<QVector<QStringList>> tables;
    };
    // False, after a warning naming the file, when the file is no readable
    // workbook, lacks one of the four sheets or has a sheet of more than
    // MaxWorkbookRows data rows.
    bool readWorkbook(const QString &filePath, WorkbookContent *content);
    // Rebuilds IED and connection nodes in sclModel (added to what it holds)
    // and the three selections (replacing what they hold). The database is
    // not written; it may be null.
    bool importWorkbook(const WorkbookContent &content, SelectedItemsModel *sclModel,
                        SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                        SelectedReportsModel *reports, Iec61850DbManager *db);
    // Both steps; the models are untouched when the file cannot be read.
    bool importWorkbook(const QString &filePath, SelectedItemsModel *sclModel,
                        SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                        SelectedReportsModel *reports, Iec61850DbManager *db);

    // Items of a model in column 0, at every level.
    static int countNodes(const QStandardItem *parent);
    // "2,0,1": the rows on the way from the top-level item (excluded) to the
    // node, at most eight, starting below a data set when the node is in one.
    static QString treeIndexText(const QStandardItem *node);
    // Width of a header column as the export sets it: the header text's pixel
    // width in the header font, divided by four.
    static int headerColumnWidth(const QString &headerText);

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

    QStandardItem *connectionNode(const QStringList &values);
    static void pruneEmptyObjects(QStandardItem *root);
    static void completeLoadedRows(SelectedObjectsModel *objects, SelectedDatasetsModel *datasets);

    void loadSelectionTable(const QVector<QStringList> &rows, Iec61850DbManager *db, int table,
                            SelectedItemsModel *model);

    int total = 0;
    int remaining = 0;
    QString workbookProject;
    QHash<QString, QIcon> icons;
};

#endif
