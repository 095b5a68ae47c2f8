#ifndef STATIONSCOPE_REPORTOPTIONSDIALOG_H
#define STATIONSCOPE_REPORTOPTIONSDIALOG_H

#include <QDialog>
#include <QList>

class QCheckBox;

namespace Ui {
class ReportOptionsDialog;
}

// Edits the optional fields of a report control block, one box per bit.
class ReportOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ReportOptionsDialog(QWidget *parent = nullptr);
    ~ReportOptionsDialog() override;

    void setValue(quint8 value);
    quint8 value() const { return current; }

public slots:
    void on_pushButton_accept_clicked();
    void on_pushButton_cancel_clicked();

private:
    Ui::ReportOptionsDialog *ui;
    // Indexed by bit number.
    QList<QCheckBox *> bitBoxes;
    quint8 current = 0;
};

#endif
