#include "projectfileprobe.h"

#include "dbschema.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {
// Apart from the project connection, which may belong to the open project.
const QString ProbeConnection = QStringLiteral("stationscope-project-probe");

bool hasSqliteHeader(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3\0", 16);
}

bool holdsProjectTables(const QString &path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), ProbeConnection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    bool found = false;
    if (db.open()) {
        QSqlQuery query(db);
        // Older files lack the connection table, which opening adds; the data
        // object model table is in every project.
        found = query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' "
                                          "AND name IN ('%1', '%2');")
                               .arg(DbSchema::ConnectionsName, DbSchema::DataObjectsModelName)) &&
                query.next();
    }
    db.close();
    return found;
}
} // namespace

bool ProjectFileProbe::isProject(const QString &path)
{
    if (!hasSqliteHeader(path))
        return false;
    const bool project = holdsProjectTables(path);
    QSqlDatabase::removeDatabase(ProbeConnection);
    return project;
}
