#include "tracereplay.h"

#include "cotp.h"
#include "isomessage.h"
#include "isosession.h"
#include "mmspdu.h"
#include "tpkt.h"

namespace {

bool decodeMms(const TraceMessage &message, MmsPdu *pdu)
{
    IsoMessage iso;
    return IsoMessageCodec::decode(message.userData, &iso) && iso.kind == IsoMessage::Data &&
           MmsPduCodec::decode(iso.mms, pdu);
}

QByteArray serviceElement(const MmsPdu &pdu)
{
    return pdu.serviceReader().element(pdu.service);
}

QByteArray framed(const QByteArray &userData)
{
    QByteArray packets;
    for (const QByteArray &tpdu : Cotp::dataTpdus(userData, Cotp::MaxTpduSizeCode))
        packets += Tpkt::frame(tpdu);
    return packets;
}

} // namespace

TraceReplay::TraceReplay(const TraceFile &trace) : trace(trace)
{
    const QList<TraceMessage> &messages = trace.messages();
    for (int i = 0; i < messages.size(); ++i) {
        MmsPdu request;
        if (!messages.at(i).fromClient || !decodeMms(messages.at(i), &request) ||
            request.kind != MmsPdu::ConfirmedRequest)
            continue;
        for (int j = i + 1; j < messages.size(); ++j) {
            MmsPdu response;
            if (!messages.at(j).fromClient && decodeMms(messages.at(j), &response) &&
                response.hasInvokeId && response.invokeId == request.invokeId) {
                answers.insert(serviceElement(request), messages.at(j));
                break;
            }
        }
    }
}

QList<QByteArray> TraceReplay::packetsOf(int tpduType) const
{
    for (const TraceMessage &message : trace.messages()) {
        if (!message.fromClient && message.tpduType == tpduType)
            return message.packets;
    }
    return {};
}

void TraceReplay::run(QTcpSocket &socket, ScriptedPeer &peer)
{
    QByteArray tpdu;
    if (!peer.readTpdu(socket, &tpdu))
        return;
    peer.send(socket, packetsOf(CotpTpdu::ConnectConfirm).value(0));
    QByteArray userData;
    while (peer.readMessage(socket, &userData)) {
        SessionSpdu spdu;
        IsoSession::decode(userData, &spdu);
        switch (spdu.type) {
        case SessionSpdu::Connect:
            for (const TraceMessage &message : trace.fromServer()) {
                SessionSpdu answer;
                if (IsoSession::decode(message.userData, &answer) &&
                    answer.type == SessionSpdu::Accept) {
                    for (const QByteArray &packet : message.packets)
                        peer.send(socket, packet);
                    break;
                }
            }
            break;
        case SessionSpdu::Data: {
            IsoMessage message;
            if (IsoMessageCodec::decode(userData, &message))
                answerData(socket, peer, message.mms);
            break;
        }
        case SessionSpdu::Finish:
            peer.send(socket, framed(IsoMessageCodec::releaseResponse(1)));
            break;
        default:
            break;
        }
        if (spdu.type != SessionSpdu::Data) {
            QMutexLocker lock(&mutex);
            control = userData;
        }
        if (spdu.type == SessionSpdu::Abort)
            return;
    }
}

void TraceReplay::answerData(QTcpSocket &socket, ScriptedPeer &peer, const QByteArray &mms)
{
    MmsPdu request;
    const bool decoded = MmsPduCodec::decode(mms, &request);
    {
        QMutexLocker lock(&mutex);
        received.append(mms);
    }
    if (decoded && request.kind == MmsPdu::ConcludeRequest) {
        peer.send(socket, framed(IsoMessageCodec::data(3, MmsPduCodec::concludeResponse())));
        return;
    }
    const auto found = decoded && request.kind == MmsPdu::ConfirmedRequest
                           ? answers.constFind(serviceElement(request))
                           : answers.constEnd();
    if (found == answers.constEnd()) {
        QMutexLocker lock(&mutex);
        ++missing;
        peer.send(socket, framed(IsoMessageCodec::data(
                              3, MmsPduCodec::reject(request.invokeId, true, 1, 1))));
        return;
    }
    MmsPdu response;
    decodeMms(found.value(), &response);
    if (response.invokeId == request.invokeId) {
        for (const QByteArray &packet : found->packets)
            peer.send(socket, packet);
        return;
    }
    const QByteArray answer =
        response.kind == MmsPdu::ConfirmedResponse
            ? MmsPduCodec::confirmedResponse(request.invokeId, serviceElement(response))
            : MmsPduCodec::confirmedError(request.invokeId, response.error);
    peer.send(socket, framed(IsoMessageCodec::data(3, answer)));
}

QList<QByteArray> TraceReplay::requests() const
{
    QMutexLocker lock(&mutex);
    return received;
}

int TraceReplay::unanswered() const
{
    QMutexLocker lock(&mutex);
    return missing;
}

QByteArray TraceReplay::lastControlMessage() const
{
    QMutexLocker lock(&mutex);
    return control;
}
