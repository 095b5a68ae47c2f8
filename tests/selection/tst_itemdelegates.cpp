#include "checkboxdelegate.h"
#include "combodelegate.h"
#include "sclmodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QTreeView>
#include <QtTest>

namespace {

const QStringList Choices{"Alpha", "-----", "Beta", "Gamma"};

// One cell of `text` in a one-column model, in a view as the trees use it.
struct Cell
{
    QStandardItemModel model{1, 3};
    QTreeView view;

    explicit Cell(const QVariant &value)
    {
        model.setData(model.index(0, 2), value, Qt::EditRole);
        view.setModel(&model);
    }
    QModelIndex index() const { return model.index(0, 2); }
};

QStyleOptionViewItem optionFor(const QRect &rect)
{
    QStyleOptionViewItem option;
    option.rect = rect;
    option.state = QStyle::State_Enabled;
    option.palette = QApplication::palette();
    return option;
}

// Paints one cell on a white canvas larger than the cell, so that spill-over
// beyond the cell shows.
QImage paintCell(const QAbstractItemDelegate &delegate, const QModelIndex &index)
{
    QImage image(120, 40, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    delegate.paint(&painter, optionFor(QRect(10, 10, 100, 20)), index);
    painter.end();
    return image;
}

bool cellFilled(const QImage &image, QColor colour)
{
    for (int y = 10; y < 30; ++y) {
        for (int x = 10; x < 110; ++x) {
            if (image.pixelColor(x, y) != colour)
                return false;
        }
    }
    return true;
}

bool outsideUntouched(const QImage &image)
{
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, 5) != Qt::white || image.pixelColor(x, 35) != Qt::white)
            return false;
    }
    return true;
}

} // namespace

class ItemDelegatesTest : public QObject
{
    Q_OBJECT

private slots:
    void comboListsItemsWithSeparators();
    void comboShowsCellText_data();
    void comboShowsCellText();
    void comboWritesCurrentText();
    void comboChoiceCommitsAtOnce();
    void comboOpeningDoesNotWrite();
    void comboCoversCell();
    void comboPaint_data();
    void comboPaint();

    void checkBoxRoundTrip_data();
    void checkBoxRoundTrip();
    void checkBoxClickCommitsAtOnce();
    void checkBoxCentredInCell();
    void checkBoxPaint();
};

void ItemDelegatesTest::comboListsItemsWithSeparators()
{
    ComboDelegate delegate(Choices);
    QWidget parent;
    auto *combo = qobject_cast<QComboBox *>(
        delegate.createEditor(&parent, QStyleOptionViewItem(), QModelIndex()));
    QVERIFY(combo);
    QCOMPARE(combo->parent(), &parent);
    QCOMPARE(combo->count(), Choices.size());
    QCOMPARE(combo->itemText(0), QStringLiteral("Alpha"));
    QCOMPARE(combo->itemData(1, Qt::AccessibleDescriptionRole).toString(),
             QStringLiteral("separator"));
    QCOMPARE(combo->itemText(2), QStringLiteral("Beta"));
    QCOMPARE(combo->itemText(3), QStringLiteral("Gamma"));
}

void ItemDelegatesTest::comboShowsCellText_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("shown");

    QTest::newRow("exact") << Choices << "Beta"
                           << "Beta";
    QTest::newRow("last") << Choices << "Gamma"
                          << "Gamma";
    QTest::newRow("other case") << Choices << "beta"
                                << "Alpha";
    QTest::newRow("unknown") << Choices << "Delta"
                             << "Alpha";
    QTest::newRow("empty") << Choices << QString() << "Alpha";
    QTest::newRow("separator text") << Choices << "-----"
                                    << "Alpha";
    QTest::newRow("leading separator") << QStringList{"-----", "X", "Y"} << "nothing"
                                       << "X";
    QTest::newRow("mms type") << valueListNames(ValueList::MmsType) << "MMS_UTC_TIME"
                              << "MMS_UTC_TIME";
}

void ItemDelegatesTest::comboShowsCellText()
{
    QFETCH(QStringList, items);
    QFETCH(QString, cell);
    QFETCH(QString, shown);
    ComboDelegate delegate(items);
    Cell fixture(cell);
    QScopedPointer<QWidget> editor(
        delegate.createEditor(&fixture.view, QStyleOptionViewItem(), fixture.index()));
    auto *combo = qobject_cast<QComboBox *>(editor.data());

    delegate.setEditorData(combo, fixture.index());

    QCOMPARE(combo->currentText(), shown);
}

void ItemDelegatesTest::comboWritesCurrentText()
{
    ComboDelegate delegate(Choices);
    Cell fixture(QStringLiteral("Alpha"));
    QScopedPointer<QWidget> editor(
        delegate.createEditor(&fixture.view, QStyleOptionViewItem(), fixture.index()));
    auto *combo = qobject_cast<QComboBox *>(editor.data());
    delegate.setEditorData(combo, fixture.index());
    combo->setCurrentIndex(3);

    delegate.setModelData(combo, &fixture.model, fixture.index());

    QCOMPARE(fixture.model.data(fixture.index(), Qt::EditRole), QVariant(QStringLiteral("Gamma")));
    QCOMPARE(fixture.model.data(fixture.index(), Qt::DisplayRole).toString(),
             QStringLiteral("Gamma"));
}

void ItemDelegatesTest::comboChoiceCommitsAtOnce()
{
    Cell fixture(QStringLiteral("MMS_BOOLEAN"));
    auto *delegate = new ComboDelegate(valueListNames(ValueList::MmsType), &fixture.view);
    fixture.view.setItemDelegateForColumn(2, delegate);
    fixture.view.openPersistentEditor(fixture.index());
    auto *combo = qobject_cast<QComboBox *>(fixture.view.indexWidget(fixture.index()));
    QVERIFY(combo);
    QCOMPARE(combo->currentText(), QStringLiteral("MMS_BOOLEAN"));
    QSignalSpy changes(&fixture.model, &QAbstractItemModel::dataChanged);

    combo->setCurrentText(QStringLiteral("MMS_FLOAT"));

    QCOMPARE(fixture.model.item(0, 2)->text(), QStringLiteral("MMS_FLOAT"));
    QCOMPARE(changes.size(), 1);
    QCOMPARE(combo->currentText(), QStringLiteral("MMS_FLOAT"));
}

void ItemDelegatesTest::comboOpeningDoesNotWrite()
{
    Cell fixture(QStringLiteral("unknown"));
    auto *delegate = new ComboDelegate(Choices, &fixture.view);
    fixture.view.setItemDelegateForColumn(2, delegate);
    QSignalSpy changes(&fixture.model, &QAbstractItemModel::dataChanged);

    fixture.view.openPersistentEditor(fixture.index());
    auto *combo = qobject_cast<QComboBox *>(fixture.view.indexWidget(fixture.index()));
    QVERIFY(combo);
    combo->setCurrentIndex(2);
    fixture.model.item(0, 2)->setText(QStringLiteral("changed elsewhere"));

    // Only the engineer's choice is written; following the model is not.
    QCOMPARE(combo->currentText(), QStringLiteral("Alpha"));
    QCOMPARE(fixture.model.item(0, 2)->text(), QStringLiteral("changed elsewhere"));
    QCOMPARE(changes.size(), 2);
}

void ItemDelegatesTest::comboCoversCell()
{
    ComboDelegate delegate(Choices);
    QWidget parent;
    QScopedPointer<QWidget> editor(
        delegate.createEditor(&parent, QStyleOptionViewItem(), QModelIndex()));
    const QRect cell(7, 20, 133, 24);
    delegate.updateEditorGeometry(editor.data(), optionFor(cell), QModelIndex());
    QCOMPARE(editor->geometry(), cell);
}

void ItemDelegatesTest::comboPaint_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QVariant>("background");
    QTest::addColumn<QColor>("filled");

    QTest::newRow("disabled with colour")
        << false << QVariant(QBrush(QColor(Qt::darkGreen))) << QColor(Qt::darkGreen);
    QTest::newRow("disabled plain colour") << false << QVariant(QColor(Qt::red)) << QColor(Qt::red);
    QTest::newRow("disabled without brush") << false << QVariant() << QColor(Qt::black);
    QTest::newRow("enabled") << true << QVariant() << QColor();
}

void ItemDelegatesTest::comboPaint()
{
    QFETCH(bool, enabled);
    QFETCH(QVariant, background);
    QFETCH(QColor, filled);
    QStandardItemModel model(1, 1);
    auto *item = new QStandardItem(QStringLiteral("MMS_FLOAT"));
    item->setEnabled(enabled);
    item->setData(background, Qt::BackgroundRole);
    model.setItem(0, 0, item);
    ComboDelegate delegate(valueListNames(ValueList::MmsType));

    const QImage image = paintCell(delegate, model.index(0, 0));

    QVERIFY(outsideUntouched(image));
    if (!enabled) {
        QVERIFY(cellFilled(image, filled));
        return;
    }
    // The text is drawn, not a filled block.
    QVERIFY(!cellFilled(image, Qt::white));
    QVERIFY(!cellFilled(image, Qt::black));
    QCOMPARE(image.pixelColor(108, 28), QColor(Qt::white));
}

void ItemDelegatesTest::checkBoxRoundTrip_data()
{
    QTest::addColumn<QVariant>("cell");
    QTest::addColumn<bool>("checked");

    QTest::newRow("true") << QVariant(true) << true;
    QTest::newRow("false") << QVariant(false) << false;
    QTest::newRow("text true") << QVariant(QStringLiteral("true")) << true;
    QTest::newRow("text false") << QVariant(QStringLiteral("false")) << false;
    QTest::newRow("text one") << QVariant(QStringLiteral("1")) << true;
    QTest::newRow("text zero") << QVariant(QStringLiteral("0")) << false;
    QTest::newRow("number") << QVariant(1) << true;
    QTest::newRow("empty") << QVariant() << false;
}

void ItemDelegatesTest::checkBoxRoundTrip()
{
    QFETCH(QVariant, cell);
    QFETCH(bool, checked);
    CheckBoxDelegateate delegate;
    Cell fixture(cell);
    QScopedPointer<QWidget> editor(
        delegate.createEditor(&fixture.view, QStyleOptionViewItem(), fixture.index()));
    auto *box = qobject_cast<QCheckBox *>(editor.data());
    QVERIFY(box);
    QVERIFY(!box->isTristate());

    delegate.setEditorData(box, fixture.index());
    QCOMPARE(box->isChecked(), checked);

    delegate.setModelData(box, &fixture.model, fixture.index());
    QCOMPARE(fixture.model.data(fixture.index(), Qt::EditRole), QVariant(checked));

    box->setChecked(!checked);
    delegate.setModelData(box, &fixture.model, fixture.index());
    QCOMPARE(fixture.model.data(fixture.index(), Qt::EditRole), QVariant(!checked));
}

void ItemDelegatesTest::checkBoxClickCommitsAtOnce()
{
    Cell fixture(false);
    auto *delegate = new CheckBoxDelegateate(&fixture.view);
    fixture.view.setItemDelegateForColumn(2, delegate);
    QSignalSpy changes(&fixture.model, &QAbstractItemModel::dataChanged);
    fixture.view.openPersistentEditor(fixture.index());
    auto *box = qobject_cast<QCheckBox *>(fixture.view.indexWidget(fixture.index()));
    QVERIFY(box);
    QVERIFY(changes.isEmpty());

    box->click();
    QCOMPARE(fixture.model.data(fixture.index(), Qt::EditRole), QVariant(true));
    box->click();
    QCOMPARE(fixture.model.data(fixture.index(), Qt::EditRole), QVariant(false));
    QCOMPARE(changes.size(), 2);
}

void ItemDelegatesTest::checkBoxCentredInCell()
{
    CheckBoxDelegateate delegate;
    QWidget parent;
    QScopedPointer<QWidget> editor(
        delegate.createEditor(&parent, QStyleOptionViewItem(), QModelIndex()));
    const QRect cell(40, 30, 200, 60);
    delegate.updateEditorGeometry(editor.data(), optionFor(cell), QModelIndex());
    QCOMPARE(editor->size(), editor->sizeHint());
    QCOMPARE(editor->geometry().center(), cell.center());
}

void ItemDelegatesTest::checkBoxPaint()
{
    QStandardItemModel model(1, 3);
    model.setData(model.index(0, 0), true);
    model.setData(model.index(0, 1), false);
    model.setData(model.index(0, 2), true);
    model.item(0, 2)->setEnabled(false);
    model.item(0, 2)->setBackground(QColor(Qt::green));
    CheckBoxDelegateate delegate;

    const QImage checked = paintCell(delegate, model.index(0, 0));
    const QImage unchecked = paintCell(delegate, model.index(0, 1));
    const QImage disabled = paintCell(delegate, model.index(0, 2));

    QVERIFY(outsideUntouched(checked));
    QVERIFY(outsideUntouched(unchecked));
    QVERIFY(checked != unchecked);
    // The indicator sits in the middle: the cell's ends stay blank.
    QCOMPARE(checked.pixelColor(12, 20), QColor(Qt::white));
    QCOMPARE(checked.pixelColor(107, 20), QColor(Qt::white));
    QVERIFY(!cellFilled(unchecked, Qt::white));
    QVERIFY(cellFilled(disabled, Qt::black));
}

QTEST_MAIN(ItemDelegatesTest)
#include "tst_itemdelegates.moc"
