// What must hold for every SCL file and every IED of it, checked through the
// calls stationscope-cli makes: picks survive a reopen, a save is stable, a
// workbook round trip keeps the selections, a project agrees with its own SCL
// file and with a live device serving that file.

#include "clitestsupport.h"
#include "commandlinetool.h"
#include "dbschema.h"
#include "headlesspicker.h"
#include "iedserverthread.h"
#include "iedsimulatormodel.h"
#include "liveiedsource.h"
#include "modelsnapshot.h"
#include "projectdocument.h"
#include "projectpicks.h"
#include "scldataexporter.h"
#include "sclgenerator.h"
#include "sclparser.h"
#include "testpaths.h"

#include <QDirIterator>
#include <QHostAddress>
#include <QStandardItem>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

Run runTool(const QStringList &arguments)
{
    Run run;
    {
        QTextStream out(&run.out);
        QTextStream err(&run.err);
        CommandLineTool tool(out, err);
        run.exitCode = tool.run(arguments);
    }
    return run;
}

QString describe(const QStringList &arguments, const Run &run)
{
    return arguments.join(QLatin1Char(' ')) + QStringLiteral(" -> %1\n").arg(run.exitCode) +
           run.out.left(2000) + run.err;
}

#define RUN_TOOL(run, exitCodeWanted, ...)                                                         \
    const QStringList run##Arguments{__VA_ARGS__};                                                 \
    const Run run = runTool(run##Arguments);                                                       \
    QVERIFY2(run.exitCode == (exitCodeWanted), qPrintable(describe(run##Arguments, run)))

bool hasOwnSignal(const QStandardItem *parent, int row)
{
    for (int column = 1; column < parent->columnCount(); ++column) {
        const QStandardItem *cell = parent->child(row, column);
        if (cell && cell->isEnabled() &&
            cell->data(EditorRole).toString() == EditorKind::SignalSelect &&
            !cell->text().isEmpty() && cell->text() != QLatin1String("NoRef"))
            return true;
    }
    return false;
}

// The one exception to a workbook round trip, by design: attributes of data
// objects that no signal is bound to are not exported, and a data object left
// with nothing below it and no signal of its own is not rebuilt.
bool travelsInWorkbook(const QStandardItem *parent, int row)
{
    const QStandardItem *node = parent->child(row, 0);
    const int kind = node->data(KindRole).toInt();
    if (kind == DataAttributeKind) {
        const QStandardItem *signal = parent->child(row, SelectedObjectsModel::DataSignalColumn);
        return signal && !signal->text().isEmpty();
    }
    if (kind != DataObjectKind)
        return true;
    for (int child = 0; child < node->rowCount(); ++child) {
        if (travelsInWorkbook(node, child))
            return true;
    }
    return hasOwnSignal(parent, row);
}

using RowFilter = std::function<bool(const QStandardItem *, int)>;

// Every row of a selection at every level: depth, kind, constraint and the
// text of each cell.
QStringList selectionRows(const QStandardItemModel &model, const RowFilter &kept = {})
{
    QStringList rows;
    std::function<void(const QStandardItem *, int)> visit = [&](const QStandardItem *parent,
                                                                int depth) {
        for (int row = 0; row < parent->rowCount(); ++row) {
            const QStandardItem *node = parent->child(row, 0);
            if (!node || (kept && !kept(parent, row)))
                continue;
            QStringList cells{QString::number(depth), node->data(KindRole).toString(),
                              node->data(GroupRole).toString()};
            for (int column = 0; column < model.columnCount(); ++column) {
                const QStandardItem *cell = parent->child(row, column);
                cells.append(cell ? cell->text() : QString());
            }
            rows.append(cells.join(QLatin1Char('|')));
            visit(node, depth + 1);
        }
    };
    visit(model.invisibleRootItem(), 0);
    return rows;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// Members as the parse names them: a device gives every member its constraint.
QStringList dataSetLines(const ModelSnapshot &snapshot, const ModelSnapshot &named)
{
    QStringList lines;
    for (auto set = snapshot.dataSets.cbegin(); set != snapshot.dataSets.cend(); ++set) {
        const QStringList expected = named.dataSets.value(set.key());
        const QStringList members = ModelSnapshot::membersAsNamed(
            set.value(), QSet<QString>(expected.cbegin(), expected.cend()));
        lines.append(set.key() + QStringLiteral(": ") + members.join(QLatin1Char(',')));
    }
    return sorted(lines);
}

// One selection table of a project file as a tree of rows by node id.
struct StoredRows
{
    struct Row
    {
        QStringList values;
        QList<int> children;
    };
    QHash<int, Row> rows;
    QList<int> topLevel;
    DbTable table;

    StoredRows(const QString &path, int tableId) : table(DbSchema::build().value(tableId))
    {
        for (const QString &line : projectRows(path, {tableId})) {
            Row row{line.split(QLatin1Char('|')).mid(1), {}};
            const int id = value(row, "id").toInt();
            const int parent =
                value(row, "parent_id").isEmpty() ? -1 : value(row, "parent_id").toInt();
            rows[id].values = row.values;
            (parent == -1 ? topLevel : rows[parent].children).append(id);
        }
    }
    QString value(const Row &row, const char *column) const
    {
        return row.values.value(table.columnOfName(column));
    }
    QString value(int id, const char *column) const { return value(rows.value(id), column); }
    int kind(int id) const { return value(id, "type").toInt(); }
};

// A data object, sub data object or structure is stored with the type it is
// read as: an array when its rows below are its elements, else a structure;
// an element of an array of a basic type has the array's type.
void checkStructureTypes(const StoredRows &stored, const char *nameColumn, QStringList *faults)
{
    for (auto row = stored.rows.cbegin(); row != stored.rows.cend(); ++row) {
        if (stored.kind(row.key()) != DataObjectKind)
            continue;
        const QString type = stored.value(row.value(), "mms_type");
        QString expected;
        if (!row->children.isEmpty()) {
            const bool array =
                stored.value(row->children.first(), nameColumn).startsWith(QLatin1Char('['));
            expected = QString::number(array ? MmsArray : MmsStructure);
        } else {
            const int parent = stored.value(row.value(), "parent_id").toInt();
            if (stored.rows.contains(parent) && stored.kind(parent) == DataAttributeKind)
                expected = stored.value(parent, "mms_type");
        }
        if (!expected.isEmpty() && type != expected)
            faults->append(QStringLiteral("%1 %2: MMS type %3, not %4")
                               .arg(QString::fromLatin1(stored.table.name),
                                    stored.value(row.value(), nameColumn), type, expected));
    }
}

// What a project file must hold for its picks to keep their meaning.
QStringList storedPickFaults(const QString &path)
{
    QStringList faults;
    const StoredRows objects(path, DataObjectsTable);
    checkStructureTypes(objects, "attr_reference", &faults);
    checkStructureTypes(StoredRows(path, DatasetsTable), "dataset_name", &faults);
    // A write below a control object operates with the object's control model.
    std::function<void(int, const QString &)> checkControl = [&](int id, const QString &model) {
        for (int child : objects.rows.value(id).children) {
            if (objects.value(child, "ctlModel") != model)
                faults.append(QStringLiteral("%1: control model %2, not %3")
                                  .arg(objects.value(child, "attr_reference"),
                                       objects.value(child, "ctlModel"), model));
            checkControl(child, model);
        }
    };
    for (int top : objects.topLevel) {
        if (objects.value(top, "function") == QLatin1String("CO"))
            checkControl(top, objects.value(top, "ctlModel"));
    }
    const StoredRows reports(path, ReportsTable);
    for (int top : reports.topLevel) {
        if (reports.value(top, "max_index").toInt() < 1)
            faults.append(
                QStringLiteral("%1: %2 instances")
                    .arg(reports.value(top, "report_refpath"), reports.value(top, "max_index")));
    }
    return faults;
}

// "LD/LN.DO[FC]" of every data object: the devices, nodes, objects and
// constraints a browse shows.
QStringList dataObjectLines(const ModelSnapshot &snapshot)
{
    QStringList lines;
    for (auto object = snapshot.objects.cbegin(); object != snapshot.objects.cend(); ++object) {
        if (object.key().section(QLatin1Char('/'), 1).count(QLatin1Char('.')) == 1)
            lines.append(object.key());
    }
    return sorted(lines);
}

// The report control blocks; a live device lists an indexed block's
// instances name01 ... nameNN beside it.
QStringList reportBlocks(const ModelSnapshot &snapshot)
{
    QStringList blocks;
    for (const QString &key : snapshot.reports.keys()) {
        if (!(key.right(2).toInt() > 0 && snapshot.reports.contains(key.chopped(2))))
            blocks.append(key);
    }
    return sorted(blocks);
}

// The finding lines of verify, without its summary line.
QStringList findingLines(const Run &run)
{
    QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!lines.isEmpty())
        lines.removeLast();
    return lines;
}

const QList<int> SelectionTables{1, 2, 3};

} // namespace

class InvariantsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyIedOfEverySample_data();
    void everyIedOfEverySample();

private:
    QTemporaryDir generated;
};

namespace {
QtMessageHandler testHandler = nullptr;
} // namespace

void InvariantsTest::initTestCase()
{
    // The parser's and the store's narration would bury the test's own lines.
    testHandler = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
            if (type != QtDebugMsg)
                testHandler(type, context, message);
        });
}

void InvariantsTest::everyIedOfEverySample_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("ied");
    QStringList files{sourceFile(QStringLiteral("examples/substation.scd"))};
    if (!sharedDir().isEmpty()) {
        QStringList samples;
        QDirIterator found(sharedDir() + QStringLiteral("/scl-samples"), QDir::Files,
                           QDirIterator::Subdirectories);
        while (found.hasNext()) {
            const QString file = found.next();
            if (!file.endsWith(QLatin1String(".md")))
                samples.append(file);
        }
        files += sorted(samples);
    }
    // A vendor IED's habits at a size the suite runs in seconds, also under the
    // sanitizers: a few dozen logical nodes, 75 report control blocks (66
    // without RptEnabled), members naming a sub data object through doName
    // ("PhV.phsA") and data sets whose names hold '$'. The steps grow faster
    // than the IED (ten instances per class take over three minutes);
    // bench/invariantbench runs them at 400 logical nodes.
    SclGeneratorOptions fieldSize;
    fieldSize.iedCount = 1;
    fieldSize.lnInstances = 3;
    fieldSize.templateFamilies = 1;
    fieldSize.vendorReportBlocks = 22;
    const QString fieldFile = generated.filePath(QStringLiteral("field-size.scd"));
    if (SclGenerator::write(fieldFile, fieldSize))
        files.append(fieldFile);
    for (const QString &file : files) {
        for (const QString &ied : SclParser().loadIedNames(file)) {
            const QString tag = QFileInfo(file).fileName() + QLatin1Char(' ') + ied;
            QTest::newRow(qPrintable(tag)) << file << ied;
        }
    }
}

void InvariantsTest::everyIedOfEverySample()
{
    QFETCH(QString, file);
    QFETCH(QString, ied);
    QTemporaryDir dir;
    const QString picked = dir.filePath(QStringLiteral("picked.sclpro"));
    const QString reopened = dir.filePath(QStringLiteral("reopened.sclpro"));

    // I1: picks made on the fresh parse, as the window makes them after New
    // Project, equal the picks made on the reopened project.
    ProjectDocument fresh;
    fresh.scl.setNodeChangedSuppressed(true);
    SclParser parser;
    parser.loadIedNames(file);
    if (!parser.parse(ied, &fresh.scl))
        QSKIP("an IED without logical nodes makes no project");
    fresh.scl.setNodeChangedSuppressed(false);
    RUN_TOOL(createdPicked, 0, "new", file, "--ied", ied, "--out", picked);
    HeadlessPicker picker(&fresh.scl, &fresh.objects, &fresh.datasets, &fresh.reports);
    picker.pick(picker.everyPickable(HeadlessPicker::AllBranches));
    QString problem;
    QVERIFY2(fresh.connect(picked, ProjectDocument::ReadWrite, &problem), qPrintable(problem));
    QVERIFY(SclDataExporter().writeSelections(&fresh.objects, &fresh.datasets, &fresh.reports,
                                              fresh.db.get()));
    fresh.close();

    RUN_TOOL(createdReopened, 0, "new", file, "--ied", ied, "--out", reopened, "--signals",
             sourceFile(QStringLiteral("examples/signals.csv")));
    RUN_TOOL(pickedAll, 0, "pick", reopened, "--all");
    const QStringList freshPicks = projectRows(picked, SelectionTables);
    QCOMPARE(projectRows(reopened, SelectionTables), freshPicks);
    const QStringList faults = storedPickFaults(picked);
    QVERIFY2(faults.isEmpty(), qPrintable(QStringLiteral("%1 faults, first: ").arg(faults.size()) +
                                          faults.mid(0, 5).join(QLatin1Char('\n'))));

    // Bindings make the later round trips carry more than empty cells.
    if (fresh.objects.rowCount() + fresh.datasets.rowCount() > 0) {
        const QString rules = dir.filePath(QStringLiteral("rules.csv"));
        QFile rulesFile(rules);
        QVERIFY(rulesFile.open(QIODevice::WriteOnly));
        rulesFile.write(".;Status Signal;BAY1_CB_POS\n");
        rulesFile.close();
        RUN_TOOL(bound, 0, "bind", reopened, rules);
    }

    // I2: save, reopen, save.
    const QString saved = dir.filePath(QStringLiteral("saved.sclpro"));
    QVERIFY(QFile::copy(reopened, saved));
    {
        ProjectDocument document;
        QVERIFY2(document.loadProject(saved, &problem, ProjectDocument::ReadWrite),
                 qPrintable(problem));
        QVERIFY(SclDataExporter().writeSelections(&document.objects, &document.datasets,
                                                  &document.reports, document.db.get()));
    }
    const QStringList reopenedRows = projectRows(reopened);
    QCOMPARE(projectRows(saved), reopenedRows);

    // I3: a workbook round trip.
    const QString book = dir.filePath(QStringLiteral("book.xlsx"));
    RUN_TOOL(exported, 0, "export", reopened, "--out", book);
    ProjectDocument project;
    QVERIFY2(project.loadProject(reopened, &problem), qPrintable(problem));
    ProjectDocument imported;
    QVERIFY(SclDataExporter().importWorkbook(book, &imported.scl, &imported.objects,
                                             &imported.datasets, &imported.reports, nullptr));
    QCOMPARE(selectionRows(imported.objects), selectionRows(project.objects, travelsInWorkbook));
    QCOMPARE(selectionRows(imported.datasets), selectionRows(project.datasets));
    QCOMPARE(selectionRows(imported.reports), selectionRows(project.reports));

    // I4: the project's own SCL file finds nothing and changes nothing.
    const Run verified = runTool({"verify", reopened, "--scl", file, "--ied", ied});
    QCOMPARE(findingLines(verified), QStringList());
    const QString updated = dir.filePath(QStringLiteral("updated.sclpro"));
    RUN_TOOL(updatedRun, 0, "update", reopened, "--scl", file, "--ied", ied, "--out", updated);
    QCOMPARE(projectRows(updated), reopenedRows);

    // I5: a live device serving the same file.
    IedServerThread server;
    QVERIFY(server.start(IedSimulatorModel::fromSclFile(file, ied), QHostAddress::LocalHost, 0));
    const QString address = QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
    const Run verifiedLive = runTool({"verify", reopened, "--host", address});
    QCOMPARE(findingLines(verifiedLive), QStringList());
    const ModelSnapshot parsed = ModelSnapshot::fromProjectRoot(fresh.scl.item(0));
    const ProjectPicks picks = ProjectPicks::fromModels(&project.scl, &project.objects,
                                                        &project.datasets, &project.reports);
    LiveIedSource live(QStringLiteral("127.0.0.1"), server.serverPort(), ied,
                       LiveIedSource::devicesOf(picks));
    ModelSnapshot browsed;
    QVERIFY2(live.fetch(&browsed, &problem), qPrintable(problem));
    QCOMPARE(dataObjectLines(browsed), dataObjectLines(parsed));
    QCOMPARE(dataSetLines(browsed, parsed), dataSetLines(parsed, parsed));
    QCOMPARE(reportBlocks(browsed), reportBlocks(parsed));
}

QTEST_MAIN(InvariantsTest)
#include "tst_invariants.moc"
