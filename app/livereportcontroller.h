#ifndef STATIONSCOPE_LIVEREPORTCONTROLLER_H
#define STATIONSCOPE_LIVEREPORTCONTROLLER_H

// Read Rapor: watches every report picked in the project with its picked
// settings, shows the members that come in, with the signal bound to each,
// in a dock of its own, and beside each signal bound in the data set
// selection the last value of its member. Stop disables the blocks and
// releases the association. A buffered block resumes after the last report
// shown, kept in the project.

#include "boundsignalmodel.h"
#include "onlineworker.h"

#include "reportresumestore.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <functional>

class Iec61850DbManager;
class LiveReportModel;
class LiveReportPanel;
class OnlineController;
class QCheckBox;
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
    BoundSignalModel *boundSignalModel() const { return bound; }
    LiveReportPanel *panel() const { return reportPanel; }
    QDockWidget *dock() const { return reportDock; }
    bool isWatching() const { return watching; }

    // The open project, where each buffered block's last report shown is kept.
    void setProject(const std::function<Iec61850DbManager *()> &project)
    {
        this->project = project;
    }
    // Before the project or the window closes: true when no watch runs, or
    // the user agrees to drop its log.
    bool confirmDropLog();

    // The picked report control blocks with their settings.
    static QVector<ReportSubscription> subscriptions(const SelectedReportsModel &picks);
    // The result signals bound to data set members in the data set selection,
    // in its order (a data object's attributes bound one by one: "name=signal"
    // each).
    static QVector<SignalBinding> boundSignals(const SelectedDatasetsModel &datasets);

public slots:
    void start();
    void stop();
    // Keeps where the blocks stopped in the project going.
    void projectClosing();

private:
    void onStarted(const QStringList &blocks);
    void onProblem(const QString &problem);
    void onNote(const QString &note);
    void noteShown(const QVector<LiveReportEntry> &entries);
    void saveResumePoints();
    void onFinished();
    // Writes the newest value of each bound member beside it in the data set
    // selection, as often as the live table updates.
    void showLastValues(const QVector<LiveReportEntry> &entries);
    void clearLastValues();
    void clearForNextProject();

    OnlineController *controller;
    LiveReportModel *reports;
    BoundSignalModel *bound;
    QDockWidget *reportDock;
    LiveReportPanel *reportPanel;
    QCheckBox *purgeBox;
    QSet<QString> boundMembers;
    std::function<Iec61850DbManager *()> project;
    // Per block instance: the last report shown, not yet in the project.
    QHash<QString, ReportResumePoint> shownPoints;
    bool watching = false;
    bool projectGone = false;
    int problems = 0;
};

#endif
