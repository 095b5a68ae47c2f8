#include "onlineworker.h"

#include "clientreport.h"
#include "clientreportcontrolblock.h"
#include "iedconnection.h"
#include "livevalues.h"
#include "objectreference.h"
#include "onlinebrowse.h"
#include "reportengine.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QStandardItemModel>
#include <QThread>

namespace {

// How long the watch loop waits for reports before it looks at its flags.
constexpr int WatchSliceMs = 100;
// Disabling on the way out must not keep a Stop waiting on a silent peer.
constexpr int StopRequestTimeoutMs = 400;

void appendEntries(const EnabledReportBlock &target, const ClientReport &report,
                   const ReportGap &gap, QVector<LiveReportEntry> *entries)
{
    const int count = report.dataSetSize();
    bool first = true;
    for (int member = 0; member < count; ++member) {
        if (!report.isIncluded(member))
            continue;
        LiveReportEntry entry;
        entry.receivedMs = report.receivedMs();
        entry.rcb = target.reference;
        if (report.hasSeqNum())
            entry.seqNum = QString::number(report.seqNum());
        entry.member = report.memberReference(member);
        QString name = target.memberPaths.value(member);
        if (entry.member.isEmpty()) {
            entry.member = report.dataReference(member);
            // Below the logical node, for the names of enumerated values.
            ObjectReference parsed;
            if (ObjectReference::parse(entry.member, &parsed))
                name = parsed.path.join(QLatin1Char('.'));
        }
        const LiveValues::Parts parts =
            LiveValues::parts(report.value(member), target.types.value(member), name);
        entry.value = parts.value;
        entry.quality = parts.quality;
        entry.timestamp = parts.timestamp;
        entry.reason = LiveValues::reasonText(report.reasonForInclusion(member));
        entry.fromBuffer = report.isFromBuffer();
        if (report.content().has(ReportOptionEntryId))
            entry.entryId = report.entryId();
        if (report.hasTimestamp())
            entry.entryTimeMs = qint64(report.timestamp());
        if (first)
            entry.gap = gap.text();
        first = false;
        entries->append(entry);
    }
}

// "LD/LLN0.BR.name" as servers name it in reports: "LD/LLN0$BR$name".
QString blockReference(QString reference)
{
    const int slash = reference.indexOf(QLatin1Char('/'));
    for (const char *kind : {"RP", "BR"}) {
        const QString dotted = QStringLiteral(".%1.").arg(QLatin1String(kind));
        const int at = reference.indexOf(dotted, slash);
        if (at >= 0)
            return reference.replace(at, dotted.size(),
                                     QStringLiteral("$%1$").arg(QLatin1String(kind)));
    }
    return reference;
}

// The blocks a server offers for "LD/LN$RP$name": the block itself, or the
// instances name01, name02 ... of an indexed one; the reference alone when
// the server lists none.
QStringList blockInstances(IedConnection &connection, const QString &reference)
{
    for (const char *kind : {"$RP$", "$BR$"}) {
        const int at = reference.indexOf(QLatin1String(kind));
        if (at < 0)
            continue;
        const QString node = reference.left(at);
        const QString name = reference.mid(at + 4);
        const bool buffered = QLatin1String(kind) == QLatin1String("$BR$");
        const QStringList blocks = connection.logicalNodeDirectory(
            node, buffered ? IedConnection::AcsiClass::Brcb : IedConnection::AcsiClass::Urcb);
        QStringList found;
        for (const QString &block : blocks) {
            const QString suffix = block.mid(name.size());
            bool digits = false;
            suffix.toInt(&digits);
            if (block == name || (block.startsWith(name) && suffix.size() == 2 && digits))
                found << node + QLatin1String(kind) + block;
        }
        if (!found.isEmpty())
            return found;
    }
    return {reference};
}

} // namespace

void registerOnlineWorkerTypes()
{
    qRegisterMetaType<OnlineTrees>();
    qRegisterMetaType<QVector<ObjectRead>>();
    qRegisterMetaType<QVector<ObjectReadResult>>();
    qRegisterMetaType<QVector<ReportSubscription>>();
    qRegisterMetaType<QVector<LiveReportEntry>>();
    qRegisterMetaType<IedClientError>();
}

OnlineWorker::OnlineWorker(QObject *parent) : QObject(parent)
{
    registerOnlineWorkerTypes();
}

OnlineWorker::~OnlineWorker() = default;

void OnlineWorker::setTimeouts(int connectMs, int requestMs)
{
    connectTimeoutMs = connectMs;
    requestTimeoutMs = requestMs;
}

void OnlineWorker::arm()
{
    cancelled = false;
    stopRequested = false;
}

void OnlineWorker::cancel()
{
    QMutexLocker lock(&activeMutex);
    cancelled = true;
    stopRequested = true;
    if (activeConnection)
        activeConnection->cancel();
    if (activeBrowse)
        activeBrowse->cancel();
}

void OnlineWorker::setActive(IedConnection *connection)
{
    QMutexLocker lock(&activeMutex);
    activeConnection = connection;
    if (connection && cancelled)
        connection->cancel();
}

void OnlineWorker::setActiveBrowse(OnlineBrowse *browse)
{
    QMutexLocker lock(&activeMutex);
    activeBrowse = browse;
    if (browse && cancelled)
        browse->cancel();
}

bool OnlineWorker::connectTo(IedConnection &connection, const QString &host, int port)
{
    if (connectTimeoutMs > 0)
        connection.setConnectTimeout(connectTimeoutMs);
    if (requestTimeoutMs > 0)
        connection.setRequestTimeout(requestTimeoutMs);
    setActive(&connection);
    IedClientError error = IedClientError::InvalidArgument;
    if (port > 0 && port <= 65535 && host.toLatin1().size() <= OnlineBrowse::MaxHostLength)
        error = connection.connect(host, quint16(port));
    if (error == IedClientError::Ok)
        return true;
    if (!cancelled)
        emit connectFailed(error);
    return false;
}

void OnlineWorker::browse(const QString &host, int port)
{
    OnlineBrowse browse([this](const QString &line) { emit infoLine(line); });
    browse.setEventPump([] {});
    browse.setIconsEnabled(false);
    if (connectTimeoutMs > 0 || requestTimeoutMs > 0)
        browse.setTimeouts(connectTimeoutMs, requestTimeoutMs);
    setActiveBrowse(&browse);

    // Whichever thread lets a tree go last, the model is deleted on its own.
    auto makeModel = [] {
        return std::shared_ptr<QStandardItemModel>(
            new QStandardItemModel, [](QStandardItemModel *model) { model->deleteLater(); });
    };
    OnlineTrees trees;
    trees.complete = makeModel();
    trees.dataSets = makeModel();
    trees.reports = makeModel();
    trees.result = browse.browseIed(
        host, port, {trees.complete.get(), trees.dataSets.get(), trees.reports.get()});
    setActiveBrowse(nullptr);
    if (!cancelled) {
        QThread *receiver = QCoreApplication::instance()->thread();
        trees.complete->moveToThread(receiver);
        trees.dataSets->moveToThread(receiver);
        trees.reports->moveToThread(receiver);
        emit browseFinished(trees);
    }
    emit finished(cancelled);
}

void OnlineWorker::testRead(const QString &host, int port)
{
    OnlineBrowse browse([this](const QString &line) { emit infoLine(line); });
    browse.setEventPump([] {});
    if (connectTimeoutMs > 0 || requestTimeoutMs > 0)
        browse.setTimeouts(connectTimeoutMs, requestTimeoutMs);
    setActiveBrowse(&browse);
    browse.testRead(host, port);
    setActiveBrowse(nullptr);
    emit finished(cancelled);
}

void OnlineWorker::readObjects(const QString &host, int port, const QVector<ObjectRead> &reads)
{
    IedConnection connection;
    if (connectTo(connection, host, port)) {
        QVector<ObjectReadResult> results;
        for (const ObjectRead &read : reads) {
            if (cancelled)
                break;
            ObjectReadResult result;
            result.request = read;
            result.value = connection.readObject(read.reference, read.fc, &result.error);
            if (result.error == IedClientError::Ok && !result.value.isNull() &&
                (result.value.type() == MmsType::Structure ||
                 result.value.type() == MmsType::Array))
                result.type = connection.variableSpecification(read.reference, read.fc);
            results.append(result);
        }
        connection.close();
        if (!cancelled)
            emit objectsRead(results);
    }
    setActive(nullptr);
    emit finished(cancelled);
}

void OnlineWorker::watchReports(const QString &host, int port,
                                const QVector<ReportSubscription> &subscriptions)
{
    IedConnection connection;
    if (!connectTo(connection, host, port)) {
        setActive(nullptr);
        emit finished(cancelled);
        return;
    }
    connection.setAmbiguityHandler([this](const QString &rptId, const QStringList &blocks) {
        emit watchProblem(tr("Reports with RptID %1 fit %2 alike; they are not shown under "
                             "either.")
                              .arg(rptId, blocks.join(QLatin1String(", "))));
    });
    QVector<LiveReportEntry> pending;
    ReportEngine engine(connection);
    engine.setNoteHandler([this](const QString &note) { emit watchNote(note); });
    // Reports of the blocks enabled first go out while the others are enabled.
    QElapsedTimer sinceSent;
    sinceSent.start();
    engine.setReportHandler(
        [&](const EnabledReportBlock &target, const ClientReport &report, const ReportGap &gap) {
            appendEntries(target, report, gap, &pending);
            if (sinceSent.elapsed() >= WatchSliceMs) {
                emit reportsReceived(pending);
                pending.clear();
                sinceSent.restart();
            }
        });

    QList<ReportBlockRequest> requests;
    for (const ReportSubscription &settings : subscriptions) {
        ReportBlockRequest request;
        request.reference = blockReference(settings.reference);
        request.instances = settings.instances;
        // A block picked without instances may still be offered as name01 ...
        if (settings.instances <= 0 && connection.isConnected())
            request.candidates = blockInstances(connection, request.reference);
        request.trgOps = settings.trgOps;
        request.optFlds = settings.optFlds;
        request.intgPd = settings.intgPd;
        request.bufTm = settings.bufTm;
        request.gi = settings.gi;
        request.purge = settings.purgeBuffer;
        request.resumeAfter = settings.resumeAfter;
        requests << request;
    }
    QStringList problems;
    engine.enableAll(requests, &problems, [this] { return cancelled || stopRequested; });
    for (const QString &problem : qAsConst(problems))
        emit watchProblem(problem);
    QStringList enabledNames;
    for (const EnabledReportBlock &block : engine.enabled())
        enabledNames << block.reference;
    if (!pending.isEmpty()) {
        emit reportsReceived(pending);
        pending.clear();
    }
    emit watchStarted(enabledNames);

    while (!enabledNames.isEmpty() && !cancelled && !stopRequested && connection.isConnected()) {
        const IedClientError error = connection.processIncoming(WatchSliceMs);
        if (!pending.isEmpty()) {
            emit reportsReceived(pending);
            pending.clear();
        }
        if (error != IedClientError::Ok) {
            emit watchProblem(tr("The connection ended: %1").arg(iedClientErrorName(error)));
            break;
        }
    }

    connection.setRequestTimeout(StopRequestTimeoutMs);
    bool timedOut = false;
    for (const auto &outcome : engine.disableAll()) {
        const IedClientError error = outcome.second;
        timedOut = timedOut || error == IedClientError::Timeout;
        // Gone with the connection, or cancelled: the IED ends them itself.
        if (error != IedClientError::Ok && error != IedClientError::NotConnected &&
            error != IedClientError::ConnectionLost && !cancelled)
            emit watchProblem(
                tr("%1 may still be enabled: %2").arg(outcome.first, iedClientErrorName(error)));
    }
    if (timedOut)
        connection.abort();
    if (connection.isConnected())
        connection.close();
    setActive(nullptr);
    emit finished(cancelled);
}
