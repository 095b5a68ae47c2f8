#include "scldataobjectspass.h"

#include "sclelements.h"
#include "sclmodel.h"
#include "sclnodefactory.h"
#include "sclparsefeedback.h"
#include "scltypeindex.h"

#include <QDebug>
#include <QHash>
#include <QRegularExpression>
#include <QStandardItem>

namespace {

const QString StructType = QStringLiteral("Struct");
const QString ControlConstraint = QStringLiteral("CF");
// The data object the RTU operates is the one under "CO"; it carries the same
// control model as its configuration under "CF", and so does every node below
// it, because a pick of Oper, SBOw, Cancel or one of their members operates
// with that model.
const QString OperateConstraint = QStringLiteral("CO");
const QString CtlModelName = QStringLiteral("ctlModel");

QStandardItem *firstChildWithText(QStandardItem *parent, const QString &text)
{
    for (int row = 0; row < parent->rowCount(); ++row) {
        QStandardItem *child = parent->child(row);
        if (child && child->text() == text)
            return child;
    }
    return nullptr;
}

// The data object a ctlModel path leads to under a constraint node of the
// logical node; null when the constraint or a name of the path is missing.
QStandardItem *markedNode(QStandardItem *lnNode, const QString &constraint, const QStringList &path)
{
    QStandardItem *node = firstChildWithText(lnNode, constraint);
    if (!node || node->data(KindRole).toInt() != FunctionalConstraintKind)
        return nullptr;
    for (int i = 0; node && i < path.size() - 1; ++i)
        node = firstChildWithText(node, path.at(i));
    return node;
}

void markSubtree(QStandardItem *node, int code)
{
    node->setData(code, CtlModelRole);
    for (int row = 0; row < node->rowCount(); ++row) {
        if (QStandardItem *child = node->child(row))
            markSubtree(child, code);
    }
}

} // namespace

SclDataObjectsPass::SclDataObjectsPass(const SclTypeIndex &types, SclNodeFactory &nodes,
                                       SclParseFeedback &feedback, QList<CtlModelRecord> &ctlModels)
    : types(types), nodes(nodes), feedback(feedback), ctlModels(ctlModels)
{
}

int SclDataObjectsPass::mmsTypeOf(const QString &bType)
{
    // The types a server following IEC 61850-8-1 gives each basic type: coded
    // enumerations, packed lists and Check are bit strings, entry times binary
    // times, object references and currencies visible strings.
    static const QHash<QString, int> codes{
        {"BOOLEAN", MmsBoolean},     {"INT8", MmsInteger},         {"INT16", MmsInteger},
        {"INT24", MmsInteger},       {"INT32", MmsInteger},        {"INT64", MmsInteger},
        {"INT128", MmsInteger},      {"Enum", MmsInteger},         {"SIUnit", MmsInteger},
        {"INT8U", MmsUnsigned},      {"INT16U", MmsUnsigned},      {"INT24U", MmsUnsigned},
        {"INT32U", MmsUnsigned},     {"FLOAT32", MmsFloat},        {"FLOAT64", MmsFloat},
        {"EntryID", MmsOctetString}, {"ObjRef", MmsVisibleString}, {"Currency", MmsVisibleString},
        {"Unicode255", MmsString},   {"Timestamp", MmsUtcTime},    {"EntryTime", MmsBinaryTime},
        {"Quality", MmsBitString},   {"Dbpos", MmsBitString},      {"Tcmd", MmsBitString},
        {"Check", MmsBitString},     {"OptFlds", MmsBitString},    {"TrgOps", MmsBitString},
        {"SvOptFlds", MmsBitString}, {"LogOptFlds", MmsBitString}, {"PhyComAddr", MmsStructure},
    };
    const auto found = codes.constFind(bType);
    if (found != codes.constEnd())
        return found.value();
    // VisString32 ... VisString255, Octet6 ... Octet64: the number is the size.
    static const QRegularExpression sized(QStringLiteral("^(VisString|Octet)\\d{1,5}$"));
    const QRegularExpressionMatch match = sized.match(bType);
    if (match.hasMatch())
        return match.captured(1) == QLatin1String("Octet") ? MmsOctetString : MmsVisibleString;
    return MmsInteger;
}

int SclDataObjectsPass::parseDataObjects(const QDomElement &ied, const QList<LnRecord> &lnRecords,
                                         QStandardItem **iedNode)
{
    if (lnRecords.isEmpty())
        return -1;
    const QString iedName = lnRecords.first().iedName;
    nextId = 0;
    nodeCount = 0;
    warnings.clear();
    typeChain.clear();

    // The branch is built apart from the model and attached by the caller: a
    // view on the model would otherwise lay out every row as it is inserted.
    auto *iedItem = new QStandardItem(iedName);
    nodes.attachNode(iedItem, IedKind, nextId++, SclIcon::Device, nullptr, -1);
    iedItem->setData(SclIedKind, SclKindRole);
    *iedNode = iedItem;

    for (const QDomElement &lDevice : SclElements::descendants(ied, QStringLiteral("LDevice"))) {
        const QString ldInst = lDevice.attribute(QStringLiteral("inst"));
        auto *ldNode = new QStandardItem(ldInst);
        nodes.attachNode(ldNode, LogicalDeviceKind, nextId++, SclIcon::Device, iedItem, 0);
        ldNode->setData(SclLogicalDeviceKind, SclKindRole);
        for (const QDomElement &ln : SclElements::logicalNodes(lDevice))
            addLogicalNode(ln, iedName, ldInst, ldNode);
    }
    feedback.flush();
    return 0;
}

void SclDataObjectsPass::addLogicalNode(const QDomElement &ln, const QString &iedName,
                                        const QString &ldInst, QStandardItem *ldNode)
{
    const QString lnType = ln.attribute(QStringLiteral("lnType"));
    const SclElements::LnIdentity identity = SclElements::lnIdentity(ln);
    const QString lnRef = identity.reference(iedName, ldInst);

    auto *lnNode = new QStandardItem(identity.name());
    nodes.attachNode(lnNode, LogicalNodeKind, nextId++, SclIcon::LogicalNode, ldNode, 0);
    lnNode->setData(SclLogicalNodeKind, SclKindRole);

    for (const QDomElement &lnodeType : types.lnodeTypes(lnType)) {
        const QDomNodeList children = lnodeType.childNodes();
        for (const QString &fc : FunctionalConstraintList()) {
            feedback.startProgress(children.size());
            auto *fcNode = new QStandardItem(fc);
            nodes.attachNode(fcNode, FunctionalConstraintKind, nextId++, SclIcon::Constraint,
                             lnNode, 0);
            fcNode->setData(SclFunctionalConstraintKind, SclKindRole);
            bool anyAttribute = false;
            for (int i = 0; i < children.size(); ++i) {
                // A comment or another tag still uses up an id: its node is made
                // and removed again like a data object without attributes.
                const QDomElement child = children.at(i).toElement();
                const QString name = child.attribute(QStringLiteral("name"));
                feedback.step([&] { return lnRef + QLatin1Char('/') + name; });
                auto *doNode = new QStandardItem(name);
                nodes.attachNode(doNode, DataObjectKind, nextId++, SclIcon::DataObject, fcNode, 0);
                doNode->setData(SclDataObjectKind, SclKindRole);
                doNode->setData(MmsStructure, MmsTypeRole);
                ++nodeCount;
                if (expandElement(ln, child, doNode, QString(), fc, 0) == 0)
                    fcNode->removeRow(fcNode->rowCount() - 1);
                else
                    anyAttribute = true;
            }
            if (!anyAttribute)
                lnNode->removeRow(lnNode->rowCount() - 1);
        }
    }
}

void SclDataObjectsPass::warnOnce(const QString &message)
{
    if (warnings.contains(message))
        return;
    warnings.insert(message);
    qWarning().noquote() << message;
}

bool SclDataObjectsPass::withinNodeBudget()
{
    if (nodeCount < MaxNodes)
        return true;
    warnOnce(QStringLiteral("SCL data objects: more than %1 nodes; the rest of the IED's data "
                            "objects is left out")
                 .arg(MaxNodes));
    return false;
}

int SclDataObjectsPass::expandElement(const QDomElement &ln, const QDomElement &element,
                                      QStandardItem *parent, const QString &inheritedFc,
                                      const QString &wantedFc, int total)
{
    const QString tag = element.tagName();
    const QString type = element.attribute(QStringLiteral("type"));
    const QVector<QDomNode> *children = nullptr;
    QString chainKey;
    if (tag == QLatin1String("DA") || tag == QLatin1String("BDA")) {
        children = &types.dataTypeChildren(type);
        chainKey = QStringLiteral("DAType ") + type;
    } else if (tag == QLatin1String("DO") || tag == QLatin1String("SDO")) {
        children = &types.doTypeChildren(type);
        chainKey = QStringLiteral("DOType ") + type;
    } else {
        return 0;
    }
    if (children->isEmpty())
        return total;
    if (typeChain.contains(chainKey)) {
        warnOnce(QStringLiteral("SCL %1 contains itself (%2 > %1); the recursion is cut")
                     .arg(chainKey, QStringList(typeChain.toList()).join(QLatin1String(" > "))));
        return total;
    }
    if (typeChain.size() >= MaxNestingDepth) {
        warnOnce(QStringLiteral("SCL types nested deeper than %1 levels at %2; the nesting is cut")
                     .arg(QString::number(MaxNestingDepth), chainKey));
        return total;
    }
    typeChain.append(chainKey);

    for (int i = 0; i < children->size(); ++i) {
        if (!withinNodeBudget())
            break;
        const QDomElement child = children->at(i).toElement();
        QString fc;
        QString bType;
        int elementKind;
        if (child.tagName() == QLatin1String("SDO")) {
            bType = StructType;
            elementKind = SclSubDataObjectKind;
        } else {
            fc = child.hasAttribute(QStringLiteral("fc")) ? child.attribute(QStringLiteral("fc"))
                                                          : inheritedFc;
            if (fc != wantedFc)
                continue;
            bType = child.attribute(QStringLiteral("bType"));
            elementKind = SclDataAttributeKind;
        }
        const QString name = child.attribute(QStringLiteral("name"));
        const QString count = child.attribute(QStringLiteral("count"));
        int arrayLength = count.isEmpty() ? 0 : count.toInt();
        int rounds = count.isEmpty() ? 1 : arrayLength;
        if (arrayLength > MaxArrayLength) {
            warnOnce(QStringLiteral("SCL attribute %1 of %2 has count %3; only the first %4 "
                                    "elements are shown")
                         .arg(name, chainKey, count, QString::number(MaxArrayLength)));
            arrayLength = rounds = MaxArrayLength;
        }

        const bool phyComAddr = bType == PhyComAddrType;
        const bool structure = bType == StructType || phyComAddr;
        QStandardItem *named = nodes.appendElementNode(parent, name, elementKind, nextId++, i);
        ++nodeCount;
        // Leaves get their type below; an array of a basic type is a leaf too.
        if (structure)
            named->setData(count.isEmpty() ? MmsStructure : MmsArray, MmsTypeRole);
        for (int j = 0; j < rounds && withinNodeBudget(); ++j) {
            QStandardItem *target = named;
            if (arrayLength != 0) {
                target =
                    nodes.appendElementNode(named, arrayElementText(j), elementKind, nextId++, -1);
                ++nodeCount;
                // An element of a basic type is read as that type.
                target->setData(structure ? MmsStructure : mmsTypeOf(bType), MmsTypeRole);
            }
            if (phyComAddr) {
                target->setData(bType, BTypeRole);
                total = addPhyComAddrMembers(target, fc, total);
            } else if (structure) {
                const int result = expandElement(ln, child, target, fc, wantedFc, total);
                if (result == total) {
                    QStandardItem *holder = target == named ? parent : named;
                    holder->removeRow(target->row());
                }
                total = result;
            } else {
                if (fc == ControlConstraint && name == CtlModelName)
                    findCtlModel(ln, parent, CtlModelName);
                makeLeaf(named, name, fc, bType, i);
                ++total;
            }
        }
    }
    typeChain.removeLast();
    return total;
}

void SclDataObjectsPass::makeLeaf(QStandardItem *node, const QString &name, const QString &fc,
                                  const QString &bType, int treeIndex)
{
    node->setIcon(nodes.icon(SclIcon::DataAttribute));
    node->setData(DataAttributeKind, KindRole);
    node->setData(treeIndex, TreeIndexRole);
    node->setData(bType, BTypeRole);
    node->setData(mmsTypeOf(bType), MmsTypeRole);
    node->setText(leafAttributeText(name, fc, bType));
}

int SclDataObjectsPass::addPhyComAddrMembers(QStandardItem *address, const QString &fc, int total)
{
    const QVector<SclTypeMember> &members = phyComAddrMembers();
    for (int i = 0; i < members.size() && withinNodeBudget(); ++i) {
        const SclTypeMember &member = members.at(i);
        QStandardItem *leaf =
            nodes.appendElementNode(address, member.name, SclDataAttributeKind, nextId++, i);
        ++nodeCount;
        makeLeaf(leaf, member.name, fc, member.bType, i);
        ++total;
    }
    return total;
}

QString SclDataObjectsPass::findCtlModel(const QDomElement &ln, QStandardItem *parent,
                                         const QString &attributeName)
{
    QStringList path{attributeName};
    QStandardItem *node = parent;
    while (node && node->data(KindRole).toInt() != FunctionalConstraintKind) {
        path.prepend(node->text());
        node = node->parent();
    }
    if (!node || !node->parent())
        return {};
    QStandardItem *lnNode = node->parent();

    // Instance values nest as DOI, SDI and DAI elements below the LN; the last
    // name must be a DAI whose first Val holds the value.
    QDomElement current = ln;
    for (int step = 0; step < path.size(); ++step) {
        QDomElement match;
        for (QDomElement child = current.firstChildElement(); !child.isNull();
             child = child.nextSiblingElement()) {
            const QString tag = child.tagName();
            if ((tag == QLatin1String("DOI") || tag == QLatin1String("SDI") ||
                 tag == QLatin1String("DAI")) &&
                child.attribute(QStringLiteral("name")) == path.at(step)) {
                match = child;
                break;
            }
        }
        if (match.isNull())
            return {};
        if (step == path.size() - 1) {
            if (match.tagName() != QLatin1String("DAI"))
                return {};
            const QDomElement val = match.firstChildElement(QStringLiteral("Val"));
            if (val.isNull())
                return {};
            const QString value = val.text();
            ctlModels.append(CtlModelRecord{lnNode, path, ControlConstraint, value});
            return value;
        }
        current = match;
    }
    return {};
}

void SclDataObjectsPass::applyCtlModels(const QList<CtlModelRecord> &ctlModels)
{
    for (const CtlModelRecord &record : ctlModels) {
        if (!record.lnNode || record.lnNode->data(KindRole).toInt() != LogicalNodeKind)
            continue;
        const int code = ctlModelCode(record.value);
        for (const QString &constraint : {record.constraint, OperateConstraint}) {
            QStandardItem *node = markedNode(record.lnNode, constraint, record.path);
            if (!node)
                continue;
            if (constraint == OperateConstraint)
                markSubtree(node, code);
            else
                node->setData(code, CtlModelRole);
            const QString parentText = node->parent() ? node->parent()->text() : QString();
            qDebug().noquote() << parentText << node->text() << "ctlModel to " << record.value
                               << code;
        }
    }
}
