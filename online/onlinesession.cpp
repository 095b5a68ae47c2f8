#include "onlinesession.h"

namespace {
constexpr unsigned long ShutdownGraceMs = 1500;
}

OnlineSession::OnlineSession(QObject *parent) : QObject(parent), work(new OnlineWorker)
{
    work->moveToThread(&thread);
    connect(&thread, &QThread::finished, work, &QObject::deleteLater);
    connect(work, &OnlineWorker::finished, this, &OnlineSession::onFinished);
    thread.setObjectName(QStringLiteral("online"));
    thread.start();
}

OnlineSession::~OnlineSession()
{
    // A watch gets the chance to disable its blocks; anything else just ends.
    if (job == Job::WatchReports)
        work->stop();
    else
        work->cancel();
    thread.quit();
    if (!thread.wait(ShutdownGraceMs)) {
        work->cancel();
        thread.wait();
    }
}

void OnlineSession::setTimeouts(int connectMs, int requestMs)
{
    // Read by the worker only when a job starts, and jobs start after this.
    QMetaObject::invokeMethod(
        work, [w = work, connectMs, requestMs] { w->setTimeouts(connectMs, requestMs); },
        Qt::QueuedConnection);
}

bool OnlineSession::start(Job next)
{
    if (job != Job::None)
        return false;
    job = next;
    work->arm();
    emit busyChanged(true);
    return true;
}

void OnlineSession::onFinished()
{
    if (job == Job::None)
        return;
    job = Job::None;
    emit busyChanged(false);
}

bool OnlineSession::browse(const QString &host, int port)
{
    if (!start(Job::Browse))
        return false;
    QMetaObject::invokeMethod(
        work, [w = work, host, port] { w->browse(host, port); }, Qt::QueuedConnection);
    return true;
}

bool OnlineSession::testRead(const QString &host, int port)
{
    if (!start(Job::TestRead))
        return false;
    QMetaObject::invokeMethod(
        work, [w = work, host, port] { w->testRead(host, port); }, Qt::QueuedConnection);
    return true;
}

bool OnlineSession::readObjects(const QString &host, int port, const QVector<ObjectRead> &reads)
{
    if (!start(Job::ReadObjects))
        return false;
    QMetaObject::invokeMethod(
        work, [w = work, host, port, reads] { w->readObjects(host, port, reads); },
        Qt::QueuedConnection);
    return true;
}

bool OnlineSession::watchReports(const QString &host, int port,
                                 const QVector<ReportSubscription> &subscriptions)
{
    if (!start(Job::WatchReports))
        return false;
    QMetaObject::invokeMethod(
        work, [w = work, host, port, subscriptions] { w->watchReports(host, port, subscriptions); },
        Qt::QueuedConnection);
    return true;
}

void OnlineSession::cancel()
{
    if (job == Job::WatchReports)
        work->stop();
    else if (job != Job::None)
        work->cancel();
}

void OnlineSession::stop()
{
    if (job != Job::None)
        work->stop();
}
