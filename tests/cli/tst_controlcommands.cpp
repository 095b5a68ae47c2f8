// stationscope-cli operate against a fake IED whose control objects follow
// their control models: the steps each model needs and the exit codes.

#include "controlcommands.h"
#include "controlpeer.h"

#include <QtTest>

class TestControlCommands : public QObject
{
    Q_OBJECT

private slots:
    void exitCodes_data();
    void exitCodes();
};

void TestControlCommands::exitCodes_data()
{
    QTest::addColumn<QStringList>("arguments"); // after HOST:PORT
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("commands"); // what reached the device
    QTest::addColumn<QString>("printed");      // part of the output
    QTest::addColumn<int>("fault");            // ControlPeer::TerminationFault

    using L = QStringList;
    using Fault = ControlPeer::TerminationFault;
    QTest::newRow("direct") << L{"IEDLD/GGIO1.SPCSO1", "on"} << 0 << L{"GGIO1$CO$SPCSO1$Oper"}
                            << "operate (write Oper, ctlNum 1, Test off): OK" << 0;
    QTest::newRow("sbo normal") << L{"IEDLD/GGIO1.SPCSO2", "true"} << 0
                                << L{"GGIO1$CO$SPCSO2$SBO", "GGIO1$CO$SPCSO2$Oper"}
                                << "select (read SBO): OK" << 0;
    QTest::newRow("direct enhanced") << L{"IEDLD/GGIO1.SPCSO3", "1", "--test"} << 0
                                     << L{"GGIO1$CO$SPCSO3$Oper"} << "CommandTermination+" << 0;
    QTest::newRow("sbo enhanced, cancel")
        << L{"IEDLD/GGIO1.SPCSO4", "off", "--cancel", "--origin", "2:bay"} << 0
        << L{"GGIO1$CO$SPCSO4$SBOw", "GGIO1$CO$SPCSO4$Cancel"} << "cancel (write Cancel): OK" << 0;
    QTest::newRow("status-only") << L{"IEDLD/GGIO1.SPCSO0", "on"} << 1 << L{}
                                 << "ctlModel 0 (status-only), no commands" << 0;
    QTest::newRow("refused") << L{"IEDLD/GGIO1.SPCSO1", "on", "--check", "synchro"} << 1
                             << L{"GGIO1$CO$SPCSO1$Oper"}
                             << "; LastApplError ctlNum 1, AddCause 9 (Blocked-by-process)" << 0;
    QTest::newRow("bad value") << L{"IEDLD/GGIO1.SPCSO1", "maybe"} << 1 << L{}
                               << "\"maybe\" is no boolean value" << 0;
    QTest::newRow("no control object")
        << L{"IEDLD/GGIO1.Beh", "on"} << 1 << L{}
        << "IEDLD/GGIO1.Beh is no control object (it has no ctlModel and Oper)" << 0;
    QTest::newRow("no such object") << L{"IEDLD/GGIO1.Nothere", "on"} << 1 << L{}
                                    << "cannot read the control model of IEDLD/GGIO1.Nothere" << 0;
    QTest::newRow("bad check") << L{"IEDLD/GGIO1.SPCSO1", "on", "--check", "x"} << 2 << L{} << ""
                               << 0;

    const L enhanced{"IEDLD/GGIO1.SPCSO3", "on", "--timeout", "2000"};
    const L oper{"GGIO1$CO$SPCSO3$Oper"};
    QTest::newRow("refused, CntrlObj without $Oper")
        << enhanced << 1 << oper << "CommandTermination-: LastApplError ctlNum 1"
        << int(Fault::CntrlObjWithoutOper);
    QTest::newRow("refused, CntrlObj with dots")
        << enhanced << 1 << oper << "CommandTermination-: LastApplError ctlNum 1"
        << int(Fault::CntrlObjWithDots);
    QTest::newRow("refused, LastApplError undecodable")
        << enhanced << 1 << oper
        << "outcome unknown: a CommandTermination whose LastApplError does not decode"
        << int(Fault::ApplErrorUndecodable);
    QTest::newRow("refused, LastApplError of another object")
        << enhanced << 1 << oper
        << "outcome unknown: a CommandTermination whose LastApplError names "
           "\"IEDLD/GGIO1$CO$SPCSO0$Oper\""
        << int(Fault::ApplErrorOfOtherObject);
    QTest::newRow("termination ahead of the Oper response")
        << enhanced << 1 << oper
        << "ignored: CommandTermination+ ctlNum 1 (not after this command's Oper response)\n"
           "no CommandTermination within 2000 ms"
        << int(Fault::BeforeResponse);
    QTest::newRow("termination of another ctlNum")
        << enhanced << 1 << oper
        << "ignored: CommandTermination+ ctlNum 2 (not this command's ctlNum 1)\n"
           "no CommandTermination within 2000 ms"
        << int(Fault::OtherCtlNum);
    QTest::newRow("termination withheld")
        << enhanced << 1 << oper << "no CommandTermination within 2000 ms" << int(Fault::Withheld);
}

void TestControlCommands::exitCodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, commands);
    QFETCH(QString, printed);
    QFETCH(int, fault);

    ControlPeer device(ControlPeer::exampleModel());
    if (QString(QTest::currentDataTag()).startsWith(QLatin1String("refused")))
        device.controls().setRefusalPercent(100);
    device.setTerminationFault(ControlPeer::TerminationFault(fault));
    QString output;
    QString errors;
    QTextStream out(&output);
    QTextStream err(&errors);
    const QString address = QStringLiteral("127.0.0.1:%1").arg(device.port());
    QCOMPARE(ControlCommands::operate(QStringList{address} + arguments, out, err), exitCode);
    out.flush();
    err.flush();
    QVERIFY2((output + errors).contains(printed), qPrintable(output + errors));
    // Scripts look for failures on the error stream; no "OK" of a failed command.
    if (exitCode == 1) {
        QVERIFY2(errors.contains(printed), qPrintable(errors));
        QVERIFY2(!output.contains(QLatin1String(": OK")), qPrintable(output));
    } else if (exitCode == 0) {
        QVERIFY2(errors.isEmpty(), qPrintable(errors));
    }
    QCOMPARE(device.commands(), commands);
}

QTEST_GUILESS_MAIN(TestControlCommands)
#include "tst_controlcommands.moc"
