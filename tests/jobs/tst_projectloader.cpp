// Loading rows that this program did not write in this order or at all:
// children before parents, missing parents, cycles, NULLs and texts in number
// columns, the pruning of the selections and the signal list.

#include "projecttesthelpers.h"
#include "scldataexporter.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "treeplacement.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSqlQuery>

Q_DECLARE_METATYPE(QStandardItem *)

class TestProjectLoader : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void placementOrder_data();
    void placementOrder();
    void cyclesAreDropped();
    void modelTreeFromRowsInAnyOrder();
    void modelRowsWithBadNumbers();
    void selectionCodes_data();
    void selectionCodes();
    void pruning_data();
    void pruning();
    void datasetMembersWithoutAttributesStay();
    void brokenSelectionRowsAreDropped();
    void signalList();
    void tableGoneBehindTheLoadersBack_data();
    void tableGoneBehindTheLoadersBack();

private:
    void exec(const QString &sql);
    QString connectionRow();

    std::unique_ptr<ProjectFile> project;
};

namespace {

// "id:parent" pairs into rows of one item each, the text being the id.
QList<QPair<ItemRow, QPair<int, int>>> rows(const QString &pairs)
{
    QList<QPair<ItemRow, QPair<int, int>>> result;
    for (const QString &pair : pairs.split(' ', Qt::SkipEmptyParts)) {
        const QStringList parts = pair.split(':');
        result.append(
            {{new QStandardItem(parts.at(0))}, {parts.at(0).toInt(), parts.at(1).toInt()}});
    }
    return result;
}

// The tree as "id(child child)".
QString shape(const QStandardItem *node)
{
    QStringList children;
    for (int row = 0; row < node->rowCount(); ++row)
        children.append(shape(node->child(row)));
    const QString text = node->text();
    if (children.isEmpty())
        return text;
    return text + '(' + children.join(' ') + ')';
}

} // namespace

void TestProjectLoader::init()
{
    qRegisterMetaType<QStandardItem *>();
    project = std::make_unique<ProjectFile>();
    QVERIFY(project->open(true));
}

void TestProjectLoader::cleanup()
{
    project.reset();
}

void TestProjectLoader::exec(const QString &sql)
{
    QVERIFY2(project->db->executeStatement(sql) != -1, qPrintable(sql));
}

void TestProjectLoader::placementOrder_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("parents first") << "1:-1 2:1 3:1 4:2"
                                   << "root(1(2(4) 3))" << QStringList();
    QTest::newRow("children first, in reading order") << "4:2 3:1 2:1 1:-1"
                                                      << "root(1(3 2(4)))" << QStringList();
    QTest::newRow("missing parent")
        << "1:-1 2:1 5:9 6:5 7:9"
        << "root(1(2))" << QStringList{"Broken treemodel model!! Parent Id: 9"};
    QTest::newRow("two missing parents") << "1:-1 5:9 7:8"
                                         << "root(1)"
                                         << QStringList{"Broken treemodel model!! Parent Id: 8",
                                                        "Broken treemodel model!! Parent Id: 9"};
    // A data object copied into a data set may carry the data set's id.
    QTest::newRow("node with its parent's id") << "1:-1 3:1 3:3 4:3"
                                               << "root(1(3(3(4))))" << QStringList();
    QTest::newRow("own parent") << "1:-1 2:2"
                                << "root(1)"
                                << QStringList{"Broken treemodel model!! Parent Id: 2"};
}

void TestProjectLoader::placementOrder()
{
    QFETCH(QString, rows);
    QFETCH(QString, tree);
    QFETCH(QStringList, messages);
    QStandardItem root(QStringLiteral("root"));
    TreePlacement placement;
    for (const auto &row : ::rows(rows))
        placeRow(&root, row.first, row.second.first, row.second.second, placement);
    for (const QString &message : messages)
        QTest::ignoreMessage(QtDebugMsg, qPrintable(message));
    attachWaiting(placement);
    QVERIFY(placement.nodesById.isEmpty());
    QVERIFY(placement.waitingChildren.isEmpty());
    QCOMPARE(shape(&root), tree);
}

void TestProjectLoader::cyclesAreDropped()
{
    QStandardItem root(QStringLiteral("root"));
    TreePlacement placement;
    // 1 and 2 name each other as parent: neither reaches the root.
    for (const auto &row : rows("1:2 2:1 3:-1 4:2"))
        placeRow(&root, row.first, row.second.first, row.second.second, placement);
    QTest::ignoreMessage(QtDebugMsg, "Broken treemodel model!! Parent Id: 2");
    attachWaiting(placement);
    QCOMPARE(shape(&root), QStringLiteral("root(3)"));
}

QString TestProjectLoader::connectionRow()
{
    return QStringLiteral("INSERT INTO iec61850_connectionsv2 VALUES (0, 'E1', '10.0.0.1', 102, 0, "
                          "'-', '-', 'r1', 0, 15, '-', '-', '-', 3, 'KEL', '-')");
}

void TestProjectLoader::modelTreeFromRowsInAnyOrder()
{
    exec(connectionRow());
    const QString insert = QStringLiteral(
        "INSERT INTO iec61850_data_objects_pro (id, con_id, type, parent_id, depth, treeindex, "
        "sclbtype, mms_type, ctlmodel, attr_reference) VALUES %1");
    exec(insert.arg("(5, 0, 8, 4, 0, '0', 'BOOLEAN', 2, 0, 'stVal{ST,BOOLEAN}')"));
    exec(insert.arg("(4, 0, 4, 3, 0, '', '', 0, 4, 'Pos')"));
    exec(insert.arg("(3, 0, 3, 2, 0, '', '', 0, 0, 'CF')"));
    exec(insert.arg("(2, 0, 2, 1, 0, '', '', 0, 0, 'XCBR1')"));
    exec(insert.arg("(1, 0, 1, 0, 0, '', '', 0, 0, 'CTRL')"));
    exec(insert.arg("(0, 0, 0, -1, 0, '', '', 0, 0, 'E1')"));
    exec(insert.arg("(9, 1, 1, 0, 0, '', '', 0, 0, 'other connection')"));
    exec("INSERT INTO iec61850_reports_pro (id, con_id, type, parent_id, dataset_refpath, intgpd, "
         "buftime, confrev, trigger_type, options, report_refpath) VALUES "
         "(0, 0, 0, -1, '', 0, 0, 0, 0, 0, 'E1'), "
         "(1, 0, 7, 0, 'E1CTRL/LLN0.ds', 5000, 0, 2, 27, 0, 'E1CTRL/LLN0.BR.b')");

    SelectedItemsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    SclDataExporter exporter;
    QSignalSpy progress(&exporter, &SclDataExporter::progressUpdated);
    QVERIFY(exporter.loadSclModel(&model, project->db.get()));
    QCOMPARE(progress.count(), 8);
    QStandardItem *ied = model.item(0);
    QCOMPARE(ied->text(), QStringLiteral("E1"));
    QCOMPARE(ied->data(ConnectionIdRole).toString(), QStringLiteral("0"));
    QCOMPARE(shape(ied->child(1)),
             QStringLiteral("DataObjects(E1(CTRL(XCBR1(CF(Pos(stVal{ST,BOOLEAN}))))))"));
    QStandardItem *pos = findNode(ied, {"DataObjects", "E1", "CTRL", "XCBR1", "CF", "Pos"});
    QCOMPARE(pos->data(CtlModelRole), QVariant(4));
    QCOMPARE(pos->data(ParentIdRole), QVariant(QStringLiteral("3")));
    // Stored as code 0, as older versions stored structures: a data object
    // with attributes is a structure.
    QCOMPARE(pos->data(MmsTypeRole), QVariant(int(MmsStructure)));
    QStandardItem *stVal = pos->child(0);
    QCOMPARE(stVal->data(MmsTypeRole), QVariant(2));
    QCOMPARE(stVal->data(TreeIndexRole), QVariant(0));
    QCOMPARE(stVal->data(BTypeRole), QVariant(QStringLiteral("BOOLEAN")));
    QCOMPARE(ied->child(1)->child(0)->data(ParentIdRole), QVariant(-1));

    QStandardItem *report = ied->child(3)->child(0)->child(0);
    QCOMPARE(report->text(), QStringLiteral("E1CTRL/LLN0.BR.b"));
    QCOMPARE(report->data(TrgOpsRole), QVariant(27));
    QCOMPARE(report->data(IntgPdRole), QVariant(5000));
    QCOMPARE(report->data(BufTimeRole), QVariant(0));
    QCOMPARE(report->data(DatasetRefRole).toString(), QStringLiteral("E1CTRL/LLN0.ds"));

    // The connection rows: captions in column order, the editors of the values.
    QStandardItem *connection = ied->child(0);
    QCOMPARE(connection->rowCount(), 16);
    QCOMPARE(connection->child(10, 0)->text(), QStringLiteral("CtlTestFlag Signal "));
    QCOMPARE(connection->child(13, 0)->text(), QStringLiteral("ControlOrginatorCategory"));
    QCOMPARE(connection->child(14, 0)->text(), QStringLiteral("ControlOriginatorIdentification "));
    QCOMPARE(connection->child(3, 1)->text(), QStringLiteral("102"));
    QVERIFY(!connection->child(0, 1)->isEditable());
    QVERIFY(!connection->child(9, 1)->isEditable());
    QVERIFY(connection->child(1, 1)->isEditable());
    QCOMPARE(connection->child(9, 1)->data(EditorRole).toString(),
             QStringLiteral("ReportSettingsDialog"));
    for (int row : {5, 6, 10, 11, 12, 15})
        QCOMPARE(connection->child(row, 1)->data(EditorRole).toString(),
                 QStringLiteral("SignalSelect"));
    for (int row = 0; row < 16; ++row)
        QVERIFY(!connection->child(row, 0)->isEditable() &&
                !connection->child(row, 0)->icon().isNull());
    // A value edited in the loaded tree goes back to its column.
    connection->child(3, 1)->setText("2404");
    project->db->updateCell("iec61850_connectionsv2", connection->child(3, 1));
    QCOMPARE(project->db->selectTexts(ConnectionsTable, QString()).first().at(3),
             QStringLiteral("2404"));
}

void TestProjectLoader::modelRowsWithBadNumbers()
{
    exec(connectionRow());
    exec("INSERT INTO iec61850_data_objects_pro (id, con_id, type, parent_id, attr_reference) "
         "VALUES "
         "(0, 0, 0, -1, 'E1'), ('one', 0, NULL, 0, 'odd id'), (2, 0, 'x', NULL, 'no parent id'), "
         "(3, 0, 4, 2, 'child')");
    SelectedItemsModel model;
    SclDataExporter exporter;
    QVERIFY(exporter.loadSclModel(&model, project->db.get()));
    // 'one' reads as id 0 and takes that id over from the IED node; a NULL
    // parent reads as 0, so the next row hangs under it.
    QStandardItem *ied = model.item(0)->child(1)->child(0);
    QCOMPARE(shape(ied), QStringLiteral("E1(odd id(no parent id(child)))"));
    QCOMPARE(ied->child(0)->data(KindRole), QVariant(0));
}

void TestProjectLoader::selectionCodes_data()
{
    QTest::addColumn<QString>("mmsType");
    QTest::addColumn<QString>("ctlModel");
    QTest::addColumn<QString>("selectionType");
    QTest::addColumn<QStringList>("cells"); // MMS type, control model, selection type
    QTest::newRow("codes in their lists") << "2"
                                          << "2"
                                          << "1" << QStringList{"MMS_BOOLEAN", "SBO", "With Val"};
    QTest::newRow("codes beyond the lists") << "16"
                                            << "5"
                                            << "5" << QStringList{"", "", ""};
    QTest::newRow("NULL of an older file") << "NULL"
                                           << "NULL"
                                           << "NULL" << QStringList{"", "", ""};
    QTest::newRow("texts") << "'MMS_FLOAT'"
                           << "'x'"
                           << "'1'" << QStringList{"", "", "With Val"};
}

void TestProjectLoader::selectionCodes()
{
    QFETCH(QString, mmsType);
    QFETCH(QString, ctlModel);
    QFETCH(QString, selectionType);
    QFETCH(QStringList, cells);
    exec(QStringLiteral("INSERT INTO iec61850_data_objects (id, con_id, type, parent_id, "
                        "attr_reference, function, mms_type, writetrig_signal, ctlModel, "
                        "selection_type) VALUES (1, 0, 4, -1, 'E1CTRL/CSWI1.Pos', 'CO', %1, 'WT', "
                        "%2, %3)")
             .arg(mmsType, ctlModel, selectionType));
    Selections s;
    SclDataExporter exporter;
    QVERIFY(exporter.loadSelections(&s.objects, &s.datasets, &s.reports, project->db.get()));
    QCOMPARE(s.objects.rowCount(), 1);
    QCOMPARE(s.objects.item(0, SelectedObjectsModel::MmsTypeColumn)->text(), cells.at(0));
    QCOMPARE(s.objects.item(0, SelectedObjectsModel::CtlModelColumn)->text(), cells.at(1));
    QCOMPARE(s.objects.item(0, SelectedObjectsModel::SelectionTypeColumn)->text(), cells.at(2));
    QCOMPARE(s.objects.item(0)->data(CtlModelRole).toString(), cells.at(1));
    QCOMPARE(s.objects.item(0)->data(GroupRole).toString(), QStringLiteral("CO"));
    // A control object with a write trigger: its data signal is open.
    QCOMPARE(s.objects.item(0, SelectedObjectsModel::DataSignalColumn)->data(EditorRole).toString(),
             QStringLiteral("SignalSelect"));
}

void TestProjectLoader::pruning_data()
{
    // Rows as "id:parent:kind:constraint:write trigger:name", "-" for empty.
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("tree");
    QTest::newRow("data object without attributes goes") << "1:-1:4:ST:-:Pos"
                                                         << "";
    QTest::newRow("data object with an attribute stays") << "1:-1:4:ST:-:Pos 2:1:8:-:-:stVal"
                                                         << "Pos(stVal)";
    QTest::newRow("control object with write trigger loses its attributes")
        << "1:-1:4:CO:WT:Oper 2:1:8:-:-:ctlVal 3:1:4:-:-:origin 4:3:8:-:-:orCat"
        << "Oper";
    QTest::newRow("control object without write trigger keeps them")
        << "1:-1:4:CO:-:Oper 2:1:8:-:-:ctlVal"
        << "Oper(ctlVal)";
    QTest::newRow("control object without either goes") << "1:-1:4:CO:-:Oper"
                                                        << "";
    QTest::newRow("data object bound to a signal of its own stays") << "1:-1:4:ST:WT:Pos"
                                                                    << "Pos";
    QTest::newRow("placeholder is no binding") << "1:-1:4:ST:NoRef:Pos"
                                               << "";
    QTest::newRow("structure without leaves goes, its sibling stays")
        << "1:-1:4:MX:-:A 2:1:4:-:-:phsA 3:1:4:-:-:phsB 4:3:8:-:-:mag"
        << "A(phsB(mag))";
    QTest::newRow("empty structures all the way up")
        << "1:-1:4:MX:-:A 2:1:4:-:-:phsA 3:2:4:-:-:cVal"
        << "";
    QTest::newRow("attribute picked on its own stays") << "1:-1:8:ST:-:stVal"
                                                       << "stVal";
    QTest::newRow("rows in reverse order") << "2:1:8:-:-:stVal 3:-1:8:ST:-:Health 1:-1:4:ST:-:Pos"
                                           << "Health Pos(stVal)";
}

void TestProjectLoader::pruning()
{
    QFETCH(QString, rows);
    QFETCH(QString, tree);
    for (const QString &fields : rows.split(' ')) {
        QStringList f = fields.split(':');
        for (QString &field : f) {
            if (field == "-")
                field.clear();
        }
        exec(QStringLiteral("INSERT INTO iec61850_data_objects (id, con_id, type, parent_id, "
                            "attr_reference, function, writetrig_signal) VALUES "
                            "(%1, 0, %2, %3, '%4', '%5', '%6')")
                 .arg(f.at(0), f.at(2), f.at(1), f.at(5), f.at(3), f.at(4)));
    }
    Selections s;
    QAbstractItemModelTester tester(&s.objects,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    SclDataExporter exporter;
    QVERIFY(exporter.loadSelections(&s.objects, &s.datasets, &s.reports, project->db.get()));
    QStringList shapes;
    for (int row = 0; row < s.objects.rowCount(); ++row)
        shapes.append(shape(s.objects.item(row)));
    QCOMPARE(shapes.join(' '), tree);
}

void TestProjectLoader::datasetMembersWithoutAttributesStay()
{
    exec("INSERT INTO iec61850_datasets_and_objects (id, con_id, type, parent_id, dataset_name, "
         "mms_type) VALUES (10, 0, 5, -1, 'E1CTRL/LLN0.DS', 0), (11, 0, 4, 10, 'E1CTRL/XCBR1.Loc', "
         "0), (12, 0, 4, 10, 'E1CTRL/XCBR1.Pos', 0), (13, 0, 8, 12, 'stVal{ST,Dbpos}', 3), "
         "(14, 0, 8, 10, 'E1CTRL/GGIO1.Ind1.stVal[ST]', 99)");
    exec(
        "INSERT INTO iec61850_reports (id, con_id, type, report_refpath, dataset_refpath, "
        "is_indexed, trigger_type) VALUES (20, 0, 7, 'E1CTRL/LLN0.BR.b', 'E1CTRL/LLN0.DS', 1, 27)");
    Selections s;
    SclDataExporter exporter;
    QSignalSpy progress(&exporter, &SclDataExporter::progressUpdated);
    QVERIFY(exporter.loadSelections(&s.objects, &s.datasets, &s.reports, project->db.get()));
    QCOMPARE(progress.count(), 6);
    // Reports are decoded by the members' order: none goes, not even one
    // stored without its attributes.
    QCOMPARE(shape(s.datasets.item(0)),
             QStringLiteral("E1CTRL/LLN0.DS(E1CTRL/XCBR1.Loc E1CTRL/XCBR1.Pos(stVal{ST,Dbpos}) "
                            "E1CTRL/GGIO1.Ind1.stVal[ST])"));
    QStandardItem *dataset = s.datasets.item(0);
    QCOMPARE(dataset->child(1)->child(0, SelectedDatasetsModel::MmsTypeColumn)->text(),
             QStringLiteral("MMS_BIT_STRING"));
    QCOMPARE(dataset->child(2, SelectedDatasetsModel::MmsTypeColumn)->text(), QString());
    QCOMPARE(s.datasets.registeredNames().value("Default"),
             QStringList({"E1CTRL/LLN0.DS", "E1CTRL/XCBR1.Loc", "E1CTRL/XCBR1.Pos",
                          "stVal{ST,Dbpos}", "E1CTRL/GGIO1.Ind1.stVal[ST]"}));
    QCOMPARE(s.reports.rowCount(), 1);
    QCOMPARE(s.reports.item(0)->icon().isNull(), false);
    QCOMPARE(s.reports.item(0, SelectedReportsModel::TriggerTypeColumn)->text(),
             QStringLiteral("27"));
    QCOMPARE(s.reports.item(0, SelectedReportsModel::IsIndexedColumn)->text(), QStringLiteral("1"));
    QCOMPARE(
        s.reports.item(0, SelectedReportsModel::TriggerTypeColumn)->data(EditorRole).toString(),
        QStringLiteral("TrigTypeDialog"));
}

void TestProjectLoader::brokenSelectionRowsAreDropped()
{
    exec(
        "INSERT INTO iec61850_data_objects (id, con_id, type, parent_id, attr_reference, function) "
        "VALUES (1, 0, 4, -1, 'E1CTRL/XCBR1.Pos', 'ST'), (2, 0, 8, 1, 'stVal{ST,Dbpos}', ''), "
        "(3, 0, 8, 42, 'lost{ST,Quality}', ''), (4, 0, 8, 3, 'below the lost one', '')");
    Selections s;
    SclDataExporter exporter;
    QTest::ignoreMessage(QtDebugMsg, "Broken treemodel model!! Parent Id: 42");
    QVERIFY(exporter.loadSelections(&s.objects, &s.datasets, &s.reports, project->db.get()));
    QCOMPARE(s.objects.rowCount(), 1);
    QCOMPARE(shape(s.objects.item(0)), QStringLiteral("E1CTRL/XCBR1.Pos(stVal{ST,Dbpos})"));
}

void TestProjectLoader::signalList()
{
    QStandardItemModel signalModel;
    const QList<QStringList> signalRows{
        {"", "", "NoRef", ""}, {"12", "4001", "Breaker 'Q1' open", "DI"}, {"abc", "", "Q2", "DO"}};
    for (const QStringList &texts : signalRows) {
        QList<QStandardItem *> row;
        for (const QString &text : texts)
            row.append(new QStandardItem(text));
        signalModel.appendRow(row);
    }
    SclDataExporter exporter;
    QSignalSpy progress(&exporter, &SclDataExporter::progressUpdated);
    QVERIFY(exporter.writeSignals(&signalModel, project->db.get()));
    QVERIFY(exporter.writeSignals(&signalModel, project->db.get())); // replaces, never appends
    QCOMPARE(progress.count(), 0);

    QStandardItemModel loaded;
    loaded.appendRow(new QStandardItem(QStringLiteral("stale")));
    QVERIFY(exporter.loadSignals(&loaded, project->db.get()));
    QCOMPARE(loaded.rowCount(), 3);
    QCOMPARE(loaded.columnCount(), 4);
    const QList<QStringList> expected{
        {"0", "0", "NoRef", ""}, {"12", "4001", "Breaker 'Q1' open", "DI"}, {"0", "0", "Q2", "DO"}};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(loaded.item(row, column)->text(), expected.at(row).at(column));
            QVERIFY(!loaded.item(row, column)->isEditable());
        }
    }
    QCOMPARE(loaded.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Label"));
}

void TestProjectLoader::tableGoneBehindTheLoadersBack_data()
{
    QTest::addColumn<QString>("table");
    QTest::newRow("model") << "iec61850_reports_pro";
    QTest::newRow("selections") << "iec61850_datasets_and_objects";
    QTest::newRow("signals") << "iec61850_signals_pro";
}

void TestProjectLoader::tableGoneBehindTheLoadersBack()
{
    QFETCH(QString, table);
    exec(connectionRow());
    exec("INSERT INTO iec61850_data_objects_pro (id, con_id, type, parent_id, attr_reference) "
         "VALUES (1, 0, 1, -1, 'CTRL')");
    exec("INSERT INTO iec61850_data_objects (id, con_id, type, parent_id, attr_reference) "
         "VALUES (1, 0, 8, -1, 'E1CTRL/GGIO1.Ind1.stVal[ST]')");
    exec("INSERT INTO iec61850_signals_pro (block_number, address, label) VALUES (1, 2, 'Q1')");
    exec("DROP TABLE " + table);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("no such table"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^SELECT .* FROM " + table));

    SclDataExporter loader;
    QStandardItemModel scl;
    Selections s;
    QStandardItemModel signalModel;
    QString reason;
    const bool loaded =
        loader.loadSclModel(&scl, project->db.get(), &reason) &&
        loader.loadSelections(&s.objects, &s.datasets, &s.reports, project->db.get(), &reason) &&
        loader.loadSignals(&signalModel, project->db.get(), &reason);
    QVERIFY(!loaded);
    QVERIFY2(reason.contains("no such table: " + table), qPrintable(reason));
    // What was read before the failure is not shown as the project.
    if (table == "iec61850_reports_pro")
        QCOMPARE(scl.rowCount(), 0);
    if (table == "iec61850_datasets_and_objects")
        QCOMPARE(s.datasets.rowCount(), 0);
}

QTEST_MAIN(TestProjectLoader)
#include "tst_projectloader.moc"
