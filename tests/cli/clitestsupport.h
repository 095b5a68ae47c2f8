#ifndef STATIONSCOPE_CLITESTSUPPORT_H
#define STATIONSCOPE_CLITESTSUPPORT_H

#include <QList>
#include <QString>
#include <QStringList>

// What a command printed and how it ended.
struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Every row of the given tables of a project file (all eight when none are
// given), in file order, as "table|value|value...", for comparing two files.
QStringList projectRows(const QString &path, const QList<int> &tables = {});

#endif
