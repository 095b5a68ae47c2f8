// The client against the reference servers of the traces, replayed: the
// browse gives what the reference client printed, with no more round trips,
// and every request the client sends is one the reference client sent too.

#include "browsetranscript.h"
#include "cotp.h"
#include "iedbrowser.h"
#include "iedconnection.h"
#include "isomessage.h"
#include "mmsdatacodec.h"
#include "mmspdu.h"
#include "mmsservices.h"
#include "testpaths.h"
#include "tpkt.h"
#include "tracefile.h"
#include "tracereplay.h"

#include <QtTest>

class TestIedClient : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void browseMatchesReferenceClient_data();
    void browseMatchesReferenceClient();
    void readsObjectsAsReferenceClient();
    void directoryCallsAnswerFromOneNameList();
    void referencesAndStates_data();
    void referencesAndStates();
    void releaseSendsReferenceBytes();
    void abortSendsReferenceBytes();
    void logicalNodesListedAloneAreDescribed();

private:
    bool loadTrace(const QString &name, TraceFile *trace);
};

namespace {

int confirmedRequests(const TraceFile &trace)
{
    int count = 0;
    for (const TraceMessage &message : trace.fromClient()) {
        IsoMessage iso;
        MmsPdu pdu;
        if (IsoMessageCodec::decode(message.userData, &iso) && iso.kind == IsoMessage::Data &&
            MmsPduCodec::decode(iso.mms, &pdu) && pdu.kind == MmsPdu::ConfirmedRequest)
            ++count;
    }
    return count;
}

} // namespace

bool TestIedClient::loadTrace(const QString &name, TraceFile *trace)
{
    if (!trace->load(name)) {
        qWarning().noquote() << trace->errorString();
        return false;
    }
    return true;
}

void TestIedClient::init()
{
    QSKIP_WITHOUT_SHARED();
    if (TraceFile::directory().isEmpty())
        QSKIP("the MMS traces are absent from the shared folder");
}

void TestIedClient::browseMatchesReferenceClient_data()
{
    QTest::addColumn<QString>("traceName");
    QTest::addColumn<int>("maxPduSize");
    QTest::addColumn<bool>("withAttributes");
    // The reference clients of traces 05 and 07 printed data objects without attributes.
    QTest::newRow("01 basic I/O") << "01_browse_basic_io" << 65000 << true;
    QTest::newRow("05 continuation") << "05_browse_small_pdu_1000" << 1000 << false;
    QTest::newRow("06 three devices") << "06_browse_multi_ld_complexModel" << 65000 << true;
    QTest::newRow("07 segmented") << "07_browse_control_model_cotp_segmented" << 65000 << false;
}

void TestIedClient::browseMatchesReferenceClient()
{
    QFETCH(QString, traceName);
    QFETCH(int, maxPduSize);
    QFETCH(bool, withAttributes);
    TraceFile trace;
    QVERIFY(loadTrace(traceName, &trace));
    TraceReplay replay(trace);
    ScriptedPeer peer(replay.script());

    IedConnection connection;
    connection.setMaxPduSize(maxPduSize);
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);
    QCOMPARE(connection.negotiatedParameters().localDetail, maxPduSize);
    connection.resetCounters();
    const IedBrowseResult result = IedBrowser::browse(connection);
    QCOMPARE(result.error, IedClientError::Ok);
    const int roundTrips = connection.roundTrips();

    QCOMPARE(BrowseTranscript::lines(result, withAttributes),
             BrowseTranscript::referenceLines(trace.clientLines(), withAttributes));
    QCOMPARE(replay.unanswered(), 0);
    // The reference client's browse: every confirmed request but the two reads
    // that follow it.
    const int referenceRoundTrips = confirmedRequests(trace) - 2;
    QVERIFY2(roundTrips <= referenceRoundTrips,
             qPrintable(QStringLiteral("%1 round trips, the reference client needed %2")
                            .arg(roundTrips)
                            .arg(referenceRoundTrips)));
    qInfo().noquote() << traceName << "browse round trips:" << roundTrips << "reference"
                      << referenceRoundTrips;
    QCOMPARE(connection.close(), IedClientError::Ok);
    QVERIFY(!connection.isConnected());
}

void TestIedClient::readsObjectsAsReferenceClient()
{
    TraceFile trace;
    QVERIFY(loadTrace(QStringLiteral("01_browse_basic_io"), &trace));
    TraceReplay replay(trace);
    ScriptedPeer peer(replay.script());
    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);

    IedClientError error = IedClientError::Unknown;
    const MmsValue analog = connection.readObject(QStringLiteral("simpleIOGenericIO/GGIO1.AnIn1"),
                                                  QStringLiteral("MX"), &error);
    QCOMPARE(error, IedClientError::Ok);
    const MmsValue state = connection.readObject(
        QStringLiteral("simpleIOGenericIO/GGIO1.SPCSO1.stVal"), QStringLiteral("ST"), &error);
    QCOMPARE(error, IedClientError::Ok);
    const QStringList lines = trace.clientLines();
    QVERIFY(lines.contains(
        QStringLiteral("readObject simpleIOGenericIO/GGIO1.AnIn1 [MX]: type=%1 value=%2")
            .arg(analog.typeString(), analog.toText())));
    QVERIFY(lines.contains(
        QStringLiteral("readObject simpleIOGenericIO/GGIO1.SPCSO1.stVal [ST]: type=%1 value=%2")
            .arg(state.typeString(), state.toText())));

    // The fixed test read: element 1 of the value, element 0 of that.
    const MmsValue quality = analog.element(1);
    QCOMPARE(quality.type(), MmsType::BitString);
    QCOMPARE(quality.bitStringSize(), 13);
    QCOMPARE(quality.bitStringAsInteger(), 0u);
    QCOMPARE(analog.element(0).element(0).type(), MmsType::Float);
    QCOMPARE(analog.element(0).element(0).toFloat(), 0.9463f);
    QCOMPARE(state.boolean(), false);
    QCOMPARE(analog.element(2).utcTimeMs(), quint64(1796628781148ull));
    QCOMPARE(replay.unanswered(), 0);
}

void TestIedClient::directoryCallsAnswerFromOneNameList()
{
    TraceFile trace;
    QVERIFY(loadTrace(QStringLiteral("01_browse_basic_io"), &trace));
    TraceReplay replay(trace);
    ScriptedPeer peer(replay.script());
    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);
    connection.resetCounters();

    const QString ld = QStringLiteral("simpleIOGenericIO");
    IedClientError error = IedClientError::Unknown;
    QCOMPARE(connection.logicalDeviceDirectory(ld, &error),
             QStringList({"GGIO1", "LLN0", "LPHD1"}));
    QCOMPARE(error, IedClientError::Ok);
    const QString lln0 = ld + QStringLiteral("/LLN0");
    QCOMPARE(connection.logicalNodeDirectory(lln0, IedConnection::AcsiClass::Urcb),
             QStringList({"EventsIndexed01", "EventsIndexed02", "EventsIndexed03",
                          "EventsRCBPreConf01", "EventsRCB01"}));
    QCOMPARE(connection.logicalNodeDirectory(lln0, IedConnection::AcsiClass::Brcb).size(), 5);
    QCOMPARE(connection.logicalNodeDirectory(lln0, IedConnection::AcsiClass::DataObject),
             QStringList({"Mod", "NamPlt", "Beh", "Health"}));
    QCOMPARE(connection.dataDirectory(lln0 + QStringLiteral(".NamPlt")),
             QStringList({"configRev", "d", "swRev", "vendor", "ldNs"}));
    const QString spcso1 = ld + QStringLiteral("/GGIO1.SPCSO1");
    QCOMPARE(connection.dataDirectoryFc(spcso1 + QStringLiteral(".origin")),
             QStringList({"orCat[ST]", "orIdent[ST]"}));
    QCOMPARE(connection.dataDirectoryFc(spcso1 + QStringLiteral("[CO]")),
             QStringList({"Oper[CO]"}));
    // Names joined as they come, constraint and all, still find their children.
    QCOMPARE(connection.dataDirectoryFc(spcso1 + QStringLiteral(".Oper[CO].origin[CO]")),
             QStringList({"orCat[CO]", "orIdent[CO]"}));
    QCOMPARE(connection.dataDirectoryFc(spcso1 + QStringLiteral(".stVal")), QStringList());
    // Two name lists: devices are not asked for, the variables of the one once.
    QCOMPARE(connection.roundTrips(), 1);
    QCOMPARE(connection.logicalNodeDirectory(lln0, IedConnection::AcsiClass::DataSet),
             QStringList({"Events", "Events2", "Measurements"}));
    QCOMPARE(connection.logicalNodeDirectory(ld + QStringLiteral("/GGIO1"),
                                             IedConnection::AcsiClass::DataSet),
             QStringList());
    QCOMPARE(connection.roundTrips(), 2);
}

void TestIedClient::referencesAndStates_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<int>("unconnected");
    QTest::addColumn<int>("connected");
    const int invalid = int(IedClientError::ObjectReferenceInvalid);
    const int notConnected = int(IedClientError::NotConnected);
    const QString ld = QStringLiteral("simpleIOGenericIO");
    QTest::newRow("no device") << "GGIO1.AnIn1" << invalid << invalid;
    QTest::newRow("empty part") << ld + "/GGIO1..AnIn1" << invalid << invalid;
    QTest::newRow("two constraints") << ld + "/GGIO1.AnIn1[MX].q[ST]" << invalid << invalid;
    QTest::newRow("bad constraint") << ld + "/GGIO1.AnIn1[mx]" << invalid << invalid;
    QTest::newRow("unknown node") << ld + "/GGIO7.AnIn1" << notConnected
                                  << int(IedClientError::ObjectDoesNotExist);
    QTest::newRow("unknown object")
        << ld + "/GGIO1.AnIn9" << notConnected << int(IedClientError::Ok);
}

void TestIedClient::referencesAndStates()
{
    QFETCH(QString, reference);
    QFETCH(int, unconnected);
    QFETCH(int, connected);
    TraceFile trace;
    QVERIFY(loadTrace(QStringLiteral("01_browse_basic_io"), &trace));
    TraceReplay replay(trace);
    ScriptedPeer peer(replay.script());
    IedConnection connection;
    IedClientError error = IedClientError::Unknown;
    connection.dataDirectory(reference, &error);
    QCOMPARE(int(error), unconnected);
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()),
             IedClientError::AlreadyConnected);
    const QStringList names = connection.dataDirectory(reference, &error);
    QCOMPARE(int(error), connected);
    QVERIFY(names.isEmpty());
}

void TestIedClient::releaseSendsReferenceBytes()
{
    TraceFile trace;
    QVERIFY(loadTrace(QStringLiteral("02_connect_release"), &trace));
    TraceReplay replay(trace);
    ScriptedPeer peer(replay.script());
    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);
    QCOMPARE(connection.close(), IedClientError::Ok);
    QVERIFY(peer.waitForFinished(5000));

    const QList<TraceMessage> sent = trace.fromClient();
    // CR, association, conclude (in data), release (FINISH).
    QCOMPARE(sent.size(), 4);
    IsoMessage conclude;
    QVERIFY(IsoMessageCodec::decode(sent.at(2).userData, &conclude));
    QCOMPARE(replay.requests(), QList<QByteArray>({conclude.mms}));
    QCOMPARE(replay.lastControlMessage(), sent.at(3).userData);
}

void TestIedClient::abortSendsReferenceBytes()
{
    TraceFile trace;
    QVERIFY(loadTrace(QStringLiteral("03_connect_abort"), &trace));
    TraceReplay replay(trace);
    ScriptedPeer peer(replay.script());
    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);
    QCOMPARE(connection.abort(), IedClientError::Ok);
    QVERIFY(!connection.isConnected());
    QVERIFY(peer.waitForFinished(5000));
    QCOMPARE(replay.lastControlMessage(), trace.fromClient().last().userData);
    QVERIFY(replay.requests().isEmpty());
}

void TestIedClient::logicalNodesListedAloneAreDescribed()
{
    // A server that names its logical nodes only; the type of GGIO1 comes
    // from the getVariableAccessAttributes answer of trace 04.
    TraceFile trace;
    QVERIFY(loadTrace(QStringLiteral("04_get_variable_access_attributes"), &trace));
    IsoMessage typeAnswer;
    QVERIFY(IsoMessageCodec::decode(trace.fromServer().at(2).userData, &typeAnswer));
    MmsPdu typePdu;
    QVERIFY(MmsPduCodec::decode(typeAnswer.mms, &typePdu));
    const QByteArray typeService = typePdu.serviceReader().element(typePdu.service);
    TraceFile association;
    QVERIFY(loadTrace(QStringLiteral("02_connect_release"), &association));
    TraceReplay replay(association);

    ScriptedPeer peer([&](QTcpSocket &socket, ScriptedPeer &self) {
        QByteArray bytes;
        self.readTpdu(socket, &bytes);
        self.send(socket, association.fromServer().at(0).packets.first());
        self.readMessage(socket, &bytes);
        self.send(socket, association.fromServer().at(1).packets.first());
        while (self.readMessage(socket, &bytes)) {
            IsoMessage message;
            MmsPdu request;
            if (!IsoMessageCodec::decode(bytes, &message) ||
                !MmsPduCodec::decode(message.mms, &request))
                return;
            QByteArray service;
            if (request.service.tag == MmsServices::GetNameList) {
                MmsNameListRequest names;
                MmsServices::decodeGetNameListRequest(request.serviceReader(), request.service,
                                                      &names);
                service =
                    MmsServices::getNameListResponse(names.objectClass == MmsNameListRequest::Domain
                                                         ? QStringList{"simpleIOGenericIO"}
                                                         : QStringList{"GGIO1", "LPHD1"},
                                                     false);
                self.note(QStringLiteral("names"));
            } else {
                service = typeService;
                self.note(QStringLiteral("type"));
            }
            self.send(socket, Tpkt::frame(Cotp::dataTpdus(IsoMessageCodec::data(
                                                              3, MmsPduCodec::confirmedResponse(
                                                                     request.invokeId, service)),
                                                          13)
                                              .first()));
        }
    });
    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);
    const QString ggio = QStringLiteral("simpleIOGenericIO/GGIO1");
    QCOMPARE(connection.logicalNodeDirectory(ggio, IedConnection::AcsiClass::DataObject),
             QStringList({"AnIn1", "AnIn2", "AnIn3", "AnIn4", "Mod", "Beh", "Health", "SPCSO1",
                          "SPCSO2", "SPCSO3", "SPCSO4", "Ind1", "Ind2", "Ind3", "Ind4", "NamPlt"}));
    QCOMPARE(connection.dataDirectoryFc(ggio + QStringLiteral(".AnIn1")),
             QStringList({"mag[MX]", "q[MX]", "t[MX]"}));
    QCOMPARE(connection.dataDirectoryFc(ggio + QStringLiteral(".SPCSO1")),
             QStringList({"origin[ST]", "ctlNum[ST]", "stVal[ST]", "q[ST]", "t[ST]", "Oper[CO]",
                          "ctlModel[CF]"}));
    QCOMPARE(peer.notes(), QStringList({"names", "type"}));
}

QTEST_GUILESS_MAIN(TestIedClient)
#include "tst_iedclient.moc"
