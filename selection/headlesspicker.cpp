#include "headlesspicker.h"

#include "referencepath.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "treefiltermodel.h"
#include "userprompt.h"

#include <QStandardItem>

#include <functional>

namespace {

QStandardItem *branchRoot(const QStandardItem *node)
{
    if (!node || !node->parent())
        return nullptr;
    const QStandardItem *branch = node;
    while (branch->parent() && branch->parent()->parent())
        branch = branch->parent();
    return const_cast<QStandardItem *>(branch);
}

int kindOf(const QStandardItem *node)
{
    bool known = false;
    const int kind = node->data(KindRole).toInt(&known);
    return known ? kind : -1;
}

void visitBelow(QStandardItem *parent, const std::function<void(QStandardItem *)> &visit)
{
    for (int row = 0; row < parent->rowCount(); ++row) {
        if (QStandardItem *child = parent->child(row)) {
            visit(child);
            visitBelow(child, visit);
        }
    }
}

} // namespace

HeadlessPicker::HeadlessPicker(SelectedItemsModel *scl, SelectedObjectsModel *objects,
                               SelectedDatasetsModel *datasets, SelectedReportsModel *reports)
    : scl(scl), objects(objects), datasets(datasets), reports(reports)
{
}

int HeadlessPicker::branchOf(const QStandardItem *node)
{
    const QStandardItem *branch = branchRoot(node);
    if (!branch || branch == node)
        return 0;
    const QString text = branch->text();
    if (text == SclBranch::DataObjects)
        return ObjectsBranch;
    if (text == SclBranch::DataSets)
        return DataSetsBranch;
    if (text == SclBranch::Reports)
        return ReportsBranch;
    return 0;
}

QList<QStandardItem *> HeadlessPicker::everyPickable(int branches) const
{
    QList<QStandardItem *> nodes;
    visitBelow(scl->invisibleRootItem(), [&](QStandardItem *node) {
        const int branch = branchOf(node);
        if (!(branch & branches))
            return;
        const int kind = kindOf(node);
        const bool pickable =
            branch == ObjectsBranch ? kind == DataObjectKind && node->parent() &&
                                          kindOf(node->parent()) == FunctionalConstraintKind
            : branch == DataSetsBranch ? kind == DataSetKind
                                       : kind == UnbufferedReportKind || kind == BufferedReportKind;
        if (pickable)
            nodes.append(node);
    });
    return nodes;
}

bool HeadlessPicker::matchingNodes(const QString &query, int branches,
                                   QList<QStandardItem *> *nodes, QString *problem) const
{
    TreeFilterModel filter;
    filter.setSourceModel(scl);
    filter.setQuery(query);
    if (!filter.isQueryValid()) {
        *problem = filter.queryErrorString();
        return false;
    }
    if (!filter.isActive()) {
        *problem = QStringLiteral("an empty query matches nothing");
        return false;
    }
    for (const QModelIndex &index : filter.matches()) {
        QStandardItem *node = scl->itemFromIndex(index);
        if (node && (branchOf(node) & branches))
            nodes->append(node);
    }
    return true;
}

bool HeadlessPicker::matchingNodesOfEach(const QStringList &queries, int branches,
                                         QVector<QList<QStandardItem *>> *nodes,
                                         QString *failedQuery, QString *problem) const
{
    for (const QString &query : queries) {
        if (QString(query).remove(QLatin1Char(' ')).isEmpty()) {
            *failedQuery = query;
            *problem = QStringLiteral("an empty query matches nothing");
            return false;
        }
    }
    TreeFilterModel filter;
    filter.setSourceModel(scl);
    const QVector<TreeFilterModel::QueryMatches> found = filter.matchesOfEach(queries);
    for (int i = 0; i < found.size(); ++i) {
        if (!found.at(i).error.isEmpty()) {
            *failedQuery = queries.at(i);
            *problem = found.at(i).error;
            return false;
        }
    }
    nodes->clear();
    for (const TreeFilterModel::QueryMatches &matches : found) {
        QList<QStandardItem *> matched;
        for (const QModelIndex &index : matches.matches) {
            QStandardItem *node = scl->itemFromIndex(index);
            if (node && (branchOf(node) & branches))
                matched.append(node);
        }
        nodes->append(matched);
    }
    return true;
}

HeadlessPicker::Target HeadlessPicker::route(QStandardItem *node, SelectedObjectsModel *objects,
                                             SelectedDatasetsModel *datasets,
                                             SelectedReportsModel *reports)
{
    const QStandardItem *branch = branchRoot(node);
    if (!branch)
        return {};
    const QString text = branch->text();
    if (text == SclBranch::DataObjects) {
        const ReferencePath path = referencePath(node);
        if (path.constraint >= 0)
            return {objects, path.path, FunctionalConstraintList().at(path.constraint)};
    } else if (text == SclBranch::DataSets) {
        return {datasets, node->text(), QString()};
    } else if (text == SclBranch::Reports) {
        return {reports, node->text(), QString()};
    }
    return {};
}

// A branch's own node is nothing to pick here, unlike a double-click on it,
// which the selection's rule answers.
HeadlessPicker::Target HeadlessPicker::targetOf(QStandardItem *node) const
{
    return branchOf(node) ? route(node, objects, datasets, reports) : Target{};
}

void HeadlessPicker::fillAddedRow(SelectedItemsModel *model) const
{
    QStandardItem *added = model->item(model->rowCount() - 1);
    if (model == objects)
        objects->fillAddedRow(added);
    else if (model == datasets)
        datasets->fillAddedRow(added);
    else
        reports->fillAddedRow(added);
}

QVector<HeadlessPicker::PickResult> HeadlessPicker::pick(const QList<QStandardItem *> &nodes)
{
    QVector<PickResult> results;
    results.reserve(nodes.size());
    bool reportsPicked = false;
    // The rules' own messages become the reasons.
    MessageCollector collector;
    for (QStandardItem *node : nodes) {
        const Target target = targetOf(node);
        PickResult result;
        if (!target.model) {
            result.reference = node->text();
            result.reason = QStringLiteral("only data objects, data attributes, data sets and "
                                           "reports can be picked");
            results.append(result);
            continue;
        }
        result.reference = target.group.isEmpty()
                               ? target.name
                               : QStringLiteral("%1 [%2]").arg(target.name, target.group);
        const QStringList &taken =
            target.model->registeredNames().value(SelectedItemsModel::groupKey(target.group));
        const int messagesBefore = collector.messages().size();
        if (taken.contains(target.name)) {
            result.outcome = Outcome::AlreadyPicked;
        } else if (target.model->addNode(node, target.name, target.group)) {
            result.outcome = Outcome::Picked;
            fillAddedRow(target.model);
            reportsPicked = reportsPicked || target.model == reports;
        } else if (collector.messages().size() > messagesBefore) {
            result.reason = collector.messages().constLast().text.simplified();
        }
        results.append(result);
    }
    if (reportsPicked)
        reports->onDataSetUpdate(datasets->datasetNames());
    return results;
}
