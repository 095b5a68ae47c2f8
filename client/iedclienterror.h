#ifndef STATIONSCOPE_IEDCLIENTERROR_H
#define STATIONSCOPE_IEDCLIENTERROR_H

// Outcomes of client calls, numbered and meant as libiec61850's IedClientError.

#include "mmspdu.h"

#include <QString>

enum class IedClientError {
    Ok = 0,
    NotConnected = 1,
    AlreadyConnected = 2,
    ConnectionLost = 3,
    ServiceNotSupported = 4,
    ConnectionRejected = 5,
    OutstandingCallLimitReached = 6,
    InvalidArgument = 10,
    ObjectReferenceInvalid = 12,
    UnexpectedValueReceived = 13,
    Timeout = 20,
    AccessDenied = 21,
    ObjectDoesNotExist = 22,
    ObjectExists = 23,
    ObjectAccessUnsupported = 24,
    TypeInconsistent = 25,
    TemporarilyUnavailable = 26,
    ObjectUndefined = 27,
    InvalidAddress = 28,
    HardwareFault = 29,
    TypeUnsupported = 30,
    ObjectAttributeInconsistent = 31,
    ObjectValueInvalid = 32,
    ObjectInvalidated = 33,
    MalformedMessage = 34,
    ServiceNotImplemented = 98,
    Unknown = 99,
};

// "OK", "CONNECTION_REJECTED" ...: the name without libiec61850's prefix.
QString iedClientErrorName(IedClientError error);

IedClientError iedClientErrorFromServiceError(const MmsServiceError &error);
// A failed read of one variable (DataAccessError code).
IedClientError iedClientErrorFromDataAccessError(int code);
IedClientError iedClientErrorFromReject(int rejectKind, int code);

#endif
