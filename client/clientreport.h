#ifndef STATIONSCOPE_CLIENTREPORT_H
#define STATIONSCOPE_CLIENTREPORT_H

// One received report as libiec61850's ClientReport offers it: values,
// references and reasons by data set member index, matched to the data
// set's members in the server's order.

#include "mmsreport.h"

#include <QString>
#include <QStringList>

class ClientReport
{
public:
    ClientReport() = default;
    // members: the data set's member references as dataSetDirectory gives
    // them (server order), or empty when unknown.
    ClientReport(const QString &rcbReference, const Iec61850Report &content,
                 const QStringList &members, qint64 receivedMs);

    QString rcbReference() const { return rcb; }
    qint64 receivedMs() const { return received; }
    const Iec61850Report &content() const { return report; }
    QString rptId() const { return report.rptId; }
    bool hasSeqNum() const { return report.has(ReportOptionSeqNum); }
    quint32 seqNum() const { return report.seqNum; }
    bool hasTimestamp() const { return report.has(ReportOptionTimeStamp); }
    quint64 timestamp() const { return report.timeOfEntry; }
    bool hasDataSetName() const { return report.has(ReportOptionDataSet); }
    QString dataSetName() const { return report.dataSetReference; }
    bool hasBufOvfl() const { return report.has(ReportOptionBufferOverflow); }
    bool bufOvfl() const { return report.bufOvfl; }
    QByteArray entryId() const { return report.entryId; }
    bool hasConfRev() const { return report.has(ReportOptionConfRev); }
    quint32 confRev() const { return report.confRev; }
    quint32 subSeqNum() const { return report.subSeqNum; }
    bool moreSegmentsFollow() const { return report.moreSegmentsFollow; }

    // The data set's size as the inclusion bit string tells it.
    int dataSetSize() const { return report.inclusion.size(); }
    bool isIncluded(int member) const { return position(member) >= 0; }
    // Null for a member the report does not include.
    MmsValue value(int member) const;
    // ReasonForInclusion values; ReasonNotIncluded when not included or not sent.
    int reasonForInclusion(int member) const;
    // The reference the report carries, else the member's from the data set
    // directory ("LD/LN.DO.DA[FC]"), else empty.
    QString dataReference(int member) const;
    // The data set directory's reference of the member, or empty.
    QString memberReference(int member) const { return members.value(member); }
    // False when the data set directory was given but its size differs.
    bool matchesDataSet() const { return members.isEmpty() || members.size() == dataSetSize(); }

private:
    int position(int member) const;

    QString rcb;
    qint64 received = 0;
    Iec61850Report report;
    QStringList members;
    QVector<int> positions; // per member: its place in the per-member lists, or -1
};

#endif
