#ifndef STATIONSCOPE_HEADLESSPICKER_H
#define STATIONSCOPE_HEADLESSPICKER_H

// Picks nodes of the SCL model into the three selections without a window,
// by the rules a double-click follows (selection rule, duplicate check,
// refusal), and tells what became of every node instead of showing boxes.

#include <QList>
#include <QString>
#include <QVector>

class QStandardItem;
class SelectedDatasetsModel;
class SelectedItemsModel;
class SelectedObjectsModel;
class SelectedReportsModel;

class HeadlessPicker
{
public:
    enum Branch { ObjectsBranch = 1, DataSetsBranch = 2, ReportsBranch = 4, AllBranches = 7 };

    enum class Outcome { Picked, AlreadyPicked, Refused };
    struct PickResult
    {
        QString reference; // as the selection shows it, else the node's own text
        Outcome outcome = Outcome::Refused;
        QString reason; // the rule's own words for a refusal
    };

    // Where a node of the SCL model goes when it is picked: the selection by
    // its branch, the name and group it is added under. Shared with the
    // window's double-click, so both route alike.
    struct Target
    {
        SelectedItemsModel *model = nullptr;
        QString name;
        QString group;
    };
    static Target route(QStandardItem *node, SelectedObjectsModel *objects,
                        SelectedDatasetsModel *datasets, SelectedReportsModel *reports);

    HeadlessPicker(SelectedItemsModel *scl, SelectedObjectsModel *objects,
                   SelectedDatasetsModel *datasets, SelectedReportsModel *reports);

    // Every data object under every functional constraint, every data set and
    // every report of the given branches, in tree order.
    QList<QStandardItem *> everyPickable(int branches) const;
    // The nodes of the given branches that the window's find field matches
    // with query, in tree order. False, with the reason, for a query the
    // field would not apply.
    bool matchingNodes(const QString &query, int branches, QList<QStandardItem *> *nodes,
                       QString *problem) const;
    // As matchingNodes for each query, from one walk of the tree (a walk per
    // query made thousands of queries on a large IED take minutes). False,
    // with the query and its reason, for the first query the field would not
    // apply.
    bool matchingNodesOfEach(const QStringList &queries, int branches,
                             QVector<QList<QStandardItem *>> *nodes, QString *failedQuery,
                             QString *problem) const;

    // Picks each node as a double-click would; a node already picked (also
    // earlier in nodes) is skipped.
    QVector<PickResult> pick(const QList<QStandardItem *> &nodes);

private:
    Target targetOf(QStandardItem *node) const;
    static int branchOf(const QStandardItem *node);
    void fillAddedRow(SelectedItemsModel *model) const;

    SelectedItemsModel *scl;
    SelectedObjectsModel *objects;
    SelectedDatasetsModel *datasets;
    SelectedReportsModel *reports;
};

#endif
