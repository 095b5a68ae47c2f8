// The Project menu's checks in the real window: a project of the first
// station revision checked against the second as a file and as a simulated
// IED, and updated to it.
#include "../jobs/projecttesthelpers.h"
#include "../jobs/selectionpicks.h"
#include "eventwait.h"
#include "findingsmodel.h"
#include "findingspanel.h"
#include "iedserverthread.h"
#include "iedsimulatormodel.h"
#include "mainwindow.h"
#include "projectcheckcontroller.h"
#include "scldataexporter.h"
#include "scriptedprompt.h"
#include "temporarysettings.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

namespace {

const QString Ied = QStringLiteral("BAY1_PROT");

QString fixture(const char *name)
{
    return QStringLiteral(STATIONSCOPE_COMPARE_FIXTURES "/") + QLatin1String(name);
}

} // namespace

class TestProjectCheck : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void checkMarksTheAffectedRows_data();
    void checkMarksTheAffectedRows();
    void updateKeepsBindingsAndListsRemovedPicks();

private:
    QStandardItemModel *modelOf(const char *view) const
    {
        return qobject_cast<QStandardItemModel *>(
            window->findChild<QTreeView *>(QLatin1String(view))->model());
    }
    void trigger(const char *action) { window->findChild<QAction *>(action)->trigger(); }

    TemporarySettings settings;
    std::unique_ptr<ProjectFile> project;
    ScriptedPrompt *prompt = nullptr;
    MainWindow *window = nullptr;
    ProjectCheckController *checks = nullptr;
};

void TestProjectCheck::init()
{
    prompt = new ScriptedPrompt;
    project = std::make_unique<ProjectFile>();
    QVERIFY(project->open(true));
    QStandardItemModel v1;
    QVERIFY(parseIed(fixture("station_v1.scd"), Ied, &v1));
    QVERIFY(SclDataExporter().writeSclModel(&v1, project->db.get()));
    Selections s;
    const QStringList lln0{SclBranch::Reports, Ied, "CTRL", "LLN0"};
    pickObject(
        s, findNode(v1.item(0, 0), {SclBranch::DataObjects, Ied, "CTRL", "XCBR1", "ST", "OpCnt"}));
    pickReport(s, findNode(v1.item(0, 0), lln0 + QStringList{"BAY1_PROTCTRL/LLN0.BR.brcbStatus"}));
    pickReport(s, findNode(v1.item(0, 0), lln0 + QStringList{"BAY1_PROTCTRL/LLN0.RP.urcbStatus"}));
    s.objects.item(0, 3)->setText(QStringLiteral("ReadOpCnt"));
    QVERIFY(
        SclDataExporter().writeSelections(&s.objects, &s.datasets, &s.reports, project->db.get()));
    project->close();

    window = new MainWindow;
    window->show();
    window->openRecent(project->path, QStringLiteral("SclPro"));
    checks = window->findChild<ProjectCheckController *>();
    QVERIFY(checks);
    new QAbstractItemModelTester(checks->findings(), checks->findings());
    QCOMPARE(modelOf("treeView_SelectedReports")->rowCount(), 2);
}

void TestProjectCheck::cleanup()
{
    delete window;
    delete prompt;
    project.reset();
}

void TestProjectCheck::checkMarksTheAffectedRows_data()
{
    QTest::addColumn<bool>("live");
    QTest::newRow("SCL file") << false;
    QTest::newRow("simulated IED") << true;
}

void TestProjectCheck::checkMarksTheAffectedRows()
{
    QFETCH(bool, live);
    IedServerThread server;
    if (live) {
        QVERIFY(server.start(IedSimulatorModel::fromSclFile(fixture("station_v2.scd"), Ied),
                             QHostAddress::LocalHost, 0));
        window->findChild<QLineEdit *>("lineEdit_IP")->setText(QStringLiteral("127.0.0.1"));
        window->findChild<QLineEdit *>("lineEdit_Port")
            ->setText(QString::number(server.serverPort()));
        QSignalSpy finished(checks, &ProjectCheckController::liveCheckFinished);
        trigger("actionCheckAgainstIed");
        QVERIFY(finished.wait(EventTimeoutMs));
    } else {
        prompt->fileAnswers << fixture("station_v2.scd");
        trigger("actionCheckAgainstSclFile");
    }
    QVERIFY2(prompt->messages.isEmpty(), qPrintable(prompt->messages.value(0).text));

    QStandardItemModel *reports = modelOf("treeView_SelectedReports");
    QVERIFY(reports->item(1)->toolTip().contains(QLatin1String("report control block missing")));
    QVERIFY(reports->item(0)->toolTip().contains(QLatin1String("confRev differs")));
    QVERIFY(modelOf("treeView_SelectedDataObjects")->item(0)->toolTip().contains("MMS type"));
    QCOMPARE(checks->marks()->count(), 3);
    QVERIFY(checks->findings()->rowCount() >= 3);
    QVERIFY(checks->panel()->isVisible());
    // Marks are no change to the project.
    QVERIFY(!window->isWindowModified());

    // Saved in the order the engineer sorted the list by.
    auto *view = window->findChild<QTreeView *>("treeView_findings");
    view->sortByColumn(FindingsModel::PickColumn, Qt::DescendingOrder);
    const QString csv = project->dir.filePath(QStringLiteral("findings.csv"));
    prompt->fileAnswers << csv;
    window->findChild<QPushButton *>("pushButton_saveFindings")->click();
    QFile saved(csv);
    QVERIFY(saved.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(saved.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), view->model()->rowCount() + 1);
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        const QString pick = view->model()->index(row, FindingsModel::PickColumn).data().toString();
        QVERIFY2(lines.at(row + 1).contains(pick), qPrintable(lines.at(row + 1)));
    }

    // The next check starts from clean rows; closing the project drops the list.
    prompt->fileAnswers << fixture("station_v1.scd");
    trigger("actionCheckAgainstSclFile");
    QCOMPARE(checks->marks()->count(), 0);
    QVERIFY(reports->item(1)->toolTip().isEmpty());
    window->closeProject();
    QCOMPARE(checks->findings()->rowCount(), 0);
}

void TestProjectCheck::updateKeepsBindingsAndListsRemovedPicks()
{
    prompt->fileAnswers << fixture("station_v2.scd");
    prompt->buttonAnswers << QMessageBox::Yes;
    trigger("actionUpdateFromSclFile");
    QCOMPARE(prompt->messages.size(), 1);
    QCOMPARE(prompt->messages.first().kind, PromptMessage::Question);

    QStandardItemModel *objects = modelOf("treeView_SelectedDataObjects");
    QCOMPARE(objects->item(0, 3)->text(), QStringLiteral("ReadOpCnt"));
    QCOMPARE(objects->item(0)->child(0, 2)->text(), QStringLiteral("MMS_UNSIGNED"));
    QCOMPARE(modelOf("treeView_SelectedReports")->rowCount(), 1);
    QCOMPARE(modelOf("treeView_CID")->item(0)->child(0)->child(7, 1)->text(),
             QStringLiteral("Rev 1.4"));
    QVERIFY(window->findChild<QLabel *>("label_cidName")
                ->text()
                .startsWith(modelOf("treeView_CID")->item(0)->text() + " (id:"));
    QVERIFY(!window->isWindowModified());
    QCOMPARE(checks->findings()->rowCount(), 1);
    QCOMPARE(checks->findings()->index(0, FindingsModel::PickColumn).data().toString(),
             QStringLiteral("Report BAY1_PROTCTRL/LLN0.RP.urcbStatus"));

    const QString csv = project->dir.filePath(QStringLiteral("removed.csv"));
    prompt->fileAnswers << csv;
    window->findChild<QPushButton *>("pushButton_saveFindings")->click();
    QFile list(csv);
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(list.readAll().count('\n'), 2);
}

QTEST_MAIN(TestProjectCheck)
#include "tst_projectcheck.moc"
