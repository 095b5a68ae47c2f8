#include "sclmodel.h"

#include <QtTest>

class SclModelTest : public QObject
{
    Q_OBJECT

private slots:
    void rolesKeepTheirStoredNumbers_data();
    void rolesKeepTheirStoredNumbers();
    void functionalConstraintsInOrder();
    void valueListsConvertBothWays_data();
    void valueListsConvertBothWays();
    void unknownValuesConvertSafely_data();
    void unknownValuesConvertSafely();
    void ctlModelCodes_data();
    void ctlModelCodes();
    void references_data();
    void references();
    void nodeNamePartCutsAtFirstBrace_data();
    void nodeNamePartCutsAtFirstBrace();
};

Q_DECLARE_METATYPE(ValueList)

void SclModelTest::rolesKeepTheirStoredNumbers_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<int>("number");
    QTest::newRow("KindRole") << int(KindRole) << 266;
    QTest::newRow("TreeIndexRole") << int(TreeIndexRole) << 267;
    QTest::newRow("GroupRole") << int(GroupRole) << 268;
    QTest::newRow("NodeIdRole") << int(NodeIdRole) << 270;
    QTest::newRow("ParentIdRole") << int(ParentIdRole) << 271;
    QTest::newRow("ConnectionIdRole") << int(ConnectionIdRole) << 272;
    QTest::newRow("CtlModelRole") << int(CtlModelRole) << 274;
    QTest::newRow("TrgOpsRole") << int(TrgOpsRole) << 278;
    QTest::newRow("MaxIndexRole") << int(MaxIndexRole) << 280;
    QTest::newRow("IndexedRole") << int(IndexedRole) << 285;
    QTest::newRow("EditorRole") << int(EditorRole) << 286;
    QTest::newRow("MmsTypeRole") << int(MmsTypeRole) << 287;
    QTest::newRow("BTypeRole") << int(BTypeRole) << 288;
    QTest::newRow("SclKindRole") << int(SclKindRole) << 289;
    QTest::newRow("ReportSettingsRole") << int(ReportSettingsRole) << 290;
    QTest::newRow("leaf kind") << int(DataAttributeKind) << 8;
    QTest::newRow("buffered kind") << int(BufferedReportKind) << 7;
}

void SclModelTest::rolesKeepTheirStoredNumbers()
{
    QFETCH(int, role);
    QFETCH(int, number);
    QCOMPARE(role, number);
}

void SclModelTest::functionalConstraintsInOrder()
{
    QCOMPARE(FunctionalConstraintList(),
             QStringList({"ST", "MX", "SP", "SV", "CF", "DC", "SG", "SE", "SR", "OR", "BL", "EX",
                          "CO", "US", "MS", "RP", "BR", "LG", "GO"}));
}

void SclModelTest::valueListsConvertBothWays_data()
{
    QTest::addColumn<ValueList>("list");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("code");
    QTest::newRow("array") << ValueList::MmsType << "MMS_ARRAY" << 0;
    QTest::newRow("boolean") << ValueList::MmsType << "MMS_BOOLEAN" << 2;
    QTest::newRow("float") << ValueList::MmsType << "MMS_FLOAT" << 6;
    QTest::newRow("visible string") << ValueList::MmsType << "MMS_VISIBLE_STRING" << 8;
    QTest::newRow("unicode") << ValueList::MmsType << "MMS_STRING" << 13;
    QTest::newRow("utc") << ValueList::MmsType << "MMS_UTC_TIME" << 14;
    QTest::newRow("access error") << ValueList::MmsType << "MMS_DATA_ACCESS_ERROR" << 15;
    QTest::newRow("no control") << ValueList::ControlModel << "NoCTL" << 0;
    QTest::newRow("direct enhanced") << ValueList::ControlModel << "DOes" << 3;
    QTest::newRow("sbo enhanced") << ValueList::ControlModel << "SBOes" << 4;
    QTest::newRow("without value") << ValueList::SelectionType << "Without Val" << 0;
    QTest::newRow("with value") << ValueList::SelectionType << "With Val" << 1;
}

void SclModelTest::valueListsConvertBothWays()
{
    QFETCH(ValueList, list);
    QFETCH(QString, name);
    QFETCH(int, code);
    QCOMPARE(valueListCode(list, name), code);
    QCOMPARE(valueListName(list, code), name);
    QCOMPARE(valueListNames(list).at(code), name);
}

void SclModelTest::unknownValuesConvertSafely_data()
{
    QTest::addColumn<ValueList>("list");
    QTest::addColumn<int>("size");
    QTest::newRow("mms types") << ValueList::MmsType << 16;
    QTest::newRow("control models") << ValueList::ControlModel << 5;
    QTest::newRow("selection types") << ValueList::SelectionType << 2;
}

void SclModelTest::unknownValuesConvertSafely()
{
    QFETCH(ValueList, list);
    QFETCH(int, size);
    QCOMPARE(valueListNames(list).size(), size);
    // Stored files hold 0 for names they do not know and show nothing for codes
    // they do not know.
    QCOMPARE(valueListCode(list, QString()), 0);
    QCOMPARE(valueListCode(list, QStringLiteral("mms_boolean")), 0);
    QCOMPARE(valueListCode(list, valueListNames(list).last() + QLatin1Char(' ')), 0);
    QVERIFY(valueListName(list, size).isEmpty());
    QVERIFY(valueListName(list, -1).isEmpty());
}

void SclModelTest::ctlModelCodes_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("code");
    QTest::newRow("status only") << "status-only" << 0;
    QTest::newRow("direct normal") << "direct-with-normal-security" << 1;
    QTest::newRow("sbo normal") << "sbo-with-normal-security" << 2;
    QTest::newRow("direct enhanced") << "direct-with-enhanced-security" << 3;
    QTest::newRow("sbo enhanced") << "sbo-with-enhanced-security" << 4;
    QTest::newRow("case matters") << "SBO-with-enhanced-security" << 0;
    QTest::newRow("blanks matter") << " sbo-with-normal-security" << 0;
    QTest::newRow("empty") << "" << 0;
}

void SclModelTest::ctlModelCodes()
{
    QFETCH(QString, value);
    QFETCH(int, code);
    QCOMPARE(ctlModelCode(value), code);
}

void SclModelTest::references_data()
{
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");

    const QString ln = lnReference("E1", "C1", "Q0", "CSWI", "1");
    QTest::newRow("ln reference") << ln << "E1C1/Q0CSWI1";
    QTest::newRow("empty parts vanish") << lnReference("E1", "LD0", "", "LLN0", "") << "E1LD0/LLN0";
    QTest::newRow("placeholder text stays literal")
        << lnReference("IED%2", "%1", "", "LLN0", "") << "IED%2%1/LLN0";
    QTest::newRow("ln name") << lnName("Q0", "XCBR", "1") << "Q0XCBR1";
    QTest::newRow("data set") << dataSetReference(ln, "StatusDS") << "E1C1/Q0CSWI1.StatusDS";
    QTest::newRow("member attribute")
        << dataSetMemberAttributeReference("E1", "C1", "Q0", "CSWI", "1", "Pos", "stVal", "ST")
        << "E1C1/Q0CSWI1.Pos.stVal[ST]";
    QTest::newRow("unbuffered report")
        << reportControlReference(ln, "rcb01", false) << "E1C1/Q0CSWI1.RP.rcb01";
    QTest::newRow("buffered report")
        << reportControlReference(ln, "brcb01", true) << "E1C1/Q0CSWI1.BR.brcb01";
    QTest::newRow("report data set")
        << reportDataSetReference(ln, "Events") << "E1C1/Q0CSWI1.Events";
    QTest::newRow("leaf") << leafAttributeText("stVal", "ST", "BOOLEAN") << "stVal{ST,BOOLEAN}";
    QTest::newRow("array element") << arrayElementText(3) << "[3]";
}

void SclModelTest::references()
{
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
}

void SclModelTest::nodeNamePartCutsAtFirstBrace_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::newRow("leaf") << "stVal{ST,BOOLEAN}"
                          << "stVal";
    QTest::newRow("data object") << "Pos"
                                 << "Pos";
    QTest::newRow("array element") << "[0]"
                                   << "[0]";
    QTest::newRow("two braces") << "a{b}{c}"
                                << "a";
    QTest::newRow("empty") << ""
                           << "";
}

void SclModelTest::nodeNamePartCutsAtFirstBrace()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    QCOMPARE(nodeNamePart(text), name);
}

QTEST_GUILESS_MAIN(SclModelTest)
#include "tst_sclmodel.moc"
