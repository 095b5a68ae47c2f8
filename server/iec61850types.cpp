#include "iec61850types.h"

#include "sclmodel.h"

#include <QHash>
#include <QRegularExpression>

#include <functional>

namespace {

using TypeFactory = std::function<MmsTypeSpec()>;

const QHash<QString, TypeFactory> &basicTypes()
{
    static const QHash<QString, TypeFactory> types{
        {"BOOLEAN",
         [] {
             return MmsTypeSpec::boolean();
         }},
        {"INT8",
         [] {
             return MmsTypeSpec::integer(8);
         }},
        {"INT16",
         [] {
             return MmsTypeSpec::integer(16);
         }},
        {"INT24",
         [] {
             return MmsTypeSpec::integer(24);
         }},
        {"INT32",
         [] {
             return MmsTypeSpec::integer(32);
         }},
        {"INT64",
         [] {
             return MmsTypeSpec::integer(64);
         }},
        {"INT128",
         [] {
             return MmsTypeSpec::integer(128);
         }},
        {"Enum",
         [] {
             return MmsTypeSpec::integer(8);
         }},
        {"INT8U",
         [] {
             return MmsTypeSpec::unsignedInteger(8);
         }},
        {"INT16U",
         [] {
             return MmsTypeSpec::unsignedInteger(16);
         }},
        {"INT24U",
         [] {
             return MmsTypeSpec::unsignedInteger(24);
         }},
        {"INT32U",
         [] {
             return MmsTypeSpec::unsignedInteger(32);
         }},
        {"FLOAT32",
         [] {
             return MmsTypeSpec::floatingPoint(32, 8);
         }},
        {"FLOAT64",
         [] {
             return MmsTypeSpec::floatingPoint(64, 11);
         }},
        {"Dbpos",
         [] {
             return MmsTypeSpec::bitString(2);
         }},
        {"Tcmd",
         [] {
             return MmsTypeSpec::bitString(2);
         }},
        {"Check",
         [] {
             return MmsTypeSpec::bitString(-2);
         }},
        {"Quality",
         [] {
             return MmsTypeSpec::bitString(-13);
         }},
        {"OptFlds",
         [] {
             return MmsTypeSpec::bitString(10);
         }},
        {"TrgOps",
         [] {
             return MmsTypeSpec::bitString(6);
         }},
        {"Timestamp",
         [] {
             return MmsTypeSpec::utcTime();
         }},
        {"EntryTime",
         [] {
             return MmsTypeSpec::binaryTime(true);
         }},
        {"EntryID",
         [] {
             return MmsTypeSpec::octetString(8);
         }},
        {"ObjRef",
         [] {
             return MmsTypeSpec::visibleString(-129);
         }},
        {"Currency",
         [] {
             return MmsTypeSpec::visibleString(-3);
         }},
        {PhyComAddrType, Iec61850Types::phyComAddrType},
        {"Unicode255",
         [] {
             return MmsTypeSpec::mmsString(-255);
         }},
    };
    return types;
}

} // namespace

namespace Iec61850Types {

MmsTypeSpec basicType(const QString &bType)
{
    const auto found = basicTypes().constFind(bType);
    if (found != basicTypes().constEnd())
        return found.value()();
    // VisString64, Octet64 ...: the number is the largest size.
    static const QRegularExpression sized(QStringLiteral("^(VisString|Octet)(\\d{1,5})$"));
    const QRegularExpressionMatch match = sized.match(bType);
    if (match.hasMatch()) {
        const int size = match.captured(2).toInt();
        return match.captured(1) == QLatin1String("Octet") ? MmsTypeSpec::octetString(-size)
                                                           : MmsTypeSpec::visibleString(-size);
    }
    return MmsTypeSpec::visibleString(-255);
}

MmsTypeSpec phyComAddrType()
{
    MmsTypeSpec type = MmsTypeSpec::structure();
    for (const SclTypeMember &member : phyComAddrMembers()) {
        const MmsTypeSpec memberType = basicType(member.bType);
        // The address has exactly its six octets, not up to six.
        type.addComponent(member.name, memberType.type() == MmsType::OctetString
                                           ? MmsTypeSpec::octetString(qAbs(memberType.size()))
                                           : memberType);
    }
    return type;
}

MmsTypeSpec reportControlType(bool buffered)
{
    MmsTypeSpec type = MmsTypeSpec::structure();
    type.addComponent(QStringLiteral("RptID"), MmsTypeSpec::visibleString(-129));
    type.addComponent(QStringLiteral("RptEna"), MmsTypeSpec::boolean());
    if (!buffered)
        type.addComponent(QStringLiteral("Resv"), MmsTypeSpec::boolean());
    type.addComponent(QStringLiteral("DatSet"), MmsTypeSpec::visibleString(-129));
    type.addComponent(QStringLiteral("ConfRev"), MmsTypeSpec::unsignedInteger(32));
    type.addComponent(QStringLiteral("OptFlds"), MmsTypeSpec::bitString(10));
    type.addComponent(QStringLiteral("BufTm"), MmsTypeSpec::unsignedInteger(32));
    type.addComponent(QStringLiteral("SqNum"), MmsTypeSpec::unsignedInteger(buffered ? 16 : 8));
    type.addComponent(QStringLiteral("TrgOps"), MmsTypeSpec::bitString(6));
    type.addComponent(QStringLiteral("IntgPd"), MmsTypeSpec::unsignedInteger(32));
    type.addComponent(QStringLiteral("GI"), MmsTypeSpec::boolean());
    if (buffered) {
        type.addComponent(QStringLiteral("PurgeBuf"), MmsTypeSpec::boolean());
        type.addComponent(QStringLiteral("EntryID"), MmsTypeSpec::octetString(8));
        type.addComponent(QStringLiteral("TimeofEntry"), MmsTypeSpec::binaryTime(true));
        type.addComponent(QStringLiteral("ResvTms"), MmsTypeSpec::integer(16));
    }
    return type;
}

MmsValue reportControlValue(const ReportControlSettings &s)
{
    // Bit n of the libiec61850 numbering is bit n + 1 of the MMS bit string.
    const auto bits = [](int mask, int count) {
        QByteArray octets((count + 7) / 8, '\0');
        for (int bit = 1; bit < count; ++bit) {
            if (mask & (1 << (bit - 1)))
                octets[bit / 8] = char(quint8(octets.at(bit / 8)) | (0x80 >> (bit % 8)));
        }
        return MmsValue::bitString(octets, count);
    };
    std::vector<MmsValue> members{MmsValue::visibleString(s.rptId.toLatin1()),
                                  MmsValue::boolean(s.rptEna)};
    if (!s.buffered)
        members.push_back(MmsValue::boolean(s.resv));
    members.push_back(MmsValue::visibleString(s.dataSet.toLatin1()));
    members.push_back(MmsValue::unsignedInteger(s.confRev));
    members.push_back(bits(s.optFlds, 10));
    members.push_back(MmsValue::unsignedInteger(s.bufTm));
    members.push_back(MmsValue::unsignedInteger(0)); // SqNum
    members.push_back(bits(s.trgOps, 6));
    members.push_back(MmsValue::unsignedInteger(s.intgPd));
    members.push_back(MmsValue::boolean(false)); // GI
    if (s.buffered) {
        members.push_back(MmsValue::boolean(false)); // PurgeBuf
        members.push_back(MmsValue::octetString(QByteArray(8, '\0')));
        members.push_back(MmsValue::binaryTime(QByteArray(6, '\0')));
        members.push_back(MmsValue::integer(0)); // ResvTms
    }
    return MmsValue::structure(std::move(members));
}

QString reportControlInstanceName(const QString &name, bool indexed, int instance)
{
    return indexed ? name + QStringLiteral("%1").arg(instance, 2, 10, QLatin1Char('0')) : name;
}

} // namespace Iec61850Types
