#ifndef STATIONSCOPE_LIVEREPORTCONTROLLER_H
#define STATIONSCOPE_LIVEREPORTCONTROLLER_H

// Read Rapor: watches every report picked in the project with its picked
// settings, shows the members that come in, with the signal bound to each,
// in a dock of its own, and the last value of each bound member in the data
// set selection beside its signal. Stop disables the blocks and releases the
// association.

#include "onlineworker.h"

#include <QHash>
#include <QObject>

class LiveReportModel;
class LiveReportPanel;
class OnlineController;
class QDockWidget;
class SelectedDatasetsModel;
class SelectedReportsModel;

class LiveReportController : public QObject
{
    Q_OBJECT

public:
    explicit LiveReportController(OnlineController *controller);
    ~LiveReportController() override;

    LiveReportModel *model() const { return reports; }
    LiveReportPanel *panel() const { return reportPanel; }
    QDockWidget *dock() const { return reportDock; }
    bool isWatching() const { return watching; }

    // The picked report control blocks with their settings.
    static QVector<ReportSubscription> subscriptions(const SelectedReportsModel &picks);
    // Member reference -> the result signal bound to it in the data set
    // selection (a data object's attributes bound one by one: "name=signal" each).
    static QHash<QString, QString> boundSignals(const SelectedDatasetsModel &datasets);
    // The data set selection's column that shows the last received values;
    // it belongs to the watch, not to the project.
    static int liveValueColumn();

public slots:
    void start();
    void stop();

private:
    void onStarted(const QStringList &blocks);
    void onProblem(const QString &problem);
    void onFinished();
    void showLiveValues(const QHash<QString, QString> &lastValueByMember);

    OnlineController *controller;
    LiveReportModel *reports;
    QDockWidget *reportDock;
    LiveReportPanel *reportPanel;
    bool watching = false;
    int problems = 0;
};

#endif
