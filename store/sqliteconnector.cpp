#include "sqliteconnector.h"

#include "sqltext.h"

#include <QDebug>
#include <QSqlError>
#include <QSqlQuery>

const QString SqliteConnector::ConnectionName = QStringLiteral("iec61850_register_db");

SqliteConnector::SqliteConnector(QObject *parent, const QString &connectionName)
    : QObject(parent), registeredName(connectionName)
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), registeredName);
}

SqliteConnector::~SqliteConnector()
{
    if (db.isOpen())
        db.close();
    // Unregister only our own connection: a newer connector may have taken
    // the name already.
    const bool registered = QSqlDatabase::database(registeredName, false).driver() == db.driver();
    db = QSqlDatabase();
    if (registered)
        QSqlDatabase::removeDatabase(registeredName);
}

void SqliteConnector::setDatabaseName(const QString &path)
{
    db.setDatabaseName(path);
}

void SqliteConnector::setReadOnly(bool readOnly)
{
    db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY") : QString());
}

bool SqliteConnector::open()
{
    if (!db.open()) {
        qDebug().noquote() << "Cannot open the project database:" << db.lastError().text();
        return false;
    }
    return true;
}

bool SqliteConnector::tableExists(const QString &name) const
{
    if (!db.isOpen())
        return false;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const QString sql =
        QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name=%1;")
            .arg(SqlText::literal(name));
    if (!query.exec(sql))
        return false;
    return query.next();
}
