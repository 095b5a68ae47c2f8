#include "iedserverthread.h"

#include "iedserver.h"

#include <QThread>

IedServerThread::IedServerThread(QObject *parent) : QObject(parent) {}

IedServerThread::~IedServerThread()
{
    stop();
}

bool IedServerThread::start(std::shared_ptr<const MmsServerModel> model,
                            const QHostAddress &address, quint16 requestedPort)
{
    stop();
    thread = new QThread;
    thread->setObjectName(QStringLiteral("IedServer"));
    server = new IedServer(std::move(model));
    server->moveToThread(thread);
    connect(thread, &QThread::finished, server, &QObject::deleteLater);
    connect(server, &IedServer::associationEstablished, this,
            &IedServerThread::associationEstablished, Qt::QueuedConnection);
    connect(server, &IedServer::associationClosed, this, &IedServerThread::associationClosed,
            Qt::QueuedConnection);
    thread->start();

    bool listening = false;
    QMetaObject::invokeMethod(
        server,
        [&] {
            listening = server->listen(address, requestedPort);
            port = server->serverPort();
            error = listening ? QString() : server->errorString();
        },
        Qt::BlockingQueuedConnection);
    if (!listening) {
        const QString reason = error;
        stop();
        error = reason;
    }
    return listening;
}

void IedServerThread::stop()
{
    if (!thread)
        return;
    // The server is closed and deleted on its own thread, where its sockets live.
    IedServer *running = server;
    QMetaObject::invokeMethod(
        running, [running] { running->close(); }, Qt::BlockingQueuedConnection);
    thread->quit();
    thread->wait();
    delete thread;
    thread = nullptr;
    server = nullptr;
    port = 0;
}
