#ifndef STATIONSCOPE_MMSSERVERCONNECTION_H
#define STATIONSCOPE_MMSSERVERCONNECTION_H

// The server side of one ISO-on-TCP connection, without the socket: bytes from
// the peer go in, the bytes to send back come out. It accepts the transport
// connection, the association (negotiating the PDU size), answers MMS
// requests, release and abort, and closes on anything malformed.

#include "cotp.h"
#include "isomessage.h"
#include "mmspdu.h"
#include "mmsrequesthandler.h"
#include "tpkt.h"

#include <QByteArray>

#include <memory>

class MmsServerConnection
{
public:
    enum State { AwaitingTransport, AwaitingAssociation, Associated, Closed };

    // Writes to report control blocks go to reports (when given) as connection.
    explicit MmsServerConnection(std::shared_ptr<const MmsServerModel> model,
                                 ReportControlEngine *reports = nullptr, int connection = 0);

    // Takes bytes from the peer (best at most bytesWanted() at a time) and
    // returns what to send. Once closed, nothing more is taken.
    QByteArray receive(const QByteArray &bytes);
    int bytesWanted() const { return reader.missing(); }
    State state() const { return currentState; }
    // Whether an association was accepted on this connection, even if it ended.
    bool wasAssociated() const { return associatedOnce; }
    const MmsInitiateParameters &negotiated() const { return parameters; }
    // The bytes that carry an unconfirmed MMS PDU to the peer; nothing unless
    // associated.
    QByteArray unconfirmed(const QByteArray &mmsPdu) const;

    static constexpr int MaxPduSize = 65000;

private:
    QByteArray handleTpdu(const QByteArray &tpdu);
    QByteArray handleMessage(const QByteArray &message);
    QByteArray associate(const IsoMessage &message);
    QByteArray sendData(const QByteArray &cotpUserData) const;
    QByteArray close();

    MmsRequestHandler handler;
    TpktReader reader;
    CotpReassembler reassembler;
    State currentState = AwaitingTransport;
    bool associatedOnce = false;
    int tpduSizeCode = Cotp::MinTpduSizeCode;
    int acseContext = 1;
    int mmsContext = 3;
    int pduSize = MaxPduSize;
    MmsInitiateParameters parameters;
};

#endif
