// The example station parsed end to end: what a new user sees first, checked
// against the file by hand.
#include "sclmodel.h"
#include "sclparser.h"
#include "testpaths.h"

#include <QAbstractItemModelTester>
#include <QStandardItemModel>
#include <QtTest>

class ExampleParseTest : public QObject
{
    Q_OBJECT

private slots:
    void listsBothIeds();
    void connectionRows_data();
    void connectionRows();
    void branchesHoldTheIed();
    void idsAreUniqueAndParentsLinked_data();
    void idsAreUniqueAndParentsLinked();
    void leafAttributes_data();
    void leafAttributes();
    void controlModelMarksCfAndCo_data();
    void controlModelMarksCfAndCo();
    void arrayOfBasicType();
    void dataSetMembers();
    void reportControlBlocks_data();
    void reportControlBlocks();

private:
    void parse(const QString &ied);
    QStandardItem *path(const QStringList &texts) const;

    QStandardItemModel model;
};

void ExampleParseTest::parse(const QString &ied)
{
    model.clear();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    SclParser parser;
    QVERIFY(!parser.loadIedNames(sourceFile("examples/substation.scd")).isEmpty());
    QVERIFY(parser.parse(ied, &model));
}

// Follows node texts from the project root; null when one is missing.
QStandardItem *ExampleParseTest::path(const QStringList &texts) const
{
    QStandardItem *node = model.item(0);
    for (const QString &text : texts) {
        QStandardItem *next = nullptr;
        for (int row = 0; node && row < node->rowCount() && !next; ++row) {
            if (node->child(row)->text() == text)
                next = node->child(row);
        }
        node = next;
    }
    return node;
}

void ExampleParseTest::listsBothIeds()
{
    SclParser parser;
    QCOMPARE(parser.loadIedNames(sourceFile("examples/substation.scd")),
             QStringList({"BAY1_PROT", "BAY2_MEAS"}));
}

void ExampleParseTest::connectionRows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("editor");
    QTest::newRow("id") << 0 << "Id"
                        << "0"
                        << "";
    QTest::newRow("name") << 1 << "IED Name"
                          << "BAY1_PROT"
                          << "";
    QTest::newRow("ip") << 2 << "Ip Address"
                        << "192.168.10.11"
                        << "";
    QTest::newRow("port") << 3 << "Port"
                          << "102"
                          << "";
    QTest::newRow("connect enable") << 5 << "ConnectEnbl Signal"
                                    << "-"
                                    << "SignalSelect";
    QTest::newRow("config rev") << 7 << "NamPlt.configRev"
                                << "Rev 1.3"
                                << "";
    QTest::newRow("check") << 8 << "NamPlt.check "
                           << "-"
                           << "";
    QTest::newRow("report settings") << 9 << "ReportSets"
                                     << "15"
                                     << "ReportSettingsDialog";
    QTest::newRow("category") << 13 << "ControlOrginatorCategory"
                              << "3"
                              << "";
    QTest::newRow("identification") << 14 << "ControlOriginatorIdentification"
                                    << "KEL"
                                    << "";
    QTest::newRow("time sync") << 15 << "TimeSyncIndication Signal"
                               << "-"
                               << "SignalSelect";
}

void ExampleParseTest::connectionRows()
{
    QFETCH(int, row);
    QFETCH(QString, label);
    QFETCH(QString, value);
    QFETCH(QString, editor);
    parse("BAY1_PROT");
    QStandardItem *connection = path({"Connection"});
    QVERIFY(connection);
    QCOMPARE(connection->rowCount(), 16);
    QCOMPARE(connection->child(row, 0)->text(), label);
    QVERIFY(!connection->child(row, 0)->isEditable());
    QCOMPARE(connection->child(row, 1)->text(), value);
    QVERIFY(connection->child(row, 1)->isEditable());
    QCOMPARE(connection->child(row, 1)->data(EditorRole).toString(), editor);
}

void ExampleParseTest::branchesHoldTheIed()
{
    parse("BAY2_MEAS");
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Item"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));
    QStandardItem *root = model.item(0);
    QCOMPARE(root->text(), QStringLiteral("BAY2_MEAS"));
    QStringList branches;
    for (int row = 0; row < root->rowCount(); ++row)
        branches << root->child(row)->text();
    QCOMPARE(branches, QStringList({"Connection", "DataObjects", "DataSets", "Reports"}));
    for (int row = 1; row < 4; ++row) {
        QStandardItem *ied = root->child(row)->child(0);
        QCOMPARE(ied->text(), QStringLiteral("BAY2_MEAS"));
        QCOMPARE(ied->data(KindRole).toInt(), int(IedKind));
        QCOMPARE(ied->data(NodeIdRole).toString(), QStringLiteral("0"));
        QCOMPARE(ied->data(ParentIdRole), QVariant(-1));
    }
    QCOMPARE(path({"Connection"})->child(2, 1)->text(), QStringLiteral("192.168.10.12"));
    QVERIFY(path({"Reports", "BAY2_MEAS", "MEAS", "LLN0"}));
    // Logical nodes without data sets or reports stay out of those branches.
    QVERIFY(!path({"Reports", "BAY2_MEAS", "MEAS", "MMXU1"}));
    QVERIFY(!path({"DataSets", "BAY2_MEAS", "MEAS", "LPHD1"}));
}

void ExampleParseTest::idsAreUniqueAndParentsLinked_data()
{
    QTest::addColumn<QString>("branch");
    QTest::newRow("data objects") << "DataObjects";
    QTest::newRow("reports") << "Reports";
}

void ExampleParseTest::idsAreUniqueAndParentsLinked()
{
    QFETCH(QString, branch);
    parse("BAY1_PROT");
    QSet<QString> ids;
    QList<QStandardItem *> pending{path({branch, "BAY1_PROT"})};
    while (!pending.isEmpty()) {
        QStandardItem *node = pending.takeFirst();
        const QString id = node->data(NodeIdRole).toString();
        QVERIFY2(!ids.contains(id), qPrintable(id));
        ids.insert(id);
        for (int row = 0; row < node->rowCount(); ++row) {
            QStandardItem *child = node->child(row);
            QCOMPARE(child->data(ParentIdRole).toString(), id);
            QVERIFY(child->data(NodeIdRole).toInt() > id.toInt());
            pending << child;
        }
    }
    QVERIFY(ids.size() > 1);
}

void ExampleParseTest::leafAttributes_data()
{
    QTest::addColumn<QStringList>("nodePath");
    QTest::addColumn<int>("mmsType");
    QTest::addColumn<int>("treeIndex");
    const QStringList pos{"DataObjects", "BAY1_PROT", "CTRL", "XCBR1", "ST", "Pos"};
    QTest::newRow("double point") << (pos + QStringList{"stVal{ST,Dbpos}"}) << 3 << 2;
    QTest::newRow("quality") << (pos + QStringList{"q{ST,Quality}"}) << 3 << 3;
    QTest::newRow("time") << (pos + QStringList{"t{ST,Timestamp}"}) << 14 << 4;
    QTest::newRow("struct member inherits fc")
        << QStringList{"DataObjects", "BAY2_MEAS", "MEAS", "MMXU1",
                       "MX",          "TotW",      "mag",  "f{MX,FLOAT32}"}
        << 6 << 0;
}

void ExampleParseTest::leafAttributes()
{
    QFETCH(QStringList, nodePath);
    QFETCH(int, mmsType);
    QFETCH(int, treeIndex);
    parse(nodePath.at(1));
    QStandardItem *leaf = path(nodePath);
    QVERIFY(leaf);
    QCOMPARE(leaf->data(KindRole).toInt(), int(DataAttributeKind));
    QCOMPARE(leaf->data(MmsTypeRole).toInt(), mmsType);
    QCOMPARE(leaf->data(TreeIndexRole).toInt(), treeIndex);
    QCOMPARE(leaf->data(SclKindRole).toInt(), int(SclDataAttributeKind));
    QCOMPARE(leaf->data(BTypeRole).toString(), leaf->text().section(',', 1).chopped(1));
}

void ExampleParseTest::controlModelMarksCfAndCo_data()
{
    QTest::addColumn<QString>("ln");
    QTest::addColumn<QString>("dataObject");
    QTest::addColumn<int>("code");
    QTest::newRow("breaker direct") << "XCBR1"
                                    << "Pos" << 1;
    // Its DOI holds an SDI beside the ctlModel value.
    QTest::newRow("switch controller sbo enhanced") << "Q0CSWI1"
                                                    << "Pos" << 4;
    QTest::newRow("generic direct enhanced") << "GGIO1"
                                             << "SPCSO2" << 3;
    QTest::newRow("mode status only") << "LLN0"
                                      << "Mod" << 0;
}

void ExampleParseTest::controlModelMarksCfAndCo()
{
    QFETCH(QString, ln);
    QFETCH(QString, dataObject);
    QFETCH(int, code);
    parse("BAY1_PROT");
    QStandardItem *cf = path({"DataObjects", "BAY1_PROT", "CTRL", ln, "CF", dataObject});
    QVERIFY(cf);
    QCOMPARE(cf->data(CtlModelRole), QVariant(code));
    QStandardItem *co = path({"DataObjects", "BAY1_PROT", "CTRL", ln, "CO", dataObject});
    // Oper, SBOw, Cancel and their members carry it as well.
    for (QStandardItem *node = co; node; node = node->rowCount() ? node->child(0) : nullptr)
        QCOMPARE(node->data(CtlModelRole), QVariant(code));
    QVERIFY(!path({"DataObjects", "BAY1_PROT", "CTRL", ln, "ST", dataObject})
                 ->data(CtlModelRole)
                 .isValid());
}

void ExampleParseTest::arrayOfBasicType()
{
    parse("BAY1_PROT");
    QStandardItem *history =
        path({"DataObjects", "BAY1_PROT", "CTRL", "GGIO1", "ST", "CntHst", "hstVal{ST,INT32}"});
    QVERIFY(history);
    QCOMPARE(history->data(KindRole).toInt(), int(DataAttributeKind));
    QCOMPARE(history->data(MmsTypeRole), QVariant(int(MmsInteger)));
    QCOMPARE(history->parent()->data(MmsTypeRole), QVariant(int(MmsStructure)));
    QCOMPARE(history->rowCount(), 3);
    for (int index = 0; index < 3; ++index) {
        QCOMPARE(history->child(index)->text(), QStringLiteral("[%1]").arg(index));
        QCOMPARE(history->child(index)->data(KindRole).toInt(), int(DataObjectKind));
        QCOMPARE(history->child(index)->data(MmsTypeRole), QVariant(int(MmsInteger)));
    }
}

void ExampleParseTest::dataSetMembers()
{
    parse("BAY1_PROT");
    QStandardItem *status =
        path({"DataSets", "BAY1_PROT", "CTRL", "LLN0", "BAY1_PROTCTRL/LLN0.StatusDS"});
    QVERIFY(status);
    QCOMPARE(status->data(KindRole).toInt(), int(DataSetKind));

    QStandardItem *breaker = nullptr;
    QStandardItem *switchState = nullptr;
    for (int row = 0; row < status->rowCount(); ++row) {
        QStandardItem *member = status->child(row);
        if (member->text() == QLatin1String("BAY1_PROTCTRL/XCBR1.Pos"))
            breaker = member;
        if (member->text() == QLatin1String("BAY1_PROTCTRL/Q0CSWI1.Pos.stVal[ST]"))
            switchState = member;
    }
    QVERIFY(breaker);
    QVERIFY(switchState);

    // A whole data object is a copy of its DataObjects node, ids included.
    QStandardItem *original = path({"DataObjects", "BAY1_PROT", "CTRL", "XCBR1", "ST", "Pos"});
    QCOMPARE(breaker->data(NodeIdRole), original->data(NodeIdRole));
    QCOMPARE(breaker->data(ParentIdRole).toString(), status->data(NodeIdRole).toString());
    QCOMPARE(breaker->rowCount(), original->rowCount());

    // A single attribute carries its real type.
    QCOMPARE(switchState->data(KindRole).toInt(), int(DataAttributeKind));
    QCOMPARE(switchState->data(BTypeRole).toString(), QStringLiteral("Dbpos"));
    QCOMPARE(switchState->data(MmsTypeRole).toInt(), 3);
}

void ExampleParseTest::reportControlBlocks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("trgOps");
    QTest::addColumn<int>("optFields");
    QTest::addColumn<bool>("indexed");
    QTest::addColumn<int>("maxIndex");
    QTest::addColumn<QString>("dataSet");
    QTest::newRow("buffered") << "BAY1_PROTCTRL/LLN0.BR.brcbStatus" << 7 << 27 << 239 << true << 5
                              << "BAY1_PROTCTRL/LLN0.StatusDS";
    QTest::newRow("unbuffered, defaults") << "BAY1_PROTCTRL/LLN0.RP.urcbMeas" << 6 << 31 << 159
                                          << true << 1 << "BAY1_PROTCTRL/LLN0.MeasDS";
    QTest::newRow("not indexed") << "BAY1_PROTCTRL/LLN0.RP.urcbStatus" << 6 << 19 << 6 << false << 2
                                 << "BAY1_PROTCTRL/LLN0.StatusDS";
}

void ExampleParseTest::reportControlBlocks()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(int, trgOps);
    QFETCH(int, optFields);
    QFETCH(bool, indexed);
    QFETCH(int, maxIndex);
    QFETCH(QString, dataSet);
    parse("BAY1_PROT");
    QStandardItem *report = path({"Reports", "BAY1_PROT", "CTRL", "LLN0", text});
    QVERIFY(report);
    QCOMPARE(report->data(KindRole).toInt(), kind);
    QCOMPARE(report->data(BufferedRole).toBool(), kind == 7);
    QCOMPARE(report->data(TrgOpsRole).toInt(), trgOps);
    QCOMPARE(report->data(OptFieldsRole).toInt(), optFields);
    QCOMPARE(report->data(IndexedRole).toBool(), indexed);
    QCOMPARE(report->data(MaxIndexRole).toInt(), maxIndex);
    QCOMPARE(report->data(DatasetRefRole).toString(), dataSet);
    QCOMPARE(report->data(ReportDatasetRole).toString(), dataSet);
    // The report names its data set by the data set node's own text.
    QVERIFY(path({"DataSets", "BAY1_PROT", "CTRL", "LLN0", dataSet}));
    QCOMPARE(path({"Reports", "BAY1_PROT"})->data(ReportSettingsRole).toInt(), 15);
}

QTEST_MAIN(ExampleParseTest)
#include "tst_exampleparse.moc"
