#ifndef STATIONSCOPE_TRACEFILE_H
#define STATIONSCOPE_TRACEFILE_H

// The reference captures in ../shared/mms-traces: the TCP payloads of one
// trace (NN_name.payload.tsv), cut into TPDUs and joined into messages.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct TraceMessage
{
    int frame = 0; // of the first segment
    bool fromClient = false;
    int tpduType = 0;          // COTP type: CR, CC, DT ...
    QByteArray userData;       // data TPDUs joined up to end of transmission
    QByteArray tpdu;           // the TPDU itself for anything but data
    QList<QByteArray> packets; // the TPKT packets as they went over the wire
};

class TraceFile
{
public:
    // The traces folder, or empty when ../shared is absent.
    static QString directory();
    static QStringList browseTraces();

    bool load(const QString &name);
    QString errorString() const { return error; }
    QString name() const { return traceName; }
    quint16 serverPort() const { return port; }
    const QList<TraceMessage> &messages() const { return all; }
    QList<TraceMessage> fromClient() const;
    QList<TraceMessage> fromServer() const;
    // The lines the reference client printed (NN_name.client.txt).
    QStringList clientLines() const;

private:
    QString traceName;
    QString error;
    quint16 port = 0;
    QList<TraceMessage> all;
};

#endif
