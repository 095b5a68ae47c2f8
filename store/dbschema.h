#ifndef STATIONSCOPE_DBSCHEMA_H
#define STATIONSCOPE_DBSCHEMA_H

// The tables of a project file as the store knows them. Every SQL text of the
// store is derived from this description, so it is the file format.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

enum TableId : int {
    ConnectionsTable = 0,
    DataObjectsTable = 1,
    DatasetsTable = 2,
    ReportsTable = 3,
    DataObjectsModelTable = 4,
    DatasetsModelTable = 5,
    ReportsModelTable = 6,
    SignalsTable = 7,
};

struct DbColumn
{
    QByteArray name;
    QByteArray sqlType;
    // The column of a model row whose item holds the value, or -1.
    int modelColumn = -1;
    // The role of the row's first item that holds the value, or -1.
    int itemRole = -1;

    bool isInteger() const { return sqlType.contains("INTEGER"); }
};

struct DbTable
{
    QByteArray name;
    QVector<DbColumn> columns;

    bool isEmpty() const { return name.isEmpty(); }
    QStringList columnNames() const;
    // The position of the column bound to role, or -1.
    int columnOfRole(int role) const;
    int columnOfName(const QByteArray &columnName) const;
};

namespace DbSchema {
// The table names, by table id.
inline const QString ConnectionsName = QStringLiteral("iec61850_connectionsv2");
inline const QString DataObjectsName = QStringLiteral("iec61850_data_objects");
inline const QString DatasetsName = QStringLiteral("iec61850_datasets_and_objects");
inline const QString ReportsName = QStringLiteral("iec61850_reports");
inline const QString DataObjectsModelName = QStringLiteral("iec61850_data_objects_pro");
inline const QString DatasetsModelName = QStringLiteral("iec61850_datasets_and_objects_pro");
inline const QString ReportsModelName = QStringLiteral("iec61850_reports_pro");
inline const QString SignalsName = QStringLiteral("iec61850_signals_pro");

constexpr int TableCount = 8;

// The commissioning record: outside the tables above, since a project is
// complete without it. The upgrade of a file opened for writing adds it.
inline const QString CommissioningName = QStringLiteral("iec61850_commissioning");
DbTable commissioningTable();
// Where each buffered report control block stopped; added in the same way.
inline const QString ReportResumeName = QStringLiteral("iec61850_report_resume");
DbTable reportResumeTable();

QHash<int, DbTable> build();
// CREATE TABLE `name` (`column` TYPE, ...)
QString createStatement(const DbTable &table);
} // namespace DbSchema

#endif
