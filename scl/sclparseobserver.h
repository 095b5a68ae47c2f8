#ifndef STATIONSCOPE_SCLPARSEOBSERVER_H
#define STATIONSCOPE_SCLPARSEOBSERVER_H

// What a parse run tells whoever watches it: the window's dialog, the command
// line's progress line. Called on the parsing thread, at most every few
// milliseconds for progress and status.

#include <QString>

class SclParseObserver
{
public:
    virtual ~SclParseObserver();

    virtual void parseLogged(const QString &line) = 0;
    // value of maximum units of the current pass (file reading: percent).
    virtual void parseProgressed(int value, int maximum) = 0;
    // What is read now: a logical node, a data set, a report control block.
    virtual void parseStatusChanged(const QString &text) = 0;
};

#endif
