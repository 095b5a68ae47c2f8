#ifndef STATIONSCOPE_PROJECTFILEPROBE_H
#define STATIONSCOPE_PROJECTFILEPROBE_H

#include <QString>

// Tells, without opening it as the project and without changing it, whether
// a file is a project file: an SQLite database holding the project tables.
namespace ProjectFileProbe {
bool isProject(const QString &path);
}

#endif
