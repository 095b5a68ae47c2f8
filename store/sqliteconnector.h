#ifndef STATIONSCOPE_SQLITECONNECTOR_H
#define STATIONSCOPE_SQLITECONNECTOR_H

// The connection to one project file. Only one project is open at a time, so
// every connector of the open project registers under the same connection
// name; a file written or inspected beside it takes a name of its own.

#include <QObject>
#include <QSqlDatabase>
#include <QString>

class SqliteConnector : public QObject
{
    Q_OBJECT

public:
    static const QString ConnectionName;

    explicit SqliteConnector(QObject *parent = nullptr,
                             const QString &connectionName = ConnectionName);
    ~SqliteConnector() override;

    void setDatabaseName(const QString &path);
    // A read-only connection never creates, upgrades or otherwise changes the
    // file: every statement that would write fails. Set before open().
    void setReadOnly(bool readOnly);
    // Read-write, SQLite creates the file when it does not exist; read-only,
    // a missing file fails.
    bool open();
    QSqlDatabase database() const { return db; }
    bool tableExists(const QString &name) const;

private:
    QString registeredName;
    QSqlDatabase db;
};

#endif
