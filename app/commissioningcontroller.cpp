#include "commissioningcontroller.h"

#include "commissioningcoverfill.h"
#include "commissioningfilter.h"
#include "commissioningnamesdialog.h"
#include "commissioningpanel.h"
#include "commissioningpdf.h"
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
const QString CommissioningController::TesterKey = QStringLiteral("commissioningTester");

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
    passWithoutQuality = false;
    QString problem;
    if (!CommissioningStore(project).load(rows, &problem))
        tell(tr("The commissioning record could not be read: %1").arg(problem));
    // Sorted by what the file kept, as the header says.
    recordPanel->filter()->refresh();
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
    session->setAwaitIdentity(true);
    connect(session, &CommissioningSession::identified, this,
            &CommissioningController::onIdentified);
    connect(session, &CommissioningSession::blockRefused, this,
            &CommissioningController::onBlockRefused);
    connect(session, &CommissioningSession::blockEnabled, rows,
            &CommissioningRecord::setBlockDelivered);
    connect(session, &CommissioningSession::failed, this, &CommissioningController::onFailed);
    connect(session, &CommissioningSession::finished, this, &CommissioningController::onFinished);
    observations = 0;
    failure.clear();
    projectGone = false;
    connected = false;
    declined = false;
    thread->start();
    QMetaObject::invokeMethod(session, &CommissioningSession::run, Qt::QueuedConnection);
    recordPanel->setRunning(true);
    recordPanel->setStatus(tr("Connecting to %1 ...").arg(addressText(host, port)));
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
    if (declined) {
        recordPanel->setStatus(tr("Not started: the device is not the record's"));
        emit sessionFinished();
        return;
    }
    if (!connected) {
        // Nothing happened on the device: the file stays as it was.
        rows->sessionEnded(CommissioningSessionOutcome::NotConnected, failure);
        recordPanel->setStatus(tr("Not connected: nothing observed (%1)").arg(failure));
        emit sessionFinished();
        return;
    }
    rows->sessionEnded(failure.isEmpty() ? CommissioningSessionOutcome::Ran
                                         : CommissioningSessionOutcome::EndedEarly,
                       failure);
    const bool saved = save();
    const QString seen = tr("%n values seen", nullptr, observations);
    if (!failure.isEmpty())
        recordPanel->setStatus(tr("Ended early: %1 (%2)").arg(failure, seen));
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
                                          const QString &note, bool noteTyped)
{
    int refused = 0;
    for (int row : rowList) {
        const QString rowNote = noteTyped ? note : rows->observation(row).note;
        if (!rows->setVerdict(row, CommissioningRecord::Verdict(verdict), rowNote))
            ++refused;
    }
    if (refused > 0)
        tell(tr("%n rows were never seen and cannot be passed.", nullptr, refused));
    if (refused < rowList.size() && save())
        recordPanel->filter()->refresh();
}

void CommissioningController::pass(const QVector<int> &rowList)
{
    int passed = 0;
    QVector<int> withoutQuality;
    for (int row : rowList) {
        if (rows->observation(row).verdict == CommissioningRecord::Passed)
            continue;
        if (rows->isPassableWithoutQuality(row))
            withoutQuality << row;
        else if (rows->isPassable(row) &&
                 rows->setVerdict(row, CommissioningRecord::Passed, rows->observation(row).note))
            ++passed;
    }
    if (!withoutQuality.isEmpty() && agreeToPassWithoutQuality(withoutQuality.size())) {
        for (int row : qAsConst(withoutQuality)) {
            const QString note = rows->observation(row).note;
            const QString said = tr("passed without quality: the device sent none");
            if (rows->setVerdict(row, CommissioningRecord::Passed,
                                 note.isEmpty() ? said : note + QStringLiteral("; ") + said))
                ++passed;
        }
    }
    if (passed == 0) {
        if (withoutQuality.isEmpty())
            tell(tr("Not passable yet: a row is passed with one key once its value changed and "
                    "arrived with good quality."));
        return;
    }
    if (save())
        recordPanel->filter()->refresh();
}

bool CommissioningController::agreeToPassWithoutQuality(int count)
{
    if (passWithoutQuality)
        return true;
    PromptMessage question;
    question.kind = PromptMessage::Question;
    question.parent = recordPanel;
    question.title = tr("Commissioning");
    question.text = tr("The device sends no quality with %n of these rows (their data set "
                       "carries none): their values changed, but whether they were good is not "
                       "known.\n\nPass such rows on their change alone? The note says so; "
                       "you are not asked again for this project.",
                       nullptr, count);
    question.buttons = QMessageBox::Yes | QMessageBox::No;
    question.defaultButton = QMessageBox::No;
    passWithoutQuality = UserPrompt::current().message(question) == QMessageBox::Yes;
    return passWithoutQuality;
}

void CommissioningController::onIdentified(const CommissioningDevice &device)
{
    if (!session)
        return;
    connected = true;
    CommissioningDevice tested = device;
    tested.iedName =
        CommissioningCover::fromProject(*parts.online->windowParts().scl, QString()).ied;
    if (!projectGone && !settleDeviceChange(tested)) {
        declined = true;
        session->stop();
        return;
    }
    if (!projectGone) {
        rows->setDevice(tested);
        rows->sessionStarted();
    }
    session->proceed();
}

bool CommissioningController::settleDeviceChange(const CommissioningDevice &device)
{
    const CommissioningSummary summary = rows->summary();
    const bool recorded = summary.neverSeen < summary.rows || summary.passed + summary.failed > 0;
    const QStringList differences = rows->device().differencesFrom(device);
    if (!recorded || differences.isEmpty())
        return true;
    PromptMessage question;
    question.kind = PromptMessage::Question;
    question.parent = recordPanel;
    question.title = tr("Commissioning");
    question.text = tr("This device is not the one the record was taken on:\n%1\n\n"
                       "Yes starts a new record (the old one is kept as history in the "
                       "project); No goes on with this record, each row starting again from "
                       "its next value; Cancel does not start.")
                        .arg(differences.join(QLatin1Char('\n')));
    question.buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    question.defaultButton = QMessageBox::Yes;
    switch (UserPrompt::current().message(question)) {
    case QMessageBox::Yes: {
        QString problem;
        if (!CommissioningStore(parts.project()).archive(*rows, &problem)) {
            UserPrompt::warning(recordPanel, ProgramTitle,
                                tr("The record could not be kept as history: %1").arg(problem));
            return false;
        }
        rows->startOver();
        tell(tr("A new commissioning record starts; the earlier one is kept in the project."));
        return true;
    }
    case QMessageBox::No:
        rows->markDeviceChange();
        return true;
    default:
        return false;
    }
}

void CommissioningController::onBlockRefused(const QString &block, const QString &reason)
{
    if (projectGone)
        return;
    rows->setBlockRefused(block, reason);
    tell(tr("Not enabled: %1").arg(reason));
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
    const QString tested = dialog->address();
    connect(dialog, &ControlTestDialog::outcomeReported, this,
            [this, key, tested](ControlOutcome outcome, const QString &text) {
                landOutcome(key, outcome, text, tested);
            });
}

void CommissioningController::landOutcome(const QString &key, ControlOutcome outcome,
                                          const QString &text, const QString &testedAddress)
{
    // The project may have changed while the dialog was open.
    const int row = rows->rowOfKey(key);
    if (row < 0 || !parts.project())
        return;
    if (outcome == ControlOutcome::Unknown)
        rows->setVerdict(row, CommissioningRecord::NotTested,
                         tr("%1 (at %2)").arg(text, testedAddress));
    else
        rows->setCommandOutcome(row, outcome == ControlOutcome::Positive, text, testedAddress);
    save();
    recordPanel->filter()->refresh();
}

bool CommissioningController::exportRecord()
{
    QMainWindow *window = parts.online->windowParts().window;
    if (rows->rowCount() == 0) {
        tell(tr("No commissioning record to export: open a project with bound signals."));
        return false;
    }
    QVector<int> exported = recordPanel->filter()->shownRows();
    QString rowFilter = recordPanel->filter()->description();
    if (exported.size() < rows->rowCount()) {
        PromptMessage question;
        question.kind = PromptMessage::Question;
        question.parent = recordPanel;
        question.title = tr("Export Record");
        question.text = tr("The table shows %1 of %2 rows (%3).\n\nExport every row? No "
                           "exports the rows shown, and the hand-over says so.")
                            .arg(exported.size())
                            .arg(rows->rowCount())
                            .arg(rowFilter);
        question.buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        question.defaultButton = QMessageBox::Yes;
        const QMessageBox::StandardButton answer = UserPrompt::current().message(question);
        if (answer == QMessageBox::Cancel)
            return false;
        if (answer == QMessageBox::Yes) {
            // Every row, in the order the table sorts them.
            CommissioningFilter all;
            all.setSourceModel(rows);
            all.sort(recordPanel->filter()->sortColumn(), recordPanel->filter()->sortOrder());
            exported = all.shownRows();
            rowFilter.clear();
        }
    }
    if (exported.isEmpty()) {
        tell(tr("The filter shows no row: nothing to export."));
        return false;
    }
    QSettings settings;
    CommissioningNamesDialog names(window);
    names.setTester(settings.value(TesterKey, CommissioningCover::loginName()).toString());
    if (UserPrompt::exec(&names) != QDialog::Accepted)
        return false;
    if (names.tester().isEmpty()) {
        UserPrompt::warning(window, ProgramTitle,
                            tr("The hand-over names its tester: type a name."));
        return false;
    }
    settings.setValue(TesterKey, names.tester());
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

    CommissioningCover cover = CommissioningCoverFill::fromRecord(
        *rows, *parts.online->windowParts().scl, parts.projectPath());
    cover.tester = names.tester();
    cover.witness = names.witness();
    cover.rowFilter = rowFilter;
    QString problem;
    if (!CommissioningHandOver::write(path, *rows, cover, &problem, exported)) {
        UserPrompt::warning(window, ProgramTitle,
                            tr("The record could not be exported to %1: %2").arg(path, problem));
        return false;
    }
    window->statusBar()->showMessage(
        tr("Exported the commissioning record (%n rows) to %1 and %2.", nullptr, exported.size())
            .arg(QFileInfo(path).fileName(),
                 QFileInfo(CommissioningPdf::pathBeside(path)).fileName()),
        StatusMessageMs);
    return true;
}

void CommissioningController::clearForNextProject()
{
    // What the dock shows belongs to the project going; so do the values of
    // a session still ending.
    projectGone = true;
    stop();
    rows->startOver();
    rows->setPoints({});
    rows->setDevice(CommissioningDevice());
    passWithoutQuality = false;
    recordPanel->setStatus(QString());
}
