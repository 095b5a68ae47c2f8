#include "iec61850dbmanager.h"

#include "sclmodel.h"
#include "sqliteconnector.h"
#include "sqlstatement.h"
#include "sqltext.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

Iec61850DbManager::Iec61850DbManager(SqliteConnector *connector)
    : sqlite(connector), schema(DbSchema::build())
{
}

QSqlDatabase Iec61850DbManager::database() const
{
    return sqlite ? sqlite->database() : QSqlDatabase();
}

int Iec61850DbManager::executeStatement(const QString &sql)
{
    QSqlQuery query(database());
    const bool executed = query.exec(sql);
    if (!executed) {
        qDebug().noquote() << "Error with the sql: " + query.lastError().text();
        qDebug().noquote() << sql;
    }
    const QString rowIdSql =
        SqlStatement().SELECT().column(QStringLiteral("last_insert_rowid()")).text();
    if (!executed)
        return -1;
    if (!query.exec(rowIdSql)) {
        qDebug().noquote() << "Error with the sql: " + query.lastError().text();
        return -1;
    }
    if (!query.next())
        return -1;
    return query.value(0).toInt();
}

void Iec61850DbManager::queueStatement(const QString &sql)
{
    pending.append(sql);
    pendingValuesStart.append(0);
}

bool Iec61850DbManager::runPending(QSqlQuery &query)
{
    // SQLite takes any number of rows in one VALUES list; the chunks keep each
    // statement text small.
    constexpr int RowsPerStatement = 500;
    int i = 0;
    while (i < pending.size()) {
        const int valuesStart = pendingValuesStart.value(i);
        QString sql = pending.at(i);
        int next = i + 1;
        if (valuesStart > 0) {
            const QStringRef prefix = pending.at(i).leftRef(valuesStart);
            while (next < pending.size() && next - i < RowsPerStatement &&
                   pendingValuesStart.value(next) == valuesStart &&
                   pending.at(next).leftRef(valuesStart) == prefix) {
                sql += QStringLiteral(", ");
                sql += pending.at(next).midRef(valuesStart);
                ++next;
            }
        }
        if (!query.exec(sql)) {
            qDebug() << "Failed to execute statement";
            qDebug().noquote() << query.lastError().text();
            qDebug().noquote() << sql.left(2000);
            return false;
        }
        i = next;
    }
    return true;
}

bool Iec61850DbManager::commitQueued()
{
    QSqlDatabase db = database();
    if (!db.isOpen())
        return false;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("BEGIN TRANSACTION"))) {
        qDebug() << "Failed to start transaction";
        pending.clear();
        pendingValuesStart.clear();
        return false;
    }
    if (!runPending(query)) {
        query.exec(QStringLiteral("ROLLBACK TRANSACTION"));
        pending.clear();
        pendingValuesStart.clear();
        return false;
    }
    if (!query.exec(QStringLiteral("COMMIT TRANSACTION"))) {
        qDebug() << "Failed to commit transaction";
        // A transaction left open would swallow every later statement.
        query.exec(QStringLiteral("ROLLBACK TRANSACTION"));
        pending.clear();
        pendingValuesStart.clear();
        return false;
    }
    pending.clear();
    pendingValuesStart.clear();
    return true;
}

DbTable Iec61850DbManager::schemaTable(int table) const
{
    return schema.value(table);
}

int Iec61850DbManager::tableIdByName(const QString &name) const
{
    for (int table = ConnectionsTable; table <= ReportsModelTable; ++table) {
        if (QString::fromLatin1(schema.value(table).name) == name)
            return table;
    }
    return -1;
}

DbTable Iec61850DbManager::tableByName(const QString &name) const
{
    const int table = tableIdByName(name);
    return table < 0 ? DbTable() : schema.value(table);
}

QString Iec61850DbManager::createStatement(int table) const
{
    const DbTable description = schemaTable(table);
    return description.isEmpty() ? QString() : DbSchema::createStatement(description);
}

void Iec61850DbManager::createSelectionTables()
{
    for (int table : {ConnectionsTable, DataObjectsTable, DatasetsTable, ReportsTable})
        executeStatement(createStatement(table));
}

void Iec61850DbManager::createModelTables()
{
    for (int table : {DataObjectsModelTable, DatasetsModelTable, ReportsModelTable, SignalsTable})
        executeStatement(createStatement(table));
}

void Iec61850DbManager::upgradeProject()
{
    if (!sqlite || !sqlite->tableExists(DbSchema::ConnectionsName))
        createSelectionTables();
    addMissingColumn(DbSchema::DataObjectsName, QStringLiteral("selection_type"),
                     QStringLiteral("INTEGER"), false);
    addMissingColumn(DbSchema::DataObjectsName, QStringLiteral("cmdtype_signal"),
                     QStringLiteral("TEXT"), false);
    // Model columns that older files lack stay NULL: the loader derives what
    // it can of them and leaves the rest unknown.
    const QList<QPair<QString, QList<int>>> modelTables{
        {DbSchema::DataObjectsModelName, {CtlModelRole}},
        {DbSchema::DatasetsModelName, {BTypeRole, MmsTypeRole, CtlModelRole}},
        {DbSchema::ReportsModelName, {IndexedRole, MaxIndexRole, RptIdRole}}};
    for (const auto &entry : modelTables) {
        const DbTable description = tableByName(entry.first);
        for (int role : entry.second) {
            const DbColumn &column = description.columns.at(description.columnOfRole(role));
            addMissingColumn(entry.first, QString::fromLatin1(column.name),
                             QString::fromLatin1(column.sqlType), false);
        }
    }
    ensureCommissioningTable();
    ensureReportResumeTable();
}

bool Iec61850DbManager::ensureReportResumeTable()
{
    if (!sqlite || !sqlite->tableExists(DbSchema::ReportResumeName))
        return executeStatement(DbSchema::createStatement(DbSchema::reportResumeTable())) != -1;
    return true;
}

bool Iec61850DbManager::ensureCommissioningTable()
{
    const DbTable record = DbSchema::commissioningTable();
    if (!sqlite || !sqlite->tableExists(DbSchema::CommissioningName))
        return executeStatement(DbSchema::createStatement(record)) != -1;
    bool whole = true;
    for (const DbColumn &column : record.columns)
        whole = addMissingColumn(DbSchema::CommissioningName, QString::fromLatin1(column.name),
                                 QString::fromLatin1(column.sqlType), false) &&
                whole;
    return whole;
}

bool Iec61850DbManager::addMissingColumn(const QString &table, const QString &column,
                                         const QString &sqlType, bool fillDefault)
{
    const QString tableName = SqlText::identifier(table);
    const QString columnName = SqlText::identifier(column);
    {
        QSqlQuery probe(database());
        probe.setForwardOnly(true);
        if (probe.exec(QStringLiteral("SELECT %2 FROM %1;").arg(tableName, columnName)))
            return true;
    }
    // The type is spliced in as it is; callers pass a type name, never data.
    const QString type = sqlType.isEmpty() ? QStringLiteral("INTEGER") : sqlType;
    const bool added =
        executeStatement(
            QStringLiteral("ALTER TABLE %1 ADD %2 %3").arg(tableName, columnName, type)) != -1;
    if (fillDefault) {
        const bool textType =
            sqlType == QLatin1String("VARCHAR2(250)") || sqlType == QLatin1String("text");
        const QString fill = textType ? QStringLiteral("''") : QStringLiteral("0");
        executeStatement(QStringLiteral("UPDATE %1 SET %2 = %3").arg(tableName, columnName, fill));
        qDebug().noquote() << QStringLiteral("Missing column added : %1.%2").arg(table, column);
    }
    return added;
}

int Iec61850DbManager::firstModelColumn(int table) const
{
    const DbTable description = schemaTable(table);
    int column = 0;
    while (column < description.columns.size() && description.columns.at(column).modelColumn < 0)
        ++column;
    return column;
}
