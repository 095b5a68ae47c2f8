#ifndef STATIONSCOPE_CLISUPPORT_H
#define STATIONSCOPE_CLISUPPORT_H

// Argument parsing and file checks the subcommands share.

#include <QString>

class QCommandLineParser;
class QStringList;
class QTextStream;

struct SubcommandHelp
{
    QString program;
    QString name;
    QString synopsis;
    QString description;
};

// Parses arguments with the options already added to parser, plus --help.
// False when the command must end: after printing its help (exit code 0) or
// a usage error (exit code 2), or when the count of positional arguments is
// not positionalCount.
bool parseSubcommand(QCommandLineParser &parser, const SubcommandHelp &help,
                     const QStringList &arguments, int positionalCount, QTextStream &out,
                     QTextStream &err, int *exitCode);
// As above, for commands that take minimumCount positional arguments or more.
bool parseSubcommandWithList(QCommandLineParser &parser, const SubcommandHelp &help,
                             const QStringList &arguments, int minimumCount, QTextStream &out,
                             QTextStream &err, int *exitCode);

// The one line of a failed command ("stationscope-cli: message") on err;
// returns the exit code that goes with it.
int printFailure(QTextStream &err, const QString &message);
int printUsageError(QTextStream &err, const QString &message);

// False, with the reason, when path names no file that can be read.
bool isReadableFile(const QString &path, QString *problem);

// Copies a file into an existing one (a staging file), false with the
// reason when a read or a write fails.
bool copyFileContents(const QString &from, const QString &to, QString *problem);

// The line of an SCL file that yields no IED names, with the reason the
// parser gave (the line of the markup it refused, "not a regular file").
QString unreadableScl(const QString &path, const QString &reason);

enum class FileKind { Missing, Project, Workbook, Other };
// Told by the file's first bytes, not its name.
FileKind sniffFileKind(const QString &path);

#endif
