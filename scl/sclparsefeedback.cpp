#include "sclparsefeedback.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

SclParseFeedback::SclParseFeedback(QPlainTextEdit *log, QProgressBar *progress, QLabel *status)
    : log(log), progress(progress), status(status)
{
    timer.start();
}

void SclParseFeedback::appendLog(const QString &text)
{
    if (log)
        log->appendPlainText(text);
}

void SclParseFeedback::startProgress(int maximum)
{
    this->maximum = maximum;
    value = 0;
}

void SclParseFeedback::reportFileProgress(qint64 done, qint64 total)
{
    if (!progress || timer.elapsed() < IntervalMs)
        return;
    maximum = 100;
    value = total > 0 ? int(qBound<qint64>(0, done * 100 / total, 100)) : 0;
    flush();
}

void SclParseFeedback::flush()
{
    if (status && !pendingStatus.isNull() && status->text() != pendingStatus)
        status->setText(pendingStatus);
    if (progress) {
        if (progress->maximum() != maximum)
            progress->setMaximum(maximum);
        progress->setValue(qMin(value, maximum));
        QCoreApplication::processEvents();
    }
    timer.restart();
}
