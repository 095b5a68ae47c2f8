// Every message of the reference traces, taken apart by our layers and put
// together again: the same bytes come out, so what we decode we also send in
// the form the reference client and server use.

#include "cotp.h"
#include "isomessage.h"
#include "isosession.h"
#include "mmsdatacodec.h"
#include "mmspdu.h"
#include "mmsreport.h"
#include "mmsservermodel.h"
#include "mmsservices.h"
#include "mmswrite.h"
#include "testpaths.h"
#include "tpkt.h"
#include "tracefile.h"

#include <QtTest>

class TestTraceDecoding : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void reencodesEveryMessage_data();
    void reencodesEveryMessage();
    void associationAsReferenceClient_data();
    void associationAsReferenceClient();
    void segmentsAsReferenceServer();
    void continuationJoinsToTheWholeList();
};

namespace {

QStringList allTraces()
{
    return {"01_browse_basic_io",
            "02_connect_release",
            "03_connect_abort",
            "04_get_variable_access_attributes",
            "05_browse_small_pdu_1000",
            "06_browse_multi_ld_complexModel",
            "07_browse_control_model_cotp_segmented",
            "08_report_unbuffered",
            "09_report_buffered",
            "10_read_write_errors",
            "11_control"};
}

// The service element rebuilt from what the decoders made of it.
QByteArray reencodedService(const MmsPdu &pdu, bool *known)
{
    const BerReader reader = pdu.serviceReader();
    *known = true;
    if (pdu.kind == MmsPdu::ConfirmedRequest) {
        switch (pdu.service.tag) {
        case MmsServices::GetNameList: {
            MmsNameListRequest request;
            return MmsServices::decodeGetNameListRequest(reader, pdu.service, &request)
                       ? MmsServices::getNameListRequest(request)
                       : QByteArray();
        }
        case MmsServices::Read: {
            MmsReadRequest request;
            if (!MmsServices::decodeReadRequest(reader, pdu.service, &request))
                return QByteArray();
            return request.namedList ? MmsServices::readListRequest(request.listName,
                                                                    request.specificationWithResult)
                                     : MmsServices::readRequest(request.variables);
        }
        case MmsWrite::ServiceTag: {
            MmsWriteRequest request;
            return MmsWrite::decodeRequest(reader, pdu.service, &request)
                       ? MmsWrite::request(request)
                       : QByteArray();
        }
        case MmsServices::GetVariableAccessAttributes:
        case MmsServices::GetNamedVariableListAttributes: {
            MmsObjectName name;
            if (!MmsServices::decodeObjectNameRequest(reader, pdu.service, &name))
                return QByteArray();
            return pdu.service.tag == MmsServices::GetVariableAccessAttributes
                       ? MmsServices::getVariableAccessAttributesRequest(name)
                       : MmsServices::getNamedVariableListAttributesRequest(name);
        }
        }
    } else if (pdu.kind == MmsPdu::ConfirmedResponse) {
        switch (pdu.service.tag) {
        case MmsServices::GetNameList: {
            QStringList names;
            bool more = false;
            return MmsServices::decodeGetNameListResponse(reader, pdu.service, &names, &more)
                       ? MmsServices::getNameListResponse(names, more)
                       : QByteArray();
        }
        case MmsServices::Read: {
            QList<MmsValue> values;
            if (!MmsServices::decodeReadResponse(reader, pdu.service, &values))
                return QByteArray();
            // A data set read repeats the list's name before the results.
            BerReader fields = reader.children(pdu.service);
            BerTlv echo, choice, name;
            MmsObjectName listName;
            if (!fields.readIf(0xa0, &echo))
                return MmsServices::readResponse(values);
            BerReader specification = fields.children(echo);
            if (!specification.expect(0xa1, &choice))
                return QByteArray();
            BerReader nameReader = specification.children(choice);
            return nameReader.read(&name) &&
                           MmsServices::decodeObjectName(nameReader, name, &listName)
                       ? MmsServices::readListResponse(listName, values)
                       : QByteArray();
        }
        case MmsWrite::ServiceTag: {
            QList<MmsWriteResult> results;
            return MmsWrite::decodeResponse(reader, pdu.service, &results)
                       ? MmsWrite::response(results)
                       : QByteArray();
        }
        case MmsServices::GetVariableAccessAttributes: {
            bool deletable = false;
            MmsTypeSpec type;
            return MmsServices::decodeGetVariableAccessAttributesResponse(reader, pdu.service,
                                                                          &deletable, &type)
                       ? MmsServices::getVariableAccessAttributesResponse(deletable, type)
                       : QByteArray();
        }
        case MmsServices::GetNamedVariableListAttributes: {
            MmsVariableListAttributes attributes;
            return MmsServices::decodeGetNamedVariableListAttributesResponse(reader, pdu.service,
                                                                             &attributes)
                       ? MmsServices::getNamedVariableListAttributesResponse(attributes)
                       : QByteArray();
        }
        }
    }
    *known = false;
    return QByteArray();
}

} // namespace

void TestTraceDecoding::init()
{
    QSKIP_WITHOUT_SHARED();
    if (TraceFile::directory().isEmpty())
        QSKIP("the MMS traces are absent from the shared folder");
}

void TestTraceDecoding::reencodesEveryMessage_data()
{
    QTest::addColumn<QString>("traceName");
    for (const QString &name : allTraces())
        QTest::newRow(qPrintable(name)) << name;
}

void TestTraceDecoding::reencodesEveryMessage()
{
    QFETCH(QString, traceName);
    TraceFile trace;
    QVERIFY2(trace.load(traceName), qPrintable(trace.errorString()));
    int services = 0;
    for (const TraceMessage &message : trace.messages()) {
        const QString where = QStringLiteral("%1 frame %2").arg(traceName).arg(message.frame);
        if (message.tpduType != CotpTpdu::Data) {
            CotpTpdu tpdu;
            QVERIFY2(Cotp::decode(message.tpdu, &tpdu), qPrintable(where));
            QCOMPARE(Tpkt::frame(message.fromClient ? Cotp::connectRequest(tpdu.parameters)
                                                    : Cotp::connectConfirm(tpdu.parameters)),
                     message.packets.first());
            continue;
        }
        IsoMessage iso;
        QVERIFY2(IsoMessageCodec::decode(message.userData, &iso), qPrintable(where));
        if (iso.kind != IsoMessage::Data)
            continue;
        MmsPdu pdu;
        QVERIFY2(MmsPduCodec::decode(iso.mms, &pdu), qPrintable(where));
        QCOMPARE(IsoMessageCodec::data(iso.presentation.contextId, iso.mms), message.userData);
        if (pdu.kind == MmsPdu::Unconfirmed) {
            MmsInformationReport report;
            QVERIFY2(MmsReportCodec::decodeInformationReport(pdu, &report), qPrintable(where));
            QVERIFY2(MmsReportCodec::informationReportPdu(report) == iso.mms, qPrintable(where));
            if (report.isReport()) {
                Iec61850Report content;
                QVERIFY2(MmsReportCodec::decodeReport(report.values, &content), qPrintable(where));
                QVERIFY2(MmsReportCodec::encodeReport(content) == report.values, qPrintable(where));
            }
            ++services;
            continue;
        }
        bool known = false;
        const QByteArray service = reencodedService(pdu, &known);
        if (!known) {
            QVERIFY2(pdu.kind == MmsPdu::ConcludeRequest || pdu.kind == MmsPdu::ConcludeResponse,
                     qPrintable(where));
            continue;
        }
        ++services;
        const QByteArray rebuilt = pdu.kind == MmsPdu::ConfirmedRequest
                                       ? MmsPduCodec::confirmedRequest(pdu.invokeId, service)
                                       : MmsPduCodec::confirmedResponse(pdu.invokeId, service);
        QVERIFY2(rebuilt == iso.mms, qPrintable(where));
    }
    if (traceName != QLatin1String("02_connect_release") &&
        traceName != QLatin1String("03_connect_abort"))
        QVERIFY(services > 0);
}

void TestTraceDecoding::associationAsReferenceClient_data()
{
    QTest::addColumn<QString>("traceName");
    QTest::addColumn<int>("pduSize");
    QTest::newRow("01") << "01_browse_basic_io" << 65000;
    QTest::newRow("05 small PDU") << "05_browse_small_pdu_1000" << 1000;
}

void TestTraceDecoding::associationAsReferenceClient()
{
    QFETCH(QString, traceName);
    QFETCH(int, pduSize);
    TraceFile trace;
    QVERIFY(trace.load(traceName));
    const QList<TraceMessage> sent = trace.fromClient();
    QCOMPARE(sent.at(0).packets.first(), Tpkt::frame(Cotp::connectRequest(CotpParameters())));
    const QByteArray request = IsoMessageCodec::associateRequest(
        MmsPduCodec::initiateRequest(MmsInitiateParameters::clientProposal(pduSize)));
    QCOMPARE(request.toHex(' '), sent.at(1).userData.toHex(' '));

    IsoMessage response;
    QVERIFY(IsoMessageCodec::decode(trace.fromServer().at(1).userData, &response));
    QCOMPARE(response.kind, IsoMessage::AssociateResponse);
    MmsPdu initiate;
    QVERIFY(MmsPduCodec::decode(response.mms, &initiate));
    QCOMPARE(initiate.initiate.localDetail, pduSize);
    QCOMPARE(initiate.initiate.maxServOutstandingCalled, 5);
    MmsInitiateParameters ours = MmsInitiateParameters::serverParameters();
    ours.localDetail = pduSize;
    QCOMPARE(
        IsoMessageCodec::associateResponse({0, 0}, 1, 3, 0, MmsPduCodec::initiateResponse(ours))
            .toHex(' '),
        trace.fromServer().at(1).userData.toHex(' '));
}

void TestTraceDecoding::segmentsAsReferenceServer()
{
    TraceFile trace;
    QVERIFY(trace.load(QStringLiteral("07_browse_control_model_cotp_segmented")));
    const TraceMessage names = trace.fromServer().at(3); // CC, AARE, domains, names
    QCOMPARE(names.packets.size(), 2);
    QCOMPARE(names.userData.size(), 9161);
    QByteArray packets;
    for (const QByteArray &tpdu : Cotp::dataTpdus(names.userData, Cotp::MaxTpduSizeCode))
        packets += Tpkt::frame(tpdu);
    QCOMPARE(packets, names.packets.join());
    QCOMPARE(names.packets.first().size(), 8196);
}

void TestTraceDecoding::continuationJoinsToTheWholeList()
{
    TraceFile small;
    TraceFile whole;
    QVERIFY(small.load(QStringLiteral("05_browse_small_pdu_1000")));
    QVERIFY(whole.load(QStringLiteral("01_browse_basic_io")));
    const auto variableNames = [](const TraceFile &trace, int *answers, QStringList *after) {
        QStringList names;
        for (const TraceMessage &message : trace.messages()) {
            IsoMessage iso;
            MmsPdu pdu;
            if (!IsoMessageCodec::decode(message.userData, &iso) || iso.kind != IsoMessage::Data ||
                !MmsPduCodec::decode(iso.mms, &pdu) || pdu.service.tag != MmsServices::GetNameList)
                continue;
            if (pdu.kind == MmsPdu::ConfirmedRequest) {
                MmsNameListRequest request;
                MmsServices::decodeGetNameListRequest(pdu.serviceReader(), pdu.service, &request);
                if (request.hasContinueAfter)
                    *after << request.continueAfter;
                continue;
            }
            QStringList part;
            bool more = false;
            MmsServices::decodeGetNameListResponse(pdu.serviceReader(), pdu.service, &part, &more);
            if (part.size() > 3 || more) { // the data set lists are shorter and complete
                names += part;
                ++*answers;
                if (more)
                    *after << QStringLiteral("expected ") + part.last();
            }
        }
        return names;
    };
    int smallAnswers = 0;
    int wholeAnswers = 0;
    QStringList continuedAfter;
    QStringList unused;
    const QStringList joined = variableNames(small, &smallAnswers, &continuedAfter);
    const QStringList all = variableNames(whole, &wholeAnswers, &unused);
    QCOMPARE(smallAnswers, 8);
    QCOMPARE(wholeAnswers, 1);
    QCOMPARE(joined, all);
    QCOMPARE(all.size(), 304);
    // Each continued request names the last name of the answer before it.
    QCOMPARE(continuedAfter.size(), 14);
    for (int i = 0; i < continuedAfter.size(); i += 2)
        QCOMPARE(QStringLiteral("expected ") + continuedAfter.at(i + 1), continuedAfter.at(i));
    // The reference server's order, which our server keeps.
    for (int i = 1; i < all.size(); ++i)
        QVERIFY2(MmsServerModel::nameLessThan(all.at(i - 1), all.at(i)), qPrintable(all.at(i)));
}

QTEST_GUILESS_MAIN(TestTraceDecoding)
#include "tst_tracedecoding.moc"
