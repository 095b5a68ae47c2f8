#ifndef STATIONSCOPE_MAINWINDOW_H
#define STATIONSCOPE_MAINWINDOW_H

#include "scldataexporter.h"

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>

class CommissioningController;
class ConnectionEditGuard;
class Iec61850DbManager;
class OnlineController;
struct OnlineWindowParts;
struct ProjectCheckParts;
class QCloseEvent;
class QDateTime;
class QMenu;
class QStandardItem;
class QStandardItemModel;
class SelectedDatasetsModel;
class SelectedItemsModel;
class SelectedObjectsModel;
class SelectedReportsModel;
class SqliteConnector;
class UnsavedChangesTracker;

namespace Ui {
class MainWindow;
}

// The program's one window: it owns the SCL model, the signal list and the
// three selection models for the whole run, hands them to its widgets, and runs
// the project lifecycle behind the File menu.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    static const QString Version;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Title for the open project or workbook file name (empty: none open),
    // marked while its selections hold unsaved changes; also refreshes which
    // file actions are available.
    void setTitle(const QString &name);

    static QString baseTitle();
    static QString aboutText();
    // The file name proposed for a workbook export of the given IED.
    static QString proposedExportName(const QString &iedName, const QDateTime &time);

    // Asks whether the open project or workbook may be closed.
    bool confirmClose();
    void closeProject();
    // Opens a project ("SclPro") or imports a workbook ("XlsImport").
    void openRecent(const QString &path, const QString &group);
    void addRecent(const QString &path, const QString &group);
    void buildRecentMenu(QMenu *menu, const QString &group);
    // Runs a job synchronously under a window-modal progress dialog that
    // follows the worker's progress.
    void runJob(SclDataExporter *worker, const QString &title, const QString &label,
                const std::function<void()> &job);

    // The online browse of the IED at the top panel's address into the CID
    // tree (tree A, sclModel) and the data set and report trees (B and C).
    void browseIed();
    void testRead();
    SelectedItemsModel *onlineTree() const { return onlineTreeModel.get(); }
    QStandardItemModel *onlineDataSets() const { return onlineDataSetsModel.get(); }
    QStandardItemModel *onlineReports() const { return onlineReportsModel.get(); }
    OnlineController *online() const { return onlineController.get(); }
    CommissioningController *commissioning() const { return commissioningController; }

    // The first show opens the window within its screen's available area.
    void setVisible(bool visible) override;

signals:
    // A project was opened and its models filled from the file.
    void projectLoaded();
    // The open project is about to close (or the window with it): its file
    // is still open.
    void projectClosing();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_pushButton_2_clicked();
    void on_pushButton_connectIed_clicked();
    void on_pushButton_4_clicked();
    void on_groupBox_clicked();
    void on_groupBox_2_clicked();
    void on_pushButton_ImportPLC_clicked();
    void on_actionExport_to_excell_triggered();
    void on_actionImport_from_excell_triggered();
    void on_actionNew_Project_triggered();
    void on_actionOpen_Project_triggered();
    void on_actionSave_Project_triggered();
    void on_actionClose_Project_triggered();
    void on_actionAbout_triggered();
    void updateProgress(int progress);
    void onNodeDataChanged(QStandardItem *node);

    void toggleTopPanel();

private:
    // Closes what is open, after asking; false when the engineer declined.
    bool closeStep();
    void saveGeometryOnClose();
    void arrangeDocks();
    bool mayCloseDocument();
    // Asks what becomes of unsaved selection changes and saves them when told
    // to; false when the engineer cancelled or the save failed.
    bool settleUnsavedChanges();
    bool saveProject();
    // Opens the project file and its manager; false, with a warning, when the
    // file cannot be used.
    bool connectProject(const QString &path);
    void loadProject(const QString &path);
    void importWorkbook(const QString &path, const SclDataExporter::WorkbookContent &content);
    void openNewProject(const QString &path);
    void showSignalList();
    // The widgets and models the online work uses.
    OnlineWindowParts onlineWindowParts();
    // The models and project access the Project menu's checks use.
    ProjectCheckParts projectCheckParts();

    std::unique_ptr<Ui::MainWindow> ui;
    std::unique_ptr<SelectedItemsModel> sclModel;
    std::unique_ptr<QStandardItemModel> signalModel;
    std::unique_ptr<SelectedObjectsModel> objectsModel;
    std::unique_ptr<SelectedDatasetsModel> datasetsModel;
    std::unique_ptr<SelectedReportsModel> reportsModel;
    // Trees A, B and C of the online browse: rebuilt by each browse, never
    // stored. Tree A shows in the CID tree in place of sclModel.
    std::unique_ptr<SelectedItemsModel> onlineTreeModel;
    std::unique_ptr<QStandardItemModel> onlineDataSetsModel;
    std::unique_ptr<QStandardItemModel> onlineReportsModel;
    std::unique_ptr<SqliteConnector> connector;
    std::unique_ptr<Iec61850DbManager> dbManager;
    QString projectPath;
    QString workbookPath;
    UnsavedChangesTracker *unsavedChanges = nullptr;
    ConnectionEditGuard *connectionGuard = nullptr;
    bool placed = false;
    bool dockAreaSized = false;
    // Declared after the models it works on, so it goes, joining its
    // thread, before they do.
    std::unique_ptr<OnlineController> onlineController;
    CommissioningController *commissioningController = nullptr;
};

#endif
