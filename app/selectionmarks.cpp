#include "selectionmarks.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHash>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QStyle>

namespace {

QVector<QPersistentModelIndex> topLevelRows(const QStandardItemModel *model)
{
    QVector<QPersistentModelIndex> rows;
    rows.reserve(model->rowCount());
    for (int row = 0; row < model->rowCount(); ++row)
        rows.append(QPersistentModelIndex(model->index(row, 0)));
    return rows;
}

QIcon severityIcon(FindingSeverity severity)
{
    switch (severity) {
    case FindingSeverity::Error:
        return QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical);
    case FindingSeverity::Warning:
        return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    case FindingSeverity::Info:
        break;
    }
    return QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
}

QString findingTip(const CompareFinding &finding)
{
    QString tip = severityText(finding.severity) + QStringLiteral(": ") + finding.what;
    if (!finding.expected.isEmpty() || !finding.found.isEmpty())
        tip += QCoreApplication::translate("SelectionMarks", " (expected %1, found %2)")
                   .arg(finding.expected, finding.found);
    return tip;
}

} // namespace

SelectionMarks::SelectionMarks(QStandardItemModel *objects, QStandardItemModel *dataSets,
                               QStandardItemModel *reports, QWidget *views, QObject *parent)
    : QObject(parent), models{objects, dataSets, reports}, views(views)
{
    // A reset takes the marked items along: nothing is left to put back.
    for (QStandardItemModel *model : models)
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this, model] {
            marks.erase(std::remove_if(marks.begin(), marks.end(),
                                       [model](const Mark &m) {
                                           return m.index.model() == model || !m.index.isValid();
                                       }),
                        marks.end());
        });
}

QStandardItemModel *SelectionMarks::modelOf(PickKind kind) const
{
    switch (kind) {
    case PickKind::DataObject:
        return models[0];
    case PickKind::DataSet:
        return models[1];
    case PickKind::Report:
        return models[2];
    case PickKind::Ied:
        break;
    }
    return nullptr;
}

SelectionMarks::Rows SelectionMarks::capture() const
{
    return {topLevelRows(models[0]), topLevelRows(models[1]), topLevelRows(models[2])};
}

void SelectionMarks::mark(const CompareFindings &findings, const Rows &rows)
{
    clear();
    struct Marking
    {
        FindingSeverity worst = FindingSeverity::Info;
        QStringList tips;
    };
    QHash<QPersistentModelIndex, Marking> byRow;
    QVector<QPersistentModelIndex> order;
    for (const CompareFinding &finding : findings) {
        const QVector<QPersistentModelIndex> *captured =
            finding.pickKind == PickKind::DataObject ? &rows.objects
            : finding.pickKind == PickKind::DataSet  ? &rows.dataSets
            : finding.pickKind == PickKind::Report   ? &rows.reports
                                                     : nullptr;
        if (!captured || finding.pickRow < 0 || finding.pickRow >= captured->size())
            continue;
        const QPersistentModelIndex index = captured->at(finding.pickRow);
        if (!index.isValid() || index.model() != modelOf(finding.pickKind))
            continue;
        if (!byRow.contains(index))
            order.append(index);
        Marking &marking = byRow[index];
        // Lower enum values are the graver ones.
        marking.worst = qMin(marking.worst, finding.severity);
        marking.tips.append(findingTip(finding));
    }
    for (const QPersistentModelIndex &index : order) {
        auto *model = const_cast<QStandardItemModel *>(
            qobject_cast<const QStandardItemModel *>(index.model()));
        QStandardItem *item = model ? model->itemFromIndex(index) : nullptr;
        if (!item)
            continue;
        marks.append({index, item->data(Qt::DecorationRole), item->data(Qt::ToolTipRole)});
        const Marking &marking = byRow.value(index);
        const QSignalBlocker quiet(model);
        item->setData(severityIcon(marking.worst), Qt::DecorationRole);
        item->setData(marking.tips.join(QLatin1Char('\n')), Qt::ToolTipRole);
    }
    repaint();
}

void SelectionMarks::clear()
{
    if (marks.isEmpty())
        return;
    for (const Mark &mark : qAsConst(marks)) {
        auto *model = const_cast<QStandardItemModel *>(
            qobject_cast<const QStandardItemModel *>(mark.index.model()));
        QStandardItem *item =
            model && mark.index.isValid() ? model->itemFromIndex(mark.index) : nullptr;
        if (!item)
            continue;
        const QSignalBlocker quiet(model);
        item->setData(mark.decoration, Qt::DecorationRole);
        item->setData(mark.toolTip, Qt::ToolTipRole);
    }
    marks.clear();
    repaint();
}

void SelectionMarks::repaint()
{
    // The selection views may show the models through filters: repaint them all.
    if (views) {
        for (QAbstractItemView *view : views->findChildren<QAbstractItemView *>())
            view->viewport()->update();
    }
}
