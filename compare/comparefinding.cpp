#include "comparefinding.h"

#include <QCoreApplication>

QString severityText(FindingSeverity severity)
{
    switch (severity) {
    case FindingSeverity::Error:
        return QCoreApplication::translate("CompareFinding", "error");
    case FindingSeverity::Warning:
        return QCoreApplication::translate("CompareFinding", "warning");
    case FindingSeverity::Info:
        break;
    }
    return QCoreApplication::translate("CompareFinding", "info");
}

QString findingLine(const CompareFinding &finding)
{
    const auto shown = [](const QString &text) {
        return text.isEmpty() ? QStringLiteral("-") : text;
    };
    return QCoreApplication::translate("CompareFinding", "%1: %2: %3 (expected %4, found %5)")
        .arg(severityText(finding.severity), finding.pick, finding.what, shown(finding.expected),
             shown(finding.found));
}

bool hasErrorFinding(const CompareFindings &findings)
{
    for (const CompareFinding &finding : findings) {
        if (finding.severity == FindingSeverity::Error)
            return true;
    }
    return false;
}
