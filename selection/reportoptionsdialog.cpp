#include "reportoptionsdialog.h"
#include "ui_reportoptionsdialog.h"

#include "bitcheckboxes.h"

ReportOptionsDialog::ReportOptionsDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::ReportOptionsDialog)
{
    ui->setupUi(this);
    bitBoxes = {ui->checkBox_RPT_OPT_SEQ_NUM,
                ui->checkBox_RPT_OPT_TIME_STAMP,
                ui->checkBox_RPT_OPT_REASON_FOR_INCLUSION,
                ui->checkBox_RPT_OPT_DATA_SET,
                ui->checkBox_RPT_OPT_DATA_REFERENCE,
                ui->checkBox_RPT_OPT_BUFFER_OVERFLOW,
                ui->checkBox_RPT_OPT_ENTRY_ID,
                ui->checkBox_RPT_OPT_CONF_REV};
}

ReportOptionsDialog::~ReportOptionsDialog()
{
    delete ui;
}

void ReportOptionsDialog::setValue(quint8 value)
{
    current = value;
    showBits(bitBoxes, value);
}

void ReportOptionsDialog::on_pushButton_accept_clicked()
{
    current = quint8(checkedBits(bitBoxes));
    accept();
}

void ReportOptionsDialog::on_pushButton_cancel_clicked()
{
    reject();
}
