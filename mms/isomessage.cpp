#include "isomessage.h"

#include "isosession.h"

namespace {

bool decodeAcse(IsoMessage *message, int expectedType)
{
    if (!Acse::decode(message->presentation.userData, &message->acse))
        return false;
    if (message->acse.type != expectedType)
        return false;
    message->mms = message->acse.userInformation;
    return true;
}

bool decodeSpdu(const SessionSpdu &spdu, IsoMessage *message)
{
    PresentationPdu &presentation = message->presentation;
    switch (spdu.type) {
    case SessionSpdu::Connect:
        message->kind = IsoMessage::AssociateRequest;
        return IsoPresentation::decodeConnect(spdu.userData, &presentation) &&
               decodeAcse(message, AcseApdu::AssociateRequest);
    case SessionSpdu::Accept:
        message->kind = IsoMessage::AssociateResponse;
        return IsoPresentation::decodeAccept(spdu.userData, &presentation) &&
               decodeAcse(message, AcseApdu::AssociateResponse);
    case SessionSpdu::Refuse:
        message->kind = IsoMessage::Refuse;
        return true;
    case SessionSpdu::Data:
        message->kind = IsoMessage::Data;
        if (!IsoPresentation::decodeUserData(spdu.userData, &presentation))
            return false;
        message->mms = presentation.userData;
        return true;
    case SessionSpdu::Finish:
        message->kind = IsoMessage::ReleaseRequest;
        return IsoPresentation::decodeUserData(spdu.userData, &presentation) &&
               decodeAcse(message, AcseApdu::ReleaseRequest);
    case SessionSpdu::Disconnect:
        message->kind = IsoMessage::ReleaseResponse;
        return IsoPresentation::decodeUserData(spdu.userData, &presentation) &&
               decodeAcse(message, AcseApdu::ReleaseResponse);
    case SessionSpdu::Abort:
    case SessionSpdu::AbortAccept:
        // An abort ends the association whatever its user data says.
        message->kind = IsoMessage::Abort;
        if (!spdu.userData.isEmpty() &&
            IsoPresentation::decodeAbort(spdu.userData, &presentation) &&
            !presentation.userData.isEmpty())
            Acse::decode(presentation.userData, &message->acse);
        return true;
    default:
        return false;
    }
}

} // namespace

namespace IsoMessageCodec {

QByteArray associateRequest(const QByteArray &initiateRequest)
{
    return IsoSession::connect(IsoPresentation::connect(
        Acse::associateRequest(IsoPresentation::MmsContextId, initiateRequest)));
}

QByteArray associateResponse(const QList<int> &results, int acseContextId, int mmsContextId,
                             int acseResult, const QByteArray &initiateResponse)
{
    return IsoSession::accept(IsoPresentation::accept(
        results, acseContextId,
        Acse::associateResponse(acseResult, mmsContextId, initiateResponse)));
}

QByteArray data(int mmsContextId, const QByteArray &mmsPdu)
{
    return IsoSession::data(IsoPresentation::userData(mmsContextId, mmsPdu));
}

QByteArray releaseRequest(int acseContextId)
{
    return IsoSession::finish(IsoPresentation::userData(acseContextId, Acse::releaseRequest()));
}

QByteArray releaseResponse(int acseContextId)
{
    return IsoSession::disconnect(
        IsoPresentation::userData(acseContextId, Acse::releaseResponse()));
}

QByteArray abort(int acseContextId)
{
    return IsoSession::abort(IsoPresentation::abort(acseContextId, Acse::abort()));
}

bool decode(const QByteArray &cotpUserData, IsoMessage *message)
{
    *message = IsoMessage();
    SessionSpdu spdu;
    if (!IsoSession::decode(cotpUserData, &spdu) || !decodeSpdu(spdu, message)) {
        message->kind = IsoMessage::Invalid;
        return false;
    }
    return true;
}

} // namespace IsoMessageCodec
