#ifndef STATIONSCOPE_IEDADDRESS_H
#define STATIONSCOPE_IEDADDRESS_H

#include <QString>

// An IED's address as engineers type it: "host", "host:port" or
// "[v6 address]:port"; a bare IPv6 address (more than one colon) has no port.
// The port is 102, the IEC 61850 port, unless given. False when the text
// names no host or its port is no number from 1 to 65535.
bool splitIedAddress(const QString &text, QString *host, int *port);

#endif
