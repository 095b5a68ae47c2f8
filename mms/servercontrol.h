#ifndef STATIONSCOPE_SERVERCONTROL_H
#define STATIONSCOPE_SERVERCONTROL_H

// Controls a server carries out for a client's write of "LN$CO$DO$Oper":
// direct control with normal security sets the status value (stVal, with q
// and t) to the ctlVal written, as a device whose output follows at once.
// Controls that need a select, or an object that is status-only, refuse the
// operate with object-access-denied.

#include "mmsservermodel.h"
#include "mmswrite.h"

namespace ServerControl {
bool isOperate(const QString &item);
MmsWriteResult operate(const MmsServerModel &model, const QString &domain, const QString &item,
                       const MmsValue &value, quint64 now);
} // namespace ServerControl

#endif
