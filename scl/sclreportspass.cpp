#include "sclreportspass.h"

#include "sclelements.h"
#include "sclmodel.h"
#include "sclnodefactory.h"
#include "sclparsefeedback.h"

#include <QDebug>
#include <QStandardItem>

#include <utility>

namespace {

using FlagBits = std::initializer_list<std::pair<const char *, int>>;

// Flags whose attribute reads "true", or that are missing and set in
// defaults (SCL gives some options a default of true, and devices apply it
// to a block without the element too).
int flagMask(const QDomElement &element, FlagBits bits, int defaults = 0)
{
    int mask = 0;
    if (element.isNull())
        return defaults;
    for (const auto &bit : bits) {
        const QLatin1String name(bit.first);
        const bool set = element.hasAttribute(name)
                             ? element.attribute(name) == QLatin1String("true")
                             : (defaults & bit.second) != 0;
        if (set)
            mask |= bit.second;
    }
    return mask;
}

} // namespace

SclReportsPass::SclReportsPass(SclNodeFactory &nodes, SclParseFeedback &feedback)
    : nodes(nodes), feedback(feedback)
{
}

int SclReportsPass::reportSettingsMask(const QDomElement &reportSettings)
{
    static const FlagBits bits{{"bufTime", 1}, {"trgOps", 2}, {"intgPd", 4}, {"optFields", 8}};
    int mask = 0;
    if (reportSettings.isNull())
        return mask;
    for (const auto &bit : bits) {
        if (reportSettings.attribute(QLatin1String(bit.first)) == QLatin1String("Dyn"))
            mask |= bit.second;
    }
    return mask;
}

ReportControlRecord SclReportsPass::readReportControl(QStandardItem *node,
                                                      const QDomElement &reportControl,
                                                      const QString &lnReference)
{
    ReportControlRecord record;
    record.name = reportControl.attribute(QStringLiteral("name"));
    record.rptId = reportControl.attribute(QStringLiteral("rptID"));
    record.confRev = reportControl.attribute(QStringLiteral("confRev")).toInt();
    record.buffered = reportControl.attribute(QStringLiteral("buffered")) == QLatin1String("true");
    record.bufTime = reportControl.attribute(QStringLiteral("bufTime")).toInt();
    record.intgPd = reportControl.attribute(QStringLiteral("intgPd")).toInt();

    // SCL's default is an indexed block: the device names its instances
    // name01, name02 ..., and only "false" addresses the bare name.
    const QString indexed = reportControl.attribute(QStringLiteral("indexed"));
    record.indexed = indexed != QLatin1String("false");
    if (reportControl.hasAttribute(QStringLiteral("indexed")) && indexed != QLatin1String("true") &&
        indexed != QLatin1String("false"))
        qDebug().noquote() << "Report control block" << record.name << "of" << lnReference
                           << "has indexed" << indexed << ", read as true";

    record.dataSetReference =
        reportDataSetReference(lnReference, reportControl.attribute(QStringLiteral("datSet")));
    record.trgOps =
        flagMask(reportControl.firstChildElement(QStringLiteral("TrgOps")),
                 {{"dchg", 1}, {"qchg", 2}, {"dupd", 4}, {"period", 8}, {"gi", 16}}, 16);
    record.optFields = flagMask(reportControl.firstChildElement(QStringLiteral("OptFields")),
                                {{"seqNum", 1},
                                 {"timeStamp", 2},
                                 {"reasonCode", 4},
                                 {"dataSet", 8},
                                 {"dataRef", 16},
                                 {"bufOvfl", 32},
                                 {"entryID", 64},
                                 {"configRef", 128}});
    // A block the device has is at least one instance: SCL's default for a
    // missing RptEnabled or max is one, and a max that is no count says none.
    const QDomElement rptEnabled = reportControl.firstChildElement(QStringLiteral("RptEnabled"));
    record.maxIndex = qMax(1, rptEnabled.attribute(QStringLiteral("max")).toInt());

    node->setData(record.name, ReportNameRole);
    node->setData(record.rptId, RptIdRole);
    node->setData(record.confRev, ConfRevRole);
    node->setData(record.buffered, BufferedRole);
    node->setData(record.bufTime, BufTimeRole);
    node->setData(record.intgPd, IntgPdRole);
    node->setData(record.indexed, IndexedRole);
    node->setData(record.dataSetReference, ReportDatasetRole);
    node->setData(record.trgOps, TrgOpsRole);
    node->setData(record.optFields, OptFieldsRole);
    node->setData(record.maxIndex, MaxIndexRole);
    return record;
}

int SclReportsPass::parseReports(const QDomElement &ied, const QString &iedName,
                                 QStandardItem *reportsRoot, int *reportSettings)
{
    int nextId = 0;
    auto *iedNode = new QStandardItem(iedName);
    nodes.attachNode(iedNode, IedKind, nextId++, SclIcon::Device, nullptr, -1);

    const QVector<QDomElement> settings =
        SclElements::descendants(ied, QStringLiteral("ReportSettings"));
    *reportSettings = reportSettingsMask(settings.value(0));
    iedNode->setData(*reportSettings, ReportSettingsRole);

    for (const QDomElement &lDevice : SclElements::descendants(ied, QStringLiteral("LDevice"))) {
        const QString ldInst = lDevice.attribute(QStringLiteral("inst"));
        auto *ldNode = new QStandardItem(ldInst);
        nodes.attachNode(ldNode, LogicalDeviceKind, nextId++, SclIcon::Device, iedNode, 0);
        for (const QDomElement &ln : SclElements::logicalNodes(lDevice)) {
            const QVector<QDomElement> controls =
                SclElements::descendants(ln, QStringLiteral("ReportControl"));
            if (controls.isEmpty())
                continue;
            const SclElements::LnIdentity identity = SclElements::lnIdentity(ln);
            const QString lnRef = identity.reference(iedName, ldInst);
            auto *lnNode = new QStandardItem(identity.name());
            nodes.attachNode(lnNode, LogicalNodeKind, nextId++, SclIcon::LogicalNode, ldNode, 0);
            feedback.startProgress(controls.size());
            for (const QDomElement &control : controls) {
                auto *node = new QStandardItem;
                node->setEditable(false);
                const ReportControlRecord record = readReportControl(node, control, lnRef);
                feedback.step([&] {
                    return QStringLiteral("REPORT: ") + lnRef + QLatin1Char('-') + record.name;
                });
                node->setText(reportControlReference(lnRef, record.name, record.buffered));
                node->setData(record.dataSetReference, DatasetRefRole);
                nodes.attachNode(
                    node, record.buffered ? BufferedReportKind : UnbufferedReportKind, nextId++,
                    record.buffered ? SclIcon::BufferedReport : SclIcon::UnbufferedReport, lnNode,
                    0);
            }
        }
    }
    feedback.flush();

    reportsRoot->appendRow(iedNode);
    return 0;
}
