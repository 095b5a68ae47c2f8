#ifndef STATIONSCOPE_PROJECTDOCUMENT_H
#define STATIONSCOPE_PROJECTDOCUMENT_H

#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"

#include <QStandardItemModel>

#include <memory>

class Iec61850DbManager;
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

    ProjectDocument();
    ~ProjectDocument();
    ProjectDocument(const ProjectDocument &) = delete;
    ProjectDocument &operator=(const ProjectDocument &) = delete;

    // Opens (or creates) the file and its manager.
    bool connect(const QString &path, QString *problem);
    // As Open Project: upgrade, then the SCL model, the selections and the
    // signal list; a file that is no project is refused before it is opened.
    bool loadProject(const QString &path, QString *problem);
    // Drops the manager, then its connector.
    void close();
};

#endif
