#ifndef STATIONSCOPE_TAGFILTERMODEL_H
#define STATIONSCOPE_TAGFILTERMODEL_H

#include <QSortFilterProxyModel>

// Shows the labels (column 2) of the signal list that match the filter
// pattern, a regular expression found anywhere in the label. A branch stays
// visible while one of its children matches.
class TagFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit TagFilterModel(QObject *parent = nullptr);

    static constexpr int LabelColumn = 2;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool filterAcceptsColumn(int sourceColumn, const QModelIndex &sourceParent) const override;
};

#endif
