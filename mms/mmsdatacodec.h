#ifndef STATIONSCOPE_MMSDATACODEC_H
#define STATIONSCOPE_MMSDATACODEC_H

// BER of MMS Data values and of TypeDescriptions (ISO 9506-2 with the
// IEC 61850-8-1 additions: utc-time, mMSString).

#include "berreader.h"
#include "mmstypespec.h"
#include "mmsvalue.h"

#include <QByteArray>

namespace MmsDataCodec {
// Deeper values or types are refused: IEC 61850 models nest a few levels.
constexpr int MaxNesting = 32;
constexpr int MaxArrayElements = 65535;
// Sizes of a type description (bits, octets, characters, digits) and the
// scalars a described type holds: a type is turned into a default value, so a
// device's description must not make that allocate without bound.
constexpr int MaxTypeSize = 65535 * 8;
constexpr qint64 MaxTypeScalars = 1 << 20;

QByteArray encodeValue(const MmsValue &value);
// Decodes the Data element tlv read by reader.
bool decodeValue(const BerReader &reader, const BerTlv &tlv, MmsValue *value, int depth = 0);

QByteArray encodeType(const MmsTypeSpec &type);
// Decodes the TypeDescription element tlv (the CHOICE alternative itself).
bool decodeType(const BerReader &reader, const BerTlv &tlv, MmsTypeSpec *type, int depth = 0);
} // namespace MmsDataCodec

#endif
