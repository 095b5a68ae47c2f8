// Makes seeds the corpora cannot take from files in the repository: a project
// file with a model, selections and a signal list, and the workbook exported
// from it. Usage: fuzzseeds SCLFILE IED SIGNALS.csv OUTDIR

#include "fuzzentries.h"
#include "iec61850dbmanager.h"
#include "plcdataimport.h"
#include "referencepath.h"
#include "scldataexporter.h"
#include "sclmodel.h"
#include "sclparser.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "sqliteconnector.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardItem>
#include <QTextStream>

#include <functional>
#include <memory>

namespace {

int kindOf(const QStandardItem *node)
{
    return node->data(KindRole).isValid() ? node->data(KindRole).toInt() : -1;
}

void visit(QStandardItem *node, const std::function<void(QStandardItem *)> &action)
{
    action(node);
    for (int row = 0; row < node->rowCount(); ++row)
        visit(node->child(row), action);
}

struct Selections
{
    SelectedObjectsModel objects;
    SelectedDatasetsModel datasets;
    SelectedReportsModel reports;

    Selections()
    {
        QObject::connect(&datasets, &SelectedDatasetsModel::datasetUpdate, &reports,
                         &SelectedReportsModel::onDataSetUpdate);
    }
};

// A few picks of every kind, bound to signals, as an engineer makes them.
void pick(QStandardItem *ied, Selections &s)
{
    visit(ied->child(SclBranch::DataObjectsRow), [&](QStandardItem *node) {
        if (s.objects.rowCount() >= 6 || kindOf(node) != DataObjectKind ||
            kindOf(node->parent()) != FunctionalConstraintKind)
            return;
        const ReferencePath reference = referencePath(node);
        if (s.objects.addNode(node, reference.path,
                              FunctionalConstraintList().value(reference.constraint)))
            s.objects.fillAddedRow(s.objects.item(s.objects.rowCount() - 1));
    });
    visit(ied->child(SclBranch::DataSetsRow), [&](QStandardItem *node) {
        if (kindOf(node) == DataSetKind && s.datasets.rowCount() < 2 &&
            s.datasets.addNode(node, node->text(), QString()))
            s.datasets.fillAddedRow(s.datasets.item(s.datasets.rowCount() - 1));
    });
    visit(ied->child(SclBranch::ReportsRow), [&](QStandardItem *node) {
        const int kind = kindOf(node);
        if ((kind == UnbufferedReportKind || kind == BufferedReportKind) &&
            s.reports.rowCount() < 3 && s.reports.addNode(node, node->text(), QString())) {
            s.reports.fillAddedRow(s.reports.item(s.reports.rowCount() - 1));
            s.reports.onDataSetUpdate(s.datasets.datasetNames());
        }
    });
    for (int row = 0; row < s.objects.rowCount(); ++row) {
        if (QStandardItem *cell = s.objects.item(row, SelectedObjectsModel::ReadTrigSignalColumn))
            cell->setText(QStringLiteral("RT%1").arg(row));
    }
    if (s.datasets.rowCount() > 0)
        s.datasets.item(0, SelectedDatasetsModel::StatusSignalColumn)
            ->setText(QStringLiteral("DS"));
    if (s.reports.rowCount() > 0)
        s.reports.item(0, SelectedReportsModel::EnableSignalColumn)->setText(QStringLiteral("EN"));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    fuzzInitialize();
    const QStringList arguments = application.arguments();
    QTextStream err(stderr);
    if (arguments.size() != 5) {
        err << "usage: fuzzseeds SCLFILE IED SIGNALS.csv OUTDIR\n";
        return 2;
    }
    const QString sclFile = arguments.at(1);
    const QString iedName = arguments.at(2);
    const QDir out(arguments.at(4));
    const QString projectPath = out.filePath(QStringLiteral("seed.sclpro"));
    const QString workbookPath = out.filePath(QStringLiteral("seed.xlsx"));
    QFile::remove(projectPath);
    QFile::remove(workbookPath);

    SelectedItemsModel scl;
    SclParser parser;
    if (!parser.loadIedNames(sclFile).contains(iedName) || !parser.parse(iedName, &scl)) {
        err << "fuzzseeds: cannot parse " << iedName << " of " << sclFile << "\n";
        return 1;
    }
    Selections selections;
    pick(scl.item(0), selections);
    QStandardItemModel signalList;
    PlcDataImport().importSignals(arguments.at(3), &signalList, nullptr);

    bool written = false;
    {
        auto connector = std::make_unique<SqliteConnector>();
        connector->setDatabaseName(projectPath);
        if (connector->open()) {
            Iec61850DbManager db(connector.get());
            db.createSelectionTables();
            db.createModelTables();
            SclDataExporter writer;
            written = writer.writeSclModel(&scl, &db) &&
                      writer.writeSelections(&selections.objects, &selections.datasets,
                                             &selections.reports, &db) &&
                      writer.writeSignals(&signalList, &db);
            // Small seeds mutate faster.
            db.executeStatement(QStringLiteral("VACUUM;"));
        }
    }
    SclDataExporter exporter;
    if (!written || !exporter.exportWorkbook(workbookPath, &scl, &selections.objects,
                                             &selections.datasets, &selections.reports)) {
        err << "fuzzseeds: cannot write the seeds into " << out.path() << "\n";
        return 1;
    }
    err << "fuzzseeds: " << selections.objects.rowCount() << " data objects, "
        << selections.datasets.rowCount() << " data sets, " << selections.reports.rowCount()
        << " reports\n";
    return 0;
}
