#include "sclmodel.h"
#include "scriptedprompt.h"
#include "selecteddatasetsmodel.h"

#include <QAbstractItemModelTester>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardItem>
#include <QtTest>

namespace {
const QColor Disabled(Qt::darkGray);

QStandardItem *sclNode(const QString &text, int kind, QVariant mmsType = QVariant())
{
    auto *item = new QStandardItem(text);
    item->setData(kind, KindRole);
    if (mmsType.isValid())
        item->setData(mmsType, MmsTypeRole);
    item->setEditable(false);
    return item;
}

// A data set as the DataSets branch holds it: an attribute member and a copied
// data object member with its own attribute.
QStandardItem *dataSet(const QString &reference)
{
    QStandardItem *set = sclNode(reference, DataSetKind);
    set->appendRow(sclNode("E1C1/Q0CSWI1.Pos.stVal[ST]", DataAttributeKind, MmsInteger));
    QStandardItem *object = sclNode("Pos", DataObjectKind);
    object->appendRow(sclNode("stVal{ST,Dbpos}", DataAttributeKind, MmsBitString));
    object->appendRow(sclNode("t{ST,Timestamp}", DataAttributeKind, MmsUtcTime));
    set->appendRow(object);
    return set;
}

// One letter per cell: D disabled, R read-only, B as built, or the editor kind
// (S signal, C combo) of an enabled, editable cell.
QChar cellState(const QStandardItem *cell)
{
    if (!cell)
        return '-';
    const QVariant editor = cell->data(EditorRole);
    if (!cell->isEnabled()) {
        const bool disabledLook = cell->text().isEmpty() && !cell->isEditable() &&
                                  cell->background().style() == Qt::SolidPattern &&
                                  cell->background().color() == Disabled;
        return disabledLook ? 'D' : '?';
    }
    if (cell->background().style() != Qt::NoBrush)
        return '!';
    if (!cell->isEditable())
        return editor.isValid() ? '?' : 'R';
    if (!editor.isValid())
        return 'B';
    if (editor.toString() == EditorKind::SignalSelect)
        return 'S';
    if (editor.toString() == EditorKind::Combo)
        return 'C';
    return '?';
}

QString rowStates(const QList<QStandardItem *> &row)
{
    QString states;
    for (const QStandardItem *cell : row)
        states.append(cellState(cell));
    return states;
}

QList<QStandardItem *> modelRow(const QStandardItemModel &model, const QStandardItem *first)
{
    QList<QStandardItem *> row;
    for (int column = 0; column < model.columnCount(); ++column)
        row.append(model.itemFromIndex(first->index().siblingAtColumn(column)));
    return row;
}
} // namespace

class SelectedDatasetsModelTest : public QObject
{
    Q_OBJECT

private slots:
    void headerLabels();
    void acceptsOnlyDataSets_data();
    void acceptsOnlyDataSets();
    void duplicateIsRefusedUntilDeleted();
    void sameNameInAnotherNodeIsNoDuplicate();
    void duplicatesAreLookedUpInDefault();
    void cellStatesPerKind_data();
    void cellStatesPerKind();
    void pickedSetGetsItsCellStates();
    void datasetNamesInRowOrder();
    void datasetUpdateFollowsEveryRowChange();
    void fillAddedRowShowsMemberMmsTypes();
    void liveValuesAreShownAndCleared();

private:
    ScriptedPrompt fallbackPrompt;
};

void SelectedDatasetsModelTest::headerLabels()
{
    SelectedDatasetsModel model;
    const QStringList expected{
        "Name",           "Status Signal", "Trig Signal", "RxTime Signal",
        "RxCount Signal", "Result Signal", "MMS Type",    "DatasetFromReportFlag Signal",
        "Live Value"};
    QCOMPARE(model.columnCount(), 9);
    QCOMPARE(model.columnLabels(), expected);
    for (int column = 0; column < expected.size(); ++column)
        QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), expected[column]);
}

void SelectedDatasetsModelTest::acceptsOnlyDataSets_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("IED") << 0;
    QTest::newRow("logical device") << 1;
    QTest::newRow("logical node") << 2;
    QTest::newRow("member data object") << 4;
    QTest::newRow("unbuffered report") << 6;
    QTest::newRow("member attribute") << 8;
    QTest::newRow("no kind") << -1;
}

void SelectedDatasetsModelTest::acceptsOnlyDataSets()
{
    QFETCH(int, kind);
    SelectedDatasetsModel model;
    ScriptedPrompt prompt;
    QSignalSpy updates(&model, &SelectedDatasetsModel::datasetUpdate);
    std::unique_ptr<QStandardItem> source(new QStandardItem("E1C1/LLN0.Pos"));
    if (kind >= 0)
        source->setData(kind, KindRole);

    QVERIFY(!model.addNode(source.get(), source->text(), QString()));
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(model.registeredNames().isEmpty());
    QCOMPARE(updates.count(), 0);
    QCOMPARE(prompt.messages.size(), 1);
    QCOMPARE(prompt.messages[0].kind, PromptMessage::Information);
    QCOMPARE(prompt.messages[0].title, QStringLiteral("Invalid Selection"));
    QCOMPARE(prompt.messages[0].text, QStringLiteral("You can only select DataSets(DS) "));
}

void SelectedDatasetsModelTest::duplicateIsRefusedUntilDeleted()
{
    SelectedDatasetsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    ScriptedPrompt prompt;
    std::unique_ptr<QStandardItem> source(dataSet("E1C1/LLN0.DS1"));

    QVERIFY(model.addNode(source.get(), source->text(), QString()));
    QVERIFY(prompt.messages.isEmpty());
    QCOMPARE(model.registeredNames().value("Default"), QStringList({"E1C1/LLN0.DS1"}));

    QVERIFY(!model.addNode(source.get(), source->text(), QString()));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(prompt.messages.size(), 1);
    QCOMPARE(prompt.messages[0].kind, PromptMessage::Information);
    QCOMPARE(prompt.messages[0].title, QStringLiteral("Duplicate Entry"));
    QCOMPARE(prompt.messages[0].text, QStringLiteral("This dataset has already been added."));
    QCOMPARE(model.registeredNames().value("Default"), QStringList({"E1C1/LLN0.DS1"}));

    model.removeNode(0);
    QVERIFY(model.registeredNames().value("Default").isEmpty());
    QVERIFY(model.addNode(source.get(), source->text(), QString()));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(prompt.messages.size(), 1);
}

void SelectedDatasetsModelTest::sameNameInAnotherNodeIsNoDuplicate()
{
    SelectedDatasetsModel model;
    ScriptedPrompt prompt;
    std::unique_ptr<QStandardItem> first(dataSet("E1C1/LLN0.DS1"));
    std::unique_ptr<QStandardItem> second(dataSet("E1C2/LLN0.DS1"));
    std::unique_ptr<QStandardItem> otherCase(dataSet("E1C1/LLN0.ds1"));
    QVERIFY(model.addNode(first.get(), first->text(), QString()));
    QVERIFY(model.addNode(second.get(), second->text(), QString()));
    QVERIFY(model.addNode(otherCase.get(), otherCase->text(), QString()));
    QCOMPARE(model.rowCount(), 3);
    QVERIFY(prompt.messages.isEmpty());
}

void SelectedDatasetsModelTest::duplicatesAreLookedUpInDefault()
{
    SelectedDatasetsModel model;
    ScriptedPrompt prompt;
    std::unique_ptr<QStandardItem> source(dataSet("E1C1/LLN0.DS1"));
    model.registerName(source->text(), QString());
    QVERIFY(!model.addNode(source.get(), source->text(), QStringLiteral("ST")));
    QCOMPARE(prompt.messages.size(), 1);
    QCOMPARE(prompt.messages[0].title, QStringLiteral("Duplicate Entry"));
}

void SelectedDatasetsModelTest::cellStatesPerKind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("topLevel");
    QTest::addColumn<QString>("states");
    QTest::newRow("data set") << 5 << true << "RSSSSDDSR";
    QTest::newRow("data set, not top-level") << 5 << false << "RSSSSDDSR";
    QTest::newRow("member data object") << 4 << false << "RDDDDDRDR";
    QTest::newRow("member data object, top-level") << 4 << true << "RDDDDDRDR";
    QTest::newRow("member attribute") << 8 << false << "RDDDDSCDR";
    QTest::newRow("member attribute, top-level") << 8 << true << "RDDDDSCDR";
    QTest::newRow("other kind") << 2 << true << "RBBBBBBBR";
}

void SelectedDatasetsModelTest::cellStatesPerKind()
{
    QFETCH(int, kind);
    QFETCH(bool, topLevel);
    QFETCH(QString, states);
    SelectedDatasetsModel model;
    model.setDisabledColor(Disabled);
    QList<QStandardItem *> row{new QStandardItem("E1C1/LLN0.DS1")};
    row.first()->setData(kind, KindRole);
    for (int column = 1; column < SelectedDatasetsModel::ColumnCount; ++column)
        row.append(new QStandardItem(QStringLiteral("x%1").arg(column)));
    const auto release = qScopeGuard([&row] { qDeleteAll(row); });

    model.setupRow(row, topLevel);
    QCOMPARE(rowStates(row), states);
    for (const QStandardItem *cell : row)
        QCOMPARE(cell->data(KindRole).toInt(), kind);
}

void SelectedDatasetsModelTest::pickedSetGetsItsCellStates()
{
    SelectedDatasetsModel model;
    model.setDisabledColor(Disabled);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::unique_ptr<QStandardItem> source(dataSet("E1C1/LLN0.DS1"));
    QVERIFY(model.addNode(source.get(), source->text(), QString()));

    QStandardItem *set = model.item(0);
    QCOMPARE(set->text(), QStringLiteral("E1C1/LLN0.DS1"));
    QCOMPARE(set->data(GroupRole).toString(), QString());
    QCOMPARE(rowStates(modelRow(model, set)), QStringLiteral("RSSSSDDSR"));
    QCOMPARE(rowStates(modelRow(model, set->child(0))), QStringLiteral("RDDDDSCDR"));
    QCOMPARE(rowStates(modelRow(model, set->child(1))), QStringLiteral("RDDDDDRDR"));
    QCOMPARE(rowStates(modelRow(model, set->child(1)->child(1))), QStringLiteral("RDDDDSCDR"));
}

void SelectedDatasetsModelTest::datasetNamesInRowOrder()
{
    SelectedDatasetsModel model;
    QVERIFY(model.datasetNames().isEmpty());
    std::unique_ptr<QStandardItem> first(dataSet("E1C1/LLN0.DS1"));
    std::unique_ptr<QStandardItem> second(dataSet("E1C1/LLN0.DS2"));
    QVERIFY(model.addNode(second.get(), second->text(), QString()));
    QVERIFY(model.addNode(first.get(), first->text(), QString()));
    QCOMPARE(model.datasetNames(), QStringList({"E1C1/LLN0.DS2", "E1C1/LLN0.DS1"}));
}

void SelectedDatasetsModelTest::datasetUpdateFollowsEveryRowChange()
{
    SelectedDatasetsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy updates(&model, &SelectedDatasetsModel::datasetUpdate);
    auto lastNames = [&updates] {
        return updates.last().first().toStringList();
    };
    std::unique_ptr<QStandardItem> first(dataSet("E1C1/LLN0.DS1"));
    std::unique_ptr<QStandardItem> second(dataSet("E1C1/LLN0.DS2"));

    QVERIFY(model.addNode(first.get(), first->text(), QString()));
    QCOMPARE(updates.count(), 1);
    QCOMPARE(lastNames(), QStringList({"E1C1/LLN0.DS1"}));

    QVERIFY(model.addNode(second.get(), second->text(), QString()));
    QCOMPARE(updates.count(), 2);
    QCOMPARE(lastNames(), QStringList({"E1C1/LLN0.DS1", "E1C1/LLN0.DS2"}));

    // A member row, at any depth, announces the list too.
    model.removeNode(0, model.index(1, 0, model.index(1, 0)));
    QCOMPARE(updates.count(), 3);
    QCOMPARE(lastNames(), QStringList({"E1C1/LLN0.DS1", "E1C1/LLN0.DS2"}));
    model.removeNode(0, model.index(0, 0));
    QCOMPARE(updates.count(), 4);
    model.item(0)->appendRow(new QStandardItem("late member"));
    QCOMPARE(updates.count(), 5);

    model.removeNode(0);
    QCOMPARE(updates.count(), 6);
    QCOMPARE(lastNames(), QStringList({"E1C1/LLN0.DS2"}));

    model.removeNode(0);
    QCOMPARE(updates.count(), 7);
    QCOMPARE(lastNames(), QStringList());

    model.emitDatasetUpdate();
    QCOMPARE(updates.count(), 8);
    QCOMPARE(lastNames(), QStringList());
}

void SelectedDatasetsModelTest::fillAddedRowShowsMemberMmsTypes()
{
    SelectedDatasetsModel model;
    model.setDisabledColor(Disabled);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    connect(&model, &SelectedItemsModel::nodeAdded, &model, &SelectedDatasetsModel::fillAddedRow);
    std::unique_ptr<QStandardItem> source(dataSet("E1C1/LLN0.DS1"));
    // The set itself keeps its cell empty whatever it carries.
    source->setData(MmsBoolean, MmsTypeRole);
    source->child(1)->appendRow(sclNode("x{ST,Odd}", DataAttributeKind, 16));
    QVERIFY(model.addNode(source.get(), source->text(), QString()));

    const int mms = SelectedDatasetsModel::MmsTypeColumn;
    QStandardItem *set = model.item(0);
    QCOMPARE(model.item(0, mms)->text(), QString());
    QCOMPARE(cellState(model.item(0, mms)), QChar('D'));
    QCOMPARE(set->child(0, mms)->text(), QStringLiteral("MMS_INTEGER"));
    // A member without a type reads as code 0, as a reloaded project shows it.
    QCOMPARE(set->child(1, mms)->text(), QStringLiteral("MMS_ARRAY"));
    QCOMPARE(set->child(1)->child(0, mms)->text(), QStringLiteral("MMS_BIT_STRING"));
    QCOMPARE(set->child(1)->child(1, mms)->text(), QStringLiteral("MMS_UTC_TIME"));
    QCOMPARE(set->child(1)->child(2, mms)->text(), QString());

    model.fillAddedRow(nullptr);
    QStandardItem loose("E1C1/LLN0.DS9");
    model.fillAddedRow(&loose);
    QCOMPARE(model.rowCount(), 1);
}

void SelectedDatasetsModelTest::liveValuesAreShownAndCleared()
{
    SelectedDatasetsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::unique_ptr<QStandardItem> source(dataSet("E1C1/LLN0.DS1"));
    QVERIFY(model.addNode(source.get(), source->text(), QString()));
    QStandardItem *set = model.item(0);
    // A member as a project load builds it: no cell beyond the stored ones.
    set->appendRow(new QStandardItem("E1C1/MMXU1.TotW.mag[MX]"));
    const int live = SelectedDatasetsModel::LiveValueColumn;

    model.setLiveValue(set->child(0), "on (questionable)");
    model.setLiveValue(set->child(2), "12.5");
    QCOMPARE(model.liveValue(set->child(0)), QStringLiteral("on (questionable)"));
    QCOMPARE(model.liveValue(set->child(2)), QStringLiteral("12.5"));
    QCOMPARE(cellState(set->child(0, live)), QChar('R'));
    QCOMPARE(cellState(set->child(2, live)), QChar('R'));

    model.clearLiveValues();
    QCOMPARE(model.liveValue(set->child(0)), QString());
    QCOMPARE(model.liveValue(set->child(2)), QString());
}

QTEST_MAIN(SelectedDatasetsModelTest)
#include "tst_selecteddatasetsmodel.moc"
