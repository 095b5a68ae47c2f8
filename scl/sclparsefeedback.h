#ifndef STATIONSCOPE_SCLPARSEFEEDBACK_H
#define STATIONSCOPE_SCLPARSEFEEDBACK_H

// Progress, status and log output of a parse run. Every widget is optional.
// Widget updates and event processing are throttled: repainting per data
// object would cost more than the parsing itself on large IEDs.

#include <QElapsedTimer>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QProgressBar;

class SclParseFeedback
{
public:
    SclParseFeedback(QPlainTextEdit *log, QProgressBar *progress, QLabel *status);

    bool hasLog() const { return log != nullptr; }
    bool hasProgress() const { return progress != nullptr; }
    bool hasStatus() const { return status != nullptr; }

    void appendLog(const QString &text);
    // A new group of steps: the bar's maximum, its value back to 0.
    void startProgress(int maximum);
    // One unit of work; statusText is built only when a status label is set.
    template <typename TextFunction> void step(TextFunction statusText)
    {
        ++value;
        if (status)
            pendingStatus = statusText();
        if (timer.elapsed() >= IntervalMs)
            flush();
    }
    // Reading a file: done of total bytes, shown in percent.
    void reportFileProgress(qint64 done, qint64 total);
    // Shows the latest values now, e.g. at the end of a pass.
    void flush();

private:
    static constexpr int IntervalMs = 30;

    QPlainTextEdit *log;
    QProgressBar *progress;
    QLabel *status;
    QElapsedTimer timer;
    int maximum = 0;
    int value = 0;
    QString pendingStatus;
};

#endif
