// The client against peers that refuse, fall silent or answer nonsense: every
// fault ends in an error code within the configured time-outs, and the
// connection is kept only where the byte stream is still in step.

#include "berwriter.h"
#include "commandlinetool.h"
#include "cotp.h"
#include "eventwait.h"
#include "iedconnection.h"
#include "isomessage.h"
#include "isosession.h"
#include "liveiedsource.h"
#include "mmspdu.h"
#include "mmsservices.h"
#include "modelsnapshot.h"
#include "scriptedpeer.h"
#include "tpkt.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QThread>
#include <QtTest>

#include <functional>

using Reply = std::function<QByteArray(quint32 invokeId)>;
Q_DECLARE_METATYPE(Reply)

class TestIedClientFaults : public QObject
{
    Q_OBJECT

private slots:
    void refusedConnection();
    void silentPeerTimesOutConnect();
    void silentPeerTimesOutRequests();
    void slowPeerIsHeldToTheRequestTimeout();
    void associationFaults_data();
    void associationFaults();
    void answerFaults_data();
    void answerFaults();
    void browseFailures_data();
    void browseFailures();
    void answersInAnotherOrder();
};

namespace {

QByteArray packets(const QByteArray &userData)
{
    QByteArray bytes;
    for (const QByteArray &tpdu : Cotp::dataTpdus(userData, Cotp::MaxTpduSizeCode))
        bytes += Tpkt::frame(tpdu);
    return bytes;
}

QByteArray connectConfirm()
{
    CotpParameters parameters;
    parameters.destinationReference = 1;
    return Tpkt::frame(Cotp::connectConfirm(parameters));
}

QByteArray associateResponse(int acseResult = AcseApdu::Accepted, QList<int> contexts = {0, 0},
                             const QByteArray &mms = MmsPduCodec::initiateResponse(
                                 MmsInitiateParameters::serverParameters()))
{
    return packets(IsoMessageCodec::associateResponse(contexts, 1, 3, acseResult, mms));
}

QByteArray mmsData(const QByteArray &pdu)
{
    return packets(IsoMessageCodec::data(3, pdu));
}

// Answers the transport connect and the association.
bool acceptAssociation(QTcpSocket &socket, ScriptedPeer &peer)
{
    QByteArray bytes;
    if (!peer.readTpdu(socket, &bytes))
        return false;
    peer.send(socket, connectConfirm());
    if (!peer.readMessage(socket, &bytes))
        return false;
    peer.send(socket, associateResponse());
    return true;
}

bool readRequest(QTcpSocket &socket, ScriptedPeer &peer, MmsPdu *request)
{
    QByteArray bytes;
    IsoMessage message;
    return peer.readMessage(socket, &bytes) && IsoMessageCodec::decode(bytes, &message) &&
           MmsPduCodec::decode(message.mms, request);
}

// Answers the transport connect and the association, then hands each request's
// invoke id to reply and sends what it returns; closes after the first answer
// when told to, and on an empty answer.
ScriptedPeer::Script associatedPeer(const Reply &reply, bool closeAfterAnswer = false)
{
    return [reply, closeAfterAnswer](QTcpSocket &socket, ScriptedPeer &peer) {
        if (!acceptAssociation(socket, peer))
            return;
        MmsPdu request;
        while (readRequest(socket, peer, &request)) {
            const QByteArray answer = reply(request.invokeId);
            if (answer.isEmpty())
                return;
            peer.send(socket, answer);
            if (closeAfterAnswer) {
                socket.disconnectFromHost();
                if (socket.state() != QAbstractSocket::UnconnectedState)
                    socket.waitForDisconnected(1000);
                return;
            }
        }
    };
}

QByteArray nested(int depth)
{
    QByteArray value = QByteArray::fromHex("830100");
    for (int i = 0; i < depth; ++i)
        value = Ber::tlv(0xa2, value);
    return value;
}

} // namespace

void TestIedClientFaults::refusedConnection()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), port),
             IedClientError::ConnectionRejected);
    QVERIFY(!connection.isConnected());
    IedClientError error = IedClientError::Unknown;
    QVERIFY(connection.logicalDeviceList(&error).isEmpty());
    QCOMPARE(error, IedClientError::NotConnected);
    QCOMPARE(connection.close(), IedClientError::Ok);
}

void TestIedClientFaults::silentPeerTimesOutConnect()
{
    ScriptedPeer peer([](QTcpSocket &socket, ScriptedPeer &self) { self.stayQuiet(socket); });
    IedConnection connection;
    QCOMPARE(connection.connectTimeout(), 10000);
    connection.setConnectTimeout(300);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Timeout);
    QVERIFY(timer.elapsed() >= 250);
    QVERIFY(timer.elapsed() < 10000);
    QVERIFY(!connection.isConnected());
}

void TestIedClientFaults::silentPeerTimesOutRequests()
{
    ScriptedPeer peer(associatedPeer([](quint32) { return QByteArray(" "); }));
    IedConnection connection;
    QCOMPARE(connection.requestTimeout(), 5000);
    connection.setRequestTimeout(300);
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);
    // The peer's answer is one byte of a packet that never completes.
    QElapsedTimer timer;
    timer.start();
    IedClientError error = IedClientError::Unknown;
    connection.logicalDeviceList(&error);
    QCOMPARE(error, IedClientError::Timeout);
    QVERIFY(timer.elapsed() >= 250);
    QVERIFY(connection.isConnected());
    timer.restart();
    QCOMPARE(connection.close(), IedClientError::Timeout);
    QVERIFY(timer.elapsed() < 10000);
    QVERIFY(!connection.isConnected());
}

void TestIedClientFaults::slowPeerIsHeldToTheRequestTimeout()
{
    // A whole answer, sent a byte at a time: every byte comes well within the
    // time-out, the answer as a whole does not.
    ScriptedPeer peer([](QTcpSocket &socket, ScriptedPeer &self) {
        MmsPdu request;
        if (!acceptAssociation(socket, self) || !readRequest(socket, self, &request))
            return;
        const QByteArray answer = mmsData(MmsPduCodec::confirmedResponse(
            request.invokeId, MmsServices::getNameListResponse({"LD1", "LD2", "LD3"}, false)));
        for (const char byte : answer) {
            if (self.stopRequested() || socket.state() != QAbstractSocket::ConnectedState)
                return;
            self.send(socket, QByteArray(1, byte));
            QThread::msleep(40);
        }
        self.stayQuiet(socket);
    });
    IedConnection connection;
    connection.setRequestTimeout(300);
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);
    QElapsedTimer timer;
    timer.start();
    IedClientError error = IedClientError::Unknown;
    connection.logicalDeviceList(&error);
    QCOMPARE(error, IedClientError::Timeout);
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
}

void TestIedClientFaults::associationFaults_data()
{
    QTest::addColumn<QByteArray>("confirm");
    QTest::addColumn<QByteArray>("association");
    QTest::addColumn<int>("expected");
    const QByteArray cc = connectConfirm();
    const int rejected = int(IedClientError::ConnectionRejected);
    QTest::newRow("closed after connect request") << QByteArray() << QByteArray() << rejected;
    QTest::newRow("disconnect instead of confirm")
        << Tpkt::frame(QByteArray::fromHex("068000000001 00")) << QByteArray() << rejected;
    QTest::newRow("confirm malformed") << Tpkt::frame(QByteArray::fromHex("11d00001"))
                                       << QByteArray() << int(IedClientError::MalformedMessage);
    QTest::newRow("association refused")
        << cc << associateResponse(AcseApdu::RejectedPermanent) << rejected;
    QTest::newRow("MMS context refused")
        << cc << associateResponse(AcseApdu::Accepted, {0, 2}) << rejected;
    QTest::newRow("initiate error")
        << cc
        << associateResponse(AcseApdu::Accepted, {0, 0},
                             MmsPduCodec::initiateError({MmsServiceError::Initiate, 1}))
        << rejected;
    QTest::newRow("session abort") << cc << packets(IsoMessageCodec::abort(1)) << rejected;
    QTest::newRow("garbage") << cc << packets(QByteArray::fromHex("0e05c10301020f"))
                             << int(IedClientError::MalformedMessage);
    QTest::newRow("silent after confirm") << cc << QByteArray(" ") << int(IedClientError::Timeout);
}

void TestIedClientFaults::associationFaults()
{
    QFETCH(QByteArray, confirm);
    QFETCH(QByteArray, association);
    QFETCH(int, expected);
    ScriptedPeer peer([&](QTcpSocket &socket, ScriptedPeer &self) {
        QByteArray bytes;
        if (!self.readTpdu(socket, &bytes) || confirm.isEmpty())
            return;
        self.send(socket, confirm);
        if (!self.readMessage(socket, &bytes) || association.isEmpty())
            return;
        self.send(socket, association);
        self.stayQuiet(socket);
    });
    IedConnection connection;
    // Only the silent peer is meant to run out of time.
    connection.setConnectTimeout(expected == int(IedClientError::Timeout) ? 500 : EventTimeoutMs);
    QCOMPARE(int(connection.connect(QStringLiteral("127.0.0.1"), peer.port())), expected);
    QVERIFY(!connection.isConnected());
}

void TestIedClientFaults::answerFaults_data()
{
    QTest::addColumn<bool>("read");
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("staysConnected");
    QTest::addColumn<bool>("peerCloses");
    const int malformed = int(IedClientError::MalformedMessage);
    const int unexpected = int(IedClientError::UnexpectedValueReceived);
    const auto fixed = [](const QByteArray &bytes) {
        return Reply([bytes](quint32) { return bytes; });
    };

    QTest::newRow("truncated packet, then closed")
        << false << fixed(QByteArray::fromHex("0300006402f080010001"))
        << int(IedClientError::ConnectionLost) << false << true;
    QTest::newRow("TPKT version 2")
        << false << fixed(QByteArray::fromHex("020000070200f0")) << malformed << false << false;
    QTest::newRow("TPKT shorter than a TPDU")
        << false << fixed(QByteArray::fromHex("0300000502")) << malformed << false << false;
    QTest::newRow("unknown TPDU") << false << fixed(Tpkt::frame(QByteArray::fromHex("025080")))
                                  << malformed << false << false;
    QTest::newRow("session garbage")
        << false << fixed(packets(QByteArray::fromHex("ff00"))) << malformed << false << false;
    QTest::newRow("presentation garbage")
        << false << fixed(packets(QByteArray::fromHex("010001006200"))) << malformed << false
        << false;
    QTest::newRow("presentation length past the end")
        << false << fixed(packets(QByteArray::fromHex("01000100617f3000"))) << malformed << false
        << false;
    QTest::newRow("ACSE context instead of MMS")
        << false << fixed(packets(IsoMessageCodec::data(1, QByteArray::fromHex("8c00"))))
        << malformed << false << false;
    QTest::newRow("session abort") << false << fixed(packets(IsoMessageCodec::abort(1)))
                                   << int(IedClientError::ConnectionLost) << false << false;
    QTest::newRow("transport disconnect")
        << false << fixed(Tpkt::frame(QByteArray::fromHex("0680000100010000")))
        << int(IedClientError::ConnectionLost) << false << false;
    QByteArray endless;
    for (int i = 0; i < 10; ++i)
        endless += Tpkt::frame(QByteArray::fromHex("02f000") + QByteArray(8000, 'x'));
    QTest::newRow("message beyond every limit")
        << false << fixed(endless) << malformed << false << false;

    QTest::newRow("MMS garbage") << false << fixed(mmsData(QByteArray::fromHex("ff0500")))
                                 << malformed << true << false;
    QTest::newRow("BER length past the end")
        << false << fixed(mmsData(QByteArray::fromHex("a1847fffffff020101"))) << malformed << true
        << false;
    QTest::newRow("answer of another service") << false << Reply([](quint32 id) {
        return mmsData(MmsPduCodec::confirmedResponse(id, MmsServices::readResponse({})));
    }) << unexpected << true << false;
    QTest::newRow("name list malformed") << false << Reply([](quint32 id) {
        return mmsData(MmsPduCodec::confirmedResponse(id, QByteArray::fromHex("a103a0011a")));
    }) << malformed << true << false;
    QTest::newRow("name list that never ends") << false << Reply([](quint32 id) {
        return mmsData(
            MmsPduCodec::confirmedResponse(id, MmsServices::getNameListResponse({}, true)));
    }) << unexpected << true << false;
    QTest::newRow("object does not exist") << false << Reply([](quint32 id) {
        return mmsData(MmsPduCodec::confirmedError(id, {MmsServiceError::Access, 2}));
    }) << int(IedClientError::ObjectDoesNotExist)
                                           << true << false;
    QTest::newRow("unrecognized service") << false << Reply([](quint32 id) {
        return mmsData(MmsPduCodec::reject(id, true, MmsPdu::RejectedConfirmedRequest, 1));
    }) << int(IedClientError::ServiceNotSupported)
                                          << true << false;
    QTest::newRow("stale answers first") << false << Reply([](quint32 id) {
        return mmsData(MmsPduCodec::confirmedError(id + 100, {MmsServiceError::Access, 3})) +
               mmsData(MmsPduCodec::confirmedResponse(
                   id, MmsServices::getNameListResponse({"LD"}, false)));
    }) << int(IedClientError::Ok) << true << false;
    QTest::newRow("value nested too deep") << true << Reply([](quint32 id) {
        return mmsData(MmsPduCodec::confirmedResponse(
            id, Ber::tlv(MmsServices::Read, Ber::tlv(0xa1, nested(40)))));
    }) << malformed << true << false;
    QTest::newRow("read access denied") << true << Reply([](quint32 id) {
        return mmsData(MmsPduCodec::confirmedResponse(
            id, MmsServices::readResponse({MmsValue::dataAccessError(3)})));
    }) << int(IedClientError::AccessDenied)
                                        << true << false;
    QTest::newRow("two results for one variable") << true << Reply([](quint32 id) {
        return mmsData(MmsPduCodec::confirmedResponse(
            id, MmsServices::readResponse({MmsValue::boolean(true), MmsValue::boolean(true)})));
    }) << unexpected << true << false;
}

void TestIedClientFaults::answerFaults()
{
    QFETCH(bool, read);
    QFETCH(Reply, reply);
    QFETCH(int, expected);
    QFETCH(bool, staysConnected);
    QFETCH(bool, peerCloses);
    ScriptedPeer peer(associatedPeer(reply, peerCloses));
    IedConnection connection;
    connection.setRequestTimeout(EventTimeoutMs);
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);
    IedClientError error = IedClientError::Unknown;
    if (read) {
        const MmsValue value =
            connection.readObject(QStringLiteral("LD/LN.DO"), QStringLiteral("ST"), &error);
        QCOMPARE(value.isNull(), expected != int(IedClientError::Ok));
    } else {
        connection.logicalDeviceList(&error);
    }
    QCOMPARE(int(error), expected);
    QCOMPARE(connection.isConnected(), staysConnected);
}

void TestIedClientFaults::browseFailures_data()
{
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<QString>("said");    // what the error line says failed
    QTest::addColumn<QString>("shown");   // part of the tree printed before it
    QTest::addColumn<QString>("checked"); // what the live check names as failed
    // The answers by the request's place (its invoke id, from 1 on every
    // connection): the device list, the device's variable names, its data
    // set names.
    const auto inTurn = [](const QList<std::function<QByteArray(quint32)>> &answers) {
        return Reply([answers](quint32 id) {
            const int turn = int(id) - 1;
            return turn >= 0 && turn < answers.size() ? answers.at(turn)(id) : QByteArray();
        });
    };
    const auto names = [](const QStringList &list, bool more = false) {
        return [list, more](quint32 id) {
            return mmsData(
                MmsPduCodec::confirmedResponse(id, MmsServices::getNameListResponse(list, more)));
        };
    };
    const auto refused = [](quint32 id) {
        return mmsData(MmsPduCodec::confirmedError(id, {MmsServiceError::Access, 2}));
    };
    QStringList deep{"LLN0", "LLN0$ST", "LLN0$ST$Mod"};
    for (int level = 0; level < 40; ++level)
        deep << deep.last() + "$a";

    QTest::newRow("device list refused")
        << inTurn({refused}) << "logical device list: OBJECT_DOES_NOT_EXIST"
        << "Tree\n"
        << QString("lists no logical device");
    QTest::newRow("answer under another invoke id") << Reply([](quint32 id) {
        return mmsData(MmsPduCodec::confirmedResponse(
            id + 7, MmsServices::getNameListResponse({"LD"}, false)));
    }) << "logical device list: TIMEOUT"
                                                    << "Tree\n"
                                                    << QString("TIMEOUT");
    QTest::newRow("name list that never ends") << Reply([](quint32 id) {
        return mmsData(
            MmsPduCodec::confirmedResponse(id, MmsServices::getNameListResponse({"LD"}, true)));
    }) << "a name list that does not move on after 2 names"
                                               << "Tree\n"
                                               << QString("lists no logical device");
    QTest::newRow("name list that loops")
        << inTurn({names({"LD1"}, true), names({"LD2"}, true), names({"LD1"}, true)})
        << "a name list that does not move on after 3 names"
        << "Tree\n"
        << QString("lists no logical device");
    QTest::newRow("name past 255 characters")
        << inTurn({names({QString(300, 'L')})}) << "logical device list: MALFORMED_MESSAGE"
        << "Tree\n"
        << QString("lists no logical device");
    QTest::newRow("logical nodes cut short")
        << inTurn({names({"LD"}), names({"LLN0"}, true), names({"LLN0"}, true)})
        << "LD: UNEXPECTED_VALUE_RECEIVED (13), a name list that does not move on after 2 names"
        << "Tree\n  LD\n"
        << QString("LD: UNEXPECTED_VALUE_RECEIVED");
    QTest::newRow("logical device directory refused")
        << inTurn({names({"LD"}), refused}) << "LD: OBJECT_DOES_NOT_EXIST"
        << "Tree\n  LD\n"
        << QString("LD: OBJECT_DOES_NOT_EXIST");
    QTest::newRow("logical node directory refused")
        << inTurn({names({"LD"}), names({"LLN0"}), refused}) << "LD/LLN0: OBJECT_DOES_NOT_EXIST"
        << "Tree\n  LD\n"
        << QString("LD/LLN0: OBJECT_DOES_NOT_EXIST");
    QTest::newRow("attributes nested past the bound")
        << inTurn({names({"LD"}), names(deep), names({})})
        << "attributes nested deeper than 32 levels"
        << "      LD/LLN0.Mod\n"
        << QString("");
}

void TestIedClientFaults::browseFailures()
{
    QFETCH(Reply, reply);
    QFETCH(QString, said);
    QFETCH(QString, shown);
    QFETCH(QString, checked);
    ScriptedPeer peer(associatedPeer(reply));
    QString output;
    QString errors;
    QTextStream out(&output);
    QTextStream err(&errors);
    const int exitCode = CommandLineTool(out, err).run(
        {"browse", QStringLiteral("127.0.0.1:%1").arg(peer.port()), "--timeout", "1000"});
    out.flush();
    err.flush();
    QCOMPARE(exitCode, 1);
    QVERIFY2(output.contains(shown), qPrintable(output));
    QVERIFY2(errors.contains("browse incomplete") && errors.contains(said), qPrintable(errors));

    // The live check of a project against the same device is no check.
    if (checked.isEmpty())
        return;
    ScriptedPeer checkedPeer(associatedPeer(reply));
    LiveIedSource live(QStringLiteral("127.0.0.1"), checkedPeer.port(), QString(), {});
    live.setTimeouts(EventTimeoutMs, 1000);
    ModelSnapshot found;
    QString problem;
    QVERIFY(!live.fetch(&found, &problem));
    QVERIFY2(problem.contains(checked), qPrintable(problem));
}

void TestIedClientFaults::answersInAnotherOrder()
{
    // Three requests in flight before any answer; the answers come last
    // first, the middle one refused, each typed after its invoke id.
    ScriptedPeer peer([](QTcpSocket &socket, ScriptedPeer &peer) {
        QList<quint32> ids;
        MmsPdu request;
        if (!acceptAssociation(socket, peer))
            return;
        while (ids.size() < 3 && readRequest(socket, peer, &request))
            ids.prepend(request.invokeId);
        for (quint32 id : ids)
            peer.send(socket,
                      mmsData(id == 2
                                  ? MmsPduCodec::confirmedError(id, {MmsServiceError::Access, 2})
                                  : MmsPduCodec::confirmedResponse(
                                        id, MmsServices::getVariableAccessAttributesResponse(
                                                false, MmsTypeSpec::integer(int(id) * 8)))));
        peer.stayQuiet(socket);
    });
    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), peer.port()), IedClientError::Ok);
    QVector<IedClientError> errors;
    const QList<MmsTypeSpec> types = connection.variableSpecifications(
        {{"LD/GGIO1.Ind1", "ST"}, {"LD/GGIO1.Ind2", "ST"}, {"LD/GGIO1.Ind3", "ST"}}, &errors);
    QCOMPARE(errors,
             (QVector<IedClientError>{IedClientError::Ok, IedClientError::ObjectDoesNotExist,
                                      IedClientError::Ok}));
    QCOMPARE(types.at(0).size(), 8);
    QCOMPARE(types.at(2).size(), 24);
    QCOMPARE(connection.mostRequestsInFlight(), 3);
    connection.abort();
}

QTEST_GUILESS_MAIN(TestIedClientFaults)
#include "tst_iedclientfaults.moc"
