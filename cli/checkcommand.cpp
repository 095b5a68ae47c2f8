#include "checkcommand.h"

#include "clisupport.h"
#include "commandlinetool.h"
#include "sclchecker.h"

#include <QCommandLineParser>
#include <QTextStream>

QString CheckCommand::synopsis()
{
    return QStringLiteral("FILE.scd [--ied NAME] [--format text|csv]");
}

QString CheckCommand::description()
{
    return QStringLiteral(
        "Checks an SCL file (all IEDs, or one) for what would break or mislead the integration "
        "into an RTU acting as client: unresolved references, addresses, report control blocks "
        "against the limits of a live association, controls, the file itself. Prints one "
        "finding a line (severity, line, reference, consequence), then a count per severity. "
        "Exit code 0 without errors, 1 with errors, 2 when the file cannot be read at all.");
}

int CheckCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption iedOption(QStringLiteral("ied"),
                                       QStringLiteral("Only this IED of the file."),
                                       QStringLiteral("NAME"));
    const QCommandLineOption formatOption(QStringLiteral("format"),
                                          QStringLiteral("text (default) or csv."),
                                          QStringLiteral("FORMAT"), QStringLiteral("text"));
    parser.addOptions({iedOption, formatOption});
    int exitCode = CommandLineTool::Success;
    if (!parseSubcommand(
            parser,
            {CommandLineTool::programName(), QStringLiteral("check"), synopsis(), description()},
            arguments, 1, out, err, &exitCode))
        return exitCode;
    const QString format = parser.value(formatOption);
    if (format != QLatin1String("text") && format != QLatin1String("csv"))
        return printUsageError(
            err, QStringLiteral("check: --format is text or csv, not \"%1\"").arg(format));

    SclChecker checker;
    checker.setIed(parser.value(iedOption));
    const SclCheckResult result = checker.check(parser.positionalArguments().at(0));
    if (!result.readable) {
        printFailure(err, result.problem);
        return CommandLineTool::UsageError;
    }
    if (parser.isSet(iedOption) && !result.iedNames.contains(parser.value(iedOption))) {
        printFailure(
            err, QStringLiteral("check: the file has no IED \"%1\"").arg(parser.value(iedOption)));
        return CommandLineTool::UsageError;
    }
    const bool csv = format == QLatin1String("csv");
    if (csv)
        out << sclFindingCsvHeader() << '\n';
    for (const SclFinding &finding : result.findings)
        out << (csv ? sclFindingCsvLine(finding) : sclFindingLine(finding)) << '\n';
    const SclSeverityCounts counts = countSeverities(result.findings);
    const QString summary = QStringLiteral("%1 errors, %2 warnings, %3 infos")
                                .arg(counts.errors)
                                .arg(counts.warnings)
                                .arg(counts.infos);
    // The CSV stays a table: its count goes to the error stream.
    (csv ? err : out) << summary << '\n';
    out.flush();
    err.flush();
    return counts.errors > 0 ? CommandLineTool::Failure : CommandLineTool::Success;
}
