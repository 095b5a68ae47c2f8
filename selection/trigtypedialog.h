#ifndef STATIONSCOPE_TRIGTYPEDIALOG_H
#define STATIONSCOPE_TRIGTYPEDIALOG_H

#include <QDialog>
#include <QList>

class QCheckBox;

namespace Ui {
class TrigTypeDialog;
}

// Edits the trigger options of a report control block, one box per bit.
class TrigTypeDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TrigTypeDialog(QWidget *parent = nullptr);
    ~TrigTypeDialog() override;

    void setValue(quint8 value);
    quint8 value() const { return current; }

public slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();

private:
    Ui::TrigTypeDialog *ui;
    // Indexed by bit number.
    QList<QCheckBox *> bitBoxes;
    quint8 current = 0;
};

#endif
