#include "iedserver.h"

#include "mmsserverconnection.h"

#include <QTcpSocket>

namespace {

QString peerText(const QTcpSocket *socket)
{
    return socket->peerAddress().toString() + QLatin1Char(':') +
           QString::number(socket->peerPort());
}

} // namespace

IedServer::IedServer(std::shared_ptr<const MmsServerModel> model, QObject *parent)
    : QObject(parent), model(std::move(model)), server(this)
{
    connect(&server, &QTcpServer::newConnection, this, &IedServer::acceptConnections);
}

IedServer::~IedServer()
{
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
        connections.insert(socket,
                           {std::make_shared<MmsServerConnection>(model), peerText(socket)});
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
    const bool wasAssociated = connection->state() == MmsServerConnection::Associated;
    QByteArray output;
    while (socket->bytesAvailable() > 0 && connection->state() != MmsServerConnection::Closed)
        output += connection->receive(socket->read(connection->bytesWanted()));
    if (!output.isEmpty())
        socket->write(output);
    if (!wasAssociated && connection->state() == MmsServerConnection::Associated)
        emit associationEstablished(peer.name);
    if (connection->state() == MmsServerConnection::Closed) {
        forget(socket);
        socket->disconnectFromHost(); // after the release response is out
    }
}

void IedServer::forget(QTcpSocket *socket)
{
    const Peer peer = connections.take(socket);
    if (peer.connection && peer.connection->wasAssociated())
        emit associationClosed(peer.name);
}
