#ifndef STATIONSCOPE_PACKAGEPART_H
#define STATIONSCOPE_PACKAGEPART_H

// One part of a zip package (an .xlsx), read with minizip; the test links it.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <unzip.h>

inline QByteArray packagePart(const QString &path, const QString &name)
{
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip)
        return {};
    QByteArray data;
    if (unzLocateFile(zip, name.toUtf8().constData(), 1) == UNZ_OK &&
        unzOpenCurrentFile(zip) == UNZ_OK) {
        char buffer[4096];
        int read = 0;
        while ((read = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0)
            data.append(buffer, read);
        unzCloseCurrentFile(zip);
    }
    unzClose(zip);
    return data;
}

#endif
