#ifndef STATIONSCOPE_CLIENTREPORTCONTROLBLOCK_H
#define STATIONSCOPE_CLIENTREPORTCONTROLBLOCK_H

// The values of one report control block as a client reads them, with the
// getters of libiec61850's ClientReportControlBlock.

#include "mmsvalue.h"

#include <QString>

class ClientReportControlBlock
{
public:
    // libiec61850's RCB_ELEMENT_* values: which attributes setRCBValues writes.
    enum Element : int {
        ElementRptId = 1,
        ElementRptEna = 2,
        ElementResv = 4,
        ElementDatSet = 8,
        ElementConfRev = 16,
        ElementOptFlds = 32,
        ElementBufTm = 64,
        ElementSqNum = 128,
        ElementTrgOps = 256,
        ElementIntgPd = 512,
        ElementGi = 1024,
        ElementPurgeBuf = 2048,
        ElementEntryId = 4096,
        ElementTimeOfEntry = 8192,
        ElementResvTms = 16384,
        ElementOwner = 32768,
    };

    ClientReportControlBlock() = default;
    // A block to write without reading it first.
    ClientReportControlBlock(const QString &reference, bool buffered);

    // Takes the structure read from an RCB: the IEC 61850-8-1 member order of
    // a buffered (RptID, RptEna, DatSet ... ResvTms, Owner) or unbuffered
    // (RptID, RptEna, Resv, DatSet ... GI, Owner) block, optional members
    // recognised by type. False when the value is no such structure.
    static bool fromValue(const QString &reference, bool buffered, const MmsValue &value,
                          ClientReportControlBlock *block);

    bool isNull() const { return !valid; }
    QString reference() const { return objectReference; }
    bool isBuffered() const { return buffered; }
    QString rptId() const { return member(RptId).toString(); }
    bool rptEna() const { return member(RptEna).boolean(); }
    bool resv() const { return member(Resv).boolean(); }
    // The DatSet value as the server sends it, e.g. "LD/LLN0$Events".
    QString dataSetReference() const { return member(DatSet).toString(); }
    quint32 confRev() const { return member(ConfRev).toUint32(); }
    // Option and trigger bits numbered as libiec61850 does: bit 1 of the MMS
    // bit string (sequence number, data change) is value 1.
    int optFlds() const { return int(member(OptFlds).bitStringAsInteger() >> 1); }
    quint32 bufTm() const { return member(BufTm).toUint32(); }
    quint32 sqNum() const { return member(SqNum).toUint32(); }
    int trgOps() const { return int(member(TrgOps).bitStringAsInteger() >> 1); }
    quint32 intgPd() const { return member(IntgPd).toUint32(); }
    bool gi() const { return member(Gi).boolean(); }
    bool purgeBuf() const { return member(PurgeBuf).boolean(); }
    QByteArray entryId() const { return member(EntryId).octets(); }
    quint64 timeOfEntry() const { return member(TimeOfEntry).binaryTimeMs(); }
    bool hasResvTms() const { return !member(ResvTms).isNull(); }
    int resvTms() const { return member(ResvTms).toInt32(); }
    bool hasOwner() const { return !member(Owner).isNull(); }
    QByteArray owner() const { return member(Owner).octets(); }
    MmsValue value() const { return structure; }

    // The values setRCBValues writes; each setter also serves the getter.
    void setRptId(const QString &rptId);
    void setRptEna(bool enabled);
    void setResv(bool reserved);
    void setDataSetReference(const QString &dataSet);
    void setOptFlds(int options);
    void setBufTm(quint32 ms);
    void setTrgOps(int triggers);
    void setIntgPd(quint32 ms);
    void setGi(bool gi);
    void setPurgeBuf(bool purge);
    void setEntryId(const QByteArray &entryId);
    void setResvTms(int seconds);
    // A subscription's settings: each value of 0 or more is set and its
    // element added to the returned mask; a negative one keeps the block's.
    int setSubscription(int optFlds, int trgOps, qint64 intgPd, qint64 bufTm);
    // The MMS value written for one element (a single bit of the mask).
    MmsValue elementValue(Element element) const;
    // "RptEna", "DatSet" ...: the item's last name part.
    static QString elementName(Element element);

private:
    enum Member {
        RptId,
        RptEna,
        Resv,
        DatSet,
        ConfRev,
        OptFlds,
        BufTm,
        SqNum,
        TrgOps,
        IntgPd,
        Gi,
        PurgeBuf,
        EntryId,
        TimeOfEntry,
        ResvTms,
        Owner,
        MemberCount
    };

    MmsValue member(Member which) const
    {
        return written[which].isNull() ? structure.element(positions[which]) : written[which];
    }
    static Member memberOf(Element element);

    bool valid = false;
    bool buffered = false;
    QString objectReference;
    MmsValue structure;
    int positions[MemberCount] = {};
    MmsValue written[MemberCount];
};

#endif
