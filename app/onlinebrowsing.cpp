// The Connect To IED panel: its buttons hand their work to the online controller.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "onlinecontroller.h"

OnlineWindowParts MainWindow::onlineWindowParts()
{
    OnlineWindowParts parts;
    parts.window = this;
    parts.connectButton = ui->pushButton_connectIed;
    parts.readObjectButton = ui->pushButton_ReadObject;
    parts.readReportButton = ui->pushButton_ReadRaport;
    parts.testReadButton = ui->pushButton_4;
    parts.host = ui->lineEdit_IP;
    parts.port = ui->lineEdit_Port;
    parts.infoScreen = ui->plainTextEdit_2;
    parts.statusBar = ui->statusBar;
    parts.trees = ui->widget_treeContainer;
    parts.scl = sclModel.get();
    parts.onlineTree = onlineTreeModel.get();
    parts.onlineDataSets = onlineDataSetsModel.get();
    parts.onlineReports = onlineReportsModel.get();
    parts.datasets = datasetsModel.get();
    parts.reports = reportsModel.get();
    return parts;
}

void MainWindow::on_pushButton_connectIed_clicked()
{
    browseIed();
}

void MainWindow::browseIed()
{
    onlineController->browse();
}

void MainWindow::on_pushButton_4_clicked()
{
    testRead();
}

void MainWindow::testRead()
{
    onlineController->testRead();
}
