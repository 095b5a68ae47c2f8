#ifndef STATIONSCOPE_TRACEREPLAY_H
#define STATIONSCOPE_TRACEREPLAY_H

// A scripted peer that answers like the reference server of a trace: each
// request the client sends is looked up among the trace's requests by its
// service element, and the trace's answer goes back with the client's invoke
// id, in the trace's own packets where the bytes allow.

#include "scriptedpeer.h"
#include "tracefile.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>

class TraceReplay
{
public:
    explicit TraceReplay(const TraceFile &trace);

    void run(QTcpSocket &socket, ScriptedPeer &peer);
    ScriptedPeer::Script script()
    {
        return [this](QTcpSocket &socket, ScriptedPeer &peer) {
            run(socket, peer);
        };
    }

    // The MMS PDUs the client sent after the association, in order.
    QList<QByteArray> requests() const;
    // Requests the trace had no answer for.
    int unanswered() const;
    // The session, presentation and ACSE bytes of the client's last
    // connect, release or abort message.
    QByteArray lastControlMessage() const;

private:
    void answerData(QTcpSocket &socket, ScriptedPeer &peer, const QByteArray &mms);

    const TraceFile &trace;
    QHash<QByteArray, TraceMessage> answers; // service element -> server message
    QList<QByteArray> packetsOf(int tpduType) const;
    mutable QMutex mutex;
    QList<QByteArray> received;
    int missing = 0;
    QByteArray control;
};

#endif
