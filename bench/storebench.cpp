// Time of writing the SCL model of a large IED into a new project file and of
// loading it back, and of saving and loading a few thousand selection rows,
// each beside a bare baseline measured in the same run: the same rows
// inserted with one prepared statement in one transaction.

#include "benchsupport.h"
#include "iec61850dbmanager.h"
#include "referencepath.h"
#include "scldataexporter.h"
#include "sclgenerator.h"
#include "sclparser.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "sqliteconnector.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardItem>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

QTextStream out(stdout);

struct Project
{
    std::unique_ptr<SqliteConnector> connector;
    std::unique_ptr<Iec61850DbManager> db;

    Project(const QString &path, bool create)
    {
        connector = std::make_unique<SqliteConnector>();
        connector->setDatabaseName(path);
        connector->open();
        db = std::make_unique<Iec61850DbManager>(connector.get());
        if (create) {
            db->createSelectionTables();
            db->createModelTables();
        } else {
            db->upgradeProject();
        }
    }
    ~Project()
    {
        db.reset();
        connector.reset();
    }
};

void visit(QStandardItem *node, const std::function<void(QStandardItem *)> &action)
{
    action(node);
    for (int row = 0; row < node->rowCount(); ++row)
        visit(node->child(row), action);
}

// The bare way: one prepared INSERT per table, values bound from the same
// items the store reads, all in one transaction.
qint64 baselineInsert(Iec61850DbManager *db,
                      const QList<QPair<int, QList<QList<QStandardItem *>>>> &tables)
{
    QElapsedTimer timer;
    timer.start();
    QSqlDatabase handle = db->connector()->database();
    handle.transaction();
    for (const auto &entry : tables) {
        const DbTable table = db->schemaTable(entry.first);
        QStringList names = table.columnNames();
        names.removeAll(QStringLiteral("db_id"));
        QStringList marks;
        for (int i = 0; i < names.size(); ++i)
            marks << QStringLiteral("?");
        QSqlQuery query(handle);
        query.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(QString::fromLatin1(table.name), names.join(", "), marks.join(", ")));
        for (const QList<QStandardItem *> &row : entry.second) {
            int value = 0;
            for (const DbColumn &column : table.columns) {
                if (column.name == "db_id")
                    continue;
                QVariant data;
                if (column.itemRole >= 0)
                    data = row.first()->data(column.itemRole);
                else if (QStandardItem *cell = row.value(column.modelColumn))
                    data = cell->text();
                query.bindValue(value++, data);
            }
            if (!query.exec())
                out << "baseline insert failed: " << query.lastError().text() << "\n";
        }
    }
    handle.commit();
    return timer.elapsed();
}

QList<QList<QStandardItem *>> modelRows(QStandardItem *branchRoot)
{
    QList<QList<QStandardItem *>> rows;
    for (int row = 0; row < branchRoot->rowCount(); ++row)
        visit(branchRoot->child(row), [&](QStandardItem *node) { rows.append({node}); });
    return rows;
}

QList<QList<QStandardItem *>> selectionRows(QStandardItemModel *model)
{
    QList<QList<QStandardItem *>> rows;
    std::function<void(QStandardItem *)> walk = [&](QStandardItem *parent) {
        for (int row = 0; row < parent->rowCount(); ++row) {
            QList<QStandardItem *> cells;
            for (int column = 0; column < parent->columnCount(); ++column)
                cells.append(parent->child(row, column));
            rows.append(cells);
            walk(parent->child(row));
        }
    };
    walk(model->invisibleRootItem());
    return rows;
}

void line(const QString &what, int rows, qint64 ms, qint64 baselineMs)
{
    const double perSecond = ms > 0 ? rows * 1000.0 / ms : 0.0;
    out << qSetFieldWidth(34) << Qt::left << what << qSetFieldWidth(0) << qSetFieldWidth(8)
        << Qt::right << rows << qSetFieldWidth(9) << ms << qSetFieldWidth(0) << " ms"
        << qSetFieldWidth(11) << qRound(perSecond) << qSetFieldWidth(0) << " rows/s";
    if (baselineMs >= 0) {
        out << "   baseline " << baselineMs << " ms, ratio "
            << QString::number(baselineMs > 0 ? double(ms) / baselineMs : 0.0, 'f', 2);
    }
    out << "\n";
    out.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    prepareWindowlessBench();
    QApplication app(argc, argv);

    SclGeneratorOptions options;
    options.iedCount = 1;
    options.lnInstances = 90;
    options.templateFamilies = 1;
    int selectionTarget = 3000;
    int repeat = 5;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString arg = args.at(i);
        if (arg == QLatin1String("--lns") && i + 1 < args.size())
            options.lnInstances = args.at(++i).toInt();
        else if (arg == QLatin1String("--selection") && i + 1 < args.size())
            selectionTarget = args.at(++i).toInt();
        else if (arg == QLatin1String("--repeat") && i + 1 < args.size())
            repeat = std::max(1, args.at(++i).toInt());
        else {
            out << "usage: storebench [--lns M] [--selection ROWS] [--repeat R]\n";
            return 2;
        }
    }

    QTemporaryDir dir;
    const QString scd = dir.filePath(QStringLiteral("bench.scd"));
    if (!SclGenerator::write(scd, options)) {
        out << "cannot write " << scd << "\n";
        return 1;
    }
    const QString iedName = SclGenerator::iedName(0);
    SelectedItemsModel scl;
    {
        SclParser parser;
        parser.loadIedNames(scd);
        if (!parser.parse(iedName, &scl)) {
            out << "cannot parse " << iedName << "\n";
            return 1;
        }
    }
    QStandardItem *ied = scl.item(0);
    const QList<QPair<int, QList<QList<QStandardItem *>>>> modelTables{
        {DataObjectsModelTable, modelRows(ied->child(SclBranch::DataObjectsRow))},
        {DatasetsModelTable, modelRows(ied->child(SclBranch::DataSetsRow))},
        {ReportsModelTable, modelRows(ied->child(SclBranch::ReportsRow))}};
    int modelRowCount = 0;
    for (const auto &table : modelTables)
        modelRowCount += table.second.size();
    out << "IED " << iedName << " with " << options.lnInstances
        << " logical node instances per class: " << modelRowCount << " model rows; best of "
        << repeat << " runs\n\n";

    // Baseline and store runs alternate, so both meet the same machine load.
    int run = 0;
    const QString project = dir.filePath(QStringLiteral("bench.sclpro"));
    qint64 baselineWrite = -1;
    qint64 write = -1;
    for (int i = 0; i < repeat; ++i) {
        baselineWrite = keepBest(baselineWrite, [&] {
            Project p(dir.filePath(QStringLiteral("baseline%1.sclpro").arg(run++)), true);
            return baselineInsert(p.db.get(), modelTables);
        }());
        write = keepBest(write, [&] {
            QFile::remove(project);
            Project p(project, true);
            QElapsedTimer timer;
            timer.start();
            SclDataExporter exporter;
            exporter.writeSclModel(&scl, p.db.get());
            return timer.elapsed();
        }());
    }
    line(QStringLiteral("write the SCL model"), modelRowCount, write, baselineWrite);

    const qint64 load = bestOf(repeat, [&] {
        Project p(project, false);
        SelectedItemsModel loaded;
        QElapsedTimer timer;
        timer.start();
        SclDataExporter exporter;
        exporter.loadSclModel(&loaded, p.db.get());
        return timer.elapsed();
    });
    line(QStringLiteral("load the SCL model"), modelRowCount, load, -1);

    // Picks as the tree container makes them, until the target is reached.
    SelectedObjectsModel objects;
    SelectedDatasetsModel datasets;
    SelectedReportsModel reports;
    int selected = 0;
    visit(ied->child(SclBranch::ReportsRow), [&](QStandardItem *node) {
        const int kind = node->data(KindRole).toInt();
        if (kind == UnbufferedReportKind || kind == BufferedReportKind) {
            reports.addNode(node, node->text(), QString());
            reports.fillAddedRow(reports.item(reports.rowCount() - 1));
            ++selected;
        }
    });
    // About half of the rows in data sets, the rest in data objects.
    visit(ied->child(SclBranch::DataSetsRow), [&](QStandardItem *node) {
        if (selected < selectionTarget / 2 && node->data(KindRole).toInt() == DataSetKind &&
            node->data(KindRole).isValid()) {
            datasets.addNode(node, node->text(), QString());
            datasets.fillAddedRow(datasets.item(datasets.rowCount() - 1));
            selected += 1 + SclDataExporter::countNodes(datasets.item(datasets.rowCount() - 1));
        }
    });
    visit(ied->child(SclBranch::DataObjectsRow), [&](QStandardItem *node) {
        if (selected >= selectionTarget || node->data(KindRole).toInt() != DataObjectKind ||
            node->parent()->data(KindRole).toInt() != FunctionalConstraintKind)
            return;
        const ReferencePath reference = referencePath(node);
        objects.addNode(node, reference.path,
                        FunctionalConstraintList().value(reference.constraint));
        objects.fillAddedRow(objects.item(objects.rowCount() - 1));
        objects.item(objects.rowCount() - 1, SelectedObjectsModel::ReadTrigSignalColumn)
            ->setText(QStringLiteral("Signal %1").arg(objects.rowCount()));
        selected += 1 + SclDataExporter::countNodes(objects.item(objects.rowCount() - 1));
    });
    const QList<QPair<int, QList<QList<QStandardItem *>>>> selectionTables{
        {DataObjectsTable, selectionRows(&objects)},
        {DatasetsTable, selectionRows(&datasets)},
        {ReportsTable, selectionRows(&reports)}};

    qint64 baselineSave = -1;
    qint64 save = -1;
    for (int i = 0; i < repeat; ++i) {
        baselineSave = keepBest(baselineSave, [&] {
            Project p(dir.filePath(QStringLiteral("baseline%1.sclpro").arg(run++)), true);
            return baselineInsert(p.db.get(), selectionTables);
        }());
        save = keepBest(save, [&] {
            Project p(project, false);
            QElapsedTimer timer;
            timer.start();
            SclDataExporter exporter;
            exporter.writeSelections(&objects, &datasets, &reports, p.db.get());
            return timer.elapsed();
        }());
    }
    line(QStringLiteral("save the selections"), selected, save, baselineSave);

    const qint64 loadSelections = bestOf(repeat, [&] {
        Project p(project, false);
        SelectedObjectsModel o;
        SelectedDatasetsModel d;
        SelectedReportsModel r;
        QElapsedTimer timer;
        timer.start();
        SclDataExporter exporter;
        exporter.loadSelections(&o, &d, &r, p.db.get());
        return timer.elapsed();
    });
    line(QStringLiteral("load the selections"), selected, loadSelections, -1);
    return 0;
}
