// The store on real project files: statements at once and in batches, row
// writing and reading, cell updates, and files it must not damage.

#include "iec61850dbmanager.h"
#include "sclmodel.h"
#include "sqliteconnector.h"

#include <QFile>
#include <QSqlQuery>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestIec61850DbManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tableExistsNeedsAnOpenDatabase();
    void tableExistsTakesTheNameAsText();
    void executeStatementGivesTheRowId();
    void commitRunsTheBatchAsOneTransaction();
    void commitOfAnEmptyBatch();
    void commitKeepsTheOrderOfQueuedRows();
    void commitOnAClosedDatabaseDropsTheBatch();
    void hostileTextsRoundTrip_data();
    void hostileTextsRoundTrip();
    void integerColumnsTakeNumbers();
    void updateCell_data();
    void updateCell();
    void updateCellRunsAtOnce();
    void deleteRowsAndClearSelectionTables_data();
    void deleteRowsAndClearSelectionTables();
    void selectRowsReadsNullAsEmptyText();
    void failedSelectSaysWhy_data();
    void failedSelectSaysWhy();

private:
    bool openProject(const QString &name = QStringLiteral("p.sclpro"));
    int count(const QString &table);

    std::unique_ptr<QTemporaryDir> dir;
    QString path;
    std::unique_ptr<SqliteConnector> connector;
    std::unique_ptr<Iec61850DbManager> db;
};

bool TestIec61850DbManager::openProject(const QString &name)
{
    db.reset();
    connector.reset();
    path = dir->filePath(name);
    connector = std::make_unique<SqliteConnector>();
    connector->setDatabaseName(path);
    if (!connector->open())
        return false;
    db = std::make_unique<Iec61850DbManager>(connector.get());
    db->createSelectionTables();
    db->createModelTables();
    return true;
}

int TestIec61850DbManager::count(const QString &table)
{
    QSqlQuery query(connector->database());
    if (!query.exec(QStringLiteral("SELECT count(*) FROM %1").arg(table)) || !query.next())
        return -1;
    return query.value(0).toInt();
}

void TestIec61850DbManager::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(openProject());
}

void TestIec61850DbManager::cleanup()
{
    db.reset();
    connector.reset();
    dir.reset();
}

void TestIec61850DbManager::tableExistsNeedsAnOpenDatabase()
{
    QVERIFY(connector->tableExists(QStringLiteral("iec61850_reports")));
    QVERIFY(!connector->tableExists(QStringLiteral("iec61850_nothing")));
    db.reset();
    connector.reset();
    SqliteConnector closed;
    closed.setDatabaseName(path);
    QVERIFY(!closed.tableExists(QStringLiteral("iec61850_reports")));
}

void TestIec61850DbManager::tableExistsTakesTheNameAsText()
{
    QVERIFY(!connector->tableExists(QStringLiteral("x' OR '1'='1")));
    QVERIFY(db->executeStatement(QStringLiteral("CREATE TABLE `it's` (a)")) != -1);
    QVERIFY(connector->tableExists(QStringLiteral("it's")));
}

void TestIec61850DbManager::executeStatementGivesTheRowId()
{
    QStandardItemModel signalList;
    signalList.appendRow({new QStandardItem("1"), new QStandardItem("40001"),
                          new QStandardItem("Q1 open"), new QStandardItem("DI")});
    QList<QStandardItem *> row;
    for (int column = 0; column < 4; ++column)
        row.append(signalList.item(0, column));
    QCOMPARE(db->executeStatement(db->insertStatement(row, SignalsTable)), 1);
    QCOMPARE(db->executeStatement(db->insertStatement(row, SignalsTable)), 2);

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Error with the sql: .*no such table"));
    QTest::ignoreMessage(QtDebugMsg, "INSERT INTO nowhere VALUES (1)");
    QCOMPARE(db->executeStatement(QStringLiteral("INSERT INTO nowhere VALUES (1)")), -1);
}

void TestIec61850DbManager::commitRunsTheBatchAsOneTransaction()
{
    db->queueStatement(QStringLiteral("INSERT INTO iec61850_signals_pro (label) VALUES ('a')"));
    db->queueStatement(QStringLiteral("INSERT INTO iec61850_signals_pro (nothing) VALUES ('b')"));
    db->queueStatement(QStringLiteral("INSERT INTO iec61850_signals_pro (label) VALUES ('c')"));
    QCOMPARE(db->pendingStatements().size(), 3);
    QTest::ignoreMessage(QtDebugMsg, "Failed to execute statement");
    QVERIFY(!db->commitQueued());
    QVERIFY(db->pendingStatements().isEmpty());
    QCOMPARE(count(QStringLiteral("iec61850_signals_pro")), 0);

    // The connection is usable afterwards: no transaction was left open.
    db->queueStatement(QStringLiteral("INSERT INTO iec61850_signals_pro (label) VALUES ('a')"));
    QVERIFY(db->commitQueued());
    QCOMPARE(count(QStringLiteral("iec61850_signals_pro")), 1);
}

void TestIec61850DbManager::commitOfAnEmptyBatch()
{
    QVERIFY(db->commitQueued());
    QVERIFY(db->pendingStatements().isEmpty());
}

void TestIec61850DbManager::commitKeepsTheOrderOfQueuedRows()
{
    // Rows of two tables interleaved with a plain statement, more rows than
    // go into one statement: every row lands, in queue order.
    QStandardItemModel model;
    for (int i = 0; i < 450; ++i) {
        auto *node = new QStandardItem(QStringLiteral("node '%1'").arg(i));
        node->setData(QString::number(i), NodeIdRole);
        node->setData(i == 0 ? QVariant(-1) : QVariant(QString::number(i - 1)), ParentIdRole);
        model.appendRow(node);
        db->insertRow({node}, i % 3 == 0 ? DatasetsModelTable : DataObjectsModelTable, true);
        if (i == 200)
            db->queueStatement(QStringLiteral("DELETE FROM iec61850_datasets_and_objects_pro"));
    }
    QVERIFY(db->commitQueued());
    QCOMPARE(count(QStringLiteral("iec61850_data_objects_pro")), 300);
    QCOMPARE(count(QStringLiteral("iec61850_datasets_and_objects_pro")), 83);
    QSqlQuery query(connector->database());
    QVERIFY(query.exec(
        QStringLiteral("SELECT id, attr_reference FROM iec61850_data_objects_pro ORDER BY db_id")));
    int previous = -1;
    while (query.next()) {
        QVERIFY(query.value(0).toInt() > previous);
        previous = query.value(0).toInt();
        QCOMPARE(query.value(1).toString(), QStringLiteral("node '%1'").arg(previous));
    }
    QCOMPARE(previous, 449);
}

void TestIec61850DbManager::commitOnAClosedDatabaseDropsTheBatch()
{
    db->queueStatement(QStringLiteral("INSERT INTO iec61850_signals_pro (label) VALUES ('a')"));
    QSqlDatabase handle = connector->database();
    handle.close();
    QVERIFY(!db->commitQueued());
    QVERIFY(db->pendingStatements().isEmpty());

    // The next save writes its own rows only.
    QVERIFY(handle.open());
    db->queueStatement(QStringLiteral("INSERT INTO iec61850_signals_pro (label) VALUES ('b')"));
    QVERIFY(db->commitQueued());
    QSqlQuery query(handle);
    QVERIFY(query.exec(QStringLiteral("SELECT label FROM iec61850_signals_pro")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString(), QStringLiteral("b"));
    QVERIFY(!query.next());
}

void TestIec61850DbManager::hostileTextsRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("apostrophe") << QStringLiteral("Breaker 'Q0' open");
    QTest::newRow("closing the literal") << QStringLiteral("x'); DROP TABLE iec61850_reports; --");
    QTest::newRow("closing the statement")
        << QStringLiteral("a'; DELETE FROM iec61850_signals_pro; '");
    QTest::newRow("doubled apostrophes") << QStringLiteral("''''");
    QTest::newRow("backticks and quotes") << QStringLiteral("`\"name\"`");
    QTest::newRow("non-Latin") << QStringLiteral("Schalter \u00d6ffnen \u2013 \u6e2c\u5b9a");
    QTest::newRow("percent signs") << QStringLiteral("%1 %2 100%");
}

void TestIec61850DbManager::hostileTextsRoundTrip()
{
    QFETCH(QString, text);
    QStandardItemModel signalList;
    signalList.appendRow({new QStandardItem("7"), new QStandardItem("8"), new QStandardItem(text),
                          new QStandardItem(text)});
    QList<QStandardItem *> row;
    for (int column = 0; column < 4; ++column)
        row.append(signalList.item(0, column));
    db->insertRow(row, SignalsTable, true);
    db->insertRow(row, SignalsTable, false);
    QVERIFY(db->commitQueued());

    // The same texts through a connection row and a cell update.
    QList<QStandardItem *> connection;
    for (int column = 0; column < 16; ++column)
        connection.append(new QStandardItem(column == 0 ? QStringLiteral("0") : text));
    db->insertRow(connection, ConnectionsTable, false);
    qDeleteAll(connection);

    QCOMPARE(count(QStringLiteral("iec61850_reports")), 0);
    const QList<QList<QStandardItem *>> rows = db->selectRows(SignalsTable, QString());
    QCOMPARE(rows.size(), 2);
    for (const QList<QStandardItem *> &stored : rows) {
        QCOMPARE(stored.size(), 5);
        QCOMPARE(stored.at(1)->text(), QStringLiteral("7"));
        QCOMPARE(stored.at(3)->text(), text);
        QCOMPARE(stored.at(4)->text(), text);
        qDeleteAll(stored);
    }
    const QVector<QStringList> connections = db->selectTexts(ConnectionsTable, QString());
    QCOMPARE(connections.size(), 1);
    QCOMPARE(connections.first().at(1), text);
    QCOMPARE(connections.first().at(15), text);
    const QVector<QStringList> condition = db->selectTexts(
        SignalsTable, QStringLiteral("label=%1").arg("'" + QString(text).replace("'", "''") + "'"));
    QCOMPARE(condition.size(), 2);
}

void TestIec61850DbManager::integerColumnsTakeNumbers()
{
    QStandardItemModel signalList;
    signalList.appendRow({new QStandardItem(""), new QStandardItem("abc"),
                          new QStandardItem("NoRef"), new QStandardItem("")});
    QList<QStandardItem *> row;
    for (int column = 0; column < 4; ++column)
        row.append(signalList.item(0, column));
    db->insertRow(row, SignalsTable, false);
    QSqlQuery query(connector->database());
    QVERIFY(query.exec(QStringLiteral(
        "SELECT typeof(block_number), block_number, typeof(address), address, label, type "
        "FROM iec61850_signals_pro")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString(), QStringLiteral("integer"));
    QCOMPARE(query.value(1).toInt(), 0);
    QCOMPARE(query.value(2).toString(), QStringLiteral("integer"));
    QCOMPARE(query.value(3).toInt(), 0);
    QCOMPARE(query.value(4).toString(), QStringLiteral("NoRef"));
    QCOMPARE(query.value(5).toString(), QString());
}

namespace {

// A connection tree as the loader builds it: caption and value per table column.
QStandardItem *connectionTree(QStandardItemModel &model, const QString &id)
{
    auto *connection = new QStandardItem(QStringLiteral("Connection"));
    model.appendRow(connection);
    for (int row = 0; row < 16; ++row) {
        connection->appendRow({new QStandardItem(QStringLiteral("caption %1").arg(row)),
                               new QStandardItem(row == 0 ? id : QStringLiteral("v"))});
    }
    return connection;
}

} // namespace

void TestIec61850DbManager::updateCell_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("row"); // of the connection tree, or -1 for a selection row
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("statement");

    QTest::newRow("port, a number, unquoted")
        << "iec61850_connectionsv2" << 3 << 1 << "2404"
        << "UPDATE iec61850_connectionsv2 SET port_number=2404 WHERE id=0;";
    QTest::newRow("IED name, a text, quoted")
        << "iec61850_connectionsv2" << 1 << 1 << "BAY1_PROT"
        << "UPDATE iec61850_connectionsv2 SET name='BAY1_PROT' WHERE id=0;";
    QTest::newRow("signal with an apostrophe")
        << "iec61850_connectionsv2" << 5 << 1 << "Q0 'close'"
        << "UPDATE iec61850_connectionsv2 SET connect_enable='Q0 ''close''' WHERE id=0;";
    QTest::newRow("a statement where a number belongs")
        << "iec61850_connectionsv2" << 9 << 1 << "1 WHERE 1=1 --"
        << "UPDATE iec61850_connectionsv2 SET reportSettings=0 WHERE id=0;";
    QTest::newRow("last connection column")
        << "iec61850_connectionsv2" << 15 << 1 << "Sync"
        << "UPDATE iec61850_connectionsv2 SET timesycIndication='Sync' WHERE id=0;";
    QTest::newRow("control model as its code")
        << "iec61850_data_objects" << -1 << 6 << "SBO"
        << "UPDATE iec61850_data_objects SET ctlModel=2 WHERE id=5 AND con_id=0;";
    QTest::newRow("selection signal")
        << "iec61850_data_objects" << -1 << 3 << "RT1"
        << "UPDATE iec61850_data_objects SET readtrig_signal='RT1' WHERE id=5 AND con_id=0;";
    QTest::newRow("data set MMS type")
        << "iec61850_datasets_and_objects" << -1 << 6 << "MMS_FLOAT"
        << "UPDATE iec61850_datasets_and_objects SET mms_type=6 WHERE id=5 AND con_id=0;";
    QTest::newRow("beyond the last column") << "iec61850_reports" << -1 << 15 << "x"
                                            << "";
    QTest::newRow("unknown table") << "iec61850_signals_pro" << -1 << 2 << "x"
                                   << "";
}

void TestIec61850DbManager::updateCell()
{
    QFETCH(QString, table);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, statement);

    QStandardItemModel model;
    QStandardItem *cell = nullptr;
    if (row >= 0) {
        cell = connectionTree(model, QStringLiteral("0"))->child(row, column);
    } else {
        QList<QStandardItem *> cells;
        for (int c = 0; c < 16; ++c)
            cells.append(new QStandardItem());
        cells.first()->setData(QStringLiteral("5"), NodeIdRole);
        cells.first()->setData(0, ConnectionIdRole);
        model.appendRow(cells);
        cell = model.item(0, column);
    }
    cell->setText(text);
    QCOMPARE(db->updateCellStatement(table, cell), statement);
}

void TestIec61850DbManager::updateCellRunsAtOnce()
{
    QList<QStandardItem *> values;
    for (int column = 0; column < 16; ++column)
        values.append(new QStandardItem(column == 0 ? QStringLiteral("0") : QStringLiteral("-")));
    db->insertRow(values, ConnectionsTable, false);
    qDeleteAll(values);

    QStandardItemModel model;
    QStandardItem *connection = connectionTree(model, QStringLiteral("0"));
    connection->child(3, 1)->setText(QStringLiteral("2404"));
    db->updateCell(QStringLiteral("iec61850_connectionsv2"), connection->child(3, 1));
    connection->child(1, 1)->setText(QStringLiteral("O'Neil IED"));
    db->updateCell(QStringLiteral("iec61850_connectionsv2"), connection->child(1, 1));
    db->updateCell(QStringLiteral("iec61850_connectionsv2"), nullptr);

    const QVector<QStringList> rows = db->selectTexts(ConnectionsTable, QString());
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().at(3), QStringLiteral("2404"));
    QCOMPARE(rows.first().at(1), QStringLiteral("O'Neil IED"));

    // A row without a node id is no stored row.
    QStandardItemModel selection;
    selection.appendRow({new QStandardItem(QStringLiteral("x")), new QStandardItem()});
    QCOMPARE(db->updateCellStatement(QStringLiteral("iec61850_data_objects"), selection.item(0, 1)),
             QString());
    selection.item(0)->setData(-1, NodeIdRole);
    QCOMPARE(db->updateCellStatement(QStringLiteral("iec61850_data_objects"), selection.item(0, 1)),
             QString());
}

void TestIec61850DbManager::deleteRowsAndClearSelectionTables_data()
{
    QTest::addColumn<bool>("keepConnections");
    QTest::newRow("save keeps the connection") << true;
    QTest::newRow("everything") << false;
}

void TestIec61850DbManager::deleteRowsAndClearSelectionTables()
{
    QFETCH(bool, keepConnections);
    for (const char *table :
         {"iec61850_data_objects", "iec61850_datasets_and_objects", "iec61850_reports",
          "iec61850_connectionsv2", "iec61850_data_objects_pro"}) {
        QVERIFY(db->executeStatement(QStringLiteral("INSERT INTO %1 (id) VALUES (1)").arg(table)) !=
                -1);
    }
    QTest::ignoreMessage(QtDebugMsg, "delete from `iec61850_data_objects` ;");
    db->clearSelectionTables(keepConnections);
    QCOMPARE(count("iec61850_data_objects"), 0);
    QCOMPARE(count("iec61850_datasets_and_objects"), 0);
    QCOMPARE(count("iec61850_reports"), 0);
    QCOMPARE(count("iec61850_connectionsv2"), keepConnections ? 1 : 0);
    QCOMPARE(count("iec61850_data_objects_pro"), 1);

    db->deleteRows(QStringLiteral("iec61850_data_objects_pro"));
    QCOMPARE(count("iec61850_data_objects_pro"), 0);
}

void TestIec61850DbManager::selectRowsReadsNullAsEmptyText()
{
    QVERIFY(db->executeStatement(QStringLiteral(
                "INSERT INTO iec61850_data_objects_pro (id, type, parent_id, attr_reference) "
                "VALUES ('seven', NULL, 3, 'Pos')")) != -1);
    const QList<QList<QStandardItem *>> rows =
        db->selectRows(DataObjectsModelTable, QStringLiteral("parent_id=3"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().size(), 11);
    QCOMPARE(rows.first().at(1)->text(), QStringLiteral("seven"));
    QCOMPARE(rows.first().at(3)->text(), QString());
    QCOMPARE(rows.first().at(10)->text(), QStringLiteral("Pos"));
    qDeleteAll(rows.first());
}

void TestIec61850DbManager::failedSelectSaysWhy_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("reason");
    QTest::newRow("table dropped") << "DROP TABLE iec61850_reports_pro"
                                   << "no such table";
    QTest::newRow("column dropped") << "ALTER TABLE iec61850_reports_pro DROP COLUMN rpt_id"
                                    << "no such column";
    QTest::newRow("database closed") << QString()
                                     << "iec61850_reports_pro could not be read: "
                                        "the project file is not open";
}

void TestIec61850DbManager::failedSelectSaysWhy()
{
    QFETCH(QString, damage);
    QFETCH(QString, reason);
    QVERIFY(db->executeStatement(
                QStringLiteral("INSERT INTO iec61850_reports_pro (id) VALUES (1)")) != -1);
    if (damage.isEmpty()) {
        QSqlDatabase handle = connector->database();
        handle.close();
        QTest::ignoreMessage(QtWarningMsg, "QSqlQuery::exec: database not open");
    } else {
        QVERIFY(db->executeStatement(damage) != -1);
    }
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(".*"));
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression("^SELECT db_id, .* FROM iec61850_reports_pro"));
    QString error;
    QVERIFY(db->selectRows(ReportsModelTable, QString(), &error).isEmpty());
    QVERIFY2(error.contains(reason), qPrintable(error));

    // A table that is there and empty reads as no rows and no error.
    QString none;
    if (damage.isEmpty())
        return;
    QVERIFY(db->selectTexts(SignalsTable, QString(), &none).isEmpty());
    QCOMPARE(none, QString());
}

QTEST_MAIN(TestIec61850DbManager)
#include "tst_iec61850dbmanager.moc"
