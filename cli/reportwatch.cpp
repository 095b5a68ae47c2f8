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
    const QString reference = browseForm(block.reference);
    if (reference.isEmpty()) {
        *problem = QStringLiteral("\"%1\" is no report control block reference "
                                  "(LD/LLN0$RP$name or LD/LLN0.BR.name)")
                       .arg(block.reference);
        return false;
    }
    if (block.instances <= 0) {
        IedClientError error = IedClientError::Ok;
        return enableInstance(block, reference, &error, problem);
    }
    // An indexed block: the first instance the server lets us have.
    QString lastProblem;
    for (int index = 1; index <= block.instances; ++index) {
        const QString instance =
            reference + QString::number(index).rightJustified(2, QLatin1Char('0'));
        IedClientError error = IedClientError::Ok;
        if (enableInstance(block, instance, &error, &lastProblem))
            return true;
        if (!connection.isConnected())
            break;
    }
    *problem = lastProblem;
    return false;
}

bool ReportWatch::enableInstance(const WatchedBlock &settings, const QString &reference,
                                 IedClientError *error, QString *problem)
{
    using Block = ClientReportControlBlock;
    ClientReportControlBlock block = connection.getRCBValues(reference, error);
    dispatchReports();
    if (*error != IedClientError::Ok) {
        *problem =
            QStringLiteral("%1: cannot read the block: %2").arg(reference, errorText(*error));
        return false;
    }
    // Another client's block: the next instance is tried, and a block named
    // alone is left for the server to refuse, never touched afterwards.
    const bool inUse = block.rptEna() || block.resv();
    if (inUse && settings.instances > 0) {
        *error = IedClientError::AccessDenied;
        *problem = QStringLiteral("%1: in use by another client").arg(reference);
        return false;
    }
    QString dataSet = block.dataSetReference();
    const bool otherDataSet = !settings.dataSet.isEmpty() && settings.dataSet != dataSet;
    if (otherDataSet)
        dataSet = settings.dataSet;
    else if (settings.confRev >= 0 && block.confRev() != settings.confRev)
        out << "Note: " << reference << " has ConfRev " << block.confRev() << ", "
            << settings.confRev << " expected\n";
    Enabled target;
    target.reference = reference;
    target.members = connection.dataSetDirectory(dataSet, nullptr, error);
    dispatchReports();
    if (*error != IedClientError::Ok) {
        *problem = QStringLiteral("%1: cannot read the members of data set %2: %3")
                       .arg(reference, dataSet, errorText(*error));
        return false;
    }
    for (int i = 0; i < target.members.size(); ++i) {
        ObjectReference member;
        const QString text = target.members.at(i);
        // Data objects are described once, to find their q and t by name.
        const bool parsed = ObjectReference::parse(text, &member);
        if (parsed && member.path.size() == 1) {
            IedClientError typeError = IedClientError::Ok;
            const MmsTypeSpec type = connection.variableSpecification(
                ObjectReferences::withoutFc(text), member.fc, &typeError);
            dispatchReports();
            if (typeError == IedClientError::Ok)
                target.types.insert(i, type);
        }
        target.memberNames << (parsed && !member.path.isEmpty() ? member.path.last() : QString());
        QString signal = settings.signalByMember.value(text);
        if (signal.isEmpty())
            signal = settings.signalByMember.value(ObjectReferences::withoutFc(text));
        target.memberSignals << signal;
    }

    int mask = Block::ElementRptEna;
    if (otherDataSet) {
        block.setDataSetReference(dataSet);
        mask |= Block::ElementDatSet;
    }
    mask |=
        block.setSubscription(settings.optFlds, settings.trgOps, settings.intgPd, settings.bufTm);
    if (block.isBuffered() && !settings.resumeEntryId.isEmpty()) {
        block.setEntryId(settings.resumeEntryId);
        mask |= Block::ElementEntryId;
    } else if (block.isBuffered() && settings.purge) {
        block.setPurgeBuf(true);
        mask |= Block::ElementPurgeBuf;
    }
    block.setRptEna(true);
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
        target.members);
    *error = connection.setRCBValues(block, mask, true);
    if (*error != IedClientError::Ok) {
        connection.uninstallReportHandler(reference);
        *problem = QStringLiteral("%1: the server refused to enable it: %2")
                       .arg(reference, errorText(*error));
        // Part of a refused request may have been applied: the block is
        // left disabled either way.
        if (!inUse && connection.isConnected()) {
            block.setRptEna(false);
            connection.setRCBValues(block, Block::ElementRptEna, true);
        }
        return false;
    }
    target.block = block;
    enabled.append(target);
    dispatchReports();
    out << "Enabled " << reference << " (RptID " << block.rptId() << ", data set "
        << block.dataSetReference() << ", " << target.members.size() << " members)\n";
    out.flush();
    if (settings.gi) {
        block.setGi(true);
        *error = connection.setRCBValues(block, Block::ElementGi, true);
        dispatchReports();
        if (*error != IedClientError::Ok) {
            *problem = QStringLiteral("%1: the server refused the general interrogation: %2")
                           .arg(reference, errorText(*error));
            return false;
        }
    }
    return true;
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
    for (const Enabled &target : qAsConst(enabled)) {
        connection.uninstallReportHandler(target.reference);
        if (!connection.isConnected())
            continue;
        ClientReportControlBlock block = target.block;
        block.setRptEna(false);
        const IedClientError error =
            connection.setRCBValues(block, ClientReportControlBlock::ElementRptEna, true);
        out << "Disabled " << target.reference;
        if (error != IedClientError::Ok)
            out << " (the server answered " << errorText(error) << ')';
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
            if (ObjectReference::parse(reference, &parsed) && !parsed.path.isEmpty())
                name = parsed.path.last();
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
