#include "modelsnapshot.h"

#include "sclmodel.h"

#include <QStandardItem>

namespace {

int kindOf(const QStandardItem *node)
{
    const QVariant kind = node->data(KindRole);
    return kind.isValid() ? kind.toInt() : -1;
}

const QStandardItem *childByText(const QStandardItem *parent, const QString &text, int usualRow)
{
    const QStandardItem *usual = parent->child(usualRow, 0);
    if (usual && usual->text() == text)
        return usual;
    for (int row = 0; row < parent->rowCount(); ++row) {
        const QStandardItem *child = parent->child(row, 0);
        if (child && child->text() == text)
            return child;
    }
    return nullptr;
}

int intRole(const QStandardItem *node, int role)
{
    return node->data(role).toInt();
}

} // namespace

QString ModelSnapshot::relative(const QString &reference, const QString &iedName)
{
    if (!iedName.isEmpty() && reference.startsWith(iedName))
        return reference.mid(iedName.size());
    return reference;
}

QStringList ModelSnapshot::membersAsNamed(const QStringList &listed, const QSet<QString> &named)
{
    QStringList members;
    members.reserve(listed.size());
    for (const QString &member : listed) {
        const int open = member.lastIndexOf(QLatin1Char('['));
        if (open > 0 && member.endsWith(QLatin1Char(']')) && !named.contains(member) &&
            named.contains(member.left(open)))
            members.append(member.left(open));
        else
            members.append(member);
    }
    return members;
}

QString ModelSnapshot::reportKey(const QString &reportReference, bool *buffered)
{
    const int unbufferedAt = reportReference.lastIndexOf(QLatin1String(".RP."));
    const int bufferedAt = reportReference.lastIndexOf(QLatin1String(".BR."));
    const int at = qMax(unbufferedAt, bufferedAt);
    if (buffered)
        *buffered = at >= 0 && at == bufferedAt;
    if (at < 0)
        return reportReference;
    return reportReference.left(at) + reportReference.mid(at + 3);
}

ModelSnapshot ModelSnapshot::fromProjectRoot(const QStandardItem *projectRoot)
{
    ModelSnapshot snapshot;
    if (!projectRoot)
        return snapshot;
    snapshot.iedName = projectRoot->text();
    if (const QStandardItem *connection =
            childByText(projectRoot, SclBranch::Connection, SclBranch::ConnectionRow)) {
        constexpr int NamePlateRow = 7;
        if (const QStandardItem *value = connection->child(NamePlateRow, 1))
            snapshot.namePlateRevision = value->text();
    }
    snapshot.addBranch(projectRoot, SclBranch::DataObjectsRow);
    snapshot.addBranch(projectRoot, SclBranch::DataSetsRow);
    snapshot.addBranch(projectRoot, SclBranch::ReportsRow);
    return snapshot;
}

void ModelSnapshot::addBranch(const QStandardItem *projectRoot, int branch)
{
    static const QString texts[] = {SclBranch::Connection, SclBranch::DataObjects,
                                    SclBranch::DataSets, SclBranch::Reports};
    const QStandardItem *root = childByText(projectRoot, texts[branch], branch);
    const QStandardItem *ied = root ? root->child(0, 0) : nullptr;
    if (!ied)
        return;
    for (int d = 0; d < ied->rowCount(); ++d) {
        const QStandardItem *device = ied->child(d, 0);
        if (!device)
            continue;
        for (int n = 0; n < device->rowCount(); ++n) {
            const QStandardItem *node = device->child(n, 0);
            if (!node)
                continue;
            nodeCount += 2;
            const QString lnPath = device->text() + QLatin1Char('/') + node->text();
            for (int c = 0; c < node->rowCount(); ++c) {
                const QStandardItem *child = node->child(c, 0);
                if (!child)
                    continue;
                const int kind = kindOf(child);
                if (branch == SclBranch::DataObjectsRow && kind == FunctionalConstraintKind) {
                    ++nodeCount;
                    for (int o = 0; o < child->rowCount(); ++o) {
                        if (const QStandardItem *object = child->child(o, 0))
                            addObjects(object, lnPath, child->text());
                    }
                } else if (branch == SclBranch::DataSetsRow && kind == DataSetKind) {
                    QStringList members;
                    members.reserve(child->rowCount());
                    for (int m = 0; m < child->rowCount(); ++m) {
                        if (const QStandardItem *member = child->child(m, 0))
                            members.append(relative(member->text(), iedName));
                    }
                    nodeCount += 1 + members.size();
                    dataSets.insert(relative(child->text(), iedName), members);
                } else if (branch == SclBranch::ReportsRow &&
                           (kind == UnbufferedReportKind || kind == BufferedReportKind)) {
                    ++nodeCount;
                    SnapshotReport report;
                    report.reference = child->text();
                    report.buffered = kind == BufferedReportKind;
                    QVariant dataSet = child->data(DatasetRefRole);
                    if (!dataSet.isValid())
                        dataSet = child->data(ReportDatasetRole);
                    report.dataSetReference = relative(dataSet.toString(), iedName);
                    if (child->data(RptIdRole).isValid())
                        report.reportId = child->data(RptIdRole).toString();
                    report.confRev = intRole(child, ConfRevRole);
                    report.triggerOptions = intRole(child, TrgOpsRole);
                    report.optionalFields = intRole(child, OptFieldsRole);
                    report.integrityPeriod = intRole(child, IntgPdRole);
                    report.bufferTime = intRole(child, BufTimeRole);
                    reports.insert(reportKey(relative(report.reference, iedName)), report);
                }
            }
        }
    }
}

int ModelSnapshot::addObjects(const QStandardItem *node, const QString &parentPath,
                              const QString &constraint)
{
    ++nodeCount;
    // Below the logical node the path joins names with dots; the LN itself
    // follows the device after a slash, as in every reference.
    const QString path = parentPath + QLatin1Char('.') + nodeNamePart(node->text());
    SnapshotObject object;
    object.kind = kindOf(node);
    if (node->data(MmsTypeRole).isValid())
        object.mmsType = node->data(MmsTypeRole).toInt();
    QStringList &found = constraints[path];
    if (!found.contains(constraint))
        found.append(constraint);
    for (int row = 0; row < node->rowCount(); ++row) {
        if (const QStandardItem *child = node->child(row, 0))
            object.leafCount += addObjects(child, path, constraint);
    }
    objects.insert(objectKey(path, constraint), object);
    return object.leafCount + (object.kind == DataAttributeKind ? 1 : 0);
}
