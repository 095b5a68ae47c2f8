#include "mmsdatacodec.h"

#include "berwriter.h"

#include <cstring>

namespace {

enum DataTag : quint32 {
    ArrayTag = 0xa1,
    StructureTag = 0xa2,
    BooleanTag = 0x83,
    BitStringTag = 0x84,
    IntegerTag = 0x85,
    UnsignedTag = 0x86,
    FloatTag = 0x87,
    FloatTypeTag = 0xa7,
    OctetStringTag = 0x89,
    VisibleStringTag = 0x8a,
    GeneralizedTimeTag = 0x8b,
    BinaryTimeTag = 0x8c,
    BcdTag = 0x8d,
    BooleanArrayTag = 0x8e,
    ObjIdTag = 0x8f,
    MmsStringTag = 0x90,
    UtcTimeTag = 0x91,
};

QByteArray floatContent(const MmsValue &value)
{
    QByteArray content;
    if (value.isDouble()) {
        const double number = value.toDouble();
        quint64 bits = 0;
        std::memcpy(&bits, &number, sizeof bits);
        content.append(char(11));
        for (int shift = 56; shift >= 0; shift -= 8)
            content.append(char((bits >> shift) & 0xff));
    } else {
        const float number = value.toFloat();
        quint32 bits = 0;
        std::memcpy(&bits, &number, sizeof bits);
        content.append(char(8));
        for (int shift = 24; shift >= 0; shift -= 8)
            content.append(char((bits >> shift) & 0xff));
    }
    return content;
}

bool decodeFloat(const QByteArray &content, MmsValue *value)
{
    const auto octets = [&content](int from, int count) {
        quint64 bits = 0;
        for (int i = 0; i < count; ++i)
            bits = (bits << 8) | quint8(content.at(from + i));
        return bits;
    };
    if (content.size() == 5) {
        const quint32 bits = quint32(octets(1, 4));
        float number = 0;
        std::memcpy(&number, &bits, sizeof number);
        *value = MmsValue::floatingPoint(number);
        return true;
    }
    if (content.size() == 9) {
        const quint64 bits = octets(1, 8);
        double number = 0;
        std::memcpy(&number, &bits, sizeof number);
        *value = MmsValue::doubleFloatingPoint(number);
        return true;
    }
    return false;
}

QByteArray encodeMembers(const MmsValue &value)
{
    QByteArray content;
    for (const MmsValue &member : value.elements())
        content += MmsDataCodec::encodeValue(member);
    return content;
}

bool decodeMembers(const BerReader &reader, const BerTlv &tlv, std::vector<MmsValue> *members,
                   int depth)
{
    BerReader inner = reader.children(tlv);
    BerTlv memberTlv;
    while (inner.read(&memberTlv)) {
        MmsValue member;
        if (!MmsDataCodec::decodeValue(inner, memberTlv, &member, depth + 1))
            return false;
        members->push_back(std::move(member));
    }
    return !inner.failed();
}

bool readSize(const BerReader &reader, const BerTlv &tlv, int *size)
{
    // Negative sizes mean "up to", so both ends are bounded.
    return reader.toInt(tlv, size) && *size >= -MmsDataCodec::MaxTypeSize &&
           *size <= MmsDataCodec::MaxTypeSize;
}

qint64 scalarCount(const MmsTypeSpec &type)
{
    if (type.type() == MmsType::Array)
        return type.elementCount() * scalarCount(type.element());
    if (type.type() != MmsType::Structure)
        return 1;
    qint64 count = 0;
    for (int i = 0; i < type.componentCount(); ++i)
        count += scalarCount(type.component(i));
    return count;
}

bool decodeStructureType(const BerReader &reader, const BerTlv &tlv, MmsTypeSpec *type, int depth)
{
    BerReader fields = reader.children(tlv);
    BerTlv field;
    fields.readIf(0x80, &field); // packed
    *type = MmsTypeSpec::structure();
    if (!fields.read(&field))
        return !fields.failed();
    if (field.tag != 0xa1)
        return false;
    BerReader list = fields.children(field);
    BerTlv item;
    qint64 scalars = 0;
    while (list.read(&item)) {
        if (item.tag != 0x30)
            return false;
        BerReader component = list.children(item);
        BerTlv part;
        QString name;
        if (component.readIf(0x80, &part))
            name = QString::fromLatin1(component.content(part));
        if (!component.expect(0xa1, &part))
            return false;
        BerReader typeReader = component.children(part);
        BerTlv typeTlv;
        MmsTypeSpec componentType;
        if (!typeReader.read(&typeTlv) ||
            !MmsDataCodec::decodeType(typeReader, typeTlv, &componentType, depth + 1))
            return false;
        scalars += scalarCount(componentType);
        if (scalars > MmsDataCodec::MaxTypeScalars)
            return false;
        type->addComponent(name, componentType);
    }
    return !list.failed();
}

bool decodeArrayType(const BerReader &reader, const BerTlv &tlv, MmsTypeSpec *type, int depth)
{
    BerReader fields = reader.children(tlv);
    BerTlv field;
    fields.readIf(0x80, &field); // packed
    int count = 0;
    if (!fields.expect(0x81, &field) || !fields.toInt(field, &count) || count < 0 ||
        count > MmsDataCodec::MaxArrayElements || !fields.expect(0xa2, &field))
        return false;
    BerReader elementReader = fields.children(field);
    BerTlv elementTlv;
    MmsTypeSpec element;
    if (!elementReader.read(&elementTlv) ||
        !MmsDataCodec::decodeType(elementReader, elementTlv, &element, depth + 1))
        return false;
    if (count * scalarCount(element) > MmsDataCodec::MaxTypeScalars)
        return false;
    *type = MmsTypeSpec::array(count, element);
    return true;
}

} // namespace

namespace MmsDataCodec {

QByteArray encodeValue(const MmsValue &value)
{
    switch (value.type()) {
    case MmsType::Array:
        return Ber::tlv(ArrayTag, encodeMembers(value));
    case MmsType::Structure:
        return Ber::tlv(StructureTag, encodeMembers(value));
    case MmsType::Boolean:
        return Ber::boolean(BooleanTag, value.boolean());
    case MmsType::BitString:
        return Ber::bitString(BitStringTag, value.octets(), value.bitStringSize());
    case MmsType::Integer:
        return Ber::integer(IntegerTag, value.toInt64());
    case MmsType::Unsigned:
        return Ber::unsignedInteger(UnsignedTag, value.toUint64());
    case MmsType::Float:
        return Ber::tlv(FloatTag, floatContent(value));
    case MmsType::OctetString:
        return Ber::tlv(OctetStringTag, value.octets());
    case MmsType::VisibleString:
        return Ber::tlv(VisibleStringTag, value.octets());
    case MmsType::GeneralizedTime:
        return Ber::tlv(GeneralizedTimeTag, value.octets());
    case MmsType::BinaryTime:
        return Ber::tlv(BinaryTimeTag, value.octets());
    case MmsType::Bcd:
        return Ber::integer(BcdTag, value.toInt64());
    case MmsType::ObjId:
        return Ber::oid(ObjIdTag, value.objIdArcs());
    case MmsType::String:
        return Ber::tlv(MmsStringTag, value.octets());
    case MmsType::UtcTime:
        return Ber::tlv(UtcTimeTag, value.octets());
    case MmsType::DataAccessError:
        break;
    }
    return QByteArray();
}

bool decodeValue(const BerReader &reader, const BerTlv &tlv, MmsValue *value, int depth)
{
    if (depth > MaxNesting)
        return false;
    switch (tlv.tag) {
    case ArrayTag:
    case StructureTag: {
        std::vector<MmsValue> members;
        if (!decodeMembers(reader, tlv, &members, depth))
            return false;
        *value = tlv.tag == ArrayTag ? MmsValue::array(std::move(members))
                                     : MmsValue::structure(std::move(members));
        return true;
    }
    case BooleanTag: {
        bool flag = false;
        if (!reader.toBool(tlv, &flag))
            return false;
        *value = MmsValue::boolean(flag);
        return true;
    }
    case BitStringTag:
    case BooleanArrayTag: {
        QByteArray bits;
        int count = 0;
        if (!reader.toBitString(tlv, &bits, &count))
            return false;
        *value = MmsValue::bitString(bits, count);
        return true;
    }
    case IntegerTag:
    case BcdTag: {
        qint64 number = 0;
        if (!reader.toInt64(tlv, &number))
            return false;
        *value = tlv.tag == IntegerTag ? MmsValue::integer(number) : MmsValue::bcd(number);
        return true;
    }
    case UnsignedTag: {
        quint64 number = 0;
        if (!reader.toUint64(tlv, &number))
            return false;
        *value = MmsValue::unsignedInteger(number);
        return true;
    }
    case FloatTag:
        return decodeFloat(reader.content(tlv), value);
    case OctetStringTag:
        *value = MmsValue::octetString(reader.content(tlv));
        return true;
    case VisibleStringTag:
        *value = MmsValue::visibleString(reader.content(tlv));
        return true;
    case GeneralizedTimeTag:
        *value = MmsValue::generalizedTime(reader.content(tlv));
        return true;
    case BinaryTimeTag:
        if (tlv.length != 4 && tlv.length != 6)
            return false;
        *value = MmsValue::binaryTime(reader.content(tlv));
        return true;
    case ObjIdTag: {
        QVector<quint32> arcs;
        if (!reader.toOid(tlv, &arcs))
            return false;
        *value = MmsValue::objId(arcs);
        return true;
    }
    case MmsStringTag:
        *value = MmsValue::mmsString(QString::fromUtf8(reader.content(tlv)));
        return true;
    case UtcTimeTag:
        if (tlv.length != 8)
            return false;
        *value = MmsValue::utcTime(reader.content(tlv));
        return true;
    default:
        return false;
    }
}

QByteArray encodeType(const MmsTypeSpec &type)
{
    switch (type.type()) {
    case MmsType::Array:
        return Ber::tlv(ArrayTag, Ber::integer(0x81, type.elementCount()) +
                                      Ber::tlv(0xa2, encodeType(type.element())));
    case MmsType::Structure: {
        QByteArray list;
        for (int i = 0; i < type.componentCount(); ++i) {
            list += Ber::tlv(0x30, Ber::tlv(0x80, type.componentName(i).toLatin1()) +
                                       Ber::tlv(0xa1, encodeType(type.component(i))));
        }
        return Ber::tlv(StructureTag, Ber::tlv(0xa1, list));
    }
    case MmsType::Boolean:
        return Ber::tlv(BooleanTag, QByteArray());
    case MmsType::BitString:
        return Ber::integer(BitStringTag, type.size());
    case MmsType::Integer:
        return Ber::integer(IntegerTag, type.size());
    case MmsType::Unsigned:
        return Ber::integer(UnsignedTag, type.size());
    case MmsType::Float:
        return Ber::tlv(FloatTypeTag,
                        Ber::integer(0x02, type.size()) + Ber::integer(0x02, type.exponentWidth()));
    case MmsType::OctetString:
        return Ber::integer(OctetStringTag, type.size());
    case MmsType::VisibleString:
        return Ber::integer(VisibleStringTag, type.size());
    case MmsType::GeneralizedTime:
        return Ber::tlv(GeneralizedTimeTag, QByteArray());
    case MmsType::BinaryTime:
        return Ber::boolean(BinaryTimeTag, type.withDate());
    case MmsType::Bcd:
        return Ber::integer(BcdTag, type.size());
    case MmsType::ObjId:
        return Ber::tlv(ObjIdTag, QByteArray());
    case MmsType::String:
        return Ber::integer(MmsStringTag, type.size());
    case MmsType::UtcTime:
        return Ber::tlv(UtcTimeTag, QByteArray());
    case MmsType::DataAccessError:
        break;
    }
    return QByteArray();
}

bool decodeType(const BerReader &reader, const BerTlv &tlv, MmsTypeSpec *type, int depth)
{
    if (depth > MaxNesting)
        return false;
    int size = 0;
    switch (tlv.tag) {
    case ArrayTag:
        return decodeArrayType(reader, tlv, type, depth);
    case StructureTag:
        return decodeStructureType(reader, tlv, type, depth);
    case BooleanTag:
        *type = MmsTypeSpec::boolean();
        return true;
    case BitStringTag:
        if (!readSize(reader, tlv, &size))
            return false;
        *type = MmsTypeSpec::bitString(size);
        return true;
    case IntegerTag:
    case UnsignedTag:
    case BcdTag:
        if (!readSize(reader, tlv, &size))
            return false;
        *type = tlv.tag == IntegerTag    ? MmsTypeSpec::integer(size)
                : tlv.tag == UnsignedTag ? MmsTypeSpec::unsignedInteger(size)
                                         : MmsTypeSpec::bcd(size);
        return true;
    case FloatTypeTag: {
        BerReader fields = reader.children(tlv);
        BerTlv field;
        int exponent = 0;
        if (!fields.expect(0x02, &field) || !readSize(fields, field, &size) ||
            !fields.expect(0x02, &field) || !readSize(fields, field, &exponent))
            return false;
        *type = MmsTypeSpec::floatingPoint(size, exponent);
        return true;
    }
    case OctetStringTag:
    case VisibleStringTag:
    case MmsStringTag:
        if (!readSize(reader, tlv, &size))
            return false;
        *type = tlv.tag == OctetStringTag     ? MmsTypeSpec::octetString(size)
                : tlv.tag == VisibleStringTag ? MmsTypeSpec::visibleString(size)
                                              : MmsTypeSpec::mmsString(size);
        return true;
    case GeneralizedTimeTag:
        *type = MmsTypeSpec::generalizedTime();
        return true;
    case BinaryTimeTag: {
        bool withDate = false;
        if (tlv.length != 0 && !reader.toBool(tlv, &withDate))
            return false;
        *type = MmsTypeSpec::binaryTime(withDate);
        return true;
    }
    case ObjIdTag:
        *type = MmsTypeSpec::objId();
        return true;
    case UtcTimeTag:
        *type = MmsTypeSpec::utcTime();
        return true;
    default:
        return false;
    }
}

} // namespace MmsDataCodec
