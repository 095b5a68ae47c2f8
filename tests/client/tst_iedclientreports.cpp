// The client's writes, control block settings and reports against the
// reference servers of traces 08 to 10, replayed in the traces' own order:
// every request must be the reference client's to the byte, and the reports
// the server sent arrive at the handlers with the reference client's values.

#include "clientreportmatcher.h"
#include "cotp.h"
#include "eventwait.h"
#include "iedconnection.h"
#include "isomessage.h"
#include "isosession.h"
#include "mmspdu.h"
#include "mmswrite.h"
#include "scriptedpeer.h"
#include "testpaths.h"
#include "tpkt.h"
#include "tracefile.h"

#include <QtTest>

class TestIedClientReports : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void unbufferedAsReferenceClient();
    void bufferedResyncAsReferenceClient();
    void readsAndRefusedWritesAsReferenceClient();
    void floodIsBoundedAndMalformedReportsCounted();
};

namespace {

const QString Domain = QStringLiteral("simpleIOGenericIO");

// Plays the server's side of a trace message by message: reads each client
// message where the trace has one and notes any difference, and sends the
// server's messages (answers and reports) as they follow in the capture.
class InOrderReplay
{
public:
    explicit InOrderReplay(const TraceFile &trace) : trace(trace) {}

    ScriptedPeer::Script script()
    {
        return [this](QTcpSocket &socket, ScriptedPeer &peer) {
            QByteArray received;
            for (const TraceMessage &message : trace.messages()) {
                if (!message.fromClient) {
                    for (const QByteArray &packet : message.packets)
                        peer.send(socket, packet);
                    continue;
                }
                const bool data = message.tpduType == CotpTpdu::Data;
                if (!(data ? peer.readMessage(socket, &received)
                           : peer.readTpdu(socket, &received)))
                    return;
                IsoMessage ours;
                IsoMessage theirs;
                if (data && IsoMessageCodec::decode(received, &ours) &&
                    IsoMessageCodec::decode(message.userData, &theirs) &&
                    ours.kind == IsoMessage::Data && ours.mms != theirs.mms)
                    peer.note(QStringLiteral("frame %1: %2 instead of %3")
                                  .arg(message.frame)
                                  .arg(QString::fromLatin1(ours.mms.toHex()),
                                       QString::fromLatin1(theirs.mms.toHex())));
            }
            peer.stayQuiet(socket);
        };
    }

private:
    const TraceFile &trace;
};

// The value the reference client wrote in a frame: an operate's, with its time.
MmsValue writtenValue(const TraceFile &trace, int frame)
{
    for (const TraceMessage &message : trace.messages()) {
        IsoMessage iso;
        MmsPdu pdu;
        MmsWriteRequest request;
        if (message.frame == frame && IsoMessageCodec::decode(message.userData, &iso) &&
            MmsPduCodec::decode(iso.mms, &pdu) &&
            MmsWrite::decodeRequest(pdu.serviceReader(), pdu.service, &request))
            return request.values.value(0);
    }
    return MmsValue();
}

// The block beside a twin of the other kind with the same RptID and data set,
// as vendor files have them: what a reference server's report carries must
// name the block that sent it.
QVector<int> senderAmongTwins(const ClientReport &report, const QString &reference,
                              const QString &rptId, int optFlds)
{
    const bool buffered = reference.contains(QLatin1String("BR"));
    QString twin = reference;
    twin.replace(buffered ? QLatin1String("BR") : QLatin1String("RP"),
                 buffered ? QLatin1String("RP") : QLatin1String("BR"));
    const int entryId = ReportOptionEntryId | ReportOptionBufferOverflow;
    ReportSource source{reference,
                        rptId,
                        report.dataSetName(),
                        report.dataSetSize(),
                        ReportSource::kindOf(reference),
                        optFlds};
    ReportSource other{twin,
                       rptId,
                       report.dataSetName(),
                       report.dataSetSize(),
                       ReportSource::kindOf(twin),
                       buffered ? optFlds & ~entryId : optFlds | entryId};
    return ReportMatcher::candidates({source, other}, report.content());
}

} // namespace

void TestIedClientReports::init()
{
    QSKIP_WITHOUT_SHARED();
    if (TraceFile::directory().isEmpty())
        QSKIP("the MMS traces are absent from the shared folder");
}

void TestIedClientReports::unbufferedAsReferenceClient()
{
    TraceFile trace;
    QVERIFY2(trace.load(QStringLiteral("08_report_unbuffered")), qPrintable(trace.errorString()));
    InOrderReplay replay(trace);
    ScriptedPeer peer(replay.script());
    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);

    const QString rcbReference = Domain + QStringLiteral("/LLN0.RP.EventsRCB01");
    IedClientError error = IedClientError::Unknown;
    ClientReportControlBlock rcb = connection.getRCBValues(rcbReference, &error);
    QCOMPARE(error, IedClientError::Ok);
    QList<ClientReport> reports;
    connection.installReportHandler(rcbReference, rcb.rptId(),
                                    [&](const ClientReport &report) { reports << report; });
    rcb.setRptId(rcb.rptId());
    rcb.setDataSetReference(rcb.dataSetReference());
    rcb.setOptFlds(ReportOptionSeqNum | ReportOptionTimeStamp | ReportOptionReasonForInclusion |
                   ReportOptionDataSet | ReportOptionDataReference | ReportOptionConfRev);
    rcb.setTrgOps(TriggerOptionDataChanged | TriggerOptionQualityChanged | TriggerOptionIntegrity |
                  TriggerOptionGi);
    rcb.setIntgPd(1000);
    rcb.setRptEna(true);
    // Given in any order, the elements go out in the order servers accept.
    using Block = ClientReportControlBlock;
    QCOMPARE(connection.setRCBValues(rcb,
                                     Block::ElementRptEna | Block::ElementIntgPd |
                                         Block::ElementTrgOps | Block::ElementOptFlds |
                                         Block::ElementDatSet | Block::ElementRptId,
                                     true),
             IedClientError::Ok);
    rcb.setGi(true);
    QCOMPARE(connection.setRCBValues(rcb, Block::ElementGi, true), IedClientError::Ok);
    QCOMPARE(connection.readObject(Domain + "/GGIO1.SPCSO1.ctlModel", "CF", &error).toInt32(), 1);
    connection.variableSpecification(Domain + "/GGIO1.SPCSO1", "CO", &error);
    QCOMPARE(connection.writeObject(Domain + "/GGIO1.SPCSO1.Oper", "CO", writtenValue(trace, 25)),
             IedClientError::Ok);
    QVERIFY(reports.isEmpty()); // handed over only while waiting for them
    QCOMPARE(connection.processIncoming(0), IedClientError::Ok);
    rcb.setRptEna(false);
    QCOMPARE(connection.setRCBValues(rcb, Block::ElementRptEna, true), IedClientError::Ok);
    rcb.setDataSetReference(Domain + QStringLiteral("/LLN0$NoSuchDataSet"));
    rcb.setIntgPd(2000);
    QCOMPARE(connection.setRCBValues(rcb, Block::ElementDatSet | Block::ElementIntgPd, true),
             IedClientError::ObjectValueInvalid);
    const ClientReportControlBlock after = connection.getRCBValues(rcbReference, &error);
    QCOMPARE(error, IedClientError::Ok);
    QCOMPARE(after.intgPd(), 2000u);
    QCOMPARE(after.dataSetReference(), Domain + QStringLiteral("/LLN0$Events"));
    QVERIFY(after.resv());
    QCOMPARE(after.sqNum(), 5u);
    QCOMPARE(connection.processIncoming(0), IedClientError::Ok);

    QCOMPARE(reports.size(), 5);
    for (int i = 0; i < reports.size(); ++i) {
        QCOMPARE(reports.at(i).seqNum(), quint32(i));
        QCOMPARE(reports.at(i).rcbReference(), rcbReference);
        QCOMPARE(reports.at(i).dataSetName(), Domain + QStringLiteral("/LLN0$Events"));
        QCOMPARE(reports.at(i).dataSetSize(), 4);
    }
    QCOMPARE(reports.at(0).reasonForInclusion(3), int(ReasonGi));
    QCOMPARE(reports.at(0).timestamp(), 1796656599340ull);
    const ClientReport &change = reports.at(1);
    QVERIFY(change.isIncluded(0));
    QVERIFY(!change.isIncluded(1));
    QVERIFY(change.value(1).isNull());
    QCOMPARE(change.value(0), MmsValue::boolean(true));
    QCOMPARE(change.reasonForInclusion(0), int(ReasonDataChange));
    QCOMPARE(change.dataReference(0), Domain + QStringLiteral("/GGIO1$ST$SPCSO1$stVal"));
    QCOMPARE(reports.at(4).reasonForInclusion(2), int(ReasonIntegrity));
    for (const ClientReport &report : qAsConst(reports)) {
        QCOMPARE(
            senderAmongTwins(report, Domain + "/LLN0$RP$EventsRCB01", rcb.rptId(), rcb.optFlds()),
            QVector<int>{0});
    }
    QCOMPARE(peer.notes(), QStringList());
}

void TestIedClientReports::bufferedResyncAsReferenceClient()
{
    TraceFile trace;
    QVERIFY2(trace.load(QStringLiteral("09_report_buffered")), qPrintable(trace.errorString()));
    InOrderReplay replay(trace);
    ScriptedPeer peer(replay.script());
    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);

    const QString rcbReference = Domain + QStringLiteral("/LLN0$BR$Measurements01");
    IedClientError error = IedClientError::Unknown;
    ClientReportControlBlock rcb = connection.getRCBValues(rcbReference, &error);
    QCOMPARE(error, IedClientError::Ok);
    QVERIFY(rcb.isBuffered());
    QList<ClientReport> reports;
    connection.installReportHandler(rcbReference, rcb.rptId(),
                                    [&](const ClientReport &report) { reports << report; },
                                    {"m0", "m1", "m2", "m3", "m4", "m5", "m6", "m7"});
    rcb.setOptFlds(0xff);
    rcb.setBufTm(50);
    rcb.setTrgOps(TriggerOptionDataChanged | TriggerOptionIntegrity | TriggerOptionGi);
    rcb.setIntgPd(2000);
    rcb.setPurgeBuf(true);
    rcb.setRptEna(true);
    using Block = ClientReportControlBlock;
    QCOMPARE(connection.setRCBValues(rcb,
                                     Block::ElementOptFlds | Block::ElementBufTm |
                                         Block::ElementTrgOps | Block::ElementIntgPd |
                                         Block::ElementPurgeBuf | Block::ElementRptEna,
                                     false),
             IedClientError::Ok);
    rcb.setGi(true);
    QCOMPARE(connection.setRCBValues(rcb, Block::ElementGi, true), IedClientError::Ok);
    QCOMPARE(connection.processIncoming(0), IedClientError::Ok);
    rcb.setRptEna(false);
    QCOMPARE(connection.setRCBValues(rcb, Block::ElementRptEna, true), IedClientError::Ok);
    QCOMPARE(connection.processIncoming(0), IedClientError::Ok);
    QCOMPARE(reports.size(), 18);
    QVERIFY(reports.first().bufOvfl());
    QVERIFY(!reports.at(1).bufOvfl());
    QCOMPARE(reports.at(15).reasonForInclusion(7), int(ReasonGi));
    // Members in the server's order: the report's own reference where it
    // sends one, the data set directory's otherwise.
    QCOMPARE(reports.first().dataReference(2), Domain + QStringLiteral("/GGIO1$MX$AnIn2$mag$f"));
    QVERIFY(!reports.first().isIncluded(1));
    QCOMPARE(reports.first().dataReference(1), QStringLiteral("m1"));

    // Resynchronised from the last entry received.
    rcb.setEntryId(reports.last().entryId());
    rcb.setRptEna(true);
    QCOMPARE(connection.setRCBValues(rcb, Block::ElementEntryId | Block::ElementRptEna, true),
             IedClientError::Ok);
    QCOMPARE(connection.processIncoming(0), IedClientError::Ok);
    rcb.setRptEna(false);
    QCOMPARE(connection.setRCBValues(rcb, Block::ElementRptEna, true), IedClientError::Ok);
    QCOMPARE(connection.getRCBValues(rcbReference, &error).resvTms(), 10);
    QCOMPARE(connection.processIncoming(0), IedClientError::Ok);
    QCOMPARE(reports.size(), 18 + 11);
    QCOMPARE(reports.at(18).seqNum(), 0u);
    QCOMPARE(reports.at(18).entryId().toHex(), QByteArray("000001a251143db3"));
    QCOMPARE(reports.at(21).reasonForInclusion(1), int(ReasonIntegrity));
    for (const ClientReport &report : qAsConst(reports))
        QCOMPARE(senderAmongTwins(report, rcbReference, rcb.rptId(), 0xff), QVector<int>{0});
    QCOMPARE(peer.notes(), QStringList());
}

void TestIedClientReports::readsAndRefusedWritesAsReferenceClient()
{
    TraceFile trace;
    QVERIFY2(trace.load(QStringLiteral("10_read_write_errors")), qPrintable(trace.errorString()));
    InOrderReplay replay(trace);
    ScriptedPeer peer(replay.script());
    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);
    IedClientError error = IedClientError::Unknown;
    const auto read = [&](const QString &reference, const QString &fc) {
        return connection.readObject(Domain + QLatin1Char('/') + reference, fc, &error);
    };
    QCOMPARE(read("GGIO1.AnIn1.mag.f", "MX").toFloat(), 0.783327f);
    const MmsValue time = read("GGIO1.AnIn1.t", "MX");
    QCOMPARE(time.utcTimeQuality(),
             quint8(TimeQuality::LeapSecondKnown | TimeQuality::ClockNotSynchronized));
    QCOMPARE(time.utcTimeText(),
             QStringLiteral("2026-12-07 15:17:02.939 UTC [leap-second-known|not-synchronized]"));
    QCOMPARE(read("GGIO1.AnIn1.q", "MX").toQuality(), quint16(Quality::ValidityGood));
    QCOMPARE(read("LLN0.EventsBRCB01.OptFlds", "BR").bitStringSize(), 10);
    QCOMPARE(read("LLN0.NamPlt.vendor", "DC").toString(), QStringLiteral("MZ Automation"));
    QCOMPARE(read("GGIO1.Mod.stVal", "ST").toInt32(), 1);
    QCOMPARE(read("GGIO1.SPCSO1.ctlModel", "CF").toInt32(), 1);
    QCOMPARE(read("GGIO1.SPCSO1", "ST").elementCount(), 5);
    read("GGIO1.AnIn9.mag.f", "MX");
    QCOMPARE(error, IedClientError::ObjectDoesNotExist);
    connection.readObject(QStringLiteral("simpleIONoSuchLD/GGIO1.AnIn1.mag.f"), "MX", &error);
    QCOMPARE(error, IedClientError::ObjectDoesNotExist);
    const QList<MmsValue> members = connection.readDataSetValues(Domain + "/LLN0.Events", &error);
    QCOMPARE(error, IedClientError::Ok);
    QCOMPARE(members.size(), 4);
    QCOMPARE(connection.writeObject(Domain + "/GGIO1.SPCSO1.stVal", "ST", MmsValue::boolean(true)),
             IedClientError::AccessDenied);
    QCOMPARE(connection.writeObject(Domain + "/GGIO1.SPCSO1.ctlModel", "CF", MmsValue::integer(1)),
             IedClientError::AccessDenied);
    QCOMPARE(connection.writeObject(Domain + "/GGIO1.NamPlt.vendor", "DC",
                                    MmsValue::visibleString("tracer")),
             IedClientError::Ok);
    QCOMPARE(read("GGIO1.NamPlt.vendor", "DC").toString(), QStringLiteral("tracer"));
    QCOMPARE(connection.writeObject(Domain + "/GGIO1.NamPlt.vendor", "DC", MmsValue::integer(5)),
             IedClientError::TypeInconsistent);
    QCOMPARE(
        connection.writeObject(Domain + "/GGIO1.AnIn9.mag.f", "MX", MmsValue::floatingPoint(1.5f)),
        IedClientError::ObjectDoesNotExist);
    const MmsTypeSpec type = connection.variableSpecification(Domain + "/GGIO1.SPCSO1", "ST");
    QCOMPARE(type.componentName(3), QStringLiteral("q"));
    QCOMPARE(peer.notes(), QStringList());
}

void TestIedClientReports::floodIsBoundedAndMalformedReportsCounted()
{
    TraceFile trace;
    QVERIFY2(trace.load(QStringLiteral("08_report_unbuffered")), qPrintable(trace.errorString()));
    QByteArray report;
    QByteArray association;
    for (const TraceMessage &message : trace.fromServer()) {
        if (message.frame == 18)
            report = message.packets.first();
        SessionSpdu spdu;
        if (IsoSession::decode(message.userData, &spdu) && spdu.type == SessionSpdu::Accept)
            association = message.packets.first();
    }
    QVERIFY(!report.isEmpty() && !association.isEmpty());
    constexpr int Flood = 300;
    ScriptedPeer peer([&](QTcpSocket &socket, ScriptedPeer &self) {
        QByteArray bytes;
        self.readTpdu(socket, &bytes);
        self.send(socket, trace.fromServer().first().packets.first());
        self.readMessage(socket, &bytes);
        self.send(socket, association);
        self.send(socket, report);
        self.readMessage(socket, &bytes); // the read, answered behind the flood
        // A report whose inclusion names more members than it carries values.
        QByteArray broken = report;
        const int inclusion = broken.indexOf(QByteArray::fromHex("840204f0"));
        broken.replace(inclusion, 4, QByteArray::fromHex("840203f8"));
        QByteArray flood = broken;
        for (int i = 0; i < Flood; ++i)
            flood += report;
        self.send(socket, flood);
        const QByteArray reject = IsoMessageCodec::data(3, MmsPduCodec::reject(1, true, 1, 1));
        self.send(socket, Tpkt::frame(Cotp::dataTpdus(reject, Cotp::MaxTpduSizeCode).first()));
        self.stayQuiet(socket);
    });
    IedConnection connection;
    connection.setMaxQueuedReports(10);
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);
    int handled = 0;
    connection.installReportHandler(Domain + QStringLiteral("/LLN0$RP$EventsRCB01"),
                                    QStringLiteral("Events1"),
                                    [&](const ClientReport &) { ++handled; });
    // A report that arrived meanwhile is taken even without waiting.
    QVERIFY(QTest::qWaitFor(
        [&] { return connection.processIncoming(0) == IedClientError::Ok && handled > 0; },
        EventTimeoutMs));
    QCOMPARE(handled, 1);
    // A read that waits behind the flood queues what fits and drops the rest.
    IedClientError error = IedClientError::Ok;
    connection.readObject(Domain + "/GGIO1.SPCSO1.stVal", "ST", &error);
    QCOMPARE(error, IedClientError::ServiceNotSupported);
    QCOMPARE(connection.processIncoming(200), IedClientError::Ok);
    QCOMPARE(handled, 1 + 9);
    QCOMPARE(connection.droppedReports(), qint64(Flood - 9));
    QCOMPARE(connection.malformedReports(), qint64(1));
}

QTEST_GUILESS_MAIN(TestIedClientReports)
#include "tst_iedclientreports.moc"
