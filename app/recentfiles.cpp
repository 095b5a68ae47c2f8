#include "recentfiles.h"

#include <QSettings>

namespace RecentFiles {

QString settingsKey(const QString &group)
{
    return QStringLiteral("recent%1Files").arg(group);
}

QStringList entries(const QString &group)
{
    return QSettings().value(settingsKey(group)).toStringList();
}

void add(const QString &path, const QString &group)
{
    QStringList list = entries(group);
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > MaximumEntries)
        list.removeLast();
    QSettings().setValue(settingsKey(group), list);
}

void clear(const QString &group)
{
    QSettings().remove(settingsKey(group));
}

} // namespace RecentFiles
