#ifndef STATIONSCOPE_SCLCONTROLBLOCKCHECK_H
#define STATIONSCOPE_SCLCONTROLBLOCKCHECK_H

// Checks the data sets and control blocks of one IED as a client meets them in
// a live association: members that resolve, report instances, RptIDs,
// configuration revisions, integrity periods and the size of a full report.

#include "sclinstancecheck.h"

class SclControlBlockCheck
{
public:
    // The largest MMS PDU a client proposes, and so the largest report it takes.
    static constexpr int MaxPduSize = 65000;

    SclControlBlockCheck(const SclTemplates &templates, SclFindings &findings)
        : templates(templates), resolver(templates), findings(findings)
    {
    }

    void check(const SclIed &ied);

private:
    // The estimated encoded size of the member's values; -1 when it does not resolve.
    // text: the member as findings name it.
    int checkMember(const SclIed &ied, const QString &dataSetReference, const SclMember &member,
                    const QString &text);
    void checkDataSet(const SclIed &ied, const SclLogicalNode &ln, const SclDataSet &dataSet);
    void checkReport(const SclIed &ied, const SclLogicalNode &ln, const SclControlBlock &block,
                     const SclDataSet *dataSet);
    static QString lnKey(const QString &ldInst, const QString &prefix, const QString &lnClass,
                         const QString &inst);
    void add(SclSeverity severity, const SclIed &ied, const QString &reference, qint64 line,
             const QString &text);

    const SclTemplates &templates;
    SclTypeResolver resolver;
    SclFindings &findings;
    // Estimated octets of each data set's values, by "LNref.name".
    QHash<QString, int> dataSetSizes;
    // The IED's logical nodes by lnKey().
    QHash<QString, const SclLogicalNode *> logicalNodes;
};

#endif
