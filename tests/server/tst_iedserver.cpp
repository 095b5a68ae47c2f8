// The MMS server engine with a small hand-made model: the order of names, the
// answers of each service, the limits it keeps, the faults that close a
// connection, and the TCP server with its association signals.

#include "berwriter.h"
#include "cotp.h"
#include "eventwait.h"
#include "iedconnection.h"
#include "iedserver.h"
#include "iedserverthread.h"
#include "isomessage.h"
#include "isosession.h"
#include "mmsdatacodec.h"
#include "mmspdu.h"
#include "mmsserverconnection.h"
#include "mmsservices.h"
#include "tpkt.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

class TestIedServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void ordersNamesAsReferenceServers_data();
    void ordersNamesAsReferenceServers();
    void flattensVariablesInOrder();
    void answersRequests_data();
    void answersRequests();
    void continuesNameListsWithinPduSize();
    void negotiatesAssociation();
    void closesOnFaults_data();
    void closesOnFaults();
    void releaseAndAbortEndTheConnection();
    void servesClientsFromItsThread();
    void limitsConnections();
    void dropsStalledConnections_data();
    void dropsStalledConnections();
    void servesWhileHostilePeersHoldEverySlot_data();
    void servesWhileHostilePeersHoldEverySlot();

private:
    std::shared_ptr<MmsServerModel> model;
};

namespace {

const QString Device = QStringLiteral("TESTLD0");

MmsTypeSpec dataObject(std::initializer_list<std::pair<const char *, MmsTypeSpec>> members)
{
    MmsTypeSpec type = MmsTypeSpec::structure();
    for (const auto &member : members)
        type.addComponent(QLatin1String(member.first), member.second);
    return type;
}

std::shared_ptr<MmsServerModel> testModel()
{
    auto model = std::make_shared<MmsServerModel>();
    MmsServerDomain &device = model->domain(Device);

    MmsTypeSpec analog = dataObject({{"mag", dataObject({{"f", MmsTypeSpec::floatingPoint()}})},
                                     {"q", MmsTypeSpec::bitString(-13)},
                                     {"t", MmsTypeSpec::utcTime()}});
    MmsTypeSpec ggio = dataObject({{"MX", dataObject({{"AnIn1", analog}, {"AnIn2", analog}})}});
    device.variables.append({QStringLiteral("GGIO1"), ggio, ggio.defaultValue()});

    MmsTypeSpec mode = dataObject({{"stVal", MmsTypeSpec::integer(8)},
                                   {"q", MmsTypeSpec::bitString(-13)},
                                   {"t", MmsTypeSpec::utcTime()}});
    MmsTypeSpec lln0 = dataObject(
        {{"ST", dataObject({{"Mod", mode}})},
         {"CF", dataObject({{"Mod", dataObject({{"ctlModel", MmsTypeSpec::integer(8)}})}})},
         {"DC",
          dataObject({{"NamPlt", dataObject({{"vendor", MmsTypeSpec::visibleString(-255)}})}})}});
    const auto one = [](const MmsValue &member) {
        return MmsValue::structure({member});
    };
    const MmsValue modeValue =
        MmsValue::structure({MmsValue::integer(1), MmsValue::bitString(QByteArray(), 13),
                             MmsValue::utcTimeFromMs(1000)});
    const MmsValue value = MmsValue::structure({one(modeValue), one(one(MmsValue::integer(0))),
                                                one(one(MmsValue::visibleString("Tessarin")))});
    device.variables.append({QStringLiteral("LLN0"), lln0, value});
    device.dataSets.append({QStringLiteral("LLN0$Analog"),
                            {{MmsObjectName::DomainSpecific, Device, "GGIO1$MX$AnIn1$mag$f"},
                             {MmsObjectName::DomainSpecific, Device, "GGIO1$MX$AnIn2$q"},
                             {MmsObjectName::DomainSpecific, Device, "GGIO1$MX$AnIn9"}},
                            false});
    model->domain(QStringLiteral("OTHER"))
        .variables.append({QStringLiteral("LPHD1"), MmsTypeSpec::structure(), MmsValue()});
    model->finish();
    return model;
}

// One device whose single text takes most of a PDU, so that a few reads fill
// what the network holds for a peer.
std::shared_ptr<MmsServerModel> bulkyModel()
{
    auto model = std::make_shared<MmsServerModel>();
    MmsTypeSpec text = dataObject({{"Text", MmsTypeSpec::visibleString(-60000)}});
    MmsTypeSpec lln0 = dataObject({{"DC", text}});
    model->domain(QStringLiteral("BULK"))
        .variables.append({QStringLiteral("LLN0"), lln0,
                           MmsValue::structure({MmsValue::structure(
                               {MmsValue::visibleString(QByteArray(60000, 'x'))})})});
    model->finish();
    return model;
}

QByteArray packets(const QByteArray &userData, int sizeCode = Cotp::MaxTpduSizeCode)
{
    QByteArray bytes;
    for (const QByteArray &tpdu : Cotp::dataTpdus(userData, sizeCode))
        bytes += Tpkt::frame(tpdu);
    return bytes;
}

QByteArray connectRequest(int sizeCode = Cotp::MaxTpduSizeCode)
{
    CotpParameters parameters;
    parameters.tpduSizeCode = sizeCode;
    return Tpkt::frame(Cotp::connectRequest(parameters));
}

QByteArray associateRequest(int pduSize = 65000)
{
    return packets(IsoMessageCodec::associateRequest(
        MmsPduCodec::initiateRequest(MmsInitiateParameters::clientProposal(pduSize))));
}

// The MMS PDUs (or raw TPDUs for anything but data) in a server's output.
QList<QByteArray> answersIn(const QByteArray &output)
{
    QList<QByteArray> answers;
    TpktReader reader;
    reader.append(output);
    QByteArray tpdu;
    QByteArray joined;
    while (reader.next(&tpdu) == TpktReader::PacketReady) {
        CotpTpdu decoded;
        Cotp::decode(tpdu, &decoded);
        if (decoded.type != CotpTpdu::Data) {
            answers << tpdu;
            continue;
        }
        joined += decoded.userData;
        if (!decoded.endOfTransmission)
            continue;
        IsoMessage message;
        IsoMessageCodec::decode(joined, &message);
        answers << (message.kind == IsoMessage::Data ? message.mms : joined);
        joined.clear();
    }
    return answers;
}

QByteArray request(MmsServerConnection &connection, const QByteArray &pdu)
{
    return answersIn(connection.receive(packets(IsoMessageCodec::data(3, pdu)))).value(0);
}

QByteArray confirmed(const QByteArray &service)
{
    return MmsPduCodec::confirmedRequest(7, service);
}

MmsObjectName item(const QString &name, const QString &domain = Device)
{
    return {MmsObjectName::DomainSpecific, domain, name};
}

} // namespace

void TestIedServer::initTestCase()
{
    model = testModel();
}

void TestIedServer::ordersNamesAsReferenceServers_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("parent first") << "GGIO1"
                                  << "GGIO1$CF";
    QTest::newRow("separator before letters") << "LLN0$BR"
                                              << "LLN0B";
    QTest::newRow("case ignored") << "Check"
                                  << "ctlNum";
    QTest::newRow("shorter first") << "T"
                                   << "Test";
    QTest::newRow("letters before digits") << "EventsRCBPreConf01"
                                           << "EventsRCB01";
    QTest::newRow("digits in order") << "Ind1"
                                     << "Ind2";
}

void TestIedServer::ordersNamesAsReferenceServers()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QVERIFY(MmsServerModel::nameLessThan(first, second));
    QVERIFY(!MmsServerModel::nameLessThan(second, first));
    QVERIFY(!MmsServerModel::nameLessThan(first, first));
}

void TestIedServer::flattensVariablesInOrder()
{
    QCOMPARE(model->domainNames(), QStringList({"OTHER", "TESTLD0"}));
    QCOMPARE(model->variableNames(Device), QStringList({"GGIO1",
                                                        "GGIO1$MX",
                                                        "GGIO1$MX$AnIn1",
                                                        "GGIO1$MX$AnIn1$mag",
                                                        "GGIO1$MX$AnIn1$mag$f",
                                                        "GGIO1$MX$AnIn1$q",
                                                        "GGIO1$MX$AnIn1$t",
                                                        "GGIO1$MX$AnIn2",
                                                        "GGIO1$MX$AnIn2$mag",
                                                        "GGIO1$MX$AnIn2$mag$f",
                                                        "GGIO1$MX$AnIn2$q",
                                                        "GGIO1$MX$AnIn2$t",
                                                        "LLN0",
                                                        "LLN0$CF",
                                                        "LLN0$CF$Mod",
                                                        "LLN0$CF$Mod$ctlModel",
                                                        "LLN0$DC",
                                                        "LLN0$DC$NamPlt",
                                                        "LLN0$DC$NamPlt$vendor",
                                                        "LLN0$ST",
                                                        "LLN0$ST$Mod",
                                                        "LLN0$ST$Mod$q",
                                                        "LLN0$ST$Mod$stVal",
                                                        "LLN0$ST$Mod$t"}));
    QCOMPARE(model->dataSetNames(Device), QStringList({"LLN0$Analog"}));
}

void TestIedServer::answersRequests_data()
{
    QTest::addColumn<QByteArray>("pdu");
    QTest::addColumn<QByteArray>("answer");
    const auto response = [](const QByteArray &service) {
        return MmsPduCodec::confirmedResponse(7, service);
    };
    const MmsServiceError nonExistent{MmsServiceError::Access, 2};

    MmsNameListRequest domains;
    domains.objectClass = MmsNameListRequest::Domain;
    QTest::newRow("domains") << confirmed(MmsServices::getNameListRequest(domains))
                             << response(
                                    MmsServices::getNameListResponse({"OTHER", "TESTLD0"}, false));
    MmsNameListRequest lists;
    lists.objectClass = MmsNameListRequest::NamedVariableList;
    lists.scope = MmsObjectName::DomainSpecific;
    lists.domain = Device;
    QTest::newRow("data sets") << confirmed(MmsServices::getNameListRequest(lists))
                               << response(
                                      MmsServices::getNameListResponse({"LLN0$Analog"}, false));
    MmsNameListRequest continued = lists;
    continued.objectClass = MmsNameListRequest::NamedVariable;
    continued.hasContinueAfter = true;
    continued.continueAfter = QStringLiteral("LLN0$ST$Mod$q");
    QTest::newRow("names after a name") << confirmed(MmsServices::getNameListRequest(continued))
                                        << response(MmsServices::getNameListResponse(
                                               {"LLN0$ST$Mod$stVal", "LLN0$ST$Mod$t"}, false));
    MmsNameListRequest unknown = lists;
    unknown.domain = QStringLiteral("NOSUCH");
    QTest::newRow("names of an unknown domain")
        << confirmed(MmsServices::getNameListRequest(unknown))
        << MmsPduCodec::confirmedError(7, nonExistent);

    QTest::newRow("read") << confirmed(MmsServices::readRequest(item("LLN0$DC$NamPlt$vendor")))
                          << response(
                                 MmsServices::readResponse({MmsValue::visibleString("Tessarin")}));
    QTest::newRow("read of a structure")
        << confirmed(MmsServices::readRequest(item("LLN0$CF$Mod")))
        << response(MmsServices::readResponse({MmsValue::structure({MmsValue::integer(0)})}));
    QTest::newRow("read of nothing")
        << confirmed(MmsServices::readRequest(item("LLN0$ST$Mod$nothing")))
        << response(MmsServices::readResponse({MmsValue::dataAccessError(10)}));
    QByteArray dataSetRead =
        Ber::tlv(MmsServices::Read,
                 Ber::tlv(0xa1, Ber::tlv(0xa1, Ber::tlv(0xa1, Ber::tlv(0x1a, Device.toLatin1()) +
                                                                  Ber::tlv(0x1a, "LLN0$Analog")))));
    QTest::newRow("read of a data set")
        << confirmed(dataSetRead)
        << response(MmsServices::readResponse({MmsValue::floatingPoint(0),
                                               MmsValue::bitString(QByteArray(), 13),
                                               MmsValue::dataAccessError(10)}));

    MmsTypeSpec mode = MmsTypeSpec::structure();
    mode.addComponent(QStringLiteral("ctlModel"), MmsTypeSpec::integer(8));
    QTest::newRow("type")
        << confirmed(MmsServices::getVariableAccessAttributesRequest(item("LLN0$CF$Mod")))
        << response(MmsServices::getVariableAccessAttributesResponse(false, mode));
    QTest::newRow("type of nothing")
        << confirmed(MmsServices::getVariableAccessAttributesRequest(item("LLN0$XX")))
        << MmsPduCodec::confirmedError(7, nonExistent);
    MmsVariableListAttributes members;
    members.members = model->dataSet(Device, QStringLiteral("LLN0$Analog"))->members;
    QTest::newRow("data set members")
        << confirmed(MmsServices::getNamedVariableListAttributesRequest(item("LLN0$Analog")))
        << response(MmsServices::getNamedVariableListAttributesResponse(members));
    QTest::newRow("members of nothing")
        << confirmed(MmsServices::getNamedVariableListAttributesRequest(item("LLN0$None")))
        << MmsPduCodec::confirmedError(7, nonExistent);

    QTest::newRow("defineNamedVariableList is not served")
        << confirmed(Ber::tlv(0xab, QByteArray::fromHex("a000a000")))
        << MmsPduCodec::reject(7, true, MmsPdu::RejectedConfirmedRequest, 1);
    QTest::newRow("malformed request")
        << confirmed(Ber::tlv(MmsServices::GetNameList, QByteArray::fromHex("a0038001")))
        << MmsPduCodec::reject(7, true, MmsPdu::RejectedConfirmedRequest, 4);
    QTest::newRow("no PDU at all")
        << QByteArray::fromHex("ff01") << MmsPduCodec::reject(0, false, 5, 1);
    QTest::newRow("conclude") << MmsPduCodec::concludeRequest() << MmsPduCodec::concludeResponse();
    QTest::newRow("a report needs no answer") << QByteArray::fromHex("a300") << QByteArray();
}

void TestIedServer::answersRequests()
{
    QFETCH(QByteArray, pdu);
    QFETCH(QByteArray, answer);
    MmsServerConnection connection(model);
    connection.receive(connectRequest());
    connection.receive(associateRequest());
    QCOMPARE(connection.state(), MmsServerConnection::Associated);
    QCOMPARE(request(connection, pdu).toHex(' '), answer.toHex(' '));
    QCOMPARE(connection.state(), MmsServerConnection::Associated);
}

void TestIedServer::continuesNameListsWithinPduSize()
{
    MmsServerConnection connection(model);
    connection.receive(connectRequest());
    connection.receive(associateRequest(100));
    QCOMPARE(connection.negotiated().localDetail, 100);
    MmsNameListRequest names;
    names.scope = MmsObjectName::DomainSpecific;
    names.domain = Device;
    QStringList collected;
    for (int round = 0; round < 30; ++round) {
        const QByteArray answer =
            request(connection, confirmed(MmsServices::getNameListRequest(names)));
        QVERIFY(answer.size() <= 100);
        MmsPdu pdu;
        QVERIFY(MmsPduCodec::decode(answer, &pdu));
        QStringList part;
        bool more = false;
        QVERIFY(
            MmsServices::decodeGetNameListResponse(pdu.serviceReader(), pdu.service, &part, &more));
        collected += part;
        if (!more)
            break;
        names.hasContinueAfter = true;
        names.continueAfter = part.last();
    }
    QCOMPARE(collected, model->variableNames(Device));
    // Three logical nodes in one read do not fit in 100 octets.
    QByteArray variables;
    for (int i = 0; i < 3; ++i) {
        variables +=
            Ber::tlv(0x30, Ber::tlv(0xa0, Ber::tlv(0xa1, Ber::tlv(0x1a, Device.toLatin1()) +
                                                             Ber::tlv(0x1a, "LLN0"))));
    }
    const QByteArray tooLarge =
        request(connection,
                confirmed(Ber::tlv(MmsServices::Read, Ber::tlv(0xa1, Ber::tlv(0xa0, variables)))));
    QCOMPARE(tooLarge, MmsPduCodec::confirmedError(7, {MmsServiceError::Service, 3}));
}

void TestIedServer::negotiatesAssociation()
{
    MmsServerConnection connection(model);
    CotpTpdu confirm;
    const QList<QByteArray> transport = answersIn(connection.receive(connectRequest(7)));
    QCOMPARE(transport.size(), 1);
    QVERIFY(Cotp::decode(transport.first(), &confirm));
    QCOMPARE(confirm.type, int(CotpTpdu::ConnectConfirm));
    QCOMPARE(confirm.parameters.tpduSizeCode, 7);
    QCOMPARE(confirm.parameters.destinationReference, quint16(1));
    QCOMPARE(connection.state(), MmsServerConnection::AwaitingAssociation);

    MmsInitiateParameters proposal = MmsInitiateParameters::clientProposal(100000);
    proposal.maxServOutstandingCalling = 20;
    const QByteArray output = connection.receive(
        packets(IsoMessageCodec::associateRequest(MmsPduCodec::initiateRequest(proposal)), 7));
    IsoMessage accept;
    QVERIFY(IsoMessageCodec::decode(answersIn(output).value(0), &accept));
    QCOMPARE(accept.kind, IsoMessage::AssociateResponse);
    QCOMPARE(accept.acse.result, int(AcseApdu::Accepted));
    QCOMPARE(accept.presentation.results, QList<int>({0, 0}));
    MmsPdu initiate;
    QVERIFY(MmsPduCodec::decode(accept.mms, &initiate));
    QCOMPARE(initiate.initiate.localDetail, 65000);
    QCOMPARE(initiate.initiate.maxServOutstandingCalling, 5);
    QCOMPARE(connection.state(), MmsServerConnection::Associated);
    // Answers longer than the 128-octet TPDU size go out in several TPDUs.
    QByteArray answer = connection.receive(
        packets(IsoMessageCodec::data(
                    3, confirmed(MmsServices::getNameListRequest(
                           {0, MmsObjectName::DomainSpecific, Device, false, QString()}))),
                7));
    QVERIFY(answer.size() > 128);
    QVERIFY(answer.startsWith(QByteArray::fromHex("03000084 02f000")));
}

void TestIedServer::closesOnFaults_data()
{
    QTest::addColumn<int>("stage"); // 0 new, 1 transport connected, 2 associated
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("data before the transport connect")
        << 0 << packets(QByteArray::fromHex("01000100")) << QByteArray();
    QTest::newRow("no TPKT") << 0 << QByteArray::fromHex("0400000a0000000000") << QByteArray();
    QTest::newRow("data before the association")
        << 1 << packets(IsoMessageCodec::data(3, QByteArray::fromHex("8b00"))) << QByteArray();
    QTest::newRow("second connect request") << 2 << connectRequest() << QByteArray();
    QTest::newRow("session garbage") << 2 << packets(QByteArray::fromHex("7700")) << QByteArray();
    QTest::newRow("ACSE context for MMS")
        << 2 << packets(IsoMessageCodec::data(1, QByteArray::fromHex("8b00"))) << QByteArray();
    QByteArray huge;
    for (int i = 0; i < 10; ++i)
        huge += Tpkt::frame(QByteArray::fromHex("02f000") + QByteArray(8000, 'x'));
    QTest::newRow("message too large") << 2 << huge << QByteArray();
    const MmsInitiateParameters proposal = MmsInitiateParameters::clientProposal(65000);
    const QByteArray userInformation =
        Ber::tlv(0xbe, Ber::tlv(0x28, Ber::integer(0x02, 3) +
                                          Ber::tlv(0xa0, MmsPduCodec::initiateRequest(proposal))));
    const QByteArray foreignContext = IsoSession::connect(IsoPresentation::connect(
        Ber::tlv(0x60, Ber::tlv(0xa1, Ber::oid(0x06, {1, 2, 3})) + userInformation)));
    QTest::newRow("application context not MMS")
        << 1 << packets(foreignContext)
        << IsoMessageCodec::associateResponse({0, 0}, 1, 3, AcseApdu::RejectedPermanent,
                                              QByteArray());
}

void TestIedServer::closesOnFaults()
{
    QFETCH(int, stage);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, answer);
    MmsServerConnection connection(model);
    if (stage >= 1)
        connection.receive(connectRequest());
    if (stage >= 2)
        connection.receive(associateRequest());
    const QList<QByteArray> answers = answersIn(connection.receive(bytes));
    QCOMPARE(connection.state(), MmsServerConnection::Closed);
    QCOMPARE(answers.value(0), answer);
    QVERIFY(answers.size() <= 1);
    QVERIFY(connection.receive(associateRequest()).isEmpty());
}

void TestIedServer::releaseAndAbortEndTheConnection()
{
    MmsServerConnection released(model);
    released.receive(connectRequest() + associateRequest());
    const QList<QByteArray> answers =
        answersIn(released.receive(packets(IsoMessageCodec::releaseRequest(1))));
    QCOMPARE(answers, QList<QByteArray>({IsoMessageCodec::releaseResponse(1)}));
    QCOMPARE(released.state(), MmsServerConnection::Closed);
    QVERIFY(released.wasAssociated());

    MmsServerConnection aborted(model);
    aborted.receive(connectRequest() + associateRequest());
    QVERIFY(aborted.receive(packets(IsoMessageCodec::abort(1))).isEmpty());
    QCOMPARE(aborted.state(), MmsServerConnection::Closed);
}

void TestIedServer::servesClientsFromItsThread()
{
    IedServerThread server;
    QVERIFY(server.start(model, QHostAddress::LocalHost, 0));
    QSignalSpy established(&server, &IedServerThread::associationEstablished);
    QSignalSpy closed(&server, &IedServerThread::associationClosed);
    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), server.serverPort()),
             IedClientError::Ok);
    IedClientError error = IedClientError::Unknown;
    const MmsValue mode =
        connection.readObject(QStringLiteral("TESTLD0/LLN0.Mod"), QStringLiteral("ST"), &error);
    QCOMPARE(error, IedClientError::Ok);
    QCOMPARE(mode.toText(), QStringLiteral("{1,0000000000000,19700101000001.000Z}"));
    const MmsTypeSpec type = connection.variableSpecification(QStringLiteral("TESTLD0/GGIO1.AnIn1"),
                                                              QStringLiteral("MX"), &error);
    QCOMPARE(error, IedClientError::Ok);
    QCOMPARE(type.componentName(1), QStringLiteral("q"));
    QCOMPARE(type.component(1), MmsTypeSpec::bitString(-13));
    bool deletable = true;
    QCOMPARE(connection.dataSetDirectory(QStringLiteral("TESTLD0/LLN0.Analog"), &deletable),
             QStringList({"TESTLD0/GGIO1.AnIn1.mag.f[MX]", "TESTLD0/GGIO1.AnIn2.q[MX]",
                          "TESTLD0/GGIO1.AnIn9[MX]"}));
    QVERIFY(!deletable);
    connection.readObject(QStringLiteral("TESTLD0/LLN0.Mod"), QStringLiteral("SP"), &error);
    QCOMPARE(error, IedClientError::ObjectDoesNotExist);
    QCOMPARE(connection.close(), IedClientError::Ok);
    QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, EventTimeoutMs);
    QCOMPARE(established.count(), 1);
    QCOMPARE(established.first().first(), closed.first().first());
}

void TestIedServer::limitsConnections()
{
    IedServer server(model);
    server.setMaxConnections(1);
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QSignalSpy dropped(&server, &IedServer::connectionDropped);
    QTcpSocket first;
    QTcpSocket second;
    first.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 1, EventTimeoutMs);
    // A connection without an association gives its slot to the next one.
    second.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QTRY_COMPARE_WITH_TIMEOUT(first.state(), QAbstractSocket::UnconnectedState, EventTimeoutMs);
    QCOMPARE(second.state(), QAbstractSocket::ConnectedState);
    QCOMPARE(server.connectionCount(), 1);
    QVERIFY(dropped.first().at(1).toString().endsWith("its slot went to a new connection"));

    // An associated one keeps it.
    QSignalSpy associated(&server, &IedServer::associationEstablished);
    second.write(connectRequest() + associateRequest());
    QVERIFY(associated.wait(EventTimeoutMs));
    QTcpSocket third;
    third.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QTRY_COMPARE_WITH_TIMEOUT(dropped.count(), 2, EventTimeoutMs);
    QCOMPARE(dropped.last().at(1).toString(),
             QStringLiteral("all 1 connection slots are held by associations"));
    QTRY_COMPARE_WITH_TIMEOUT(third.state(), QAbstractSocket::UnconnectedState, EventTimeoutMs);
    QCOMPARE(second.state(), QAbstractSocket::ConnectedState);
    second.abort();
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 0, EventTimeoutMs);
}

void TestIedServer::dropsStalledConnections_data()
{
    QTest::addColumn<QByteArray>("bytes"); // what the peer sends before it stalls
    QTest::addColumn<QString>("reason");
    const QByteArray request = connectRequest();
    const QByteArray association = associateRequest();
    const QString unassociated = QStringLiteral("no association within 200 ms");
    QTest::newRow("idle after TCP connect") << QByteArray() << unassociated;
    QTest::newRow("half a TPKT") << request.left(2) << unassociated;
    QTest::newRow("half a connection request") << request.left(request.size() / 2) << unassociated;
    QTest::newRow("half a session connect")
        << request + association.left(association.size() / 2) << unassociated;
    const QByteArray data = packets(IsoMessageCodec::data(
        3, confirmed(MmsServices::getNameListRequest(
               {0, MmsObjectName::DomainSpecific, Device, false, QString()}))));
    QTest::newRow("associated, half a request")
        << request + association + data.left(data.size() - 3)
        << QStringLiteral("stalled halfway through a message for 200 ms");
}

void TestIedServer::dropsStalledConnections()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    IedServer server(model);
    server.setMaxConnections(1);
    server.setAssociationDeadline(200);
    server.setIdleLimit(200);
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QSignalSpy dropped(&server, &IedServer::connectionDropped);
    QTcpSocket staller;
    staller.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QVERIFY(staller.waitForConnected(30000));
    staller.write(bytes);
    QVERIFY(dropped.wait(30000));
    QCOMPARE(dropped.first().at(1).toString(), reason);
    QTRY_COMPARE_WITH_TIMEOUT(staller.state(), QAbstractSocket::UnconnectedState, 30000);
    QCOMPARE(server.connectionCount(), 0);

    // The slot is free again, and a client that associates in time keeps it.
    QTcpSocket next;
    next.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 1, 30000);
    QSignalSpy associated(&server, &IedServer::associationEstablished);
    next.write(connectRequest() + associateRequest());
    QVERIFY(associated.wait(30000));
    QVERIFY(!dropped.wait(400));
    QCOMPARE(next.state(), QAbstractSocket::ConnectedState);
}

void TestIedServer::servesWhileHostilePeersHoldEverySlot_data()
{
    QTest::addColumn<QByteArray>("bytes"); // what each peer sends first
    QTest::addColumn<int>("requests");     // then requests it never reads the answers of
    QTest::addColumn<QString>("reason");   // why the server lets one go
    const QString evicted = QStringLiteral("its slot went to a new connection");
    QTest::newRow("idle connections") << QByteArray() << 0 << evicted;
    QTest::newRow("half a TPKT") << connectRequest().left(2) << 0 << evicted;
    QTest::newRow("associated clients that stopped reading")
        << connectRequest() + associateRequest() << 200
        << QStringLiteral("took none of the bytes sent to it for 200 ms");
}

void TestIedServer::servesWhileHostilePeersHoldEverySlot()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, requests);
    QFETCH(QString, reason);
    IedServerThread server;
    // No slot comes free by the association deadline while the test runs.
    server.setAssociationDeadline(600000);
    server.setIdleLimit(200);
    QVERIFY(server.start(bulkyModel(), QHostAddress::LocalHost, 0));
    QSignalSpy associated(&server, &IedServerThread::associationEstablished);
    QSignalSpy dropped(&server, &IedServerThread::connectionDropped);
    const QByteArray request = packets(IsoMessageCodec::data(
        3, confirmed(MmsServices::readRequest(item("LLN0$DC$Text", "BULK")))));
    constexpr int Slots = 16;
    std::vector<std::unique_ptr<QTcpSocket>> peers;
    for (int i = 0; i < Slots; ++i) {
        peers.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket &peer = *peers.back();
        peer.setReadBufferSize(1); // what the server sends stays in the network
        peer.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(peer.waitForConnected(EventTimeoutMs));
        peer.write(bytes);
        QVERIFY(peer.waitForBytesWritten(EventTimeoutMs) || bytes.isEmpty());
    }
    if (requests > 0) {
        QTRY_COMPARE_WITH_TIMEOUT(associated.count(), Slots, EventTimeoutMs);
        for (const auto &peer : peers)
            peer->write(request.repeated(requests));
        // Until the server lets them go, every slot is held.
        QTRY_COMPARE_WITH_TIMEOUT(dropped.count(), Slots, EventTimeoutMs);
    }

    IedConnection client;
    QCOMPARE(client.connect(QStringLiteral("127.0.0.1"), server.serverPort()), IedClientError::Ok);
    IedClientError error = IedClientError::Unknown;
    QCOMPARE(client.logicalDeviceList(&error), QStringList({"BULK"}));
    QCOMPARE(error, IedClientError::Ok);
    QCOMPARE(client.close(), IedClientError::Ok);
    QTRY_VERIFY_WITH_TIMEOUT(!dropped.isEmpty(), EventTimeoutMs);
    for (const QList<QVariant> &drop : qAsConst(dropped))
        QVERIFY2(drop.at(1).toString().endsWith(reason), qPrintable(drop.at(1).toString()));
    if (requests == 0) {
        // One peer made room for the client, the others still hold theirs.
        QCOMPARE(dropped.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(std::count_if(peers.cbegin(), peers.cend(),
                                                [](const auto &peer) {
                                                    return peer->state() ==
                                                           QAbstractSocket::ConnectedState;
                                                }),
                                  long(Slots - 1), EventTimeoutMs);
    }
}

QTEST_GUILESS_MAIN(TestIedServer)
#include "tst_iedserver.moc"
