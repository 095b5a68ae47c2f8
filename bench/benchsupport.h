#ifndef STATIONSCOPE_BENCHSUPPORT_H
#define STATIONSCOPE_BENCHSUPPORT_H

// What every benchmark program does around its measurements.

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>

// Debug lines of the libraries (the parser's, the store's) would bury the
// figures; warnings still go to standard error.
inline void quietBenchMessages()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type != QtDebugMsg)
            fprintf(stderr, "%s\n", qPrintable(text));
    });
}

// Before the application object of a program that needs one for its models:
// no display, quiet libraries.
inline void prepareWindowlessBench()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    quietBenchMessages();
}

// The shortest of two times in milliseconds, -1 standing for none yet.
inline qint64 keepBest(qint64 best, qint64 ms)
{
    return best < 0 ? ms : std::min(best, ms);
}

// The best of repeat runs of a job that returns its own time in milliseconds.
template <typename F> qint64 bestOf(int repeat, F run)
{
    qint64 result = -1;
    for (int i = 0; i < repeat; ++i)
        result = keepBest(result, run());
    return result;
}

#endif
