// Opening a project whose SCL model table holds a million rows, as Open Project
// does: upgrade, SCL model, selections, signals. The file is generated directly
// with SQLite (an eight-way tree, as deep as a real model), so the figures are
// those of the loader alone. Prints time, progress steps and peak memory.
//   projectloadbench [--rows N] [--keep]

#include "iec61850dbmanager.h"
#include "scldataexporter.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "sqliteconnector.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>

namespace {

QTextStream out(stdout);

// Peak and current resident memory of this process in MiB (VmHWM, VmRSS).
QPair<qint64, qint64> memoryMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    qint64 peak = -1;
    qint64 current = -1;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() >= 2 && fields.at(0) == "VmHWM:")
                peak = fields.at(1).toLongLong() / 1024;
            else if (fields.size() >= 2 && fields.at(0) == "VmRSS:")
                current = fields.at(1).toLongLong() / 1024;
        }
    }
    return {peak, current};
}

bool generate(const QString &path, int rows)
{
    SqliteConnector connector;
    connector.setDatabaseName(path);
    if (!connector.open())
        return false;
    Iec61850DbManager db(&connector);
    db.createSelectionTables();
    db.createModelTables();
    if (db.executeStatement(QStringLiteral(
            "INSERT INTO iec61850_connectionsv2 VALUES (0, 'BIG', '10.0.0.1', 102, 0, '-', '-', "
            "'r1', 0, 15, '-', '-', '-', 3, 'KEL', '-')")) == -1)
        return false;
    QSqlDatabase handle = connector.database();
    handle.transaction();
    QSqlQuery query(handle);
    if (!query.prepare(QStringLiteral(
            "INSERT INTO iec61850_data_objects_pro (id, con_id, type, parent_id, depth, "
            "treeindex, sclbtype, mms_type, ctlmodel, attr_reference) "
            "VALUES (?, 0, ?, ?, ?, ?, ?, ?, 0, ?)"))) {
        out << query.lastError().text() << Qt::endl;
        return false;
    }
    const int kinds[] = {
        IedKind,        LogicalDeviceKind, LogicalNodeKind, FunctionalConstraintKind,
        DataObjectKind, DataObjectKind,    DataObjectKind};
    for (int id = 0; id < rows; ++id) {
        const int parent = id == 0 ? -1 : (id - 1) / 8;
        int depth = 0;
        for (int above = parent; above >= 0; above = above == 0 ? -1 : (above - 1) / 8)
            ++depth;
        const bool leaf = id * 8 + 1 >= rows;
        const int kind = leaf ? DataAttributeKind : kinds[qMin(depth, 6)];
        query.addBindValue(id);
        query.addBindValue(kind);
        query.addBindValue(parent);
        query.addBindValue(depth);
        query.addBindValue(QString::number((id - 1) % 8));
        query.addBindValue(leaf ? QStringLiteral("BOOLEAN") : QString());
        query.addBindValue(leaf ? 2 : 0);
        query.addBindValue(leaf ? QStringLiteral("stVal%1{ST,BOOLEAN}").arg(id)
                                : QStringLiteral("node%1").arg(id));
        if (!query.exec()) {
            out << query.lastError().text() << Qt::endl;
            return false;
        }
    }
    return handle.commit();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    int rows = 1000000;
    const int rowsAt = arguments.indexOf(QStringLiteral("--rows"));
    if (rowsAt > 0 && rowsAt + 1 < arguments.size())
        rows = arguments.at(rowsAt + 1).toInt();
    const bool keep = arguments.contains(QStringLiteral("--keep"));

    QTemporaryDir dir;
    dir.setAutoRemove(!keep);
    const QString path = dir.filePath(QStringLiteral("big.sclpro"));
    QElapsedTimer timer;
    timer.start();
    if (!generate(path, rows)) {
        out << "cannot generate " << path << Qt::endl;
        return 1;
    }
    out << "generated " << rows << " model rows in " << timer.elapsed() << " ms, "
        << QFileInfo(path).size() / (1024 * 1024) << " MiB: " << path << Qt::endl;
    const auto before = memoryMiB();
    out << "before loading: peak " << before.first << " MiB, resident " << before.second << " MiB"
        << Qt::endl;

    SelectedItemsModel scl;
    SelectedObjectsModel objects;
    SelectedDatasetsModel datasets;
    SelectedReportsModel reports;
    QStandardItemModel signalList;
    int steps = 0;
    int last = -1;
    {
        SqliteConnector connector;
        connector.setDatabaseName(path);
        connector.open();
        Iec61850DbManager db(&connector);
        SclDataExporter loader;
        QObject::connect(&loader, &SclDataExporter::progressUpdated, [&](int value) {
            ++steps;
            last = value;
        });
        timer.restart();
        db.upgradeProject();
        const bool loaded = loader.loadSclModel(&scl, &db) &&
                            loader.loadSelections(&objects, &datasets, &reports, &db) &&
                            loader.loadSignals(&signalList, &db);
        const qint64 elapsed = timer.elapsed();
        const auto after = memoryMiB();
        out << (loaded ? "loaded" : "FAILED to load") << " in " << elapsed << " ms; "
            << SclDataExporter::countNodes(scl.invisibleRootItem()) << " model items; " << steps
            << " progress signals, the last " << last << "%" << Qt::endl;
        out << "after loading: peak " << after.first << " MiB, resident " << after.second << " MiB"
            << Qt::endl;
    }
    return 0;
}
