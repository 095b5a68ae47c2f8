#ifndef STATIONSCOPE_COMMISSIONINGNAMEPLATE_H
#define STATIONSCOPE_COMMISSIONINGNAMEPLATE_H

// What a device says of itself, read once a session is connected: its
// configuration revision (LLN0.NamPlt.configRev) and its physical name plate
// (LPHD1.PhyNam vendor, model, serNum) from the first logical device the
// points name that has them. What cannot be read stays empty.

#include "commissioningpoint.h"
#include "commissioningrecord.h"

class IedConnection;

namespace CommissioningNamePlate {

// The device at host:port ("host", or "host:port" for another port than 102).
CommissioningDevice read(IedConnection &connection, const QString &host, int port,
                         const CommissioningPoints &points);

} // namespace CommissioningNamePlate

#endif
