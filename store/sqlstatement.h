#ifndef STATIONSCOPE_SQLSTATEMENT_H
#define STATIONSCOPE_SQLSTATEMENT_H

// Composes the SELECT and INSERT texts of the store step by step:
//   SqlStatement().SELECT().columns(names).FROM(table).WHERE(condition)
//   SqlStatement().INSERT().INTO(table, false).VALUES(items)

#include "dbschema.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class QStandardItem;

class SqlStatement
{
public:
    SqlStatement &SELECT();
    SqlStatement &INSERT();
    SqlStatement &column(const QString &name);
    SqlStatement &columns(const QStringList &names);
    SqlStatement &FROM(const QString &table);
    // Lists the table's columns; its key db_id only with includeKey.
    SqlStatement &INTO(const DbTable &table, bool includeKey);
    // One value per item, typed by the column it lands in: INTEGER columns
    // take the integer of the item's display data, others its quoted text.
    SqlStatement &VALUES(const QList<QStandardItem *> &items);
    // The same for values already taken out of their items.
    SqlStatement &VALUES(const QVariantList &displayData);
    SqlStatement &WHERE(const QString &condition);

    QString text() const { return statement; }

    // The literal a value takes in a column of the given SQL type.
    static QString valueLiteral(const QVariant &displayData, const QByteArray &sqlType);
    static void appendValueLiteral(QString &out, const QVariant &displayData,
                                   const QByteArray &sqlType);

private:
    const DbColumn *valueColumn(int index) const;

    QString statement;
    bool firstColumn = true;
    bool whereStarted = false;
    bool includeKey = false;
    bool isInsert = false;
    DbTable table;
};

#endif
