// The SQL texts of the store: table definitions, column lists, value literals.

#include "dbschema.h"
#include "iec61850dbmanager.h"
#include "sclmodel.h"
#include "sqlstatement.h"
#include "sqltext.h"

#include <QStandardItem>
#include <QtTest>

class TestSqlStatement : public QObject
{
    Q_OBJECT

private slots:
    void createStatement_data();
    void createStatement();
    void insertColumnLists_data();
    void insertColumnLists();
    void selectStatement();
    void whereJoinsConditions();
    void valuesTakeTheColumnType_data();
    void valuesTakeTheColumnType();
    void literalsDoubleApostrophes_data();
    void literalsDoubleApostrophes();
    void rolesPrecedeModelColumns();
    void schemaLookups();
    void insertOfSelectionRows();
    void roleItemsFollowTheColumns();
};

void TestSqlStatement::createStatement_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<QString>("statement");
    QTest::newRow("connections")
        << int(ConnectionsTable)
        << "CREATE TABLE `iec61850_connectionsv2` (`id` INTEGER PRIMARY KEY, `name` TEXT, "
           "`ip_address` TEXT, `port_number` INTEGER, `interface_type` INTEGER, "
           "`connect_enable` TEXT, `dev_status` TEXT, `nplateConfRev` TEXT, `nplateChk` INTEGER, "
           "`reportSettings` INTEGER, `ctrlTestFlg` TEXT, `ctrlSyncChkFlg` TEXT, "
           "`ctrlIntlckChkFlg` TEXT, `ctrlOrigCat` INTEGER, `ctrlOrigIden` TEXT, "
           "`timesycIndication` TEXT)";
    QTest::newRow("data objects")
        << int(DataObjectsTable)
        << "CREATE TABLE `iec61850_data_objects` (`db_id` INTEGER PRIMARY KEY, `id` INTEGER, "
           "`con_id` INTEGER, `type` INTEGER, `parent_id` INTEGER, `depth` INTEGER, "
           "`treeindex` TEXT, `attr_reference` TEXT, `function` TEXT, `mms_type` INTEGER, "
           "`readtrig_signal` TEXT, `writetrig_signal` TEXT, `status_block` TEXT, "
           "`ctlModel` INTEGER, `result_block` TEXT, `timeact_ctrl` TEXT, "
           "`enhctrlsmdterm_block` TEXT, `ctrlerrcode_block` TEXT, `selection_type` INTEGER, "
           "`cmdtype_signal` TEXT)";
    QTest::newRow("data sets")
        << int(DatasetsTable)
        << "CREATE TABLE `iec61850_datasets_and_objects` (`db_id` INTEGER PRIMARY KEY, "
           "`id` INTEGER, `con_id` INTEGER, `type` INTEGER, `parent_id` INTEGER, "
           "`depth` INTEGER, `treeindex` TEXT, `dataset_name` TEXT, `status_block` TEXT, "
           "`trig_signal` TEXT, `rx_time` TEXT, `rx_count` TEXT, `result_block` TEXT, "
           "`mms_type` INTEGER, `datafrom_repflag_block` TEXT)";
    QTest::newRow("reports")
        << int(ReportsTable)
        << "CREATE TABLE `iec61850_reports` (`db_id` INTEGER PRIMARY KEY, `id` INTEGER, "
           "`con_id` INTEGER, `type` INTEGER, `report_refpath` TEXT, `dataset_refpath` TEXT, "
           "`trigger_type` INTEGER, `is_indexed` INTEGER, `max_index` INTEGER, "
           "`confrev_endis` INTEGER, `confrev` INTEGER, `intgpd` INTEGER, `buftime` INTEGER, "
           "`options` INTEGER, `report_endis` TEXT, `report_statsig` TEXT, "
           "`repgi_sndtrg` TEXT, `repprgbug_sndtrg` TEXT, `ignore_repcont` TEXT)";
    QTest::newRow("data objects model")
        << int(DataObjectsModelTable)
        << "CREATE TABLE `iec61850_data_objects_pro` (`db_id` INTEGER PRIMARY KEY, "
           "`id` INTEGER, `con_id` INTEGER, `type` INTEGER, `parent_id` INTEGER, "
           "`depth` INTEGER, `treeindex` TEXT, `sclbtype` TEXT, `mms_type` INTEGER, "
           "`ctlmodel` INTEGER, `attr_reference` TEXT)";
    QTest::newRow("data sets model")
        << int(DatasetsModelTable)
        << "CREATE TABLE `iec61850_datasets_and_objects_pro` (`db_id` INTEGER PRIMARY KEY, "
           "`id` INTEGER, `con_id` INTEGER, `type` INTEGER, `parent_id` INTEGER, "
           "`depth` INTEGER, `treeindex` TEXT, `sclbtype` TEXT, `mms_type` INTEGER, "
           "`ctlmodel` INTEGER, `dataset_name` TEXT)";
    QTest::newRow("reports model")
        << int(ReportsModelTable)
        << "CREATE TABLE `iec61850_reports_pro` (`db_id` INTEGER PRIMARY KEY, `id` INTEGER, "
           "`con_id` INTEGER, `type` INTEGER, `parent_id` INTEGER, `depth` INTEGER, "
           "`dataset_refpath` TEXT, `intgpd` INTEGER, `buftime` INTEGER, `confrev` INTEGER, "
           "`trigger_type` INTEGER, `options` INTEGER, `is_indexed` INTEGER, "
           "`max_index` INTEGER, `rpt_id` TEXT, `report_refpath` TEXT)";
    QTest::newRow("signals")
        << int(SignalsTable)
        << "CREATE TABLE `iec61850_signals_pro` (`db_id` INTEGER PRIMARY KEY, "
           "`block_number` INTEGER, `address` INTEGER, `label` TEXT, `type` TEXT)";
}

void TestSqlStatement::createStatement()
{
    QFETCH(int, table);
    QFETCH(QString, statement);
    Iec61850DbManager db(nullptr);
    QCOMPARE(db.createStatement(table), statement);
}

void TestSqlStatement::insertColumnLists_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("connections keep their key")
        << int(ConnectionsTable)
        << "INSERT  INTO iec61850_connectionsv2  (id, name, ip_address, port_number, "
           "interface_type, connect_enable, dev_status, nplateConfRev, nplateChk, "
           "reportSettings, ctrlTestFlg, ctrlSyncChkFlg, ctrlIntlckChkFlg, ctrlOrigCat, "
           "ctrlOrigIden, timesycIndication) VALUES (";
    QTest::newRow("reports leave db_id to SQLite")
        << int(ReportsTable)
        << "INSERT  INTO iec61850_reports  (id, con_id, type, report_refpath, dataset_refpath, "
           "trigger_type, is_indexed, max_index, confrev_endis, confrev, intgpd, buftime, "
           "options, report_endis, report_statsig, repgi_sndtrg, repprgbug_sndtrg, "
           "ignore_repcont) VALUES (";
    QTest::newRow("data objects model")
        << int(DataObjectsModelTable)
        << "INSERT  INTO iec61850_data_objects_pro  (id, con_id, type, parent_id, depth, "
           "treeindex, sclbtype, mms_type, ctlmodel, attr_reference) VALUES (";
    QTest::newRow("signals")
        << int(SignalsTable)
        << "INSERT  INTO iec61850_signals_pro  (block_number, address, label, type) VALUES (";
}

void TestSqlStatement::insertColumnLists()
{
    QFETCH(int, table);
    QFETCH(QString, prefix);
    Iec61850DbManager db(nullptr);
    QStandardItem item(QStringLiteral("x"));
    const QString statement = db.insertStatement({&item}, table);
    QVERIFY2(statement.startsWith(prefix), qPrintable(statement));
}

void TestSqlStatement::selectStatement()
{
    Iec61850DbManager db(nullptr);
    QCOMPARE(db.selectStatement(ReportsTable, QStringLiteral("con_id=3")),
             QStringLiteral("SELECT db_id, id, con_id, type, report_refpath, dataset_refpath, "
                            "trigger_type, is_indexed, max_index, confrev_endis, confrev, "
                            "intgpd, buftime, options, report_endis, report_statsig, "
                            "repgi_sndtrg, repprgbug_sndtrg, ignore_repcont  FROM "
                            "iec61850_reports WHERE con_id=3"));
    QCOMPARE(db.selectStatement(SignalsTable, QString()),
             QStringLiteral("SELECT db_id, block_number, address, label, type  FROM "
                            "iec61850_signals_pro"));
    QCOMPARE(SqlStatement().SELECT().column(QStringLiteral("last_insert_rowid()")).text(),
             QStringLiteral("SELECT last_insert_rowid()"));
    QCOMPARE(SqlStatement().SELECT().column("a").column("b").FROM("t").text(),
             QStringLiteral("SELECT a, b FROM t"));
}

void TestSqlStatement::whereJoinsConditions()
{
    SqlStatement statement;
    statement.SELECT().column("a").FROM("t").WHERE(QString()).WHERE("a=1").WHERE(QString()).WHERE(
        "b=2");
    QCOMPARE(statement.text(), QStringLiteral("SELECT a FROM t WHERE a=1 AND b=2"));
}

void TestSqlStatement::valuesTakeTheColumnType_data()
{
    QTest::addColumn<QVariant>("display");
    QTest::addColumn<QString>("portValue"); // INTEGER column
    QTest::addColumn<QString>("nameValue"); // TEXT column
    QTest::newRow("number text") << QVariant("102") << "102"
                                 << "'102'";
    QTest::newRow("empty text") << QVariant(QString()) << "0"
                                << "''";
    QTest::newRow("not a number") << QVariant("abc") << "0"
                                  << "'abc'";
    QTest::newRow("blank around a number") << QVariant(" 7 ") << "7"
                                           << "' 7 '";
    QTest::newRow("negative") << QVariant("-1") << "-1"
                              << "'-1'";
    QTest::newRow("checked box") << QVariant(true) << "1"
                                 << "'true'";
    QTest::newRow("statement in a number column") << QVariant("1); DROP TABLE x; --") << "0"
                                                  << "'1); DROP TABLE x; --'";
}

void TestSqlStatement::valuesTakeTheColumnType()
{
    QFETCH(QVariant, display);
    QFETCH(QString, portValue);
    QFETCH(QString, nameValue);
    Iec61850DbManager db(nullptr);
    const DbTable connections = db.schemaTable(ConnectionsTable);
    QStandardItem item;
    item.setData(display, Qt::DisplayRole);
    QStandardItem id(QStringLiteral("4"));
    QStandardItem ip(QStringLiteral("10.0.0.1"));
    // id (the key), name (TEXT), ip_address (TEXT), port_number (INTEGER).
    const QList<QStandardItem *> row{&id, &item, &ip, &item};
    const QString text = SqlStatement().INSERT().INTO(connections, true).VALUES(row).text();
    QVERIFY2(
        text.endsWith(QStringLiteral(" VALUES (4, %1, '10.0.0.1', %2)").arg(nameValue, portValue)),
        qPrintable(text));
}

void TestSqlStatement::literalsDoubleApostrophes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("literal");
    QTest::newRow("plain") << "Breaker Q1"
                           << "'Breaker Q1'";
    QTest::newRow("apostrophe") << "O'Neil's feeder"
                                << "'O''Neil''s feeder'";
    QTest::newRow("closing the literal") << "x'); DROP TABLE t; --"
                                         << "'x''); DROP TABLE t; --'";
    QTest::newRow("only apostrophes") << "''"
                                      << "''''''";
}

void TestSqlStatement::literalsDoubleApostrophes()
{
    QFETCH(QString, text);
    QFETCH(QString, literal);
    QCOMPARE(SqlText::literal(text), literal);
    QCOMPARE(SqlText::identifier(QStringLiteral("a`b")), QStringLiteral("`a``b`"));
}

void TestSqlStatement::rolesPrecedeModelColumns()
{
    Iec61850DbManager db(nullptr);
    for (int table = 0; table < DbSchema::TableCount; ++table) {
        const DbTable description = db.schemaTable(table);
        QVERIFY(!description.isEmpty());
        bool modelPartStarted = false;
        for (const DbColumn &column : description.columns) {
            QVERIFY(column.modelColumn < 0 || column.itemRole < 0);
            if (column.modelColumn >= 0)
                modelPartStarted = true;
            else if (modelPartStarted)
                QVERIFY2(column.itemRole < 0, column.name.constData());
            if (modelPartStarted)
                QVERIFY2(column.itemRole < 0, column.name.constData());
        }
    }
    QCOMPARE(db.firstModelColumn(ConnectionsTable), 0);
    QCOMPARE(db.firstModelColumn(DataObjectsTable), 7);
    QCOMPARE(db.firstModelColumn(DatasetsTable), 7);
    QCOMPARE(db.firstModelColumn(ReportsTable), 4);
    QCOMPARE(db.firstModelColumn(DataObjectsModelTable), 10);
    QCOMPARE(db.firstModelColumn(DatasetsModelTable), 10);
    QCOMPARE(db.firstModelColumn(ReportsModelTable), 15);
    QCOMPARE(db.firstModelColumn(SignalsTable), 0);
}

void TestSqlStatement::schemaLookups()
{
    Iec61850DbManager db(nullptr);
    QVERIFY(db.schemaTable(-1).isEmpty());
    QVERIFY(db.schemaTable(8).isEmpty());
    QCOMPARE(db.schemaTable(ReportsModelTable).name, QByteArray("iec61850_reports_pro"));
    const QStringList known{"iec61850_connectionsv2",        "iec61850_data_objects",
                            "iec61850_datasets_and_objects", "iec61850_reports",
                            "iec61850_data_objects_pro",     "iec61850_datasets_and_objects_pro",
                            "iec61850_reports_pro"};
    for (int table = 0; table < known.size(); ++table) {
        QCOMPARE(db.tableIdByName(known.at(table)), table);
        QCOMPARE(db.tableByName(known.at(table)).name, known.at(table).toLatin1());
    }
    QVERIFY(db.tableByName(QStringLiteral("iec61850_signals_pro")).isEmpty());
    QCOMPARE(db.tableIdByName(QStringLiteral("sqlite_master")), -1);
    // Table 1 and table 4 name their control model column alike but for case.
    QCOMPARE(db.schemaTable(DataObjectsTable).columns.at(13).name, QByteArray("ctlModel"));
    QCOMPARE(db.schemaTable(DataObjectsModelTable).columns.at(9).name, QByteArray("ctlmodel"));
}

void TestSqlStatement::insertOfSelectionRows()
{
    Iec61850DbManager db(nullptr);
    QList<QStandardItem *> cells;
    const QStringList texts{"IED1CTRL/XCBR1.Pos",
                            "CO",
                            "MMS_BOOLEAN",
                            "RT'1",
                            "",
                            "ST1",
                            "DOes",
                            "D1",
                            "",
                            "",
                            "",
                            "",
                            "CMD"};
    for (const QString &text : texts)
        cells.append(new QStandardItem(text));
    cells.first()->setData(QStringLiteral("12"), NodeIdRole);
    cells.first()->setData(-1, ParentIdRole);
    cells.first()->setData(DataObjectKind, KindRole);
    cells.first()->setData(3, TreeIndexRole);
    QCOMPARE(db.insertStatement(cells, DataObjectsTable),
             QStringLiteral("INSERT  INTO iec61850_data_objects  (id, con_id, type, parent_id, "
                            "depth, treeindex, attr_reference, function, mms_type, "
                            "readtrig_signal, writetrig_signal, status_block, ctlModel, "
                            "result_block, timeact_ctrl, enhctrlsmdterm_block, "
                            "ctrlerrcode_block, selection_type, cmdtype_signal) VALUES (12, 0, "
                            "4, -1, 0, '3', 'IED1CTRL/XCBR1.Pos', 'CO', 2, 'RT''1', '', 'ST1', "
                            "3, 'D1', '', '', '', 0, 'CMD')"));
    // The row is handed in unchanged.
    QCOMPARE(cells.at(2)->text(), QStringLiteral("MMS_BOOLEAN"));
    QCOMPARE(cells.at(6)->text(), QStringLiteral("DOes"));
    qDeleteAll(cells);

    QList<QStandardItem *> member;
    for (const char *text : {"m", "", "", "", "", "R1", "MMS_FLOAT", "not a type"})
        member.append(new QStandardItem(QString::fromLatin1(text)));
    QVERIFY(db.insertStatement(member, DatasetsTable)
                .endsWith(QStringLiteral("VALUES (0, 0, 0, 0, 0, '', 'm', '', '', '', '', "
                                         "'R1', 6, 'not a type')")));
    qDeleteAll(member);
}

void TestSqlStatement::roleItemsFollowTheColumns()
{
    Iec61850DbManager db(nullptr);
    QStandardItem report(QStringLiteral("E1C1/LLN0.BR.brcb"));
    report.setData(QStringLiteral("7"), NodeIdRole);
    report.setData(QStringLiteral("2"), ParentIdRole);
    report.setData(BufferedReportKind, KindRole);
    report.setData(QStringLiteral("E1C1/LLN0.ds"), DatasetRefRole);
    report.setData(5000, IntgPdRole);
    report.setData(27, TrgOpsRole);
    report.setData(4, MaxIndexRole);
    report.setData(QStringLiteral("Status"), RptIdRole);
    const QList<QStandardItem *> items = db.roleItems(&report, ReportsModelTable);
    QStringList texts;
    for (QStandardItem *item : items)
        texts.append(item->text());
    qDeleteAll(items);
    QCOMPARE(texts, QStringList({"7", "", "7", "2", "", "E1C1/LLN0.ds", "5000", "", "", "27", "",
                                 "", "4", "Status"}));
    // A flag goes into its INTEGER column as a number.
    report.setData(true, IndexedRole);
    QCOMPARE(db.insertStatement({&report}, ReportsModelTable).section(QStringLiteral("VALUES "), 1),
             QStringLiteral("(7, 0, 7, 2, 0, 'E1C1/LLN0.ds', 5000, 0, 0, 27, 0, 1, 4, 'Status', "
                            "'E1C1/LLN0.BR.brcb')"));
}

QTEST_MAIN(TestSqlStatement)
#include "tst_sqlstatement.moc"
