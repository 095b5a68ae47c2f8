#include "treeviewcontainer.h"
#include "ui_treeviewcontainer.h"

#include "filterfield.h"
#include "referencepath.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "stationscoperesources.h"
#include "userprompt.h"

#include <QApplication>
#include <QShortcut>
#include <QStandardItem>

TreeviewContainer::TreeviewContainer(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::TreeviewContainer>())
{
    initStationscopeResources();
    ui->setupUi(this);
    connect(ui->treeView_CID, &QTreeView::doubleClicked, this,
            &TreeviewContainer::onCidTreeDoubleClicked);
    connect(ui->treeView_CID, &QTreeView::pressed, this, &TreeviewContainer::onCidTreePressed);
    connect(ui->treeView_CID, &CidItemsTree::connectionRemoved, this,
            &TreeviewContainer::onConnectionRemoved);
    connect(ui->treeView_CID, &CidItemsTree::pickRequested, this, &TreeviewContainer::pickSelected);
    ui->treeView_CID->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui->splitter_horizontal->setSizes({50, 500});
    // A pane is hidden with its button; dragged, it keeps its rows.
    ui->splitter_horizontal->setChildrenCollapsible(false);
    ui->splitter_vertical->setChildrenCollapsible(false);

    ui->filterField_CID->setView(ui->treeView_CID);
    ui->filterField_CID->setSelectAllVisible(true);
    ui->filterField_DO->setView(ui->treeView_SelectedDataObjects);
    ui->filterField_DS->setView(ui->treeView_SelectedDatasets);
    ui->filterField_reps->setView(ui->treeView_SelectedReports);
    for (FilterField *field : {ui->filterField_DO, ui->filterField_DS, ui->filterField_reps})
        field->setMatchAllColumns(true);
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, &TreeviewContainer::focusFilter);

    ui->treeView_CID->applyTheme(QColor("#454f5d"), QColor("#FFFFFF"));
    ui->treeView_SelectedDataObjects->applyTheme(QColor("#AED581"), QColor());
    ui->treeView_SelectedDatasets->applyTheme(QColor("#42A5F5"), QColor());
    ui->treeView_SelectedReports->applyTheme(QColor("#EF5350"), QColor());
}

TreeviewContainer::~TreeviewContainer() = default;

void TreeviewContainer::setSclModel(SelectedItemsModel *model)
{
    sclModel = model;
    ui->treeView_CID->setModel(model);
}

void TreeviewContainer::setSelectionModels(SelectedObjectsModel *objects,
                                           SelectedDatasetsModel *datasets,
                                           SelectedReportsModel *reports)
{
    objectsModel = objects;
    datasetsModel = datasets;
    reportsModel = reports;
    ui->treeView_SelectedDataObjects->setModel(objects);
    ui->treeView_SelectedDatasets->setModel(datasets);
    ui->treeView_SelectedReports->setModel(reports);
    connect(datasets, &SelectedDatasetsModel::datasetUpdate, reports,
            &SelectedReportsModel::onDataSetUpdate);

    const QColor objectsColor = ui->treeView_SelectedDataObjects->disabledColor();
    const QColor datasetsColor = ui->treeView_SelectedDatasets->disabledColor();
    const QColor reportsColor = ui->treeView_SelectedReports->disabledColor();
    ui->pushButton_do->setStyleSheet(buttonStyleSheet(objectsColor, "QPushButton"));
    ui->pushButton_ds->setStyleSheet(buttonStyleSheet(datasetsColor, "QPushButton"));
    ui->pushButton_reps->setStyleSheet(buttonStyleSheet(reportsColor, "QPushButton"));
    ui->toolButton_doExpand->setStyleSheet(buttonStyleSheet(objectsColor, "QToolButton"));
    ui->toolButton_dsExpand->setStyleSheet(buttonStyleSheet(datasetsColor, "QToolButton"));
    ui->toolButton_rpExpand->setStyleSheet(buttonStyleSheet(reportsColor, "QToolButton"));
}

void TreeviewContainer::setTagSelector(TagSelector *selector)
{
    tagSelector = selector;
    for (SelectedItemsTree *tree :
         {static_cast<SelectedItemsTree *>(ui->treeView_CID),
          static_cast<SelectedItemsTree *>(ui->treeView_SelectedDataObjects),
          static_cast<SelectedItemsTree *>(ui->treeView_SelectedDatasets),
          static_cast<SelectedItemsTree *>(ui->treeView_SelectedReports)})
        tree->setTagSelector(selector);
}

CidItemsTree *TreeviewContainer::cidTree() const
{
    return ui->treeView_CID;
}

FilterField *TreeviewContainer::cidFilter() const
{
    return ui->filterField_CID;
}

void TreeviewContainer::setCidTitle(const QString &title)
{
    ui->label_cidName->setText(title);
}

void TreeviewContainer::focusFilter()
{
    const QWidget *focus = QApplication::focusWidget();
    for (FilterField *field : {ui->filterField_DO, ui->filterField_DS, ui->filterField_reps}) {
        const QWidget *pane = field->parentWidget();
        if (focus && pane && pane->isAncestorOf(focus)) {
            field->focusField();
            return;
        }
    }
    ui->filterField_CID->focusField();
}

void TreeviewContainer::clearAll()
{
    for (SelectedItemsModel *model : {static_cast<SelectedItemsModel *>(objectsModel),
                                      static_cast<SelectedItemsModel *>(datasetsModel),
                                      static_cast<SelectedItemsModel *>(reportsModel)}) {
        if (model)
            model->clearSelection();
    }
    if (sclModel)
        sclModel->clear();
    // The next project starts unfiltered.
    for (FilterField *field :
         {ui->filterField_CID, ui->filterField_DO, ui->filterField_DS, ui->filterField_reps})
        field->clear();
    ui->label_cidName->setText(tr("No CID selected"));
    currentConnectionId = -1;
}

QString TreeviewContainer::buttonStyleSheet(const QColor &color, const QString &className)
{
    const double luminance = 0.299 * color.red() + 0.587 * color.green() + 0.114 * color.blue();
    const QColor text = luminance <= 186.0 ? QColor(Qt::white) : QColor(Qt::black);
    return QStringLiteral("%4 { %1; %2; border: 1px solid %3; border-radius: 3px; padding: 5px; }")
        .arg(QStringLiteral("background-color: %1").arg(color.name()),
             QStringLiteral("color: %1").arg(text.name()), text.name(), className);
}

HeadlessPicker::Target TreeviewContainer::pickTarget(QStandardItem *item) const
{
    return HeadlessPicker::route(item, objectsModel, datasetsModel, reportsModel);
}

void TreeviewContainer::onCidTreeDoubleClicked(const QModelIndex &index)
{
    if (!sclModel || !index.isValid())
        return;
    QStandardItem *item = sclModel->itemFromIndex(index);
    const HeadlessPicker::Target target = pickTarget(item);
    if (!target.model)
        return;
    target.model->addNode(item, target.name, target.group);
    if (target.model == reportsModel && datasetsModel)
        reportsModel->onDataSetUpdate(datasetsModel->datasetNames());
}

void TreeviewContainer::pickSelected()
{
    pickNodes(ui->treeView_CID->selectedNodes());
}

int TreeviewContainer::pickNodes(const QModelIndexList &nodes)
{
    if (!sclModel || nodes.isEmpty())
        return 0;
    if (nodes.size() == 1) {
        auto rows = [this] {
            int total = 0;
            for (const SelectedItemsModel *model :
                 {static_cast<SelectedItemsModel *>(objectsModel),
                  static_cast<SelectedItemsModel *>(datasetsModel),
                  static_cast<SelectedItemsModel *>(reportsModel)})
                total += model ? model->rowCount() : 0;
            return total;
        };
        const int before = rows();
        onCidTreeDoubleClicked(nodes.first());
        return rows() - before;
    }
    int picked = 0;
    int duplicates = 0;
    int refused = 0;
    bool reportsPicked = false;
    {
        // The rules' own messages would come once per node.
        MessageCollector collector;
        for (const QModelIndex &index : nodes) {
            QStandardItem *item = sclModel->itemFromIndex(index.siblingAtColumn(0));
            const HeadlessPicker::Target target = pickTarget(item);
            if (!target.model) {
                ++refused;
                continue;
            }
            const QStringList &taken =
                target.model->registeredNames().value(SelectedItemsModel::groupKey(target.group));
            if (taken.contains(target.name)) {
                ++duplicates;
                continue;
            }
            if (target.model->addNode(item, target.name, target.group)) {
                ++picked;
                reportsPicked = reportsPicked || target.model == reportsModel;
            } else {
                ++refused;
            }
        }
    }
    if (reportsPicked && datasetsModel)
        reportsModel->onDataSetUpdate(datasetsModel->datasetNames());
    if (duplicates > 0 || refused > 0) {
        QString text = tr("%1 of %2 selected nodes picked.").arg(picked).arg(nodes.size());
        if (duplicates > 0)
            text += QLatin1Char('\n') + tr("%1 already picked: skipped.").arg(duplicates);
        if (refused > 0)
            text += QLatin1Char('\n') + tr("%1 cannot be picked: only data objects, data "
                                           "attributes, data sets and reports can.")
                                            .arg(refused);
        UserPrompt::information(this, tr("Stationscope"), text);
    }
    return picked;
}

void TreeviewContainer::onCidTreePressed(const QModelIndex &index)
{
    if (!sclModel || !index.isValid())
        return;
    QModelIndex top = index.sibling(index.row(), 0);
    while (top.parent().isValid())
        top = top.parent();
    QStandardItem *root = sclModel->itemFromIndex(top);
    // A browsed tree has logical devices on top: it has no connection to name,
    // and its own title stays.
    if (!root || root->data(KindRole).toInt() != IedKind)
        return;
    const int id = root->data(ConnectionIdRole).toInt();
    if (id == currentConnectionId)
        return;
    currentConnectionId = id;
    ui->label_cidName->setText(QStringLiteral("%1 (id:%2)").arg(root->text()).arg(id));
    emit connectionSelected(id);
}

void TreeviewContainer::onConnectionRemoved(int conId)
{
    emit connectionRemoved(conId);
}

void TreeviewContainer::togglePane(QWidget *pane, QAbstractButton *button,
                                   const SelectedItemsTree *tree, bool hidden)
{
    pane->setVisible(!hidden);
    const QColor color = hidden ? QColor(Qt::gray) : tree->disabledColor();
    button->setStyleSheet(buttonStyleSheet(color, QStringLiteral("QPushButton")));
}

void TreeviewContainer::on_pushButton_do_clicked(bool checked)
{
    togglePane(ui->widget_do, ui->pushButton_do, ui->treeView_SelectedDataObjects, checked);
}

void TreeviewContainer::on_pushButton_ds_clicked(bool checked)
{
    togglePane(ui->widget_ds, ui->pushButton_ds, ui->treeView_SelectedDatasets, checked);
}

void TreeviewContainer::on_pushButton_reps_clicked(bool checked)
{
    togglePane(ui->widget_reps, ui->pushButton_reps, ui->treeView_SelectedReports, checked);
}

void TreeviewContainer::expandTree(SelectedItemsTree *tree, QAbstractButton *button, bool expand)
{
    button->setIcon(QIcon(expand ? QStringLiteral(":/images/minus-16.png")
                                 : QStringLiteral(":/images/plus-16.png")));
    if (expand)
        tree->expandAll();
    else
        tree->collapseAll();
    tree->adjustFirstColumnSize();
}

void TreeviewContainer::on_toolButton_expandDO_clicked(bool checked)
{
    expandTree(ui->treeView_SelectedDataObjects, ui->toolButton_expandDO, checked);
}

void TreeviewContainer::on_toolButton_expandDS_clicked(bool checked)
{
    expandTree(ui->treeView_SelectedDatasets, ui->toolButton_expandDS, checked);
}

void TreeviewContainer::focusBranch(int branchRow)
{
    if (!sclModel || sclModel->rowCount() == 0)
        return;
    CidItemsTree *tree = ui->treeView_CID;
    const QModelIndex root = sclModel->index(0, 0);
    tree->expand(root);
    for (int row = 0; row < sclModel->rowCount(root); ++row) {
        if (row != branchRow)
            tree->collapse(sclModel->index(row, 0, root));
    }
    const QModelIndex branch = sclModel->index(branchRow, 0, root);
    if (!branch.isValid())
        return;
    tree->expand(branch);
    // The IED node, the logical devices and the logical nodes.
    tree->expandRecursively(branch, 3);
}

void TreeviewContainer::on_toolButton_conExpand_clicked()
{
    focusBranch(SclBranch::ConnectionRow);
}

void TreeviewContainer::on_toolButton_doExpand_clicked()
{
    focusBranch(SclBranch::DataObjectsRow);
}

void TreeviewContainer::on_toolButton_dsExpand_clicked()
{
    focusBranch(SclBranch::DataSetsRow);
}

void TreeviewContainer::on_toolButton_rpExpand_clicked()
{
    focusBranch(SclBranch::ReportsRow);
}
