// Export and import of a 10,000-row selection to and from an .xlsx workbook,
// beside python3-openpyxl writing and reading the same cells in the same run.
// Prints figures; asserts nothing.

#include "scldataexporter.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardItem>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QList<QStandardItem *> makeRow(int columns, int id, int kind, const QString &name)
{
    QList<QStandardItem *> row;
    for (int column = 0; column < columns; ++column)
        row.append(new QStandardItem());
    row.first()->setText(name);
    row.first()->setData(QString::number(id), NodeIdRole);
    row.first()->setData(kind, KindRole);
    return row;
}

// objectCount data objects with nine bound attributes each.
void fillSelections(SelectedItemsModel &scl, SelectedObjectsModel &objects, int objectCount)
{
    auto *ied = new QStandardItem(QStringLiteral("BENCH_IED"));
    auto *connection = new QStandardItem(QStringLiteral("Connection"));
    for (int row = 0; row < 16; ++row)
        connection->appendRow({new QStandardItem(QStringLiteral("caption")),
                               new QStandardItem(row == 0 ? QStringLiteral("0")
                                                          : QStringLiteral("value%1").arg(row))});
    ied->appendRow(connection);
    scl.appendRow(ied);

    int id = 0;
    for (int o = 0; o < objectCount; ++o) {
        QList<QStandardItem *> object =
            makeRow(SelectedObjectsModel::ColumnCount, id++, DataObjectKind,
                    QStringLiteral("BENCH_IEDLD%1/GGIO%2.Ind%3").arg(o / 100).arg(o % 100).arg(o));
        object.at(SelectedObjectsModel::FunctionColumn)->setText(QStringLiteral("ST"));
        object.at(SelectedObjectsModel::MmsTypeColumn)->setText(QStringLiteral("MMS_STRUCTURE"));
        object.at(SelectedObjectsModel::ReadTrigSignalColumn)
            ->setText(QStringLiteral("RT%1").arg(o));
        objects.appendRow(object);
        for (int a = 0; a < 9; ++a) {
            QList<QStandardItem *> attribute =
                makeRow(SelectedObjectsModel::ColumnCount, id++, DataAttributeKind,
                        QStringLiteral("attr%1").arg(a));
            attribute.at(SelectedObjectsModel::MmsTypeColumn)
                ->setText(QStringLiteral("MMS_BOOLEAN"));
            attribute.at(SelectedObjectsModel::DataSignalColumn)
                ->setText(QStringLiteral("SIG_%1_%2").arg(o).arg(a));
            object.first()->appendRow(attribute);
        }
    }
}

const char *OpenpyxlScript = R"(
import sys, time, openpyxl
src, out = sys.argv[1], sys.argv[2]
book = openpyxl.load_workbook(src)
sheets = [(ws.title, [list(r) for r in ws.iter_rows(values_only=True)]) for ws in book.worksheets]
start = time.perf_counter()
wb = openpyxl.Workbook(); wb.remove(wb.active)
for title, rows in sheets:
    ws = wb.create_sheet(title)
    for r in rows:
        ws.append(r)
wb.save(out)
written = time.perf_counter() - start
start = time.perf_counter()
wb = openpyxl.load_workbook(out)
cells = 0
for ws in wb.worksheets:
    for r in ws.iter_rows(values_only=True):
        cells += sum(1 for v in r if v is not None)
read = time.perf_counter() - start
print(f"{written*1000:.0f} {read*1000:.0f} {cells}")
)";

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const int objectCount = 1000;

    SelectedItemsModel scl;
    SelectedObjectsModel objects;
    SelectedDatasetsModel datasets;
    SelectedReportsModel reports;
    fillSelections(scl, objects, objectCount);
    const int rows = SclDataExporter::countNodes(objects.invisibleRootItem());
    const QString path = dir.filePath(QStringLiteral("bench.xlsx"));

    QElapsedTimer timer;
    timer.start();
    if (!SclDataExporter().exportWorkbook(path, &scl, &objects, &datasets, &reports)) {
        std::fprintf(stderr, "export failed\n");
        return 1;
    }
    const qint64 exportMs = timer.elapsed();

    SelectedItemsModel importedScl;
    SelectedObjectsModel importedObjects;
    SelectedDatasetsModel importedDatasets;
    SelectedReportsModel importedReports;
    timer.restart();
    SclDataExporter importer;
    SclDataExporter::WorkbookContent content;
    if (!importer.readWorkbook(path, &content)) {
        std::fprintf(stderr, "import failed\n");
        return 1;
    }
    const qint64 fileMs = timer.elapsed();
    importer.importWorkbook(content, &importedScl, &importedObjects, &importedDatasets,
                            &importedReports, nullptr);
    const qint64 importMs = timer.elapsed();
    const int importedRows = SclDataExporter::countNodes(importedObjects.invisibleRootItem());

    std::printf("Workbook exchange, %d selection rows (%lld bytes)\n", rows,
                static_cast<long long>(QFileInfo(path).size()));
    std::printf("  export (models -> .xlsx):        %6lld ms\n", static_cast<long long>(exportMs));
    std::printf("  import (.xlsx -> models, %d rows): %6lld ms (reading the file %lld ms)\n",
                importedRows, static_cast<long long>(importMs), static_cast<long long>(fileMs));

    if (app.arguments().contains(QStringLiteral("--without-openpyxl")))
        return 0;
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(OpenpyxlScript), path,
                  dir.filePath(QStringLiteral("openpyxl.xlsx"))});
    if (!python.waitForFinished(600000) || python.exitCode() != 0) {
        std::printf("  python3-openpyxl: not available (%s)\n",
                    python.readAllStandardError().trimmed().constData());
        return 0;
    }
    const QList<QByteArray> figures = python.readAllStandardOutput().trimmed().split(' ');
    const double writeMs = figures.value(0).toDouble();
    const double readMs = figures.value(1).toDouble();
    std::printf("  openpyxl write of the same cells: %6.0f ms  (export %.1fx faster)\n", writeMs,
                exportMs > 0 ? writeMs / double(exportMs) : 0.0);
    std::printf("  openpyxl read of those cells:     %6.0f ms  (import %.1fx faster)\n", readMs,
                importMs > 0 ? readMs / double(importMs) : 0.0);
    return 0;
}
