#ifndef STATIONSCOPE_MMSREPORT_H
#define STATIONSCOPE_MMSREPORT_H

// The unconfirmed InformationReport (ISO 9506-2) and the IEC 61850-8-1 report
// it carries when its variable list is named "RPT".

#include "berreader.h"
#include "mmspdu.h"
#include "mmsservices.h"
#include "mmsvalue.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

struct MmsInformationReport
{
    // A named variable list (vmd-specific "RPT" for reports), or a list of
    // variable names (command termination, LastApplError).
    bool namedList = true;
    MmsObjectName listName{MmsObjectName::VmdSpecific, QString(), QStringLiteral("RPT")};
    QList<MmsObjectName> variables;
    // The access results; a failure is a DataAccessError value.
    QList<MmsValue> values;

    bool isReport() const
    {
        return namedList && listName.scope == MmsObjectName::VmdSpecific &&
               listName.item == QLatin1String("RPT");
    }
};

// libiec61850's RPT_OPT_* values: bit n of the OptFlds bit string is 1 << (n - 1).
enum ReportOption : int {
    ReportOptionSeqNum = 1,
    ReportOptionTimeStamp = 2,
    ReportOptionReasonForInclusion = 4,
    ReportOptionDataSet = 8,
    ReportOptionDataReference = 16,
    ReportOptionBufferOverflow = 32,
    ReportOptionEntryId = 64,
    ReportOptionConfRev = 128,
    ReportOptionSegmentation = 256,
};

// libiec61850's TRG_OPT_* values, numbered like the report options.
enum TriggerOption : int {
    TriggerOptionDataChanged = 1,
    TriggerOptionQualityChanged = 2,
    TriggerOptionDataUpdate = 4,
    TriggerOptionIntegrity = 8,
    TriggerOptionGi = 16,
};

// libiec61850's IEC61850_REASON_* values (the bits of the ReasonCode string).
enum ReasonForInclusion : int {
    ReasonNotIncluded = 0,
    ReasonDataChange = 1,
    ReasonQualityChange = 2,
    ReasonDataUpdate = 4,
    ReasonIntegrity = 8,
    ReasonGi = 16,
    ReasonApplicationTrigger = 32,
};

// "data-change", "quality-change|integrity" ...; "not-included" for 0.
QString reasonForInclusionText(int reasons);

// One report. Fields whose option is clear in optFlds are neither sent nor
// read; the per-member lists hold one entry per included member, in data
// set order.
struct Iec61850Report
{
    QString rptId;
    int optFlds = 0; // ReportOption values
    quint32 seqNum = 0;
    quint64 timeOfEntry = 0;  // ms since 1970 (sent as a 6-octet binary time)
    QString dataSetReference; // "LD/LLN0$Events"
    bool bufOvfl = false;
    QByteArray entryId;
    quint32 confRev = 0;
    quint32 subSeqNum = 0;
    bool moreSegmentsFollow = false;
    // One flag per data set member, in the server's member order.
    QVector<bool> inclusion;
    QStringList dataReferences; // "LD/LN$FC$DO$DA"
    QList<MmsValue> values;
    QVector<int> reasons; // ReasonForInclusion values

    bool has(ReportOption option) const { return optFlds & option; }
    // The data set positions of the included members, in order.
    QVector<int> includedMembers() const;
};

namespace MmsReportCodec {
constexpr quint32 InformationReportTag = 0xa0;

// The whole unconfirmed PDU.
QByteArray informationReportPdu(const MmsInformationReport &report);
// Takes an Unconfirmed PDU; false for other unconfirmed services and for
// malformed content.
bool decodeInformationReport(const MmsPdu &pdu, MmsInformationReport *report);

// The access results of an "RPT" report.
QList<MmsValue> encodeReport(const Iec61850Report &report);
// The whole unconfirmed PDU of an "RPT" report: informationReportPdu of its
// encodeReport, without the list in between.
QByteArray reportPdu(const Iec61850Report &report);
// False when a field is missing or of the wrong type, the per-member lists
// do not match the inclusion bits, or values are left over.
bool decodeReport(const QList<MmsValue> &values, Iec61850Report *report);
} // namespace MmsReportCodec

#endif
