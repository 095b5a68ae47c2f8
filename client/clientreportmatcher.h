#ifndef STATIONSCOPE_CLIENTREPORTMATCHER_H
#define STATIONSCOPE_CLIENTREPORTMATCHER_H

// Finds the subscribed block that sent a report. Vendor files give several
// blocks one RptID, so the RptID only narrows the choice; what the report
// carries (its data set reference, buffered-only fields, the length of its
// inclusion bit string) decides between blocks that share one.

#include "mmsreport.h"

#include <QString>
#include <QVector>

struct ReportSource
{
    QString rcbReference; // "LD/LLN0$RP$name"
    QString rptId;        // empty: the server sends the block's own reference
    QString dataSet;      // "LD/LLN0$Name"; empty when unknown
    int memberCount = -1; // -1 when unknown
    enum class Kind { Unknown, Unbuffered, Buffered } kind = Kind::Unknown;
    int optFlds = -1; // as written or read; -1 when unknown

    static Kind kindOf(const QString &rcbReference);
};

namespace ReportMatcher {
// The indexes of the sources the report may come from: one when it is
// certain, none when no source fits, several when they cannot be told apart.
QVector<int> candidates(const QVector<ReportSource> &sources, const Iec61850Report &report);
// "LD/LLN0$Name" for both spellings of a data set reference.
QString normalizedDataSet(const QString &reference);
} // namespace ReportMatcher

#endif
