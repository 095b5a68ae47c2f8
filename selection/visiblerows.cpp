#include "visiblerows.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTreeView>

#include <algorithm>

int VisibleRows::rowHeight(const QAbstractItemView *view)
{
    if (const auto *table = qobject_cast<const QTableView *>(view))
        return table->verticalHeader()->defaultSectionSize();
    const int measured =
        view->model() && view->model()->rowCount() > 0 ? view->sizeHintForRow(0) : 0;
    // Before there are rows: a line of text beside a 16 pixel icon.
    return std::max(
        {measured, view->fontMetrics().height() + 4, view->iconSize().height() + 4, 20});
}

int VisibleRows::heightFor(const QAbstractItemView *view, int rows)
{
    int header = 0;
    if (const auto *tree = qobject_cast<const QTreeView *>(view))
        header = tree->isHeaderHidden() ? 0 : tree->header()->sizeHint().height();
    else if (const auto *table = qobject_cast<const QTableView *>(view))
        header = table->horizontalHeader()->isHidden()
                     ? 0
                     : table->horizontalHeader()->sizeHint().height();
    const int scrollBar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    return header + rows * rowHeight(view) + scrollBar + 2 * view->frameWidth();
}

void VisibleRows::keep(QAbstractItemView *view, int rows)
{
    view->setMinimumHeight(heightFor(view, rows));
}
