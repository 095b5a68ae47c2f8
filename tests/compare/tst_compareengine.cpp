#include "comparetesthelpers.h"
#include "scriptedprompt.h"

class TestCompareEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void unchangedFileHasNoFinding();
    void findingPerChange_data();
    void findingPerChange();
    void renamedIedStillMatches();
    void membersAsTheDeviceListsThem_data();
    void membersAsTheDeviceListsThem();

private:
    QStandardItemModel v1;
};

void TestCompareEngine::initTestCase()
{
    QVERIFY(parseIed(fixture("station_v1.scd"), Ied, &v1));
}

void TestCompareEngine::unchangedFileHasNoFinding()
{
    ScriptedPrompt prompt;
    Selections s;
    for (const QString &report : {QStringLiteral("BAY1_PROTCTRL/LLN0.BR.brcbStatus"),
                                  QStringLiteral("BAY1_PROTCTRL/LLN0.RP.urcbMeas")})
        pick(s, v1,
             {SclBranch::Reports, Ied, QStringLiteral("CTRL"), QStringLiteral("LLN0"), report});
    pick(s, v1,
         {SclBranch::DataSets, Ied, QStringLiteral("CTRL"), QStringLiteral("LLN0"),
          QStringLiteral("BAY1_PROTCTRL/LLN0.StatusDS")});
    pick(s, v1,
         {SclBranch::DataObjects, Ied, QStringLiteral("CTRL"), QStringLiteral("XCBR1"),
          QStringLiteral("ST"), QStringLiteral("Pos")});
    const ComparisonResult result = compareWith(v1, s, "station_v1.scd");
    for (const CompareFinding &finding : result.findings)
        qWarning().noquote() << findingLine(finding);
    QVERIFY(result.findings.isEmpty());
    QCOMPARE(result.reportResolved, QVector<bool>({true, true}));
}

void TestCompareEngine::findingPerChange_data()
{
    QTest::addColumn<QStringList>("node");
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("severity");
    QTest::addColumn<bool>("resolved");
    const QStringList lln0{Ied, QStringLiteral("CTRL"), QStringLiteral("LLN0")};
    QTest::newRow("renamed data set")
        << QStringList{SclBranch::DataSets} + lln0 + QStringList{"BAY1_PROTCTRL/LLN0.MeasDS"}
        << "missing; the same members form BAY1_PROTCTRL/LLN0.MeasDS2"
        << int(FindingSeverity::Error) << false;
    QTest::newRow("reordered members")
        << QStringList{SclBranch::DataSets} + lln0 + QStringList{"BAY1_PROTCTRL/LLN0.StatusDS"}
        << "members reordered" << int(FindingSeverity::Error) << true;
    QTest::newRow("dropped report control block")
        << QStringList{SclBranch::Reports} + lln0 + QStringList{"BAY1_PROTCTRL/LLN0.RP.urcbStatus"}
        << "report control block missing" << int(FindingSeverity::Error) << false;
    QTest::newRow("changed confRev")
        << QStringList{SclBranch::Reports} + lln0 + QStringList{"BAY1_PROTCTRL/LLN0.BR.brcbStatus"}
        << "confRev differs" << int(FindingSeverity::Warning) << true;
    QTest::newRow("data set reference of a report")
        << QStringList{SclBranch::Reports} + lln0 + QStringList{"BAY1_PROTCTRL/LLN0.RP.urcbMeas"}
        << "data set reference changed" << int(FindingSeverity::Error) << true;
    QTest::newRow("MMS type of an attribute")
        << QStringList{SclBranch::DataObjects, Ied, "CTRL", "XCBR1", "ST", "OpCnt"}
        << "MMS type of stVal changed" << int(FindingSeverity::Error) << true;
}

void TestCompareEngine::findingPerChange()
{
    QFETCH(QStringList, node);
    QFETCH(QString, what);
    QFETCH(int, severity);
    QFETCH(bool, resolved);
    ScriptedPrompt prompt;
    Selections s;
    pick(s, v1, node);
    const ComparisonResult result = compareWith(v1, s, "station_v2.scd");

    // The name plate moved from Rev 1.3 to Rev 1.4 in the second file.
    QCOMPARE(result.findings.first().what,
             QStringLiteral("name plate configuration revision differs"));
    QCOMPARE(result.findings.first().found, QStringLiteral("Rev 1.4"));
    QCOMPARE(result.findings.size(), 2);
    const CompareFinding finding = result.findings.at(1);
    QCOMPARE(finding.what, what);
    QCOMPARE(int(finding.severity), severity);
    QCOMPARE(finding.pickRow, 0);
    const QVector<bool> resolvedFlags =
        result.objectResolved + result.dataSetResolved + result.reportResolved;
    QCOMPARE(resolvedFlags, QVector<bool>{resolved});
}

void TestCompareEngine::renamedIedStillMatches()
{
    ScriptedPrompt prompt;
    Selections s;
    pick(s, v1, {SclBranch::DataObjects, Ied, "CTRL", "XCBR1", "ST", "Pos"});
    ModelSnapshot found = ModelSnapshot::fromProjectRoot(v1.item(0, 0));
    found.iedName = QStringLiteral("BAY9");
    // Keys are relative to the IED, so only the name itself differs.
    const ComparisonResult result = CompareEngine::compare(
        ProjectPicks::fromModels(&v1, &s.objects, &s.datasets, &s.reports), found);
    QCOMPARE(result.findings.size(), 1);
    QCOMPARE(result.findings.first().what, QStringLiteral("IED name differs"));
    QCOMPARE(result.objectResolved, QVector<bool>{true});
}

void TestCompareEngine::membersAsTheDeviceListsThem_data()
{
    QTest::addColumn<QString>("named");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QStringList>("whats");
    // A device gives every member its constraint; the file names a data
    // object member, a sub data object's too, without it.
    QTest::newRow("sub data object") << "MEAS/MMXU1.PhV.phsA"
                                     << "MEAS/MMXU1.PhV.phsA[MX]" << QStringList();
    QTest::newRow("data object") << "MEAS/MMXU1.TotW"
                                 << "MEAS/MMXU1.TotW[MX]" << QStringList();
    QTest::newRow("another sub data object")
        << "MEAS/MMXU1.PhV.phsA"
        << "MEAS/MMXU1.PhV.phsB[MX]" << QStringList{"member removed", "member added"};
}

void TestCompareEngine::membersAsTheDeviceListsThem()
{
    QFETCH(QString, named);
    QFETCH(QString, listed);
    QFETCH(QStringList, whats);
    ProjectPicks picks;
    picks.iedName = Ied;
    picks.dataSets.append({0, Ied + "MEAS/LLN0.MMXU1$MX", {Ied + named, Ied + "MEAS/MMXU1.A[MX]"}});
    ModelSnapshot found;
    found.iedName = Ied;
    found.dataSets.insert("MEAS/LLN0.MMXU1$MX", {listed, "MEAS/MMXU1.A[MX]"});
    QStringList foundWhats;
    for (const CompareFinding &finding : CompareEngine::compare(picks, found).findings)
        foundWhats.append(finding.what);
    QCOMPARE(foundWhats, whats);
}

QTEST_MAIN(TestCompareEngine)
#include "tst_compareengine.moc"
