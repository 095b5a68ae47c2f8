// Iec61850DbManager: model rows into table rows and back.

#include "iec61850dbmanager.h"

#include "sclmodel.h"
#include "sqliteconnector.h"
#include "sqlstatement.h"
#include "sqltext.h"

#include <QDebug>
#include <QObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardItem>
#include <QStandardItemModel>

namespace {

// The value list a selection cell is stored as a code of, if any.
bool codedColumn(int table, int modelColumn, ValueList *list)
{
    if (table == DataObjectsTable) {
        switch (modelColumn) {
        case 2:
            *list = ValueList::MmsType;
            return true;
        case 6:
            *list = ValueList::ControlModel;
            return true;
        case 11:
            *list = ValueList::SelectionType;
            return true;
        default:
            return false;
        }
    }
    if (table == DatasetsTable && modelColumn == 6) {
        *list = ValueList::MmsType;
        return true;
    }
    return false;
}

QString roleText(const QStandardItem *first, int role)
{
    return first ? first->data(role).toString() : QString();
}

} // namespace

QString Iec61850DbManager::storedCellText(int table, int modelColumn, const QString &text)
{
    ValueList list;
    if (!codedColumn(table, modelColumn, &list))
        return text;
    // A member whose attribute the IED lacks has no type; code 0 would read
    // back as MMS_ARRAY.
    if (list == ValueList::MmsType && text.isEmpty())
        return QString::number(MmsUnknownType);
    return QString::number(valueListCode(list, text));
}

QString Iec61850DbManager::loadedCellText(int table, int modelColumn, const QString &stored)
{
    ValueList list;
    if (!codedColumn(table, modelColumn, &list))
        return stored;
    bool ok = false;
    const int code = stored.trimmed().toInt(&ok);
    return ok ? valueListName(list, code) : QString();
}

QList<QStandardItem *> Iec61850DbManager::roleItems(const QStandardItem *first, int table) const
{
    QList<QStandardItem *> items;
    for (const DbColumn &column : schemaTable(table).columns) {
        if (column.itemRole >= 0)
            items.append(new QStandardItem(roleText(first, column.itemRole)));
    }
    return items;
}

QVariantList Iec61850DbManager::rowValues(const QList<QStandardItem *> &row, int table) const
{
    const DbTable description = schemaTable(table);
    const QStandardItem *first = row.value(0);
    QVariantList values;
    values.reserve(description.columns.size());
    for (const DbColumn &column : description.columns) {
        // Numbers stay numbers: their text would only be read back as the same number.
        if (column.itemRole < 0)
            continue;
        const QVariant value = first ? first->data(column.itemRole) : QVariant();
        const bool number = value.type() == QVariant::Int || value.type() == QVariant::LongLong;
        if (value.type() == QVariant::Bool && column.isInteger())
            values.append(int(value.toBool()));
        else
            values.append(number && column.isInteger() ? value : QVariant(value.toString()));
    }
    // A model may show more columns than the table stores (live values, for
    // one): those are never written, whoever composes the row.
    int storedCells = 0;
    for (const DbColumn &column : description.columns) {
        if (column.modelColumn >= 0 && column.name != "db_id")
            ++storedCells;
    }
    for (int i = 0; i < qMin(row.size(), storedCells); ++i) {
        // A disabled cell shows nothing and its row set-up empties it on
        // loading, so it is stored empty, whatever text it was given.
        const QStandardItem *cell = row.at(i) && row.at(i)->isEnabled() ? row.at(i) : nullptr;
        ValueList list;
        if (codedColumn(table, i, &list))
            values.append(storedCellText(table, i, cell ? cell->text() : QString()));
        else
            values.append(cell ? cell->data(Qt::DisplayRole) : QVariant());
    }
    return values;
}

QString Iec61850DbManager::insertStatement(const QList<QStandardItem *> &row, int table) const
{
    return SqlStatement()
        .INSERT()
        .INTO(schemaTable(table), table == ConnectionsTable)
        .VALUES(rowValues(row, table))
        .text();
}

void Iec61850DbManager::insertRow(const QList<QStandardItem *> &row, int table, bool queue)
{
    const QString sql = insertStatement(row, table);
    if (!queue) {
        executeStatement(sql);
        return;
    }
    queueStatement(sql);
    // The statement's own VALUES: the first one, as no name of the schema
    // holds the word.
    const int values = sql.indexOf(QLatin1String(") VALUES ("));
    if (values > 0)
        pendingValuesStart.last() = values + int(qstrlen(") VALUES "));
}

bool Iec61850DbManager::cellUpdate(const QString &table, const QStandardItem *item,
                                   CellUpdate *update) const
{
    if (!item)
        return false;
    const int tableId = tableIdByName(table);
    if (tableId < 0)
        return false;

    int columnNumber = 0;
    const QStandardItem *parent = item->parent();
    if (tableId == ConnectionsTable) {
        const QStandardItem *idValue = parent ? parent->child(0, 1) : nullptr;
        update->id = idValue ? idValue->text().trimmed().toInt() : 0;
        columnNumber = item->row();
    } else {
        const QStandardItem *first = nullptr;
        if (parent)
            first = parent->child(item->row(), 0);
        else if (item->model())
            first = item->model()->item(item->row(), 0);
        if (!first)
            return false;
        bool ok = false;
        const int nodeId = first->data(NodeIdRole).toString().trimmed().toInt(&ok);
        if (!ok || nodeId == -1)
            return false;
        update->id = nodeId;
        const QVariant connection = first->data(ConnectionIdRole);
        const int connectionId = connection.toString().trimmed().toInt(&ok);
        if (connection.isValid() && ok && connectionId != -1)
            update->connectionId = connectionId;
        columnNumber = item->column();
    }

    const DbTable description = schemaTable(tableId);
    const int sqlColumn = firstModelColumn(tableId) + columnNumber;
    if (columnNumber < 0 || sqlColumn >= description.columns.size())
        return false;
    const DbColumn &column = description.columns.at(sqlColumn);
    update->table = QString::fromLatin1(description.name);
    update->column = QString::fromLatin1(column.name);

    const QString text = storedCellText(tableId, columnNumber, item->text());
    if (column.sqlType == "INTEGER") {
        bool ok = false;
        const qlonglong number = text.trimmed().toLongLong(&ok);
        update->value = ok ? number : 0;
    } else {
        update->value = text;
    }
    return true;
}

QString Iec61850DbManager::updateCellStatement(const QString &table,
                                               const QStandardItem *item) const
{
    CellUpdate update;
    if (!cellUpdate(table, item, &update))
        return QString();
    const QString value = update.value.type() == QVariant::String
                              ? SqlText::literal(update.value.toString())
                              : QString::number(update.value.toLongLong());
    const QString assignment = QStringLiteral("%1=%2").arg(update.column, value);
    if (update.connectionId < 0)
        return QStringLiteral("UPDATE %1 SET %2 WHERE id=%3;")
            .arg(update.table, assignment, QString::number(update.id));
    return QStringLiteral("UPDATE %1 SET %2 WHERE id=%3 AND con_id=%4;")
        .arg(update.table, assignment, QString::number(update.id),
             QString::number(update.connectionId));
}

bool Iec61850DbManager::updateCell(const QString &table, QStandardItem *item, QString *error)
{
    CellUpdate update;
    if (!cellUpdate(table, item, &update))
        return true;
    qDebug().noquote() << updateCellStatement(table, item);
    QSqlQuery query(database());
    QString sql = QStringLiteral("UPDATE %1 SET %2=? WHERE id=?")
                      .arg(SqlText::identifier(update.table), SqlText::identifier(update.column));
    if (update.connectionId >= 0)
        sql += QStringLiteral(" AND con_id=?");
    bool written = query.prepare(sql);
    if (written) {
        query.addBindValue(update.value);
        query.addBindValue(update.id);
        if (update.connectionId >= 0)
            query.addBindValue(update.connectionId);
        written = query.exec();
    }
    if (written && query.numRowsAffected() == 0) {
        if (error)
            *error = QObject::tr("the project file holds no row %1 in %2")
                         .arg(update.id)
                         .arg(update.table);
        return false;
    }
    if (!written && error)
        *error = database().isOpen() ? query.lastError().text()
                                     : QObject::tr("the project file is not open");
    return written;
}

void Iec61850DbManager::deleteRows(const QString &table, const QStringList &conditions, bool queue)
{
    const QString where = conditions.isEmpty()
                              ? QString()
                              : QStringLiteral("where ") + conditions.join(QStringLiteral(" and "));
    const QString sql = QStringLiteral("delete from %1 %2;").arg(SqlText::identifier(table), where);
    qDebug().noquote() << sql;
    if (queue)
        queueStatement(sql);
    else
        executeStatement(sql);
}

void Iec61850DbManager::clearSelectionTables(bool keepConnections, bool queue)
{
    deleteRows(DbSchema::DataObjectsName, {}, queue);
    deleteRows(DbSchema::DatasetsName, {}, queue);
    deleteRows(DbSchema::ReportsName, {}, queue);
    if (!keepConnections)
        deleteRows(DbSchema::ConnectionsName, {}, queue);
}

QString Iec61850DbManager::selectStatement(int table, const QString &condition) const
{
    const DbTable description = schemaTable(table);
    return SqlStatement()
        .SELECT()
        .columns(description.columnNames())
        .FROM(QString::fromLatin1(description.name))
        .WHERE(condition)
        .text();
}

QVector<QStringList> Iec61850DbManager::selectTexts(int table, const QString &condition,
                                                    QString *error)
{
    QVector<QStringList> rows;
    const DbTable description = schemaTable(table);
    if (description.isEmpty()) {
        if (error)
            *error = QObject::tr("No table %1 is known.").arg(table);
        return rows;
    }
    const QString sql = selectStatement(table, condition);
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(sql)) {
        qDebug().noquote() << query.lastError().text();
        qDebug().noquote() << sql;
        if (error) {
            const QString why = database().isOpen() ? query.lastError().text()
                                                    : QObject::tr("the project file is not open");
            *error = QObject::tr("The table %1 could not be read: %2")
                         .arg(QString::fromLatin1(description.name), why);
        }
        return rows;
    }
    const int columnCount = description.columns.size();
    while (query.next()) {
        QStringList row;
        row.reserve(columnCount);
        for (int column = 0; column < columnCount; ++column) {
            const QVariant value = query.value(column);
            row.append(value.isNull() ? QString() : value.toString());
        }
        rows.append(row);
    }
    // A page that cannot be read ends the rows early; what came is no table.
    if (query.lastError().isValid()) {
        if (error)
            *error = QObject::tr("The table %1 could not be read: %2")
                         .arg(QString::fromLatin1(description.name), query.lastError().text());
        return {};
    }
    return rows;
}

QList<QList<QStandardItem *>> Iec61850DbManager::selectRows(int table, const QString &condition,
                                                            QString *error)
{
    QList<QList<QStandardItem *>> rows;
    const QVector<QStringList> texts = selectTexts(table, condition, error);
    rows.reserve(texts.size());
    for (const QStringList &values : texts) {
        QList<QStandardItem *> row;
        row.reserve(values.size());
        for (const QString &value : values)
            row.append(new QStandardItem(value));
        rows.append(row);
    }
    return rows;
}
