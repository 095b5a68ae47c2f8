// Selections exported to an .xlsx workbook and imported back: the sheets'
// layout, the rows the export leaves out, the connection ids of an import,
// and the files an import refuses.

#include "packagepart.h"
#include "projecttesthelpers.h"
#include "scldataexporter.h"
#include "scriptedprompt.h"
#include "selectionpicks.h"
#include "testpaths.h"
#include "workbookfixtures.h"
#include "workbooktesthelpers.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

Q_DECLARE_METATYPE(QStandardItem *)

namespace {

// The rows of the original that the import gives back, in the dump's form:
// unbound attributes of data objects are left out, data objects left without children and
// without a signal of their own are pruned, and the roles are those the sheets carry.
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
    // Array elements of a basic type hang under their attribute and never had rows below.
    if (kindOf(first) != DataObjectKind || kindOf(parent) == DataAttributeKind)
        return true;
    for (int column = 1; column < parent->columnCount(); ++column) {
        const QStandardItem *cell = parent->child(row, column);
        if (cell->isEnabled() && cell->data(EditorRole).toString() == EditorKind::SignalSelect &&
            !cell->text().isEmpty() && cell->text() != NoSignalName)
            return true;
    }
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

private:
    void pickAndBind(Selections &s) { pickAndBindAll(scl, s); }
    bool exportTo(const QString &path, Selections &s) { return ::exportTo(scl, path, s); }

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
    const QList<int> signalColumns{SelectedObjectsModel::DataSignalColumn, -1, -1};
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
    // A data set comes back with every member, bound or not.
    for (int row = 0; row < picked.datasets.rowCount(); ++row)
        QCOMPARE(back.datasets.item(row)->rowCount(), picked.datasets.item(row)->rowCount());

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
    // Each sheet a table to filter, under a frozen header printed on every page, its rows
    // named by the frozen first column; the connection's single row needs none.
    const QByteArray workbook = packagePart(path, "xl/workbook.xml");
    for (int sheet = 1; sheet <= sheets.size(); ++sheet) {
        const QString name = sheets.at(sheet - 1).first;
        const QByteArray xml =
            packagePart(path, QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet));
        QVERIFY2(xml.contains(sheet == 1 ? "<pane ySplit=\"1\" topLeftCell=\"A2\""
                                         : "<pane xSplit=\"1\" ySplit=\"1\" topLeftCell=\"B2\""),
                 qPrintable(name));
        QVERIFY2(xml.contains("<autoFilter ref=\"A1:"), qPrintable(name));
        QVERIFY2(xml.contains("fitToHeight=\"0\""), qPrintable(name));
        QVERIFY2(xml.contains("<oddHeader>&amp;LIED BAY1_PROT&amp;C&amp;A"), qPrintable(name));
        QVERIFY2(workbook.contains(QStringLiteral("localSheetId=\"%1\">%2!$1:$1</definedName>")
                                       .arg(sheet - 1)
                                       .arg(name)
                                       .toUtf8()),
                 qPrintable(name));
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
    // Bound only through its own cells: its row goes out and comes back alone.
    QStandardItem *beh =
        addRow(s.objects.invisibleRootItem(), 20, DataObjectKind, "LD/LN.Beh", "", signal, columns);
    addRow(beh, 21, DataAttributeKind, "stVal", "", signal, columns);
    s.objects.item(1, SelectedObjectsModel::ReadTrigSignalColumn)->setText("RT");
    s.objects.item(1, SelectedObjectsModel::StatusSignalColumn)->setText("ST");
    const QString path = dir->filePath("unbound.xlsx");
    QVERIFY(exportTo(path, s));

    WorkbookReader reader;
    QVERIFY(reader.open(path));
    QVERIFY(reader.selectSheet("DataObjects"));
    QCOMPARE(reader.lastRow(), 6);
    const QList<QVariantList> expected{
        {10, 0, DataObjectKind, -1, 0, QVariant()}, {12, 0, DataAttributeKind, "10", 1, "1"},
        {14, 0, DataAttributeKind, "10", 1, "3"},   {16, 0, DataAttributeKind, "14", 2, "3,1"},
        {20, 0, DataObjectKind, -1, 0, QVariant()},
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
    QCOMPARE(back.objects.rowCount(), 2);
    QCOMPARE(back.objects.item(1)->text(), QStringLiteral("LD/LN.Beh"));
    QCOMPARE(back.objects.item(1)->rowCount(), 0);
    QCOMPARE(back.objects.item(1, SelectedObjectsModel::StatusSignalColumn)->text(),
             QStringLiteral("ST"));
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
QTEST_MAIN(TestWorkbookExchange)
#include "tst_workbookexchange.moc"
