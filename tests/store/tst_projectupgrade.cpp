// Opening existing files: older projects are brought up to the current tables
// and columns; files that are no project are left as they are.

#include "iec61850dbmanager.h"
#include "reportresumestore.h"
#include "sqliteconnector.h"

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestProjectUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fileWithoutSelectionTables();
    void fileWithoutAddedColumns();
    void currentFileStaysAsItIs();
    void addMissingColumnFillsDefaults_data();
    void addMissingColumnFillsDefaults();
    void addMissingColumnOfAMissingTable();
    void fileThatIsNoDatabase();
    void databaseOfAnotherProgram();
    void failedUpgradeStepIsReported_data();
    void failedUpgradeStepIsReported();

private:
    // Runs statements on a fresh file with a connection of its own.
    void prepareFile(const QStringList &statements);
    void openProject();
    QStringList tableSql();
    QStringList columns(const QString &table);
    QByteArray fileBytes();

    std::unique_ptr<QTemporaryDir> dir;
    QString path;
    std::unique_ptr<SqliteConnector> connector;
    std::unique_ptr<Iec61850DbManager> db;
};

void TestProjectUpgrade::init()
{
    dir = std::make_unique<QTemporaryDir>();
    path = dir->filePath(QStringLiteral("old.sclpro"));
}

void TestProjectUpgrade::cleanup()
{
    db.reset();
    connector.reset();
    dir.reset();
}

void TestProjectUpgrade::prepareFile(const QStringList &statements)
{
    const QString name = QStringLiteral("preparation");
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        other.setDatabaseName(path);
        QVERIFY(other.open());
        QSqlQuery query(other);
        for (const QString &sql : statements)
            QVERIFY2(query.exec(sql), qPrintable(sql));
        other.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void TestProjectUpgrade::openProject()
{
    connector = std::make_unique<SqliteConnector>();
    connector->setDatabaseName(path);
    QVERIFY(connector->open());
    db = std::make_unique<Iec61850DbManager>(connector.get());
    db->upgradeProject();
}

QStringList TestProjectUpgrade::tableSql()
{
    QSqlQuery query(connector->database());
    query.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE type='table' ORDER BY name"));
    QStringList sql;
    while (query.next())
        sql.append(query.value(0).toString());
    return sql;
}

QStringList TestProjectUpgrade::columns(const QString &table)
{
    QSqlQuery query(connector->database());
    query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    QStringList names;
    while (query.next())
        names.append(query.value(1).toString());
    return names;
}

QByteArray TestProjectUpgrade::fileBytes()
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void TestProjectUpgrade::fileWithoutSelectionTables()
{
    Iec61850DbManager schema(nullptr);
    prepareFile({schema.createStatement(DataObjectsModelTable),
                 schema.createStatement(DatasetsModelTable),
                 schema.createStatement(ReportsModelTable), schema.createStatement(SignalsTable),
                 QStringLiteral("CREATE TABLE notes (text TEXT)"),
                 QStringLiteral("INSERT INTO notes VALUES ('kept')")});
    openProject();
    for (const char *table :
         {"iec61850_connectionsv2", "iec61850_data_objects", "iec61850_datasets_and_objects",
          "iec61850_reports", "iec61850_commissioning", "iec61850_report_resume"})
        QVERIFY2(connector->tableExists(table), qPrintable(table));
    // Where each buffered block stopped: a later point replaces the earlier one.
    ReportResumeStore resume(db.get());
    QString problem;
    QVERIFY(resume.save({{"LD/LLN0$BR$a01", {QByteArray::fromHex("0000000000000007"), 1000}},
                         {"LD/LLN0$BR$b01", {QByteArray::fromHex("0000000000000002"), 0}}},
                        &problem));
    QVERIFY(resume.save({{"LD/LLN0$BR$a01", {QByteArray::fromHex("0000000000000009"), 2000}}},
                        &problem));
    const QHash<QString, ReportResumePoint> points = resume.load();
    QCOMPARE(points.size(), 2);
    QCOMPARE(points.value("LD/LLN0$BR$a01"),
             (ReportResumePoint{QByteArray::fromHex("0000000000000009"), 2000}));
    QCOMPARE(points.value("LD/LLN0$BR$b01").entryId, QByteArray::fromHex("0000000000000002"));
    QCOMPARE(columns(QStringLiteral("iec61850_connectionsv2")).size(), 16);
    QSqlQuery query(connector->database());
    QVERIFY(query.exec(QStringLiteral("SELECT text FROM notes")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString(), QStringLiteral("kept"));
}

void TestProjectUpgrade::fileWithoutAddedColumns()
{
    Iec61850DbManager schema(nullptr);
    QString objects = schema.createStatement(DataObjectsTable);
    objects.replace(QStringLiteral(", `selection_type` INTEGER, `cmdtype_signal` TEXT"), QString());
    QString objectsModel = schema.createStatement(DataObjectsModelTable);
    objectsModel.replace(QStringLiteral(", `ctlmodel` INTEGER"), QString());
    QString datasetsModel = schema.createStatement(DatasetsModelTable);
    datasetsModel.replace(
        QStringLiteral(", `sclbtype` TEXT, `mms_type` INTEGER, `ctlmodel` INTEGER"), QString());
    QString reportsModel = schema.createStatement(ReportsModelTable);
    reportsModel.replace(
        QStringLiteral(", `is_indexed` INTEGER, `max_index` INTEGER, `rpt_id` TEXT"), QString());
    QVERIFY(!objects.contains("selection_type"));
    QVERIFY(!objectsModel.contains("ctlmodel"));
    QVERIFY(!datasetsModel.contains("mms_type"));
    QVERIFY(!reportsModel.contains("is_indexed"));
    prepareFile({schema.createStatement(ConnectionsTable), objects,
                 schema.createStatement(DatasetsTable), schema.createStatement(ReportsTable),
                 objectsModel, datasetsModel, reportsModel, schema.createStatement(SignalsTable),
                 QStringLiteral("INSERT INTO iec61850_data_objects (id, con_id, type, parent_id, "
                                "attr_reference, ctlModel) VALUES (1, 0, 4, -1, 'old', 2)"),
                 QStringLiteral("INSERT INTO iec61850_data_objects_pro (id, con_id, type, "
                                "parent_id, attr_reference) VALUES (0, 0, 0, -1, 'IED')"),
                 QStringLiteral("CREATE TABLE iec61850_commissioning (point_key TEXT)")});
    openProject();
    QCOMPARE(columns(DbSchema::CommissioningName), DbSchema::commissioningTable().columnNames());
    QCOMPARE(columns(QStringLiteral("iec61850_data_objects")),
             db->schemaTable(DataObjectsTable).columnNames());
    // ALTER TABLE appends; the store names its columns in every statement, so
    // their order in the file does not matter.
    QStringList modelColumns = db->schemaTable(DataObjectsModelTable).columnNames();
    modelColumns.move(modelColumns.indexOf("ctlmodel"), modelColumns.size() - 1);
    QCOMPARE(columns(QStringLiteral("iec61850_data_objects_pro")), modelColumns);
    const QList<QPair<int, QStringList>> appended{
        {DatasetsModelTable, {"sclbtype", "mms_type", "ctlmodel"}},
        {ReportsModelTable, {"is_indexed", "max_index", "rpt_id"}}};
    for (const auto &entry : appended) {
        QStringList expected = db->schemaTable(entry.first).columnNames();
        for (const QString &column : entry.second)
            expected.move(expected.indexOf(column), expected.size() - 1);
        QCOMPARE(columns(QString::fromLatin1(db->schemaTable(entry.first).name)), expected);
    }
    QCOMPARE(db->selectTexts(DataObjectsModelTable, QString()).value(0).value(10),
             QStringLiteral("IED"));

    const QVector<QStringList> rows = db->selectTexts(DataObjectsTable, QStringLiteral("con_id=0"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().at(7), QStringLiteral("old"));
    QCOMPARE(rows.first().at(13), QStringLiteral("2"));
    QCOMPARE(rows.first().at(18), QString()); // NULL
    QCOMPARE(rows.first().at(19), QString());
    QSqlQuery query(connector->database());
    QVERIFY(query.exec(QStringLiteral("SELECT selection_type IS NULL FROM iec61850_data_objects")));
    QVERIFY(query.next());
    QVERIFY(query.value(0).toBool());

    // A second opening finds nothing more to do.
    const QStringList upgraded = tableSql();
    db->upgradeProject();
    QCOMPARE(tableSql(), upgraded);
}

void TestProjectUpgrade::currentFileStaysAsItIs()
{
    openProject();
    db->createModelTables();
    db.reset();
    connector.reset();
    const QByteArray before = fileBytes();
    QVERIFY(!before.isEmpty());
    openProject();
    db.reset();
    connector.reset();
    QCOMPARE(fileBytes(), before);
}

void TestProjectUpgrade::addMissingColumnFillsDefaults_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("fill");
    QTest::newRow("empty type is INTEGER") << QString() << "0";
    QTest::newRow("text") << "text"
                          << "";
    QTest::newRow("VARCHAR2(250)") << "VARCHAR2(250)"
                                   << "";
    QTest::newRow("TEXT in capitals keeps 0") << "TEXT"
                                              << "0";
    QTest::newRow("bigint") << "bigint"
                            << "0";
    QTest::newRow("double precision") << "double precision"
                                      << "0";
}

void TestProjectUpgrade::addMissingColumnFillsDefaults()
{
    QFETCH(QString, type);
    QFETCH(QString, fill);
    prepareFile({QStringLiteral("CREATE TABLE t (a)"), QStringLiteral("INSERT INTO t VALUES (1)")});
    openProject();
    QTest::ignoreMessage(QtDebugMsg, "Missing column added : t.b");
    QVERIFY(db->addMissingColumn(QStringLiteral("t"), QStringLiteral("b"), type, true));
    QSqlQuery query(connector->database());
    QVERIFY(query.exec(QStringLiteral("SELECT b FROM t")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString(), fill);
    // The column exists now: nothing is added or filled again.
    QVERIFY(db->addMissingColumn(QStringLiteral("t"), QStringLiteral("b"), type, true));
    QCOMPARE(columns(QStringLiteral("t")), QStringList({"a", "b"}));
}

void TestProjectUpgrade::addMissingColumnOfAMissingTable()
{
    openProject();
    QVERIFY(!db->addMissingColumn(QStringLiteral("nowhere"), QStringLiteral("b"),
                                  QStringLiteral("TEXT"), false));
    QVERIFY(!db->addMissingColumn(QStringLiteral("x' OR '1'='1"), QStringLiteral("b"),
                                  QStringLiteral("TEXT"), false));
}

void TestProjectUpgrade::fileThatIsNoDatabase()
{
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("1;2;Q1 open;DI\n").repeated(300));
    }
    const QByteArray before = fileBytes();
    connector = std::make_unique<SqliteConnector>();
    connector->setDatabaseName(path);
    if (connector->open()) {
        db = std::make_unique<Iec61850DbManager>(connector.get());
        db->upgradeProject();
        QVERIFY(db->selectTexts(ConnectionsTable, QString()).isEmpty());
        QVERIFY(!connector->tableExists(QStringLiteral("iec61850_connectionsv2")));
        db->queueStatement(QStringLiteral("INSERT INTO iec61850_signals_pro (label) VALUES ('a')"));
        QVERIFY(!db->commitQueued());
    }
    db.reset();
    connector.reset();
    QCOMPARE(fileBytes(), before);
}

void TestProjectUpgrade::databaseOfAnotherProgram()
{
    prepareFile({QStringLiteral("CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT)"),
                 QStringLiteral("INSERT INTO customers (name) VALUES ('ACME')")});
    openProject();
    // The selection tables are created beside the foreign ones, which stay.
    QVERIFY(connector->tableExists(QStringLiteral("iec61850_connectionsv2")));
    QVERIFY(!connector->tableExists(QStringLiteral("iec61850_data_objects_pro")));
    QVERIFY(db->selectTexts(ConnectionsTable, QString()).isEmpty());
    QSqlQuery query(connector->database());
    QVERIFY(query.exec(QStringLiteral("SELECT name FROM customers")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString(), QStringLiteral("ACME"));
}

void TestProjectUpgrade::failedUpgradeStepIsReported_data()
{
    Iec61850DbManager schema(nullptr);
    QStringList current;
    for (int table = ConnectionsTable; table <= SignalsTable; ++table)
        current.append(schema.createStatement(table));
    QStringList older = current;
    older[DataObjectsTable].replace(QStringLiteral(", `cmdtype_signal` TEXT"), QString());

    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only file") << older << true << "cmdtype_signal";
    QTest::newRow("commissioning name taken")
        << (current << QStringLiteral("CREATE VIEW iec61850_commissioning AS SELECT 1 AS a"))
        << false << "commissioning";
}

void TestProjectUpgrade::failedUpgradeStepIsReported()
{
    QFETCH(QStringList, statements);
    QFETCH(bool, readOnly);
    QFETCH(QString, reason);
    prepareFile(statements);
    const QByteArray before = fileBytes();
    connector = std::make_unique<SqliteConnector>();
    connector->setDatabaseName(path);
    connector->setReadOnly(readOnly);
    QVERIFY(connector->open());
    db = std::make_unique<Iec61850DbManager>(connector.get());
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Error with the sql"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^(ALTER|CREATE) TABLE"));
    QString why;
    QVERIFY(!db->upgradeProject(&why));
    QVERIFY2(why.contains(reason), qPrintable(why));
    if (readOnly)
        QCOMPARE(fileBytes(), before);
}

QTEST_MAIN(TestProjectUpgrade)
#include "tst_projectupgrade.moc"
