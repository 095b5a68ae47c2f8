#include "selectedobjectsmodel.h"

#include "userprompt.h"

#include <QStandardItem>

#include <functional>

namespace {
const QString ControlConstraint = QStringLiteral("CO");
} // namespace

SelectedObjectsModel::SelectedObjectsModel(QObject *parent) : SelectedItemsModel(parent)
{
    setHeaderLabels({tr("Name"), tr("Function"), tr("MMS Type"), tr("Read Trig Signal"),
                     tr("Write Trig Signal"), tr("Status Signal"), tr("CtlModel"),
                     tr("Data Signal"), tr("TimeActivated Ctrl"), tr("Enh CtrlCmdTerm Signal"),
                     tr("CtrlErrCode Signal"), tr("Selection Type"), tr("CommandType Signal")});
}

bool SelectedObjectsModel::acceptsNode(QStandardItem *source, const QString &name,
                                       const QString &group)
{
    Q_UNUSED(name);
    Q_UNUSED(group);
    const int kind = nodeKind(source);
    if (kind == DataObjectKind || kind == DataAttributeKind)
        return true;
    UserPrompt::information(nullptr, tr("Invalid Selection"),
                            tr("You can only select DataObjects(DO) and Data Attributes(DA)"));
    return false;
}

void SelectedObjectsModel::setupRow(const QList<QStandardItem *> &row, bool topLevel)
{
    QStandardItem *first = row.value(NameColumn);
    if (!first)
        return;
    auto cell = [&row](int column) {
        return row.value(column);
    };
    const int kind = nodeKind(first);
    const bool control = first->data(GroupRole).toString() == ControlConstraint;
    const QList<int> controlColumns{TimeActivatedCtrlColumn, EnhCtrlCmdTermSignalColumn,
                                    CtrlErrCodeSignalColumn, CtlModelColumn,
                                    CommandTypeSignalColumn, SelectionTypeColumn};

    makeReadOnly(cell(NameColumn));
    makeReadOnly(cell(FunctionColumn));
    const QVariant kindValue = first->data(KindRole);
    for (QStandardItem *item : row) {
        if (item)
            item->setData(kindValue, KindRole);
    }

    if (!control) {
        for (int column : controlColumns)
            disableCell(cell(column));
    }

    if (kind == DataObjectKind) {
        if (topLevel) {
            enableCell(cell(ReadTrigSignalColumn), EditorKind::SignalSelect);
            enableCell(cell(WriteTrigSignalColumn), EditorKind::SignalSelect);
            enableCell(cell(StatusSignalColumn), EditorKind::SignalSelect);
            if (control) {
                enableCell(cell(TimeActivatedCtrlColumn), EditorKind::SignalSelect);
                enableCell(cell(EnhCtrlCmdTermSignalColumn), EditorKind::SignalSelect);
                enableCell(cell(CtrlErrCodeSignalColumn), EditorKind::SignalSelect);
                enableCell(cell(CtlModelColumn), EditorKind::Combo);
                enableCell(cell(DataSignalColumn), EditorKind::SignalSelect);
                enableCell(cell(CommandTypeSignalColumn), EditorKind::SignalSelect);
                enableCell(cell(SelectionTypeColumn), EditorKind::Combo);
            } else {
                disableCell(cell(DataSignalColumn));
            }
        } else {
            for (int column = FunctionColumn; column < ColumnCount; ++column)
                makeReadOnly(cell(column));
        }
    } else if (kind == DataAttributeKind) {
        if (topLevel) {
            enableCell(cell(ReadTrigSignalColumn), EditorKind::SignalSelect);
            enableCell(cell(WriteTrigSignalColumn), EditorKind::SignalSelect);
            enableCell(cell(StatusSignalColumn), EditorKind::SignalSelect);
            enableCell(cell(DataSignalColumn), EditorKind::SignalSelect);
            for (int column : controlColumns)
                disableCell(cell(column));
        } else {
            for (int column : controlColumns)
                disableCell(cell(column));
            makeReadOnly(cell(FunctionColumn));
            disableCell(cell(StatusSignalColumn));
            disableCell(cell(WriteTrigSignalColumn));
            disableCell(cell(ReadTrigSignalColumn));
            enableCell(cell(DataSignalColumn), EditorKind::SignalSelect);
        }
    }

    if (control)
        applyWriteRule(first, cell(WriteTrigSignalColumn), cell(DataSignalColumn));

    enableCell(cell(MmsTypeColumn), EditorKind::Combo);
}

void SelectedObjectsModel::itemEdited(QStandardItem *item)
{
    if (item && item->column() == CtlModelColumn && !item->parent())
        carryControlModel(rowCell(item, NameColumn));
    if (!item || item->column() != WriteTrigSignalColumn)
        return;
    QStandardItem *first = rowCell(item, NameColumn);
    applyWriteRule(first, item, rowCell(item, DataSignalColumn));
}

void SelectedObjectsModel::applyWriteRule(QStandardItem *first, QStandardItem *writeTrig,
                                          QStandardItem *dataSignal) const
{
    if (!first || !writeTrig || !dataSignal || first->parent())
        return;
    if (nodeKind(first) != DataObjectKind || first->data(GroupRole).toString() != ControlConstraint)
        return;
    if (writeTrig->text().isEmpty())
        disableCell(dataSignal);
    else
        enableCell(dataSignal, EditorKind::SignalSelect);
}

void SelectedObjectsModel::fillAddedRow(QStandardItem *node)
{
    if (!node || node->model() != this)
        return;
    if (QStandardItem *function = rowCell(node, FunctionColumn))
        function->setText(node->data(GroupRole).toString());
    if (QStandardItem *ctlModel = rowCell(node, CtlModelColumn))
        ctlModel->setText(roleValueName(node, CtlModelRole, ValueList::ControlModel));
    showMmsTypes(node, MmsTypeColumn);
    carryControlModel(node);
}

void SelectedObjectsModel::carryControlModel(QStandardItem *node)
{
    if (!node || node->model() != this || node->parent() ||
        node->data(GroupRole).toString() != ControlConstraint)
        return;
    const QStandardItem *own = rowCell(node, CtlModelColumn);
    const QString name = own ? own->text() : QString();
    std::function<void(QStandardItem *)> carryBelow = [&](QStandardItem *parent) {
        for (int row = 0; row < parent->rowCount(); ++row) {
            if (QStandardItem *cell = parent->child(row, CtlModelColumn)) {
                showReadOnly(cell);
                if (cell->text() != name)
                    cell->setText(name);
            }
            if (QStandardItem *child = parent->child(row))
                carryBelow(child);
        }
    };
    carryBelow(node);
}

void SelectedObjectsModel::carryControlModels()
{
    for (int row = 0; row < rowCount(); ++row)
        carryControlModel(item(row, NameColumn));
}
