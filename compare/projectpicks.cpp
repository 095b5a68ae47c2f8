#include "projectpicks.h"

#include "sclmodel.h"

#include <QStandardItemModel>

namespace {

// Columns of the selection models.
constexpr int ObjectFunctionColumn = 1;
constexpr int ObjectMmsTypeColumn = 2;
constexpr int ReportDataSetColumn = 1;
constexpr int ReportTriggerColumn = 2;
constexpr int ReportConfRevCheckColumn = 5;
constexpr int ReportConfRevColumn = 6;
constexpr int NamePlateRow = 7;

int mmsTypeOf(const QStandardItem *parent, int row, const QStandardItemModel *model)
{
    const QStandardItem *cell =
        parent ? parent->child(row, ObjectMmsTypeColumn) : model->item(row, ObjectMmsTypeColumn);
    const QString name = cell ? cell->text() : QString();
    return name.isEmpty() ? -1 : valueListNames(ValueList::MmsType).indexOf(name);
}

void collectAttributes(const QStandardItem *node, const QString &path,
                       const QStandardItemModel *model, QVector<AttributePick> *attributes)
{
    for (int row = 0; row < node->rowCount(); ++row) {
        const QStandardItem *child = node->child(row, 0);
        if (!child)
            continue;
        const QString childPath = path.isEmpty()
                                      ? nodeNamePart(child->text())
                                      : path + QLatin1Char('.') + nodeNamePart(child->text());
        if (child->data(KindRole).toInt() == DataAttributeKind)
            attributes->append({childPath, mmsTypeOf(node, row, model)});
        collectAttributes(child, childPath, model, attributes);
    }
}

QString cellText(const QStandardItemModel *model, int row, int column)
{
    const QStandardItem *cell = model->item(row, column);
    return cell ? cell->text() : QString();
}

bool checkedCell(const QStandardItemModel *model, int row, int column)
{
    const QString text = cellText(model, row, column).trimmed();
    return text == QLatin1String("1") ||
           text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

} // namespace

ProjectPicks ProjectPicks::fromModels(const QStandardItemModel *sclModel,
                                      const QStandardItemModel *objects,
                                      const QStandardItemModel *dataSets,
                                      const QStandardItemModel *reports)
{
    ProjectPicks picks;
    if (const QStandardItem *ied = sclModel ? sclModel->item(0, 0) : nullptr) {
        picks.iedName = ied->text();
        const QStandardItem *connection = ied->child(SclBranch::ConnectionRow, 0);
        if (connection && connection->text() == SclBranch::Connection &&
            connection->child(NamePlateRow, 1))
            picks.namePlateRevision = connection->child(NamePlateRow, 1)->text();
    }
    for (int row = 0; objects && row < objects->rowCount(); ++row) {
        const QStandardItem *first = objects->item(row, 0);
        if (!first)
            continue;
        ObjectPick pick;
        pick.row = row;
        pick.reference = first->text();
        pick.constraint = first->data(GroupRole).toString();
        if (pick.constraint.isEmpty())
            pick.constraint = cellText(objects, row, ObjectFunctionColumn);
        pick.kind = first->data(KindRole).toInt();
        pick.mmsType = mmsTypeOf(nullptr, row, objects);
        collectAttributes(first, QString(), objects, &pick.attributes);
        picks.objects.append(pick);
    }
    for (int row = 0; dataSets && row < dataSets->rowCount(); ++row) {
        const QStandardItem *first = dataSets->item(row, 0);
        if (!first)
            continue;
        DataSetPick pick;
        pick.row = row;
        pick.reference = first->text();
        for (int member = 0; member < first->rowCount(); ++member) {
            if (const QStandardItem *item = first->child(member, 0))
                pick.members.append(item->text());
        }
        picks.dataSets.append(pick);
    }
    for (int row = 0; reports && row < reports->rowCount(); ++row) {
        const QStandardItem *first = reports->item(row, 0);
        if (!first)
            continue;
        ReportPick pick;
        pick.row = row;
        pick.reference = first->text();
        pick.buffered = first->data(KindRole).toInt() == BufferedReportKind;
        pick.dataSetReference = cellText(reports, row, ReportDataSetColumn);
        // A pick made in this session still carries the parsed block's rptID;
        // the project file does not keep it.
        if (first->data(RptIdRole).isValid())
            pick.reportId = first->data(RptIdRole).toString();
        pick.confRev = cellText(reports, row, ReportConfRevColumn).trimmed().toInt();
        pick.confRevChecked = checkedCell(reports, row, ReportConfRevCheckColumn);
        pick.triggerOptions = cellText(reports, row, ReportTriggerColumn).trimmed().toInt();
        picks.reports.append(pick);
    }
    return picks;
}
