#include "iedclienterror.h"

QString iedClientErrorName(IedClientError error)
{
    switch (error) {
    case IedClientError::Ok:
        return QStringLiteral("OK");
    case IedClientError::NotConnected:
        return QStringLiteral("NOT_CONNECTED");
    case IedClientError::AlreadyConnected:
        return QStringLiteral("ALREADY_CONNECTED");
    case IedClientError::ConnectionLost:
        return QStringLiteral("CONNECTION_LOST");
    case IedClientError::ServiceNotSupported:
        return QStringLiteral("SERVICE_NOT_SUPPORTED");
    case IedClientError::ConnectionRejected:
        return QStringLiteral("CONNECTION_REJECTED");
    case IedClientError::OutstandingCallLimitReached:
        return QStringLiteral("OUTSTANDING_CALL_LIMIT_REACHED");
    case IedClientError::InvalidArgument:
        return QStringLiteral("USER_PROVIDED_INVALID_ARGUMENT");
    case IedClientError::ObjectReferenceInvalid:
        return QStringLiteral("OBJECT_REFERENCE_INVALID");
    case IedClientError::UnexpectedValueReceived:
        return QStringLiteral("UNEXPECTED_VALUE_RECEIVED");
    case IedClientError::Timeout:
        return QStringLiteral("TIMEOUT");
    case IedClientError::AccessDenied:
        return QStringLiteral("ACCESS_DENIED");
    case IedClientError::ObjectDoesNotExist:
        return QStringLiteral("OBJECT_DOES_NOT_EXIST");
    case IedClientError::ObjectExists:
        return QStringLiteral("OBJECT_EXISTS");
    case IedClientError::ObjectAccessUnsupported:
        return QStringLiteral("OBJECT_ACCESS_UNSUPPORTED");
    case IedClientError::TypeInconsistent:
        return QStringLiteral("TYPE_INCONSISTENT");
    case IedClientError::TemporarilyUnavailable:
        return QStringLiteral("TEMPORARILY_UNAVAILABLE");
    case IedClientError::ObjectUndefined:
        return QStringLiteral("OBJECT_UNDEFINED");
    case IedClientError::InvalidAddress:
        return QStringLiteral("INVALID_ADDRESS");
    case IedClientError::HardwareFault:
        return QStringLiteral("HARDWARE_FAULT");
    case IedClientError::TypeUnsupported:
        return QStringLiteral("TYPE_UNSUPPORTED");
    case IedClientError::ObjectAttributeInconsistent:
        return QStringLiteral("OBJECT_ATTRIBUTE_INCONSISTENT");
    case IedClientError::ObjectValueInvalid:
        return QStringLiteral("OBJECT_VALUE_INVALID");
    case IedClientError::ObjectInvalidated:
        return QStringLiteral("OBJECT_INVALIDATED");
    case IedClientError::MalformedMessage:
        return QStringLiteral("MALFORMED_MESSAGE");
    case IedClientError::ServiceNotImplemented:
        return QStringLiteral("SERVICE_NOT_IMPLEMENTED");
    case IedClientError::Unknown:
        break;
    }
    return QStringLiteral("UNKNOWN");
}

IedClientError iedClientErrorFromServiceError(const MmsServiceError &error)
{
    switch (error.errorClass) {
    case MmsServiceError::Access:
        switch (error.code) {
        case 1:
            return IedClientError::ObjectAccessUnsupported;
        case 2:
            return IedClientError::ObjectDoesNotExist;
        case 3:
            return IedClientError::AccessDenied;
        case 4:
            return IedClientError::ObjectInvalidated;
        default:
            return IedClientError::Unknown;
        }
    case MmsServiceError::Definition:
        switch (error.code) {
        case 1:
            return IedClientError::ObjectUndefined;
        case 2:
            return IedClientError::InvalidAddress;
        case 3:
            return IedClientError::TypeUnsupported;
        case 4:
            return IedClientError::TypeInconsistent;
        case 5:
            return IedClientError::ObjectExists;
        case 6:
            return IedClientError::ObjectAttributeInconsistent;
        default:
            return IedClientError::Unknown;
        }
    case MmsServiceError::Resource:
        return IedClientError::TemporarilyUnavailable;
    default:
        return IedClientError::Unknown;
    }
}

IedClientError iedClientErrorFromDataAccessError(int code)
{
    switch (code) {
    case 0:
        return IedClientError::ObjectInvalidated;
    case 1:
        return IedClientError::HardwareFault;
    case 2:
        return IedClientError::TemporarilyUnavailable;
    case 3:
        return IedClientError::AccessDenied;
    case 4:
        return IedClientError::ObjectUndefined;
    case 5:
        return IedClientError::InvalidAddress;
    case 6:
        return IedClientError::TypeUnsupported;
    case 7:
        return IedClientError::TypeInconsistent;
    case 8:
        return IedClientError::ObjectAttributeInconsistent;
    case 9:
        return IedClientError::ObjectAccessUnsupported;
    case 10:
        return IedClientError::ObjectDoesNotExist;
    case 11:
        return IedClientError::ObjectValueInvalid;
    default:
        return IedClientError::Unknown;
    }
}

IedClientError iedClientErrorFromReject(int rejectKind, int code)
{
    // Confirmed request rejected as an unrecognized service (1).
    if (rejectKind == MmsPdu::RejectedConfirmedRequest && code == 1)
        return IedClientError::ServiceNotSupported;
    return IedClientError::Unknown;
}
