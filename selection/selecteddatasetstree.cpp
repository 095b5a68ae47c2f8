#include "selecteddatasetstree.h"

#include "combodelegate.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"

SelectedDatasetsTree::SelectedDatasetsTree(QWidget *parent) : SelectedItemsTree(parent)
{
    setItemDelegateForColumn(6, new ComboDelegate(valueListNames(ValueList::MmsType), this));
}

void SelectedDatasetsTree::setModel(QAbstractItemModel *model)
{
    SelectedItemsTree::setModel(model);
    if (auto *datasets = qobject_cast<SelectedItemsModel *>(model))
        connect(datasets, &SelectedItemsModel::nodeAdded, this, &SelectedDatasetsTree::onNodeAdded);
}

void SelectedDatasetsTree::onNodeAdded(QStandardItem *newNode)
{
    if (auto *datasets = qobject_cast<SelectedDatasetsModel *>(model()))
        datasets->fillAddedRow(newNode);
}
