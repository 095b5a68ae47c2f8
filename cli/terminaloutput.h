#ifndef STATIONSCOPE_TERMINALOUTPUT_H
#define STATIONSCOPE_TERMINALOUTPUT_H

// Standard output or error as a device that never passes a control character
// on: names and labels come from files and rules, and an ESC or BEL in them
// would clear or ring the engineer's terminal. Such characters are written
// as "\x1B" (C1 controls as "\u009B"); line breaks and tabs pass, and
// carriage returns where the progress bar needs them.

#include <QIODevice>

#include <cstdio>

class TerminalOutput : public QIODevice
{
public:
    enum CarriageReturn { EscapeCarriageReturn, KeepCarriageReturn };

    TerminalOutput(std::FILE *stream, CarriageReturn carriageReturn);

    bool isSequential() const override { return true; }

    // The bytes of UTF-8 text as they reach the terminal.
    static QByteArray escaped(const QByteArray &utf8, bool keepCarriageReturn,
                              bool *pendingLead = nullptr);

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    std::FILE *stream;
    bool keepCarriageReturn;
    bool pendingLead = false; // a 0xC2 at the end of the last write
};

#endif
