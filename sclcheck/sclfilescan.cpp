#include "sclfilescan.h"

#include <QIODevice>
#include <QRegularExpression>

#include <algorithm>
#include <cstring>

namespace {

constexpr qint64 ChunkSize = 1 << 20;

// Bytes a UTF-8 sequence takes by its first byte; 0 for a byte no sequence starts with.
int sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

} // namespace

QString SclFileScan::declaredEncoding(const QByteArray &head)
{
    static const QRegularExpression declaration(
        QStringLiteral("^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([A-Za-z0-9._-]+)[\"']"));
    const QRegularExpressionMatch match = declaration.match(QString::fromLatin1(head.left(256)));
    return match.hasMatch() ? match.captured(1).toUpper() : QString();
}

bool SclFileScan::hasUtf16Bom(const QByteArray &head)
{
    return head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF");
}

SclByteScan SclFileScan::scan(QIODevice &device, qint64 offset)
{
    SclByteScan result;
    qint64 line = 1;
    qint64 position = device.pos();
    QByteArray carry;
    while (true) {
        QByteArray buffer = carry + device.read(ChunkSize);
        const bool atEnd = buffer.size() == carry.size();
        carry.clear();
        if (buffer.isEmpty())
            break;
        const char *data = buffer.constData();
        const int size = buffer.size();
        if (offset >= position && offset < position + size)
            result.lineAtOffset = line + std::count(data, data + (offset - position), '\n');
        int i = 0;
        while (i < size && !result.invalidUtf8Line) {
            // Markup and most text are ASCII: skip eight such bytes at a time.
            if (size - i >= 8) {
                quint64 word;
                std::memcpy(&word, data + i, 8);
                if ((word & 0x8080808080808080ULL) == 0) {
                    i += 8;
                    continue;
                }
            }
            const int length = sequenceLength(static_cast<unsigned char>(data[i]));
            if (length == 1) {
                ++i;
                continue;
            }
            if (length > 0 && i + length > size && !atEnd) {
                carry = buffer.mid(i);
                break;
            }
            bool valid = length > 0 && i + length <= size;
            for (int k = 1; valid && k < length; ++k)
                valid = (static_cast<unsigned char>(data[i + k]) & 0xC0) == 0x80;
            if (!valid) {
                result.invalidUtf8Line = line + std::count(data, data + i, '\n');
                break;
            }
            result.multiByteCharacters = true;
            i += length;
        }
        const int counted = size - carry.size();
        line += std::count(data, data + counted, '\n');
        position += counted;
        if (atEnd)
            break;
    }
    return result;
}
