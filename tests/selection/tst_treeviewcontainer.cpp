// The selection tab as the engineer uses it: the example station parsed into
// the SCL model, picks routed by branch, editors opened from cells.
#include "ciditemstree.h"
#include "eventwait.h"
#include "filterfield.h"
#include "sclmodel.h"
#include "sclparser.h"
#include "scriptedprompt.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemstree.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "tagselector.h"
#include "testpaths.h"
#include "treefiltermodel.h"
#include "treeviewcontainer.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QtTest>

class TreeviewContainerTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void picksRouteByBranch_data();
    void picksRouteByBranch();
    void everyNodeCanBeDoubleClicked();
    void reportsWarnUntilTheirDataSetIsPicked();
    void pressSelectsTheConnectionOnce();
    void paneButtonsHideAndGrey();
    void buttonTextFollowsLuminance_data();
    void buttonTextFollowsLuminance();
    void themeDerivesDisabledColour();
    void focusingABranchOfAnEmptyModelDoesNothing();
    void bitSetCellsOpenTheirDialog_data();
    void bitSetCellsOpenTheirDialog();
    void signalCellTakesTheChosenLabel();
    void selectorCellsOpenNoTextEditor_data();
    void selectorCellsOpenNoTextEditor();
    void valueCellsOpenOnlyWhenAsked_data();
    void valueCellsOpenOnlyWhenAsked();
    void deleteKeyRemovesPickButNotFromReadOnlyTree();
    void contextMenuOffersDelete();
    void filterFieldHidesCountsAndSteps();
    void pickingManySkipsDuplicatesWithOneMessage();

private:
    QStandardItem *node(const QStringList &texts) const;
    void doubleClick(const QStringList &texts);

    SelectedItemsModel *sclModel = nullptr;
    SelectedObjectsModel *objects = nullptr;
    SelectedDatasetsModel *datasets = nullptr;
    SelectedReportsModel *reports = nullptr;
    TreeviewContainer *container = nullptr;
};

void TreeviewContainerTest::init()
{
    sclModel = new SelectedItemsModel;
    objects = new SelectedObjectsModel;
    datasets = new SelectedDatasetsModel;
    reports = new SelectedReportsModel;
    container = new TreeviewContainer;
    container->setSclModel(sclModel);
    container->setSelectionModels(objects, datasets, reports);
    container->cidTree()->setReadOnly(true);

    SclParser parser;
    QVERIFY(!parser.loadIedNames(sourceFile("examples/substation.scd")).isEmpty());
    QVERIFY(parser.parse("BAY1_PROT", sclModel));
}

void TreeviewContainerTest::cleanup()
{
    delete container;
    delete objects;
    delete datasets;
    delete reports;
    delete sclModel;
}

QStandardItem *TreeviewContainerTest::node(const QStringList &texts) const
{
    QStandardItem *current = sclModel->item(0);
    for (const QString &text : texts) {
        QStandardItem *next = nullptr;
        for (int row = 0; current && row < current->rowCount() && !next; ++row) {
            if (current->child(row)->text() == text)
                next = current->child(row);
        }
        current = next;
    }
    return current;
}

void TreeviewContainerTest::doubleClick(const QStringList &texts)
{
    QStandardItem *item = texts.isEmpty() ? sclModel->item(0) : node(texts);
    QVERIFY2(item, qPrintable(texts.join('/')));
    container->onCidTreeDoubleClicked(item->index());
}

void TreeviewContainerTest::picksRouteByBranch_data()
{
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<int>("objectRows");
    QTest::addColumn<int>("datasetRows");
    QTest::addColumn<int>("reportRows");
    QTest::addColumn<QString>("message");

    const QStringList ln{"DataObjects", "BAY1_PROT", "CTRL", "XCBR1"};
    QTest::newRow("project root") << QStringList() << 0 << 0 << 0 << "";
    QTest::newRow("branch root") << QStringList{"DataObjects"} << 0 << 0 << 0 << "";
    QTest::newRow("connection row") << QStringList{"Connection", "Ip Address"} << 0 << 0 << 0 << "";
    QTest::newRow("logical node") << ln << 0 << 0 << 0 << "";
    QTest::newRow("constraint node")
        << (ln + QStringList{"ST"}) << 0 << 0 << 0
        << "You can only select DataObjects(DO) and Data Attributes(DA)";
    QTest::newRow("data object") << (ln + QStringList{"ST", "Pos"}) << 1 << 0 << 0 << "";
    QTest::newRow("leaf attribute")
        << (ln + QStringList{"ST", "Pos", "stVal{ST,Dbpos}"}) << 1 << 0 << 0 << "";
    QTest::newRow("data set") << QStringList{"DataSets", "BAY1_PROT", "CTRL", "LLN0",
                                             "BAY1_PROTCTRL/LLN0.StatusDS"}
                              << 0 << 1 << 0 << "";
    QTest::newRow("data set member") << QStringList{"DataSets",
                                                    "BAY1_PROT",
                                                    "CTRL",
                                                    "LLN0",
                                                    "BAY1_PROTCTRL/LLN0.StatusDS",
                                                    "BAY1_PROTCTRL/XCBR1.Pos"}
                                     << 0 << 0 << 0 << "You can only select DataSets(DS) ";
    QTest::newRow("report") << QStringList{"Reports", "BAY1_PROT", "CTRL", "LLN0",
                                           "BAY1_PROTCTRL/LLN0.BR.brcbStatus"}
                            << 0 << 0 << 1 << "";
    QTest::newRow("report's logical node") << QStringList{"Reports", "BAY1_PROT", "CTRL", "LLN0"}
                                           << 0 << 0 << 0 << "You can only select ReportObject(RO)";
}

void TreeviewContainerTest::picksRouteByBranch()
{
    QFETCH(QStringList, path);
    QFETCH(int, objectRows);
    QFETCH(int, datasetRows);
    QFETCH(int, reportRows);
    QFETCH(QString, message);

    ScriptedPrompt prompt;
    doubleClick(path);
    QCOMPARE(objects->rowCount(), objectRows);
    QCOMPARE(datasets->rowCount(), datasetRows);
    QCOMPARE(reports->rowCount(), reportRows);
    QCOMPARE(prompt.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QCOMPARE(prompt.messages.first().title, QStringLiteral("Invalid Selection"));
        QCOMPARE(prompt.messages.first().text, message);
    }
    if (objectRows) {
        QVERIFY(objects->item(0, 0)->text().startsWith(QLatin1String("BAY1_PROTCTRL/XCBR1.Pos")));
        QCOMPARE(objects->item(0, 1)->text(), QStringLiteral("ST"));
    }
}

void TreeviewContainerTest::everyNodeCanBeDoubleClicked()
{
    ScriptedPrompt prompt;
    QList<QPersistentModelIndex> all;
    QList<QModelIndex> pending{sclModel->index(0, 0)};
    while (!pending.isEmpty()) {
        const QModelIndex index = pending.takeFirst();
        all << index;
        for (int row = 0; row < sclModel->rowCount(index); ++row) {
            for (int column = 0; column < sclModel->columnCount(index); ++column)
                pending << sclModel->index(row, column, index);
        }
    }
    for (const QPersistentModelIndex &index : qAsConst(all))
        container->onCidTreeDoubleClicked(index);
    QVERIFY(objects->rowCount() > 0);
    QVERIFY(datasets->rowCount() > 0);
    QVERIFY(reports->rowCount() > 0);

    // The model refilled under the engineer's hand: stale indexes lead nowhere.
    const int picked = objects->rowCount();
    sclModel->clear();
    for (const QPersistentModelIndex &index : qAsConst(all))
        container->onCidTreeDoubleClicked(index);
    container->onCidTreeDoubleClicked(QModelIndex());
    QCOMPARE(objects->rowCount(), picked);
}

void TreeviewContainerTest::reportsWarnUntilTheirDataSetIsPicked()
{
    const QStringList lln0{"DataSets", "BAY1_PROT", "CTRL", "LLN0"};
    doubleClick({"Reports", "BAY1_PROT", "CTRL", "LLN0", "BAY1_PROTCTRL/LLN0.BR.brcbStatus"});
    QStandardItem *dataSetCell = reports->item(0, 1);
    QCOMPARE(dataSetCell->text(), QStringLiteral("BAY1_PROTCTRL/LLN0.StatusDS"));
    QCOMPARE(dataSetCell->toolTip(), QStringLiteral("This dataset does not exist in model !"));
    QVERIFY(!dataSetCell->icon().isNull());

    doubleClick(lln0 + QStringList{"BAY1_PROTCTRL/LLN0.StatusDS"});
    QVERIFY(dataSetCell->toolTip().isEmpty());
    QVERIFY(dataSetCell->icon().isNull());

    datasets->removeNode(0, QModelIndex());
    QCOMPARE(dataSetCell->toolTip(), QStringLiteral("This dataset does not exist in model !"));
}

void TreeviewContainerTest::pressSelectsTheConnectionOnce()
{
    QSignalSpy selected(container, &TreeviewContainer::connectionSelected);
    auto *title = container->findChild<QLabel *>("label_cidName");
    QCOMPARE(title->text(), QStringLiteral("No CID selected"));

    container->onCidTreePressed(node({"DataObjects", "BAY1_PROT", "CTRL"})->index());
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.first().first().toInt(), 0);
    QCOMPARE(title->text(), QStringLiteral("BAY1_PROT (id:0)"));

    container->onCidTreePressed(node({"Reports"})->index());
    QCOMPARE(selected.count(), 1);

    container->clearAll();
    QCOMPARE(title->text(), QStringLiteral("No CID selected"));
    QCOMPARE(sclModel->rowCount(), 0);
}

void TreeviewContainerTest::paneButtonsHideAndGrey()
{
    container->show();
    auto *button = container->findChild<QAbstractButton *>("pushButton_ds");
    QWidget *pane = container->findChild<QWidget *>("widget_ds");
    button->click();
    QVERIFY(pane->isHidden());
    QVERIFY(button->styleSheet().contains(QColor(Qt::gray).name()));
    button->click();
    QVERIFY(!pane->isHidden());
    const QColor datasetColor = SelectedItemsTree::themeDisabledColor(QColor("#42A5F5"));
    QVERIFY(button->styleSheet().contains(datasetColor.name()));
}

void TreeviewContainerTest::buttonTextFollowsLuminance_data()
{
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QString>("text");
    QTest::newRow("white") << "#ffffff"
                           << "#000000";
    QTest::newRow("slate") << "#454f5d"
                           << "#ffffff";
    QTest::newRow("just dark enough") << "#bababa"
                                      << "#ffffff";
    QTest::newRow("just light enough") << "#bbbbbb"
                                       << "#000000";
}

void TreeviewContainerTest::buttonTextFollowsLuminance()
{
    QFETCH(QString, colour);
    QFETCH(QString, text);
    QCOMPARE(TreeviewContainer::buttonStyleSheet(QColor(colour), "QToolButton"),
             QStringLiteral("QToolButton { background-color: %1; color: %2; border: 1px solid %2; "
                            "border-radius: 3px; padding: 5px; }")
                 .arg(colour, text));
}

void TreeviewContainerTest::themeDerivesDisabledColour()
{
    SelectedItemsTree tree;
    tree.applyTheme(QColor("#AED581"), QColor());
    QCOMPARE(tree.disabledColor(), QColor("#AED581").darker(170));
    // Without a second colour the text takes the disabled colour.
    QVERIFY(tree.styleSheet().contains(
        QStringLiteral("color: %1").arg(QColor("#AED581").darker(170).name(QColor::HexArgb))));
    tree.applyTheme(QColor("#454f5d"), QColor("#FFFFFF"));
    QVERIFY(tree.styleSheet().contains(QStringLiteral("color: #ffffffff")));
}

void TreeviewContainerTest::focusingABranchOfAnEmptyModelDoesNothing()
{
    container->clearAll();
    container->findChild<QAbstractButton *>("toolButton_rpExpand")->click();
    QCOMPARE(sclModel->rowCount(), 0);
}

void TreeviewContainerTest::bitSetCellsOpenTheirDialog_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("after");
    QTest::newRow("trigger unchanged") << 2 << "27" << true << "27";
    QTest::newRow("trigger cancelled") << 2 << "27" << false << "27";
    QTest::newRow("options not a number") << 9 << "abc" << true << "0";
}

void TreeviewContainerTest::bitSetCellsOpenTheirDialog()
{
    QFETCH(int, column);
    QFETCH(QString, before);
    QFETCH(bool, accept);
    QFETCH(QString, after);

    doubleClick({"Reports", "BAY1_PROT", "CTRL", "LLN0", "BAY1_PROTCTRL/LLN0.BR.brcbStatus"});
    QStandardItem *cell = reports->item(0, column);
    cell->setText(before);
    auto *tree = container->findChild<SelectedItemsTree *>("treeView_SelectedReports");
    ScriptedPrompt prompt;
    prompt.dialogHandler = [accept](QDialog *dialog) {
        // The Ok/accept buttons compute the value from the boxes.
        if (!accept)
            return int(QDialog::Rejected);
        for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>()) {
            if (button->text() == QLatin1String("Ok")) {
                button->click();
                break;
            }
        }
        return dialog->result();
    };
    tree->openEditor(cell);
    QCOMPARE(prompt.dialogs.size(), 1);
    QCOMPARE(cell->text(), after);
}

void TreeviewContainerTest::signalCellTakesTheChosenLabel()
{
    QStandardItemModel signalList;
    signalList.setHorizontalHeaderLabels({"Signal Number", "Address", "Label", "Type"});
    signalList.appendRow(
        {new QStandardItem, new QStandardItem, new QStandardItem("NoRef"), new QStandardItem});
    signalList.appendRow({new QStandardItem("1"), new QStandardItem("DB1"),
                          new QStandardItem("Q1_CB_Open::Breaker 1"), new QStandardItem("DO")});
    TagSelector selector;
    selector.setSourceModel(&signalList);
    container->setTagSelector(&selector);

    doubleClick({"DataObjects", "BAY1_PROT", "CTRL", "XCBR1", "ST", "Pos"});
    QStandardItem *readTrigger = objects->item(0, 3);
    QCOMPARE(readTrigger->data(EditorRole).toString(), QStringLiteral("SignalSelect"));

    ScriptedPrompt prompt;
    prompt.dialogHandler = [](QDialog *dialog) {
        auto *list = dialog->findChild<QListView *>("listView_tagList");
        const QModelIndex second = list->model()->index(1, 0);
        QMetaObject::invokeMethod(dialog, "itemDoubleClicked", Q_ARG(QModelIndex, second));
        return dialog->result();
    };
    auto *tree = container->findChild<SelectedItemsTree *>("treeView_SelectedDataObjects");
    tree->onItemDoubleClicked(readTrigger->index());
    QCOMPARE(readTrigger->text(), QStringLiteral("Q1_CB_Open"));
}

void TreeviewContainerTest::selectorCellsOpenNoTextEditor_data()
{
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QStringList>("pick");
    QTest::addColumn<int>("column");
    const QStringList breaker{"DataObjects", "BAY1_PROT", "CTRL", "XCBR1", "ST", "Pos"};
    const QStringList report{"Reports", "BAY1_PROT", "CTRL", "LLN0",
                             "BAY1_PROTCTRL/LLN0.BR.brcbStatus"};
    QTest::newRow("signal") << "treeView_SelectedDataObjects" << breaker << 3;
    QTest::newRow("trigger options") << "treeView_SelectedReports" << report << 2;
    QTest::newRow("optional fields") << "treeView_SelectedReports" << report << 9;
}

void TreeviewContainerTest::selectorCellsOpenNoTextEditor()
{
    QFETCH(QString, tree);
    QFETCH(QStringList, pick);
    QFETCH(int, column);

    QStandardItemModel signalList;
    signalList.appendRow(
        {new QStandardItem, new QStandardItem, new QStandardItem("NoRef"), new QStandardItem});
    TagSelector selector;
    selector.setSourceModel(&signalList);
    container->setTagSelector(&selector);
    doubleClick(pick);
    auto *view = container->findChild<SelectedItemsTree *>(tree);
    auto *model = qobject_cast<QStandardItemModel *>(view->model());
    const QModelIndex cell = model->index(0, column);
    const QString before = cell.data().toString();
    container->resize(1600, 900);
    container->show();
    QVERIFY(QTest::qWaitForWindowExposed(container, EventTimeoutMs));

    ScriptedPrompt prompt;
    prompt.dialogHandler = [](QDialog *) {
        return int(QDialog::Rejected);
    };
    view->setCurrentIndex(cell);
    view->scrollTo(cell);
    const QPoint centre = view->visualRect(cell).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, centre);
    QCOMPARE(prompt.dialogs.size(), 1);
    QTest::keyClicks(view, "cb_pos");
    QCOMPARE(view->findChildren<QLineEdit *>().size(), 0);
    QCOMPARE(model->index(0, column).data().toString(), before);
}

void TreeviewContainerTest::valueCellsOpenOnlyWhenAsked_data()
{
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QStringList>("pick");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<bool>("editorOpen");
    QTest::addColumn<bool>("toggled");
    const QStringList breaker{"DataObjects", "BAY1_PROT", "CTRL", "XCBR1", "ST", "Pos"};
    const QStringList report{"Reports", "BAY1_PROT", "CTRL", "LLN0",
                             "BAY1_PROTCTRL/LLN0.BR.brcbStatus"};
    const QString objectsTree = "treeView_SelectedDataObjects";
    const QString reportsTree = "treeView_SelectedReports";
    QTest::newRow("mms type, row selected")
        << objectsTree << breaker << 2 << "select" << false << false;
    QTest::newRow("mms type, double-click")
        << objectsTree << breaker << 2 << "double-click" << true << false;
    QTest::newRow("mms type, F2") << objectsTree << breaker << 2 << "F2" << true << false;
    QTest::newRow("mms type, clicked") << objectsTree << breaker << 2 << "click" << false << false;
    QTest::newRow("check box, clicked") << reportsTree << report << 3 << "click" << false << true;
    QTest::newRow("check box, space") << reportsTree << report << 3 << "space" << false << true;
}

void TreeviewContainerTest::valueCellsOpenOnlyWhenAsked()
{
    QFETCH(QString, tree);
    QFETCH(QStringList, pick);
    QFETCH(int, column);
    QFETCH(QString, gesture);
    QFETCH(bool, editorOpen);
    QFETCH(bool, toggled);

    doubleClick(pick);
    auto *view = container->findChild<SelectedItemsTree *>(tree);
    const QModelIndex cell = view->model()->index(0, column);
    QVERIFY(cell.flags() & Qt::ItemIsEditable);
    const bool before = cell.data(Qt::EditRole).toBool();
    container->resize(1600, 900);
    container->show();
    QVERIFY(QTest::qWaitForWindowExposed(container, EventTimeoutMs));
    view->scrollTo(cell);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(cell.siblingAtColumn(0)).center());
    QVERIFY(view->selectionModel()->isRowSelected(0, QModelIndex()));
    const QPoint centre = view->visualRect(cell).center();
    if (gesture == "click")
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
    else if (gesture == "double-click") {
        // As a mouse sends it: a click, then the second press as a double-click.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, centre);
    }
    view->setCurrentIndex(cell);
    if (gesture == "F2")
        QTest::keyClick(view, Qt::Key_F2);
    else if (gesture == "space")
        QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(view->indexWidget(cell) != nullptr, editorOpen);
    QCOMPARE(view->model()->index(0, column).data(Qt::EditRole).toBool(), before != toggled);
}

void TreeviewContainerTest::deleteKeyRemovesPickButNotFromReadOnlyTree()
{
    ScriptedPrompt prompt;
    doubleClick({"DataSets", "BAY1_PROT", "CTRL", "LLN0", "BAY1_PROTCTRL/LLN0.StatusDS"});
    auto *tree = container->findChild<SelectedItemsTree *>("treeView_SelectedDatasets");
    tree->setCurrentIndex(datasets->index(0, 0));
    tree->selectionModel()->select(datasets->index(0, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(datasets->rowCount(), 0);

    // Picked again after deletion: no duplicate message.
    doubleClick({"DataSets", "BAY1_PROT", "CTRL", "LLN0", "BAY1_PROTCTRL/LLN0.StatusDS"});
    QCOMPARE(datasets->rowCount(), 1);
    QVERIFY(prompt.messages.isEmpty());

    CidItemsTree *cid = container->cidTree();
    cid->selectionModel()->select(sclModel->index(0, 0), QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(cid, Qt::Key_Delete);
    QCOMPARE(sclModel->rowCount(), 1);
    QVERIFY(prompt.messages.isEmpty());
}

void TreeviewContainerTest::contextMenuOffersDelete()
{
    ScriptedPrompt prompt;
    doubleClick({"Reports", "BAY1_PROT", "CTRL", "LLN0", "BAY1_PROTCTRL/LLN0.RP.urcbMeas"});
    auto *tree = container->findChild<SelectedItemsTree *>("treeView_SelectedReports");
    container->show();
    tree->selectionModel()->select(reports->index(0, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    prompt.menuAnswers << QStringLiteral("Delete");
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            tree->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(tree->viewport(), &event);
    QCOMPARE(prompt.menus, QList<QStringList>({{"Delete"}}));
    QCOMPARE(reports->rowCount(), 0);

    // The read-only CID tree shows no menu at all.
    CidItemsTree *cid = container->cidTree();
    cid->selectionModel()->select(sclModel->index(0, 0), QItemSelectionModel::ClearAndSelect);
    QApplication::sendEvent(cid->viewport(), &event);
    QCOMPARE(prompt.menus.size(), 1);
}

void TreeviewContainerTest::filterFieldHidesCountsAndSteps()
{
    FilterField *filter = container->cidFilter();
    CidItemsTree *cid = container->cidTree();
    filter->setText("ln:XCBR Pos");
    filter->applyNow();
    const QModelIndexList found = filter->filterModel()->matches();
    QVERIFY(found.size() > 1);
    QCOMPARE(filter->countText(), QStringLiteral("%1 matches").arg(found.size()));
    const QModelIndex breaker = node({"DataObjects", "BAY1_PROT", "CTRL", "XCBR1"})->index();
    const QModelIndex command = node({"DataObjects", "BAY1_PROT", "CTRL", "Q0CSWI1"})->index();
    QVERIFY(cid->isExpanded(breaker) && !cid->isRowHidden(breaker.row(), breaker.parent()));
    QVERIFY(cid->isRowHidden(command.row(), command.parent()));

    QTest::keyClick(filter->lineEdit(), Qt::Key_Return);
    QCOMPARE(cid->currentIndex(), found.first());
    QTest::keyClick(cid, Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(cid->currentIndex(), found.last());
    QTest::keyClick(filter->lineEdit(), Qt::Key_F3);
    QCOMPARE(cid->currentIndex(), found.first());
    QCOMPARE(filter->countText(), QStringLiteral("1 of %1").arg(found.size()));

    QTest::keyClick(filter->lineEdit(), Qt::Key_Escape);
    QVERIFY(filter->lineEdit()->text().isEmpty());
    QVERIFY(!cid->isRowHidden(command.row(), command.parent()));
}

void TreeviewContainerTest::pickingManySkipsDuplicatesWithOneMessage()
{
    ScriptedPrompt prompt;
    doubleClick({"DataSets", "BAY1_PROT", "CTRL", "LLN0", "BAY1_PROTCTRL/LLN0.StatusDS"});
    FilterField *filter = container->cidFilter();
    filter->setText("ln:XCBR Pos");
    filter->selectAllMatches();
    CidItemsTree *cid = container->cidTree();
    const int positions = filter->filterModel()->matches().size();
    QVERIFY(positions > 2);
    const QModelIndexList dataSets{
        node({"DataSets", "BAY1_PROT", "CTRL", "LLN0", "BAY1_PROTCTRL/LLN0.StatusDS"})->index(),
        node({"DataSets", "BAY1_PROT", "CTRL", "LLN0"})->index()};
    for (const QModelIndex &index : dataSets)
        cid->selectionModel()->select(index, QItemSelectionModel::Select);
    QCOMPARE(cid->selectedNodes().size(), positions + 2);

    QTest::keyClick(cid, Qt::Key_Return);
    QCOMPARE(objects->rowCount(), positions);
    QCOMPARE(datasets->rowCount(), 1);
    QCOMPARE(prompt.messages.size(), 1);
    QCOMPARE(prompt.messages.first().text,
             QStringLiteral("%1 of %2 selected nodes picked.\n1 already picked: skipped.\n1 "
                            "cannot be picked: only data objects, data attributes, data sets "
                            "and reports can.")
                 .arg(positions)
                 .arg(positions + 2));

    // Once more: everything is a duplicate, still one message.
    QCOMPARE(container->pickNodes(cid->selectedNodes()), 0);
    QCOMPARE(objects->rowCount(), positions);
    QCOMPARE(prompt.messages.size(), 2);
}

QTEST_MAIN(TreeviewContainerTest)
#include "tst_treeviewcontainer.moc"
