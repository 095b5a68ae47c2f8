#include "referencepath.h"
#include "sclmodel.h"

#include <QStandardItem>
#include <QStandardItemModel>
#include <QtTest>

namespace {
QStandardItem *node(const QString &text, int kind)
{
    auto *item = new QStandardItem(text);
    item->setData(kind, KindRole);
    return item;
}
} // namespace

class ReferencePathTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pathOfEveryLevel_data();
    void pathOfEveryLevel();
    void constraintPositions_data();
    void constraintPositions();
    void deeperLevelsAreJoinedByDots();
    void onlyTheFirstBraceCuts();
    void itemsOutsideATreeGiveNothing();

private:
    // Project root "E1" > "DataObjects" > E1 > C1 > Q0CSWI1 > ST > Pos > stVal{ST,Dbpos}
    QStandardItemModel *model = nullptr;
    QHash<QString, QStandardItem *> nodes;
};

void ReferencePathTest::init()
{
    model = new QStandardItemModel;
    auto *project = new QStandardItem(QStringLiteral("E1"));
    model->appendRow(project);
    project->appendRow(new QStandardItem(SclBranch::Connection));
    auto *branch = new QStandardItem(SclBranch::DataObjects);
    project->appendRow(branch);
    nodes = {{"project", project}, {"branch", branch}};

    const QList<QPair<QString, int>> levels{{"E1", IedKind},
                                            {"C1", LogicalDeviceKind},
                                            {"Q0CSWI1", LogicalNodeKind},
                                            {"ST", FunctionalConstraintKind},
                                            {"Pos", DataObjectKind},
                                            {"stVal{ST,Dbpos}", DataAttributeKind}};
    const QStringList keys{"ied", "ld", "ln", "fc", "do", "leaf"};
    QStandardItem *parent = branch;
    for (int i = 0; i < levels.size(); ++i) {
        QStandardItem *item = node(levels[i].first, levels[i].second);
        parent->appendRow(item);
        nodes.insert(keys[i], item);
        parent = item;
    }
}

void ReferencePathTest::cleanup()
{
    delete model;
    model = nullptr;
    nodes.clear();
}

void ReferencePathTest::pathOfEveryLevel_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("constraint");
    QTest::newRow("leaf attribute") << QString("leaf") << "E1C1/Q0CSWI1.Pos.stVal" << 0;
    QTest::newRow("data object") << QString("do") << "E1C1/Q0CSWI1.Pos" << 0;
    QTest::newRow("functional constraint") << QString("fc") << "E1C1/Q0CSWI1" << 0;
    QTest::newRow("logical node") << QString("ln") << "E1C1/Q0CSWI1" << -1;
    QTest::newRow("logical device") << QString("ld") << "E1C1" << -1;
    QTest::newRow("IED") << QString("ied") << "E1" << -1;
    QTest::newRow("branch root") << QString("branch") << "" << -1;
    QTest::newRow("project root") << QString("project") << "" << -1;
}

void ReferencePathTest::pathOfEveryLevel()
{
    QFETCH(QString, key);
    QFETCH(QString, path);
    QFETCH(int, constraint);
    const ReferencePath reference = referencePath(nodes.value(key));
    QCOMPARE(reference.path, path);
    QCOMPARE(reference.constraint, constraint);
}

void ReferencePathTest::constraintPositions_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("constraint");
    QTest::newRow("ST") << "ST" << 0;
    QTest::newRow("MX") << "MX" << 1;
    QTest::newRow("CF") << "CF" << 4;
    QTest::newRow("CO") << "CO" << 12;
    QTest::newRow("GO") << "GO" << 18;
    QTest::newRow("unknown") << "XX" << -1;
    QTest::newRow("lower case") << "co" << -1;
}

void ReferencePathTest::constraintPositions()
{
    QFETCH(QString, code);
    QFETCH(int, constraint);
    nodes.value("fc")->setText(code);
    const ReferencePath reference = referencePath(nodes.value("leaf"));
    QCOMPARE(reference.constraint, constraint);
    QCOMPARE(reference.path, QStringLiteral("E1C1/Q0CSWI1.Pos.stVal"));
}

void ReferencePathTest::deeperLevelsAreJoinedByDots()
{
    QStandardItem *origin = node("origin", DataObjectKind);
    nodes.value("do")->appendRow(origin);
    QStandardItem *element = node("[0]", DataObjectKind);
    origin->appendRow(element);
    QStandardItem *orCat = node("orCat{ST,Enum}", DataAttributeKind);
    element->appendRow(orCat);
    QCOMPARE(referencePath(orCat).path, QStringLiteral("E1C1/Q0CSWI1.Pos.origin.[0].orCat"));
}

void ReferencePathTest::onlyTheFirstBraceCuts()
{
    nodes.value("ld")->setText(QStringLiteral("C{1}"));
    QCOMPARE(referencePath(nodes.value("leaf")).path, QStringLiteral("E1C"));
}

void ReferencePathTest::itemsOutsideATreeGiveNothing()
{
    const ReferencePath none = referencePath(nullptr);
    QVERIFY(none.path.isEmpty());
    QCOMPARE(none.constraint, -1);

    QStandardItem loose(QStringLiteral("stVal{ST,BOOLEAN}"));
    loose.setData(DataAttributeKind, KindRole);
    QVERIFY(referencePath(&loose).path.isEmpty());
}

QTEST_MAIN(ReferencePathTest)
#include "tst_referencepath.moc"
