#include "pickcommands.h"

#include "clisupport.h"
#include "commandlinetool.h"
#include "consoleprompt.h"
#include "headlesspicker.h"
#include "projectdocument.h"
#include "scldataexporter.h"
#include "signalbinder.h"

#include <QCommandLineParser>
#include <QFile>
#include <QSet>
#include <QStandardItem>
#include <QStringList>
#include <QTextStream>

#include <algorithm>

namespace {

const QString Pick = QStringLiteral("pick");
const QString Bind = QStringLiteral("bind");
// A rules file of many bad lines is reported, not echoed.
constexpr int MaxListedProblems = 100;

bool saveSelections(ProjectDocument &document)
{
    return SclDataExporter().writeSelections(&document.objects, &document.datasets,
                                             &document.reports, document.db.get());
}

QString notSaved(const QString &projectPath)
{
    return QStringLiteral("%1: the selections could not be written; the file was left as it was")
        .arg(projectPath);
}

} // namespace

QString PickCommands::pickSynopsis()
{
    return QStringLiteral("PROJECT.sclpro [--objects | --datasets | --reports] (--all | QUERY...)");
}

QString PickCommands::pickDescription()
{
    return QStringLiteral(
        "Picks every node of the project's SCL model that a query matches, as a double-click on "
        "it would, and saves the selections. QUERY takes the find field's words: text or a "
        "regular expression on a node's own name, fc:, ln:, ld:. --all picks every data object "
        "under every functional constraint, every data set and every report. --objects, "
        "--datasets and --reports limit the picks to their branches. Prints what was picked, "
        "skipped and refused. Exit code 0 when everything matched is picked or was picked "
        "already, 1 when a query matched nothing or a node was refused.");
}

QString PickCommands::bindSynopsis()
{
    return QStringLiteral("PROJECT.sclpro RULES.csv");
}

QString PickCommands::bindDescription()
{
    return QStringLiteral(
        "Binds signals of the project's signal list to picks from lines REFERENCE;COLUMN;LABEL: "
        "the pick's reference as the selection shows it (\"LD/LN.DO [FC]\" tells a data object's "
        "constraint) or the find field's words, the header text of a signal column, and a label "
        "or NoRef. Lines that name an unknown pick, column or label are reported with their "
        "numbers (the first 100, then a count); then nothing is written and the exit code is "
        "1.");
}

int PickCommands::pick(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption objectsOption(QStringLiteral("objects"),
                                           QStringLiteral("Picks data objects and attributes."));
    const QCommandLineOption datasetsOption(QStringLiteral("datasets"),
                                            QStringLiteral("Picks data sets."));
    const QCommandLineOption reportsOption(QStringLiteral("reports"),
                                           QStringLiteral("Picks report control blocks."));
    const QCommandLineOption allOption(QStringLiteral("all"),
                                       QStringLiteral("Picks everything that can be picked."));
    parser.addOptions({objectsOption, datasetsOption, reportsOption, allOption});
    int exitCode = CommandLineTool::Success;
    if (!parseSubcommandWithList(
            parser, {CommandLineTool::programName(), Pick, pickSynopsis(), pickDescription()},
            arguments, 1, out, err, &exitCode))
        return exitCode;
    const QString projectPath = parser.positionalArguments().at(0);
    const QStringList queries = parser.positionalArguments().mid(1);
    const bool all = parser.isSet(allOption);
    if (all == !queries.isEmpty())
        return printUsageError(err,
                               QStringLiteral("pick: give either --all or QUERY (see --help)"));
    int branches = 0;
    if (parser.isSet(objectsOption))
        branches |= HeadlessPicker::ObjectsBranch;
    if (parser.isSet(datasetsOption))
        branches |= HeadlessPicker::DataSetsBranch;
    if (parser.isSet(reportsOption))
        branches |= HeadlessPicker::ReportsBranch;
    if (branches == 0)
        branches = HeadlessPicker::AllBranches;

    ConsolePrompt prompt;
    ProjectDocument document;
    QString problem;
    if (!document.loadProject(projectPath, &problem, ProjectDocument::ReadWrite))
        return printFailure(err, problem);
    HeadlessPicker picker(&document.scl, &document.objects, &document.datasets, &document.reports);
    QList<QStandardItem *> nodes;
    QStringList unmatched;
    if (all) {
        nodes = picker.everyPickable(branches);
    } else {
        QSet<QStandardItem *> seen;
        QVector<QList<QStandardItem *>> matchedOfEach;
        QString failedQuery;
        if (!picker.matchingNodesOfEach(queries, branches, &matchedOfEach, &failedQuery, &problem))
            return printUsageError(
                err, QStringLiteral("pick: \"%1\" is no query: %2").arg(failedQuery, problem));
        for (int i = 0; i < queries.size(); ++i) {
            const QList<QStandardItem *> &matched = matchedOfEach.at(i);
            if (matched.isEmpty())
                unmatched.append(queries.at(i));
            for (QStandardItem *node : matched) {
                if (!seen.contains(node)) {
                    seen.insert(node);
                    nodes.append(node);
                }
            }
        }
    }

    const QVector<HeadlessPicker::PickResult> results = picker.pick(nodes);
    int counts[3] = {0, 0, 0};
    for (const HeadlessPicker::PickResult &result : results) {
        ++counts[int(result.outcome)];
        switch (result.outcome) {
        case HeadlessPicker::Outcome::Picked:
            out << "picked: " << result.reference << '\n';
            break;
        case HeadlessPicker::Outcome::AlreadyPicked:
            out << "skipped: " << result.reference << ": already picked\n";
            break;
        case HeadlessPicker::Outcome::Refused:
            out << "refused: " << result.reference << ": " << result.reason << '\n';
            break;
        }
    }
    for (const QString &query : unmatched)
        out << "no match: " << query << '\n';
    const int picked = counts[int(HeadlessPicker::Outcome::Picked)];
    const int refused = counts[int(HeadlessPicker::Outcome::Refused)];
    out << QStringLiteral("%1 of %2 matched nodes picked, %3 already picked, %4 refused\n")
               .arg(picked)
               .arg(results.size())
               .arg(counts[int(HeadlessPicker::Outcome::AlreadyPicked)])
               .arg(refused);
    out.flush();
    if (picked > 0 && !saveSelections(document))
        return printFailure(err, notSaved(projectPath));
    if (!unmatched.isEmpty())
        return printFailure(err, QStringLiteral("%1 of %2 queries matched nothing")
                                     .arg(unmatched.size())
                                     .arg(queries.size()));
    if (refused > 0)
        return printFailure(err, QStringLiteral("%1 matched nodes cannot be picked").arg(refused));
    return CommandLineTool::Success;
}

int PickCommands::bind(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    int exitCode = CommandLineTool::Success;
    if (!parseSubcommand(parser,
                         {CommandLineTool::programName(), Bind, bindSynopsis(), bindDescription()},
                         arguments, 2, out, err, &exitCode))
        return exitCode;
    const QString projectPath = parser.positionalArguments().at(0);
    const QString rulesPath = parser.positionalArguments().at(1);
    QString problem;
    if (!isReadableFile(rulesPath, &problem))
        return printFailure(err, problem);
    QFile rulesFile(rulesPath);
    if (!rulesFile.open(QIODevice::ReadOnly))
        return printFailure(err, QStringLiteral("%1: %2").arg(rulesPath, rulesFile.errorString()));
    QString text = QString::fromUtf8(rulesFile.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    ConsolePrompt prompt;
    ProjectDocument document;
    if (!document.loadProject(projectPath, &problem, ProjectDocument::ReadWrite))
        return printFailure(err, problem);
    QVector<BindingProblem> problems;
    const QVector<BindingRule> rules = SignalBinder::readRules(text, &problems);
    if (rules.isEmpty() && problems.isEmpty())
        return printFailure(err, QStringLiteral("%1 holds no rule").arg(rulesPath));
    SignalBinder binder(&document.objects, &document.datasets, &document.reports,
                        &document.signalList);
    const QVector<SignalBinder::Binding> bindings = binder.apply(rules, &problems);
    if (!problems.isEmpty()) {
        std::stable_sort(
            problems.begin(), problems.end(),
            [](const BindingProblem &a, const BindingProblem &b) { return a.line < b.line; });
        const int listed = qMin(problems.size(), MaxListedProblems);
        for (int i = 0; i < listed; ++i)
            out << rulesPath << ':' << problems.at(i).line << ": " << problems.at(i).text << '\n';
        if (problems.size() > listed)
            out << "(" << problems.size() - listed << " more lines failed, not listed)\n";
        out.flush();
        return printFailure(err, QStringLiteral("%1: %2 lines failed; nothing was written to %3")
                                     .arg(rulesPath)
                                     .arg(problems.size())
                                     .arg(projectPath));
    }
    for (const SignalBinder::Binding &binding : bindings)
        out << "bound: " << binding.reference << " / " << binding.column << " = " << binding.label
            << '\n';
    out.flush();
    if (!saveSelections(document))
        return printFailure(err, notSaved(projectPath));
    out << bindings.size() << " cells bound from " << rules.size() << " rules\n";
    out.flush();
    return CommandLineTool::Success;
}
