#include "reportwatch.h"

#include "livevaluetext.h"
#include "objectreference.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QTextStream>

namespace {

constexpr int WaitSliceMs = 200;
constexpr int DisablingQueueBound = 8;

QString errorText(IedClientError error)
{
    return iedClientErrorName(error);
}

} // namespace

ReportWatch::ReportWatch(IedConnection &connection, QTextStream &out)
    : connection(connection), out(out)
{
    connection.setAmbiguityHandler([this](const QString &rptId, const QStringList &blocks) {
        this->out << "Note: reports with RptID " << rptId << " fit " << blocks.join(", ")
                  << " alike; they are not shown under either\n";
        this->out.flush();
    });
}

ReportWatch::~ReportWatch()
{
    disableAll();
    connection.setAmbiguityHandler(IedConnection::AmbiguityHandler());
}

QString ReportWatch::browseForm(const QString &text)
{
    ObjectReference reference;
    if (!ObjectReference::parse(text, &reference) || reference.path.size() != 2 ||
        !reference.fc.isEmpty() ||
        (reference.path.first() != QLatin1String("RP") &&
         reference.path.first() != QLatin1String("BR")))
        return QString();
    return reference.logicalDevice + QLatin1Char('/') + reference.plainItem();
}

bool ReportWatch::enable(const WatchedBlock &block, QString *problem)
{
    QStringList problems;
    enableAll({block}, &problems);
    if (problems.isEmpty())
        return true;
    *problem = problems.first();
    return false;
}

void ReportWatch::enableAll(const QList<WatchedBlock> &blocks, QStringList *problems,
                            const std::function<bool()> &stopRequested)
{
    QList<Attempt> attempts;
    for (const WatchedBlock &block : blocks) {
        Attempt attempt;
        attempt.settings = &block;
        attempt.base = browseForm(block.reference);
        attempt.instance = block.instances > 0 ? 1 : 0;
        if (attempt.base.isEmpty()) {
            attempt.step = Attempt::Failed;
            attempt.problem = QStringLiteral("\"%1\" is no report control block reference "
                                             "(LD/LLN0$RP$name or LD/LLN0.BR.name)")
                                  .arg(block.reference);
        }
        attempts.append(attempt);
    }
    // Every block takes one step per round, its requests in flight with the
    // other blocks' of the same step; an indexed block whose instance is
    // taken starts again with the next.
    const QList<void (ReportWatch::*)(QList<Attempt> &)> steps{
        &ReportWatch::readBlocks, &ReportWatch::readMembers, &ReportWatch::describeMembers,
        &ReportWatch::enableBlocks, &ReportWatch::interrogate};
    const auto pending = [&] {
        for (const Attempt &attempt : qAsConst(attempts)) {
            if (attempt.step != Attempt::Done && attempt.step != Attempt::Failed)
                return true;
        }
        return false;
    };
    bool stopped = false;
    while (pending() && !stopped) {
        for (const auto step : steps) {
            stopped = stopRequested && stopRequested();
            if (stopped)
                break;
            (this->*step)(attempts);
            dispatchReports();
        }
    }
    for (const Attempt &attempt : qAsConst(attempts)) {
        if (attempt.step == Attempt::Failed)
            problems->append(attempt.problem);
    }
    out.flush();
}

QVector<int> ReportWatch::atStep(const QList<Attempt> &attempts, Attempt::Step step)
{
    QVector<int> which;
    for (int i = 0; i < attempts.size(); ++i) {
        if (attempts.at(i).step == step)
            which << i;
    }
    return which;
}

void ReportWatch::moveOn(Attempt &attempt, const QString &problem)
{
    attempt.problem = problem;
    if (attempt.instance <= 0 || attempt.instance >= attempt.settings->instances ||
        !connection.isConnected()) {
        attempt.step = Attempt::Failed;
        return;
    }
    ++attempt.instance;
    attempt.step = Attempt::Read;
    attempt.target = Enabled();
}

void ReportWatch::readBlocks(QList<Attempt> &attempts)
{
    const QVector<int> which = atStep(attempts, Attempt::Read);
    if (which.isEmpty())
        return;
    QStringList references;
    for (int i : which) {
        const Attempt &attempt = attempts.at(i);
        references << (attempt.instance > 0
                           ? attempt.base + QString::number(attempt.instance)
                                                .rightJustified(2, QLatin1Char('0'))
                           : attempt.base);
    }
    QVector<IedClientError> errors;
    const QList<ClientReportControlBlock> blocks = connection.rcbValuesAll(references, &errors);
    for (int j = 0; j < which.size(); ++j) {
        Attempt &attempt = attempts[which.at(j)];
        const WatchedBlock &settings = *attempt.settings;
        const QString &reference = references.at(j);
        if (errors.at(j) != IedClientError::Ok) {
            moveOn(attempt, QStringLiteral("%1: cannot read the block: %2")
                                .arg(reference, errorText(errors.at(j))));
            continue;
        }
        const ClientReportControlBlock &block = blocks.at(j);
        // Another client's block: the next instance is tried, and a block
        // named alone is left for the server to refuse, never touched
        // afterwards.
        attempt.inUse = block.rptEna() || block.resv();
        if (attempt.inUse && settings.instances > 0) {
            moveOn(attempt, QStringLiteral("%1: in use by another client").arg(reference));
            continue;
        }
        attempt.block = block;
        attempt.dataSet = block.dataSetReference();
        attempt.otherDataSet = !settings.dataSet.isEmpty() && settings.dataSet != attempt.dataSet;
        if (attempt.otherDataSet)
            attempt.dataSet = settings.dataSet;
        else if (settings.confRev >= 0 && block.confRev() != settings.confRev)
            out << "Note: " << reference << " has ConfRev " << block.confRev() << ", "
                << settings.confRev << " expected\n";
        attempt.target.reference = reference;
        attempt.step = Attempt::Members;
    }
}

void ReportWatch::readMembers(QList<Attempt> &attempts)
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
            moveOn(attempt,
                   QStringLiteral("%1: cannot read the members of data set %2: %3")
                       .arg(attempt.target.reference, dataSets.at(j), errorText(errors.at(j))));
            continue;
        }
        attempt.target.members = members.at(j);
        attempt.step = Attempt::Types;
    }
}

void ReportWatch::describeMembers(QList<Attempt> &attempts)
{
    // Data objects are described once, to find their q and t by name.
    QList<QPair<QString, QString>> objects;
    QVector<QPair<int, int>> owners; // attempt, member
    for (int a = 0; a < attempts.size(); ++a) {
        Attempt &attempt = attempts[a];
        if (attempt.step != Attempt::Types)
            continue;
        Enabled &target = attempt.target;
        for (int i = 0; i < target.members.size(); ++i) {
            ObjectReference member;
            const QString text = target.members.at(i);
            const bool parsed = ObjectReference::parse(text, &member);
            if (parsed && member.path.size() == 1) {
                objects.append({ObjectReferences::withoutFc(text), member.fc});
                owners.append({a, i});
            }
            // Below the logical node, for the names of enumerated values.
            target.memberNames << (parsed ? member.path.join(QLatin1Char('.')) : QString());
            QString signal = attempt.settings->signalByMember.value(text);
            if (signal.isEmpty())
                signal = attempt.settings->signalByMember.value(ObjectReferences::withoutFc(text));
            target.memberSignals << signal;
        }
        attempt.step = Attempt::Enable;
    }
    if (objects.isEmpty())
        return;
    QVector<IedClientError> errors;
    const QList<MmsTypeSpec> types = connection.variableSpecifications(objects, &errors);
    for (int k = 0; k < owners.size(); ++k) {
        if (errors.at(k) == IedClientError::Ok)
            attempts[owners.at(k).first].target.types.insert(owners.at(k).second, types.at(k));
    }
}

void ReportWatch::enableBlocks(QList<Attempt> &attempts)
{
    using Block = ClientReportControlBlock;
    const QVector<int> which = atStep(attempts, Attempt::Enable);
    if (which.isEmpty())
        return;
    QList<ClientReportControlBlock> blocks;
    QVector<int> masks;
    for (int i : which) {
        Attempt &attempt = attempts[i];
        const WatchedBlock &settings = *attempt.settings;
        ClientReportControlBlock &block = attempt.block;
        int mask = Block::ElementRptEna;
        if (attempt.otherDataSet) {
            block.setDataSetReference(attempt.dataSet);
            mask |= Block::ElementDatSet;
        }
        mask |= block.setSubscription(settings.optFlds, settings.trgOps, settings.intgPd,
                                      settings.bufTm);
        if (block.isBuffered() && !settings.resumeEntryId.isEmpty()) {
            block.setEntryId(settings.resumeEntryId);
            mask |= Block::ElementEntryId;
        } else if (block.isBuffered() && settings.purge) {
            block.setPurgeBuf(true);
            mask |= Block::ElementPurgeBuf;
        }
        block.setRptEna(true);
        // Listed before the answer: the first reports may come before it.
        attempt.target.block = block;
        enabled.append(attempt.target);
        const QString reference = attempt.target.reference;
        connection.installReportHandler(
            block,
            [this, reference](const ClientReport &report) {
                for (const Enabled &target : qAsConst(enabled)) {
                    if (target.reference == reference) {
                        print(target, report);
                        return;
                    }
                }
            },
            attempt.target.members);
        blocks << block;
        masks << mask;
    }
    const QVector<IedClientError> errors = connection.setRCBValuesAll(blocks, masks);
    for (int j = 0; j < which.size(); ++j) {
        Attempt &attempt = attempts[which.at(j)];
        const QString &reference = attempt.target.reference;
        if (errors.at(j) == IedClientError::Ok) {
            out << "Enabled " << reference << " (RptID " << attempt.block.rptId() << ", data set "
                << attempt.block.dataSetReference() << ", " << attempt.target.members.size()
                << " members)\n";
            attempt.step = attempt.settings->gi ? Attempt::Interrogate : Attempt::Done;
            continue;
        }
        connection.uninstallReportHandler(reference);
        for (int e = enabled.size() - 1; e >= 0; --e) {
            if (enabled.at(e).reference == reference)
                enabled.removeAt(e);
        }
        // Part of a refused request may have been applied: the block is
        // left disabled either way.
        if (!attempt.inUse && connection.isConnected()) {
            ClientReportControlBlock block = attempt.block;
            block.setRptEna(false);
            connection.setRCBValues(block, Block::ElementRptEna, true);
        }
        moveOn(attempt, QStringLiteral("%1: the server refused to enable it: %2")
                            .arg(reference, errorText(errors.at(j))));
    }
    out.flush();
}

void ReportWatch::interrogate(QList<Attempt> &attempts)
{
    const QVector<int> which = atStep(attempts, Attempt::Interrogate);
    QList<ClientReportControlBlock> blocks;
    for (int i : which) {
        blocks << attempts.at(i).block;
        blocks.last().setGi(true);
    }
    if (which.isEmpty())
        return;
    const QVector<IedClientError> errors = connection.setRCBValuesAll(
        blocks, QVector<int>(blocks.size(), ClientReportControlBlock::ElementGi));
    for (int j = 0; j < which.size(); ++j) {
        Attempt &attempt = attempts[which.at(j)];
        attempt.step = Attempt::Done;
        if (errors.at(j) == IedClientError::Ok)
            continue;
        // The block stays enabled, and is disabled with the others.
        attempt.step = Attempt::Failed;
        attempt.problem = QStringLiteral("%1: the server refused the general interrogation: %2")
                              .arg(attempt.target.reference, errorText(errors.at(j)));
    }
}

// Enabling many blocks takes many round trips; the reports of the blocks
// enabled so far are printed meanwhile, not left to fill the queue.
void ReportWatch::dispatchReports()
{
    if (connection.isConnected())
        connection.processIncoming(0);
}

bool ReportWatch::run(qint64 ms, const std::function<bool()> &stopRequested, QString *problem)
{
    QDeadlineTimer deadline(ms < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(ms));
    while (!stopRequested() && !deadline.hasExpired()) {
        const int slice = int(qMin<qint64>(
            WaitSliceMs, deadline.remainingTime() < 0 ? WaitSliceMs : deadline.remainingTime()));
        const IedClientError error = connection.processIncoming(slice);
        // Once a slice, not once a report: printing is most of a watch's work.
        out.flush();
        if (error != IedClientError::Ok) {
            *problem = QStringLiteral("the connection failed while waiting for reports: %1")
                           .arg(errorText(error));
            return false;
        }
    }
    return true;
}

void ReportWatch::disableAll()
{
    // Reports still coming while the blocks are disabled are not shown; a
    // reader that lagged must not queue a thousand of them meanwhile.
    if (!enabled.isEmpty())
        connection.setMaxQueuedReports(DisablingQueueBound);
    QList<ClientReportControlBlock> blocks;
    for (const Enabled &target : qAsConst(enabled))
        blocks << target.block;
    const QVector<IedClientError> errors = connection.disableReporting(blocks);
    for (int i = 0; i < errors.size(); ++i) {
        // Gone with the connection: nothing was disabled.
        if (errors.at(i) == IedClientError::ConnectionLost ||
            errors.at(i) == IedClientError::NotConnected)
            continue;
        out << "Disabled " << enabled.at(i).reference;
        if (errors.at(i) != IedClientError::Ok)
            out << " (the server answered " << errorText(errors.at(i)) << ')';
        out << '\n';
    }
    out.flush();
    enabled.clear();
}

void ReportWatch::print(const Enabled &target, const ClientReport &report)
{
    ++reports;
    const QDateTime received = QDateTime::fromMSecsSinceEpoch(report.receivedMs(), Qt::UTC);
    out << received.toString(QStringLiteral("hh:mm:ss.zzz")) << ' ' << target.reference
        << " RptID=" << report.rptId() << " SeqNum="
        << (report.hasSeqNum() ? QString::number(report.seqNum()) : QStringLiteral("-"));
    if (report.content().has(ReportOptionEntryId))
        out << " EntryID=" << report.entryId().toHex();
    if (report.hasBufOvfl() && report.bufOvfl())
        out << " buffer-overflow";
    if (report.isFromBuffer()) {
        ++history;
        out << " from-buffer";
    }
    if (!report.matchesDataSet())
        out << " (data set of " << report.dataSetSize() << " members, the server listed "
            << target.members.size() << ')';
    out << '\n';
    for (int i = 0; i < report.dataSetSize(); ++i) {
        if (!report.isIncluded(i))
            continue;
        QString reference = target.members.value(i);
        QString name = target.memberNames.value(i);
        if (reference.isEmpty()) {
            reference = report.dataReference(i);
            ObjectReference parsed;
            if (ObjectReference::parse(reference, &parsed))
                name = parsed.path.join(QLatin1Char('.'));
        }
        const auto type = target.types.constFind(i);
        const LiveValueText::MemberText text = LiveValueText::member(
            report.value(i), type == target.types.constEnd() ? nullptr : &type.value(), name);
        const int reason = report.reasonForInclusion(i);
        out << "  [" << i << "] " << reference << " = " << text.value << "  q=" << text.quality
            << "  t=" << text.timestamp
            << "  reason=" << (reason ? reasonForInclusionText(reason) : QStringLiteral("-"));
        const QString signal = target.memberSignals.value(i);
        if (!signal.isEmpty())
            out << "  -> " << signal;
        out << '\n';
    }
}
