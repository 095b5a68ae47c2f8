// The simulated IED on 127.0.0.1, browsed by our own client: the browse gives
// what the reference client printed when it browsed the reference server
// serving the same SCL file, and every association is announced. Simulated
// values reach a subscriber as data change reports.

#include "browsetranscript.h"
#include "iedbrowser.h"
#include "iedconnection.h"
#include "iedserver.h"
#include "iedserverthread.h"
#include "iedsimulator.h"
#include "iedsimulatormodel.h"
#include "isomessage.h"
#include "mmspdu.h"
#include "reportclient.h"
#include "testpaths.h"
#include "tracefile.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestIedSimulator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void browseMatchesReferenceClient_data();
    void browseMatchesReferenceClient();
    void announcesEveryAssociation();
    void refusesSecondServerOnSamePort();
    void captureHasNoMalformedPackets();
    void simulatedValuesReachReports();

private:
    std::shared_ptr<MmsServerModel> simpleIo();
};

namespace {

QString sample(const QString &name)
{
    return QDir(sharedDir()).filePath(QStringLiteral("scl-samples/libiec61850/") + name);
}

int referenceRoundTrips(const TraceFile &trace)
{
    int count = 0;
    for (const TraceMessage &message : trace.fromClient()) {
        IsoMessage iso;
        MmsPdu pdu;
        if (IsoMessageCodec::decode(message.userData, &iso) && iso.kind == IsoMessage::Data &&
            MmsPduCodec::decode(iso.mms, &pdu) && pdu.kind == MmsPdu::ConfirmedRequest)
            ++count;
    }
    return count - 2; // the two reads after the browse
}

} // namespace

void TestIedSimulator::init()
{
    QSKIP_WITHOUT_SHARED();
    if (TraceFile::directory().isEmpty() ||
        !QFileInfo::exists(sample("simpleIO_direct_control.cid")))
        QSKIP("the MMS traces or the libiec61850 SCL samples are absent from the shared folder");
}

std::shared_ptr<MmsServerModel> TestIedSimulator::simpleIo()
{
    return IedSimulatorModel::fromSclFile(sample("simpleIO_direct_control.cid"));
}

void TestIedSimulator::browseMatchesReferenceClient_data()
{
    QTest::addColumn<QString>("traceName");
    QTest::addColumn<QString>("sclFile");
    QTest::addColumn<int>("maxPduSize");
    QTest::addColumn<bool>("withAttributes");
    QTest::newRow("01 basic I/O") << "01_browse_basic_io"
                                  << "simpleIO_direct_control.cid" << 65000 << true;
    QTest::newRow("05 small PDU") << "05_browse_small_pdu_1000"
                                  << "simpleIO_direct_control.cid" << 1000 << false;
    QTest::newRow("06 three devices") << "06_browse_multi_ld_complexModel"
                                      << "complexModel.cid" << 65000 << true;
    QTest::newRow("07 control tests") << "07_browse_control_model_cotp_segmented"
                                      << "simpleIO_control_tests.cid" << 65000 << false;
}

void TestIedSimulator::browseMatchesReferenceClient()
{
    QFETCH(QString, traceName);
    QFETCH(QString, sclFile);
    QFETCH(int, maxPduSize);
    QFETCH(bool, withAttributes);
    TraceFile trace;
    QVERIFY2(trace.load(traceName), qPrintable(trace.errorString()));
    QString problem;
    const auto model = IedSimulatorModel::fromSclFile(sample(sclFile), QString(), &problem);
    QVERIFY2(model, qPrintable(problem));
    IedServerThread server;
    QVERIFY2(server.start(model, QHostAddress::LocalHost, 0), qPrintable(server.errorString()));

    IedConnection connection;
    connection.setMaxPduSize(maxPduSize);
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), server.serverPort()),
             IedClientError::Ok);
    connection.resetCounters();
    const IedBrowseResult result = IedBrowser::browse(connection);
    QCOMPARE(result.error, IedClientError::Ok);
    QCOMPARE(BrowseTranscript::lines(result, withAttributes),
             BrowseTranscript::referenceLines(trace.clientLines(), withAttributes));
    QVERIFY(connection.roundTrips() <= referenceRoundTrips(trace));
    qInfo().noquote() << traceName << "round trips" << connection.roundTrips() << "sent"
                      << connection.bytesSent() << "received" << connection.bytesReceived();

    IedClientError error = IedClientError::Unknown;
    const MmsValue state = connection.readObject(
        result.logicalDevices.last().logicalNodes.last().reference + QStringLiteral(".Proxy.stVal"),
        QStringLiteral("ST"), &error);
    QCOMPARE(error, IedClientError::Ok);
    QCOMPARE(state.typeString(), QStringLiteral("boolean"));
    QCOMPARE(connection.close(), IedClientError::Ok);
}

void TestIedSimulator::announcesEveryAssociation()
{
    IedServerThread server;
    QVERIFY(server.start(simpleIo(), QHostAddress::LocalHost, 0));
    QSignalSpy established(&server, &IedServerThread::associationEstablished);
    QSignalSpy closed(&server, &IedServerThread::associationClosed);

    IedConnection released;
    QCOMPARE(released.connect(QStringLiteral("127.0.0.1"), server.serverPort()),
             IedClientError::Ok);
    QCOMPARE(released.close(), IedClientError::Ok);
    IedConnection aborted;
    QCOMPARE(aborted.connect(QStringLiteral("127.0.0.1"), server.serverPort()), IedClientError::Ok);
    QCOMPARE(aborted.abort(), IedClientError::Ok);
    {
        IedConnection dropped;
        QCOMPARE(dropped.connect(QStringLiteral("127.0.0.1"), server.serverPort()),
                 IedClientError::Ok);
        QCOMPARE(dropped.logicalDeviceList().size(), 1);
    }
    QTRY_COMPARE(established.count(), 3);
    QTRY_COMPARE(closed.count(), 3);
    for (const QList<QVariant> &arguments : qAsConst(established))
        QVERIFY(arguments.first().toString().startsWith(QLatin1String("127.0.0.1:")));
}

void TestIedSimulator::refusesSecondServerOnSamePort()
{
    IedServerThread first;
    QVERIFY(first.start(simpleIo(), QHostAddress::LocalHost, 0));
    QVERIFY(first.serverPort() != 0);
    IedServerThread second;
    QVERIFY(!second.start(simpleIo(), QHostAddress::LocalHost, first.serverPort()));
    QVERIFY(!second.errorString().isEmpty());
    QVERIFY(!second.isRunning());
    first.stop();
    IedConnection connection;
    connection.setConnectTimeout(2000);
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), first.serverPort()),
             IedClientError::ConnectionRejected);
}

void TestIedSimulator::captureHasNoMalformedPackets()
{
    const QString dumpcap = QStandardPaths::findExecutable(QStringLiteral("dumpcap"));
    const QString tshark = QStandardPaths::findExecutable(QStringLiteral("tshark"));
    if (dumpcap.isEmpty() || tshark.isEmpty())
        QSKIP("dumpcap and tshark are not installed");
    IedServerThread server;
    QVERIFY(server.start(simpleIo(), QHostAddress::LocalHost, 0));
    const QString port = QString::number(server.serverPort());
    QTemporaryDir directory;
    const QString file = directory.filePath(QStringLiteral("browse.pcapng"));

    QProcess capture;
    capture.setProcessChannelMode(QProcess::MergedChannels);
    capture.start(dumpcap, {"-q", "-i", "lo", "-f", "tcp port " + port, "-w", file});
    QVERIFY(capture.waitForStarted(5000));
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo(file).exists() && capture.state() == QProcess::Running &&
           waited.elapsed() < 10000)
        QTest::qWait(50);
    if (!QFileInfo(file).exists()) {
        capture.kill();
        capture.waitForFinished(5000);
        QSKIP(qPrintable(QStringLiteral("dumpcap cannot capture here: ") +
                         QString::fromLocal8Bit(capture.readAll()).trimmed()));
    }
    QTest::qWait(300); // the capture filter is in place once the file exists

    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), server.serverPort()),
             IedClientError::Ok);
    const IedBrowseResult result = IedBrowser::browse(connection);
    QCOMPARE(result.logicalDevices.size(), 1);
    QCOMPARE(connection.close(), IedClientError::Ok);
    QTest::qWait(300);
    capture.terminate();
    QVERIFY(capture.waitForFinished(10000));

    const auto count = [&](const QString &filter) {
        QProcess analysis;
        analysis.start(tshark, {"-r", file, "-d", "tcp.port==" + port + ",tpkt", "-Y", filter});
        analysis.waitForFinished(60000);
        const QString out = QString::fromLocal8Bit(analysis.readAllStandardOutput()).trimmed();
        return out.isEmpty() ? 0 : out.split(QLatin1Char('\n')).size();
    };
    QVERIFY(count(QStringLiteral("mms")) > 20);
    QCOMPARE(count(QStringLiteral("_ws.malformed || _ws.expert.severity >= error")), 0);
}

void TestIedSimulator::simulatedValuesReachReports()
{
    const auto model = simpleIo();
    IedServer server(model);
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    IedSimulator simulator(model);
    simulator.setSeed(16);
    QCOMPARE(simulator.measuredCount(), 4); // AnIn1..4 mag.f
    QCOMPARE(simulator.statusCount(), 9);   // SPCSO1..4, Ind1..4, LPHD1 Proxy
    ReportClient client(QStringLiteral("simpleIOGenericIO"));
    QVERIFY(client.associate(server.serverPort()));
    const QString rcb = QStringLiteral("LLN0$BR$Measurements01");
    const QList<MmsWriteResult> results =
        client.write({{rcb + "$TrgOps", ReportClient::bits(TriggerOptionDataChanged, 6)},
                      {rcb + "$BufTm", MmsValue::unsignedInteger(0)},
                      {rcb + "$RptEna", MmsValue::boolean(true)}});
    QCOMPARE(results, QList<MmsWriteResult>({{}, {}, {}}));
    simulator.step();
    QVERIFY(client.waitForReports(4));
    QVector<bool> changed(8, false);
    for (const Iec61850Report &report : qAsConst(client.reports)) {
        QCOMPARE(report.reasons, QVector<int>({ReasonDataChange}));
        changed[report.includedMembers().first()] = true;
    }
    // The floats changed; their q was good before and stays good.
    QCOMPARE(changed, QVector<bool>({true, false, true, false, true, false, true, false}));
    MmsTypeSpec type;
    MmsValue time;
    QVERIFY(model->find(QStringLiteral("simpleIOGenericIO"), QStringLiteral("GGIO1$MX$AnIn1$t"),
                        &type, &time));
    QVERIFY(time.utcTimeMs() > 0);
}

QTEST_MAIN(TestIedSimulator)
#include "tst_iedsimulator.moc"
