// The steps of the invariants on a large IED (about 400 logical nodes): a
// project made and everything picked through stationscope-cli's commands,
// then a reopen, a save, a workbook round trip and the check and update
// against the project's own SCL file, each step timed.

#include "benchsupport.h"
#include "commandlinetool.h"
#include "headlesspicker.h"
#include "projectdocument.h"
#include "scldataexporter.h"
#include "sclgenerator.h"
#include "sclparser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

QTextStream out(stdout);

// Runs a command of stationscope-cli in this process; its own lines are dropped.
bool runTool(const QStringList &arguments)
{
    QString text;
    QTextStream sink(&text);
    CommandLineTool tool(sink, sink);
    const int exitCode = tool.run(arguments);
    if (exitCode != CommandLineTool::Success) {
        sink.flush();
        out << arguments.join(QLatin1Char(' ')) << " failed (" << exitCode << "):\n"
            << text.right(2000) << '\n';
    }
    return exitCode == CommandLineTool::Success;
}

class StepClock
{
public:
    void report(const QString &step)
    {
        out << step.leftJustified(44) << QString::number(timer.elapsed()).rightJustified(7)
            << " ms\n";
        out.flush();
        timer.restart();
    }
    void restart() { timer.restart(); }

private:
    QElapsedTimer timer;
};

} // namespace

int main(int argc, char *argv[])
{
    prepareWindowlessBench();
    QApplication app(argc, argv);

    SclGeneratorOptions options;
    options.iedCount = 1;
    options.templateFamilies = 1;
    // Seven logical node classes per instance plus LLN0 and LPHD of four
    // devices: 56 instances make 400 logical nodes.
    options.lnInstances = 56;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--lns") && i + 1 < args.size()) {
            options.lnInstances = args.at(++i).toInt();
        } else {
            out << "usage: invariantbench [--lns INSTANCES]\n";
            return 2;
        }
    }

    QTemporaryDir dir;
    const QString scd = dir.filePath(QStringLiteral("invariants.scd"));
    if (!SclGenerator::write(scd, options)) {
        out << "cannot write " << scd << '\n';
        return 1;
    }
    const QString ied = SclGenerator::iedName(0);
    const QString project = dir.filePath(QStringLiteral("project.sclpro"));
    const QString fresh = dir.filePath(QStringLiteral("fresh.sclpro"));
    const QString saved = dir.filePath(QStringLiteral("saved.sclpro"));
    const QString book = dir.filePath(QStringLiteral("book.xlsx"));
    const QString updated = dir.filePath(QStringLiteral("updated.sclpro"));
    out << "IED " << ied << ", " << 7 * options.lnInstances + 8 << " logical nodes, "
        << QFile(scd).size() / 1024 << " KiB of SCL\n";

    StepClock clock;
    clock.restart();
    if (!runTool({"new", scd, "--ied", ied, "--out", project}))
        return 1;
    clock.report(QStringLiteral("new (parse, write the model)"));
    if (!runTool({"pick", project, "--all"}))
        return 1;
    clock.report(QStringLiteral("pick --all (open, pick, save)"));

    // I1: the same picks on a fresh parse, as the window makes them.
    {
        if (!runTool({"new", scd, "--ied", ied, "--out", fresh}))
            return 1;
        clock.restart();
        ProjectDocument document;
        SclParser parser;
        parser.loadIedNames(scd);
        parser.parse(ied, &document.scl);
        HeadlessPicker picker(&document.scl, &document.objects, &document.datasets,
                              &document.reports);
        picker.pick(picker.everyPickable(HeadlessPicker::AllBranches));
        QString problem;
        if (!document.connect(fresh, ProjectDocument::ReadWrite, &problem) ||
            !SclDataExporter().writeSelections(&document.objects, &document.datasets,
                                               &document.reports, document.db.get()))
            return 1;
        out << "  " << document.objects.rowCount() << " data objects, "
            << document.datasets.rowCount() << " data sets, " << document.reports.rowCount()
            << " reports; "
            << SclDataExporter::countNodes(document.objects.invisibleRootItem()) +
                   SclDataExporter::countNodes(document.datasets.invisibleRootItem()) +
                   SclDataExporter::countNodes(document.reports.invisibleRootItem())
            << " selection rows\n";
        clock.report(QStringLiteral("I1 parse, pick everything, save"));
    }

    // I2: reopen and save.
    QFile::copy(project, saved);
    clock.restart();
    {
        ProjectDocument document;
        QString problem;
        if (!document.loadProject(saved, &problem, ProjectDocument::ReadWrite)) {
            out << problem << '\n';
            return 1;
        }
        clock.report(QStringLiteral("I2 reopen"));
        if (!SclDataExporter().writeSelections(&document.objects, &document.datasets,
                                               &document.reports, document.db.get()))
            return 1;
        clock.report(QStringLiteral("I2 save"));
    }

    // I3: a workbook round trip.
    if (!runTool({"export", project, "--out", book}))
        return 1;
    clock.report(QStringLiteral("I3 export (open, write the workbook)"));
    {
        ProjectDocument document;
        if (!SclDataExporter().importWorkbook(book, &document.scl, &document.objects,
                                              &document.datasets, &document.reports, nullptr))
            return 1;
        clock.report(QStringLiteral("I3 import"));
    }

    // I4: the project's own SCL file.
    if (!runTool({"verify", project, "--scl", scd, "--ied", ied}))
        return 1;
    clock.report(QStringLiteral("I4 verify --scl (open, parse, compare)"));
    if (!runTool({"update", project, "--scl", scd, "--ied", ied, "--out", updated}))
        return 1;
    clock.report(QStringLiteral("I4 update --scl (open twice, parse, write)"));
    return 0;
}
