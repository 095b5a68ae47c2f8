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
