#include "simulatedenumerations.h"

#include <QStringList>

#include <algorithm>

namespace {

// Deeper nesting than any template has: a file whose types name each other.
constexpr int MaxDepth = 16;

QString text(const QXmlStreamAttributes &attributes, const char *name)
{
    return attributes.value(QLatin1String(name)).toString();
}

} // namespace

bool SimulatedEnumerations::wantsText(const QStringRef &tag)
{
    return tag == QLatin1String("Val") || tag == QLatin1String("EnumVal");
}

void SimulatedEnumerations::element(const QStringRef &tag, const QXmlStreamAttributes &attributes,
                                    const QString &valText)
{
    if (tag == QLatin1String("IED")) {
        inIed = text(attributes, "name") == iedName;
    } else if (tag == QLatin1String("LDevice")) {
        ldInst = text(attributes, "inst");
    } else if (inIed && (tag == QLatin1String("LN0") || tag == QLatin1String("LN"))) {
        nodes.append(
            {iedName + ldInst,
             text(attributes, "prefix") + text(attributes, "lnClass") + text(attributes, "inst"),
             text(attributes, "lnType")});
    } else if (tag == QLatin1String("LNodeType") || tag == QLatin1String("DOType") ||
               tag == QLatin1String("DAType")) {
        currentType = text(attributes, "id");
        types[currentType].clear();
    } else if (tag == QLatin1String("EnumType")) {
        currentEnum = text(attributes, "id");
    } else if (tag == QLatin1String("EnumVal") && !currentEnum.isEmpty()) {
        enumTypes[currentEnum].insert(valText, text(attributes, "ord").toInt());
    } else if (!currentType.isEmpty() &&
               (tag == QLatin1String("DO") || tag == QLatin1String("SDO") ||
                tag == QLatin1String("DA") || tag == QLatin1String("BDA"))) {
        const bool objectLike = tag == QLatin1String("DO") || tag == QLatin1String("SDO");
        types[currentType].append({text(attributes, "name"), text(attributes, "fc"),
                                   objectLike ? QString() : text(attributes, "bType"),
                                   text(attributes, "type"), QString(),
                                   !text(attributes, "count").isEmpty() &&
                                       text(attributes, "count") != QLatin1String("0")});
        inAttribute = !objectLike;
    } else if (tag == QLatin1String("Val") && inAttribute && !currentType.isEmpty()) {
        Attribute &attribute = types[currentType].last();
        if (attribute.initial.isEmpty())
            attribute.initial = valText;
    }
}

void SimulatedEnumerations::endElement(const QStringRef &tag)
{
    if (tag == QLatin1String("IED"))
        inIed = false;
    else if (tag == QLatin1String("LNodeType") || tag == QLatin1String("DOType") ||
             tag == QLatin1String("DAType"))
        currentType.clear();
    else if (tag == QLatin1String("EnumType"))
        currentEnum.clear();
    else if (tag == QLatin1String("DA") || tag == QLatin1String("BDA"))
        inAttribute = false;
}

int SimulatedEnumerations::validOrd(const QString &enumType, const QString &initial,
                                    qint64 current) const
{
    const QHash<QString, int> ords = enumTypes.value(enumType);
    if (ords.isEmpty())
        return int(current);
    QList<int> listed = ords.values();
    if (listed.contains(int(current)))
        return int(current);
    if (ords.contains(initial))
        return ords.value(initial);
    if (listed.contains(0))
        return 0;
    std::sort(listed.begin(), listed.end());
    return listed.first();
}

void SimulatedEnumerations::applyBelow(const MmsServerModel &model, const QString &domain,
                                       const QString &node, const QString &path, const QString &fc,
                                       const QString &typeId, int depth) const
{
    if (depth > MaxDepth)
        return;
    for (const Attribute &attribute : types.value(typeId)) {
        if (attribute.array)
            continue; // elements keep their type's defaults
        const QString below =
            path.isEmpty() ? attribute.name : path + QLatin1Char('$') + attribute.name;
        const QString constraint = attribute.fc.isEmpty() ? fc : attribute.fc;
        if (attribute.bType.isEmpty() || attribute.bType == QLatin1String("Struct")) {
            applyBelow(model, domain, node, below, constraint, attribute.type, depth + 1);
            continue;
        }
        if (attribute.bType != QLatin1String("Enum") || constraint.isEmpty())
            continue;
        const QString item = node + QLatin1Char('$') + constraint + QLatin1Char('$') + below;
        MmsTypeSpec type;
        MmsValue current;
        if (!model.find(domain, item, &type, &current) || type.type() != MmsType::Integer)
            continue;
        const int ord = validOrd(attribute.type, attribute.initial, current.toInt64());
        if (ord != current.toInt64())
            model.update(domain, item, MmsValue::integer(ord), true);
    }
}

void SimulatedEnumerations::apply(const MmsServerModel &model) const
{
    for (const LogicalNode &node : nodes)
        applyBelow(model, node.domain, node.name, QString(), QString(), node.lnType, 0);
}
