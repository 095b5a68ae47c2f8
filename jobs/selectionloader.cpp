// SclDataExporter: loading the selections of a project into the three
// selection models.

#include "scldataexporter.h"

#include "dbschema.h"
#include "iec61850dbmanager.h"
#include "olderprojectvalues.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "treeplacement.h"

#include <QStandardItem>

namespace {

const QString ControlConstraint = QStringLiteral("CO");

int kindOf(const QStandardItem *node)
{
    bool ok = false;
    const int kind = node ? node->data(KindRole).toInt(&ok) : -1;
    return ok ? kind : -1;
}

QString selectionIcon(int table, int kind)
{
    switch (kind) {
    case DataObjectKind:
        return table == ReportsTable ? QString() : QStringLiteral(":/images/DO.png");
    case DataSetKind:
        return table == DatasetsTable ? QStringLiteral(":/images/DS.png") : QString();
    case DataAttributeKind:
        return table == ReportsTable ? QString() : QStringLiteral(":/images/DA.png");
    case UnbufferedReportKind:
        return table == ReportsTable ? QStringLiteral(":/images/RP.png") : QString();
    case BufferedReportKind:
        return table == ReportsTable ? QStringLiteral(":/images/BR.png") : QString();
    default:
        return QString();
    }
}

// A control object with a write trigger keeps its row but not its attributes.
bool isKeptControlObject(const QStandardItem *parent, int row)
{
    const QStandardItem *node = parent->child(row, 0);
    if (kindOf(node) != DataObjectKind || node->data(GroupRole).toString() != ControlConstraint)
        return false;
    const QStandardItem *writeTrig =
        parent->child(row, SelectedObjectsModel::WriteTrigSignalColumn);
    return writeTrig && !writeTrig->text().isEmpty();
}

// A row bound to a signal of its own (a read trigger, a status ...) means
// something to the RTU even when none of its attributes came along.
bool hasOwnSignal(const QStandardItem *parent, int row)
{
    for (int column = 1; column < parent->columnCount(); ++column) {
        const QStandardItem *cell = parent->child(row, column);
        if (cell && cell->isEnabled() &&
            cell->data(EditorRole).toString() == EditorKind::SignalSelect &&
            !cell->text().isEmpty() && cell->text() != NoSignalName)
            return true;
    }
    return false;
}

void prune(QStandardItem *parent)
{
    for (int row = parent->rowCount() - 1; row >= 0; --row) {
        QStandardItem *child = parent->child(row, 0);
        if (!child)
            continue;
        const bool kept = isKeptControlObject(parent, row);
        if (kept)
            child->removeRows(0, child->rowCount());
        else
            prune(child);
        // The elements of an array of a basic type hang under the attribute
        // and never had children: they are values, not emptied data objects.
        if (kindOf(child) == DataObjectKind && child->rowCount() == 0 && !kept &&
            kindOf(parent) != DataAttributeKind && !hasOwnSignal(parent, row))
            parent->removeRow(row);
    }
}

} // namespace

void SclDataExporter::pruneEmptyObjects(QStandardItem *root)
{
    prune(root);
}

void SclDataExporter::completeLoadedRows(SelectedObjectsModel *objects,
                                         SelectedDatasetsModel *datasets)
{
    // Rows are set up one by one as they come; what a row carries from the
    // rows around it is given once the tree stands.
    if (objects) {
        deriveStructureTypeCells(objects->invisibleRootItem(), SelectedObjectsModel::MmsTypeColumn);
        objects->carryControlModels();
    }
    if (datasets)
        deriveStructureTypeCells(datasets->invisibleRootItem(),
                                 SelectedDatasetsModel::MmsTypeColumn);
}

bool SclDataExporter::loadSelections(SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                                     SelectedReportsModel *reports, Iec61850DbManager *db,
                                     QString *reason)
{
    const QList<SelectedItemsModel *> models{objects, datasets, reports};
    for (SelectedItemsModel *model : models) {
        if (model) {
            model->setNodeChangedSuppressed(true);
            model->clearSelection();
        }
    }
    if (!db) {
        for (SelectedItemsModel *model : models) {
            if (model)
                model->setNodeChangedSuppressed(false);
        }
        emit progressFinished();
        return false;
    }

    const QString condition = QStringLiteral("con_id=%1").arg(0);
    QString error;
    const QVector<QStringList> objectRows = db->selectTexts(DataObjectsTable, condition, &error);
    const QVector<QStringList> reportRows = db->selectTexts(ReportsTable, condition, &error);
    const QVector<QStringList> datasetRows = db->selectTexts(DatasetsTable, condition, &error);
    if (!error.isEmpty()) {
        // Some picks missing would read as picks the user took away.
        for (SelectedItemsModel *model : models) {
            if (model)
                model->setNodeChangedSuppressed(false);
        }
        if (reason)
            *reason = error;
        emit progressFinished();
        return false;
    }
    startProgress(objectRows.size() + reportRows.size() + datasetRows.size());

    loadSelectionTable(objectRows, db, DataObjectsTable, objects);
    loadSelectionTable(reportRows, db, ReportsTable, reports);
    loadSelectionTable(datasetRows, db, DatasetsTable, datasets);
    completeLoadedRows(objects, datasets);

    // A data set keeps every member: reports are decoded by the members' order.
    if (objects)
        pruneEmptyObjects(objects->invisibleRootItem());

    for (SelectedItemsModel *model : models) {
        if (model)
            model->setNodeChangedSuppressed(false);
    }
    emit progressFinished();
    return true;
}

void SclDataExporter::loadSelectionTable(const QVector<QStringList> &rows, Iec61850DbManager *db,
                                         int table, SelectedItemsModel *model)
{
    if (!model) {
        for (int i = 0; i < rows.size(); ++i)
            step();
        return;
    }
    const DbTable description = db->schemaTable(table);
    const int first = db->firstModelColumn(table);
    const int cellCount = description.columns.size() - first;
    const int idColumn = description.columnOfRole(NodeIdRole);
    const int kindColumn = description.columnOfRole(KindRole);
    const int connectionColumn = description.columnOfRole(ConnectionIdRole);
    const int parentColumn = description.columnOfRole(ParentIdRole);
    const int treeIndexColumn = description.columnOfRole(TreeIndexRole);

    TreePlacement placement;
    for (const QStringList &values : rows) {
        QList<QStandardItem *> row;
        row.reserve(cellCount);
        for (int cell = 0; cell < cellCount; ++cell) {
            row.append(new QStandardItem(
                Iec61850DbManager::loadedCellText(table, cell, values.value(first + cell))));
        }
        const int id = values.value(idColumn).trimmed().toInt();
        const int kind = values.value(kindColumn).trimmed().toInt();
        // A table without parent ids (the reports) holds top-level rows only.
        const int parentId = parentColumn < 0 ? -1 : values.value(parentColumn).trimmed().toInt();

        QStandardItem *node = row.first();
        node->setData(kind, KindRole);
        node->setData(QString::number(id), NodeIdRole);
        node->setData(values.value(connectionColumn).trimmed().toInt(), ConnectionIdRole);
        if (treeIndexColumn >= 0 && !values.value(treeIndexColumn).isEmpty()) {
            bool ok = false;
            const int treeIndex = values.value(treeIndexColumn).trimmed().toInt(&ok);
            node->setData(ok ? QVariant(treeIndex) : QVariant(values.value(treeIndexColumn)),
                          TreeIndexRole);
        }
        QString group;
        if (table == DataObjectsTable) {
            group = row.value(SelectedObjectsModel::FunctionColumn)->text();
            node->setData(group, GroupRole);
            node->setData(row.value(SelectedObjectsModel::CtlModelColumn)->text(), CtlModelRole);
        }
        const QString iconPath = selectionIcon(table, kind);
        if (!iconPath.isEmpty())
            node->setIcon(icon(iconPath));

        model->setupRow(row, parentId == -1);
        model->registerName(node->text(), group);
        placeRow(model->invisibleRootItem(), row, id, parentId, placement);
        step();
    }
    attachWaiting(placement);
}
