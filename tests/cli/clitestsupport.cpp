#include "clitestsupport.h"

#include "dbschema.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

QStringList projectRows(const QString &path, const QList<int> &tables)
{
    QStringList rows;
    const QString connection = QStringLiteral("compare-%1").arg(qHash(path));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (!db.open())
            return {QStringLiteral("cannot open ") + path};
        const QHash<int, DbTable> schema = DbSchema::build();
        for (int table = 0; table < DbSchema::TableCount; ++table) {
            if (!tables.isEmpty() && !tables.contains(table))
                continue;
            const QString name = QString::fromLatin1(schema.value(table).name);
            QSqlQuery query(db);
            if (!query.exec(QStringLiteral("SELECT * FROM `%1`").arg(name))) {
                rows.append(name + QStringLiteral(": missing"));
                continue;
            }
            while (query.next()) {
                QStringList values;
                for (int column = 0; column < query.record().count(); ++column)
                    values.append(query.value(column).toString());
                rows.append(name + QLatin1Char('|') + values.join(QLatin1Char('|')));
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return rows;
}
