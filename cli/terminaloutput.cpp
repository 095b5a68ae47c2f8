#include "terminaloutput.h"

TerminalOutput::TerminalOutput(std::FILE *stream, CarriageReturn carriageReturn)
    : stream(stream), keepCarriageReturn(carriageReturn == KeepCarriageReturn)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

QByteArray TerminalOutput::escaped(const QByteArray &utf8, bool keepCarriageReturn,
                                   bool *pendingLead)
{
    QByteArray text;
    text.reserve(utf8.size());
    bool lead = pendingLead && *pendingLead;
    for (const char c : utf8) {
        const uchar byte = uchar(c);
        if (lead) {
            lead = false;
            // U+0080 to U+009F, the C1 controls (CSI among them).
            if (byte >= 0x80 && byte <= 0x9F) {
                text += "\\u00" + QByteArray::number(byte, 16).toUpper();
                continue;
            }
            text += char(0xC2);
        }
        if (byte == 0xC2) {
            lead = true;
        } else if ((byte < 0x20 && c != '\n' && c != '\t' && !(c == '\r' && keepCarriageReturn)) ||
                   byte == 0x7F) {
            text += "\\x" + QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
        } else {
            text += c;
        }
    }
    if (pendingLead)
        *pendingLead = lead;
    else if (lead)
        text += char(0xC2);
    return text;
}

qint64 TerminalOutput::writeData(const char *data, qint64 size)
{
    const QByteArray text =
        escaped(QByteArray::fromRawData(data, int(size)), keepCarriageReturn, &pendingLead);
    if (!text.isEmpty() &&
        std::fwrite(text.constData(), 1, size_t(text.size()), stream) != size_t(text.size()))
        return -1;
    std::fflush(stream);
    return size;
}
