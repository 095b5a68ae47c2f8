#include "selectedobjectstree.h"

#include "combodelegate.h"
#include "sclmodel.h"
#include "selectedobjectsmodel.h"

SelectedObjectsTree::SelectedObjectsTree(QWidget *parent) : SelectedItemsTree(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegateForColumn(6, new ComboDelegate(valueListNames(ValueList::ControlModel), this));
    setItemDelegateForColumn(2, new ComboDelegate(valueListNames(ValueList::MmsType), this));
    setItemDelegateForColumn(11, new ComboDelegate(valueListNames(ValueList::SelectionType), this));
}

void SelectedObjectsTree::setModel(QAbstractItemModel *model)
{
    SelectedItemsTree::setModel(model);
    if (auto *objects = qobject_cast<SelectedItemsModel *>(model))
        connect(objects, &SelectedItemsModel::nodeAdded, this, &SelectedObjectsTree::onNodeAdded);
}

void SelectedObjectsTree::onNodeAdded(QStandardItem *newNode)
{
    if (auto *objects = qobject_cast<SelectedObjectsModel *>(model()))
        objects->fillAddedRow(newNode);
}
