#ifndef STATIONSCOPE_SCLDATAOBJECTSPASS_H
#define STATIONSCOPE_SCLDATAOBJECTSPASS_H

// Builds the DataObjects branch of one IED from its logical nodes and the type
// templates, grouped by functional constraint, and marks the control model of
// controllable data objects from the instance values.

#include "sclrecords.h"

#include <QDomElement>
#include <QList>
#include <QSet>
#include <QString>
#include <QVector>

class QStandardItem;
class SclNodeFactory;
class SclParseFeedback;
class SclTypeIndex;

class SclDataObjectsPass
{
public:
    // Guards against files that would otherwise never finish or fill memory.
    static constexpr int MaxArrayLength = 10000;
    static constexpr int MaxNestingDepth = 64;
    static constexpr int MaxNodes = 500000;

    SclDataObjectsPass(const SclTypeIndex &types, SclNodeFactory &nodes, SclParseFeedback &feedback,
                       QList<CtlModelRecord> &ctlModels);

    // -1 when there is no logical node record. Otherwise the branch's IED
    // node, not yet in a model, goes to *iedNode.
    int parseDataObjects(const QDomElement &ied, const QList<LnRecord> &lnRecords,
                         QStandardItem **iedNode);
    static void applyCtlModels(const QList<CtlModelRecord> &ctlModels);
    static int mmsTypeOf(const QString &bType);

private:
    void addLogicalNode(const QDomElement &ln, const QString &iedName, const QString &ldInst,
                        QStandardItem *ldNode);
    int expandElement(const QDomElement &ln, const QDomElement &element, QStandardItem *parent,
                      const QString &inheritedFc, const QString &wantedFc, int total);
    void makeLeaf(QStandardItem *node, const QString &name, const QString &fc, const QString &bType,
                  int treeIndex);
    int addPhyComAddrMembers(QStandardItem *address, const QString &fc, int total);
    QString findCtlModel(const QDomElement &ln, QStandardItem *parent,
                         const QString &attributeName);
    bool withinNodeBudget();
    // Bad files repeat their faults for every constraint and array element.
    void warnOnce(const QString &message);

    const SclTypeIndex &types;
    SclNodeFactory &nodes;
    SclParseFeedback &feedback;
    QList<CtlModelRecord> &ctlModels;
    int nextId = 0;
    int nodeCount = 0;
    QSet<QString> warnings;
    QVector<QString> typeChain; // the types being expanded, to cut recursive references
};

#endif
