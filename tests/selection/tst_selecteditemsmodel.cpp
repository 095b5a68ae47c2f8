#include "sclmodel.h"
#include "scriptedprompt.h"
#include "selecteditemsmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QStandardItem>
#include <QtTest>

namespace {
// A three-column model that records what the base asks of its subclass.
class ProbeModel : public SelectedItemsModel
{
public:
    struct SetupCall
    {
        QString text;
        int cells;
        bool topLevel;
        bool attached;
    };

    ProbeModel() { setHeaderLabels({"Name", "First", "Second"}); }

    void setupRow(const QList<QStandardItem *> &row, bool topLevel) override
    {
        setupCalls.append(
            {row.first()->text(), row.size(), topLevel, row.first()->model() != nullptr});
        disableCell(row.value(1));
        enableCell(row.value(2), EditorKind::SignalSelect);
    }

    bool acceptsNode(QStandardItem *source, const QString &name, const QString &group) override
    {
        acceptCalls.append({source ? source->text() : QString(), name, group});
        return accept;
    }

    void itemEdited(QStandardItem *item) override { edited.append(item); }

    bool accept = true;
    QList<SetupCall> setupCalls;
    QList<QStringList> acceptCalls;
    QList<QStandardItem *> edited;
};

QStandardItem *sclNode(const QString &text, int kind, const QString &id)
{
    auto *item = new QStandardItem(text);
    item->setData(kind, KindRole);
    item->setData(id, NodeIdRole);
    item->setData(QStringLiteral("parent"), ParentIdRole);
    item->setEditable(false);
    return item;
}

// Pos { stVal, q, origin { orCat } }, as the DataObjects branch holds it.
QStandardItem *posObject()
{
    QStandardItem *pos = sclNode("Pos", DataObjectKind, "40");
    pos->appendRow(sclNode("stVal{ST,Dbpos}", DataAttributeKind, "41"));
    pos->appendRow(sclNode("q{ST,Quality}", DataAttributeKind, "42"));
    QStandardItem *origin = sclNode("origin", DataObjectKind, "43");
    origin->appendRow(sclNode("orCat{ST,Enum}", DataAttributeKind, "44"));
    pos->appendRow(origin);
    return pos;
}

QStringList registered(const SelectedItemsModel &model, const QString &group)
{
    return model.registeredNames().value(group);
}
} // namespace

Q_DECLARE_METATYPE(QStandardItem *)

class SelectedItemsModelTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsEmpty();
    void addNodeCopiesTheSubtree();
    void idsCountDepthFirstInRowOrder();
    void rowsAreSetUpBeforeTheyAreAttached();
    void nodeAddedCarriesTheAttachedFirstCell();
    void refusedPicksLeaveNoTrace();
    void nullSourceLeavesNoTrace();
    void registerNameGroups_data();
    void registerNameGroups();
    void removeTopLevelRowGivesBackOneRegistration();
    void removeChildRowKeepsTheRegistry();
    void removeOutOfRangeDoesNothing();
    void duplicatesSurviveDeleteAndRepick();
    void clearSelectionKeepsHeadersAndIds();
    void cellChangesAnnounceTheCell();
    void suppressionSilencesOnlyTheSignal();
    void disabledColour();
    void baseModelTakesEveryPick();

private:
    ScriptedPrompt fallbackPrompt;
};

void SelectedItemsModelTest::initTestCase()
{
    qRegisterMetaType<QStandardItem *>();
}

void SelectedItemsModelTest::startsEmpty()
{
    ProbeModel model;
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.columnLabels(), QStringList({"Name", "First", "Second"}));
    QCOMPARE(model.nodeIdCounter(), 0);
    QVERIFY(model.registeredNames().isEmpty());
    QVERIFY(!model.isNodeChangedSuppressed());
}

void SelectedItemsModelTest::addNodeCopiesTheSubtree()
{
    ProbeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::unique_ptr<QStandardItem> source(posObject());
    source->setData(MmsStructure, MmsTypeRole);

    QVERIFY(model.addNode(source.get(), "E1C1/Q0CSWI1.Pos", "ST"));

    QCOMPARE(model.rowCount(), 1);
    QStandardItem *first = model.item(0, 0);
    QCOMPARE(first->text(), QStringLiteral("E1C1/Q0CSWI1.Pos"));
    QCOMPARE(first->data(GroupRole).toString(), QStringLiteral("ST"));
    QCOMPARE(first->data(KindRole).toInt(), int(DataObjectKind));
    QCOMPARE(first->data(MmsTypeRole).toInt(), int(MmsStructure));
    QCOMPARE(first->data(ParentIdRole).toString(), QStringLiteral("parent"));
    QVERIFY(!first->isEditable());
    QCOMPARE(model.item(0, 1)->text(), QString());
    QVERIFY(!model.item(0, 1)->data(KindRole).isValid());

    QCOMPARE(first->rowCount(), 3);
    QCOMPARE(first->columnCount(), 3);
    QCOMPARE(first->child(0)->text(), QStringLiteral("stVal{ST,Dbpos}"));
    QCOMPARE(first->child(1)->text(), QStringLiteral("q{ST,Quality}"));
    QCOMPARE(first->child(2)->text(), QStringLiteral("origin"));
    QVERIFY(!first->child(2)->data(GroupRole).isValid());
    QCOMPARE(first->child(2)->child(0)->text(), QStringLiteral("orCat{ST,Enum}"));
    QCOMPARE(first->child(2)->child(0, 2)->data(EditorRole).toString(), EditorKind::SignalSelect);

    // The source stays where it was, untouched.
    QCOMPARE(source->text(), QStringLiteral("Pos"));
    QCOMPARE(source->rowCount(), 3);
    QVERIFY(!source->data(GroupRole).isValid());
}

void SelectedItemsModelTest::idsCountDepthFirstInRowOrder()
{
    ProbeModel model;
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "A", "ST"));
    QStandardItem *first = model.item(0);
    QCOMPARE(first->data(NodeIdRole).toString(), QStringLiteral("0"));
    QCOMPARE(first->child(0)->data(NodeIdRole).toString(), QStringLiteral("1"));
    QCOMPARE(first->child(1)->data(NodeIdRole).toString(), QStringLiteral("2"));
    QCOMPARE(first->child(2)->data(NodeIdRole).toString(), QStringLiteral("3"));
    QCOMPARE(first->child(2)->child(0)->data(NodeIdRole).toString(), QStringLiteral("4"));
    QVERIFY(!first->child(0, 1)->data(NodeIdRole).isValid());
    QCOMPARE(model.nodeIdCounter(), 5);

    QVERIFY(model.addNode(source.get(), "B", "ST"));
    QCOMPARE(model.item(1)->data(NodeIdRole).toString(), QStringLiteral("5"));
    QCOMPARE(model.nodeIdCounter(), 10);
}

void SelectedItemsModelTest::rowsAreSetUpBeforeTheyAreAttached()
{
    ProbeModel model;
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "A", "ST"));
    QCOMPARE(model.setupCalls.size(), 5);
    // The top-level row is set up with the picked item's own text, named afterwards.
    QCOMPARE(model.setupCalls[0].text, QStringLiteral("Pos"));
    QVERIFY(model.setupCalls[0].topLevel);
    for (int i = 0; i < model.setupCalls.size(); ++i) {
        QCOMPARE(model.setupCalls[i].cells, 3);
        QVERIFY(!model.setupCalls[i].attached);
        QCOMPARE(model.setupCalls[i].topLevel, i == 0);
    }
    QCOMPARE(model.setupCalls[4].text, QStringLiteral("orCat{ST,Enum}"));
}

void SelectedItemsModelTest::nodeAddedCarriesTheAttachedFirstCell()
{
    ProbeModel model;
    QSignalSpy added(&model, &SelectedItemsModel::nodeAdded);
    QStandardItem *seen = nullptr;
    int rowsWhenAdded = -1;
    connect(&model, &SelectedItemsModel::nodeAdded, this, [&](QStandardItem *node) {
        seen = node;
        rowsWhenAdded = model.rowCount();
    });
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "A", "ST"));
    QCOMPARE(added.count(), 1);
    QCOMPARE(seen, model.item(0, 0));
    QCOMPARE(seen->model(), &model);
    QCOMPARE(rowsWhenAdded, 1);
}

void SelectedItemsModelTest::refusedPicksLeaveNoTrace()
{
    ProbeModel model;
    model.accept = false;
    QSignalSpy added(&model, &SelectedItemsModel::nodeAdded);
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(!model.addNode(source.get(), "A", "ST"));
    QCOMPARE(model.acceptCalls, QList<QStringList>({{"Pos", "A", "ST"}}));
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(model.registeredNames().isEmpty());
    QCOMPARE(model.nodeIdCounter(), 0);
    QCOMPARE(added.count(), 0);
}

void SelectedItemsModelTest::nullSourceLeavesNoTrace()
{
    ProbeModel model;
    QSignalSpy added(&model, &SelectedItemsModel::nodeAdded);
    QVERIFY(!model.addNode(nullptr, "A", "ST"));
    QVERIFY(model.acceptCalls.isEmpty());
    QVERIFY(model.registeredNames().isEmpty());
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(added.count(), 0);

    // A later real pick of the same name is not taken for a duplicate.
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "A", "ST"));
    QCOMPARE(registered(model, "ST"), QStringList({"A"}));
}

void SelectedItemsModelTest::registerNameGroups_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::newRow("empty group") << QString("") << "Default";
    QTest::newRow("null group") << QString() << "Default";
    QTest::newRow("constraint") << QString("CO") << "CO";
    QTest::newRow("named Default") << QString("Default") << "Default";
}

void SelectedItemsModelTest::registerNameGroups()
{
    QFETCH(QString, group);
    QFETCH(QString, key);
    ProbeModel model;
    model.registerName("one", group);
    model.registerName("two", group);
    model.registerName("one", group);
    QCOMPARE(model.registeredNames().keys(), QStringList({key}));
    QCOMPARE(registered(model, key), QStringList({"one", "two", "one"}));
    QCOMPARE(SelectedItemsModel::groupKey(group), key);
}

void SelectedItemsModelTest::removeTopLevelRowGivesBackOneRegistration()
{
    ProbeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "A", ""));
    QVERIFY(model.addNode(source.get(), "B", ""));
    QCOMPARE(registered(model, "Default"), QStringList({"A", "B"}));

    model.removeNode(0);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.item(0)->text(), QStringLiteral("B"));
    QCOMPARE(registered(model, "Default"), QStringList({"B"}));
}

void SelectedItemsModelTest::removeChildRowKeepsTheRegistry()
{
    ProbeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "A", "ST"));
    const QModelIndex first = model.index(0, 0);
    model.removeNode(2, first);
    QCOMPARE(model.item(0)->rowCount(), 2);
    model.removeNode(0, first);
    QCOMPARE(model.item(0)->rowCount(), 1);
    QCOMPARE(model.item(0)->child(0)->text(), QStringLiteral("q{ST,Quality}"));
    QCOMPARE(registered(model, "ST"), QStringList({"A"}));
}

void SelectedItemsModelTest::removeOutOfRangeDoesNothing()
{
    ProbeModel model;
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "A", "ST"));
    model.removeNode(1);
    model.removeNode(-1);
    model.removeNode(5, model.index(0, 0));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.item(0)->rowCount(), 3);
    QCOMPARE(registered(model, "ST"), QStringList({"A"}));
}

void SelectedItemsModelTest::duplicatesSurviveDeleteAndRepick()
{
    ProbeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "A", "ST"));
    QVERIFY(model.addNode(source.get(), "A", "ST"));
    QCOMPARE(registered(model, "ST"), QStringList({"A", "A"}));

    // Deleting one of two identical rows leaves the other one counted.
    model.removeNode(1);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(registered(model, "ST"), QStringList({"A"}));

    QVERIFY(model.addNode(source.get(), "A", "ST"));
    QCOMPARE(registered(model, "ST"), QStringList({"A", "A"}));
    model.removeNode(0);
    model.removeNode(0);
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(registered(model, "ST").isEmpty());
}

void SelectedItemsModelTest::clearSelectionKeepsHeadersAndIds()
{
    ProbeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "A", "ST"));
    QCOMPARE(model.nodeIdCounter(), 5);

    model.clearSelection();
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(model.registeredNames().isEmpty());
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Second"));
    QCOMPARE(model.nodeIdCounter(), 5);

    QVERIFY(model.addNode(source.get(), "A", "ST"));
    QCOMPARE(model.item(0)->data(NodeIdRole).toString(), QStringLiteral("5"));
    QCOMPARE(model.item(0)->columnCount(), 3);
}

void SelectedItemsModelTest::cellChangesAnnounceTheCell()
{
    ProbeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "A", "ST"));
    QSignalSpy changed(&model, &SelectedItemsModel::nodeChanged);
    model.edited.clear();

    QVERIFY(model.setData(model.index(0, 2), "Tag1"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().first().value<QStandardItem *>(), model.item(0, 2));
    QCOMPARE(model.edited, QList<QStandardItem *>({model.item(0, 2)}));

    QStandardItem *child = model.item(0)->child(1, 2);
    child->setText("Tag2");
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().first().value<QStandardItem *>(), child);

    // Setting the same text again is no change.
    child->setText("Tag2");
    QCOMPARE(changed.count(), 2);

    // Invalid ranges are ignored.
    model.onNodeChanged(QModelIndex(), QModelIndex());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(model.edited.size(), 2);
}

void SelectedItemsModelTest::suppressionSilencesOnlyTheSignal()
{
    ProbeModel model;
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "A", "ST"));
    QSignalSpy changed(&model, &SelectedItemsModel::nodeChanged);
    model.edited.clear();

    model.setNodeChangedSuppressed(true);
    QVERIFY(model.isNodeChangedSuppressed());
    model.item(0, 2)->setText("Tag1");
    QCOMPARE(changed.count(), 0);
    QCOMPARE(model.edited, QList<QStandardItem *>({model.item(0, 2)}));

    model.setNodeChangedSuppressed(false);
    model.item(0, 2)->setText("Tag2");
    QCOMPARE(changed.count(), 1);
    QCOMPARE(model.edited.size(), 2);
}

void SelectedItemsModelTest::disabledColour()
{
    ProbeModel model;
    QCOMPARE(model.disabledColor(), QColor(Qt::green));
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "A", "ST"));
    QStandardItem *disabled = model.item(0, 1);
    QCOMPARE(disabled->background(), QBrush(QColor(Qt::green)));
    QCOMPARE(disabled->background().style(), Qt::SolidPattern);
    QVERIFY(!disabled->isEnabled());
    QVERIFY(!disabled->isEditable());

    model.setDisabledColor(QColor("#d0d0d0"));
    QCOMPARE(model.disabledColor(), QColor("#d0d0d0"));
    QVERIFY(model.addNode(source.get(), "B", "ST"));
    QCOMPARE(model.item(1, 1)->background(), QBrush(QColor("#d0d0d0")));

    QStandardItem *enabled = model.item(1, 2);
    QCOMPARE(enabled->background().style(), Qt::NoBrush);
    QVERIFY(enabled->isEnabled());
    QVERIFY(enabled->isEditable());
}

void SelectedItemsModelTest::baseModelTakesEveryPick()
{
    SelectedItemsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::unique_ptr<QStandardItem> source(sclNode("E1", IedKind, "0"));
    QVERIFY(model.addNode(source.get(), "E1", ""));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.columnCount(), 1);
    QCOMPARE(registered(model, "Default"), QStringList({"E1"}));
    model.clearSelection();
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(model.columnLabels().isEmpty());
}

QTEST_MAIN(SelectedItemsModelTest)
#include "tst_selecteditemsmodel.moc"
