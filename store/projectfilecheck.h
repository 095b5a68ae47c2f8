#ifndef STATIONSCOPE_PROJECTFILECHECK_H
#define STATIONSCOPE_PROJECTFILECHECK_H

#include <QString>

// Whether a file is a project, looked at read-only on a connection of its own:
// nothing here changes the file looked at.
namespace ProjectFileCheck {
enum class Verdict {
    NotProject,
    // Every table and column of the current schema is there.
    Complete,
    // Tables or columns are missing; opening for writing would add them.
    Incomplete,
};

struct Finding
{
    Verdict verdict = Verdict::NotProject;
    // What makes the file no project or an incomplete one.
    QString reason;
};

Finding inspect(const QString &path);

// Copies an incomplete project into folder and upgrades the copy as opening a
// project does. Returns the copy's path, or an empty string with the reason
// when even the upgraded copy is no complete project.
QString upgradedCopy(const QString &path, const QString &folder, QString *reason);

// Complete as it is, or complete once upgraded (tried on a copy in a
// temporary folder, so the file itself stays as it is).
bool isProject(const QString &path, QString *reason);
} // namespace ProjectFileCheck

#endif
