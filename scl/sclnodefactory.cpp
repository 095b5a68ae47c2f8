#include "sclnodefactory.h"

#include "sclmodel.h"
#include "stationscoperesources.h"

#include <QStandardItem>

SclNodeFactory::SclNodeFactory()
{
    initStationscopeResources();
}

QIcon SclNodeFactory::icon(const QString &path)
{
    auto it = icons.find(path);
    if (it == icons.end())
        it = icons.insert(path, QIcon(path));
    return it.value();
}

QStandardItem *SclNodeFactory::createItem(const QString &text, const QString &iconPath,
                                          bool editable, const QString &editorKind)
{
    auto *item = new QStandardItem(text);
    if (!iconPath.isEmpty())
        item->setIcon(icon(iconPath));
    item->setEditable(editable);
    if (!editorKind.isEmpty())
        item->setData(editorKind, EditorRole);
    return item;
}

void SclNodeFactory::attachNode(QStandardItem *node, int kind, int id, const QString &iconPath,
                                QStandardItem *parent, int parentMode)
{
    node->setIcon(icon(iconPath));
    node->setEditable(false);
    node->setData(kind, KindRole);
    node->setData(QString::number(id), NodeIdRole);
    if (parent)
        parent->appendRow(node);
    if (parentMode == -1 || !parent)
        node->setData(-1, ParentIdRole);
    else
        node->setData(parent->data(NodeIdRole), ParentIdRole);
}

QStandardItem *SclNodeFactory::appendElementNode(QStandardItem *parent, const QString &text,
                                                 int sclKind, int id, int treeIndex)
{
    auto *node = new QStandardItem(text);
    node->setEditable(false);
    node->setIcon(icon(SclIcon::DataObject));
    if (treeIndex >= 0)
        node->setData(treeIndex, TreeIndexRole);
    node->setData(DataObjectKind, KindRole);
    node->setData(QString::number(id), NodeIdRole);
    node->setData(sclKind, SclKindRole);
    parent->appendRow(node);
    node->setData(parent->data(NodeIdRole), ParentIdRole);
    return node;
}
