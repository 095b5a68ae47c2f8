#ifndef STATIONSCOPE_COMMISSIONINGSESSION_H
#define STATIONSCOPE_COMMISSIONINGSESSION_H

// A commissioning test against the live IED: subscribes to the report control
// blocks the points arrive by, polls the points that only come by read one
// after another, and tells every value seen. It disables what it enabled on
// the way out and never operates a control. run() blocks: the window moves
// the session to a thread of its own, the command line calls it directly.

#include "commissioningpoint.h"
#include "commissioningrecord.h"

#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class IedConnection;

class CommissioningSession : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultPollIntervalMs = 2000;

    explicit CommissioningSession(QObject *parent = nullptr);
    ~CommissioningSession() override;

    void setAddress(const QString &host, int port);
    // Rows of observed() are positions in this list.
    void setPoints(const CommissioningPoints &points);
    // The pause between two rounds of reads; a round never starts before the
    // previous one has been answered.
    void setPollInterval(int ms);
    // How long run() lasts; negative (the default) until stop().
    void setDuration(qint64 ms);
    void setTimeouts(int connectMs, int requestMs);
    // Asked between requests and while waiting: true ends run() as stop()
    // does (the command line's Ctrl+C).
    void setStopCondition(const std::function<bool()> &condition);

    // Counts of the last run, for the caller's summary.
    int reportCount() const { return reports.load(); }
    int readCount() const { return reads.load(); }

    // Forgets an earlier stop() or cancel(), before the session runs again.
    void arm();
    // With true, run() waits after identified() until proceed() or stop():
    // the caller decides whether the device is the record's.
    void setAwaitIdentity(bool await);
    // From any thread: go on with the device identified.
    void proceed();

public slots:
    void run();
    // From any thread: ends run() in order (blocks disabled, association
    // released) once the request in progress is answered.
    void stop();
    // From any thread: ends run() at once, dropping the connection; the
    // device frees the blocks of a lost association itself.
    void cancel();

signals:
    void status(const QString &text);
    // Once connected, before anything is enabled or read: the address and
    // the name plate of the device (whatever of it could be read).
    void identified(const CommissioningDevice &device);
    // A block enabled (picked as the points name it).
    void blockEnabled(const QString &block);
    // A block the device would not give (in use by another client, refused,
    // no such block).
    void blockRefused(const QString &block, const QString &reason);
    void observed(int row, const QString &value, const QString &quality, bool good,
                  const QDateTime &time);
    // A block that delivered no report during the session (told at its end).
    void blockSilent(const QString &block, const QString &reason);
    // The session could not run or its connection ended.
    void failed(const QString &problem);
    // Every run() ends with this, whatever happened.
    void finished();

private:
    class Run;
    void setActive(IedConnection *connection);
    CommissioningDevice identify(IedConnection &connection) const;
    bool awaitProceed(IedConnection &connection);

    QString host;
    int port = 102;
    CommissioningPoints points;
    int pollIntervalMs = DefaultPollIntervalMs;
    qint64 durationMs = -1;
    int connectTimeoutMs = -1;
    int requestTimeoutMs = -1;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> proceedGiven{false};
    bool awaitIdentity = false;
    std::function<bool()> stopCondition;
    std::atomic<int> reports{0};
    std::atomic<int> reads{0};
    QMutex activeMutex;
    IedConnection *active = nullptr;
};

#endif
