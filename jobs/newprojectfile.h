#ifndef STATIONSCOPE_NEWPROJECTFILE_H
#define STATIONSCOPE_NEWPROJECTFILE_H

#include <QString>

class QStandardItemModel;
class SclDataExporter;

// Writes a new project file whole: the tables, the parsed SCL model and, when
// given, the signal list go into a staging file beside the target, which is
// renamed into place once complete. A failed or interrupted write leaves
// nothing under the target's name, and an existing file is never replaced.
// The project's own connection stays untouched, so the project open meanwhile
// stays open.
namespace NewProjectFile {
enum class Outcome {
    Written,
    // The file could not be made at all (a missing or read-only folder, a taken name).
    NotCreated,
    // Writing it failed: the problem names the cause where the system tells it.
    NotWritten,
};

// writer runs the jobs, so a caller can follow its progress.
Outcome write(const QString &target, QStandardItemModel *sclModel, QStandardItemModel *signalList,
              SclDataExporter *writer, QString *problem);
} // namespace NewProjectFile

#endif
