#include "controltestdialog.h"

#include "controldefinitions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <limits>

namespace {

enum EditorPage { BooleanPage, IntegerPage, AnaloguePage };

} // namespace

ControlTestDialog::ControlTestDialog(const QString &reference, const QString &address,
                                     QWidget *parent)
    : QDialog(parent), deviceAddress(address)
{
    setObjectName(QStringLiteral("ControlTestDialog"));
    setWindowTitle(tr("Test control"));
    auto *layout = new QVBoxLayout(this);

    auto *object = new QFormLayout;
    auto *referenceLabel = new QLabel(reference, this);
    referenceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    object->addRow(tr("Object:"), referenceLabel);
    auto *deviceLabel = new QLabel(QStringLiteral("<b>%1</b>").arg(address.toHtmlEscaped()), this);
    object->addRow(tr("Device:"), deviceLabel);
    modelLabel = new QLabel(tr("reading..."), this);
    object->addRow(tr("ctlModel:"), modelLabel);
    layout->addLayout(object);

    auto *command = new QGroupBox(tr("Command"), this);
    auto *form = new QFormLayout(command);
    valueEditors = new QStackedWidget(command);
    booleanValue = new QComboBox(valueEditors);
    booleanValue->addItem(tr("on"), QStringLiteral("on"));
    booleanValue->addItem(tr("off"), QStringLiteral("off"));
    integerValue = new QSpinBox(valueEditors);
    integerValue->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    analogueValue = new QDoubleSpinBox(valueEditors);
    analogueValue->setRange(-1e9, 1e9);
    analogueValue->setDecimals(3);
    valueEditors->insertWidget(BooleanPage, booleanValue);
    valueEditors->insertWidget(IntegerPage, integerValue);
    valueEditors->insertWidget(AnaloguePage, analogueValue);
    form->addRow(tr("Value (ctlVal):"), valueEditors);
    testFlag = new QCheckBox(tr("Test"), command);
    testFlag->setObjectName(QStringLiteral("testFlag"));
    form->addRow(QString(), testFlag);
    testWarning = new QLabel(command);
    testWarning->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    testWarning->setWordWrap(true);
    form->addRow(QString(), testWarning);
    auto *checks = new QHBoxLayout;
    synchroCheck = new QCheckBox(tr("Synchrocheck"), command);
    interlockCheck = new QCheckBox(tr("Interlock check"), command);
    checks->addWidget(synchroCheck);
    checks->addWidget(interlockCheck);
    checks->addStretch();
    form->addRow(tr("Check:"), checks);
    auto *origin = new QHBoxLayout;
    originCategory = new QSpinBox(command);
    originCategory->setRange(0, 8);
    originCategory->setValue(3);
    originCategory->setToolTip(tr("orCat: 3 is remote control"));
    originIdentity = new QLineEdit(QStringLiteral("stationscope"), command);
    originIdentity->setMaxLength(64);
    origin->addWidget(originCategory);
    origin->addWidget(originIdentity, 1);
    form->addRow(tr("Origin:"), origin);
    layout->addWidget(command);

    auto *buttons = new QHBoxLayout;
    selectButton = new QPushButton(tr("Select"), this);
    operateButton = new QPushButton(tr("Operate"), this);
    cancelButton = new QPushButton(tr("Cancel"), this);
    selectButton->setObjectName(QStringLiteral("selectButton"));
    operateButton->setObjectName(QStringLiteral("operateButton"));
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton *button : {selectButton, operateButton, cancelButton}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    layout->addLayout(buttons);

    logView = new QPlainTextEdit(this);
    logView->setReadOnly(true);
    logView->setMinimumHeight(120);
    layout->addWidget(logView, 1);
    auto *close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(close);

    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(selectButton, &QPushButton::clicked, this, &ControlTestDialog::selectRequested);
    connect(operateButton, &QPushButton::clicked, this, &ControlTestDialog::operateRequested);
    connect(cancelButton, &QPushButton::clicked, this, &ControlTestDialog::cancelRequested);
    connect(testFlag, &QCheckBox::toggled, this, &ControlTestDialog::updateTestWarning);
    updateTestWarning();
    updateButtons();
    resize(460, 480);
}

void ControlTestDialog::setControlModel(int ctlModel, const QString &valueKind)
{
    controlModel = ctlModel;
    modelLabel->setText(
        ctlModel >= 0 ? QStringLiteral("%1 (%2)").arg(ctlModel).arg(ControlModels::name(ctlModel))
                      : tr("unknown"));
    valueEditors->setCurrentIndex(valueKind == QLatin1String("integer")    ? IntegerPage
                                  : valueKind == QLatin1String("analogue") ? AnaloguePage
                                                                           : BooleanPage);
    updateButtons();
}

ControlTestSettings ControlTestDialog::settings() const
{
    ControlTestSettings settings;
    switch (valueEditors->currentIndex()) {
    case IntegerPage:
        settings.value = QString::number(integerValue->value());
        break;
    case AnaloguePage:
        settings.value = QString::number(analogueValue->value(), 'g', 12);
        break;
    default:
        settings.value = booleanValue->currentData().toString();
        break;
    }
    settings.test = testFlag->isChecked();
    settings.synchroCheck = synchroCheck->isChecked();
    settings.interlockCheck = interlockCheck->isChecked();
    settings.originCategory = originCategory->value();
    settings.originIdentity = originIdentity->text();
    return settings;
}

void ControlTestDialog::setBusy(bool isBusy)
{
    busy = isBusy;
    updateButtons();
}

void ControlTestDialog::appendLog(const QString &line)
{
    logView->appendPlainText(line);
}

QString ControlTestDialog::log() const
{
    return logView->toPlainText();
}

void ControlTestDialog::updateTestWarning()
{
    testWarning->setText(testFlag->isChecked()
                             ? tr("Test is on: the device is asked to treat the command as a test.")
                             : tr("Test is off: the device carries the command out."));
}

void ControlTestDialog::updateButtons()
{
    const bool known = controlModel > int(ControlModel::StatusOnly) &&
                       controlModel <= int(ControlModel::SboEnhanced);
    const bool selects = known && ControlModels::isSelectBeforeOperate(ControlModel(controlModel));
    selectButton->setEnabled(!busy && selects);
    cancelButton->setEnabled(!busy && selects);
    operateButton->setEnabled(!busy && known);
}
