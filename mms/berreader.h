#ifndef STATIONSCOPE_BERREADER_H
#define STATIONSCOPE_BERREADER_H

// Reads BER tag-length-value elements from a byte array. Every length is
// checked against the enclosing element, so a reader never looks past the
// bytes it was given.

#include <QByteArray>
#include <QVector>

namespace Ber {

enum TagClass : quint32 {
    Universal = 0x00,
    Application = 0x40,
    Context = 0x80,
    Private = 0xc0,
};
constexpr quint32 ConstructedBit = 0x20;

// Tags are compared as one number: the identifier octet for tag numbers below
// 31 (0xa1 is [1] constructed), and (identifier octet << 24 | number) above.
constexpr quint32 tag(quint32 tagClass, bool constructed, quint32 number)
{
    const quint32 first = tagClass | (constructed ? ConstructedBit : 0u);
    return number < 31 ? first | number : ((first | 0x1fu) << 24) | number;
}
constexpr bool isConstructed(quint32 tag)
{
    return (tag > 0xff ? tag >> 24 : tag) & ConstructedBit;
}
constexpr quint32 tagNumber(quint32 tag)
{
    return tag > 0xff ? tag & 0xffffffu : tag & 0x1fu;
}

} // namespace Ber

struct BerTlv
{
    quint32 tag = 0;
    int start = 0;  // of the tag in the reader's data
    int offset = 0; // of the first content byte
    int length = 0;
    int end() const { return offset + length; }
};

class BerReader
{
public:
    explicit BerReader(const QByteArray &data);
    BerReader(const QByteArray &data, int begin, int end);

    // A reader over the content of an element read by this reader.
    BerReader children(const BerTlv &tlv) const { return BerReader(bytes, tlv.offset, tlv.end()); }

    bool atEnd() const { return position >= limit; }
    bool failed() const { return error; }
    // The next element; false at the end or on a malformed header (failed()
    // tells them apart). Indefinite lengths are refused: MMS never uses them.
    bool read(BerTlv *tlv);
    // The next element only when it carries tag; nothing is consumed otherwise.
    bool readIf(quint32 tag, BerTlv *tlv);
    // The next element must carry tag.
    bool expect(quint32 tag, BerTlv *tlv);

    QByteArray content(const BerTlv &tlv) const { return bytes.mid(tlv.offset, tlv.length); }
    // The whole element: tag, length and content.
    QByteArray element(const BerTlv &tlv) const
    {
        return bytes.mid(tlv.start, tlv.end() - tlv.start);
    }
    const QByteArray &data() const { return bytes; }

    bool toInt64(const BerTlv &tlv, qint64 *value) const;
    bool toUint64(const BerTlv &tlv, quint64 *value) const;
    bool toInt(const BerTlv &tlv, int *value) const;
    bool toBool(const BerTlv &tlv, bool *value) const;
    // BIT STRING content: the bits and their count.
    bool toBitString(const BerTlv &tlv, QByteArray *bits, int *bitCount) const;
    bool toOid(const BerTlv &tlv, QVector<quint32> *arcs) const;

private:
    bool fail();

    QByteArray bytes;
    int position = 0;
    int limit = 0;
    bool error = false;
};

#endif
