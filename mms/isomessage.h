#ifndef STATIONSCOPE_ISOMESSAGE_H
#define STATIONSCOPE_ISOMESSAGE_H

// The layers above transport taken as one: what a complete COTP message says
// (session, presentation and ACSE unwrapped) and how to compose each message
// of an MMS association.

#include "acse.h"
#include "isopresentation.h"

#include <QByteArray>

struct IsoMessage
{
    enum Kind {
        Invalid,
        AssociateRequest,  // session CONNECT
        AssociateResponse, // session ACCEPT
        Refuse,
        Data,
        ReleaseRequest,  // session FINISH
        ReleaseResponse, // session DISCONNECT
        Abort,
    };

    Kind kind = Invalid;
    PresentationPdu presentation; // contexts, results and the first data value
    AcseApdu acse;                // association, release and abort
    QByteArray mms;               // the MMS PDU, in association and data messages
};

namespace IsoMessageCodec {
QByteArray associateRequest(const QByteArray &initiateRequest);
// results: one per context the request proposed.
QByteArray associateResponse(const QList<int> &results, int acseContextId, int mmsContextId,
                             int acseResult, const QByteArray &initiateResponse);
QByteArray data(int mmsContextId, const QByteArray &mmsPdu);
QByteArray releaseRequest(int acseContextId);
QByteArray releaseResponse(int acseContextId);
QByteArray abort(int acseContextId);
// False, with kind Invalid, when the message is malformed at any layer.
bool decode(const QByteArray &cotpUserData, IsoMessage *message);
} // namespace IsoMessageCodec

#endif
