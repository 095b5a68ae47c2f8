#include "sclinstancecheck.h"

#include <QCoreApplication>
#include <QHash>

namespace {

// Nesting of SCL types is a few levels; a loop of types must not recurse forever.
constexpr int MaxTypeDepth = 16;

QString tr(const char *text)
{
    return QCoreApplication::translate("SclInstanceCheck", text);
}

QString withoutIndex(const QString &name)
{
    const int bracket = name.indexOf(QLatin1Char('('));
    return bracket < 0 ? name : name.left(bracket);
}

// Octets of a value of a basic type in an MMS report: tag, length and the
// longest content the type allows.
int basicTypeSize(const QString &bType)
{
    static const QHash<QString, int> sizes{
        {QStringLiteral("BOOLEAN"), 3},        {QStringLiteral("INT8"), 3},
        {QStringLiteral("INT16"), 4},          {QStringLiteral("INT24"), 5},
        {QStringLiteral("INT32"), 6},          {QStringLiteral("INT64"), 10},
        {QStringLiteral("INT128"), 18},        {QStringLiteral("INT8U"), 3},
        {QStringLiteral("INT16U"), 4},         {QStringLiteral("INT24U"), 5},
        {QStringLiteral("INT32U"), 6},         {QStringLiteral("FLOAT32"), 7},
        {QStringLiteral("FLOAT64"), 11},       {QStringLiteral("Enum"), 3},
        {QStringLiteral("Dbpos"), 4},          {QStringLiteral("Tcmd"), 4},
        {QStringLiteral("Quality"), 5},        {QStringLiteral("Timestamp"), 10},
        {QStringLiteral("EntryTime"), 8},      {QStringLiteral("Check"), 4},
        {QStringLiteral("VisString32"), 34},   {QStringLiteral("VisString64"), 66},
        {QStringLiteral("VisString65"), 67},   {QStringLiteral("VisString129"), 132},
        {QStringLiteral("VisString255"), 258}, {QStringLiteral("Unicode255"), 768},
        {QStringLiteral("Octet64"), 66},       {QStringLiteral("ObjRef"), 132},
        {QStringLiteral("Currency"), 5},       {QStringLiteral("PhyComAddr"), 20},
        {QStringLiteral("TrgOps"), 4},         {QStringLiteral("OptFlds"), 5},
        {QStringLiteral("SvOptFlds"), 4},      {QStringLiteral("LogOptFlds"), 4},
        {QStringLiteral("EntryID"), 10},       {QStringLiteral("OctetString8"), 10}};
    return sizes.value(bType, 10);
}

const QStringList &ControlModels()
{
    static const QStringList models{
        QStringLiteral("status-only"), QStringLiteral("direct-with-normal-security"),
        QStringLiteral("sbo-with-normal-security"), QStringLiteral("direct-with-enhanced-security"),
        QStringLiteral("sbo-with-enhanced-security")};
    return models;
}

} // namespace

const SclTemplate *SclTypeResolver::typeOf(const SclTemplateChild &child) const
{
    if (child.isDataObject)
        return templates.doType(child.type);
    if (child.bType == QLatin1String("Struct"))
        return templates.daType(child.type);
    return nullptr;
}

SclResolved SclTypeResolver::resolve(const SclTemplate *lnodeType, const QStringList &names) const
{
    SclResolved resolved;
    resolved.type = lnodeType;
    for (const QString &name : names) {
        const QString plain = withoutIndex(name);
        const SclTemplateChild *child = resolved.type ? resolved.type->child(plain) : nullptr;
        if (!child) {
            resolved.missing = plain;
            return resolved;
        }
        resolved.last = child;
        resolved.type = typeOf(*child);
    }
    return resolved;
}

bool SclTypeResolver::hasConstraint(const SclTemplate *doType, const QString &fc, int depth) const
{
    if (!doType || depth > MaxTypeDepth)
        return false;
    for (const SclTemplateChild &child : doType->children) {
        if (child.isDataObject ? hasConstraint(templates.doType(child.type), fc, depth + 1)
                               : child.fc == fc)
            return true;
    }
    return false;
}

int SclTypeResolver::encodedSize(const SclTemplateChild &child, const QString &fc, int depth) const
{
    if (depth > MaxTypeDepth)
        return 0;
    const int elements = child.count > 0 ? child.count : 1;
    if (!child.isDataObject && child.bType != QLatin1String("Struct"))
        return elements * basicTypeSize(child.bType) + (child.count > 0 ? 4 : 0);
    const SclTemplate *type = typeOf(child);
    if (!type)
        return 0;
    int size = 0;
    for (const SclTemplateChild &member : type->children) {
        if (child.isDataObject && !member.isDataObject && member.fc != fc)
            continue;
        size += encodedSize(member, child.isDataObject ? fc : QString(), depth + 1);
    }
    // A data object without attributes of the constraint is left out of its structure.
    if (size == 0)
        return 0;
    return elements * (size + 4) + (child.count > 0 ? 4 : 0);
}

void SclInstanceCheck::add(SclSeverity severity, const SclIed &ied, const QString &reference,
                           qint64 line, const QString &text)
{
    findings.append(SclFinding{severity, ied.name, reference, line, text});
}

void SclInstanceCheck::check(const SclIed &ied)
{
    for (const SclLogicalNode &ln : ied.logicalNodes) {
        const SclTemplate *type = templates.lnodeType(ln.lnType);
        if (!type) {
            add(SclSeverity::Error, ied, ied.lnReference(ln), ln.line,
                tr("lnType \"%1\" names no LNodeType: the client knows none of the logical "
                   "node's data objects")
                    .arg(ln.lnType));
            continue;
        }
        checkInstances(ied, ln, type);
        checkControls(ied, ln, type);
    }
}

void SclInstanceCheck::checkInstances(const SclIed &ied, const SclLogicalNode &ln,
                                      const SclTemplate *type)
{
    // Each node resolves from its parent's type; below a node that does not
    // resolve nothing is reported again.
    QVector<const SclTemplate *> nodeTypes(ln.instances.size(), nullptr);
    QVector<bool> resolved(ln.instances.size(), false);
    for (int index = 0; index < ln.instances.size(); ++index) {
        const SclInstanceNode &node = ln.instances.at(index);
        if (node.parent >= 0 && !resolved.at(node.parent))
            continue;
        const SclTemplate *parentType = node.parent < 0 ? type : nodeTypes.at(node.parent);
        const QString name = withoutIndex(node.name);
        const SclTemplateChild *child = parentType ? parentType->child(name) : nullptr;
        const auto reference = [&] {
            return ied.lnReference(ln) + QLatin1Char('.') + ln.instancePath(index);
        };
        if (!child) {
            add(SclSeverity::Error, ied, reference(), node.line,
                tr("\"%1\" is not in the type \"%2\": the value configured here does not "
                   "exist in the IED's model")
                    .arg(name, parentType ? parentType->id : type->id));
            continue;
        }
        resolved[index] = true;
        nodeTypes[index] = resolver.typeOf(*child);
        if (!node.isAttribute || node.value.isEmpty() || child->bType != QLatin1String("Enum") ||
            !templates.hasEnumType(child->type))
            continue;
        // The control check says more about the ctlModel of a controllable object.
        if (child->name == QLatin1String("ctlModel") && parentType->child(QStringLiteral("Oper")))
            continue;
        if (!templates.enumValues(child->type).contains(node.value))
            add(SclSeverity::Error, ied, reference(), node.line,
                tr("value \"%1\" is not in EnumType \"%2\": the IED's value cannot be "
                   "configured and the client cannot show it")
                    .arg(node.value, child->type));
    }
}

void SclInstanceCheck::checkControls(const SclIed &ied, const SclLogicalNode &ln,
                                     const SclTemplate *type)
{
    auto instanceValue = [&ln](const QString &doName, const QString &daName) {
        for (const SclInstanceNode &node : ln.instances) {
            if (node.parent >= 0 && node.name == daName &&
                ln.instances.at(node.parent).parent < 0 &&
                ln.instances.at(node.parent).name == doName)
                return node.value;
        }
        return QString();
    };
    // The DOI of a data object when the IED has one, else the logical node.
    auto lineOf = [&ln](const QString &doName) {
        for (const SclInstanceNode &node : ln.instances) {
            if (node.parent < 0 && node.name == doName)
                return node.line;
        }
        return ln.line;
    };
    for (const SclTemplateChild &dataObject : type->children) {
        const SclTemplate *doType = templates.doType(dataObject.type);
        if (!dataObject.isDataObject || !doType || !doType->child(QStringLiteral("Oper")))
            continue;
        const QString reference = ied.lnReference(ln) + QLatin1Char('.') + dataObject.name;
        const SclTemplateChild *ctlModel = doType->child(QStringLiteral("ctlModel"));
        QString model = instanceValue(dataObject.name, QStringLiteral("ctlModel"));
        if (model.isEmpty() && ctlModel)
            model = ctlModel->value.trimmed();
        if (model.isEmpty()) {
            add(SclSeverity::Warning, ied, reference, lineOf(dataObject.name),
                tr("controllable (Oper) without ctlModel: the RTU cannot tell whether to "
                   "select before operate"));
            continue;
        }
        const bool inEnumeration = ctlModel && templates.hasEnumType(ctlModel->type)
                                       ? templates.enumValues(ctlModel->type).contains(model)
                                       : ControlModels().contains(model);
        if (!inEnumeration || !ControlModels().contains(model)) {
            add(SclSeverity::Error, ied, reference, lineOf(dataObject.name),
                tr("ctlModel \"%1\" is outside its enumeration: the RTU cannot choose a "
                   "control sequence the IED accepts")
                    .arg(model));
            continue;
        }
        if (!model.startsWith(QLatin1String("sbo")))
            continue;
        const SclTemplateChild *timeout = doType->child(QStringLiteral("sboTimeout"));
        const QString timeoutValue = instanceValue(dataObject.name, QStringLiteral("sboTimeout"));
        if (timeoutValue.isEmpty() && (!timeout || timeout->value.trimmed().isEmpty()))
            add(SclSeverity::Warning, ied, reference, lineOf(dataObject.name),
                tr("%1 without sboTimeout: the RTU does not know how long a selection "
                   "holds before the operate must follow")
                    .arg(model));
    }
}
