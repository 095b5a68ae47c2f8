#include "berwriter.h"

namespace Ber {

namespace {

QByteArray tagOctets(quint32 tag)
{
    QByteArray octets;
    if (tag <= 0xff) {
        octets.append(char(tag));
        return octets;
    }
    octets.append(char(tag >> 24));
    const quint32 number = tag & 0xffffff;
    QByteArray base128;
    for (quint32 rest = number; rest != 0; rest >>= 7)
        base128.prepend(char((rest & 0x7f) | (base128.isEmpty() ? 0 : 0x80)));
    return octets + base128;
}

} // namespace

QByteArray lengthOctets(int length)
{
    QByteArray octets;
    if (length < 0x80) {
        octets.append(char(length));
        return octets;
    }
    for (quint32 rest = quint32(length); rest != 0; rest >>= 8)
        octets.prepend(char(rest & 0xff));
    octets.prepend(char(0x80 | octets.size()));
    return octets;
}

QByteArray tlv(quint32 tag, const QByteArray &content)
{
    // One allocation: reports are thousands of small elements a second.
    char header[16];
    int used = 0;
    if (tag <= 0xff) {
        header[used++] = char(tag);
    } else {
        const QByteArray octets = tagOctets(tag);
        for (char octet : octets)
            header[used++] = octet;
    }
    const int length = content.size();
    if (length < 0x80) {
        header[used++] = char(length);
    } else {
        int count = 0;
        for (quint32 rest = quint32(length); rest != 0; rest >>= 8)
            ++count;
        header[used++] = char(0x80 | count);
        for (int i = count - 1; i >= 0; --i)
            header[used++] = char((quint32(length) >> (8 * i)) & 0xff);
    }
    QByteArray element;
    element.reserve(used + length);
    element.append(header, used);
    element.append(content);
    return element;
}

int elementSize(quint32 tag, int contentLength)
{
    return tagOctets(tag).size() + lengthOctets(contentLength).size() + contentLength;
}

QByteArray integerContent(qint64 value)
{
    QByteArray octets;
    for (int shift = 56; shift >= 0; shift -= 8)
        octets.append(char((quint64(value) >> shift) & 0xff));
    // Minimal form: drop a leading octet while the next one keeps the sign.
    int skip = 0;
    while (skip < 7) {
        const quint8 lead = quint8(octets.at(skip));
        const bool nextTop = quint8(octets.at(skip + 1)) & 0x80;
        if ((lead == 0x00 && !nextTop) || (lead == 0xff && nextTop))
            ++skip;
        else
            break;
    }
    return octets.mid(skip);
}

QByteArray unsignedContent(quint64 value)
{
    QByteArray octets;
    for (quint64 rest = value; rest != 0; rest >>= 8)
        octets.prepend(char(rest & 0xff));
    if (octets.isEmpty() || (quint8(octets.at(0)) & 0x80))
        octets.prepend('\0');
    return octets;
}

QByteArray integer(quint32 tag, qint64 value)
{
    return tlv(tag, integerContent(value));
}

QByteArray unsignedInteger(quint32 tag, quint64 value)
{
    return tlv(tag, unsignedContent(value));
}

QByteArray boolean(quint32 tag, bool value)
{
    return tlv(tag, QByteArray(1, value ? char(0x01) : char(0x00)));
}

QByteArray bitString(quint32 tag, const QByteArray &bits, int bitCount)
{
    const int octetCount = (bitCount + 7) / 8;
    QByteArray content = bits.left(octetCount);
    content.append(QByteArray(octetCount - content.size(), '\0'));
    const int unused = octetCount * 8 - bitCount;
    if (octetCount > 0 && unused > 0)
        content[octetCount - 1] = char(quint8(content.at(octetCount - 1)) & (0xff << unused));
    return tlv(tag, char(unused) + content);
}

QByteArray oid(quint32 tag, const QVector<quint32> &arcs)
{
    QByteArray content;
    for (int i = 1; i < arcs.size(); ++i) {
        quint64 arc = arcs.at(i);
        if (i == 1)
            arc += quint64(arcs.at(0)) * 40;
        QByteArray base128;
        do {
            base128.prepend(char((arc & 0x7f) | (base128.isEmpty() ? 0 : 0x80)));
            arc >>= 7;
        } while (arc != 0);
        content += base128;
    }
    return tlv(tag, content);
}

} // namespace Ber
