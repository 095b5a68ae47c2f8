// The DataSets and Reports branches: data set members, copied data objects,
// report control block values and the IED's report settings.

#include "scldatasetspass.h"
#include "sclparser.h"
#include "sclparsertesthelpers.h"

#include <QAbstractItemModelTester>
#include <QRegularExpression>
#include <QtTest>

class TestSclDataSetsReports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listsOnlyLogicalNodesWithDataSets();
    void buildsAttributeMembers_data();
    void buildsAttributeMembers();
    void copiesDataObjectMembers();
    void findsDataObjectNodes_data();
    void findsDataObjectNodes();
    void readsReportControls_data();
    void readsReportControls();
    void buildsReportNodes();
    void readsReportSettings();

private:
    QStandardItemModel model;
    SclParser parser;
};

namespace {
const QStringList lln0Sets{"DataSets", "E1", "LD1", "LLN0"};
const QStringList lln0Reports{"Reports", "E1", "LD1", "LLN0"};
} // namespace

void TestSclDataSetsReports::initTestCase()
{
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(parser.loadIedNames(fixture("model.scd")).contains("E1"));
    // An indexed text other than "true" or "false" is read as true, and said.
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("block odd .*indexed yes"));
    QVERIFY(parser.parse("E1", &model));
}

void TestSclDataSetsReports::listsOnlyLogicalNodesWithDataSets()
{
    // Logical devices appear even when empty; logical nodes only with data sets.
    QCOMPARE(childTexts(nodeAt(model, {"DataSets", "E1"})), (QStringList{"LD1", "LD2"}));
    QCOMPARE(childTexts(nodeAt(model, {"DataSets", "E1", "LD1"})), QStringList{"LLN0"});
    QCOMPARE(childTexts(nodeAt(model, {"DataSets", "E1", "LD2"})), QStringList());
    QCOMPARE(childTexts(nodeAt(model, {"Reports", "E1", "LD1"})), QStringList{"LLN0"});
    QCOMPARE(childTexts(nodeAt(model, {"Reports", "E1", "LD2"})), QStringList());
    QCOMPARE(nodeAt(model, {"DataSets", "E1", "LD2"})->data(NodeIdRole), QVariant(QString("13")));
    QCOMPARE(nodeAt(model, {"Reports", "E1", "LD2"})->data(NodeIdRole), QVariant(QString("7")));

    QStandardItem *ln = nodeAt(model, lln0Sets);
    QCOMPARE(ln->data(KindRole), QVariant(int(LogicalNodeKind)));
    QCOMPARE(ln->data(NodeIdRole), QVariant(QString("2")));
    QCOMPARE(ln->data(ParentIdRole), QVariant(QString("1")));
    QVERIFY(hasIcon(ln, ":/images/LN.png"));
    QCOMPARE(childTexts(ln), (QStringList{"E1LD1/LLN0.DS1", "E1LD1/LLN0.Empty"}));
    QStandardItem *dataSet = ln->child(0);
    QCOMPARE(dataSet->data(KindRole), QVariant(int(DataSetKind)));
    QCOMPARE(dataSet->data(NodeIdRole), QVariant(QString("3")));
    QCOMPARE(dataSet->data(ParentIdRole), QVariant(QString("2")));
    QVERIFY(hasIcon(dataSet, ":/images/DS.png"));
    QCOMPARE(ln->child(1)->data(NodeIdRole), QVariant(QString("12")));
    QCOMPARE(ln->child(1)->rowCount(), 0);
    QVERIFY(!dataSet->data(SclKindRole).isValid());
}

void TestSclDataSetsReports::buildsAttributeMembers_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("bType");
    QTest::addColumn<int>("mmsType");

    QTest::newRow("leaf") << 0 << "E1LD1/CSWI1.Pos.stVal[ST]"
                          << "4"
                          << "Dbpos" << 3;
    QTest::newRow("leaf inside a structure") << 1 << "E1LD1/MMXU1.TotW.mag.f[MX]"
                                             << "5"
                                             << "FLOAT32" << 6;
    QTest::newRow("structure") << 2 << "E1LD1/MMXU1.TotW.mag[MX]"
                               << "6"
                               << "Struct" << 1;
    QTest::newRow("not found has no type") << 3 << "E1LD1/MMXU1.TotW.nothing[MX]"
                                           << "7"
                                           << "" << -1;
    QTest::newRow("below a sub data object") << 4 << "E1LD1/MMXU1.PhV.phsA.cVal.mag.f[MX]"
                                             << "8"
                                             << "FLOAT32" << 6;
    QTest::newRow("array of structures") << 7 << "E1LD1/MMXU1.TotW.arr[MX]"
                                         << "9"
                                         << "Struct" << 0;
    QTest::newRow("attribute named in doName") << 8 << "E1LD1/MMXU1.TotW.q[MX]"
                                               << "10"
                                               << "Quality" << 3;
    QTest::newRow("structure named in doName below a sub data object")
        << 9 << "E1LD1/MMXU1.PhV.phsA.cVal.mag[MX]"
        << "11"
        << "Struct" << 1;
}

void TestSclDataSetsReports::buildsAttributeMembers()
{
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(QString, id);
    QFETCH(QString, bType);
    QFETCH(int, mmsType);
    QStandardItem *dataSet = nodeAt(model, lln0Sets + QStringList{"E1LD1/LLN0.DS1"});
    QStandardItem *member = dataSet->child(row);
    QVERIFY(member);
    QCOMPARE(member->text(), text);
    QCOMPARE(member->data(KindRole), QVariant(int(DataAttributeKind)));
    QCOMPARE(member->data(NodeIdRole), QVariant(id));
    QCOMPARE(member->data(ParentIdRole), QVariant(QString("3")));
    QCOMPARE(member->data(BTypeRole).toString(), bType);
    QCOMPARE(member->data(MmsTypeRole), QVariant(mmsType));
    QVERIFY(hasIcon(member, ":/images/DA.png"));
    QCOMPARE(member->rowCount(), 0);
}

void TestSclDataSetsReports::copiesDataObjectMembers()
{
    QStandardItem *dataSet = nodeAt(model, lln0Sets + QStringList{"E1LD1/LLN0.DS1"});
    // Members whose data object has no node under the fc, or whose logical
    // device does not exist, are left out.
    QCOMPARE(dataSet->rowCount(), 10);

    QStandardItem *copy = dataSet->child(5);
    QStandardItem *original = nodeAt(model, {"DataObjects", "E1", "LD1", "MMXU1", "MX", "TotW"});
    QCOMPARE(copy->text(), QString("E1LD1/MMXU1.TotW"));
    QCOMPARE(copy->data(NodeIdRole), QVariant(QString("14")));
    QCOMPARE(copy->data(ParentIdRole), QVariant(QString("3")));
    QCOMPARE(copy->data(KindRole), QVariant(int(DataObjectKind)));
    QCOMPARE(copy->data(SclKindRole), QVariant(int(SclDataObjectKind)));
    QVERIFY(hasIcon(copy, ":/images/DO.png"));
    QCOMPARE(childTexts(copy), childTexts(original));
    // The subtree keeps every role of the DataObjects branch.
    QStandardItem *copiedLeaf = copy->child(3);
    QStandardItem *originalLeaf = original->child(3);
    for (int role : {int(Qt::DisplayRole), int(KindRole), int(NodeIdRole), int(ParentIdRole),
                     int(TreeIndexRole), int(BTypeRole), int(MmsTypeRole), int(SclKindRole)})
        QCOMPARE(copiedLeaf->data(role), originalLeaf->data(role));
    QCOMPARE(copiedLeaf->rowCount(), 3);
    QCOMPARE(copiedLeaf->child(2)->data(NodeIdRole), QVariant(QString("23")));
    QVERIFY(copiedLeaf != originalLeaf);
    // The original is untouched.
    QCOMPARE(original->text(), QString("TotW"));
    QCOMPARE(original->data(ParentIdRole), QVariant(QString("13")));

    QStandardItem *sdo = dataSet->child(6);
    QCOMPARE(sdo->text(), QString("E1LD1/MMXU1.PhV.phsA"));
    QCOMPARE(sdo->data(NodeIdRole), QVariant(QString("35")));
    QCOMPARE(sdo->data(SclKindRole), QVariant(int(SclSubDataObjectKind)));
    QCOMPARE(childTexts(sdo), (QStringList{"cVal", "q{MX,Quality}"}));
}

void TestSclDataSetsReports::findsDataObjectNodes_data()
{
    QTest::addColumn<QString>("ldInst");
    QTest::addColumn<QString>("lnName");
    QTest::addColumn<QString>("doName");
    QTest::addColumn<QString>("fc");
    QTest::addColumn<QString>("expectedId"); // empty: not found

    QTest::newRow("data object") << "LD1"
                                 << "MMXU1"
                                 << "TotW"
                                 << "MX"
                                 << "14";
    QTest::newRow("sub data object with a dot") << "LD1"
                                                << "MMXU1"
                                                << "PhV.phsB"
                                                << "MX"
                                                << "44";
    QTest::newRow("sub data object with a slash") << "LD1"
                                                  << "MMXU1"
                                                  << "PhV/phsA"
                                                  << "MX"
                                                  << "35";
    QTest::newRow("wrong constraint") << "LD1"
                                      << "MMXU1"
                                      << "Beh"
                                      << "MX"
                                      << "";
    QTest::newRow("wrong logical node") << "LD1"
                                        << "MMXU2"
                                        << "TotW"
                                        << "MX"
                                        << "";
    QTest::newRow("wrong device") << "LD2"
                                  << "MMXU1"
                                  << "TotW"
                                  << "MX"
                                  << "";
    QTest::newRow("path below a leaf") << "LD1"
                                       << "MMXU1"
                                       << "TotW.q"
                                       << "MX"
                                       << "";
}

void TestSclDataSetsReports::findsDataObjectNodes()
{
    QFETCH(QString, ldInst);
    QFETCH(QString, lnName);
    QFETCH(QString, doName);
    QFETCH(QString, fc);
    QFETCH(QString, expectedId);
    QStandardItem *ied = nodeAt(model, {"DataObjects", "E1"});
    QStandardItem *node =
        SclDataSetsPass::findDataObjectNode("E1", ldInst, lnName, doName, fc, ied);
    if (expectedId.isEmpty()) {
        QVERIFY(!node);
    } else {
        QVERIFY(node);
        QCOMPARE(node->data(NodeIdRole), QVariant(expectedId));
    }
    QVERIFY(!SclDataSetsPass::findDataObjectNode("E2", ldInst, lnName, doName, fc, ied));
}

void TestSclDataSetsReports::readsReportControls_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("rptId");
    QTest::addColumn<int>("confRev");
    QTest::addColumn<bool>("buffered");
    QTest::addColumn<int>("bufTime");
    QTest::addColumn<int>("intgPd");
    QTest::addColumn<bool>("indexed");
    QTest::addColumn<QString>("dataSet");
    QTest::addColumn<int>("trgOps");
    QTest::addColumn<int>("optFields");
    QTest::addColumn<int>("maxIndex");

    // clang-format off
    QTest::newRow("unbuffered; indexed absent; gi absent; bufOvfl true; blanks around a number")
        << 0 << "E1LD1/LLN0.RP.urcb" << 6 << "urcb" << "E1/urcb" << 3 << false << 50 << 1000
        << true << "E1LD1/LLN0.DS1" << 1 + 2 + 16 << 1 + 32 + 128 << 5;
    QTest::newRow("buffered; indexed false; bufOvfl false; RptEnabled without max")
        << 1 << "E1LD1/LLN0.BR.brcb" << 7 << "brcb" << "" << 0 << true << 0 << 0
        << false << "E1LD1/LLN0.Missing" << 1 + 4 + 8 + 16 << 2 + 4 + 8 + 16 + 64 << 1;
    QTest::newRow("buffered 1 is not buffered; indexed yes; no TrgOps, OptFields, RptEnabled")
        << 2 << "E1LD1/LLN0.RP.odd" << 6 << "odd" << "" << 0 << false << 0 << -5
        << true << "" << 16 << 0 << 1;
    QTest::newRow("indexed true; max not a number")
        << 3 << "E1LD1/LLN0.RP.explicit" << 6 << "explicit" << "" << 0 << false << 0 << 0
        << true << "" << 16 << 0 << 1;
    // clang-format on
}

void TestSclDataSetsReports::readsReportControls()
{
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(QString, name);
    QFETCH(QString, rptId);
    QFETCH(int, confRev);
    QFETCH(bool, buffered);
    QFETCH(int, bufTime);
    QFETCH(int, intgPd);
    QFETCH(bool, indexed);
    QFETCH(QString, dataSet);
    QFETCH(int, trgOps);
    QFETCH(int, optFields);
    QFETCH(int, maxIndex);

    QStandardItem *node = nodeAt(model, lln0Reports)->child(row);
    QVERIFY(node);
    QCOMPARE(node->text(), text);
    QCOMPARE(node->data(KindRole), QVariant(kind));
    QCOMPARE(node->data(NodeIdRole), QVariant(QString::number(3 + row)));
    QCOMPARE(node->data(ParentIdRole), QVariant(QString("2")));
    QVERIFY(hasIcon(node, buffered ? ":/images/BR.png" : ":/images/RP.png"));
    QVERIFY(!node->isEditable());
    QCOMPARE(node->data(ReportNameRole), QVariant(name));
    QCOMPARE(node->data(RptIdRole), QVariant(rptId));
    QCOMPARE(node->data(ConfRevRole), QVariant(confRev));
    QCOMPARE(node->data(BufferedRole), QVariant(buffered));
    QCOMPARE(node->data(BufTimeRole), QVariant(bufTime));
    QCOMPARE(node->data(IntgPdRole), QVariant(intgPd));
    QCOMPARE(node->data(IndexedRole), QVariant(indexed));
    QCOMPARE(node->data(DatasetRefRole), QVariant(dataSet));
    QCOMPARE(node->data(ReportDatasetRole), QVariant(dataSet));
    QCOMPARE(node->data(TrgOpsRole), QVariant(trgOps));
    QCOMPARE(node->data(OptFieldsRole), QVariant(optFields));
    QCOMPARE(node->data(MaxIndexRole), QVariant(maxIndex));
}

void TestSclDataSetsReports::buildsReportNodes()
{
    // A report's data set reference equals the text of that data set's node.
    QCOMPARE(nodeAt(model, lln0Reports)->child(0)->data(DatasetRefRole).toString(),
             nodeAt(model, lln0Sets)->child(0)->text());
    QStandardItem *ln = nodeAt(model, lln0Reports);
    QCOMPARE(ln->data(NodeIdRole), QVariant(QString("2")));
    QCOMPARE(ln->rowCount(), 4);
}

void TestSclDataSetsReports::readsReportSettings()
{
    // trgOps and intgPd "Dyn"; bufTime "Fix" and optFields "dyn" count 0.
    QStandardItem *ied = nodeAt(model, {"Reports", "E1"});
    QCOMPARE(ied->data(ReportSettingsRole), QVariant(6));
    QCOMPARE(parser.reportSettingsMask(), 6);
    QStandardItem *connection = nodeAt(model, {"Connection"});
    QCOMPARE(connection->child(9, 0)->text(), QString("ReportSets"));
    QCOMPARE(connection->child(9, 1)->text(), QString("6"));
    QVERIFY(!nodeAt(model, {"DataObjects", "E1"})->data(ReportSettingsRole).isValid());
    // Val texts are taken whole.
    QCOMPARE(connection->child(7, 1)->text(), QString("  Rev 7  "));
}

QTEST_MAIN(TestSclDataSetsReports)
#include "tst_scldatasetsreports.moc"
