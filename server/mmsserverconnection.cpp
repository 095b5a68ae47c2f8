#include "mmsserverconnection.h"

namespace {

constexpr int HeaderAllowance = 1024;
constexpr int ServerOutstandingCalls = 5;
constexpr int ServerNestingLevel = 10;

int atLeastOne(int proposed, int limit)
{
    return qBound(1, proposed, limit);
}

} // namespace

MmsServerConnection::MmsServerConnection(std::shared_ptr<const MmsServerModel> model,
                                         ReportControlEngine *reports, int connection)
    : handler(std::move(model), reports, connection), reassembler(MaxPduSize + HeaderAllowance)
{
}

QByteArray MmsServerConnection::unconfirmed(const QByteArray &mmsPdu) const
{
    if (currentState != Associated)
        return QByteArray();
    return sendData(IsoMessageCodec::data(mmsContext, mmsPdu));
}

QByteArray MmsServerConnection::close()
{
    currentState = Closed;
    reader.clear();
    reassembler.clear();
    return QByteArray();
}

QByteArray MmsServerConnection::receive(const QByteArray &bytes)
{
    if (currentState == Closed)
        return QByteArray();
    reader.append(bytes);
    QByteArray output;
    for (;;) {
        QByteArray tpdu;
        const TpktReader::Status status = reader.next(&tpdu);
        if (status == TpktReader::NeedMore)
            return output;
        if (status == TpktReader::Malformed)
            return output + close();
        output += handleTpdu(tpdu);
        if (currentState == Closed)
            return output;
    }
}

QByteArray MmsServerConnection::sendData(const QByteArray &cotpUserData) const
{
    QByteArray packets;
    for (const QByteArray &tpdu : Cotp::dataTpdus(cotpUserData, tpduSizeCode))
        packets += Tpkt::frame(tpdu);
    return packets;
}

QByteArray MmsServerConnection::handleTpdu(const QByteArray &bytes)
{
    CotpTpdu tpdu;
    if (!Cotp::decode(bytes, &tpdu))
        return close();
    if (currentState == AwaitingTransport) {
        if (tpdu.type != CotpTpdu::ConnectRequest)
            return close();
        CotpParameters confirm = tpdu.parameters;
        confirm.destinationReference = tpdu.parameters.sourceReference;
        confirm.sourceReference = 1;
        tpduSizeCode = qMin(tpdu.parameters.tpduSizeCode, int(Cotp::MaxTpduSizeCode));
        confirm.tpduSizeCode = tpduSizeCode;
        currentState = AwaitingAssociation;
        return Tpkt::frame(Cotp::connectConfirm(confirm));
    }
    if (tpdu.type != CotpTpdu::Data)
        return close();
    switch (reassembler.add(tpdu)) {
    case CotpReassembler::Incomplete:
        return QByteArray();
    case CotpReassembler::TooLarge:
        return close();
    case CotpReassembler::Complete:
        break;
    }
    return handleMessage(reassembler.take());
}

QByteArray MmsServerConnection::handleMessage(const QByteArray &bytes)
{
    IsoMessage message;
    if (!IsoMessageCodec::decode(bytes, &message))
        return close();
    if (currentState == AwaitingAssociation) {
        if (message.kind != IsoMessage::AssociateRequest)
            return close();
        return associate(message);
    }
    switch (message.kind) {
    case IsoMessage::Data: {
        if (message.presentation.contextId != mmsContext)
            return close();
        const QByteArray answer = handler.answer(message.mms, pduSize);
        // A refused control's LastApplError precedes the write response, a
        // command termination follows it.
        QByteArray output;
        for (const QByteArray &pdu : handler.takeUnconfirmedBefore())
            output += unconfirmed(pdu);
        if (!answer.isEmpty())
            output += sendData(IsoMessageCodec::data(mmsContext, answer));
        for (const QByteArray &pdu : handler.takeUnconfirmedAfter())
            output += unconfirmed(pdu);
        return output;
    }
    case IsoMessage::ReleaseRequest: {
        const QByteArray response = sendData(IsoMessageCodec::releaseResponse(acseContext));
        close();
        return response;
    }
    default:
        return close();
    }
}

QByteArray MmsServerConnection::associate(const IsoMessage &message)
{
    QList<int> results;
    acseContext = mmsContext = -1;
    for (const PresentationContext &context : message.presentation.contexts) {
        int result = IsoPresentation::ProviderRejection;
        if (context.berTransfer && context.abstractSyntax == IsoPresentation::acseSyntax()) {
            acseContext = context.id;
            result = IsoPresentation::Acceptance;
        } else if (context.berTransfer && context.abstractSyntax == IsoPresentation::mmsSyntax()) {
            mmsContext = context.id;
            result = IsoPresentation::Acceptance;
        }
        results.append(result);
    }
    MmsPdu initiate;
    const bool usable =
        acseContext >= 0 && mmsContext >= 0 && message.presentation.contextId == acseContext &&
        message.acse.applicationContext == Acse::mmsApplicationContext() &&
        MmsPduCodec::decode(message.mms, &initiate) && initiate.kind == MmsPdu::InitiateRequest;
    if (!usable) {
        const QByteArray refusal = sendData(
            IsoMessageCodec::associateResponse(results, qMax(acseContext, 1), qMax(mmsContext, 3),
                                               AcseApdu::RejectedPermanent, QByteArray()));
        close();
        return refusal;
    }
    const MmsInitiateParameters &proposal = initiate.initiate;
    parameters = MmsInitiateParameters::serverParameters();
    parameters.localDetail =
        proposal.localDetail > 0 ? qMin(proposal.localDetail, MaxPduSize) : MaxPduSize;
    parameters.maxServOutstandingCalling =
        atLeastOne(proposal.maxServOutstandingCalling, ServerOutstandingCalls);
    parameters.maxServOutstandingCalled =
        atLeastOne(proposal.maxServOutstandingCalled, ServerOutstandingCalls);
    parameters.dataStructureNestingLevel = ServerNestingLevel;
    pduSize = parameters.localDetail;
    currentState = Associated;
    associatedOnce = true;
    return sendData(IsoMessageCodec::associateResponse(results, acseContext, mmsContext,
                                                       AcseApdu::Accepted,
                                                       MmsPduCodec::initiateResponse(parameters)));
}
