#ifndef STATIONSCOPE_SCLDATASETSPASS_H
#define STATIONSCOPE_SCLDATASETSPASS_H

// Builds the DataSets branch of one IED: each data set with its members, either
// attribute references or copies of data objects of the DataObjects branch.

#include "sclelements.h"

#include <QDomElement>
#include <QString>

class QStandardItem;
class SclNodeFactory;
class SclParseFeedback;

class SclDataSetsPass
{
public:
    // Copies of data objects beyond this many nodes are left out.
    static constexpr int MaxCopiedNodes = 500000;

    SclDataSetsPass(SclNodeFactory &nodes, SclParseFeedback &feedback,
                    QStandardItem *dataObjectsIed);

    int parseDataSets(const QDomElement &ied, const QString &iedName, QStandardItem *dataSetsRoot);

    static QStandardItem *findDataObjectNode(const QString &iedName, const QString &ldInst,
                                             const QString &lnName, const QString &doName,
                                             const QString &fc, QStandardItem *iedNode);
    // The node an FCDA's daName names below its data object node, or null.
    static QStandardItem *findAttributeNode(QStandardItem *dataObjectNode, const QString &daName);
    static QStandardItem *cloneTree(QStandardItem *node);

private:
    // Where an FCDA points: its logical device, logical node, data object,
    // attribute (empty for a data object member) and constraint.
    struct FcdaTarget
    {
        QString ldInst;
        SclElements::LnIdentity ln;
        QString doName;
        QString daName;
        QString fc;
    };

    static FcdaTarget fcdaTarget(const QDomElement &fcda);
    bool splitAttributeFromDoName(FcdaTarget *target) const;
    void addAttributeMember(const FcdaTarget &target, QStandardItem *dataSetNode);
    void addDataObjectMember(const FcdaTarget &target, QStandardItem *dataSetNode);
    static int subtreeSize(QStandardItem *node);

    SclNodeFactory &nodes;
    SclParseFeedback &feedback;
    QStandardItem *dataObjectsIed;
    QString iedName;
    int nextId = 0;
    int copiedNodes = 0;
    bool budgetWarned = false;
};

#endif
