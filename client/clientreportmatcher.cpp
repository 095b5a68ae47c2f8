#include "clientreportmatcher.h"

#include "objectreference.h"

namespace {

bool rptIdMatches(const ReportSource &source, const QString &rptId)
{
    if (!source.rptId.isEmpty())
        return source.rptId == rptId;
    ObjectReference rcb;
    return ObjectReference::parse(source.rcbReference, &rcb) &&
           rptId == rcb.logicalDevice + QLatin1Char('/') + rcb.plainItem();
}

bool contentFits(const ReportSource &source, const Iec61850Report &report)
{
    using Kind = ReportSource::Kind;
    if (report.has(ReportOptionDataSet) && !source.dataSet.isEmpty() &&
        ReportMatcher::normalizedDataSet(report.dataSetReference) !=
            ReportMatcher::normalizedDataSet(source.dataSet))
        return false;
    // An unbuffered block sends EntryID or BufOvfl only when asked to.
    const int bufferedFields = report.optFlds & (ReportOptionEntryId | ReportOptionBufferOverflow);
    if (bufferedFields && source.kind == Kind::Unbuffered &&
        (source.optFlds < 0 || (source.optFlds & bufferedFields) != bufferedFields))
        return false;
    // A buffered block asked for EntryID sends it with every report.
    if (!report.has(ReportOptionEntryId) && source.kind == Kind::Buffered && source.optFlds >= 0 &&
        (source.optFlds & ReportOptionEntryId))
        return false;
    return source.memberCount < 0 || source.memberCount == report.inclusion.size();
}

} // namespace

ReportSource::Kind ReportSource::kindOf(const QString &rcbReference)
{
    ObjectReference rcb;
    if (!ObjectReference::parse(rcbReference, &rcb) || rcb.path.isEmpty())
        return Kind::Unknown;
    if (rcb.path.first() == QLatin1String("BR"))
        return Kind::Buffered;
    if (rcb.path.first() == QLatin1String("RP"))
        return Kind::Unbuffered;
    return Kind::Unknown;
}

QString ReportMatcher::normalizedDataSet(const QString &reference)
{
    const int slash = reference.indexOf(QLatin1Char('/'));
    QString text = reference;
    for (int i = slash + 1; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('.'))
            text[i] = QLatin1Char('$');
    }
    return text;
}

QVector<int> ReportMatcher::candidates(const QVector<ReportSource> &sources,
                                       const Iec61850Report &report)
{
    QVector<int> byRptId;
    for (int i = 0; i < sources.size(); ++i) {
        if (rptIdMatches(sources.at(i), report.rptId))
            byRptId.append(i);
    }
    if (byRptId.size() < 2)
        return byRptId;
    QVector<int> fitting;
    for (int index : qAsConst(byRptId)) {
        if (contentFits(sources.at(index), report))
            fitting.append(index);
    }
    return fitting;
}
