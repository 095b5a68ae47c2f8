#include "mmsnamedirectory.h"

#include "mmsdatacodec.h"

#include <QSet>

#include <algorithm>

MmsNameDirectory::MmsNameDirectory()
{
    nodes.push_back(Node());
}

int MmsNameDirectory::ensure(const QString &name)
{
    const auto found = index.constFind(name);
    if (found != index.constEnd())
        return found.value();
    // Walk down from the first missing ancestor; names nest a few levels.
    const int separator = name.lastIndexOf(QLatin1Char('$'));
    const int parent = separator < 0 ? 0 : ensure(name.left(separator));
    Node node;
    node.segment = name.mid(separator + 1);
    node.order = int(nodes.size());
    nodes.push_back(node);
    const int id = int(nodes.size()) - 1;
    nodes[size_t(parent)].children.append(id);
    index.insert(name, id);
    return id;
}

void MmsNameDirectory::addNames(const QStringList &names)
{
    for (const QString &name : names) {
        if (!name.isEmpty())
            ensure(name);
    }
}

void MmsNameDirectory::addType(const QString &prefix, const MmsTypeSpec &type, int depth)
{
    if (type.type() != MmsType::Structure || depth > MmsDataCodec::MaxNesting)
        return;
    for (int i = 0; i < type.componentCount(); ++i) {
        const QString name = prefix + QLatin1Char('$') + type.componentName(i);
        ensure(name);
        addType(name, type.component(i), depth + 1);
    }
}

void MmsNameDirectory::addVariable(const QString &logicalNode, const MmsTypeSpec &type)
{
    ensure(logicalNode);
    addType(logicalNode, type, 0);
}

QStringList MmsNameDirectory::logicalNodes() const
{
    QStringList names;
    for (int child : nodes.front().children)
        names << nodes[size_t(child)].segment;
    return names;
}

bool MmsNameDirectory::hasChildren(const QString &logicalNode) const
{
    const int id = index.value(logicalNode, -1);
    return id > 0 && !nodes[size_t(id)].children.isEmpty();
}

QStringList MmsNameDirectory::functionalConstraints(const QString &logicalNode) const
{
    QStringList names;
    const int id = index.value(logicalNode, -1);
    if (id <= 0)
        return names;
    for (int child : nodes[size_t(id)].children)
        names << nodes[size_t(child)].segment;
    return names;
}

bool MmsNameDirectory::isControlBlockConstraint(const QString &fc)
{
    static const QSet<QString> constraints{
        QStringLiteral("RP"), QStringLiteral("BR"), QStringLiteral("GO"), QStringLiteral("GS"),
        QStringLiteral("LG"), QStringLiteral("MS"), QStringLiteral("US")};
    return constraints.contains(fc);
}

QStringList MmsNameDirectory::dataObjects(const QString &logicalNode) const
{
    QVector<int> found;
    for (const QString &fc : functionalConstraints(logicalNode)) {
        if (isControlBlockConstraint(fc))
            continue;
        const int id = index.value(logicalNode + QLatin1Char('$') + fc);
        found += nodes[size_t(id)].children;
    }
    std::sort(found.begin(), found.end());
    QStringList names;
    QSet<QString> seen;
    for (int id : found) {
        const QString &name = nodes[size_t(id)].segment;
        if (!seen.contains(name)) {
            seen.insert(name);
            names << name;
        }
    }
    return names;
}

QStringList MmsNameDirectory::childrenOf(const QString &logicalNode, const QString &fc) const
{
    QStringList names;
    const int id = index.value(logicalNode + QLatin1Char('$') + fc, -1);
    if (id <= 0)
        return names;
    for (int child : nodes[size_t(id)].children)
        names << nodes[size_t(child)].segment;
    return names;
}

QStringList MmsNameDirectory::dataDirectory(const QString &logicalNode, const QStringList &path,
                                            const QString &fc, bool withFc) const
{
    // Node ids grow in server order, so sorting by id restores that order.
    QVector<QPair<int, QString>> found;
    const QString tail =
        path.isEmpty() ? QString() : QLatin1Char('$') + path.join(QLatin1Char('$'));
    for (const QString &constraint : functionalConstraints(logicalNode)) {
        if (!fc.isEmpty() && constraint != fc)
            continue;
        const int id = index.value(logicalNode + QLatin1Char('$') + constraint + tail, -1);
        if (id <= 0)
            continue;
        for (int child : nodes[size_t(id)].children)
            found.append({child, constraint});
    }
    std::sort(found.begin(), found.end(),
              [](const QPair<int, QString> &a, const QPair<int, QString> &b) {
                  return a.first < b.first;
              });
    QStringList names;
    QSet<QString> seen;
    for (const auto &entry : found) {
        QString name = nodes[size_t(entry.first)].segment;
        if (withFc)
            name += QLatin1Char('[') + entry.second + QLatin1Char(']');
        if (!seen.contains(name)) {
            seen.insert(name);
            names << name;
        }
    }
    return names;
}
