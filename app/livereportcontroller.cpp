#include "livereportcontroller.h"

#include "livereportmodel.h"
#include "livereportpanel.h"
#include "onlinecontroller.h"
#include "onlinesession.h"
#include "reportpicks.h"
#include "selecteddatasetsmodel.h"
#include "selectedreportsmodel.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QStatusBar>

namespace {

constexpr int StatusMessageMs = 10000;

} // namespace

LiveReportController::LiveReportController(OnlineController *controller)
    : QObject(controller), controller(controller), reports(new LiveReportModel(this)),
      bound(new BoundSignalModel(this))
{
    const OnlineWindowParts &parts = controller->windowParts();
    reportDock = new QDockWidget(tr("Live Reports"), parts.window);
    reportDock->setObjectName(QStringLiteral("dockWidget_liveReports"));
    reportPanel = new LiveReportPanel(reports, bound, reportDock);
    reportDock->setWidget(reportPanel);
    parts.window->addDockWidget(Qt::BottomDockWidgetArea, reportDock);
    reportDock->hide();

    OnlineWorker *worker = controller->session()->worker();
    connect(worker, &OnlineWorker::reportsReceived, this,
            [this](const QVector<LiveReportEntry> &entries) {
                if (!projectGone)
                    reports->append(entries);
            });
    connect(worker, &OnlineWorker::watchStarted, this, &LiveReportController::onStarted);
    connect(worker, &OnlineWorker::watchProblem, this, &LiveReportController::onProblem);
    connect(worker, &OnlineWorker::finished, this, &LiveReportController::onFinished);
    connect(reports, &LiveReportModel::entriesShown, bound, &BoundSignalModel::update);
    connect(reports, &LiveReportModel::entriesShown, this, &LiveReportController::showLastValues);
    // The rows the values were shown in are gone; a watch still ending must
    // not write into the picks that come next.
    connect(parts.datasets, &QAbstractItemModel::modelAboutToBeReset, this,
            &LiveReportController::clearForNextProject);
    connect(reportPanel, &LiveReportPanel::stopRequested, this, &LiveReportController::stop);
}

LiveReportController::~LiveReportController() = default;

QVector<ReportSubscription> LiveReportController::subscriptions(const SelectedReportsModel &picks)
{
    QVector<ReportSubscription> result;
    for (const PickedReport &pick : pickedReports(picks)) {
        ReportSubscription block;
        block.reference = pick.reference;
        block.instances = pick.instances;
        block.trgOps = pick.trgOps;
        block.optFlds = pick.optFlds;
        block.intgPd = pick.intgPd;
        block.bufTm = pick.bufTm;
        block.gi = pick.gi;
        result.append(block);
    }
    return result;
}

QVector<SignalBinding> LiveReportController::boundSignals(const SelectedDatasetsModel &datasets)
{
    QVector<SignalBinding> bound;
    for (int row = 0; row < datasets.rowCount(); ++row) {
        const QStandardItem *dataSet = datasets.item(row);
        for (int child = 0; child < dataSet->rowCount(); ++child) {
            const QStandardItem *member = dataSet->child(child);
            const QString signal = boundSignalText(member);
            if (!signal.isEmpty())
                bound.append({member->text(), signal});
        }
    }
    return bound;
}

void LiveReportController::start()
{
    const OnlineWindowParts &parts = controller->windowParts();
    const QVector<ReportSubscription> picks = subscriptions(*parts.reports);
    if (picks.isEmpty()) {
        parts.statusBar->showMessage(
            tr("No reports are picked: pick them in the Reports selection first."),
            StatusMessageMs);
        return;
    }
    if (!controller->hasAddress())
        return;
    reports->clear();
    const QVector<SignalBinding> bindings = boundSignals(*parts.datasets);
    QHash<QString, QString> signalByMember;
    for (const SignalBinding &binding : bindings)
        signalByMember.insert(binding.member, binding.signal);
    reports->setSignals(signalByMember);
    bound->setBindings(bindings);
    clearLastValues();
    for (const SignalBinding &binding : bindings)
        boundMembers.insert(LiveReportModel::memberKey(binding.member));
    problems = 0;
    projectGone = false;
    if (!controller->session()->watchReports(controller->host(), controller->port(), picks))
        return;
    watching = true;
    reportPanel->setWatching(true);
    reportPanel->setStatus(
        tr("Connecting to %1:%2 ...").arg(controller->host()).arg(controller->port()));
    reportDock->show();
    reportDock->raise();
}

void LiveReportController::stop()
{
    if (!watching)
        return;
    reportPanel->setStatus(tr("Stopping ..."));
    controller->session()->stop();
}

void LiveReportController::onStarted(const QStringList &blocks)
{
    if (!watching)
        return;
    reportPanel->setStatus(blocks.isEmpty()
                               ? tr("No report could be enabled.")
                               : tr("Watching %1").arg(blocks.join(QLatin1String(", "))));
    controller->windowParts().infoScreen->appendPlainText(
        tr("Reports enabled: %1").arg(blocks.join(QLatin1String(", "))));
}

void LiveReportController::onProblem(const QString &problem)
{
    if (!watching)
        return;
    ++problems;
    controller->windowParts().infoScreen->appendPlainText(problem);
    controller->windowParts().statusBar->showMessage(problem, StatusMessageMs);
}

void LiveReportController::onFinished()
{
    if (!watching)
        return;
    watching = false;
    reports->flush();
    clearLastValues();
    reportPanel->setWatching(false);
    if (problems > 0 && reports->rowCount() == 0)
        reportPanel->setStatus(tr("Nothing was watched: see the Info Screen."));
    else
        reportPanel->setStatus(tr("Stopped: %1 rows").arg(reports->rowCount()));
}

void LiveReportController::showLastValues(const QVector<LiveReportEntry> &entries)
{
    QHash<QString, QString> textByMember;
    for (const LiveReportEntry &entry : entries) {
        const QString key = LiveReportModel::memberKey(entry.member);
        if (boundMembers.contains(key))
            textByMember.insert(key, BoundSignalModel::valueWithQuality(entry));
    }
    if (textByMember.isEmpty())
        return;
    SelectedDatasetsModel *datasets = controller->windowParts().datasets;
    for (int row = 0; row < datasets->rowCount(); ++row) {
        const QStandardItem *dataSet = datasets->item(row);
        for (int child = 0; child < dataSet->rowCount(); ++child) {
            QStandardItem *member = dataSet->child(child);
            const auto text = textByMember.constFind(LiveReportModel::memberKey(member->text()));
            if (text != textByMember.constEnd())
                datasets->setLiveValue(member, text.value());
        }
    }
}

void LiveReportController::clearForNextProject()
{
    // What the dock shows belongs to the project going; so do reports of a
    // watch still ending.
    projectGone = true;
    boundMembers.clear();
    reports->clear();
    bound->setBindings({});
    reportPanel->setStatus(QString());
}

void LiveReportController::clearLastValues()
{
    boundMembers.clear();
    controller->windowParts().datasets->clearLiveValues();
}
