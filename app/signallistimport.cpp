// The Import Line Labels button: the CSV signal list into the signal model and
// the open project.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "iec61850dbmanager.h"
#include "plcdataimport.h"
#include "scldataexporter.h"
#include "tagselectbox.h"
#include "userprompt.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QStandardItemModel>

namespace {
const QString ProgramTitle = QStringLiteral("Stationscope");
}

void MainWindow::on_pushButton_ImportPLC_clicked()
{
    const QString path = UserPrompt::openFileName(this, tr("Scl"), QDir::currentPath(),
                                                  tr("Line Labels (*.csv );;"));
    if (path.isEmpty())
        return;
    // An unreadable file must not cost the engineer the list already imported
    // or stored.
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) {
        UserPrompt::warning(this, ProgramTitle,
                            tr("The signal list %1 cannot be read: %2")
                                .arg(QDir::toNativeSeparators(path), probe.errorString()));
        return;
    }
    probe.close();

    ui->lineEdit_Labels->setText(path);
    signalModel->clear();
    ui->treeView_signals->setModel(nullptr);
    PlcDataImport().importSignals(path, signalModel.get(), ui->plainTextEdit_2);
    signalModel->setHorizontalHeaderLabels(PlcDataImport::headerLabels());
    signalModel->setColumnCount(4);
    showSignalList();

    if (dbManager) {
        SclDataExporter worker;
        if (!worker.writeSignals(signalModel.get(), dbManager.get()))
            qWarning() << "Storing the signal list failed; the project keeps its earlier list";
    }
}
