#ifndef STATIONSCOPE_REPORTCLIENT_H
#define STATIONSCOPE_REPORTCLIENT_H

// A client made of our own codecs for server tests: one association on
// 127.0.0.1, write requests with their per-item results, and every report
// that arrives decoded. It reads on the test's event loop, so a server on the
// same thread keeps running while it waits.

#include "eventwait.h"
#include "mmsreport.h"
#include "mmswrite.h"
#include "tpkt.h"

#include <QTcpSocket>

#include <utility>

class ReportClient
{
public:
    explicit ReportClient(const QString &domain) : domain(domain) {}

    bool associate(quint16 port, int pduSize = 65000);
    QList<MmsWriteResult> write(const QList<std::pair<QString, MmsValue>> &items);
    MmsWriteResult write(const QString &item, const MmsValue &value);
    bool waitForReports(int count, int timeoutMs = EventTimeoutMs);
    void close() { socket.abort(); }
    // Leaves what the server sends in the network, as a client that hangs.
    void stopReading() { socket.setReadBufferSize(1); }

    // Bit n (from 1) of an option or trigger string is 1 << (n - 1).
    static MmsValue bits(int mask, int count);

    QList<Iec61850Report> reports;
    // How many reports had come when the last response came.
    int reportsAtResponse = 0;

private:
    void send(const QByteArray &userData);
    void pump();

    QString domain;
    QTcpSocket socket;
    TpktReader reader;
    QByteArray joined;
    QByteArray response;
    bool associated = false;
    quint32 invokeId = 0;
};

#endif
