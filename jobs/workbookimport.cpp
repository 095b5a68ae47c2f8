// SclDataExporter: selections read back from a workbook in the layout the
// export writes. Columns are found by their header text, so a workbook edited
// by hand may reorder them.

#include "scldataexporter.h"

#include "dbschema.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "treeplacement.h"
#include "userprompt.h"
#include "workbook.h"

#include <QDebug>
#include <QDir>
#include <QStandardItem>

namespace {

const QString ProgramTitle = QStringLiteral("Stationscope");
const QStringList SheetNames{QStringLiteral("Connections"), QStringLiteral("DataObjects"),
                             QStringLiteral("DataSetsAndObjects"), QStringLiteral("Reports")};

QString cellText(const QVariant &value)
{
    if (value.userType() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    return value.toString();
}

// The data rows of the selected sheet, each holding one text per table column;
// false when there are more than MaxWorkbookRows.
bool readSheetRows(const WorkbookReader &reader, const DbTable &table, QVector<QStringList> *rows)
{
    // Sheet column and table column of each known header: a sheet may be as
    // wide as Excel allows, and each row reads only the columns that count.
    QVector<QPair<int, int>> tableColumns;
    for (int column = 1; column <= reader.lastColumn(); ++column) {
        const QString header = cellText(reader.read(1, column)).trimmed();
        const int found = table.columnOfName(header.toLatin1());
        // The database's own key means nothing outside the project file.
        if (found >= 0 && table.columns.at(found).name != "db_id")
            tableColumns.append({column, found});
    }
    rows->clear();
    for (int row = 2; row <= reader.lastRow(); ++row) {
        if (cellText(reader.read(row, 1)).isEmpty())
            break;
        if (rows->size() == SclDataExporter::MaxWorkbookRows)
            return false;
        QStringList values;
        values.reserve(table.columns.size());
        for (int i = 0; i < table.columns.size(); ++i)
            values.append(QString());
        for (const QPair<int, int> &column : qAsConst(tableColumns))
            values[column.second] = cellText(reader.read(row, column.first));
        rows->append(values);
    }
    return true;
}

bool toNumber(const QString &text, int *value)
{
    bool ok = false;
    *value = text.trimmed().toInt(&ok);
    if (!ok) {
        // Spreadsheet programs may hand integral numbers back as "12.0".
        const double real = text.trimmed().toDouble(&ok);
        ok = ok && real == double(int(real));
        *value = ok ? int(real) : 0;
    }
    return ok;
}

QString rowLabel(const QString &sheet, int index)
{
    return QStringLiteral("%1 row %2").arg(sheet).arg(index + 2);
}

} // namespace

bool SclDataExporter::readWorkbook(const QString &filePath, WorkbookContent *content)
{
    const QString shown = QDir::toNativeSeparators(filePath);
    WorkbookReader reader;
    QString problem;
    if (!reader.open(filePath)) {
        problem = reader.errorString();
    } else {
        for (const QString &sheet : SheetNames) {
            if (!reader.sheetNames().contains(sheet)) {
                problem = tr("The sheet \"%1\" is missing.").arg(sheet);
                break;
            }
        }
    }
    if (problem.isEmpty()) {
        const QHash<int, DbTable> schema = DbSchema::build();
        content->tables.clear();
        for (int table = ConnectionsTable; table <= ReportsTable; ++table) {
            if (!reader.selectSheet(SheetNames.at(table))) {
                problem = reader.errorString();
                break;
            }
            QVector<QStringList> rows;
            if (!readSheetRows(reader, schema.value(table), &rows)) {
                problem = tr("The sheet \"%1\" has more than %2 rows.")
                              .arg(SheetNames.at(table))
                              .arg(MaxWorkbookRows);
                break;
            }
            content->tables.append(rows);
        }
    }
    if (!problem.isEmpty()) {
        content->tables.clear();
        UserPrompt::warning(nullptr, ProgramTitle,
                            tr("The workbook %1 cannot be imported.\n%2").arg(shown, problem));
        return false;
    }
    return true;
}

bool SclDataExporter::importWorkbook(const QString &filePath, SelectedItemsModel *sclModel,
                                     SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                                     SelectedReportsModel *reports, Iec61850DbManager *db)
{
    WorkbookContent content;
    if (!readWorkbook(filePath, &content))
        return false;
    return importWorkbook(content, sclModel, objects, datasets, reports, db);
}

bool SclDataExporter::importWorkbook(const WorkbookContent &content, SelectedItemsModel *sclModel,
                                     SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                                     SelectedReportsModel *reports, Iec61850DbManager *db)
{
    Q_UNUSED(db);
    if (content.tables.size() != SheetNames.size())
        return false;
    const QList<SelectedItemsModel *> selections{objects, datasets, reports};
    for (SelectedItemsModel *model : selections) {
        if (model) {
            model->setNodeChangedSuppressed(true);
            model->clearSelection();
        }
    }
    const QHash<int, DbTable> schema = DbSchema::build();

    QList<int> usedConnectionIds;
    QHash<int, int> connectionIdMap;
    if (sclModel) {
        for (int row = 0; row < sclModel->rowCount(); ++row) {
            const QStandardItem *ied = sclModel->item(row, 0);
            const QStandardItem *connection = ied ? ied->child(0, 0) : nullptr;
            const QStandardItem *id = connection ? connection->child(0, 1) : nullptr;
            if (id)
                usedConnectionIds.append(id->text().trimmed().toInt());
        }
        for (const QStringList &values : content.tables.at(ConnectionsTable)) {
            QStandardItem *connection = connectionNode(values);
            auto *ied = new QStandardItem(values.value(1));
            ied->setEditable(false);
            ied->appendRow(connection);
            QStandardItem *idItem = connection->child(0, 1);
            int id = 0;
            toNumber(idItem->text(), &id);
            if (usedConnectionIds.contains(id)) {
                int replacement = id;
                while (usedConnectionIds.contains(replacement))
                    ++replacement;
                connectionIdMap.insert(id, replacement);
                id = replacement;
                idItem->setText(QString::number(id));
            }
            usedConnectionIds.append(id);
            ied->setData(id, ConnectionIdRole);
            sclModel->appendRow(ied);
        }
        sclModel->setHorizontalHeaderLabels({tr("Item"), tr("Value")});
        sclModel->setColumnCount(2);
    }

    QStringList knownDataSets;
    auto buildRow = [&](int table, const QStringList &values, int cellCount, int index, int *id,
                        int *parentId) -> QList<QStandardItem *> {
        const DbTable &description = schema[table];
        QVector<QString> texts(cellCount);
        for (int column = 0; column < description.columns.size(); ++column) {
            const int modelColumn = description.columns.at(column).modelColumn;
            if (modelColumn >= 0 && modelColumn < cellCount)
                texts[modelColumn] = values.value(column);
        }
        QList<QStandardItem *> row;
        row.reserve(cellCount);
        for (const QString &text : texts)
            row.append(new QStandardItem(text));
        QStandardItem *first = row.first();
        bool valid = true;
        *parentId = -1;
        for (int column = 0; column < description.columns.size(); ++column) {
            const DbColumn &spec = description.columns.at(column);
            if (spec.modelColumn >= 0)
                continue;
            const QString text = values.value(column);
            int number = 0;
            const bool isNumber = toNumber(text, &number);
            switch (spec.itemRole) {
            case NodeIdRole:
                valid = valid && isNumber;
                *id = number;
                first->setData(QString::number(number), NodeIdRole);
                break;
            case ConnectionIdRole:
                first->setData(connectionIdMap.value(number, number), ConnectionIdRole);
                break;
            case KindRole:
                first->setData(number, KindRole);
                break;
            case ParentIdRole:
                valid = valid && isNumber;
                *parentId = number;
                first->setData(number == -1 ? QVariant(-1) : QVariant(QString::number(number)),
                               ParentIdRole);
                break;
            case DepthRole:
                first->setData(number, DepthRole);
                break;
            case TreeIndexRole:
                if (!text.isEmpty())
                    first->setData(isNumber ? QVariant(number) : QVariant(text), TreeIndexRole);
                break;
            default:
                break;
            }
        }
        if (!valid) {
            qDebug().noquote() << QStringLiteral("%1 has no numeric id or parent id; skipped")
                                      .arg(rowLabel(SheetNames.at(table), index));
            qDeleteAll(row);
            row.clear();
        }
        return row;
    };

    auto importTree = [&](int table, SelectedItemsModel *model, int cellCount) {
        if (!model)
            return;
        TreePlacement placement;
        const QVector<QStringList> &rows = content.tables.at(table);
        for (int index = 0; index < rows.size(); ++index) {
            int id = 0;
            int parentId = -1;
            QList<QStandardItem *> row =
                buildRow(table, rows.at(index), cellCount, index, &id, &parentId);
            if (row.isEmpty())
                continue;
            QStandardItem *first = row.first();
            const int kind = first->data(KindRole).toInt();
            QString group;
            if (table == DataObjectsTable) {
                group = row.at(SelectedObjectsModel::FunctionColumn)->text();
                first->setData(group, GroupRole);
                first->setData(row.at(SelectedObjectsModel::CtlModelColumn)->text(), CtlModelRole);
            } else if (kind == DataSetKind) {
                knownDataSets.append(first->text());
            }
            if (kind == DataObjectKind)
                first->setIcon(icon(QStringLiteral(":/images/DO.png")));
            else if (kind == DataAttributeKind)
                first->setIcon(icon(QStringLiteral(":/images/DA.png")));
            model->setupRow(row, first->data(DepthRole).toInt() == 0);
            model->registerName(first->text(), group);
            placeRow(model->invisibleRootItem(), row, id, parentId, placement);
        }
        attachWaiting(placement);
    };

    importTree(DataObjectsTable, objects, SelectedObjectsModel::ColumnCount);
    importTree(DatasetsTable, datasets, SelectedDatasetsModel::ColumnCount);
    completeLoadedRows(objects, datasets);
    // A data set keeps every member: reports are decoded by the members' order.
    if (objects)
        pruneEmptyObjects(objects->invisibleRootItem());

    if (reports) {
        const QVector<QStringList> &rows = content.tables.at(ReportsTable);
        for (int index = 0; index < rows.size(); ++index) {
            int id = 0;
            int parentId = -1;
            QList<QStandardItem *> row =
                buildRow(ReportsTable, rows.at(index), SelectedReportsModel::ColumnCount, index,
                         &id, &parentId);
            if (row.isEmpty())
                continue;
            QStandardItem *first = row.first();
            const int kind = first->data(KindRole).toInt();
            if (kind == UnbufferedReportKind)
                first->setIcon(icon(QStringLiteral(":/images/RP.png")));
            else if (kind == BufferedReportKind)
                first->setIcon(icon(QStringLiteral(":/images/BR.png")));
            reports->setupRow(row, true);
            QStandardItem *dataset = row.at(SelectedReportsModel::DatasetRefPathColumn);
            if (!knownDataSets.contains(dataset->text())) {
                dataset->setIcon(icon(QStringLiteral(":/images/warning.png")));
                dataset->setToolTip(tr("This dataset does not exist in model !"));
            }
            reports->registerName(first->text(), QString());
            reports->appendRow(row);
        }
    }

    for (SelectedItemsModel *model : selections) {
        if (model)
            model->setNodeChangedSuppressed(false);
    }
    return true;
}
