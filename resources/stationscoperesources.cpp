#include "stationscoperesources.h"

#include <QDir>

void initStationscopeResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered);
}
