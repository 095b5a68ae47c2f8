#ifndef STATIONSCOPE_SERVERREPORTCONTROL_H
#define STATIONSCOPE_SERVERREPORTCONTROL_H

// One report control block instance of a server: its attributes with the
// write rules of IEC 61850-7-2 (reservation by an association, settings fixed
// while enabled), its triggers (data, quality and update changes aggregated
// over BufTm, integrity period, general interrogation) and its entries. An
// unbuffered block keeps entries only while enabled; a buffered one keeps
// them while disabled too, up to a bound, and resends from a written EntryID.
// Times are ms since 1970; nothing here reads a clock.

#include "mmsservermodel.h"
#include "mmsvalue.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <deque>
#include <utility>

struct ReportEntry
{
    quint64 id = 0;
    quint64 time = 0;
    QByteArray reasons;     // reason bits per data set member; 0 = not included
    QList<MmsValue> values; // of the included members, in data set order
    // In a buffer the values are kept as their BER octets instead, as a
    // device keeps its entries: a value object is ten times their size.
    QByteArray encodedValues;
    bool overflow = false; // entries were lost before this one
    int bytes = 0;         // what the entry takes of a buffer

    // The included members' values, whichever way they are kept.
    QList<MmsValue> includedValues() const;
};

class ServerReportControl
{
public:
    // Data access error codes of write results.
    enum WriteError {
        TemporarilyUnavailable = 2,
        ObjectAccessDenied = 3,
        TypeInconsistent = 7,
        ObjectNonExistent = 10,
        ObjectValueInvalid = 11,
    };
    static constexpr int Success = -1;
    // The send queue of an unbuffered block.
    static constexpr int MaxBufferedEntries = 1000;
    // A buffered block's buffer, as the reference server sizes it.
    static constexpr int DefaultBufferBytes = 65536;
    static constexpr int ImplicitReservationSeconds = 10;

    // item is "LLN0$BR$name01"; initial the value the model starts with.
    ServerReportControl(const MmsServerModel *model, const QString &domain, const QString &item,
                        const MmsTypeSpec &type, const MmsValue &initial);

    QString domain() const { return domainName; }
    QString item() const { return itemName; }
    bool buffered() const { return isBuffered; }
    bool enabled() const { return rptEna; }
    int owner() const { return ownerId; }
    // The structure as a read returns it now.
    MmsValue value() const;

    // Writes one attribute for a connection from peer (its address); Success
    // or a WriteError.
    int write(int connection, const QString &peer, const QString &attribute, const MmsValue &value,
              quint64 now);
    // The association ended: what it enabled stops, its reservation ends. A
    // buffered block stays held for the peer's address ResvTms seconds.
    void release(int connection, const QString &peer, quint64 now);

    // Whether a change of this leaf concerns the block now.
    bool listening() const { return (rptEna || isBuffered) && !members.isEmpty(); }
    // The data set positions covering "domain/item", deepest name first.
    QVector<int> membersCovering(const QString &key) const;
    void memberChanged(int member, int reasons, quint64 now);
    // Members changed at once (member, reasons): with BufTm 0 one entry
    // carries them all, as a device scanning its data reports them.
    void membersChanged(const QVector<QPair<int, int>> &changed, quint64 now);
    // Turns due aggregations, integrity periods and interrogations into entries.
    void advance(quint64 now);
    // The earliest time advance() has work, or 0 when nothing waits.
    quint64 nextDeadline() const;

    // The entries to send, oldest first, taken out of the send queue.
    std::vector<ReportEntry> takeEntries();
    // Report fields the entries go out with.
    QString rptId() const;
    int optFlds() const { return optFields; }
    QString dataSetReference() const { return datSet; }
    quint32 confRev() const { return confRevision; }
    const QList<MmsObjectName> &dataSetMembers() const { return members; }
    // "domain/item" of each member, as a report's data references carry them.
    const QStringList &memberReferences() const { return references; }
    // The sequence number of the next report (counted modulo the attribute's
    // size) and its advance.
    quint32 takeSequenceNumber();
    // Whether SqNum, EntryID or TimeofEntry moved since the last call.
    bool takeValueChanged() { return std::exchange(valueChanged, false); }
    // Entries dropped because their connection could not take them.
    void countDropped(int count) { dropped += count; }
    int droppedEntries() const { return dropped; }

    static QByteArray entryIdOctets(quint64 id);
    // The bytes a buffered block keeps; the oldest entries go beyond them.
    void setMaxBufferBytes(int bytes) { maxBufferBytes = qMax(1, bytes); }
    int bufferBytes() const { return bufferedBytes; }
    int bufferedEntries() const { return int(entries.size()); }

private:
    int writeAttribute(int connection, const QString &attribute, const MmsValue &value,
                       quint64 now);
    int enable(int connection, quint64 now);
    bool selectDataSet(const QString &reference);
    void purge();
    void clearEntries();
    void flushPending(quint64 now);
    void addEntry(ReportEntry entry);
    void reserveFor(int connection);

    const MmsServerModel *model;
    QString domainName;
    QString itemName;
    MmsTypeSpec type;
    bool isBuffered = false;

    QString rptIdText;
    bool rptEna = false;
    bool resv = false;
    QString datSet;
    quint32 confRevision = 0;
    int optFields = 0;
    quint32 bufTm = 0;
    quint32 sqNum = 0;
    int trgOps = 0;
    quint32 intgPd = 0;
    bool giPending = false;
    QByteArray entryId = QByteArray(8, '\0');
    quint64 timeOfEntry = 0;
    int resvTms = 0;
    int ownerId = 0;
    QString heldFor; // the address a buffered block waits for after its association
    quint64 heldUntil = 0;

    QList<MmsObjectName> members;
    QVector<MmsValueHandle> memberValues;
    QStringList references;
    QHash<QString, int> memberIndex; // "domain/item" -> position

    QVector<int> pending; // reasons per member waiting for BufTm
    quint64 pendingDeadline = 0;
    quint64 nextIntegrity = 0;
    bool everEnabled = false;

    std::deque<ReportEntry> entries; // buffered: the buffer; unbuffered: the send queue
    int bufferedBytes = 0;
    int maxBufferBytes = DefaultBufferBytes;
    quint64 lastEntryId = 0;
    quint64 lastSentId = 0;
    bool overflow = false;
    bool resync = false; // an EntryID was written: resend after it
    int dropped = 0;
    bool valueChanged = false;
};

#endif
