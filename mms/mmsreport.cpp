#include "mmsreport.h"

#include "berwriter.h"
#include "mmsdatacodec.h"

namespace {

constexpr quint32 UnconfirmedTag = 0xa3;
constexpr int OptFldsBits = 10;
constexpr int ReasonBits = 6;
// One inclusion bit per data set member; no IED has data sets near this.
constexpr int MaxMembers = 65535;

// Flags numbered as libiec61850 does (bit n of the string is 1 << (n - 1)),
// bit 0 being reserved.
MmsValue flagBits(int flags, int bitCount)
{
    QByteArray octets((bitCount + 7) / 8, '\0');
    for (int bit = 1; bit < bitCount; ++bit) {
        if (flags & (1 << (bit - 1)))
            octets[bit / 8] = char(quint8(octets.at(bit / 8)) | (0x80 >> (bit % 8)));
    }
    return MmsValue::bitString(octets, bitCount);
}

int flagsOf(const MmsValue &value)
{
    int flags = 0;
    for (int bit = 1; bit < value.bitStringSize() && bit < 31; ++bit) {
        if (value.bitStringBit(bit))
            flags |= 1 << (bit - 1);
    }
    return flags;
}

MmsValue inclusionBits(const QVector<bool> &inclusion)
{
    QByteArray octets((inclusion.size() + 7) / 8, '\0');
    for (int i = 0; i < inclusion.size(); ++i) {
        if (inclusion.at(i))
            octets[i / 8] = char(quint8(octets.at(i / 8)) | (0x80 >> (i % 8)));
    }
    return MmsValue::bitString(octets, inclusion.size());
}

// Reads the report's values one after the other, each of an expected type.
class FieldCursor
{
public:
    explicit FieldCursor(const QList<MmsValue> &values) : list(values) {}

    bool next(MmsType type, MmsValue *value)
    {
        if (position >= list.size() || list.at(position).type() != type)
            return false;
        *value = list.at(position++);
        return true;
    }
    bool nextAny(MmsValue *value)
    {
        if (position >= list.size())
            return false;
        *value = list.at(position++);
        return true;
    }
    bool atEnd() const { return position == list.size(); }

private:
    const QList<MmsValue> &list;
    int position = 0;
};

} // namespace

QString reasonForInclusionText(int reasons)
{
    static const char *const names[] = {
        "data-change", "quality-change", "data-update", "integrity", "GI", "application-trigger"};
    QStringList parts;
    for (int bit = 0; bit < 6; ++bit) {
        if (reasons & (1 << bit))
            parts << QLatin1String(names[bit]);
    }
    return parts.isEmpty() ? QStringLiteral("not-included") : parts.join(QLatin1Char('|'));
}

QVector<int> Iec61850Report::includedMembers() const
{
    QVector<int> members;
    for (int i = 0; i < inclusion.size(); ++i) {
        if (inclusion.at(i))
            members.append(i);
    }
    return members;
}

namespace MmsReportCodec {

namespace {

QByteArray accessResult(const MmsValue &value)
{
    if (value.type() == MmsType::DataAccessError || value.isNull())
        return Ber::integer(0x80, value.isNull() ? 10 : value.dataAccessErrorCode());
    return MmsDataCodec::encodeValue(value);
}

QByteArray unconfirmedPdu(const MmsInformationReport &report, const QByteArray &results)
{
    const QByteArray specification =
        report.namedList ? Ber::tlv(0xa1, MmsServices::encodeObjectName(report.listName))
                         : Ber::tlv(0xa0, MmsServices::encodeVariableList(report.variables));
    return Ber::tlv(UnconfirmedTag,
                    Ber::tlv(InformationReportTag, specification + Ber::tlv(0xa0, results)));
}

// Each access result of an "RPT" report in order, to sink.
template <typename Sink> void forEachField(const Iec61850Report &report, Sink &&sink)
{
    sink(MmsValue::visibleString(report.rptId.toLatin1()));
    sink(flagBits(report.optFlds, OptFldsBits));
    if (report.has(ReportOptionSeqNum))
        sink(MmsValue::unsignedInteger(report.seqNum));
    if (report.has(ReportOptionTimeStamp))
        sink(MmsValue::binaryTimeFromMs(report.timeOfEntry));
    if (report.has(ReportOptionDataSet))
        sink(MmsValue::visibleString(report.dataSetReference.toLatin1()));
    if (report.has(ReportOptionBufferOverflow))
        sink(MmsValue::boolean(report.bufOvfl));
    if (report.has(ReportOptionEntryId))
        sink(MmsValue::octetString(report.entryId));
    if (report.has(ReportOptionConfRev))
        sink(MmsValue::unsignedInteger(report.confRev));
    if (report.has(ReportOptionSegmentation)) {
        sink(MmsValue::unsignedInteger(report.subSeqNum));
        sink(MmsValue::boolean(report.moreSegmentsFollow));
    }
    sink(inclusionBits(report.inclusion));
    if (report.has(ReportOptionDataReference)) {
        for (const QString &reference : report.dataReferences)
            sink(MmsValue::visibleString(reference.toLatin1()));
    }
    for (const MmsValue &value : report.values)
        sink(value);
    if (report.has(ReportOptionReasonForInclusion)) {
        for (int reason : report.reasons)
            sink(flagBits(reason, ReasonBits));
    }
}

} // namespace

QByteArray informationReportPdu(const MmsInformationReport &report)
{
    QByteArray results;
    results.reserve(report.values.size() * 8);
    for (const MmsValue &value : report.values)
        results += accessResult(value);
    return unconfirmedPdu(report, results);
}

QByteArray reportPdu(const Iec61850Report &report)
{
    // Straight to octets: no list of values in between, as a server sends
    // thousands of these a second.
    QByteArray results;
    results.reserve(64 + report.values.size() * 24);
    forEachField(report, [&results](const MmsValue &value) { results += accessResult(value); });
    return unconfirmedPdu(MmsInformationReport(), results);
}

bool decodeInformationReport(const MmsPdu &pdu, MmsInformationReport *report)
{
    *report = MmsInformationReport();
    if (pdu.kind != MmsPdu::Unconfirmed || pdu.service.tag != InformationReportTag)
        return false;
    const BerReader reader = pdu.serviceReader();
    BerReader fields = reader.children(pdu.service);
    BerTlv field;
    if (!fields.read(&field))
        return false;
    if (field.tag == 0xa1) {
        BerReader inner = fields.children(field);
        BerTlv name;
        if (!inner.read(&name) || !MmsServices::decodeObjectName(inner, name, &report->listName) ||
            !inner.atEnd())
            return false;
    } else if (field.tag == 0xa0) {
        report->namedList = false;
        report->listName = MmsObjectName();
        if (!MmsServices::decodeVariableList(fields, field, &report->variables))
            return false;
    } else {
        return false;
    }
    if (!fields.expect(0xa0, &field) || !fields.atEnd())
        return false;
    BerReader results = fields.children(field);
    BerTlv item;
    while (results.read(&item)) {
        MmsValue value;
        if (item.tag == 0x80) {
            int code = 0;
            if (!results.toInt(item, &code))
                return false;
            value = MmsValue::dataAccessError(code);
        } else if (!MmsDataCodec::decodeValue(results, item, &value)) {
            return false;
        }
        report->values.append(value);
    }
    if (results.failed())
        return false;
    return report->namedList || report->values.size() == report->variables.size();
}

QList<MmsValue> encodeReport(const Iec61850Report &report)
{
    QList<MmsValue> values;
    forEachField(report, [&values](const MmsValue &value) { values << value; });
    return values;
}

bool decodeReport(const QList<MmsValue> &values, Iec61850Report *report)
{
    *report = Iec61850Report();
    FieldCursor fields(values);
    MmsValue value;
    if (!fields.next(MmsType::VisibleString, &value))
        return false;
    report->rptId = value.toString();
    if (!fields.next(MmsType::BitString, &value))
        return false;
    report->optFlds = flagsOf(value);
    if (report->has(ReportOptionSeqNum)) {
        if (!fields.next(MmsType::Unsigned, &value))
            return false;
        report->seqNum = value.toUint32();
    }
    if (report->has(ReportOptionTimeStamp)) {
        if (!fields.next(MmsType::BinaryTime, &value))
            return false;
        report->timeOfEntry = value.binaryTimeMs();
    }
    if (report->has(ReportOptionDataSet)) {
        if (!fields.next(MmsType::VisibleString, &value))
            return false;
        report->dataSetReference = value.toString();
    }
    if (report->has(ReportOptionBufferOverflow)) {
        if (!fields.next(MmsType::Boolean, &value))
            return false;
        report->bufOvfl = value.boolean();
    }
    if (report->has(ReportOptionEntryId)) {
        if (!fields.next(MmsType::OctetString, &value))
            return false;
        report->entryId = value.octets();
    }
    if (report->has(ReportOptionConfRev)) {
        if (!fields.next(MmsType::Unsigned, &value))
            return false;
        report->confRev = value.toUint32();
    }
    if (report->has(ReportOptionSegmentation)) {
        if (!fields.next(MmsType::Unsigned, &value))
            return false;
        report->subSeqNum = value.toUint32();
        if (!fields.next(MmsType::Boolean, &value))
            return false;
        report->moreSegmentsFollow = value.boolean();
    }
    if (!fields.next(MmsType::BitString, &value) || value.bitStringSize() > MaxMembers)
        return false;
    int included = 0;
    report->inclusion.resize(value.bitStringSize());
    for (int i = 0; i < report->inclusion.size(); ++i) {
        report->inclusion[i] = value.bitStringBit(i);
        included += report->inclusion.at(i) ? 1 : 0;
    }
    if (report->has(ReportOptionDataReference)) {
        for (int i = 0; i < included; ++i) {
            if (!fields.next(MmsType::VisibleString, &value))
                return false;
            report->dataReferences << value.toString();
        }
    }
    for (int i = 0; i < included; ++i) {
        if (!fields.nextAny(&value))
            return false;
        report->values << value;
    }
    if (report->has(ReportOptionReasonForInclusion)) {
        for (int i = 0; i < included; ++i) {
            if (!fields.next(MmsType::BitString, &value))
                return false;
            report->reasons << flagsOf(value);
        }
    }
    return fields.atEnd();
}

} // namespace MmsReportCodec
