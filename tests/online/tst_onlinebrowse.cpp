// The online browse against the simulated IED on 127.0.0.1: the three trees
// node by node, the info-screen lines, refused and silent peers, long names,
// and the test read's debug lines for each value type.

#include "iedbrowser.h"
#include "iedconnection.h"
#include "iedserverthread.h"
#include "iedsimulatormodel.h"
#include "onlinebrowse.h"
#include "sclmodel.h"
#include "testpaths.h"

#include <QElapsedTimer>
#include <QStandardItemModel>
#include <QTcpServer>
#include <QtTest>

namespace {

QStringList messages;

void collectMessages(QtMsgType, const QMessageLogContext &, const QString &message)
{
    messages.append(message);
}

// Tree A as the independent browse of the mms library sees the same server.
void expectedTreeA(const IedBrowseResult &result, QStringList &lines)
{
    // An attribute's text is its parent's without the constraint, and its
    // name with it: "AnIn1.mag.f[MX]".
    std::function<void(const QVector<BrowsedAttribute> &, const QString &, int)> attributes =
        [&](const QVector<BrowsedAttribute> &list, const QString &parent, int depth) {
            for (const BrowsedAttribute &attribute : list) {
                const QString text = parent.section('[', 0, 0) + '.' + attribute.name;
                lines.append(QString(depth, ' ') + text + " 8");
                attributes(attribute.children, text, depth + 1);
            }
        };
    for (const BrowsedLogicalDevice &device : result.logicalDevices) {
        lines.append(device.name + " 1");
        for (const BrowsedLogicalNode &node : device.logicalNodes) {
            lines.append(' ' + node.reference + " 2");
            for (const BrowsedDataObject &object : node.dataObjects) {
                lines.append("  " + object.reference + " 4");
                attributes(object.attributes, object.reference, 3);
            }
            for (const BrowsedDataSet &dataSet : node.dataSets) {
                lines.append("  " + dataSet.reference + " 5");
                for (const QString &member : dataSet.members)
                    lines.append("   " + member + " 9");
            }
            for (const BrowsedReport &report : node.unbufferedReports + node.bufferedReports)
                lines.append("  " + report.reference + (report.buffered ? " 7" : " 6"));
        }
    }
}

void treeLines(const QStandardItem *parent, int depth, QStringList &lines)
{
    for (int row = 0; row < parent->rowCount(); ++row) {
        const QStandardItem *item = parent->child(row);
        lines.append(QString(depth, ' ') + item->text() + ' ' +
                     QString::number(item->data(KindRole).toInt()));
        treeLines(item, depth + 1, lines);
    }
}

QStringList treeLines(const QStandardItemModel &model)
{
    QStringList lines;
    treeLines(model.invisibleRootItem(), 0, lines);
    return lines;
}

// An IED whose "IED1LD1/AnInGGIO1.AnIn1" [MX] holds, as element 0 of its
// element 1, a value of the given type.
std::shared_ptr<MmsServerModel> testReadModel(const MmsTypeSpec &type, const MmsValue &value)
{
    auto model = std::make_shared<MmsServerModel>();
    MmsTypeSpec inner;
    inner.addComponent("v", type);
    MmsTypeSpec mag;
    mag.addComponent("f", MmsTypeSpec::floatingPoint());
    MmsTypeSpec object;
    object.addComponent("mag", mag);
    object.addComponent("x", inner);
    MmsTypeSpec constraint;
    constraint.addComponent("AnIn1", object);
    MmsTypeSpec node;
    node.addComponent("MX", constraint);
    const MmsValue objectValue = MmsValue::structure(
        {MmsValue::structure({MmsValue::floatingPoint(1.5f)}), MmsValue::structure({value})});
    model->domain("IED1LD1").variables.append(
        {"AnInGGIO1", node, MmsValue::structure({MmsValue::structure({objectValue})})});
    model->finish();
    return model;
}

} // namespace

class TestOnlineBrowse : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void browseFillsTheThreeTrees_data();
    void browseFillsTheThreeTrees();
    void infoScreenLines();
    void refusedConnection();
    void deviceGoingAwayCutsTheBrowseShort();
    void silentPeerTimesOut();
    void addressOfMaxLength_data();
    void addressOfMaxLength();
    void longReferencesStayWhole();
    void testReadDebugLines_data();
    void testReadDebugLines();

private:
    bool serve(std::shared_ptr<const MmsServerModel> model);

    std::unique_ptr<IedServerThread> server;
    QStringList lines;
    QStandardItemModel treeA;
    QStandardItemModel treeB;
    QStandardItemModel treeC;
};

void TestOnlineBrowse::init()
{
    lines.clear();
    treeA.clear();
    treeB.clear();
    treeC.clear();
    server = std::make_unique<IedServerThread>();
}

void TestOnlineBrowse::cleanup()
{
    server->stop();
    server.reset();
}

bool TestOnlineBrowse::serve(std::shared_ptr<const MmsServerModel> model)
{
    return model && server->start(model, QHostAddress::LocalHost, 0);
}

void TestOnlineBrowse::browseFillsTheThreeTrees_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("ied");
    // GOOSE and sampled-value control blocks, with their kinds: in tree A only.
    QTest::addColumn<QStringList>("otherBlocks");
    QTest::newRow("protection unit with GOOSE")
        << sourceFile("examples/substation.scd") << "BAY1_PROT"
        << QStringList{"  BAY1_PROTCTRL/LLN0$GO$GoCB1 10"};
    QTest::newRow("merging unit with sampled values")
        << QDir(sharedDir()).filePath("scl-samples/libiec61850/sv.icd") << QString()
        << QStringList{"  TEMPLATEMUnn/LLN0$MS$MSVCB01 11"};
}

void TestOnlineBrowse::browseFillsTheThreeTrees()
{
    QFETCH(QString, file);
    QFETCH(QString, ied);
    QFETCH(QStringList, otherBlocks);
    if (!QFileInfo::exists(file))
        QSKIP_WITHOUT_SHARED();
    QString problem;
    const auto model = IedSimulatorModel::fromSclFile(file, ied, &problem);
    QVERIFY2(serve(model), qPrintable(problem + server->errorString()));

    OnlineBrowse browse([this](const QString &line) { lines.append(line); });
    QVERIFY(browse.browseIed("127.0.0.1", server->serverPort(), {&treeA, &treeB, &treeC}));

    IedConnection connection;
    QCOMPARE(connection.connect("127.0.0.1", server->serverPort()), IedClientError::Ok);
    QStringList expected;
    expectedTreeA(IedBrowser::browse(connection), expected);
    connection.close();
    QVERIFY(expected.size() > 50);
    QStringList actual = treeLines(treeA);
    const QRegularExpression otherKind(" 1[01]$");
    QCOMPARE(actual.filter(otherKind), otherBlocks);
    actual.erase(
        std::remove_if(actual.begin(), actual.end(),
                       [&](const QString &line) { return otherKind.match(line).hasMatch(); }),
        actual.end());
    for (int i = 0; i < qMin(actual.size(), expected.size()); ++i)
        QCOMPARE(actual.at(i), expected.at(i));
    QCOMPARE(actual.size(), expected.size());

    // Item details: nothing can be renamed, every node has its picture.
    QStandardItem *device = treeA.item(0);
    QVERIFY(!device->icon().isNull());
    QVERIFY(!device->child(0)->child(0)->icon().isNull());
    const QList<QStandardItem *> blocks =
        treeA.findItems(otherBlocks.value(0).trimmed().section(' ', 0, 0), Qt::MatchRecursive);
    QCOMPARE(blocks.size(), 1);
    QVERIFY(!blocks.first()->icon().isNull());
    for (const QStandardItemModel *tree : {&treeA, &treeB, &treeC}) {
        std::function<void(const QStandardItem *)> noneEditable = [&](const QStandardItem *item) {
            QVERIFY2(!item->isEditable(), qPrintable(item->text()));
            for (int row = 0; row < item->rowCount(); ++row)
                noneEditable(item->child(row));
        };
        for (int row = 0; row < tree->rowCount(); ++row)
            noneEditable(tree->item(row));
    }

    // Tree B keeps only logical nodes with data sets, tree C every logical node.
    for (int row = 0; row < treeA.rowCount(); ++row) {
        QStandardItem *deviceA = treeA.item(row);
        QStandardItem *deviceB = treeB.item(row);
        QStandardItem *deviceC = treeC.item(row);
        QCOMPARE(deviceB->text(), deviceA->text());
        QCOMPARE(deviceC->rowCount(), deviceA->rowCount());
        int withDataSets = 0;
        for (int node = 0; node < deviceA->rowCount(); ++node) {
            QStandardItem *nodeA = deviceA->child(node);
            QStringList dataSets;
            QStringList reports;
            for (int child = 0; child < nodeA->rowCount(); ++child) {
                const int kind = nodeA->child(child)->data(KindRole).toInt();
                if (kind == DataSetKind)
                    dataSets.append(nodeA->child(child)->text());
                if (kind == UnbufferedReportKind || kind == BufferedReportKind)
                    reports.append(nodeA->child(child)->text());
            }
            QStringList reportsC;
            for (int child = 0; child < deviceC->child(node)->rowCount(); ++child)
                reportsC.append(deviceC->child(node)->child(child)->text());
            QCOMPARE(reportsC, reports);
            if (dataSets.isEmpty())
                continue;
            QStandardItem *nodeB = deviceB->child(withDataSets++);
            QCOMPARE(nodeB->text(), nodeA->text());
            QStringList dataSetsB;
            for (int child = 0; child < nodeB->rowCount(); ++child)
                dataSetsB.append(nodeB->child(child)->text());
            QCOMPARE(dataSetsB, dataSets);
        }
        QCOMPARE(deviceB->rowCount(), withDataSets);
    }
    if (ied.isEmpty())
        return;
    // The measuring device has no data sets: its tree B item keeps no child.
    QCOMPARE(treeB.item(1)->text(), QStringLiteral("BAY1_PROTMEAS"));
    QCOMPARE(treeB.item(1)->rowCount(), 0);
    QVERIFY(treeC.item(1)->rowCount() > 0);
}

void TestOnlineBrowse::infoScreenLines()
{
    QVERIFY(
        serve(IedSimulatorModel::fromSclFile(sourceFile("examples/substation.scd"), "BAY1_PROT")));
    int pumps = 0;
    OnlineBrowse browse([this](const QString &line) { lines.append(line); });
    browse.setEventPump([&pumps] { ++pumps; });
    QVERIFY(browse.browseIed("127.0.0.1", server->serverPort(), {&treeA, &treeB, &treeC}));
    QCOMPARE(lines.value(0), QStringLiteral("Please Wait ..."));
    QCOMPARE(lines.value(1), QStringLiteral("Get logical device list..."));
    // The server's order: GGIO1 before LLN0.
    QCOMPARE(lines.value(2), QStringLiteral("BAY1_PROTCTRL/GGIO1"));
    QVERIFY2(lines.value(3).startsWith("   BAY1_PROTCTRL/GGIO1."), qPrintable(lines.value(3)));
    QVERIFY(lines.contains("       Data set: StatusDS (0)\n"));
    const int member = lines.indexOf("       Data set: StatusDS (0)\n") + 1;
    QVERIFY2(lines.value(member).startsWith("      BAY1_PROTCTRL/"),
             qPrintable(lines.value(member)));
    const QStringList reports = lines.filter(QRegularExpression("^   (RP|BR): "));
    QVERIFY(!reports.isEmpty());
    for (const QString &line : reports) {
        QVERIFY2(QRegularExpression("^   (RP|BR): BAY1_PROT\\w+/\\w+\\$(RP|BR)\\$\\w+ -> DS: \\S+$")
                     .match(line)
                     .hasMatch(),
                 qPrintable(line));
    }
    // Once after "Please Wait ..." and once before each logical node.
    QCOMPARE(pumps, 1 + lines.filter(QRegularExpression("^BAY1_PROT\\w+/\\w+$")).size());
}

void TestOnlineBrowse::refusedConnection()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    OnlineBrowse browse([this](const QString &line) { lines.append(line); });
    const OnlineBrowse::Result refused =
        browse.browseIed("127.0.0.1", port, {&treeA, &treeB, &treeC});
    QVERIFY(!refused);
    QVERIFY(!refused.connected);
    QCOMPARE(refused.error, IedClientError::ConnectionRejected);
    QCOMPARE(refused.failure,
             QStringLiteral("connect to 127.0.0.1 port %1: CONNECTION_REJECTED (5)").arg(port));
    QCOMPARE(lines, (QStringList{"Please Wait ...", "Connection failed!\n"}));
    QCOMPARE(treeA.rowCount() + treeB.rowCount() + treeC.rowCount(), 0);
    // A port the window's text makes 0 fails the same way.
    lines.clear();
    QVERIFY(!browse.browseIed("127.0.0.1", OnlineBrowse::portFromText("1o2"),
                              {&treeA, &treeB, &treeC}));
    QCOMPARE(lines.last(), QStringLiteral("Connection failed!\n"));
}

// The device goes away after the second logical node: the browse says so
// instead of passing for a smaller IED.
void TestOnlineBrowse::deviceGoingAwayCutsTheBrowseShort()
{
    QVERIFY(
        serve(IedSimulatorModel::fromSclFile(sourceFile("examples/substation.scd"), "BAY1_PROT")));
    int pumps = 0;
    OnlineBrowse browse([this](const QString &line) { lines.append(line); });
    browse.setTimeouts(2000, 2000);
    browse.setEventPump([&] {
        if (++pumps == 3)
            server->stop();
    });
    const OnlineBrowse::Result result =
        browse.browseIed("127.0.0.1", server->serverPort(), {&treeA, &treeB, &treeC});
    QVERIFY(!result && result.connected);
    QVERIFY2(result.failure.contains(OnlineBrowse::errorText(result.error)) &&
                 (result.error == IedClientError::ConnectionLost ||
                  result.error == IedClientError::NotConnected),
             qPrintable(result.failure));
    QCOMPARE(pumps, 3);
}

void TestOnlineBrowse::silentPeerTimesOut()
{
    // Accepts (the kernel does, with nobody reading) and never answers.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    OnlineBrowse browse([this](const QString &line) { lines.append(line); });
    browse.setTimeouts(300, 300);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!browse.browseIed("127.0.0.1", silent.serverPort(), {&treeA, &treeB, &treeC}));
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(lines.last(), QStringLiteral("Connection failed!\n"));
}

void TestOnlineBrowse::addressOfMaxLength_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("refused");
    QTest::newRow("127 characters") << 127 << false;
    QTest::newRow("128 characters") << 128 << true;
    QTest::newRow("4000 characters") << 4000 << true;
}

void TestOnlineBrowse::addressOfMaxLength()
{
    QFETCH(int, length);
    QFETCH(bool, refused);
    const QString host = QString(length, QLatin1Char('a'));
    OnlineBrowse browse([this](const QString &line) { lines.append(line); });
    browse.setTimeouts(300, 300);
    QVERIFY(!browse.browseIed(host, 102, {&treeA, &treeB, &treeC}));
    if (refused) {
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.last().contains(QString::number(length)), qPrintable(lines.last()));
    } else {
        QCOMPARE(lines.last(), QStringLiteral("Connection failed!\n"));
    }
}

void TestOnlineBrowse::longReferencesStayWhole()
{
    // Domain, node and attribute names that make references far beyond 129 characters.
    const QString device = QStringLiteral("IED_") + QString(60, 'D');
    const QString node = QStringLiteral("GGIO") + QString(20, '1');
    const QString object = QStringLiteral("Ind") + QString(40, 'x');
    const QString attribute = QStringLiteral("stVal") + QString(40, 'y');
    auto model = std::make_shared<MmsServerModel>();
    MmsTypeSpec objectType;
    objectType.addComponent(attribute, MmsTypeSpec::boolean());
    MmsTypeSpec constraint;
    constraint.addComponent(object, objectType);
    MmsTypeSpec nodeType;
    nodeType.addComponent("ST", constraint);
    model->domain(device).variables.append({node, nodeType, nodeType.defaultValue()});
    model->finish();
    QVERIFY(serve(model));

    OnlineBrowse browse([this](const QString &line) { lines.append(line); });
    QVERIFY(browse.browseIed("127.0.0.1", server->serverPort(), {&treeA, &treeB, &treeC}));
    const QString objectReference = device + '/' + node + '.' + object;
    const QString attributeReference = objectReference + '.' + attribute + "[ST]";
    QVERIFY(attributeReference.size() > 129);
    QCOMPARE(treeA.item(0)->child(0)->child(0)->text(), objectReference);
    QCOMPARE(treeA.item(0)->child(0)->child(0)->child(0)->text(), attributeReference);
    QVERIFY(lines.contains("   " + objectReference));
}

void TestOnlineBrowse::testReadDebugLines_data()
{
    QTest::addColumn<int>("typeCase");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("boolean") << 0
                             << QStringList{"Found element, type: boolean\n",
                                            " element type: MMS_BOOLEAN :1.000000 \n"};
    QTest::newRow("integer") << 1
                             << QStringList{"Found element, type: integer\n",
                                            " element type: MMS_INTEGER :-42.000000 \n"};
    QTest::newRow("unsigned") << 2
                              << QStringList{"Found element, type: unsigned\n",
                                             " element type: MMS_UNSIGNED :4000000000.000000 \n"};
    QTest::newRow("float") << 3
                           << QStringList{"Found element, type: float\n",
                                          " element type: MMS_FLOAT :2.500000 \n"};
    QTest::newRow("bit string") << 4
                                << QStringList{"Found element, type: bit-string\n",
                                               " element type: MMS_BIT_STRING :5.000000 \n"};
    QTest::newRow("visible string") << 5 << QStringList{"Found element, type: visible-string\n"};
}

void TestOnlineBrowse::testReadDebugLines()
{
    QFETCH(int, typeCase);
    QFETCH(QStringList, expected);
    const QList<QPair<MmsTypeSpec, MmsValue>> cases{
        {MmsTypeSpec::boolean(), MmsValue::boolean(true)},
        {MmsTypeSpec::integer(32), MmsValue::integer(-42)},
        {MmsTypeSpec::unsignedInteger(32), MmsValue::unsignedInteger(4000000000u)},
        {MmsTypeSpec::floatingPoint(), MmsValue::floatingPoint(2.5f)},
        {MmsTypeSpec::bitString(3), MmsValue::bitString(QByteArray(1, char(0xA0)), 3)},
        {MmsTypeSpec::visibleString(16), MmsValue::visibleString("text")},
    };
    QVERIFY(serve(testReadModel(cases.at(typeCase).first, cases.at(typeCase).second)));
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectMessages);
    OnlineBrowse browse([this](const QString &line) { lines.append(line); });
    browse.testRead("127.0.0.1", server->serverPort());
    qInstallMessageHandler(previous);
    QCOMPARE(messages, expected);
    QCOMPARE(lines, QStringList{"Please Wait ..."});
}

QTEST_MAIN(TestOnlineBrowse)
#include "tst_onlinebrowse.moc"
