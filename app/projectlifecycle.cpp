// The File menu's work: creating, opening, saving and closing a project, the
// recent-files menus and the progress dialog that long jobs run under.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ciditemstree.h"
#include "iec61850dbmanager.h"
#include "newprojectdialog.h"
#include "recentfiles.h"
#include "scldataexporter.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "sqliteconnector.h"
#include "tagselectbox.h"
#include "treeviewcontainer.h"
#include "userprompt.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSettings>
#include <QSqlError>
#include <QStandardItemModel>

namespace {
const QString ProgramTitle = QStringLiteral("Stationscope");

QString settingsPath(const char *key)
{
    return QSettings().value(QLatin1String(key), QDir::homePath()).toString();
}

QString timeOfDay()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
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
    // The manager goes before its connector, which gives the fixed connection
    // name back for the next project.
    dbManager.reset();
    connector.reset();
    ui->widget_treeContainer->clearAll();
    signalModel->clear();
    projectPath.clear();
    workbookPath.clear();
    setTitle(projectPath);
}

bool MainWindow::closeStep()
{
    if (projectPath.isEmpty() && workbookPath.isEmpty())
        return true;
    if (!confirmClose())
        return false;
    closeProject();
    return true;
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

bool MainWindow::connectProject(const QString &path, bool creating)
{
    auto candidate = std::make_unique<SqliteConnector>();
    candidate->setDatabaseName(path);
    if (!candidate->open()) {
        QString error = candidate->database().lastError().text();
        if (!error.trimmed().isEmpty())
            error.prepend(QStringLiteral(" - "));
        const QString text =
            creating ? tr("Cannot open/create project data table. Try running\n the application in "
                          "Administrator mode or move the project\nfiles to a proper location %1")
                           .arg(QDir::toNativeSeparators(path) + error)
                     : tr("Cannot open/create project data table. Try running\n the application in "
                          "Administrator mode or move the project\nfiles to a proper location") +
                           QStringLiteral("\n") + QDir::toNativeSeparators(path);
        UserPrompt::warning(nullptr, ProgramTitle, text);
        return false;
    }
    connector = std::move(candidate);
    dbManager = std::make_unique<Iec61850DbManager>(connector.get());
    return true;
}

void MainWindow::on_actionNew_Project_triggered()
{
    if (!closeStep())
        return;
    const QString sclFile = UserPrompt::openFileName(
        this, tr("Select Config file for the project"), settingsPath("lastConfigPath"),
        tr("IEC61850 Conf files (*.scl *.cid *.scd);;"));
    if (sclFile.isEmpty())
        return;
    QSettings().setValue(QStringLiteral("lastConfigPath"), QFileInfo(sclFile).absolutePath());

    ui->widget_treeContainer->setSclModel(nullptr);
    NewProjectDialog dialog(sclFile, sclModel.get(), this);
    if (UserPrompt::exec(&dialog) == QDialog::Accepted) {
        const QString path =
            dialog.projectFolder() + QLatin1Char('/') + dialog.projectName() + ".sclpro";
        if (QFileInfo::exists(path)) {
            // Never overwrite another project; the engineer chooses another name.
            UserPrompt::warning(nullptr, ProgramTitle,
                                tr("The project file %1 exists already and was left as it is.\n"
                                   "Choose another name or folder, or open it with Open Project.")
                                    .arg(QDir::toNativeSeparators(path)));
            ui->widget_treeContainer->clearAll();
        } else {
            createProject(path);
        }
    }
    ui->widget_treeContainer->setSclModel(sclModel.get());
}

void MainWindow::createProject(const QString &path)
{
    if (!connectProject(path, true)) {
        ui->widget_treeContainer->clearAll();
        return;
    }
    projectPath = path;
    setTitle(QFileInfo(path).fileName());
    addRecent(projectPath, RecentFiles::Projects);
    buildRecentMenu(ui->menuRecent_Projects, RecentFiles::Projects);
    dbManager->createSelectionTables();
    dbManager->createModelTables();
    SclDataExporter worker;
    qDebug().noquote() << "writeProjectToDb started at :" << timeOfDay();
    runJob(&worker, tr("Save process..."), tr("Saving Db for project..."),
           [&] { worker.writeSclModel(sclModel.get(), dbManager.get()); });
    qDebug().noquote() << "writeProjectToDb ended   at :" << timeOfDay();
}

void MainWindow::on_actionOpen_Project_triggered()
{
    if (!closeStep())
        return;
    const QString file =
        UserPrompt::openFileName(this, tr("Scl Project"), settingsPath("lastProjectPath"),
                                 tr("SCL Project files (*.sclpro);"));
    if (!file.isEmpty())
        openRecent(file, RecentFiles::Projects);
}

void MainWindow::openRecent(const QString &path, const QString &group)
{
    if (!closeStep() || path.isEmpty())
        return;
    if (group == RecentFiles::Projects) {
        QSettings().setValue(QStringLiteral("lastProjectPath"), QFileInfo(path).absolutePath());
        addRecent(path, group);
        buildRecentMenu(ui->menuRecent_Projects, group);
        // Opening must never create a file: a stale entry or a mistyped path
        // would otherwise leave an empty project behind.
        if (!QFileInfo(path).isFile()) {
            UserPrompt::warning(
                nullptr, ProgramTitle,
                tr("The project file %1 does not exist.").arg(QDir::toNativeSeparators(path)));
            return;
        }
        if (connectProject(path, false))
            loadProject(path);
    } else if (group == RecentFiles::Workbooks) {
        QSettings().setValue(QStringLiteral("lastExportPath"), QFileInfo(path).absolutePath());
        addRecent(path, group);
        buildRecentMenu(ui->menuRecent_Excell_imports, group);
        importWorkbook(path);
    }
}

void MainWindow::importWorkbook(const QString &path)
{
    // Read first: a file that is no usable workbook leaves every model as it was.
    SclDataExporter importer;
    SclDataExporter::WorkbookContent content;
    if (!importer.readWorkbook(path, &content))
        return;
    sclModel->clearSelection();
    const bool imported = importer.importWorkbook(content, sclModel.get(), objectsModel.get(),
                                                  datasetsModel.get(), reportsModel.get(), nullptr);
    if (imported) {
        workbookPath = path;
        setTitle(QFileInfo(path).fileName());
    }
}

void MainWindow::loadProject(const QString &path)
{
    projectPath = path;
    setTitle(QFileInfo(path).fileName());
    dbManager->upgradeProject();

    SclDataExporter modelWorker;
    runJob(&modelWorker, tr("Load process..."), tr("Loading Db for project..."),
           [&] { modelWorker.loadSclModel(sclModel.get(), dbManager.get()); });
    SclDataExporter selectionWorker;
    runJob(&selectionWorker, tr("Load process..."), tr("Loading project from db..."), [&] {
        selectionWorker.loadSelections(objectsModel.get(), datasetsModel.get(), reportsModel.get(),
                                       dbManager.get());
    });

    ui->treeView_signals->setModel(nullptr);
    SclDataExporter().loadSignals(signalModel.get(), dbManager.get());
    showSignalList();
}

void MainWindow::showSignalList()
{
    ui->treeView_signals->setModel(signalModel.get());
    ui->widget_tagSelect->setSignalModel(signalModel.get());
    ui->widget_tagSelect->clearTagFilter();
}

void MainWindow::on_actionSave_Project_triggered()
{
    if (!dbManager)
        return;
    SclDataExporter worker;
    runJob(&worker, tr("Save process..."), tr("Saving Project..."), [&] {
        if (!worker.writeSelections(objectsModel.get(), datasetsModel.get(), reportsModel.get(),
                                    dbManager.get()))
            qWarning() << "Saving the selections failed; the project file was left as it was";
    });
}

void MainWindow::on_actionClose_Project_triggered()
{
    closeProject();
}

void MainWindow::on_actionExport_to_excell_triggered()
{
    const QStandardItem *ied = sclModel->item(0, 0);
    // Without an IED the export only warns; the name just has to be a name.
    const QString name = proposedExportName(ied ? ied->text() : QStringLiteral("NoDevice"),
                                            QDateTime::currentDateTime());
    const QString file = UserPrompt::saveFileName(
        this, tr("Save File"), settingsPath("lastExportPath") + QLatin1Char('/') + name,
        tr("Excel Files (*.xlsx);;All Files (*)"));
    if (file.isEmpty())
        return;
    QSettings().setValue(QStringLiteral("lastExportPath"), QFileInfo(file).absolutePath());
    SclDataExporter worker;
    runJob(&worker, tr("Export process..."), tr("Exporting project..."), [&] {
        worker.exportWorkbook(file, sclModel.get(), objectsModel.get(), datasetsModel.get(),
                              reportsModel.get());
    });
}

void MainWindow::on_actionImport_from_excell_triggered()
{
    const QString file = UserPrompt::openFileName(
        this, tr("Open IEC61850 Import Data"),
        settingsPath("lastExportPath") + tr("/importIEC61850.xlsx"), tr("Excel File (*.xlsx)"));
    if (!file.isEmpty())
        openRecent(file, RecentFiles::Workbooks);
}
