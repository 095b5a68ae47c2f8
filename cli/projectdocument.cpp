#include "projectdocument.h"

#include "clisupport.h"
#include "iec61850dbmanager.h"
#include "scldataexporter.h"
#include "sqliteconnector.h"

#include <QSqlError>

ProjectDocument::ProjectDocument()
{
    QObject::connect(&datasets, &SelectedDatasetsModel::datasetUpdate, &reports,
                     &SelectedReportsModel::onDataSetUpdate);
}

ProjectDocument::~ProjectDocument()
{
    close();
}

void ProjectDocument::close()
{
    // The manager goes before its connector.
    db.reset();
    connector.reset();
}

bool ProjectDocument::connect(const QString &path, QString *problem)
{
    connector = std::make_unique<SqliteConnector>();
    connector->setDatabaseName(path);
    if (!connector->open()) {
        *problem = QStringLiteral("%1: cannot open or create the project file (%2)")
                       .arg(path, connector->database().lastError().text());
        connector.reset();
        return false;
    }
    db = std::make_unique<Iec61850DbManager>(connector.get());
    return true;
}

bool ProjectDocument::loadProject(const QString &path, QString *problem)
{
    if (!isReadableFile(path, problem))
        return false;
    if (sniffFileKind(path) != FileKind::Project) {
        *problem = QStringLiteral("%1 is not a project file").arg(path);
        return false;
    }
    if (!connect(path, problem))
        return false;
    db->upgradeProject();
    SclDataExporter loader;
    if (!loader.loadSclModel(&scl, db.get())) {
        *problem = QStringLiteral("%1 holds no project (no connection row)").arg(path);
        return false;
    }
    if (!loader.loadSelections(&objects, &datasets, &reports, db.get())) {
        *problem = QStringLiteral("%1: the selections cannot be read").arg(path);
        return false;
    }
    loader.loadSignals(&signalList, db.get());
    return true;
}
