#include "projectfilecheck.h"

#include "dbschema.h"
#include "iec61850dbmanager.h"
#include "sqliteconnector.h"
#include "sqltext.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>

namespace {
const QString CheckConnection = QStringLiteral("stationscope-project-check");
const QString UpgradeConnection = QStringLiteral("stationscope-project-upgrade");

bool hasSqliteHeader(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3\0", 16);
}

QStringList columnsOf(const QSqlDatabase &db, const QString &table)
{
    QSqlQuery query(db);
    QStringList names;
    if (!query.exec(QStringLiteral("PRAGMA table_info(%1);").arg(SqlText::identifier(table))))
        return names;
    while (query.next())
        names << query.value(1).toString().toLower();
    return names;
}

ProjectFileCheck::Finding compareWithSchema(const QSqlDatabase &db)
{
    QStringList missing;
    int present = 0;
    const QHash<int, DbTable> schema = DbSchema::build();
    for (int id = 0; id < DbSchema::TableCount; ++id) {
        const DbTable table = schema.value(id);
        const QString tableName = QString::fromLatin1(table.name);
        const QStringList columns = columnsOf(db, tableName);
        if (columns.isEmpty()) {
            missing << QStringLiteral("table %1").arg(tableName);
            continue;
        }
        ++present;
        for (const DbColumn &column : table.columns) {
            if (!columns.contains(QString::fromLatin1(column.name).toLower()))
                missing << QStringLiteral("column %1.%2").arg(tableName, column.name);
        }
    }
    if (present == 0)
        return {ProjectFileCheck::Verdict::NotProject, QStringLiteral("no project table")};
    if (!missing.isEmpty())
        return {ProjectFileCheck::Verdict::Incomplete,
                QStringLiteral("missing %1").arg(missing.join(QStringLiteral(", ")))};
    return {ProjectFileCheck::Verdict::Complete, QString()};
}
} // namespace

ProjectFileCheck::Finding ProjectFileCheck::inspect(const QString &path)
{
    if (QFileInfo(path).size() == 0)
        return {Verdict::NotProject, QStringLiteral("the file is empty")};
    if (!hasSqliteHeader(path))
        return {Verdict::NotProject, QStringLiteral("not an SQLite database")};
    SqliteConnector connector(nullptr, CheckConnection);
    connector.setDatabaseName(path);
    connector.setReadOnly(true);
    if (!connector.open())
        return {Verdict::NotProject, QStringLiteral("the database cannot be read")};
    return compareWithSchema(connector.database());
}

QString ProjectFileCheck::upgradedCopy(const QString &path, const QString &folder, QString *reason)
{
    const QString copy = folder + QStringLiteral("/upgraded.sclpro");
    QFile::remove(copy);
    if (!QFile::copy(path, copy)) {
        *reason = QStringLiteral("the file cannot be copied to upgrade it");
        return QString();
    }
    // A read-only source gives a read-only copy.
    QFile::setPermissions(copy, QFile::permissions(copy) | QFile::WriteOwner | QFile::ReadOwner);
    {
        SqliteConnector connector(nullptr, UpgradeConnection);
        connector.setDatabaseName(copy);
        if (!connector.open()) {
            *reason = QStringLiteral("the database cannot be read");
            return QString();
        }
        if (!Iec61850DbManager(&connector).upgradeProject(reason))
            return QString();
    }
    const Finding upgraded = inspect(copy);
    if (upgraded.verdict != Verdict::Complete) {
        *reason = upgraded.reason;
        return QString();
    }
    return copy;
}

bool ProjectFileCheck::isProject(const QString &path, QString *reason)
{
    const Finding finding = inspect(path);
    if (finding.verdict == Verdict::Complete)
        return true;
    if (finding.verdict == Verdict::NotProject) {
        *reason = finding.reason;
        return false;
    }
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        *reason = QStringLiteral("no temporary folder to upgrade a copy in");
        return false;
    }
    return !upgradedCopy(path, scratch.path(), reason).isEmpty();
}
