// SclDataExporter: the connection and the selections into an .xlsx workbook,
// one sheet per selection table with the table's column names as header.

#include "scldataexporter.h"

#include "dbschema.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "userprompt.h"
#include "workbook.h"

#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QStandardItem>
#include <QStandardItemModel>

#include <functional>

namespace {

const QString ProgramTitle = QStringLiteral("Stationscope");
constexpr int ConnectionValueCount = 16;
constexpr int MaxTreeIndexLevels = 8;

struct SheetSpec
{
    QString name;
    int table;
};

const QList<SheetSpec> &sheets()
{
    static const QList<SheetSpec> list{{QStringLiteral("Connections"), ConnectionsTable},
                                       {QStringLiteral("DataObjects"), DataObjectsTable},
                                       {QStringLiteral("DataSetsAndObjects"), DatasetsTable},
                                       {QStringLiteral("Reports"), ReportsTable}};
    return list;
}

// The columns a sheet carries: the table's, without the database's own key.
QVector<DbColumn> sheetColumns(const DbTable &table)
{
    QVector<DbColumn> columns;
    for (const DbColumn &column : table.columns) {
        if (column.name != "db_id")
            columns.append(column);
    }
    return columns;
}

int kindOf(const QStandardItem *node)
{
    return node ? node->data(KindRole).toInt() : -1;
}

// Writes the rows of one selection sheet, a node at a time.
class SelectionSheetWriter
{
public:
    SelectionSheetWriter(WorkbookWriter &book, const QVector<DbColumn> &columns, bool tree,
                         int signalColumn, std::function<void()> step)
        : book(book), columns(columns), tree(tree), signalColumn(signalColumn),
          step(std::move(step))
    {
    }

    void writeNode(QStandardItem *parent, int row, int depth)
    {
        QStandardItem *node = parent->child(row, 0);
        if (!node)
            return;
        if (isWritten(parent, row)) {
            writeRow(parent, row, depth);
            ++currentRow;
        }
        step();
        if (!tree)
            return;
        for (int child = 0; child < node->rowCount(); ++child) {
            if (QStandardItem *childNode = node->child(child, 0)) {
                childNode->setData(node->data(ConnectionIdRole), ConnectionIdRole);
                writeNode(node, child, depth + 1);
            }
        }
    }

private:
    // An attribute nobody bound to a signal is of no use to the RTU. A
    // structure stays when something below it is bound: the import places
    // rows under their parent row and would drop the bound member otherwise.
    bool isWritten(QStandardItem *parent, int row) const
    {
        if (signalColumn < 0 || kindOf(parent->child(row, 0)) != DataAttributeKind)
            return true;
        return isBound(parent, row);
    }

    bool isBound(QStandardItem *parent, int row) const
    {
        const QStandardItem *signal = parent->child(row, signalColumn);
        if (signal && !signal->text().isEmpty())
            return true;
        QStandardItem *node = parent->child(row, 0);
        for (int child = 0; node && child < node->rowCount(); ++child) {
            if (kindOf(node->child(child, 0)) == DataAttributeKind && isBound(node, child))
                return true;
        }
        return false;
    }

    void writeRow(QStandardItem *parent, int row, int depth)
    {
        const QStandardItem *node = parent->child(row, 0);
        const bool topLevel = node->parent() == nullptr;
        for (int c = 0; c < columns.size(); ++c) {
            const DbColumn &column = columns.at(c);
            QVariant value;
            if (column.modelColumn >= 0) {
                const QStandardItem *cell = parent->child(row, column.modelColumn);
                value = cell ? cell->text() : QString();
            } else {
                switch (column.itemRole) {
                case NodeIdRole:
                case ConnectionIdRole:
                case KindRole:
                    value = node->data(column.itemRole).toInt();
                    break;
                case ParentIdRole:
                    // The parent's id as the item holds it: a decimal text.
                    value = topLevel ? QVariant(-1) : node->parent()->data(NodeIdRole);
                    break;
                case DepthRole:
                    value = depth;
                    break;
                case TreeIndexRole:
                    value = SclDataExporter::treeIndexText(node);
                    break;
                default:
                    break;
                }
            }
            book.write(currentRow, c + 1, value);
        }
    }

    WorkbookWriter &book;
    QVector<DbColumn> columns;
    bool tree;
    int signalColumn;
    std::function<void()> step;
    int currentRow = 2;
};

} // namespace

QString SclDataExporter::treeIndexText(const QStandardItem *node)
{
    QStringList rows;
    for (const QStandardItem *current = node;
         current && current->parent() && rows.size() < MaxTreeIndexLevels;
         current = current->parent()) {
        rows.prepend(QString::number(current->row()));
        if (kindOf(current->parent()) == DataSetKind)
            break;
    }
    return rows.join(QLatin1Char(','));
}

int SclDataExporter::headerColumnWidth(const QString &headerText)
{
    // The workbook's default font, as the header cells use it.
    QFont font(QStringLiteral("Calibri"));
    font.setPointSize(11);
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(headerText) / 4;
}

bool SclDataExporter::exportWorkbook(const QString &filePath, QStandardItemModel *sclModel,
                                     SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                                     SelectedReportsModel *reports)
{
    QStandardItem *ied = sclModel ? sclModel->item(0, 0) : nullptr;
    if (!ied) {
        UserPrompt::warning(nullptr, ProgramTitle, tr("No devices selected!!."));
        emit progressFinished();
        return false;
    }

    const QHash<int, DbTable> schema = DbSchema::build();
    WorkbookWriter book;
    book.setPrintHeading(workbookProject, ied->text());
    for (const SheetSpec &sheet : sheets()) {
        book.addSheet(sheet.name);
        // Each sheet is a table under one header row; the selections' rows are named by their
        // first column, the connection's single row needs no frozen column.
        SheetLayout layout;
        layout.headerRows = 1;
        layout.frozenColumns = sheet.table == ConnectionsTable ? 0 : 1;
        layout.autoFilter = true;
        book.setLayout(layout);
    }

    auto writeHeader = [&book](const QVector<DbColumn> &columns) {
        for (int c = 0; c < columns.size(); ++c) {
            const QString name = QString::fromLatin1(columns.at(c).name);
            book.write(1, c + 1, name, WorkbookWriter::CellStyle::Header);
            book.setColumnWidth(c + 1, headerColumnWidth(name));
        }
    };

    book.selectSheet(sheets().at(0).name);
    writeHeader(sheetColumns(schema.value(ConnectionsTable)));
    const QStandardItem *connection = ied->child(SclBranch::ConnectionRow, 0);
    for (int row = 0; row < ConnectionValueCount; ++row) {
        const QStandardItem *value = connection ? connection->child(row, 1) : nullptr;
        book.write(2, row + 1, value ? value->text() : QString());
    }
    const QStandardItem *idItem = connection ? connection->child(0, 1) : nullptr;
    const int connectionId = idItem ? idItem->text().trimmed().toInt() : 0;

    const QList<QStandardItemModel *> models{objects, datasets, reports};
    int count = 0;
    for (QStandardItemModel *model : models)
        count += 1 + (model ? countNodes(model->invisibleRootItem()) : 0);
    startProgress(count);

    // Only the data objects sheet leaves unbound attributes out: a data set
    // keeps every member, as reports are decoded by the members' order.
    const QList<int> signalColumns{SelectedObjectsModel::DataSignalColumn, -1, -1};
    for (int i = 0; i < models.size(); ++i) {
        const SheetSpec &sheet = sheets().at(i + 1);
        const QVector<DbColumn> columns = sheetColumns(schema.value(sheet.table));
        book.selectSheet(sheet.name);
        writeHeader(columns);
        QStandardItemModel *model = models.at(i);
        if (!model)
            continue;
        SelectionSheetWriter writer(book, columns, sheet.table != ReportsTable, signalColumns.at(i),
                                    [this] { step(); });
        QStandardItem *root = model->invisibleRootItem();
        for (int row = 0; row < root->rowCount(); ++row) {
            if (QStandardItem *node = root->child(row, 0)) {
                node->setData(connectionId, ConnectionIdRole);
                writer.writeNode(root, row, 0);
            }
        }
    }

    book.setActiveSheet(sheets().at(0).name);
    book.selectSheet(sheets().at(0).name);
    const bool saved = book.saveAs(filePath);
    if (!saved) {
        UserPrompt::warning(nullptr, ProgramTitle,
                            tr("The workbook %1 could not be written.\n%2")
                                .arg(QDir::toNativeSeparators(filePath), book.errorString()));
    }
    emit progressFinished();
    return saved;
}
