// Reporting of the server on 127.0.0.1, driven by a client made of our own
// codecs: data change and integrity reports, GI right after the write that
// asks for it, the writes a server refuses, reservation by one association,
// resynchronisation of a buffered block and segmentation.

#include "eventwait.h"
#include "iec61850types.h"
#include "iedconnection.h"
#include "iedserver.h"
#include "iedserverthread.h"
#include "reportclient.h"
#include "reportcontrolengine.h"
#include "reportwatch.h"

#include <QtTest>

Q_DECLARE_METATYPE(MmsValue)

namespace {

const QString Device = QStringLiteral("LD0");
const QString Urcb = QStringLiteral("LLN0$RP$EventsRCB01");
const QString Brcb = QStringLiteral("LLN0$BR$EventsBRCB01");

MmsTypeSpec structureOf(std::initializer_list<std::pair<const char *, MmsTypeSpec>> members)
{
    MmsTypeSpec type = MmsTypeSpec::structure();
    for (const auto &member : members)
        type.addComponent(QLatin1String(member.first), member.second);
    return type;
}

std::shared_ptr<MmsServerModel> reportingModel()
{
    auto model = std::make_shared<MmsServerModel>();
    MmsServerDomain &device = model->domain(Device);
    const MmsTypeSpec status = structureOf({{"stVal", MmsTypeSpec::boolean()},
                                            {"q", MmsTypeSpec::bitString(-13)},
                                            {"t", MmsTypeSpec::utcTime()}});
    const MmsTypeSpec vendor = structureOf({{"vendor", MmsTypeSpec::visibleString(-255)}});
    const MmsTypeSpec ggio = structureOf(
        {{"ST", structureOf({{"Ind1", status}, {"Ind2", status}, {"Ind3", status}})},
         {"CF", structureOf({{"Mod", structureOf({{"ctlModel", MmsTypeSpec::integer(8)}})}})},
         {"DC", structureOf({{"NamPlt", vendor}})}});
    device.variables.append({QStringLiteral("GGIO1"), ggio, ggio.defaultValue()});

    ReportControlSettings settings;
    settings.rptId = QStringLiteral("Events");
    settings.dataSet = Device + QStringLiteral("/LLN0$Events");
    settings.confRev = 1;
    settings.optFlds = ReportOptionSeqNum | ReportOptionDataReference |
                       ReportOptionReasonForInclusion | ReportOptionEntryId |
                       ReportOptionBufferOverflow;
    settings.trgOps = TriggerOptionDataChanged | TriggerOptionGi;
    MmsTypeSpec rp = MmsTypeSpec::structure();
    MmsTypeSpec br = MmsTypeSpec::structure();
    rp.addComponent(QStringLiteral("EventsRCB01"), Iec61850Types::reportControlType(false));
    br.addComponent(QStringLiteral("EventsBRCB01"), Iec61850Types::reportControlType(true));
    const MmsValue urcb = Iec61850Types::reportControlValue(settings);
    settings.buffered = true;
    const MmsValue brcb = Iec61850Types::reportControlValue(settings);
    const MmsTypeSpec lln0 = structureOf({{"BR", br}, {"RP", rp}});
    device.variables.append(
        {QStringLiteral("LLN0"), lln0,
         MmsValue::structure({MmsValue::structure({brcb}), MmsValue::structure({urcb})})});
    MmsServerDataSet events{QStringLiteral("LLN0$Events"), {}, false};
    for (const char *member : {"GGIO1$ST$Ind1$stVal", "GGIO1$ST$Ind2$stVal", "GGIO1$ST$Ind3"})
        events.members.append({MmsObjectName::DomainSpecific, Device, QLatin1String(member)});
    device.dataSets.append(events);
    MmsServerDataSet many{QStringLiteral("LLN0$Many"), {}, false};
    for (int i = 0; i < 300; ++i)
        many.members.append(events.members.at(i % events.members.size()));
    device.dataSets.append(many);
    model->finish();
    return model;
}

MmsWriteResult denied(int code)
{
    return MmsWriteResult::failure(code);
}

} // namespace

class TestServerReports : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void reportsDataChangeAndIntegrity();
    void sendsGiRightAfterTheWriteResponse();
    void refusesWrites_data();
    void refusesWrites();
    void reservesForTheEnablingAssociation();
    void holdsBufferedBlockForItsAddress();
    void resynchronisesBufferedBlock();
    void segmentsReportsLargerThanThePdu();
    void dropsReportsForAClientThatDoesNotRead();
    void boundsBufferInBytes();
    void watchPrintsReportsWhileEnabling();

private:
    void setStatus(const QString &item, bool value);

    std::shared_ptr<MmsServerModel> model;
    std::unique_ptr<IedServer> server;
};

void TestServerReports::init()
{
    model = reportingModel();
    server = std::make_unique<IedServer>(model);
    QVERIFY(server->listen(QHostAddress::LocalHost, 0));
}

void TestServerReports::cleanup()
{
    server.reset();
    model.reset();
}

void TestServerReports::setStatus(const QString &item, bool value)
{
    QCOMPARE(model->update(Device, item, MmsValue::boolean(value)), MmsServerModel::Updated);
}

void TestServerReports::reportsDataChangeAndIntegrity()
{
    ReportClient client(Device);
    QVERIFY(client.associate(server->serverPort()));
    const QList<MmsWriteResult> results =
        client.write({{Urcb + "$TrgOps",
                       ReportClient::bits(TriggerOptionDataChanged | TriggerOptionIntegrity, 6)},
                      {Urcb + "$IntgPd", MmsValue::unsignedInteger(400)},
                      {Urcb + "$RptEna", MmsValue::boolean(true)}});
    QCOMPARE(results, QList<MmsWriteResult>({{}, {}, {}}));
    setStatus("GGIO1$ST$Ind2$stVal", true);
    QVERIFY(client.waitForReports(1));
    const Iec61850Report change = client.reports.first();
    QCOMPARE(change.rptId, QStringLiteral("Events"));
    QCOMPARE(change.seqNum, 0u);
    QCOMPARE(change.inclusion, QVector<bool>({false, true, false}));
    QCOMPARE(change.dataReferences, QStringList({"LD0/GGIO1$ST$Ind2$stVal"}));
    QCOMPARE(change.values, QList<MmsValue>({MmsValue::boolean(true)}));
    QCOMPARE(change.reasons, QVector<int>({ReasonDataChange}));
    // An unchanged value is an update, which these trigger options leave out.
    setStatus("GGIO1$ST$Ind2$stVal", true);
    QVERIFY(client.waitForReports(2));
    const Iec61850Report integrity = client.reports.at(1);
    QCOMPARE(integrity.seqNum, 1u);
    QCOMPARE(integrity.inclusion, QVector<bool>(3, true));
    QCOMPARE(integrity.reasons, QVector<int>(3, ReasonIntegrity));
    QCOMPARE(integrity.values.at(2).elementCount(), 3); // the whole Ind3
}

void TestServerReports::sendsGiRightAfterTheWriteResponse()
{
    ReportClient client(Device);
    QVERIFY(client.associate(server->serverPort()));
    QCOMPARE(client.write(Urcb + "$GI", MmsValue::boolean(true)), denied(2)); // not enabled
    QCOMPARE(client.write(Urcb + "$RptEna", MmsValue::boolean(true)), MmsWriteResult::ok());
    QCOMPARE(client.write(Urcb + "$GI", MmsValue::boolean(true)), MmsWriteResult::ok());
    QCOMPARE(client.reportsAtResponse, 0);
    QVERIFY(client.waitForReports(1));
    QCOMPARE(client.reports.first().reasons, QVector<int>(3, ReasonGi));
}

void TestServerReports::refusesWrites_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<MmsValue>("value");
    QTest::addColumn<int>("error");
    QTest::newRow("status") << "GGIO1$ST$Ind1$stVal" << MmsValue::boolean(true) << 3;
    QTest::newRow("configuration") << "GGIO1$CF$Mod$ctlModel" << MmsValue::integer(1) << 3;
    QTest::newRow("wrong type") << "GGIO1$DC$NamPlt$vendor" << MmsValue::integer(5) << 7;
    QTest::newRow("no such object") << "GGIO1$ST$Ind9$stVal" << MmsValue::boolean(true) << 10;
    QTest::newRow("no such data set")
        << Urcb + "$DatSet" << MmsValue::visibleString("LD0/LLN0$NoSuchDataSet") << 11;
    QTest::newRow("conf rev") << Urcb + "$ConfRev" << MmsValue::unsignedInteger(2) << 3;
    QTest::newRow("unknown entry")
        << Brcb + "$EntryID" << MmsValue::octetString(QByteArray(7, '\0') + '\1') << 11;
}

void TestServerReports::refusesWrites()
{
    QFETCH(QString, item);
    QFETCH(MmsValue, value);
    QFETCH(int, error);
    ReportClient client(Device);
    QVERIFY(client.associate(server->serverPort()));
    // Each item of one request has its own result.
    const QList<MmsWriteResult> results =
        client.write({{item, value}, {"GGIO1$DC$NamPlt$vendor", MmsValue::visibleString("x")}});
    QCOMPARE(results, QList<MmsWriteResult>({denied(error), MmsWriteResult::ok()}));
}

void TestServerReports::reservesForTheEnablingAssociation()
{
    ReportClient first(Device);
    ReportClient second(Device);
    QVERIFY(first.associate(server->serverPort()));
    QVERIFY(second.associate(server->serverPort()));
    QCOMPARE(first.write(Urcb + "$RptEna", MmsValue::boolean(true)), MmsWriteResult::ok());
    QCOMPARE(first.write(Urcb + "$DatSet", MmsValue::visibleString("LD0/LLN0$Events")), denied(2));
    QCOMPARE(second.write(Urcb + "$RptEna", MmsValue::boolean(false)), denied(2));
    QCOMPARE(first.write(Urcb + "$RptEna", MmsValue::boolean(false)), MmsWriteResult::ok());
    // Still reserved after the disable, until the association ends.
    QCOMPARE(second.write(Urcb + "$RptEna", MmsValue::boolean(true)), denied(2));
    MmsTypeSpec type;
    MmsValue resv;
    QVERIFY(model->find(Device, Urcb + "$Resv", &type, &resv));
    QVERIFY(resv.boolean());
    first.close();
    QVERIFY(QTest::qWaitFor([&] { return server->connectionCount() == 1; }, EventTimeoutMs));
    QCOMPARE(second.write(Urcb + "$RptEna", MmsValue::boolean(true)), MmsWriteResult::ok());
}

void TestServerReports::holdsBufferedBlockForItsAddress()
{
    ReportControlEngine engine(model);
    engine.addConnection(1, 65000, "10.0.0.1");
    engine.addConnection(2, 65000, "10.0.0.2");
    const quint64 start = 1000000;
    const auto enable = [&](int connection, quint64 at) {
        return engine.write(connection, Device, Brcb + "$RptEna", MmsValue::boolean(true), at);
    };
    QCOMPARE(engine.write(1, Device, Brcb + "$ResvTms", MmsValue::integer(2), start),
             MmsWriteResult::ok());
    QCOMPARE(enable(1, start), MmsWriteResult::ok());
    engine.removeConnection(1, start);
    QCOMPARE(enable(2, start + 1000), denied(2));
    engine.addConnection(3, 65000, "10.0.0.1"); // the same client, back within ResvTms
    QCOMPARE(enable(3, start + 1500), MmsWriteResult::ok());
    engine.removeConnection(3, start + 1500);
    QCOMPARE(enable(2, start + 3600), MmsWriteResult::ok());
}

void TestServerReports::resynchronisesBufferedBlock()
{
    ReportClient client(Device);
    QVERIFY(client.associate(server->serverPort()));
    QCOMPARE(client.write(Brcb + "$RptEna", MmsValue::boolean(true)), MmsWriteResult::ok());
    setStatus("GGIO1$ST$Ind1$stVal", true);
    QVERIFY(client.waitForReports(1));
    QVERIFY(client.reports.first().bufOvfl); // enabled without an EntryID
    const QByteArray lastSeen = client.reports.first().entryId;
    QCOMPARE(client.write(Brcb + "$RptEna", MmsValue::boolean(false)), MmsWriteResult::ok());
    // Buffered while disabled, one entry each: the server takes each change
    // before the next one is made.
    setStatus("GGIO1$ST$Ind1$stVal", false);
    QCoreApplication::sendPostedEvents(server.get(), QEvent::MetaCall);
    setStatus("GGIO1$ST$Ind2$stVal", true);
    QCoreApplication::sendPostedEvents(server.get(), QEvent::MetaCall);
    QCOMPARE(client.reports.size(), 1);
    const QList<MmsWriteResult> results =
        client.write({{Brcb + "$EntryID", MmsValue::octetString(lastSeen)},
                      {Brcb + "$RptEna", MmsValue::boolean(true)}});
    QCOMPARE(results, QList<MmsWriteResult>({{}, {}}));
    QVERIFY(client.waitForReports(3));
    QCOMPARE(client.reports.at(1).seqNum, 0u);
    QCOMPARE(client.reports.at(2).seqNum, 1u);
    QVERIFY(!client.reports.at(1).bufOvfl);
    QCOMPARE(client.reports.at(1).dataReferences, QStringList({"LD0/GGIO1$ST$Ind1$stVal"}));
    QCOMPARE(client.reports.at(2).dataReferences, QStringList({"LD0/GGIO1$ST$Ind2$stVal"}));
    // The buffer keeps values as octets; they come back as they were.
    QCOMPARE(client.reports.at(1).values, QList<MmsValue>({MmsValue::boolean(false)}));
    QCOMPARE(client.reports.at(2).values, QList<MmsValue>({MmsValue::boolean(true)}));
}

void TestServerReports::segmentsReportsLargerThanThePdu()
{
    ReportClient client(Device);
    QVERIFY(client.associate(server->serverPort(), 120));
    QCOMPARE(client.write(Urcb + "$RptEna", MmsValue::boolean(true)), MmsWriteResult::ok());
    QCOMPARE(client.write(Urcb + "$GI", MmsValue::boolean(true)), MmsWriteResult::ok());
    QVERIFY(client.waitForReports(2));
    QVERIFY(
        QTest::qWaitFor([&] { return !client.reports.last().moreSegmentsFollow; }, EventTimeoutMs));
    QVector<bool> covered(3, false);
    for (int i = 0; i < client.reports.size(); ++i) {
        const Iec61850Report &segment = client.reports.at(i);
        QVERIFY(segment.has(ReportOptionSegmentation));
        QCOMPARE(segment.seqNum, 0u);
        QCOMPARE(segment.subSeqNum, quint32(i));
        QCOMPARE(segment.moreSegmentsFollow, i + 1 < client.reports.size());
        for (int member : segment.includedMembers())
            covered[member] = true;
    }
    QCOMPARE(covered, QVector<bool>(3, true));
}

void TestServerReports::dropsReportsForAClientThatDoesNotRead()
{
    ReportClient client(Device);
    QVERIFY(client.associate(server->serverPort()));
    const QList<MmsWriteResult> results =
        client.write({{Urcb + "$DatSet", MmsValue::visibleString("LD0/LLN0$Many")},
                      {Urcb + "$TrgOps", ReportClient::bits(TriggerOptionIntegrity, 6)},
                      {Urcb + "$IntgPd", MmsValue::unsignedInteger(1)},
                      {Urcb + "$RptEna", MmsValue::boolean(true)}});
    QCOMPARE(results, QList<MmsWriteResult>({{}, {}, {}, {}}));
    client.stopReading();
    QTRY_VERIFY_WITH_TIMEOUT(server->droppedReports() > 0, EventTimeoutMs);
}

void TestServerReports::boundsBufferInBytes()
{
    // Nobody connected: the buffered block keeps what fits in its bytes.
    ReportControlEngine engine(model);
    engine.setBufferBytes(2048);
    const quint64 start = 1000000;
    for (int i = 0; i < 500; ++i) {
        setStatus("GGIO1$ST$Ind1$stVal", i % 2 == 0);
        engine.valuesChanged({{Device, "GGIO1$ST$Ind1$stVal", ReasonDataChange}},
                             start + quint64(i));
        engine.collect(start + quint64(i));
    }
    const ServerReportControl *block = engine.controlBlock(Device, Brcb);
    QVERIFY(block->bufferBytes() <= 2048);
    QVERIFY2(block->bufferedEntries() > 10 && block->bufferedEntries() < 500,
             qPrintable(QString::number(block->bufferedEntries())));

    // The client that comes later gets what is left, marked as overflowed.
    engine.addConnection(1, 65000, "10.0.0.1");
    QCOMPARE(engine.write(1, Device, Brcb + "$RptEna", MmsValue::boolean(true), start + 500),
             MmsWriteResult::ok());
    const std::vector<ReportControlEngine::Outgoing> sent = engine.collect(start + 500);
    QCOMPARE(int(sent.size()), block->bufferedEntries());
    MmsPdu pdu;
    MmsInformationReport information;
    Iec61850Report first;
    QVERIFY(MmsPduCodec::decode(sent.front().pdu, &pdu));
    QVERIFY(MmsReportCodec::decodeInformationReport(pdu, &information));
    QVERIFY(MmsReportCodec::decodeReport(information.values, &first));
    QVERIFY(first.bufOvfl);
}

void TestServerReports::watchPrintsReportsWhileEnabling()
{
    IedServerThread device;
    QVERIFY(device.start(model, QHostAddress::LocalHost, 0));
    IedConnection connection;
    QCOMPARE(connection.connect(QStringLiteral("127.0.0.1"), device.serverPort()),
             IedClientError::Ok);
    QString output;
    QTextStream out(&output);
    QString problem;
    {
        ReportWatch watch(connection, out);
        WatchedBlock first;
        first.reference = Device + '/' + Urcb;
        first.gi = true;
        QVERIFY2(watch.enable(first, &problem), qPrintable(problem));
        // The second with one the device does not have, in one go: their
        // requests in flight together, each block's outcome its own.
        WatchedBlock second;
        second.reference = Device + '/' + Brcb;
        WatchedBlock missing;
        missing.reference = Device + QStringLiteral("/LLN0$RP$MissingRCB01");
        connection.resetCounters();
        QStringList problems;
        watch.enableAll({missing, second}, &problems);
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.first().startsWith(missing.reference + ": cannot read the block: "),
                 qPrintable(problems.first()));
        QCOMPARE(watch.enabledCount(), 2);
        QVERIFY(output.contains("Enabled " + second.reference));
        QVERIFY(connection.mostRequestsInFlight() >= 2);
        // The first block's GI report came during the second's requests.
        QVERIFY2(watch.reportCount() >= 1, qPrintable(output));
    }
    QCOMPARE(connection.droppedReports(), 0);
    connection.close();
}

QTEST_GUILESS_MAIN(TestServerReports)
#include "tst_serverreports.moc"
