// The Connect To IED panel of the main window against the simulated IED.

#include "iedserverthread.h"
#include "iedsimulatormodel.h"
#include "mainwindow.h"
#include "scriptedprompt.h"
#include "temporarysettings.h"
#include "testpaths.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
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

private:
    void click(quint16 port);

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
    // The engineer opens the top panel and chooses the live device.
    window->findChild<QPushButton *>("togglePanelButton")->click();
    QTest::keyClick(window->findChild<QGroupBox *>("groupBox"), Qt::Key_Space);
    QVERIFY(window->findChild<QGroupBox *>("groupBox")->isChecked());
    watcher.states.clear();
    window->findChild<QLineEdit *>("lineEdit_IP")->setText("127.0.0.1");
    window->findChild<QLineEdit *>("lineEdit_Port")->setText(QString::number(port));
    window->findChild<QPushButton *>("pushButton_connectIed")->click();
}

void OnlineBrowsingTest::connectListsTheSimulatedIed()
{
    IedServerThread server;
    QVERIFY(server.start(
        IedSimulatorModel::fromSclFile(sourceFile("examples/substation.scd"), "BAY2_MEAS"),
        QHostAddress::LocalHost, 0));
    click(server.serverPort());
    server.stop();

    QCOMPARE(watcher.states, (QList<bool>{false, true}));
    auto *cid =
        qobject_cast<QStandardItemModel *>(window->findChild<QTreeView *>("treeView_CID")->model());
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

void OnlineBrowsingTest::refusedConnectionLeavesEmptyTreesAndAnEnabledWindow()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    click(port);
    QVERIFY(window->isEnabled());
    QCOMPARE(watcher.states, (QList<bool>{false, true}));
    auto *cid =
        qobject_cast<QStandardItemModel *>(window->findChild<QTreeView *>("treeView_CID")->model());
    QCOMPARE(cid->rowCount(), 0);
    QCOMPARE(window->onlineDataSets()->rowCount(), 0);
    QVERIFY(window->findChild<QPlainTextEdit *>("plainTextEdit_2")
                ->toPlainText()
                .endsWith("Connection failed!\n"));
}

QTEST_MAIN(OnlineBrowsingTest)
#include "tst_onlinebrowsing.moc"
