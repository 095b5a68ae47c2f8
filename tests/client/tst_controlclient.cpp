// The control client against the reference server of trace 11, replayed in
// the capture's order: every request must be the reference client's to the
// byte (its clock stands in for ours), and the outcomes those of the capture.

#include "controlobjectclient.h"
#include "cotp.h"
#include "isomessage.h"
#include "mmspdu.h"
#include "mmswrite.h"
#include "scriptedpeer.h"
#include "testpaths.h"
#include "tracefile.h"

#include <QtTest>

class TestControlClient : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void controlsAsReferenceClient();
};

namespace {

const QString Domain = QStringLiteral("simpleIOGenericIO");

bool decodeMms(const QByteArray &userData, MmsPdu *pdu)
{
    IsoMessage iso;
    return IsoMessageCodec::decode(userData, &iso) && iso.kind == IsoMessage::Data &&
           MmsPduCodec::decode(iso.mms, pdu);
}

// The server's messages go out as they follow in the capture; each client
// message is read where the trace has one and differences are noted.
ScriptedPeer::Script inOrder(const TraceFile &trace)
{
    return [&trace](QTcpSocket &socket, ScriptedPeer &peer) {
        QByteArray received;
        QByteArray previous;
        for (const TraceMessage &message : trace.messages()) {
            if (!message.fromClient) {
                // The capture holds one TCP retransmission of a response.
                if (message.userData.isEmpty() || message.userData != previous)
                    for (const QByteArray &packet : message.packets)
                        peer.send(socket, packet);
                previous = message.userData;
                continue;
            }
            const bool data = message.tpduType == CotpTpdu::Data;
            if (!(data ? peer.readMessage(socket, &received) : peer.readTpdu(socket, &received)))
                return;
            MmsPdu ours;
            MmsPdu theirs;
            if (data && decodeMms(received, &ours) && decodeMms(message.userData, &theirs) &&
                ours.bytes != theirs.bytes)
                peer.note(QStringLiteral("frame %1: %2")
                              .arg(message.frame)
                              .arg(QString::fromLatin1(ours.bytes.toHex())));
        }
        peer.stayQuiet(socket);
    };
}

// The T of each command that takes a fresh time: an Oper after its SBOw and
// a Cancel reuse the SBOw's.
QList<quint64> commandTimes(const TraceFile &trace)
{
    static const QSet<int> fresh = {16, 22, 30, 36, 41, 49};
    QList<quint64> times;
    for (const TraceMessage &message : trace.fromClient()) {
        MmsPdu pdu;
        MmsWriteRequest request;
        if (!fresh.contains(message.frame) || !decodeMms(message.userData, &pdu) ||
            !MmsWrite::decodeRequest(pdu.serviceReader(), pdu.service, &request))
            continue;
        const MmsValue command = request.values.value(0);
        for (const MmsValue &member : command.elements()) {
            if (member.type() == MmsType::UtcTime)
                times << member.utcTimeMs();
        }
    }
    return times;
}

} // namespace

void TestControlClient::init()
{
    QSKIP_WITHOUT_SHARED();
    if (TraceFile::directory().isEmpty())
        QSKIP("the MMS traces are absent from the shared folder");
}

void TestControlClient::controlsAsReferenceClient()
{
    TraceFile trace;
    QVERIFY2(trace.load(QStringLiteral("11_control")), qPrintable(trace.errorString()));
    ScriptedPeer peer(inOrder(trace));
    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);
    QList<quint64> times = commandTimes(trace);
    auto client = [&](const QString &name) {
        auto control = std::make_unique<ControlObjectClient>(connection, Domain + "/GGIO1." + name);
        control->setOrigin({3, "tracer"});
        control->setClock([&times] { return times.isEmpty() ? 0 : times.takeFirst(); });
        control->setTerminationTimeout(2000);
        return control;
    };
    using Termination = ControlObjectClient::Termination;
    const MmsValue on = MmsValue::boolean(true);
    const MmsValue off = MmsValue::boolean(false);

    auto spcso2 = client("SPCSO2");
    QCOMPARE(spcso2->load(), IedClientError::Ok);
    QCOMPARE(spcso2->controlModel(), ControlModel::SboNormal);
    QVERIFY(spcso2->select());
    QVERIFY(spcso2->operate(on));
    QCOMPARE(spcso2->termination(), Termination::NotExpected);

    auto spcso3 = client("SPCSO3");
    QCOMPARE(spcso3->load(), IedClientError::Ok);
    QCOMPARE(spcso3->controlModel(), ControlModel::DirectEnhanced);
    QVERIFY(spcso3->operate(on));
    QCOMPARE(spcso3->termination(), Termination::Positive);

    auto spcso4 = client("SPCSO4");
    QCOMPARE(spcso4->load(), IedClientError::Ok);
    QVERIFY(spcso4->selectWithValue(on));
    QVERIFY(spcso4->operate(on));
    QCOMPARE(spcso4->termination(), Termination::Positive);
    // Refused without a select: the LastApplError came before the response.
    QVERIFY(!spcso4->operate(off));
    QCOMPARE(spcso4->lastError(), IedClientError::AccessDenied);
    QVERIFY(spcso4->hasLastApplError());
    QCOMPARE(spcso4->lastApplError().addCause, int(ControlAddCause::ObjectNotSelected));
    QCOMPARE(spcso4->lastApplError().ctlNum, 1u);
    QVERIFY(spcso4->selectWithValue(off));
    QVERIFY(spcso4->cancel());
    QCOMPARE(spcso4->ctlNum(), 2u);

    auto spcso9 = client("SPCSO9");
    QCOMPARE(spcso9->load(), IedClientError::Ok);
    QVERIFY(spcso9->operate(on));
    // Error and AddCause are 0: only the LastApplError item tells.
    QCOMPARE(spcso9->termination(), Termination::Negative);
    QVERIFY(!spcso9->succeeded());
    QCOMPARE(spcso9->lastApplError().addCause, 0);

    connection.abort();
    QVERIFY(peer.waitForFinished(5000));
    QCOMPARE(peer.notes().join("\n"), QString());
}

QTEST_GUILESS_MAIN(TestControlClient)
#include "tst_controlclient.moc"
