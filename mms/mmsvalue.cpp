#include "mmsvalue.h"

#include <QDateTime>

#include <cstring>

namespace {

// Milliseconds from 1970-01-01 to 1984-01-01, the epoch of binary time.
constexpr quint64 BinaryTimeEpochMs = 441763200000ull;
constexpr quint64 MsPerDay = 86400000ull;

quint64 bigEndian(const QByteArray &octets, int from, int count)
{
    quint64 value = 0;
    for (int i = 0; i < count && from + i < octets.size(); ++i)
        value = (value << 8) | quint8(octets.at(from + i));
    return value;
}

QString generalizedTimeText(quint64 ms)
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(qint64(ms), Qt::UTC);
    return time.toString(QStringLiteral("yyyyMMddhhmmss.zzz")) + QLatin1Char('Z');
}

} // namespace

QString Quality::text(quint16 quality)
{
    static const char *const validities[] = {"good", "reserved", "invalid", "questionable"};
    static const char *const flags[] = {
        "overflow",     "outOfRange", "badReference", "oscillatory", "failure",         "oldData",
        "inconsistent", "inaccurate", "substituted",  "test",        "operatorBlocked", "derived"};
    QStringList parts{QLatin1String(validities[quality & ValidityMask])};
    for (int bit = 2; bit < 14; ++bit) {
        if (quality & (1u << bit))
            parts << QLatin1String(flags[bit - 2]);
    }
    return parts.join(QLatin1Char('|'));
}

QString TimeQuality::text(quint8 timeQuality)
{
    QStringList parts;
    if (timeQuality & LeapSecondKnown)
        parts << QStringLiteral("leap-second-known");
    if (timeQuality & ClockFailure)
        parts << QStringLiteral("clock-failure");
    if (timeQuality & ClockNotSynchronized)
        parts << QStringLiteral("not-synchronized");
    const int accuracy = timeQuality & AccuracyMask;
    if (accuracy == AccuracyMask)
        parts << QStringLiteral("accuracy unspecified");
    else if (accuracy != 0)
        parts << QStringLiteral("accuracy %1").arg(accuracy);
    return parts.join(QLatin1Char('|'));
}

QString mmsTypeName(MmsType type)
{
    switch (type) {
    case MmsType::Array:
        return QStringLiteral("array");
    case MmsType::Structure:
        return QStringLiteral("structure");
    case MmsType::Boolean:
        return QStringLiteral("boolean");
    case MmsType::BitString:
        return QStringLiteral("bit-string");
    case MmsType::Integer:
        return QStringLiteral("integer");
    case MmsType::Unsigned:
        return QStringLiteral("unsigned");
    case MmsType::Float:
        return QStringLiteral("float");
    case MmsType::OctetString:
        return QStringLiteral("octet-string");
    case MmsType::VisibleString:
        return QStringLiteral("visible-string");
    case MmsType::GeneralizedTime:
        return QStringLiteral("generalized-time");
    case MmsType::BinaryTime:
        return QStringLiteral("binary-time");
    case MmsType::Bcd:
        return QStringLiteral("bcd");
    case MmsType::ObjId:
        return QStringLiteral("oid");
    case MmsType::String:
        return QStringLiteral("mms-string");
    case MmsType::UtcTime:
        return QStringLiteral("utc-time");
    case MmsType::DataAccessError:
        return QStringLiteral("access-error");
    }
    return QStringLiteral("unknown(error)");
}

MmsValue MmsValue::boolean(bool value)
{
    MmsValue v(MmsType::Boolean);
    v.signedNumber = value ? 1 : 0;
    return v;
}

MmsValue MmsValue::integer(qint64 value)
{
    MmsValue v(MmsType::Integer);
    v.signedNumber = value;
    return v;
}

MmsValue MmsValue::unsignedInteger(quint64 value)
{
    MmsValue v(MmsType::Unsigned);
    v.unsignedNumber = value;
    return v;
}

MmsValue MmsValue::floatingPoint(float value)
{
    MmsValue v(MmsType::Float);
    v.floating = value;
    return v;
}

MmsValue MmsValue::doubleFloatingPoint(double value)
{
    MmsValue v(MmsType::Float);
    v.floating = value;
    v.doublePrecision = true;
    return v;
}

MmsValue MmsValue::bitString(const QByteArray &bits, int bitCount)
{
    MmsValue v(MmsType::BitString);
    v.bits = qMax(0, bitCount);
    const int octets = int((qint64(v.bits) + 7) / 8);
    v.raw = bits.left(octets);
    v.raw.append(QByteArray(octets - v.raw.size(), '\0'));
    const int unused = v.raw.size() * 8 - v.bits;
    if (unused > 0)
        v.raw[v.raw.size() - 1] = char(quint8(v.raw.back()) & (0xff << unused));
    return v;
}

MmsValue MmsValue::octetString(const QByteArray &octets)
{
    MmsValue v(MmsType::OctetString);
    v.raw = octets;
    return v;
}

MmsValue MmsValue::visibleString(const QByteArray &text)
{
    MmsValue v(MmsType::VisibleString);
    v.raw = text;
    return v;
}

MmsValue MmsValue::mmsString(const QString &text)
{
    MmsValue v(MmsType::String);
    v.raw = text.toUtf8();
    return v;
}

MmsValue MmsValue::utcTime(const QByteArray &octets)
{
    MmsValue v(MmsType::UtcTime);
    v.raw = octets.left(8);
    v.raw.append(QByteArray(8 - v.raw.size(), '\0'));
    return v;
}

MmsValue MmsValue::utcTimeFromMs(quint64 msSinceEpoch, quint8 quality)
{
    const quint64 seconds = msSinceEpoch / 1000;
    const quint64 fraction = ((msSinceEpoch % 1000) << 24) / 1000;
    QByteArray octets;
    for (int shift = 24; shift >= 0; shift -= 8)
        octets.append(char((seconds >> shift) & 0xff));
    for (int shift = 16; shift >= 0; shift -= 8)
        octets.append(char((fraction >> shift) & 0xff));
    octets.append(char(quality));
    return utcTime(octets);
}

MmsValue MmsValue::binaryTime(const QByteArray &octets)
{
    MmsValue v(MmsType::BinaryTime);
    v.raw = octets.size() >= 6 ? octets.left(6) : octets.left(4);
    v.raw.append(QByteArray(4 - qMin(4, v.raw.size()), '\0'));
    return v;
}

MmsValue MmsValue::binaryTimeFromMs(quint64 msSinceEpoch)
{
    const quint64 since = msSinceEpoch > BinaryTimeEpochMs ? msSinceEpoch - BinaryTimeEpochMs : 0;
    const quint64 msOfDay = since % MsPerDay;
    const quint64 days = since / MsPerDay;
    QByteArray octets;
    for (int shift = 24; shift >= 0; shift -= 8)
        octets.append(char((msOfDay >> shift) & 0xff));
    octets.append(char((days >> 8) & 0xff));
    octets.append(char(days & 0xff));
    return binaryTime(octets);
}

MmsValue MmsValue::generalizedTime(const QByteArray &text)
{
    MmsValue v(MmsType::GeneralizedTime);
    v.raw = text;
    return v;
}

MmsValue MmsValue::bcd(qint64 value)
{
    MmsValue v(MmsType::Bcd);
    v.signedNumber = value;
    return v;
}

MmsValue MmsValue::objId(const QVector<quint32> &arcs)
{
    MmsValue v(MmsType::ObjId);
    for (quint32 arc : arcs) {
        for (int shift = 24; shift >= 0; shift -= 8)
            v.raw.append(char((arc >> shift) & 0xff));
    }
    return v;
}

MmsValue MmsValue::structure(std::vector<MmsValue> elements)
{
    MmsValue v(MmsType::Structure);
    v.members = std::move(elements);
    return v;
}

MmsValue MmsValue::array(std::vector<MmsValue> elements)
{
    MmsValue v(MmsType::Array);
    v.members = std::move(elements);
    return v;
}

MmsValue MmsValue::dataAccessError(int code)
{
    MmsValue v(MmsType::DataAccessError);
    v.signedNumber = code;
    return v;
}

MmsValue MmsValue::element(int index) const
{
    if (index < 0 || index >= elementCount())
        return MmsValue();
    return members[size_t(index)];
}

bool MmsValue::boolean() const
{
    return valid && kind == MmsType::Boolean && signedNumber != 0;
}

qint64 MmsValue::toInt64() const
{
    if (!valid)
        return 0;
    switch (kind) {
    case MmsType::Integer:
    case MmsType::Bcd:
        return signedNumber;
    case MmsType::Unsigned:
        return qint64(unsignedNumber);
    default:
        return 0;
    }
}

quint64 MmsValue::toUint64() const
{
    return valid && kind == MmsType::Unsigned ? unsignedNumber : quint64(toInt64());
}

qint32 MmsValue::toInt32() const
{
    return qint32(toInt64());
}

quint32 MmsValue::toUint32() const
{
    return quint32(toUint64());
}

double MmsValue::toDouble() const
{
    return valid && kind == MmsType::Float ? floating : 0.0;
}

float MmsValue::toFloat() const
{
    return float(toDouble());
}

int MmsValue::bitStringSize() const
{
    return valid && kind == MmsType::BitString ? bits : 0;
}

bool MmsValue::bitStringBit(int index) const
{
    if (index < 0 || index >= bitStringSize())
        return false;
    return quint8(raw.at(index / 8)) & (0x80 >> (index % 8));
}

quint32 MmsValue::bitStringAsInteger() const
{
    quint32 value = 0;
    for (int i = 0; i < qMin(32, bitStringSize()); ++i) {
        if (bitStringBit(i))
            value |= 1u << i;
    }
    return value;
}

QString MmsValue::toString() const
{
    if (!valid)
        return QString();
    switch (kind) {
    case MmsType::VisibleString:
    case MmsType::GeneralizedTime:
        return QString::fromLatin1(raw);
    case MmsType::String:
        return QString::fromUtf8(raw);
    default:
        return QString();
    }
}

quint64 MmsValue::utcTimeMs() const
{
    if (!valid || kind != MmsType::UtcTime)
        return 0;
    const quint64 seconds = bigEndian(raw, 0, 4);
    const quint64 fraction = bigEndian(raw, 4, 3);
    // Rounded: a time stamp written from whole milliseconds reads back as them.
    return seconds * 1000 + (fraction * 1000 + (1u << 23)) / (1u << 24);
}

quint8 MmsValue::utcTimeQuality() const
{
    return valid && kind == MmsType::UtcTime ? quint8(raw.at(7)) : 0;
}

QString MmsValue::utcTimeText() const
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(qint64(utcTimeMs()), Qt::UTC);
    QString text =
        time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) + QStringLiteral(" UTC");
    const QString quality = TimeQuality::text(utcTimeQuality());
    if (!quality.isEmpty())
        text += QStringLiteral(" [%1]").arg(quality);
    return text;
}

quint16 MmsValue::toQuality() const
{
    return kind == MmsType::BitString ? quint16(bitStringAsInteger() & 0xffff) : 0;
}

quint64 MmsValue::binaryTimeMs() const
{
    if (!valid || kind != MmsType::BinaryTime)
        return 0;
    const quint64 msOfDay = bigEndian(raw, 0, 4);
    if (raw.size() < 6)
        return msOfDay;
    return BinaryTimeEpochMs + bigEndian(raw, 4, 2) * MsPerDay + msOfDay;
}

QVector<quint32> MmsValue::objIdArcs() const
{
    QVector<quint32> arcs;
    if (!valid || kind != MmsType::ObjId)
        return arcs;
    for (int i = 0; i + 4 <= raw.size(); i += 4)
        arcs.append(quint32(bigEndian(raw, i, 4)));
    return arcs;
}

int MmsValue::dataAccessErrorCode() const
{
    return valid && kind == MmsType::DataAccessError ? int(signedNumber) : -1;
}

QString MmsValue::toText() const
{
    if (!valid)
        return QString();
    switch (kind) {
    case MmsType::Array:
    case MmsType::Structure: {
        QStringList parts;
        for (const MmsValue &member : members)
            parts << member.toText();
        return QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}');
    }
    case MmsType::Boolean:
        return boolean() ? QStringLiteral("true") : QStringLiteral("false");
    case MmsType::BitString: {
        QString text;
        for (int i = 0; i < bits; ++i)
            text.append(bitStringBit(i) ? QLatin1Char('1') : QLatin1Char('0'));
        return text;
    }
    case MmsType::Integer:
    case MmsType::Bcd:
        return QString::number(signedNumber);
    case MmsType::Unsigned:
        return QString::number(unsignedNumber);
    case MmsType::Float:
        return QString::number(floating, 'f', 6);
    case MmsType::OctetString:
        return QString::fromLatin1(raw.toHex());
    case MmsType::UtcTime:
        return generalizedTimeText(utcTimeMs());
    case MmsType::BinaryTime:
        return generalizedTimeText(binaryTimeMs());
    case MmsType::ObjId: {
        QStringList arcs;
        for (quint32 arc : objIdArcs())
            arcs << QString::number(arc);
        return arcs.join(QLatin1Char('.'));
    }
    case MmsType::DataAccessError:
        return QStringLiteral("error %1").arg(signedNumber);
    case MmsType::VisibleString:
    case MmsType::GeneralizedTime:
    case MmsType::String:
        return toString();
    }
    return QString();
}

bool MmsValue::operator==(const MmsValue &other) const
{
    if (valid != other.valid)
        return false;
    if (!valid)
        return true;
    if (kind != other.kind)
        return false;
    switch (kind) {
    case MmsType::Array:
    case MmsType::Structure:
        return members == other.members;
    case MmsType::Float:
        return doublePrecision == other.doublePrecision &&
               std::memcmp(&floating, &other.floating, sizeof floating) == 0;
    case MmsType::Unsigned:
        return unsignedNumber == other.unsignedNumber;
    case MmsType::BitString:
        return bits == other.bits && raw == other.raw;
    case MmsType::Boolean:
    case MmsType::Integer:
    case MmsType::Bcd:
    case MmsType::DataAccessError:
        return signedNumber == other.signedNumber;
    default:
        return raw == other.raw;
    }
}
