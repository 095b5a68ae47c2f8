// Selections exported to an .xlsx workbook and imported back: the sheets'
// layout, the rows the export leaves out, the connection ids of an import,
// and the files an import refuses.

#include "projecttesthelpers.h"
#include "scldataexporter.h"
#include "scriptedprompt.h"
#include "selectionpicks.h"
#include "testpaths.h"
#include "workbookfixtures.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

Q_DECLARE_METATYPE(QStandardItem *)

namespace {

// The rows of the original that the import gives back, in the dump's form:
// unbound attributes are left out, data objects left without children are
// pruned, and the roles are those the sheets carry.
bool survives(const QStandardItem *parent, int row, int signalColumn)
{
    const QStandardItem *first = parent->child(row, 0);
    if (kindOf(first) == DataAttributeKind && signalColumn >= 0) {
        if (!parent->child(row, signalColumn)->text().isEmpty())
            return true;
        for (int child = 0; child < first->rowCount(); ++child) {
            if (kindOf(first->child(child)) == DataAttributeKind &&
                survives(first, child, signalColumn))
                return true;
        }
        return false;
    }
    if (kindOf(first) != DataObjectKind)
        return true;
    if (first->data(GroupRole).toString() == "CO" &&
        !parent->child(row, SelectedObjectsModel::WriteTrigSignalColumn)->text().isEmpty())
        return true;
    for (int child = 0; child < first->rowCount(); ++child) {
        if (survives(first, child, signalColumn))
            return true;
    }
    return false;
}

void expectedRows(const QStandardItem *parent, const SelectedItemsModel &model, int signalColumn,
                  int depth, QStringList &lines)
{
    const bool objects = qobject_cast<const SelectedObjectsModel *>(&model) != nullptr;
    const bool datasets = qobject_cast<const SelectedDatasetsModel *>(&model) != nullptr;
    for (int row = 0; row < parent->rowCount(); ++row) {
        if (!survives(parent, row, signalColumn))
            continue;
        const QStandardItem *first = parent->child(row, 0);
        QStandardItem copy;
        copy.setData(first->data(KindRole), KindRole);
        copy.setData(first->data(NodeIdRole).toString(), NodeIdRole);
        copy.setData(0, ConnectionIdRole);
        if (objects) {
            copy.setData(parent->child(row, SelectedObjectsModel::FunctionColumn)->text(),
                         GroupRole);
            copy.setData(parent->child(row, SelectedObjectsModel::CtlModelColumn)->text(),
                         CtlModelRole);
        }
        if (objects || datasets) {
            const QString index = SclDataExporter::treeIndexText(first);
            bool single = false;
            const int number = index.toInt(&single);
            if (!index.isEmpty())
                copy.setData(single ? QVariant(number) : QVariant(index), TreeIndexRole);
            copy.setData(depth, DepthRole);
        }
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column) {
            const QStandardItem *cell = parent->child(row, column);
            // A disabled cell may hold a text it does not show; the import's
            // row set-up empties it.
            cells.append(QStringLiteral("%1[%2%3%4]%5")
                             .arg(cell->isEnabled() ? cell->text() : QString(),
                                  cell->isEditable() ? "E" : "-", cell->isEnabled() ? "A" : "-",
                                  cell->data(EditorRole).toString(), cell->toolTip()));
        }
        QStringList roles;
        for (int role : {int(KindRole), int(NodeIdRole), int(ConnectionIdRole), int(GroupRole),
                         int(CtlModelRole), int(TreeIndexRole), int(DepthRole)})
            roles.append(roleText(&copy, role));
        const bool icon = !(datasets && kindOf(first) == DataSetKind);
        lines.append(QString(depth * 2, QLatin1Char(' ')) + cells.join(QLatin1Char('|')) +
                     QStringLiteral(" {") + roles.join(QLatin1Char(' ')) +
                     (icon ? QStringLiteral("} icon") : QStringLiteral("}")));
        const bool keptControl =
            objects && kindOf(first) == DataObjectKind &&
            first->data(GroupRole).toString() == "CO" &&
            !parent->child(row, SelectedObjectsModel::WriteTrigSignalColumn)->text().isEmpty();
        if (!keptControl)
            expectedRows(first, model, signalColumn, depth + 1, lines);
    }
}

void compareLines(const QStringList &actual, const QStringList &expected)
{
    for (int i = 0; i < qMin(actual.size(), expected.size()); ++i)
        QCOMPARE(actual.at(i), expected.at(i));
    QCOMPARE(actual.size(), expected.size());
}

QStandardItem *addRow(QStandardItem *parent, int id, int kind, const QString &name,
                      const QString &signal, int signalColumn, int columns)
{
    QList<QStandardItem *> row;
    for (int column = 0; column < columns; ++column)
        row.append(new QStandardItem(column == signalColumn ? signal : QString()));
    row.first()->setText(name);
    row.first()->setData(QString::number(id), NodeIdRole);
    row.first()->setData(kind, KindRole);
    parent->appendRow(row);
    return row.first();
}

bool haveOpenpyxl()
{
    return QProcess::execute(QStringLiteral("/usr/bin/python3"),
                             {QStringLiteral("-c"), QStringLiteral("import openpyxl")}) == 0;
}

QString runPython(const QString &script, const QStringList &arguments)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral("-c"), script} + arguments);
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        return QStringLiteral("FAILED: ") + QString::fromUtf8(python.readAllStandardError());
    return QString::fromUtf8(python.readAllStandardOutput()).trimmed();
}

} // namespace

class TestWorkbookExchange : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void roundTripKeepsEveryCell();
    void layoutOpensInOtherPrograms();
    void unboundAttributesAreLeftOut();
    void treeIndexText_data();
    void treeIndexText();
    void emptySelections();
    void exportWithoutDeviceWarns();
    void unwritableWorkbookWarns();
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
    void pickAndBind(Selections &s);
    bool exportTo(const QString &path, Selections &s);
    bool importFrom(const QString &path, SelectedItemsModel &scl, Selections &s);

    SelectedItemsModel scl;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ScriptedPrompt> prompt;
};

void TestWorkbookExchange::init()
{
    qRegisterMetaType<QStandardItem *>();
    prompt = std::make_unique<ScriptedPrompt>();
    dir = std::make_unique<QTemporaryDir>();
    scl.clear();
    QVERIFY(parseIed(sourceFile("examples/substation.scd"), "BAY1_PROT", &scl));
}

void TestWorkbookExchange::cleanup()
{
    dir.reset();
    prompt.reset();
}

void TestWorkbookExchange::pickAndBind(Selections &s)
{
    QStandardItem *ied = scl.item(0);
    visit(ied->child(SclBranch::DataObjectsRow), [&](QStandardItem *node) {
        const QString constraint = constraintAbove(node);
        if (kindOf(node) == DataObjectKind && kindOf(node->parent()) == FunctionalConstraintKind &&
            (constraint == "CO" || constraint == "ST" || constraint == "MX"))
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

    // Every other attribute bound, at every level: some structures keep only
    // a bound member, some leaves go.
    int counter = 0;
    std::function<void(QStandardItem *, int)> bind = [&](QStandardItem *parent, int column) {
        for (int row = 0; row < parent->rowCount(); ++row) {
            QStandardItem *cell = parent->child(row, column);
            if (kindOf(parent->child(row)) == DataAttributeKind && cell->isEnabled() &&
                counter++ % 2 == 0)
                cell->setText(QStringLiteral("Sig \"%1\" 'ü'").arg(counter));
            bind(parent->child(row), column);
        }
    };
    bind(s.objects.invisibleRootItem(), SelectedObjectsModel::DataSignalColumn);
    bind(s.datasets.invisibleRootItem(), SelectedDatasetsModel::ResultSignalColumn);
    for (int row = 0; row < s.objects.rowCount(); ++row) {
        s.objects.item(row, SelectedObjectsModel::ReadTrigSignalColumn)
            ->setText(QStringLiteral("RT%1").arg(row));
        if (s.objects.item(row)->data(GroupRole).toString() == "CO" && row % 2 == 0) {
            s.objects.item(row, SelectedObjectsModel::WriteTrigSignalColumn)->setText("WT");
            s.objects.item(row, SelectedObjectsModel::CtlModelColumn)->setText("SBOes");
            s.objects.item(row, SelectedObjectsModel::SelectionTypeColumn)->setText("With Val");
        }
    }
    s.datasets.item(0, SelectedDatasetsModel::StatusSignalColumn)->setText("DS status");
    s.reports.item(0, SelectedReportsModel::EnableSignalColumn)->setText("EN1");
    s.reports.item(0, SelectedReportsModel::ConfRevCheckColumn)->setData(true, Qt::DisplayRole);
    s.reports.item(1, SelectedReportsModel::TriggerTypeColumn)->setText("27");
}

bool TestWorkbookExchange::exportTo(const QString &path, Selections &s)
{
    SclDataExporter exporter;
    QSignalSpy finished(&exporter, &SclDataExporter::progressFinished);
    const bool written = exporter.exportWorkbook(path, &scl, &s.objects, &s.datasets, &s.reports);
    return written && finished.count() == 1;
}

bool TestWorkbookExchange::importFrom(const QString &path, SelectedItemsModel &target,
                                      Selections &s)
{
    SclDataExporter importer;
    return importer.importWorkbook(path, &target, &s.objects, &s.datasets, &s.reports, nullptr);
}

void TestWorkbookExchange::roundTripKeepsEveryCell()
{
    Selections picked;
    pickAndBind(picked);
    const QString path = dir->filePath("book.xlsx");
    QVERIFY(exportTo(path, picked));

    SelectedItemsModel imported;
    Selections back;
    QList<std::shared_ptr<QAbstractItemModelTester>> testers;
    for (QAbstractItemModel *model :
         QList<QAbstractItemModel *>{&imported, &back.objects, &back.datasets, &back.reports})
        testers.append(std::make_shared<QAbstractItemModelTester>(
            model, QAbstractItemModelTester::FailureReportingMode::QtTest));
    QSignalSpy changed(&back.objects, &SelectedItemsModel::nodeChanged);
    QVERIFY(importFrom(path, imported, back));
    QCOMPARE(changed.count(), 0);
    QVERIFY(prompt->messages.isEmpty());

    // The IED with its sixteen connection rows, and no model branches.
    QCOMPARE(imported.rowCount(), 1);
    QStandardItem *ied = imported.item(0);
    QCOMPARE(ied->text(), QStringLiteral("BAY1_PROT"));
    QCOMPARE(ied->rowCount(), 1);
    QStandardItem *connection = ied->child(0);
    QStandardItem *original = scl.item(0)->child(SclBranch::ConnectionRow);
    QCOMPARE(connection->rowCount(), 16);
    for (int row = 0; row < 16; ++row) {
        // Captions are those of a loaded project, which differ from the parser's in blanks.
        QCOMPARE(connection->child(row, 0)->text().trimmed(),
                 original->child(row, 0)->text().trimmed());
        QCOMPARE(connection->child(row, 1)->text(), original->child(row, 1)->text());
        QCOMPARE(connection->child(row, 1)->data(EditorRole),
                 original->child(row, 1)->data(EditorRole));
    }
    QCOMPARE(imported.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));

    const QList<QPair<SelectedItemsModel *, SelectedItemsModel *>> pairs{
        {&picked.objects, &back.objects},
        {&picked.datasets, &back.datasets},
        {&picked.reports, &back.reports}};
    const QList<int> signalColumns{SelectedObjectsModel::DataSignalColumn,
                                   SelectedDatasetsModel::ResultSignalColumn, -1};
    for (int i = 0; i < pairs.size(); ++i) {
        QStringList expected;
        expectedRows(pairs.at(i).first->invisibleRootItem(), *pairs.at(i).first,
                     signalColumns.at(i), 0, expected);
        compareLines(dumpModel(*pairs.at(i).second), expected);
        if (QTest::currentTestFailed())
            return;
    }
    // Something was left out, or the comparison would prove little.
    QVERIFY(SclDataExporter::countNodes(back.objects.invisibleRootItem()) <
            SclDataExporter::countNodes(picked.objects.invisibleRootItem()));

    // Duplicate checks know the imported picks.
    for (int row = 0; row < back.objects.rowCount(); ++row) {
        const QStandardItem *first = back.objects.item(row);
        QVERIFY(back.objects.registeredNames()
                    .value(SelectedItemsModel::groupKey(first->data(GroupRole).toString()))
                    .contains(first->text()));
    }

    // The import is a fixed point: exported and imported again, it gives the
    // same workbook content.
    const QString second = dir->filePath("second.xlsx");
    QVERIFY(SclDataExporter().exportWorkbook(second, &imported, &back.objects, &back.datasets,
                                             &back.reports));
    SelectedItemsModel importedAgain;
    Selections backAgain;
    QVERIFY(importFrom(second, importedAgain, backAgain));
    const QString third = dir->filePath("third.xlsx");
    QVERIFY(SclDataExporter().exportWorkbook(third, &importedAgain, &backAgain.objects,
                                             &backAgain.datasets, &backAgain.reports));
    for (const char *sheet : {"Connections", "DataObjects", "DataSetsAndObjects", "Reports"}) {
        WorkbookReader one;
        WorkbookReader two;
        QVERIFY(one.open(second) && two.open(third));
        QVERIFY(one.selectSheet(sheet) && two.selectSheet(sheet));
        QCOMPARE(two.lastRow(), one.lastRow());
        QCOMPARE(two.lastColumn(), one.lastColumn());
        for (int row = 1; row <= one.lastRow(); ++row) {
            for (int column = 1; column <= one.lastColumn(); ++column)
                QCOMPARE(two.read(row, column), one.read(row, column));
        }
    }
}

void TestWorkbookExchange::layoutOpensInOtherPrograms()
{
    Selections picked;
    pickAndBind(picked);
    const QString path = dir->filePath("layout.xlsx");
    QVERIFY(exportTo(path, picked));

    WorkbookReader reader;
    QVERIFY(reader.open(path));
    QCOMPARE(reader.sheetNames(),
             (QStringList{"Connections", "DataObjects", "DataSetsAndObjects", "Reports"}));
    QCOMPARE(reader.activeSheet(), QStringLiteral("Connections"));
    const QList<QPair<QString, int>> sheets{{"Connections", ConnectionsTable},
                                            {"DataObjects", DataObjectsTable},
                                            {"DataSetsAndObjects", DatasetsTable},
                                            {"Reports", ReportsTable}};
    for (const auto &sheet : sheets) {
        QVERIFY(reader.selectSheet(sheet.first));
        const QStringList header = sheetHeader(sheet.second);
        QCOMPARE(reader.lastColumn(), header.size());
        for (int column = 1; column <= header.size(); ++column)
            QCOMPARE(reader.read(1, column).toString(), header.at(column - 1));
    }
    QVERIFY(reader.selectSheet("Connections"));
    QCOMPARE(reader.lastRow(), 2);
    QCOMPARE(reader.read(2, 1), QVariant(QStringLiteral("0")));
    QCOMPARE(reader.read(2, 2), QVariant(QStringLiteral("BAY1_PROT")));
    QVERIFY(reader.selectSheet("DataObjects"));
    // Ids, kinds and depths are numbers; a parent id is the text the item holds.
    QCOMPARE(reader.read(2, 1).userType(), int(QMetaType::LongLong));
    QCOMPARE(reader.read(2, 4), QVariant(qlonglong(-1)));
    QCOMPARE(reader.read(3, 4).userType(), int(QMetaType::QString));
    QCOMPARE(reader.read(3, 5), QVariant(qlonglong(1)));
    QVERIFY(reader.selectSheet("Reports"));
    QCOMPARE(reader.lastRow(), picked.reports.rowCount() + 1);

    if (!haveOpenpyxl())
        QSKIP("python3-openpyxl is not installed");
    const QString script = QStringLiteral(
        "import sys, openpyxl\n"
        "wb = openpyxl.load_workbook(sys.argv[1])\n"
        "print(','.join(wb.sheetnames)); print(wb.active.title)\n"
        "for ws in wb.worksheets:\n"
        "    for cell in ws[1]:\n"
        "        w = ws.column_dimensions[cell.column_letter].width\n"
        "        print(ws.title, cell.value, cell.font.b, cell.fill.fgColor.rgb, w)\n"
        "ws = wb['DataObjects']\n"
        "print(type(ws.cell(2,1).value).__name__, type(ws.cell(2,7).value).__name__)\n");
    const QStringList lines = runPython(script, {path}).split('\n');
    QVERIFY2(!lines.first().startsWith("FAILED"), qPrintable(lines.join('\n')));
    QCOMPARE(lines.at(0), QStringLiteral("Connections,DataObjects,DataSetsAndObjects,Reports"));
    QCOMPARE(lines.at(1), QStringLiteral("Connections"));
    for (const QString &line : lines.mid(2, lines.size() - 3)) {
        const QStringList parts = line.split(' ');
        QCOMPARE(parts.size(), 5);
        QCOMPARE(parts.at(2), QStringLiteral("True"));
        QCOMPARE(parts.at(3), QStringLiteral("FFC0C0C0"));
        // Excel adds its cell padding to the width it was given.
        const double width = parts.at(4).toDouble();
        const int expected = SclDataExporter::headerColumnWidth(parts.at(1));
        QVERIFY2(width >= expected && width < expected + 1.0, qPrintable(line));
    }
    QCOMPARE(lines.last(), QStringLiteral("int str"));
}

void TestWorkbookExchange::unboundAttributesAreLeftOut()
{
    // A data object with three attributes, only the middle one bound, and a
    // structure whose only bound part is one level down.
    Selections s;
    const int columns = SelectedObjectsModel::ColumnCount;
    const int signal = SelectedObjectsModel::DataSignalColumn;
    QStandardItem *object =
        addRow(s.objects.invisibleRootItem(), 10, DataObjectKind, "LD/LN.Pos", "", signal, columns);
    addRow(object, 11, DataAttributeKind, "stVal", "", signal, columns);
    addRow(object, 12, DataAttributeKind, "q", "Q signal", signal, columns);
    addRow(object, 13, DataAttributeKind, "t", "", signal, columns);
    QStandardItem *mag = addRow(object, 14, DataAttributeKind, "mag", "", signal, columns);
    addRow(mag, 15, DataAttributeKind, "i", "", signal, columns);
    addRow(mag, 16, DataAttributeKind, "f", "F signal", signal, columns);
    const QString path = dir->filePath("unbound.xlsx");
    QVERIFY(exportTo(path, s));

    WorkbookReader reader;
    QVERIFY(reader.open(path));
    QVERIFY(reader.selectSheet("DataObjects"));
    QCOMPARE(reader.lastRow(), 5);
    const QList<QVariantList> expected{
        {10, 0, DataObjectKind, -1, 0, QVariant()},
        {12, 0, DataAttributeKind, "10", 1, "1"},
        {14, 0, DataAttributeKind, "10", 1, "3"},
        {16, 0, DataAttributeKind, "14", 2, "3,1"},
    };
    for (int row = 0; row < expected.size(); ++row) {
        for (int column = 0; column < 6; ++column) {
            QVariant value = expected.at(row).at(column);
            if (value.userType() == QMetaType::Int)
                value = qlonglong(value.toInt());
            QCOMPARE(reader.read(row + 2, column + 1), value);
        }
    }

    Selections back;
    SelectedItemsModel target;
    QVERIFY(importFrom(path, target, back));
    QCOMPARE(back.objects.rowCount(), 1);
    QStandardItem *imported = back.objects.item(0);
    QCOMPARE(imported->rowCount(), 2);
    QCOMPARE(imported->child(1)->text(), QStringLiteral("mag"));
    QCOMPARE(imported->child(1)->child(0)->text(), QStringLiteral("f"));
    QCOMPARE(imported->child(1)->child(0, signal)->text(), QStringLiteral("F signal"));
}

void TestWorkbookExchange::treeIndexText_data()
{
    QTest::addColumn<QList<int>>("path");
    QTest::addColumn<int>("datasetLevel");
    QTest::addColumn<QString>("expected");
    QTest::newRow("top level") << QList<int>{0} << -1 << QString();
    QTest::newRow("three below") << QList<int>{1, 0, 2, 1} << -1 << QStringLiteral("0,2,1");
    QTest::newRow("below a data set") << QList<int>{0, 1, 3, 2} << 1 << QStringLiteral("3,2");
    QTest::newRow("eight levels at most")
        << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1} << -1 << QStringLiteral("3,4,5,6,7,8,9,1");
}

void TestWorkbookExchange::treeIndexText()
{
    QFETCH(QList<int>, path);
    QFETCH(int, datasetLevel);
    QFETCH(QString, expected);
    QStandardItemModel model;
    QStandardItem *parent = model.invisibleRootItem();
    QStandardItem *node = nullptr;
    for (int level = 0; level < path.size(); ++level) {
        for (int row = parent->rowCount(); row <= path.at(level); ++row)
            parent->appendRow(new QStandardItem(QStringLiteral("n%1").arg(row)));
        node = parent->child(path.at(level));
        node->setData(level == datasetLevel ? DataSetKind : DataAttributeKind, KindRole);
        parent = node;
    }
    QCOMPARE(SclDataExporter::treeIndexText(node), expected);
}

void TestWorkbookExchange::emptySelections()
{
    Selections s;
    const QString path = dir->filePath("empty.xlsx");
    QVERIFY(exportTo(path, s));
    WorkbookReader reader;
    QVERIFY(reader.open(path));
    for (const char *sheet : {"DataObjects", "DataSetsAndObjects", "Reports"}) {
        QVERIFY(reader.selectSheet(sheet));
        QCOMPARE(reader.lastRow(), 1);
    }
    QVERIFY(reader.selectSheet("Connections"));
    QCOMPARE(reader.lastRow(), 2);
}

void TestWorkbookExchange::exportWithoutDeviceWarns()
{
    Selections s;
    SelectedItemsModel empty;
    SclDataExporter exporter;
    QSignalSpy finished(&exporter, &SclDataExporter::progressFinished);
    const QString path = dir->filePath("none.xlsx");
    QVERIFY(!exporter.exportWorkbook(path, &empty, &s.objects, &s.datasets, &s.reports));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(prompt->messages.size(), 1);
    QCOMPARE(prompt->messages.first().title, QStringLiteral("Stationscope"));
    QCOMPARE(prompt->messages.first().text, QStringLiteral("No devices selected!!."));
    QVERIFY(!QFile::exists(path));
}

void TestWorkbookExchange::unwritableWorkbookWarns()
{
    Selections s;
    pickAndBind(s);
    const QString path = dir->filePath("missing-folder/book.xlsx");
    SclDataExporter exporter;
    QSignalSpy finished(&exporter, &SclDataExporter::progressFinished);
    QVERIFY(!exporter.exportWorkbook(path, &scl, &s.objects, &s.datasets, &s.reports));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(prompt->messages.size(), 1);
    QVERIFY2(prompt->messages.first().text.contains(QDir::toNativeSeparators(path)),
             qPrintable(prompt->messages.first().text));
    QVERIFY(!QFile::exists(path));
}

void TestWorkbookExchange::connectionIdsAvoidCollisions()
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

void TestWorkbookExchange::reimportKeepsConnectionIdZero()
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

void TestWorkbookExchange::refusedWorkbooks_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("not a zip") << "text";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("sheet missing") << "three sheets";
}

void TestWorkbookExchange::refusedWorkbooks()
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

void TestWorkbookExchange::editedSheets_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("expected");
    const QStringList all{"LD/A", "  LD/A.x", "LD/B", "LD/C"};
    QTest::newRow("as written") << "none" << all;
    QTest::newRow("columns reordered") << "reverse" << all;
    QTest::newRow("unknown header ignored") << "unknown" << all;
    QTest::newRow("gap ends the data") << "gap" << QStringList{"LD/A", "  LD/A.x"};
    QTest::newRow("id not a number") << "text id" << QStringList{"LD/A", "  LD/A.x", "LD/C"};
    // The object left without attributes is pruned as well.
    QTest::newRow("parent nowhere") << "orphan" << QStringList{"LD/B", "LD/C"};
    QTest::newRow("ids as decimals") << "decimal" << all;
}

void TestWorkbookExchange::editedSheets()
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

void TestWorkbookExchange::reportOfUnknownDatasetIsMarked()
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

void TestWorkbookExchange::workbooksOfOtherPrograms_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("openpyxl, columns reordered, numbers as numbers") << "openpyxl";
    QTest::newRow("LibreOffice Calc") << "libreoffice";
}

void TestWorkbookExchange::workbooksOfOtherPrograms()
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

QTEST_MAIN(TestWorkbookExchange)
#include "tst_workbookexchange.moc"
