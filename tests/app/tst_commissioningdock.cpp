// The Commissioning dock of the main window against the simulated example
// IED: the record fills while a session runs, the tester's verdicts and a
// Test control outcome land in it, it is saved in the project, comes back
// when the project is opened again, and is handed over as a workbook.

#include "commandlinetool.h"
#include "commissioningcontroller.h"
#include "commissioningfilter.h"
#include "commissioningnamesdialog.h"
#include "commissioningpanel.h"
#include "commissioningrecord.h"
#include "controltestdialog.h"
#include "eventwait.h"
#include "iedserverthread.h"
#include "iedsimulator.h"
#include "iedsimulatormodel.h"
#include "mainwindow.h"
#include "recentfiles.h"
#include "scriptedprompt.h"
#include "temporarysettings.h"
#include "testpaths.h"

#include <QAbstractItemModelTester>
#include <QDockWidget>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray Bindings =
    "BAY1_PROTCTRL/XCBR1.Pos [ST];Status Signal;BAY1_CB_POS\n"
    "BAY1_PROTMEAS/MMXU1.TotW [MX];Status Signal;BAY1_P_TOT\n"
    "BAY1_PROTCTRL/XCBR1.Pos [CO];Write Trig Signal;BAY1_CB_OPEN_CMD\n"
    "BAY1_PROTCTRL/GGIO1.Ind1.stVal[ST];Result Signal;BAY1_ALM_GAS_LOW\n"
    "BAY1_PROTCTRL/XCBR1.Pos.Oper [CO];Write Trig Signal;BAY1_CB_CLOSE_CMD\n"
    "BAY1_PROTMEAS/MMXU1.PhV.phsA.cVal.mag.f[MX];Result Signal;"
    "BAY1_UA_MAG\n";

} // namespace

class CommissioningDockTest : public QObject
{
    Q_OBJECT

private slots:
    void recordFillsIsJudgedSavedAndResumes();
};

void CommissioningDockTest::recordFillsIsJudgedSavedAndResumes()
{
    QTemporaryDir dir;
    const QString project = dir.filePath("bay1.sclpro");
    QFile rules(dir.filePath("rules.csv"));
    QVERIFY(rules.open(QIODevice::WriteOnly));
    rules.write(Bindings);
    rules.close();
    // The project as the command line makes it: the whole model picked, four signals bound.
    for (const QStringList &command :
         {QStringList{"new", sourceFile("examples/substation.scd"), "--ied", "BAY1_PROT", "--out",
                      project, "--signals", sourceFile("examples/signals.csv")},
          QStringList{"pick", project, "--all"},
          QStringList{"pick", project, "--objects", "Oper ln:XCBR"},
          QStringList{"bind", project, rules.fileName()}}) {
        QString text;
        QTextStream out(&text);
        QVERIFY2(CommandLineTool(out, out).run(command) == 0, qPrintable(text));
    }

    std::shared_ptr<MmsServerModel> model =
        IedSimulatorModel::fromSclFile(sourceFile("examples/substation.scd"), "BAY1_PROT");
    IedServerThread server;
    QVERIFY(server.start(model, QHostAddress::LocalHost, 0));
    IedSimulator simulator(model);
    simulator.start(100);

    TemporarySettings settings;
    ScriptedPrompt prompt;
    MainWindow window;
    window.show();
    CommissioningController *commissioning = window.commissioning();
    CommissioningRecord *record = commissioning->record();
    CommissioningPanel *panel = commissioning->panel();
    QAbstractItemModelTester tester(panel->filter(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    window.openRecent(project, RecentFiles::Projects);
    QCOMPARE(record->rowCount(), 6);

    window.findChild<QLineEdit *>("lineEdit_Port")->setText(QString::number(server.serverPort()));
    panel->setPollIntervalMs(100);
    panel->findChild<QPushButton *>("pushButton_startCommissioning")->click();
    QVERIFY(commissioning->dock()->isVisible());
    const auto rowOf = [record](const QString &label) {
        const CommissioningPoints &points = record->points();
        return int(std::find_if(points.cbegin(), points.cend(),
                                [&label](const CommissioningPoint &point) {
                                    return point.signalLabel == label;
                                }) -
                   points.cbegin());
    };
    const int measurand = rowOf("BAY1_P_TOT");
    const int breaker = rowOf("BAY1_CB_POS");
    const int oper = rowOf("BAY1_CB_CLOSE_CMD");
    const int voltage = rowOf("BAY1_UA_MAG");
    QTRY_VERIFY_WITH_TIMEOUT(record->summary().neverSeen == 0 && record->isPassable(measurand) &&
                                 record->isPassableWithoutQuality(voltage),
                             EventTimeoutMs);
    // The name plate of the device tested, for the cover.
    QCOMPARE(record->device().serialNumber, QStringLiteral("BCU400-000117"));
    QCOMPARE(record->device().configurationRevision, QStringLiteral("Rev 1.3"));

    // One key passes a passable row, and only such a row.
    panel->selectRow(breaker);
    QTest::keyClick(panel->table(), Qt::Key_Space);
    QCOMPARE(record->observation(breaker).verdict, int(CommissioningRecord::NotTested));
    panel->selectRow(measurand);
    QTest::keyClick(panel->table(), Qt::Key_Space);
    QCOMPARE(record->observation(measurand).verdict, int(CommissioningRecord::Passed));
    // The device sends no quality with the voltage: passing it asks once.
    prompt.buttonAnswers << QMessageBox::Yes;
    panel->selectRow(voltage);
    QTest::keyClick(panel->table(), Qt::Key_Space);
    QCOMPARE(record->observation(voltage).verdict, int(CommissioningRecord::Passed));
    QVERIFY(record->observation(voltage).note.contains("without quality"));
    QCOMPARE(prompt.messages.size(), 1);
    panel->selectRow(breaker);
    panel->findChild<QLineEdit *>("lineEdit_verdictNote")->setText("invalid on the device");
    panel->findChild<QPushButton *>("pushButton_failed")->click();
    QCOMPARE(record->observation(breaker).verdict, int(CommissioningRecord::Failed));

    QSignalSpy finished(commissioning, &CommissioningController::sessionFinished);
    panel->findChild<QPushButton *>("pushButton_stopCommissioning")->click();
    QVERIFY(finished.wait(EventTimeoutMs));
    QVERIFY2(panel->statusText().contains("saved in the project"), qPrintable(panel->statusText()));
    const int changes = record->observation(measurand).changes;

    // The command row of an Oper pick is tested through the Test control
    // dialog on its control object; outside a session its outcome is the
    // verdict, never a value.
    const CommissioningObservation beforeOperate = record->observation(oper);
    panel->selectRow(oper);
    prompt.buttonAnswers << QMessageBox::Yes;
    panel->findChild<QPushButton *>("pushButton_testControl")->click();
    auto *dialog = window.findChild<ControlTestDialog *>();
    QVERIFY(dialog);
    auto *operate = dialog->findChild<QPushButton *>("operateButton");
    QTRY_VERIFY_WITH_TIMEOUT(operate->isEnabled(), EventTimeoutMs);
    QVERIFY2(dialog->log().contains("ctlModel 1"), qPrintable(dialog->log()));
    operate->click();
    QTRY_COMPARE_WITH_TIMEOUT(record->observation(oper).verdict, int(CommissioningRecord::Passed),
                              EventTimeoutMs);
    dialog->close();
    const CommissioningObservation afterOperate = record->observation(oper);
    QCOMPARE(afterOperate.lastValue, beforeOperate.lastValue);
    QCOMPARE(afterOperate.changes, beforeOperate.changes);
    QCOMPARE(afterOperate.lastSeen, beforeOperate.lastSeen);
    QVERIFY2(
        afterOperate.note.contains(QStringLiteral("(at 127.0.0.1:%1)").arg(server.serverPort())),
        qPrintable(afterOperate.note));

    // The note field shows the selected row's note; a verdict keeps a note
    // nobody edited.
    auto *noteField = panel->findChild<QLineEdit *>("lineEdit_verdictNote");
    panel->selectRow(breaker);
    QCOMPARE(noteField->text(), QStringLiteral("invalid on the device"));
    panel->selectRow(oper);
    QCOMPARE(noteField->text(), afterOperate.note);
    panel->findChild<QPushButton *>("pushButton_failed")->click();
    QCOMPARE(record->observation(oper).note, afterOperate.note);
    panel->findChild<QPushButton *>("pushButton_passed")->click();

    // The hand-over names its tester and lists the rows the table shows.
    prompt.dialogHandler = [](QDialog *asked) {
        auto *names = qobject_cast<CommissioningNamesDialog *>(asked);
        if (!names)
            return int(QDialog::Rejected);
        names->setTester("A. Tester");
        names->setWitness("W. Itness");
        return int(QDialog::Accepted);
    };
    const QString handOver = dir.filePath("record.xlsx");
    prompt.fileAnswers << handOver;
    panel->findChild<QPushButton *>("pushButton_exportRecord")->click();
    QVERIFY(QFileInfo(handOver).size() > 0);

    panel->table()->sortByColumn(CommissioningRecord::ChangesColumn, Qt::AscendingOrder);
    window.closeProject();
    QCOMPARE(record->rowCount(), 0);
    window.openRecent(project, RecentFiles::Projects);
    QCOMPARE(record->rowCount(), 6);
    QCOMPARE(record->observation(measurand).verdict, int(CommissioningRecord::Passed));
    QCOMPARE(record->observation(measurand).changes, changes);
    // Sorted as the header shows, by what the file kept.
    QVector<int> shownChanges;
    for (int row : panel->filter()->shownRows())
        shownChanges << record->observation(row).changes;
    QVERIFY(std::is_sorted(shownChanges.cbegin(), shownChanges.cend()));
    QVERIFY(shownChanges.first() < shownChanges.last());
    QCOMPARE(record->observation(breaker).note, QStringLiteral("invalid on the device"));
    QCOMPARE(record->observation(oper).verdict, int(CommissioningRecord::Passed));
    QCOMPARE(record->deviceAddress(), QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));

    // Closing the project ends a running session and keeps what it saw.
    panel->findChild<QPushButton *>("pushButton_startCommissioning")->click();
    QTRY_VERIFY_WITH_TIMEOUT(record->observation(measurand).changes > changes, EventTimeoutMs);
    const int seenBeforeClosing = record->observation(measurand).changes;
    window.closeProject();
    QVERIFY(!commissioning->isRunning());
    window.openRecent(project, RecentFiles::Projects);
    QVERIFY(record->observation(measurand).changes >= seenBeforeClosing);

    // Another device asks first; a new record keeps the old one as history.
    IedServerThread other;
    QVERIFY(other.start(model, QHostAddress::LocalHost, 0));
    window.findChild<QLineEdit *>("lineEdit_Port")->setText(QString::number(other.serverPort()));
    prompt.messages.clear();
    prompt.buttonAnswers << QMessageBox::Yes;
    panel->findChild<QPushButton *>("pushButton_startCommissioning")->click();
    QTRY_COMPARE_WITH_TIMEOUT(prompt.messages.size(), 1, EventTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(record->observation(measurand).seen(), EventTimeoutMs);
    QVERIFY2(prompt.messages.first().text.contains(
                 QStringLiteral("address 127.0.0.1:%1").arg(server.serverPort())),
             qPrintable(prompt.messages.first().text));
    QCOMPARE(record->observation(measurand).verdict, int(CommissioningRecord::NotTested));
    QCOMPARE(record->deviceAddress(), QStringLiteral("127.0.0.1:%1").arg(other.serverPort()));
    window.closeProject();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "history");
        db.setDatabaseName(project);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(
            query.exec("SELECT COUNT(*) FROM iec61850_commissioning_history WHERE verdict = 1") &&
            query.next());
        QVERIFY(query.value(0).toInt() >= 3);
    }
    QSqlDatabase::removeDatabase("history");
    simulator.stop();
}

QTEST_MAIN(CommissioningDockTest)
#include "tst_commissioningdock.moc"
