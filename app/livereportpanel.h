#ifndef STATIONSCOPE_LIVEREPORTPANEL_H
#define STATIONSCOPE_LIVEREPORTPANEL_H

// The live report table with its Stop, Copy and Save buttons and a line that
// says what the watch is doing; beside it the bound signals with their last
// values.

#include <QWidget>

class BoundSignalModel;
class LiveReportModel;
class QLabel;
class QPushButton;
class QTableView;

class LiveReportPanel : public QWidget
{
    Q_OBJECT

public:
    LiveReportPanel(LiveReportModel *model, BoundSignalModel *bound, QWidget *parent = nullptr);

    QTableView *table() const { return view; }
    QTableView *boundSignalTable() const { return boundView; }
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
    QTableView *boundView;
    QLabel *status;
    QPushButton *stopButton;
};

#endif
