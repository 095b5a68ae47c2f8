#include "reportoptionsdialog.h"
#include "reportsettingsdialog.h"
#include "scriptedprompt.h"
#include "trigtypedialog.h"
#include "userprompt.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

enum DialogKind { TrigType, ReportOptions, ReportSettings };

// Check box texts in bit order.
const QStringList TriggerBits{"TRG_OPT_DATA_CHANGED", "TRG_OPT_QUALITY_CHANGED",
                              "TRG_OPT_DATA_UPDATE", "TRG_OPT_INTEGRITY", "TRG_OPT_GI"};
const QStringList OptionBits{
    "RPT_OPT_SEQ_NUM",  "RPT_OPT_TIME_STAMP",     "RPT_OPT_REASON_FOR_INCLUSION",
    "RPT_OPT_DATA_SET", "RPT_OPT_DATA_REFERENCE", "RPT_OPT_BUFFER_OVERFLOW",
    "RPT_OPT_ENTRY_ID", "RPT_OPT_CONF_REV"};
const QStringList SettingBits{"BufTime", "TrgOps", "IntgPd", "Options"};

// The three dialogs share no base class; this drives any of them the way the
// editor dispatch does.
struct BitDialog
{
    DialogKind kind;
    std::unique_ptr<QDialog> dialog;

    explicit BitDialog(DialogKind which) : kind(which)
    {
        if (kind == TrigType)
            dialog = std::make_unique<TrigTypeDialog>();
        else if (kind == ReportOptions)
            dialog = std::make_unique<ReportOptionsDialog>();
        else
            dialog = std::make_unique<ReportSettingsDialog>();
    }

    void setValue(quint16 value)
    {
        if (kind == TrigType)
            static_cast<TrigTypeDialog *>(dialog.get())->setValue(quint8(value));
        else if (kind == ReportOptions)
            static_cast<ReportOptionsDialog *>(dialog.get())->setValue(quint8(value));
        else
            static_cast<ReportSettingsDialog *>(dialog.get())->setValue(value);
    }

    quint16 value() const
    {
        if (kind == TrigType)
            return static_cast<TrigTypeDialog *>(dialog.get())->value();
        if (kind == ReportOptions)
            return static_cast<ReportOptionsDialog *>(dialog.get())->value();
        return static_cast<ReportSettingsDialog *>(dialog.get())->value();
    }

    const QStringList &bitTexts() const
    {
        return kind == TrigType ? TriggerBits : kind == ReportOptions ? OptionBits : SettingBits;
    }

    QCheckBox *box(const QString &text) const
    {
        const auto boxes = dialog->findChildren<QCheckBox *>();
        for (QCheckBox *box : boxes) {
            if (box->text() == text)
                return box;
        }
        return nullptr;
    }

    quint16 checkedBits() const
    {
        quint16 bits = 0;
        for (int bit = 0; bit < bitTexts().size(); ++bit) {
            if (box(bitTexts().at(bit))->isChecked())
                bits |= 1u << bit;
        }
        return bits;
    }

    void check(quint16 bits) const
    {
        for (int bit = 0; bit < bitTexts().size(); ++bit)
            box(bitTexts().at(bit))->setChecked(bits & (1u << bit));
    }

    QPushButton *button(const char *name) const
    {
        static const char *const names[][2] = {{"pushButton", "pushButton_2"},
                                               {"pushButton_accept", "pushButton_cancel"},
                                               {"pushButton_Accept", "pushButton_Cancel"}};
        return dialog->findChild<QPushButton *>(
            QLatin1String(names[kind][qstrcmp(name, "ok") == 0 ? 0 : 1]));
    }

    // Opens the dialog through the prompt seam as the editor dispatch does;
    // `user` stands for the engineer.
    int run(quint16 start, std::function<void(const BitDialog &)> user)
    {
        ScriptedPrompt prompt;
        prompt.dialogHandler = [this, user](QDialog *shown) {
            if (shown != dialog.get())
                return int(QDialog::Rejected);
            user(*this);
            return shown->result();
        };
        setValue(start);
        const int result = UserPrompt::exec(dialog.get());
        return prompt.dialogs.size() == 1 ? result : -1;
    }
};

void addBitRows(const char *prefix, DialogKind kind, int bits)
{
    for (int bit = 0; bit < bits; ++bit)
        QTest::addRow("%s bit %d", prefix, bit) << int(kind) << quint16(1u << bit);
}

} // namespace

class ReportDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void setValueChecksBoxOfEachBit_data();
    void setValueChecksBoxOfEachBit();
    void acceptReadsBoxOfEachBit_data();
    void acceptReadsBoxOfEachBit();
    void acceptedValues_data();
    void acceptedValues();
    void cancelKeepsStoredValue_data();
    void cancelKeepsStoredValue();
    void settingsKeepSixteenBitsUntilAccepted();
    void settingsScreenOrderDiffersFromBits();
    void formsCarryTheirTexts_data();
    void formsCarryTheirTexts();
};

void ReportDialogsTest::setValueChecksBoxOfEachBit_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<quint16>("value");
    addBitRows("trigger", TrigType, 5);
    addBitRows("options", ReportOptions, 8);
    addBitRows("settings", ReportSettings, 4);
    QTest::newRow("trigger 27") << int(TrigType) << quint16(27);
    QTest::newRow("options all") << int(ReportOptions) << quint16(255);
    QTest::newRow("settings 6") << int(ReportSettings) << quint16(6);
    QTest::newRow("settings none") << int(ReportSettings) << quint16(0);
}

void ReportDialogsTest::setValueChecksBoxOfEachBit()
{
    QFETCH(int, kind);
    QFETCH(quint16, value);
    BitDialog dialog(static_cast<DialogKind>(kind));
    dialog.check(0xffff);

    dialog.setValue(value);

    QCOMPARE(dialog.checkedBits(), value);
    QCOMPARE(dialog.value(), value);
}

void ReportDialogsTest::acceptReadsBoxOfEachBit_data()
{
    setValueChecksBoxOfEachBit_data();
}

void ReportDialogsTest::acceptReadsBoxOfEachBit()
{
    QFETCH(int, kind);
    QFETCH(quint16, value);
    BitDialog dialog(static_cast<DialogKind>(kind));

    const int result = dialog.run(quint16(~value & 0xff), [value](const BitDialog &shown) {
        shown.check(value);
        shown.button("ok")->click();
    });

    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(dialog.value(), value);
}

void ReportDialogsTest::acceptedValues_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<quint16>("start");
    QTest::addColumn<QStringList>("shownChecked");
    QTest::addColumn<QStringList>("clicked");
    QTest::addColumn<quint16>("accepted");

    const QStringList trigger27{"TRG_OPT_DATA_CHANGED", "TRG_OPT_QUALITY_CHANGED",
                                "TRG_OPT_INTEGRITY", "TRG_OPT_GI"};
    QTest::newRow("trigger 27 unchanged")
        << int(TrigType) << quint16(27) << trigger27 << QStringList() << quint16(27);
    QTest::newRow("trigger 27 plus data update")
        << int(TrigType) << quint16(27) << trigger27 << QStringList{"TRG_OPT_DATA_UPDATE"}
        << quint16(31);
    QTest::newRow("trigger 27 without GI")
        << int(TrigType) << quint16(27) << trigger27 << QStringList{"TRG_OPT_GI"} << quint16(11);
    QTest::newRow("options check all")
        << int(ReportOptions) << quint16(0) << QStringList() << OptionBits << quint16(255);
    QTest::newRow("options clear all")
        << int(ReportOptions) << quint16(255) << OptionBits << OptionBits << quint16(0);
    QTest::newRow("settings only IntgPd") << int(ReportSettings) << quint16(0) << QStringList()
                                          << QStringList{"IntgPd"} << quint16(4);
    QTest::newRow("settings only BufTime") << int(ReportSettings) << quint16(0) << QStringList()
                                           << QStringList{"BufTime"} << quint16(1);
    QTest::newRow("settings only Options") << int(ReportSettings) << quint16(0) << QStringList()
                                           << QStringList{"Options"} << quint16(8);
    QTest::newRow("settings parsed mask")
        << int(ReportSettings) << quint16(6) << QStringList{"TrgOps", "IntgPd"} << QStringList()
        << quint16(6);
}

void ReportDialogsTest::acceptedValues()
{
    QFETCH(int, kind);
    QFETCH(quint16, start);
    QFETCH(QStringList, shownChecked);
    QFETCH(QStringList, clicked);
    QFETCH(quint16, accepted);
    BitDialog dialog(static_cast<DialogKind>(kind));
    QStringList seen;

    const int result = dialog.run(start, [&](const BitDialog &shown) {
        for (const QString &text : shown.bitTexts()) {
            if (shown.box(text)->isChecked())
                seen << text;
        }
        for (const QString &text : clicked)
            shown.box(text)->click();
        shown.button("ok")->click();
    });

    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(seen, shownChecked);
    QCOMPARE(dialog.value(), accepted);
}

void ReportDialogsTest::cancelKeepsStoredValue_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<quint16>("value");
    QTest::newRow("trigger") << int(TrigType) << quint16(27);
    QTest::newRow("options") << int(ReportOptions) << quint16(0x5a);
    QTest::newRow("settings") << int(ReportSettings) << quint16(9);
}

void ReportDialogsTest::cancelKeepsStoredValue()
{
    QFETCH(int, kind);
    QFETCH(quint16, value);
    BitDialog dialog(static_cast<DialogKind>(kind));

    const int result = dialog.run(value, [](const BitDialog &shown) {
        shown.check(0xffff);
        shown.button("cancel")->click();
    });

    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(dialog.value(), value);
}

void ReportDialogsTest::settingsKeepSixteenBitsUntilAccepted()
{
    ReportSettingsDialog dialog;
    dialog.setValue(0x0104);
    QCOMPARE(dialog.value(), quint16(0x0104));

    BitDialog settings(ReportSettings);
    settings.run(0x8006, [](const BitDialog &shown) { shown.button("cancel")->click(); });
    QCOMPARE(settings.value(), quint16(0x8006));
    QCOMPARE(settings.checkedBits(), quint16(6));

    settings.run(0x8006, [](const BitDialog &shown) { shown.button("ok")->click(); });
    QCOMPARE(settings.value(), quint16(6));
}

void ReportDialogsTest::settingsScreenOrderDiffersFromBits()
{
    ReportSettingsDialog dialog;
    auto *group = dialog.findChild<QGroupBox *>();
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral("Dynamic Fields Selection:"));
    QStringList topToBottom;
    for (int i = 0; i < group->layout()->count(); ++i) {
        if (auto *box = qobject_cast<QCheckBox *>(group->layout()->itemAt(i)->widget()))
            topToBottom << box->text();
    }
    QCOMPARE(topToBottom, (QStringList{"BufTime", "TrgOps", "Options", "IntgPd"}));

    // Ok to the left of Cancel, below the group.
    QLayout *form = dialog.layout();
    QCOMPARE(form->indexOf(group), 0);
    QLayout *buttons = form->itemAt(1)->layout();
    QVERIFY(buttons);
    QCOMPARE(buttons->indexOf(dialog.findChild<QPushButton *>(QStringLiteral("pushButton_Accept"))),
             0);
    QCOMPARE(buttons->indexOf(dialog.findChild<QPushButton *>(QStringLiteral("pushButton_Cancel"))),
             1);
}

void ReportDialogsTest::formsCarryTheirTexts_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("heading");
    QTest::newRow("trigger") << int(TrigType) << QSize(213, 271) << "Trigger Type";
    QTest::newRow("options") << int(ReportOptions) << QSize(237, 331) << "Options";
    QTest::newRow("settings") << int(ReportSettings) << QSize(208, 282)
                              << "Dynamic Fields Selection:";
}

void ReportDialogsTest::formsCarryTheirTexts()
{
    QFETCH(int, kind);
    QFETCH(QSize, size);
    QFETCH(QString, heading);
    BitDialog dialog(static_cast<DialogKind>(kind));

    QCOMPARE(dialog.dialog->windowTitle(), QStringLiteral("Dialog"));
    QCOMPARE(dialog.dialog->size(), size);
    QCOMPARE(dialog.button("ok")->text(), QStringLiteral("Ok"));
    QCOMPARE(dialog.button("cancel")->text(), QStringLiteral("Cancel"));
    QStringList headings;
    for (const QLabel *label : dialog.dialog->findChildren<QLabel *>())
        headings << label->text();
    for (const QGroupBox *group : dialog.dialog->findChildren<QGroupBox *>())
        headings << group->title();
    QCOMPARE(headings, QStringList{heading});
    QStringList boxes;
    for (const QCheckBox *box : dialog.dialog->findChildren<QCheckBox *>())
        boxes << box->text();
    boxes.sort();
    QStringList expected = dialog.bitTexts();
    expected.sort();
    QCOMPARE(boxes, expected);
}

QTEST_MAIN(ReportDialogsTest)
#include "tst_reportdialogs.moc"
