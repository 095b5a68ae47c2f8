#include "treeviewcontainer.h"
#include "ui_treeviewcontainer.h"

#include "referencepath.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "stationscoperesources.h"

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
    ui->splitter_horizontal->setSizes({50, 500});

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

void TreeviewContainer::onCidTreeDoubleClicked(const QModelIndex &index)
{
    if (!sclModel || !index.isValid())
        return;
    QStandardItem *item = sclModel->itemFromIndex(index);
    if (!item || !item->parent())
        return;
    QStandardItem *branch = item;
    while (branch->parent() && branch->parent()->parent())
        branch = branch->parent();
    const QString branchText = branch->text();
    if (branchText == SclBranch::DataObjects) {
        const ReferencePath path = referencePath(item);
        if (objectsModel && path.constraint >= 0)
            objectsModel->addNode(item, path.path, FunctionalConstraintList().at(path.constraint));
    } else if (branchText == SclBranch::DataSets) {
        if (datasetsModel)
            datasetsModel->addNode(item, item->text(), QString());
    } else if (branchText == SclBranch::Reports) {
        if (reportsModel) {
            reportsModel->addNode(item, item->text(), QString());
            if (datasetsModel)
                reportsModel->onDataSetUpdate(datasetsModel->datasetNames());
        }
    }
}

void TreeviewContainer::onCidTreePressed(const QModelIndex &index)
{
    if (!sclModel || !index.isValid())
        return;
    QModelIndex top = index.sibling(index.row(), 0);
    while (top.parent().isValid())
        top = top.parent();
    QStandardItem *root = sclModel->itemFromIndex(top);
    if (!root)
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
