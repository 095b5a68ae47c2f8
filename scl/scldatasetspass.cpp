#include "scldatasetspass.h"

#include "sclelements.h"
#include "sclmodel.h"
#include "sclnodefactory.h"
#include "sclparsefeedback.h"

#include <QDebug>
#include <QStandardItem>

namespace {

QStandardItem *childWithText(QStandardItem *parent, const QString &text)
{
    for (int row = 0; row < parent->rowCount(); ++row) {
        QStandardItem *child = parent->child(row);
        if (child && child->text() == text)
            return child;
    }
    return nullptr;
}

QStandardItem *childWithTextAndKind(QStandardItem *parent, const QString &text, int kind)
{
    QStandardItem *child = childWithText(parent, text);
    if (!child || child->data(KindRole).toInt() != kind || !child->data(KindRole).isValid())
        return nullptr;
    return child;
}

} // namespace

SclDataSetsPass::FcdaTarget SclDataSetsPass::fcdaTarget(const QDomElement &fcda)
{
    return {fcda.attribute(QStringLiteral("ldInst")),
            {fcda.attribute(QStringLiteral("prefix")), fcda.attribute(QStringLiteral("lnClass")),
             fcda.attribute(QStringLiteral("lnInst"))},
            fcda.attribute(QStringLiteral("doName")),
            fcda.attribute(QStringLiteral("daName")),
            fcda.attribute(QStringLiteral("fc"))};
}

bool SclDataSetsPass::splitAttributeFromDoName(FcdaTarget *target) const
{
    // A doName may run on past its data object into an attribute
    // ("SchdAbsTm.sptestval1"): the device lists such a member as the
    // attribute, so it is one, named as with a daName.
    QString path = target->doName;
    path.replace(QLatin1Char('/'), QLatin1Char('.'));
    const QStringList parts = path.split(QLatin1Char('.'));
    QStandardItem *node = findDataObjectNode(iedName, target->ldInst, target->ln.name(),
                                             parts.first(), target->fc, dataObjectsIed);
    for (int count = 1; node && count < parts.size(); ++count) {
        QStandardItem *next = findAttributeNode(node, parts.at(count));
        if (next && next->data(SclKindRole).toInt() == SclDataAttributeKind) {
            target->doName = QStringList(parts.mid(0, count)).join(QLatin1Char('.'));
            target->daName = QStringList(parts.mid(count)).join(QLatin1Char('.'));
            return true;
        }
        node = next;
    }
    return false;
}

SclDataSetsPass::SclDataSetsPass(SclNodeFactory &nodes, SclParseFeedback &feedback,
                                 QStandardItem *dataObjectsIed)
    : nodes(nodes), feedback(feedback), dataObjectsIed(dataObjectsIed)
{
}

int SclDataSetsPass::parseDataSets(const QDomElement &ied, const QString &iedName,
                                   QStandardItem *dataSetsRoot)
{
    this->iedName = iedName;
    nextId = 0;
    copiedNodes = 0;
    budgetWarned = false;

    auto *iedNode = new QStandardItem(iedName);
    nodes.attachNode(iedNode, IedKind, nextId++, SclIcon::Device, nullptr, -1);

    for (const QDomElement &lDevice : SclElements::descendants(ied, QStringLiteral("LDevice"))) {
        const QString ldInst = lDevice.attribute(QStringLiteral("inst"));
        auto *ldNode = new QStandardItem(ldInst);
        nodes.attachNode(ldNode, LogicalDeviceKind, nextId++, SclIcon::Device, iedNode, 0);
        for (const QDomElement &ln : SclElements::logicalNodes(lDevice)) {
            const QVector<QDomElement> dataSets =
                SclElements::descendants(ln, QStringLiteral("DataSet"));
            if (dataSets.isEmpty())
                continue;
            const SclElements::LnIdentity identity = SclElements::lnIdentity(ln);
            const QString lnRef = identity.reference(iedName, ldInst);
            auto *lnNode = new QStandardItem(identity.name());
            nodes.attachNode(lnNode, LogicalNodeKind, nextId++, SclIcon::LogicalNode, ldNode, 0);
            feedback.startProgress(dataSets.size());
            for (const QDomElement &dataSet : dataSets) {
                const QString reference =
                    dataSetReference(lnRef, dataSet.attribute(QStringLiteral("name")));
                feedback.step([&] {
                    return QStringLiteral("DATASET: ") + lnRef + QLatin1Char('-') + reference;
                });
                auto *dataSetNode = new QStandardItem(reference);
                nodes.attachNode(dataSetNode, DataSetKind, nextId++, SclIcon::DataSet, lnNode, 0);
                for (const QDomElement &fcda :
                     SclElements::descendants(dataSet, QStringLiteral("FCDA"))) {
                    FcdaTarget target = fcdaTarget(fcda);
                    if (!target.daName.isEmpty() || splitAttributeFromDoName(&target))
                        addAttributeMember(target, dataSetNode);
                    else
                        addDataObjectMember(target, dataSetNode);
                }
            }
        }
    }
    feedback.flush();

    dataSetsRoot->appendRow(iedNode);
    return 0;
}

void SclDataSetsPass::addAttributeMember(const FcdaTarget &target, QStandardItem *dataSetNode)
{
    auto *leaf = new QStandardItem(
        dataSetMemberAttributeReference(iedName, target.ldInst, target.ln.prefix, target.ln.lnClass,
                                        target.ln.inst, target.doName, target.daName, target.fc));
    // The RTU reads the member with the attribute's real type; one that cannot
    // be found has no known type, rather than a wrong one.
    leaf->setData(MmsUnknownType, MmsTypeRole);
    QStandardItem *dataObject = findDataObjectNode(iedName, target.ldInst, target.ln.name(),
                                                   target.doName, target.fc, dataObjectsIed);
    if (QStandardItem *attribute = findAttributeNode(dataObject, target.daName)) {
        // A structure, or an array of them, is read as the structure.
        const bool basic = attribute->data(KindRole).toInt() == DataAttributeKind;
        leaf->setData(basic ? attribute->data(BTypeRole).toString() : QStringLiteral("Struct"),
                      BTypeRole);
        leaf->setData(attribute->data(MmsTypeRole).toInt(), MmsTypeRole);
    }
    nodes.attachNode(leaf, DataAttributeKind, nextId++, SclIcon::DataAttribute, dataSetNode, 0);
}

void SclDataSetsPass::addDataObjectMember(const FcdaTarget &target, QStandardItem *dataSetNode)
{
    const QString reference =
        dataSetReference(target.ln.reference(iedName, target.ldInst), target.doName);
    if (feedback.hasLog())
        feedback.appendLog(QStringLiteral("Dataset Elements: ") + reference);

    QStandardItem *node = findDataObjectNode(iedName, target.ldInst, target.ln.name(),
                                             target.doName, target.fc, dataObjectsIed);
    if (!node)
        return;
    const int size = subtreeSize(node);
    if (copiedNodes + size > MaxCopiedNodes) {
        if (!budgetWarned) {
            qWarning().noquote() << "SCL data sets: copies of data objects exceed" << MaxCopiedNodes
                                 << "nodes; further members are left out";
            budgetWarned = true;
        }
        return;
    }
    copiedNodes += size;
    QStandardItem *copy = cloneTree(node);
    copy->setText(reference);
    dataSetNode->appendRow(copy);
    copy->setData(dataSetNode->data(NodeIdRole), ParentIdRole);
}

QStandardItem *SclDataSetsPass::findDataObjectNode(const QString &iedName, const QString &ldInst,
                                                   const QString &lnName, const QString &doName,
                                                   const QString &fc, QStandardItem *iedNode)
{
    if (!iedNode || !iedNode->data(KindRole).isValid() ||
        iedNode->data(KindRole).toInt() != IedKind || iedNode->text() != iedName)
        return nullptr;
    QStandardItem *node = childWithTextAndKind(iedNode, ldInst, LogicalDeviceKind);
    if (node)
        node = childWithTextAndKind(node, lnName, LogicalNodeKind);
    if (node)
        node = childWithTextAndKind(node, fc, FunctionalConstraintKind);
    if (!node)
        return nullptr;
    QString path = doName;
    path.replace(QLatin1Char('/'), QLatin1Char('.'));
    const QStringList parts = path.split(QLatin1Char('.'));
    for (const QString &part : parts) {
        node = childWithText(node, part);
        if (!node)
            return nullptr;
    }
    return node;
}

QStandardItem *SclDataSetsPass::findAttributeNode(QStandardItem *dataObjectNode,
                                                  const QString &daName)
{
    if (!dataObjectNode)
        return nullptr;
    QStandardItem *node = dataObjectNode;
    const QStringList parts = daName.split(QLatin1Char('.'));
    for (const QString &part : parts) {
        if (part.isEmpty())
            return nullptr;
        const QString leafStart = part + QLatin1Char('{');
        QStandardItem *match = nullptr;
        for (int row = 0; row < node->rowCount() && !match; ++row) {
            QStandardItem *child = node->child(row);
            if (child && (child->text() == part || child->text().startsWith(leafStart)))
                match = child;
        }
        if (!match)
            return nullptr;
        node = match;
    }
    return node;
}

QStandardItem *SclDataSetsPass::cloneTree(QStandardItem *node)
{
    QStandardItem *copy = node->clone();
    for (int row = 0; row < node->rowCount(); ++row) {
        if (QStandardItem *child = node->child(row))
            copy->appendRow(cloneTree(child));
    }
    return copy;
}

int SclDataSetsPass::subtreeSize(QStandardItem *node)
{
    int size = 1;
    for (int row = 0; row < node->rowCount(); ++row) {
        if (QStandardItem *child = node->child(row))
            size += subtreeSize(child);
    }
    return size;
}
