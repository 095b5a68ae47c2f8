#ifndef STATIONSCOPE_COMPAREFINDING_H
#define STATIONSCOPE_COMPAREFINDING_H

// One difference between what a project expects of its IED and what a model
// source (an SCL file or the device itself) shows.

#include <QString>
#include <QVector>

enum class FindingSeverity { Error, Warning, Info };

// Which selection a finding belongs to; the IED itself has no selection row.
enum class PickKind { Ied, DataObject, DataSet, Report };

struct CompareFinding
{
    FindingSeverity severity = FindingSeverity::Info;
    PickKind pickKind = PickKind::Ied;
    // The top-level row of the pick's selection, -1 for the IED.
    int pickRow = -1;
    // The pick's reference as the project holds it (the IED name for the IED).
    QString pick;
    QString what;
    QString expected;
    QString found;
};

using CompareFindings = QVector<CompareFinding>;

QString severityText(FindingSeverity severity);
// "error: <pick>: <what> (expected <e>, found <f>)"
QString findingLine(const CompareFinding &finding);
bool hasErrorFinding(const CompareFindings &findings);

#endif
