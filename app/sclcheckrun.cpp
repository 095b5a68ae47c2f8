#include "sclcheckrun.h"

#include <QThread>

SclCheckRun::SclCheckRun(QObject *parent) : QObject(parent) {}

SclCheckRun::~SclCheckRun()
{
    if (!thread)
        return;
    cancel->store(true);
    thread->wait();
    delete thread;
}

bool SclCheckRun::start(const QString &fileName, const QString &iedName)
{
    if (thread)
        return false;
    file = fileName;
    result = std::make_shared<SclCheckResult>();
    cancel = std::make_shared<std::atomic<bool>>(false);
    thread = QThread::create([fileName, iedName, result = result, cancel = cancel] {
        SclChecker checker;
        checker.setIed(iedName);
        checker.setCancelFlag(cancel.get());
        *result = checker.check(fileName);
    });
    connect(thread, &QThread::finished, this, &SclCheckRun::onThreadFinished);
    thread->start(QThread::LowPriority);
    return true;
}

void SclCheckRun::onThreadFinished()
{
    thread->deleteLater();
    thread = nullptr;
    emit finished(*result);
}
