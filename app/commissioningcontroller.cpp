#include "commissioningcontroller.h"

#include "commissioningfilter.h"
#include "commissioningpanel.h"
#include "commissioningplan.h"
#include "commissioningrecord.h"
#include "commissioningsession.h"
#include "commissioningstore.h"
#include "commissioningworkbook.h"
#include "controltestcontroller.h"
#include "controltestdialog.h"
#include "onlinecontroller.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "unsavedchangestracker.h"
#include "userprompt.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QInputDialog>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStatusBar>
#include <QThread>

namespace {

constexpr int StatusMessageMs = 15000;
// Closing the window waits this long for the blocks to be disabled in order.
constexpr int OrderlyStopMs = 5000;
const QString ProgramTitle = QStringLiteral("Stationscope");

QString addressText(const QString &host, int port)
{
    const QString shownHost =
        host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    return port == 102 ? shownHost : QStringLiteral("%1:%2").arg(shownHost).arg(port);
}

} // namespace

const QString CommissioningController::PollIntervalKey = QStringLiteral("commissioningPollMs");

CommissioningController::CommissioningController(const CommissioningParts &parts, QObject *parent)
    : QObject(parent), parts(parts), rows(new CommissioningRecord(this))
{
    QMainWindow *window = parts.online->windowParts().window;
    recordDock = new QDockWidget(tr("Commissioning"), window);
    recordDock->setObjectName(QStringLiteral("dockWidget_commissioning"));
    recordPanel = new CommissioningPanel(rows, recordDock);
    recordDock->setWidget(recordPanel);
    window->addDockWidget(Qt::BottomDockWidgetArea, recordDock);
    recordDock->hide();
    QAction *showDock = recordDock->toggleViewAction();
    showDock->setObjectName(QStringLiteral("actionCommissioning"));
    if (parts.menu)
        parts.menu->addAction(showDock);

    recordPanel->setPollIntervalMs(
        QSettings().value(PollIntervalKey, CommissioningSession::DefaultPollIntervalMs).toInt());
    connect(recordPanel, &CommissioningPanel::pollIntervalChanged, this,
            [](int ms) { QSettings().setValue(PollIntervalKey, ms); });
    connect(recordPanel, &CommissioningPanel::startRequested, this,
            &CommissioningController::start);
    connect(recordPanel, &CommissioningPanel::stopRequested, this, &CommissioningController::stop);
    connect(recordPanel, &CommissioningPanel::exportRequested, this,
            &CommissioningController::exportRecord);
    connect(recordPanel, &CommissioningPanel::verdictRequested, this,
            &CommissioningController::setVerdicts);
    connect(recordPanel, &CommissioningPanel::passRequested, this, &CommissioningController::pass);
    connect(recordPanel, &CommissioningPanel::testControlRequested, this,
            &CommissioningController::testControl);
    connect(parts.online->windowParts().datasets, &QAbstractItemModel::modelAboutToBeReset, this,
            &CommissioningController::clearForNextProject);
}

CommissioningController::~CommissioningController()
{
    if (!thread)
        return;
    joinSession();
    delete session;
}

void CommissioningController::joinSession()
{
    session->stop();
    thread->quit();
    if (!thread->wait(OrderlyStopMs)) {
        session->cancel();
        thread->wait();
    }
}

void CommissioningController::projectClosing()
{
    if (!thread)
        return;
    joinSession();
    // The values it sent and its end are still queued: they reach the
    // record, and the record the file, before the file closes.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void CommissioningController::tell(const QString &text)
{
    const OnlineWindowParts &window = parts.online->windowParts();
    window.statusBar->showMessage(text, StatusMessageMs);
    window.infoScreen->appendPlainText(text);
}

void CommissioningController::projectOpened()
{
    Iec61850DbManager *project = parts.project();
    if (!project)
        return;
    rebuildPoints();
    QString problem;
    if (!CommissioningStore(project).load(rows, &problem))
        tell(tr("The commissioning record could not be read: %1").arg(problem));
    recordPanel->setStatus(rows->deviceAddress().isEmpty()
                               ? QString()
                               : tr("Last session with %1").arg(rows->deviceAddress()));
}

bool CommissioningController::rebuildPoints()
{
    const OnlineWindowParts &window = parts.online->windowParts();
    rows->setPoints(CommissioningPlan::fromProject(*parts.objects, *window.datasets,
                                                   *window.reports, *parts.signalList));
    return rows->rowCount() > 0;
}

bool CommissioningController::settleUnsavedChanges()
{
    if (!parts.unsavedChanges->isModified())
        return true;
    PromptMessage question;
    question.kind = PromptMessage::Question;
    question.parent = recordPanel;
    question.title = tr("Commissioning");
    question.text = tr("The record is kept with the saved project. Save the changes to %1 first?")
                        .arg(QFileInfo(parts.projectPath()).fileName());
    question.buttons = QMessageBox::Save | QMessageBox::Cancel;
    question.defaultButton = QMessageBox::Save;
    return UserPrompt::current().message(question) == QMessageBox::Save && parts.saveProject();
}

void CommissioningController::start()
{
    if (thread)
        return;
    if (!parts.project()) {
        tell(tr("Open a project first: the commissioning record belongs to a project."));
        return;
    }
    if (!settleUnsavedChanges())
        return;
    if (!rebuildPoints()) {
        tell(tr("The project binds no signal to test."));
        return;
    }
    OnlineController *online = parts.online;
    if (!online->hasAddress())
        return;
    const QString host = online->host();
    const int port = online->port();
    rows->setDeviceAddress(addressText(host, port));

    session = new CommissioningSession;
    session->setAddress(host, port);
    session->setPoints(rows->points());
    session->setPollInterval(recordPanel->pollIntervalMs());
    thread = new QThread(this);
    session->moveToThread(thread);
    connect(session, &CommissioningSession::observed, this, &CommissioningController::onObserved);
    connect(session, &CommissioningSession::status, recordPanel, &CommissioningPanel::setStatus);
    connect(session, &CommissioningSession::blockSilent, this,
            [this](const QString &, const QString &reason) {
                parts.online->windowParts().infoScreen->appendPlainText(reason);
            });
    connect(session, &CommissioningSession::failed, this, &CommissioningController::onFailed);
    connect(session, &CommissioningSession::finished, this, &CommissioningController::onFinished);
    observations = 0;
    failure.clear();
    projectGone = false;
    thread->start();
    QMetaObject::invokeMethod(session, &CommissioningSession::run, Qt::QueuedConnection);
    recordPanel->setRunning(true);
    recordPanel->setStatus(tr("Connecting to %1 ...").arg(rows->deviceAddress()));
    recordDock->show();
    recordDock->raise();
}

void CommissioningController::stop()
{
    if (!session)
        return;
    recordPanel->setStatus(tr("Stopping ..."));
    session->stop();
}

void CommissioningController::onObserved(int row, const QString &value, const QString &quality,
                                         bool good, const QDateTime &time)
{
    if (projectGone)
        return;
    rows->observe(row, value, quality, good, time);
    ++observations;
}

void CommissioningController::onFailed(const QString &problem)
{
    failure = problem;
    tell(problem);
}

void CommissioningController::onFinished()
{
    if (!thread)
        return;
    thread->quit();
    thread->wait();
    delete session;
    session = nullptr;
    delete thread;
    thread = nullptr;
    recordPanel->setRunning(false);
    if (projectGone)
        return;
    // A session that saw nothing leaves the project file as it was.
    const bool saved = observations > 0 && save();
    const QString seen = tr("%n values seen", nullptr, observations);
    if (!failure.isEmpty())
        recordPanel->setStatus(tr("Ended: %1 (%2)").arg(failure, seen));
    else
        recordPanel->setStatus(saved ? tr("Stopped: %1, saved in the project").arg(seen)
                                     : tr("Stopped: %1").arg(seen));
    emit sessionFinished();
}

bool CommissioningController::save()
{
    Iec61850DbManager *project = parts.project();
    if (!project)
        return false;
    QString problem;
    if (CommissioningStore(project).save(*rows, &problem))
        return true;
    UserPrompt::warning(recordPanel, ProgramTitle,
                        tr("The commissioning record could not be saved in %1: %2")
                            .arg(QFileInfo(parts.projectPath()).fileName(), problem));
    return false;
}

void CommissioningController::setVerdicts(const QVector<int> &rowList, int verdict,
                                          const QString &note)
{
    int refused = 0;
    for (int row : rowList) {
        if (!rows->setVerdict(row, CommissioningRecord::Verdict(verdict), note))
            ++refused;
    }
    if (refused > 0)
        tell(tr("%n rows were never seen and cannot be passed.", nullptr, refused));
    if (refused < rowList.size() && save())
        recordPanel->filter()->invalidate();
}

void CommissioningController::pass(const QVector<int> &rowList)
{
    int passed = 0;
    for (int row : rowList) {
        if (rows->data(rows->index(row, 0), CommissioningRecord::PassableRole).toBool() &&
            rows->setVerdict(row, CommissioningRecord::Passed, rows->observation(row).note))
            ++passed;
    }
    if (passed == 0) {
        tell(tr("Not passable yet: a row is passed with one key once its value changed and "
                "arrived with good quality."));
        return;
    }
    if (save())
        recordPanel->filter()->invalidate();
}

void CommissioningController::testControl(int row)
{
    const CommissioningPoint point = rows->point(row);
    if (point.direction != CommissioningPoint::Direction::Command)
        return;
    ControlTestDialog *dialog = parts.controls->openDialog(point.reference);
    if (!dialog)
        return;
    const QString key = point.key();
    connect(dialog, &ControlTestDialog::outcomeReported, this,
            [this, key](ControlOutcome outcome, const QString &text) {
                landOutcome(key, outcome, text);
            });
}

void CommissioningController::landOutcome(const QString &key, ControlOutcome outcome,
                                          const QString &text)
{
    // The project may have changed while the dialog was open.
    const int row = rows->rowOfKey(key);
    if (row < 0 || !parts.project())
        return;
    if (outcome == ControlOutcome::Unknown)
        rows->setVerdict(row, CommissioningRecord::NotTested, text);
    else
        rows->setCommandOutcome(row, outcome == ControlOutcome::Positive, text);
    save();
}

bool CommissioningController::exportRecord()
{
    QMainWindow *window = parts.online->windowParts().window;
    if (rows->rowCount() == 0) {
        tell(tr("No commissioning record to export: open a project with bound signals."));
        return false;
    }
    const QVector<int> shown = recordPanel->filter()->shownRows();
    if (shown.isEmpty()) {
        tell(tr("The filter shows no row: nothing to export."));
        return false;
    }
    QInputDialog name(window);
    name.setObjectName(QStringLiteral("inputDialog_tester"));
    name.setWindowTitle(tr("Export Record"));
    name.setLabelText(tr("Tester named on the cover:"));
    name.setTextValue(CommissioningCover::loginName());
    if (UserPrompt::exec(&name) != QDialog::Accepted)
        return false;
    const QString tester = name.textValue().trimmed();
    if (tester.isEmpty()) {
        UserPrompt::warning(window, ProgramTitle,
                            tr("The hand-over names its tester: type a name."));
        return false;
    }
    QSettings settings;
    const QString proposed = QStringLiteral("%1-commissioning-%2.xlsx")
                                 .arg(QFileInfo(parts.projectPath()).completeBaseName(),
                                      QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    const QString path = UserPrompt::saveFileName(
        window, tr("Export Record"),
        UserPrompt::startFile(settings.value(QStringLiteral("lastExportPath")).toString(),
                              proposed),
        tr("Excel Files (*.xlsx)"));
    if (path.isEmpty())
        return false;
    settings.setValue(QStringLiteral("lastExportPath"), QFileInfo(path).absolutePath());

    CommissioningCover cover =
        CommissioningCover::fromProject(*parts.online->windowParts().scl, parts.projectPath());
    if (!rows->deviceAddress().isEmpty())
        cover.address = rows->deviceAddress();
    cover.tester = tester;
    QString problem;
    if (!CommissioningWorkbook::write(path, *rows, cover, &problem, shown)) {
        UserPrompt::warning(window, ProgramTitle,
                            tr("The record could not be exported to %1: %2").arg(path, problem));
        return false;
    }
    window->statusBar()->showMessage(
        tr("Exported the commissioning record (%n rows) to %1.", nullptr, shown.size())
            .arg(QFileInfo(path).fileName()),
        StatusMessageMs);
    return true;
}

void CommissioningController::clearForNextProject()
{
    // What the dock shows belongs to the project going; so do the values of
    // a session still ending.
    projectGone = true;
    stop();
    rows->setPoints({});
    rows->setDeviceAddress(QString());
    recordPanel->setStatus(QString());
}
