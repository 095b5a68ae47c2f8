#include "elidedlabel.h"
#include "eventwait.h"
#include "filterfield.h"
#include "livereportcontroller.h"
#include "livereportpanel.h"
#include "mainwindow.h"
#include "onlinecontroller.h"
#include "sclgenerator.h"
#include "sclmodel.h"
#include "sclparser.h"
#include "scriptedprompt.h"
#include "selecteditemsmodel.h"
#include "temporarysettings.h"
#include "treeviewcontainer.h"
#include "visiblerows.h"

#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolTip>
#include <QTreeView>
#include <QtTest>

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsWithBaseTitleAndNothingOpen();
    void opensWithinItsScreen_data();
    void opensWithinItsScreen();
    void actionsAvailableAtStart_data();
    void actionsAvailableAtStart();
    void formWidgets_data();
    void formWidgets();
    void fileMenuOrder();
    void toolBarOrder();
    void actionsCarryIconsAndShortcut();
    void settingsIdentity();
    void titleNamesTheOpenFile_data();
    void titleNamesTheOpenFile();
    void togglePanelShowsAndHides();
    void groupBoxesAreExclusive();
    void saveShortcutOnlyWhenEnabled();
    void aboutNamesVersionAndBuild();
    void clearEmptiesInfoScreen();
    void signalListFilterHidesOtherSignals();
    void laptopScreenKeepsRowsAndWidth_data();
    void laptopScreenKeepsRowsAndWidth();

private:
    template <typename T> T *child(const QString &name)
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no child %s", qPrintable(name));
        return found;
    }
    static QStringList actionTexts(const QList<QAction *> &actions);

    // The title as the window shows it, with Qt's modified marker resolved.
    QString shownTitle() const
    {
        return window->windowTitle().replace(QLatin1String("[*]"),
                                             window->isWindowModified() ? "*" : "");
    }

    TemporarySettings settings;
    MainWindow *window = nullptr;
};

void MainWindowTest::init()
{
    window = new MainWindow;
}

void MainWindowTest::cleanup()
{
    delete window;
    window = nullptr;
}

QStringList MainWindowTest::actionTexts(const QList<QAction *> &actions)
{
    QStringList texts;
    for (QAction *action : actions)
        texts << (action->isSeparator() ? QStringLiteral("|") : action->text());
    return texts;
}

void MainWindowTest::startsWithBaseTitleAndNothingOpen()
{
    QCOMPARE(shownTitle(), QStringLiteral("Tessarin Stationscope v3.52"));
    QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window->size(), QSize(1443, 985));
    QVERIFY(child<QWidget>("widget_topPanel")->isHidden());
    QCOMPARE(child<QTabWidget>("tabWidget")->currentIndex(), 0);
}

void MainWindowTest::opensWithinItsScreen_data()
{
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<bool>("restored");
    QTest::newRow("first run") << QRect() << false;
    // As high as the offscreen screen allows, room for the tables' rows.
    QTest::newRow("saved here") << QRect(40, 40, 640, 550) << true;
    QTest::newRow("saved on a larger screen") << QRect(0, 0, 1443, 985) << false;
}

void MainWindowTest::opensWithinItsScreen()
{
    QFETCH(QRect, saved);
    QFETCH(bool, restored);
    if (saved.isValid())
        QSettings().setValue("mainWindowGeometry", saved);
    // The offscreen screen is smaller than the laptops' 1366 x 768; the top
    // panel is the widest part of the window.
    const QRect available = window->screen()->availableGeometry();
    QVERIFY(available.width() <= 1366 && available.height() <= 768);
    child<QPushButton>("togglePanelButton")->click();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(available.contains(window->frameGeometry()));
    QCOMPARE(window->geometry() == saved, restored);
    window->close();
    QCOMPARE(QSettings().value("mainWindowGeometry").toRect(), window->normalGeometry());
}

void MainWindowTest::actionsAvailableAtStart_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("new") << "actionNew_Project" << true;
    QTest::newRow("open") << "actionOpen_Project" << true;
    QTest::newRow("import") << "actionImport_from_excell" << true;
    QTest::newRow("about") << "actionAbout" << true;
    QTest::newRow("save") << "actionSave_Project" << false;
    QTest::newRow("export") << "actionExport_to_excell" << false;
    QTest::newRow("close") << "actionClose_Project" << false;
}

void MainWindowTest::actionsAvailableAtStart()
{
    QFETCH(QString, action);
    QFETCH(bool, enabled);
    QCOMPARE(child<QAction>(action)->isEnabled(), enabled);
}

void MainWindowTest::formWidgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("toggle") << "togglePanelButton"
                            << "QPushButton"
                            << "Show Top Panel" << true;
    // The "Connect To IED" box starts unchecked, which disables what it holds.
    QTest::newRow("ip") << "lineEdit_IP"
                        << "QLineEdit"
                        << "127.0.0.1" << false;
    QTest::newRow("port") << "lineEdit_Port"
                          << "QLineEdit"
                          << "102" << false;
    QTest::newRow("unnamed edit") << "lineEdit"
                                  << "QLineEdit"
                                  << "" << false;
    QTest::newRow("connect") << "pushButton_connectIed"
                             << "QPushButton"
                             << "Connect " << false;
    QTest::newRow("read object") << "pushButton_ReadObject"
                                 << "QPushButton"
                                 << "Read Object" << false;
    QTest::newRow("read report") << "pushButton_ReadRaport"
                                 << "QPushButton"
                                 << "Read Rapor" << false;
    QTest::newRow("test read") << "pushButton_4"
                               << "QPushButton"
                               << "sil" << false;
    QTest::newRow("progress label") << "label_Progress"
                                    << "QLabel"
                                    << "Step ..." << true;
    QTest::newRow("scl file") << "lineEdit_SclFile"
                              << "QLineEdit"
                              << "" << false;
    QTest::newRow("load") << "pushButton_SCLLoad"
                          << "QPushButton"
                          << "Load" << false;
    QTest::newRow("labels title") << "label_6"
                                  << "QLabel"
                                  << "PLC/RTU Labels" << true;
    QTest::newRow("labels path") << "lineEdit_Labels"
                                 << "QLineEdit"
                                 << "" << true;
    QTest::newRow("import labels") << "pushButton_ImportPLC"
                                   << "QPushButton"
                                   << "Import Line Labels" << true;
    QTest::newRow("info title") << "label_3"
                                << "QLabel"
                                << "Info Screen" << true;
    QTest::newRow("clear") << "pushButton_2"
                           << "QPushButton"
                           << "Clear" << true;
}

void MainWindowTest::formWidgets()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, text);
    QFETCH(bool, enabled);

    QWidget *widget = child<QWidget>(name);
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QCOMPARE(widget->property("text").toString(), text);
    QCOMPARE(widget->isEnabled(), enabled);
}

void MainWindowTest::fileMenuOrder()
{
    const QList<QAction *> barActions = window->menuBar()->actions();
    // Each menu opens with Alt and its underlined letter.
    QCOMPARE(actionTexts(barActions), QStringList({"&File", "&View", "&Project", "&Help"}));
    QCOMPARE(actionTexts(child<QMenu>("menuView")->actions()),
             QStringList({"Live Reports", "Commissioning"}));
    QCOMPARE(actionTexts(child<QMenu>("menuFile")->actions()),
             QStringList({"New Project...", "Open Project", "Recent Projects...", "|",
                          "Check SCL File...", "|", "Close Project", "Save Project...", "|",
                          "Export to Excell", "Import from Excell...", "|", "|",
                          "Recent Excell imports", "|", "&Quit"}));
    QCOMPARE(actionTexts(child<QMenu>("menuAbout")->actions()), QStringList({"About"}));
}

void MainWindowTest::toolBarOrder()
{
    QCOMPARE(actionTexts(child<QToolBar>("mainToolBar")->actions()),
             QStringList({"New Project...", "Open Project", "Save Project...", "Close Project",
                          "Export to Excell"}));
    // Placed nowhere: no menu or bar shows them.
    QVERIFY(child<QAction>("actionOpen_SCL_File")->associatedWidgets().isEmpty());
    QVERIFY(child<QAction>("actionNo_Files")->associatedWidgets().isEmpty());
}

void MainWindowTest::actionsCarryIconsAndShortcut()
{
    for (const char *name : {"actionNew_Project", "actionOpen_Project", "actionSave_Project",
                             "actionClose_Project", "actionExport_to_excell"}) {
        const QIcon icon = child<QAction>(name)->icon();
        QVERIFY2(!icon.pixmap(16, 16).isNull(), name);
    }
    QCOMPARE(child<QAction>("actionSave_Project")->shortcut(), QKeySequence("Ctrl+S"));
    QCOMPARE(child<QAction>("actionQuit")->shortcut(), QKeySequence("Ctrl+Q"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    child<QAction>("actionQuit")->trigger();
    QVERIFY(!window->isVisible());
}

void MainWindowTest::settingsIdentity()
{
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Tessarin"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Stationscope"));
}

void MainWindowTest::titleNamesTheOpenFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("project") << "plant.sclpro"
                             << "plant.sclpro - Tessarin Stationscope v3.52";
    QTest::newRow("workbook") << "import.xlsx"
                              << "import.xlsx - Tessarin Stationscope v3.52";
    QTest::newRow("placeholder kept literally") << "a%1b.sclpro"
                                                << "a%1b.sclpro - Tessarin Stationscope v3.52";
    QTest::newRow("none") << ""
                          << "Tessarin Stationscope v3.52";
}

void MainWindowTest::titleNamesTheOpenFile()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    window->setTitle(name);
    QCOMPARE(shownTitle(), title);
    // Nothing is open as far as the window knows, whatever the title says.
    QVERIFY(!child<QAction>("actionSave_Project")->isEnabled());
}

void MainWindowTest::togglePanelShowsAndHides()
{
    window->show();
    auto *button = child<QPushButton>("togglePanelButton");
    QWidget *panel = child<QWidget>("widget_topPanel");

    button->click();
    QVERIFY(panel->isVisible());
    QCOMPARE(button->text(), QStringLiteral("Hide Top Panel"));
    button->click();
    QVERIFY(!panel->isVisible());
    QCOMPARE(button->text(), QStringLiteral("Show Top Panel"));
}

void MainWindowTest::groupBoxesAreExclusive()
{
    window->show();
    child<QPushButton>("togglePanelButton")->click();
    auto *connectBox = child<QGroupBox>("groupBox");
    auto *sclBox = child<QGroupBox>("groupBox_2");
    QVERIFY(!connectBox->isChecked());
    QVERIFY(sclBox->isChecked());

    // The space bar on a checkable group box is what a user's click does: it
    // toggles the box and emits clicked.
    QTest::keyClick(connectBox, Qt::Key_Space);
    QVERIFY(connectBox->isChecked());
    QVERIFY(!sclBox->isChecked());
    QVERIFY(child<QLineEdit>("lineEdit_IP")->isEnabled());
    QVERIFY(!child<QComboBox>("comboBox_IED")->isEnabled());

    QTest::keyClick(connectBox, Qt::Key_Space);
    QVERIFY(!connectBox->isChecked());
    QVERIFY(sclBox->isChecked());

    QTest::keyClick(sclBox, Qt::Key_Space);
    QVERIFY(!sclBox->isChecked());
    QVERIFY(connectBox->isChecked());
}

void MainWindowTest::saveShortcutOnlyWhenEnabled()
{
    window->show();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window, EventTimeoutMs));
    QAction *save = child<QAction>("actionSave_Project");
    QSignalSpy triggered(save, &QAction::triggered);

    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(triggered.count(), 0);

    save->setEnabled(true);
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(triggered.count(), 1);
}

void MainWindowTest::aboutNamesVersionAndBuild()
{
    ScriptedPrompt prompt;
    child<QAction>("actionAbout")->trigger();

    QCOMPARE(prompt.messages.size(), 1);
    const PromptMessage &about = prompt.messages.first();
    QCOMPARE(about.kind, PromptMessage::About);
    QCOMPARE(about.parent, window);
    QCOMPARE(about.title, QStringLiteral("About"));
    const QString expected = QStringLiteral("Tessarin Stationscope Version: 3.52 \n Qt Version: ") +
                             QLatin1String(QT_VERSION_STR) +
                             QStringLiteral(" %1-bit").arg(int(sizeof(void *) * 8));
    QCOMPARE(about.text, expected);
}

void MainWindowTest::clearEmptiesInfoScreen()
{
    auto *info = child<QPlainTextEdit>("plainTextEdit_2");
    info->setPlainText(QStringLiteral("browse finished\nsecond line"));
    child<QPushButton>("pushButton_2")->click();
    QVERIFY(info->toPlainText().isEmpty());
}

void MainWindowTest::signalListFilterHidesOtherSignals()
{
    auto *view = child<QTreeView>("treeView_signals");
    auto *model = qobject_cast<QStandardItemModel *>(view->model());
    QVERIFY(model);
    for (const char *label : {"BAY1_CB_POS", "BAY1_CB_SEL", "BAY2_P_TOTAL"})
        model->appendRow({new QStandardItem(), new QStandardItem(), new QStandardItem(label)});
    auto *filter = child<FilterField>("filterField_signals");
    filter->setText(QStringLiteral("cb_"));
    filter->applyNow();
    QCOMPARE(view->isRowHidden(2, QModelIndex()), true);
    QCOMPARE(view->isRowHidden(0, QModelIndex()) || view->isRowHidden(1, QModelIndex()), false);
}

namespace {
QStandardItem *firstOfKind(QStandardItem *parent, int kind)
{
    for (int row = 0; parent && row < parent->rowCount(); ++row) {
        QStandardItem *child = parent->child(row);
        if (child->data(KindRole).toInt() == kind && child->data(KindRole).isValid())
            return child;
        if (QStandardItem *found = firstOfKind(child, kind))
            return found;
    }
    return nullptr;
}
} // namespace

void MainWindowTest::laptopScreenKeepsRowsAndWidth_data()
{
    QTest::addColumn<bool>("topPanel");
    QTest::newRow("top panel hidden") << false;
    QTest::newRow("top panel shown") << true;
}

// A vendor-sized IED (hundreds of logical nodes) watched through 73 report
// control blocks on a 1366 x 768 laptop: the window stays within the screen,
// and every table keeps eight rows, the bottom docks sharing their room as tabs.
void MainWindowTest::laptopScreenKeepsRowsAndWidth()
{
    QFETCH(bool, topPanel);
    ScriptedPrompt prompt;
    QTemporaryDir dir;
    const QString file = dir.filePath("vendor.scd");
    SclGeneratorOptions options;
    options.iedCount = 1;
    options.lnInstances = 45;
    options.templateFamilies = 1;
    QVERIFY(SclGenerator::write(file, options));
    auto *cid = child<QTreeView>("treeView_CID");
    auto *scl = qobject_cast<SelectedItemsModel *>(cid->model());
    SclParser parser;
    QVERIFY(!parser.loadIedNames(file).isEmpty());
    QVERIFY(parser.parse(SclGenerator::iedName(0), scl));
    QVERIFY(firstOfKind(scl->item(0)->child(1), LogicalNodeKind));
    auto *trees = child<TreeviewContainer>("widget_treeContainer");
    for (int kind : {int(DataObjectKind), int(DataSetKind), int(BufferedReportKind)}) {
        QStandardItem *node = firstOfKind(scl->item(0), kind);
        QVERIFY(node);
        trees->onCidTreeDoubleClicked(node->index());
    }

    QStringList blocks;
    for (int block = 1; block <= 73; ++block)
        blocks << QStringLiteral("%1MEAS/LLN0$BR$brcbStatus%2")
                      .arg(SclGenerator::iedName(0))
                      .arg(block, 2, 10, QLatin1Char('0'));
    const QString watching = QStringLiteral("Watching ") + blocks.join(", ");
    LiveReportController *reports = window->online()->liveReports();
    reports->panel()->setStatus(watching);
    if (topPanel)
        child<QPushButton>("togglePanelButton")->click();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->resize(1366, 768);
    const QList<QDockWidget *> docks = window->findChildren<QDockWidget *>();
    QCOMPARE(docks.size(), 3);
    for (QDockWidget *dock : docks)
        dock->show();
    QCOMPARE(window->tabifiedDockWidgets(docks.first()).size(), 2);

    for (QDockWidget *dock : docks) {
        dock->raise();
        QTRY_VERIFY(dock->widget()->isVisible());
        QCoreApplication::processEvents();
        QVERIFY2(window->minimumSizeHint().width() <= 1366,
                 qPrintable(QString::number(window->minimumSizeHint().width())));
        QVERIFY(window->minimumSizeHint().height() <= 768);
        QCOMPARE(window->size(), QSize(1366, 768));
        QList<QAbstractItemView *> views = dock->widget()->findChildren<QAbstractItemView *>();
        for (const char *name : {"treeView_CID", "treeView_SelectedDataObjects",
                                 "treeView_SelectedDatasets", "treeView_SelectedReports"})
            views << child<QAbstractItemView>(name);
        for (QAbstractItemView *view : qAsConst(views)) {
            if (view->objectName().isEmpty())
                continue;
            // Short of room, the area around a table scrolls; the table keeps its rows.
            const int rows = view->viewport()->height() / VisibleRows::rowHeight(view);
            QVERIFY2(
                rows >= VisibleRows::Least,
                qPrintable(QStringLiteral("%1 shows %2 rows").arg(view->objectName()).arg(rows)));
        }
    }

    // The Watching line is cut to the window, whole on hover; its buttons stay in view.
    auto *status = child<ElidedLabel>("label_liveReportStatus");
    QVERIFY(status->isElided());
    docks.first()->raise();
    QCoreApplication::processEvents();
    auto *stop = child<QPushButton>("pushButton_stopReports");
    QVERIFY(stop->mapTo(window, QPoint(stop->width(), 0)).x() <= window->width());
    QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), status->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(status, &hover);
    QCOMPARE(QToolTip::text(), watching);
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
