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

private:
    void acceptConnections();
    void readFrom(QTcpSocket *socket);
    void forget(QTcpSocket *socket);
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
    };
    QHash<QTcpSocket *, Peer> connections;
    int maxConnections = 16;
    int nextConnectionId = 1;
    ReportControlEngine reports;
    QTimer reportTimer;
    int changeListener = 0;
    // Changes waiting for our thread, one per leaf: however fast values
    // change, this holds at most every leaf of the model once.
    QMutex queuedLock;
    QHash<QString, MmsValueChange> queuedChanges;
    bool takeScheduled = false;
};

#endif
