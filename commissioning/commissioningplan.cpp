#include "commissioningplan.h"

#include "reportpicks.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"

#include <QHash>
#include <QRegularExpression>
#include <QStandardItemModel>

namespace {

struct SignalRow
{
    QString number;
    QString address;
    QString type;
};

// Bound cells hold the label without its "::description".
QHash<QString, SignalRow> signalsByLabel(const QStandardItemModel &signalList)
{
    QHash<QString, SignalRow> byLabel;
    for (int row = 0; row < signalList.rowCount(); ++row) {
        const auto text = [&](int column) {
            const QStandardItem *cell = signalList.item(row, column);
            return cell ? cell->text().trimmed() : QString();
        };
        const QString label = text(2).section(QStringLiteral("::"), 0, 0).trimmed();
        if (!label.isEmpty() && label != NoSignalName && !byLabel.contains(label))
            byLabel.insert(label, {text(0), text(1), text(3)});
    }
    return byLabel;
}

QString headerText(const QStandardItemModel &model, int column)
{
    return model.headerData(column, Qt::Horizontal).toString();
}

// "stVal{ST,BOOLEAN}" -> "ST"; empty for a structure's node.
QString leafConstraint(const QString &nodeText)
{
    static const QRegularExpression braces(QStringLiteral("\\{([A-Z]{2}),"));
    const QRegularExpressionMatch match = braces.match(nodeText);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString firstLeafConstraint(const QStandardItem *node)
{
    const QString own = leafConstraint(node->text());
    if (!own.isEmpty())
        return own;
    for (int row = 0; row < node->rowCount(); ++row) {
        const QString found = firstLeafConstraint(node->child(row));
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

CommissioningPoint::Direction directionOf(const QString &fc, const QString &signalType)
{
    if (fc == QLatin1String("MX"))
        return CommissioningPoint::Direction::Measurand;
    if (fc == QLatin1String("ST"))
        return CommissioningPoint::Direction::Status;
    return signalType.startsWith(QLatin1Char('A'), Qt::CaseInsensitive)
               ? CommissioningPoint::Direction::Measurand
               : CommissioningPoint::Direction::Status;
}

class PlanBuilder
{
public:
    PlanBuilder(const QStandardItemModel &signalList) : signalRows(signalsByLabel(signalList)) {}

    void add(CommissioningPoint point, const QString &label)
    {
        const SignalRow signal = signalRows.value(label);
        point.signalLabel = label;
        point.signalNumber = signal.number;
        point.signalAddress = signal.address;
        point.signalType = signal.type;
        if (point.direction != CommissioningPoint::Direction::Command)
            point.direction = directionOf(point.fc, point.signalType);
        points.append(point);
    }

    void addObjects(const SelectedObjectsModel &objects)
    {
        const QString dataColumn = headerText(objects, SelectedObjectsModel::DataSignalColumn);
        const QString statusColumn = headerText(objects, SelectedObjectsModel::StatusSignalColumn);
        const QString writeColumn =
            headerText(objects, SelectedObjectsModel::WriteTrigSignalColumn);
        for (int row = 0; row < objects.rowCount(); ++row) {
            const QStandardItem *pick = objects.item(row);
            const QString fc = pickCellText(pick, SelectedObjectsModel::FunctionColumn);
            CommissioningPoint point;
            point.reference = pick->text().trimmed();
            point.fc = fc;
            const QString writeTrigger =
                pickCellText(pick, SelectedObjectsModel::WriteTrigSignalColumn);
            if (fc == QLatin1String("CO")) {
                // A control is tested by operating it, which only the tester does.
                if (!writeTrigger.isEmpty()) {
                    point.bindingColumn = writeColumn;
                    point.direction = CommissioningPoint::Direction::Command;
                    add(point, writeTrigger);
                }
                continue;
            }
            // The value read lands in the pick's status signal, or attribute
            // by attribute in their data signals.
            const QString status = pickCellText(pick, SelectedObjectsModel::StatusSignalColumn);
            if (!status.isEmpty()) {
                CommissioningPoint bound = point;
                bound.bindingColumn = statusColumn;
                add(bound, status);
            }
            addObjectData(pick, point, dataColumn);
        }
    }

    void addDataSets(const SelectedDatasetsModel &datasets, const SelectedReportsModel &reports)
    {
        QHash<QString, PickedReport> blockByDataSet;
        for (const PickedReport &pick : pickedReports(reports)) {
            if (!pick.dataSet.isEmpty() && !blockByDataSet.contains(pick.dataSet))
                blockByDataSet.insert(pick.dataSet, pick);
        }
        const QString resultColumn =
            headerText(datasets, SelectedDatasetsModel::ResultSignalColumn);
        for (int row = 0; row < datasets.rowCount(); ++row) {
            const QStandardItem *dataSet = datasets.item(row);
            const auto block = blockByDataSet.constFind(dataSet->text());
            for (int child = 0; child < dataSet->rowCount(); ++child) {
                const QStandardItem *member = dataSet->child(child);
                QString reference = member->text().trimmed();
                static const QRegularExpression constraint(QStringLiteral("\\[([A-Z]{2})\\]$"));
                const QRegularExpressionMatch match = constraint.match(reference);
                CommissioningPoint point;
                if (match.hasMatch()) {
                    point.fc = match.captured(1);
                    reference.chop(match.capturedLength());
                } else {
                    point.fc = firstLeafConstraint(member);
                }
                point.reference = reference;
                point.bindingColumn = resultColumn;
                point.dataSetReference = dataSet->text();
                if (block != blockByDataSet.constEnd()) {
                    point.arrival = CommissioningPoint::Arrival::Report;
                    point.blockReference = block->reference;
                    point.blockInstances = block->instances;
                }
                addMemberLeaves(member, point);
            }
        }
    }

    CommissioningPoints points;

private:
    // The data object row and every attribute row below it that binds a data signal.
    void addObjectData(const QStandardItem *node, const CommissioningPoint &point,
                       const QString &column)
    {
        const QString signal = pickCellText(node, SelectedObjectsModel::DataSignalColumn);
        if (!signal.isEmpty()) {
            CommissioningPoint bound = point;
            bound.bindingColumn = column;
            add(bound, signal);
        }
        for (int row = 0; row < node->rowCount(); ++row) {
            const QStandardItem *child = node->child(row);
            CommissioningPoint inner = point;
            inner.reference += QLatin1Char('.') + nodeNamePart(child->text());
            addObjectData(child, inner, column);
        }
    }

    // A member bound as a whole, or its attributes bound one by one.
    void addMemberLeaves(const QStandardItem *node, const CommissioningPoint &point)
    {
        const QString signal = pickCellText(node, SelectedDatasetsModel::ResultSignalColumn);
        if (!signal.isEmpty())
            add(point, signal);
        for (int row = 0; row < node->rowCount(); ++row) {
            const QStandardItem *child = node->child(row);
            CommissioningPoint inner = point;
            inner.reference += QLatin1Char('.') + nodeNamePart(child->text());
            addMemberLeaves(child, inner);
        }
    }

    QHash<QString, SignalRow> signalRows;
};

} // namespace

CommissioningPoints CommissioningPlan::fromProject(const SelectedObjectsModel &objects,
                                                   const SelectedDatasetsModel &datasets,
                                                   const SelectedReportsModel &reports,
                                                   const QStandardItemModel &signalList)
{
    PlanBuilder builder(signalList);
    builder.addObjects(objects);
    builder.addDataSets(datasets, reports);
    return builder.points;
}
