#ifndef STATIONSCOPE_REPORTWATCH_H
#define STATIONSCOPE_REPORTWATCH_H

// Subscribes to report control blocks of one live IED and prints every
// report they send: reserves and enables each block with the settings asked
// for, waits, and disables what it enabled on the way out.

#include "clientreport.h"
#include "iedconnection.h"
#include "mmstypespec.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class QTextStream;

struct WatchedBlock
{
    // "LD/LLN0$RP$name" or "LD/LLN0.RP.name"; with instances > 0 the base
    // name of an indexed block, whose instances name01 ... are tried in turn.
    QString reference;
    int instances = 0;
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
    // Buffered blocks: PurgeBuf is written before the enable, or the block
    // resynchronises after this EntryID (hex) instead of sending its whole buffer.
    bool purge = false;
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
    int enabledCount() const { return enabled.size(); }

    // "LD/LLN0$RP$name" whichever way it was written; empty for no RCB reference.
    static QString browseForm(const QString &reference);

private:
    struct Enabled
    {
        QString reference; // browse form, the instance enabled
        ClientReportControlBlock block;
        QStringList members;
        QHash<int, MmsTypeSpec> types; // of data object members
        QStringList memberSignals;
        QStringList memberNames; // each member's names below the logical node
    };

    // One block on its way: the instance tried, and what is known of it.
    struct Attempt
    {
        enum Step { Read, Members, Types, Enable, Interrogate, Done, Failed };
        const WatchedBlock *settings = nullptr;
        QString base;     // browse form of the block asked for
        int instance = 0; // of an indexed block, from 1
        Step step = Read;
        ClientReportControlBlock block;
        bool inUse = false;
        bool otherDataSet = false;
        QString dataSet;
        Enabled target;
        QString problem;
    };

    static QVector<int> atStep(const QList<Attempt> &attempts, Attempt::Step step);
    void readBlocks(QList<Attempt> &attempts);
    void readMembers(QList<Attempt> &attempts);
    void describeMembers(QList<Attempt> &attempts);
    void enableBlocks(QList<Attempt> &attempts);
    void interrogate(QList<Attempt> &attempts);
    // An indexed block goes on with its next instance; any other fails.
    void moveOn(Attempt &attempt, const QString &problem);
    void print(const Enabled &target, const ClientReport &report);
    void dispatchReports();

    IedConnection &connection;
    QTextStream &out;
    QList<Enabled> enabled;
    std::atomic<int> reports{0};
    int history = 0;
};

#endif
