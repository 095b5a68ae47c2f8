#include "comparetesthelpers.h"
#include "iedserverthread.h"
#include "iedsimulatormodel.h"
#include "liveiedsource.h"
#include "scriptedprompt.h"

#include <QHostAddress>

// The live check against the simulated IED on 127.0.0.1: the device made
// from a file shows what the file states.
class TestLiveIedSource : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void findingsMatchTheFile_data();
    void findingsMatchTheFile();
    void nothingListening();

private:
    QStandardItemModel v1;
    Selections s;
};

namespace {

QStringList lines(const CompareFindings &findings)
{
    QStringList result;
    for (const CompareFinding &finding : findings)
        result.append(findingLine(finding));
    return result;
}

} // namespace

void TestLiveIedSource::initTestCase()
{
    QVERIFY(parseIed(fixture("station_v1.scd"), Ied, &v1));
    ScriptedPrompt prompt;
    const QStringList lln0{Ied, "CTRL", "LLN0"};
    for (const char *report : {"BAY1_PROTCTRL/LLN0.BR.brcbStatus", "BAY1_PROTCTRL/LLN0.RP.urcbMeas",
                               "BAY1_PROTCTRL/LLN0.RP.urcbStatus"})
        pick(s, v1, QStringList{SclBranch::Reports} + lln0 + QStringList{report});
    for (const char *dataSet : {"BAY1_PROTCTRL/LLN0.StatusDS", "BAY1_PROTCTRL/LLN0.MeasDS"})
        pick(s, v1, QStringList{SclBranch::DataSets} + lln0 + QStringList{dataSet});
    for (const char *object : {"Pos", "OpCnt"})
        pick(s, v1, {SclBranch::DataObjects, Ied, "CTRL", "XCBR1", "ST", object});
    pick(s, v1, {SclBranch::DataObjects, Ied, "MEAS", "MMXU1", "MX", "A"});
}

void TestLiveIedSource::findingsMatchTheFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("same revision") << "station_v1.scd";
    QTest::newRow("changed revision") << "station_v2.scd";
}

void TestLiveIedSource::findingsMatchTheFile()
{
    QFETCH(QString, file);
    const ProjectPicks picks = ProjectPicks::fromModels(&v1, &s.objects, &s.datasets, &s.reports);
    IedServerThread server;
    QVERIFY(server.start(IedSimulatorModel::fromSclFile(fixture(qPrintable(file)), Ied),
                         QHostAddress::LocalHost, 0));
    LiveIedSource live(QStringLiteral("127.0.0.1"), server.serverPort(), picks.iedName,
                       LiveIedSource::devicesOf(picks));
    ModelSnapshot found;
    QString problem;
    QVERIFY2(live.fetch(&found, &problem), qPrintable(problem));
    server.stop();

    const ComparisonResult result = CompareEngine::compare(picks, found);
    const ComparisonResult offline = compareWith(v1, s, qPrintable(file));
    QCOMPARE(lines(result.findings), lines(offline.findings));
    QCOMPARE(result.reportResolved, offline.reportResolved);
    QCOMPARE(result.hasErrors(), file.endsWith(QLatin1String("v2.scd")));
}

void TestLiveIedSource::nothingListening()
{
    IedServerThread server;
    QVERIFY(server.start(IedSimulatorModel::fromSclFile(fixture("station_v1.scd"), Ied),
                         QHostAddress::LocalHost, 0));
    const quint16 port = server.serverPort();
    server.stop();
    LiveIedSource live(QStringLiteral("127.0.0.1"), port, Ied, {});
    ModelSnapshot found;
    QString problem;
    QVERIFY(!live.fetch(&found, &problem));
    QVERIFY2(problem.startsWith(QLatin1String("cannot connect to 127.0.0.1:")),
             qPrintable(problem));
}

QTEST_MAIN(TestLiveIedSource)
#include "tst_liveiedsource.moc"
