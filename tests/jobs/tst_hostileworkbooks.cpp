// Workbooks shaped to make the import slow or huge: sheets as wide as a
// spreadsheet may be with rows below, and more rows than any selection has.

#include "scldataexporter.h"
#include "scriptedprompt.h"
#include "testpaths.h"
#include "workbookfixtures.h"

#include <QTemporaryDir>
#include <QtTest>

class TestHostileWorkbooks : public QObject
{
    Q_OBJECT

private slots:
    void wideSheetWithManyRows_data();
    void wideSheetWithManyRows();
    void rowLimit_data();
    void rowLimit();
};

void TestHostileWorkbooks::wideSheetWithManyRows_data()
{
    QTest::addColumn<int>("table");
    QTest::newRow("data objects") << int(DataObjectsTable);
    QTest::newRow("reports") << int(ReportsTable);
}

// A header cell in the last column makes every row as wide as the sheet; a
// reader visiting every column of every row would take minutes here.
void TestHostileWorkbooks::wideSheetWithManyRows()
{
    QFETCH(int, table);
    const int rows = 50000;
    QVector<SheetCells> sheets = emptySheets();
    QVariantList &header = sheets[table].rows[0];
    while (header.size() < WorkbookMaxColumns - 1)
        header.append(QVariant());
    header.append(QStringLiteral("remark"));
    const QString first = sheetHeader(table).first();
    QVariantList data = sheetRow(table, {});
    for (int row = 0; row < rows; ++row) {
        data[0] = QStringLiteral("R%1").arg(row);
        sheets[table].rows.append(data);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wide.xlsx"));
    QVERIFY(writeSheets(path, sheets));
    SclDataExporter importer;
    SclDataExporter::WorkbookContent content;
    QVERIFY(importer.readWorkbook(path, &content));
    const QVector<QStringList> &read = content.tables.at(table);
    QCOMPARE(read.size(), rows);
    const int column = DbSchema::build().value(table).columnNames().indexOf(first);
    QVERIFY(column >= 0);
    QCOMPARE(read.last().at(column), QStringLiteral("R%1").arg(rows - 1));
    QCOMPARE(read.first().size(), DbSchema::build().value(table).columns.size());
}

void TestHostileWorkbooks::rowLimit_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("read");
    QTest::newRow("at the limit") << SclDataExporter::MaxWorkbookRows << true;
    QTest::newRow("one more") << SclDataExporter::MaxWorkbookRows + 1 << false;
}

// Cells of a sheet cost little; the items an import builds from a million rows
// would take gigabytes.
void TestHostileWorkbooks::rowLimit()
{
    QFETCH(int, rows);
    QFETCH(bool, read);
    QVector<SheetCells> sheets = emptySheets();
    QVariantList data = sheetRow(DataObjectsTable, {});
    for (int row = 0; row < rows; ++row) {
        data[0] = row;
        sheets[DataObjectsTable].rows.append(data);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.xlsx"));
    QVERIFY(writeSheets(path, sheets));

    ScriptedPrompt prompt;
    SclDataExporter importer;
    SclDataExporter::WorkbookContent content;
    QCOMPARE(importer.readWorkbook(path, &content), read);
    if (read) {
        QCOMPARE(content.tables.at(DataObjectsTable).size(), rows);
        QVERIFY(prompt.messages.isEmpty());
    } else {
        QVERIFY(content.tables.isEmpty());
        QCOMPARE(prompt.messages.size(), 1);
        QVERIFY2(prompt.messages.first().text.contains(
                     QStringLiteral("\"DataObjects\" has more than %1 rows")
                         .arg(SclDataExporter::MaxWorkbookRows)),
                 qPrintable(prompt.messages.first().text));
    }
}

QTEST_MAIN(TestHostileWorkbooks)
#include "tst_hostileworkbooks.moc"
