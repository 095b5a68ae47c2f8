#ifndef STATIONSCOPE_REPORTENGINE_H
#define STATIONSCOPE_REPORTENGINE_H

// Watching report control blocks of one live IED without any user interface:
// reads, configures and enables many blocks with their requests in flight
// together, resumes a buffered block after the EntryID last shown, hands
// each report over with the entries its buffer lost before it, and disables
// what it enabled on the way out. Blocking, on the connection's thread.

#include "clientreport.h"
#include "iedconnection.h"
#include "mmstypespec.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

struct ReportBlockRequest
{
    // "LD/LLN0$RP$name" or "LD/LLN0.RP.name"; with instances > 0 the base
    // name of an indexed block, whose instances name01 ... are tried in turn.
    QString reference;
    int instances = 0;
    // Instances to try in turn instead ("LD/LLN0$RP$name01" ...), when given.
    QStringList candidates;
    // Settings to write; -1 keeps the block's own.
    int optFlds = -1;
    int trgOps = -1;
    qint64 intgPd = -1;
    qint64 bufTm = -1;
    bool gi = false;
    // "LD/LN$Name", written when the block names another data set; empty keeps it.
    QString dataSet;
    // The configuration revision expected; a block with another is noted.
    qint64 confRev = -1;
    // Buffered blocks: PurgeBuf is written before the enable, unless the
    // instance enabled has an EntryID here (keyed by its "LD/LN$BR$name", or
    // by an empty text for whichever instance is enabled):
    // then the block resumes after that entry instead of sending its whole
    // buffer. An EntryID the IED refuses is noted and the block enabled as
    // if there were none.
    bool purge = false;
    QHash<QString, QByteArray> resumeAfter;
};

// Entries a buffered block lost before a report (its BufOvfl): the last
// entry seen before the gap, when known, and the report after it.
struct ReportGap
{
    bool lost = false;
    qint64 afterMs = 0; // time of entry of the last entry seen, 0 when unknown
    QByteArray afterEntryId;
    qint64 beforeMs = 0; // time of entry of the report after the gap, 0 when not sent
    // "entries lost between 2026-12-08T04:10:00.123Z (EntryID 0000000000000007)
    // and 2026-12-08T04:10:05.456Z"; empty when nothing was lost.
    QString text() const;
};

struct EnabledReportBlock
{
    int request = -1;  // its place in the requests enabled
    QString reference; // "LD/LN$RP$name", the instance enabled
    ClientReportControlBlock block;
    QStringList members;
    QHash<int, MmsTypeSpec> types; // per member, where the IED describes it
    QStringList memberPaths;       // per member: its names below the logical node
    bool resumed = false;          // enabled after an EntryID of the request
    // The last entry handed over.
    bool seen = false;
    QByteArray lastEntryId;
    qint64 lastEntryMs = 0;
};

class ReportEngine
{
public:
    explicit ReportEngine(IedConnection &connection);
    // Disables what is still enabled.
    ~ReportEngine();
    ReportEngine(const ReportEngine &) = delete;
    ReportEngine &operator=(const ReportEngine &) = delete;

    // Each report of an enabled block, inside processIncoming or between the
    // answers of enableAll; must not call the connection.
    using ReportHandler =
        std::function<void(const EnabledReportBlock &, const ClientReport &, const ReportGap &)>;
    void setReportHandler(const ReportHandler &handler) { reportHandler = handler; }
    // A block the IED accepted, before its first report can arrive.
    using EnabledHandler = std::function<void(const EnabledReportBlock &)>;
    void setEnabledHandler(const EnabledHandler &handler) { enabledHandler = handler; }
    // What the user should know that is no failure (another ConfRev, an
    // EntryID refused).
    using NoteHandler = std::function<void(const QString &)>;
    void setNoteHandler(const NoteHandler &handler) { noteHandler = handler; }

    // Enables the blocks asked for, the requests of different blocks in
    // flight together. Each block's outcome is its own: one the IED refuses
    // is named in problems (a line each), the others are enabled. Blocks not
    // begun when stopRequested says so are left alone.
    void enableAll(const QList<ReportBlockRequest> &requests, QStringList *problems,
                   const std::function<bool()> &stopRequested = {});
    // Disables every block enabled, at once; per block its reference and the
    // IED's answer (NotConnected or ConnectionLost when gone with the connection).
    QList<QPair<QString, IedClientError>> disableAll();

    const QList<EnabledReportBlock> &enabled() const { return blocks; }

    // "LD/LLN0$RP$name" whichever way it was written; empty for no RCB reference.
    static QString browseForm(const QString &reference);

private:
    struct Attempt;
    static QVector<int> atStep(const QList<Attempt> &attempts, int step);
    void readBlocks(QList<Attempt> &attempts);
    void readMembers(QList<Attempt> &attempts);
    void describeMembers(QList<Attempt> &attempts);
    void enableBlocks(QList<Attempt> &attempts);
    void interrogate(QList<Attempt> &attempts);
    void moveOn(Attempt &attempt, const QString &problem);
    void deliver(const QString &reference, const ClientReport &report);
    void note(const QString &text);

    IedConnection &connection;
    QList<EnabledReportBlock> blocks;
    ReportHandler reportHandler;
    EnabledHandler enabledHandler;
    NoteHandler noteHandler;
};

#endif
