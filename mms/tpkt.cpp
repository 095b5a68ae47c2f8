#include "tpkt.h"

namespace Tpkt {

QByteArray frame(const QByteArray &tpdu)
{
    const int length = tpdu.size() + HeaderSize;
    QByteArray packet;
    packet.reserve(length);
    packet.append(char(3));
    packet.append(char(0));
    packet.append(char((length >> 8) & 0xff));
    packet.append(char(length & 0xff));
    packet.append(tpdu);
    return packet;
}

} // namespace Tpkt

namespace {

// The smallest TPDU (a data TPDU without data) is 3 bytes.
constexpr int MinPacketSize = Tpkt::HeaderSize + 3;

int packetLength(const QByteArray &buffer, int at)
{
    return (quint8(buffer.at(at + 2)) << 8) | quint8(buffer.at(at + 3));
}

} // namespace

void TpktReader::append(const QByteArray &bytes)
{
    if (readPosition > 0 && readPosition == buffer.size()) {
        buffer.clear();
        readPosition = 0;
    }
    buffer.append(bytes);
}

TpktReader::Status TpktReader::next(QByteArray *tpdu)
{
    if (buffered() < Tpkt::HeaderSize)
        return NeedMore;
    if (buffer.at(readPosition) != 3)
        return Malformed;
    const int length = packetLength(buffer, readPosition);
    if (length < MinPacketSize)
        return Malformed;
    if (buffered() < length)
        return NeedMore;
    *tpdu = buffer.mid(readPosition + Tpkt::HeaderSize, length - Tpkt::HeaderSize);
    readPosition += length;
    if (readPosition == buffer.size()) {
        buffer.clear();
        readPosition = 0;
    } else if (readPosition > Tpkt::MaxPacketSize) {
        buffer.remove(0, readPosition);
        readPosition = 0;
    }
    return PacketReady;
}

int TpktReader::missing() const
{
    if (buffered() < Tpkt::HeaderSize)
        return Tpkt::HeaderSize - buffered();
    const int length = packetLength(buffer, readPosition);
    return qMax(1, length - buffered());
}

void TpktReader::clear()
{
    buffer.clear();
    readPosition = 0;
}
