#ifndef STATIONSCOPE_PARSEPROGRESSRELAY_H
#define STATIONSCOPE_PARSEPROGRESSRELAY_H

// Hands what a parse on another thread tells to the window's widgets as
// queued signals, so the parse never runs the window's event loop.

#include "sclparseobserver.h"

#include <QObject>

class ParseProgressRelay : public QObject, public SclParseObserver
{
    Q_OBJECT

public:
    using QObject::QObject;

    void parseLogged(const QString &line) override { emit logged(line); }
    void parseProgressed(int value, int maximum) override { emit progressed(value, maximum); }
    void parseStatusChanged(const QString &text) override { emit statusChanged(text); }

signals:
    void logged(const QString &line);
    void progressed(int value, int maximum);
    void statusChanged(const QString &text);
};

#endif
