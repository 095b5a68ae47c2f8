#ifndef STATIONSCOPE_RECENTFILES_H
#define STATIONSCOPE_RECENTFILES_H

#include <QString>
#include <QStringList>

// The recent-files lists kept in the settings, one per group of files
// ("SclPro" for projects, "XlsImport" for imported workbooks): newest first,
// without repeats, ten at most.
namespace RecentFiles {
inline const QString Projects = QStringLiteral("SclPro");
inline const QString Workbooks = QStringLiteral("XlsImport");
constexpr int MaximumEntries = 10;

QString settingsKey(const QString &group);
QStringList entries(const QString &group);
void add(const QString &path, const QString &group);
void clear(const QString &group);
} // namespace RecentFiles

#endif
