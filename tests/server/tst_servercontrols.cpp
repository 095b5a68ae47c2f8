// The simulated control objects, command by command: each control model's
// positive path, the refusals with their AddCause, the select time-out and
// cancel. Time is given, so the time-out takes no waiting.

#include "controlpeer.h"
#include "mmspdu.h"
#include "mmsreport.h"
#include "servercontrols.h"

#include <QtTest>

class TestServerControls : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
};

namespace {

const QString Device = QStringLiteral("IEDLD");
constexpr int SelectTimeoutMs = 50;

MmsValue command(bool ctlVal, quint32 ctlNum)
{
    return MmsValue::structure(
        {MmsValue::boolean(ctlVal),
         MmsValue::structure({MmsValue::integer(3), MmsValue::octetString("test")}),
         MmsValue::unsignedInteger(ctlNum), MmsValue::utcTimeFromMs(1000), MmsValue::boolean(false),
         MmsValue::bitString(QByteArray(1, '\0'), 2)});
}

// The AddCause of a LastApplError among pdus, or -1; *terminated tells a
// CommandTermination (+1, or -1 when it carries a LastApplError).
int addCauseOf(const QList<QByteArray> &pdus, int *terminated)
{
    int addCause = -1;
    for (const QByteArray &bytes : pdus) {
        MmsPdu pdu;
        MmsInformationReport report;
        if (!MmsPduCodec::decode(bytes, &pdu) ||
            !MmsReportCodec::decodeInformationReport(pdu, &report))
            continue;
        LastApplError error;
        for (int i = 0; i < report.variables.size(); ++i) {
            if (report.variables.at(i).item == QLatin1String("LastApplError") &&
                LastApplError::fromValue(report.values.at(i), &error))
                addCause = error.addCause;
            if (report.variables.at(i).item.endsWith(QLatin1String("$Oper")))
                *terminated = addCause >= 0 ? -1 : 1;
        }
    }
    return addCause;
}

} // namespace

void TestServerControls::commands_data()
{
    QTest::addColumn<int>("ctlModel");
    // Steps of connection 1 ("other:" for connection 2): select (read SBO),
    // sbow, oper, oper2 (another ctlNum), cancel, wait (past the select
    // time-out), off (Beh off), refuse (every operate refused).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<int>("addCause");
    QTest::addColumn<int>("terminated");
    QTest::addColumn<bool>("stVal");

    using C = QStringList;
    QTest::newRow("status-only") << 0 << C{"oper"} << false << -1 << 0 << false;
    QTest::newRow("direct") << 1 << C{"oper"} << true << -1 << 0 << true;
    QTest::newRow("sbo normal") << 2 << C{"select", "oper"} << true << -1 << 0 << true;
    QTest::newRow("direct enhanced") << 3 << C{"oper"} << true << -1 << 1 << true;
    QTest::newRow("sbo enhanced") << 4 << C{"sbow", "oper"} << true << -1 << 1 << true;
    QTest::newRow("not selected") << 2 << C{"oper"} << false << 18 << 0 << false;
    QTest::newRow("select timed out")
        << 2 << C{"select", "wait", "oper"} << false << 18 << 0 << false;
    QTest::newRow("cancelled") << 4 << C{"sbow", "cancel", "oper"} << false << 18 << 0 << false;
    QTest::newRow("cancel") << 4 << C{"sbow", "cancel"} << true << -1 << 0 << false;
    QTest::newRow("already selected") << 4 << C{"sbow", "other:sbow"} << false << 19 << 0 << false;
    QTest::newRow("inconsistent") << 4 << C{"sbow", "oper2"} << false << 26 << 0 << false;
    QTest::newRow("other client") << 2 << C{"select", "other:oper"} << false << 27 << 0 << false;
    QTest::newRow("blocked by mode") << 1 << C{"off", "oper"} << false << 8 << 0 << false;
    QTest::newRow("refused, normal") << 1 << C{"refuse", "oper"} << false << 9 << 0 << false;
    QTest::newRow("refused, enhanced") << 3 << C{"refuse", "oper"} << true << 9 << -1 << false;
}

void TestServerControls::commands()
{
    QFETCH(int, ctlModel);
    QFETCH(QStringList, steps);
    QFETCH(bool, succeeds);
    QFETCH(int, addCause);
    QFETCH(int, terminated);
    QFETCH(bool, stVal);

    const auto model = ControlPeer::exampleModel();
    ServerControls controls(model);
    controls.setSelectTimeout(SelectTimeoutMs);
    const QString object = QStringLiteral("GGIO1$CO$SPCSO%1").arg(ctlModel);
    quint64 now = 1000;
    ServerControls::WriteOutcome outcome;
    for (QString step : steps) {
        const int connection = step.startsWith(QLatin1String("other:")) ? 2 : 1;
        step.remove(QStringLiteral("other:"));
        if (step == QLatin1String("select")) {
            const MmsValue sbo = controls.readSelect(connection, Device, object + "$SBO", now);
            QCOMPARE(sbo.toString(), Device + "/" + object);
        } else if (step == QLatin1String("wait")) {
            now += SelectTimeoutMs;
        } else if (step == QLatin1String("off")) {
            model->update(Device, QStringLiteral("GGIO1$ST$Beh$stVal"), MmsValue::integer(5));
        } else if (step == QLatin1String("refuse")) {
            controls.setRefusalPercent(100);
        } else {
            const QString member = step == QLatin1String("sbow")     ? QStringLiteral("$SBOw")
                                   : step == QLatin1String("cancel") ? QStringLiteral("$Cancel")
                                                                     : QStringLiteral("$Oper");
            outcome = controls.write(connection, Device, object + member,
                                     command(true, step == QLatin1String("oper2") ? 2 : 1), now);
        }
    }
    QCOMPARE(outcome.result.success, succeeds);
    int terminations = 0;
    QCOMPARE(addCauseOf(outcome.before + outcome.after, &terminations), addCause);
    QCOMPARE(terminations, terminated);
    MmsTypeSpec type;
    MmsValue value;
    QVERIFY(
        model->find(Device, QStringLiteral("GGIO1$ST$SPCSO%1$stVal").arg(ctlModel), &type, &value));
    QCOMPARE(value.boolean(), stVal);
}

QTEST_GUILESS_MAIN(TestServerControls)
#include "tst_servercontrols.moc"
