// Which watched block a report belongs to when blocks share one RptID, as
// vendor files often have it: the report's data set reference, its buffered
// fields and its member count decide, and what cannot be told apart stays
// ambiguous rather than going to the first block.

#include "clientreportmatcher.h"

#include <QtTest>

class TestReportMatcher : public QObject
{
    Q_OBJECT

private slots:
    void candidates_data();
    void candidates();
};

namespace {

ReportSource source(const QString &name, const QString &rptId, const QString &dataSet, int members,
                    int optFlds = ReportOptionSeqNum)
{
    ReportSource one;
    one.rcbReference = QStringLiteral("LD/LLN0$") + name;
    one.rptId = rptId;
    one.dataSet = dataSet;
    one.memberCount = members;
    one.kind = ReportSource::kindOf(one.rcbReference);
    one.optFlds = optFlds;
    return one;
}

} // namespace

void TestReportMatcher::candidates_data()
{
    QTest::addColumn<QString>("rptId");
    QTest::addColumn<int>("optFlds");
    QTest::addColumn<QString>("dataSet");
    QTest::addColumn<int>("members");
    QTest::addColumn<QVector<int>>("expected");

    // 0 and 1 (unbuffered, buffered) share RptID "Meas" and a data set of 4;
    // 2 and 3 share "Ev" with data sets of 4 and 6; 4 has an empty RptID; 8
    // and 9 share "Pair" with data sets of 4; 10 and 11 share "Both" and were
    // both asked for EntryID.
    const int plain = ReportOptionSeqNum;
    const int withDataSet = plain | ReportOptionDataSet;
    const int buffered = plain | ReportOptionEntryId;
    using V = QVector<int>;
    QTest::newRow("an RptID of its own") << "Alone" << plain << "" << 2 << V{5};
    QTest::newRow("no RptID watched") << "Other" << plain << "" << 4 << V{};
    QTest::newRow("empty RptID: the block's reference")
        << "LD/LLN0$RP$Own01" << plain << "" << 3 << V{4};
    QTest::newRow("shared, data set reference")
        << "Pair" << withDataSet << "LD/LLN0$PairB" << 4 << V{9};
    QTest::newRow("shared, without the data set reference")
        << "Pair" << plain << "" << 4 << V{8, 9};
    QTest::newRow("shared, data set written with dots")
        << "Meas" << withDataSet << "LD/LLN0.MeasA" << 4 << V{0};
    QTest::newRow("shared, EntryID: the buffered block") << "Meas" << buffered << "" << 4 << V{1};
    QTest::newRow("shared, no EntryID where the buffered block asked for one")
        << "Meas" << plain << "" << 4 << V{0};
    QTest::newRow("shared, EntryID an unbuffered block was asked for too")
        << "Both" << buffered << "" << 4 << V{10, 11};
    QTest::newRow("shared, member count") << "Ev" << plain << "" << 6 << V{3};
    QTest::newRow("shared, member count of the other") << "Ev" << plain << "" << 4 << V{2};
    QTest::newRow("shared, no block fits") << "Ev" << plain << "" << 5 << V{};
    QTest::newRow("shared, nothing tells them apart") << "Twin" << plain << "" << 4 << V{6, 7};
}

void TestReportMatcher::candidates()
{
    QFETCH(QString, rptId);
    QFETCH(int, optFlds);
    QFETCH(QString, dataSet);
    QFETCH(int, members);
    QFETCH(QVector<int>, expected);

    const int withEntryId = ReportOptionSeqNum | ReportOptionEntryId;
    const QVector<ReportSource> sources{
        source("RP$MeasRCB01", "Meas", "LD/LLN0$MeasA", 4),
        source("BR$MeasRCB01", "Meas", "LD/LLN0$MeasB", 4, withEntryId),
        source("RP$EvA01", "Ev", "LD/LLN0$EvA", 4),
        source("RP$EvB01", "Ev", "LD/LLN0$EvB", 6),
        source("RP$Own01", "", "LD/LLN0$EvA", 3),
        source("RP$Alone01", "Alone", "LD/LLN0$EvA", 2),
        source("RP$TwinA", "Twin", "", -1),
        source("RP$TwinB", "Twin", "", -1),
        source("RP$PairA", "Pair", "LD/LLN0$PairA", 4),
        source("RP$PairB", "Pair", "LD/LLN0$PairB", 4),
        source("RP$BothRCB", "Both", "LD/LLN0$Both", 4, withEntryId),
        source("BR$BothRCB", "Both", "LD/LLN0$Both", 4, withEntryId),
    };
    Iec61850Report report;
    report.rptId = rptId;
    report.optFlds = optFlds;
    report.dataSetReference = dataSet;
    report.inclusion.fill(true, members);
    QCOMPARE(ReportMatcher::candidates(sources, report), expected);
}

QTEST_GUILESS_MAIN(TestReportMatcher)
#include "tst_reportmatcher.moc"
