#include "selectedreportsmodel.h"

#include "stationscoperesources.h"
#include "userprompt.h"

#include <QIcon>
#include <QStandardItem>

SelectedReportsModel::SelectedReportsModel(QObject *parent) : SelectedItemsModel(parent)
{
    initStationscopeResources();
    setHeaderLabels({tr("ReportRefPath"), tr("DatasetRefPath"), tr("TriggerType"), tr("IsIndexed"),
                     tr("MaxIndex"), tr("ConfRevCheck"), tr("ConfRevNumber"), tr("IntPeriod"),
                     tr("BufferingTime"), tr("OptFields"), tr("EnableSignal"), tr("StatusSignal"),
                     tr("SendGISignal"), tr("PurgeBufferSignal"), tr("IgnoredReportCountSignal")});
}

bool SelectedReportsModel::acceptsNode(QStandardItem *source, const QString &name,
                                       const QString &group)
{
    Q_UNUSED(group);
    const int kind = nodeKind(source);
    if (kind != UnbufferedReportKind && kind != BufferedReportKind) {
        UserPrompt::information(nullptr, tr("Invalid Selection"),
                                tr("You can only select ReportObject(RO)"));
        return false;
    }
    if (namesByGroup.value(DefaultGroup).contains(name)) {
        UserPrompt::information(nullptr, tr("Duplicate Entry"),
                                tr("This object has already been added."));
        return false;
    }
    return true;
}

void SelectedReportsModel::setupRow(const QList<QStandardItem *> &row, bool topLevel)
{
    Q_UNUSED(topLevel);
    makeReadOnly(row.value(ReportRefPathColumn));
    makeReadOnly(row.value(DatasetRefPathColumn));
    enableCell(row.value(TriggerTypeColumn), EditorKind::TrigTypeDialog);
    enableCell(row.value(IsIndexedColumn), EditorKind::CheckBox);
    enableCell(row.value(ConfRevCheckColumn), EditorKind::CheckBox);
    for (int column : {MaxIndexColumn, ConfRevNumberColumn, IntPeriodColumn, BufferingTimeColumn})
        enableCell(row.value(column), QString());
    enableCell(row.value(OptFieldsColumn), EditorKind::ReportOptionsDialog);
    for (int column = EnableSignalColumn; column < ColumnCount; ++column)
        enableCell(row.value(column), EditorKind::SignalSelect);
}

void SelectedReportsModel::fillAddedRow(QStandardItem *node)
{
    if (!node || node->model() != this)
        return;
    const QModelIndex first = node->index();
    auto fill = [this, &first](int column, const QVariant &value) {
        setData(first.siblingAtColumn(column), value, Qt::DisplayRole);
    };
    fill(DatasetRefPathColumn, node->data(DatasetRefRole).toString());
    fill(IntPeriodColumn, node->data(IntgPdRole).toInt());
    fill(BufferingTimeColumn, node->data(BufTimeRole).toInt());
    fill(ConfRevNumberColumn, node->data(ConfRevRole).toInt());
    fill(TriggerTypeColumn, node->data(TrgOpsRole).toInt());
    fill(OptFieldsColumn, node->data(OptFieldsRole).toInt());
    fill(IsIndexedColumn, node->data(IndexedRole).toBool());
    fill(MaxIndexColumn, node->data(MaxIndexRole).toInt());
}

void SelectedReportsModel::onDataSetUpdate(const QStringList &dsnames)
{
    for (int r = 0; r < rowCount(); ++r) {
        QStandardItem *dataset = item(r, DatasetRefPathColumn);
        if (!dataset)
            continue;
        if (dsnames.contains(dataset->text())) {
            dataset->setData(QVariant(), Qt::DecorationRole);
            dataset->setData(QVariant(), Qt::ToolTipRole);
        } else {
            dataset->setIcon(QIcon(QStringLiteral(":/images/warning.png")));
            dataset->setToolTip(tr("This dataset does not exist in model !"));
        }
    }
}
