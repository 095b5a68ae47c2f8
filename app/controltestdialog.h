#ifndef STATIONSCOPE_CONTROLTESTDIALOG_H
#define STATIONSCOPE_CONTROLTESTDIALOG_H

// Test control...: shows one control object of a device (reference, address,
// ctlModel) with the value to send, the Test and Check flags and the origin,
// offers Select, Operate and Cancel as the control model allows, and logs each
// step. It only shows and edits; ControlTestSession does the work.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;

// How an Operate ended: the device carried it out, refused it, or left it
// open (no answer, no termination, one that cannot be read).
enum class ControlOutcome { Positive, Negative, Unknown };
Q_DECLARE_METATYPE(ControlOutcome)

// What the engineer set for the next command.
struct ControlTestSettings
{
    QString value; // as ControlValues::fromText reads it
    bool test = false;
    bool synchroCheck = false;
    bool interlockCheck = false;
    int originCategory = 3;
    QString originIdentity = QStringLiteral("stationscope");
};

class ControlTestDialog : public QDialog
{
    Q_OBJECT

public:
    ControlTestDialog(const QString &reference, const QString &address, QWidget *parent = nullptr);

    // After the device told its control model (ControlModel) and the kind of
    // ctlVal ("boolean", "integer", "analogue"); ctlModel -1 when it could not.
    void setControlModel(int ctlModel, const QString &valueKind);
    ControlTestSettings settings() const;
    // While a command runs no other can be asked for.
    void setBusy(bool busy);
    void appendLog(const QString &line);
    QString log() const;
    // "host:port" of the device commanded.
    QString address() const { return deviceAddress; }

signals:
    void selectRequested();
    void operateRequested();
    void cancelRequested();
    // An Operate that was sent ended so; text is its log line.
    void outcomeReported(ControlOutcome outcome, const QString &text);

private:
    void updateTestWarning();
    void updateButtons();

    QLabel *modelLabel;
    QStackedWidget *valueEditors;
    QComboBox *booleanValue;
    QSpinBox *integerValue;
    QDoubleSpinBox *analogueValue;
    QCheckBox *testFlag;
    QLabel *testWarning;
    QCheckBox *synchroCheck;
    QCheckBox *interlockCheck;
    QSpinBox *originCategory;
    QLineEdit *originIdentity;
    QPushButton *selectButton;
    QPushButton *operateButton;
    QPushButton *cancelButton;
    QPlainTextEdit *logView;
    QString deviceAddress;
    int controlModel = -1;
    bool busy = true;
};

#endif
