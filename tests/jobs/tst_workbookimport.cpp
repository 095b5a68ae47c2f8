// Workbooks imported: connection ids that collide, files refused, sheets
// edited by hand, reports of unknown data sets, and workbooks other programs wrote.

#include "projecttesthelpers.h"
#include "scldataexporter.h"
#include "scriptedprompt.h"
#include "testpaths.h"
#include "workbookfixtures.h"
#include "workbooktesthelpers.h"

#include <QFile>
#include <QStandardPaths>

Q_DECLARE_METATYPE(QStandardItem *)

class TestWorkbookImport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void connectionIdsAvoidCollisions();
    void reimportKeepsConnectionIdZero();
    void refusedWorkbooks_data();
    void refusedWorkbooks();
    void editedSheets_data();
    void editedSheets();
    void reportOfUnknownDatasetIsMarked();
    void workbooksOfOtherPrograms_data();
    void workbooksOfOtherPrograms();

private:
    void pickAndBind(Selections &s) { pickAndBindAll(scl, s); }
    bool exportTo(const QString &path, Selections &s) { return ::exportTo(scl, path, s); }

    SelectedItemsModel scl;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ScriptedPrompt> prompt;
};

void TestWorkbookImport::init()
{
    qRegisterMetaType<QStandardItem *>();
    prompt = std::make_unique<ScriptedPrompt>();
    dir = std::make_unique<QTemporaryDir>();
    scl.clear();
    QVERIFY(parseIed(sourceFile("examples/substation.scd"), "BAY1_PROT", &scl));
}

void TestWorkbookImport::cleanup()
{
    dir.reset();
    prompt.reset();
}

void TestWorkbookImport::connectionIdsAvoidCollisions()
{
    // The model already holds IEDs with connection ids 0, 1 and 2.
    SelectedItemsModel target;
    for (int id = 0; id < 3; ++id) {
        auto *ied = new QStandardItem(QStringLiteral("IED%1").arg(id));
        auto *connection = new QStandardItem("Connection");
        connection->appendRow({new QStandardItem("Id"), new QStandardItem(QString::number(id))});
        ied->appendRow(connection);
        target.appendRow(ied);
    }
    QVector<SheetCells> sheets = emptySheets();
    sheets[0].rows.append(sheetRow(ConnectionsTable, {{"id", "0"}, {"name", "A"}}));
    sheets[0].rows.append(sheetRow(ConnectionsTable, {{"id", "1"}, {"name", "B"}}));
    sheets[1].rows.append(sheetRow(DataObjectsTable, {{"id", 1},
                                                      {"con_id", 0},
                                                      {"type", DataObjectKind},
                                                      {"parent_id", -1},
                                                      {"attr_reference", "A/LN.DO"},
                                                      {"writetrig_signal", "W"},
                                                      {"function", "CO"}}));
    sheets[2].rows.append(sheetRow(DatasetsTable, {{"id", 1},
                                                   {"con_id", 1},
                                                   {"type", DataSetKind},
                                                   {"parent_id", -1},
                                                   {"dataset_name", "B/LLN0.DS"}}));
    sheets[3].rows.append(sheetRow(ReportsTable, {{"id", 1},
                                                  {"con_id", 1},
                                                  {"type", UnbufferedReportKind},
                                                  {"report_refpath", "B/LLN0$RP$r"},
                                                  {"dataset_refpath", "B/LLN0.DS"}}));
    const QString path = dir->filePath("collide.xlsx");
    QVERIFY(writeSheets(path, sheets));

    Selections s;
    QVERIFY(importFrom(path, target, s));
    QCOMPARE(target.rowCount(), 5);
    QCOMPARE(target.item(3)->text(), QStringLiteral("A"));
    QCOMPARE(target.item(3)->child(0)->child(0, 1)->text(), QStringLiteral("3"));
    QCOMPARE(target.item(3)->data(ConnectionIdRole).toInt(), 3);
    QCOMPARE(target.item(4)->child(0)->child(0, 1)->text(), QStringLiteral("4"));
    QCOMPARE(target.item(4)->data(ConnectionIdRole).toInt(), 4);
    QCOMPARE(s.objects.item(0)->data(ConnectionIdRole).toInt(), 3);
    QCOMPARE(s.datasets.item(0)->data(ConnectionIdRole).toInt(), 4);
    QCOMPARE(s.reports.item(0)->data(ConnectionIdRole).toInt(), 4);
    QVERIFY(s.reports.item(0, 1)->toolTip().isEmpty());
}

void TestWorkbookImport::reimportKeepsConnectionIdZero()
{
    Selections picked;
    pickAndBind(picked);
    const QString path = dir->filePath("zero.xlsx");
    QVERIFY(exportTo(path, picked));
    SelectedItemsModel target;
    for (int round = 0; round < 2; ++round) {
        target.clearSelection();
        Selections s;
        QVERIFY(importFrom(path, target, s));
        QCOMPARE(target.rowCount(), 1);
        QCOMPARE(target.item(0)->child(0)->child(0, 1)->text(), QStringLiteral("0"));
        QCOMPARE(s.objects.item(0)->data(ConnectionIdRole).toInt(), 0);
    }
}

void TestWorkbookImport::refusedWorkbooks_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("not a zip") << "text";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("sheet missing") << "three sheets";
}

void TestWorkbookImport::refusedWorkbooks()
{
    QFETCH(QString, kind);
    const QString path = dir->filePath("refused.xlsx");
    if (kind == "text" || kind == "empty") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (kind == "text")
            file.write("id;name\n1;IED\n");
    } else if (kind == "three sheets") {
        QVector<SheetCells> sheets = emptySheets();
        sheets[0].rows.append(sheetRow(ConnectionsTable, {{"id", "0"}, {"name", "X"}}));
        sheets.removeLast();
        QVERIFY(writeSheets(path, sheets));
    }

    // What the models held before must survive the refusal.
    Selections s;
    pickAndBind(s);
    const QStringList objectsBefore = dumpModel(s.objects);
    const int sclRows = scl.rowCount();
    SclDataExporter importer;
    QVERIFY(!importer.importWorkbook(path, &scl, &s.objects, &s.datasets, &s.reports, nullptr));
    QCOMPARE(prompt->messages.size(), 1);
    QCOMPARE(prompt->messages.first().kind, PromptMessage::Warning);
    QVERIFY2(prompt->messages.first().text.contains(QDir::toNativeSeparators(path)),
             qPrintable(prompt->messages.first().text));
    QCOMPARE(dumpModel(s.objects), objectsBefore);
    QCOMPARE(scl.rowCount(), sclRows);
}

void TestWorkbookImport::editedSheets_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("expected");
    const QStringList all{"LD/A", "  LD/A.x", "LD/B", "LD/C"};
    QTest::newRow("as written") << "none" << all;
    QTest::newRow("columns reordered") << "reverse" << all;
    QTest::newRow("unknown header ignored") << "unknown" << all;
    QTest::newRow("gap ends the data") << "gap" << QStringList{"LD/A", "  LD/A.x"};
    QTest::newRow("id not a number") << "text id" << QStringList{"LD/A", "  LD/A.x", "LD/C"};
    // The object left without attributes keeps its row for its own read trigger.
    QTest::newRow("parent nowhere") << "orphan" << QStringList{"LD/A", "LD/B", "LD/C"};
    QTest::newRow("ids as decimals") << "decimal" << all;
}

void TestWorkbookImport::editedSheets()
{
    QFETCH(QString, edit);
    QFETCH(QStringList, expected);
    QVector<SheetCells> sheets = emptySheets();
    sheets[0].rows.append(sheetRow(ConnectionsTable, {{"id", "0"}, {"name", "IED"}}));
    auto object = [](const QVariant &id, const QVariant &parent, int kind, const QString &name) {
        return sheetRow(DataObjectsTable, {{"id", id},
                                           {"con_id", 0},
                                           {"type", kind},
                                           {"parent_id", parent},
                                           {"attr_reference", name},
                                           {"function", "ST"},
                                           {"readtrig_signal", "R"},
                                           {"result_block", "D"}});
    };
    QVector<QVariantList> &rows = sheets[1].rows;
    rows.append(object(1, -1, DataObjectKind, "LD/A"));
    rows.append(
        object(2, edit == "orphan" ? QVariant(99) : QVariant("1"), DataAttributeKind, "LD/A.x"));
    rows.append(
        object(edit == "text id" ? QVariant("three") : QVariant(3), -1, DataAttributeKind, "LD/B"));
    rows.append(object(4, -1, DataAttributeKind, "LD/C"));
    if (edit == "gap")
        rows[3][0] = QVariant();
    if (edit == "decimal")
        rows[2][3] = QStringLiteral("1.0");
    if (edit == "unknown") {
        for (int row = 0; row < rows.size(); ++row)
            rows[row].insert(2, row == 0 ? QVariant("comment") : QVariant("note"));
    }
    if (edit == "reverse") {
        // The kind column first: the data ends where column 1 is empty.
        for (QVariantList &row : rows) {
            QVariantList reordered{row.at(2)};
            for (int column = row.size() - 1; column >= 0; --column) {
                if (column != 2)
                    reordered.append(row.at(column));
            }
            row = reordered;
        }
    }
    const QString path = dir->filePath("edited.xlsx");
    QVERIFY(writeSheets(path, sheets));

    Selections s;
    SelectedItemsModel target;
    QVERIFY(importFrom(path, target, s));
    QStringList names;
    std::function<void(QStandardItem *, int)> collect = [&](QStandardItem *parent, int depth) {
        for (int row = 0; row < parent->rowCount(); ++row) {
            names.append(QString(depth * 2, ' ') + parent->child(row)->text());
            QCOMPARE(parent->child(row, SelectedObjectsModel::FunctionColumn)->text(),
                     QStringLiteral("ST"));
            collect(parent->child(row), depth + 1);
        }
    };
    collect(s.objects.invisibleRootItem(), 0);
    QCOMPARE(names, expected);
}

void TestWorkbookImport::reportOfUnknownDatasetIsMarked()
{
    QVector<SheetCells> sheets = emptySheets();
    sheets[0].rows.append(sheetRow(ConnectionsTable, {{"id", "0"}, {"name", "IED"}}));
    sheets[2].rows.append(sheetRow(DatasetsTable, {{"id", 1},
                                                   {"con_id", 0},
                                                   {"type", DataSetKind},
                                                   {"parent_id", -1},
                                                   {"dataset_name", "LD/LLN0.Known"}}));
    for (const char *dataset : {"LD/LLN0.Known", "LD/LLN0.Gone"})
        sheets[3].rows.append(sheetRow(ReportsTable, {{"id", 1},
                                                      {"con_id", 0},
                                                      {"type", BufferedReportKind},
                                                      {"report_refpath", "LD/LLN0$BR$b"},
                                                      {"dataset_refpath", dataset}}));
    const QString path = dir->filePath("reports.xlsx");
    QVERIFY(writeSheets(path, sheets));
    Selections s;
    SelectedItemsModel target;
    QVERIFY(importFrom(path, target, s));
    QCOMPARE(s.reports.rowCount(), 2);
    QVERIFY(s.reports.item(0, 1)->toolTip().isEmpty());
    QCOMPARE(s.reports.item(1, 1)->toolTip(),
             QStringLiteral("This dataset does not exist in model !"));
    QVERIFY(!s.reports.item(1, 1)->icon().isNull());
    QVERIFY(!s.reports.item(1)->icon().isNull());
}

void TestWorkbookImport::workbooksOfOtherPrograms_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("openpyxl, columns reordered, numbers as numbers") << "openpyxl";
    QTest::newRow("LibreOffice Calc") << "libreoffice";
}

void TestWorkbookImport::workbooksOfOtherPrograms()
{
    QFETCH(QString, program);
    Selections picked;
    pickAndBind(picked);
    const QString original = dir->filePath("original.xlsx");
    QVERIFY(exportTo(original, picked));
    const QString rewritten = dir->filePath("out/original.xlsx");
    QVERIFY(QDir(dir->path()).mkpath("out"));

    if (program == "openpyxl") {
        if (!haveOpenpyxl())
            QSKIP("python3-openpyxl is not installed");
        // Each sheet's columns reversed behind its "type" column, and every
        // text that is a whole number stored as a number.
        const QString script = QStringLiteral(
            "import sys, openpyxl\n"
            "src = openpyxl.load_workbook(sys.argv[1])\n"
            "out = openpyxl.Workbook(); out.remove(out.active)\n"
            "for ws in src.worksheets:\n"
            "    rows = [list(r) for r in ws.iter_rows(values_only=True)]\n"
            "    head = rows[0]; first = head.index('type') if 'type' in head else 0\n"
            "    order = [first] + [c for c in reversed(range(len(head))) if c != first]\n"
            "    o = out.create_sheet(ws.title)\n"
            "    for r in rows:\n"
            "        vals = [r[c] for c in order]\n"
            "        vals = [int(v) if isinstance(v, str) and v.lstrip('-').isdigit() "
            "and r is not rows[0] and ws.title != 'Connections' else v for v in vals]\n"
            "        o.append(vals)\n"
            "out.active = 0\n"
            "out.save(sys.argv[2])\n"
            "print('ok')\n");
        QCOMPARE(runPython(script, {original, rewritten}), QStringLiteral("ok"));
    } else {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("libreoffice-calc-nogui is not installed");
        QTemporaryDir profile;
        QProcess office;
        office.start(QStringLiteral("timeout"),
                     {QStringLiteral("180"), soffice,
                      QStringLiteral("-env:UserInstallation=file://") + profile.path(),
                      QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                      QStringLiteral("xlsx:Calc MS Excel 2007 XML"), QStringLiteral("--outdir"),
                      dir->filePath("out"), original});
        QVERIFY(office.waitForFinished(200000));
        QVERIFY2(QFile::exists(rewritten), office.readAllStandardError().constData());
    }

    SelectedItemsModel fromOriginal;
    Selections expected;
    QVERIFY(importFrom(original, fromOriginal, expected));
    SelectedItemsModel fromRewritten;
    Selections actual;
    QVERIFY(importFrom(rewritten, fromRewritten, actual));
    QVERIFY(prompt->messages.isEmpty());
    compareLines(dumpModel(fromRewritten), dumpModel(fromOriginal));
    compareLines(dumpModel(actual.objects), dumpModel(expected.objects));
    compareLines(dumpModel(actual.datasets), dumpModel(expected.datasets));
    compareLines(dumpModel(actual.reports), dumpModel(expected.reports));
    QVERIFY(actual.objects.rowCount() > 0);
}

QTEST_MAIN(TestWorkbookImport)
#include "tst_workbookimport.moc"
