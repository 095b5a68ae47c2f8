#include "clientreport.h"

ClientReport::ClientReport(const QString &rcbReference, const Iec61850Report &content,
                           const QStringList &members, qint64 receivedMs)
    : rcb(rcbReference), received(receivedMs), report(content), members(members)
{
    positions.fill(-1, report.inclusion.size());
    int next = 0;
    for (int i = 0; i < report.inclusion.size(); ++i) {
        if (report.inclusion.at(i))
            positions[i] = next++;
    }
}

int ClientReport::position(int member) const
{
    return member >= 0 && member < positions.size() ? positions.at(member) : -1;
}

MmsValue ClientReport::value(int member) const
{
    const int at = position(member);
    return at >= 0 ? report.values.value(at) : MmsValue();
}

int ClientReport::reasonForInclusion(int member) const
{
    const int at = position(member);
    return at >= 0 ? report.reasons.value(at, ReasonNotIncluded) : ReasonNotIncluded;
}

QString ClientReport::dataReference(int member) const
{
    const int at = position(member);
    if (at >= 0 && at < report.dataReferences.size())
        return report.dataReferences.at(at);
    return members.value(member);
}
