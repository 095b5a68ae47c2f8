#ifndef STATIONSCOPE_MMSCONNECTION_H
#define STATIONSCOPE_MMSCONNECTION_H

// One MMS association over ISO-on-TCP, driven with blocking calls: it waits
// on its own socket (waitFor*), so it works on a thread without an event loop
// running, the GUI thread included. Every wait is bounded by the connect or
// the request time-out.

#include "cotp.h"
#include "iedclienterror.h"
#include "isomessage.h"
#include "mmspdu.h"
#include "mmsreport.h"
#include "tpkt.h"

#include <QDeadlineTimer>
#include <QQueue>
#include <QTcpSocket>
#include <QVector>

#include <atomic>
#include <functional>

class MmsConnection
{
public:
    MmsConnection();
    ~MmsConnection();
    MmsConnection(const MmsConnection &) = delete;
    MmsConnection &operator=(const MmsConnection &) = delete;

    void setConnectTimeout(int ms) { connectTimeoutMs = ms; }
    int connectTimeout() const { return connectTimeoutMs; }
    void setRequestTimeout(int ms) { requestTimeoutMs = ms; }
    int requestTimeout() const { return requestTimeoutMs; }
    // The largest MMS PDU proposed at the next association.
    void setMaxPduSize(int octets) { proposedPduSize = octets; }

    IedClientError associate(const QString &host, quint16 port);
    bool isAssociated() const { return associated; }
    // What the server answered in its initiate response.
    const MmsInitiateParameters &negotiated() const { return negotiatedParameters; }
    int maxPduSize() const { return pduSize; }

    // One confirmed service: the request element out, the response element of
    // the same service back in *response.
    IedClientError request(const QByteArray &serviceRequest, MmsPdu *response);
    // Several independent confirmed services with up to maxOutstanding()
    // requests in flight, each answer matched to its request by invoke id.
    // Every request keeps its own outcome in (*errors)[i] and, when Ok, its
    // answer in (*responses)[i]; a lost connection fails all that were not
    // answered. betweenAnswers, when set, runs after each answer.
    void requestAll(const QList<QByteArray> &serviceRequests, QVector<MmsPdu> *responses,
                    QVector<IedClientError> *errors,
                    const std::function<void()> &betweenAnswers = {});
    // The requests the server lets us have in flight (its initiate response).
    int maxOutstanding() const { return qMax(1, negotiatedParameters.maxServOutstandingCalling); }
    IedClientError conclude();
    // ACSE release; the transport is closed afterwards whatever the answer.
    IedClientError release();
    IedClientError abort();
    // Closes the transport without a word to the peer.
    void drop();
    // Callable from any thread: the call in progress, and every later one,
    // ends within about 100 ms with ConnectionLost. The TCP connect itself is
    // not interrupted; its wait is bounded by the connect time-out.
    void cancel() { cancelRequested = true; }
    bool isCancelled() const { return cancelRequested; }

    // Information reports that arrive, during a request or while waiting for
    // them, are queued up to a bound; beyond it they are dropped and counted,
    // as are reports that do not decode.
    void setMaxQueuedReports(int count) { maxQueued = qMax(1, count); }
    int maxQueuedReports() const { return maxQueued; }
    // Waits up to msecs for the next message and queues it when it is a
    // report; returns at once when one is queued already. Ok also when the
    // time ran out without one.
    IedClientError waitForReports(int msecs);
    bool hasQueuedReports() const { return !reports.isEmpty(); }
    MmsInformationReport takeReport()
    {
        ++takenTotal;
        return reports.dequeue();
    }
    // Whether the report takeReport() gives next arrived before the answer
    // to the last request.
    bool nextReportPrecedesLastAnswer() const { return takenTotal < queuedAtLastAnswer; }
    qint64 droppedReports() const { return droppedCount; }
    qint64 malformedReports() const { return malformedCount; }

    // Every request that waited for an answer: transport connect,
    // association, each confirmed service, conclude and release.
    int roundTrips() const { return roundTripCount; }
    // The most requests that were in flight at once.
    int mostInFlight() const { return mostInFlightCount; }
    qint64 bytesSent() const { return sentCount; }
    qint64 bytesReceived() const { return receivedCount; }
    void resetCounters();

private:
    IedClientError openTransport(const QString &host, quint16 port, const QDeadlineTimer &deadline);
    IedClientError send(const QByteArray &cotpUserData, const QDeadlineTimer &deadline);
    IedClientError write(const QByteArray &bytes, const QDeadlineTimer &deadline);
    IedClientError readTpdu(const QDeadlineTimer &deadline, CotpTpdu *tpdu);
    IedClientError receive(const QDeadlineTimer &deadline, IsoMessage *message);
    IedClientError awaitMms(const QDeadlineTimer &deadline, MmsPdu *pdu);
    IedClientError fail(IedClientError error);
    void queueUnconfirmed(const MmsPdu &pdu);

    QTcpSocket socket;
    TpktReader reader;
    CotpReassembler reassembler;
    int connectTimeoutMs = 10000;
    int requestTimeoutMs = 5000;
    int proposedPduSize = 65000;
    int pduSize = 65000;
    int tpduSizeCode = Cotp::MaxTpduSizeCode;
    bool associated = false;
    quint32 nextInvokeId = 1;
    MmsInitiateParameters negotiatedParameters;
    int roundTripCount = 0;
    int mostInFlightCount = 0;
    qint64 sentCount = 0;
    qint64 receivedCount = 0;
    QQueue<MmsInformationReport> reports;
    int maxQueued = 1000;
    qint64 droppedCount = 0;
    qint64 malformedCount = 0;
    quint64 queuedTotal = 0;
    quint64 takenTotal = 0;
    quint64 queuedAtLastAnswer = 0;
    std::atomic<bool> cancelRequested{false};
};

#endif
