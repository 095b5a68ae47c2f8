#include "clientreportcontrolblock.h"

#include <initializer_list>

namespace {

// Option and trigger numbers shifted past the reserved bit 0.
MmsValue flagString(int flags, int bitCount)
{
    QByteArray octets((bitCount + 7) / 8, '\0');
    for (int bit = 1; bit < bitCount; ++bit) {
        if (flags & (1 << (bit - 1)))
            octets[bit / 8] = char(quint8(octets.at(bit / 8)) | (0x80 >> (bit % 8)));
    }
    return MmsValue::bitString(octets, bitCount);
}

struct Expected
{
    int member;
    MmsType type;
    bool optional;
};

} // namespace

bool ClientReportControlBlock::fromValue(const QString &reference, bool buffered,
                                         const MmsValue &value, ClientReportControlBlock *block)
{
    static const std::initializer_list<Expected> unbufferedLayout{
        {RptId, MmsType::VisibleString, false}, {RptEna, MmsType::Boolean, false},
        {Resv, MmsType::Boolean, true},         {DatSet, MmsType::VisibleString, false},
        {ConfRev, MmsType::Unsigned, false},    {OptFlds, MmsType::BitString, false},
        {BufTm, MmsType::Unsigned, false},      {SqNum, MmsType::Unsigned, false},
        {TrgOps, MmsType::BitString, false},    {IntgPd, MmsType::Unsigned, false},
        {Gi, MmsType::Boolean, false},          {Owner, MmsType::OctetString, true}};
    static const std::initializer_list<Expected> bufferedLayout{
        {RptId, MmsType::VisibleString, false},    {RptEna, MmsType::Boolean, false},
        {DatSet, MmsType::VisibleString, false},   {ConfRev, MmsType::Unsigned, false},
        {OptFlds, MmsType::BitString, false},      {BufTm, MmsType::Unsigned, false},
        {SqNum, MmsType::Unsigned, false},         {TrgOps, MmsType::BitString, false},
        {IntgPd, MmsType::Unsigned, false},        {Gi, MmsType::Boolean, false},
        {PurgeBuf, MmsType::Boolean, false},       {EntryId, MmsType::OctetString, false},
        {TimeOfEntry, MmsType::BinaryTime, false}, {ResvTms, MmsType::Integer, true},
        {Owner, MmsType::OctetString, true}};

    ClientReportControlBlock result;
    // Members the structure lacks point past its end and read as null.
    for (int &position : result.positions)
        position = -1;
    if (value.type() != MmsType::Structure)
        return false;
    int index = 0;
    for (const Expected &expected : buffered ? bufferedLayout : unbufferedLayout) {
        const bool matches =
            value.element(index).type() == expected.type && !value.element(index).isNull();
        if (matches)
            result.positions[expected.member] = index++;
        else if (!expected.optional)
            return false;
    }
    if (index != value.elementCount())
        return false;
    result.valid = true;
    result.buffered = buffered;
    result.objectReference = reference;
    result.structure = value;
    *block = result;
    return true;
}

ClientReportControlBlock::ClientReportControlBlock(const QString &reference, bool buffered)
    : valid(true), buffered(buffered), objectReference(reference)
{
    for (int &position : positions)
        position = -1;
}

void ClientReportControlBlock::setRptId(const QString &rptId)
{
    written[RptId] = MmsValue::visibleString(rptId.toLatin1());
}

void ClientReportControlBlock::setRptEna(bool enabled)
{
    written[RptEna] = MmsValue::boolean(enabled);
}

void ClientReportControlBlock::setResv(bool reserved)
{
    written[Resv] = MmsValue::boolean(reserved);
}

void ClientReportControlBlock::setDataSetReference(const QString &dataSet)
{
    written[DatSet] = MmsValue::visibleString(dataSet.toLatin1());
}

void ClientReportControlBlock::setOptFlds(int options)
{
    written[OptFlds] = flagString(options, 10);
}

int ClientReportControlBlock::setSubscription(int optFlds, int trgOps, qint64 intgPd, qint64 bufTm)
{
    int mask = 0;
    if (optFlds >= 0) {
        setOptFlds(optFlds);
        mask |= ElementOptFlds;
    }
    if (trgOps >= 0) {
        setTrgOps(trgOps);
        mask |= ElementTrgOps;
    }
    if (intgPd >= 0) {
        setIntgPd(quint32(intgPd));
        mask |= ElementIntgPd;
    }
    if (bufTm >= 0) {
        setBufTm(quint32(bufTm));
        mask |= ElementBufTm;
    }
    return mask;
}

void ClientReportControlBlock::setBufTm(quint32 ms)
{
    written[BufTm] = MmsValue::unsignedInteger(ms);
}

void ClientReportControlBlock::setTrgOps(int triggers)
{
    written[TrgOps] = flagString(triggers, 6);
}

void ClientReportControlBlock::setIntgPd(quint32 ms)
{
    written[IntgPd] = MmsValue::unsignedInteger(ms);
}

void ClientReportControlBlock::setGi(bool gi)
{
    written[Gi] = MmsValue::boolean(gi);
}

void ClientReportControlBlock::setPurgeBuf(bool purge)
{
    written[PurgeBuf] = MmsValue::boolean(purge);
}

void ClientReportControlBlock::setEntryId(const QByteArray &entryId)
{
    written[EntryId] = MmsValue::octetString(entryId);
}

void ClientReportControlBlock::setResvTms(int seconds)
{
    written[ResvTms] = MmsValue::integer(seconds);
}

ClientReportControlBlock::Member ClientReportControlBlock::memberOf(Element element)
{
    switch (element) {
    case ElementRptId:
        return RptId;
    case ElementRptEna:
        return RptEna;
    case ElementResv:
        return Resv;
    case ElementDatSet:
        return DatSet;
    case ElementConfRev:
        return ConfRev;
    case ElementOptFlds:
        return OptFlds;
    case ElementBufTm:
        return BufTm;
    case ElementSqNum:
        return SqNum;
    case ElementTrgOps:
        return TrgOps;
    case ElementIntgPd:
        return IntgPd;
    case ElementGi:
        return Gi;
    case ElementPurgeBuf:
        return PurgeBuf;
    case ElementEntryId:
        return EntryId;
    case ElementTimeOfEntry:
        return TimeOfEntry;
    case ElementResvTms:
        return ResvTms;
    case ElementOwner:
        break;
    }
    return Owner;
}

MmsValue ClientReportControlBlock::elementValue(Element element) const
{
    return member(memberOf(element));
}

QString ClientReportControlBlock::elementName(Element element)
{
    static const char *const names[] = {
        "RptID",  "RptEna", "Resv", "DatSet",   "ConfRev", "OptFlds",     "BufTm",   "SqNum",
        "TrgOps", "IntgPd", "GI",   "PurgeBuf", "EntryID", "TimeofEntry", "ResvTms", "Owner"};
    for (int bit = 0; bit < 16; ++bit) {
        if (int(element) == 1 << bit)
            return QLatin1String(names[bit]);
    }
    return QString();
}
