#include "sclfinding.h"

#include <QCoreApplication>

QString sclSeverityText(SclSeverity severity)
{
    switch (severity) {
    case SclSeverity::Error:
        return QCoreApplication::translate("SclFinding", "error");
    case SclSeverity::Warning:
        return QCoreApplication::translate("SclFinding", "warning");
    case SclSeverity::Info:
        break;
    }
    return QCoreApplication::translate("SclFinding", "info");
}

SclSeverityCounts countSeverities(const SclFindings &findings)
{
    SclSeverityCounts counts;
    for (const SclFinding &finding : findings) {
        if (finding.severity == SclSeverity::Error)
            ++counts.errors;
        else if (finding.severity == SclSeverity::Warning)
            ++counts.warnings;
        else
            ++counts.infos;
    }
    return counts;
}

QString sclFindingLine(const SclFinding &finding)
{
    QString line = sclSeverityText(finding.severity);
    if (finding.line > 0)
        line += QStringLiteral(" line %1").arg(finding.line);
    line += QStringLiteral(": ");
    if (!finding.reference.isEmpty())
        line += finding.reference + QStringLiteral(": ");
    return line + finding.text;
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString sclFindingCsvHeader()
{
    return QStringLiteral("severity,ied,reference,line,text");
}

QString sclFindingCsvLine(const SclFinding &finding)
{
    return QStringList{
        sclSeverityText(finding.severity), csvField(finding.ied), csvField(finding.reference),
        finding.line > 0 ? QString::number(finding.line) : QString(), csvField(finding.text)}
        .join(QLatin1Char(','));
}
