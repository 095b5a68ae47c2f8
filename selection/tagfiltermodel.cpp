#include "tagfiltermodel.h"

#include <QRegularExpression>

TagFilterModel::TagFilterModel(QObject *parent) : QSortFilterProxyModel(parent) {}

bool TagFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const QAbstractItemModel *signalList = sourceModel();
    if (!signalList)
        return false;
    const QModelIndex label = signalList->index(sourceRow, LabelColumn, sourceParent);
    if (!label.isValid())
        return false;
    const QRegularExpression pattern = filterRegularExpression();
    if (pattern.pattern().isEmpty())
        return true;

    if (signalList->hasChildren(label)) {
        const int children = signalList->rowCount(label);
        for (int child = 0; child < children; ++child) {
            if (filterAcceptsRow(child, label))
                return true;
        }
        return false;
    }

    // A half-typed expression such as "[" must hide everything rather than
    // fall back to showing the whole list.
    if (!pattern.isValid())
        return false;
    return pattern.match(label.data(filterRole()).toString()).hasMatch();
}

bool TagFilterModel::filterAcceptsColumn(int sourceColumn, const QModelIndex &) const
{
    return sourceColumn == LabelColumn;
}
