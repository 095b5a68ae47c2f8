#ifndef STATIONSCOPE_COMMANDLINETOOL_H
#define STATIONSCOPE_COMMANDLINETOOL_H

// The subcommands of stationscope-cli: argument handling and printing around
// the same library calls the program's menus make.

#include <QString>
#include <QStringList>

#include <functional>

class QTextStream;

class CommandLineTool
{
public:
    enum ExitCode { Success = 0, Failure = 1, UsageError = 2 };

    CommandLineTool(QTextStream &out, QTextStream &err);

    // arguments without the program name: the subcommand and its arguments.
    int run(const QStringList &arguments);
    // Draws progress bars on the error stream (for a terminal).
    void setProgressShown(bool shown) { progressShown = shown; }

    static QString programName() { return QStringLiteral("stationscope-cli"); }

private:
    struct Subcommand
    {
        QString name;
        QString synopsis;
        QString description;
        std::function<int(const QStringList &)> run;
    };
    QList<Subcommand> subcommands() const;
    Subcommand subcommand(const QString &name) const;

    int listIeds(const QStringList &arguments);
    int createProject(const QStringList &arguments);
    int exportProject(const QStringList &arguments);
    int dump(const QStringList &arguments);
    int browseDevice(const QStringList &arguments);
    int serveSimulator(const QStringList &arguments);
    int readValues(const QStringList &arguments);
    int watchReports(const QStringList &arguments);

    int fail(const QString &message);
    int usage(const QString &message);
    void printOverview();
    void showProgress(const QString &label, int percent);
    void endProgress(bool finished = true);

    QTextStream &out;
    QTextStream &err;
    bool progressShown = false;
    QString progressLabel;
    int lastPercent = -1;
};

#endif
