#include "sclparsefeedback.h"

#include "sclparseobserver.h"

SclParseObserver::~SclParseObserver() = default;

SclParseFeedback::SclParseFeedback(SclParseObserver *observer) : observer(observer)
{
    timer.start();
}

void SclParseFeedback::appendLog(const QString &text)
{
    if (observer)
        observer->parseLogged(text);
}

void SclParseFeedback::startProgress(int maximum)
{
    this->maximum = maximum;
    value = 0;
}

void SclParseFeedback::reportFileProgress(qint64 done, qint64 total)
{
    if (!observer || timer.elapsed() < IntervalMs)
        return;
    maximum = 100;
    value = total > 0 ? int(qBound<qint64>(0, done * 100 / total, 100)) : 0;
    flush();
}

void SclParseFeedback::flush()
{
    if (observer) {
        if (!pendingStatus.isNull() && pendingStatus != shownStatus) {
            shownStatus = pendingStatus;
            observer->parseStatusChanged(shownStatus);
        }
        observer->parseProgressed(qMin(value, maximum), maximum);
    }
    timer.restart();
}
