// The parsed SCL model written into a new project file and loaded back: the
// same tree, node for node, with the values the file keeps.

#include "projecttesthelpers.h"
#include "referencepath.h"
#include "scldataexporter.h"
#include "selectedobjectsmodel.h"
#include "selectionpicks.h"
#include "testpaths.h"

#include <QAbstractItemModelTester>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>

class TestSclProjectRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void exampleRoundTrip_data();
    void exampleRoundTrip();
    void samplesRoundTrip_data();
    void samplesRoundTrip();
    void writesRowsParentFirst();
    void reportsProgress();
    void iedWithoutAccessPointStillReopens();
    void picksAfterReopenCarryControlModel();
    void connectionNamesTheAccessPointAddress();
    void controlPickStoresControlModelAndStructure();
    void emptyConnectionTableLoadsNothing();
    void readOnlyFileKeepsItsRows_data();
    void readOnlyFileKeepsItsRows();

private:
    // The model tester checks every insertion against the whole model; it is
    // kept to the small example, the samples would take minutes with it.
    void roundTrip(const QString &file, const QString &ied, bool testModel);
};

namespace {

enum Branch { DataObjectsBranch, DataSetsBranch, ReportsBranch };

const QList<int> ReportKinds{UnbufferedReportKind, BufferedReportKind};

// The roles a branch's table keeps, and for the INTEGER columns the kinds of
// node on which a stored 0 still means a value (elsewhere it means none).
struct KeptRole
{
    int role;
    bool integer;
    QList<int> zeroMeaningfulOn;
};

QList<KeptRole> keptRoles(Branch branch)
{
    switch (branch) {
    case DataObjectsBranch:
    case DataSetsBranch:
        return {{TreeIndexRole, false, {}},
                {BTypeRole, false, {}},
                {MmsTypeRole, true, {DataObjectKind, DataAttributeKind}},
                {CtlModelRole, true, {}},
                {DepthRole, true, {}}};
    case ReportsBranch:
        return {{DatasetRefRole, false, {}},
                {IntgPdRole, true, ReportKinds},
                {BufTimeRole, true, ReportKinds},
                {ConfRevRole, true, ReportKinds},
                {TrgOpsRole, true, ReportKinds},
                {OptFieldsRole, true, ReportKinds},
                {IndexedRole, false, {}},
                {MaxIndexRole, true, ReportKinds},
                {RptIdRole, false, {}},
                {ReportNameRole, false, {}},
                {BufferedRole, false, {}},
                {ReportDatasetRole, false, {}},
                {DepthRole, true, {}}};
    }
    return {};
}

QVariant expectedRole(const QStandardItem *source, const KeptRole &kept)
{
    const QVariant value = source->data(kept.role);
    if (!value.isValid() || value.type() == QVariant::Bool)
        return value;
    if (kept.integer) {
        const int kind = source->data(KindRole).toInt();
        if (value.toInt() == 0 && !kept.zeroMeaningfulOn.contains(kind))
            return QVariant();
        return value.toInt();
    }
    return value.toString().isEmpty() ? QVariant() : value;
}

const QList<int> AllRoles{
    KindRole,       TreeIndexRole,    GroupRole,    DatasetRefRole,    NodeIdRole,
    ParentIdRole,   ConnectionIdRole, DepthRole,    CtlModelRole,      IntgPdRole,
    BufTimeRole,    ConfRevRole,      TrgOpsRole,   OptFieldsRole,     MaxIndexRole,
    ReportNameRole, RptIdRole,        BufferedRole, ReportDatasetRole, IndexedRole,
    EditorRole,     MmsTypeRole,      BTypeRole,    SclKindRole,       ReportSettingsRole};

void compareNode(const QStandardItem *parsed, const QStandardItem *loaded, Branch branch)
{
    const QString where = nodePath(parsed);
    QVERIFY2(loaded, qPrintable(where));
    QCOMPARE(loaded->text(), parsed->text());
    QVERIFY2(!loaded->isEditable(), qPrintable(where));
    QCOMPARE(loaded->data(KindRole), QVariant(parsed->data(KindRole).toInt()));
    QCOMPARE(loaded->data(NodeIdRole), parsed->data(NodeIdRole));
    QCOMPARE(variantText(loaded->data(ParentIdRole)), variantText(parsed->data(ParentIdRole)));
    QCOMPARE(loaded->data(ConnectionIdRole), QVariant(0));
    QVERIFY2(!loaded->icon().isNull(), qPrintable(where));

    QList<int> compared{KindRole, NodeIdRole, ParentIdRole, ConnectionIdRole};
    for (const KeptRole &kept : keptRoles(branch)) {
        QVERIFY2(variantText(loaded->data(kept.role)) == variantText(expectedRole(parsed, kept)),
                 qPrintable(QStringLiteral("%1 role %2: %3 after loading, %4 parsed")
                                .arg(where)
                                .arg(kept.role)
                                .arg(variantText(loaded->data(kept.role)),
                                     variantText(parsed->data(kept.role)))));
        compared.append(kept.role);
    }
    // Whatever the table has no column for is not made up by the loader.
    for (int role : AllRoles) {
        if (!compared.contains(role))
            QVERIFY2(!loaded->data(role).isValid(),
                     qPrintable(where + " " + QString::number(role)));
    }

    QCOMPARE(loaded->rowCount(), parsed->rowCount());
    if (parsed->rowCount() > 0)
        QCOMPARE(loaded->columnCount(), parsed->columnCount());
    for (int row = 0; row < parsed->rowCount(); ++row) {
        compareNode(parsed->child(row), loaded->child(row), branch);
        if (QTest::currentTestFailed())
            return;
    }
}

// The text a connection value reads with after the round trip: INTEGER
// columns keep the number of the text, 0 for none.
QString storedConnectionText(int column, const QString &text)
{
    static const QList<int> integerColumns{0, 3, 4, 8, 9, 13};
    if (!integerColumns.contains(column))
        return text;
    return QString::number(text.trimmed().toLongLong());
}

} // namespace

void TestSclProjectRoundTrip::roundTrip(const QString &file, const QString &ied, bool testModel)
{
    SelectedItemsModel parsed;
    QVERIFY(parseIed(file, ied, &parsed));

    ProjectFile project;
    QVERIFY(project.open(true));
    SclDataExporter writer;
    QVERIFY(writer.writeSclModel(&parsed, project.db.get()));
    project.close();

    QVERIFY(project.open(false));
    SelectedItemsModel loaded;
    std::unique_ptr<QAbstractItemModelTester> tester;
    if (testModel) {
        tester = std::make_unique<QAbstractItemModelTester>(
            &loaded, QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    SclDataExporter loader;
    QVERIFY(loader.loadSclModel(&loaded, project.db.get()));

    QCOMPARE(loaded.rowCount(), 1);
    QCOMPARE(loaded.columnCount(), 2);
    QCOMPARE(loaded.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Item"));
    QCOMPARE(loaded.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));
    QStandardItem *parsedIed = parsed.item(0);
    QStandardItem *loadedIed = loaded.item(0);
    QCOMPARE(loadedIed->text(), ied);
    QCOMPARE(loadedIed->rowCount(), 4);
    const QStringList branches{"Connection", "DataObjects", "DataSets", "Reports"};
    for (int row = 0; row < 4; ++row)
        QCOMPARE(loadedIed->child(row)->text(), branches.at(row));

    QStandardItem *parsedConnection = parsedIed->child(0);
    QStandardItem *loadedConnection = loadedIed->child(0);
    QCOMPARE(loadedConnection->rowCount(), 16);
    for (int row = 0; row < parsedConnection->rowCount(); ++row) {
        QCOMPARE(loadedConnection->child(row, 1)->text(),
                 storedConnectionText(row, parsedConnection->child(row, 1)->text()));
    }

    const QList<Branch> kinds{DataObjectsBranch, DataSetsBranch, ReportsBranch};
    for (int i = 0; i < kinds.size(); ++i) {
        QStandardItem *parsedRoot = parsedIed->child(i + 1);
        QStandardItem *loadedRoot = loadedIed->child(i + 1);
        QCOMPARE(loadedRoot->rowCount(), parsedRoot->rowCount());
        for (int row = 0; row < parsedRoot->rowCount(); ++row) {
            compareNode(parsedRoot->child(row), loadedRoot->child(row), kinds.at(i));
            if (QTest::currentTestFailed())
                return;
        }
    }
}

void TestSclProjectRoundTrip::exampleRoundTrip_data()
{
    QTest::addColumn<QString>("ied");
    QTest::newRow("protection IED") << QStringLiteral("BAY1_PROT");
    QTest::newRow("measurement IED") << QStringLiteral("BAY2_MEAS");
}

void TestSclProjectRoundTrip::exampleRoundTrip()
{
    QFETCH(QString, ied);
    roundTrip(sourceFile(QStringLiteral("examples/substation.scd")), ied, true);
}

void TestSclProjectRoundTrip::samplesRoundTrip_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("ied");
    if (sharedDir().isEmpty())
        return;
    QDirIterator files(sharedDir() + QStringLiteral("/scl-samples"), QDir::Files,
                       QDirIterator::Subdirectories);
    QStringList paths;
    while (files.hasNext())
        paths.append(files.next());
    paths.sort();
    for (const QString &path : qAsConst(paths)) {
        if (path.endsWith(QLatin1String(".md")))
            continue;
        SclParser parser;
        for (const QString &ied : parser.loadIedNames(path)) {
            const QString name = QFileInfo(path).fileName() + QLatin1Char(' ') + ied;
            QTest::newRow(qPrintable(name)) << path << ied;
        }
    }
}

void TestSclProjectRoundTrip::samplesRoundTrip()
{
    QSKIP_WITHOUT_SHARED();
    QFETCH(QString, file);
    QFETCH(QString, ied);
    SelectedItemsModel probe;
    if (!parseIed(file, ied, &probe))
        QSKIP("the IED has no logical node to store");
    roundTrip(file, ied, false);
}

void TestSclProjectRoundTrip::writesRowsParentFirst()
{
    SelectedItemsModel parsed;
    QVERIFY(parseIed(sourceFile(QStringLiteral("examples/substation.scd")),
                     QStringLiteral("BAY1_PROT"), &parsed));
    ProjectFile project;
    QVERIFY(project.open(true));
    SclDataExporter writer;
    QVERIFY(writer.writeSclModel(&parsed, project.db.get()));

    // Depth-first pre-order: every row's parent was written before it.
    for (const QString &table :
         {QStringLiteral("iec61850_data_objects_pro"), QStringLiteral("iec61850_reports_pro")}) {
        QSqlQuery query(project.connector->database());
        QVERIFY(
            query.exec(QStringLiteral("SELECT id, parent_id FROM %1 ORDER BY db_id").arg(table)));
        QSet<int> seen;
        int rows = 0;
        while (query.next()) {
            const int parent = query.value(1).toInt();
            QVERIFY2(parent == -1 || seen.contains(parent), qPrintable(table));
            seen.insert(query.value(0).toInt());
            ++rows;
        }
        QVERIFY(rows > 0);
    }

    QSqlQuery connection(project.connector->database());
    QVERIFY(connection.exec(QStringLiteral("SELECT id, name, port_number, nplateChk, ctrlOrigIden "
                                           "FROM iec61850_connectionsv2")));
    QVERIFY(connection.next());
    QCOMPARE(connection.value(0).toInt(), 0);
    QCOMPARE(connection.value(1).toString(), QStringLiteral("BAY1_PROT"));
    QCOMPARE(connection.value(2).type(), QVariant::LongLong);
    QCOMPARE(connection.value(3).toInt(), 0); // "-" is no number
    QCOMPARE(connection.value(4).toString(), QStringLiteral("KEL"));
    QVERIFY(!connection.next());
}

void TestSclProjectRoundTrip::reportsProgress()
{
    SelectedItemsModel parsed;
    QVERIFY(parseIed(sourceFile(QStringLiteral("examples/substation.scd")),
                     QStringLiteral("BAY1_PROT"), &parsed));
    ProjectFile project;
    QVERIFY(project.open(true));
    SclDataExporter writer;
    QSignalSpy written(&writer, &SclDataExporter::progressUpdated);
    QSignalSpy writeDone(&writer, &SclDataExporter::progressFinished);
    QVERIFY(writer.writeSclModel(&parsed, project.db.get()));
    QCOMPARE(writeDone.count(), 1);

    // One step per tree node; the connection rows and branch roots count in
    // the total but are not written as nodes, so the last step stays below 100.
    const int total = 1 + SclDataExporter::countNodes(parsed.invisibleRootItem());
    QStandardItem *ied = parsed.item(0);
    const int treeNodes = SclDataExporter::countNodes(ied->child(1)) +
                          SclDataExporter::countNodes(ied->child(2)) +
                          SclDataExporter::countNodes(ied->child(3));
    QCOMPARE(written.count(), treeNodes);
    int previous = 0;
    for (const QList<QVariant> &arguments : qAsConst(written)) {
        QVERIFY(arguments.at(0).toInt() >= previous);
        previous = arguments.at(0).toInt();
    }
    QCOMPARE(previous, int(qint64(treeNodes) * 100 / total));

    SelectedItemsModel loaded;
    SclDataExporter loader;
    QSignalSpy loading(&loader, &SclDataExporter::progressUpdated);
    QSignalSpy loadDone(&loader, &SclDataExporter::progressFinished);
    QVERIFY(loader.loadSclModel(&loaded, project.db.get()));
    QCOMPARE(loadDone.count(), 1);
    QCOMPARE(loading.count(), treeNodes);
    QCOMPARE(loading.last().at(0).toInt(), 100);
}

void TestSclProjectRoundTrip::iedWithoutAccessPointStillReopens()
{
    SelectedItemsModel parsed;
    QVERIFY(parseIed(sourceFile(QStringLiteral("examples/substation.scd")),
                     QStringLiteral("BAY1_PROT"), &parsed));
    QStandardItem *connection = parsed.item(0)->child(0);
    connection->removeRows(0, connection->rowCount());

    ProjectFile project;
    QVERIFY(project.open(true));
    SclDataExporter exporter;
    QVERIFY(exporter.writeSclModel(&parsed, project.db.get()));
    SelectedItemsModel loaded;
    QVERIFY(exporter.loadSclModel(&loaded, project.db.get()));
    QStandardItem *ied = loaded.item(0);
    QVERIFY(ied);
    QCOMPARE(ied->text(), QStringLiteral("BAY1_PROT"));
    QCOMPARE(ied->child(0)->child(0, 1)->text(), QStringLiteral("0"));
    QCOMPARE(ied->child(0)->child(1, 1)->text(), QStringLiteral("BAY1_PROT"));
    QCOMPARE(ied->child(1)->rowCount(), 1);
}

void TestSclProjectRoundTrip::picksAfterReopenCarryControlModel()
{
    SelectedItemsModel parsed;
    QVERIFY(parseIed(sourceFile(QStringLiteral("examples/substation.scd")),
                     QStringLiteral("BAY1_PROT"), &parsed));
    ProjectFile project;
    QVERIFY(project.open(true));
    SclDataExporter exporter;
    QVERIFY(exporter.writeSclModel(&parsed, project.db.get()));
    SelectedItemsModel loaded;
    QVERIFY(exporter.loadSclModel(&loaded, project.db.get()));

    // Every data object the parse marked with a control model, picked in
    // both models, shows the same control model.
    int marked = 0;
    std::function<void(QStandardItem *)> visit = [&](QStandardItem *node) {
        if (node->data(CtlModelRole).isValid() && node->data(CtlModelRole).toInt() != 0) {
            ++marked;
            QStringList path;
            for (QStandardItem *item = node; item->parent(); item = item->parent())
                path.prepend(item->text());
            QStandardItem *reopened =
                findNode(loaded.invisibleRootItem(), QStringList{loaded.item(0)->text()} + path);
            QVERIFY2(reopened, qPrintable(path.join('/')));
            SelectedObjectsModel afterParse;
            SelectedObjectsModel afterReopen;
            const ReferencePath reference = referencePath(node);
            QVERIFY(afterParse.addNode(node, reference.path, QStringLiteral("CF")));
            QVERIFY(
                afterReopen.addNode(reopened, referencePath(reopened).path, QStringLiteral("CF")));
            afterParse.fillAddedRow(afterParse.item(0));
            afterReopen.fillAddedRow(afterReopen.item(0));
            QVERIFY(!afterParse.item(0, SelectedObjectsModel::CtlModelColumn)->text().isEmpty());
            QCOMPARE(afterReopen.item(0, SelectedObjectsModel::CtlModelColumn)->text(),
                     afterParse.item(0, SelectedObjectsModel::CtlModelColumn)->text());
        }
        for (int row = 0; row < node->rowCount(); ++row)
            visit(node->child(row));
    };
    visit(parsed.item(0)->child(1));
    QVERIFY(marked > 0);
}

void TestSclProjectRoundTrip::connectionNamesTheAccessPointAddress()
{
    // The access point's GSE, SMV and PhysConn hold IP and port parameters too.
    SelectedItemsModel parsed;
    QVERIFY(parseIed(sourceFile(QStringLiteral("tests/scl/fixtures/devices.scd")),
                     QStringLiteral("P1"), &parsed));
    ProjectFile project;
    QVERIFY(project.open(true));
    SclDataExporter writer;
    QVERIFY(writer.writeSclModel(&parsed, project.db.get()));
    QSqlQuery query(project.connector->database());
    QVERIFY(
        query.exec(QStringLiteral("SELECT ip_address, port_number FROM iec61850_connectionsv2")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString(), QStringLiteral("10.2.2.2"));
    QCOMPARE(query.value(1).toInt(), 10102);
}

void TestSclProjectRoundTrip::controlPickStoresControlModelAndStructure()
{
    SelectedItemsModel parsed;
    QVERIFY(parseIed(sourceFile(QStringLiteral("examples/substation.scd")),
                     QStringLiteral("BAY1_PROT"), &parsed));
    QStandardItem *control =
        findNode(parsed.invisibleRootItem(),
                 {"BAY1_PROT", "DataObjects", "BAY1_PROT", "CTRL", "Q0CSWI1", "CO", "Pos"});
    QVERIFY(control);
    ProjectFile project;
    QVERIFY(project.open(true));
    SclDataExporter exporter;
    QVERIFY(exporter.writeSclModel(&parsed, project.db.get()));

    Selections picked;
    pickObject(picked, control);
    QVERIFY(exporter.writeSelections(&picked.objects, &picked.datasets, &picked.reports,
                                     project.db.get()));

    QSqlQuery query(project.connector->database());
    QVERIFY(query.exec(QStringLiteral("SELECT ctlmodel, mms_type FROM iec61850_data_objects_pro "
                                      "WHERE id=%1")
                           .arg(control->data(NodeIdRole).toString())));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toInt(), 4);
    QCOMPARE(query.value(1).toInt(), int(MmsStructure));
    QVERIFY(query.exec(
        QStringLiteral("SELECT ctlModel, mms_type FROM iec61850_data_objects WHERE parent_id=-1")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toInt(), 4);
    QCOMPARE(query.value(1).toInt(), int(MmsStructure));
}

void TestSclProjectRoundTrip::emptyConnectionTableLoadsNothing()
{
    ProjectFile project;
    QVERIFY(project.open(true));
    SelectedItemsModel loaded;
    loaded.appendRow(new QStandardItem(QStringLiteral("previous project")));
    SclDataExporter exporter;
    QSignalSpy finished(&exporter, &SclDataExporter::progressFinished);
    QVERIFY(!exporter.loadSclModel(&loaded, project.db.get()));
    QCOMPARE(loaded.rowCount(), 0);
    QCOMPARE(finished.count(), 1);
}

void TestSclProjectRoundTrip::readOnlyFileKeepsItsRows_data()
{
    QTest::addColumn<bool>("byPermissions");
    QTest::newRow("file without write permission") << true;
    QTest::newRow("connection opened read-only") << false;
}

void TestSclProjectRoundTrip::readOnlyFileKeepsItsRows()
{
    QFETCH(bool, byPermissions);
    SelectedItemsModel parsed;
    QVERIFY(parseIed(sourceFile(QStringLiteral("examples/substation.scd")),
                     QStringLiteral("BAY2_MEAS"), &parsed));
    ProjectFile project;
    QVERIFY(project.open(true));
    project.close();
    QFile::setPermissions(project.path, QFile::ReadOwner);
    auto restore = qScopeGuard(
        [&] { QFile::setPermissions(project.path, QFile::ReadOwner | QFile::WriteOwner); });
    if (byPermissions && QFileInfo(project.path).isWritable())
        QSKIP("running with rights that ignore file permissions");
    const QByteArray before = [&] {
        QFile file(project.path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();

    project.connector = std::make_unique<SqliteConnector>();
    if (!byPermissions) {
        QSqlDatabase handle = project.connector->database();
        handle.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    }
    project.connector->setDatabaseName(project.path);
    QVERIFY(project.connector->open());
    project.db = std::make_unique<Iec61850DbManager>(project.connector.get());
    project.db->upgradeProject();
    SclDataExporter exporter;
    QVERIFY(!exporter.writeSclModel(&parsed, project.db.get()));
    project.close();
    QFile file(project.path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

QTEST_MAIN(TestSclProjectRoundTrip)
#include "tst_sclprojectroundtrip.moc"
