#ifndef STATIONSCOPE_CONTROLTESTSESSION_H
#define STATIONSCOPE_CONTROLTESTSESSION_H

// The work behind one Test control dialog: a connection to the device on a
// thread of its own (the blocking client never holds up the window), the
// object's control model read first, then each command the engineer asks
// for, once, after the device's address was confirmed in this run of the
// program. Outcomes go to the dialog's log.

#include "controltestdialog.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QThread>

#include <memory>

class ControlObjectClient;
class IedConnection;

// Lives on the session's thread.
class ControlWorker : public QObject
{
    Q_OBJECT

public:
    enum Command { Select, Operate, Cancel };

    ControlWorker(const QString &host, int port, const QString &reference);
    ~ControlWorker() override;
    // Thread-safe: ends a wait in progress.
    void stop();

public slots:
    void load();
    void run(int command, const ControlTestSettings &settings);

signals:
    void loaded(int ctlModel, const QString &valueKind);
    void logLine(const QString &line);
    void outcome(ControlOutcome outcome, const QString &text);
    void finished();

private:
    bool connectAndLoad();
    ControlOutcome operateOutcome(bool written) const;

    QString host;
    int port;
    QString reference;
    QMutex connectionLock;
    bool stopped = false;
    std::unique_ptr<IedConnection> connection;
    std::unique_ptr<ControlObjectClient> control;
};

class ControlTestSession : public QObject
{
    Q_OBJECT

public:
    // confirmedAddresses: the devices the engineer agreed to command in this
    // run; shared by every session, extended here.
    ControlTestSession(ControlTestDialog *dialog, const QString &host, int port,
                       const QString &reference, QSet<QString> *confirmedAddresses);
    ~ControlTestSession() override;

    static QString address(const QString &host, int port);

private:
    void request(ControlWorker::Command command);

    QPointer<ControlTestDialog> dialog;
    QString deviceAddress;
    QSet<QString> *confirmed;
    QThread thread;
    ControlWorker *worker;
};

#endif
