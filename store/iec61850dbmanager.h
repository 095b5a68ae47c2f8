#ifndef STATIONSCOPE_IEC61850DBMANAGER_H
#define STATIONSCOPE_IEC61850DBMANAGER_H

// The operations of the store on an open project file: the schema and its
// upgrade, running statements at once or as one transaction, and turning model
// rows into table rows and back.

#include "dbschema.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QStandardItem;
class QSqlDatabase;
class QSqlQuery;
class SqliteConnector;

class Iec61850DbManager
{
public:
    // The connector stays the caller's; it must outlive the manager.
    explicit Iec61850DbManager(SqliteConnector *connector);
    Iec61850DbManager(const Iec61850DbManager &) = delete;
    Iec61850DbManager &operator=(const Iec61850DbManager &) = delete;

    SqliteConnector *connector() const { return sqlite; }

    // Runs one statement at once; the row id of the last inserted row, or -1
    // when the statement failed.
    int executeStatement(const QString &sql);
    void queueStatement(const QString &sql);
    // Runs the queued statements as one transaction; the queue is empty
    // afterwards whatever the outcome, also when the database is closed.
    bool commitQueued();
    QStringList pendingStatements() const { return pending; }

    // Schema.
    DbTable schemaTable(int table) const;
    DbTable tableByName(const QString &name) const;
    // The id of one of the tables tableByName knows, or -1.
    int tableIdByName(const QString &name) const;
    QString createStatement(int table) const;
    bool createSelectionTables();
    bool createModelTables();
    // Adds what an older file lacks; false with the step that failed in
    // reason, and the file is then no project to work on.
    bool upgradeProject(QString *reason = nullptr);
    // Creates the commissioning record's table, or adds the columns an older
    // one lacks; false when the table cannot be made whole.
    bool ensureCommissioningTable();
    // The same for the report resume points (ReportResumeStore).
    bool ensureReportResumeTable();
    bool addMissingColumn(const QString &table, const QString &column, const QString &sqlType,
                          bool fillDefault);
    // Leading columns without a model column: where the model part of a row starts.
    int firstModelColumn(int table) const;

    // Writing rows.
    void insertRow(const QList<QStandardItem *> &row, int table, bool queue);
    QString insertStatement(const QList<QStandardItem *> &row, int table) const;
    // New items with the texts of first's roles that the table stores; the
    // caller owns them.
    QList<QStandardItem *> roleItems(const QStandardItem *first, int table) const;
    // Writes the item's value into its cell of the file, the value bound, not
    // spliced; false with why in error when it is not written. An item that
    // has no cell in the table is nothing to write.
    bool updateCell(const QString &table, QStandardItem *item, QString *error = nullptr);
    // The statement updateCell runs, or an empty text when it runs none.
    QString updateCellStatement(const QString &table, const QStandardItem *item) const;
    // Without conditions every row of the table goes.
    void deleteRows(const QString &table, const QStringList &conditions = QStringList(),
                    bool queue = false);
    // With queue the deletions join the pending batch, so a save that fails
    // keeps the rows it would have replaced.
    void clearSelectionTables(bool keepConnections, bool queue = false);

    // Reading rows.
    // A failed read gives no rows and says why in error, so it is never
    // taken for an empty table.
    QList<QList<QStandardItem *>> selectRows(int table, const QString &condition,
                                             QString *error = nullptr);
    // The same rows as texts, one per column in schema order; NULL reads as an
    // empty text. Loaders of large trees use it to create only the items they keep.
    QVector<QStringList> selectTexts(int table, const QString &condition, QString *error = nullptr);
    QString selectStatement(int table, const QString &condition) const;

    // The value a table-1 or table-2 cell is stored with: list codes for the
    // MMS type, control model and selection type columns, the text otherwise.
    static QString storedCellText(int table, int modelColumn, const QString &text);
    // The reverse for loading: the name of a stored code.
    static QString loadedCellText(int table, int modelColumn, const QString &stored);

private:
    struct CellUpdate
    {
        QString table;
        QString column;
        QVariant value;
        int id = 0;
        int connectionId = -1;
    };
    bool cellUpdate(const QString &table, const QStandardItem *item, CellUpdate *update) const;

    QSqlDatabase database() const;
    void dropPending();
    QVariantList rowValues(const QList<QStandardItem *> &row, int table) const;

    // Runs the pending statements from first on; false at the first failure.
    bool runPending(QSqlQuery &query);

    SqliteConnector *sqlite;
    QHash<int, DbTable> schema;
    QStringList pending;
    // Why the last statement executeStatement ran failed.
    QString lastStatementError;
    // Per pending statement: the length of its "INSERT ... VALUES " part when
    // insertRow queued it, else 0. Runs of rows for the same table are sent
    // as one multi-row INSERT, which saves SQLite a compilation per row.
    QVector<int> pendingValuesStart;
};

#endif
