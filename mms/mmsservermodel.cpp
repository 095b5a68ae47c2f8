#include "mmsservermodel.h"

#include <algorithm>

namespace {

int sortKey(QChar c)
{
    const ushort u = c.unicode();
    if (u == '$')
        return 0;
    if (u < 0x80 && c.isLetter())
        return 1000 + c.toLower().unicode();
    if (u < 0x80 && c.isDigit())
        return 2000 + u;
    return u < 0x80 ? u : 3000 + u;
}

void flatten(const QString &prefix, const MmsTypeSpec &type, QStringList *names)
{
    if (type.type() != MmsType::Structure)
        return;
    for (int i = 0; i < type.componentCount(); ++i) {
        const QString name = prefix + QLatin1Char('$') + type.componentName(i);
        names->append(name);
        flatten(name, type.component(i), names);
    }
}

} // namespace

bool MmsServerModel::nameLessThan(const QString &a, const QString &b)
{
    const int length = qMin(a.size(), b.size());
    for (int i = 0; i < length; ++i) {
        const int ka = sortKey(a.at(i));
        const int kb = sortKey(b.at(i));
        if (ka != kb)
            return ka < kb;
    }
    return a.size() < b.size();
}

MmsServerDomain &MmsServerModel::domain(const QString &name)
{
    const auto found = domainIndex.constFind(name);
    if (found != domainIndex.constEnd())
        return domainList[found.value()];
    domainIndex.insert(name, domainList.size());
    domainList.append(MmsServerDomain{name, {}, {}});
    return domainList.last();
}

void MmsServerModel::finish()
{
    sortedDomains.clear();
    indexes.clear();
    for (const MmsServerDomain &d : qAsConst(domainList)) {
        sortedDomains << d.name;
        Index &index = indexes[d.name];
        for (int i = 0; i < d.variables.size(); ++i) {
            const MmsServerVariable &variable = d.variables.at(i);
            index.variables.insert(variable.name, i);
            index.variableNames << variable.name;
            flatten(variable.name, variable.type, &index.variableNames);
        }
        for (int i = 0; i < d.dataSets.size(); ++i) {
            index.dataSets.insert(d.dataSets.at(i).name, i);
            index.dataSetNames << d.dataSets.at(i).name;
        }
        std::sort(index.variableNames.begin(), index.variableNames.end(), nameLessThan);
        std::sort(index.dataSetNames.begin(), index.dataSetNames.end(), nameLessThan);
    }
    std::sort(sortedDomains.begin(), sortedDomains.end(), nameLessThan);
}

QStringList MmsServerModel::variableNames(const QString &domain) const
{
    return indexes.value(domain).variableNames;
}

QStringList MmsServerModel::dataSetNames(const QString &domain) const
{
    return indexes.value(domain).dataSetNames;
}

bool MmsServerModel::find(const QString &domain, const QString &item, MmsTypeSpec *type,
                          MmsValue *value) const
{
    const auto index = indexes.constFind(domain);
    if (index == indexes.constEnd())
        return false;
    const QStringList parts = item.split(QLatin1Char('$'));
    const int variableIndex = index->variables.value(parts.first(), -1);
    if (variableIndex < 0)
        return false;
    const MmsServerVariable &variable =
        domainList.at(domainIndex.value(domain)).variables.at(variableIndex);
    const MmsTypeSpec *currentType = &variable.type;
    const MmsValue *currentValue = &variable.value;
    for (int i = 1; i < parts.size(); ++i) {
        if (currentType->type() != MmsType::Structure)
            return false;
        const int component = currentType->indexOf(parts.at(i));
        if (component < 0)
            return false;
        currentType = &currentType->component(component);
        currentValue = currentValue && component < currentValue->elementCount()
                           ? &currentValue->elements()[size_t(component)]
                           : nullptr;
    }
    *type = *currentType;
    *value = currentValue && !currentValue->isNull() ? *currentValue : currentType->defaultValue();
    return true;
}

const MmsServerDataSet *MmsServerModel::dataSet(const QString &domain, const QString &item) const
{
    const auto index = indexes.constFind(domain);
    if (index == indexes.constEnd())
        return nullptr;
    const int dataSetIndex = index->dataSets.value(item, -1);
    if (dataSetIndex < 0)
        return nullptr;
    return &domainList.at(domainIndex.value(domain)).dataSets.at(dataSetIndex);
}
