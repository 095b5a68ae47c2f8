#ifndef STATIONSCOPE_COMPAREENGINE_H
#define STATIONSCOPE_COMPAREENGINE_H

// Holds a project's picks against a model snapshot: a finding for every
// difference a client of the IED would trip over, and which picks still
// resolve.

#include "comparefinding.h"
#include "modelsnapshot.h"
#include "projectpicks.h"

#include <QVector>

struct ComparisonResult
{
    CompareFindings findings;
    // Per pick, in the order of ProjectPicks: does it still name something?
    QVector<bool> objectResolved;
    QVector<bool> dataSetResolved;
    QVector<bool> reportResolved;

    bool hasErrors() const { return hasErrorFinding(findings); }
};

class CompareEngine
{
public:
    static ComparisonResult compare(const ProjectPicks &picks, const ModelSnapshot &found);

private:
    CompareEngine(const ProjectPicks &picks, const ModelSnapshot &found);
    void compareIed();
    bool compareObject(const ObjectPick &pick);
    bool compareDataSet(const DataSetPick &pick);
    bool compareReport(const ReportPick &pick);
    QString renamedDataSet(const QStringList &members);
    void add(FindingSeverity severity, PickKind kind, int row, const QString &pick,
             const QString &what, const QString &expected, const QString &found);

    const ProjectPicks &picks;
    const ModelSnapshot &found;
    ComparisonResult result;
    // Member lists of the found data sets, joined, to recognise a renamed one.
    QHash<QString, QString> dataSetByMembers;
};

#endif
