#include "newprojectfile.h"

#include "iec61850dbmanager.h"
#include "projectfilecheck.h"
#include "scldataexporter.h"
#include "sqliteconnector.h"
#include "stagedfile.h"

#include <QSqlError>

namespace {
const QString NewProjectConnection = QStringLiteral("stationscope-new-project");

bool writeTables(const QString &path, QStandardItemModel *sclModel, QStandardItemModel *signalList,
                 SclDataExporter *writer)
{
    SqliteConnector connector(nullptr, NewProjectConnection);
    connector.setDatabaseName(path);
    if (!connector.open())
        return false;
    Iec61850DbManager db(&connector);
    db.createSelectionTables();
    db.createModelTables();
    if (!writer->writeSclModel(sclModel, &db))
        return false;
    return !signalList || writer->writeSignals(signalList, &db);
}
} // namespace

NewProjectFile::Outcome NewProjectFile::write(const QString &target, QStandardItemModel *sclModel,
                                              QStandardItemModel *signalList,
                                              SclDataExporter *writer, QString *problem)
{
    StagedFile file(target);
    if (!file.create(problem))
        return Outcome::NotCreated;
    // Every table is checked once written: a CREATE that failed on a full
    // disk reports nothing itself.
    if (!writeTables(file.stagingPath(), sclModel, signalList, writer) ||
        ProjectFileCheck::inspect(file.stagingPath()).verdict !=
            ProjectFileCheck::Verdict::Complete) {
        const QString cause = file.writeProblem();
        *problem = cause.isEmpty()
                       ? QStringLiteral("the project could not be written")
                       : QStringLiteral("the project could not be written: %1").arg(cause);
        return Outcome::NotWritten;
    }
    if (!file.commit(problem))
        return Outcome::NotWritten;
    return Outcome::Written;
}
