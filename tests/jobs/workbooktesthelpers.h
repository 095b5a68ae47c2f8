#ifndef STATIONSCOPE_WORKBOOKTESTHELPERS_H
#define STATIONSCOPE_WORKBOOKTESTHELPERS_H

// Picks bound for a workbook round trip, the export and import calls, and the
// python3-openpyxl cross-checks the workbook tests share.

#include "projecttesthelpers.h"
#include "scldataexporter.h"
#include "selectionpicks.h"

#include <QProcess>
#include <QSignalSpy>

inline void compareLines(const QStringList &actual, const QStringList &expected)
{
    for (int i = 0; i < qMin(actual.size(), expected.size()); ++i)
        QCOMPARE(actual.at(i), expected.at(i));
    QCOMPARE(actual.size(), expected.size());
}

inline bool haveOpenpyxl()
{
    return QProcess::execute(QStringLiteral("/usr/bin/python3"),
                             {QStringLiteral("-c"), QStringLiteral("import openpyxl")}) == 0;
}

inline QString runPython(const QString &script, const QStringList &arguments)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral("-c"), script} + arguments);
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        return QStringLiteral("FAILED: ") + QString::fromUtf8(python.readAllStandardError());
    return QString::fromUtf8(python.readAllStandardOutput()).trimmed();
}

inline void pickAndBindAll(SelectedItemsModel &scl, Selections &s)
{
    QStandardItem *ied = scl.item(0);
    visit(ied->child(SclBranch::DataObjectsRow), [&](QStandardItem *node) {
        const QString constraint = constraintAbove(node);
        if (kindOf(node) == DataObjectKind && kindOf(node->parent()) == FunctionalConstraintKind &&
            (constraint == "CO" || constraint == "ST" || constraint == "MX"))
            pickObject(s, node);
    });
    visit(ied->child(SclBranch::DataSetsRow), [&](QStandardItem *node) {
        if (kindOf(node) == DataSetKind)
            pickDataset(s, node);
    });
    visit(ied->child(SclBranch::ReportsRow), [&](QStandardItem *node) {
        if (kindOf(node) == UnbufferedReportKind || kindOf(node) == BufferedReportKind)
            pickReport(s, node);
    });
    QVERIFY(s.objects.rowCount() > 5);

    // Every other attribute bound, at every level: some structures keep only
    // a bound member, some leaves go.
    int counter = 0;
    std::function<void(QStandardItem *, int)> bind = [&](QStandardItem *parent, int column) {
        for (int row = 0; row < parent->rowCount(); ++row) {
            QStandardItem *cell = parent->child(row, column);
            if (kindOf(parent->child(row)) == DataAttributeKind && cell->isEnabled() &&
                counter++ % 2 == 0)
                cell->setText(QStringLiteral("Sig \"%1\" 'ü'").arg(counter));
            bind(parent->child(row), column);
        }
    };
    bind(s.objects.invisibleRootItem(), SelectedObjectsModel::DataSignalColumn);
    bind(s.datasets.invisibleRootItem(), SelectedDatasetsModel::ResultSignalColumn);
    for (int row = 0; row < s.objects.rowCount(); ++row) {
        s.objects.item(row, SelectedObjectsModel::ReadTrigSignalColumn)
            ->setText(QStringLiteral("RT%1").arg(row));
        if (s.objects.item(row)->data(GroupRole).toString() == "CO" && row % 2 == 0) {
            s.objects.item(row, SelectedObjectsModel::WriteTrigSignalColumn)->setText("WT");
            s.objects.item(row, SelectedObjectsModel::CtlModelColumn)->setText("SBOes");
            s.objects.item(row, SelectedObjectsModel::SelectionTypeColumn)->setText("With Val");
        }
    }
    s.datasets.item(0, SelectedDatasetsModel::StatusSignalColumn)->setText("DS status");
    s.reports.item(0, SelectedReportsModel::EnableSignalColumn)->setText("EN1");
    s.reports.item(0, SelectedReportsModel::ConfRevCheckColumn)->setData(true, Qt::DisplayRole);
    s.reports.item(1, SelectedReportsModel::TriggerTypeColumn)->setText("27");
}

inline bool exportTo(SelectedItemsModel &scl, const QString &path, Selections &s)
{
    SclDataExporter exporter;
    QSignalSpy finished(&exporter, &SclDataExporter::progressFinished);
    const bool written = exporter.exportWorkbook(path, &scl, &s.objects, &s.datasets, &s.reports);
    return written && finished.count() == 1;
}

inline bool importFrom(const QString &path, SelectedItemsModel &target, Selections &s)
{
    SclDataExporter importer;
    return importer.importWorkbook(path, &target, &s.objects, &s.datasets, &s.reports, nullptr);
}

#endif
