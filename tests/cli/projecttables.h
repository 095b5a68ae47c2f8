#ifndef STATIONSCOPE_PROJECTTABLES_H
#define STATIONSCOPE_PROJECTTABLES_H

#include <QList>
#include <QStringList>

// Every row of the given tables of a project file (all eight when none are
// given), in file order, as "table|value|value...", for comparing two files.
QStringList projectRows(const QString &path, const QList<int> &tables = {});

#endif
