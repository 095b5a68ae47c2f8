#include "mmsconnection.h"

#include "berreader.h"
#include "isopresentation.h"

#include <QDebug>

#include <limits>

namespace {

// Room for the session and presentation headers around the largest MMS PDU.
constexpr int HeaderAllowance = 1024;
// Until the initiate response names the PDU size, no message may be larger.
constexpr int AssociationMessageLimit = 65536;

int waitTime(const QDeadlineTimer &deadline)
{
    const qint64 remaining = deadline.remainingTime();
    return int(qBound<qint64>(0, remaining, std::numeric_limits<int>::max()));
}

// Waits on the socket in slices, so a cancel from another thread is seen.
constexpr qint64 WaitSliceMs = 100;

int sliceTime(const QDeadlineTimer &deadline)
{
    return int(qBound<qint64>(0, deadline.remainingTime(), WaitSliceMs));
}

bool isTransportFault(IedClientError error)
{
    return error == IedClientError::ConnectionLost || error == IedClientError::MalformedMessage;
}

} // namespace

MmsConnection::MmsConnection() : reassembler(AssociationMessageLimit)
{
    // Bounded reads: the socket buffers no more than a packet and a bit.
    socket.setReadBufferSize(Tpkt::MaxPacketSize * 2);
}

MmsConnection::~MmsConnection()
{
    drop();
}

void MmsConnection::resetCounters()
{
    roundTripCount = 0;
    mostInFlightCount = 0;
    sentCount = 0;
    receivedCount = 0;
    droppedCount = 0;
    malformedCount = 0;
}

void MmsConnection::drop()
{
    associated = false;
    takenTotal += quint64(reports.size());
    reports.clear();
    socket.abort();
    reader.clear();
    reassembler.clear();
}

IedClientError MmsConnection::fail(IedClientError error)
{
    if (isTransportFault(error))
        drop();
    return error;
}

IedClientError MmsConnection::associate(const QString &host, quint16 port)
{
    if (associated || socket.state() != QAbstractSocket::UnconnectedState)
        return IedClientError::AlreadyConnected;
    drop();
    nextInvokeId = 1;
    reassembler.setMaxMessageSize(AssociationMessageLimit);
    const QDeadlineTimer deadline(connectTimeoutMs);

    IedClientError error = openTransport(host, port, deadline);
    if (error != IedClientError::Ok) {
        drop();
        return error;
    }
    const MmsInitiateParameters proposal = MmsInitiateParameters::clientProposal(proposedPduSize);
    error =
        send(IsoMessageCodec::associateRequest(MmsPduCodec::initiateRequest(proposal)), deadline);
    IsoMessage message;
    if (error == IedClientError::Ok) {
        ++roundTripCount;
        error = receive(deadline, &message);
    }
    if (error == IedClientError::Ok && message.kind != IsoMessage::AssociateResponse)
        error = message.kind == IsoMessage::Refuse || message.kind == IsoMessage::Abort
                    ? IedClientError::ConnectionRejected
                    : IedClientError::MalformedMessage;
    if (error != IedClientError::Ok) {
        drop();
        return error == IedClientError::ConnectionLost ? IedClientError::ConnectionRejected : error;
    }

    bool contextsAccepted = !message.presentation.results.isEmpty();
    for (int result : message.presentation.results)
        contextsAccepted = contextsAccepted && result == IsoPresentation::Acceptance;
    MmsPdu initiate;
    if (!contextsAccepted || message.acse.result != AcseApdu::Accepted ||
        !MmsPduCodec::decode(message.mms, &initiate) || initiate.kind != MmsPdu::InitiateResponse) {
        drop();
        return IedClientError::ConnectionRejected;
    }
    negotiatedParameters = initiate.initiate;
    const int offered = negotiatedParameters.localDetail;
    pduSize = offered > 0 ? qMin(proposedPduSize, offered) : proposedPduSize;
    reassembler.setMaxMessageSize(qMax(pduSize, proposedPduSize) + HeaderAllowance);
    associated = true;
    return IedClientError::Ok;
}

IedClientError MmsConnection::openTransport(const QString &host, quint16 port,
                                            const QDeadlineTimer &deadline)
{
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(waitTime(deadline))) {
        return socket.error() == QAbstractSocket::SocketTimeoutError || deadline.hasExpired()
                   ? IedClientError::Timeout
                   : IedClientError::ConnectionRejected;
    }
    CotpParameters request;
    IedClientError error = write(Tpkt::frame(Cotp::connectRequest(request)), deadline);
    if (error != IedClientError::Ok)
        return error;
    ++roundTripCount;
    CotpTpdu confirm;
    error = readTpdu(deadline, &confirm);
    if (error == IedClientError::ConnectionLost)
        return IedClientError::ConnectionRejected;
    if (error != IedClientError::Ok)
        return error;
    if (confirm.type != CotpTpdu::ConnectConfirm)
        return confirm.type == CotpTpdu::DisconnectRequest ? IedClientError::ConnectionRejected
                                                           : IedClientError::MalformedMessage;
    // The confirm may lower the TPDU size, never raise it.
    tpduSizeCode = qMin(request.tpduSizeCode, confirm.parameters.tpduSizeCode);
    return IedClientError::Ok;
}

IedClientError MmsConnection::write(const QByteArray &bytes, const QDeadlineTimer &deadline)
{
    if (socket.state() != QAbstractSocket::ConnectedState)
        return IedClientError::ConnectionLost;
    if (socket.write(bytes) != bytes.size())
        return IedClientError::ConnectionLost;
    sentCount += bytes.size();
    while (socket.bytesToWrite() > 0) {
        if (cancelRequested)
            return IedClientError::ConnectionLost;
        if (!socket.waitForBytesWritten(sliceTime(deadline))) {
            if (socket.state() != QAbstractSocket::ConnectedState)
                return IedClientError::ConnectionLost;
            if (deadline.hasExpired())
                return IedClientError::Timeout;
        }
    }
    return IedClientError::Ok;
}

IedClientError MmsConnection::send(const QByteArray &cotpUserData, const QDeadlineTimer &deadline)
{
    QByteArray packets;
    for (const QByteArray &tpdu : Cotp::dataTpdus(cotpUserData, tpduSizeCode))
        packets += Tpkt::frame(tpdu);
    return write(packets, deadline);
}

IedClientError MmsConnection::readTpdu(const QDeadlineTimer &deadline, CotpTpdu *tpdu)
{
    for (;;) {
        QByteArray bytes;
        switch (reader.next(&bytes)) {
        case TpktReader::PacketReady:
            return Cotp::decode(bytes, tpdu) ? IedClientError::Ok
                                             : IedClientError::MalformedMessage;
        case TpktReader::Malformed:
            return IedClientError::MalformedMessage;
        case TpktReader::NeedMore:
            break;
        }
        if (socket.bytesAvailable() == 0) {
            if (socket.state() != QAbstractSocket::ConnectedState)
                return IedClientError::ConnectionLost;
            if (cancelRequested)
                return IedClientError::ConnectionLost;
            // With the time up, a wait of zero still takes what the system
            // has received: without an event loop nothing else reads it.
            if (!socket.waitForReadyRead(sliceTime(deadline)) && socket.bytesAvailable() == 0) {
                if (socket.state() != QAbstractSocket::ConnectedState)
                    return IedClientError::ConnectionLost;
                if (deadline.hasExpired())
                    return IedClientError::Timeout;
                if (socket.error() != QAbstractSocket::SocketTimeoutError)
                    return IedClientError::ConnectionLost;
                continue;
            }
        }
        const QByteArray chunk = socket.read(reader.missing());
        receivedCount += chunk.size();
        reader.append(chunk);
    }
}

IedClientError MmsConnection::receive(const QDeadlineTimer &deadline, IsoMessage *message)
{
    for (;;) {
        CotpTpdu tpdu;
        const IedClientError error = readTpdu(deadline, &tpdu);
        if (error != IedClientError::Ok)
            return error;
        switch (tpdu.type) {
        case CotpTpdu::Data:
            switch (reassembler.add(tpdu)) {
            case CotpReassembler::Incomplete:
                continue;
            case CotpReassembler::TooLarge:
                return IedClientError::MalformedMessage;
            case CotpReassembler::Complete:
                return IsoMessageCodec::decode(reassembler.take(), message)
                           ? IedClientError::Ok
                           : IedClientError::MalformedMessage;
            }
            break;
        case CotpTpdu::DisconnectRequest:
        case CotpTpdu::Error:
            return IedClientError::ConnectionLost;
        default:
            return IedClientError::MalformedMessage;
        }
    }
}

IedClientError MmsConnection::awaitMms(const QDeadlineTimer &deadline, MmsPdu *pdu)
{
    IsoMessage message;
    const IedClientError error = receive(deadline, &message);
    if (error != IedClientError::Ok)
        return fail(error);
    switch (message.kind) {
    case IsoMessage::Data:
        if (message.presentation.contextId != IsoPresentation::MmsContextId)
            return fail(IedClientError::MalformedMessage);
        // A PDU that does not parse leaves the stream in step: only it is lost.
        if (!MmsPduCodec::decode(message.mms, pdu)) {
            // An unconfirmed PDU is nobody's answer: a broken one is only counted.
            if (message.mms.startsWith(char(0xa3))) {
                queueUnconfirmed(MmsPdu());
                *pdu = MmsPdu();
                pdu->kind = MmsPdu::Unconfirmed;
                return IedClientError::Ok;
            }
            return IedClientError::MalformedMessage;
        }
        if (pdu->kind == MmsPdu::Unconfirmed)
            queueUnconfirmed(*pdu);
        return IedClientError::Ok;
    case IsoMessage::Abort:
    case IsoMessage::ReleaseRequest:
        drop();
        return IedClientError::ConnectionLost;
    default:
        return fail(IedClientError::MalformedMessage);
    }
}

IedClientError MmsConnection::request(const QByteArray &serviceRequest, MmsPdu *response)
{
    QVector<MmsPdu> responses;
    QVector<IedClientError> errors;
    requestAll({serviceRequest}, &responses, &errors);
    if (errors.first() == IedClientError::Ok)
        *response = responses.first();
    return errors.first();
}

void MmsConnection::requestAll(const QList<QByteArray> &serviceRequests, QVector<MmsPdu> *responses,
                               QVector<IedClientError> *errors,
                               const std::function<void()> &betweenAnswers)
{
    const int count = serviceRequests.size();
    *responses = QVector<MmsPdu>(count);
    *errors = QVector<IedClientError>(count, IedClientError::Ok);
    struct InFlight
    {
        int index;
        quint32 invokeId;
        quint32 tag;
        QDeadlineTimer deadline;
    };
    QVector<InFlight> inFlight; // in the order sent
    int next = 0;
    const auto failRest = [&](IedClientError error) {
        for (const InFlight &call : qAsConst(inFlight))
            (*errors)[call.index] = error;
        inFlight.clear();
        for (; next < count; ++next)
            (*errors)[next] = error;
    };
    while (next < count || !inFlight.isEmpty()) {
        while (next < count && inFlight.size() < maxOutstanding()) {
            const int index = next++;
            if (!associated) {
                (*errors)[index] = IedClientError::NotConnected;
                continue;
            }
            BerReader requestReader(serviceRequests.at(index));
            BerTlv requestTlv;
            const quint32 invokeId = nextInvokeId;
            const QByteArray pdu =
                MmsPduCodec::confirmedRequest(invokeId, serviceRequests.at(index));
            if (!requestReader.read(&requestTlv) || pdu.size() > pduSize) {
                (*errors)[index] = IedClientError::InvalidArgument;
                continue;
            }
            ++nextInvokeId;
            const QDeadlineTimer deadline(requestTimeoutMs);
            const IedClientError error =
                send(IsoMessageCodec::data(IsoPresentation::MmsContextId, pdu), deadline);
            if (error != IedClientError::Ok) {
                (*errors)[index] = fail(error);
                failRest(error);
                return;
            }
            ++roundTripCount;
            inFlight.append({index, invokeId, requestTlv.tag, deadline});
            mostInFlightCount = qMax(mostInFlightCount, int(inFlight.size()));
        }
        if (inFlight.isEmpty())
            continue;
        MmsPdu answer;
        const IedClientError error = awaitMms(inFlight.first().deadline, &answer);
        // No answer in time, or one that does not decode: servers answer in
        // order, so it is taken for the oldest request's.
        if (error == IedClientError::Timeout ||
            (error == IedClientError::MalformedMessage && associated)) {
            (*errors)[inFlight.takeFirst().index] = error;
            continue;
        }
        if (error != IedClientError::Ok) {
            failRest(error);
            return;
        }
        // Answers to earlier requests that timed out are passed over; reports
        // are queued on the way.
        int place = 0;
        if (answer.hasInvokeId) {
            while (place < inFlight.size() && inFlight.at(place).invokeId != answer.invokeId)
                ++place;
        } else if (answer.kind != MmsPdu::Reject) {
            continue;
        }
        if (place == inFlight.size())
            continue;
        const InFlight call = inFlight.at(place);
        switch (answer.kind) {
        case MmsPdu::ConfirmedResponse:
            if (answer.service.tag != call.tag)
                (*errors)[call.index] = IedClientError::UnexpectedValueReceived;
            else
                (*responses)[call.index] = answer;
            break;
        case MmsPdu::ConfirmedError:
            (*errors)[call.index] = iedClientErrorFromServiceError(answer.error);
            break;
        case MmsPdu::Reject:
            (*errors)[call.index] = iedClientErrorFromReject(answer.rejectKind, answer.rejectCode);
            break;
        default:
            continue;
        }
        inFlight.removeAt(place);
        queuedAtLastAnswer = queuedTotal;
        if (betweenAnswers)
            betweenAnswers();
    }
}

IedClientError MmsConnection::conclude()
{
    if (!associated)
        return IedClientError::NotConnected;
    const QDeadlineTimer deadline(requestTimeoutMs);
    IedClientError error =
        send(IsoMessageCodec::data(IsoPresentation::MmsContextId, MmsPduCodec::concludeRequest()),
             deadline);
    if (error != IedClientError::Ok)
        return fail(error);
    ++roundTripCount;
    for (;;) {
        MmsPdu answer;
        error = awaitMms(deadline, &answer);
        if (error != IedClientError::Ok)
            return error;
        switch (answer.kind) {
        case MmsPdu::ConcludeResponse:
            return IedClientError::Ok;
        case MmsPdu::ConcludeError:
            return iedClientErrorFromServiceError(answer.error);
        case MmsPdu::Reject:
            return iedClientErrorFromReject(answer.rejectKind, answer.rejectCode);
        default:
            continue;
        }
    }
}

IedClientError MmsConnection::release()
{
    if (!associated)
        return IedClientError::NotConnected;
    const QDeadlineTimer deadline(requestTimeoutMs);
    IedClientError error =
        send(IsoMessageCodec::releaseRequest(IsoPresentation::AcseContextId), deadline);
    if (error == IedClientError::Ok)
        ++roundTripCount;
    while (error == IedClientError::Ok) {
        IsoMessage message;
        error = receive(deadline, &message);
        if (error != IedClientError::Ok || message.kind == IsoMessage::ReleaseResponse)
            break;
        if (message.kind != IsoMessage::Data)
            error = message.kind == IsoMessage::Abort ? IedClientError::ConnectionLost
                                                      : IedClientError::MalformedMessage;
    }
    drop();
    return error;
}

IedClientError MmsConnection::abort()
{
    if (socket.state() != QAbstractSocket::ConnectedState) {
        drop();
        return IedClientError::NotConnected;
    }
    const IedClientError error = send(IsoMessageCodec::abort(IsoPresentation::AcseContextId),
                                      QDeadlineTimer(requestTimeoutMs));
    drop();
    return error;
}

void MmsConnection::queueUnconfirmed(const MmsPdu &pdu)
{
    MmsInformationReport report;
    if (!MmsReportCodec::decodeInformationReport(pdu, &report)) {
        ++malformedCount;
        qDebug("MMS: an unconfirmed PDU that is no information report was dropped");
        return;
    }
    if (reports.size() >= maxQueued) {
        ++droppedCount;
        return;
    }
    reports.enqueue(report);
    ++queuedTotal;
}

IedClientError MmsConnection::waitForReports(int msecs)
{
    if (!associated)
        return IedClientError::NotConnected;
    const QDeadlineTimer deadline(qMax(0, msecs));
    while (reports.isEmpty()) {
        MmsPdu pdu;
        const IedClientError error = awaitMms(deadline, &pdu);
        if (error == IedClientError::Timeout)
            return IedClientError::Ok;
        // A PDU that does not parse is lost alone; anything else ends the wait.
        if (error != IedClientError::Ok && error != IedClientError::MalformedMessage)
            return error;
        if (deadline.hasExpired())
            break;
    }
    return IedClientError::Ok;
}
