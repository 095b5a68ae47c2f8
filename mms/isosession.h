#ifndef STATIONSCOPE_ISOSESSION_H
#define STATIONSCOPE_ISOSESSION_H

// ISO 8327 session kernel with the duplex functional unit, as MMS uses it:
// CONNECT/ACCEPT, the give-tokens plus data transfer pair, FINISH/DISCONNECT
// and ABORT. The session selectors are 0001 on both sides.

#include <QByteArray>

struct SessionSpdu
{
    enum Type {
        Data = 0x01, // give tokens followed by data transfer
        NotFinished = 0x08,
        Finish = 0x09,
        Disconnect = 0x0a,
        Refuse = 0x0c,
        Connect = 0x0d,
        Accept = 0x0e,
        Abort = 0x19,
        AbortAccept = 0x1a,
    };

    int type = 0;
    QByteArray userData;
};

namespace IsoSession {
QByteArray connect(const QByteArray &userData);
QByteArray accept(const QByteArray &userData);
QByteArray data(const QByteArray &userData);
QByteArray finish(const QByteArray &userData);
QByteArray disconnect(const QByteArray &userData);
QByteArray abort(const QByteArray &userData);
// False for bytes that are no complete, well-formed SPDU of the kinds above.
bool decode(const QByteArray &bytes, SessionSpdu *spdu);
} // namespace IsoSession

#endif
