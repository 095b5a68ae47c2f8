#include "commissioningstore.h"

#include "commissioningrecord.h"
#include "dbschema.h"
#include "iec61850dbmanager.h"
#include "sqliteconnector.h"
#include "sqltext.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

QString storedTime(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QDateTime loadedTime(const QVariant &value)
{
    QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (time.isValid())
        time.setTimeSpec(Qt::UTC);
    return time;
}

QString rowValues(const CommissioningPoint &point, const CommissioningObservation &seen)
{
    const auto text = [](const QString &value) {
        return SqlText::literal(value);
    };
    const auto number = [](qint64 value) {
        return QString::number(value);
    };
    return QStringList{text(point.key()),
                       text(point.signalLabel),
                       text(point.referenceWithFc()),
                       text(seen.firstValue),
                       text(seen.lastValue),
                       text(seen.quality),
                       number(seen.lastGood),
                       number(seen.everGood),
                       number(seen.qualityKnown),
                       text(storedTime(seen.lastChange)),
                       number(seen.changes),
                       text(storedTime(seen.firstSeen)),
                       text(storedTime(seen.lastSeen)),
                       number(seen.verdict),
                       text(seen.note),
                       text(storedTime(seen.touched)),
                       text(seen.deviceAddress)}
        .join(QStringLiteral(", "));
}

// The record's own properties (record 0, the current one; archived records
// keep theirs under their history number) and the rows of archived records.
const QString RecordName = QStringLiteral("iec61850_commissioning_record");
const QString HistoryName = QStringLiteral("iec61850_commissioning_history");
constexpr int CurrentRecord = 0;

DbTable recordTable()
{
    DbTable table;
    table.name = RecordName.toLatin1();
    const QList<QPair<const char *, QByteArray>> columns{
        {"record_id", QByteArray("INTEGER")},    {"archived", QByteArray("TEXT")},
        {"device_address", QByteArray("TEXT")},  {"ied_name", QByteArray("TEXT")},
        {"config_rev", QByteArray("TEXT")},      {"vendor", QByteArray("TEXT")},
        {"model", QByteArray("TEXT")},           {"serial_number", QByteArray("TEXT")},
        {"testing_started", QByteArray("TEXT")}, {"testing_ended", QByteArray("TEXT")},
        {"last_outcome", QByteArray("INTEGER")}, {"outcome_cause", QByteArray("TEXT")},
        {"refused_blocks", QByteArray("TEXT")}};
    for (const auto &column : columns)
        table.columns.append(DbColumn{column.first, column.second, -1, -1});
    return table;
}

DbTable historyTable()
{
    DbTable table = DbSchema::commissioningTable();
    table.name = HistoryName.toLatin1();
    table.columns.prepend(DbColumn{"record_id", QByteArray("INTEGER"), -1, -1});
    return table;
}

QString columnList(const DbTable &table)
{
    QStringList columns;
    for (const QString &name : table.columnNames())
        columns << SqlText::identifier(name);
    return columns.join(QStringLiteral(", "));
}

QString recordValues(int id, const QString &archived, const CommissioningRecord &record)
{
    const CommissioningDevice device = record.device();
    QStringList refused;
    const QMap<QString, QString> blocks = record.refusedBlocks();
    for (auto it = blocks.cbegin(); it != blocks.cend(); ++it)
        refused << it.key() + QLatin1Char('\t') + it.value();
    QStringList values{QString::number(id)};
    for (const QString &text :
         {archived, device.address, device.iedName, device.configurationRevision, device.vendor,
          device.model, device.serialNumber, storedTime(record.testingStarted()),
          storedTime(record.testingEnded())})
        values << SqlText::literal(text);
    values << QString::number(int(record.lastOutcome()))
           << SqlText::literal(record.lastOutcomeCause())
           << SqlText::literal(refused.join(QLatin1Char('\n')));
    return values.join(QStringLiteral(", "));
}

} // namespace

CommissioningStore::CommissioningStore(Iec61850DbManager *db) : db(db) {}

bool CommissioningStore::hasTable() const
{
    return db && db->connector() && db->connector()->tableExists(DbSchema::CommissioningName);
}

bool CommissioningStore::load(CommissioningRecord *record, QString *problem) const
{
    if (!hasTable())
        return true;
    const DbTable table = DbSchema::commissioningTable();
    QSqlQuery query(db->connector()->database());
    query.setForwardOnly(true);
    QStringList columns;
    for (const QString &name : table.columnNames())
        columns << SqlText::identifier(name);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2")
                        .arg(columns.join(QStringLiteral(", ")),
                             SqlText::identifier(DbSchema::CommissioningName)))) {
        *problem = QStringLiteral("the commissioning record cannot be read: %1")
                       .arg(query.lastError().text());
        return false;
    }
    QString latestAddress;
    QDateTime latest;
    while (query.next()) {
        const int row = record->rowOfKey(query.value(0).toString());
        if (row < 0)
            continue;
        CommissioningObservation seen;
        seen.firstValue = query.value(3).toString();
        seen.lastValue = query.value(4).toString();
        seen.quality = query.value(5).toString();
        seen.lastGood = query.value(6).toInt() != 0;
        seen.everGood = query.value(7).toInt() != 0;
        seen.qualityKnown = query.value(8).toInt() != 0;
        seen.lastChange = loadedTime(query.value(9));
        seen.changes = query.value(10).toInt();
        seen.firstSeen = loadedTime(query.value(11));
        seen.lastSeen = loadedTime(query.value(12));
        const int verdict = query.value(13).toInt();
        seen.verdict =
            verdict >= CommissioningRecord::NotTested && verdict <= CommissioningRecord::Failed
                ? verdict
                : CommissioningRecord::NotTested;
        seen.note = query.value(14).toString();
        seen.touched = loadedTime(query.value(15));
        seen.deviceAddress = query.value(16).toString();
        record->restore(row, seen);
        if (!seen.deviceAddress.isEmpty() && (!latest.isValid() || seen.touched > latest)) {
            latest = seen.touched;
            latestAddress = seen.deviceAddress;
        }
    }
    if (!latestAddress.isEmpty())
        record->setDeviceAddress(latestAddress);
    return loadRecordProperties(record, problem);
}

bool CommissioningStore::loadRecordProperties(CommissioningRecord *record, QString *problem) const
{
    if (!db->connector()->tableExists(RecordName))
        return true;
    QSqlQuery query(db->connector()->database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2 WHERE record_id = %3")
                        .arg(columnList(recordTable()), SqlText::identifier(RecordName))
                        .arg(CurrentRecord))) {
        *problem = QStringLiteral("the commissioning record cannot be read: %1")
                       .arg(query.lastError().text());
        return false;
    }
    if (!query.next())
        return true;
    CommissioningDevice device;
    device.address = query.value(2).toString();
    device.iedName = query.value(3).toString();
    device.configurationRevision = query.value(4).toString();
    device.vendor = query.value(5).toString();
    device.model = query.value(6).toString();
    device.serialNumber = query.value(7).toString();
    if (device.address.isEmpty())
        device.address = record->deviceAddress();
    record->setDevice(device);
    record->setTestingPeriod(loadedTime(query.value(8)), loadedTime(query.value(9)));
    const int outcome = query.value(10).toInt();
    if (outcome == int(CommissioningSessionOutcome::Running))
        // Saved while a session ran, never told its end.
        record->setLastOutcome(CommissioningSessionOutcome::EndedEarly,
                               QStringLiteral("the program ended during the session"));
    else
        record->setLastOutcome(outcome >= int(CommissioningSessionOutcome::NoneRan) &&
                                       outcome <= int(CommissioningSessionOutcome::Ran)
                                   ? CommissioningSessionOutcome(outcome)
                                   : CommissioningSessionOutcome::NoneRan,
                               query.value(11).toString());
    for (const QString &line :
         query.value(12).toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int tab = line.indexOf(QLatin1Char('\t'));
        if (tab > 0)
            record->setBlockRefused(line.left(tab), line.mid(tab + 1));
    }
    return true;
}

int CommissioningStore::historyCount() const
{
    if (!db || !db->connector() || !db->connector()->tableExists(RecordName))
        return 0;
    QSqlQuery query(db->connector()->database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE record_id <> %2")
                        .arg(SqlText::identifier(RecordName))
                        .arg(CurrentRecord)) ||
        !query.next())
        return 0;
    return query.value(0).toInt();
}

bool CommissioningStore::archive(const CommissioningRecord &record, QString *problem)
{
    if (!save(record, problem))
        return false;
    QSqlQuery query(db->connector()->database());
    query.setForwardOnly(true);
    int id = CurrentRecord + 1;
    if (query.exec(
            QStringLiteral("SELECT MAX(record_id) FROM %1").arg(SqlText::identifier(RecordName))) &&
        query.next())
        id = qMax(id, query.value(0).toInt() + 1);
    query.finish();
    if (!db->connector()->tableExists(HistoryName))
        db->queueStatement(DbSchema::createStatement(historyTable()));
    const DbTable rows = DbSchema::commissioningTable();
    db->queueStatement(
        QStringLiteral("INSERT INTO %1 (%2) SELECT %3, %4 FROM %5")
            .arg(SqlText::identifier(HistoryName), columnList(historyTable()))
            .arg(id)
            .arg(columnList(rows), SqlText::identifier(DbSchema::CommissioningName)));
    db->queueStatement(QStringLiteral("UPDATE %1 SET record_id = %2, archived = %3 WHERE "
                                      "record_id = %4")
                           .arg(SqlText::identifier(RecordName))
                           .arg(id)
                           .arg(SqlText::literal(storedTime(QDateTime::currentDateTimeUtc())))
                           .arg(CurrentRecord));
    db->queueStatement(
        QStringLiteral("DELETE FROM %1").arg(SqlText::identifier(DbSchema::CommissioningName)));
    if (!db->commitQueued()) {
        *problem = QStringLiteral("the commissioning record cannot be kept as history: %1")
                       .arg(db->connector()->database().lastError().text());
        return false;
    }
    return true;
}

bool CommissioningStore::save(const CommissioningRecord &record, QString *problem)
{
    if (!db || !db->connector()) {
        *problem = QStringLiteral("no project is open");
        return false;
    }
    const DbTable table = DbSchema::commissioningTable();
    const QString tableName = SqlText::identifier(DbSchema::CommissioningName);
    if (!hasTable())
        db->queueStatement(DbSchema::createStatement(table));
    else if (!db->ensureCommissioningTable()) {
        *problem = QStringLiteral("the commissioning table of the project cannot be upgraded");
        return false;
    }
    QStringList columns;
    for (const QString &name : table.columnNames())
        columns << SqlText::identifier(name);
    const QString insert = QStringLiteral("INSERT INTO %1 (%2) VALUES ")
                               .arg(tableName, columns.join(QStringLiteral(", ")));
    db->queueStatement(QStringLiteral("DELETE FROM %1").arg(tableName));
    if (!db->connector()->tableExists(RecordName))
        db->queueStatement(DbSchema::createStatement(recordTable()));
    db->queueStatement(QStringLiteral("DELETE FROM %1 WHERE record_id = %2")
                           .arg(SqlText::identifier(RecordName))
                           .arg(CurrentRecord));
    db->queueStatement(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                           .arg(SqlText::identifier(RecordName), columnList(recordTable()),
                                recordValues(CurrentRecord, QString(), record)));
    for (int row = 0; row < record.rowCount(); ++row) {
        const CommissioningObservation seen = record.observation(row);
        if (!seen.seen() && seen.verdict == CommissioningRecord::NotTested && seen.note.isEmpty())
            continue;
        db->queueStatement(insert + QLatin1Char('(') + rowValues(record.point(row), seen) +
                           QLatin1Char(')'));
    }
    if (!db->commitQueued()) {
        *problem = QStringLiteral("the commissioning record cannot be written: %1")
                       .arg(db->connector()->database().lastError().text());
        return false;
    }
    return true;
}
