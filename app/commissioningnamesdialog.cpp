#include "commissioningnamesdialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CommissioningNamesDialog::CommissioningNamesDialog(QWidget *parent)
    : QDialog(parent), testerName(new QLineEdit(this)), witnessName(new QLineEdit(this)),
      buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setObjectName(QStringLiteral("dialog_handOverNames"));
    setWindowTitle(tr("Export Record"));
    testerName->setObjectName(QStringLiteral("lineEdit_tester"));
    witnessName->setObjectName(QStringLiteral("lineEdit_witness"));
    witnessName->setPlaceholderText(tr("none"));
    auto *form = new QFormLayout;
    auto *testerLabel = new QLabel(tr("&Tester:"), this);
    testerLabel->setBuddy(testerName);
    auto *witnessLabel = new QLabel(tr("&Witness:"), this);
    witnessLabel->setBuddy(witnessName);
    form->addRow(testerLabel, testerName);
    form->addRow(witnessLabel, witnessName);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("The cover names them, each with a line to sign."), this));
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(testerName, &QLineEdit::textChanged, this, &CommissioningNamesDialog::updateOk);
    updateOk();
}

QString CommissioningNamesDialog::tester() const
{
    return testerName->text().trimmed();
}

QString CommissioningNamesDialog::witness() const
{
    return witnessName->text().trimmed();
}

void CommissioningNamesDialog::setTester(const QString &name)
{
    testerName->setText(name);
}

void CommissioningNamesDialog::setWitness(const QString &name)
{
    witnessName->setText(name);
}

void CommissioningNamesDialog::updateOk()
{
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!tester().isEmpty());
}
