#include "signalitemstree.h"

SignalItemsTree::SignalItemsTree(QWidget *parent) : SelectedItemsTree(parent)
{
    applyTheme(QColor("#ecbc1c"), QColor());
}

void SignalItemsTree::setModel(QAbstractItemModel *model)
{
    SelectedItemsTree::setModel(model);
    // Labels are what the engineer looks for: show them whole.
    if (model)
        connect(model, &QAbstractItemModel::rowsInserted, this, &SignalItemsTree::fitColumns);
}

void SignalItemsTree::fitColumns()
{
    for (int column = 0; model() && column < model()->columnCount(); ++column)
        resizeColumnToContents(column);
}
