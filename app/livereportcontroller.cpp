#include "livereportcontroller.h"

#include "livereportmodel.h"
#include "livereportpanel.h"
#include "onlinecontroller.h"
#include "onlinesession.h"
#include "reportpicks.h"
#include "selecteddatasetsmodel.h"
#include "selectedreportsmodel.h"
#include "userprompt.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDockWidget>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
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
    purgeBox = new QCheckBox(tr("Purge buffer first"), parts.window);
    purgeBox->setObjectName(QStringLiteral("checkBox_purgeBuffer"));
    purgeBox->setToolTip(tr("Buffered reports: drop what the IED buffered before the watch "
                            "instead of receiving it first"));
    // Beside the Read Rapor button, where the choice is made.
    QWidget *buttonRow = parts.readReportButton ? parts.readReportButton->parentWidget() : nullptr;
    auto *rowLayout = buttonRow ? qobject_cast<QBoxLayout *>(buttonRow->layout()) : nullptr;
    const int at = rowLayout ? rowLayout->indexOf(parts.readReportButton) : -1;
    if (at >= 0)
        rowLayout->insertWidget(at + 1, purgeBox);
    else
        purgeBox->hide();

    OnlineWorker *worker = controller->session()->worker();
    connect(worker, &OnlineWorker::reportsReceived, this,
            [this](const QVector<LiveReportEntry> &entries) {
                if (!projectGone)
                    reports->append(entries);
            });
    connect(worker, &OnlineWorker::watchStarted, this, &LiveReportController::onStarted);
    connect(worker, &OnlineWorker::watchProblem, this, &LiveReportController::onProblem);
    connect(worker, &OnlineWorker::watchNote, this, &LiveReportController::onNote);
    connect(worker, &OnlineWorker::finished, this, &LiveReportController::onFinished);
    connect(reports, &LiveReportModel::entriesShown, bound, &BoundSignalModel::update);
    connect(reports, &LiveReportModel::entriesShown, this, &LiveReportController::showLastValues);
    connect(reports, &LiveReportModel::entriesShown, this, &LiveReportController::noteShown);
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
    QVector<ReportSubscription> settings = picks;
    // Where each buffered block stopped last time, unless its buffer goes.
    QHash<QString, QByteArray> resumeAfter;
    Iec61850DbManager *open = project ? project() : nullptr;
    if (open && !purgeBox->isChecked()) {
        const QHash<QString, ReportResumePoint> points = ReportResumeStore(open).load();
        for (auto point = points.constBegin(); point != points.constEnd(); ++point)
            resumeAfter.insert(point.key(), point->entryId);
    }
    for (ReportSubscription &block : settings) {
        block.purgeBuffer = purgeBox->isChecked();
        block.resumeAfter = resumeAfter;
    }
    shownPoints.clear();
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
    if (!controller->session()->watchReports(controller->host(), controller->port(), settings))
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
    // The blocks by name go to the Info Screen: a line of 73 of them is no status.
    reportPanel->setStatus(blocks.isEmpty() ? tr("No report could be enabled.")
                           : blocks.size() == 1
                               ? tr("Watching %1").arg(blocks.first())
                               : tr("Watching %n report control blocks", nullptr, blocks.size()));
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

void LiveReportController::onNote(const QString &note)
{
    if (!watching)
        return;
    controller->windowParts().infoScreen->appendPlainText(note);
    controller->windowParts().statusBar->showMessage(note, StatusMessageMs);
}

void LiveReportController::noteShown(const QVector<LiveReportEntry> &entries)
{
    for (const LiveReportEntry &entry : entries) {
        if (!entry.entryId.isEmpty())
            shownPoints.insert(entry.rcb, {entry.entryId, entry.entryTimeMs});
    }
}

void LiveReportController::saveResumePoints()
{
    Iec61850DbManager *open = project ? project() : nullptr;
    if (!open || shownPoints.isEmpty())
        return;
    QString problem;
    if (!ReportResumeStore(open).save(shownPoints, &problem))
        controller->windowParts().infoScreen->appendPlainText(
            tr("Where the reports stopped is not kept: %1").arg(problem));
    shownPoints.clear();
}

void LiveReportController::projectClosing()
{
    reports->flush();
    saveResumePoints();
}

bool LiveReportController::confirmDropLog()
{
    if (!watching)
        return true;
    PromptMessage question;
    question.kind = PromptMessage::Question;
    question.parent = controller->windowParts().window;
    question.title = tr("Live Reports");
    question.text = tr("Reports are still coming in (%n rows so far). Closing stops the watch "
                       "and drops its log; save it as CSV first if you need it.",
                       nullptr, reports->rowCount());
    question.buttons = QMessageBox::Close | QMessageBox::Cancel;
    question.defaultButton = QMessageBox::Cancel;
    return UserPrompt::current().message(question) == QMessageBox::Close;
}

void LiveReportController::onFinished()
{
    if (!watching)
        return;
    watching = false;
    reports->flush();
    if (!projectGone)
        saveResumePoints();
    clearLastValues();
    reportPanel->setWatching(false);
    if (projectGone)
        reportPanel->setStatus(tr("Stopped"));
    else if (problems > 0 && reports->rowCount() == 0)
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
