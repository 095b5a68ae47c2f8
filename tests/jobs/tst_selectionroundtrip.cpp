// Picks made in the three selection models, saved into the project file and
// loaded back into fresh models: every cell, its state and the node values.

#include "projecttesthelpers.h"
#include "referencepath.h"
#include "scldataexporter.h"
#include "scriptedprompt.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "selectionpicks.h"
#include "sqlstatement.h"
#include "testpaths.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSqlQuery>

#include <functional>

Q_DECLARE_METATYPE(QStandardItem *)

namespace {

bool isKeptControl(const QStandardItem *parent, int row)
{
    const QStandardItem *first = parent->child(row, 0);
    return kindOf(first) == DataObjectKind && first->data(GroupRole).toString() == "CO" &&
           !parent->child(row, SelectedObjectsModel::WriteTrigSignalColumn)->text().isEmpty();
}

// Columns stored as list codes, by model.
QHash<int, ValueList> codedColumns(const SelectedItemsModel *model)
{
    if (qobject_cast<const SelectedObjectsModel *>(model)) {
        return {{SelectedObjectsModel::MmsTypeColumn, ValueList::MmsType},
                {SelectedObjectsModel::CtlModelColumn, ValueList::ControlModel},
                {SelectedObjectsModel::SelectionTypeColumn, ValueList::SelectionType}};
    }
    if (qobject_cast<const SelectedDatasetsModel *>(model))
        return {{SelectedDatasetsModel::MmsTypeColumn, ValueList::MmsType}};
    return {};
}

bool isLiveValueColumn(const SelectedItemsModel *model, int column)
{
    return qobject_cast<const SelectedDatasetsModel *>(model) &&
           column == SelectedDatasetsModel::LiveValueColumn;
}

// Report columns the file holds as numbers: a check box's true reads back as 1.
QList<int> integerColumns(const SelectedItemsModel *model)
{
    if (!qobject_cast<const SelectedReportsModel *>(model))
        return {};
    return {SelectedReportsModel::TriggerTypeColumn,   SelectedReportsModel::IsIndexedColumn,
            SelectedReportsModel::MaxIndexColumn,      SelectedReportsModel::ConfRevCheckColumn,
            SelectedReportsModel::ConfRevNumberColumn, SelectedReportsModel::IntPeriodColumn,
            SelectedReportsModel::BufferingTimeColumn, SelectedReportsModel::OptFieldsColumn};
}

QString cellState(const QStandardItem *cell)
{
    return QStringLiteral("%1%2 %3 %4")
        .arg(cell->isEditable() ? "E" : "-", cell->isEnabled() ? "A" : "-",
             cell->data(EditorRole).toString())
        .arg(cell->background().style());
}

// exact: a model loaded from rows this program wrote after a load; otherwise
// the first save of picks, where the file's encodings show.
void compareRows(const SelectedItemsModel *expectedModel, const QStandardItem *expected,
                 const QStandardItem *loaded, bool exact)
{
    const QHash<int, ValueList> coded = codedColumns(expectedModel);
    // A data set keeps every member; array elements of a basic type have no rows below them.
    const bool pruning = qobject_cast<const SelectedObjectsModel *>(expectedModel) &&
                         kindOf(expected) != DataAttributeKind;
    int loadedRow = 0;
    for (int row = 0; row < expected->rowCount(); ++row) {
        const QStandardItem *first = expected->child(row, 0);
        const QString where = nodePath(first);
        const bool keptControl = pruning && isKeptControl(expected, row);
        // A data object without attribute rows does not come back.
        if (pruning && !exact && kindOf(first) == DataObjectKind && first->rowCount() == 0 &&
            !keptControl)
            continue;
        QVERIFY2(loadedRow < loaded->rowCount(), qPrintable(where));
        const QStandardItem *loadedFirst = loaded->child(loadedRow, 0);
        for (int column = 0; column < expectedModel->columnCount(); ++column) {
            const QStandardItem *cell = expected->child(row, column);
            const QStandardItem *loadedCell = loaded->child(loadedRow, column);
            // Live values are never stored: a loaded row shows none.
            if (isLiveValueColumn(expectedModel, column)) {
                QVERIFY2(!loadedCell || loadedCell->text().isEmpty(), qPrintable(where));
                continue;
            }
            QVERIFY2(loadedCell, qPrintable(where));
            QString text = cell->text();
            // A disabled cell may hold a text it does not show; the row set-up
            // of the loader empties it.
            if (!exact && !cell->isEnabled())
                text.clear();
            // A member without a type keeps none.
            const bool untyped = coded.value(column) == ValueList::MmsType && text.isEmpty();
            if (!exact && coded.contains(column) && !untyped &&
                !valueListNames(coded.value(column)).contains(text) && loadedCell->isEnabled())
                text =
                    valueListName(coded.value(column), 0); // a name not in the list is stored as 0
            if (!exact && integerColumns(expectedModel).contains(column))
                text = SqlStatement::valueLiteral(cell->data(Qt::DisplayRole), "INTEGER");
            QVERIFY2(loadedCell->text() == text,
                     qPrintable(QStringLiteral("%1 column %2: '%3' loaded, '%4' expected")
                                    .arg(where)
                                    .arg(column)
                                    .arg(loadedCell->text(), text)));
            QVERIFY2(cellState(loadedCell) == cellState(cell),
                     qPrintable(QStringLiteral("%1 column %2: %3 loaded, %4 expected")
                                    .arg(where)
                                    .arg(column)
                                    .arg(cellState(loadedCell), cellState(cell))));
            QCOMPARE(loadedCell->data(KindRole), cell->data(KindRole));
        }
        QCOMPARE(loadedFirst->data(NodeIdRole).toString(), first->data(NodeIdRole).toString());
        QCOMPARE(loadedFirst->data(ConnectionIdRole).toInt(), 0);
        QCOMPARE(loadedFirst->data(TreeIndexRole), first->data(TreeIndexRole));
        QVERIFY2(!loadedFirst->icon().isNull(), qPrintable(where));
        if (qobject_cast<const SelectedObjectsModel *>(expectedModel)) {
            QCOMPARE(loadedFirst->data(GroupRole).toString(), first->data(GroupRole).toString());
            // The name of the stored code; a disabled cell is stored empty.
            const QStandardItem *ctlModelCell =
                expected->child(row, SelectedObjectsModel::CtlModelColumn);
            const QString ctlModel = ctlModelCell->isEnabled() ? ctlModelCell->text() : QString();
            QCOMPARE(loadedFirst->data(CtlModelRole).toString(),
                     exact ? first->data(CtlModelRole).toString()
                           : valueListName(ValueList::ControlModel,
                                           valueListCode(ValueList::ControlModel, ctlModel)));
        }
        if (keptControl && !exact) {
            QCOMPARE(loadedFirst->rowCount(), 0);
        } else {
            compareRows(expectedModel, first, loadedFirst, exact);
            if (QTest::currentTestFailed())
                return;
        }
        ++loadedRow;
    }
    QCOMPARE(loaded->rowCount(), loadedRow);
}

int rowCount(Iec61850DbManager *db, const QString &table)
{
    QSqlQuery query(db->connector()->database());
    query.exec("SELECT count(*) FROM " + table);
    return query.next() ? query.value(0).toInt() : -1;
}

} // namespace

class TestSelectionRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void picksComeBack();
    void secondSaveIsStable();
    void loadedNamesCountForDuplicates();
    void savingEmptySelections();
    void failedSaveKeepsPreviousSelections();
    void liveValuesAreNeitherSavedNorExported();

private:
    void pickAndBind(Selections &s);
    void save(Selections &s);
    // The model tester checks each insertion against the whole model: slow,
    // so one test uses it.
    void load(Selections &s, bool testModels = false);

    SelectedItemsModel scl;
    std::unique_ptr<ProjectFile> project;
    std::unique_ptr<ScriptedPrompt> prompt;
};

void TestSelectionRoundTrip::init()
{
    qRegisterMetaType<QStandardItem *>();
    prompt = std::make_unique<ScriptedPrompt>();
    scl.clear();
    QVERIFY(parseIed(sourceFile("examples/substation.scd"), "BAY1_PROT", &scl));
    project = std::make_unique<ProjectFile>();
    QVERIFY(project->open(true));
    SclDataExporter exporter;
    QVERIFY(exporter.writeSclModel(&scl, project->db.get()));
}

void TestSelectionRoundTrip::cleanup()
{
    project.reset();
    prompt.reset();
}

void TestSelectionRoundTrip::pickAndBind(Selections &s)
{
    QStandardItem *ied = scl.item(0);
    visit(ied->child(SclBranch::DataObjectsRow), [&](QStandardItem *node) {
        const QString constraint = constraintAbove(node);
        const bool dataObject =
            kindOf(node) == DataObjectKind && kindOf(node->parent()) == FunctionalConstraintKind;
        if (dataObject && (constraint == "CO" || constraint == "ST" || constraint == "MX"))
            pickObject(s, node);
        // One leaf attribute picked on its own.
        if (kindOf(node) == DataAttributeKind && node->text().startsWith("stVal{ST") &&
            s.objects.rowCount() < 40)
            pickObject(s, node);
    });
    visit(ied->child(SclBranch::DataSetsRow), [&](QStandardItem *node) {
        if (kindOf(node) == DataSetKind)
            pickDataset(s, node);
    });
    visit(ied->child(SclBranch::ReportsRow), [&](QStandardItem *node) {
        if (kindOf(node) == UnbufferedReportKind || kindOf(node) == BufferedReportKind)
            pickReport(s, node);
    });
    QVERIFY(s.objects.rowCount() > 5);
    QVERIFY(s.datasets.rowCount() >= 2);
    QVERIFY(s.reports.rowCount() >= 3);

    // Bind signals, some of them with texts that would end an SQL literal.
    int controls = 0;
    for (int row = 0; row < s.objects.rowCount(); ++row) {
        auto cell = [&](int column) {
            return s.objects.item(row, column);
        };
        cell(SelectedObjectsModel::ReadTrigSignalColumn)->setText(QStringLiteral("RT'%1").arg(row));
        if (cell(0)->data(GroupRole).toString() != "CO")
            continue;
        if (controls++ % 2 == 0) {
            cell(SelectedObjectsModel::WriteTrigSignalColumn)->setText("WT'); DROP TABLE x; --");
            cell(SelectedObjectsModel::DataSignalColumn)->setText("Q0 'close'");
            cell(SelectedObjectsModel::CtlModelColumn)->setText("SBOes");
            cell(SelectedObjectsModel::SelectionTypeColumn)->setText("With Val");
        }
        cell(SelectedObjectsModel::CommandTypeSignalColumn)->setText("CMD");
    }
    QVERIFY(controls >= 2);
    s.datasets.item(0, SelectedDatasetsModel::StatusSignalColumn)->setText("DS status");
    QStandardItem *member = s.datasets.item(0)->child(0, SelectedDatasetsModel::ResultSignalColumn);
    if (member->isEnabled())
        member->setText("R'1");
    // A member whose attribute the IED lacks has no type, and keeps none.
    bool untyped = false;
    visit(s.datasets.invisibleRootItem(), [&](QStandardItem *node) {
        if (!untyped && kindOf(node) == DataAttributeKind && node->parent()->parent() == nullptr) {
            node->parent()->child(node->row(), SelectedDatasetsModel::MmsTypeColumn)->setText({});
            untyped = true;
        }
    });
    QVERIFY(untyped);
    s.reports.item(0, SelectedReportsModel::EnableSignalColumn)->setText("EN'1");
    s.reports.item(0, SelectedReportsModel::ConfRevCheckColumn)->setData(true, Qt::DisplayRole);
    s.reports.item(1, SelectedReportsModel::TriggerTypeColumn)->setText("27");
}

void TestSelectionRoundTrip::save(Selections &s)
{
    SclDataExporter exporter;
    QSignalSpy progress(&exporter, &SclDataExporter::progressUpdated);
    QSignalSpy finished(&exporter, &SclDataExporter::progressFinished);
    QVERIFY(exporter.writeSelections(&s.objects, &s.datasets, &s.reports, project->db.get()));
    QCOMPARE(finished.count(), 1);
    int rows = 0;
    for (SelectedItemsModel *model : s.models())
        rows += SclDataExporter::countNodes(model->invisibleRootItem());
    QCOMPARE(progress.count(), rows);
    QCOMPARE(rowCount(project->db.get(), "iec61850_data_objects"),
             SclDataExporter::countNodes(s.objects.invisibleRootItem()));
    QCOMPARE(rowCount(project->db.get(), "iec61850_datasets_and_objects"),
             SclDataExporter::countNodes(s.datasets.invisibleRootItem()));
    QCOMPARE(rowCount(project->db.get(), "iec61850_reports"), s.reports.rowCount());
}

void TestSelectionRoundTrip::load(Selections &s, bool testModels)
{
    QVERIFY(project->open(false));
    QList<std::shared_ptr<QAbstractItemModelTester>> testers;
    for (SelectedItemsModel *model : s.models()) {
        if (!testModels)
            continue;
        testers.append(std::make_shared<QAbstractItemModelTester>(
            model, QAbstractItemModelTester::FailureReportingMode::QtTest));
    }
    SclDataExporter exporter;
    QSignalSpy progress(&exporter, &SclDataExporter::progressUpdated);
    QSignalSpy finished(&exporter, &SclDataExporter::progressFinished);
    QSignalSpy changed(&s.objects, &SelectedItemsModel::nodeChanged);
    QVERIFY(exporter.loadSelections(&s.objects, &s.datasets, &s.reports, project->db.get()));
    QCOMPARE(finished.count(), 1);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(0).toInt(), 100);
    QCOMPARE(changed.count(), 0);
    for (SelectedItemsModel *model : s.models())
        QVERIFY(!model->isNodeChangedSuppressed());
}

void TestSelectionRoundTrip::picksComeBack()
{
    Selections picked;
    pickAndBind(picked);
    save(picked);
    Selections loaded;
    load(loaded, true);
    compareRows(&picked.objects, picked.objects.invisibleRootItem(),
                loaded.objects.invisibleRootItem(), false);
    compareRows(&picked.datasets, picked.datasets.invisibleRootItem(),
                loaded.datasets.invisibleRootItem(), false);
    compareRows(&picked.reports, picked.reports.invisibleRootItem(),
                loaded.reports.invisibleRootItem(), false);
    // The report whose data set is selected carries no warning mark.
    QVERIFY(
        loaded.reports.item(0, SelectedReportsModel::DatasetRefPathColumn)->toolTip().isEmpty());
}

void TestSelectionRoundTrip::secondSaveIsStable()
{
    Selections picked;
    pickAndBind(picked);
    save(picked);
    Selections first;
    load(first);
    save(first);
    Selections second;
    load(second);
    compareRows(&first.objects, first.objects.invisibleRootItem(),
                second.objects.invisibleRootItem(), true);
    compareRows(&first.datasets, first.datasets.invisibleRootItem(),
                second.datasets.invisibleRootItem(), true);
    compareRows(&first.reports, first.reports.invisibleRootItem(),
                second.reports.invisibleRootItem(), true);
}

void TestSelectionRoundTrip::loadedNamesCountForDuplicates()
{
    Selections picked;
    pickAndBind(picked);
    save(picked);
    Selections loaded;
    load(loaded);
    const QStringList names = loaded.datasets.registeredNames().value("Default");
    for (const QString &name : picked.datasets.datasetNames())
        QVERIFY(names.contains(name));
    for (int row = 0; row < picked.objects.rowCount(); ++row) {
        const QStandardItem *first = picked.objects.item(row);
        QVERIFY(loaded.objects.registeredNames()
                    .value(SelectedItemsModel::groupKey(first->data(GroupRole).toString()))
                    .contains(first->text()));
    }
    QStandardItem *dataset = nullptr;
    visit(scl.item(0)->child(SclBranch::DataSetsRow), [&](QStandardItem *node) {
        if (!dataset && kindOf(node) == DataSetKind)
            dataset = node;
    });
    QVERIFY(!loaded.datasets.addNode(dataset, dataset->text(), QString()));
    QCOMPARE(prompt->messages.size(), 1);
}

void TestSelectionRoundTrip::savingEmptySelections()
{
    Selections picked;
    pickAndBind(picked);
    save(picked);
    Selections empty;
    save(empty);
    QCOMPARE(rowCount(project->db.get(), "iec61850_data_objects"), 0);
    QCOMPARE(rowCount(project->db.get(), "iec61850_reports"), 0);
    QCOMPARE(rowCount(project->db.get(), "iec61850_connectionsv2"), 1);
}

void TestSelectionRoundTrip::failedSaveKeepsPreviousSelections()
{
    Selections picked;
    pickAndBind(picked);
    save(picked);
    const int objects = rowCount(project->db.get(), "iec61850_data_objects");
    const int reports = rowCount(project->db.get(), "iec61850_reports");
    // The data sets are written after the objects: the failure comes half way.
    QVERIFY(project->db->executeStatement(
                "CREATE TRIGGER refuse BEFORE INSERT ON iec61850_datasets_and_objects "
                "BEGIN SELECT RAISE(ABORT, 'refused'); END") != -1);

    Selections changed;
    pickAndBind(changed);
    changed.objects.removeNode(0);
    SclDataExporter exporter;
    QSignalSpy finished(&exporter, &SclDataExporter::progressFinished);
    QTest::ignoreMessage(QtDebugMsg, "Failed to execute statement");
    QTest::ignoreMessage(QtDebugMsg,
                         "Saving the selections failed; the project keeps its previous selections");
    QVERIFY(!exporter.writeSelections(&changed.objects, &changed.datasets, &changed.reports,
                                      project->db.get()));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(rowCount(project->db.get(), "iec61850_data_objects"), objects);
    QCOMPARE(rowCount(project->db.get(), "iec61850_reports"), reports);

    QVERIFY(project->db->executeStatement("DROP TRIGGER refuse") != -1);
    Selections loaded;
    load(loaded);
    compareRows(&picked.objects, picked.objects.invisibleRootItem(),
                loaded.objects.invisibleRootItem(), false);
}

void TestSelectionRoundTrip::liveValuesAreNeitherSavedNorExported()
{
    Selections s;
    pickAndBind(s);
    QTemporaryDir folder;
    struct Written
    {
        QVector<QStringList> rows;
        QVector<QVector<QStringList>> sheets;
    };
    auto write = [&](const QString &name, Written *written) {
        save(s);
        written->rows = project->db->selectTexts(DatasetsTable, QString());
        SclDataExporter exporter;
        QVERIFY(exporter.exportWorkbook(folder.filePath(name), &scl, &s.objects, &s.datasets,
                                        &s.reports));
        SclDataExporter::WorkbookContent content;
        QVERIFY(exporter.readWorkbook(folder.filePath(name), &content));
        written->sheets = content.tables;
    };
    Written plain;
    write("plain.xlsx", &plain);
    visit(s.datasets.invisibleRootItem(), [&](QStandardItem *node) {
        s.datasets.setLiveValue(node, QStringLiteral("12.5 (questionable)'"));
    });
    QCOMPARE(s.datasets.liveValue(s.datasets.item(0)->child(0)),
             QStringLiteral("12.5 (questionable)'"));
    Written live;
    write("live.xlsx", &live);
    QVERIFY(!plain.rows.isEmpty());
    QCOMPARE(live.rows, plain.rows);
    QCOMPARE(live.sheets, plain.sheets);
}

QTEST_MAIN(TestSelectionRoundTrip)
#include "tst_selectionroundtrip.moc"
