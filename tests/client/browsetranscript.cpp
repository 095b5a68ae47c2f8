#include "browsetranscript.h"

namespace {

QString hex(int value)
{
    return QStringLiteral("0x%1").arg(value, 0, 16);
}

void addAttributes(const QVector<BrowsedAttribute> &attributes, int indent, QStringList *lines)
{
    for (const BrowsedAttribute &attribute : attributes) {
        const QString plain = attribute.name.left(attribute.name.indexOf(QLatin1Char('[')));
        lines->append(QString(indent, QLatin1Char(' ')) + plain + QStringLiteral("   (raw \"") +
                      attribute.name + QStringLiteral("\")"));
        addAttributes(attribute.children, indent + 2, lines);
    }
}

void addReports(const QVector<BrowsedReport> &reports, bool buffered, QStringList *lines)
{
    lines->append(QStringLiteral("    %1: %2")
                      .arg(buffered ? QStringLiteral("BRCBs") : QStringLiteral("URCBs"))
                      .arg(reports.size()));
    for (const BrowsedReport &report : reports)
        lines->append(QStringLiteral("      - ") + report.name);
    for (const BrowsedReport &report : reports) {
        const ClientReportControlBlock &v = report.values;
        QString reference = report.reference;
        reference.replace(QLatin1Char('$'), QLatin1Char('.'));
        QString line = QStringLiteral("      RCB %1: buffered=%2 rptID=%3 datSet=%4 rptEna=%5 "
                                      "confRev=%6 optFlds=%7 trgOps=%8 bufTm=%9")
                           .arg(reference)
                           .arg(buffered ? 1 : 0)
                           .arg(v.rptId(), v.dataSetReference())
                           .arg(v.rptEna() ? 1 : 0)
                           .arg(v.confRev())
                           .arg(hex(v.optFlds()), hex(v.trgOps()))
                           .arg(v.bufTm());
        line += QStringLiteral(" intgPd=%1").arg(v.intgPd());
        line += buffered ? QStringLiteral(" resvTms=%1").arg(v.resvTms())
                         : QStringLiteral(" resv=%1").arg(v.resv() ? 1 : 0);
        lines->append(line);
    }
}

int countAttributes(const QVector<BrowsedAttribute> &attributes)
{
    int count = attributes.size();
    for (const BrowsedAttribute &attribute : attributes)
        count += countAttributes(attribute.children);
    return count;
}

} // namespace

namespace BrowseTranscript {

QStringList lines(const IedBrowseResult &result, bool withAttributes)
{
    QStringList lines;
    lines << QStringLiteral("Logical devices: %1").arg(result.logicalDevices.size());
    for (const BrowsedLogicalDevice &device : result.logicalDevices) {
        lines << QStringLiteral("LD ") + device.name;
        for (const BrowsedLogicalNode &node : device.logicalNodes) {
            lines << QStringLiteral("  LN ") + node.reference;
            lines << QStringLiteral("    data objects: %1").arg(node.dataObjects.size());
            for (const BrowsedDataObject &object : node.dataObjects) {
                lines << QStringLiteral("      DO ") + object.reference;
                if (withAttributes)
                    addAttributes(object.attributes, 8, &lines);
            }
            lines << QStringLiteral("    data sets: %1").arg(node.dataSets.size());
            for (const BrowsedDataSet &dataSet : node.dataSets)
                lines << QStringLiteral("      - ") + dataSet.name;
            for (const BrowsedDataSet &dataSet : node.dataSets) {
                lines << QStringLiteral("      data set %1 deletable=%2 members=%3")
                             .arg(dataSet.reference)
                             .arg(dataSet.deletable ? 1 : 0)
                             .arg(dataSet.members.size());
                for (const QString &member : dataSet.members)
                    lines << QStringLiteral("        * ") + member;
            }
            addReports(node.bufferedReports, true, &lines);
            addReports(node.unbufferedReports, false, &lines);
        }
    }
    return lines;
}

QStringList referenceLines(const QStringList &clientOutput, bool withAttributes)
{
    QStringList lines;
    bool inside = false;
    for (const QString &line : clientOutput) {
        if (line.startsWith(QLatin1String("Logical devices:")))
            inside = true;
        if (line.startsWith(QLatin1String("attribute directory entries")))
            break;
        if (!inside)
            continue;
        if (!withAttributes && line.contains(QLatin1String("(raw \"")))
            continue;
        lines << line;
    }
    return lines;
}

int attributeCount(const IedBrowseResult &result)
{
    int count = 0;
    for (const BrowsedLogicalDevice &device : result.logicalDevices) {
        for (const BrowsedLogicalNode &node : device.logicalNodes) {
            for (const BrowsedDataObject &object : node.dataObjects)
                count += countAttributes(object.attributes);
        }
    }
    return count;
}

} // namespace BrowseTranscript
