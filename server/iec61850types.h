#ifndef STATIONSCOPE_IEC61850TYPES_H
#define STATIONSCOPE_IEC61850TYPES_H

// How IEC 61850-8-1 maps the model onto MMS types, for servers that build
// their variables from an IEC 61850 model: basic types and the report control
// block structures with their values.

#include "mmstypespec.h"
#include "mmsvalue.h"

#include <QString>

// One report control block instance as a server presents it.
struct ReportControlSettings
{
    bool buffered = false;
    QString rptId;
    bool rptEna = false;
    bool resv = false;
    QString dataSet; // as the DatSet value reads: "LD/LLN0$Events"
    quint32 confRev = 0;
    // Bits as libiec61850 numbers them: sequence number 1, time stamp 2,
    // reason 4, data set 8, data reference 16, buffer overflow 32, entry id
    // 64, configuration revision 128, segmentation 256.
    int optFlds = 0;
    quint32 bufTm = 0;
    // Data change 1, quality change 2, data update 4, integrity 8, GI 16.
    int trgOps = 0;
    quint32 intgPd = 0;
};

namespace Iec61850Types {
// The MMS type of an SCL basic type (bType); unknown types become visible
// strings of up to 255 characters.
MmsTypeSpec basicType(const QString &bType);
// Addr (6 octets), PRIORITY, VID, APPID.
MmsTypeSpec phyComAddrType();
// Members in IEC 61850-8-1 order, without Owner.
MmsTypeSpec reportControlType(bool buffered);
MmsValue reportControlValue(const ReportControlSettings &settings);
// "EventsRCB" with instance 1 of an indexed block gives "EventsRCB01".
QString reportControlInstanceName(const QString &name, bool indexed, int instance);
} // namespace Iec61850Types

#endif
