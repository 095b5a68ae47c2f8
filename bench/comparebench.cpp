// Checking a project's picks against a parsed IED: 3,000 picks against a
// model of about 20,000 nodes, without a device.

#include "benchsupport.h"
#include "compareengine.h"
#include "comparesource.h"
#include "referencepath.h"
#include "scldataexporter.h"
#include "sclgenerator.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

// The item and everything below it.
int subtreeSize(const QStandardItem *item)
{
    return 1 + SclDataExporter::countNodes(item);
}

QTextStream out(stdout);

void collect(QStandardItem *node, int kind, QList<QStandardItem *> *nodes)
{
    if (node->data(KindRole).isValid() && node->data(KindRole).toInt() == kind)
        nodes->append(node);
    for (int row = 0; row < node->rowCount(); ++row)
        collect(node->child(row), kind, nodes);
}

} // namespace

int main(int argc, char *argv[])
{
    prepareWindowlessBench();
    QApplication app(argc, argv);

    SclGeneratorOptions options;
    options.iedCount = 1;
    options.lnInstances = 18;
    options.templateFamilies = 1;
    int pickCount = 3000;
    int repeat = 5;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString arg = args.at(i);
        if (arg == QLatin1String("--lns") && i + 1 < args.size())
            options.lnInstances = args.at(++i).toInt();
        else if (arg == QLatin1String("--picks") && i + 1 < args.size())
            pickCount = args.at(++i).toInt();
        else if (arg == QLatin1String("--repeat") && i + 1 < args.size())
            repeat = std::max(1, args.at(++i).toInt());
        else {
            out << "usage: comparebench [--lns M] [--picks N] [--repeat R]\n";
            return 2;
        }
    }

    QTemporaryDir dir;
    const QString scd = dir.filePath(QStringLiteral("compare.scd"));
    if (!SclGenerator::write(scd, options)) {
        out << "cannot write " << scd << "\n";
        return 1;
    }
    const QString ied = SclGenerator::iedName(0);
    SclFileSource source(scd, ied, ied);
    ModelSnapshot found;
    QString problem;
    QElapsedTimer timer;
    timer.start();
    if (!source.fetch(&found, &problem)) {
        out << problem << "\n";
        return 1;
    }
    const qint64 fetchMs = timer.elapsed();
    QStandardItemModel *model = source.model();

    // The picks: every report and data set, then data objects and attributes.
    SelectedObjectsModel objects;
    SelectedDatasetsModel dataSets;
    SelectedReportsModel reports;
    QList<QStandardItem *> nodes;
    collect(model->item(0), UnbufferedReportKind, &nodes);
    collect(model->item(0), BufferedReportKind, &nodes);
    for (QStandardItem *node : qAsConst(nodes)) {
        if (reports.rowCount() < pickCount / 10)
            if (reports.addNode(node, node->text(), QString()))
                reports.fillAddedRow(reports.item(reports.rowCount() - 1));
    }
    nodes.clear();
    collect(model->item(0), DataSetKind, &nodes);
    for (QStandardItem *node : qAsConst(nodes)) {
        if (dataSets.rowCount() < pickCount / 10)
            if (dataSets.addNode(node, node->text(), QString()))
                dataSets.fillAddedRow(dataSets.item(dataSets.rowCount() - 1));
    }
    nodes.clear();
    QStandardItem *dataObjects = model->item(0)->child(SclBranch::DataObjectsRow);
    collect(dataObjects, DataObjectKind, &nodes);
    collect(dataObjects, DataAttributeKind, &nodes);
    const int objectCount = pickCount - reports.rowCount() - dataSets.rowCount();
    const int stride = std::max(1, int(nodes.size() / std::max(1, objectCount)));
    for (int i = 0; i < nodes.size() && objects.rowCount() < objectCount; i += stride) {
        const ReferencePath reference = referencePath(nodes.at(i));
        if (objects.addNode(nodes.at(i), reference.path,
                            FunctionalConstraintList().value(reference.constraint)))
            objects.fillAddedRow(objects.item(objects.rowCount() - 1));
    }

    qint64 best = -1;
    int findings = -1;
    int picks = 0;
    for (int i = 0; i < repeat; ++i) {
        timer.restart();
        const ModelSnapshot snapshot = ModelSnapshot::fromProjectRoot(model->item(0));
        const ProjectPicks projectPicks =
            ProjectPicks::fromModels(model, &objects, &dataSets, &reports);
        const ComparisonResult result = CompareEngine::compare(projectPicks, snapshot);
        const qint64 ms = timer.elapsed();
        best = best < 0 ? ms : std::min(best, ms);
        findings = result.findings.size();
        picks = projectPicks.count();
    }
    out << "IED " << ied << ": " << subtreeSize(model->item(0)) << " model nodes, " << picks
        << " picks (" << objects.rowCount() << " objects, " << dataSets.rowCount() << " data sets, "
        << reports.rowCount() << " reports), " << findings << " findings\n";
    out << "parse of the SCL file                 " << fetchMs << " ms\n";
    out << "check (snapshot, picks, compare)      " << best << " ms, best of " << repeat << "\n";
    out.flush();
    return 0;
}
