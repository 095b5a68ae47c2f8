#include "commissioningfilter.h"

#include "commissioningrecord.h"

#include <QBrush>
#include <QColor>

CommissioningFilter::CommissioningFilter(QObject *parent) : QSortFilterProxyModel(parent)
{
    setSortRole(CommissioningRecord::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
    // Values change under a sorted column all the time: rows stay where they
    // are until the tester sorts again.
    setDynamicSortFilter(false);
}

QStringList CommissioningFilter::showTexts()
{
    return {tr("All rows"), tr("Not tested"),           tr("Passed"),
            tr("Failed"),   tr("Passable, not passed"), tr("Never seen")};
}

QVariant CommissioningFilter::data(const QModelIndex &index, int role) const
{
    if (role != Qt::BackgroundRole)
        return QSortFilterProxyModel::data(index, role);
    const QModelIndex cell = mapToSource(index);
    switch (cell.data(CommissioningRecord::VerdictRole).toInt()) {
    case CommissioningRecord::Passed:
        return QBrush(QColor(0xd8, 0xf0, 0xd0));
    case CommissioningRecord::Failed:
        return QBrush(QColor(0xf6, 0xd0, 0xd0));
    default:
        break;
    }
    if (cell.data(CommissioningRecord::PassableRole).toBool())
        return QBrush(QColor(0xfc, 0xf3, 0xc8));
    return QVariant();
}

void CommissioningFilter::setWords(const QString &text)
{
    const QStringList split = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (split == words)
        return;
    words = split;
    invalidateFilter();
}

void CommissioningFilter::setShow(Show show)
{
    if (show == shown)
        return;
    shown = show;
    invalidateFilter();
}

QVector<int> CommissioningFilter::shownRows() const
{
    QVector<int> rows;
    rows.reserve(rowCount());
    for (int row = 0; row < rowCount(); ++row)
        rows.append(mapToSource(index(row, 0)).row());
    return rows;
}

QString CommissioningFilter::description() const
{
    QStringList parts;
    if (shown != AllRows)
        parts << tr("Show: %1").arg(showTexts().value(shown));
    if (!words.isEmpty())
        parts << tr("Filter: %1").arg(words.join(QLatin1Char(' ')));
    return parts.join(QStringLiteral("; "));
}

void CommissioningFilter::refresh()
{
    invalidate();
    if (sortColumn() >= 0)
        sort(sortColumn(), sortOrder());
}

bool CommissioningFilter::fitsShow(int sourceRow) const
{
    const QModelIndex cell = sourceModel()->index(sourceRow, 0);
    switch (shown) {
    case NotTestedRows:
        return cell.data(CommissioningRecord::VerdictRole).toInt() ==
               CommissioningRecord::NotTested;
    case PassedRows:
        return cell.data(CommissioningRecord::VerdictRole).toInt() == CommissioningRecord::Passed;
    case FailedRows:
        return cell.data(CommissioningRecord::VerdictRole).toInt() == CommissioningRecord::Failed;
    case PassableRows:
        return cell.data(CommissioningRecord::PassableRole).toBool();
    case NeverSeenRows:
        return sourceModel()
            ->index(sourceRow, CommissioningRecord::FirstSeenColumn)
            .data()
            .toString()
            .isEmpty();
    case AllRows:
        break;
    }
    return true;
}

bool CommissioningFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (sourceParent.isValid() || !fitsShow(sourceRow))
        return false;
    const int columns = sourceModel()->columnCount();
    for (const QString &word : words) {
        bool found = false;
        for (int column = 0; column < columns && !found; ++column) {
            found = sourceModel()
                        ->index(sourceRow, column)
                        .data()
                        .toString()
                        .contains(word, Qt::CaseInsensitive);
        }
        if (!found)
            return false;
    }
    return true;
}
