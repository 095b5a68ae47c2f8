#include "sqlstatement.h"

#include "sqltext.h"

#include <QHash>
#include <QPair>
#include <QStandardItem>
#include <QVariant>

#include <charconv>

SqlStatement &SqlStatement::SELECT()
{
    statement += QStringLiteral("SELECT");
    return *this;
}

SqlStatement &SqlStatement::INSERT()
{
    statement += QStringLiteral("INSERT ");
    isInsert = true;
    return *this;
}

SqlStatement &SqlStatement::column(const QString &name)
{
    if (firstColumn)
        firstColumn = false;
    else
        statement += QLatin1Char(',');
    statement += QLatin1Char(' ') + name;
    return *this;
}

SqlStatement &SqlStatement::columns(const QStringList &names)
{
    statement += isInsert ? QStringLiteral(" (") : QStringLiteral(" ");
    statement += names.join(QStringLiteral(", "));
    statement += isInsert ? QStringLiteral(") ") : QStringLiteral(" ");
    return *this;
}

SqlStatement &SqlStatement::FROM(const QString &tableName)
{
    statement += QStringLiteral(" FROM ") + tableName;
    return *this;
}

SqlStatement &SqlStatement::INTO(const DbTable &into, bool withKey)
{
    includeKey = withKey;
    table = into;
    // The column list of a table never changes; a project writes it once per row.
    static QHash<QPair<QByteArray, bool>, QString> columnLists;
    const QPair<QByteArray, bool> key(table.name, includeKey);
    auto list = columnLists.constFind(key);
    if (list == columnLists.constEnd()) {
        QStringList names = table.columnNames();
        if (!includeKey)
            names.removeAll(QStringLiteral("db_id"));
        list = columnLists.insert(
            key, QStringLiteral(" INTO %1 ").arg(QString::fromLatin1(table.name)) +
                     QStringLiteral(" (") + names.join(QStringLiteral(", ")) + QLatin1Char(')'));
    }
    statement += list.value();
    return *this;
}

const DbColumn *SqlStatement::valueColumn(int index) const
{
    const int column = includeKey ? index : index + 1;
    if (column < 0 || column >= table.columns.size())
        return nullptr;
    return &table.columns.at(column);
}

QString SqlStatement::valueLiteral(const QVariant &displayData, const QByteArray &sqlType)
{
    QString literal;
    appendValueLiteral(literal, displayData, sqlType);
    return literal;
}

void SqlStatement::appendValueLiteral(QString &out, const QVariant &displayData,
                                      const QByteArray &sqlType)
{
    if (sqlType.contains("INTEGER")) {
        bool ok = false;
        qlonglong number = 0;
        if (displayData.type() == QVariant::String)
            number = displayData.toString().trimmed().toLongLong(&ok);
        else
            number = displayData.toLongLong(&ok);
        // Digits straight into the statement: a project writes a number per column and row.
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, ok ? number : 0LL).ptr;
        out += QLatin1String(digits, int(end - digits));
        return;
    }
    const QString text = displayData.toString();
    if (text.contains(QLatin1Char('\''))) {
        out += SqlText::literal(text);
        return;
    }
    out += QLatin1Char('\'');
    out += text;
    out += QLatin1Char('\'');
}

SqlStatement &SqlStatement::VALUES(const QList<QStandardItem *> &items)
{
    QVariantList displayData;
    displayData.reserve(items.size());
    for (const QStandardItem *item : items)
        displayData.append(item ? item->data(Qt::DisplayRole) : QVariant());
    return VALUES(displayData);
}

SqlStatement &SqlStatement::VALUES(const QVariantList &displayData)
{
    statement.reserve(statement.size() + 16 + displayData.size() * 12);
    statement += QStringLiteral(" VALUES (");
    for (int i = 0; i < displayData.size(); ++i) {
        if (i > 0)
            statement += QStringLiteral(", ");
        const DbColumn *column = valueColumn(i);
        appendValueLiteral(statement, displayData.at(i), column ? column->sqlType : QByteArray());
    }
    statement += QLatin1Char(')');
    return *this;
}

SqlStatement &SqlStatement::WHERE(const QString &condition)
{
    if (condition.isEmpty())
        return *this;
    statement += (whereStarted ? QStringLiteral(" AND ") : QStringLiteral(" WHERE ")) + condition;
    whereStarted = true;
    return *this;
}
