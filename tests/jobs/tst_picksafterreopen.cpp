// A pick means the same whether it was made on the parsed model or on the
// model of a reopened project, also one written by an older version.

#include "projecttesthelpers.h"
#include "scldataexporter.h"
#include "scriptedprompt.h"
#include "selectionpicks.h"
#include "testpaths.h"

#include <QSqlQuery>

class TestPicksAfterReopen : public QObject
{
    Q_OBJECT

private slots:
    void init() { prompt = std::make_unique<ScriptedPrompt>(); }
    void cleanup() { prompt.reset(); }

    void sameSelectionTables_data();
    void sameSelectionTables();
    void olderFileWithoutPicksLeavesIndexingUnknown();
    void olderPicksGetTheirTypesAndControlModels();

private:
    std::unique_ptr<ScriptedPrompt> prompt;
};

namespace {

// The model columns an older version did not have, by table.
const QList<QPair<QString, QStringList>> AddedColumns{
    {QStringLiteral("iec61850_datasets_and_objects_pro"), {"sclbtype", "mms_type", "ctlmodel"}},
    {QStringLiteral("iec61850_reports_pro"), {"is_indexed", "max_index", "rpt_id"}},
};

// Rebuilds the model tables without the added columns, as an older version wrote them.
void makeOlder(ProjectFile &project)
{
    QSqlQuery query(project.connector->database());
    for (const auto &entry : AddedColumns) {
        const int table = project.db->tableIdByName(entry.first);
        QStringList kept = project.db->schemaTable(table).columnNames();
        for (const QString &column : entry.second)
            kept.removeAll(column);
        for (const QString &sql :
             {QStringLiteral("CREATE TABLE older AS SELECT %1 FROM %2")
                  .arg(kept.join(QLatin1Char(',')), entry.first),
              QStringLiteral("DROP TABLE %1").arg(entry.first),
              QStringLiteral("ALTER TABLE older RENAME TO %1").arg(entry.first)})
            QVERIFY2(query.exec(sql), qPrintable(sql));
    }
}

void writeModelAndPicks(ProjectFile &project, QStandardItemModel &model, Selections *picks)
{
    QVERIFY(project.open(true));
    SclDataExporter exporter;
    QVERIFY(exporter.writeSclModel(&model, project.db.get()));
    if (!picks)
        return;
    pickEverything(*picks, model.item(0));
    QVERIFY(exporter.writeSelections(&picks->objects, &picks->datasets, &picks->reports,
                                     project.db.get()));
}

// A new project of the example's IED, reopened as an older version wrote it
// when older is set.
void writeExample(ProjectFile &project, const QString &ied, bool older, Selections *picks = nullptr)
{
    SelectedItemsModel parsed;
    QVERIFY(parseIed(sourceFile(QStringLiteral("examples/substation.scd")), ied, &parsed));
    writeModelAndPicks(project, parsed, picks);
    if (older)
        makeOlder(project);
    QVERIFY(project.open(false));
}

// Rows of a selection table without their keys.
QVector<QStringList> tableRows(ProjectFile &project, int table)
{
    QVector<QStringList> rows = project.db->selectTexts(table, QString());
    for (QStringList &row : rows)
        row.removeFirst();
    return rows;
}

} // namespace

void TestPicksAfterReopen::sameSelectionTables_data()
{
    QTest::addColumn<QString>("ied");
    QTest::addColumn<bool>("older");
    for (const char *ied : {"BAY1_PROT", "BAY2_MEAS"}) {
        QTest::addRow("%s current file", ied) << QString::fromLatin1(ied) << false;
        QTest::addRow("%s older file", ied) << QString::fromLatin1(ied) << true;
    }
}

void TestPicksAfterReopen::sameSelectionTables()
{
    QFETCH(QString, ied);
    QFETCH(bool, older);
    ProjectFile first;
    Selections beforeReopen;
    writeExample(first, ied, older, &beforeReopen);
    SelectedItemsModel reopened;
    SclDataExporter loader;
    QVERIFY(loader.loadSclModel(&reopened, first.db.get()));
    // The store has one connection at a time.
    QHash<int, QVector<QStringList>> expectedTables;
    for (int table : {DataObjectsTable, DatasetsTable, ReportsTable})
        expectedTables.insert(table, tableRows(first, table));
    first.close();

    ProjectFile second(QStringLiteral("second.sclpro"));
    Selections afterReopen;
    writeModelAndPicks(second, reopened, &afterReopen);
    QVERIFY(beforeReopen.datasets.rowCount() > 0 && beforeReopen.reports.rowCount() > 0);
    for (int table : {DataObjectsTable, DatasetsTable, ReportsTable}) {
        const QVector<QStringList> expected = expectedTables.value(table);
        const QVector<QStringList> actual = tableRows(second, table);
        QCOMPARE(actual.size(), expected.size());
        for (int row = 0; row < expected.size(); ++row)
            QCOMPARE(actual.at(row).join(QLatin1Char('|')),
                     expected.at(row).join(QLatin1Char('|')));
    }
}

void TestPicksAfterReopen::olderFileWithoutPicksLeavesIndexingUnknown()
{
    ProjectFile project;
    writeExample(project, QStringLiteral("BAY1_PROT"), true);
    SelectedItemsModel reopened;
    QVERIFY(SclDataExporter().loadSclModel(&reopened, project.db.get()));

    int reports = 0;
    visit(reopened.item(0)->child(SclBranch::ReportsRow), [&reports](QStandardItem *node) {
        if (kindOf(node) != UnbufferedReportKind && kindOf(node) != BufferedReportKind)
            return;
        ++reports;
        QVERIFY2(!node->data(IndexedRole).isValid(), qPrintable(node->text()));
        QVERIFY2(!node->data(MaxIndexRole).isValid(), qPrintable(node->text()));
        QVERIFY2(!node->data(RptIdRole).isValid(), qPrintable(node->text()));
        QVERIFY(node->data(ReportNameRole).isValid());
    });
    QVERIFY(reports > 0);
}

void TestPicksAfterReopen::olderPicksGetTheirTypesAndControlModels()
{
    ProjectFile project;
    Selections picks;
    writeExample(project, QStringLiteral("BAY1_PROT"), false, &picks);
    Selections current;
    QVERIFY(SclDataExporter().loadSelections(&current.objects, &current.datasets, &current.reports,
                                             project.db.get()));
    const auto cells = [](QStandardItemModel &model) {
        QStringList rows;
        visit(model.invisibleRootItem(), [&](QStandardItem *node) {
            QStringList row;
            for (int column = 0; column < model.columnCount(); ++column) {
                const QStandardItem *cell = node->parent()
                                                ? node->parent()->child(node->row(), column)
                                                : model.item(node->row(), column);
                row.append(cell ? cell->text() : QString());
            }
            rows.append(row.join(QLatin1Char('|')));
        });
        return rows;
    };

    // Older versions stored no type for data object members, arrays' codes
    // for structures and no control model below a control object.
    QSqlQuery query(project.connector->database());
    for (const char *sql : {"UPDATE iec61850_datasets_and_objects SET mms_type = -1 WHERE type = 4",
                            "UPDATE iec61850_data_objects SET mms_type = 0 WHERE type = 4",
                            "UPDATE iec61850_data_objects SET ctlModel = 0 WHERE parent_id <> -1"})
        QVERIFY2(query.exec(QLatin1String(sql)), sql);
    QVERIFY(query.exec("SELECT count(*) FROM iec61850_data_objects WHERE function = 'CO'") &&
            query.next() && query.value(0).toInt() > 0);
    Selections older;
    QVERIFY(SclDataExporter().loadSelections(&older.objects, &older.datasets, &older.reports,
                                             project.db.get()));
    QCOMPARE(cells(older.objects), cells(current.objects));
    QCOMPARE(cells(older.datasets), cells(current.datasets));
}

QTEST_MAIN(TestPicksAfterReopen)
#include "tst_picksafterreopen.moc"
