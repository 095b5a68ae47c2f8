#ifndef STATIONSCOPE_TEMPORARYSETTINGS_H
#define STATIONSCOPE_TEMPORARYSETTINGS_H

#include <QTemporaryDir>

// Points every QSettings of the process at an empty temporary folder for its
// lifetime, so tests neither read nor change the engineer's own settings.
class TemporarySettings
{
public:
    TemporarySettings();
    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
};

#endif
