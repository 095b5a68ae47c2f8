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
    // Connections beyond this are closed as soon as they are accepted.
    void setMaxConnections(int count) { maxConnections = count; }
    int connectionCount() const { return connections.size(); }
    // A connection that has no association this long after its TCP accept
    // is closed, as is one that stops halfway through a message for the
    // idle limit, so that stalled peers cannot hold the connection slots.
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
    // A stalled connection was closed; reason says how it stalled.
    void connectionDropped(const QString &peer, const QString &reason);

private:
    void acceptConnections();
    void readFrom(QTcpSocket *socket);
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
        QTimer *stallTimer = nullptr; // a child of the socket
    };
    QHash<QTcpSocket *, Peer> connections;
    int maxConnections = 16;
    int associationDeadlineMs = DefaultAssociationDeadlineMs;
    int idleLimitMs = DefaultIdleLimitMs;
    int nextConnectionId = 1;
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
