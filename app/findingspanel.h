#ifndef STATIONSCOPE_FINDINGSPANEL_H
#define STATIONSCOPE_FINDINGSPANEL_H

// A dock that lists what the last check found or the last update removed,
// with a line saying of what, and saves the list as CSV.

#include <QDockWidget>

class FindingsModel;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTreeView;

class FindingsPanel : public QDockWidget
{
    Q_OBJECT

public:
    FindingsPanel(FindingsModel *model, QWidget *parent = nullptr);

    // Shows the list under a line telling what it is.
    void showList(const QString &caption);
    void clear();
    QString caption() const;

public slots:
    void saveAsCsv();

signals:
    // A row of the model was double-clicked (the model's row, not the view's).
    void rowActivated(int row);

private:
    FindingsModel *model;
    QSortFilterProxyModel *sorted;
    QLabel *summary;
    QTreeView *view;
    QPushButton *saveButton;
};

#endif
