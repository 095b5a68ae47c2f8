#include "reportsettingsdialog.h"
#include "ui_reportsettingsdialog.h"

#include "bitcheckboxes.h"

ReportSettingsDialog::ReportSettingsDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::ReportSettingsDialog)
{
    ui->setupUi(this);
    // The form lists Options above IntgPd; the bits count the other way round.
    bitBoxes = {ui->checkBox_BufTime, ui->checkBox_TrgOps, ui->checkBox_IntgPd,
                ui->checkBox_Options};
}

ReportSettingsDialog::~ReportSettingsDialog()
{
    delete ui;
}

void ReportSettingsDialog::setValue(quint16 value)
{
    current = value;
    showBits(bitBoxes, value);
}

void ReportSettingsDialog::on_pushButton_Accept_clicked()
{
    current = quint16(checkedBits(bitBoxes));
    accept();
    close();
}

void ReportSettingsDialog::on_pushButton_Cancel_clicked()
{
    reject();
    close();
}
