#include "reportengine.h"

#include "objectreference.h"

#include <QDateTime>
#include <QSet>

namespace {

constexpr int DisablingQueueBound = 8;
// Blocks enabled ahead of the others.
constexpr int FirstBlocks = 4;

QString timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzzZ"));
}

// The type below a logical node's constraint that names lists, or null.
const MmsTypeSpec *typeAt(const MmsTypeSpec &node, const QStringList &names)
{
    const MmsTypeSpec *type = &node;
    for (const QString &name : names) {
        if (type->type() != MmsType::Structure)
            return nullptr;
        const int index = type->indexOf(name);
        if (index < 0 || index >= type->componentCount())
            return nullptr;
        type = &type->component(index);
    }
    return type;
}

} // namespace

QString ReportGap::text() const
{
    if (!lost)
        return QString();
    QString after;
    if (afterMs > 0)
        after = timeText(afterMs);
    if (!afterEntryId.isEmpty())
        after += (after.isEmpty() ? QStringLiteral("EntryID %1") : QStringLiteral(" (EntryID %1)"))
                     .arg(QString::fromLatin1(afterEntryId.toHex()));
    const QString before = beforeMs > 0 ? timeText(beforeMs) : QStringLiteral("this report");
    if (after.isEmpty())
        return QStringLiteral("entries lost before %1").arg(before);
    return QStringLiteral("entries lost between %1 and %2").arg(after, before);
}

// One block on its way: the instance tried, and what is known of it.
struct ReportEngine::Attempt
{
    enum Step { Read, Members, Types, Enable, Interrogate, Done, Failed, Queued };
    int request = -1;
    const ReportBlockRequest *settings = nullptr;
    QStringList candidates; // instances, tried in turn
    int candidate = 0;
    Step step = Read;
    ClientReportControlBlock block;
    bool inUse = false;
    bool otherDataSet = false;
    bool resumeRefused = false;
    QString dataSet;
    EnabledReportBlock target;
    QString problem;
};

ReportEngine::ReportEngine(IedConnection &connection) : connection(connection) {}

ReportEngine::~ReportEngine()
{
    disableAll();
}

QString ReportEngine::browseForm(const QString &text)
{
    ObjectReference reference;
    if (!ObjectReference::parse(text, &reference) || reference.path.size() != 2 ||
        !reference.fc.isEmpty() ||
        (reference.path.first() != QLatin1String("RP") &&
         reference.path.first() != QLatin1String("BR")))
        return QString();
    return reference.logicalDevice + QLatin1Char('/') + reference.plainItem();
}

void ReportEngine::note(const QString &text)
{
    if (noteHandler)
        noteHandler(text);
}

void ReportEngine::enableAll(const QList<ReportBlockRequest> &requests, QStringList *problems,
                             const std::function<bool()> &stopRequested)
{
    QList<Attempt> attempts;
    for (int r = 0; r < requests.size(); ++r) {
        const ReportBlockRequest &request = requests.at(r);
        Attempt attempt;
        attempt.request = r;
        attempt.settings = &request;
        const QString base = browseForm(request.reference);
        for (const QString &candidate : request.candidates)
            attempt.candidates << browseForm(candidate);
        attempt.candidates.removeAll(QString());
        for (int index = 1; attempt.candidates.isEmpty() && index <= request.instances; ++index)
            attempt.candidates << base + QString::number(index).rightJustified(2, QLatin1Char('0'));
        if (attempt.candidates.isEmpty() && !base.isEmpty())
            attempt.candidates << base;
        // A first few blocks go ahead, so their reports come while the
        // others are enabled.
        if (r >= FirstBlocks)
            attempt.step = Attempt::Queued;
        if (attempt.candidates.isEmpty()) {
            attempt.step = Attempt::Failed;
            attempt.problem = QStringLiteral("\"%1\" is no report control block reference "
                                             "(LD/LLN0$RP$name or LD/LLN0.BR.name)")
                                  .arg(request.reference);
        }
        attempts.append(attempt);
    }
    // Every block takes one step per round, its requests in flight with the
    // other blocks' of the same step; an indexed block whose instance is
    // taken starts again with the next.
    const QList<void (ReportEngine::*)(QList<Attempt> &)> steps{
        &ReportEngine::readBlocks, &ReportEngine::readMembers, &ReportEngine::describeMembers,
        &ReportEngine::enableBlocks, &ReportEngine::interrogate};
    const auto pending = [&] {
        for (const Attempt &attempt : qAsConst(attempts)) {
            if (attempt.step != Attempt::Done && attempt.step != Attempt::Failed)
                return true;
        }
        return false;
    };
    const auto admit = [&] {
        for (const Attempt &attempt : qAsConst(attempts)) {
            if (attempt.step != Attempt::Done && attempt.step != Attempt::Failed &&
                attempt.step != Attempt::Queued)
                return;
        }
        for (Attempt &attempt : attempts) {
            if (attempt.step == Attempt::Queued)
                attempt.step = Attempt::Read;
        }
    };
    bool stopped = false;
    while (pending() && !stopped) {
        admit();
        for (const auto step : steps) {
            stopped = stopRequested && stopRequested();
            if (stopped)
                break;
            (this->*step)(attempts);
            // Enabling many blocks takes many round trips; the reports of the
            // blocks enabled so far go out meanwhile, not left to fill the queue.
            if (connection.isConnected())
                connection.processIncoming(0);
        }
    }
    for (const Attempt &attempt : qAsConst(attempts)) {
        if (attempt.step == Attempt::Failed)
            problems->append(attempt.problem);
    }
}

QVector<int> ReportEngine::atStep(const QList<Attempt> &attempts, int step)
{
    QVector<int> which;
    for (int i = 0; i < attempts.size(); ++i) {
        if (attempts.at(i).step == step)
            which << i;
    }
    return which;
}

void ReportEngine::moveOn(Attempt &attempt, const QString &problem)
{
    attempt.problem = problem;
    if (attempt.candidate + 1 >= attempt.candidates.size() || !connection.isConnected()) {
        attempt.step = Attempt::Failed;
        return;
    }
    ++attempt.candidate;
    attempt.step = Attempt::Read;
    attempt.resumeRefused = false;
    attempt.target = EnabledReportBlock();
}

void ReportEngine::readBlocks(QList<Attempt> &attempts)
{
    const QVector<int> which = atStep(attempts, Attempt::Read);
    if (which.isEmpty())
        return;
    QStringList references;
    for (int i : which)
        references << attempts.at(i).candidates.at(attempts.at(i).candidate);
    QVector<IedClientError> errors;
    const QList<ClientReportControlBlock> read = connection.rcbValuesAll(references, &errors);
    for (int j = 0; j < which.size(); ++j) {
        Attempt &attempt = attempts[which.at(j)];
        const ReportBlockRequest &settings = *attempt.settings;
        const QString &reference = references.at(j);
        if (errors.at(j) != IedClientError::Ok) {
            moveOn(attempt, QStringLiteral("%1: cannot read the block: %2")
                                .arg(reference, iedClientErrorName(errors.at(j))));
            continue;
        }
        const ClientReportControlBlock &block = read.at(j);
        // Another client's block: the next instance is tried, and a block
        // named alone is left for the server to refuse, never touched
        // afterwards.
        attempt.inUse = block.rptEna() || block.resv();
        if (attempt.inUse && attempt.candidates.size() > 1) {
            moveOn(attempt, QStringLiteral("%1: in use by another client").arg(reference));
            continue;
        }
        attempt.block = block;
        attempt.dataSet = block.dataSetReference();
        attempt.otherDataSet = !settings.dataSet.isEmpty() && settings.dataSet != attempt.dataSet;
        if (attempt.otherDataSet)
            attempt.dataSet = settings.dataSet;
        else if (settings.confRev >= 0 && block.confRev() != settings.confRev)
            note(QStringLiteral("%1 has ConfRev %2, %3 expected")
                     .arg(reference)
                     .arg(block.confRev())
                     .arg(settings.confRev));
        attempt.target.request = attempt.request;
        attempt.target.reference = reference;
        attempt.step = Attempt::Members;
    }
}

void ReportEngine::readMembers(QList<Attempt> &attempts)
{
    const QVector<int> which = atStep(attempts, Attempt::Members);
    if (which.isEmpty())
        return;
    QStringList dataSets;
    for (int i : which)
        dataSets << attempts.at(i).dataSet;
    QVector<IedClientError> errors;
    const QList<QStringList> members = connection.dataSetDirectories(dataSets, &errors);
    for (int j = 0; j < which.size(); ++j) {
        Attempt &attempt = attempts[which.at(j)];
        if (errors.at(j) != IedClientError::Ok) {
            moveOn(attempt, QStringLiteral("%1: cannot read the members of data set %2: %3")
                                .arg(attempt.target.reference, dataSets.at(j),
                                     iedClientErrorName(errors.at(j))));
            continue;
        }
        attempt.target.members = members.at(j);
        attempt.step = Attempt::Types;
    }
}

void ReportEngine::describeMembers(QList<Attempt> &attempts)
{
    // Each logical node is described once per constraint, not once per
    // member: a data set of 30 members of one node costs one request.
    QList<QPair<QString, QString>> nodes;
    QHash<QString, int> nodeIndex; // "LD/LN[FC]" -> index in nodes
    struct Owner
    {
        int attempt;
        int member;
        int node;
        QStringList path;
    };
    QVector<Owner> owners;
    for (int a = 0; a < attempts.size(); ++a) {
        Attempt &attempt = attempts[a];
        if (attempt.step != Attempt::Types)
            continue;
        EnabledReportBlock &target = attempt.target;
        for (int i = 0; i < target.members.size(); ++i) {
            ObjectReference member;
            const bool parsed = ObjectReference::parse(target.members.at(i), &member);
            target.memberPaths << (parsed ? member.path.join(QLatin1Char('.')) : QString());
            if (!parsed || member.path.isEmpty() || member.fc.isEmpty())
                continue;
            const QString node = member.logicalDevice + QLatin1Char('/') + member.logicalNode;
            const QString key = node + QLatin1Char('[') + member.fc + QLatin1Char(']');
            auto found = nodeIndex.constFind(key);
            if (found == nodeIndex.constEnd()) {
                found = nodeIndex.insert(key, nodes.size());
                nodes.append({node, member.fc});
            }
            owners.append({a, i, found.value(), member.path});
        }
        attempt.step = Attempt::Enable;
    }
    if (nodes.isEmpty())
        return;
    QVector<IedClientError> errors;
    const QList<MmsTypeSpec> types = connection.variableSpecifications(nodes, &errors);
    // A node the IED does not describe whole: its data object members one by one.
    QList<QPair<QString, QString>> objects;
    QVector<int> objectOwners;
    for (int k = 0; k < owners.size(); ++k) {
        const Owner &owner = owners.at(k);
        EnabledReportBlock &target = attempts[owner.attempt].target;
        if (errors.at(owner.node) == IedClientError::Ok) {
            if (const MmsTypeSpec *type = typeAt(types.at(owner.node), owner.path))
                target.types.insert(owner.member, *type);
        } else if (owner.path.size() == 1) {
            objects.append({ObjectReferences::withoutFc(target.members.at(owner.member)),
                            nodes.at(owner.node).second});
            objectOwners.append(k);
        }
    }
    if (objects.isEmpty())
        return;
    const QList<MmsTypeSpec> objectTypes = connection.variableSpecifications(objects, &errors);
    for (int k = 0; k < objectOwners.size(); ++k) {
        const Owner &owner = owners.at(objectOwners.at(k));
        if (errors.at(k) == IedClientError::Ok)
            attempts[owner.attempt].target.types.insert(owner.member, objectTypes.at(k));
    }
}

void ReportEngine::enableBlocks(QList<Attempt> &attempts)
{
    using Block = ClientReportControlBlock;
    const QVector<int> which = atStep(attempts, Attempt::Enable);
    if (which.isEmpty())
        return;
    QList<ClientReportControlBlock> writes;
    QVector<int> masks;
    for (int i : which) {
        Attempt &attempt = attempts[i];
        const ReportBlockRequest &settings = *attempt.settings;
        ClientReportControlBlock block = attempt.block;
        int mask = Block::ElementRptEna;
        if (attempt.otherDataSet) {
            block.setDataSetReference(attempt.dataSet);
            mask |= Block::ElementDatSet;
        }
        mask |= block.setSubscription(settings.optFlds, settings.trgOps, settings.intgPd,
                                      settings.bufTm);
        const QByteArray resume =
            attempt.resumeRefused
                ? QByteArray()
                : settings.resumeAfter.value(attempt.target.reference,
                                             settings.resumeAfter.value(QString()));
        attempt.target.resumed = block.isBuffered() && !resume.isEmpty();
        if (attempt.target.resumed) {
            block.setEntryId(resume);
            mask |= Block::ElementEntryId;
            attempt.target.lastEntryId = resume;
        } else if (block.isBuffered() && settings.purge) {
            block.setPurgeBuf(true);
            mask |= Block::ElementPurgeBuf;
        }
        block.setRptEna(true);
        // Listed before the answer: the first reports may come before it.
        attempt.target.block = block;
        blocks.append(attempt.target);
        const QString reference = attempt.target.reference;
        connection.installReportHandler(
            block, [this, reference](const ClientReport &report) { deliver(reference, report); },
            attempt.target.members);
        writes << block;
        masks << mask;
    }
    const QVector<IedClientError> errors = connection.setRCBValuesAll(writes, masks);
    for (int j = 0; j < which.size(); ++j) {
        Attempt &attempt = attempts[which.at(j)];
        const QString &reference = attempt.target.reference;
        if (errors.at(j) == IedClientError::Ok) {
            for (const EnabledReportBlock &block : qAsConst(blocks)) {
                if (block.reference == reference && enabledHandler)
                    enabledHandler(block);
            }
            attempt.step = attempt.settings->gi ? Attempt::Interrogate : Attempt::Done;
            continue;
        }
        connection.uninstallReportHandler(reference);
        for (int e = blocks.size() - 1; e >= 0; --e) {
            if (blocks.at(e).reference == reference)
                blocks.removeAt(e);
        }
        // Part of a refused request may have been applied: the block is
        // left disabled either way.
        if (!attempt.inUse && connection.isConnected()) {
            ClientReportControlBlock block = attempt.block;
            block.setRptEna(false);
            connection.setRCBValues(block, Block::ElementRptEna, true);
        }
        if (attempt.target.resumed && connection.isConnected()) {
            // The entry is gone from the IED's buffer, or the IED takes no
            // EntryID: enabled as before, with its whole buffer.
            note(QStringLiteral("%1: the IED refused to resume after EntryID %2 (%3); its whole "
                                "buffer comes again")
                     .arg(reference, QString::fromLatin1(attempt.target.lastEntryId.toHex()),
                          iedClientErrorName(errors.at(j))));
            // The entry stays the last one shown: a gap is counted from it.
            attempt.resumeRefused = true;
            attempt.target.resumed = false;
            continue;
        }
        moveOn(attempt, QStringLiteral("%1: the server refused to enable it: %2")
                            .arg(reference, iedClientErrorName(errors.at(j))));
    }
}

void ReportEngine::interrogate(QList<Attempt> &attempts)
{
    const QVector<int> which = atStep(attempts, Attempt::Interrogate);
    if (which.isEmpty())
        return;
    QList<ClientReportControlBlock> writes;
    for (int i : which) {
        writes << attempts.at(i).target.block;
        writes.last().setGi(true);
    }
    const QVector<IedClientError> errors = connection.setRCBValuesAll(
        writes, QVector<int>(writes.size(), ClientReportControlBlock::ElementGi));
    for (int j = 0; j < which.size(); ++j) {
        Attempt &attempt = attempts[which.at(j)];
        attempt.step = Attempt::Done;
        if (errors.at(j) == IedClientError::Ok)
            continue;
        // The block stays enabled, and is disabled with the others.
        attempt.step = Attempt::Failed;
        attempt.problem = QStringLiteral("%1: the server refused the general interrogation: %2")
                              .arg(attempt.target.reference, iedClientErrorName(errors.at(j)));
    }
}

void ReportEngine::deliver(const QString &reference, const ClientReport &report)
{
    for (EnabledReportBlock &block : blocks) {
        if (block.reference != reference)
            continue;
        ReportGap gap;
        // Right after a purge, nothing the user asked for was lost.
        const bool purged = !block.seen && !block.resumed && block.block.purgeBuf();
        if (report.hasBufOvfl() && report.bufOvfl() && !purged) {
            gap.lost = true;
            gap.afterMs = block.seen ? block.lastEntryMs : 0;
            gap.afterEntryId = block.lastEntryId;
            gap.beforeMs = report.hasTimestamp() ? qint64(report.timestamp()) : 0;
        }
        block.seen = true;
        if (report.content().has(ReportOptionEntryId) && !report.entryId().isEmpty())
            block.lastEntryId = report.entryId();
        if (report.hasTimestamp())
            block.lastEntryMs = qint64(report.timestamp());
        if (reportHandler)
            reportHandler(block, report, gap);
        return;
    }
}

QList<QPair<QString, IedClientError>> ReportEngine::disableAll()
{
    QList<QPair<QString, IedClientError>> outcomes;
    if (blocks.isEmpty())
        return outcomes;
    // Reports still coming while the blocks are disabled are not shown; a
    // reader that lagged must not queue a thousand of them meanwhile.
    connection.setMaxQueuedReports(DisablingQueueBound);
    QList<ClientReportControlBlock> enabledBlocks;
    for (const EnabledReportBlock &block : qAsConst(blocks))
        enabledBlocks << block.block;
    const QVector<IedClientError> errors = connection.disableReporting(enabledBlocks);
    for (int i = 0; i < errors.size() && i < blocks.size(); ++i)
        outcomes.append({blocks.at(i).reference, errors.at(i)});
    blocks.clear();
    return outcomes;
}
