#ifndef STATIONSCOPE_REPORTWATCH_H
#define STATIONSCOPE_REPORTWATCH_H

// Subscribes to report control blocks of one live IED and prints every
// report they send: reserves and enables each block with the settings asked
// for (ReportEngine), waits, and disables what it enabled on the way out.

#include "clientreport.h"
#include "iedconnection.h"
#include "reportengine.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class QTextStream;

struct WatchedBlock : ReportBlockRequest
{
    // Buffered blocks: the block resynchronises after this EntryID instead
    // of sending its whole buffer.
    QByteArray resumeEntryId;
    // Data set member reference ("LD/LN.DO.DA[FC]") -> the signal bound to it.
    QHash<QString, QString> signalByMember;
};

class ReportWatch
{
public:
    ReportWatch(IedConnection &connection, QTextStream &out);
    ~ReportWatch();
    ReportWatch(const ReportWatch &) = delete;
    ReportWatch &operator=(const ReportWatch &) = delete;

    // Reads, configures and enables one block (then interrogates it when
    // asked); false with a line naming the block and the server's error.
    bool enable(const WatchedBlock &block, QString *problem);
    // The same for several blocks, with the requests of different blocks in
    // flight together. Each block's outcome is its own: one the server
    // refuses is named in problems (a line each), the others are enabled.
    // Blocks not begun when stopRequested says so are left alone.
    void enableAll(const QList<WatchedBlock> &blocks, QStringList *problems,
                   const std::function<bool()> &stopRequested = {});
    // Prints reports as they come until ms have passed (forever when
    // negative) or stopRequested says so; false when the connection fails.
    bool run(qint64 ms, const std::function<bool()> &stopRequested, QString *problem);
    // Disables every block this watch enabled, once.
    void disableAll();

    // Safe to read from another thread (a benchmark's feeder).
    int reportCount() const { return reports.load(std::memory_order_acquire); }
    int historyCount() const { return history; }
    int enabledCount() const { return engine.enabled().size(); }

    // "LD/LLN0$RP$name" whichever way it was written; empty for no RCB reference.
    static QString browseForm(const QString &reference)
    {
        return ReportEngine::browseForm(reference);
    }

private:
    void print(const EnabledReportBlock &target, const ClientReport &report, const ReportGap &gap);

    IedConnection &connection;
    QTextStream &out;
    ReportEngine engine;
    // Per block enabled: the signal bound to each member, in member order.
    QHash<QString, QStringList> memberSignals;
    const QList<WatchedBlock> *enabling = nullptr;
    std::atomic<int> reports{0};
    int history = 0;
};

#endif
