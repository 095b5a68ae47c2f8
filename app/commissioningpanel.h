#ifndef STATIONSCOPE_COMMISSIONINGPANEL_H
#define STATIONSCOPE_COMMISSIONINGPANEL_H

// The Commissioning dock's contents: the record as a sortable, filterable
// table, Start and Stop of the live session with its poll interval, the
// tester's verdict buttons with a note, Test control... for command rows,
// the summary and Export Record.... Space marks the selected rows that are
// passable "Passed". It only shows and asks; CommissioningController acts.

#include <QVector>
#include <QWidget>

class CommissioningFilter;
class CommissioningRecord;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

class CommissioningPanel : public QWidget
{
    Q_OBJECT

public:
    static const QString SortColumnKey;
    static const QString SortOrderKey;

    explicit CommissioningPanel(CommissioningRecord *record, QWidget *parent = nullptr);

    QTableView *table() const { return view; }
    CommissioningFilter *filter() const { return rowFilter; }
    // The record's rows selected in the table, in table order.
    QVector<int> selectedRows() const;
    void selectRow(int recordRow);

    int pollIntervalMs() const;
    void setPollIntervalMs(int ms);
    void setRunning(bool running);
    void setStatus(const QString &text);
    QString statusText() const;
    QString summaryText() const;

signals:
    void startRequested();
    void stopRequested();
    void exportRequested();
    void pollIntervalChanged(int ms);
    // verdict: CommissioningRecord::Verdict. noteTyped: the tester wrote
    // note for these rows; else each row keeps its own.
    void verdictRequested(const QVector<int> &rows, int verdict, const QString &note,
                          bool noteTyped);
    // Space on the selection: the passable rows of it become "Passed".
    void passRequested(const QVector<int> &rows);
    void testControlRequested(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateSelectionButtons();
    void showNoteOfSelection();
    // The tester wrote in the note field since it showed the row's note.
    bool noteEdited() const;
    void updateSummary();
    void requestVerdict(int verdict);

    CommissioningRecord *record;
    CommissioningFilter *rowFilter;
    QTableView *view;
    QLabel *status;
    QLabel *summary;
    QDoubleSpinBox *interval;
    QPushButton *startButton;
    QPushButton *stopButton;
    QLineEdit *note;
    QPushButton *passedButton;
    QPushButton *failedButton;
    QPushButton *notTestedButton;
    QPushButton *controlButton;
    bool summaryDue = false;
    // The record row whose note the note field shows, or -1.
    int noteRow = -1;
    QString shownNote;
};

#endif
