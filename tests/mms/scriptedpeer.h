#ifndef STATIONSCOPE_SCRIPTEDPEER_H
#define STATIONSCOPE_SCRIPTEDPEER_H

// A fake MMS server on 127.0.0.1 for client tests: a thread of its own
// accepts one connection and runs a script on it with blocking socket calls,
// while the blocking client under test runs on the test's thread.

#include <QAtomicInt>
#include <QByteArray>
#include <QMutex>
#include <QStringList>
#include <QTcpSocket>

#include <functional>

class QThread;

class ScriptedPeer
{
public:
    using Script = std::function<void(QTcpSocket &socket, ScriptedPeer &peer)>;

    explicit ScriptedPeer(Script script);
    ~ScriptedPeer();

    quint16 port() const { return listeningPort; }
    bool stopRequested() const { return stopFlag.loadAcquire() != 0; }
    // Waits for the script to end (the client closed, or it ran out).
    bool waitForFinished(int timeoutMs);

    // One TPDU, or false when the peer closed, the script is stopped or the
    // bytes are no TPKT packet.
    bool readTpdu(QTcpSocket &socket, QByteArray *tpdu);
    // The COTP user data of one message (data TPDUs up to end of
    // transmission); false as above, or for a TPDU that is not data.
    bool readMessage(QTcpSocket &socket, QByteArray *userData);
    void send(QTcpSocket &socket, const QByteArray &bytes);
    // Keeps the connection open without answering until stopped or closed.
    void stayQuiet(QTcpSocket &socket);

    // What the script wants the test to know, e.g. the requests it saw.
    void note(const QString &text);
    QStringList notes() const;

private:
    QThread *thread = nullptr;
    quint16 listeningPort = 0;
    QAtomicInt stopFlag;
    mutable QMutex mutex;
    QStringList recorded;
};

#endif
