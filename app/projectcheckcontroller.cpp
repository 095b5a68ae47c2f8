#include "projectcheckcontroller.h"

#include "comparesource.h"
#include "filekinds.h"
#include "findingsmodel.h"
#include "findingspanel.h"
#include "liveiedsource.h"
#include "onlinecontroller.h"
#include "projectpicks.h"
#include "projectupdate.h"
#include "scldataexporter.h"
#include "sclmodel.h"
#include "sclparser.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "userprompt.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QThread>

// One live check: the source works on the thread, the rest waits for it.
struct LiveCheckRun
{
    LiveCheckRun(const QString &host, int port, const ProjectPicks &picks)
        : picks(picks), source(host, port, picks.iedName, LiveIedSource::devicesOf(picks))
    {
    }
    ProjectPicks picks;
    SelectionMarks::Rows rows;
    LiveIedSource source;
    ModelSnapshot found;
    QString problem;
    bool fetched = false;
    // The project closed meanwhile: the result no longer belongs to anything shown.
    bool stale = false;
};

namespace {

constexpr int StatusMessageMs = 15000;

QString summaryText(const CompareFindings &findings, int pickCount, const QString &source)
{
    if (findings.isEmpty())
        return QCoreApplication::translate("ProjectCheckController",
                                           "No differences: %1 picks checked against %2.")
            .arg(pickCount)
            .arg(source);
    int counts[3] = {0, 0, 0};
    for (const CompareFinding &finding : findings)
        ++counts[int(finding.severity)];
    return QCoreApplication::translate("ProjectCheckController",
                                       "%1 picks checked against %2: %3 errors, %4 warnings, "
                                       "%5 infos.")
        .arg(pickCount)
        .arg(source)
        .arg(counts[0])
        .arg(counts[1])
        .arg(counts[2]);
}

// The sources word their problems for a command line's error line.
QString sentence(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
}

} // namespace

ProjectCheckController::ProjectCheckController(const ProjectCheckParts &parts, QObject *parent)
    : QObject(parent), parts(parts), projectMenu(new QMenu(tr("&Project"), parts.window)),
      findingsModel(new FindingsModel(this)),
      findingsPanel(new FindingsPanel(findingsModel, parts.window)),
      rowMarks(new SelectionMarks(parts.objects, parts.datasets, parts.reports, parts.window, this))
{
    projectMenu->setObjectName(QStringLiteral("menuProject"));
    iedAction = projectMenu->addAction(tr("Check against IED"), this,
                                       &ProjectCheckController::checkAgainstIed);
    iedAction->setObjectName(QStringLiteral("actionCheckAgainstIed"));
    fileAction = projectMenu->addAction(tr("Check against SCL file..."), this,
                                        &ProjectCheckController::checkAgainstSclFile);
    fileAction->setObjectName(QStringLiteral("actionCheckAgainstSclFile"));
    projectMenu->addSeparator();
    updateAction = projectMenu->addAction(tr("Update from SCL file..."), this,
                                          &ProjectCheckController::updateFromSclFile);
    updateAction->setObjectName(QStringLiteral("actionUpdateFromSclFile"));
    projectMenu->addSeparator();
    QAction *showList = findingsPanel->toggleViewAction();
    showList->setText(tr("Findings List"));
    projectMenu->addAction(showList);

    QMenuBar *bar = parts.window->menuBar();
    const QMenu *about = bar->findChild<QMenu *>(QStringLiteral("menuAbout"));
    bar->insertMenu(about ? about->menuAction() : nullptr, projectMenu);
    connect(projectMenu, &QMenu::aboutToShow, this, &ProjectCheckController::updateActions);

    parts.window->addDockWidget(Qt::BottomDockWidgetArea, findingsPanel);
    findingsPanel->hide();

    // The marks and the list belong to the project they were made for.
    connect(parts.datasets, &QAbstractItemModel::modelAboutToBeReset, this,
            &ProjectCheckController::onProjectReset);
    updateActions();
}

ProjectCheckController::~ProjectCheckController()
{
    if (thread) {
        running->source.cancel();
        thread->wait();
        delete thread;
    }
}

bool ProjectCheckController::hasModel() const
{
    const QStandardItem *ied = parts.scl->item(0);
    return ied && ied->data(KindRole).toInt() == IedKind;
}

void ProjectCheckController::updateActions()
{
    const bool idle = !running;
    iedAction->setEnabled(idle && hasModel());
    fileAction->setEnabled(idle && hasModel());
    updateAction->setEnabled(idle && parts.project() && !parts.projectPath().isEmpty());
}

void ProjectCheckController::status(const QString &text)
{
    parts.window->statusBar()->showMessage(text, StatusMessageMs);
}

void ProjectCheckController::onProjectReset()
{
    if (running) {
        running->stale = true;
        running->source.cancel();
    }
    if (!reopening)
        findingsPanel->clear();
}

QString ProjectCheckController::chooseSclFile(const QString &caption)
{
    QSettings settings;
    const QString folder = settings.value(QStringLiteral("lastSclPath")).toString();
    const QString path = UserPrompt::openFileName(
        parts.window, caption, UserPrompt::startFolder(folder), FileKinds::sclFiles());
    if (!path.isEmpty())
        settings.setValue(QStringLiteral("lastSclPath"), QFileInfo(path).absolutePath());
    return path;
}

QString ProjectCheckController::chooseIed(const QString &fileName, const QString &projectIed,
                                          bool *cancelled)
{
    *cancelled = false;
    const QStringList names = SclParser().loadIedNames(fileName);
    if (names.size() <= 1 || names.contains(projectIed))
        return QString();
    QMenu menu(parts.window);
    menu.setTitle(tr("IED of %1").arg(QFileInfo(fileName).fileName()));
    for (const QString &name : names)
        menu.addAction(name);
    const QAction *chosen = UserPrompt::exec(&menu, QCursor::pos());
    *cancelled = !chosen;
    return chosen ? chosen->text() : QString();
}

void ProjectCheckController::showFindings(const ComparisonResult &result, int pickCount,
                                          const QString &source, const SelectionMarks::Rows &rows)
{
    findingsModel->setFindings(result.findings);
    rowMarks->mark(result.findings, rows);
    const QString summary = summaryText(result.findings, pickCount, source);
    findingsPanel->showList(summary);
    status(summary);
}

void ProjectCheckController::checkAgainstSclFile()
{
    if (!hasModel() || running)
        return;
    const QString fileName = chooseSclFile(tr("Check against SCL file"));
    if (fileName.isEmpty())
        return;
    const ProjectPicks picks =
        ProjectPicks::fromModels(parts.scl, parts.objects, parts.datasets, parts.reports);
    bool cancelled = false;
    const QString ied = chooseIed(fileName, picks.iedName, &cancelled);
    if (cancelled)
        return;
    const SelectionMarks::Rows rows = rowMarks->capture();
    rowMarks->clear();
    findingsPanel->clear();
    status(tr("Reading %1 ...").arg(QDir::toNativeSeparators(fileName)));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SclFileSource source(fileName, ied, picks.iedName);
    ModelSnapshot found;
    QString problem;
    const bool fetched = source.fetch(&found, &problem);
    QApplication::restoreOverrideCursor();
    if (!fetched) {
        parts.window->statusBar()->clearMessage();
        UserPrompt::warning(parts.window, tr("Check against SCL file"), sentence(problem));
        return;
    }
    showFindings(CompareEngine::compare(picks, found), picks.count(), source.description(), rows);
}

void ProjectCheckController::checkAgainstIed()
{
    if (!hasModel() || running)
        return;
    const QString host = parts.online->host();
    const int port = parts.online->port();
    if (host.isEmpty() || port <= 0 || port > 65535) {
        UserPrompt::warning(parts.window, tr("Check against IED"),
                            tr("No IED address: fill the IP address and port of the top panel "
                               "or open a project whose connection has them."));
        return;
    }
    running = std::make_shared<LiveCheckRun>(
        host, port,
        ProjectPicks::fromModels(parts.scl, parts.objects, parts.datasets, parts.reports));
    running->rows = rowMarks->capture();
    rowMarks->clear();
    findingsPanel->clear();
    updateActions();
    const QString address = running->source.description();
    status(tr("Checking against %1 ...").arg(address));
    running->source.setProgress([this, address](const QString &node) {
        QMetaObject::invokeMethod(
            this, [this, address, node] { status(tr("Checking %1: %2").arg(address, node)); },
            Qt::QueuedConnection);
    });
    std::shared_ptr<LiveCheckRun> run = running;
    thread =
        QThread::create([run] { run->fetched = run->source.fetch(&run->found, &run->problem); });
    connect(thread, &QThread::finished, this, &ProjectCheckController::onLiveFinished);
    thread->start();
}

void ProjectCheckController::onLiveFinished()
{
    const std::shared_ptr<LiveCheckRun> run = std::move(running);
    thread->wait();
    delete thread;
    thread = nullptr;
    updateActions();
    if (run->stale) {
        parts.window->statusBar()->clearMessage();
    } else if (!run->fetched) {
        parts.window->statusBar()->clearMessage();
        UserPrompt::warning(parts.window, tr("Check against IED"), sentence(run->problem));
    } else {
        showFindings(CompareEngine::compare(run->picks, run->found), run->picks.count(),
                     run->source.description(), run->rows);
    }
    emit liveCheckFinished();
}

void ProjectCheckController::updateFromSclFile()
{
    Iec61850DbManager *db = parts.project();
    if (!db || parts.projectPath().isEmpty() || running)
        return;
    const QString title = tr("Update from SCL file");
    if (parts.window->isWindowModified()) {
        UserPrompt::warning(parts.window, title,
                            tr("The selections have unsaved changes. Save or discard them "
                               "before the project is updated."));
        return;
    }
    const QString fileName = chooseSclFile(title);
    if (fileName.isEmpty())
        return;

    // The update works on the selections as the file holds them, so the
    // window changes only once the file has been written.
    SelectedObjectsModel objects;
    SelectedDatasetsModel datasets;
    SelectedReportsModel reports;
    connect(&datasets, &SelectedDatasetsModel::datasetUpdate, &reports,
            &SelectedReportsModel::onDataSetUpdate);
    {
        // The window showed these selections already, with their warnings.
        MessageCollector quiet;
        SclDataExporter().loadSelections(&objects, &datasets, &reports, db);
    }
    const ProjectPicks picks = ProjectPicks::fromModels(parts.scl, &objects, &datasets, &reports);
    bool cancelled = false;
    const QString ied = chooseIed(fileName, picks.iedName, &cancelled);
    if (cancelled)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SclFileSource source(fileName, ied, picks.iedName);
    ModelSnapshot found;
    QString problem;
    const bool fetched = source.fetch(&found, &problem);
    QApplication::restoreOverrideCursor();
    if (!fetched) {
        UserPrompt::warning(parts.window, title, sentence(problem));
        return;
    }
    const ComparisonResult result = CompareEngine::compare(picks, found);
    showFindings(result, picks.count(), source.description(), rowMarks->capture());

    const int vanishing = result.objectResolved.count(false) + result.dataSetResolved.count(false) +
                          result.reportResolved.count(false);
    PromptMessage question;
    question.kind = PromptMessage::Question;
    question.parent = parts.window;
    question.title = title;
    question.text = tr("Update the project from %1?\n\n%2 of %3 picks no longer resolve and will "
                       "be removed; the others keep their bindings and settings.")
                        .arg(source.description())
                        .arg(vanishing)
                        .arg(picks.count());
    question.buttons = QMessageBox::Yes | QMessageBox::No;
    question.defaultButton = QMessageBox::No;
    if (UserPrompt::current().message(question) != QMessageBox::Yes)
        return;

    ProjectUpdate update(source.model(), found, &objects, &datasets, &reports);
    QVector<RemovedPick> removed;
    bool written = false;
    {
        // What the edits of the selections would say is in the removed list.
        MessageCollector quiet;
        removed = update.applyToSelections(picks, result);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        written = update.writeProject(db);
        QApplication::restoreOverrideCursor();
    }
    if (!written) {
        UserPrompt::warning(parts.window, title,
                            tr("The project could not be updated; it was left as it was."));
        return;
    }
    reopening = true;
    parts.reopen();
    reopening = false;
    findingsModel->setRemovedPicks(removed);
    const QString summary = tr("Updated from %1: %2 picks kept, %3 removed.")
                                .arg(source.description())
                                .arg(picks.count() - removed.size())
                                .arg(removed.size());
    findingsPanel->showList(summary);
    status(summary);
}
