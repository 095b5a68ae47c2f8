// The Test control dialog with its session against a fake IED: nothing is
// sent before the engineer confirms the device's address, once per run.

#include "controlpeer.h"
#include "controltestdialog.h"
#include "controltestsession.h"
#include "scriptedprompt.h"

#include <QPushButton>
#include <QtTest>

class TestControlTest : public QObject
{
    Q_OBJECT

private slots:
    void confirmationComesFirst();
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
    QTRY_VERIFY(operate->isEnabled());
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
    QTRY_VERIFY(operate->isEnabled());
    operate->click();
    QTRY_VERIFY(dialog.log().contains("CommandTermination+"));
    QCOMPARE(prompt.messages.size(), 2); // asked once for the device
    QCOMPARE(device.commands(), QStringList({"GGIO1$CO$SPCSO4$SBOw", "GGIO1$CO$SPCSO4$Oper"}));
}

QTEST_MAIN(TestControlTest)
#include "tst_controltest.moc"
