#ifndef STATIONSCOPE_REPORTSETTINGSDIALOG_H
#define STATIONSCOPE_REPORTSETTINGSDIALOG_H

#include <QDialog>
#include <QList>

class QCheckBox;

namespace Ui {
class ReportSettingsDialog;
}

// Edits which report parameters the IED lets a client set (the "ReportSets"
// connection setting), one box per bit.
class ReportSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ReportSettingsDialog(QWidget *parent = nullptr);
    ~ReportSettingsDialog() override;

    void setValue(quint16 value);
    quint16 value() const { return current; }

public slots:
    void on_pushButton_Accept_clicked();
    void on_pushButton_Cancel_clicked();

private:
    Ui::ReportSettingsDialog *ui;
    // Indexed by bit number.
    QList<QCheckBox *> bitBoxes;
    quint16 current = 0;
};

#endif
