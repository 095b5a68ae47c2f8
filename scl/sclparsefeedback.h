#ifndef STATIONSCOPE_SCLPARSEFEEDBACK_H
#define STATIONSCOPE_SCLPARSEFEEDBACK_H

// Progress, status and log output of a parse run, passed on to an optional
// observer. Progress and status are throttled: telling them per data object
// would cost more than the parsing itself on large IEDs.

#include <QElapsedTimer>
#include <QString>

class SclParseObserver;

class SclParseFeedback
{
public:
    explicit SclParseFeedback(SclParseObserver *observer);

    bool hasLog() const { return observer != nullptr; }

    void appendLog(const QString &text);
    // A new group of steps: the bar's maximum, its value back to 0.
    void startProgress(int maximum);
    // One unit of work; statusText is built only when someone watches.
    template <typename TextFunction> void step(TextFunction statusText)
    {
        ++value;
        if (observer)
            pendingStatus = statusText();
        if (timer.elapsed() >= IntervalMs)
            flush();
    }
    // Reading a file: done of total bytes, shown in percent.
    void reportFileProgress(qint64 done, qint64 total);
    // Tells the latest values now, e.g. at the end of a pass.
    void flush();

private:
    static constexpr int IntervalMs = 30;

    SclParseObserver *observer;
    QElapsedTimer timer;
    int maximum = 0;
    int value = 0;
    QString pendingStatus;
    QString shownStatus;
};

#endif
