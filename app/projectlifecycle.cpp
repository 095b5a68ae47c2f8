// The File menu's work: creating, opening, saving and closing a project, the
// recent-files menus and the progress dialog that long jobs run under.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ciditemstree.h"
#include "filekinds.h"
#include "iec61850dbmanager.h"
#include "livereportcontroller.h"
#include "newprojectdialog.h"
#include "onlinecontroller.h"
#include "projectfilecheck.h"
#include "recentfiles.h"
#include "scldataexporter.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "sqliteconnector.h"
#include "tagselectbox.h"
#include "treeviewcontainer.h"
#include "unsavedchangestracker.h"
#include "userprompt.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSettings>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QStatusBar>

namespace {
const QString ProgramTitle = QStringLiteral("Stationscope");

QString settingsPath(const char *key)
{
    return QSettings().value(QLatin1String(key)).toString();
}

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

int topLevelRows(const QList<QStandardItemModel *> &models)
{
    int rows = 0;
    for (const QStandardItemModel *model : models)
        rows += model->rowCount();
    return rows;
}

int allRows(const QList<QStandardItemModel *> &models)
{
    int rows = 0;
    for (const QStandardItemModel *model : models)
        rows += SclDataExporter::countNodes(model->invisibleRootItem());
    return rows;
}

QString picksText(int picks)
{
    return picks == 1 ? MainWindow::tr("1 pick") : MainWindow::tr("%1 picks").arg(picks);
}
} // namespace

QString MainWindow::proposedExportName(const QString &iedName, const QDateTime &time)
{
    return QStringLiteral("Kel61850Export-%1-%2.xlsx")
        .arg(iedName, time.toString(QStringLiteral("yyyyMMdd_hhmmss")));
}

bool MainWindow::confirmClose()
{
    PromptMessage question;
    question.kind = PromptMessage::Question;
    question.title = tr("Close Project/File");
    question.text = tr("This will close the current project/file.");
    question.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    question.defaultButton = QMessageBox::Cancel;
    return UserPrompt::current().message(question) == QMessageBox::Ok;
}

void MainWindow::closeProject()
{
    emit projectClosing();
    // The manager goes before its connector, which gives the fixed connection
    // name back for the next project.
    dbManager.reset();
    connector.reset();
    ui->widget_treeContainer->clearAll();
    signalModel->clear();
    // What was said about the project and where its signals came from go with it.
    ui->plainTextEdit_2->clear();
    ui->lineEdit_Labels->clear();
    projectPath.clear();
    workbookPath.clear();
    UserPrompt::setDocumentFolder(QString());
    setTitle(projectPath);
    unsavedChanges->reset();
}

bool MainWindow::mayCloseDocument()
{
    if (!onlineController->liveReports()->confirmDropLog())
        return false;
    if (projectPath.isEmpty() && workbookPath.isEmpty())
        return true;
    return unsavedChanges->isModified() ? settleUnsavedChanges() : confirmClose();
}

bool MainWindow::closeStep()
{
    if (!mayCloseDocument())
        return false;
    closeProject();
    return true;
}

bool MainWindow::settleUnsavedChanges()
{
    const QString document = projectPath.isEmpty() ? workbookPath : projectPath;
    if (document.isEmpty() || !unsavedChanges->isModified())
        return true;
    switch (UnsavedChangesTracker::askToSave(fileName(document), !projectPath.isEmpty())) {
    case UnsavedChangesTracker::Save:
        return saveProject();
    case UnsavedChangesTracker::Discard:
        return true;
    case UnsavedChangesTracker::Cancel:
        break;
    }
    return false;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (onlineController->liveReports()->confirmDropLog() && settleUnsavedChanges()) {
        emit projectClosing();
        saveGeometryOnClose();
        event->accept();
    } else
        event->ignore();
}

void MainWindow::addRecent(const QString &path, const QString &group)
{
    RecentFiles::add(path, group);
}

void MainWindow::buildRecentMenu(QMenu *menu, const QString &group)
{
    menu->clear();
    for (const QString &path : RecentFiles::entries(group)) {
        QAction *entry = menu->addAction(path);
        connect(entry, &QAction::triggered, this, [this, path, group] { openRecent(path, group); });
    }
    menu->addSeparator();
    QAction *clear = menu->addAction(tr("Clear Menu"));
    connect(clear, &QAction::triggered, this, [menu, group] {
        RecentFiles::clear(group);
        menu->clear();
    });
}

void MainWindow::runJob(SclDataExporter *worker, const QString &title, const QString &label,
                        const std::function<void()> &job)
{
    auto *dialog = new QProgressDialog(label, tr("Cancel"), 0, 100, this);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setWindowTitle(title);
    dialog->setMinimumDuration(0);
    dialog->setFixedWidth(400);
    dialog->setCancelButton(nullptr);
    connect(worker, &SclDataExporter::progressUpdated, this,
            [dialog](int progress) { dialog->setValue(progress); });
    connect(worker, &SclDataExporter::progressFinished, this, [dialog] {
        dialog->setValue(100);
        dialog->close();
        dialog->deleteLater();
    });
    dialog->show();
    job();
}

bool MainWindow::connectProject(const QString &path)
{
    auto candidate = std::make_unique<SqliteConnector>();
    candidate->setDatabaseName(path);
    if (!candidate->open()) {
        UserPrompt::warning(
            nullptr, ProgramTitle,
            tr("Cannot open/create project data table. Try running\n the application in "
               "Administrator mode or move the project\nfiles to a proper location") +
                QStringLiteral("\n") + QDir::toNativeSeparators(path));
        return false;
    }
    connector = std::move(candidate);
    dbManager = std::make_unique<Iec61850DbManager>(connector.get());
    return true;
}

void MainWindow::on_actionNew_Project_triggered()
{
    // Asked first, closed only once the new project exists: a new project
    // given up on leaves the open one as it was.
    if (!mayCloseDocument())
        return;
    const QString sclFile = UserPrompt::openFileName(
        this, tr("Select Config file for the project"),
        UserPrompt::startFolder(settingsPath("lastConfigPath")), FileKinds::sclFiles());
    if (sclFile.isEmpty())
        return;
    QSettings().setValue(QStringLiteral("lastConfigPath"), QFileInfo(sclFile).absolutePath());

    // The dialog parses and writes apart from the window's models.
    SelectedItemsModel parsed;
    NewProjectDialog dialog(sclFile, &parsed, this);
    UserPrompt::exec(&dialog);
    if (!dialog.createdProjectPath().isEmpty())
        openNewProject(dialog.createdProjectPath());
}

void MainWindow::openNewProject(const QString &path)
{
    closeProject();
    addRecent(path, RecentFiles::Projects);
    buildRecentMenu(ui->menuRecent_Projects, RecentFiles::Projects);
    if (connectProject(path))
        loadProject(path);
}

void MainWindow::on_actionOpen_Project_triggered()
{
    // The file is chosen first, so that a file that is no project leaves the
    // open one as it is.
    const QString file = UserPrompt::openFileName(
        this, tr("Scl Project"), UserPrompt::startFolder(settingsPath("lastProjectPath")),
        FileKinds::projectFiles());
    if (!file.isEmpty())
        openRecent(file, RecentFiles::Projects);
}

void MainWindow::openRecent(const QString &path, const QString &group)
{
    if (path.isEmpty())
        return;
    // A file that cannot be opened is refused before anything open is closed.
    if (group == RecentFiles::Projects) {
        // Opening must never create a file: a stale entry or a mistyped path
        // would otherwise leave an empty project behind.
        if (!QFileInfo(path).isFile()) {
            UserPrompt::warning(
                this, ProgramTitle,
                tr("The project file %1 does not exist.").arg(QDir::toNativeSeparators(path)));
            return;
        }
        QString reason;
        if (!ProjectFileCheck::isProject(path, &reason)) {
            UserPrompt::warning(this, ProgramTitle,
                                tr("%1 is no Stationscope project file and was not opened (%2).")
                                    .arg(QDir::toNativeSeparators(path), reason));
            return;
        }
        if (!closeStep())
            return;
        QSettings().setValue(QStringLiteral("lastProjectPath"), QFileInfo(path).absolutePath());
        addRecent(path, group);
        buildRecentMenu(ui->menuRecent_Projects, group);
        if (connectProject(path))
            loadProject(path);
    } else if (group == RecentFiles::Workbooks) {
        SclDataExporter importer;
        SclDataExporter::WorkbookContent content;
        if (!importer.readWorkbook(path, &content) || !closeStep())
            return;
        QSettings().setValue(QStringLiteral("lastExportPath"), QFileInfo(path).absolutePath());
        addRecent(path, group);
        buildRecentMenu(ui->menuRecent_Excell_imports, group);
        importWorkbook(path, content);
    }
}

void MainWindow::importWorkbook(const QString &path,
                                const SclDataExporter::WorkbookContent &content)
{
    {
        // The title gets its modified marker only once it names the workbook.
        const QSignalBlocker quiet(unsavedChanges);
        sclModel->clearSelection();
        const bool imported =
            SclDataExporter().importWorkbook(content, sclModel.get(), objectsModel.get(),
                                             datasetsModel.get(), reportsModel.get(), nullptr);
        if (imported) {
            workbookPath = path;
            UserPrompt::setDocumentFolder(QFileInfo(path).absolutePath());
            setTitle(fileName(path));
        }
    }
    unsavedChanges->reset();
}

void MainWindow::loadProject(const QString &path)
{
    projectPath = path;
    UserPrompt::setDocumentFolder(QFileInfo(path).absolutePath());
    setTitle(QFileInfo(path).fileName());
    QString reason;
    bool loaded = dbManager->upgradeProject(&reason);

    SclDataExporter modelWorker;
    if (loaded)
        runJob(&modelWorker, tr("Load process..."), tr("Loading Db for project..."), [&] {
            loaded = modelWorker.loadSclModel(sclModel.get(), dbManager.get(), &reason);
        });
    SclDataExporter selectionWorker;
    if (loaded) {
        // Loaded selections are what the file holds: no change to mark.
        const QSignalBlocker quiet(unsavedChanges);
        runJob(&selectionWorker, tr("Load process..."), tr("Loading project from db..."), [&] {
            loaded = selectionWorker.loadSelections(objectsModel.get(), datasetsModel.get(),
                                                    reportsModel.get(), dbManager.get(), &reason);
        });
    }

    ui->treeView_signals->setModel(nullptr);
    if (loaded)
        loaded = SclDataExporter().loadSignals(signalModel.get(), dbManager.get(), &reason);
    if (!loaded) {
        // Part of a project would read as a project with less in it.
        closeProject();
        UserPrompt::warning(this, ProgramTitle,
                            tr("The project %1 could not be opened: %2")
                                .arg(QDir::toNativeSeparators(path), reason));
        return;
    }
    showSignalList();
    unsavedChanges->reset();
    emit projectLoaded();
}

void MainWindow::showSignalList()
{
    ui->treeView_signals->setModel(signalModel.get());
    ui->widget_tagSelect->setSignalModel(signalModel.get());
    ui->widget_tagSelect->clearTagFilter();
}

void MainWindow::on_actionSave_Project_triggered()
{
    saveProject();
}

bool MainWindow::saveProject()
{
    if (!dbManager)
        return false;
    SclDataExporter worker;
    bool written = false;
    runJob(&worker, tr("Save process..."), tr("Saving Project..."), [&] {
        written = worker.writeSelections(objectsModel.get(), datasetsModel.get(),
                                         reportsModel.get(), dbManager.get());
    });
    const QString name = fileName(projectPath);
    if (!written) {
        statusBar()->clearMessage();
        UserPrompt::warning(
            this, ProgramTitle,
            tr("The selections could not be saved; %1 was left as it was.").arg(name));
        return false;
    }
    const QList<QStandardItemModel *> selections{objectsModel.get(), datasetsModel.get(),
                                                 reportsModel.get()};
    statusBar()->showMessage(tr("Saved %1 (%2 rows) to %3.")
                                 .arg(picksText(topLevelRows(selections)))
                                 .arg(allRows(selections))
                                 .arg(name));
    unsavedChanges->reset();
    return true;
}

void MainWindow::on_actionClose_Project_triggered()
{
    if (onlineController->liveReports()->confirmDropLog() && settleUnsavedChanges())
        closeProject();
}

void MainWindow::on_actionExport_to_excell_triggered()
{
    const QStandardItem *ied = sclModel->item(0, 0);
    // Without an IED the export only warns; the name just has to be a name.
    const QString name = proposedExportName(ied ? ied->text() : QStringLiteral("NoDevice"),
                                            QDateTime::currentDateTime());
    const QString file = UserPrompt::saveFileName(
        this, tr("Save File"), UserPrompt::startFile(settingsPath("lastExportPath"), name),
        tr("Excel Files (*.xlsx);;All Files (*)"));
    if (file.isEmpty())
        return;
    QSettings().setValue(QStringLiteral("lastExportPath"), QFileInfo(file).absolutePath());
    SclDataExporter worker;
    worker.setWorkbookProject(QFileInfo(projectPath).fileName());
    bool written = false;
    runJob(&worker, tr("Export process..."), tr("Exporting project..."), [&] {
        written = worker.exportWorkbook(file, sclModel.get(), objectsModel.get(),
                                        datasetsModel.get(), reportsModel.get());
    });
    if (!written) {
        statusBar()->clearMessage();
        return;
    }
    const int picks = topLevelRows({objectsModel.get(), datasetsModel.get(), reportsModel.get()});
    statusBar()->showMessage(tr("Exported %1 to %2.").arg(picksText(picks), fileName(file)));
}

void MainWindow::on_actionImport_from_excell_triggered()
{
    const QString file = UserPrompt::openFileName(
        this, tr("Open IEC61850 Import Data"),
        UserPrompt::startFile(settingsPath("lastExportPath"), tr("importIEC61850.xlsx")),
        tr("Excel File (*.xlsx)"));
    if (!file.isEmpty())
        openRecent(file, RecentFiles::Workbooks);
}
