#include "selecteditemsmodel.h"

#include <QBrush>
#include <QStandardItem>

const QString SelectedItemsModel::DefaultGroup = QStringLiteral("Default");

SelectedItemsModel::SelectedItemsModel(QObject *parent) : QStandardItemModel(parent)
{
    connect(this, &QAbstractItemModel::dataChanged, this, &SelectedItemsModel::onNodeChanged);
}

SelectedItemsModel::~SelectedItemsModel() = default;

QString SelectedItemsModel::groupKey(const QString &group)
{
    return group.isEmpty() ? DefaultGroup : group;
}

bool SelectedItemsModel::addNode(QStandardItem *source, const QString &name, const QString &group)
{
    // Before the rule and the registration: a name registered for nothing
    // would make the duplicate checks refuse a later, real pick.
    if (!source)
        return false;
    if (!acceptsNode(source, name, group))
        return false;
    registerName(name, group);

    QStandardItem *first = source->clone();
    first->setData(group, GroupRole);
    QList<QStandardItem *> row = buildRow(first, true);
    first->setText(name);
    copyChildren(source, first);

    appendRow(row);
    emit nodeAdded(first);
    return true;
}

void SelectedItemsModel::registerName(const QString &name, const QString &group)
{
    namesByGroup[groupKey(group)].append(name);
}

QList<QStandardItem *> SelectedItemsModel::buildRow(QStandardItem *first, bool topLevel)
{
    QList<QStandardItem *> row{first};
    for (int column = 1; column < columnCount(); ++column)
        row.append(new QStandardItem(QString()));
    first->setData(QString::number(nextNodeId++), NodeIdRole);
    setupRow(row, topLevel);
    return row;
}

void SelectedItemsModel::copyChildren(const QStandardItem *source, QStandardItem *target)
{
    for (int r = 0; r < source->rowCount(); ++r) {
        const QStandardItem *child = source->child(r);
        if (!child)
            continue;
        QStandardItem *copy = child->clone();
        const QList<QStandardItem *> row = buildRow(copy, false);
        copyChildren(child, copy);
        target->appendRow(row);
    }
}

void SelectedItemsModel::removeNode(int row, const QModelIndex &parent)
{
    if (row < 0 || row >= rowCount(parent))
        return;
    if (!parent.isValid()) {
        if (const QStandardItem *first = item(row, 0)) {
            // One row is one registration; the same object may be picked twice,
            // and its other row must keep counting.
            auto names = namesByGroup.find(groupKey(first->data(GroupRole).toString()));
            if (names != namesByGroup.end())
                names->removeOne(first->text());
        }
    }
    removeRow(row, parent);
}

void SelectedItemsModel::clearSelection()
{
    namesByGroup.clear();
    clear();
    setHorizontalHeaderLabels(headerLabels);
}

void SelectedItemsModel::setNodeChangedSuppressed(bool suppressed)
{
    nodeChangedSuppressed = suppressed;
}

void SelectedItemsModel::setDisabledColor(const QColor &color)
{
    disabledCellColor = color;
}

void SelectedItemsModel::setupRow(const QList<QStandardItem *> &row, bool topLevel)
{
    Q_UNUSED(row);
    Q_UNUSED(topLevel);
}

bool SelectedItemsModel::acceptsNode(QStandardItem *source, const QString &name,
                                     const QString &group)
{
    Q_UNUSED(source);
    Q_UNUSED(name);
    Q_UNUSED(group);
    return true;
}

void SelectedItemsModel::itemEdited(QStandardItem *item)
{
    Q_UNUSED(item);
}

void SelectedItemsModel::onNodeChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    Q_UNUSED(bottomRight);
    QStandardItem *changed = itemFromIndex(topLeft);
    if (!changed)
        return;
    if (!nodeChangedSuppressed)
        emit nodeChanged(changed);
    itemEdited(changed);
}

void SelectedItemsModel::setHeaderLabels(const QStringList &labels)
{
    headerLabels = labels;
    setHorizontalHeaderLabels(headerLabels);
}

void SelectedItemsModel::disableCell(QStandardItem *cell) const
{
    if (!cell)
        return;
    cell->setText(QString());
    cell->setBackground(QBrush(disabledCellColor));
    // One flags change instead of two: row set-up runs for every cell of a large load.
    cell->setFlags(cell->flags() & ~(Qt::ItemIsEditable | Qt::ItemIsEnabled));
}

void SelectedItemsModel::enableCell(QStandardItem *cell, const QString &editorKind)
{
    if (!cell)
        return;
    cell->setData(QVariant(), Qt::BackgroundRole);
    cell->setFlags(cell->flags() | Qt::ItemIsEditable | Qt::ItemIsEnabled);
    cell->setData(editorKind, EditorRole);
}

void SelectedItemsModel::makeReadOnly(QStandardItem *cell)
{
    if (cell)
        cell->setEditable(false);
}

void SelectedItemsModel::showReadOnly(QStandardItem *cell)
{
    if (!cell)
        return;
    cell->setData(QVariant(), Qt::BackgroundRole);
    cell->setData(QVariant(), EditorRole);
    cell->setFlags((cell->flags() | Qt::ItemIsEnabled) & ~Qt::ItemIsEditable);
}

QStandardItem *SelectedItemsModel::rowCell(const QStandardItem *item, int column) const
{
    if (!item || item->model() != this)
        return nullptr;
    if (QStandardItem *parent = item->parent())
        return parent->child(item->row(), column);
    return this->item(item->row(), column);
}

int SelectedItemsModel::nodeKind(const QStandardItem *node)
{
    if (!node)
        return -1;
    bool ok = false;
    const int kind = node->data(KindRole).toInt(&ok);
    return ok ? kind : -1;
}

QString SelectedItemsModel::roleValueName(const QStandardItem *node, int role, ValueList list)
{
    // A node without the value reads as code 0, as the project file stores it,
    // so a pick shows the same text before and after a save and reload.
    return node ? valueListName(list, node->data(role).toInt()) : QString();
}

void SelectedItemsModel::showMmsTypes(QStandardItem *node, int column)
{
    if (QStandardItem *mmsType = rowCell(node, column))
        mmsType->setText(roleValueName(node, MmsTypeRole, ValueList::MmsType));
    for (int r = 0; r < node->rowCount(); ++r) {
        if (QStandardItem *child = node->child(r))
            showMmsTypes(child, column);
    }
}
