#include "commissioncommand.h"

#include "clisupport.h"
#include "commandlinetool.h"
#include "commissioningcoverfill.h"
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
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

namespace {

const QString Name = QStringLiteral("commission");
constexpr int DefaultSeconds = 30;

} // namespace

QString CommissionCommand::synopsis()
{
    return QStringLiteral("PROJECT.sclpro [--host HOST[:PORT]] [--seconds N] [--interval MS] "
                          "[--out RECORD.xlsx [--force]] [--tester NAME] [--witness NAME] "
                          "[--new-record | --same-record]");
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
               "name by default, --witness the witness; an existing file is replaced only with "
               "--force); a session that observed nothing writes none. Blocks the IED refuses "
               "(in use by another client) are named on standard output and in the record. A "
               "record is of one device: against another one (address, IED name or "
               "configuration revision) the session does not start unless --new-record keeps "
               "the record as history in the project and starts a new one, or --same-record "
               "goes on with it. Exit code 0 when every row has been seen, 1 otherwise, when "
               "the IED cannot be reached or the session ended early.")
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
    const QCommandLineOption witnessOption(QStringLiteral("witness"),
                                           QStringLiteral("The witness named on the cover."),
                                           QStringLiteral("NAME"));
    const QCommandLineOption newRecordOption(
        QStringLiteral("new-record"),
        QStringLiteral("Against another device than the record's: keep the record as history "
                       "and start a new one."));
    const QCommandLineOption sameRecordOption(
        QStringLiteral("same-record"),
        QStringLiteral("Against another device than the record's: go on with the record."));
    parser.addOptions({hostOption, secondsOption, intervalOption, outOption, forceOption,
                       testerOption, witnessOption, newRecordOption, sameRecordOption});
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
    if (parser.isSet(newRecordOption) && parser.isSet(sameRecordOption))
        return usage(QStringLiteral("--new-record and --same-record exclude each other"));
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

    CommissioningSession session;
    session.setAddress(host, port);
    session.setPoints(record.points());
    session.setDuration(qint64(seconds) * 1000);
    session.setPollInterval(interval);
    session.setAwaitIdentity(true);
    StopSignal stop;
    session.setStopCondition([&stop] { return stop.raised(); });
    int observations = 0;
    QString failure;
    QString declined;
    bool connected = false;
    QObject::connect(
        &session, &CommissioningSession::identified, [&](const CommissioningDevice &device) {
            connected = true;
            CommissioningDevice tested = device;
            tested.iedName = CommissioningCover::fromProject(project.scl, projectPath).ied;
            const CommissioningSummary before = record.summary();
            const QStringList differences = record.device().differencesFrom(tested);
            const bool recorded =
                before.neverSeen < before.rows || before.passed + before.failed > 0;
            if (recorded && !differences.isEmpty()) {
                out << "The device is not the record's: " << differences.join(QStringLiteral(", "))
                    << '\n';
                if (parser.isSet(newRecordOption)) {
                    if (!store.archive(record, &problem)) {
                        declined = problem;
                        session.stop();
                        return;
                    }
                    record.startOver();
                    out << "New record; the earlier one is kept in the project\n";
                } else if (parser.isSet(sameRecordOption)) {
                    record.markDeviceChange();
                } else {
                    declined =
                        QStringLiteral("the record is of another device; --new-record keeps it as "
                                       "history and starts a new one, --same-record goes on "
                                       "with it");
                    session.stop();
                    return;
                }
            }
            record.setDevice(tested);
            record.sessionStarted();
            session.proceed();
        });
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
    QObject::connect(&session, &CommissioningSession::blockRefused,
                     [&](const QString &block, const QString &reason) {
                         record.setBlockRefused(block, reason);
                         out << "Refused: " << reason << '\n';
                         out.flush();
                     });
    QObject::connect(&session, &CommissioningSession::blockEnabled, &record,
                     &CommissioningRecord::setBlockDelivered);
    QObject::connect(&session, &CommissioningSession::failed,
                     [&failure](const QString &text) { failure = text; });
    out << "Commissioning " << record.rowCount() << " rows against " << host << " port " << port
        << " for " << seconds << " s\n";
    out.flush();
    QElapsedTimer elapsed;
    elapsed.start();
    session.run();
    const double ranSeconds = elapsed.elapsed() / 1000.0;

    if (!declined.isEmpty())
        return printFailure(err, declined);
    if (!connected) {
        // Nothing happened on the device: the project stays as it was.
        record.sessionEnded(CommissioningSessionOutcome::NotConnected, failure);
        out << "Not connected: nothing observed (" << failure << ")\n";
        out << "No hand-over written: nothing observed\n";
        out.flush();
        return printFailure(err, QStringLiteral("not connected: %1").arg(failure));
    }
    if (!failure.isEmpty()) {
        record.sessionEnded(CommissioningSessionOutcome::EndedEarly, failure);
        out << "Session ended early after " << QString::number(ranSeconds, 'f', 1)
            << " s: " << failure << '\n';
    } else {
        record.sessionEnded(CommissioningSessionOutcome::Ran);
    }
    if (!store.save(record, &problem))
        return printFailure(err, problem);
    out << session.reportCount() << " reports, " << session.readCount() << " reads, "
        << observations << " values seen\n";
    const CommissioningSummary summary = record.summary();
    for (const QString &line : summary.lines())
        out << line << '\n';
    out.flush();
    if (!outPath.isEmpty()) {
        if (summary.neverSeen == summary.rows && summary.passed + summary.failed == 0) {
            out << "No hand-over written: nothing observed\n";
        } else {
            CommissioningCover cover =
                CommissioningCoverFill::fromRecord(record, project.scl, projectPath);
            cover.tester = parser.isSet(testerOption) ? parser.value(testerOption)
                                                      : CommissioningCover::loginName();
            cover.witness = parser.value(witnessOption);
            if (!CommissioningHandOver::write(outPath, record, cover, &problem))
                return printFailure(err, problem);
            out << "Wrote " << outPath << " and " << CommissioningPdf::pathBeside(outPath) << '\n';
        }
        out.flush();
    }
    if (!failure.isEmpty())
        return printFailure(err, QStringLiteral("the session ended early after %1 s: %2")
                                     .arg(QString::number(ranSeconds, 'f', 1), failure));
    if (!summary.refusedBlocks.isEmpty())
        return printFailure(err, QStringLiteral("blocks refused: %1")
                                     .arg(summary.refusedBlocks.join(QStringLiteral("; "))));
    if (summary.neverSeen > 0)
        return printFailure(
            err,
            QStringLiteral("%1 of %2 rows never seen").arg(summary.neverSeen).arg(summary.rows));
    return CommandLineTool::Success;
}
