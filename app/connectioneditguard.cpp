#include "connectioneditguard.h"

#include "connectionvaluerule.h"
#include "sclmodel.h"
#include "userprompt.h"

#include <QStandardItemModel>

namespace {
constexpr int ValueColumn = 1;
}

ConnectionEditGuard::ConnectionEditGuard(QStandardItemModel *model, QWidget *promptParent,
                                         QObject *parent)
    : QObject(parent), model(model), promptParent(promptParent)
{
    connect(model, &QStandardItemModel::itemChanged, this, &ConnectionEditGuard::onItemChanged);
    connect(model, &QAbstractItemModel::rowsInserted, this, &ConnectionEditGuard::captureRows);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &parent, int first) {
                // Only the IED or its connection node going makes the values stale.
                if (!parent.isValid() ||
                    (!parent.parent().isValid() && first <= SclBranch::ConnectionRow))
                    forget();
            });
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, &ConnectionEditGuard::forget);
}

QStandardItem *ConnectionEditGuard::connectionNode() const
{
    QStandardItem *ied = model->item(0, 0);
    QStandardItem *node = ied ? ied->child(SclBranch::ConnectionRow, 0) : nullptr;
    return node && node->text() == SclBranch::Connection ? node : nullptr;
}

void ConnectionEditGuard::forget()
{
    capturedNode = nullptr;
    acceptedValues.clear();
}

void ConnectionEditGuard::captureRows()
{
    const QStandardItem *node = connectionNode();
    if (node != capturedNode)
        forget();
    capturedNode = node;
    if (!node || acceptedValues.size() == node->rowCount())
        return;
    for (int row = 0; row < node->rowCount(); ++row) {
        const QStandardItem *value = node->child(row, ValueColumn);
        if (value && !acceptedValues.contains(row))
            acceptedValues.insert(row, value->text());
    }
}

void ConnectionEditGuard::onItemChanged(QStandardItem *item)
{
    QStandardItem *node = connectionNode();
    if (restoring || !item || !node || item->parent() != node || item->column() != ValueColumn)
        return;
    const int row = item->row();
    const QString value = item->text();
    if (acceptedValues.value(row) == value)
        return;

    const QStandardItem *caption = node->child(row, 0);
    const QString refusal =
        ConnectionValueRule::refusal(row, value, caption ? caption->text() : QString());
    if (refusal.isEmpty()) {
        acceptedValues.insert(row, value);
        emit valueAccepted(item);
        return;
    }
    restoring = true;
    item->setText(acceptedValues.value(row));
    restoring = false;
    UserPrompt::warning(promptParent, QStringLiteral("Stationscope"), refusal);
}
