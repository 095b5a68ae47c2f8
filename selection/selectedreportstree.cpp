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
    if (auto *reports = qobject_cast<SelectedItemsModel *>(model))
        connect(reports, &SelectedItemsModel::nodeAdded, this, &SelectedReportsTree::onNodeAdded);
}

void SelectedReportsTree::onNodeAdded(QStandardItem *newNode)
{
    if (auto *reports = qobject_cast<SelectedReportsModel *>(model()))
        reports->fillAddedRow(newNode);
}
