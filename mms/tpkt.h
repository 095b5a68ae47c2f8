#ifndef STATIONSCOPE_TPKT_H
#define STATIONSCOPE_TPKT_H

// ISO transport over TCP (RFC 1006): every TPDU travels in a packet with a
// 4-byte header, version 3 and the packet length.

#include <QByteArray>

namespace Tpkt {
constexpr int HeaderSize = 4;
constexpr int MaxPacketSize = 65535;
// tpdu must be at most MaxPacketSize - HeaderSize bytes.
QByteArray frame(const QByteArray &tpdu);
} // namespace Tpkt

// Splits a byte stream into TPDUs. It holds at most one packet at a time when
// fed no more than missing() bytes; a caller that appends more keeps them
// queued until next() takes them.
class TpktReader
{
public:
    enum Status { NeedMore, PacketReady, Malformed };

    void append(const QByteArray &bytes);
    Status next(QByteArray *tpdu);
    // Bytes still needed for the packet in progress (at least 1).
    int missing() const;
    int buffered() const { return buffer.size() - readPosition; }
    void clear();

private:
    QByteArray buffer;
    int readPosition = 0;
};

#endif
