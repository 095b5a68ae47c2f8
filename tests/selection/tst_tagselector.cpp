#include "sclmodel.h"
#include "scriptedprompt.h"
#include "tagfiltermodel.h"
#include "tagselectbox.h"
#include "tagselector.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QToolButton>
#include <QtTest>

namespace {

const QStringList SignalColumns{"Signal Number", "Address", "Label", "Type"};

QList<QStandardItem *> signalRow(const QString &number, const QString &label)
{
    return {new QStandardItem(number), new QStandardItem(QStringLiteral("40%1").arg(number)),
            new QStandardItem(label), new QStandardItem(QStringLiteral("DI"))};
}

// The list as the CSV import leaves it: the placeholder first, its number empty.
QStandardItemModel *makeSignalList(const QStringList &labels, QObject *parent)
{
    auto *list = new QStandardItemModel(parent);
    list->setHorizontalHeaderLabels(SignalColumns);
    list->appendRow(signalRow(QString(), NoSignalName));
    for (int i = 0; i < labels.size(); ++i)
        list->appendRow(signalRow(QString::number(i + 1), labels.at(i)));
    return list;
}

const QStringList Labels{"IN1_Trip", "Feeder_In1", "in1_alarm", "IN2_Trip", "Q1_CB_Open::Breaker 1",
                         "",         "Bus[1]",     "A::B::C"};

QStringList shownLabels(const QAbstractItemModel *model, const QModelIndex &parent = {})
{
    QStringList labels;
    for (int row = 0; row < model->rowCount(parent); ++row)
        labels << model->index(row, 0, parent).data().toString();
    return labels;
}

QListView *listOf(QDialog *dialog)
{
    return dialog->findChild<QListView *>(QStringLiteral("listView_tagList"));
}

QLineEdit *filterOf(QDialog *dialog)
{
    return dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
}

// What the engineer does: double-click the entry showing `label`.
bool doubleClickLabel(QDialog *dialog, const QString &label)
{
    QListView *view = listOf(dialog);
    const QAbstractItemModel *shown = view->model();
    for (int row = 0; row < shown->rowCount(); ++row) {
        const QModelIndex index = shown->index(row, 0);
        if (index.data().toString() == label) {
            emit view->doubleClicked(index);
            return true;
        }
    }
    return false;
}

std::function<int(QDialog *)> choose(const QString &label)
{
    return [label](QDialog *dialog) {
        return doubleClickLabel(dialog, label) ? dialog->result() : int(QDialog::Rejected);
    };
}

} // namespace

class TagSelectorTest : public QObject
{
    Q_OBJECT

private slots:
    void filterShowsMatchingLabels_data();
    void filterShowsMatchingLabels();
    void filterShowsOnlyTheLabelColumn();
    void branchStaysWhileAChildMatches_data();
    void branchStaysWhileAChildMatches();
    void filterModelStaysConsistent();
    void clearButtonEmptiesFilter();

    void selectTagWithoutSignalsShowsNothing_data();
    void selectTagWithoutSignalsShowsNothing();
    void selectTagGivesNameBeforeScope_data();
    void selectTagGivesNameBeforeScope();
    void selectTagMapsFilteredRows();
    void selectTagStartsUnfiltered();
    void selectTagWithoutChoiceGivesEmpty_data();
    void selectTagWithoutChoiceGivesEmpty();
    void signalListIsReplaceable();

    void boxSearchShowsChosenLabel();
    void boxSearchCancelledChangesNothing();
    void boxSearchWithoutSignalsShowsNothing();
    void boxClearFindsPlaceholderByLabel_data();
    void boxClearFindsPlaceholderByLabel();
    void boxTagSearchGivesWholeLabel();
    void boxClearsSelectorFilter();
    void formsCarryTheirTexts();
};

void TagSelectorTest::filterShowsMatchingLabels_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty shows all") << QString() << (QStringList{NoSignalName} + Labels);
    QTest::newRow("any case") << "in1" << QStringList{"IN1_Trip", "Feeder_In1", "in1_alarm"};
    QTest::newRow("upper typed") << "NOREF" << QStringList{NoSignalName};
    QTest::newRow("full stop is any char")
        << "." << QStringList{NoSignalName, "IN1_Trip", "Feeder_In1",
                              "in1_alarm",  "IN2_Trip", "Q1_CB_Open::Breaker 1",
                              "Bus[1]",     "A::B::C"};
    QTest::newRow("lone bracket") << "[" << QStringList();
    QTest::newRow("escaped bracket") << "\\[1\\]" << QStringList{"Bus[1]"};
    QTest::newRow("anchored") << "^q1" << QStringList{"Q1_CB_Open::Breaker 1"};
    QTest::newRow("after scope") << "breaker" << QStringList{"Q1_CB_Open::Breaker 1"};
    QTest::newRow("no match") << "zzz" << QStringList();
}

void TagSelectorTest::filterShowsMatchingLabels()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);
    TagSelector selector;
    selector.setSourceModel(makeSignalList(Labels, &selector));

    QTest::keyClicks(filterOf(&selector), typed);

    QCOMPARE(filterOf(&selector)->text(), typed);
    QCOMPARE(shownLabels(listOf(&selector)->model()), expected);
}

void TagSelectorTest::filterShowsOnlyTheLabelColumn()
{
    QStandardItemModel *list = makeSignalList(Labels, this);
    TagFilterModel proxy;
    proxy.setSourceModel(list);

    QCOMPARE(proxy.columnCount(), 1);
    QCOMPARE(proxy.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Label"));
    QCOMPARE(proxy.mapToSource(proxy.index(1, 0)), list->index(1, 2));
}

void TagSelectorTest::branchStaysWhileAChildMatches_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("topLevel");
    QTest::addColumn<QStringList>("children");

    QTest::newRow("child matches") << "in1" << QStringList{"Bay1"} << QStringList{"Bay1_IN1"};
    QTest::newRow("other child") << "out" << QStringList{"Bay1"} << QStringList{"Bay1_OUT"};
    QTest::newRow("both children")
        << "bay" << QStringList{"Bay1"} << QStringList{"Bay1_IN1", "Bay1_OUT"};
    // A branch is judged by its children alone, not by its own label.
    QTest::newRow("only branch label") << "bay1$" << QStringList() << QStringList();
    QTest::newRow("flat row") << "^lone" << QStringList{"Lone"} << QStringList();
}

void TagSelectorTest::branchStaysWhileAChildMatches()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, topLevel);
    QFETCH(QStringList, children);

    QStandardItemModel list;
    list.setHorizontalHeaderLabels(SignalColumns);
    list.appendRow(signalRow("1", "Bay1"));
    list.appendRow(signalRow("2", "Lone"));
    QStandardItem *branch = list.item(0, 2);
    branch->appendRow(signalRow("3", "Bay1_IN1"));
    branch->appendRow(signalRow("4", "Bay1_OUT"));

    TagFilterModel proxy;
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    proxy.setSourceModel(&list);
    proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
    proxy.setFilterRegularExpression(pattern);

    QCOMPARE(shownLabels(&proxy), topLevel);
    if (!topLevel.isEmpty() && topLevel.first() == QStringLiteral("Bay1"))
        QCOMPARE(shownLabels(&proxy, proxy.index(0, 0)), children);
}

void TagSelectorTest::filterModelStaysConsistent()
{
    QStandardItemModel *list = makeSignalList(Labels, this);
    TagFilterModel proxy;
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
    proxy.setSourceModel(list);

    for (const QString pattern : {"in", "in1", "[", "", "."}) {
        proxy.setFilterRegularExpression(pattern);
        list->appendRow(signalRow("90", "late_in1"));
        list->item(1, 2)->setText(QStringLiteral("renamed"));
        list->removeRow(list->rowCount() - 1);
    }
    proxy.setFilterRegularExpression(QStringLiteral("in1"));
    list->clear();
    list->setHorizontalHeaderLabels(SignalColumns);
    list->appendRow(signalRow("1", "In1_new"));
    QCOMPARE(shownLabels(&proxy), QStringList{"In1_new"});
}

void TagSelectorTest::clearButtonEmptiesFilter()
{
    TagSelector selector;
    QStandardItemModel *list = makeSignalList(Labels, &selector);
    selector.setSourceModel(list);
    QTest::keyClicks(filterOf(&selector), QStringLiteral("trip"));
    QCOMPARE(listOf(&selector)->model()->rowCount(), 2);

    selector.findChild<QToolButton *>(QStringLiteral("toolButton_clear"))->click();

    QVERIFY(filterOf(&selector)->text().isEmpty());
    QCOMPARE(listOf(&selector)->model()->rowCount(), list->rowCount());
}

void TagSelectorTest::selectTagWithoutSignalsShowsNothing_data()
{
    QTest::addColumn<int>("setup");
    QTest::newRow("no list handed over") << 0;
    QTest::newRow("list without rows") << 1;
    QTest::newRow("list emptied later") << 2;
    QTest::newRow("list deleted") << 3;
}

void TagSelectorTest::selectTagWithoutSignalsShowsNothing()
{
    QFETCH(int, setup);
    ScriptedPrompt prompt;
    prompt.dialogHandler = choose(NoSignalName);
    TagSelector selector;
    if (setup == 1) {
        auto *list = new QStandardItemModel(&selector);
        list->setHorizontalHeaderLabels(SignalColumns);
        selector.setSourceModel(list);
    } else if (setup == 2) {
        QStandardItemModel *list = makeSignalList(Labels, &selector);
        selector.setSourceModel(list);
        list->removeRows(0, list->rowCount());
    } else if (setup == 3) {
        auto *list = makeSignalList(Labels, nullptr);
        selector.setSourceModel(list);
        delete list;
    }

    QCOMPARE(selector.selectTag(), QString());
    QVERIFY(prompt.dialogs.isEmpty());
}

void TagSelectorTest::selectTagGivesNameBeforeScope_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "IN1_Trip"
                           << "IN1_Trip";
    QTest::newRow("scoped") << "Q1_CB_Open::Breaker 1"
                            << "Q1_CB_Open";
    QTest::newRow("first scope only") << "A::B::C"
                                      << "A";
    QTest::newRow("placeholder clears binding") << NoSignalName << NoSignalName;
}

void TagSelectorTest::selectTagGivesNameBeforeScope()
{
    QFETCH(QString, label);
    QFETCH(QString, expected);
    ScriptedPrompt prompt;
    prompt.dialogHandler = choose(label);
    TagSelector selector;
    selector.setSourceModel(makeSignalList(Labels, &selector));

    QCOMPARE(selector.selectTag(), expected);
    QCOMPARE(prompt.dialogs, QList<QDialog *>{&selector});
    QCOMPARE(selector.chosenIndex().data().toString(), label);
}

void TagSelectorTest::selectTagMapsFilteredRows()
{
    ScriptedPrompt prompt;
    prompt.dialogHandler = [](QDialog *dialog) {
        QTest::keyClicks(filterOf(dialog), QStringLiteral("trip"));
        // Second shown entry: row 4 of the list, not row 1.
        emit listOf(dialog)->doubleClicked(listOf(dialog)->model()->index(1, 0));
        return dialog->result();
    };
    TagSelector selector;
    selector.setSourceModel(makeSignalList(Labels, &selector));

    QCOMPARE(selector.selectTag(), QStringLiteral("IN2_Trip"));
    QCOMPARE(selector.chosenIndex().row(), 4);
}

void TagSelectorTest::selectTagStartsUnfiltered()
{
    ScriptedPrompt prompt;
    int shownRows = -1;
    QString shownFilter = QStringLiteral("unset");
    prompt.dialogHandler = [&](QDialog *dialog) {
        shownRows = listOf(dialog)->model()->rowCount();
        shownFilter = filterOf(dialog)->text();
        doubleClickLabel(dialog, QStringLiteral("Bus[1]"));
        return dialog->result();
    };
    TagSelector selector;
    QStandardItemModel *list = makeSignalList(Labels, &selector);
    selector.setSourceModel(list);
    QTest::keyClicks(filterOf(&selector), QStringLiteral("no such signal"));
    QCOMPARE(listOf(&selector)->model()->rowCount(), 0);

    QCOMPARE(selector.selectTag(), QStringLiteral("Bus[1]"));
    QCOMPARE(shownRows, list->rowCount());
    QCOMPARE(shownFilter, QString());
}

void TagSelectorTest::selectTagWithoutChoiceGivesEmpty_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("cancel button") << 0;
    QTest::newRow("dialog closed") << 1;
    QTest::newRow("accepted without double-click") << 2;
    QTest::newRow("double-click on nothing") << 3;
}

void TagSelectorTest::selectTagWithoutChoiceGivesEmpty()
{
    QFETCH(int, answer);
    ScriptedPrompt prompt;
    TagSelector selector;
    selector.setSourceModel(makeSignalList(Labels, &selector));
    // An earlier choice must not leak into a run that chose nothing.
    prompt.dialogHandler = choose(QStringLiteral("IN1_Trip"));
    QCOMPARE(selector.selectTag(), QStringLiteral("IN1_Trip"));

    prompt.dialogHandler = [answer](QDialog *dialog) {
        switch (answer) {
        case 0:
            dialog->findChild<QPushButton *>(QStringLiteral("pushButton_cancel"))->click();
            return dialog->result();
        case 1:
            return int(QDialog::Rejected);
        case 2:
            dialog->accept();
            return dialog->result();
        }
        dialog->setResult(QDialog::Rejected);
        emit listOf(dialog)->doubleClicked(QModelIndex());
        return dialog->result();
    };
    QCOMPARE(selector.selectTag(), QString());
    QCOMPARE(prompt.dialogs.size(), 2);
}

void TagSelectorTest::signalListIsReplaceable()
{
    ScriptedPrompt prompt;
    prompt.dialogHandler = choose(QStringLiteral("Other"));
    TagSelector selector;
    selector.setSourceModel(makeSignalList(Labels, &selector));
    QTest::keyClicks(filterOf(&selector), QStringLiteral("oth"));
    selector.setSourceModel(makeSignalList({"Other"}, &selector));

    QCOMPARE(shownLabels(listOf(&selector)->model()), QStringList{"Other"});
    QCOMPARE(selector.selectTag(), QStringLiteral("Other"));
}

void TagSelectorTest::boxSearchShowsChosenLabel()
{
    ScriptedPrompt prompt;
    prompt.dialogHandler = choose(QStringLiteral("Q1_CB_Open::Breaker 1"));
    TagSelectBox box;
    box.setSignalModel(makeSignalList(Labels, &box));
    QSignalSpy changed(&box, &TagSelectBox::currentIndexChanged);

    box.findChild<QToolButton *>(QStringLiteral("toolButton_tagSearch"))->click();

    QCOMPARE(prompt.dialogs, QList<QDialog *>{box.tagSelector()});
    QCOMPARE(box.currentText(), QStringLiteral("Q1_CB_Open::Breaker 1"));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first().first().toInt(), 5);
}

void TagSelectorTest::boxSearchCancelledChangesNothing()
{
    ScriptedPrompt prompt;
    TagSelectBox box;
    box.setSignalModel(makeSignalList(Labels, &box));
    QSignalSpy changed(&box, &TagSelectBox::currentIndexChanged);

    box.on_toolButton_tagSearch_clicked();

    QCOMPARE(prompt.dialogs.size(), 1);
    QVERIFY(box.currentText().isEmpty());
    QVERIFY(changed.isEmpty());
}

void TagSelectorTest::boxSearchWithoutSignalsShowsNothing()
{
    ScriptedPrompt prompt;
    prompt.dialogHandler = choose(NoSignalName);
    TagSelectBox box;
    QSignalSpy changed(&box, &TagSelectBox::currentIndexChanged);

    box.on_toolButton_tagSearch_clicked();
    box.on_toolButton_clicked();

    QCOMPARE(box.tagSearch(), QString());
    QVERIFY(prompt.dialogs.isEmpty());
    QVERIFY(changed.isEmpty());
}

void TagSelectorTest::boxClearFindsPlaceholderByLabel_data()
{
    QTest::addColumn<int>("placeholderRow");
    QTest::newRow("first row") << 0;
    QTest::newRow("later row") << 3;
    QTest::newRow("missing") << -1;
}

void TagSelectorTest::boxClearFindsPlaceholderByLabel()
{
    QFETCH(int, placeholderRow);
    ScriptedPrompt prompt;
    prompt.dialogHandler = choose(QStringLiteral("IN2_Trip"));
    TagSelectBox box;
    QStandardItemModel list;
    list.setHorizontalHeaderLabels(SignalColumns);
    for (const QString &label : QStringList{"IN1_Trip", "IN2_Trip", "noref", "Other", "NoRef_2"})
        list.appendRow(signalRow("7", label));
    // A number column holding the placeholder's name must not be taken for it.
    list.item(1, 0)->setText(NoSignalName);
    if (placeholderRow >= 0)
        list.insertRow(placeholderRow, signalRow(QString(), NoSignalName));
    box.setSignalModel(&list);
    box.on_toolButton_tagSearch_clicked();
    QCOMPARE(box.currentText(), QStringLiteral("IN2_Trip"));
    QSignalSpy changed(&box, &TagSelectBox::currentIndexChanged);

    box.findChild<QToolButton *>(QStringLiteral("toolButton"))->click();

    if (placeholderRow < 0) {
        QVERIFY(changed.isEmpty());
        QCOMPARE(box.currentText(), QStringLiteral("IN2_Trip"));
    } else {
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().first().toInt(), placeholderRow);
        QCOMPARE(box.currentText(), NoSignalName);
    }
}

void TagSelectorTest::boxTagSearchGivesWholeLabel()
{
    ScriptedPrompt prompt;
    prompt.dialogHandler = choose(QStringLiteral("A::B::C"));
    TagSelectBox box;
    box.setSignalModel(makeSignalList(Labels, &box));

    QCOMPARE(box.tagSearch(), QStringLiteral("A::B::C"));
    QCOMPARE(box.currentText(), QStringLiteral("A::B::C"));

    prompt.dialogHandler = nullptr;
    QCOMPARE(box.tagSearch(), QString());
    QCOMPARE(box.currentText(), QStringLiteral("A::B::C"));
}

void TagSelectorTest::boxClearsSelectorFilter()
{
    TagSelectBox box;
    QStandardItemModel *list = makeSignalList(Labels, &box);
    box.setSignalModel(list);
    TagSelector *selector = box.tagSelector();
    QVERIFY(selector);
    QCOMPARE(selector->sourceModel(), list);
    QTest::keyClicks(filterOf(selector), QStringLiteral("bus"));
    QCOMPARE(listOf(selector)->model()->rowCount(), 1);

    box.clearTagFilter();

    QVERIFY(filterOf(selector)->text().isEmpty());
    QCOMPARE(listOf(selector)->model()->rowCount(), list->rowCount());
}

void TagSelectorTest::formsCarryTheirTexts()
{
    TagSelector selector;
    QCOMPARE(selector.windowTitle(), QStringLiteral("Select Line Label"));
    QCOMPARE(selector.size(), QSize(315, 359));
    QCOMPARE(filterOf(&selector)->placeholderText(), QStringLiteral("Write a line label name..."));
    QCOMPARE(selector.findChild<QPushButton *>(QStringLiteral("pushButton_cancel"))->text(),
             QStringLiteral("Cancel"));
    QVERIFY(
        !selector.findChild<QToolButton *>(QStringLiteral("toolButton_clear"))->icon().isNull());
    QCOMPARE(listOf(&selector)->editTriggers(), QAbstractItemView::NoEditTriggers);

    TagSelectBox box;
    QCOMPARE(box.size(), QSize(300, 26));
    auto *shown = box.findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    QVERIFY(shown->isReadOnly());
    QCOMPARE(shown->styleSheet(), QStringLiteral("background-color: rgb(223, 223, 223);"));
    for (const char *name : {"toolButton_tagSearch", "toolButton"})
        QVERIFY(!box.findChild<QToolButton *>(QLatin1String(name))->icon().isNull());
}

QTEST_MAIN(TagSelectorTest)
#include "tst_tagselector.moc"
