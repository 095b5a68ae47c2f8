// The DataObjects branch: constraint grouping, node ids with their gaps, type
// expansion, arrays, MMS types, control models and bad type templates.

#include "scldataobjectspass.h"
#include "sclparser.h"
#include "sclparsertesthelpers.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

class TestSclDataObjects : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void buildsNodes_data();
    void buildsNodes();
    void groupsByConstraint_data();
    void groupsByConstraint();
    void countsIdsOfRemovedNodes();
    void marksControlModel_data();
    void marksControlModel();
    void keepsCtlModelRecords();
    void mapsBasicTypes_data();
    void mapsBasicTypes();
    void survivesBadTypes();
    void cutsDeepNesting();

private:
    QStandardItemModel model;
    SclParser parser;
};

namespace {
const QStringList mmxu{"DataObjects", "E1", "LD1", "MMXU1"};
}

void TestSclDataObjects::initTestCase()
{
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(parser.loadIedNames(fixture("model.scd")).contains("E1"));
    QVERIFY(parser.parse("E1", &model));
}

void TestSclDataObjects::buildsNodes_data()
{
    QTest::addColumn<QStringList>("path"); // below E1/LD1/MMXU1
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("parentId");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("sclKind");
    QTest::addColumn<int>("treeIndex"); // -1: none
    QTest::addColumn<QString>("bType"); // empty: none
    QTest::addColumn<int>("mmsType");   // -1: none

    // clang-format off
    QTest::newRow("constraint") << QStringList{"ST"} << "3" << "2" << 3 << 3 << -1 << "" << -1;
    QTest::newRow("data object") << QStringList{"ST", "Beh"} << "9" << "3" << 4 << 4 << -1 << "" << 1;
    QTest::newRow("enum leaf") << QStringList{"ST", "Beh", "stVal{ST,Enum}"} << "10" << "9" << 8 << 6 << 0 << "Enum" << 4;
    QTest::newRow("quality leaf") << QStringList{"ST", "Beh", "q{ST,Quality}"} << "11" << "9" << 8 << 6 << 1 << "Quality" << 3;
    QTest::newRow("timestamp leaf") << QStringList{"ST", "Beh", "t{ST,Timestamp}"} << "12" << "9" << 8 << 6 << 2 << "Timestamp" << 14;
    QTest::newRow("MX after removed ST nodes") << QStringList{"MX"} << "13" << "2" << 3 << 3 << -1 << "" << -1;
    QTest::newRow("structure") << QStringList{"MX", "TotW", "mag"} << "15" << "14" << 4 << 6 << 0 << "" << 1;
    QTest::newRow("BDA takes the structure's fc") << QStringList{"MX", "TotW", "mag", "f{MX,FLOAT32}"} << "16" << "15" << 8 << 6 << 0 << "FLOAT32" << 6;
    QTest::newRow("second BDA") << QStringList{"MX", "TotW", "mag", "i{MX,INT32}"} << "17" << "15" << 8 << 6 << 1 << "INT32" << 4;
    QTest::newRow("basic array is a leaf") << QStringList{"MX", "TotW", "hist{MX,FLOAT32}"} << "20" << "14" << 8 << 6 << 4 << "FLOAT32" << 6;
    QTest::newRow("basic array element") << QStringList{"MX", "TotW", "hist{MX,FLOAT32}", "[0]"} << "21" << "20" << 4 << 6 << -1 << "" << 6;
    QTest::newRow("last basic array element") << QStringList{"MX", "TotW", "hist{MX,FLOAT32}", "[2]"} << "23" << "20" << 4 << 6 << -1 << "" << 6;
    QTest::newRow("count 0") << QStringList{"MX", "TotW", "none"} << "24" << "14" << 4 << 6 << 5 << "" << -1;
    QTest::newRow("count not a number") << QStringList{"MX", "TotW", "bad"} << "25" << "14" << 4 << 6 << 6 << "" << -1;
    QTest::newRow("structure array") << QStringList{"MX", "TotW", "arr"} << "26" << "14" << 4 << 6 << 7 << "" << 0;
    QTest::newRow("structure array element") << QStringList{"MX", "TotW", "arr", "[0]"} << "27" << "26" << 4 << 6 << -1 << "" << 1;
    QTest::newRow("leaf in array element") << QStringList{"MX", "TotW", "arr", "[0]", "f{MX,FLOAT32}"} << "28" << "27" << 8 << 6 << 0 << "FLOAT32" << 6;
    QTest::newRow("leaf in second element") << QStringList{"MX", "TotW", "arr", "[1]", "i{MX,INT32}"} << "32" << "30" << 8 << 6 << 1 << "INT32" << 4;
    QTest::newRow("id after a comment child") << QStringList{"MX", "PhV"} << "34" << "13" << 4 << 4 << -1 << "" << 1;
    QTest::newRow("sub data object") << QStringList{"MX", "PhV", "phsA"} << "35" << "34" << 4 << 5 << 0 << "" << 1;
    QTest::newRow("structure in SDO") << QStringList{"MX", "PhV", "phsA", "cVal"} << "36" << "35" << 4 << 6 << 0 << "" << 1;
    QTest::newRow("nested structure leaf") << QStringList{"MX", "PhV", "phsA", "cVal", "ang", "f{MX,FLOAT32}"} << "41" << "40" << 8 << 6 << 0 << "FLOAT32" << 6;
    QTest::newRow("leaf in SDO") << QStringList{"MX", "PhV", "phsA", "q{MX,Quality}"} << "43" << "35" << 8 << 6 << 1 << "Quality" << 3;
    QTest::newRow("second SDO") << QStringList{"MX", "PhV", "phsB", "q{MX,Quality}"} << "52" << "44" << 8 << 6 << 1 << "Quality" << 3;
    QTest::newRow("CF structure") << QStringList{"CF", "TotW", "units"} << "70" << "69" << 4 << 6 << 3 << "" << 1;
    QTest::newRow("CF enum BDA") << QStringList{"CF", "TotW", "units", "multiplier{CF,Enum}"} << "72" << "70" << 8 << 6 << 1 << "Enum" << 4;
    QTest::newRow("visible string") << QStringList{"DC", "TotW", "d{DC,VisString255}"} << "80" << "79" << 8 << 6 << 8 << "VisString255" << 8;
    QTest::newRow("DC beside removed SDOs") << QStringList{"DC", "PhV", "d{DC,VisString255}"} << "85" << "82" << 8 << 6 << 2 << "VisString255" << 8;
    QTest::newRow("PhyComAddr is a structure") << QStringList{"SR", "TotW", "dstAddress"} << "103" << "102" << 4 << 6 << 9 << "PhyComAddr" << 1;
    QTest::newRow("of the address octets") << QStringList{"SR", "TotW", "dstAddress", "Addr{SR,Octet6}"} << "104" << "103" << 8 << 6 << 0 << "Octet6" << 7;
    QTest::newRow("and APPID last") << QStringList{"SR", "TotW", "dstAddress", "APPID{SR,INT16U}"} << "107" << "103" << 8 << 6 << 3 << "INT16U" << 5;
    // clang-format on
}

void TestSclDataObjects::buildsNodes()
{
    QFETCH(QStringList, path);
    QFETCH(QString, id);
    QFETCH(QString, parentId);
    QFETCH(int, kind);
    QFETCH(int, sclKind);
    QFETCH(int, treeIndex);
    QFETCH(QString, bType);
    QFETCH(int, mmsType);

    QStandardItem *node = nodeAt(model, mmxu + path);
    QVERIFY(node);
    QCOMPARE(node->data(NodeIdRole), QVariant(id));
    QCOMPARE(node->data(ParentIdRole), QVariant(parentId));
    QCOMPARE(node->data(KindRole), QVariant(kind));
    QCOMPARE(node->data(SclKindRole), QVariant(sclKind));
    QCOMPARE(node->data(TreeIndexRole), treeIndex < 0 ? QVariant() : QVariant(treeIndex));
    QCOMPARE(node->data(BTypeRole), bType.isEmpty() ? QVariant() : QVariant(bType));
    QCOMPARE(node->data(MmsTypeRole), mmsType < 0 ? QVariant() : QVariant(mmsType));
    QVERIFY(!node->isEditable());
    const char *icon = kind == 8   ? ":/images/DA.png"
                       : kind == 3 ? ":/images/FC.png"
                                   : ":/images/DO.png";
    QVERIFY(hasIcon(node, icon));
}

void TestSclDataObjects::groupsByConstraint_data()
{
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QStringList>("children");

    const QStringList cswi{"DataObjects", "E1", "LD1", "CSWI1"};
    QTest::newRow("only constraints with attributes, in list order")
        << mmxu << QStringList{"ST", "MX", "CF", "DC", "SR"};
    QTest::newRow("data objects without attributes of the constraint are removed")
        << mmxu + QStringList{"ST"} << QStringList{"Beh"};
    QTest::newRow("a data object under each of its constraints")
        << mmxu + QStringList{"MX"} << QStringList{"TotW", "PhV"};
    QTest::newRow("attributes of the constraint in type order")
        << mmxu + QStringList{"MX", "TotW"}
        << QStringList{"mag", "q{MX,Quality}", "t{MX,Timestamp}", "hist{MX,FLOAT32}", "none", "bad",
                       "arr"};
    QTest::newRow("array elements")
        << mmxu + QStringList{"MX", "TotW", "hist{MX,FLOAT32}"} << QStringList{"[0]", "[1]", "[2]"};
    QTest::newRow("count 0 has no children")
        << mmxu + QStringList{"MX", "TotW", "none"} << QStringList();
    QTest::newRow("structure array elements hold the leaves")
        << mmxu + QStringList{"MX", "TotW", "arr", "[1]"}
        << QStringList{"f{MX,FLOAT32}", "i{MX,INT32}"};
    QTest::newRow("SDOs stay where they have attributes")
        << mmxu + QStringList{"DC", "PhV"} << QStringList{"d{DC,VisString255}"};
    QTest::newRow("nested structures")
        << mmxu + QStringList{"MX", "PhV", "phsB", "cVal"} << QStringList{"mag", "ang"};
    QTest::newRow("comments and other tags in a DOType make no node; fc=\"\" matches nothing")
        << cswi << QStringList{"ST", "CF", "CO"};
    QTest::newRow("DAType counts BDAs only")
        << cswi + QStringList{"CO", "Pos", "Oper"}
        << QStringList{"ctlVal{CO,BOOLEAN}", "T{CO,Timestamp}"};
    QTest::newRow("unknown lnType: logical node without children")
        << QStringList{"DataObjects", "E1", "LD1", "GGIO1"} << QStringList();
    QTest::newRow("every LNodeType with the id is expanded")
        << QStringList{"DataObjects", "E1", "LD1", "XSWI1"} << QStringList{"ST", "CF", "CO", "ST"};
    QTest::newRow("first DOType with an id wins")
        << QStringList{"DataObjects", "E1", "LD1", "LLN0"} << QStringList{"ST", "DC"};
    QTest::newRow("logical nodes of the device")
        << QStringList{"DataObjects", "E1", "LD1"}
        << QStringList{"MMXU1", "CSWI1", "CSWI2", "Q0CSWI3", "Q0CSWI4", "GGIO1", "XSWI1", "LLN0"};
}

void TestSclDataObjects::groupsByConstraint()
{
    QFETCH(QStringList, path);
    QFETCH(QStringList, children);
    QStandardItem *node = nodeAt(model, path);
    QVERIFY(node);
    QCOMPARE(childTexts(node), children);
}

void TestSclDataObjects::countsIdsOfRemovedNodes()
{
    // MMXU1 (id 2) uses 180 ids: its removed constraints, data objects, SDOs
    // and the comment's node included.
    QStandardItem *cswi = nodeAt(model, {"DataObjects", "E1", "LD1", "CSWI1"});
    QCOMPARE(cswi->data(NodeIdRole), QVariant(QString("183")));
    QStandardItem *ctlModel =
        nodeAt(model, {"DataObjects", "E1", "LD1", "CSWI1", "CF", "Pos", "ctlModel{CF,Enum}"});
    QCOMPARE(ctlModel->data(NodeIdRole), QVariant(QString("195")));
    QCOMPARE(ctlModel->data(TreeIndexRole), QVariant(2));
    QStandardItem *oper = nodeAt(model, {"DataObjects", "E1", "LD1", "CSWI1", "CO", "Pos", "Oper"});
    QCOMPARE(oper->data(NodeIdRole), QVariant(QString("212")));
    QCOMPARE(oper->data(TreeIndexRole), QVariant(4));
    QCOMPARE(oper->child(1)->data(TreeIndexRole), QVariant(1));
}

void TestSclDataObjects::marksControlModel_data()
{
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QVariant>("ctlModel");

    const QStringList ld{"DataObjects", "E1", "LD1"};
    QTest::newRow("DOI with SDI children still yields its value")
        << ld + QStringList{"CSWI1", "CF", "Pos"} << QVariant(4);
    QTest::newRow("the CO node alike") << ld + QStringList{"CSWI1", "CO", "Pos"} << QVariant(4);
    QTest::newRow("and every node below it")
        << ld + QStringList{"CSWI1", "CO", "Pos", "Oper"} << QVariant(4);
    QTest::newRow("down to the leaves")
        << ld + QStringList{"CSWI1", "CO", "Pos", "Oper", "ctlVal{CO,BOOLEAN}"} << QVariant(4);
    QTest::newRow("not the ST node") << ld + QStringList{"CSWI1", "ST", "Pos"} << QVariant();
    QTest::newRow("no value, no CO mark") << ld + QStringList{"CSWI2", "CO", "Pos"} << QVariant();
    QTest::newRow("first matching child is an SDI, not a DAI")
        << ld + QStringList{"CSWI2", "CF", "Pos"} << QVariant();
    QTest::newRow("unknown value text gives 0")
        << ld + QStringList{"Q0CSWI3", "CF", "Pos"} << QVariant(0);
    QTest::newRow("only direct children, the last one a DAI")
        << ld + QStringList{"Q0CSWI4", "CF", "Pos"} << QVariant();
}

void TestSclDataObjects::marksControlModel()
{
    QFETCH(QStringList, path);
    QFETCH(QVariant, ctlModel);
    QStandardItem *node = nodeAt(model, path);
    QVERIFY(node);
    QCOMPARE(node->data(CtlModelRole), ctlModel);
    // A pick below the operated data object operates with its control model.
    const QVariant below = path.contains("CO") ? ctlModel : QVariant();
    for (int row = 0; row < node->rowCount(); ++row)
        QCOMPARE(node->child(row)->data(CtlModelRole), below);
}

void TestSclDataObjects::keepsCtlModelRecords()
{
    const QList<CtlModelRecord> &records = parser.ctlModelRecords();
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0].lnNode, nodeAt(model, {"DataObjects", "E1", "LD1", "CSWI1"}));
    QCOMPARE(records[0].path, (QStringList{"Pos", "ctlModel"}));
    QCOMPARE(records[0].constraint, QString("CF"));
    QCOMPARE(records[0].value, QString("sbo-with-enhanced-security"));
    QCOMPARE(records[1].lnNode, nodeAt(model, {"DataObjects", "E1", "LD1", "Q0CSWI3"}));
    QCOMPARE(records[1].value, QString("Direct"));
}

void TestSclDataObjects::mapsBasicTypes_data()
{
    QTest::addColumn<QString>("bType");
    QTest::addColumn<int>("code");
    const QList<QPair<QString, int>> table{
        {"BOOLEAN", 2},      {"INT8", 4},         {"INT16", 4},      {"INT32", 4},
        {"INT64", 4},        {"Enum", 4},         {"INT8U", 5},      {"INT16U", 5},
        {"INT32U", 5},       {"FLOAT32", 6},      {"Octet64", 7},    {"VisString64", 8},
        {"VisString129", 8}, {"VisString255", 8}, {"OptFlds", 3},    {"TrgOps", 3},
        {"SIUnit", 4},       {"Unicode255", 13},  {"Timestamp", 14}, {"Quality", 3},
        {"Dbpos", 3},        {"Tcmd", 3},         {"INT24", 4},      {"FLOAT64", 6},
        {"VisString32", 8},  {"EntryTime", 10},   {"boolean", 4},    {"", 4},
        {"Check", 3},        {"INT128", 4},       {"INT24U", 5},     {"VisString65", 8},
        {"Octet6", 7},       {"Octet16", 7},      {"EntryID", 7},    {"ObjRef", 8},
        {"Currency", 8},     {"SvOptFlds", 3},    {"PhyComAddr", 1}, {"VisString", 4},
        {"Octet64x", 4},     {"check", 4},
    };
    for (const auto &entry : table)
        QTest::newRow(qPrintable(entry.first.isEmpty() ? QString("empty") : entry.first))
            << entry.first << entry.second;
}

void TestSclDataObjects::mapsBasicTypes()
{
    QFETCH(QString, bType);
    QFETCH(int, code);
    QCOMPARE(SclDataObjectsPass::mmsTypeOf(bType), code);
}

void TestSclDataObjects::survivesBadTypes()
{
    SclParser bad;
    QCOMPARE(bad.loadIedNames(fixture("badtypes.scd")), QStringList{"B1"});
    QStandardItemModel badModel;
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("DOType REC_DO contains itself.*recursion is cut"));
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("DAType A_T contains itself.*recursion is cut"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("big .*count 2000000000"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("nested .*count 100000"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("x .*count 100000"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("more than \\d+ nodes"));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(bad.parse("B1", &badModel));

    const QStringList ggio{"DataObjects", "B1", "LD", "GGIO1"};
    QCOMPARE(childTexts(nodeAt(badModel, ggio + QStringList{"ST"})),
             (QStringList{"Rec", "Loop", "Counts", "DanglingDa"}));
    QCOMPARE(childTexts(nodeAt(badModel, ggio + QStringList{"ST", "Rec"})),
             QStringList{"stVal{ST,BOOLEAN}"});
    QCOMPARE(childTexts(nodeAt(badModel, ggio + QStringList{"ST", "Loop", "s"})),
             QStringList{"ok{ST,INT32}"});
    QCOMPARE(childTexts(nodeAt(badModel, ggio + QStringList{"ST", "DanglingDa"})),
             QStringList{"ok{ST,BOOLEAN}"});
    QCOMPARE(childTexts(nodeAt(badModel, ggio + QStringList{"ST", "Counts"})),
             (QStringList{"big{ST,FLOAT32}", "neg", "overflow", "blank{ST,FLOAT32}"}));
    QStandardItem *big = nodeAt(badModel, ggio + QStringList{"ST", "Counts", "big{ST,FLOAT32}"});
    QCOMPARE(big->rowCount(), SclDataObjectsPass::MaxArrayLength);
    QCOMPARE(nodeAt(badModel, ggio + QStringList{"ST", "Counts", "neg"})->rowCount(), 0);
    QCOMPARE(nodeAt(badModel, ggio + QStringList{"ST", "Counts", "blank{ST,FLOAT32}"})->rowCount(),
             2);
    // The nested arrays stop at the node budget; later logical nodes are
    // still listed.
    QStandardItem *nested = nodeAt(badModel, ggio + QStringList{"MX", "Counts", "nested"});
    QVERIFY(nested);
    QVERIFY(nested->rowCount() < SclDataObjectsPass::MaxArrayLength);
    QVERIFY(nodeAt(badModel, {"DataObjects", "B1", "LD", "GGIO2"}));
    qDebug() << "bad types parsed in" << timer.elapsed() << "ms";
}

void TestSclDataObjects::cutsDeepNesting()
{
    // A chain of distinct structure types deeper than any real model.
    const int levels = SclDataObjectsPass::MaxNestingDepth + 10;
    QByteArray content = "<SCL><IED name=\"D\"><LDevice inst=\"LD\">"
                         "<LN lnClass=\"GGIO\" inst=\"1\" lnType=\"L\"/></LDevice></IED>"
                         "<DataTypeTemplates><LNodeType id=\"L\"><DO name=\"Deep\" type=\"O\"/>"
                         "</LNodeType><DOType id=\"O\"><DA name=\"s\" bType=\"Struct\" "
                         "type=\"T0\" fc=\"ST\"/><DA name=\"ok\" bType=\"BOOLEAN\" "
                         "fc=\"ST\"/></DOType>";
    for (int i = 0; i < levels; ++i) {
        content += QStringLiteral("<DAType id=\"T%1\"><BDA name=\"b\" bType=\"Struct\" "
                                  "type=\"T%2\"/></DAType>")
                       .arg(i)
                       .arg(i + 1)
                       .toUtf8();
    }
    content += QStringLiteral("<DAType id=\"T%1\"><BDA name=\"leaf\" bType=\"INT32\"/>"
                              "</DAType></DataTypeTemplates></SCL>")
                   .arg(levels)
                   .toUtf8();
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(content);
    file.close();

    SclParser deep;
    QCOMPARE(deep.loadIedNames(file.fileName()), QStringList{"D"});
    QStandardItemModel deepModel;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("nested deeper than \\d+ levels"));
    QVERIFY(deep.parse("D", &deepModel));
    // The chain never reaches its leaf, so the structure goes; the rest stays.
    QCOMPARE(childTexts(nodeAt(deepModel, {"DataObjects", "D", "LD", "GGIO1", "ST", "Deep"})),
             QStringList{"ok{ST,BOOLEAN}"});
}

QTEST_MAIN(TestSclDataObjects)
#include "tst_scldataobjects.moc"
