#include "iec61850dbmanager.h"

#include "sclmodel.h"
#include "sqliteconnector.h"
#include "sqlstatement.h"
#include "sqltext.h"

#include <QDebug>
#include <QObject>
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
        lastStatementError = query.lastError().text();
        qDebug().noquote() << "Error with the sql: " + lastStatementError;
        qDebug().noquote() << sql;
    }
    const QString rowIdSql =
        SqlStatement().SELECT().column(QStringLiteral("last_insert_rowid()")).text();
    if (!executed)
        return -1;
    if (!query.exec(rowIdSql)) {
        lastStatementError = query.lastError().text();
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

void Iec61850DbManager::dropPending()
{
    pending.clear();
    pendingValuesStart.clear();
}

bool Iec61850DbManager::commitQueued()
{
    QSqlDatabase db = database();
    if (!db.isOpen()) {
        // Kept, they would run ahead of whatever the next save queues.
        dropPending();
        return false;
    }
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("BEGIN TRANSACTION"))) {
        qDebug() << "Failed to start transaction";
        dropPending();
        return false;
    }
    if (!runPending(query)) {
        query.exec(QStringLiteral("ROLLBACK TRANSACTION"));
        dropPending();
        return false;
    }
    if (!query.exec(QStringLiteral("COMMIT TRANSACTION"))) {
        qDebug() << "Failed to commit transaction";
        // A transaction left open would swallow every later statement.
        query.exec(QStringLiteral("ROLLBACK TRANSACTION"));
        dropPending();
        return false;
    }
    dropPending();
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

bool Iec61850DbManager::createSelectionTables()
{
    bool created = true;
    for (int table : {ConnectionsTable, DataObjectsTable, DatasetsTable, ReportsTable})
        created = executeStatement(createStatement(table)) != -1 && created;
    return created;
}

bool Iec61850DbManager::createModelTables()
{
    bool created = true;
    for (int table : {DataObjectsModelTable, DatasetsModelTable, ReportsModelTable, SignalsTable})
        created = executeStatement(createStatement(table)) != -1 && created;
    return created;
}

bool Iec61850DbManager::upgradeProject(QString *reason)
{
    const auto fail = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (!sqlite || !database().isOpen())
        return fail(QObject::tr("The project file is not open."));
    // Files from before the selection tables lack them all, the connection
    // table first; a later file missing one of them is damaged, not older.
    const bool olderFile = !sqlite->tableExists(DbSchema::ConnectionsName);
    for (int table : {ConnectionsTable, DataObjectsTable, DatasetsTable, ReportsTable}) {
        const QString name = QString::fromLatin1(schemaTable(table).name);
        if (olderFile && !sqlite->tableExists(name) &&
            executeStatement(createStatement(table)) == -1)
            return fail(
                QObject::tr("The table %1 could not be added: %2").arg(name, lastStatementError));
    }
    const auto addColumn = [this, &fail](const QString &table, const QString &column,
                                         const QString &sqlType) {
        if (addMissingColumn(table, column, sqlType, false))
            return true;
        return fail(QObject::tr("The column %1 could not be added to %2: %3")
                        .arg(column, table, lastStatementError));
    };
    if (!addColumn(DbSchema::DataObjectsName, QStringLiteral("selection_type"),
                   QStringLiteral("INTEGER")) ||
        !addColumn(DbSchema::DataObjectsName, QStringLiteral("cmdtype_signal"),
                   QStringLiteral("TEXT")))
        return false;
    // Model columns that older files lack stay NULL: the loader derives what
    // it can of them and leaves the rest unknown.
    const QList<QPair<QString, QList<int>>> modelTables{
        {DbSchema::DataObjectsModelName, {CtlModelRole}},
        {DbSchema::DatasetsModelName, {BTypeRole, MmsTypeRole, CtlModelRole}},
        {DbSchema::ReportsModelName, {IndexedRole, MaxIndexRole, RptIdRole}}};
    for (const auto &entry : modelTables) {
        const DbTable description = tableByName(entry.first);
        // A file without the model tables is no project; that is for the
        // caller's check to say, not a step of the upgrade.
        if (!sqlite->tableExists(entry.first))
            continue;
        for (int role : entry.second) {
            const DbColumn &column = description.columns.at(description.columnOfRole(role));
            if (!addColumn(entry.first, QString::fromLatin1(column.name),
                           QString::fromLatin1(column.sqlType)))
                return false;
        }
    }
    if (!ensureCommissioningTable())
        return fail(QObject::tr("The commissioning table could not be completed: %1")
                        .arg(lastStatementError));
    if (!ensureReportResumeTable())
        return fail(QObject::tr("The table %1 could not be added: %2")
                        .arg(DbSchema::ReportResumeName, lastStatementError));
    return true;
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
    for (const DbColumn &column : record.columns) {
        if (!addMissingColumn(DbSchema::CommissioningName, QString::fromLatin1(column.name),
                              QString::fromLatin1(column.sqlType), false))
            return false;
    }
    return true;
}

bool Iec61850DbManager::addMissingColumn(const QString &table, const QString &column,
                                         const QString &sqlType, bool fillDefault)
{
    const QString tableName = SqlText::identifier(table);
    const QString columnName = SqlText::identifier(column);
    {
        QSqlQuery probe(database());
        probe.setForwardOnly(true);
        if (probe.exec(QStringLiteral("SELECT %2 FROM %1 LIMIT 0;").arg(tableName, columnName)))
            return true;
    }
    // The type is spliced in as it is; callers pass a type name, never data.
    const QString type = sqlType.isEmpty() ? QStringLiteral("INTEGER") : sqlType;
    if (executeStatement(
            QStringLiteral("ALTER TABLE %1 ADD %2 %3").arg(tableName, columnName, type)) == -1)
        return false;
    if (fillDefault) {
        const bool textType =
            sqlType == QLatin1String("VARCHAR2(250)") || sqlType == QLatin1String("text");
        const QString fill = textType ? QStringLiteral("''") : QStringLiteral("0");
        if (executeStatement(
                QStringLiteral("UPDATE %1 SET %2 = %3").arg(tableName, columnName, fill)) == -1)
            return false;
        qDebug().noquote() << QStringLiteral("Missing column added : %1.%2").arg(table, column);
    }
    return true;
}

int Iec61850DbManager::firstModelColumn(int table) const
{
    const DbTable description = schemaTable(table);
    int column = 0;
    while (column < description.columns.size() && description.columns.at(column).modelColumn < 0)
        ++column;
    return column;
}
