#include "commissioncommand.h"

#include "clisupport.h"
#include "commandlinetool.h"
#include "commissioningpdf.h"
#include "commissioningplan.h"
#include "commissioningrecord.h"
#include "commissioningsession.h"
#include "commissioningstore.h"
#include "commissioningworkbook.h"
#include "iedaddress.h"
#include "projectdocument.h"
#include "stopsignal.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

namespace {

const QString Name = QStringLiteral("commission");
constexpr int DefaultSeconds = 30;

} // namespace

QString CommissionCommand::synopsis()
{
    return QStringLiteral("PROJECT.sclpro [--host HOST[:PORT]] [--seconds N] [--interval MS] "
                          "[--out RECORD.xlsx [--force]] [--tester NAME]");
}

QString CommissionCommand::description()
{
    return QStringLiteral(
               "Runs an unattended commissioning session against the project's IED (its address, "
               "or "
               "--host) for N seconds (default %1): enables the report control blocks the bound "
               "signals arrive by, with a general interrogation, and reads the signals that come "
               "only "
               "by read every MS milliseconds (default %2), never faster than the IED answers. "
               "Every "
               "value seen updates the commissioning record kept in the project; verdicts are left "
               "to "
               "the tester. A command row counts as seen when its control object answers a read of "
               "its status; no control is ever operated. Prints the summary and, with --out, "
               "writes "
               "the hand-over workbook (cover, record, summary; --tester names the tester, the "
               "login "
               "name by default; an existing file is replaced only with --force). Exit code 0 when "
               "every row has been seen, 1 otherwise or when the IED cannot be reached.")
        .arg(DefaultSeconds)
        .arg(CommissioningSession::DefaultPollIntervalMs);
}

int CommissionCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        QStringLiteral("The IED's address instead of the "
                                                       "project's."),
                                        QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption secondsOption(
        QStringLiteral("seconds"),
        QStringLiteral("How long the session lasts (default %1).").arg(DefaultSeconds),
        QStringLiteral("N"));
    const QCommandLineOption intervalOption(
        QStringLiteral("interval"),
        QStringLiteral("The pause between two rounds of reads (default %1).")
            .arg(CommissioningSession::DefaultPollIntervalMs),
        QStringLiteral("MS"));
    const QCommandLineOption outOption(QStringLiteral("out"),
                                       QStringLiteral("Write the hand-over workbook."),
                                       QStringLiteral("RECORD.xlsx"));
    const QCommandLineOption forceOption(QStringLiteral("force"),
                                         QStringLiteral("Replace an existing workbook."));
    const QCommandLineOption testerOption(QStringLiteral("tester"),
                                          QStringLiteral("The tester named on the cover "
                                                         "(default: the login name)."),
                                          QStringLiteral("NAME"));
    parser.addOptions(
        {hostOption, secondsOption, intervalOption, outOption, forceOption, testerOption});
    int exitCode = CommandLineTool::Success;
    if (!parseSubcommand(parser, {CommandLineTool::programName(), Name, synopsis(), description()},
                         arguments, 1, out, err, &exitCode))
        return exitCode;
    const auto usage = [&err](const QString &message) {
        return printUsageError(err, QStringLiteral("commission: ") + message);
    };
    bool ok = true;
    const int seconds =
        parser.isSet(secondsOption) ? parser.value(secondsOption).toInt(&ok) : DefaultSeconds;
    if (!ok || seconds <= 0)
        return usage(QStringLiteral("--seconds takes a number of seconds above 0"));
    const int interval = parser.isSet(intervalOption) ? parser.value(intervalOption).toInt(&ok)
                                                      : CommissioningSession::DefaultPollIntervalMs;
    if (!ok || interval < 0)
        return usage(QStringLiteral("--interval takes milliseconds"));
    const QString outPath = parser.value(outOption);
    if (parser.isSet(forceOption) && outPath.isEmpty())
        return usage(QStringLiteral("--force goes with --out"));
    if (!outPath.isEmpty() && QFileInfo::exists(outPath) && !parser.isSet(forceOption))
        return printFailure(err, QStringLiteral("%1 exists; --force replaces it").arg(outPath));
    QString host;
    int port = 0;
    if (parser.isSet(hostOption) && !splitIedAddress(parser.value(hostOption), &host, &port))
        return usage(QStringLiteral("\"%1\" is no HOST[:PORT]").arg(parser.value(hostOption)));

    const QString projectPath = parser.positionalArguments().at(0);
    ProjectDocument project;
    QString problem;
    if (!project.loadProject(projectPath, &problem, ProjectDocument::ReadWrite))
        return printFailure(err, problem);
    const QString address = parser.isSet(hostOption)
                                ? parser.value(hostOption)
                                : CommissioningCover::projectAddress(project.scl);
    if (!parser.isSet(hostOption) && !splitIedAddress(address, &host, &port))
        return printFailure(
            err, QStringLiteral("%1 names no IED address; give --host").arg(projectPath));
    CommissioningRecord record;
    record.setPoints(CommissioningPlan::fromProject(project.objects, project.datasets,
                                                    project.reports, project.signalList));
    if (record.rowCount() == 0)
        return printFailure(err, QStringLiteral("%1 binds no signal to test").arg(projectPath));
    CommissioningStore store(project.db.get());
    if (!store.load(&record, &problem))
        return printFailure(err, problem);
    record.setDeviceAddress(address);

    CommissioningSession session;
    session.setAddress(host, port);
    session.setPoints(record.points());
    session.setDuration(qint64(seconds) * 1000);
    session.setPollInterval(interval);
    StopSignal stop;
    session.setStopCondition([&stop] { return stop.raised(); });
    int observations = 0;
    QString failure;
    QObject::connect(&session, &CommissioningSession::observed,
                     [&](int row, const QString &value, const QString &quality, bool good,
                         const QDateTime &time) {
                         record.observe(row, value, quality, good, time);
                         ++observations;
                     });
    QObject::connect(&session, &CommissioningSession::status, [&out](const QString &text) {
        out << text << '\n';
        out.flush();
    });
    QObject::connect(
        &session, &CommissioningSession::blockSilent,
        [&out](const QString &, const QString &reason) { out << "Note: " << reason << '\n'; });
    QObject::connect(&session, &CommissioningSession::failed,
                     [&failure](const QString &text) { failure = text; });
    out << "Commissioning " << record.rowCount() << " rows against " << host << " port " << port
        << " for " << seconds << " s\n";
    out.flush();
    session.run();

    // Only what was seen changes the record: a session that saw nothing
    // leaves the project as it was.
    if (observations > 0 && !store.save(record, &problem))
        return printFailure(err, problem);
    out << session.reportCount() << " reports, " << session.readCount() << " reads, "
        << observations << " values seen\n";
    const CommissioningSummary summary = record.summary();
    for (const QString &line : summary.lines())
        out << line << '\n';
    out.flush();
    if (!outPath.isEmpty()) {
        CommissioningCover cover = CommissioningCover::fromProject(project.scl, projectPath);
        cover.address = address;
        cover.tester = parser.isSet(testerOption) ? parser.value(testerOption)
                                                  : CommissioningCover::loginName();
        if (!CommissioningHandOver::write(outPath, record, cover, &problem))
            return printFailure(err, problem);
        out << "Wrote " << outPath << " and " << CommissioningPdf::pathBeside(outPath) << '\n';
        out.flush();
    }
    if (!failure.isEmpty())
        return printFailure(err, failure);
    if (summary.neverSeen > 0)
        return printFailure(
            err,
            QStringLiteral("%1 of %2 rows never seen").arg(summary.neverSeen).arg(summary.rows));
    return CommandLineTool::Success;
}
