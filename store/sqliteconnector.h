#ifndef STATIONSCOPE_SQLITECONNECTOR_H
#define STATIONSCOPE_SQLITECONNECTOR_H

// The connection to one project file. Only one project is open at a time, so
// every connector registers under the same connection name.

#include <QObject>
#include <QSqlDatabase>
#include <QString>

class SqliteConnector : public QObject
{
    Q_OBJECT

public:
    static const QString ConnectionName;

    explicit SqliteConnector(QObject *parent = nullptr);
    ~SqliteConnector() override;

    void setDatabaseName(const QString &path);
    // SQLite creates the file when it does not exist.
    bool open();
    QSqlDatabase database() const { return db; }
    bool tableExists(const QString &name) const;

private:
    QSqlDatabase db;
};

#endif
