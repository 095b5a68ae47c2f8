#include "trigtypedialog.h"
#include "ui_trigtypedialog.h"

#include "bitcheckboxes.h"

TrigTypeDialog::TrigTypeDialog(QWidget *parent) : QDialog(parent), ui(new Ui::TrigTypeDialog)
{
    ui->setupUi(this);
    bitBoxes = {ui->checkBox_TRG_OPT_DATA_CHANGED, ui->checkBox_TRG_OPT_QUALITY_CHANGED,
                ui->checkBox_TRG_OPT_DATA_UPDATE, ui->checkBox_TRG_OPT_INTEGRITY,
                ui->checkBox_TRG_OPT_GI};
}

TrigTypeDialog::~TrigTypeDialog()
{
    delete ui;
}

void TrigTypeDialog::setValue(quint8 value)
{
    current = value;
    showBits(bitBoxes, value);
}

void TrigTypeDialog::on_pushButton_clicked()
{
    current = quint8(checkedBits(bitBoxes));
    accept();
}

void TrigTypeDialog::on_pushButton_2_clicked()
{
    reject();
}
