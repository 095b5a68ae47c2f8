#include "newprojectdialog.h"
#include "ui_newprojectdialog.h"

#include "iedcheckcounts.h"
#include "newprojectfile.h"
#include "parseprogressrelay.h"
#include "scldataexporter.h"
#include "sclparser.h"
#include "selecteditemsmodel.h"
#include "userprompt.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QThread>
#include <QTime>

namespace {
const QString LastProjectPathKey = QStringLiteral("lastProjectPath");

QString currentTime()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
}
} // namespace

NewProjectDialog::NewProjectDialog(const QString &sclFile, SelectedItemsModel *sclModel,
                                   QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::NewProjectDialog>())
{
    ui->setupUi(this);

    folder = QSettings().value(LastProjectPathKey, QDir::homePath()).toString();
    ui->lineEdit_folderPath->setText(folder);

    // An empty path names no file either: there is nothing to list or parse.
    if (sclFile.isEmpty()) {
        reject();
        close();
        return;
    }

    ui->lineEdit_SclFile->setText(sclFile);
    this->sclModel = sclModel;
    relay = new ParseProgressRelay(this);
    connect(relay, &ParseProgressRelay::logged, ui->plainTextEdit_2,
            &QPlainTextEdit::appendPlainText);
    connect(relay, &ParseProgressRelay::statusChanged, ui->label_progress, &QLabel::setText);
    connect(relay, &ParseProgressRelay::progressed, this, [this](int value, int maximum) {
        if (ui->progressBar->maximum() != maximum)
            ui->progressBar->setMaximum(maximum);
        ui->progressBar->setValue(value);
    });
    parser = std::make_unique<SclParser>(relay);
    QStringList iedNames;
    runAside([this, &iedNames, &sclFile] { iedNames = parser->loadIedNames(sclFile); });
    ui->comboBox_IED->clear();
    ui->comboBox_IED->insertItems(ui->comboBox_IED->count(), iedNames);
    if (iedNames.isEmpty()) {
        // Said here, where the engineer looks: an empty IED list alone explains nothing.
        const QString reason = parser->loadError();
        QString text = tr("%1 holds no IED or is not a readable SCL file")
                           .arg(QDir::toNativeSeparators(sclFile));
        if (!reason.isEmpty())
            text += QStringLiteral(" (%1)").arg(reason);
        ui->label_progress->setText(tr("Error"));
        ui->plainTextEdit_2->appendPlainText(tr("Error: %1").arg(text));
    }
    checkCounts = new IedCheckCounts(sclFile, ui->comboBox_IED, ui->horizontalLayout_3,
                                     ui->plainTextEdit_2, this);
}

NewProjectDialog::~NewProjectDialog() = default;

int NewProjectDialog::exec()
{
    if (!parser) {
        setResult(Rejected);
        return Rejected;
    }
    return QDialog::exec();
}

QString NewProjectDialog::filePath(const QString &folder, const QString &name)
{
    return folder + QLatin1Char('/') + name + QStringLiteral(".sclpro");
}

QString NewProjectDialog::projectFilePath() const
{
    return filePath(folder, name);
}

QString NewProjectDialog::existingFileText(const QString &path)
{
    return tr("The project file %1 exists already and was left as it is.\n"
              "Choose another name or folder, or open it with Open Project.")
        .arg(QDir::toNativeSeparators(path));
}

void NewProjectDialog::on_pushButton_createPro_clicked()
{
    // Refused before the parse, so the SCL model keeps what it holds and the
    // engineer can choose another name or folder.
    const QString target =
        filePath(ui->lineEdit_folderPath->text(), ui->lineEdit_projectName->text());
    if (QFileInfo::exists(target)) {
        UserPrompt::warning(this, QStringLiteral("Stationscope"), existingFileText(target));
        return;
    }

    ui->pushButton_cancel->setEnabled(false);
    ui->pushButton_createPro->setEnabled(false);
    ui->lineEdit_projectName->setEnabled(false);
    ui->lineEdit_folderPath->setEnabled(false);

    const bool wasSuppressed = sclModel && sclModel->isNodeChangedSuppressed();
    if (sclModel)
        sclModel->setNodeChangedSuppressed(true);

    // The project goes where the form says, also when the folder was typed.
    if (loadScl() && writeProject(target)) {
        ui->stackedWidget_buttons->setCurrentWidget(ui->page_final);
        name = ui->lineEdit_projectName->text();
        folder = ui->lineEdit_folderPath->text();
        created = target;
        // The file is written: another folder could no longer move it.
        ui->toolButton_folderSelect->setEnabled(false);
    } else {
        ui->stackedWidget_buttons->setCurrentWidget(ui->page_initial);
        ui->pushButton_cancel->setEnabled(true);
    }

    if (sclModel)
        sclModel->setNodeChangedSuppressed(wasSuppressed);
}

bool NewProjectDialog::writeProject(const QString &target)
{
    ui->label_progress->setText(tr("Writing"));
    SclDataExporter writer;
    connect(&writer, &SclDataExporter::progressUpdated, this, [this](int percent) {
        ui->progressBar->setRange(0, 100);
        ui->progressBar->setValue(percent);
        // Painted, but no click reaches the half-made project.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    QString problem;
    qDebug().noquote() << "writeProjectToDb started at :" << currentTime();
    const NewProjectFile::Outcome outcome =
        NewProjectFile::write(target, sclModel, nullptr, &writer, &problem);
    qDebug().noquote() << "writeProjectToDb ended   at :" << currentTime();
    if (outcome == NewProjectFile::Outcome::Written) {
        ui->progressBar->setValue(100);
        ui->label_progress->setText(tr("Finished"));
        return true;
    }
    ui->label_progress->setText(tr("Error"));
    const QString shown = QDir::toNativeSeparators(target);
    const QString text =
        outcome == NewProjectFile::Outcome::NotCreated
            ? tr("Cannot open/create project data table. Try running\n the application in "
                 "Administrator mode or move the project\nfiles to a proper location %1")
                  .arg(shown + QStringLiteral(" - ") + problem)
            : tr("The project %1 was not created: %2.\nNothing was left under that name.")
                  .arg(shown, problem);
    ui->plainTextEdit_2->appendPlainText(tr("Error: %1").arg(text));
    UserPrompt::warning(this, QStringLiteral("Stationscope"), text);
    return false;
}

void NewProjectDialog::on_pushButton_cancel_clicked()
{
    reject();
    close();
}

void NewProjectDialog::runAside(const std::function<void()> &work)
{
    // The window paints and its other work goes on, but no click reaches the
    // dialog or the model being filled.
    QEventLoop loop;
    std::unique_ptr<QThread> thread(QThread::create(work));
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
}

bool NewProjectDialog::loadScl()
{
    if (ui->lineEdit_SclFile->text().isEmpty() || !parser || !sclModel)
        return false;

    const QString iedName = ui->comboBox_IED->currentText();
    sclModel->clearSelection();

    qDebug().noquote() << "Parsing started at :" << currentTime();
    bool parsed = false;
    runAside([this, &parsed, &iedName] { parsed = parser->parse(iedName, sclModel); });
    if (parsed) {
        ui->label_progress->setText(tr("Finished"));
        qDebug().noquote() << "Parsing completed at :" << currentTime();
        return true;
    }

    ui->label_progress->setText(tr("Error"));
    ui->plainTextEdit_2->appendPlainText(tr("Error: Cannot parse file"));
    return false;
}

void NewProjectDialog::on_pushButton_clicked()
{
    accept();
    close();
}

void NewProjectDialog::on_lineEdit_projectName_textChanged(const QString &arg1)
{
    // Once a parse ran the name is fixed, also against programmatic edits.
    ui->pushButton_createPro->setEnabled(!arg1.isEmpty() &&
                                         ui->lineEdit_projectName->isEnabledTo(this));
}

void NewProjectDialog::on_toolButton_folderSelect_clicked()
{
    const QString chosen = UserPrompt::existingDirectory(
        this, tr("Select Project Path"), ui->lineEdit_folderPath->text(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (chosen.isEmpty())
        return;

    QSettings().setValue(LastProjectPathKey, chosen);
    ui->lineEdit_folderPath->setText(chosen);
    folder = chosen;
}
