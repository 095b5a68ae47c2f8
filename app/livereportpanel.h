#ifndef STATIONSCOPE_LIVEREPORTPANEL_H
#define STATIONSCOPE_LIVEREPORTPANEL_H

// The live report table with its Stop, Copy and Save buttons and a line that
// says what the watch is doing.

#include <QWidget>

class LiveReportModel;
class QLabel;
class QPushButton;
class QTableView;

class LiveReportPanel : public QWidget
{
    Q_OBJECT

public:
    explicit LiveReportPanel(LiveReportModel *model, QWidget *parent = nullptr);

    QTableView *table() const { return view; }
    void setWatching(bool watching);
    void setStatus(const QString &text);

    // The selected rows, or all rows without a selection, as CSV.
    QString selectedCsv() const;

public slots:
    void copyToClipboard();
    // Asks for a file through the prompt seam and writes the table as CSV.
    bool saveCsv();

signals:
    void stopRequested();

private:
    LiveReportModel *model;
    QTableView *view;
    QLabel *status;
    QPushButton *stopButton;
};

#endif
