// The parse run as a whole: listing IEDs, the model's shape, logical device and
// node records, the name plate and the connection settings.

#include "sclparseobserver.h"
#include "sclparser.h"
#include "sclparsertesthelpers.h"

#include <QAbstractItemModelTester>
#include <QtTest>

namespace {
struct RecordingObserver : SclParseObserver
{
    QStringList log;
    int value = -1;
    int maximum = -1;
    QString status;

    void parseLogged(const QString &line) override { log << line; }
    void parseProgressed(int done, int of) override
    {
        value = done;
        maximum = of;
    }
    void parseStatusChanged(const QString &text) override { status = text; }
};
} // namespace

class TestSclParser : public QObject
{
    Q_OBJECT

private slots:
    void listsIedNames_data();
    void listsIedNames();
    void buildsRootsAndBranches();
    void unknownIedBuildsOnlyRoots_data();
    void unknownIedBuildsOnlyRoots();
    void recordsOnlyLnElementsAsLogicalNodes();
    void readsNamePlateRevision_data();
    void readsNamePlateRevision();
    void fillsConnectionRows_data();
    void fillsConnectionRows();
    void keepsEarlierValuesWhenNotFound();
    void reportsToObserver();
    void parseWithoutLoadedFileFails();
    void loadingAnotherFileReplacesTheFirst();
    void readsLargeFileWithProgress();
};

void TestSclParser::listsIedNames_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("named, nested, empty; unnamed and prefixed skipped")
        << fixture("names.scd") << QStringList{"First", "Nested", "", "Last"};
    QTest::newRow("the document element itself is not listed")
        << fixture("rootied.scd") << QStringList{"Child"};
    QTest::newRow("every IED element, duplicates included")
        << fixture("devices.scd")
        << QStringList{"D1", "P1", "N1", "NoLn", "NoLDevice", "D1", "V1", "F1", "G1"};
    QTest::newRow("not well-formed") << fixture("notwellformed.scd") << QStringList();
    QTest::newRow("truncated") << fixture("truncated.scd") << QStringList();
    QTest::newRow("empty file") << fixture("empty.scd") << QStringList();
    QTest::newRow("missing file") << fixture("does-not-exist.scd") << QStringList();
    QTest::newRow("a folder") << fixture("") << QStringList();
}

void TestSclParser::listsIedNames()
{
    QFETCH(QString, file);
    QFETCH(QStringList, names);
    SclParser parser;
    QCOMPARE(parser.loadIedNames(file), names);
}

void TestSclParser::buildsRootsAndBranches()
{
    SclParser parser;
    QCOMPARE(parser.loadIedNames(fixture("devices.scd")).size(), 9);
    QStandardItemModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(parser.parse("D1", &model));

    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.horizontalHeaderItem(0)->text(), QString("Item"));
    QCOMPARE(model.horizontalHeaderItem(1)->text(), QString("Value"));
    QStandardItem *root = model.item(0);
    QCOMPARE(root->text(), QString("D1"));
    QVERIFY(root->icon().isNull());
    QVERIFY(!root->isEditable());
    QCOMPARE(childTexts(root), (QStringList{"Connection", "DataObjects", "DataSets", "Reports"}));
    for (int row = 0; row < 4; ++row) {
        QStandardItem *branch = root->child(row);
        QVERIFY(branch->icon().isNull());
        QVERIFY(!branch->isEditable());
        QVERIFY(!branch->data(KindRole).isValid());
        QVERIFY(!branch->data(NodeIdRole).isValid());
    }
    // Each element branch holds one IED node with id 0 and parent id -1; the
    // first IED of that name is the one parsed.
    for (const QString &branch : QStringList{"DataObjects", "DataSets", "Reports"}) {
        QStandardItem *branchRoot = nodeAt(model, {branch});
        QCOMPARE(branchRoot->rowCount(), 1);
        QStandardItem *ied = branchRoot->child(0);
        QCOMPARE(ied->text(), QString("D1"));
        QCOMPARE(ied->data(KindRole), QVariant(int(IedKind)));
        QCOMPARE(ied->data(NodeIdRole), QVariant(QString("0")));
        QCOMPARE(ied->data(ParentIdRole), QVariant(-1));
        QVERIFY(hasIcon(ied, ":/images/DEVICE.png"));
        QCOMPARE(childTexts(ied), (QStringList{"A", "B", "C"}));
        for (int row = 0; row < ied->rowCount(); ++row) {
            QCOMPARE(ied->child(row)->data(KindRole), QVariant(int(LogicalDeviceKind)));
            QCOMPARE(ied->child(row)->data(ParentIdRole), QVariant(QString("0")));
        }
    }
    QCOMPARE(nodeAt(model, {"DataObjects", "D1"})->data(SclKindRole), QVariant(int(SclIedKind)));
    QVERIFY(!nodeAt(model, {"DataSets", "D1"})->data(SclKindRole).isValid());
}

void TestSclParser::unknownIedBuildsOnlyRoots_data()
{
    QTest::addColumn<QString>("ied");
    QTest::newRow("not in the file") << "Nobody";
    QTest::newRow("LDevice without logical nodes") << "NoLn";
    QTest::newRow("no LDevice") << "NoLDevice";
}

void TestSclParser::unknownIedBuildsOnlyRoots()
{
    QFETCH(QString, ied);
    SclParser parser;
    parser.loadIedNames(fixture("devices.scd"));
    QStandardItemModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(!parser.parse(ied, &model));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.item(0)->text(), ied);
    QCOMPARE(childTexts(model.item(0)),
             (QStringList{"Connection", "DataObjects", "DataSets", "Reports"}));
    for (int row = 0; row < 4; ++row)
        QCOMPARE(model.item(0)->child(row)->rowCount(), 0);
    QVERIFY(parser.logicalNodeRecords().isEmpty());
}

void TestSclParser::recordsOnlyLnElementsAsLogicalNodes()
{
    SclParser parser;
    parser.loadIedNames(fixture("devices.scd"));
    QStandardItemModel model;
    QVERIFY(parser.parse("D1", &model));

    const QList<LnRecord> &records = parser.logicalNodeRecords();
    QCOMPARE(records.size(), 4);
    const QStringList expected{"D1|A|GGIO|T|1|", "D1|B|PTOC|T|2|X", "D1|B|LLN0|T||",
                               "D1|C|LLN0|T||"};
    for (int i = 0; i < records.size(); ++i) {
        const LnRecord &r = records.at(i);
        QCOMPARE(
            QStringList({r.iedName, r.ldInst, r.lnClass, r.lnType, r.lnInst, r.prefix}).join('|'),
            expected.at(i));
    }
    // Private, Text, comments and prefixed tags make no logical node anywhere.
    QCOMPARE(childTexts(nodeAt(model, {"DataObjects", "D1", "B"})),
             (QStringList{"XPTOC2", "LLN0"}));
    QStandardItem *ln = nodeAt(model, {"DataObjects", "D1", "B", "XPTOC2"});
    QCOMPARE(ln->data(KindRole), QVariant(int(LogicalNodeKind)));
    QVERIFY(hasIcon(ln, ":/images/LN.png"));
    // Ids: IED 0, A 1, GGIO1 2, its ST 3 with Beh 4 and stVal 5, then 18
    // constraints made and removed again with their Beh: 6 to 41.
    QCOMPARE(nodeAt(model, {"DataObjects", "D1", "B"})->data(NodeIdRole), QVariant(QString("42")));
    QCOMPARE(ln->data(NodeIdRole), QVariant(QString("43")));
    QCOMPARE(ln->data(ParentIdRole), QVariant(QString("42")));
}

void TestSclParser::readsNamePlateRevision_data()
{
    QTest::addColumn<QString>("ied");
    QTest::addColumn<QString>("configRev");
    QTest::newRow("LDevice without LN0 passed over; LN0 not the first child") << "D1"
                                                                              << "B-rev";
    QTest::newRow("any DAI below the NamPlt DOI") << "P1"
                                                  << "nested";
    QTest::newRow("none") << "N1"
                          << "";
}

void TestSclParser::readsNamePlateRevision()
{
    QFETCH(QString, ied);
    QFETCH(QString, configRev);
    SclParser parser;
    parser.loadIedNames(fixture("devices.scd"));
    QStandardItemModel model;
    QVERIFY(parser.parse(ied, &model));
    QCOMPARE(parser.namePlateRevision(), configRev);
    QStandardItem *connection = nodeAt(model, {"Connection"});
    QCOMPARE(connection->child(7, 0)->text(), QString("NamPlt.configRev"));
    QCOMPARE(connection->child(7, 1)->text(), configRev);
}

void TestSclParser::fillsConnectionRows_data()
{
    QTest::addColumn<QString>("ied");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("port");

    QTest::newRow("IP without port P") << "D1"
                                       << "10.1.1.1"
                                       << "102";
    QTest::newRow("only Address P count; the access point with the Server wins") << "P1"
                                                                                 << "10.2.2.2"
                                                                                 << "10102";
    QTest::newRow("not a ConnectedAP of an access point the IED lacks") << "V1"
                                                                        << "127.0.0.1"
                                                                        << "8102";
    QTest::newRow("the access point with a ServerAt before others") << "F1"
                                                                    << "10.3.3.3"
                                                                    << "102";
    QTest::newRow("else the first ConnectedAP with an Address") << "G1"
                                                                << "10.8.8.8"
                                                                << "102";
    QTest::newRow("no ConnectedAP still gets the rows") << "N1"
                                                        << ""
                                                        << "102";
}

void TestSclParser::fillsConnectionRows()
{
    QFETCH(QString, ied);
    QFETCH(QString, ip);
    QFETCH(QString, port);
    RecordingObserver observer;
    SclParser parser(&observer);
    parser.loadIedNames(fixture("devices.scd"));
    QStandardItemModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(parser.parse(ied, &model));
    QCOMPARE(parser.connectionInfo().ipAddress, ip);
    QCOMPARE(parser.connectionInfo().port, port);

    struct Row
    {
        const char *label;
        const char *icon;
        QString value;
        const char *editor;
    };
    const QList<Row> rows{
        {"Id", "settings", "0", ""},
        {"IED Name", "settings", ied, ""},
        {"Ip Address", "ip", ip, ""},
        {"Port", "port", port, ""},
        {"Interface", "settings", "0", ""},
        {"ConnectEnbl Signal", "settings", "-", "SignalSelect"},
        {"DevStatus Signal", "settings", "-", "SignalSelect"},
        {"NamPlt.configRev", "settings", parser.namePlateRevision(), ""},
        {"NamPlt.check ", "settings", "-", ""},
        {"ReportSets", "settings", "0", "ReportSettingsDialog"},
        {"CtlTestFlag Signal", "settings", "-", "SignalSelect"},
        {"CtlSyncCheck Signal", "settings", "-", "SignalSelect"},
        {"CtlInterlockCheck Signal", "settings", "-", "SignalSelect"},
        {"ControlOrginatorCategory", "settings", "3", ""},
        {"ControlOriginatorIdentification", "settings", "KEL", ""},
        {"TimeSyncIndication Signal", "settings", "-", "SignalSelect"},
    };
    QStandardItem *connection = nodeAt(model, {"Connection"});
    QCOMPARE(connection->rowCount(), rows.size());
    QCOMPARE(connection->columnCount(), 2);
    for (int i = 0; i < rows.size(); ++i) {
        QStandardItem *label = connection->child(i, 0);
        QStandardItem *value = connection->child(i, 1);
        QCOMPARE(label->text(), QString(rows[i].label));
        QVERIFY2(hasIcon(label, QStringLiteral(":/images/%1.png").arg(rows[i].icon)),
                 rows[i].label);
        QVERIFY(!label->isEditable());
        QVERIFY(!label->data(EditorRole).isValid());
        QCOMPARE(value->text(), rows[i].value);
        QVERIFY(value->isEditable());
        QVERIFY(value->icon().isNull());
        if (*rows[i].editor)
            QCOMPARE(value->data(EditorRole), QVariant(QString(rows[i].editor)));
        else
            QVERIFY(!value->data(EditorRole).isValid());
    }
    if (ied == "P1") {
        QVERIFY(observer.log.join(QLatin1Char('\n')).endsWith("Ip Adress:10.2.2.2\nPort:10102"));
    }
}

void TestSclParser::keepsEarlierValuesWhenNotFound()
{
    SclParser parser;
    parser.loadIedNames(fixture("devices.scd"));
    QStandardItemModel first;
    QVERIFY(parser.parse("P1", &first));
    QStandardItemModel second;
    QVERIFY(parser.parse("N1", &second));
    // N1 has neither a ConnectedAP nor a name plate: earlier values stay, the
    // port returns to the default.
    QCOMPARE(parser.connectionInfo().ipAddress, QString("10.2.2.2"));
    QCOMPARE(parser.connectionInfo().port, QString("102"));
    QCOMPARE(parser.namePlateRevision(), QString("nested"));
    QCOMPARE(nodeAt(second, {"Connection"})->child(2, 1)->text(), QString("10.2.2.2"));
    // Records of a run refer to that run's IED only.
    QCOMPARE(parser.logicalNodeRecords().size(), 1);
    QCOMPARE(parser.logicalNodeRecords().first().iedName, QString("N1"));
}

void TestSclParser::reportsToObserver()
{
    RecordingObserver observer;
    SclParser parser(&observer);
    parser.loadIedNames(fixture("model.scd"));
    QStandardItemModel model;
    QVERIFY(parser.parse("E1", &model));
    const QString text = observer.log.join(QLatin1Char('\n'));
    int at = 0;
    const QStringList headings{"\n\nparse_devices", "parse_dataobject",
                               "parse_datasets",    "Dataset Elements: E1LD1/MMXU1.TotW",
                               "parse_reports",     "\n\nparse_ipsettings"};
    for (const QString &heading : headings) {
        const int found = text.indexOf(heading, at);
        QVERIFY2(found >= at, qPrintable(heading));
        at = found;
    }
    // The last group of the run is LLN0's four report control blocks.
    QCOMPARE(observer.maximum, 4);
    QCOMPARE(observer.value, 4);
    QCOMPARE(observer.status, QString("REPORT: E1LD1/LLN0-explicit"));
}

void TestSclParser::parseWithoutLoadedFileFails()
{
    SclParser parser;
    QStandardItemModel model;
    QVERIFY(!parser.parse("E1", &model));
    QCOMPARE(model.item(0)->rowCount(), 4);

    QVERIFY(parser.loadIedNames(fixture("model.scd")).contains("E1"));
    QVERIFY(parser.loadIedNames(fixture("notwellformed.scd")).isEmpty());
    QStandardItemModel after;
    QVERIFY(!parser.parse("E1", &after));
}

void TestSclParser::loadingAnotherFileReplacesTheFirst()
{
    SclParser parser;
    QVERIFY(parser.loadIedNames(fixture("model.scd")).contains("E1"));
    QVERIFY(parser.loadIedNames(fixture("devices.scd")).contains("D1"));
    QStandardItemModel model;
    QVERIFY(!parser.parse("E1", &model));
    QStandardItemModel devices;
    QVERIFY(parser.parse("D1", &devices));
    // The type templates are those of the second file.
    QCOMPARE(childTexts(nodeAt(devices, {"DataObjects", "D1", "A", "GGIO1"})), QStringList{"ST"});
}

void TestSclParser::readsLargeFileWithProgress()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    QByteArray content = "<?xml version=\"1.0\"?>\n<SCL>\n";
    const int count = 3000;
    for (int i = 0; i < count; ++i) {
        content += QStringLiteral("<IED name=\"N%1\"><AccessPoint name=\"S1\"><Server>"
                                  "<LDevice inst=\"LD\"><LN0 lnClass=\"LLN0\" inst=\"\" "
                                  "lnType=\"T\"/></LDevice></Server></AccessPoint></IED>\n")
                       .arg(i)
                       .toUtf8();
    }
    content += "<DataTypeTemplates><LNodeType id=\"T\"><DO name=\"Beh\" type=\"E\"/>"
               "</LNodeType><DOType id=\"E\"><DA name=\"stVal\" bType=\"Enum\" fc=\"ST\"/>"
               "</DOType></DataTypeTemplates>\n</SCL>\n";
    file.write(content);
    file.close();

    RecordingObserver observer;
    SclParser parser(&observer);
    const QStringList names = parser.loadIedNames(file.fileName());
    QCOMPARE(names.size(), count);
    QCOMPARE(names.last(), QString("N%1").arg(count - 1));
    QStandardItemModel model;
    QVERIFY(parser.parse(names.last(), &model));
    QCOMPARE(childTexts(nodeAt(model, {"DataObjects", names.last(), "LD", "LLN0", "ST", "Beh"})),
             QStringList{"stVal{ST,Enum}"});
    QVERIFY(observer.value <= observer.maximum);
}

QTEST_MAIN(TestSclParser)
#include "tst_sclparser.moc"
