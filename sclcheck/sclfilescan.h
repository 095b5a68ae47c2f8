#ifndef STATIONSCOPE_SCLFILESCAN_H
#define STATIONSCOPE_SCLFILESCAN_H

// A pass over a file's bytes that an XML reader does not make: whether the
// bytes are the encoding the declaration names, and the line at an offset.

#include <QByteArray>
#include <QString>

class QIODevice;

struct SclByteScan
{
    // The line of the first byte sequence that is no UTF-8, 0 when all are.
    qint64 invalidUtf8Line = 0;
    // Whether any character took more than one byte.
    bool multiByteCharacters = false;
    // The line at the offset asked for.
    qint64 lineAtOffset = 1;
};

namespace SclFileScan {

// The encoding the XML declaration at the start of head names, upper case;
// empty when there is none.
QString declaredEncoding(const QByteArray &head);
bool hasUtf16Bom(const QByteArray &head);
// Reads the device from its position to its end.
SclByteScan scan(QIODevice &device, qint64 offset);

} // namespace SclFileScan

#endif
