// The SCL check in the real window: File > Check SCL File... fills the
// Findings dock, a double-click selects the named node of the open project,
// and the New Project dialog counts each IED's findings.
#include "../jobs/projecttesthelpers.h"
#include "findingsmodel.h"
#include "iedcheckcounts.h"
#include "mainwindow.h"
#include "newprojectdialog.h"
#include "sclcheckcontroller.h"
#include "scldataexporter.h"
#include "scriptedprompt.h"
#include "selecteditemsmodel.h"
#include "temporarysettings.h"
#include "testpaths.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

namespace {

const QString Ied = QStringLiteral("BAY1_PROT");

} // namespace

class TestSclCheckWindow : public QObject
{
    Q_OBJECT

private slots:
    void findingsSelectTheirNodes();
    void newProjectDialogCountsEachIed();

private:
    // The example station with a report of confRev 0 and a select-before-operate
    // control without sboTimeout.
    QString fixture();
    TemporarySettings settings;
    QTemporaryDir dir;
};

QString TestSclCheckWindow::fixture()
{
    const QString path = dir.filePath(QStringLiteral("station_findings.scd"));
    if (QFile::exists(path))
        return path;
    QFile example(sourceFile(QStringLiteral("examples/substation.scd")));
    if (!example.open(QIODevice::ReadOnly))
        return QString();
    QByteArray content = example.readAll();
    content.replace("datSet=\"MeasDS\" confRev=\"2\"", "datSet=\"MeasDS\" confRev=\"0\"");
    const QByteArray timeout = "              <DAI name=\"sboTimeout\">\n"
                               "                <Val>30000</Val>\n"
                               "              </DAI>\n";
    content.remove(content.indexOf(timeout), timeout.size());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

void TestSclCheckWindow::findingsSelectTheirNodes()
{
    ScriptedPrompt prompt;
    ProjectFile project;
    QVERIFY(project.open(true));
    QStandardItemModel model;
    QVERIFY(parseIed(fixture(), Ied, &model));
    QVERIFY(SclDataExporter().writeSclModel(&model, project.db.get()));
    project.close();

    MainWindow window;
    window.show();
    window.openRecent(project.path, QStringLiteral("SclPro"));
    auto *controller = window.findChild<SclCheckController *>();
    QVERIFY(controller);
    auto *findings = window.findChild<FindingsModel *>();
    new QAbstractItemModelTester(findings, findings);
    QSignalSpy finished(controller, &SclCheckController::checkFinished);
    prompt.fileAnswers << fixture();
    window.findChild<QAction *>("actionCheck_SCL_File")->trigger();
    QVERIFY(finished.wait(30000));

    QCOMPARE(findings->rowCount(), 2);
    QCOMPARE(findings->headerData(FindingsModel::LineColumn, Qt::Horizontal).toString(),
             QStringLiteral("Line"));
    QCOMPARE(findings->index(1, FindingsModel::ReferenceColumn).data().toString(),
             QStringLiteral("BAY1_PROTCTRL/Q0CSWI1.Pos"));
    QCOMPARE(findings->index(1, FindingsModel::LineColumn).data(FindingsModel::SortRole),
             QVariant(qint64(145)));
    auto *cidTree = window.findChild<QTreeView *>("treeView_CID");
    QVERIFY(cidTree);
    controller->showFindingNode(1);
    QCOMPARE(cidTree->currentIndex().data().toString(), QStringLiteral("Pos"));
    controller->showFindingNode(0);
    QCOMPARE(cidTree->currentIndex().data().toString(),
             QStringLiteral("BAY1_PROTCTRL/LLN0.RP.urcbMeas"));
}

void TestSclCheckWindow::newProjectDialogCountsEachIed()
{
    SelectedItemsModel model;
    NewProjectDialog dialog(fixture(), &model);
    QVERIFY(dialog.iedCheck());
    QCOMPARE(dialog.iedCheck()->countsText(Ied), QString());
    QSignalSpy checked(dialog.iedCheck(), &IedCheckCounts::checked);
    dialog.iedCheck()->button()->click();
    QVERIFY(checked.wait(30000));
    QCOMPARE(dialog.iedCheck()->countsText(Ied), QStringLiteral("0 errors, 2 warnings"));
    QCOMPARE(dialog.iedCheck()->countsText("BAY2_MEAS"), QStringLiteral("0 errors, 0 warnings"));
}

QTEST_MAIN(TestSclCheckWindow)
#include "tst_sclcheckwindow.moc"
