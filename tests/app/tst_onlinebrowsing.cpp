// The Connect To IED panel of the main window against the simulated IED:
// the browse, Read Object, Read Rapor and a silent peer, the work running
// while the window goes on.

#include "eventwait.h"
#include "iedconnection.h"
#include "iedserverthread.h"
#include "iedsimulatormodel.h"
#include "livereportcontroller.h"
#include "livereportmodel.h"
#include "livereportpanel.h"
#include "mainwindow.h"
#include "onlinecontroller.h"
#include "onlinesession.h"
#include "sclparser.h"
#include "scriptedprompt.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "temporarysettings.h"
#include "testpaths.h"
#include "treeviewcontainer.h"
#include "unsavedchangestracker.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTcpServer>
#include <QTreeView>
#include <QtTest>

namespace {

// Records the window's enabled state at each change.
class EnabledWatcher : public QObject
{
public:
    QList<bool> states;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange)
            states.append(static_cast<QWidget *>(watched)->isEnabled());
        return false;
    }
};

} // namespace

class OnlineBrowsingTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void connectListsTheSimulatedIed();
    void refusedConnectionLeavesEmptyTreesAndAnEnabledWindow();
    void connectKeepsTheProjectModelAndNamesWhatFailed_data();
    void connectKeepsTheProjectModelAndNamesWhatFailed();
    void readObjectFillsTheValueColumn_data();
    void readObjectFillsTheValueColumn();
    void readRaporShowsReportsWithTheirSignals();
    void closingTheWindowEndsTheWatch();
    void silentPeerLeavesTheWindowWorkingAndCancelEndsIt();

private:
    void click(quint16 port);
    void openPanel(quint16 port);
    bool waitUntilIdle();
    QStandardItemModel *cidModel() const;
    QString cidTitle() const;
    QString lastInfoLine() const;
    static QStandardItem *find(QStandardItem *parent, const QString &text);
    // The example's BAY1_PROT with StatusDS, urcbStatus and urcbMeas picked
    // and the breaker position bound to BAY1_CB_POS.
    void pickBay1Reports();
    SelectedDatasetsModel *pickedDatasets() const;

    TemporarySettings settings;
    ScriptedPrompt *prompt = nullptr;
    MainWindow *window = nullptr;
    EnabledWatcher watcher;
};

void OnlineBrowsingTest::init()
{
    prompt = new ScriptedPrompt;
    window = new MainWindow;
    window->installEventFilter(&watcher);
    watcher.states.clear();
    window->show();
}

void OnlineBrowsingTest::cleanup()
{
    delete window;
    delete prompt;
}

void OnlineBrowsingTest::click(quint16 port)
{
    openPanel(port);
    window->findChild<QPushButton *>("pushButton_connectIed")->click();
}

void OnlineBrowsingTest::openPanel(quint16 port)
{
    // The engineer opens the top panel and chooses the live device.
    window->findChild<QPushButton *>("togglePanelButton")->click();
    QTest::keyClick(window->findChild<QGroupBox *>("groupBox"), Qt::Key_Space);
    QVERIFY(window->findChild<QGroupBox *>("groupBox")->isChecked());
    watcher.states.clear();
    window->findChild<QLineEdit *>("lineEdit_IP")->setText("127.0.0.1");
    window->findChild<QLineEdit *>("lineEdit_Port")->setText(QString::number(port));
}

bool OnlineBrowsingTest::waitUntilIdle()
{
    return QTest::qWaitFor([this] { return !window->online()->session()->isBusy(); },
                           EventTimeoutMs);
}

QStandardItemModel *OnlineBrowsingTest::cidModel() const
{
    return qobject_cast<QStandardItemModel *>(
        window->findChild<QTreeView *>("treeView_CID")->model());
}

QStandardItem *OnlineBrowsingTest::find(QStandardItem *parent, const QString &text)
{
    for (int row = 0; parent && row < parent->rowCount(); ++row) {
        if (parent->child(row)->text() == text)
            return parent->child(row);
    }
    return nullptr;
}

void OnlineBrowsingTest::connectListsTheSimulatedIed()
{
    IedServerThread server;
    QVERIFY(server.start(
        IedSimulatorModel::fromSclFile(sourceFile("examples/substation.scd"), "BAY2_MEAS"),
        QHostAddress::LocalHost, 0));
    click(server.serverPort());
    // Only the online buttons wait for the work; the window stays usable.
    QVERIFY(!window->findChild<QPushButton *>("pushButton_connectIed")->isEnabled());
    QVERIFY(waitUntilIdle());
    server.stop();

    QVERIFY(watcher.states.isEmpty());
    QVERIFY(window->findChild<QPushButton *>("pushButton_connectIed")->isEnabled());
    auto *cid = cidModel();
    QVERIFY(cid);
    QCOMPARE(cid->headerData(0, Qt::Horizontal).toString(), QStringLiteral("CID"));
    QVERIFY(cid->rowCount() > 0);
    QCOMPARE(cid->item(0)->text(), QStringLiteral("BAY2_MEASMEAS"));
    QVERIFY(cid->item(0)->rowCount() > 0);
    QCOMPARE(window->onlineDataSets()->rowCount(), cid->rowCount());
    QCOMPARE(window->onlineReports()->rowCount(), cid->rowCount());
    const QString info = window->findChild<QPlainTextEdit *>("plainTextEdit_2")->toPlainText();
    QVERIFY2(info.startsWith("Please Wait ...\nGet logical device list...\nBAY2_MEASMEAS/"),
             qPrintable(info.left(200)));
    window->findChild<QTreeView *>("treeView_CID")->expandToDepth(1);
    window->grab().save(QDir::current().filePath("online-browse.png"));
    QVERIFY(prompt->messages.isEmpty());
}

QString OnlineBrowsingTest::cidTitle() const
{
    return window->findChild<QLabel *>("label_cidName")->text();
}

QString OnlineBrowsingTest::lastInfoLine() const
{
    return window->findChild<QPlainTextEdit *>("plainTextEdit_2")
        ->toPlainText()
        .split('\n', Qt::SkipEmptyParts)
        .last();
}

void OnlineBrowsingTest::refusedConnectionLeavesEmptyTreesAndAnEnabledWindow()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    click(port);
    QVERIFY(waitUntilIdle());
    QVERIFY(window->isEnabled());
    QVERIFY(watcher.states.isEmpty());
    auto *cid =
        qobject_cast<QStandardItemModel *>(window->findChild<QTreeView *>("treeView_CID")->model());
    QCOMPARE(cid->rowCount(), 0);
    QCOMPARE(window->onlineDataSets()->rowCount(), 0);
    QVERIFY(window->findChild<QPlainTextEdit *>("plainTextEdit_2")
                ->toPlainText()
                .contains("Connection failed!\n"));
    QVERIFY2(window->statusBar()->currentMessage().contains("refused"),
             qPrintable(window->statusBar()->currentMessage()));
}

// With a project open, a failed connect changes nothing and says why; a
// browse shows the IED beside the project, which stays one click away and
// comes back by itself when the project is closed and opened again.
void OnlineBrowsingTest::connectKeepsTheProjectModelAndNamesWhatFailed_data()
{
    QTest::addColumn<QString>("portText");
    QTest::addColumn<QString>("failure");
    QTest::newRow("refused") << "closed"
                             << "CONNECTION_REJECTED (5)";
    QTest::newRow("port text") << "1o2"
                               << "the port \"1o2\" is not a number from 1 to 65535";
    QTest::newRow("browse") << "server" << QString();
}

void OnlineBrowsingTest::connectKeepsTheProjectModelAndNamesWhatFailed()
{
    QFETCH(QString, portText);
    QFETCH(QString, failure);
    QTemporaryDir folder;
    QSettings().setValue("lastProjectPath", folder.path());
    prompt->fileAnswers << sourceFile("examples/substation.scd");
    prompt->dialogHandler = [](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineEdit_projectName")->setText("plant");
        dialog->findChild<QPushButton *>("pushButton_createPro")->click();
        if (dialog->findChild<QStackedWidget *>("stackedWidget_buttons")->currentIndex() == 1)
            dialog->findChild<QPushButton *>("pushButton")->click();
        return dialog->result();
    };
    window->findChild<QAction *>("actionNew_Project")->trigger();
    prompt->dialogHandler = nullptr;
    QStandardItemModel *project = cidModel();
    QCOMPARE(cidTitle(), QStringLiteral("BAY1_PROT (id:0)"));

    IedServerThread server;
    QVERIFY(server.start(
        IedSimulatorModel::fromSclFile(sourceFile("examples/substation.scd"), "BAY2_MEAS"),
        QHostAddress::LocalHost, 0));
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 closedPort = closed.serverPort();
    closed.close();
    openPanel(0);
    window->findChild<QLineEdit *>("lineEdit_Port")
        ->setText(portText == "closed"   ? QString::number(closedPort)
                  : portText == "server" ? QString::number(server.serverPort())
                                         : portText);
    window->findChild<QPushButton *>("pushButton_connectIed")->click();
    QVERIFY(waitUntilIdle());
    auto *showProject = window->findChild<QPushButton *>("pushButton_showProjectModel");

    if (!failure.isEmpty()) {
        QCOMPARE(cidModel(), project);
        QVERIFY(project->item(0)->rowCount() > 0);
        QCOMPARE(cidTitle(), QStringLiteral("BAY1_PROT (id:0)"));
        QVERIFY2(window->statusBar()->currentMessage().contains(failure),
                 qPrintable(window->statusBar()->currentMessage()));
        QCOMPARE(lastInfoLine(), window->statusBar()->currentMessage());
        QVERIFY(!showProject->isVisible());
        return;
    }
    QCOMPARE(cidModel(), window->onlineTree());
    QCOMPARE(cidModel()->item(0)->text(), QStringLiteral("BAY2_MEASMEAS"));
    const QString onlineTitle = QStringLiteral("127.0.0.1:%1 (online)").arg(server.serverPort());
    QCOMPARE(cidTitle(), onlineTitle);
    // Pressing a browsed node keeps the title; its menu offers no pick, which
    // a browsed node cannot be.
    auto *tree = window->findChild<QTreeView *>("treeView_CID");
    const QModelIndex node = cidModel()->item(0)->child(0)->index();
    emit tree->pressed(node);
    QCOMPARE(cidTitle(), onlineTitle);
    tree->selectionModel()->select(node, QItemSelectionModel::ClearAndSelect);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), tree->mapToGlobal({5, 5}));
    QApplication::sendEvent(tree->viewport(), &menuEvent);
    for (const QStringList &menu : qAsConst(prompt->menus))
        QVERIFY2(!menu.contains("Pick Selected"), qPrintable(menu.join(", ")));
    showProject->click();
    QCOMPARE(cidModel(), project);
    QCOMPARE(cidTitle(), QStringLiteral("BAY1_PROT (id:0)"));
    QVERIFY(!showProject->isVisible());

    // A failed connect takes the earlier device's tree away.
    window->findChild<QPushButton *>("pushButton_connectIed")->click();
    QVERIFY(waitUntilIdle());
    QCOMPARE(cidModel(), window->onlineTree());
    window->findChild<QLineEdit *>("lineEdit_Port")->setText(QString::number(closedPort));
    window->findChild<QPushButton *>("pushButton_connectIed")->click();
    QVERIFY(waitUntilIdle());
    QCOMPARE(cidModel(), project);
    QCOMPARE(window->onlineTree()->rowCount(), 0);
    QCOMPARE(cidTitle(), QStringLiteral("BAY1_PROT (id:0)"));

    // Closed and opened again while the browse is shown: one IED, the project's.
    window->findChild<QLineEdit *>("lineEdit_Port")->setText(QString::number(server.serverPort()));
    window->findChild<QPushButton *>("pushButton_connectIed")->click();
    QVERIFY(waitUntilIdle());
    QCOMPARE(cidModel(), window->onlineTree());
    server.stop();
    prompt->buttonAnswers << QMessageBox::Ok;
    window->findChild<QAction *>("actionClose_Project")->trigger();
    QCOMPARE(project->rowCount(), 0);
    QCOMPARE(cidTitle(), QStringLiteral("No CID selected"));
    window->openRecent(folder.filePath("plant.sclpro"), "SclPro");
    QCOMPARE(cidModel(), project);
    QCOMPARE(project->rowCount(), 1);
    QVERIFY(cidTitle().startsWith("BAY1_PROT (id:"));
}

void OnlineBrowsingTest::readObjectFillsTheValueColumn_data()
{
    QTest::addColumn<bool>("fromProject");
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QString>("renamedTo");
    QTest::addColumn<QString>("valueRow");
    QTest::addColumn<QString>("expected");
    const QString node = "BAY2_MEASMEAS/MMXU1";
    QTest::newRow("attribute") << false << QStringList{node, node + ".Hz", node + ".Hz.q[MX]"}
                               << QString() << node + ".Hz.q[MX]"
                               << "good";
    QTest::newRow("data object") << false << QStringList{node, node + ".Hz"} << QString()
                                 << node + ".Hz.t[MX]"
                                 << "T";
    QTest::newRow("missing object") << false << QStringList{node, node + ".Hz", node + ".Hz.q[MX]"}
                                    << node + ".Hz.nothere[MX]" << node + ".Hz.nothere[MX]"
                                    << "Error: OBJECT_DOES_NOT_EXIST";
    // The constraint once, at the end of a nested attribute's name.
    QTest::newRow("nested attribute")
        << false
        << QStringList{node, node + ".Hz", node + ".Hz.units[CF]", node + ".Hz.units.SIUnit[CF]"}
        << QString() << node + ".Hz.units.SIUnit[CF]"
        << "5"; // the lowest ord of SIUnit, which lists no 0
    QTest::newRow("control model by name")
        << false
        << QStringList{"BAY2_MEASMEAS/LLN0", "BAY2_MEASMEAS/LLN0.Mod",
                       "BAY2_MEASMEAS/LLN0.Mod.ctlModel[CF]"}
        << QString() << "BAY2_MEASMEAS/LLN0.Mod.ctlModel[CF]"
        << "status-only (0)";
    QTest::newRow("enumeration by name")
        << false << QStringList{"BAY2_MEASMEAS/LLN0", "BAY2_MEASMEAS/LLN0.Health"} << QString()
        << "BAY2_MEASMEAS/LLN0.Health.stVal[ST]"
        << "Ok (1)";
    // The address comes from the project's connection rows.
    QTest::newRow("project data object")
        << true << QStringList{"BAY2_MEAS", "MEAS", "MMXU1", "MX", "Hz"} << QString()
        << "q{MX,Quality}"
        << "good";
}

void OnlineBrowsingTest::readObjectFillsTheValueColumn()
{
    QFETCH(bool, fromProject);
    QFETCH(QStringList, path);
    QFETCH(QString, renamedTo);
    QFETCH(QString, valueRow);
    QFETCH(QString, expected);
    IedServerThread server;
    QVERIFY(server.start(
        IedSimulatorModel::fromSclFile(sourceFile("examples/substation.scd"), "BAY2_MEAS"),
        QHostAddress::LocalHost, 0));
    QStandardItem *item = nullptr;
    if (fromProject) {
        SclParser parser;
        parser.loadIedNames(sourceFile("examples/substation.scd"));
        QVERIFY(parser.parse("BAY2_MEAS", qobject_cast<SelectedItemsModel *>(cidModel())));
        item = cidModel()->item(0);
        QStandardItem *connection = item->child(0);
        connection->child(2, 1)->setText("127.0.0.1");
        connection->child(3, 1)->setText(QString::number(server.serverPort()));
        openPanel(0);
        window->findChild<QLineEdit *>("lineEdit_IP")->clear();
        window->findChild<QLineEdit *>("lineEdit_Port")->clear();
        item = item->child(1);
    } else {
        click(server.serverPort());
        QVERIFY(waitUntilIdle());
        item = cidModel()->item(0);
    }

    for (const QString &text : path) {
        item = find(item, text);
        QVERIFY2(item, qPrintable(text));
    }
    if (!renamedTo.isEmpty())
        item->setText(renamedTo);
    window->findChild<QTreeView *>("treeView_CID")->setCurrentIndex(item->index());
    window->findChild<QPushButton *>("pushButton_ReadObject")->click();
    QVERIFY(waitUntilIdle());
    server.stop();

    QStandardItem *row = item->text() == valueRow ? item : find(item, valueRow);
    QVERIFY(row);
    QStandardItem *parent = row->parent();
    QVERIFY(parent->child(row->row(), 1));
    QVERIFY2(parent->child(row->row(), 1)->text().contains(expected),
             qPrintable(parent->child(row->row(), 1)->text()));
    QCOMPARE(cidModel()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));

    // Another device: what was read no longer stands.
    window->findChild<QLineEdit *>("lineEdit_Port")->setText("1");
    QCOMPARE(parent->child(row->row(), 1)->text(), QString());
}

void OnlineBrowsingTest::pickBay1Reports()
{
    auto *container = window->findChild<TreeviewContainer *>("widget_treeContainer");
    auto *scl = qobject_cast<SelectedItemsModel *>(cidModel());
    SclParser parser;
    parser.loadIedNames(sourceFile("examples/substation.scd"));
    QVERIFY(parser.parse("BAY1_PROT", scl));
    QStandardItem *ied = scl->item(0);
    QStandardItem *lln0DataSets = find(find(find(ied->child(2), "BAY1_PROT"), "CTRL"), "LLN0");
    QStandardItem *lln0Reports = find(find(find(ied->child(3), "BAY1_PROT"), "CTRL"), "LLN0");
    QStandardItem *dataSet = find(lln0DataSets, "BAY1_PROTCTRL/LLN0.StatusDS");
    QStandardItem *report = find(lln0Reports, "BAY1_PROTCTRL/LLN0.RP.urcbStatus");
    // An indexed block too: the IED offers it as urcbMeas01.
    QStandardItem *indexedReport = find(lln0Reports, "BAY1_PROTCTRL/LLN0.RP.urcbMeas");
    QVERIFY(dataSet && report && indexedReport);
    container->onCidTreeDoubleClicked(dataSet->index());
    container->onCidTreeDoubleClicked(report->index());
    container->onCidTreeDoubleClicked(indexedReport->index());
    QStandardItem *pickedSet = pickedDatasets()->item(0);
    QStandardItem *breaker = pickedSet->child(0);
    QVERIFY(breaker->text().startsWith("BAY1_PROTCTRL/XCBR1.Pos"));
    pickedSet->child(0, SelectedDatasetsModel::ResultSignalColumn)->setText("BAY1_CB_POS");
}

SelectedDatasetsModel *OnlineBrowsingTest::pickedDatasets() const
{
    return qobject_cast<SelectedDatasetsModel *>(
        window->findChild<QTreeView *>("treeView_SelectedDatasets")->model());
}

void OnlineBrowsingTest::readRaporShowsReportsWithTheirSignals()
{
    pickBay1Reports();
    SelectedDatasetsModel *datasets = pickedDatasets();
    IedServerThread server;
    QVERIFY(server.start(
        IedSimulatorModel::fromSclFile(sourceFile("examples/substation.scd"), "BAY1_PROT"),
        QHostAddress::LocalHost, 0));
    openPanel(server.serverPort());
    window->findChild<UnsavedChangesTracker *>()->reset();
    LiveReportModel *live = window->online()->liveReports()->model();
    QAbstractItemModelTester tester(live);
    window->findChild<QPushButton *>("pushButton_ReadRaport")->click();
    QVERIFY(window->online()->session()->isBusy());

    // The general interrogation brings every member at once.
    auto sawBlock = [live](const QString &block) {
        for (int row = 0; row < live->rowCount(); ++row) {
            if (live->index(row, LiveReportModel::RcbColumn).data().toString().endsWith(block))
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(sawBlock("$RP$urcbStatus") && sawBlock("$RP$urcbMeas01"),
                             EventTimeoutMs);
    QStringList boundRows;
    for (int row = 0; row < live->rowCount(); ++row) {
        if (live->index(row, LiveReportModel::SignalColumn).data().toString() == "BAY1_CB_POS")
            boundRows << live->index(row, LiveReportModel::MemberColumn).data().toString();
    }
    QVERIFY2(!boundRows.isEmpty(), qPrintable(live->toCsv()));
    QCOMPARE(boundRows.first(), QStringLiteral("BAY1_PROTCTRL/XCBR1.Pos[ST]"));
    BoundSignalModel *bound = window->online()->liveReports()->boundSignalModel();
    QAbstractItemModelTester boundTester(bound);
    QCOMPARE(bound->index(0, BoundSignalModel::SignalColumn).data().toString(),
             QStringLiteral("BAY1_CB_POS"));
    QVERIFY(!bound->index(0, BoundSignalModel::ValueColumn).data().toString().isEmpty());
    // Beside its signal the bound member shows its last value, which is no edit.
    QStandardItem *breaker = datasets->item(0)->child(0);
    QTRY_VERIFY_WITH_TIMEOUT(!datasets->liveValue(breaker).isEmpty(), EventTimeoutMs);
    QVERIFY(!window->isWindowModified());
    window->findChild<QPlainTextEdit *>("plainTextEdit_2")->clear();
    window->resize(1400, 900);
    QVERIFY(window->grab().save(QDir::current().filePath("online-live-reports.png")));

    // Closing the project while reports come asks first; Cancel keeps both.
    prompt->buttonAnswers.enqueue(QMessageBox::Cancel);
    window->findChild<QAction *>("actionClose_Project")->trigger();
    QVERIFY(!prompt->messages.isEmpty());
    QCOMPARE(prompt->messages.last().title, QStringLiteral("Live Reports"));
    QVERIFY(window->online()->liveReports()->isWatching());
    QVERIFY(live->rowCount() > 0);

    window->findChild<QPushButton *>("pushButton_stopReports")->click();
    QVERIFY(waitUntilIdle());
    QCOMPARE(datasets->liveValue(breaker), QString());
    IedConnection check;
    QCOMPARE(check.connect("127.0.0.1", server.serverPort()), IedClientError::Ok);
    IedClientError error = IedClientError::Ok;
    const ClientReportControlBlock block =
        check.getRCBValues("BAY1_PROTCTRL/LLN0$RP$urcbStatus", &error);
    QCOMPARE(error, IedClientError::Ok);
    QVERIFY(!block.rptEna());
    QVERIFY(!check.getRCBValues("BAY1_PROTCTRL/LLN0$RP$urcbMeas01", &error).rptEna());
    QCOMPARE(error, IedClientError::Ok);
    check.close();
    server.stop();

    QTemporaryDir folder;
    prompt->fileAnswers.enqueue(folder.filePath("reports.csv"));
    QVERIFY(window->online()->liveReports()->panel()->saveCsv());
    QFile saved(folder.filePath("reports.csv"));
    QVERIFY(saved.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString csv = QString::fromUtf8(saved.readAll());
    QVERIFY(csv.startsWith("Received;RCB;SqNum;Member;Value;Quality;Timestamp;Reason;"));
    QVERIFY(csv.contains(";BAY1_CB_POS\n"));

    // The reports of a project go with it.
    window->closeProject();
    QCOMPARE(live->rowCount(), 0);
    QCOMPARE(bound->rowCount(), 0);
}

void OnlineBrowsingTest::closingTheWindowEndsTheWatch()
{
    pickBay1Reports();
    IedServerThread server;
    QVERIFY(server.start(
        IedSimulatorModel::fromSclFile(sourceFile("examples/substation.scd"), "BAY1_PROT"),
        QHostAddress::LocalHost, 0));
    openPanel(server.serverPort());
    window->findChild<QPushButton *>("pushButton_ReadRaport")->click();
    LiveReportModel *live = window->online()->liveReports()->model();
    QTRY_VERIFY_WITH_TIMEOUT(live->rowCount() > 0, EventTimeoutMs);

    QElapsedTimer closing;
    closing.start();
    delete window;
    window = nullptr;
    QVERIFY2(closing.elapsed() < 1000, qPrintable(QString::number(closing.elapsed())));
    IedConnection check;
    QCOMPARE(check.connect("127.0.0.1", server.serverPort()), IedClientError::Ok);
    IedClientError error = IedClientError::Ok;
    QVERIFY(!check.getRCBValues("BAY1_PROTCTRL/LLN0$RP$urcbStatus", &error).rptEna());
    QCOMPARE(error, IedClientError::Ok);
    check.close();
    server.stop();
}

void OnlineBrowsingTest::silentPeerLeavesTheWindowWorkingAndCancelEndsIt()
{
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(20);
    click(silent.serverPort());
    // The window's own timer keeps ticking while the job waits on the peer.
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 10, EventTimeoutMs);
    QVERIFY(window->online()->session()->isBusy());

    // The bar moves while the work runs.
    auto *bar = window->findChild<QProgressBar *>("progressBar");
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->maximum(), 0);

    QElapsedTimer cancelTime;
    cancelTime.start();
    auto *cancel = window->findChild<QPushButton *>("pushButton_cancelOnline");
    QVERIFY(cancel->isVisible());
    cancel->click();
    QVERIFY(waitUntilIdle());
    QVERIFY2(cancelTime.elapsed() < 500, qPrintable(QString::number(cancelTime.elapsed())));
    QVERIFY(!cancel->isVisible());
    QVERIFY(!bar->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(window->statusBar()->currentMessage(), QStringLiteral("Cancelled"),
                              EventTimeoutMs);
    QVERIFY(window->findChild<QPushButton *>("pushButton_connectIed")->isEnabled());
}

QTEST_MAIN(OnlineBrowsingTest)
#include "tst_onlinebrowsing.moc"
