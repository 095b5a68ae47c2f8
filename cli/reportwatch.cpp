#include "reportwatch.h"

#include "livevaluetext.h"
#include "objectreference.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QTextStream>

namespace {

constexpr int WaitSliceMs = 200;

} // namespace

ReportWatch::ReportWatch(IedConnection &connection, QTextStream &out)
    : connection(connection), out(out), engine(connection)
{
    connection.setAmbiguityHandler([this](const QString &rptId, const QStringList &blocks) {
        this->out << "Note: reports with RptID " << rptId << " fit " << blocks.join(", ")
                  << " alike; they are not shown under either\n";
        this->out.flush();
    });
    engine.setNoteHandler([this](const QString &text) { this->out << "Note: " << text << '\n'; });
    engine.setEnabledHandler([this](const EnabledReportBlock &target) {
        QStringList bound;
        const QHash<QString, QString> signalByMember =
            enabling ? enabling->at(target.request).signalByMember : QHash<QString, QString>();
        for (const QString &member : target.members) {
            QString signal = signalByMember.value(member);
            if (signal.isEmpty())
                signal = signalByMember.value(ObjectReferences::withoutFc(member));
            bound << signal;
        }
        memberSignals.insert(target.reference, bound);
        this->out << "Enabled " << target.reference << " (RptID " << target.block.rptId()
                  << ", data set " << target.block.dataSetReference() << ", "
                  << target.members.size() << " members)\n";
    });
    engine.setReportHandler([this](const EnabledReportBlock &target, const ClientReport &report,
                                   const ReportGap &gap) { print(target, report, gap); });
}

ReportWatch::~ReportWatch()
{
    disableAll();
    connection.setAmbiguityHandler(IedConnection::AmbiguityHandler());
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
    QList<ReportBlockRequest> requests;
    for (const WatchedBlock &block : blocks) {
        ReportBlockRequest request = block;
        if (!block.resumeEntryId.isEmpty())
            request.resumeAfter.insert(QString(), block.resumeEntryId);
        requests << request;
    }
    enabling = &blocks;
    engine.enableAll(requests, problems, stopRequested);
    enabling = nullptr;
    out.flush();
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
                           .arg(iedClientErrorName(error));
            return false;
        }
    }
    return true;
}

void ReportWatch::disableAll()
{
    for (const auto &outcome : engine.disableAll()) {
        // Gone with the connection: nothing was disabled.
        if (outcome.second == IedClientError::ConnectionLost ||
            outcome.second == IedClientError::NotConnected)
            continue;
        out << "Disabled " << outcome.first;
        if (outcome.second != IedClientError::Ok)
            out << " (the server answered " << iedClientErrorName(outcome.second) << ')';
        out << '\n';
    }
    out.flush();
}

void ReportWatch::print(const EnabledReportBlock &target, const ClientReport &report,
                        const ReportGap &gap)
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
    if (gap.lost)
        out << " (" << gap.text() << ')';
    if (report.isFromBuffer()) {
        ++history;
        out << " from-buffer";
    }
    if (!report.matchesDataSet())
        out << " (data set of " << report.dataSetSize() << " members, the server listed "
            << target.members.size() << ')';
    out << '\n';
    const QStringList bound = memberSignals.value(target.reference);
    for (int i = 0; i < report.dataSetSize(); ++i) {
        if (!report.isIncluded(i))
            continue;
        QString reference = target.members.value(i);
        QString name = target.memberPaths.value(i);
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
        const QString signal = bound.value(i);
        if (!signal.isEmpty())
            out << "  -> " << signal;
        out << '\n';
    }
}
