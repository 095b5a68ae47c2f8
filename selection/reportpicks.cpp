#include "reportpicks.h"

#include "selecteddatasetsmodel.h"
#include "selectedreportsmodel.h"

#include <QStandardItem>
#include <QStringList>

namespace {

bool isOn(const QString &text)
{
    return text == QLatin1String("true") || text == QLatin1String("1");
}

void collectBoundLeaves(const QStandardItem *node, const QString &path, QStringList *parts)
{
    for (int row = 0; row < node->rowCount(); ++row) {
        const QStandardItem *child = node->child(row);
        // Leaves read "f{MX,FLOAT32}"; the name is what comes before the brace.
        const QString name = child->text().section(QLatin1Char('{'), 0, 0);
        const QString childPath = path.isEmpty() ? name : path + QLatin1Char('.') + name;
        const QString signal = pickCellText(child, SelectedDatasetsModel::ResultSignalColumn);
        if (!signal.isEmpty())
            parts->append(childPath + QLatin1Char('=') + signal);
        collectBoundLeaves(child, childPath, parts);
    }
}

} // namespace

QString pickCellText(const QStandardItem *row, int column)
{
    const QStandardItem *parent = row->parent() ? row->parent() : row->model()->invisibleRootItem();
    const QStandardItem *cell = parent->child(row->row(), column);
    const QString text = cell ? cell->text().trimmed() : QString();
    return text == QLatin1String("-") || text == QLatin1String("NoRef") ? QString() : text;
}

QString boundSignalText(const QStandardItem *member)
{
    const QString signal = pickCellText(member, SelectedDatasetsModel::ResultSignalColumn);
    if (!signal.isEmpty())
        return signal;
    QStringList parts;
    collectBoundLeaves(member, QString(), &parts);
    return parts.join(QLatin1Char(' '));
}

QVector<PickedReport> pickedReports(const SelectedReportsModel &reports)
{
    QVector<PickedReport> picks;
    for (int row = 0; row < reports.rowCount(); ++row) {
        const QStandardItem *report = reports.item(row);
        const auto number = [report](int column, qint64 *value) {
            bool ok = false;
            const qint64 parsed = pickCellText(report, column).toLongLong(&ok);
            if (ok)
                *value = parsed;
        };
        PickedReport pick;
        pick.reference = report->text();
        if (isOn(pickCellText(report, SelectedReportsModel::IsIndexedColumn)))
            pick.instances =
                qMax(1, pickCellText(report, SelectedReportsModel::MaxIndexColumn).toInt());
        qint64 trgOps = -1;
        qint64 optFlds = -1;
        number(SelectedReportsModel::TriggerTypeColumn, &trgOps);
        number(SelectedReportsModel::OptFieldsColumn, &optFlds);
        pick.trgOps = int(trgOps);
        pick.optFlds = int(optFlds);
        number(SelectedReportsModel::IntPeriodColumn, &pick.intgPd);
        number(SelectedReportsModel::BufferingTimeColumn, &pick.bufTm);
        pick.gi = pick.trgOps < 0 || (pick.trgOps & 16);
        pick.dataSet = pickCellText(report, SelectedReportsModel::DatasetRefPathColumn);
        if (isOn(pickCellText(report, SelectedReportsModel::ConfRevCheckColumn)))
            number(SelectedReportsModel::ConfRevNumberColumn, &pick.confRev);
        picks.append(pick);
    }
    return picks;
}
