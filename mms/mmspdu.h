#ifndef STATIONSCOPE_MMSPDU_H
#define STATIONSCOPE_MMSPDU_H

// The MMS PDU envelope (ISO 9506-2): initiate, conclude, confirmed request,
// response and error, reject. Services travel as their own BER element.

#include "berreader.h"

#include <QByteArray>

struct MmsServiceError
{
    enum ErrorClass {
        VmdState = 0,
        ApplicationReference = 1,
        Definition = 2,
        Resource = 3,
        Service = 4,
        ServicePreempt = 5,
        TimeResolution = 6,
        Access = 7,
        Initiate = 8,
        Conclude = 9,
        Cancel = 10,
        File = 11,
        Others = 12,
    };

    int errorClass = -1;
    int code = 0;
};

struct MmsInitiateParameters
{
    int localDetail = 65000; // the largest MMS PDU, in octets
    int maxServOutstandingCalling = 5;
    int maxServOutstandingCalled = 5;
    int dataStructureNestingLevel = 10;
    int versionNumber = 1;
    QByteArray parameterCbb;      // 11 bits
    QByteArray servicesSupported; // 85 bits

    static MmsInitiateParameters clientProposal(int localDetail);
    static MmsInitiateParameters serverParameters();
};

struct MmsPdu
{
    enum Kind {
        Invalid,
        ConfirmedRequest,
        ConfirmedResponse,
        ConfirmedError,
        Unconfirmed,
        Reject,
        CancelRequest,
        CancelResponse,
        CancelError,
        InitiateRequest,
        InitiateResponse,
        InitiateError,
        ConcludeRequest,
        ConcludeResponse,
        ConcludeError,
    };
    // Reject reasons: the tag number names the PDU kind that was rejected.
    enum RejectKind { RejectedConfirmedRequest = 1, RejectedPdu = 5 };

    Kind kind = Invalid;
    bool hasInvokeId = false;
    quint32 invokeId = 0;
    QByteArray bytes; // the whole PDU; service offsets point into it
    BerTlv service;   // confirmed request and response, unconfirmed service
    MmsServiceError error;
    int rejectKind = 0;
    int rejectCode = 0;
    MmsInitiateParameters initiate;

    BerReader serviceReader() const { return BerReader(bytes); }
};

namespace MmsPduCodec {
QByteArray confirmedRequest(quint32 invokeId, const QByteArray &service);
QByteArray confirmedResponse(quint32 invokeId, const QByteArray &service);
QByteArray confirmedError(quint32 invokeId, const MmsServiceError &error);
QByteArray reject(quint32 invokeId, bool hasInvokeId, int rejectKind, int code);
QByteArray initiateRequest(const MmsInitiateParameters &parameters);
QByteArray initiateResponse(const MmsInitiateParameters &parameters);
QByteArray initiateError(const MmsServiceError &error);
QByteArray concludeRequest();
QByteArray concludeResponse();
// False for bytes that are no complete, well-formed PDU.
bool decode(const QByteArray &bytes, MmsPdu *pdu);
} // namespace MmsPduCodec

#endif
