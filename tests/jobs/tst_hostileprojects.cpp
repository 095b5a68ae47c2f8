// Project files that no version of this program writes, made to hurt the
// loader: trees nested far deeper than any model, in either row order.

#include "projecttesthelpers.h"
#include "scldataexporter.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "treeplacement.h"

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

class TestHostileProjects : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void deepChainIsCut_data();
    void deepChainIsCut();
    void deepModelTableLoads_data();
    void deepModelTableLoads();
    void deepSelectionTableLoads();
    void largeModelTableLoadsWithProgress();

private:
    // Rows 0 .. count-1, each below the one before; every row but the first of kind.
    void insertChain(const QString &table, const QString &columns, int count, bool reversed,
                     int kind);

    std::unique_ptr<ProjectFile> project;
};

namespace {

// Levels below node, node itself counting as one.
int height(const QStandardItem *node)
{
    int levels = 0;
    for (QList<const QStandardItem *> level{node}; !level.isEmpty(); ++levels) {
        QList<const QStandardItem *> next;
        for (const QStandardItem *item : level) {
            for (int row = 0; row < item->rowCount(); ++row)
                next.append(item->child(row));
        }
        level = next;
    }
    return levels;
}

// The chain hanging below node holds the texts 0, 1, 2 ... in order; its length.
int chainBelow(const QStandardItem *node)
{
    int length = 0;
    while (node->rowCount() > 0) {
        if (node->rowCount() != 1 || node->child(0)->text() != QString::number(length))
            return -1;
        node = node->child(0);
        ++length;
    }
    return length;
}

} // namespace

void TestHostileProjects::init()
{
    project = std::make_unique<ProjectFile>();
    QVERIFY(project->open(true));
}

void TestHostileProjects::cleanup()
{
    project.reset();
}

void TestHostileProjects::deepChainIsCut_data()
{
    QTest::addColumn<bool>("reversed");
    QTest::newRow("parents first") << false;
    QTest::newRow("children first") << true;
}

// Each row the parent of the next: deleting or walking such a tree recursively
// would overflow the stack, and checking each row against all its ancestors
// would take quadratic time.
void TestHostileProjects::deepChainIsCut()
{
    QFETCH(bool, reversed);
    const int count = 20 * MaxTreeDepth;
    QStandardItem root(QStringLiteral("root"));
    TreePlacement placement;
    for (int i = 0; i < count; ++i) {
        const int id = reversed ? count - 1 - i : i;
        placeRow(&root, {new QStandardItem(QString::number(id))}, id, id - 1, placement);
    }
    attachWaiting(placement);
    QVERIFY(placement.nodesById.isEmpty());
    QVERIFY(placement.waitingChildren.isEmpty());
    QVERIFY(height(&root) <= MaxTreeDepth);
    const int kept = chainBelow(&root);
    QVERIFY2(kept >= 1, "what is kept is the chain's start, in order");
    if (!reversed)
        QCOMPARE(kept, MaxTreeDepth - 1);
}

void TestHostileProjects::insertChain(const QString &table, const QString &columns, int count,
                                      bool reversed, int kind)
{
    QSqlDatabase database = project->connector->database();
    QVERIFY(database.transaction());
    QSqlQuery query(database);
    QVERIFY(query.prepare(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (?, 0, ?, ?, ?)").arg(table, columns)));
    for (int i = 0; i < count; ++i) {
        const int id = reversed ? count - 1 - i : i;
        query.addBindValue(id);
        query.addBindValue(id == 0 ? 0 : kind);
        query.addBindValue(id - 1);
        query.addBindValue(QString::number(id));
        QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
    }
    QVERIFY(database.commit());
}

void TestHostileProjects::deepModelTableLoads_data()
{
    QTest::addColumn<bool>("reversed");
    QTest::newRow("parents first") << false;
    QTest::newRow("children first") << true;
}

void TestHostileProjects::deepModelTableLoads()
{
    QFETCH(bool, reversed);
    QVERIFY(project->db->executeStatement(QStringLiteral(
                "INSERT INTO iec61850_connectionsv2 VALUES (0, 'E1', '10.0.0.1', 102, 0, "
                "'-', '-', 'r1', 0, 15, '-', '-', '-', 3, 'KEL', '-')")) != -1);
    insertChain(QStringLiteral("iec61850_data_objects_pro"),
                QStringLiteral("id, con_id, type, parent_id, attr_reference"), 20000, reversed,
                DataObjectKind);
    QVERIFY(project->open(false));

    SelectedItemsModel model;
    SclDataExporter loader;
    QVERIFY(loader.loadSclModel(&model, project->db.get()));
    QStandardItem *dataObjects = model.item(0)->child(SclBranch::DataObjectsRow);
    QCOMPARE(dataObjects->text(), SclBranch::DataObjects);
    // The model's own levels above the branch count too.
    QVERIFY(height(dataObjects) + 1 <= MaxTreeDepth);
    QVERIFY(chainBelow(dataObjects) >= 1);
}

void TestHostileProjects::deepSelectionTableLoads()
{
    insertChain(QStringLiteral("iec61850_data_objects"),
                QStringLiteral("id, con_id, type, parent_id, attr_reference"), 20000, false,
                DataAttributeKind);
    QVERIFY(project->open(false));

    SelectedObjectsModel objects;
    SelectedDatasetsModel datasets;
    SelectedReportsModel reports;
    SclDataExporter loader;
    QVERIFY(loader.loadSelections(&objects, &datasets, &reports, project->db.get()));
    // Attributes are never pruned, so the cut chain stays; the invisible root
    // item is no level of the model.
    QCOMPARE(height(objects.invisibleRootItem()) - 1, MaxTreeDepth);
}

// A wide table (bench/projectloadbench measures a million rows): every row
// comes back once, with a progress step each.
void TestHostileProjects::largeModelTableLoadsWithProgress()
{
    const int count = 50000;
    QVERIFY(project->db->executeStatement(QStringLiteral(
                "INSERT INTO iec61850_connectionsv2 VALUES (0, 'E1', '10.0.0.1', 102, 0, "
                "'-', '-', 'r1', 0, 15, '-', '-', '-', 3, 'KEL', '-')")) != -1);
    QSqlDatabase database = project->connector->database();
    QVERIFY(database.transaction());
    QSqlQuery query(database);
    QVERIFY(query.prepare(QStringLiteral("INSERT INTO iec61850_data_objects_pro (id, con_id, type, "
                                         "parent_id, attr_reference) VALUES (?, 0, ?, ?, ?)")));
    for (int id = 0; id < count; ++id) {
        query.addBindValue(id);
        query.addBindValue(id == 0 ? IedKind : DataAttributeKind);
        query.addBindValue(id == 0 ? -1 : (id - 1) / 8);
        query.addBindValue(QStringLiteral("n%1").arg(id));
        QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
    }
    QVERIFY(database.commit());
    QVERIFY(project->open(false));

    SelectedItemsModel model;
    SclDataExporter loader;
    QSignalSpy progress(&loader, &SclDataExporter::progressUpdated);
    QSignalSpy finished(&loader, &SclDataExporter::progressFinished);
    QVERIFY(loader.loadSclModel(&model, project->db.get()));
    QCOMPARE(progress.count(), count);
    QCOMPARE(progress.last().at(0).toInt(), 100);
    QCOMPARE(finished.count(), 1);
    QStandardItem *dataObjects = model.item(0)->child(SclBranch::DataObjectsRow);
    QCOMPARE(SclDataExporter::countNodes(dataObjects), count);
    QCOMPARE(dataObjects->child(0)->child(7)->text(), QStringLiteral("n8"));
}

QTEST_MAIN(TestHostileProjects)
#include "tst_hostileprojects.moc"
