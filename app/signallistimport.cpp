// The Import Line Labels button: the CSV signal list into the signal model and
// the open project.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "iec61850dbmanager.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "signallistimporter.h"
#include "userprompt.h"

void MainWindow::on_pushButton_ImportPLC_clicked()
{
    const QString path = UserPrompt::openFileName(this, tr("Scl"), UserPrompt::startFolder(),
                                                  tr("Line Labels (*.csv );;"));
    if (path.isEmpty())
        return;
    SignalListImporter importer(this, ui->plainTextEdit_2);
    // Detached while refilled, so the view does not follow every appended row.
    connect(&importer, &SignalListImporter::replacing, this,
            [this] { ui->treeView_signals->setModel(nullptr); });
    connect(&importer, &SignalListImporter::replaced, this, [this, path] {
        showSignalList();
        ui->lineEdit_Labels->setText(path);
    });
    importer.importFile(path, signalModel.get(), dbManager.get(),
                        {objectsModel.get(), datasetsModel.get(), reportsModel.get()});
}
