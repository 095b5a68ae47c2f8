#include "fuzzentries.h"

#include "fuzzmmsentries.h"

#include "iec61850dbmanager.h"
#include "plcdataimport.h"
#include "scldataexporter.h"
#include "sclparser.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "sqliteconnector.h"
#include "userprompt.h"
#include "workbook.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QStandardItemModel>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace {

// Nobody is there to answer: every question gets the answer a cancel would give.
class SilentPrompt : public UserPrompt
{
public:
    QMessageBox::StandardButton message(const PromptMessage &request) override
    {
        return request.defaultButton != QMessageBox::NoButton ? request.defaultButton
                                                              : QMessageBox::Cancel;
    }
    QString chooseFile(const FileRequest &) override { return QString(); }
    int execDialog(QDialog *) override { return 0; }
    QAction *execMenu(QMenu *, const QPoint &) override { return nullptr; }
};

// The readers take paths, so every input goes through a file of its own in a
// folder that lives for the process.
QString inputFile(const uint8_t *data, size_t size, const char *name)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(name));
    // SQLite would replay a journal or write-ahead log left by the previous input.
    for (const char *suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        abort();
    if (size > 0 && file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        abort();
    return path;
}

// What the window holds while a project or workbook is open.
struct OpenModels
{
    SelectedItemsModel scl;
    SelectedObjectsModel objects;
    SelectedDatasetsModel datasets;
    SelectedReportsModel reports;
    QStandardItemModel signalList;

    OpenModels()
    {
        QObject::connect(&datasets, &SelectedDatasetsModel::datasetUpdate, &reports,
                         &SelectedReportsModel::onDataSetUpdate);
    }
};

} // namespace

void fuzzInitialize()
{
    static SilentPrompt prompt;
    UserPrompt::install(&prompt);
}

int fuzzInitializeApplication(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Debug lines about every broken input would drown libFuzzer's own output.
    qputenv("QT_LOGGING_RULES", "*.debug=false;*.warning=false");
    // Never destroyed: at exit the SQL driver's globals may be gone before it.
    new QApplication(*argc, *argv);
    fuzzInitialize();
    return 0;
}

void fuzzSclReader(const uint8_t *data, size_t size)
{
    const QString path = inputFile(data, size, "input.scd");
    SclParser parser;
    const QStringList names = parser.loadIedNames(path);
    for (const QString &name : names) {
        QStandardItemModel model;
        parser.parse(name, &model);
        parser.connectionInfo();
    }
}

void fuzzSignalList(const uint8_t *data, size_t size)
{
    const QString path = inputFile(data, size, "signals.csv");
    QStandardItemModel model;
    QPlainTextEdit infoScreen;
    PlcDataImport().importSignals(path, &model, &infoScreen);
}

void fuzzWorkbookReader(const uint8_t *data, size_t size)
{
    const QString path = inputFile(data, size, "workbook.xlsx");
    {
        WorkbookReader reader;
        if (reader.open(path)) {
            reader.activeSheet();
            for (const QString &name : reader.sheetNames()) {
                if (!reader.selectSheet(name))
                    continue;
                // The used range may be wide and sparse: read a bounded corner of it.
                const WorkbookReader::Range range = reader.dimension();
                for (int row = range.firstRow; row <= range.lastRow && row < range.firstRow + 64;
                     ++row) {
                    for (int column = range.firstColumn;
                         column <= range.lastColumn && column < range.firstColumn + 64; ++column)
                        reader.read(row, column);
                }
            }
        }
    }
    SclDataExporter importer;
    SclDataExporter::WorkbookContent content;
    if (!importer.readWorkbook(path, &content))
        return;
    OpenModels models;
    importer.importWorkbook(content, &models.scl, &models.objects, &models.datasets,
                            &models.reports, nullptr);
}

void fuzzProjectFile(const uint8_t *data, size_t size)
{
    const QString path = inputFile(data, size, "project.sclpro");
    OpenModels models;
    // The manager goes before its connector.
    auto connector = std::make_unique<SqliteConnector>();
    connector->setDatabaseName(path);
    if (!connector->open())
        return;
    {
        Iec61850DbManager db(connector.get());
        db.upgradeProject();
        SclDataExporter loader;
        if (loader.loadSclModel(&models.scl, &db) &&
            loader.loadSelections(&models.objects, &models.datasets, &models.reports, &db))
            loader.loadSignals(&models.signalList, &db);
    }
    connector.reset();
}

const std::vector<FuzzTarget> &fuzzTargets()
{
    static const std::vector<FuzzTarget> targets = {
        {"sclreader", fuzzSclReader},           {"signallist", fuzzSignalList},
        {"workbookreader", fuzzWorkbookReader}, {"projectfile", fuzzProjectFile},
        {"mmsresponses", fuzzMmsResponses},     {"mmsrequests", fuzzMmsRequests},
    };
    return targets;
}
