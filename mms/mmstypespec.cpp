#include "mmstypespec.h"

MmsTypeSpec MmsTypeSpec::boolean()
{
    return MmsTypeSpec(MmsType::Boolean, 0);
}

MmsTypeSpec MmsTypeSpec::bitString(int size)
{
    return MmsTypeSpec(MmsType::BitString, size);
}

MmsTypeSpec MmsTypeSpec::integer(int bits)
{
    return MmsTypeSpec(MmsType::Integer, bits);
}

MmsTypeSpec MmsTypeSpec::unsignedInteger(int bits)
{
    return MmsTypeSpec(MmsType::Unsigned, bits);
}

MmsTypeSpec MmsTypeSpec::floatingPoint(int formatWidth, int exponentWidth)
{
    return MmsTypeSpec(MmsType::Float, formatWidth, exponentWidth);
}

MmsTypeSpec MmsTypeSpec::octetString(int size)
{
    return MmsTypeSpec(MmsType::OctetString, size);
}

MmsTypeSpec MmsTypeSpec::visibleString(int size)
{
    return MmsTypeSpec(MmsType::VisibleString, size);
}

MmsTypeSpec MmsTypeSpec::mmsString(int size)
{
    return MmsTypeSpec(MmsType::String, size);
}

MmsTypeSpec MmsTypeSpec::generalizedTime()
{
    return MmsTypeSpec(MmsType::GeneralizedTime, 0);
}

MmsTypeSpec MmsTypeSpec::binaryTime(bool withDate)
{
    return MmsTypeSpec(MmsType::BinaryTime, withDate ? 1 : 0);
}

MmsTypeSpec MmsTypeSpec::bcd(int digits)
{
    return MmsTypeSpec(MmsType::Bcd, digits);
}

MmsTypeSpec MmsTypeSpec::objId()
{
    return MmsTypeSpec(MmsType::ObjId, 0);
}

MmsTypeSpec MmsTypeSpec::utcTime()
{
    return MmsTypeSpec(MmsType::UtcTime, 0);
}

MmsTypeSpec MmsTypeSpec::structure()
{
    return MmsTypeSpec(MmsType::Structure, 0);
}

MmsTypeSpec MmsTypeSpec::array(int count, const MmsTypeSpec &element)
{
    MmsTypeSpec spec(MmsType::Array, qMax(0, count));
    spec.components.push_back(element);
    spec.names.append(QString());
    return spec;
}

void MmsTypeSpec::addComponent(const QString &name, const MmsTypeSpec &type)
{
    names.append(name);
    components.push_back(type);
}

MmsValue MmsTypeSpec::defaultValue() const
{
    switch (kind) {
    case MmsType::Array: {
        std::vector<MmsValue> elements;
        elements.reserve(size_t(length));
        for (int i = 0; i < length; ++i)
            elements.push_back(components.front().defaultValue());
        return MmsValue::array(std::move(elements));
    }
    case MmsType::Structure: {
        std::vector<MmsValue> members;
        members.reserve(components.size());
        for (const MmsTypeSpec &component : components)
            members.push_back(component.defaultValue());
        return MmsValue::structure(std::move(members));
    }
    case MmsType::Boolean:
        return MmsValue::boolean(false);
    case MmsType::BitString:
        return MmsValue::bitString(QByteArray(), qAbs(length));
    case MmsType::Integer:
        return MmsValue::integer(0);
    case MmsType::Unsigned:
        return MmsValue::unsignedInteger(0);
    case MmsType::Float:
        return length > 32 ? MmsValue::doubleFloatingPoint(0) : MmsValue::floatingPoint(0);
    case MmsType::OctetString:
        return MmsValue::octetString(QByteArray(qMax(0, length), '\0'));
    case MmsType::VisibleString:
        return MmsValue::visibleString(QByteArray());
    case MmsType::GeneralizedTime:
        return MmsValue::generalizedTime(QByteArrayLiteral("19700101000000.000Z"));
    case MmsType::BinaryTime:
        return MmsValue::binaryTime(QByteArray(length != 0 ? 6 : 4, '\0'));
    case MmsType::Bcd:
        return MmsValue::bcd(0);
    case MmsType::ObjId:
        return MmsValue::objId({0, 0});
    case MmsType::String:
        return MmsValue::mmsString(QString());
    case MmsType::UtcTime:
        return MmsValue::utcTime(QByteArray(8, '\0'));
    case MmsType::DataAccessError:
        break;
    }
    return MmsValue::dataAccessError(4);
}

bool MmsTypeSpec::operator==(const MmsTypeSpec &other) const
{
    return kind == other.kind && length == other.length && exponent == other.exponent &&
           names == other.names && components == other.components;
}
