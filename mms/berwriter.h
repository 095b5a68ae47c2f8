#ifndef STATIONSCOPE_BERWRITER_H
#define STATIONSCOPE_BERWRITER_H

// Composes BER elements. Lengths are always definite and minimal.

#include "berreader.h"

#include <QByteArray>
#include <QVector>

namespace Ber {

QByteArray lengthOctets(int length);
QByteArray tlv(quint32 tag, const QByteArray &content);
// The size of an element with contentLength content octets.
int elementSize(quint32 tag, int contentLength);

QByteArray integerContent(qint64 value);
QByteArray unsignedContent(quint64 value);
QByteArray integer(quint32 tag, qint64 value);
QByteArray unsignedInteger(quint32 tag, quint64 value);
QByteArray boolean(quint32 tag, bool value);
// bits holds bitCount bits, bit 0 being the most significant bit of bits[0].
QByteArray bitString(quint32 tag, const QByteArray &bits, int bitCount);
QByteArray oid(quint32 tag, const QVector<quint32> &arcs);

} // namespace Ber

#endif
