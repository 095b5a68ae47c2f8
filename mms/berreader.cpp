#include "berreader.h"

#include <limits>

BerReader::BerReader(const QByteArray &data) : bytes(data), position(0), limit(data.size()) {}

BerReader::BerReader(const QByteArray &data, int begin, int end)
    : bytes(data), position(begin), limit(end)
{
    if (begin < 0 || end > data.size() || begin > end) {
        position = limit = 0;
        error = true;
    }
}

bool BerReader::fail()
{
    error = true;
    position = limit;
    return false;
}

bool BerReader::read(BerTlv *tlv)
{
    if (error || atEnd())
        return false;
    const auto byteAt = [this](int i) {
        return quint8(bytes.at(i));
    };
    int p = position;
    const quint32 first = byteAt(p++);
    quint32 tag = first;
    if ((first & 0x1f) == 0x1f) {
        quint32 number = 0;
        for (int count = 0;; ++count) {
            // Four continuation octets carry 28 bits, far beyond any tag in use.
            if (p >= limit || count == 4)
                return fail();
            const quint8 octet = byteAt(p++);
            number = (number << 7) | (octet & 0x7f);
            if (!(octet & 0x80))
                break;
        }
        if (number < 31 || number > 0xffffff)
            return fail();
        tag = ((first & 0xe0) | 0x1f) << 24 | number;
    }
    if (p >= limit)
        return fail();
    const quint8 lengthOctet = byteAt(p++);
    qint64 length = lengthOctet;
    if (lengthOctet & 0x80) {
        const int count = lengthOctet & 0x7f;
        if (count == 0 || count > 4 || p + count > limit)
            return fail();
        length = 0;
        for (int i = 0; i < count; ++i)
            length = (length << 8) | byteAt(p++);
    }
    if (length > limit - p)
        return fail();
    tlv->tag = tag;
    tlv->start = position;
    tlv->offset = p;
    tlv->length = int(length);
    position = p + int(length);
    return true;
}

bool BerReader::readIf(quint32 tag, BerTlv *tlv)
{
    const int saved = position;
    BerTlv next;
    if (!read(&next))
        return false;
    if (next.tag != tag) {
        position = saved;
        return false;
    }
    *tlv = next;
    return true;
}

bool BerReader::expect(quint32 tag, BerTlv *tlv)
{
    BerTlv next;
    if (!read(&next) || next.tag != tag)
        return fail();
    *tlv = next;
    return true;
}

bool BerReader::toInt64(const BerTlv &tlv, qint64 *value) const
{
    if (tlv.length < 1 || tlv.length > 8)
        return false;
    qint64 result = qint8(bytes.at(tlv.offset));
    for (int i = 1; i < tlv.length; ++i)
        result = qint64(quint64(result) << 8) | quint8(bytes.at(tlv.offset + i));
    *value = result;
    return true;
}

bool BerReader::toUint64(const BerTlv &tlv, quint64 *value) const
{
    // Unsigned values carry a leading zero octet when their top bit is set;
    // devices that leave it out mean the unsigned value all the same.
    int start = tlv.offset;
    int length = tlv.length;
    if (length < 1)
        return false;
    if (length > 1 && bytes.at(start) == 0) {
        ++start;
        --length;
    }
    if (length > 8)
        return false;
    quint64 result = 0;
    for (int i = 0; i < length; ++i)
        result = (result << 8) | quint8(bytes.at(start + i));
    *value = result;
    return true;
}

bool BerReader::toInt(const BerTlv &tlv, int *value) const
{
    qint64 wide = 0;
    if (!toInt64(tlv, &wide) || wide < std::numeric_limits<int>::min() ||
        wide > std::numeric_limits<int>::max())
        return false;
    *value = int(wide);
    return true;
}

bool BerReader::toBool(const BerTlv &tlv, bool *value) const
{
    if (tlv.length != 1)
        return false;
    *value = bytes.at(tlv.offset) != 0;
    return true;
}

bool BerReader::toBitString(const BerTlv &tlv, QByteArray *bits, int *bitCount) const
{
    if (tlv.length < 1)
        return false;
    const int unused = quint8(bytes.at(tlv.offset));
    if (unused > 7 || (tlv.length == 1 && unused != 0))
        return false;
    *bits = bytes.mid(tlv.offset + 1, tlv.length - 1);
    *bitCount = (tlv.length - 1) * 8 - unused;
    return true;
}

bool BerReader::toOid(const BerTlv &tlv, QVector<quint32> *arcs) const
{
    arcs->clear();
    quint64 arc = 0;
    for (int i = 0; i < tlv.length; ++i) {
        const quint8 octet = quint8(bytes.at(tlv.offset + i));
        arc = (arc << 7) | (octet & 0x7f);
        if (arc > 0xffffffffu)
            return false;
        if (octet & 0x80)
            continue;
        if (arcs->isEmpty()) {
            const quint32 first = arc < 80 ? quint32(arc / 40) : 2;
            arcs->append(first);
            arcs->append(quint32(arc - first * 40));
        } else {
            arcs->append(quint32(arc));
        }
        arc = 0;
    }
    return !arcs->isEmpty() && !(quint8(bytes.at(tlv.end() - 1)) & 0x80);
}
