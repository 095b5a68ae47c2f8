#ifndef STATIONSCOPE_ONLINESESSION_H
#define STATIONSCOPE_ONLINESESSION_H

// The window's side of the online work: owns the worker thread and its
// OnlineWorker, starts one job at a time and says when it is busy. Results
// arrive through the worker's signals, queued to this object's thread.

#include "onlineworker.h"

#include <QObject>
#include <QThread>

class OnlineSession : public QObject
{
    Q_OBJECT

public:
    enum class Job { None, Browse, TestRead, ReadObjects, WatchReports };

    explicit OnlineSession(QObject *parent = nullptr);
    // Cancels the job in progress and joins the thread.
    ~OnlineSession() override;

    OnlineWorker *worker() const { return work; }
    void setTimeouts(int connectMs, int requestMs);

    bool isBusy() const { return job != Job::None; }
    Job currentJob() const { return job; }

    // Each returns false, starting nothing, while a job runs.
    bool browse(const QString &host, int port);
    bool testRead(const QString &host, int port);
    bool readObjects(const QString &host, int port, const QVector<ObjectRead> &reads);
    bool watchReports(const QString &host, int port,
                      const QVector<ReportSubscription> &subscriptions);

public slots:
    // Ends a connect, browse or read at once; a watch is stopped in order.
    void cancel();
    void stop();

signals:
    void busyChanged(bool busy);

private:
    bool start(Job next);
    void onFinished();

    QThread thread;
    OnlineWorker *work = nullptr;
    Job job = Job::None;
};

#endif
