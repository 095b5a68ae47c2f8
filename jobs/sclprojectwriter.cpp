// SclDataExporter: writing the models of a project into its file.

#include "scldataexporter.h"

#include "dbschema.h"
#include "iec61850dbmanager.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"

#include <QDebug>
#include <QStandardItem>
#include <QStandardItemModel>

namespace {

constexpr int ConnectionValueCount = 16;

QList<QStandardItem *> rowCells(QStandardItem *parent, int row)
{
    QList<QStandardItem *> cells;
    for (int column = 0; column < parent->columnCount(); ++column) {
        if (QStandardItem *cell = parent->child(row, column))
            cells.append(cell);
    }
    return cells;
}

} // namespace

bool SclDataExporter::writeSclModel(QStandardItemModel *sclModel, Iec61850DbManager *db)
{
    QStandardItem *ied = sclModel ? sclModel->item(0, 0) : nullptr;
    if (!ied || !db) {
        emit progressFinished();
        return false;
    }

    // An IED without a connected access point has no connection rows; its
    // project still needs the connection row, or it could not be loaded again.
    QStandardItem *connection = ied->child(SclBranch::ConnectionRow, 0);
    QList<QStandardItem *> connectionRow;
    QList<QStandardItem *> standIns;
    for (int row = 0; row < ConnectionValueCount; ++row) {
        QStandardItem *value = connection ? connection->child(row, 1) : nullptr;
        if (!value) {
            value = new QStandardItem(row == 0   ? QStringLiteral("0")
                                      : row == 1 ? ied->text()
                                                 : QString());
            standIns.append(value);
        }
        connectionRow.append(value);
    }
    db->insertRow(connectionRow, ConnectionsTable, false);
    qDeleteAll(standIns);

    startProgress(1 + countNodes(sclModel->invisibleRootItem()));
    queueModelBranches(ied, db);
    const bool written = db->commitQueued();
    if (!written)
        qDebug() << "The SCL model was not written to the project";
    emit progressFinished();
    return written;
}

void SclDataExporter::queueModelBranches(const QStandardItem *ied, Iec61850DbManager *db)
{
    const QList<QPair<int, int>> branches{{SclBranch::DataObjectsRow, DataObjectsModelTable},
                                          {SclBranch::DataSetsRow, DatasetsModelTable},
                                          {SclBranch::ReportsRow, ReportsModelTable}};
    for (const auto &branch : branches) {
        QStandardItem *root = ied ? ied->child(branch.first, 0) : nullptr;
        if (!root)
            continue;
        for (int row = 0; row < root->rowCount(); ++row) {
            if (QStandardItem *child = root->child(row, 0))
                writeSubtree(child, branch.second, db);
        }
    }
}

void SclDataExporter::queueSelections(SelectedObjectsModel *objects,
                                      SelectedDatasetsModel *datasets,
                                      SelectedReportsModel *reports, Iec61850DbManager *db)
{
    // The old rows go in the same transaction as the new ones, so a save that
    // fails keeps them.
    db->clearSelectionTables(true, true);
    const QList<QPair<QStandardItemModel *, int>> models{
        {objects, DataObjectsTable}, {datasets, DatasetsTable}, {reports, ReportsTable}};
    for (const auto &entry : models) {
        QStandardItemModel *model = entry.first;
        if (!model)
            continue;
        QStandardItem *root = model->invisibleRootItem();
        startProgress(1 + countNodes(root));
        for (int row = 0; row < root->rowCount(); ++row)
            writeSelectionRow(rowCells(root, row), nullptr, entry.second, db, true);
    }
}

void SclDataExporter::writeSubtree(QStandardItem *node, int table, Iec61850DbManager *db)
{
    db->insertRow({node}, table, true);
    step();
    for (int row = 0; row < node->rowCount(); ++row) {
        if (QStandardItem *child = node->child(row, 0))
            writeSubtree(child, table, db);
    }
}

bool SclDataExporter::writeSelections(SelectedObjectsModel *objects,
                                      SelectedDatasetsModel *datasets,
                                      SelectedReportsModel *reports, Iec61850DbManager *db)
{
    if (!db) {
        emit progressFinished();
        return false;
    }
    queueSelections(objects, datasets, reports, db);
    const bool written = db->commitQueued();
    if (!written)
        qDebug() << "Saving the selections failed; the project keeps its previous selections";
    emit progressFinished();
    return written;
}

void SclDataExporter::writeSelectionRow(const QList<QStandardItem *> &row,
                                        const QStandardItem *parentFirst, int table,
                                        Iec61850DbManager *db, bool reportProgress)
{
    QStandardItem *first = row.value(0);
    if (!first)
        return;
    first->setData(parentFirst ? parentFirst->data(NodeIdRole) : QVariant(-1), ParentIdRole);
    db->insertRow(row, table, true);
    if (reportProgress)
        step();
    for (int child = 0; child < first->rowCount(); ++child)
        writeSelectionRow(rowCells(first, child), first, table, db, reportProgress);
}

bool SclDataExporter::writeSignals(QStandardItemModel *signalModel, Iec61850DbManager *db)
{
    if (!signalModel || !db)
        return false;
    db->deleteRows(DbSchema::SignalsName, {}, true);
    QStandardItem *root = signalModel->invisibleRootItem();
    for (int row = 0; row < root->rowCount(); ++row)
        writeSelectionRow(rowCells(root, row), nullptr, SignalsTable, db, false);
    const bool written = db->commitQueued();
    if (!written)
        qDebug() << "The signal list was not written to the project";
    return written;
}
