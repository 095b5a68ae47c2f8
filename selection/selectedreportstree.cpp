#include "selectedreportstree.h"

#include "checkboxdelegate.h"
#include "selectedreportsmodel.h"

SelectedReportsTree::SelectedReportsTree(QWidget *parent) : SelectedItemsTree(parent)
{
    setItemDelegateForColumn(3, new CheckBoxDelegateate(this));
    setItemDelegateForColumn(5, new CheckBoxDelegateate(this));
}

void SelectedReportsTree::setModel(QAbstractItemModel *model)
{
    SelectedItemsTree::setModel(model);
    if (selectionModel())
        connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &SelectedReportsTree::onSelectionChanged);
    if (auto *reports = qobject_cast<SelectedItemsModel *>(model))
        connect(reports, &SelectedItemsModel::nodeAdded, this, &SelectedReportsTree::onNodeAdded);
}

void SelectedReportsTree::onNodeAdded(QStandardItem *newNode)
{
    if (auto *reports = qobject_cast<SelectedReportsModel *>(model()))
        reports->fillAddedRow(newNode);
}

void SelectedReportsTree::onSelectionChanged(const QItemSelection &selected, const QItemSelection &)
{
    reopenRowEditors(selected, {3, 5});
}
