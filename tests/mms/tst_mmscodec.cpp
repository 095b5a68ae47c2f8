// BER and the MMS encodings: integers, lengths, tags, data values, type
// descriptions, the PDU envelope and the browse services, against the bytes
// of the reference traces; decoders refuse what does not parse and survive
// every truncation and corruption of real messages.

#include "berreader.h"
#include "berwriter.h"
#include "mmsdatacodec.h"
#include "mmspdu.h"
#include "mmsreport.h"
#include "mmsservices.h"
#include "mmswrite.h"

#include <QtTest>

#include <cstring>
#include <limits>

Q_DECLARE_METATYPE(MmsValue)
Q_DECLARE_METATYPE(MmsTypeSpec)
Q_DECLARE_METATYPE(Iec61850Report)

class TestMmsCodec : public QObject
{
    Q_OBJECT

private slots:
    void integers_data();
    void integers();
    void lengths_data();
    void lengths();
    void readerRefuses_data();
    void readerRefuses();
    void highTagsAndOids();
    void values_data();
    void values();
    void valueAccessors();
    void typeNames_data();
    void typeNames();
    void types_data();
    void typesRefused_data();
    void typesRefused();
    void types();
    void pdus_data();
    void pdus();
    void services();
    void reports_data();
    void reports();
    void decodersSurviveDamage_data();
    void decodersSurviveDamage();
};

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

MmsValue decodeValue(const QByteArray &bytes, bool *ok)
{
    BerReader reader(bytes);
    BerTlv tlv;
    MmsValue value;
    *ok = reader.read(&tlv) && reader.atEnd() && MmsDataCodec::decodeValue(reader, tlv, &value);
    return value;
}

float floatFromBits(quint32 bits)
{
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

MmsTypeSpec component(std::initializer_list<std::pair<const char *, MmsTypeSpec>> members)
{
    MmsTypeSpec type = MmsTypeSpec::structure();
    for (const auto &member : members)
        type.addComponent(QLatin1String(member.first), member.second);
    return type;
}

} // namespace

void TestMmsCodec::integers_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("0") << qint64(0) << hex("00");
    QTest::newRow("127") << qint64(127) << hex("7f");
    QTest::newRow("128") << qint64(128) << hex("0080");
    QTest::newRow("1000") << qint64(1000) << hex("03e8");
    QTest::newRow("65000") << qint64(65000) << hex("00fde8");
    QTest::newRow("-1") << qint64(-1) << hex("ff");
    QTest::newRow("-13") << qint64(-13) << hex("f3");
    QTest::newRow("-128") << qint64(-128) << hex("80");
    QTest::newRow("-255") << qint64(-255) << hex("ff01");
    QTest::newRow("smallest") << std::numeric_limits<qint64>::min() << hex("8000000000000000");
    QTest::newRow("largest") << std::numeric_limits<qint64>::max() << hex("7fffffffffffffff");
}

void TestMmsCodec::integers()
{
    QFETCH(qint64, value);
    QFETCH(QByteArray, content);
    QCOMPARE(Ber::integerContent(value), content);
    const QByteArray element = Ber::integer(0x85, value);
    BerReader reader(element);
    BerTlv tlv;
    QVERIFY(reader.read(&tlv));
    qint64 decoded = 0;
    QVERIFY(reader.toInt64(tlv, &decoded));
    QCOMPARE(decoded, value);
    if (value >= 0) {
        quint64 unsignedValue = 0;
        QVERIFY(reader.toUint64(tlv, &unsignedValue));
        QCOMPARE(unsignedValue, quint64(value));
        QCOMPARE(Ber::unsignedContent(quint64(value)), content);
    }
}

void TestMmsCodec::lengths_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("octets");
    QTest::newRow("0") << 0 << hex("00");
    QTest::newRow("127") << 127 << hex("7f");
    QTest::newRow("128") << 128 << hex("8180");
    QTest::newRow("255") << 255 << hex("81ff");
    QTest::newRow("256") << 256 << hex("820100");
    QTest::newRow("7637 as trace 01") << 7637 << hex("821dd5");
    QTest::newRow("65536") << 65536 << hex("83010000");
}

void TestMmsCodec::lengths()
{
    QFETCH(int, length);
    QFETCH(QByteArray, octets);
    QCOMPARE(Ber::lengthOctets(length), octets);
    const QByteArray element = Ber::tlv(0x04, QByteArray(length, 'x'));
    QCOMPARE(Ber::elementSize(0x04, length), element.size());
    BerReader reader(element);
    BerTlv tlv;
    QVERIFY(reader.read(&tlv));
    QCOMPARE(tlv.length, length);
    QCOMPARE(tlv.start, 0);
    QCOMPARE(reader.element(tlv), element);
    QVERIFY(reader.atEnd());
}

void TestMmsCodec::readerRefuses_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("no length") << hex("30");
    QTest::newRow("length past the end") << hex("3005020101");
    QTest::newRow("indefinite length") << hex("308002010100 00");
    QTest::newRow("five length octets") << hex("30850000000001aa");
    QTest::newRow("long length cut short") << hex("308201");
    QTest::newRow("tag continuation cut short") << hex("bf81");
    QTest::newRow("tag of five octets") << hex("bf8181818101 00");
}

void TestMmsCodec::readerRefuses()
{
    QFETCH(QByteArray, bytes);
    BerReader reader(bytes);
    BerTlv tlv;
    QVERIFY(!reader.read(&tlv));
    QVERIFY(reader.failed());
    QVERIFY(reader.atEnd());
}

void TestMmsCodec::highTagsAndOids()
{
    const quint32 tag = Ber::tag(Ber::Context, true, 79);
    const QByteArray element = Ber::tlv(tag, hex("0500"));
    QCOMPARE(element.toHex(), QByteArray("bf4f020500"));
    BerReader reader(element);
    BerTlv tlv;
    QVERIFY(reader.read(&tlv));
    QCOMPARE(tlv.tag, tag);
    QVERIFY(Ber::isConstructed(tlv.tag));
    QCOMPARE(Ber::tagNumber(tlv.tag), 79u);

    QCOMPARE(Ber::oid(0x06, {1, 0, 9506, 2, 1}).toHex(), QByteArray("060528ca220201"));
    QCOMPARE(Ber::oid(0x06, {2, 2, 1, 0, 1}).toHex(), QByteArray("060452010001"));
    QCOMPARE(Ber::oid(0x06, {1, 1, 1, 999, 1}).toHex(), QByteArray("06052901876701"));
    BerReader oidReader(hex("060528ca220203"));
    QVERIFY(oidReader.read(&tlv));
    QVector<quint32> arcs;
    QVERIFY(oidReader.toOid(tlv, &arcs));
    QCOMPARE(arcs, QVector<quint32>({1, 0, 9506, 2, 3}));
    BerReader unfinished(hex("060228ca"));
    QVERIFY(unfinished.read(&tlv));
    QVERIFY(!unfinished.toOid(tlv, &arcs));
}

void TestMmsCodec::values_data()
{
    QTest::addColumn<MmsValue>("value");
    QTest::addColumn<QByteArray>("bytes");
    // Every encoding as the reference server sends it (traces 01 and 06).
    QTest::newRow("boolean false") << MmsValue::boolean(false) << hex("830100");
    QTest::newRow("boolean true") << MmsValue::boolean(true) << hex("830101");
    QTest::newRow("quality") << MmsValue::bitString(QByteArray(), 13) << hex("8403030000");
    QTest::newRow("option fields") << MmsValue::bitString(hex("7a80"), 10) << hex("8403067a80");
    QTest::newRow("trigger options") << MmsValue::bitString(hex("0c"), 6) << hex("84020 20c");
    QTest::newRow("integer") << MmsValue::integer(0) << hex("850100");
    QTest::newRow("negative integer") << MmsValue::integer(-2) << hex("8501fe");
    QTest::newRow("unsigned") << MmsValue::unsignedInteger(1000) << hex("860203e8");
    QTest::newRow("unsigned with top bit") << MmsValue::unsignedInteger(200) << hex("860200c8");
    QTest::newRow("float") << MmsValue::floatingPoint(floatFromBits(0x3f7240b7))
                           << hex("870508 3f7240b7");
    QTest::newRow("double") << MmsValue::doubleFloatingPoint(1.5) << hex("87090b3ff8000000000000");
    QTest::newRow("octets") << MmsValue::octetString(hex("000001a24f6b953b"))
                            << hex("8908000001a24f6b953b");
    QTest::newRow("visible") << MmsValue::visibleString("Events2") << hex("8a074576656e747332");
    QTest::newRow("mms string") << MmsValue::mmsString(QStringLiteral("é")) << hex("9002c3a9");
    QTest::newRow("binary time") << MmsValue::binaryTime(hex("019ebd3b3d41"))
                                 << hex("8c06019ebd3b3d41");
    QTest::newRow("utc time") << MmsValue::utcTime(hex("6b16612d25e35380"))
                              << hex("91086b16612d25e35380");
    QTest::newRow("analog value")
        << MmsValue::structure(
               {MmsValue::structure({MmsValue::floatingPoint(floatFromBits(0x3f7240b7))}),
                MmsValue::bitString(QByteArray(), 13), MmsValue::utcTime(hex("6b16612d25e35380"))})
        << hex("a218a20787050 83f7240b78403030000 91086b16612d25e35380");
    QTest::newRow("array") << MmsValue::array({MmsValue::integer(1), MmsValue::integer(2)})
                           << hex("a106850101850102");
    QTest::newRow("empty structure") << MmsValue::structure({}) << hex("a200");
}

void TestMmsCodec::values()
{
    QFETCH(MmsValue, value);
    QFETCH(QByteArray, bytes);
    QCOMPARE(MmsDataCodec::encodeValue(value).toHex(' '), bytes.toHex(' '));
    bool ok = false;
    QCOMPARE(decodeValue(bytes, &ok), value);
    QVERIFY(ok);
}

void TestMmsCodec::valueAccessors()
{
    bool ok = false;
    const MmsValue optFlds = decodeValue(hex("8403067a80"), &ok);
    QVERIFY(ok);
    // libiec61850 numbering: bit n of the string is bit n of the number.
    QCOMPARE(optFlds.bitStringAsInteger(), 350u);
    QCOMPARE(optFlds.bitStringSize(), 10);
    QVERIFY(optFlds.bitStringBit(1));
    QVERIFY(!optFlds.bitStringBit(5));
    QVERIFY(!optFlds.bitStringBit(10));
    QCOMPARE(optFlds.toText(), QStringLiteral("0111101010"));

    QCOMPARE(MmsValue::unsignedInteger(4000000000u).toUint32(), 4000000000u);
    QCOMPARE(MmsValue::integer(-5).toInt32(), -5);
    QCOMPARE(MmsValue::integer(-5).toFloat(), 0.0f);
    QCOMPARE(MmsValue::floatingPoint(2.5f).toFloat(), 2.5f);
    QCOMPARE(MmsValue::boolean(true).boolean(), true);
    QCOMPARE(MmsValue::integer(1).boolean(), false);
    QVERIFY(MmsValue::structure({}).element(0).isNull());
    QVERIFY(MmsValue().isNull());
    QCOMPARE(MmsValue::binaryTime(hex("019ebd3b3d41")).toText(),
             QStringLiteral("20261207073300.347Z"));
    const MmsValue stamp = MmsValue::utcTimeFromMs(1796628781148ull, 0x80);
    QCOMPARE(stamp.octets().toHex(), QByteArray("6b16612d25e35380"));
    QCOMPARE(stamp.utcTimeMs(), 1796628781148ull);
    QCOMPARE(stamp.toText(), QStringLiteral("20261207073301.148Z"));
    QCOMPARE(MmsValue::dataAccessError(10).dataAccessErrorCode(), 10);
    QCOMPARE(MmsValue::floatingPoint(0.9463f).toText(), QStringLiteral("0.946300"));

    // Quality as libiec61850 numbers it: validity in bits 0-1, then the details.
    const MmsValue quality = MmsValue::bitString(hex("4110"), 13);
    QCOMPARE(quality.toQuality(),
             quint16(Quality::ValidityInvalid | Quality::OldData | Quality::Test));
    QCOMPARE(Quality::text(quality.toQuality()), QStringLiteral("invalid|oldData|test"));
    QCOMPARE(Quality::text(Quality::ValidityQuestionable | Quality::SourceSubstituted),
             QStringLiteral("questionable|substituted"));
    QCOMPARE(TimeQuality::text(TimeQuality::ClockFailure | 31),
             QStringLiteral("clock-failure|accuracy unspecified"));
    QCOMPARE(MmsValue::binaryTimeFromMs(1796656599340ull).octets(), hex("0347392c3d41"));
}

void TestMmsCodec::typeNames_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    const char *names[] = {
        "array", "structure",    "boolean",        "bit-string",       "integer",     "unsigned",
        "float", "octet-string", "visible-string", "generalized-time", "binary-time", "bcd",
        "oid",   "mms-string",   "utc-time",       "access-error"};
    for (int type = 0; type < 16; ++type)
        QTest::newRow(names[type]) << type << QString::fromLatin1(names[type]);
    QTest::newRow("outside") << 16 << QStringLiteral("unknown(error)");
}

void TestMmsCodec::typeNames()
{
    QFETCH(int, type);
    QFETCH(QString, name);
    QCOMPARE(mmsTypeName(MmsType(type)), name);
}

void TestMmsCodec::types_data()
{
    QTest::addColumn<MmsTypeSpec>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("boolean") << MmsTypeSpec::boolean() << hex("8300");
    QTest::newRow("INT8") << MmsTypeSpec::integer(8) << hex("850108");
    QTest::newRow("INT8U") << MmsTypeSpec::unsignedInteger(8) << hex("860108");
    QTest::newRow("FLOAT32") << MmsTypeSpec::floatingPoint() << hex("a7060201200201 08");
    QTest::newRow("Quality") << MmsTypeSpec::bitString(-13) << hex("8401f3");
    QTest::newRow("Timestamp") << MmsTypeSpec::utcTime() << hex("9100");
    QTest::newRow("VisString255") << MmsTypeSpec::visibleString(-255) << hex("8a02ff01");
    QTest::newRow("Octet64") << MmsTypeSpec::octetString(-64) << hex("8901c0");
    QTest::newRow("EntryTime") << MmsTypeSpec::binaryTime(true) << hex("8c0101");
    QTest::newRow("array") << MmsTypeSpec::array(3, MmsTypeSpec::integer(32))
                           << hex("a1088101 03a203850120");
    // The answer of trace 04 for GGIO1$MX$AnIn1.
    QTest::newRow("analog value")
        << component({{"mag", component({{"f", MmsTypeSpec::floatingPoint()}})},
                      {"q", MmsTypeSpec::bitString(-13)},
                      {"t", MmsTypeSpec::utcTime()}})
        << hex("a231a12f301a80036d6167a113a211a10f300d800166a108a7060201200201083008800171a10384"
               "01f33007800174a1029100");
}

void TestMmsCodec::types()
{
    QFETCH(MmsTypeSpec, type);
    QFETCH(QByteArray, bytes);
    QCOMPARE(MmsDataCodec::encodeType(type).toHex(' '), bytes.toHex(' '));
    BerReader reader(bytes);
    BerTlv tlv;
    QVERIFY(reader.read(&tlv));
    MmsTypeSpec decoded;
    QVERIFY(MmsDataCodec::decodeType(reader, tlv, &decoded));
    QCOMPARE(decoded, type);
    QCOMPARE(type.defaultValue().type(), type.type());
}

void TestMmsCodec::typesRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    // A described type becomes a default value, so its sizes must not make
    // that allocate without bound.
    QTest::newRow("bit string of 2^31-1 bits") << hex("84047fffffff");
    QTest::newRow("bit string of up to 2^31 bits") << hex("840480000000");
    QTest::newRow("octet string of 2^24 octets") << hex("890401000000");
    QTest::newRow("float of 2^31-1 bits") << hex("a70902047fffffff020108");
    QTest::newRow("array of arrays of 65535 booleans each") << MmsDataCodec::encodeType(
        MmsTypeSpec::array(65535, MmsTypeSpec::array(65535, MmsTypeSpec::boolean())));
}

void TestMmsCodec::typesRefused()
{
    QFETCH(QByteArray, bytes);
    BerReader reader(bytes);
    BerTlv tlv;
    QVERIFY(reader.read(&tlv));
    MmsTypeSpec decoded;
    QVERIFY(!MmsDataCodec::decodeType(reader, tlv, &decoded));
}

void TestMmsCodec::pdus_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind");
    QTest::addColumn<quint32>("invokeId");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray service = hex("a4020000");
    QTest::newRow("initiate request")
        << MmsPduCodec::initiateRequest(MmsInitiateParameters::clientProposal(65000))
        << int(MmsPdu::InitiateRequest) << 0u
        << hex("a826800300fde881010582010583010aa416800101810305f100820c03ee1c00000408000079ef18");
    QTest::newRow("initiate response")
        << MmsPduCodec::initiateResponse(MmsInitiateParameters::serverParameters())
        << int(MmsPdu::InitiateResponse) << 0u
        << hex("a926800300fde881010582010583010aa416800101810305f100820c03ee1c000000000000000118");
    QTest::newRow("conclude request")
        << MmsPduCodec::concludeRequest() << int(MmsPdu::ConcludeRequest) << 0u << hex("8b00");
    QTest::newRow("conclude response")
        << MmsPduCodec::concludeResponse() << int(MmsPdu::ConcludeResponse) << 0u << hex("8c00");
    QTest::newRow("confirmed request")
        << MmsPduCodec::confirmedRequest(300, service) << int(MmsPdu::ConfirmedRequest) << 300u
        << hex("a00802020 12ca4020000");
    QTest::newRow("confirmed response")
        << MmsPduCodec::confirmedResponse(2, service) << int(MmsPdu::ConfirmedResponse) << 2u
        << hex("a1070201 02a4020000");
    QTest::newRow("confirmed error")
        << MmsPduCodec::confirmedError(5, {MmsServiceError::Access, 2})
        << int(MmsPdu::ConfirmedError) << 5u << hex("a20a800105a205a003870102");
    QTest::newRow("reject") << MmsPduCodec::reject(5, true, 1, 1) << int(MmsPdu::Reject) << 5u
                            << hex("a406800105810101");
}

void TestMmsCodec::pdus()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, kind);
    QFETCH(quint32, invokeId);
    QFETCH(QByteArray, expected);
    QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
    MmsPdu pdu;
    QVERIFY(MmsPduCodec::decode(bytes, &pdu));
    QCOMPARE(int(pdu.kind), kind);
    QCOMPARE(pdu.invokeId, invokeId);
    if (kind == int(MmsPdu::ConfirmedError)) {
        QCOMPARE(pdu.error.errorClass, int(MmsServiceError::Access));
        QCOMPARE(pdu.error.code, 2);
    }
    if (kind == int(MmsPdu::InitiateResponse)) {
        QCOMPARE(pdu.initiate.localDetail, 65000);
        QCOMPARE(pdu.initiate.dataStructureNestingLevel, 10);
    }
}

void TestMmsCodec::services()
{
    MmsNameListRequest request;
    request.scope = MmsObjectName::DomainSpecific;
    request.domain = QStringLiteral("simpleIOGenericIO");
    request.hasContinueAfter = true;
    request.continueAfter = QStringLiteral("GGIO1$CO$SPCSO3$Oper$origin");
    // The first continued request of trace 05.
    const QByteArray bytes = MmsServices::getNameListRequest(request);
    QCOMPARE(bytes.toHex(),
             QByteArray("a137a003800100a113811173696d706c65494f47656e65726963494f"
                        "821b4747494f3124434f24535043534f33244f706572246f726967696e"));
    BerReader reader(bytes);
    BerTlv tlv;
    QVERIFY(reader.read(&tlv));
    MmsNameListRequest decoded;
    QVERIFY(MmsServices::decodeGetNameListRequest(reader, tlv, &decoded));
    QCOMPARE(decoded.continueAfter, request.continueAfter);
    QCOMPARE(decoded.domain, request.domain);

    QStringList names;
    bool more = false;
    const QByteArray continued = MmsServices::getNameListResponse({"a", "b"}, true);
    BerReader namesReader(continued);
    QVERIFY(namesReader.read(&tlv));
    QVERIFY(MmsServices::decodeGetNameListResponse(namesReader, tlv, &names, &more));
    QCOMPARE(names, QStringList({"a", "b"}));
    QVERIFY(more); // left out: DEFAULT TRUE

    const MmsObjectName item{MmsObjectName::DomainSpecific, "LD", "LLN0$Events"};
    MmsVariableListAttributes attributes;
    attributes.deletable = true;
    attributes.members = {item, {MmsObjectName::DomainSpecific, "LD2", "GGIO1$ST$Ind1"}};
    const QByteArray members = MmsServices::getNamedVariableListAttributesResponse(attributes);
    BerReader membersReader(members);
    QVERIFY(membersReader.read(&tlv));
    MmsVariableListAttributes decodedMembers;
    QVERIFY(MmsServices::decodeGetNamedVariableListAttributesResponse(membersReader, tlv,
                                                                      &decodedMembers));
    QCOMPARE(decodedMembers.members, attributes.members);
    QVERIFY(decodedMembers.deletable);

    for (const QByteArray &named : {MmsServices::getVariableAccessAttributesRequest(item),
                                    MmsServices::getNamedVariableListAttributesRequest(item)}) {
        BerReader nameReader(named);
        QVERIFY(nameReader.read(&tlv));
        MmsObjectName decodedName;
        QVERIFY(MmsServices::decodeObjectNameRequest(nameReader, tlv, &decodedName));
        QCOMPARE(decodedName, item);
    }
    BerReader readReader(MmsServices::readRequest(item));
    QVERIFY(readReader.read(&tlv));
    MmsReadRequest read;
    QVERIFY(MmsServices::decodeReadRequest(readReader, tlv, &read));
    QCOMPARE(read.variables, QList<MmsObjectName>({item}));
}

void TestMmsCodec::reports_data()
{
    QTest::addColumn<Iec61850Report>("report");
    Iec61850Report change; // trace 08: the data-change report after an operate
    change.rptId = QStringLiteral("Events1");
    change.optFlds = ReportOptionSeqNum | ReportOptionTimeStamp | ReportOptionReasonForInclusion |
                     ReportOptionDataSet | ReportOptionDataReference | ReportOptionConfRev;
    change.seqNum = 1;
    change.timeOfEntry = 1796656599693ull;
    change.dataSetReference = QStringLiteral("simpleIOGenericIO/LLN0$Events");
    change.confRev = 1;
    change.inclusion = {true, false, false, false};
    change.dataReferences = QStringList{"simpleIOGenericIO/GGIO1$ST$SPCSO1$stVal"};
    change.values = {MmsValue::boolean(true)};
    change.reasons = {ReasonDataChange};
    QTest::newRow("data change") << change;

    Iec61850Report segment; // bare, but a segment of a longer one
    segment.rptId = QStringLiteral("Measurements");
    segment.optFlds = ReportOptionSegmentation | ReportOptionEntryId | ReportOptionBufferOverflow;
    segment.entryId = QByteArray::fromHex("000001a25114370c");
    segment.bufOvfl = true;
    segment.subSeqNum = 2;
    segment.moreSegmentsFollow = true;
    segment.inclusion = {false, false, true, true};
    segment.values = {MmsValue::floatingPoint(1.5f), MmsValue::bitString(QByteArray(2, 0), 13)};
    QTest::newRow("segment") << segment;
}

void TestMmsCodec::reports()
{
    QFETCH(Iec61850Report, report);
    MmsInformationReport information;
    information.values = MmsReportCodec::encodeReport(report);
    MmsPdu pdu;
    QVERIFY(MmsPduCodec::decode(MmsReportCodec::informationReportPdu(information), &pdu));
    MmsInformationReport received;
    QVERIFY(MmsReportCodec::decodeInformationReport(pdu, &received));
    QVERIFY(received.isReport());
    Iec61850Report decoded;
    QVERIFY(MmsReportCodec::decodeReport(received.values, &decoded));
    QCOMPARE(decoded.rptId, report.rptId);
    QCOMPARE(decoded.optFlds, report.optFlds);
    QCOMPARE(decoded.seqNum, report.seqNum);
    QCOMPARE(decoded.timeOfEntry, report.timeOfEntry);
    QCOMPARE(decoded.dataSetReference, report.dataSetReference);
    QCOMPARE(decoded.bufOvfl, report.bufOvfl);
    QCOMPARE(decoded.entryId, report.entryId);
    QCOMPARE(decoded.subSeqNum, report.subSeqNum);
    QCOMPARE(decoded.moreSegmentsFollow, report.moreSegmentsFollow);
    QCOMPARE(decoded.inclusion, report.inclusion);
    QCOMPARE(decoded.dataReferences, report.dataReferences);
    QCOMPARE(decoded.values, report.values);
    QCOMPARE(decoded.reasons, report.reasons);
    // One value short, or one too many, is no report.
    QVERIFY(!MmsReportCodec::decodeReport(received.values.mid(0, received.values.size() - 1),
                                          &decoded));
    QVERIFY(!MmsReportCodec::decodeReport(received.values + QList<MmsValue>{MmsValue::integer(1)},
                                          &decoded));
}

void TestMmsCodec::decodersSurviveDamage_data()
{
    QTest::addColumn<QByteArray>("pdu");
    // Answers of the reference server (traces 01, 04) and our own requests.
    QTest::newRow("read of a buffered report control block") << hex(
        "a165020108a460a15ea25c8a074576656e7473328301008a1d73696d706c65494f47656e6572696349"
        "4f2f4c4c4e30244576656e74738601018403067a808601328601008402020c860203e883010083010089"
        "08000001a24f6b953b8c06019ebd3b3d41850100");
    QTest::newRow("type of an analog value")
        << hex("a13d020102a638800100a233a231a12f301a80036d6167a113a211a10f300d800166a108a706020120"
               "0201083008800171a1038401f33007800174a1029100");
    QTest::newRow("data set members") << MmsPduCodec::confirmedResponse(
        5, MmsServices::getNamedVariableListAttributesResponse(
               {false, {{MmsObjectName::DomainSpecific, "LD", "GGIO1$ST$Ind1$stVal"}}}));
    QTest::newRow("names") << MmsPduCodec::confirmedResponse(
        2, MmsServices::getNameListResponse({"GGIO1", "GGIO1$CF", "GGIO1$CF$Mod"}, true));
    QTest::newRow("data change report")
        << hex("a37aa078a1058003525054a06f8a074576656e7473318403067c808601018c0603473a8d3d418a1d"
               "73696d706c65494f47656e65726963494f2f4c4c4e30244576656e7473860101840204808a277369"
               "6d706c65494f47656e65726963494f2f4747494f3124535424535043534f3124737456616c830101"
               "84020240");
    QTest::newRow("write of an operate")
        << hex("a058020106a553a02f302da02ba1291a1173696d706c65494f47656e65726963494f1a144747494f"
               "3124434f24535043534f31244f706572a020a21e830101a205850100890086010191086b16cdd7a4"
               "9ba50083010084020600");
    QTest::newRow("write results") << hex("a10a020108a50580010b8100");
    QTest::newRow("initiate") << MmsPduCodec::initiateResponse(
        MmsInitiateParameters::serverParameters());
}

void TestMmsCodec::decodersSurviveDamage()
{
    QFETCH(QByteArray, pdu);
    const auto decodeAll = [](const QByteArray &bytes) {
        MmsPdu decoded;
        if (!MmsPduCodec::decode(bytes, &decoded))
            return false;
        const BerReader reader = decoded.serviceReader();
        QStringList names;
        bool more = false;
        QList<MmsValue> values;
        bool deletable = false;
        MmsTypeSpec type;
        MmsVariableListAttributes members;
        MmsServices::decodeGetNameListResponse(reader, decoded.service, &names, &more);
        MmsServices::decodeReadResponse(reader, decoded.service, &values);
        MmsServices::decodeGetVariableAccessAttributesResponse(reader, decoded.service, &deletable,
                                                               &type);
        MmsServices::decodeGetNamedVariableListAttributesResponse(reader, decoded.service,
                                                                  &members);
        MmsWriteRequest write;
        QList<MmsWriteResult> results;
        MmsWrite::decodeRequest(reader, decoded.service, &write);
        MmsWrite::decodeResponse(reader, decoded.service, &results);
        MmsInformationReport information;
        Iec61850Report report;
        if (MmsReportCodec::decodeInformationReport(decoded, &information))
            MmsReportCodec::decodeReport(information.values, &report);
        for (const MmsValue &value : values + write.values + report.values)
            value.toText();
        return true;
    };
    QVERIFY(decodeAll(pdu));
    // Cut anywhere, the envelope no longer holds together.
    for (int size = 0; size < pdu.size(); ++size)
        QVERIFY2(!decodeAll(pdu.left(size)), qPrintable(QString::number(size)));
    // Every octet changed to a few telling values: whatever parses, nothing
    // reads outside the message (the sanitizer build watches).
    for (int i = 0; i < pdu.size(); ++i) {
        for (const char replacement : {'\x00', '\x7f', '\x80', '\x81', '\x84', '\xff'}) {
            QByteArray damaged = pdu;
            damaged[i] = replacement;
            decodeAll(damaged);
        }
    }
}

QTEST_GUILESS_MAIN(TestMmsCodec)
#include "tst_mmscodec.moc"
