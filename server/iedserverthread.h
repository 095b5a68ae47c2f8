#ifndef STATIONSCOPE_IEDSERVERTHREAD_H
#define STATIONSCOPE_IEDSERVERTHREAD_H

// Runs an IedServer on a thread of its own, so that a blocking client (or
// anything else that does not return to its event loop) can talk to it from
// the creating thread. The server's signals arrive here, queued to the thread
// this object lives on.

#include "mmsservermodel.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <memory>

class IedServer;
class QThread;

class IedServerThread : public QObject
{
    Q_OBJECT

public:
    explicit IedServerThread(QObject *parent = nullptr);
    ~IedServerThread() override;

    // Starts the thread and listens; returns once the server listens (or
    // failed to, see errorString()).
    bool start(std::shared_ptr<const MmsServerModel> model,
               const QHostAddress &address = QHostAddress::Any, quint16 port = 102);
    // Closes every connection and ends the thread; waits for it.
    void stop();
    bool isRunning() const { return server != nullptr; }
    quint16 serverPort() const { return port; }
    QString errorString() const { return error; }

signals:
    void associationEstablished(const QString &peer);
    void associationClosed(const QString &peer);

private:
    QThread *thread = nullptr;
    IedServer *server = nullptr;
    quint16 port = 0;
    QString error;
};

#endif
