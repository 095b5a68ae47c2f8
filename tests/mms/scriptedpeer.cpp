#include "scriptedpeer.h"

#include "cotp.h"
#include "eventwait.h"
#include "tpkt.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QTcpServer>
#include <QThread>

namespace {

constexpr int PollMs = 20;

} // namespace

ScriptedPeer::ScriptedPeer(Script script)
{
    QSemaphore listening;
    thread = QThread::create([this, script, &listening] {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        listeningPort = server.serverPort();
        listening.release();
        QElapsedTimer waited;
        waited.start();
        while (!stopRequested() && waited.elapsed() < EventTimeoutMs) {
            if (!server.waitForNewConnection(PollMs))
                continue;
            QTcpSocket *socket = server.nextPendingConnection();
            script(*socket, *this);
            socket->abort();
            delete socket;
            break;
        }
    });
    thread->start();
    listening.acquire();
}

ScriptedPeer::~ScriptedPeer()
{
    stopFlag.storeRelease(1);
    thread->wait();
    delete thread;
}

bool ScriptedPeer::waitForFinished(int timeoutMs)
{
    return thread->wait(timeoutMs);
}

bool ScriptedPeer::readTpdu(QTcpSocket &socket, QByteArray *tpdu)
{
    TpktReader reader;
    for (;;) {
        switch (reader.next(tpdu)) {
        case TpktReader::PacketReady:
            return true;
        case TpktReader::Malformed:
            return false;
        case TpktReader::NeedMore:
            break;
        }
        while (socket.bytesAvailable() == 0) {
            if (stopRequested() || socket.state() != QAbstractSocket::ConnectedState)
                return false;
            socket.waitForReadyRead(PollMs);
        }
        reader.append(socket.read(reader.missing()));
    }
}

bool ScriptedPeer::readMessage(QTcpSocket &socket, QByteArray *userData)
{
    userData->clear();
    for (;;) {
        QByteArray bytes;
        CotpTpdu tpdu;
        if (!readTpdu(socket, &bytes) || !Cotp::decode(bytes, &tpdu) || tpdu.type != CotpTpdu::Data)
            return false;
        userData->append(tpdu.userData);
        if (tpdu.endOfTransmission)
            return true;
    }
}

void ScriptedPeer::send(QTcpSocket &socket, const QByteArray &bytes)
{
    socket.write(bytes);
    while (socket.bytesToWrite() > 0 && socket.state() == QAbstractSocket::ConnectedState)
        socket.waitForBytesWritten(PollMs);
}

void ScriptedPeer::stayQuiet(QTcpSocket &socket)
{
    while (!stopRequested() && socket.state() == QAbstractSocket::ConnectedState) {
        socket.waitForReadyRead(PollMs);
        socket.readAll();
    }
}

void ScriptedPeer::note(const QString &text)
{
    QMutexLocker lock(&mutex);
    recorded << text;
}

QStringList ScriptedPeer::notes() const
{
    QMutexLocker lock(&mutex);
    return recorded;
}
