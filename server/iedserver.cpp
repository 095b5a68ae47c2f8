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
    peerClock.start();
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
        if (connections.size() >= maxConnections && !evictIdlestUnassociated()) {
            const QString name = peerText(socket);
            socket->abort();
            socket->deleteLater();
            emit connectionDropped(
                name, tr("all %1 connection slots are held by associations").arg(maxConnections));
            continue;
        }
        socket->setReadBufferSize(Tpkt::MaxPacketSize * 2);
        const int id = nextConnectionId++;
        auto *stallTimer = new QTimer(socket);
        stallTimer->setSingleShot(true);
        auto *readerTimer = new QTimer(socket);
        readerTimer->setSingleShot(true);
        connections.insert(socket,
                           {std::make_shared<MmsServerConnection>(model, &reports, id),
                            peerText(socket), id, peerClock.elapsed(), stallTimer, readerTimer});
        connect(stallTimer, &QTimer::timeout, this, [this, socket] {
            const Peer peer = connections.value(socket);
            if (!peer.connection)
                return;
            drop(socket, peer.connection->state() == MmsServerConnection::Associated
                             ? tr("stalled halfway through a message for %1 ms").arg(idleLimitMs)
                             : tr("no association within %1 ms").arg(associationDeadlineMs));
        });
        stallTimer->start(associationDeadlineMs);
        connect(readerTimer, &QTimer::timeout, this, [this, socket] {
            if (connections.contains(socket))
                drop(socket, tr("took none of the bytes sent to it for %1 ms").arg(idleLimitMs));
        });
        connect(socket, &QTcpSocket::bytesWritten, this,
                [this, socket] { writeProgressed(socket); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            forget(socket);
            socket->deleteLater();
        });
    }
}

// Only a connection without an association gives way: one that associated
// is a client at work, however quiet. First goes one that has not even
// completed its transport connection (a client sends its request at once),
// so that peers evicting each other cannot push out a client halfway
// through its association; of equals, the one silent longest.
bool IedServer::evictIdlestUnassociated()
{
    const auto transportStands = [](const MmsServerConnection &connection) {
        return connection.state() == MmsServerConnection::AwaitingAssociation &&
               !connection.isMidMessage();
    };
    QTcpSocket *idlest = nullptr;
    bool idlestStands = false;
    qint64 heard = 0;
    for (auto it = connections.cbegin(); it != connections.cend(); ++it) {
        if (it->connection->state() == MmsServerConnection::Associated)
            continue;
        const bool stands = transportStands(*it->connection);
        if (!idlest || (!stands && idlestStands) ||
            (stands == idlestStands && it->lastHeard < heard)) {
            idlest = it.key();
            idlestStands = stands;
            heard = it->lastHeard;
        }
    }
    if (!idlest)
        return false;
    drop(idlest, tr("no association and silent for %1 ms; its slot went to a new connection")
                     .arg(peerClock.elapsed() - heard));
    return true;
}

void IedServer::write(QTcpSocket *socket, const QByteArray &bytes)
{
    socket->write(bytes);
    QTimer *timer = connections.value(socket).readerTimer;
    if (timer && !timer->isActive())
        timer->start(idleLimitMs);
}

// A peer that does not read is not served until it has caught up; buffered
// reports held back for it go then. One that takes nothing for the idle
// limit loses its connection.
void IedServer::writeProgressed(QTcpSocket *socket)
{
    QTimer *timer = connections.value(socket).readerTimer;
    if (!timer)
        return;
    if (socket->bytesToWrite() > 0) {
        timer->start(idleLimitMs);
        return;
    }
    timer->stop();
    if (socket->bytesAvailable() > 0)
        readFrom(socket);
    sendReports();
}

void IedServer::readFrom(QTcpSocket *socket)
{
    auto found = connections.find(socket);
    if (found == connections.end())
        return;
    const Peer peer = *found;
    const std::shared_ptr<MmsServerConnection> &connection = peer.connection;
    if (socket->bytesToWrite() > MaxUnsentBytes)
        return;
    if (socket->bytesAvailable() > 0)
        found->lastHeard = peerClock.elapsed();
    const bool wasAssociated = connection->state() == MmsServerConnection::Associated;
    QByteArray output;
    while (socket->bytesAvailable() > 0 && connection->state() != MmsServerConnection::Closed)
        output += connection->receive(socket->read(connection->bytesWanted()));
    if (!output.isEmpty())
        write(socket, output);
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
            write(socket, connections.value(socket).connection->unconfirmed(report.pdu));
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
    if (peer.readerTimer)
        peer.readerTimer->stop();
    if (peer.stallTimer)
        peer.stallTimer->stop();
    if (peer.id)
        reports.removeConnection(peer.id, now());
    if (peer.connection && peer.connection->wasAssociated())
        emit associationClosed(peer.name);
}
