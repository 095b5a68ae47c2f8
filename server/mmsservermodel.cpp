#include "mmsservermodel.h"

#include <QMutexLocker>

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

// Every name below prefix, with the component positions that lead to it.
void flatten(const QString &prefix, const QVector<int> &path, const MmsTypeSpec &type,
             QStringList *names, QHash<QString, QVector<int>> *paths)
{
    if (type.type() != MmsType::Structure)
        return;
    for (int i = 0; i < type.componentCount(); ++i) {
        const QString name = prefix + QLatin1Char('$') + type.componentName(i);
        QVector<int> componentPath = path;
        componentPath.append(i);
        names->append(name);
        paths->insert(name, componentPath);
        flatten(name, componentPath, type.component(i), names, paths);
    }
}

bool isQuality(QStringView name)
{
    return name == QLatin1String("q");
}

bool isTimeStamp(QStringView name)
{
    return name == QLatin1String("t");
}

// Compares the leaves of two values of one type and records those that count.
void compareLeaves(const QString &domain, const QString &item, QStringView name,
                   const MmsTypeSpec &type, const MmsValue &before, const MmsValue &after,
                   QVector<MmsValueChange> *changes)
{
    if (type.type() == MmsType::Structure) {
        for (int i = 0; i < type.componentCount(); ++i) {
            const QString component = type.componentName(i);
            compareLeaves(domain, item + QLatin1Char('$') + component, component, type.component(i),
                          before.element(i), after.element(i), changes);
        }
        return;
    }
    if (isTimeStamp(name))
        return;
    int reasons = 0;
    if (isQuality(name))
        reasons = before == after ? 0 : 2;
    else
        reasons = before == after ? 4 : 1;
    if (reasons)
        changes->append({domain, item, reasons});
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
            index.paths.insert(variable.name, {i});
            flatten(variable.name, {i}, variable.type, &index.variableNames, &index.paths);
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
    QReadLocker locker(&valueLock);
    const MmsTypeSpec *foundType = nullptr;
    const MmsValue *foundValue = locate(domain, item, &foundType);
    if (!foundType)
        return false;
    *type = *foundType;
    *value = foundValue && !foundValue->isNull() ? *foundValue : foundType->defaultValue();
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

MmsValueHandle MmsServerModel::handle(const QString &domain, const QString &item) const
{
    MmsValueHandle found;
    const auto index = indexes.constFind(domain);
    if (index == indexes.constEnd())
        return found;
    const auto path = index->paths.constFind(item);
    if (path == index->paths.constEnd())
        return found;
    found.domain = domainIndex.value(domain);
    found.path = *path;
    return found;
}

QList<MmsValue> MmsServerModel::values(const QVector<MmsValueHandle> &handles,
                                       const QVector<int> &positions) const
{
    QList<MmsValue> result;
    result.reserve(positions.size());
    QReadLocker locker(&valueLock);
    for (int position : positions) {
        const MmsValueHandle &handle = handles.at(position);
        if (!handle.isValid()) {
            result.append(MmsValue());
            continue;
        }
        const MmsTypeSpec *type = nullptr;
        const MmsValue *value = at(handle, &type);
        result.append(value && !value->isNull() ? *value : type->defaultValue());
    }
    return result;
}

bool MmsServerModel::fits(const MmsTypeSpec &type, const MmsValue &value)
{
    if (value.isNull())
        return false;
    switch (type.type()) {
    case MmsType::Structure:
        if (value.type() != MmsType::Structure || value.elementCount() != type.componentCount())
            return false;
        for (int i = 0; i < type.componentCount(); ++i) {
            if (!fits(type.component(i), value.elements()[size_t(i)]))
                return false;
        }
        return true;
    case MmsType::Array:
        if (value.type() != MmsType::Array || value.elementCount() != type.elementCount())
            return false;
        for (const MmsValue &element : value.elements()) {
            if (!fits(type.element(), element))
                return false;
        }
        return true;
    case MmsType::BitString:
        return value.type() == MmsType::BitString &&
               (type.size() < 0 ? value.bitStringSize() <= -type.size()
                                : value.bitStringSize() == type.size());
    case MmsType::OctetString:
    case MmsType::VisibleString:
        return value.type() == type.type() &&
               (type.size() < 0 ? value.octets().size() <= -type.size()
                                : type.size() == 0 || value.octets().size() == type.size());
    default:
        return value.type() == type.type();
    }
}

MmsValue *MmsServerModel::locate(const QString &domain, const QString &item,
                                 const MmsTypeSpec **type) const
{
    const MmsValueHandle found = handle(domain, item);
    return found.isValid() ? at(found, type) : nullptr;
}

MmsValue *MmsServerModel::at(const MmsValueHandle &handle, const MmsTypeSpec **type) const
{
    MmsServerVariable &variable = domainList[handle.domain].variables[handle.path.first()];
    const MmsTypeSpec *currentType = &variable.type;
    MmsValue *currentValue = &variable.value;
    for (int i = 1; i < handle.path.size(); ++i) {
        const int component = handle.path.at(i);
        currentType = &currentType->component(component);
        // A model filled without values answers its types' defaults.
        currentValue = currentValue && component < currentValue->elementCount()
                           ? const_cast<MmsValue *>(&currentValue->elements()[size_t(component)])
                           : nullptr;
    }
    *type = currentType;
    return currentValue;
}

MmsServerModel::UpdateResult MmsServerModel::apply(const MmsValueUpdate &update,
                                                   QVector<MmsValueChange> *changes) const
{
    const MmsTypeSpec *type = nullptr;
    MmsValue *current = locate(update.domain, update.item, &type);
    if (!type)
        return NoSuchObject;
    if (!current)
        return TypeMismatch; // the model holds no value there to replace
    if (!fits(*type, update.value))
        return TypeMismatch;
    if (changes) {
        compareLeaves(update.domain, update.item,
                      QStringView(update.item).mid(update.item.lastIndexOf(QLatin1Char('$')) + 1),
                      *type, *current, update.value, changes);
    }
    *current = update.value;
    return Updated;
}

MmsServerModel::UpdateResult MmsServerModel::update(const QString &domain, const QString &item,
                                                    const MmsValue &value, bool quiet) const
{
    QVector<MmsValueChange> changes;
    UpdateResult result;
    {
        QWriteLocker locker(&valueLock);
        result = apply({domain, item, value}, quiet ? nullptr : &changes);
    }
    if (!changes.isEmpty())
        notify(changes);
    return result;
}

void MmsServerModel::update(const QVector<MmsValueUpdate> &updates) const
{
    QVector<MmsValueChange> changes;
    {
        QWriteLocker locker(&valueLock);
        for (const MmsValueUpdate &one : updates)
            apply(one, &changes);
    }
    if (!changes.isEmpty())
        notify(changes);
}

int MmsServerModel::addChangeListener(ChangeListener listener) const
{
    QMutexLocker locker(&listenerLock);
    const int id = nextListener++;
    listeners.emplace(id, std::move(listener));
    return id;
}

void MmsServerModel::removeChangeListener(int id) const
{
    QMutexLocker locker(&listenerLock);
    listeners.erase(id);
}

void MmsServerModel::notify(const QVector<MmsValueChange> &changes) const
{
    QMutexLocker locker(&listenerLock);
    for (const auto &listener : listeners)
        listener.second(changes);
}
