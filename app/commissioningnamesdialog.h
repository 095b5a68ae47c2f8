#ifndef STATIONSCOPE_COMMISSIONINGNAMESDIALOG_H
#define STATIONSCOPE_COMMISSIONINGNAMESDIALOG_H

// Export Record...: who hands the record over and who witnesses it, as the
// cover names them. The tester is needed; the witness may stay empty.

#include <QDialog>

class QDialogButtonBox;
class QLineEdit;

class CommissioningNamesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CommissioningNamesDialog(QWidget *parent = nullptr);

    QString tester() const;
    QString witness() const;
    void setTester(const QString &name);
    void setWitness(const QString &name);

private:
    void updateOk();

    QLineEdit *testerName;
    QLineEdit *witnessName;
    QDialogButtonBox *buttons;
};

#endif
