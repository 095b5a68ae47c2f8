#include "clientreportcontrolblock.h"

#include <initializer_list>

namespace {

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
