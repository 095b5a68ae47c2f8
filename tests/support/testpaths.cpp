#include "testpaths.h"

#include <QDir>
#include <QFileInfo>

QString testSourceDir()
{
    return QStringLiteral(STATIONSCOPE_SOURCE_DIR);
}

QString sourceFile(const QString &relativePath)
{
    return QDir(testSourceDir()).filePath(relativePath);
}

QString sharedDir()
{
    const QString override = qEnvironmentVariable("STATIONSCOPE_SHARED_DIR");
    const QString path =
        override.isEmpty() ? QDir(testSourceDir()).filePath(QStringLiteral("../shared")) : override;
    const QFileInfo info(path);
    return info.isDir() ? info.canonicalFilePath() : QString();
}
