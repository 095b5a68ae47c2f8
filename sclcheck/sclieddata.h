#ifndef STATIONSCOPE_SCLIEDDATA_H
#define STATIONSCOPE_SCLIEDDATA_H

// What the check needs of one IED element, read from the stream and dropped
// once the IED is checked: its logical nodes with their instance values, data
// sets and control blocks.

#include <QString>
#include <QStringList>
#include <QVector>

class QXmlStreamReader;

// A DOI, SDI or DAI. Nodes are kept in document order, so a parent always
// comes before its children.
struct SclInstanceNode
{
    int parent = -1; // -1 for a DOI
    QString name;
    bool isAttribute = false;
    QString value; // the first Val of a DAI
    qint64 line = 0;
};

struct SclMember
{
    QString ldInst;
    QString prefix;
    QString lnClass;
    QString lnInst;
    QString doName;
    QString daName;
    QString fc;
    qint64 line = 0;
};

struct SclDataSet
{
    QString name;
    qint64 line = 0;
    QVector<SclMember> members;
};

struct SclControlBlock
{
    enum Kind { Report, Log, Goose };
    Kind kind = Report;
    QString name;
    QString datSet;
    QString rptId;
    QString confRev;
    QString intgPd;
    bool buffered = false;
    bool periodTrigger = false;
    bool dataRef = false;
    bool hasRptEnabled = false;
    int max = 1;
    int clients = 0;
    qint64 line = 0;
};

struct SclLogicalNode
{
    QString ldInst;
    QString prefix;
    QString lnClass;
    QString inst;
    QString lnType;
    qint64 line = 0;
    QVector<SclDataSet> dataSets;
    QVector<SclControlBlock> controls;
    QVector<SclInstanceNode> instances;

    QString name() const { return prefix + lnClass + inst; }
    // The names from the DOI down to the node, joined by dots.
    QString instancePath(int node) const;
};

struct SclIed
{
    QString name;
    qint64 line = 0;
    // Access points with a Server: where a client associates.
    QStringList serverAccessPoints;
    QStringList accessPoints;
    QVector<SclLogicalNode> logicalNodes;

    // The IED's object reference of a logical node: "IEDLD/LN".
    QString lnReference(const SclLogicalNode &ln) const;
};

// All members are implicitly shared Qt values: vectors may move them bytewise.
Q_DECLARE_TYPEINFO(SclInstanceNode, Q_MOVABLE_TYPE);
Q_DECLARE_TYPEINFO(SclMember, Q_MOVABLE_TYPE);
Q_DECLARE_TYPEINFO(SclDataSet, Q_MOVABLE_TYPE);
Q_DECLARE_TYPEINFO(SclControlBlock, Q_MOVABLE_TYPE);
Q_DECLARE_TYPEINFO(SclLogicalNode, Q_MOVABLE_TYPE);

// Reads the IED element the reader stands on, to its end.
SclIed readSclIed(QXmlStreamReader &xml);

#endif
