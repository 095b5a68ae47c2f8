#ifndef STATIONSCOPE_TREEVIEWCONTAINER_H
#define STATIONSCOPE_TREEVIEWCONTAINER_H

#include "headlesspicker.h"

#include <QModelIndexList>
#include <QWidget>

#include <memory>

class CidItemsTree;
class FilterField;
class QAbstractButton;
class QColor;
class QStandardItem;
class SelectedDatasetsModel;
class SelectedItemsModel;
class SelectedItemsTree;
class SelectedObjectsModel;
class SelectedReportsModel;
class TagSelector;

namespace Ui {
class TreeviewContainer;
}

// The selection tab: the parsed SCL model on the left, the three selections on
// the right. Turns double-clicks in the SCL model into picks.
class TreeviewContainer : public QWidget
{
    Q_OBJECT

public:
    explicit TreeviewContainer(QWidget *parent = nullptr);
    ~TreeviewContainer() override;

    void setSclModel(SelectedItemsModel *model);
    void setSelectionModels(SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                            SelectedReportsModel *reports);
    void setTagSelector(TagSelector *selector);
    CidItemsTree *cidTree() const;
    FilterField *cidFilter() const;
    // The label above the CID tree, naming what it shows.
    void setCidTitle(const QString &title);
    void clearAll();

    // Picks each node as a double-click would; nodes already picked are
    // skipped, and what was skipped or refused is told in one message at the
    // end. Gives the number of rows added.
    int pickNodes(const QModelIndexList &nodes);

    // Style sheet of a pane button in the given colour; the text is white on
    // dark colours and black on light ones.
    static QString buttonStyleSheet(const QColor &color, const QString &className);

signals:
    void connectionSelected(int id);
    void connectionRemoved(int id);

public slots:
    void onCidTreeDoubleClicked(const QModelIndex &index);
    void onCidTreePressed(const QModelIndex &index);
    void onConnectionRemoved(int conId);
    void pickSelected();
    // Focuses the filter of the pane that holds the focus, or the CID tree's.
    void focusFilter();

private slots:
    void on_toolButton_expandDO_clicked(bool checked);
    void on_toolButton_expandDS_clicked(bool checked);
    void on_pushButton_ds_clicked(bool checked);
    void on_pushButton_do_clicked(bool checked);
    void on_pushButton_reps_clicked(bool checked);
    void on_toolButton_conExpand_clicked();
    void on_toolButton_rpExpand_clicked();
    void on_toolButton_dsExpand_clicked();
    void on_toolButton_doExpand_clicked();

private:
    HeadlessPicker::Target pickTarget(QStandardItem *item) const;
    void togglePane(QWidget *pane, QAbstractButton *button, const SelectedItemsTree *tree,
                    bool hidden);
    void expandTree(SelectedItemsTree *tree, QAbstractButton *button, bool expand);
    void focusBranch(int branchRow);

    std::unique_ptr<Ui::TreeviewContainer> ui;
    TagSelector *tagSelector = nullptr;
    SelectedObjectsModel *objectsModel = nullptr;
    SelectedDatasetsModel *datasetsModel = nullptr;
    SelectedReportsModel *reportsModel = nullptr;
    SelectedItemsModel *sclModel = nullptr;
    int currentConnectionId = -1;
};

#endif
