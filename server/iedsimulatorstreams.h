#ifndef STATIONSCOPE_IEDSIMULATORSTREAMS_H
#define STATIONSCOPE_IEDSIMULATORSTREAMS_H

// The GOOSE (GO) and sampled value (MS, US) control blocks of an SCL file as
// the simulated IED serves them: readable structures in IEC 61850-8-1's
// member order, with the multicast address of the file's Communication
// section as a PhyComAddr structure.

#include "mmstypespec.h"
#include "mmsvalue.h"

#include <QHash>
#include <QString>
#include <QVector>

class QXmlStreamAttributes;

struct StreamControl
{
    enum class Kind { Goose, MulticastSv, UnicastSv } kind = Kind::Goose;
    QString name;
    QString dataSet; // "LD/LLN0$Name", or empty
    quint32 confRev = 0;
    QString id; // GoID, MsvID or UsvID
    quint16 smpRate = 0;
    quint8 smpMod = 0;
    quint16 noAsdu = 1;
    int optFlds = 0; // SmvOpts: refresh time, sample synchronised, sample rate, data set, security
    QByteArray mac;
    quint8 priority = 4;
    quint16 vid = 0;
    quint16 appId = 0;
    quint32 minTime = 0;
    quint32 maxTime = 0;

    // "GO", "MS" or "US".
    QString constraint() const;
};

namespace StreamControls {
MmsTypeSpec typeOf(StreamControl::Kind kind);
MmsValue valueOf(const StreamControl &control);

// Collects the blocks of one IED while its file is streamed: elements are
// handed in as they start; blocks go under their "ldInst/lnName".
class Collector
{
public:
    explicit Collector(const QString &iedName) : iedName(iedName) {}
    // Inside the IED, with the logical device and node being read.
    void controlElement(const QStringRef &tag, const QXmlStreamAttributes &attributes,
                        const QString &lnKey, const QString &domain);
    // Outside any IED: the Communication section's addresses.
    void communicationElement(const QStringRef &tag, const QXmlStreamAttributes &attributes,
                              const QString &text);
    bool wantsText(const QStringRef &tag) const;
    // The blocks with their addresses, by "ldInst/lnName".
    QHash<QString, QVector<StreamControl>> blocks() const;

private:
    struct Address
    {
        QByteArray mac;
        int priority = -1, vid = -1, appId = -1;
        quint32 minTime = 0, maxTime = 0;
    };
    QString iedName;
    QHash<QString, QVector<StreamControl>> controls;
    QHash<QString, Address> addresses; // "ldInst/cbName"
    QString currentKey;                // the block whose SmvOpts may follow
    int currentIndex = -1;
    bool inOwnAccessPoint = false;
    QString addressKey;
    QString parameterType;
};
} // namespace StreamControls

#endif
