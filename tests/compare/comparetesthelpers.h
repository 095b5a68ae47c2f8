#ifndef STATIONSCOPE_COMPARETESTHELPERS_H
#define STATIONSCOPE_COMPARETESTHELPERS_H

// The two revisions of the example station and picks made on the first.

#include "../jobs/selectionpicks.h"
#include "compareengine.h"
#include "comparesource.h"

inline QString fixture(const char *name)
{
    return QStringLiteral(STATIONSCOPE_COMPARE_FIXTURES "/") + QLatin1String(name);
}

inline const QString Ied = QStringLiteral("BAY1_PROT");

// A node of the parsed IED by the texts below the project root.
inline QStandardItem *modelNode(QStandardItemModel &model, const QStringList &texts)
{
    return findNode(model.item(0, 0), texts);
}

// Picks the node the way the tree container does for its branch.
inline void pick(Selections &s, QStandardItemModel &model, const QStringList &texts)
{
    QStandardItem *node = modelNode(model, texts);
    QVERIFY2(node, qPrintable(texts.join(QLatin1Char('/'))));
    if (texts.first() == SclBranch::DataObjects)
        pickObject(s, node);
    else if (texts.first() == SclBranch::DataSets)
        pickDataset(s, node);
    else
        pickReport(s, node);
}

inline ComparisonResult compareWith(const QStandardItemModel &scl, Selections &s, const char *file)
{
    SclFileSource source(fixture(file), QString(), Ied);
    ModelSnapshot found;
    QString problem;
    if (!source.fetch(&found, &problem))
        qWarning() << problem;
    return CompareEngine::compare(
        ProjectPicks::fromModels(&scl, &s.objects, &s.datasets, &s.reports), found);
}

#endif
