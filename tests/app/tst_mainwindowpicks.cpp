// The main window as an engineer sees it after parsing the example station,
// picking a few items and binding signals; the picture is kept for review.
#include "ciditemstree.h"
#include "eventwait.h"
#include "filterfield.h"
#include "mainwindow.h"
#include "sclparser.h"
#include "scriptedprompt.h"
#include "selecteditemsmodel.h"
#include "tagselectbox.h"
#include "temporarysettings.h"
#include "testpaths.h"
#include "treefiltermodel.h"
#include "treeviewcontainer.h"

#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

class MainWindowPicksTest : public QObject
{
    Q_OBJECT

private slots:
    void picksShowInTheirTrees();
    void selectAllThenEnterPicksEveryMatch();

private:
    static QStandardItem *child(QStandardItem *parent, const QString &text);
    TemporarySettings settings;
};

QStandardItem *MainWindowPicksTest::child(QStandardItem *parent, const QString &text)
{
    for (int row = 0; parent && row < parent->rowCount(); ++row) {
        if (parent->child(row)->text() == text)
            return parent->child(row);
    }
    return nullptr;
}

void MainWindowPicksTest::picksShowInTheirTrees()
{
    MainWindow window;
    auto *container = window.findChild<TreeviewContainer *>("widget_treeContainer");
    auto *cid = container->findChild<QTreeView *>("treeView_CID");
    auto *sclModel = qobject_cast<SelectedItemsModel *>(cid->model());
    QVERIFY(sclModel);

    SclParser parser;
    parser.loadIedNames(sourceFile("examples/substation.scd"));
    QVERIFY(parser.parse("BAY1_PROT", sclModel));

    auto *signalView = window.findChild<QTreeView *>("treeView_signals");
    auto *signalModel = qobject_cast<QStandardItemModel *>(signalView->model());
    signalModel->setHorizontalHeaderLabels({"Signal Number", "Address", "Label", "Type"});
    QFile signalFile(sourceFile("examples/signals.csv"));
    QVERIFY(signalFile.open(QIODevice::ReadOnly | QIODevice::Text));
    signalFile.readLine();
    int number = 0;
    while (!signalFile.atEnd()) {
        const QStringList fields = QString::fromUtf8(signalFile.readLine()).trimmed().split(';');
        signalModel->appendRow(
            {new QStandardItem(QString::number(++number)), new QStandardItem(fields.value(3)),
             new QStandardItem(fields.value(0)), new QStandardItem(fields.value(2))});
    }
    window.findChild<TagSelectBox *>("widget_tagSelect")->setSignalModel(signalModel);

    QStandardItem *ied = sclModel->item(0);
    QStandardItem *ctrl = child(child(ied->child(1), "BAY1_PROT"), "CTRL");
    QStandardItem *breaker = child(child(child(ctrl, "XCBR1"), "ST"), "Pos");
    QStandardItem *command = child(child(child(ctrl, "Q0CSWI1"), "CO"), "Pos");
    QStandardItem *dataSet = child(child(child(child(ied->child(2), "BAY1_PROT"), "CTRL"), "LLN0"),
                                   "BAY1_PROTCTRL/LLN0.StatusDS");
    QStandardItem *report = child(child(child(child(ied->child(3), "BAY1_PROT"), "CTRL"), "LLN0"),
                                  "BAY1_PROTCTRL/LLN0.RP.urcbMeas");
    QVERIFY(breaker && command && dataSet && report);
    for (QStandardItem *item : {breaker, command, dataSet, report})
        container->onCidTreeDoubleClicked(item->index());

    auto *objects = qobject_cast<QStandardItemModel *>(
        container->findChild<QTreeView *>("treeView_SelectedDataObjects")->model());
    QCOMPARE(objects->rowCount(), 2);
    objects->item(0, 5)->setText("BAY1_CB_POS");
    objects->item(1, 4)->setText("BAY1_CB_OPEN_CMD");
    objects->item(1, 7)->setText("BAY1_CB_CLOSE_CMD");

    window.resize(1443, 985);
    window.show();
    cid->expandToDepth(4);
    const QString picture = QDir::current().filePath("mainwindow-picks.png");
    QVERIFY(window.grab().save(picture));
    qInfo("main window with picks: %s\n", qPrintable(picture));

    window.findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
    QVERIFY(window.grab().save(QDir::current().filePath("mainwindow-signals.png")));
}

// As the README tells it: "ln:CSWI Pos", Select all, Enter.
void MainWindowPicksTest::selectAllThenEnterPicksEveryMatch()
{
    ScriptedPrompt prompt;
    MainWindow window;
    auto *container = window.findChild<TreeviewContainer *>("widget_treeContainer");
    SclParser parser;
    parser.loadIedNames(sourceFile("examples/substation.scd"));
    QVERIFY(parser.parse("BAY1_PROT",
                         qobject_cast<SelectedItemsModel *>(container->cidTree()->model())));
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window, EventTimeoutMs));

    FilterField *filter = container->cidFilter();
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(filter->lineEdit()->hasFocus(), EventTimeoutMs);
    QTest::keyClicks(QApplication::focusWidget(), "ln:CSWI Pos");
    QTest::mouseClick(filter->findChild<QToolButton *>("toolButton_selectMatches"), Qt::LeftButton);
    const int positions = filter->filterModel()->matches().size();
    QVERIFY(positions > 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

    auto *objects = qobject_cast<QStandardItemModel *>(
        container->findChild<QTreeView *>("treeView_SelectedDataObjects")->model());
    QCOMPARE(objects->rowCount(), positions);
    QVERIFY(objects->item(0)->text().contains("CSWI"));
}

QTEST_MAIN(MainWindowPicksTest)
#include "tst_mainwindowpicks.moc"
