#include "iedserver.h"

#include "mmsserverconnection.h"

#include <QDateTime>
#include <QTcpSocket>

namespace {

QString peerText(const QTcpSocket *socket)
{
    return socket->peerAddress().toString() + QLatin1Char(':') +
           QString::number(socket->peerPort());
}

quint64 now()
{
    return quint64(QDateTime::currentMSecsSinceEpoch());
}

} // namespace

IedServer::IedServer(std::shared_ptr<const MmsServerModel> model, QObject *parent)
    : QObject(parent), model(std::move(model)), server(this), reports(this->model),
      reportTimer(this)
{
    connect(&server, &QTcpServer::newConnection, this, &IedServer::acceptConnections);
    reportTimer.setSingleShot(true);
    reportTimer.setTimerType(Qt::PreciseTimer);
    connect(&reportTimer, &QTimer::timeout, this, &IedServer::sendReports);
    // Changes may come from any thread; the engine hears of them on ours.
    changeListener = this->model->addChangeListener(
        [this](const QVector<MmsValueChange> &changes) { queueChanges(changes); });
}

void IedServer::queueChanges(const QVector<MmsValueChange> &changes)
{
    QMutexLocker locker(&queuedLock);
    for (const MmsValueChange &change : changes) {
        MmsValueChange &queued = queuedChanges[qMakePair(change.domain, change.item)];
        queued.domain = change.domain;
        queued.item = change.item;
        queued.reasons |= change.reasons;
    }
    if (!takeScheduled) {
        takeScheduled = true;
        QMetaObject::invokeMethod(this, &IedServer::takeQueuedChanges, Qt::QueuedConnection);
    }
}

void IedServer::takeQueuedChanges()
{
    QVector<MmsValueChange> changes;
    {
        QMutexLocker locker(&queuedLock);
        changes.reserve(queuedChanges.size());
        for (const MmsValueChange &change : qAsConst(queuedChanges))
            changes.append(change);
        queuedChanges.clear();
        takeScheduled = false;
    }
    reports.valuesChanged(changes, now());
    sendReports();
}

IedServer::~IedServer()
{
    model->removeChangeListener(changeListener);
    close();
}

bool IedServer::listen(const QHostAddress &address, quint16 port)
{
    return server.listen(address, port);
}

void IedServer::close()
{
    server.close();
    const QList<QTcpSocket *> sockets = connections.keys();
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        forget(socket);
        socket->abort();
        socket->deleteLater();
    }
}

void IedServer::acceptConnections()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        if (connections.size() >= maxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setReadBufferSize(Tpkt::MaxPacketSize * 2);
        const int id = nextConnectionId++;
        auto *stallTimer = new QTimer(socket);
        stallTimer->setSingleShot(true);
        connections.insert(socket, {std::make_shared<MmsServerConnection>(model, &reports, id),
                                    peerText(socket), id, stallTimer});
        connect(stallTimer, &QTimer::timeout, this, [this, socket] {
            const Peer peer = connections.value(socket);
            if (!peer.connection)
                return;
            drop(socket, peer.connection->state() == MmsServerConnection::Associated
                             ? tr("stalled halfway through a message for %1 ms").arg(idleLimitMs)
                             : tr("no association within %1 ms").arg(associationDeadlineMs));
        });
        stallTimer->start(associationDeadlineMs);
        // A peer that does not read is not served until it has caught up;
        // buffered reports held back for it go then.
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            if (socket->bytesToWrite() > 0)
                return;
            if (socket->bytesAvailable() > 0)
                readFrom(socket);
            sendReports();
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            forget(socket);
            socket->deleteLater();
        });
    }
}

void IedServer::readFrom(QTcpSocket *socket)
{
    const Peer peer = connections.value(socket);
    const std::shared_ptr<MmsServerConnection> &connection = peer.connection;
    if (!connection)
        return;
    if (socket->bytesToWrite() > MaxUnsentBytes)
        return;
    const bool wasAssociated = connection->state() == MmsServerConnection::Associated;
    QByteArray output;
    while (socket->bytesAvailable() > 0 && connection->state() != MmsServerConnection::Closed)
        output += connection->receive(socket->read(connection->bytesWanted()));
    if (!output.isEmpty())
        socket->write(output);
    if (!wasAssociated && connection->state() == MmsServerConnection::Associated) {
        reports.addConnection(peer.id, connection->negotiated().localDetail,
                              socket->peerAddress().toString());
        emit associationEstablished(peer.name);
    }
    watchIdle(socket, *connection);
    if (connection->state() == MmsServerConnection::Closed) {
        forget(socket);
        socket->disconnectFromHost(); // after the release response is out
        return;
    }
    // A GI report follows the response of the write that asked for it.
    sendReports();
}

void IedServer::sendReports()
{
    QSet<int> congested;
    QHash<int, QTcpSocket *> sockets;
    for (auto it = connections.cbegin(); it != connections.cend(); ++it) {
        sockets.insert(it->id, it.key());
        if (it.key()->bytesToWrite() > MaxUnsentBytes)
            congested.insert(it->id);
    }
    for (const ReportControlEngine::Outgoing &report : reports.collect(now(), congested)) {
        QTcpSocket *socket = sockets.value(report.connection);
        if (socket)
            socket->write(connections.value(socket).connection->unconfirmed(report.pdu));
    }
    scheduleReports();
}

void IedServer::scheduleReports()
{
    const quint64 deadline = reports.nextDeadline();
    if (!deadline) {
        reportTimer.stop();
        return;
    }
    const quint64 current = now();
    reportTimer.start(deadline > current ? int(qMin<quint64>(deadline - current, 3600000)) : 0);
}

// Until the association stands its deadline runs from the accept; after
// it, a message begun must go on arriving.
void IedServer::watchIdle(QTcpSocket *socket, const MmsServerConnection &connection)
{
    QTimer *timer = connections.value(socket).stallTimer;
    if (!timer || connection.state() != MmsServerConnection::Associated)
        return;
    if (connection.isMidMessage())
        timer->start(idleLimitMs);
    else
        timer->stop();
}

void IedServer::drop(QTcpSocket *socket, const QString &reason)
{
    const QString name = connections.value(socket).name;
    socket->disconnect(this);
    forget(socket);
    socket->abort();
    socket->deleteLater();
    emit connectionDropped(name, reason);
}

void IedServer::forget(QTcpSocket *socket)
{
    const Peer peer = connections.take(socket);
    if (peer.id)
        reports.removeConnection(peer.id, now());
    if (peer.connection && peer.connection->wasAssociated())
        emit associationClosed(peer.name);
}
