#include "verifycommands.h"

#include "clisupport.h"
#include "commandlinetool.h"
#include "compareengine.h"
#include "comparesource.h"
#include "consoleprompt.h"
#include "iec61850dbmanager.h"
#include "iedaddress.h"
#include "liveiedsource.h"
#include "projectdocument.h"
#include "projectpicks.h"
#include "projectupdate.h"
#include "scldataexporter.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "stagedfile.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QStandardItemModel>
#include <QStringList>
#include <QTextStream>

#include <csignal>
#include <memory>

namespace {

const QString Verify = QStringLiteral("verify");
const QString Update = QStringLiteral("update");

ProjectPicks picksOf(const ProjectDocument &document)
{
    return ProjectPicks::fromModels(&document.scl, &document.objects, &document.datasets,
                                    &document.reports);
}

struct CompareOptions
{
    QCommandLineOption scl{QStringLiteral("scl"), QStringLiteral("The SCL file to check against."),
                           QStringLiteral("FILE")};
    QCommandLineOption ied{QStringLiteral("ied"),
                           QStringLiteral("The IED of the file (by default the project's)."),
                           QStringLiteral("NAME")};
};

void printFindings(const CompareFindings &findings, QTextStream &out)
{
    for (const CompareFinding &finding : findings)
        out << findingLine(finding) << '\n';
}

QString summary(const CompareFindings &findings, int pickCount)
{
    int counts[3] = {0, 0, 0};
    for (const CompareFinding &finding : findings)
        ++counts[int(finding.severity)];
    return QStringLiteral("%1 picks checked: %2 errors, %3 warnings, %4 infos")
        .arg(pickCount)
        .arg(counts[0])
        .arg(counts[1])
        .arg(counts[2]);
}

} // namespace

QString VerifyCommands::verifySynopsis()
{
    return QStringLiteral("PROJECT.sclpro (--host HOST[:PORT] | --scl FILE.scd [--ied NAME])");
}

QString VerifyCommands::verifyDescription()
{
    return QStringLiteral(
        "Checks the picks of a project against the live IED at HOST (port 102 unless given) or "
        "one IED of an SCL file and prints each difference on a line: severity, pick, what "
        "differs, expected and found. Exit code 0 when no difference is an error, 1 otherwise.");
}

QString VerifyCommands::updateSynopsis()
{
    return QStringLiteral("PROJECT.sclpro --scl FILE.scd [--ied NAME] [--out NEW.sclpro] "
                          "[--force] [--removed LIST.csv]");
}

QString VerifyCommands::updateDescription()
{
    return QStringLiteral(
        "Moves a project to a newer SCL file: replaces its model with the new parse, keeps "
        "every pick that still resolves with its bindings and settings and removes the others, "
        "listing them. Writes NEW.sclpro with --out; the project itself only with --force. "
        "Nothing changes when the write fails.");
}

int VerifyCommands::verify(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const CompareOptions options;
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        QStringLiteral("The live IED to check against."),
                                        QStringLiteral("HOST[:PORT]"));
    parser.addOptions({options.scl, options.ied, hostOption});
    int exitCode = CommandLineTool::Success;
    if (!parseSubcommand(
            parser, {CommandLineTool::programName(), Verify, verifySynopsis(), verifyDescription()},
            arguments, 1, out, err, &exitCode))
        return exitCode;
    if (parser.isSet(options.scl) == parser.isSet(hostOption))
        return printUsageError(err,
                               QStringLiteral("verify: give either --host or --scl (see --help)"));
    if (parser.isSet(hostOption) && parser.isSet(options.ied))
        return printUsageError(err, QStringLiteral("verify: --ied goes with --scl only"));
    QString host;
    int port = 0;
    if (parser.isSet(hostOption) && !splitIedAddress(parser.value(hostOption), &host, &port))
        return printUsageError(
            err, QStringLiteral("verify: \"%1\" is no HOST[:PORT]").arg(parser.value(hostOption)));

    ConsolePrompt prompt;
    ProjectDocument document;
    QString problem;
    if (!document.loadProject(parser.positionalArguments().at(0), &problem))
        return printFailure(err, problem);
    const ProjectPicks picks = picksOf(document);
    std::unique_ptr<CompareSource> source;
    if (host.isEmpty())
        source = std::make_unique<SclFileSource>(parser.value(options.scl),
                                                 parser.value(options.ied), picks.iedName);
    else
        source = std::make_unique<LiveIedSource>(host, port, picks.iedName,
                                                 LiveIedSource::devicesOf(picks));
    ModelSnapshot found;
    if (!source->fetch(&found, &problem))
        return printFailure(err, problem);
    const ComparisonResult result = CompareEngine::compare(picks, found);
    printFindings(result.findings, out);
    out << summary(result.findings, picks.count()) << '\n';
    out.flush();
    return result.hasErrors() ? CommandLineTool::Failure : CommandLineTool::Success;
}

int VerifyCommands::update(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const CompareOptions options;
    const QCommandLineOption outOption(QStringLiteral("out"),
                                       QStringLiteral("The updated project to write."),
                                       QStringLiteral("NEW.sclpro"));
    const QCommandLineOption forceOption(
        QStringLiteral("force"),
        QStringLiteral("Writes the project in place, or replaces an existing --out file."));
    const QCommandLineOption removedOption(
        QStringLiteral("removed"), QStringLiteral("Saves the list of removed picks as CSV."),
        QStringLiteral("LIST.csv"));
    parser.addOptions({options.scl, options.ied, outOption, forceOption, removedOption});
    int exitCode = CommandLineTool::Success;
    if (!parseSubcommand(
            parser, {CommandLineTool::programName(), Update, updateSynopsis(), updateDescription()},
            arguments, 1, out, err, &exitCode))
        return exitCode;
    if (!parser.isSet(options.scl))
        return printUsageError(err, QStringLiteral("update: --scl is required (see --help)"));
    const bool force = parser.isSet(forceOption);
    if (!parser.isSet(outOption) && !force)
        return printUsageError(err, QStringLiteral("update: give --out NEW.sclpro, or --force to "
                                                   "update the project in place"));

    const QString projectPath = parser.positionalArguments().at(0);
    const QString target = parser.isSet(outOption) ? parser.value(outOption) : projectPath;
    // The same file under another name is the project itself.
    const bool copy =
        QFileInfo(target).absoluteFilePath() != QFileInfo(projectPath).absoluteFilePath() &&
        (!QFileInfo::exists(target) ||
         QFileInfo(target).canonicalFilePath() != QFileInfo(projectPath).canonicalFilePath());
    if (!copy && !force)
        return printUsageError(err,
                               QStringLiteral("update: --out names the project itself; add --force "
                                              "to update it in place"));
    QString problem;
    if (!isReadableFile(projectPath, &problem))
        return printFailure(err, problem);
    if (copy && QFileInfo::exists(target) && !force)
        return printFailure(
            err, QStringLiteral("%1 exists already; add --force to replace it").arg(target));

    ConsolePrompt prompt;
    QString projectIed;
    {
        ProjectDocument original;
        if (!original.loadProject(projectPath, &problem))
            return printFailure(err, problem);
        projectIed = picksOf(original).iedName;
    }
    SclFileSource source(parser.value(options.scl), parser.value(options.ied), projectIed);
    ModelSnapshot found;
    if (!source.fetch(&found, &problem))
        return printFailure(err, problem);
#ifdef SIGXFSZ
    // Past the file size limit the write should fail with its reason.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // A copy is updated under a staging name and appears under its own only
    // when complete; --force lets it take the place of an older file.
    std::unique_ptr<StagedFile> staged;
    QString written = projectPath;
    if (copy) {
        if (QFileInfo::exists(target) && !QFile::remove(target))
            return printFailure(err, QStringLiteral("%1 cannot be replaced").arg(target));
        staged = std::make_unique<StagedFile>(target);
        if (!staged->create(&problem))
            return printFailure(err, QStringLiteral("%1: %2").arg(target, problem));
        if (!copyFileContents(projectPath, staged->stagingPath(), &problem)) {
            // The file system's own words where it has them ("File too large").
            const QString cause = staged->writeProblem();
            return printFailure(
                err, QStringLiteral("%1 cannot be written: %2; nothing was left under that name")
                         .arg(target, cause.isEmpty() ? problem : cause));
        }
        written = staged->stagingPath();
    }
    const auto notWritten = [&]() {
        // The file system's own words where it has them ("File too large").
        if (!copy) {
            const QString cause = StagedFile::writeProblemBeside(target);
            return QStringLiteral("%1 could not be written%2; it was left as it was")
                .arg(target, cause.isEmpty() ? QString() : QStringLiteral(": ") + cause);
        }
        const QString cause = staged->writeProblem();
        return QStringLiteral("%1 could not be written%2; nothing was left under that name")
            .arg(target, cause.isEmpty() ? QString() : QStringLiteral(": ") + cause);
    };

    QVector<RemovedPick> removed;
    QVector<RemovedPick> dropped;
    int pickCount = 0;
    {
        ProjectDocument document;
        if (!document.loadProject(written, &problem, ProjectDocument::ReadWrite))
            return printFailure(err, problem);
        const ProjectPicks picks = picksOf(document);
        pickCount = picks.count();
        const ComparisonResult result = CompareEngine::compare(picks, found);
        printFindings(result.findings, out);
        ProjectUpdate update(source.model(), found, &document.objects, &document.datasets,
                             &document.reports);
        removed = update.applyToSelections(picks, result);
        if (!update.writeProject(document.db.get()))
            return printFailure(err, notWritten());
        dropped = update.droppedBindings();
    }
    if (staged && !staged->commit(&problem))
        return printFailure(err, QStringLiteral("%1: %2").arg(target, problem));
    for (const RemovedPick &pick : removed)
        out << "removed: " << ProjectUpdate::pickKindText(pick.kind) << ' ' << pick.reference
            << ": " << pick.reason << '\n';
    for (const RemovedPick &binding : dropped)
        out << "binding dropped: " << ProjectUpdate::pickKindText(binding.kind) << ' '
            << binding.reference << ": " << binding.reason << '\n';
    if (parser.isSet(removedOption) &&
        !ProjectUpdate::writeRemovedCsv(parser.value(removedOption), removed + dropped, &problem))
        return printFailure(err, problem);
    out << "Updated " << target << " from " << source.description() << ": "
        << pickCount - removed.size() << " picks kept, " << removed.size() << " removed\n";
    out.flush();
    return CommandLineTool::Success;
}
