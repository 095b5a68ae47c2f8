// The subcommands on projects and workbooks: new, export and dump.

#include "commandlinetool.h"

#include "clisupport.h"
#include "consoleprompt.h"
#include "interruptcleanup.h"
#include "newprojectfile.h"
#include "plcdataimport.h"
#include "projectdocument.h"
#include "scldataexporter.h"
#include "sclparseobserver.h"
#include "sclparser.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "stagedfile.h"
#include "treeprinter.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTextStream>

#include <csignal>
#include <functional>
#include <memory>

namespace {
// The parse's progress as the command line's progress line.
class ParseProgressLine : public SclParseObserver
{
public:
    explicit ParseProgressLine(std::function<void(int)> show) : show(std::move(show)) {}
    void parseLogged(const QString &) override {}
    void parseProgressed(int value, int maximum) override
    {
        show(maximum > 0 ? int(qint64(value) * 100 / maximum) : 0);
    }
    void parseStatusChanged(const QString &) override {}

private:
    std::function<void(int)> show;
};
} // namespace

int CommandLineTool::createProject(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption iedOption(QStringLiteral("ied"),
                                       QStringLiteral("The IED to make the project of."),
                                       QStringLiteral("NAME"));
    const QCommandLineOption outOption(QStringLiteral("out"),
                                       QStringLiteral("The project file to create."),
                                       QStringLiteral("PROJECT.sclpro"));
    const QCommandLineOption signalsOption(
        QStringLiteral("signals"), QStringLiteral("A signal list to import into the project."),
        QStringLiteral("LIST.csv"));
    parser.addOptions({iedOption, outOption, signalsOption});
    const Subcommand command = subcommands().at(1);
    int exitCode = Success;
    if (!parseSubcommand(parser,
                         {programName(), command.name, command.synopsis, command.description},
                         arguments, 1, out, err, &exitCode))
        return exitCode;
    if (!parser.isSet(iedOption) || !parser.isSet(outOption))
        return usage(QStringLiteral("new: --ied and --out are required (see --help)"));

    const QString sclFile = parser.positionalArguments().at(0);
    const QString iedName = parser.value(iedOption);
    const QString projectPath = parser.value(outOption);
    const QString signalFile = parser.value(signalsOption);
    QString problem;
    if (QFileInfo::exists(projectPath))
        return fail(QStringLiteral("%1 exists already and was left as it is; choose another name")
                        .arg(projectPath));
    if (!isReadableFile(sclFile, &problem))
        return fail(problem);
    SignalListFile signalList;
    if (!signalFile.isEmpty()) {
        if (!isReadableFile(signalFile, &problem))
            return fail(problem);
        // Refused before anything is created: a project with the placeholder
        // alone would look like a list that was imported.
        signalList = PlcDataImport::readFile(signalFile);
        if (!signalList.readable)
            return fail(QStringLiteral("%1: %2").arg(signalFile, signalList.errorString));
        if (signalList.signalFields.isEmpty())
            return fail(QStringLiteral("%1 holds no signal: no line has the four fields "
                                       "number;address;label;type separated by \";\"")
                            .arg(signalFile));
    }

#ifdef SIGXFSZ
    // Past the file size limit a write should fail with its reason, not end
    // the process.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    ConsolePrompt prompt;
    const QString parsing = QStringLiteral("Parsing %1").arg(iedName);
    ParseProgressLine parseProgress([&](int percent) { showProgress(parsing, percent); });
    SclParser sclParser(&parseProgress);
    const QStringList names = sclParser.loadIedNames(sclFile);
    if (names.isEmpty())
        return fail(unreadableScl(sclFile, sclParser.loadError()));
    if (!names.contains(iedName))
        return fail(QStringLiteral("%1 has no IED named \"%2\" (it has %3)")
                        .arg(sclFile, iedName, names.join(QStringLiteral(", "))));

    ProjectDocument document;
    // As the new project dialog parses: no selection reacts meanwhile.
    document.scl.setNodeChangedSuppressed(true);
    const bool parsed = sclParser.parse(iedName, &document.scl);
    document.scl.setNodeChangedSuppressed(false);
    if (!parsed)
        return fail(QStringLiteral("IED \"%1\" of %2 has no logical node to make a project of")
                        .arg(iedName, sclFile));
    endProgress();

    if (!signalFile.isEmpty())
        PlcDataImport().showSignals(signalList, &document.signalList, nullptr);
    SclDataExporter writer;
    QObject::connect(&writer, &SclDataExporter::progressUpdated, [&](int percent) {
        showProgress(QStringLiteral("Writing project"), percent);
    });
    const NewProjectFile::Outcome outcome = NewProjectFile::write(
        projectPath, &document.scl, signalFile.isEmpty() ? nullptr : &document.signalList, &writer,
        &problem);
    endProgress();
    if (outcome == NewProjectFile::Outcome::NotCreated)
        return fail(
            QStringLiteral("%1: cannot create the project file (%2)").arg(projectPath, problem));
    if (outcome == NewProjectFile::Outcome::NotWritten)
        return fail(
            QStringLiteral("%1: %2; nothing was left under that name").arg(projectPath, problem));
    const int signalCount = signalList.signalFields.size();
    out << "Created " << projectPath << " from IED " << iedName << " of " << sclFile << " ("
        << SclDataExporter::countNodes(document.scl.invisibleRootItem()) << " model nodes";
    if (!signalFile.isEmpty())
        out << ", " << signalCount << " signals";
    if (signalList.skippedLines > 0) {
        out << "; " << signalList.skippedLines
            << " lines of the signal list skipped, the first is line "
            << signalList.firstSkippedLine;
    }
    out << ")\n";
    out.flush();
    return Success;
}

int CommandLineTool::exportProject(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption outOption(QStringLiteral("out"),
                                       QStringLiteral("The workbook to write."),
                                       QStringLiteral("BOOK.xlsx"));
    const QCommandLineOption forceOption(QStringLiteral("force"),
                                         QStringLiteral("Replaces an existing workbook."));
    parser.addOptions({outOption, forceOption});
    const Subcommand command = subcommands().at(2);
    int exitCode = Success;
    if (!parseSubcommand(parser,
                         {programName(), command.name, command.synopsis, command.description},
                         arguments, 1, out, err, &exitCode))
        return exitCode;
    if (!parser.isSet(outOption))
        return usage(QStringLiteral("export: --out is required (see --help)"));
    const QString projectPath = parser.positionalArguments().at(0);
    const QString workbookPath = parser.value(outOption);
    if (QFileInfo::exists(workbookPath) && !parser.isSet(forceOption))
        return fail(
            QStringLiteral("%1 exists already; add --force to replace it").arg(workbookPath));

    ConsolePrompt prompt;
    ProjectDocument document;
    QString problem;
    if (!document.loadProject(projectPath, &problem))
        return fail(problem);
    // Everything the export writes goes to a folder of its own, then to a
    // staging file beside the target, moved into place when complete: an
    // interrupted or failed export leaves neither a half workbook nor
    // temporary files, and an older workbook stays until the new one is whole.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return fail(QStringLiteral("%1: no temporary folder (%2)")
                        .arg(workbookPath, scratch.errorString()));
    const int scratchToken = InterruptCleanup::addFolder(scratch.path());
    StagedFile staged(workbookPath);
    if (!staged.create(&problem, StagedFile::Target::Replaced)) {
        InterruptCleanup::forget(scratchToken);
        return fail(QStringLiteral("%1: %2").arg(workbookPath, problem));
    }
    const int stagedToken = InterruptCleanup::addFile(staged.stagingPath());
    const auto forget = [&]() {
        InterruptCleanup::forget(stagedToken);
        InterruptCleanup::forget(scratchToken);
    };
    const QByteArray temporaryFolder = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(scratch.path()));
    const QString written = scratch.filePath(QStringLiteral("export.xlsx"));
    SclDataExporter exporter;
    exporter.setWorkbookProject(QFileInfo(projectPath).fileName());
    QObject::connect(&exporter, &SclDataExporter::progressUpdated,
                     [&](int percent) { showProgress(QStringLiteral("Exporting"), percent); });
    const bool exported = exporter.exportWorkbook(written, &document.scl, &document.objects,
                                                  &document.datasets, &document.reports);
    if (temporaryFolder.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", temporaryFolder);
    endProgress();
    if (!exported) {
        forget();
        return fail(prompt.lastProblem());
    }
    if (!copyFileContents(written, staged.stagingPath(), &problem)) {
        // The file system's own words where it has them ("File too large").
        const QString cause = staged.writeProblem();
        forget();
        return fail(QStringLiteral("%1 cannot be written: %2; nothing was left under that name")
                        .arg(workbookPath, cause.isEmpty() ? problem : cause));
    }
    const bool committed = staged.commit(&problem);
    forget();
    if (!committed)
        return fail(QStringLiteral("%1: %2").arg(workbookPath, problem));
    out << "Exported " << projectPath << " to " << workbookPath << '\n';
    out.flush();
    return Success;
}

int CommandLineTool::dump(const QStringList &arguments)
{
    QCommandLineParser parser;
    const Subcommand command = subcommands().at(3);
    int exitCode = Success;
    if (!parseSubcommand(parser,
                         {programName(), command.name, command.synopsis, command.description},
                         arguments, 1, out, err, &exitCode))
        return exitCode;
    const QString path = parser.positionalArguments().at(0);
    QString problem;
    if (!isReadableFile(path, &problem))
        return fail(problem);

    ConsolePrompt prompt;
    ProjectDocument document;
    const FileKind kind = sniffFileKind(path);
    if (kind == FileKind::Workbook) {
        SclDataExporter importer;
        if (!importer.importWorkbook(path, &document.scl, &document.objects, &document.datasets,
                                     &document.reports, nullptr))
            return fail(prompt.lastProblem());
    } else if (kind == FileKind::Project) {
        if (!document.loadProject(path, &problem))
            return fail(problem);
    } else {
        return fail(QStringLiteral("%1 is neither a project file nor a workbook").arg(path));
    }

    TreePrinter printer(out);
    out << (kind == FileKind::Workbook ? "Workbook " : "Project ") << path << '\n';
    out << "SCL model\n";
    printer.printTree(document.scl, 1);
    const QList<QPair<QString, SelectedItemsModel *>> selections{
        {QStringLiteral("Data objects"), &document.objects},
        {QStringLiteral("Data sets"), &document.datasets},
        {QStringLiteral("Reports"), &document.reports}};
    for (const auto &selection : selections) {
        out << selection.first << " ("
            << SclDataExporter::countNodes(selection.second->invisibleRootItem()) << ")\n";
        printer.printTable(*selection.second, 1);
    }
    if (kind == FileKind::Project) {
        out << "Signals (" << document.signalList.rowCount() << ")\n";
        printer.printRows(document.signalList, 1);
    }
    out.flush();
    return Success;
}
