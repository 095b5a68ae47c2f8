// The Connect To IED panel: the online browse and the fixed test read.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "onlinebrowse.h"
#include "selecteditemsmodel.h"
#include "treeviewcontainer.h"

#include <QStandardItemModel>

namespace {

// Enables the window again on every way out of a click.
class DisabledWhileRunning
{
public:
    explicit DisabledWhileRunning(QWidget *window) : window(window) { window->setEnabled(false); }
    ~DisabledWhileRunning() { window->setEnabled(true); }
    DisabledWhileRunning(const DisabledWhileRunning &) = delete;
    DisabledWhileRunning &operator=(const DisabledWhileRunning &) = delete;

private:
    QWidget *window;
};

} // namespace

void MainWindow::on_pushButton_connectIed_clicked()
{
    ui->widget_treeContainer->setSclModel(nullptr);
    sclModel->clearSelection();
    sclModel->setHorizontalHeaderLabels({QStringLiteral("CID")});
    browseIed();
    ui->widget_treeContainer->setSclModel(sclModel.get());
}

void MainWindow::browseIed()
{
    const QString host = ui->lineEdit_IP->text();
    const int port = OnlineBrowse::portFromText(ui->lineEdit_Port->text());
    const DisabledWhileRunning disabled(this);
    onlineDataSetsModel->clear();
    onlineReportsModel->clear();
    OnlineBrowse browse(
        [this](const QString &line) { ui->plainTextEdit_2->appendPlainText(line); });
    browse.browseIed(host, port,
                     {sclModel.get(), onlineDataSetsModel.get(), onlineReportsModel.get()});
}

void MainWindow::on_pushButton_4_clicked()
{
    testRead();
}

void MainWindow::testRead()
{
    const QString host = ui->lineEdit_IP->text();
    const int port = OnlineBrowse::portFromText(ui->lineEdit_Port->text());
    const DisabledWhileRunning disabled(this);
    OnlineBrowse browse(
        [this](const QString &line) { ui->plainTextEdit_2->appendPlainText(line); });
    browse.testRead(host, port);
}
