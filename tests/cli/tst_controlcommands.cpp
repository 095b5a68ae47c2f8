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

    using L = QStringList;
    QTest::newRow("direct") << L{"IEDLD/GGIO1.SPCSO1", "on"} << 0 << L{"GGIO1$CO$SPCSO1$Oper"}
                            << "operate (write Oper, ctlNum 1, Test off): OK";
    QTest::newRow("sbo normal") << L{"IEDLD/GGIO1.SPCSO2", "true"} << 0
                                << L{"GGIO1$CO$SPCSO2$SBO", "GGIO1$CO$SPCSO2$Oper"}
                                << "select (read SBO): OK";
    QTest::newRow("direct enhanced") << L{"IEDLD/GGIO1.SPCSO3", "1", "--test"} << 0
                                     << L{"GGIO1$CO$SPCSO3$Oper"} << "CommandTermination+";
    QTest::newRow("sbo enhanced, cancel")
        << L{"IEDLD/GGIO1.SPCSO4", "off", "--cancel", "--origin", "2:bay"} << 0
        << L{"GGIO1$CO$SPCSO4$SBOw", "GGIO1$CO$SPCSO4$Cancel"} << "cancel (write Cancel): OK";
    QTest::newRow("status-only") << L{"IEDLD/GGIO1.SPCSO0", "on"} << 1 << L{}
                                 << "ctlModel 0 (status-only), no commands";
    QTest::newRow("refused") << L{"IEDLD/GGIO1.SPCSO1", "on", "--check", "synchro"} << 1
                             << L{"GGIO1$CO$SPCSO1$Oper"} << "AddCause 9 (Blocked-by-process)";
    QTest::newRow("bad value") << L{"IEDLD/GGIO1.SPCSO1", "maybe"} << 2 << L{} << "";
    QTest::newRow("bad check") << L{"IEDLD/GGIO1.SPCSO1", "on", "--check", "x"} << 2 << L{} << "";
}

void TestControlCommands::exitCodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, commands);
    QFETCH(QString, printed);

    ControlPeer device(ControlPeer::exampleModel());
    if (QString(QTest::currentDataTag()) == QLatin1String("refused"))
        device.controls().setRefusalPercent(100);
    QString output;
    QString errors;
    QTextStream out(&output);
    QTextStream err(&errors);
    const QString address = QStringLiteral("127.0.0.1:%1").arg(device.port());
    QCOMPARE(ControlCommands::operate(QStringList{address} + arguments, out, err), exitCode);
    out.flush();
    QVERIFY2(output.contains(printed), qPrintable(output + errors));
    QCOMPARE(device.commands(), commands);
}

QTEST_GUILESS_MAIN(TestControlCommands)
#include "tst_controlcommands.moc"
