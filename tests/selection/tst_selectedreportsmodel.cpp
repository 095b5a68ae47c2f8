#include "sclmodel.h"
#include "scriptedprompt.h"
#include "selecteddatasetsmodel.h"
#include "selectedreportsmodel.h"

#include <QAbstractItemModelTester>
#include <QIcon>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardItem>
#include <QtTest>

namespace {
// A report control block as the Reports branch holds it.
QStandardItem *reportBlock(const QString &text, const QString &dataSet, bool buffered = false)
{
    auto *item = new QStandardItem(text);
    item->setData(buffered ? BufferedReportKind : UnbufferedReportKind, KindRole);
    item->setData(dataSet, DatasetRefRole);
    item->setData(dataSet, ReportDatasetRole);
    item->setData(1000, IntgPdRole);
    item->setData(50, BufTimeRole);
    item->setData(3, ConfRevRole);
    item->setData(27, TrgOpsRole);
    item->setData(255, OptFieldsRole);
    item->setData(5, MaxIndexRole);
    item->setData(true, IndexedRole);
    item->setData(buffered, BufferedRole);
    item->setEditable(false);
    return item;
}

QStandardItem *dataSet(const QString &reference)
{
    auto *item = new QStandardItem(reference);
    item->setData(DataSetKind, KindRole);
    return item;
}

// D disabled, R read-only, P plain text, or the letter of the editor kind.
QChar cellState(const QStandardItem *cell)
{
    if (!cell)
        return '-';
    if (!cell->isEnabled())
        return 'D';
    if (cell->background().style() != Qt::NoBrush)
        return '!';
    const QVariant editor = cell->data(EditorRole);
    if (!cell->isEditable())
        return editor.isValid() ? '?' : 'R';
    if (!editor.isValid())
        return 'B';
    static const QHash<QString, QChar> letters{{QString(), 'P'},
                                               {EditorKind::SignalSelect, 'S'},
                                               {EditorKind::Combo, 'C'},
                                               {EditorKind::CheckBox, 'K'},
                                               {EditorKind::TrigTypeDialog, 'T'},
                                               {EditorKind::ReportOptionsDialog, 'O'},
                                               {EditorKind::ReportSettingsDialog, 'G'}};
    return letters.value(editor.toString(), '?');
}

QString rowStates(const QList<QStandardItem *> &row)
{
    QString states;
    for (const QStandardItem *cell : row)
        states.append(cellState(cell));
    return states;
}

bool hasWarning(const QStandardItem *cell)
{
    return !cell->icon().isNull() &&
           cell->toolTip() == QStringLiteral("This dataset does not exist in model !");
}

bool isClean(const QStandardItem *cell)
{
    return cell->icon().isNull() && cell->toolTip().isEmpty();
}
} // namespace

Q_DECLARE_METATYPE(QStandardItem *)

class SelectedReportsModelTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void headerLabels();
    void acceptsOnlyReportControlBlocks_data();
    void acceptsOnlyReportControlBlocks();
    void duplicateIsRefusedUntilDeleted();
    void cellStates_data();
    void cellStates();
    void pickedReportGetsItsCellStates();
    void fillAddedRowCopiesTheParameters();
    void fillAddedRowAnnouncesUnlessSuppressed();
    void missingDataSetIsMarked();
    void marksFollowTheDataSetSelection();

private:
    ScriptedPrompt fallbackPrompt;
};

void SelectedReportsModelTest::initTestCase()
{
    qRegisterMetaType<QStandardItem *>();
}

void SelectedReportsModelTest::headerLabels()
{
    SelectedReportsModel model;
    const QStringList expected{"ReportRefPath", "DatasetRefPath",    "TriggerType",
                               "IsIndexed",     "MaxIndex",          "ConfRevCheck",
                               "ConfRevNumber", "IntPeriod",         "BufferingTime",
                               "OptFields",     "EnableSignal",      "StatusSignal",
                               "SendGISignal",  "PurgeBufferSignal", "IgnoredReportCountSignal"};
    QCOMPARE(model.columnCount(), 15);
    QCOMPARE(model.columnLabels(), expected);
    for (int column = 0; column < expected.size(); ++column)
        QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), expected[column]);
}

void SelectedReportsModelTest::acceptsOnlyReportControlBlocks_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("IED") << 0 << false;
    QTest::newRow("logical device") << 1 << false;
    QTest::newRow("logical node") << 2 << false;
    QTest::newRow("data object") << 4 << false;
    QTest::newRow("data set") << 5 << false;
    QTest::newRow("unbuffered") << 6 << true;
    QTest::newRow("buffered") << 7 << true;
    QTest::newRow("attribute") << 8 << false;
    QTest::newRow("no kind") << -1 << false;
}

void SelectedReportsModelTest::acceptsOnlyReportControlBlocks()
{
    QFETCH(int, kind);
    QFETCH(bool, accepted);
    SelectedReportsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    ScriptedPrompt prompt;
    std::unique_ptr<QStandardItem> source(new QStandardItem("E1C1/LLN0.RP.urcbA"));
    if (kind >= 0)
        source->setData(kind, KindRole);

    QCOMPARE(model.addNode(source.get(), source->text(), QString()), accepted);
    QCOMPARE(model.rowCount(), accepted ? 1 : 0);
    if (accepted) {
        QVERIFY(prompt.messages.isEmpty());
        QCOMPARE(model.registeredNames().value("Default"), QStringList({"E1C1/LLN0.RP.urcbA"}));
        return;
    }
    QVERIFY(model.registeredNames().isEmpty());
    QCOMPARE(prompt.messages.size(), 1);
    QCOMPARE(prompt.messages[0].kind, PromptMessage::Information);
    QCOMPARE(prompt.messages[0].title, QStringLiteral("Invalid Selection"));
    QCOMPARE(prompt.messages[0].text, QStringLiteral("You can only select ReportObject(RO)"));
}

void SelectedReportsModelTest::duplicateIsRefusedUntilDeleted()
{
    SelectedReportsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    ScriptedPrompt prompt;
    std::unique_ptr<QStandardItem> source(reportBlock("E1C1/LLN0.BR.brcbA", "E1C1/LLN0.DS1", true));

    QVERIFY(model.addNode(source.get(), source->text(), QString()));
    QVERIFY(!model.addNode(source.get(), source->text(), QString()));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(prompt.messages.size(), 1);
    QCOMPARE(prompt.messages[0].title, QStringLiteral("Duplicate Entry"));
    QCOMPARE(prompt.messages[0].text, QStringLiteral("This object has already been added."));
    QCOMPARE(model.registeredNames().value("Default"), QStringList({"E1C1/LLN0.BR.brcbA"}));

    model.removeNode(0);
    QVERIFY(model.addNode(source.get(), source->text(), QString()));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(prompt.messages.size(), 1);
}

void SelectedReportsModelTest::cellStates_data()
{
    QTest::addColumn<bool>("topLevel");
    QTest::newRow("top-level") << true;
    QTest::newRow("child") << false;
}

void SelectedReportsModelTest::cellStates()
{
    QFETCH(bool, topLevel);
    SelectedReportsModel model;
    QList<QStandardItem *> row{reportBlock("E1C1/LLN0.RP.urcbA", "E1C1/LLN0.DS1")};
    for (int column = 1; column < SelectedReportsModel::ColumnCount; ++column)
        row.append(new QStandardItem);
    const auto release = qScopeGuard([&row] { qDeleteAll(row); });
    model.setupRow(row, topLevel);
    QCOMPARE(rowStates(row), QStringLiteral("RRTKPKPPPOSSSSS"));
}

void SelectedReportsModelTest::pickedReportGetsItsCellStates()
{
    SelectedReportsModel model;
    std::unique_ptr<QStandardItem> source(reportBlock("E1C1/LLN0.RP.urcbA", "E1C1/LLN0.DS1"));
    QVERIFY(model.addNode(source.get(), source->text(), QString()));
    QList<QStandardItem *> row;
    for (int column = 0; column < model.columnCount(); ++column)
        row.append(model.item(0, column));
    QCOMPARE(rowStates(row), QStringLiteral("RRTKPKPPPOSSSSS"));
    QCOMPARE(model.item(0)->data(NodeIdRole).toString(), QStringLiteral("0"));
}

void SelectedReportsModelTest::fillAddedRowCopiesTheParameters()
{
    SelectedReportsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    connect(&model, &SelectedItemsModel::nodeAdded, &model, &SelectedReportsModel::fillAddedRow);
    std::unique_ptr<QStandardItem> source(reportBlock("E1C1/LLN0.RP.urcbA", "E1C1/LLN0.DS1"));
    QVERIFY(model.addNode(source.get(), source->text(), QString()));

    auto value = [&model](int column) {
        return model.item(0, column)->data(Qt::DisplayRole);
    };
    QCOMPARE(value(SelectedReportsModel::ReportRefPathColumn).toString(),
             QStringLiteral("E1C1/LLN0.RP.urcbA"));
    QCOMPARE(value(SelectedReportsModel::DatasetRefPathColumn), QVariant("E1C1/LLN0.DS1"));
    QCOMPARE(value(SelectedReportsModel::TriggerTypeColumn), QVariant(27));
    QCOMPARE(value(SelectedReportsModel::IsIndexedColumn), QVariant(true));
    QCOMPARE(value(SelectedReportsModel::MaxIndexColumn), QVariant(5));
    QCOMPARE(value(SelectedReportsModel::ConfRevNumberColumn), QVariant(3));
    QCOMPARE(value(SelectedReportsModel::IntPeriodColumn), QVariant(1000));
    QCOMPARE(value(SelectedReportsModel::BufferingTimeColumn), QVariant(50));
    QCOMPARE(value(SelectedReportsModel::OptFieldsColumn), QVariant(255));
    QCOMPARE(model.item(0, SelectedReportsModel::TriggerTypeColumn)->text(), QStringLiteral("27"));
    for (int column : {int(SelectedReportsModel::ConfRevCheckColumn),
                       int(SelectedReportsModel::EnableSignalColumn),
                       int(SelectedReportsModel::StatusSignalColumn),
                       int(SelectedReportsModel::SendGISignalColumn),
                       int(SelectedReportsModel::PurgeBufferSignalColumn),
                       int(SelectedReportsModel::IgnoredReportCountSignalColumn)})
        QVERIFY2(model.item(0, column)->text().isEmpty(), qPrintable(QString::number(column)));

    // Cell states are kept while the values go in.
    QList<QStandardItem *> row;
    for (int column = 0; column < model.columnCount(); ++column)
        row.append(model.item(0, column));
    QCOMPARE(rowStates(row), QStringLiteral("RRTKPKPPPOSSSSS"));
}

void SelectedReportsModelTest::fillAddedRowAnnouncesUnlessSuppressed()
{
    SelectedReportsModel model;
    std::unique_ptr<QStandardItem> source(reportBlock("E1C1/LLN0.RP.urcbA", "E1C1/LLN0.DS1"));
    std::unique_ptr<QStandardItem> other(reportBlock("E1C1/LLN0.RP.urcbB", "E1C1/LLN0.DS1"));
    QVERIFY(model.addNode(source.get(), source->text(), QString()));
    QVERIFY(model.addNode(other.get(), other->text(), QString()));
    QSignalSpy changed(&model, &SelectedItemsModel::nodeChanged);

    model.fillAddedRow(model.item(0));
    QCOMPARE(changed.count(), 8);
    QCOMPARE(changed.first().first().value<QStandardItem *>(),
             model.item(0, SelectedReportsModel::DatasetRefPathColumn));

    model.setNodeChangedSuppressed(true);
    model.fillAddedRow(model.item(1));
    QCOMPARE(changed.count(), 8);
    QCOMPARE(model.item(1, SelectedReportsModel::IntPeriodColumn)->text(), QStringLiteral("1000"));
}

void SelectedReportsModelTest::missingDataSetIsMarked()
{
    SelectedReportsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    connect(&model, &SelectedItemsModel::nodeAdded, &model, &SelectedReportsModel::fillAddedRow);
    std::unique_ptr<QStandardItem> first(reportBlock("E1C1/LLN0.RP.urcbA", "E1C1/LLN0.DS1"));
    std::unique_ptr<QStandardItem> second(reportBlock("E1C1/LLN0.BR.brcbB", "E1C1/LLN0.DS2", true));
    QVERIFY(model.addNode(first.get(), first->text(), QString()));
    QVERIFY(model.addNode(second.get(), second->text(), QString()));
    QStandardItem *firstSet = model.item(0, SelectedReportsModel::DatasetRefPathColumn);
    QStandardItem *secondSet = model.item(1, SelectedReportsModel::DatasetRefPathColumn);
    QVERIFY(isClean(firstSet));

    model.onDataSetUpdate({"E1C1/LLN0.DS2"});
    QVERIFY(hasWarning(firstSet));
    QVERIFY(isClean(secondSet));
    // The icon is the compiled-in picture, not an empty stand-in.
    QVERIFY(!firstSet->icon().pixmap(16, 16).isNull());
    QVERIFY(isClean(model.item(0, SelectedReportsModel::ReportRefPathColumn)));

    // Exact and case-sensitive.
    model.onDataSetUpdate({"e1c1/lln0.ds1", "E1C1/LLN0.DS"});
    QVERIFY(hasWarning(firstSet));
    QVERIFY(hasWarning(secondSet));

    model.onDataSetUpdate({"E1C1/LLN0.DS2", "E1C1/LLN0.DS1"});
    QVERIFY(isClean(firstSet));
    QVERIFY(isClean(secondSet));

    model.onDataSetUpdate({});
    QVERIFY(hasWarning(firstSet));
    QVERIFY(hasWarning(secondSet));
}

void SelectedReportsModelTest::marksFollowTheDataSetSelection()
{
    SelectedDatasetsModel datasets;
    SelectedReportsModel reports;
    QAbstractItemModelTester datasetsTester(&datasets,
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester reportsTester(&reports,
                                           QAbstractItemModelTester::FailureReportingMode::QtTest);
    connect(&datasets, &SelectedDatasetsModel::datasetUpdate, &reports,
            &SelectedReportsModel::onDataSetUpdate);
    connect(&reports, &SelectedItemsModel::nodeAdded, &reports,
            &SelectedReportsModel::fillAddedRow);

    std::unique_ptr<QStandardItem> set(dataSet("E1C1/LLN0.DS1"));
    std::unique_ptr<QStandardItem> report(reportBlock("E1C1/LLN0.RP.urcbA", "E1C1/LLN0.DS1"));
    QVERIFY(reports.addNode(report.get(), report->text(), QString()));
    reports.onDataSetUpdate(datasets.datasetNames());
    QStandardItem *reportSet = reports.item(0, SelectedReportsModel::DatasetRefPathColumn);
    QVERIFY(hasWarning(reportSet));

    QVERIFY(datasets.addNode(set.get(), set->text(), QString()));
    QVERIFY(isClean(reportSet));

    datasets.removeNode(0);
    QVERIFY(hasWarning(reportSet));

    QVERIFY(datasets.addNode(set.get(), set->text(), QString()));
    QVERIFY(isClean(reportSet));
}

QTEST_MAIN(SelectedReportsModelTest)
#include "tst_selectedreportsmodel.moc"
