#include "reportresumestore.h"

#include "dbschema.h"
#include "iec61850dbmanager.h"
#include "sqliteconnector.h"
#include "sqltext.h"

#include <QSqlError>
#include <QSqlQuery>

QHash<QString, ReportResumePoint> ReportResumeStore::load() const
{
    QHash<QString, ReportResumePoint> points;
    if (!db || !db->connector() || !db->connector()->tableExists(DbSchema::ReportResumeName))
        return points;
    QSqlQuery query(db->connector()->database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT `rcb`, `entry_id`, `entry_time` FROM %1")
                        .arg(SqlText::identifier(DbSchema::ReportResumeName))))
        return points;
    while (query.next()) {
        const QByteArray entryId = QByteArray::fromHex(query.value(1).toString().toLatin1());
        if (!entryId.isEmpty())
            points.insert(query.value(0).toString(), {entryId, query.value(2).toLongLong()});
    }
    return points;
}

bool ReportResumeStore::save(const QHash<QString, ReportResumePoint> &points, QString *problem)
{
    if (!db || !db->connector()) {
        *problem = QStringLiteral("no project is open");
        return false;
    }
    if (points.isEmpty())
        return true;
    if (!db->ensureReportResumeTable()) {
        *problem = QStringLiteral("the project's table of report resume points cannot be made");
        return false;
    }
    QSqlDatabase database = db->connector()->database();
    const QString table = SqlText::identifier(DbSchema::ReportResumeName);
    database.transaction();
    QSqlQuery remove(database);
    QSqlQuery insert(database);
    bool written = remove.prepare(QStringLiteral("DELETE FROM %1 WHERE `rcb` = ?").arg(table)) &&
                   insert.prepare(QStringLiteral("INSERT INTO %1 (`rcb`, `entry_id`, "
                                                 "`entry_time`) VALUES (?, ?, ?)")
                                      .arg(table));
    for (auto point = points.constBegin(); written && point != points.constEnd(); ++point) {
        remove.addBindValue(point.key());
        insert.addBindValue(point.key());
        insert.addBindValue(QString::fromLatin1(point->entryId.toHex()));
        insert.addBindValue(point->entryTimeMs);
        written = remove.exec() && insert.exec();
    }
    if (written && database.commit())
        return true;
    *problem = QStringLiteral("the report resume points cannot be written: %1")
                   .arg((remove.lastError().isValid() ? remove : insert).lastError().text());
    database.rollback();
    return false;
}
