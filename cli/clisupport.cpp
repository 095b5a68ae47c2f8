#include "clisupport.h"

#include "commandlinetool.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <limits>

namespace {

bool parsePositionals(QCommandLineParser &parser, const SubcommandHelp &help,
                      const QStringList &arguments, int minimumCount, int maximumCount,
                      QTextStream &out, QTextStream &err, int *exitCode)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Shows this help."));
    parser.addOption(helpOption);
    parser.setApplicationDescription(help.description);
    const QString usageLine =
        QStringLiteral("Usage: %1 %2 %3").arg(help.program, help.name, help.synopsis);

    // QCommandLineParser wants the program name first.
    if (!parser.parse(QStringList{help.program} + arguments)) {
        err << help.program << ": " << help.name << ": " << parser.errorText() << '\n';
        err.flush();
        *exitCode = 2;
        return false;
    }
    if (parser.isSet(helpOption)) {
        QString text = parser.helpText();
        // Qt's first line names the program only; ours names the command too.
        text = usageLine + text.mid(text.indexOf(QLatin1Char('\n')));
        out << text;
        out.flush();
        *exitCode = 0;
        return false;
    }
    const int count = parser.positionalArguments().size();
    if (count < minimumCount || count > maximumCount) {
        err << help.program << ": " << help.name << ": expected " << help.synopsis
            << " (see --help)\n";
        err.flush();
        *exitCode = 2;
        return false;
    }
    return true;
}

} // namespace

bool parseSubcommand(QCommandLineParser &parser, const SubcommandHelp &help,
                     const QStringList &arguments, int positionalCount, QTextStream &out,
                     QTextStream &err, int *exitCode)
{
    return parsePositionals(parser, help, arguments, positionalCount, positionalCount, out, err,
                            exitCode);
}

bool parseSubcommandWithList(QCommandLineParser &parser, const SubcommandHelp &help,
                             const QStringList &arguments, int minimumCount, QTextStream &out,
                             QTextStream &err, int *exitCode)
{
    return parsePositionals(parser, help, arguments, minimumCount, std::numeric_limits<int>::max(),
                            out, err, exitCode);
}

bool isReadableFile(const QString &path, QString *problem)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *problem = QStringLiteral("%1: no such file").arg(path);
        return false;
    }
    if (!info.isFile()) {
        *problem = QStringLiteral("%1: not a regular file").arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

// Into the open, empty staging file: QFile::copy makes its own target.
bool copyFileContents(const QString &from, const QString &to, QString *problem)
{
    QFile source(from);
    QFile copy(to);
    if (!source.open(QIODevice::ReadOnly)) {
        *problem = source.errorString();
        return false;
    }
    if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *problem = copy.errorString();
        return false;
    }
    while (!source.atEnd()) {
        const QByteArray block = source.read(1 << 20);
        if (block.isEmpty() && source.error() != QFileDevice::NoError) {
            *problem = source.errorString();
            return false;
        }
        if (copy.write(block) != block.size()) {
            *problem = copy.errorString();
            return false;
        }
    }
    if (!copy.flush()) {
        *problem = copy.errorString();
        return false;
    }
    return true;
}

QString unreadableScl(const QString &path, const QString &reason)
{
    const QString line = QStringLiteral("%1 holds no IED or is not a readable SCL file").arg(path);
    return reason.isEmpty() ? line : QStringLiteral("%1 (%2)").arg(line, reason);
}

FileKind sniffFileKind(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileKind::Missing;
    const QByteArray head = file.read(16);
    if (head.startsWith("PK\x03\x04"))
        return FileKind::Workbook;
    // An empty file is an empty SQLite database to SQLite.
    if (head.isEmpty() || head.startsWith(QByteArray("SQLite format 3\0", 16)))
        return FileKind::Project;
    return FileKind::Other;
}

int printFailure(QTextStream &err, const QString &message)
{
    err << CommandLineTool::programName() << ": " << message.simplified() << '\n';
    err.flush();
    return CommandLineTool::Failure;
}

int printUsageError(QTextStream &err, const QString &message)
{
    err << CommandLineTool::programName() << ": " << message << '\n';
    err.flush();
    return CommandLineTool::UsageError;
}
