#include "commissioningsession.h"

#include "commissioningnameplate.h"
#include "commissioningrecord.h"
#include "iedconnection.h"
#include "livevalues.h"
#include "objectreference.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QMutexLocker>
#include <QSet>

namespace {

constexpr int WaitSliceMs = 100;
// Disabling on the way out must not hang on a device that stopped answering.
constexpr int StopRequestTimeoutMs = 2000;

// "LD/LLN0.BR.name" as devices name the block in reports: "LD/LLN0$BR$name";
// empty for a text that names no report control block.
QString blockBrowseForm(const QString &text)
{
    ObjectReference reference;
    const bool block =
        ObjectReference::parse(text, &reference) && reference.fc.isEmpty() &&
        reference.path.size() == 2 &&
        QStringList({QStringLiteral("RP"), QStringLiteral("BR")}).contains(reference.path.first());
    return block ? reference.logicalDevice + QLatin1Char('/') + reference.plainItem() : QString();
}

// What a point saw in one value: the value text, its quality and time stamp
// (the nearest enclosing q and t), or none when the path is not in the value.
struct Sighting
{
    bool found = false;
    QString value;
    bool hasQuality = false;
    quint16 quality = 0;
    QDateTime time;
};

// A time stamp the device never set (zero) tells no time.
QDateTime deviceTime(const MmsValue &stamp)
{
    const qint64 ms = qint64(stamp.utcTimeMs());
    return ms > 0 ? QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC) : QDateTime();
}

int componentIndex(const MmsTypeSpec &type, const QString &name)
{
    for (int i = 0; i < type.componentCount(); ++i) {
        if (type.componentName(i) == name)
            return i;
    }
    return -1;
}

void noteQualityAndTime(const MmsValue &value, const MmsTypeSpec &type, Sighting *sighting)
{
    if (value.type() != MmsType::Structure || type.componentCount() != value.elementCount())
        return;
    const int q = componentIndex(type, QStringLiteral("q"));
    if (q >= 0 && value.element(q).type() == MmsType::BitString) {
        sighting->hasQuality = true;
        sighting->quality = value.element(q).toQuality();
    }
    const int t = componentIndex(type, QStringLiteral("t"));
    if (t >= 0 && value.element(t).type() == MmsType::UtcTime)
        sighting->time = deviceTime(value.element(t));
}

// Walks path down value (typed by type) from its top.
Sighting sight(const MmsValue &top, const MmsTypeSpec &topType, const QStringList &path,
               const QString &topName)
{
    Sighting sighting;
    MmsValue value = top;
    const MmsTypeSpec *type = &topType;
    QString name = topName;
    for (const QString &part : path) {
        noteQualityAndTime(value, *type, &sighting);
        const int index = componentIndex(*type, part);
        if (index < 0 || value.type() != MmsType::Structure || index >= value.elementCount())
            return sighting;
        value = value.element(index);
        type = &type->component(index);
        name = part;
    }
    noteQualityAndTime(value, *type, &sighting);
    if (name == QLatin1String("q") && value.type() == MmsType::BitString) {
        sighting.hasQuality = true;
        sighting.quality = value.toQuality();
    }
    // The whole path names an enumeration's values ("Health.stVal").
    sighting.value =
        LiveValues::parts(value, *type, (QStringList{topName} + path).join(QLatin1Char('.'))).value;
    sighting.found = !value.isNull() && value.type() != MmsType::DataAccessError;
    return sighting;
}

// Good only when the device says so: validity good, not a test value,
// not substituted or blocked by an operator.
bool isGood(quint16 quality)
{
    return (quality & Quality::ValidityMask) == Quality::ValidityGood &&
           !(quality & (Quality::Test | Quality::SourceSubstituted | Quality::OperatorBlocked));
}

// "LD/LN.DO.DA" split after the data object: ("LD/LN.DO", ["DA"]).
bool splitAtDataObject(const QString &reference, QString *dataObject, QStringList *rest)
{
    ObjectReference parsed;
    if (!ObjectReference::parse(reference, &parsed) || parsed.path.isEmpty())
        return false;
    *dataObject = parsed.logicalDevice + QLatin1Char('/') + parsed.logicalNode + QLatin1Char('.') +
                  parsed.path.first();
    *rest = parsed.path.mid(1);
    return true;
}

} // namespace

// One run's state: the connection, the enabled blocks and the reads.
class CommissioningSession::Run
{
public:
    Run(CommissioningSession &session, IedConnection &connection)
        : session(session), connection(connection)
    {
    }

    struct Target
    {
        int row;
        QStringList path; // below the member or the data object read
    };
    struct Block
    {
        QString picked; // as the points name it
        QString reference;
        ClientReportControlBlock values;
        QStringList members;
        QVector<MmsTypeSpec> types;
        QVector<QVector<Target>> targets; // per member
        // Per member: the member holding its quality / time stamp, or -1.
        QVector<int> qualityMember;
        QVector<int> timeMember;
        QHash<int, MmsValue> lastValues;
        int reports = 0;
    };
    struct Read
    {
        QString reference; // the data object
        QString fc;
        QVector<Target> targets;
        MmsTypeSpec type;
        bool typed = false;
        bool failedOnce = false;
    };

    void enableBlocks();
    void disableBlocks();
    bool pollRound();
    void buildReads();
    bool wait(qint64 ms);
    void tellSilentBlocks();
    bool stopped() const
    {
        return session.stopRequested.load() || deadline.hasExpired() ||
               (session.stopCondition && session.stopCondition());
    }

    QDeadlineTimer deadline;
    // Why enabling ended the connection.
    QString enableProblem;

private:
    bool enableInstance(const QString &picked, const QString &reference,
                        const QVector<Target> &targetsByPoint, QString *problem);
    void handle(int blockIndex, const ClientReport &report);
    void tell(const Target &target, const Sighting &sighting);

    CommissioningSession &session;
    IedConnection &connection;
    QList<Block> blocks;
    QList<Read> reads;
};

void CommissioningSession::Run::tell(const Target &target, const Sighting &sighting)
{
    if (!sighting.found)
        return;
    const QString quality =
        sighting.hasQuality ? Quality::text(sighting.quality) : CommissioningRecord::UnknownQuality;
    const bool good = sighting.hasQuality && isGood(sighting.quality);
    emit session.observed(target.row, sighting.value, quality, good, sighting.time);
}

bool CommissioningSession::Run::enableInstance(const QString &picked, const QString &reference,
                                               const QVector<Target> &rows, QString *problem)
{
    using Element = ClientReportControlBlock;
    IedClientError error = IedClientError::Ok;
    ClientReportControlBlock values = connection.getRCBValues(reference, &error);
    if (error == IedClientError::Ok && (values.rptEna() || values.resv())) {
        *problem = QStringLiteral("%1: in use by another client").arg(reference);
        return false;
    }
    Block block;
    block.picked = picked;
    block.reference = reference;
    if (error == IedClientError::Ok)
        block.members = connection.dataSetDirectory(values.dataSetReference(), nullptr, &error);
    if (error != IedClientError::Ok) {
        *problem = QStringLiteral("%1: %2").arg(reference, iedClientErrorName(error));
        return false;
    }
    const int count = block.members.size();
    block.types.resize(count);
    block.targets.resize(count);
    block.qualityMember.fill(-1, count);
    block.timeMember.fill(-1, count);
    QHash<QString, int> memberByKey;
    QSet<int> matched;
    for (int i = 0; i < count; ++i)
        memberByKey.insert(ObjectReferences::withoutFc(block.members.at(i)), i);
    for (int i = 0; i < count; ++i) {
        const QString member = block.members.at(i);
        const QString key = ObjectReferences::withoutFc(member);
        ObjectReference parsed;
        ObjectReference::parse(member, &parsed);
        // A member of one attribute takes q and t from the nearest enclosing
        // structure's q and t among the set's members.
        QString parent = key;
        for (int depth = parsed.path.size(); depth > 1; --depth) {
            parent.truncate(parent.lastIndexOf(QLatin1Char('.')));
            if (block.qualityMember.at(i) < 0)
                block.qualityMember[i] = memberByKey.value(parent + QStringLiteral(".q"), -1);
            if (block.timeMember.at(i) < 0)
                block.timeMember[i] = memberByKey.value(parent + QStringLiteral(".t"), -1);
        }
        for (const Target &target : rows) {
            const QString pointReference = session.points.at(target.row).reference;
            if (pointReference == key)
                block.targets[i].append(Target{target.row, QStringList()});
            else if (pointReference.startsWith(key + QLatin1Char('.')))
                block.targets[i].append(
                    Target{target.row, pointReference.mid(key.size() + 1).split(QLatin1Char('.'))});
            else
                continue;
            matched.insert(target.row);
        }
        // Only bound members are described: their q, t and parts are found by name.
        if (!block.targets.at(i).isEmpty() && !parsed.path.isEmpty())
            block.types[i] = connection.variableSpecification(key, parsed.fc);
    }
    for (const Target &target : rows) {
        if (!matched.contains(target.row))
            emit session.status(tr("%1 is no member of the data set of %2")
                                    .arg(session.points.at(target.row).reference, reference));
    }
    int mask = Element::ElementRptEna;
    // What a buffered block kept from before is history, not what the device shows now.
    if (values.isBuffered()) {
        values.setPurgeBuf(true);
        mask |= Element::ElementPurgeBuf;
    }
    values.setGi(false);
    values.setRptEna(true);
    const int index = blocks.size();
    connection.installReportHandler(
        values, [this, index](const ClientReport &report) { handle(index, report); },
        block.members);
    block.values = values;
    blocks.append(block);
    error = connection.setRCBValues(values, mask, true);
    if (error != IedClientError::Ok) {
        connection.uninstallReportHandler(reference);
        blocks.removeLast();
        *problem = QStringLiteral("%1: the device refused to enable it: %2")
                       .arg(reference, iedClientErrorName(error));
        if (connection.isConnected()) {
            values.setRptEna(false);
            connection.setRCBValues(values, Element::ElementRptEna, true);
        }
        return false;
    }
    // The values as they are now, before any change.
    values.setGi(true);
    connection.setRCBValues(values, Element::ElementGi, true);
    emit session.status(tr("Enabled %1 (%2 members)").arg(reference).arg(count));
    return true;
}

void CommissioningSession::Run::enableBlocks()
{
    QStringList order;
    QHash<QString, QVector<Target>> rowsByBlock;
    QHash<QString, int> instancesByBlock;
    for (int row = 0; row < session.points.size(); ++row) {
        const CommissioningPoint &point = session.points.at(row);
        if (point.arrival != CommissioningPoint::Arrival::Report)
            continue;
        if (!rowsByBlock.contains(point.blockReference))
            order << point.blockReference;
        rowsByBlock[point.blockReference].append(Target{row, QStringList()});
        instancesByBlock.insert(point.blockReference, point.blockInstances);
    }
    connection.setAmbiguityHandler([this](const QString &rptId, const QStringList &names) {
        emit session.status(tr("Reports with RptID %1 fit %2 alike; they are not counted.")
                                .arg(rptId, names.join(QStringLiteral(", "))));
    });
    for (const QString &picked : qAsConst(order)) {
        if (stopped() || !connection.isConnected())
            return;
        const QString reference = blockBrowseForm(picked);
        QStringList candidates;
        for (int index = 1; index <= instancesByBlock.value(picked); ++index)
            candidates << reference + QString::number(index).rightJustified(2, QLatin1Char('0'));
        if (candidates.isEmpty())
            candidates << reference;
        QString problem = tr("%1 is no report control block reference").arg(picked);
        bool enabled = false;
        for (const QString &candidate : qAsConst(candidates)) {
            if (reference.isEmpty() || !connection.isConnected())
                break;
            enabled = enableInstance(picked, candidate, rowsByBlock.value(picked), &problem);
            if (enabled)
                break;
        }
        if (!enabled) {
            emit session.blockRefused(picked, problem);
            if (!connection.isConnected()) {
                enableProblem = problem;
                return;
            }
        } else {
            emit session.blockEnabled(picked);
        }
        // The reports of the blocks enabled so far go out, not into the queue.
        if (connection.isConnected())
            connection.processIncoming(0);
    }
}

void CommissioningSession::Run::handle(int blockIndex, const ClientReport &report)
{
    if (report.isFromBuffer())
        return;
    Block &block = blocks[blockIndex];
    ++block.reports;
    ++session.reports;
    for (int i = 0; i < report.dataSetSize() && i < block.members.size(); ++i) {
        if (report.isIncluded(i))
            block.lastValues.insert(i, report.value(i));
    }
    for (int i = 0; i < report.dataSetSize() && i < block.members.size(); ++i) {
        if (!report.isIncluded(i) || block.targets.at(i).isEmpty())
            continue;
        ObjectReference parsed;
        ObjectReference::parse(block.members.at(i), &parsed);
        const QString name = parsed.path.isEmpty() ? QString() : parsed.path.last();
        for (const Target &target : block.targets.at(i)) {
            Sighting sighting = sight(report.value(i), block.types.at(i), target.path, name);
            const int q = block.qualityMember.at(i);
            if (!sighting.hasQuality && q >= 0 && block.lastValues.contains(q)) {
                sighting.hasQuality = true;
                sighting.quality = block.lastValues.value(q).toQuality();
            }
            const int t = block.timeMember.at(i);
            if (!sighting.time.isValid() && t >= 0 && block.lastValues.contains(t))
                sighting.time = deviceTime(block.lastValues.value(t));
            tell(target, sighting);
        }
    }
}

void CommissioningSession::Run::buildReads()
{
    QHash<QString, int> readByKey;
    for (int row = 0; row < session.points.size(); ++row) {
        const CommissioningPoint &point = session.points.at(row);
        if (point.arrival != CommissioningPoint::Arrival::Read)
            continue;
        QString dataObject;
        QStringList rest;
        if (!splitAtDataObject(point.reference, &dataObject, &rest))
            continue;
        // A command is seen when its object answers a read of its status;
        // it is never operated here.
        const bool command = point.direction == CommissioningPoint::Direction::Command;
        const QString fc = command ? QStringLiteral("ST") : point.fc;
        const QString key = dataObject + QLatin1Char('[') + fc + QLatin1Char(']');
        auto found = readByKey.constFind(key);
        if (found == readByKey.constEnd()) {
            found = readByKey.insert(key, reads.size());
            reads.append({dataObject, fc, {}, MmsTypeSpec(), false, false});
        }
        reads[found.value()].targets.append(Target{row, command ? QStringList() : rest});
    }
}

bool CommissioningSession::Run::pollRound()
{
    for (Read &read : reads) {
        if (stopped())
            return true;
        IedClientError error = IedClientError::Ok;
        if (!read.typed) {
            read.type = connection.variableSpecification(read.reference, read.fc, &error);
            read.typed = error == IedClientError::Ok;
        }
        const MmsValue value = error == IedClientError::Ok
                                   ? connection.readObject(read.reference, read.fc, &error)
                                   : MmsValue();
        ++session.reads;
        if (!connection.isConnected()) {
            emit session.failed(tr("The connection ended while reading %1: %2")
                                    .arg(read.reference, iedClientErrorName(error)));
            return false;
        }
        if (error != IedClientError::Ok) {
            if (!read.failedOnce)
                emit session.status(tr("%1 [%2] cannot be read: %3")
                                        .arg(read.reference, read.fc, iedClientErrorName(error)));
            read.failedOnce = true;
            continue;
        }
        const QString name = read.reference.section(QLatin1Char('.'), -1);
        for (const Target &target : qAsConst(read.targets))
            tell(target, sight(value, read.type, target.path, name));
        // Reports that came meanwhile go out between the reads.
        connection.processIncoming(0);
    }
    return true;
}

bool CommissioningSession::Run::wait(qint64 ms)
{
    QDeadlineTimer pause(ms);
    while (!stopped() && !pause.hasExpired()) {
        const IedClientError error =
            connection.processIncoming(int(qMin<qint64>(WaitSliceMs, pause.remainingTime())));
        if (error != IedClientError::Ok && !stopped()) {
            emit session.failed(tr("The connection ended while waiting for reports: %1")
                                    .arg(iedClientErrorName(error)));
            return false;
        }
    }
    return true;
}

void CommissioningSession::Run::disableBlocks()
{
    connection.setAmbiguityHandler(IedConnection::AmbiguityHandler());
    connection.setRequestTimeout(StopRequestTimeoutMs);
    QList<ClientReportControlBlock> values;
    for (const Block &block : qAsConst(blocks))
        values << block.values;
    const QVector<IedClientError> errors = connection.disableReporting(values);
    for (int i = 0; i < errors.size(); ++i) {
        const QString &reference = blocks.at(i).reference;
        if (errors.at(i) == IedClientError::NotConnected)
            continue;
        if (errors.at(i) != IedClientError::Ok)
            emit session.status(tr("%1 could not be disabled: %2")
                                    .arg(reference, iedClientErrorName(errors.at(i))));
        else
            emit session.status(tr("Disabled %1").arg(reference));
    }
}

void CommissioningSession::Run::tellSilentBlocks()
{
    for (const Block &block : qAsConst(blocks)) {
        if (block.reports == 0)
            emit session.blockSilent(block.picked,
                                     tr("%1 delivered no report").arg(block.reference));
    }
}

CommissioningSession::CommissioningSession(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<CommissioningDevice>("CommissioningDevice");
}

CommissioningSession::~CommissioningSession() = default;

void CommissioningSession::setAddress(const QString &hostName, int portNumber)
{
    host = hostName;
    port = portNumber;
}

void CommissioningSession::setPoints(const CommissioningPoints &list)
{
    points = list;
}

void CommissioningSession::setPollInterval(int ms)
{
    pollIntervalMs = qMax(0, ms);
}

void CommissioningSession::setDuration(qint64 ms)
{
    durationMs = ms;
}

void CommissioningSession::setTimeouts(int connectMs, int requestMs)
{
    connectTimeoutMs = connectMs;
    requestTimeoutMs = requestMs;
}

void CommissioningSession::setStopCondition(const std::function<bool()> &condition)
{
    stopCondition = condition;
}

void CommissioningSession::arm()
{
    stopRequested = false;
    proceedGiven = false;
}

void CommissioningSession::setAwaitIdentity(bool await)
{
    awaitIdentity = await;
}

void CommissioningSession::proceed()
{
    proceedGiven = true;
}

bool CommissioningSession::awaitProceed(IedConnection &connection)
{
    while (!proceedGiven.load()) {
        if (stopRequested.load() || (stopCondition && stopCondition()))
            return false;
        // Keeps the association answered while the tester decides.
        if (connection.processIncoming(WaitSliceMs) != IedClientError::Ok &&
            !connection.isConnected()) {
            emit failed(tr("The connection ended while the device was being confirmed"));
            return false;
        }
    }
    return true;
}

CommissioningDevice CommissioningSession::identify(IedConnection &connection) const
{
    return CommissioningNamePlate::read(connection, host, port, points);
}

void CommissioningSession::stop()
{
    stopRequested = true;
}

void CommissioningSession::cancel()
{
    stopRequested = true;
    QMutexLocker lock(&activeMutex);
    if (active)
        active->cancel();
}

void CommissioningSession::setActive(IedConnection *connection)
{
    QMutexLocker lock(&activeMutex);
    active = connection;
}

void CommissioningSession::run()
{
    reports = 0;
    reads = 0;
    IedConnection connection;
    if (connectTimeoutMs > 0)
        connection.setConnectTimeout(connectTimeoutMs);
    if (requestTimeoutMs > 0)
        connection.setRequestTimeout(requestTimeoutMs);
    setActive(&connection);
    emit status(tr("Connecting to %1 port %2").arg(host).arg(port));
    const IedClientError connected = connection.connect(host, quint16(port));
    if (connected != IedClientError::Ok) {
        setActive(nullptr);
        emit failed(tr("Cannot connect to %1 port %2: %3")
                        .arg(host)
                        .arg(port)
                        .arg(iedClientErrorName(connected)));
        emit finished();
        return;
    }
    emit identified(identify(connection));
    if (awaitIdentity && !awaitProceed(connection)) {
        if (connection.isConnected())
            connection.close();
        setActive(nullptr);
        emit finished();
        return;
    }
    Run run(*this, connection);
    run.deadline =
        durationMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(durationMs);
    run.enableBlocks();
    run.buildReads();
    bool alive = connection.isConnected();
    if (alive)
        emit status(tr("Session running"));
    else if (!run.stopped())
        emit failed(run.enableProblem.isEmpty()
                        ? tr("The connection ended while enabling the report control blocks")
                        : tr("The connection ended while enabling the report control blocks "
                             "(%1)")
                              .arg(run.enableProblem));
    while (alive && !run.stopped()) {
        alive = run.pollRound() && run.wait(pollIntervalMs);
    }
    run.disableBlocks();
    if (alive || connection.isConnected())
        run.tellSilentBlocks();
    if (connection.isConnected())
        connection.close();
    setActive(nullptr);
    emit finished();
}
