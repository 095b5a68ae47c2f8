#ifndef STATIONSCOPE_PROJECTDOCUMENT_H
#define STATIONSCOPE_PROJECTDOCUMENT_H

#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"

#include <QStandardItemModel>
#include <QVector>

#include <memory>

class Iec61850DbManager;
class QTemporaryDir;
class SqliteConnector;

// What the program's window holds while a project or workbook is open: the
// commands open projects the way Open Project does, without a window.
struct ProjectDocument
{
    SelectedItemsModel scl;
    SelectedObjectsModel objects;
    SelectedDatasetsModel datasets;
    SelectedReportsModel reports;
    QStandardItemModel signalList;
    std::unique_ptr<SqliteConnector> connector;
    std::unique_ptr<Iec61850DbManager> db;

    enum Access {
        // Reads the file as it is; an older project is read from an upgraded
        // copy, so the file stays byte for byte what it was.
        ReadOnly,
        // For a command that writes the project: an older file is upgraded in
        // place, once it is known to become a complete project.
        ReadWrite,
    };

    ProjectDocument();
    ~ProjectDocument();
    ProjectDocument(const ProjectDocument &) = delete;
    ProjectDocument &operator=(const ProjectDocument &) = delete;

    // As Open Project: the SCL model, the selections and the signal list. A
    // file that is no complete project, nor becomes one by the upgrade, is
    // refused before anything is written.
    bool loadProject(const QString &path, QString *problem, Access access = ReadOnly);
    // Opens the file and its manager without loading anything.
    bool connect(const QString &path, Access access, QString *problem);
    // Drops the manager, then its connector.
    void close();

private:
    // Where an older project is upgraded for reading.
    std::unique_ptr<QTemporaryDir> upgradeFolder;
    // The upgraded copy and its folder, removed also when a signal ends the process.
    QVector<int> cleanupTokens;
};

#endif
