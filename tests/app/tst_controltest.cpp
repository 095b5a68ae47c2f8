// The Test control dialog with its session against a fake IED: nothing is
// sent before the engineer confirms the device's address, once per run.

#include "controlpeer.h"
#include "controltestcontroller.h"
#include "controltestdialog.h"
#include "controltestsession.h"
#include "eventwait.h"
#include "sclmodel.h"
#include "scriptedprompt.h"

#include <QPushButton>
#include <QStandardItemModel>
#include <QtTest>

class TestControlTest : public QObject
{
    Q_OBJECT

private slots:
    void confirmationComesFirst();
    void operateReportsItsOutcome_data();
    void operateReportsItsOutcome();
    void controlPicks_data();
    void controlPicks();
};

void TestControlTest::confirmationComesFirst()
{
    ControlPeer device(ControlPeer::exampleModel());
    ScriptedPrompt prompt;
    QSet<QString> confirmed;
    ControlTestDialog dialog(QStringLiteral("IEDLD/GGIO1.SPCSO4"),
                             ControlTestSession::address("127.0.0.1", device.port()));
    new ControlTestSession(&dialog, QStringLiteral("127.0.0.1"), device.port(),
                           QStringLiteral("IEDLD/GGIO1.SPCSO4"), &confirmed);
    auto *select = dialog.findChild<QPushButton *>(QStringLiteral("selectButton"));
    auto *operate = dialog.findChild<QPushButton *>(QStringLiteral("operateButton"));
    QTRY_VERIFY_WITH_TIMEOUT(operate->isEnabled(), EventTimeoutMs);
    QVERIFY(dialog.log().contains("ctlModel 4 (sbo-with-enhanced-security)"));

    prompt.buttonAnswers << QMessageBox::No;
    select->click();
    QCOMPARE(prompt.messages.size(), 1);
    QCOMPARE(prompt.messages.first().text,
             QStringLiteral("This sends a command to the device at 127.0.0.1:%1. Continue?")
                 .arg(device.port()));
    QVERIFY(dialog.log().contains("Not sent"));
    QVERIFY(select->isEnabled());

    prompt.buttonAnswers << QMessageBox::Yes;
    select->click();
    QTRY_VERIFY_WITH_TIMEOUT(operate->isEnabled(), EventTimeoutMs);
    operate->click();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.log().contains("CommandTermination+"), EventTimeoutMs);
    QCOMPARE(prompt.messages.size(), 2); // asked once for the device
    QCOMPARE(device.commands(), QStringList({"GGIO1$CO$SPCSO4$SBOw", "GGIO1$CO$SPCSO4$Oper"}));
}

void TestControlTest::operateReportsItsOutcome_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<bool>("selectFirst");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("text");

    using Fault = ControlPeer::TerminationFault;
    QTest::newRow("direct") << "IEDLD/GGIO1.SPCSO1" << false << false << int(Fault::None)
                            << int(ControlOutcome::Positive) << "Test off): OK";
    QTest::newRow("terminated") << "IEDLD/GGIO1.SPCSO4" << true << false << int(Fault::None)
                                << int(ControlOutcome::Positive) << "CommandTermination+";
    QTest::newRow("not selected") << "IEDLD/GGIO1.SPCSO4" << false << false << int(Fault::None)
                                  << int(ControlOutcome::Negative) << "refused";
    QTest::newRow("terminated negatively")
        << "IEDLD/GGIO1.SPCSO3" << false << true << int(Fault::None)
        << int(ControlOutcome::Negative) << "CommandTermination-";
    QTest::newRow("unreadable termination")
        << "IEDLD/GGIO1.SPCSO3" << false << true << int(Fault::ApplErrorUndecodable)
        << int(ControlOutcome::Unknown) << "outcome unknown";
}

void TestControlTest::operateReportsItsOutcome()
{
    QFETCH(QString, reference);
    QFETCH(bool, selectFirst);
    QFETCH(bool, refused);
    QFETCH(int, fault);
    QFETCH(int, outcome);
    QFETCH(QString, text);

    ControlPeer device(ControlPeer::exampleModel());
    device.setTerminationFault(ControlPeer::TerminationFault(fault));
    device.controls().setRefusalPercent(refused ? 100 : 0);
    const QString address = ControlTestSession::address("127.0.0.1", device.port());
    QSet<QString> confirmed{address};
    ControlTestDialog dialog(reference, address);
    new ControlTestSession(&dialog, QStringLiteral("127.0.0.1"), device.port(), reference,
                           &confirmed);
    QSignalSpy outcomes(&dialog, &ControlTestDialog::outcomeReported);
    auto *operate = dialog.findChild<QPushButton *>(QStringLiteral("operateButton"));
    QTRY_VERIFY_WITH_TIMEOUT(operate->isEnabled(), EventTimeoutMs);
    if (selectFirst) {
        dialog.findChild<QPushButton *>(QStringLiteral("selectButton"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(operate->isEnabled(), EventTimeoutMs);
    }
    QVERIFY(outcomes.isEmpty()); // a select proves nothing yet
    operate->click();
    QVERIFY(outcomes.wait(EventTimeoutMs));
    QCOMPARE(int(outcomes.first().at(0).value<ControlOutcome>()), outcome);
    QVERIFY2(outcomes.first().at(1).toString().contains(text),
             qPrintable(outcomes.first().at(1).toString()));
    QVERIFY(dialog.log().contains(text)); // the log keeps saying it
}

void TestControlTest::controlPicks_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("reference");

    QTest::newRow("control pick") << int(DataObjectKind) << "CO"
                                  << "IEDLD/GGIO1.SPCSO1";
    QTest::newRow("status pick") << int(DataObjectKind) << "ST"
                                 << "";
    QTest::newRow("attribute pick") << int(DataAttributeKind) << "CO"
                                    << "";
}

void TestControlTest::controlPicks()
{
    QFETCH(int, kind);
    QFETCH(QString, group);
    QFETCH(QString, reference);

    QStandardItemModel picks;
    auto *pick = new QStandardItem(QStringLiteral("IEDLD/GGIO1.SPCSO1"));
    pick->setData(kind, KindRole);
    pick->setData(group, GroupRole);
    picks.appendRow(pick);
    QCOMPARE(ControlTestController::controlReference(pick), reference);
}

QTEST_MAIN(TestControlTest)
#include "tst_controltest.moc"
