#ifndef STATIONSCOPE_SCLCHECKRUN_H
#define STATIONSCOPE_SCLCHECKRUN_H

// One check of an SCL file on a thread of its own, so that the window keeps
// answering; the result comes back on the thread that started it.

#include "sclchecker.h"

#include <QObject>

#include <atomic>
#include <memory>

class QThread;

class SclCheckRun : public QObject
{
    Q_OBJECT

public:
    explicit SclCheckRun(QObject *parent = nullptr);
    // Ends a check still running and waits for its thread.
    ~SclCheckRun() override;

    // False while another check runs.
    bool start(const QString &fileName, const QString &iedName = QString());
    bool isRunning() const { return thread != nullptr; }
    QString fileName() const { return file; }

signals:
    void finished(const SclCheckResult &result);

private:
    void onThreadFinished();

    QThread *thread = nullptr;
    QString file;
    std::shared_ptr<SclCheckResult> result;
    std::shared_ptr<std::atomic<bool>> cancel;
};

#endif
