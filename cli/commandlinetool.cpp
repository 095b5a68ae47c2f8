#include "commandlinetool.h"

#include "checkcommand.h"
#include "clisupport.h"
#include "commissioncommand.h"
#include "controlcommands.h"
#include "pickcommands.h"
#include "sclparser.h"
#include "verifycommands.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

CommandLineTool::CommandLineTool(QTextStream &out, QTextStream &err) : out(out), err(err) {}

QList<CommandLineTool::Subcommand> CommandLineTool::subcommands() const
{
    auto *self = const_cast<CommandLineTool *>(this);
    return {
        {QStringLiteral("ieds"), QStringLiteral("FILE.scd"),
         QStringLiteral("Lists the IED names of an SCL file, one a line, in file order."),
         [self](const QStringList &a) {
             return self->listIeds(a);
         }},
        {QStringLiteral("new"),
         QStringLiteral("FILE.scd --ied NAME --out PROJECT.sclpro [--signals LIST.csv]"),
         QStringLiteral("Creates a project from one IED of an SCL file, as File > New Project "
                        "does, and imports a signal list into it when one is given. An existing "
                        "file is never overwritten."),
         [self](const QStringList &a) {
             return self->createProject(a);
         }},
        {QStringLiteral("export"), QStringLiteral("PROJECT.sclpro --out BOOK.xlsx [--force]"),
         QStringLiteral("Opens a project as the program does and exports its connection and "
                        "selections to a workbook. An existing workbook is replaced only with "
                        "--force."),
         [self](const QStringList &a) {
             return self->exportProject(a);
         }},
        {QStringLiteral("dump"), QStringLiteral("PROJECT.sclpro|BOOK.xlsx"),
         QStringLiteral("Loads a project (as Open Project does) or a workbook (as the workbook "
                        "import does) and prints the connection, the model, the selections with "
                        "their signal bindings and the signal list as indented trees."),
         [self](const QStringList &a) {
             return self->dump(a);
         }},
        {QStringLiteral("pick"), PickCommands::pickSynopsis(), PickCommands::pickDescription(),
         [self](const QStringList &a) {
             return PickCommands::pick(a, self->out, self->err);
         }},
        {QStringLiteral("bind"), PickCommands::bindSynopsis(), PickCommands::bindDescription(),
         [self](const QStringList &a) {
             return PickCommands::bind(a, self->out, self->err);
         }},
        {QStringLiteral("browse"), QStringLiteral("HOST[:PORT] [--timeout MS]"),
         QStringLiteral("Browses a live IED over MMS as the Connect button does (port 102 "
                        "unless given) and prints the info screen's lines, then the complete "
                        "tree."),
         [self](const QStringList &a) {
             return self->browseDevice(a);
         }},
        {QStringLiteral("serve"),
         QStringLiteral(
             "FILE.scd [--ied NAME] [--port N] [--bind ADDR] [--simulate] [--step MS | --rate N] "
             "[--refuse-controls N%]"),
         QStringLiteral("Runs a simulated IED serving the model of one IED of an SCL file over "
                        "MMS until interrupted, printing a line per association. It serves the "
                        "file's configured values; with --simulate, measured values change and "
                        "status values toggle every step, so that reports flow; "
                        "--refuse-controls refuses that share of control commands."),
         [self](const QStringList &a) {
             return self->serveSimulator(a);
         }},
        {QStringLiteral("read"), QStringLiteral("HOST[:PORT] REF[FC]... [--timeout MS]"),
         QStringLiteral("Reads values of a live IED over MMS and prints each with its type, "
                        "quality and time stamp decoded; a data object with all its attributes, "
                        "one a line. Without [FC], every constraint the object has."),
         [self](const QStringList &a) {
             return self->readValues(a);
         }},
        {QStringLiteral("watch"),
         QStringLiteral(
             "HOST[:PORT] RCBREF... [--seconds N] [--gi] [--trgops LIST] "
             "[--optflds LIST] [--intgpd MS] [--buftm MS] [--purge | --resume ENTRYID] | "
             "PROJECT.sclpro [--host HOST[:PORT]] [--seconds N] [--purge]"),
         QStringLiteral("Reserves and enables report control blocks of a live IED (written "
                        "LD/LLN0$BR$name or LD/LLN0.BR.name) and prints every report: received "
                        "time, block, RptID, sequence number, then a line per included member "
                        "with value, quality, time stamp and reason. With a project: every "
                        "picked report, with the project's settings and IED address, and the "
                        "signal bound to each member. The blocks are disabled on the way out, "
                        "also at Ctrl+C. Old reports a buffered block hands over from its buffer "
                        "first are marked from-buffer."),
         [self](const QStringList &a) {
             return self->watchReports(a);
         }},
        {QStringLiteral("operate"), ControlCommands::operateSynopsis(),
         ControlCommands::operateDescription(),
         [self](const QStringList &a) {
             return ControlCommands::operate(a, self->out, self->err);
         }},
        {QStringLiteral("verify"), VerifyCommands::verifySynopsis(),
         VerifyCommands::verifyDescription(),
         [self](const QStringList &a) {
             return VerifyCommands::verify(a, self->out, self->err);
         }},
        {QStringLiteral("check"), CheckCommand::synopsis(), CheckCommand::description(),
         [self](const QStringList &a) {
             return CheckCommand::run(a, self->out, self->err);
         }},
        {QStringLiteral("update"), VerifyCommands::updateSynopsis(),
         VerifyCommands::updateDescription(),
         [self](const QStringList &a) {
             return VerifyCommands::update(a, self->out, self->err);
         }},
        {QStringLiteral("commission"), CommissionCommand::synopsis(),
         CommissionCommand::description(),
         [self](const QStringList &a) {
             return CommissionCommand::run(a, self->out, self->err);
         }},
    };
}

CommandLineTool::Subcommand CommandLineTool::subcommand(const QString &name) const
{
    for (const Subcommand &command : subcommands()) {
        if (command.name == name)
            return command;
    }
    return {};
}

int CommandLineTool::run(const QStringList &arguments)
{
    const QString first = arguments.value(0);
    if (first.isEmpty() || first == QLatin1String("--help") || first == QLatin1String("-h") ||
        first == QLatin1String("help")) {
        printOverview();
        return first.isEmpty() ? UsageError : Success;
    }
    for (const Subcommand &subcommand : subcommands()) {
        if (subcommand.name == first)
            return subcommand.run(arguments.mid(1));
    }
    return usage(QStringLiteral("unknown command \"%1\"; try --help").arg(first));
}

void CommandLineTool::printOverview()
{
    out << "Usage: " << programName() << " COMMAND [ARGUMENTS]\n\n"
        << "Batch engineering with Stationscope's libraries, without a display.\n\n"
        << "Commands:\n";
    for (const Subcommand &subcommand : subcommands())
        out << "  " << subcommand.name << ' ' << subcommand.synopsis << '\n';
    out << "\nEach command takes --help. Exit code 0 on success; otherwise one line on the "
           "error stream names the problem.\n";
    out.flush();
}

int CommandLineTool::fail(const QString &message)
{
    endProgress(false);
    return printFailure(err, message);
}

int CommandLineTool::usage(const QString &message)
{
    return printUsageError(err, message);
}

void CommandLineTool::showProgress(const QString &label, int percent)
{
    if (!progressShown)
        return;
    percent = qBound(0, percent, 100);
    if (label == progressLabel && percent == lastPercent)
        return;
    if (label != progressLabel && !progressLabel.isEmpty())
        err << '\n';
    progressLabel = label;
    lastPercent = percent;
    constexpr int Width = 30;
    const int filled = percent * Width / 100;
    err << '\r' << label.leftJustified(24) << " [" << QString(filled, QLatin1Char('#'))
        << QString(Width - filled, QLatin1Char('-')) << "] "
        << QString::number(percent).rightJustified(3) << '%';
    err.flush();
}

void CommandLineTool::endProgress(bool finished)
{
    // A job's last step may fall short of 100 %; a finished bar should not.
    if (finished && progressShown && !progressLabel.isEmpty())
        showProgress(progressLabel, 100);
    if (progressShown && !progressLabel.isEmpty()) {
        err << '\n';
        err.flush();
    }
    progressLabel.clear();
    lastPercent = -1;
}

int CommandLineTool::listIeds(const QStringList &arguments)
{
    QCommandLineParser parser;
    const SubcommandHelp help{programName(), QStringLiteral("ieds"), QStringLiteral("FILE.scd"),
                              subcommands().at(0).description};
    int exitCode = Success;
    if (!parseSubcommand(parser, help, arguments, 1, out, err, &exitCode))
        return exitCode;
    const QString file = parser.positionalArguments().at(0);
    QString problem;
    if (!isReadableFile(file, &problem))
        return fail(problem);
    SclParser sclParser;
    const QStringList names = sclParser.loadIedNames(file);
    if (names.isEmpty())
        return fail(unreadableScl(file, sclParser.loadError()));
    // As check says: IED elements of another document are no SCL file's IEDs.
    const QString root = sclParser.documentElementName();
    if (root != QLatin1String("SCL") && !root.endsWith(QLatin1String(":SCL")))
        return fail(unreadableScl(
            file, QStringLiteral("not an SCL file: the document element is <%1>").arg(root)));
    for (const QString &name : names)
        out << name << '\n';
    out.flush();
    return Success;
}
