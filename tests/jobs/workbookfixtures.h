#ifndef STATIONSCOPE_WORKBOOKFIXTURES_H
#define STATIONSCOPE_WORKBOOKFIXTURES_H

// Workbooks written cell by cell for the import tests, and a text form of
// the selection models to compare imports by.

#include "dbschema.h"
#include "sclmodel.h"
#include "workbook.h"

#include <QStandardItem>
#include <QStandardItemModel>
#include <QStringList>
#include <QVector>

// Sheets as lists of rows; row 0 is the header.
struct SheetCells
{
    QString name;
    QVector<QVariantList> rows;
};

inline QStringList sheetHeader(int table)
{
    QStringList names = DbSchema::build().value(table).columnNames();
    names.removeAll(QStringLiteral("db_id"));
    return names;
}

inline QVariantList headerRow(int table)
{
    QVariantList row;
    for (const QString &name : sheetHeader(table))
        row.append(name);
    return row;
}

// The four sheets with their headers and no data.
inline QVector<SheetCells> emptySheets()
{
    return {{QStringLiteral("Connections"), {headerRow(ConnectionsTable)}},
            {QStringLiteral("DataObjects"), {headerRow(DataObjectsTable)}},
            {QStringLiteral("DataSetsAndObjects"), {headerRow(DatasetsTable)}},
            {QStringLiteral("Reports"), {headerRow(ReportsTable)}}};
}

// A row of a sheet with the given values by column name; the rest stay empty.
inline QVariantList sheetRow(int table, const QVariantMap &values)
{
    const QStringList header = sheetHeader(table);
    QVariantList row;
    for (const QString &name : header)
        row.append(values.value(name));
    return row;
}

inline bool writeSheets(const QString &path, const QVector<SheetCells> &sheets)
{
    WorkbookWriter writer;
    for (const SheetCells &sheet : sheets) {
        writer.addSheet(sheet.name);
        for (int r = 0; r < sheet.rows.size(); ++r) {
            for (int c = 0; c < sheet.rows.at(r).size(); ++c)
                writer.write(r + 1, c + 1, sheet.rows.at(r).at(c));
        }
    }
    return writer.saveAs(path);
}

inline QString roleText(const QStandardItem *item, int role)
{
    const QVariant value = item->data(role);
    return value.isValid() ? QStringLiteral("%1:%2").arg(QString::fromLatin1(value.typeName()),
                                                         value.toString())
                           : QStringLiteral("-");
}

// One line per row: indentation, the cells' texts and states, and the roles
// the exchange carries.
inline void dumpRows(const QStandardItem *parent, int columns, int depth, QStringList &lines)
{
    for (int row = 0; row < parent->rowCount(); ++row) {
        const QStandardItem *first = parent->child(row, 0);
        QStringList cells;
        for (int column = 0; column < columns; ++column) {
            const QStandardItem *cell = parent->child(row, column);
            if (!cell) {
                cells.append(QStringLiteral("<null>"));
                continue;
            }
            cells.append(QStringLiteral("%1[%2%3%4]%5")
                             .arg(cell->text(), cell->isEditable() ? "E" : "-",
                                  cell->isEnabled() ? "A" : "-", cell->data(EditorRole).toString(),
                                  cell->toolTip()));
        }
        QStringList roles;
        for (int role : {int(KindRole), int(NodeIdRole), int(ConnectionIdRole), int(GroupRole),
                         int(CtlModelRole), int(TreeIndexRole), int(DepthRole)})
            roles.append(roleText(first, role));
        lines.append(QString(depth * 2, QLatin1Char(' ')) + cells.join(QLatin1Char('|')) +
                     QStringLiteral(" {") + roles.join(QLatin1Char(' ')) +
                     (first->icon().isNull() ? QStringLiteral("}") : QStringLiteral("} icon")));
        dumpRows(first, columns, depth + 1, lines);
    }
}

inline QStringList dumpModel(const QStandardItemModel &model)
{
    QStringList lines;
    dumpRows(model.invisibleRootItem(), model.columnCount(), 0, lines);
    return lines;
}

#endif
