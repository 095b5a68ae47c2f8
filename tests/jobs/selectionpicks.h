#ifndef STATIONSCOPE_SELECTIONPICKS_H
#define STATIONSCOPE_SELECTIONPICKS_H

// Picks made the way the tree container makes them on a double-click.

#include "projecttesthelpers.h"
#include "referencepath.h"

#include <functional>

inline void visit(QStandardItem *node, const std::function<void(QStandardItem *)> &action)
{
    action(node);
    for (int row = 0; row < node->rowCount(); ++row)
        visit(node->child(row), action);
}

inline int kindOf(const QStandardItem *node)
{
    return node->data(KindRole).isValid() ? node->data(KindRole).toInt() : -1;
}

inline QString constraintAbove(const QStandardItem *node)
{
    for (; node; node = node->parent()) {
        if (kindOf(node) == FunctionalConstraintKind)
            return node->text();
    }
    return QString();
}

// The picks the tree container would make for a double-click on each node.
inline void pickObject(Selections &s, QStandardItem *node)
{
    const ReferencePath reference = referencePath(node);
    QVERIFY(s.objects.addNode(node, reference.path,
                              FunctionalConstraintList().value(reference.constraint)));
    s.objects.fillAddedRow(s.objects.item(s.objects.rowCount() - 1));
}

inline void pickDataset(Selections &s, QStandardItem *node)
{
    QVERIFY(s.datasets.addNode(node, node->text(), QString()));
    s.datasets.fillAddedRow(s.datasets.item(s.datasets.rowCount() - 1));
}

inline void pickReport(Selections &s, QStandardItem *node)
{
    QVERIFY(s.reports.addNode(node, node->text(), QString()));
    s.reports.fillAddedRow(s.reports.item(s.reports.rowCount() - 1));
    s.reports.onDataSetUpdate(s.datasets.datasetNames());
}

// Every data object under a functional constraint, every data set and every
// report of the IED's model, picked in tree order.
inline void pickEverything(Selections &s, QStandardItem *ied)
{
    visit(ied->child(SclBranch::DataObjectsRow), [&s](QStandardItem *node) {
        if (kindOf(node) == DataObjectKind && kindOf(node->parent()) == FunctionalConstraintKind)
            pickObject(s, node);
    });
    visit(ied->child(SclBranch::DataSetsRow), [&s](QStandardItem *node) {
        if (kindOf(node) == DataSetKind)
            pickDataset(s, node);
    });
    visit(ied->child(SclBranch::ReportsRow), [&s](QStandardItem *node) {
        if (kindOf(node) == UnbufferedReportKind || kindOf(node) == BufferedReportKind)
            pickReport(s, node);
    });
}

#endif
