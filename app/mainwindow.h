#ifndef STATIONSCOPE_MAINWINDOW_H
#define STATIONSCOPE_MAINWINDOW_H

#include <QMainWindow>
#include <QString>
#include <memory>

class Iec61850DbManager;
class QStandardItem;
class QStandardItemModel;
class SelectedDatasetsModel;
class SelectedItemsModel;
class SelectedObjectsModel;
class SelectedReportsModel;

namespace Ui {
class MainWindow;
}

// The program's one window: it owns the SCL model, the signal list and the
// three selection models for the whole run and hands them to its widgets.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    static const QString Version;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Title for the open project or workbook file name (empty: none open); also
    // refreshes which file actions are available.
    void setTitle(const QString &name);

    static QString baseTitle();
    static QString aboutText();

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
    std::unique_ptr<Ui::MainWindow> ui;
    std::unique_ptr<SelectedItemsModel> sclModel;
    std::unique_ptr<QStandardItemModel> signalModel;
    std::unique_ptr<SelectedObjectsModel> objectsModel;
    std::unique_ptr<SelectedDatasetsModel> datasetsModel;
    std::unique_ptr<SelectedReportsModel> reportsModel;
    Iec61850DbManager *dbManager = nullptr;
    QString projectPath;
    QString workbookPath;
};

#endif
