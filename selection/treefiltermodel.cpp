#include "treefiltermodel.h"

#include "sclmodel.h"

#include <QVector>

#include <algorithm>
#include <functional>

namespace {

const QString ConstraintWord = QStringLiteral("fc:");
const QString NodeClassWord = QStringLiteral("ln:");
const QString DeviceWord = QStringLiteral("ld:");

bool isExpression(const QString &text)
{
    static const QString special = QStringLiteral("\\^$.|?*+()[]{}");
    for (const QChar c : text) {
        if (special.contains(c))
            return true;
    }
    return false;
}

bool sameText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('.') || c == QLatin1Char('$');
}

// The name a node is found by: what its text adds to its parent's reference
// (browsed trees repeat the whole reference on every level), without the
// constraint and type suffix in braces or brackets.
QString ownName(const QString &text, const QString &parentText)
{
    QString name = text;
    if (!parentText.isEmpty() && text.size() > parentText.size() && text.startsWith(parentText) &&
        isSeparator(text.at(parentText.size())))
        name = text.mid(parentText.size());
    name = nodeNamePart(name);
    if (name.endsWith(QLatin1Char(']'))) {
        const int bracket = name.lastIndexOf(QLatin1Char('['));
        if (bracket > 0)
            name.truncate(bracket);
    }
    return name;
}

// "stVal[ST]" names its constraint in brackets.
QString bracketConstraint(const QString &text)
{
    if (!text.endsWith(QLatin1Char(']')))
        return QString();
    const int bracket = text.lastIndexOf(QLatin1Char('['));
    return bracket < 0 ? QString() : text.mid(bracket + 1, text.size() - bracket - 2);
}

} // namespace

TreeFilterModel::TreeFilterModel(QObject *parent) : QSortFilterProxyModel(parent)
{
    setRecursiveFilteringEnabled(false);
}

void TreeFilterModel::setSourceModel(QAbstractItemModel *model)
{
    if (QAbstractItemModel *old = sourceModel())
        disconnect(old, nullptr, this, nullptr);
    // Connected before the proxy's own handlers, so that no stale result is
    // used while the proxy follows a change.
    if (model) {
        connect(model, &QAbstractItemModel::rowsInserted, this, &TreeFilterModel::markDirty);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &TreeFilterModel::markDirty);
        connect(model, &QAbstractItemModel::rowsMoved, this, &TreeFilterModel::markDirty);
        connect(model, &QAbstractItemModel::dataChanged, this, &TreeFilterModel::markDirty);
        connect(model, &QAbstractItemModel::layoutChanged, this, &TreeFilterModel::markDirty);
        connect(model, &QAbstractItemModel::modelReset, this, &TreeFilterModel::markDirty);
    }
    markDirty();
    QSortFilterProxyModel::setSourceModel(model);
}

void TreeFilterModel::setQuery(const QString &query)
{
    queryText = query;
    pattern.clear();
    wantedConstraint.clear();
    wantedNodeClass.clear();
    wantedDevice.clear();
    queryError.clear();
    QStringList words;
    for (const QString &word : query.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        auto take = [&word](const QString &key, QString &value) {
            if (word.size() <= key.size() || !word.startsWith(key, Qt::CaseInsensitive))
                return false;
            value = word.mid(key.size());
            return true;
        };
        if (!take(ConstraintWord, wantedConstraint) && !take(NodeClassWord, wantedNodeClass) &&
            !take(DeviceWord, wantedDevice))
            words.append(word);
    }
    pattern = words.join(QLatin1Char(' '));
    spansLevels = std::any_of(pattern.cbegin(), pattern.cend(), isSeparator);
    useExpression = isExpression(pattern);
    if (useExpression) {
        expression = QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption);
        if (!expression.isValid())
            queryError = expression.errorString();
    }
    markDirty();
    invalidateFilter();
}

void TreeFilterModel::setMatchAllColumns(bool all)
{
    allColumns = all;
    markDirty();
    invalidateFilter();
}

bool TreeFilterModel::isActive() const
{
    return !pattern.isEmpty() || !wantedConstraint.isEmpty() || !wantedNodeClass.isEmpty() ||
           !wantedDevice.isEmpty();
}

QString TreeFilterModel::logicalNodeClass(const QString &name)
{
    static const QString rootNode = QStringLiteral("LLN0");
    if (name.endsWith(rootNode, Qt::CaseInsensitive))
        return rootNode;
    int end = name.size();
    while (end > 0 && name.at(end - 1).isDigit())
        --end;
    return name.mid(qMax(0, end - 4), qMin(4, end));
}

QModelIndexList TreeFilterModel::matches() const
{
    refresh();
    return matchList;
}

bool TreeFilterModel::isMatch(const QModelIndex &sourceIndex) const
{
    refresh();
    return states.value(sourceIndex.siblingAtColumn(0)) & MatchState;
}

bool TreeFilterModel::hasMatchBelow(const QModelIndex &sourceIndex) const
{
    refresh();
    return states.value(sourceIndex.siblingAtColumn(0)) & AncestorState;
}

bool TreeFilterModel::acceptsSource(const QModelIndex &sourceIndex) const
{
    if (!isActive() || !isQueryValid())
        return true;
    refresh();
    const QModelIndex first = sourceIndex.siblingAtColumn(0);
    if (states.contains(first))
        return true;
    for (QModelIndex up = first.parent(); up.isValid(); up = up.parent()) {
        if (states.value(up) & MatchState)
            return true;
    }
    return false;
}

bool TreeFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (!sourceModel())
        return true;
    return acceptsSource(sourceModel()->index(sourceRow, 0, sourceParent));
}

void TreeFilterModel::markDirty()
{
    dirty = true;
    matchList.clear();
    states.clear();
}

void TreeFilterModel::refresh() const
{
    if (!dirty)
        return;
    dirty = false;
    matchList.clear();
    states.clear();
    if (sourceModel() && isActive() && isQueryValid())
        compute();
}

TreeFilterModel::Scope TreeFilterModel::scopeOf(const QModelIndex &index,
                                                const Scope &parentScope) const
{
    Scope scope = parentScope;
    scope.ownDevice = scope.ownNode = scope.ownConstraint = false;
    const QString text = index.data().toString();
    bool known = false;
    const int kind = index.data(KindRole).toInt(&known);
    if (!known)
        return scope;
    switch (kind) {
    case LogicalDeviceKind:
        scope.device = text;
        scope.ownDevice = true;
        return scope;
    case LogicalNodeKind:
        scope.nodeClass = logicalNodeClass(text.section(QLatin1Char('/'), -1));
        scope.ownNode = true;
        return scope;
    case FunctionalConstraintKind:
        scope.constraint = text;
        scope.ownConstraint = true;
        return scope;
    default:
        break;
    }
    const QString bracket = bracketConstraint(text);
    if (!bracket.isEmpty()) {
        scope.constraint = bracket;
        scope.ownConstraint = true;
    }
    // A picked row of a selection table stands alone: its reference and group
    // say where it came from.
    if (!index.parent().isValid()) {
        const QString group = index.data(GroupRole).toString();
        if (!group.isEmpty()) {
            scope.constraint = group;
            scope.ownConstraint = true;
        }
        const int slash = text.indexOf(QLatin1Char('/'));
        if (slash > 0) {
            scope.device = text.left(slash);
            scope.ownDevice = true;
            QString node = text.mid(slash + 1);
            for (int i = 0; i < node.size(); ++i) {
                if (isSeparator(node.at(i))) {
                    node.truncate(i);
                    break;
                }
            }
            scope.nodeClass = logicalNodeClass(node);
            scope.ownNode = true;
        }
    }
    return scope;
}

bool TreeFilterModel::scopeHolds(const Scope &scope) const
{
    if (!wantedConstraint.isEmpty() && !sameText(scope.constraint, wantedConstraint))
        return false;
    if (!wantedNodeClass.isEmpty() && !sameText(scope.nodeClass, wantedNodeClass))
        return false;
    // Browsed trees put the IED name in front of the device's inst.
    if (!wantedDevice.isEmpty() && !sameText(scope.device, wantedDevice) &&
        !scope.device.endsWith(wantedDevice, Qt::CaseInsensitive))
        return false;
    return true;
}

bool TreeFilterModel::matchesText(const QString &text) const
{
    // References hold "$" and "."; typed as they show, they are found as text.
    if (text.contains(pattern, Qt::CaseInsensitive))
        return true;
    return useExpression && expression.match(text).hasMatch();
}

bool TreeFilterModel::textMatches(const QModelIndex &index) const
{
    if (allColumns) {
        const int columns = sourceModel()->columnCount(index.parent());
        for (int column = 0; column < columns; ++column) {
            if (matchesText(index.siblingAtColumn(column).data().toString()))
                return true;
        }
        return false;
    }
    const QString text = index.data().toString();
    if (matchesText(ownName(text, index.parent().data().toString())))
        return true;
    // A query of more than one level ("LLN0$GO$gcb", "Pos.stVal") is looked
    // for in the whole reference a browsed tree shows.
    return spansLevels && matchesText(nodeNamePart(text));
}

void TreeFilterModel::compute() const
{
    const QAbstractItemModel *model = sourceModel();
    std::function<void(const QModelIndex &, const Scope &)> visit = [&](const QModelIndex &parent,
                                                                        const Scope &parentScope) {
        const int rows = model->rowCount(parent);
        for (int row = 0; row < rows; ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            const Scope scope = scopeOf(index, parentScope);
            bool match = scopeHolds(scope);
            if (match && pattern.isEmpty()) {
                // Words alone: the nodes of the deepest level they name.
                match = !wantedConstraint.isEmpty()  ? scope.ownConstraint
                        : !wantedNodeClass.isEmpty() ? scope.ownNode
                                                     : scope.ownDevice;
            } else if (match) {
                match = textMatches(index);
            }
            if (match) {
                states[index] |= MatchState;
                matchList.append(index);
                for (QModelIndex up = parent; up.isValid(); up = up.parent()) {
                    char &state = states[up];
                    if (state & AncestorState)
                        break;
                    state |= AncestorState;
                }
            }
            if (model->hasChildren(index))
                visit(index, scope);
        }
    };
    visit(QModelIndex(), Scope());
}

QVector<TreeFilterModel::QueryMatches>
TreeFilterModel::matchesOfEach(const QStringList &queries) const
{
    struct Node
    {
        QModelIndex index;
        Scope scope;
    };
    QVector<Node> nodes;
    QHash<QString, QVector<int>> byName; // positions in nodes, in tree order
    QVector<int> ownLevels;              // nodes that own a device, node class or constraint
    const QAbstractItemModel *model = sourceModel();
    std::function<void(const QModelIndex &, const Scope &)> visit = [&](const QModelIndex &parent,
                                                                        const Scope &parentScope) {
        const int rows = model->rowCount(parent);
        const QString parentText = parent.data().toString();
        for (int row = 0; row < rows; ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            const Scope scope = scopeOf(index, parentScope);
            const int position = nodes.size();
            nodes.append({index, scope});
            byName[ownName(index.data().toString(), parentText)].append(position);
            if (scope.ownDevice || scope.ownNode || scope.ownConstraint)
                ownLevels.append(position);
            if (model->hasChildren(index))
                visit(index, scope);
        }
    };
    if (model)
        visit(QModelIndex(), Scope());

    QVector<QueryMatches> results;
    results.reserve(queries.size());
    TreeFilterModel probe;
    for (const QString &query : queries) {
        probe.setQuery(query);
        QueryMatches result;
        if (!probe.isQueryValid()) {
            result.error = probe.queryErrorString();
            results.append(result);
            continue;
        }
        QVector<int> found;
        if (!probe.isActive()) {
        } else if (probe.pattern.isEmpty()) {
            for (const int position : qAsConst(ownLevels)) {
                const Scope &scope = nodes.at(position).scope;
                const bool own = !probe.wantedConstraint.isEmpty()  ? scope.ownConstraint
                                 : !probe.wantedNodeClass.isEmpty() ? scope.ownNode
                                                                    : scope.ownDevice;
                if (own && probe.scopeHolds(scope))
                    found.append(position);
            }
        } else {
            for (auto it = byName.cbegin(); it != byName.cend(); ++it) {
                if (!probe.matchesText(it.key()))
                    continue;
                for (const int position : it.value()) {
                    if (probe.scopeHolds(nodes.at(position).scope))
                        found.append(position);
                }
            }
            std::sort(found.begin(), found.end());
        }
        for (const int position : qAsConst(found))
            result.matches.append(nodes.at(position).index);
        results.append(result);
    }
    return results;
}
