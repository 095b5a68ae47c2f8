#ifndef STATIONSCOPE_IEDSERVER_H
#define STATIONSCOPE_IEDSERVER_H

// A small MMS server serving one model over TCP (port 102 unless told
// otherwise), with reporting: value changes of the model (from any thread)
// reach its report control blocks, and due reports go out as
// InformationReports. It lives on the thread it was created on, or was moved
// to, and needs that thread's event loop; IedServerThread runs one on a
// thread of its own.

#include "mmsservermodel.h"
#include "reportcontrolengine.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

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
    // With every slot taken, a new connection takes the slot of a
    // connection without an association (first of those that have not even
    // completed the transport connection, of equals the one silent longest);
    // when all of them are associated, the new one is closed.
    void setMaxConnections(int count) { maxConnections = count; }
    int connectionCount() const { return connections.size(); }
    // A connection that has no association this long after its TCP accept
    // is closed, as is one that stops halfway through a message, or one
    // that takes none of the bytes waiting for it, for the idle limit, so
    // that stalled peers cannot hold the connection slots.
    void setAssociationDeadline(int ms) { associationDeadlineMs = ms; }
    void setIdleLimit(int ms) { idleLimitMs = ms; }
    // Each buffered report control block keeps entries up to this many bytes.
    void setReportBufferBytes(int bytes) { reports.setBufferBytes(bytes); }
    static constexpr int DefaultAssociationDeadlineMs = 10000;
    static constexpr int DefaultIdleLimitMs = 10000;
    // Reports not sent because their client did not read them.
    int droppedReports() const { return reports.droppedReports(); }

    // A connection holding this many bytes unsent gets no more reports until
    // it has read them.
    static constexpr qint64 MaxUnsentBytes = 1 << 20;

signals:
    // "address:port" of the client whose association was accepted.
    void associationEstablished(const QString &peer);
    // The association ended: release, abort, error or closed transport.
    void associationClosed(const QString &peer);
    // A stalled connection was closed, or a new one found every slot
    // associated; reason says which.
    void connectionDropped(const QString &peer, const QString &reason);

private:
    void acceptConnections();
    // Frees a slot for a new connection; false when every slot is associated.
    bool evictIdlestUnassociated();
    void readFrom(QTcpSocket *socket);
    void write(QTcpSocket *socket, const QByteArray &bytes);
    void writeProgressed(QTcpSocket *socket);
    void forget(QTcpSocket *socket);
    void drop(QTcpSocket *socket, const QString &reason);
    void watchIdle(QTcpSocket *socket, const MmsServerConnection &connection);
    void sendReports();
    void scheduleReports();
    // Called on the updating thread: keeps the changes for our thread.
    void queueChanges(const QVector<MmsValueChange> &changes);
    void takeQueuedChanges();

    std::shared_ptr<const MmsServerModel> model;
    QTcpServer server; // a child, so that it moves with the server to its thread
    struct Peer
    {
        std::shared_ptr<MmsServerConnection> connection;
        QString name; // kept: a closed socket forgets its peer
        int id = 0;
        qint64 lastHeard = 0;          // ms on peerClock when the peer last sent anything
        QTimer *stallTimer = nullptr;  // a child of the socket
        QTimer *readerTimer = nullptr; // runs while bytes wait for the peer
    };
    QHash<QTcpSocket *, Peer> connections;
    int maxConnections = 16;
    int associationDeadlineMs = DefaultAssociationDeadlineMs;
    int idleLimitMs = DefaultIdleLimitMs;
    int nextConnectionId = 1;
    QElapsedTimer peerClock; // the monotonic clock of Peer::lastHeard
    ReportControlEngine reports;
    QTimer reportTimer;
    int changeListener = 0;
    // Changes waiting for our thread, one per leaf: however fast values
    // change, this holds at most every leaf of the model once.
    QMutex queuedLock;
    QHash<QPair<QString, QString>, MmsValueChange> queuedChanges; // by domain and item
    bool takeScheduled = false;
};

#endif
