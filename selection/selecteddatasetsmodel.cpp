#include "selecteddatasetsmodel.h"

#include "userprompt.h"

#include <QStandardItem>

#include <functional>

SelectedDatasetsModel::SelectedDatasetsModel(QObject *parent) : SelectedItemsModel(parent)
{
    setHeaderLabels({tr("Name"), tr("Status Signal"), tr("Trig Signal"), tr("RxTime Signal"),
                     tr("RxCount Signal"), tr("Result Signal"), tr("MMS Type"),
                     tr("DatasetFromReportFlag Signal"), tr("Live Value")});
    connect(this, &QAbstractItemModel::rowsRemoved, this, &SelectedDatasetsModel::onRowsRemoved);
    connect(this, &QAbstractItemModel::rowsInserted, this, &SelectedDatasetsModel::onRowsInserted);
}

bool SelectedDatasetsModel::acceptsNode(QStandardItem *source, const QString &name,
                                        const QString &group)
{
    Q_UNUSED(group);
    if (nodeKind(source) != DataSetKind) {
        UserPrompt::information(nullptr, tr("Invalid Selection"),
                                tr("You can only select DataSets(DS) "));
        return false;
    }
    if (namesByGroup.value(DefaultGroup).contains(name)) {
        UserPrompt::information(nullptr, tr("Duplicate Entry"),
                                tr("This dataset has already been added."));
        return false;
    }
    return true;
}

void SelectedDatasetsModel::setupRow(const QList<QStandardItem *> &row, bool topLevel)
{
    Q_UNUSED(topLevel);
    QStandardItem *first = row.value(NameColumn);
    if (!first)
        return;
    auto cell = [&row](int column) {
        return row.value(column);
    };
    const int kind = nodeKind(first);

    makeReadOnly(first);
    makeReadOnly(cell(LiveValueColumn));
    const QVariant kindValue = first->data(KindRole);
    for (QStandardItem *item : row) {
        if (item)
            item->setData(kindValue, KindRole);
    }

    const QList<int> setColumns{StatusSignalColumn, TrigSignalColumn, RxTimeSignalColumn,
                                RxCountSignalColumn, DatasetFromReportFlagSignalColumn};
    switch (kind) {
    case DataSetKind:
        for (int column : setColumns)
            enableCell(cell(column), EditorKind::SignalSelect);
        disableCell(cell(ResultSignalColumn));
        disableCell(cell(MmsTypeColumn));
        break;
    case DataObjectKind:
        // A whole data object, sub data object or structure is read as its
        // structure (or array): the type is shown and stored, not chosen.
        for (int column = StatusSignalColumn; column < LiveValueColumn; ++column) {
            if (column != MmsTypeColumn)
                disableCell(cell(column));
        }
        showReadOnly(cell(MmsTypeColumn));
        break;
    case DataAttributeKind:
        for (int column : setColumns)
            disableCell(cell(column));
        enableCell(cell(ResultSignalColumn), EditorKind::SignalSelect);
        enableCell(cell(MmsTypeColumn), EditorKind::Combo);
        break;
    default:
        break;
    }
}

QStringList SelectedDatasetsModel::datasetNames() const
{
    QStringList names;
    for (int r = 0; r < rowCount(); ++r) {
        const QStandardItem *first = item(r, NameColumn);
        names.append(first ? first->text() : QString());
    }
    return names;
}

void SelectedDatasetsModel::fillAddedRow(QStandardItem *node)
{
    if (!node || node->model() != this)
        return;
    for (int r = 0; r < node->rowCount(); ++r) {
        if (QStandardItem *member = node->child(r))
            showMmsTypes(member, MmsTypeColumn);
    }
}

void SelectedDatasetsModel::setLiveValue(QStandardItem *node, const QString &text)
{
    if (!node || node->model() != this || node == invisibleRootItem())
        return;
    QStandardItem *cell = rowCell(node, LiveValueColumn);
    if (!cell) {
        // Rows loaded from a project come without it.
        if (text.isEmpty())
            return;
        cell = new QStandardItem;
        makeReadOnly(cell);
        cell->setData(node->data(KindRole), KindRole);
        QStandardItem *parent = node->parent() ? node->parent() : invisibleRootItem();
        parent->setChild(node->row(), LiveValueColumn, cell);
    }
    if (cell->text() != text)
        cell->setText(text);
}

QString SelectedDatasetsModel::liveValue(const QStandardItem *node) const
{
    const QStandardItem *cell = rowCell(node, LiveValueColumn);
    return cell ? cell->text() : QString();
}

void SelectedDatasetsModel::clearLiveValues()
{
    std::function<void(QStandardItem *)> clearBelow = [&](QStandardItem *parent) {
        for (int row = 0; row < parent->rowCount(); ++row) {
            if (QStandardItem *cell = parent->child(row, LiveValueColumn);
                cell && !cell->text().isEmpty())
                cell->setText(QString());
            if (QStandardItem *child = parent->child(row))
                clearBelow(child);
        }
    };
    clearBelow(invisibleRootItem());
}

void SelectedDatasetsModel::emitDatasetUpdate()
{
    emit datasetUpdate(datasetNames());
}

void SelectedDatasetsModel::onRowsRemoved(const QModelIndex &parent, int first, int last)
{
    Q_UNUSED(parent);
    Q_UNUSED(first);
    Q_UNUSED(last);
    emitDatasetUpdate();
}

void SelectedDatasetsModel::onRowsInserted(const QModelIndex &parent, int first, int last)
{
    Q_UNUSED(parent);
    Q_UNUSED(first);
    Q_UNUSED(last);
    emitDatasetUpdate();
}
