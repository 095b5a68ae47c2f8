#include "projectdocument.h"

#include "clisupport.h"
#include "iec61850dbmanager.h"
#include "interruptcleanup.h"
#include "projectfilecheck.h"
#include "scldataexporter.h"
#include "sqliteconnector.h"

#include <QSqlError>
#include <QTemporaryDir>

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
    upgradeFolder.reset();
    for (const int token : qAsConst(cleanupTokens))
        InterruptCleanup::forget(token);
    cleanupTokens.clear();
}

bool ProjectDocument::connect(const QString &path, Access access, QString *problem)
{
    connector = std::make_unique<SqliteConnector>();
    connector->setDatabaseName(path);
    connector->setReadOnly(access == ReadOnly);
    if (!connector->open()) {
        *problem = QStringLiteral("%1: cannot open the project file (%2)")
                       .arg(path, connector->database().lastError().text());
        connector.reset();
        return false;
    }
    db = std::make_unique<Iec61850DbManager>(connector.get());
    return true;
}

bool ProjectDocument::loadProject(const QString &path, QString *problem, Access access)
{
    if (!isReadableFile(path, problem))
        return false;
    if (sniffFileKind(path) != FileKind::Project) {
        *problem = QStringLiteral("%1 is not a project file").arg(path);
        return false;
    }
    const ProjectFileCheck::Finding finding = ProjectFileCheck::inspect(path);
    if (finding.verdict == ProjectFileCheck::Verdict::NotProject) {
        *problem = QStringLiteral("%1 holds no project (%2)").arg(path, finding.reason);
        return false;
    }
    QString source = path;
    if (finding.verdict == ProjectFileCheck::Verdict::Incomplete) {
        upgradeFolder = std::make_unique<QTemporaryDir>();
        QString reason;
        if (upgradeFolder->isValid()) {
            const QString planned =
                upgradeFolder->filePath(QStringLiteral("upgraded.sclpro")); // upgradedCopy()'s name
            for (const QString &file :
                 {planned, planned + QStringLiteral("-journal"), planned + QStringLiteral("-wal"),
                  planned + QStringLiteral("-shm")})
                cleanupTokens.append(InterruptCleanup::addFile(file));
            cleanupTokens.append(InterruptCleanup::addFolder(upgradeFolder->path()));
        }
        const QString copy =
            upgradeFolder->isValid()
                ? ProjectFileCheck::upgradedCopy(path, upgradeFolder->path(), &reason)
                : QString();
        if (copy.isEmpty()) {
            *problem = QStringLiteral("%1 holds no complete project (%2)")
                           .arg(path, reason.isEmpty() ? finding.reason : reason);
            upgradeFolder.reset();
            return false;
        }
        if (access == ReadOnly)
            source = copy;
        else
            upgradeFolder.reset();
    }
    if (!connect(source, access, problem))
        return false;
    QString reason;
    if (access == ReadWrite && !db->upgradeProject(&reason)) {
        *problem = QStringLiteral("%1 cannot be upgraded: %2").arg(path, reason);
        return false;
    }
    SclDataExporter loader;
    if (!loader.loadSclModel(&scl, db.get(), &reason)) {
        *problem = QStringLiteral("%1 holds no project (%2)").arg(path, reason);
        return false;
    }
    if (!loader.loadSelections(&objects, &datasets, &reports, db.get(), &reason)) {
        *problem = QStringLiteral("%1: the selections cannot be read: %2").arg(path, reason);
        return false;
    }
    if (!loader.loadSignals(&signalList, db.get(), &reason)) {
        *problem = QStringLiteral("%1: the signal list cannot be read: %2").arg(path, reason);
        return false;
    }
    return true;
}
