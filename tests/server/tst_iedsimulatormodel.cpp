// The simulated IED built from an SCL file answers the reference client's
// requests of the traces as the reference server did: the same names in the
// same order, the same data sets, types and control block values.

#include "iedsimulatormodel.h"
#include "isomessage.h"
#include "mmsdatacodec.h"
#include "mmspdu.h"
#include "mmsreport.h"
#include "mmsserverconnection.h"
#include "mmsservices.h"
#include "mmswrite.h"
#include "reportcontrolengine.h"
#include "testpaths.h"
#include "tracefile.h"

#include <QDateTime>
#include <QDir>
#include <QtTest>

class TestIedSimulatorModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void answersLikeReferenceServer_data();
    void answersLikeReferenceServer();
    void answersWritesLikeReferenceServer_data();
    void answersWritesLikeReferenceServer();
    void continuesNameListsWithinSmallPdus();
    void servesControlBlocksAsConfigured();
    void refusesUnusableFiles_data();
    void refusesUnusableFiles();
};

namespace {

QString sample(const QString &name)
{
    return QDir(sharedDir()).filePath(QStringLiteral("scl-samples/libiec61850/") + name);
}

// The complete messages in a server's output.
QList<QByteArray> messagesIn(const QByteArray &output, QList<int> *tpduTypes = nullptr)
{
    QList<QByteArray> messages;
    TpktReader reader;
    reader.append(output);
    QByteArray tpdu;
    QByteArray joined;
    while (reader.next(&tpdu) == TpktReader::PacketReady) {
        CotpTpdu decoded;
        if (!Cotp::decode(tpdu, &decoded))
            return {};
        if (tpduTypes)
            tpduTypes->append(decoded.type);
        if (decoded.type != CotpTpdu::Data) {
            messages.append(tpdu);
            continue;
        }
        joined += decoded.userData;
        if (decoded.endOfTransmission) {
            messages.append(joined);
            joined.clear();
        }
    }
    return messages;
}

MmsPdu mmsOf(const QByteArray &userData)
{
    IsoMessage message;
    MmsPdu pdu;
    if (IsoMessageCodec::decode(userData, &message))
        MmsPduCodec::decode(message.mms, &pdu);
    return pdu;
}

// Time stamps, entry ids and measured values change from run to run; their
// types do not.
MmsValue withoutVolatileValues(const MmsValue &value)
{
    switch (value.type()) {
    case MmsType::Structure: {
        std::vector<MmsValue> members;
        for (const MmsValue &member : value.elements())
            members.push_back(withoutVolatileValues(member));
        return MmsValue::structure(std::move(members));
    }
    case MmsType::Float:
        return MmsValue::floatingPoint(0);
    case MmsType::UtcTime:
        return MmsValue::utcTime(QByteArray(8, '\0'));
    case MmsType::BinaryTime:
        return MmsValue::binaryTime(QByteArray(value.octets().size(), '\0'));
    case MmsType::OctetString:
        return MmsValue::octetString(QByteArray(value.octets().size(), '\0'));
    default:
        return value;
    }
}

QString describe(const MmsPdu &pdu)
{
    return QString::fromLatin1(pdu.bytes.left(120).toHex(' '));
}

} // namespace

void TestIedSimulatorModel::init()
{
    QSKIP_WITHOUT_SHARED();
    if (TraceFile::directory().isEmpty() ||
        !QFileInfo::exists(sample("simpleIO_direct_control.cid")))
        QSKIP("the MMS traces or the libiec61850 SCL samples are absent from the shared folder");
}

void TestIedSimulatorModel::answersLikeReferenceServer_data()
{
    QTest::addColumn<QString>("traceName");
    QTest::addColumn<QString>("sclFile");
    QTest::newRow("01 basic I/O") << "01_browse_basic_io"
                                  << "simpleIO_direct_control.cid";
    QTest::newRow("02 release") << "02_connect_release"
                                << "simpleIO_direct_control.cid";
    QTest::newRow("04 type of GGIO1") << "04_get_variable_access_attributes"
                                      << "simpleIO_direct_control.cid";
    QTest::newRow("06 three devices") << "06_browse_multi_ld_complexModel"
                                      << "complexModel.cid";
    QTest::newRow("07 control tests") << "07_browse_control_model_cotp_segmented"
                                      << "simpleIO_control_tests.cid";
}

void TestIedSimulatorModel::answersLikeReferenceServer()
{
    QFETCH(QString, traceName);
    QFETCH(QString, sclFile);
    TraceFile trace;
    QVERIFY2(trace.load(traceName), qPrintable(trace.errorString()));
    QString problem;
    const auto model = IedSimulatorModel::fromSclFile(sample(sclFile), QString(), &problem);
    QVERIFY2(model, qPrintable(problem));
    MmsServerConnection connection(model);

    const QList<TraceMessage> &messages = trace.messages();
    int compared = 0;
    for (int i = 0; i < messages.size(); ++i) {
        if (!messages.at(i).fromClient)
            continue;
        const QList<QByteArray> answers =
            messagesIn(connection.receive(messages.at(i).packets.join()));
        QList<QByteArray> expected;
        for (int j = i + 1; j < messages.size() && !messages.at(j).fromClient; ++j)
            expected << (messages.at(j).tpduType == CotpTpdu::Data ? messages.at(j).userData
                                                                   : messages.at(j).tpdu);
        QCOMPARE(answers.size(), expected.size());
        if (answers.isEmpty())
            continue;
        ++compared;
        const MmsPdu ours = mmsOf(answers.first());
        const MmsPdu theirs = mmsOf(expected.first());
        IsoMessage association;
        if (IsoMessageCodec::decode(expected.first(), &association) &&
            association.kind == IsoMessage::AssociateResponse) {
            // The servers of traces 06 and 07 offered file services as well.
            IsoMessage ourAssociation;
            QVERIFY(IsoMessageCodec::decode(answers.first(), &ourAssociation));
            QCOMPARE(ourAssociation.presentation.results, association.presentation.results);
            QCOMPARE(ourAssociation.acse.result, association.acse.result);
            MmsPdu ourInitiate;
            MmsPdu theirInitiate;
            QVERIFY(MmsPduCodec::decode(ourAssociation.mms, &ourInitiate));
            QVERIFY(MmsPduCodec::decode(association.mms, &theirInitiate));
            theirInitiate.initiate.servicesSupported = ourInitiate.initiate.servicesSupported;
            QCOMPARE(MmsPduCodec::initiateResponse(ourInitiate.initiate),
                     MmsPduCodec::initiateResponse(theirInitiate.initiate));
            continue;
        }
        if (theirs.kind != MmsPdu::ConfirmedResponse || theirs.service.tag != MmsServices::Read) {
            // Transport, association, names, types, data sets: the same bytes.
            QVERIFY2(
                answers.first() == expected.first(),
                qPrintable(
                    QStringLiteral("frame %1: %2").arg(messages.at(i).frame).arg(describe(ours))));
            continue;
        }
        QList<MmsValue> ourValues;
        QList<MmsValue> theirValues;
        QVERIFY(MmsServices::decodeReadResponse(ours.serviceReader(), ours.service, &ourValues));
        QVERIFY(
            MmsServices::decodeReadResponse(theirs.serviceReader(), theirs.service, &theirValues));
        QCOMPARE(ourValues.size(), theirValues.size());
        for (int k = 0; k < ourValues.size(); ++k)
            QCOMPARE(withoutVolatileValues(ourValues.at(k)).toText(),
                     withoutVolatileValues(theirValues.at(k)).toText());
    }
    QVERIFY(compared > 0);
}

void TestIedSimulatorModel::answersWritesLikeReferenceServer_data()
{
    QTest::addColumn<QString>("traceName");
    QTest::addColumn<int>("writes");
    QTest::addColumn<int>("reports");
    // Trace 09 resynchronises on an entry id of the reference server's buffer.
    QTest::newRow("08 unbuffered report") << "08_report_unbuffered" << 5 << 2; // GI, change
    QTest::newRow("10 writes and errors") << "10_read_write_errors" << 5 << 0;
}

void TestIedSimulatorModel::answersWritesLikeReferenceServer()
{
    QFETCH(QString, traceName);
    QFETCH(int, writes);
    QFETCH(int, reports);
    TraceFile trace;
    QVERIFY2(trace.load(traceName), qPrintable(trace.errorString()));
    const auto model = IedSimulatorModel::fromSclFile(sample("simpleIO_direct_control.cid"));
    QVERIFY(model);
    ReportControlEngine engine(model);
    engine.addConnection(1, MmsServerConnection::MaxPduSize);
    const int listener = model->addChangeListener([&](const QVector<MmsValueChange> &changes) {
        engine.valuesChanged(changes, quint64(QDateTime::currentMSecsSinceEpoch()));
    });
    MmsServerConnection connection(model, &engine, 1);
    const QList<TraceMessage> &messages = trace.messages();
    int comparedWrites = 0;
    int comparedReports = 0;
    for (int i = 0; i < messages.size(); ++i) {
        if (!messages.at(i).fromClient)
            continue;
        const QList<QByteArray> answers =
            messagesIn(connection.receive(messages.at(i).packets.join()));
        // What is due within BufTm; integrity periods do not pass here.
        QList<Iec61850Report> ours;
        for (const auto &outgoing :
             engine.collect(quint64(QDateTime::currentMSecsSinceEpoch()) + 100)) {
            MmsPdu pdu;
            MmsInformationReport information;
            Iec61850Report report;
            QVERIFY(MmsPduCodec::decode(outgoing.pdu, &pdu));
            QVERIFY(MmsReportCodec::decodeInformationReport(pdu, &information));
            QVERIFY(MmsReportCodec::decodeReport(information.values, &report));
            ours << report;
        }
        int reportIndex = 0;
        for (int j = i + 1; j < messages.size() && !messages.at(j).fromClient; ++j) {
            const MmsPdu theirs = mmsOf(messages.at(j).userData);
            MmsInformationReport information;
            Iec61850Report report;
            if (theirs.kind == MmsPdu::Unconfirmed && reportIndex < ours.size() &&
                MmsReportCodec::decodeInformationReport(theirs, &information) &&
                MmsReportCodec::decodeReport(information.values, &report)) {
                Iec61850Report our = ours.at(reportIndex++);
                our.timeOfEntry = report.timeOfEntry;
                QCOMPARE(MmsReportCodec::encodeReport(our), information.values);
                ++comparedReports;
            }
            if (theirs.kind != MmsPdu::ConfirmedResponse ||
                theirs.service.tag != MmsWrite::ServiceTag)
                continue;
            QVERIFY(!answers.isEmpty());
            QVERIFY2(answers.first() == messages.at(j).userData,
                     qPrintable(QStringLiteral("frame %1: %2")
                                    .arg(messages.at(j).frame)
                                    .arg(describe(mmsOf(answers.first())))));
            ++comparedWrites;
        }
        QCOMPARE(reportIndex, ours.size());
    }
    model->removeChangeListener(listener);
    QCOMPARE(comparedWrites, writes);
    QCOMPARE(comparedReports, reports);
}

void TestIedSimulatorModel::continuesNameListsWithinSmallPdus()
{
    TraceFile trace;
    QVERIFY(trace.load(QStringLiteral("05_browse_small_pdu_1000")));
    const auto model = IedSimulatorModel::fromSclFile(sample("simpleIO_direct_control.cid"));
    QVERIFY(model);
    MmsServerConnection connection(model);
    const QList<TraceMessage> sent = trace.fromClient();
    connection.receive(sent.at(0).packets.join());
    connection.receive(sent.at(1).packets.join());
    QCOMPARE(connection.negotiated().localDetail, 1000);

    // Ask as a client would, continuing after the last name of each answer.
    const QStringList all = model->variableNames(QStringLiteral("simpleIOGenericIO"));
    QStringList collected;
    MmsNameListRequest request;
    request.scope = MmsObjectName::DomainSpecific;
    request.domain = QStringLiteral("simpleIOGenericIO");
    for (quint32 invokeId = 1; invokeId < 50; ++invokeId) {
        const QByteArray pdu =
            MmsPduCodec::confirmedRequest(invokeId, MmsServices::getNameListRequest(request));
        QByteArray packets;
        for (const QByteArray &tpdu : Cotp::dataTpdus(IsoMessageCodec::data(3, pdu), 13))
            packets += Tpkt::frame(tpdu);
        const QList<QByteArray> answers = messagesIn(connection.receive(packets));
        QCOMPARE(answers.size(), 1);
        IsoMessage message;
        QVERIFY(IsoMessageCodec::decode(answers.first(), &message));
        QVERIFY(message.mms.size() <= 1000);
        MmsPdu response;
        QVERIFY(MmsPduCodec::decode(message.mms, &response));
        QStringList names;
        bool more = false;
        QVERIFY(MmsServices::decodeGetNameListResponse(response.serviceReader(), response.service,
                                                       &names, &more));
        QVERIFY(!names.isEmpty());
        collected += names;
        if (!more)
            break;
        request.hasContinueAfter = true;
        request.continueAfter = names.last();
    }
    QCOMPARE(collected, all);
    QCOMPARE(all.size(), 304);
}

void TestIedSimulatorModel::servesControlBlocksAsConfigured()
{
    const auto model = IedSimulatorModel::fromSclFile(sample("simpleIO_direct_control.cid"));
    QVERIFY(model);
    const QString domain = QStringLiteral("simpleIOGenericIO");
    MmsTypeSpec type;
    MmsValue value;
    QVERIFY(model->find(domain, QStringLiteral("LLN0$RP$EventsRCBPreConf01"), &type, &value));
    QCOMPARE(type.componentCount(), 11);
    QCOMPARE(type.componentName(2), QStringLiteral("Resv"));
    QCOMPARE(value.element(2).boolean(), true);
    QCOMPARE(value.element(3).toString(), QStringLiteral("simpleIOGenericIO/LLN0$Events"));
    QVERIFY(model->find(domain, QStringLiteral("LLN0$BR$Measurements03$IntgPd"), &type, &value));
    QCOMPARE(value.toUint32(), 1000u);
    QVERIFY(!model->find(domain, QStringLiteral("LLN0$BR$Measurements04"), &type, &value));
    QVERIFY(model->find(domain, QStringLiteral("GGIO1$CF$SPCSO1$ctlModel"), &type, &value));
    QCOMPARE(value.toInt32(), 1); // direct-with-normal-security
    // Configured values (DAI Val) instead of type defaults; enumerations by ord.
    QVERIFY(model->find(domain, QStringLiteral("LLN0$DC$NamPlt$vendor"), &type, &value));
    QCOMPARE(value.toString(), QStringLiteral("MZ Automation"));
    QVERIFY(model->find(domain, QStringLiteral("GGIO1$ST$Mod$stVal"), &type, &value));
    QCOMPARE(value.toInt32(), 1); // on
    const MmsServerDataSet *events2 = model->dataSet(domain, QStringLiteral("LLN0$Events2"));
    QVERIFY(events2);
    QCOMPARE(events2->members.size(), 4);
    QCOMPARE(events2->members.first().item, QStringLiteral("GGIO1$ST$SPCSO1"));

    // Every enumeration holds an ord its EnumType lists: the DAI's, the
    // template's Val, 0, or else the lowest one.
    const auto measuring = IedSimulatorModel::fromSclFile(
        sourceFile(QStringLiteral("examples/substation.scd")), "BAY2_MEAS");
    QVERIFY(measuring);
    const QList<QPair<QString, int>> enumerations{
        {"MMXU1$CF$TotW$units$SIUnit", 38}, {"MMXU1$CF$TotW$units$multiplier", 3},
        {"MMXU1$CF$Hz$units$SIUnit", 5},    {"MMXU1$CF$Hz$units$multiplier", 0},
        {"LLN0$ST$Health$stVal", 1},        {"LLN0$CF$Mod$ctlModel", 0}};
    for (const auto &enumeration : enumerations) {
        QVERIFY2(measuring->find("BAY2_MEASMEAS", enumeration.first, &type, &value),
                 qPrintable(enumeration.first));
        QCOMPARE(value.toInt32(), enumeration.second);
    }

    // GOOSE and sampled value blocks with their multicast address as a structure.
    const auto substation = IedSimulatorModel::fromSclFile(
        sourceFile(QStringLiteral("examples/substation.scd")), "BAY1_PROT");
    QVERIFY(substation);
    QVERIFY(substation->find("BAY1_PROTCTRL", "LLN0$GO$GoCB1", &type, &value));
    QCOMPARE(type.componentName(5), QStringLiteral("DstAddress"));
    QCOMPARE(value.element(1).toString(), QStringLiteral("BAY1_PROT_CTRL_GoCB1"));
    QCOMPARE(value.element(2).toString(), QStringLiteral("BAY1_PROTCTRL/LLN0$StatusDS"));
    const MmsValue address = value.element(5);
    QCOMPARE(address.element(0).octets().toHex(), QByteArray("010ccd010011"));
    QCOMPARE(address.element(2).toUint32(), 0xaU);
    QCOMPARE(address.element(3).toUint32(), 0x1011U);
    QCOMPARE(value.element(7).toUint32(), 2000U);
    const auto merging = IedSimulatorModel::fromSclFile(sample("sv.icd"));
    QVERIFY(merging);
    QVERIFY(merging->find("TEMPLATEMUnn", "LLN0$MS$MSVCB01", &type, &value));
    QCOMPARE(value.element(1).toString(), QStringLiteral("xxxxMUnn01"));
    QCOMPARE(value.element(4).toUint32(), 80U); // SmpRate
    QCOMPARE(value.element(7).element(3).toUint32(), 0x1001U);
}

void TestIedSimulatorModel::refusesUnusableFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("ied");
    QTest::newRow("not there") << sample("missing.cid") << QString();
    QTest::newRow("no such IED") << sample("simpleIO_direct_control.cid") << "nobody";
    QTest::newRow("not XML") << QDir(sharedDir()).filePath("scl-samples/open-scd/parsererror.iid")
                             << QString();
}

void TestIedSimulatorModel::refusesUnusableFiles()
{
    QFETCH(QString, file);
    QFETCH(QString, ied);
    QString problem;
    QVERIFY(!IedSimulatorModel::fromSclFile(file, ied, &problem));
    QVERIFY(!problem.isEmpty());
}

QTEST_MAIN(TestIedSimulatorModel)
#include "tst_iedsimulatormodel.moc"
