#ifndef STATIONSCOPE_IEDSERVER_H
#define STATIONSCOPE_IEDSERVER_H

// A small MMS server serving one model over TCP (port 102 unless told
// otherwise). It lives on the thread it was created on, or was moved to, and
// needs that thread's event loop; IedServerThread runs one on a thread of its
// own.

#include "mmsservermodel.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

#include <memory>

class MmsServerConnection;
class QTcpSocket;

class IedServer : public QObject
{
    Q_OBJECT

public:
    explicit IedServer(std::shared_ptr<const MmsServerModel> model, QObject *parent = nullptr);
    ~IedServer() override;

    // Port 0 takes any free port; serverPort() tells which.
    bool listen(const QHostAddress &address = QHostAddress::Any, quint16 port = 102);
    void close();
    bool isListening() const { return server.isListening(); }
    quint16 serverPort() const { return server.serverPort(); }
    QString errorString() const { return server.errorString(); }
    // Connections beyond this are closed as soon as they are accepted.
    void setMaxConnections(int count) { maxConnections = count; }
    int connectionCount() const { return connections.size(); }

signals:
    // "address:port" of the client whose association was accepted.
    void associationEstablished(const QString &peer);
    // The association ended: release, abort, error or closed transport.
    void associationClosed(const QString &peer);

private:
    void acceptConnections();
    void readFrom(QTcpSocket *socket);
    void forget(QTcpSocket *socket);

    std::shared_ptr<const MmsServerModel> model;
    QTcpServer server; // a child, so that it moves with the server to its thread
    struct Peer
    {
        std::shared_ptr<MmsServerConnection> connection;
        QString name; // kept: a closed socket forgets its peer
    };
    QHash<QTcpSocket *, Peer> connections;
    int maxConnections = 16;
};

#endif
