#ifndef STATIONSCOPE_ONLINEWORKER_H
#define STATIONSCOPE_ONLINEWORKER_H

// The online work of the window on a thread of its own: the browse, the test
// read, object reads and report watching. Each job makes its own connection,
// owned by this thread; results go out as signals, which reach the window's
// thread queued. cancel() and stop() may be called from any thread.

#include "iedclienterror.h"
#include "mmstypespec.h"
#include "mmsvalue.h"
#include "onlinebrowse.h"

#include <QHash>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <memory>

class IedConnection;
class QStandardItemModel;

// Trees A, B and C of a browse; the models belong to the receiving thread.
// A failed browse names its failure; its trees hold what came before.
struct OnlineTrees
{
    std::shared_ptr<QStandardItemModel> complete;
    std::shared_ptr<QStandardItemModel> dataSets;
    std::shared_ptr<QStandardItemModel> reports;
    OnlineBrowse::Result result;
};

// One object to read: "LD/LN.DO[.DA...]" without constraint, and the constraint.
struct ObjectRead
{
    QString reference;
    QString fc;
};

struct ObjectReadResult
{
    ObjectRead request;
    MmsValue value;
    MmsTypeSpec type;
    IedClientError error = IedClientError::Ok;
};

// A report control block to watch and the settings to write (-1 keeps the
// block's own).
struct ReportSubscription
{
    QString reference; // "LD/LLN0$RP$name" (or with dots); indexed: the base name
    int instances = 0; // > 0: indexed, instances name01 ... are tried in turn
    int trgOps = -1;
    int optFlds = -1;
    qint64 intgPd = -1;
    qint64 bufTm = -1;
    bool gi = false;
    bool purgeBuffer = false; // buffered blocks: PurgeBuf before the enable
    // Buffered blocks: the EntryID to resume after, by instance ("LD/LN$BR$name").
    QHash<QString, QByteArray> resumeAfter;
};

// One member of one received report, as texts.
struct LiveReportEntry
{
    qint64 receivedMs = 0;
    QString rcb;
    QString seqNum; // empty when the report carries none
    QString member; // "LD/LN.DO.DA[FC]"
    QString value;
    QString quality;
    QString timestamp;
    QString reason;
    bool fromBuffer = false; // delivered from a buffered block's buffer, older than the watch
    // The report's EntryID and time of entry (ms since the epoch), when it
    // carries them: where the block resumes next time.
    QByteArray entryId;
    qint64 entryTimeMs = 0;
    // On the first member of a report after entries were lost: the span lost.
    QString gap;
};

class OnlineWorker : public QObject
{
    Q_OBJECT

public:
    explicit OnlineWorker(QObject *parent = nullptr);
    ~OnlineWorker() override;

    void setTimeouts(int connectMs, int requestMs);

    // Called before each job is queued: forgets an earlier cancel or stop.
    void arm();
    // From any thread: ends the job in progress within a few tenths of a
    // second, dropping its connection.
    void cancel();
    // From any thread: ends a report watch in order, disabling its blocks
    // and releasing the association.
    void stop() { stopRequested = true; }

public slots:
    void browse(const QString &host, int port);
    void testRead(const QString &host, int port);
    void readObjects(const QString &host, int port, const QVector<ObjectRead> &reads);
    void watchReports(const QString &host, int port,
                      const QVector<ReportSubscription> &subscriptions);

signals:
    void infoLine(const QString &line);
    // The connection could not be made (not sent for a cancelled job; a
    // browse tells it in its result instead).
    void connectFailed(IedClientError error);
    void browseFinished(const OnlineTrees &trees);
    void objectsRead(const QVector<ObjectReadResult> &results);
    // A block that could not be watched, with the reason.
    void watchProblem(const QString &problem);
    // What the user should know that is no failure (a refused EntryID).
    void watchNote(const QString &note);
    void watchStarted(const QStringList &enabledBlocks);
    void reportsReceived(const QVector<LiveReportEntry> &entries);
    // Every job ends with this, whatever happened.
    void finished(bool cancelled);

private:
    bool connectTo(IedConnection &connection, const QString &host, int port);
    void setActive(IedConnection *connection);
    void setActiveBrowse(OnlineBrowse *browse);

    int connectTimeoutMs = -1;
    int requestTimeoutMs = -1;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> stopRequested{false};
    QMutex activeMutex;
    IedConnection *activeConnection = nullptr;
    OnlineBrowse *activeBrowse = nullptr;
};

Q_DECLARE_METATYPE(OnlineTrees)
Q_DECLARE_METATYPE(ObjectRead)
Q_DECLARE_METATYPE(ObjectReadResult)
Q_DECLARE_METATYPE(ReportSubscription)
Q_DECLARE_METATYPE(LiveReportEntry)
Q_DECLARE_METATYPE(IedClientError)

// Registers the types above for queued connections; safe to call repeatedly.
void registerOnlineWorkerTypes();

#endif
