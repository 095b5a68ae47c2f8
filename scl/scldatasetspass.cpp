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

// Where an FCDA points: its logical device, logical node, data object and constraint.
struct FcdaTarget
{
    QString ldInst;
    SclElements::LnIdentity ln;
    QString doName;
    QString fc;
};

FcdaTarget fcdaTarget(const QDomElement &fcda)
{
    return {fcda.attribute(QStringLiteral("ldInst")),
            {fcda.attribute(QStringLiteral("prefix")), fcda.attribute(QStringLiteral("lnClass")),
             fcda.attribute(QStringLiteral("lnInst"))},
            fcda.attribute(QStringLiteral("doName")),
            fcda.attribute(QStringLiteral("fc"))};
}

} // namespace

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
                    if (fcda.hasAttribute(QStringLiteral("daName")))
                        addAttributeMember(fcda, dataSetNode);
                    else
                        addDataObjectMember(fcda, dataSetNode);
                }
            }
        }
    }
    feedback.flush();

    dataSetsRoot->appendRow(iedNode);
    return 0;
}

void SclDataSetsPass::addAttributeMember(const QDomElement &fcda, QStandardItem *dataSetNode)
{
    const FcdaTarget target = fcdaTarget(fcda);
    const QString daName = fcda.attribute(QStringLiteral("daName"));

    // The RTU reads the member with the attribute's real type; one that cannot
    // be found keeps the integer default.
    QString bType = QStringLiteral("INT16");
    int mmsType = MmsInteger;
    QStandardItem *dataObject = findDataObjectNode(iedName, target.ldInst, target.ln.name(),
                                                   target.doName, target.fc, dataObjectsIed);
    if (QStandardItem *attribute = findAttributeNode(dataObject, daName)) {
        if (attribute->data(KindRole).toInt() == DataAttributeKind) {
            bType = attribute->data(BTypeRole).toString();
            mmsType = attribute->data(MmsTypeRole).toInt();
        } else {
            // A structure, or an array of them.
            bType = QStringLiteral("Struct");
            mmsType = attribute->data(MmsTypeRole).toInt();
        }
    }

    auto *leaf = new QStandardItem(
        dataSetMemberAttributeReference(iedName, target.ldInst, target.ln.prefix, target.ln.lnClass,
                                        target.ln.inst, target.doName, daName, target.fc));
    leaf->setData(bType, BTypeRole);
    leaf->setData(mmsType, MmsTypeRole);
    nodes.attachNode(leaf, DataAttributeKind, nextId++, SclIcon::DataAttribute, dataSetNode, 0);
}

void SclDataSetsPass::addDataObjectMember(const QDomElement &fcda, QStandardItem *dataSetNode)
{
    const FcdaTarget target = fcdaTarget(fcda);
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
