#ifndef STATIONSCOPE_NEWPROJECTDIALOG_H
#define STATIONSCOPE_NEWPROJECTDIALOG_H

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

class IedCheckCounts;
class ParseProgressRelay;
class SclParser;
class SelectedItemsModel;

namespace Ui {
class NewProjectDialog;
}

// Lists the IEDs of an SCL file, lets the engineer pick one, name the project
// and choose its folder, parses the picked IED into the SCL model and writes
// the new project file from it. "Project Created" is shown once the file is
// complete under its name.
class NewProjectDialog : public QDialog
{
    Q_OBJECT

public:
    NewProjectDialog(const QString &sclFile, SelectedItemsModel *sclModel,
                     QWidget *parent = nullptr);
    ~NewProjectDialog() override;

    // Empty until a parse succeeded; then the name as typed, untrimmed.
    QString projectName() const { return name; }
    QString projectFolder() const { return folder; }
    // The Check button and the IEDs' finding counts; null without an SCL file.
    IedCheckCounts *iedCheck() const { return checkCounts; }
    // The project file the dialog stands for: folder, name and ".sclpro".
    QString projectFilePath() const;
    // The project file written, however the dialog was closed afterwards;
    // empty until then.
    QString createdProjectPath() const { return created; }
    // Why a project cannot be made onto the existing file at path.
    static QString existingFileText(const QString &path);

    // A dialog made without an SCL file is rejected at once; running it then
    // gives Rejected without showing an empty form.
    int exec() override;

private slots:
    void on_pushButton_createPro_clicked();
    void on_pushButton_cancel_clicked();
    bool loadScl();
    // Runs work on a thread of its own and waits for it without taking input.
    void runAside(const std::function<void()> &work);
    void on_pushButton_clicked();
    void on_lineEdit_projectName_textChanged(const QString &arg1);
    void on_toolButton_folderSelect_clicked();

private:
    static QString filePath(const QString &folder, const QString &name);
    bool writeProject(const QString &target);

    std::unique_ptr<Ui::NewProjectDialog> ui;
    std::unique_ptr<SclParser> parser;
    ParseProgressRelay *relay = nullptr;
    SelectedItemsModel *sclModel = nullptr;
    IedCheckCounts *checkCounts = nullptr;
    QString name;
    QString folder;
    QString created;
};

#endif
