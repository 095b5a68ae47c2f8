#ifndef STATIONSCOPE_IEDCHECKCOUNTS_H
#define STATIONSCOPE_IEDCHECKCOUNTS_H

// The New Project dialog's "Check" button: checks the SCL file in the
// background and shows each IED's error and warning counts beside its name in
// the IED list, and those of the chosen IED beside the list.

#include <QObject>
#include <QString>

class QBoxLayout;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class SclCheckRun;
struct SclCheckResult;

class IedCheckCounts : public QObject
{
    Q_OBJECT

public:
    // Adds its button and label to layout, after the IED list.
    IedCheckCounts(const QString &sclFile, QComboBox *iedList, QBoxLayout *layout,
                   QPlainTextEdit *infoScreen, QObject *parent);

    QPushButton *button() const { return checkButton; }
    // "2 errors, 1 warning" of an IED once the check ran, else empty.
    QString countsText(const QString &iedName) const;

public slots:
    void check();

signals:
    void checked();

private:
    void onFinished(const SclCheckResult &result);
    void showCurrent();

    QString file;
    QComboBox *iedList;
    QPlainTextEdit *infoScreen;
    QPushButton *checkButton;
    QLabel *countsLabel;
    SclCheckRun *run;
};

#endif
