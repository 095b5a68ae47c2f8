#include "sclmodel.h"
#include "scriptedprompt.h"
#include "selectedobjectsmodel.h"

#include <QAbstractItemModelTester>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardItem>
#include <QtTest>

namespace {
const QColor Disabled(Qt::darkGray);

QStandardItem *sclNode(const QString &text, int kind)
{
    auto *item = new QStandardItem(text);
    item->setData(kind, KindRole);
    item->setEditable(false);
    return item;
}

QStandardItem *leaf(const QString &text, int mmsType)
{
    QStandardItem *item = sclNode(text, DataAttributeKind);
    item->setData(mmsType, MmsTypeRole);
    return item;
}

// Pos { stVal, origin { orCat } } of a switch controller.
QStandardItem *posObject()
{
    QStandardItem *pos = sclNode("Pos", DataObjectKind);
    pos->appendRow(leaf("stVal{ST,Dbpos}", MmsBitString));
    QStandardItem *origin = sclNode("origin", DataObjectKind);
    origin->appendRow(leaf("orCat{ST,Enum}", MmsInteger));
    pos->appendRow(origin);
    return pos;
}

// One letter per cell: D disabled, R read-only, B as built, or the editor kind
// (S signal, C combo) of an enabled, editable cell.
QChar cellState(const QStandardItem *cell)
{
    if (!cell)
        return '-';
    const bool editable = cell->isEditable();
    const bool enabled = cell->isEnabled();
    const QVariant editor = cell->data(EditorRole);
    if (!enabled) {
        const bool disabledLook = cell->text().isEmpty() && !editable &&
                                  cell->background().style() == Qt::SolidPattern &&
                                  cell->background().color() == Disabled;
        return disabledLook ? 'D' : '?';
    }
    if (cell->background().style() != Qt::NoBrush)
        return '!';
    if (!editable)
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
    const QModelIndex index = first->index();
    for (int column = 0; column < model.columnCount(); ++column)
        row.append(model.itemFromIndex(index.siblingAtColumn(column)));
    return row;
}
} // namespace

Q_DECLARE_METATYPE(QStandardItem *)

class SelectedObjectsModelTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void headerLabels();
    void acceptsOnlyObjectsAndAttributes_data();
    void acceptsOnlyObjectsAndAttributes();
    void cellStatesPerKindAndConstraint_data();
    void cellStatesPerKindAndConstraint();
    void pickedRowsGetTheirCellStates_data();
    void pickedRowsGetTheirCellStates();
    void everyCellCarriesTheKind();
    void writeTriggerOpensDataSignal_data();
    void writeTriggerOpensDataSignal();
    void writeRuleRunsWhileSuppressed();
    void samePickTwiceGivesTwoRows();
    void fillAddedRowShowsConstraintAndControlModel_data();
    void fillAddedRowShowsConstraintAndControlModel();
    void fillAddedRowShowsMmsTypesDownTheSubtree();
    void fillAddedRowIgnoresForeignNodes();

private:
    ScriptedPrompt fallbackPrompt;
};

void SelectedObjectsModelTest::initTestCase()
{
    qRegisterMetaType<QStandardItem *>();
}

void SelectedObjectsModelTest::headerLabels()
{
    SelectedObjectsModel model;
    const QStringList expected{"Name",
                               "Function",
                               "MMS Type",
                               "Read Trig Signal",
                               "Write Trig Signal",
                               "Status Signal",
                               "CtlModel",
                               "Data Signal",
                               "TimeActivated Ctrl",
                               "Enh CtrlCmdTerm Signal",
                               "CtrlErrCode Signal",
                               "Selection Type",
                               "CommandType Signal"};
    QCOMPARE(model.columnCount(), 13);
    QCOMPARE(model.columnLabels(), expected);
    for (int column = 0; column < expected.size(); ++column)
        QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), expected[column]);
}

void SelectedObjectsModelTest::acceptsOnlyObjectsAndAttributes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("IED") << 0 << false;
    QTest::newRow("logical device") << 1 << false;
    QTest::newRow("logical node") << 2 << false;
    QTest::newRow("functional constraint") << 3 << false;
    QTest::newRow("data object") << 4 << true;
    QTest::newRow("data set") << 5 << false;
    QTest::newRow("unbuffered report") << 6 << false;
    QTest::newRow("buffered report") << 7 << false;
    QTest::newRow("data attribute") << 8 << true;
    QTest::newRow("no kind") << -1 << false;
}

void SelectedObjectsModelTest::acceptsOnlyObjectsAndAttributes()
{
    QFETCH(int, kind);
    QFETCH(bool, accepted);
    SelectedObjectsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    ScriptedPrompt prompt;
    std::unique_ptr<QStandardItem> source(new QStandardItem("ST"));
    if (kind >= 0)
        source->setData(kind, KindRole);

    QCOMPARE(model.addNode(source.get(), "E1C1/Q0CSWI1", "ST"), accepted);
    QCOMPARE(model.rowCount(), accepted ? 1 : 0);
    if (accepted) {
        QVERIFY(prompt.messages.isEmpty());
        QCOMPARE(model.registeredNames().value("ST"), QStringList({"E1C1/Q0CSWI1"}));
        return;
    }
    QCOMPARE(prompt.messages.size(), 1);
    QCOMPARE(prompt.messages[0].kind, PromptMessage::Information);
    QCOMPARE(prompt.messages[0].title, QStringLiteral("Invalid Selection"));
    QCOMPARE(prompt.messages[0].text,
             QStringLiteral("You can only select DataObjects(DO) and Data Attributes(DA)"));
    QCOMPARE(prompt.messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(model.registeredNames().isEmpty());
}

void SelectedObjectsModelTest::cellStatesPerKindAndConstraint_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("constraint");
    QTest::addColumn<bool>("topLevel");
    QTest::addColumn<QString>("states");
    QTest::newRow("DO ST top") << 4 << "ST" << true << "RRCSSSDDDDDDD";
    QTest::newRow("DO MX top") << 4 << "MX" << true << "RRCSSSDDDDDDD";
    QTest::newRow("DO no constraint top") << 4 << "" << true << "RRCSSSDDDDDDD";
    QTest::newRow("DO CO top") << 4 << "CO" << true << "RRCSSSCDSSSCS";
    QTest::newRow("DO ST child") << 4 << "ST" << false << "RRCRRRDRDDDDD";
    QTest::newRow("DO no constraint child") << 4 << "" << false << "RRCRRRDRDDDDD";
    // A loose row has no parent yet, so the write rule reaches it too.
    QTest::newRow("DO CO child") << 4 << "CO" << false << "RRCRRRRDRRRRR";
    QTest::newRow("DA ST top") << 8 << "ST" << true << "RRCSSSDSDDDDD";
    QTest::newRow("DA CO top") << 8 << "CO" << true << "RRCSSSDSDDDDD";
    QTest::newRow("DA ST child") << 8 << "ST" << false << "RRCDDDDSDDDDD";
    QTest::newRow("DA CO child") << 8 << "CO" << false << "RRCDDDDSDDDDD";
    QTest::newRow("LN ST top") << 2 << "ST" << true << "RRCBBBDBDDDDD";
    QTest::newRow("LN CO top") << 2 << "CO" << true << "RRCBBBBBBBBBB";
}

void SelectedObjectsModelTest::cellStatesPerKindAndConstraint()
{
    QFETCH(int, kind);
    QFETCH(QString, constraint);
    QFETCH(bool, topLevel);
    QFETCH(QString, states);
    SelectedObjectsModel model;
    model.setDisabledColor(Disabled);
    // Set up loose, as a loader does; built cells hold text, the write trigger none.
    QList<QStandardItem *> row{sclNode("Pos", kind)};
    row.first()->setData(constraint, GroupRole);
    for (int column = 1; column < SelectedObjectsModel::ColumnCount; ++column) {
        const bool writeTrig = column == SelectedObjectsModel::WriteTrigSignalColumn;
        row.append(new QStandardItem(writeTrig ? QString() : QStringLiteral("x%1").arg(column)));
    }
    const auto release = qScopeGuard([&row] { qDeleteAll(row); });
    model.setupRow(row, topLevel);
    QCOMPARE(rowStates(row), states);
}

void SelectedObjectsModelTest::pickedRowsGetTheirCellStates_data()
{
    QTest::addColumn<QString>("constraint");
    QTest::addColumn<QStringList>("states");
    // Rows in tree order: Pos, stVal, origin, orCat.
    QTest::newRow("ST") << "ST"
                        << QStringList{"RRCSSSDDDDDDD", "RRCDDDDSDDDDD", "RRCRRRDRDDDDD",
                                       "RRCDDDDSDDDDD"};
    QTest::newRow("CO") << "CO"
                        << QStringList{"RRCSSSCDSSSCS", "RRCDDDDSDDDDD", "RRCRRRDRDDDDD",
                                       "RRCDDDDSDDDDD"};
}

void SelectedObjectsModelTest::pickedRowsGetTheirCellStates()
{
    QFETCH(QString, constraint);
    QFETCH(QStringList, states);
    SelectedObjectsModel model;
    model.setDisabledColor(Disabled);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "E1C1/Q0CSWI1.Pos", constraint));

    QStandardItem *pos = model.item(0);
    QCOMPARE(pos->text(), QStringLiteral("E1C1/Q0CSWI1.Pos"));
    const QList<QStandardItem *> nodes{pos, pos->child(0), pos->child(1), pos->child(1)->child(0)};
    QStringList actual;
    for (const QStandardItem *node : nodes)
        actual.append(rowStates(modelRow(model, node)));
    QCOMPARE(actual, states);
}

void SelectedObjectsModelTest::everyCellCarriesTheKind()
{
    SelectedObjectsModel model;
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "E1C1/Q0CSWI1.Pos", "CO"));
    for (QStandardItem *cell : modelRow(model, model.item(0)))
        QCOMPARE(cell->data(KindRole).toInt(), int(DataObjectKind));
    for (QStandardItem *cell : modelRow(model, model.item(0)->child(0)))
        QCOMPARE(cell->data(KindRole).toInt(), int(DataAttributeKind));
}

void SelectedObjectsModelTest::writeTriggerOpensDataSignal_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("constraint");
    QTest::addColumn<bool>("child");
    QTest::addColumn<QString>("states");
    // States of the data signal: at pick, with a write trigger, after clearing it.
    QTest::newRow("CO data object") << 4 << "CO" << false << QString("DSD");
    QTest::newRow("ST data object") << 4 << "ST" << false << QString("DDD");
    QTest::newRow("CO data attribute") << 8 << "CO" << false << QString("SSS");
    QTest::newRow("child of CO data object") << 4 << "CO" << true << QString("RRR");
}

void SelectedObjectsModelTest::writeTriggerOpensDataSignal()
{
    QFETCH(int, kind);
    QFETCH(QString, constraint);
    QFETCH(bool, child);
    QFETCH(QString, states);
    SelectedObjectsModel model;
    model.setDisabledColor(Disabled);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::unique_ptr<QStandardItem> source(kind == DataObjectKind ? posObject()
                                                                 : leaf("ctlVal{CO,BOOLEAN}", 2));
    QVERIFY(model.addNode(source.get(), "E1C1/Q0CSWI1.Pos", constraint));
    QStandardItem *first = child ? model.item(0)->child(1) : model.item(0);
    if (child) {
        // A sub data object of a control object, as a loader may group it.
        first->setData(constraint, GroupRole);
    }
    QStandardItem *writeTrig = model.itemFromIndex(
        first->index().siblingAtColumn(SelectedObjectsModel::WriteTrigSignalColumn));
    QStandardItem *dataSignal =
        model.itemFromIndex(first->index().siblingAtColumn(SelectedObjectsModel::DataSignalColumn));
    QCOMPARE(cellState(dataSignal), states[0]);

    QVERIFY(model.setData(writeTrig->index(), "WriteTag"));
    QCOMPARE(cellState(dataSignal), states[1]);

    if (dataSignal->isEditable())
        QVERIFY(model.setData(dataSignal->index(), "DataTag"));

    QVERIFY(model.setData(writeTrig->index(), QString()));
    QCOMPARE(cellState(dataSignal), states[2]);
    if (states[2] == QChar('D'))
        QVERIFY(dataSignal->text().isEmpty());
}

void SelectedObjectsModelTest::writeRuleRunsWhileSuppressed()
{
    SelectedObjectsModel model;
    model.setDisabledColor(Disabled);
    std::unique_ptr<QStandardItem> source(posObject());
    QVERIFY(model.addNode(source.get(), "E1C1/Q0CSWI1.Pos", "CO"));
    QStandardItem *writeTrig = model.item(0, SelectedObjectsModel::WriteTrigSignalColumn);
    QStandardItem *dataSignal = model.item(0, SelectedObjectsModel::DataSignalColumn);
    QSignalSpy changed(&model, &SelectedItemsModel::nodeChanged);

    model.setNodeChangedSuppressed(true);
    writeTrig->setText("WriteTag");
    QCOMPARE(cellState(dataSignal), QChar('S'));
    QCOMPARE(changed.count(), 0);

    model.setNodeChangedSuppressed(false);
    writeTrig->setText(QString());
    QCOMPARE(cellState(dataSignal), QChar('D'));
    QVERIFY(changed.count() >= 2);
    QCOMPARE(changed.first().first().value<QStandardItem *>(), writeTrig);
    for (int i = 1; i < changed.count(); ++i)
        QCOMPARE(changed.at(i).first().value<QStandardItem *>(), dataSignal);
}

void SelectedObjectsModelTest::samePickTwiceGivesTwoRows()
{
    SelectedObjectsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    ScriptedPrompt prompt;
    std::unique_ptr<QStandardItem> source(posObject());
    const QString name = QStringLiteral("E1C1/Q0CSWI1.Pos");

    QVERIFY(model.addNode(source.get(), name, "ST"));
    QVERIFY(model.addNode(source.get(), name, "ST"));
    QVERIFY(model.addNode(source.get(), name, "CO"));
    QCOMPARE(model.rowCount(), 3);
    QVERIFY(prompt.messages.isEmpty());
    QCOMPARE(model.registeredNames().value("ST"), QStringList({name, name}));
    QCOMPARE(model.registeredNames().value("CO"), QStringList({name}));

    model.removeNode(0);
    QCOMPARE(model.registeredNames().value("ST"), QStringList({name}));
    QCOMPARE(model.registeredNames().value("CO"), QStringList({name}));

    QVERIFY(model.addNode(source.get(), name, "ST"));
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.registeredNames().value("ST"), QStringList({name, name}));
    QCOMPARE(model.item(2)->data(NodeIdRole).toString(), QStringLiteral("12"));

    model.clearSelection();
    QVERIFY(model.registeredNames().isEmpty());
    QCOMPARE(model.columnCount(), 13);
    QCOMPARE(model.headerData(12, Qt::Horizontal).toString(), QStringLiteral("CommandType Signal"));
    QVERIFY(model.addNode(source.get(), name, "ST"));
    QCOMPARE(model.item(0)->data(NodeIdRole).toString(), QStringLiteral("16"));
    QCOMPARE(model.item(0)->columnCount(), 13);
}

void SelectedObjectsModelTest::fillAddedRowShowsConstraintAndControlModel_data()
{
    QTest::addColumn<QString>("constraint");
    QTest::addColumn<QVariant>("ctlModel");
    QTest::addColumn<QString>("shown");
    QTest::newRow("no control model") << "CO" << QVariant() << "NoCTL";
    QTest::newRow("NoCTL") << "CO" << QVariant(0) << "NoCTL";
    QTest::newRow("DO") << "CO" << QVariant(1) << "DO";
    QTest::newRow("SBOes") << "CO" << QVariant(4) << "SBOes";
    QTest::newRow("beyond the list") << "CO" << QVariant(5) << "";
    QTest::newRow("negative") << "CO" << QVariant(-1) << "";
    QTest::newRow("disabled cell still shows it") << "CF" << QVariant(2) << "SBO";
}

void SelectedObjectsModelTest::fillAddedRowShowsConstraintAndControlModel()
{
    QFETCH(QString, constraint);
    QFETCH(QVariant, ctlModel);
    QFETCH(QString, shown);
    SelectedObjectsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    connect(&model, &SelectedItemsModel::nodeAdded, &model, &SelectedObjectsModel::fillAddedRow);
    std::unique_ptr<QStandardItem> source(posObject());
    source->setData(ctlModel, CtlModelRole);

    QVERIFY(model.addNode(source.get(), "E1C1/Q0CSWI1.Pos", constraint));
    QCOMPARE(model.item(0, SelectedObjectsModel::FunctionColumn)->text(), constraint);
    QCOMPARE(model.item(0, SelectedObjectsModel::CtlModelColumn)->text(), shown);
}

void SelectedObjectsModelTest::fillAddedRowShowsMmsTypesDownTheSubtree()
{
    SelectedObjectsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::unique_ptr<QStandardItem> source(posObject());
    source->child(1)->appendRow(leaf("orIdent{ST,Octet64}", 99));
    QVERIFY(model.addNode(source.get(), "E1C1/Q0CSWI1.Pos", "ST"));
    QSignalSpy changed(&model, &SelectedItemsModel::nodeChanged);

    model.fillAddedRow(model.item(0));

    const int mms = SelectedObjectsModel::MmsTypeColumn;
    QStandardItem *pos = model.item(0);
    // Nodes without a type read as code 0, as a reloaded project shows them.
    QCOMPARE(model.item(0, mms)->text(), QStringLiteral("MMS_ARRAY"));
    QCOMPARE(pos->child(0, mms)->text(), QStringLiteral("MMS_BIT_STRING"));
    QCOMPARE(pos->child(1, mms)->text(), QStringLiteral("MMS_ARRAY"));
    QCOMPARE(pos->child(1)->child(0, mms)->text(), QStringLiteral("MMS_INTEGER"));
    QCOMPARE(pos->child(1)->child(1, mms)->text(), QString());
    QCOMPARE(model.item(0, SelectedObjectsModel::FunctionColumn)->text(), QStringLiteral("ST"));
    // Function, control model and four types changed; the unknown code leaves
    // its cell empty.
    QCOMPARE(changed.count(), 6);
}

void SelectedObjectsModelTest::fillAddedRowIgnoresForeignNodes()
{
    SelectedObjectsModel model;
    model.fillAddedRow(nullptr);
    QStandardItem loose("Pos");
    loose.setData(QStringLiteral("CO"), GroupRole);
    model.fillAddedRow(&loose);
    QCOMPARE(model.rowCount(), 0);
}

QTEST_MAIN(SelectedObjectsModelTest)
#include "tst_selectedobjectsmodel.moc"
