#include "sclcontrolblockcheck.h"

#include <QCoreApplication>
#include <QSet>
#include <QStringBuilder>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SclControlBlockCheck", text);
}

// What a full report carries besides the members' values: RptID, optional
// fields, sequence number, time of entry, data set name, buffer overflow,
// entry id, configuration revision, and the inclusion bit string.
constexpr int ReportOverhead = 200;
// A reason for inclusion per member.
constexpr int ReasonSize = 4;

bool triggersOnChange(const QString &fc)
{
    return fc == QLatin1String("ST") || fc == QLatin1String("MX");
}

QString memberText(const SclMember &member)
{
    if (member.daName.isEmpty())
        return member.ldInst % QLatin1Char('/') % member.prefix % member.lnClass % member.lnInst %
               QLatin1Char('.') % member.doName % QLatin1String(" [") % member.fc %
               QLatin1Char(']');
    return member.ldInst % QLatin1Char('/') % member.prefix % member.lnClass % member.lnInst %
           QLatin1Char('.') % member.doName % QLatin1Char('.') % member.daName %
           QLatin1String(" [") % member.fc % QLatin1Char(']');
}

QString blockKindText(SclControlBlock::Kind kind)
{
    switch (kind) {
    case SclControlBlock::Report:
        return tr("report");
    case SclControlBlock::Log:
        return tr("log");
    case SclControlBlock::Goose:
        break;
    }
    return tr("GOOSE");
}

} // namespace

void SclControlBlockCheck::add(SclSeverity severity, const SclIed &ied, const QString &reference,
                               qint64 line, const QString &text)
{
    findings.append(SclFinding{severity, ied.name, reference, line, text});
}

QString SclControlBlockCheck::lnKey(const QString &ldInst, const QString &prefix,
                                    const QString &lnClass, const QString &inst)
{
    const QChar separator(0x1f);
    return ldInst % separator % prefix % separator % lnClass % separator % inst;
}

void SclControlBlockCheck::check(const SclIed &ied)
{
    dataSetSizes.clear();
    logicalNodes.clear();
    for (const SclLogicalNode &ln : ied.logicalNodes)
        logicalNodes.insert(lnKey(ln.ldInst, ln.prefix, ln.lnClass, ln.inst), &ln);
    for (const SclLogicalNode &ln : ied.logicalNodes) {
        for (const SclDataSet &dataSet : ln.dataSets)
            checkDataSet(ied, ln, dataSet);
    }
    for (const SclLogicalNode &ln : ied.logicalNodes) {
        for (const SclControlBlock &block : ln.controls) {
            const QString reference = ied.lnReference(ln) + QLatin1Char('.') + block.name;
            const SclDataSet *dataSet = nullptr;
            for (const SclDataSet &candidate : ln.dataSets) {
                if (candidate.name == block.datSet)
                    dataSet = &candidate;
            }
            if (!block.datSet.isEmpty() && !dataSet)
                add(SclSeverity::Error, ied, reference, block.line,
                    tr("%1 control block names data set \"%2\", which %3 does not have: the "
                       "client gets no values from it")
                        .arg(blockKindText(block.kind), block.datSet, ln.name()));
            if (block.kind == SclControlBlock::Report)
                checkReport(ied, ln, block, dataSet);
        }
        // Both kinds answer with one RptID: the client cannot tell whose report came.
        for (int i = 0; i < ln.controls.size(); ++i) {
            const SclControlBlock &first = ln.controls.at(i);
            for (int j = i + 1; j < ln.controls.size(); ++j) {
                const SclControlBlock &second = ln.controls.at(j);
                if (first.kind != SclControlBlock::Report ||
                    second.kind != SclControlBlock::Report || first.rptId.isEmpty() ||
                    first.rptId != second.rptId || first.buffered == second.buffered)
                    continue;
                add(SclSeverity::Warning, ied, ied.lnReference(ln) + QLatin1Char('.') + second.name,
                    second.line,
                    tr("RptID \"%1\" is also the RptID of %2: the client cannot tell their "
                       "reports apart")
                        .arg(second.rptId, first.name));
            }
        }
    }
}

void SclControlBlockCheck::checkDataSet(const SclIed &ied, const SclLogicalNode &ln,
                                        const SclDataSet &dataSet)
{
    const QString reference = ied.lnReference(ln) + QLatin1Char('.') + dataSet.name;
    QSet<QString> seen;
    int size = 0;
    for (const SclMember &member : dataSet.members) {
        const QString text = memberText(member);
        if (seen.contains(text))
            add(SclSeverity::Warning, ied, reference, member.line,
                tr("member %1 is listed twice: the client maps two positions to one value")
                    .arg(text));
        seen.insert(text);
        const int memberSize = checkMember(ied, reference, member, text);
        if (memberSize > 0)
            size += memberSize + ReasonSize;
    }
    dataSetSizes.insert(reference, size);
}

int SclControlBlockCheck::checkMember(const SclIed &ied, const QString &dataSetReference,
                                      const SclMember &member, const QString &text)
{
    const SclLogicalNode *target =
        logicalNodes.value(lnKey(member.ldInst, member.prefix, member.lnClass, member.lnInst));
    if (!target) {
        add(SclSeverity::Error, ied, dataSetReference, member.line,
            tr("member %1 names a logical node the IED does not have: the data set cannot be "
               "read or reported")
                .arg(text));
        return -1;
    }
    const SclTemplate *lnodeType = templates.lnodeType(target->lnType);
    if (!lnodeType)
        return -1; // the logical node has its own finding
    const QStringList doNames = member.doName.split(QLatin1Char('.'));
    const SclResolved dataObject = resolver.resolve(lnodeType, doNames);
    if (!dataObject.ok() || !dataObject.last->isDataObject) {
        add(SclSeverity::Error, ied, dataSetReference, member.line,
            tr("member %1: data object \"%2\" is not in type \"%3\": the data set cannot be "
               "read or reported")
                .arg(text, dataObject.ok() ? member.doName : dataObject.missing, lnodeType->id));
        return -1;
    }
    if (member.daName.isEmpty()) {
        if (!resolver.hasConstraint(dataObject.type, member.fc)) {
            add(SclSeverity::Error, ied, dataSetReference, member.line,
                tr("member %1: data object \"%2\" has no attribute of constraint %3: the "
                   "data set cannot be read or reported")
                    .arg(text, member.doName, member.fc));
            return -1;
        }
        return resolver.encodedSize(*dataObject.last, member.fc);
    }
    // daName may go on through sub data objects; the constraint belongs to the
    // first attribute on the path.
    SclResolved attribute = dataObject;
    const SclTemplateChild *first = nullptr;
    for (const QString &name : member.daName.split(QLatin1Char('.'))) {
        const SclResolved step = resolver.resolve(attribute.type, {name});
        if (!step.ok()) {
            add(SclSeverity::Error, ied, dataSetReference, member.line,
                tr("member %1: \"%2\" is not in the data object's type: the data set cannot be "
                   "read or reported")
                    .arg(text, step.missing));
            return -1;
        }
        attribute = step;
        if (!first && !step.last->isDataObject)
            first = step.last;
    }
    const bool matches =
        first ? first->fc == member.fc : resolver.hasConstraint(attribute.type, member.fc);
    if (!matches) {
        add(SclSeverity::Error, ied, dataSetReference, member.line,
            tr("member %1: \"%2\" has no attribute of constraint %3: the data set cannot be "
               "read or reported")
                .arg(text, member.daName, member.fc));
        return -1;
    }
    if (!first)
        return resolver.encodedSize(*attribute.last, member.fc);
    return resolver.encodedSize(*attribute.last, QString());
}

void SclControlBlockCheck::checkReport(const SclIed &ied, const SclLogicalNode &ln,
                                       const SclControlBlock &block, const SclDataSet *dataSet)
{
    const QString reference = ied.lnReference(ln) + QLatin1Char('.') + block.name;
    if (block.hasRptEnabled && block.clients > block.max)
        add(SclSeverity::Error, ied, reference, block.line,
            tr("%1 clients are named for %2 instances (RptEnabled max): the clients beyond "
               "the instances get no reports")
                .arg(block.clients)
                .arg(block.max));
    if (block.confRev.trimmed() == QLatin1String("0"))
        add(SclSeverity::Warning, ied, reference, block.line,
            tr("confRev 0: a client cannot detect a change of the data set behind the block"));
    if (block.periodTrigger && block.intgPd.trimmed().toLongLong() == 0)
        add(SclSeverity::Warning, ied, reference, block.line,
            tr("integrity triggering with intgPd 0: the IED sends no integrity reports "
               "unless the client writes a period"));
    if (!dataSet)
        return;
    const QString dataSetReference = ied.lnReference(ln) + QLatin1Char('.') + dataSet->name;
    QStringList constraints;
    bool other = false;
    bool changing = false;
    for (const SclMember &member : dataSet->members) {
        if (!constraints.contains(member.fc))
            constraints.append(member.fc);
        (triggersOnChange(member.fc) ? changing : other) = true;
    }
    if (changing && other)
        add(SclSeverity::Warning, ied, reference, block.line,
            tr("data set %1 mixes constraints %2: members other than ST and MX change only "
               "by configuration, so no data or quality change reports them")
                .arg(dataSet->name, constraints.join(QStringLiteral(", "))));
    int size = ReportOverhead + dataSetSizes.value(dataSetReference) + dataSet->members.size() / 8;
    if (block.dataRef) {
        for (const SclMember &member : dataSet->members)
            size += 4 + ied.name.size() + memberText(member).size();
    }
    if (size > MaxPduSize)
        add(SclSeverity::Warning, ied, reference, block.line,
            tr("a full report of data set %1 takes about %2 octets, more than an MMS PDU of "
               "%3: the IED must segment it, and a client that does not reassemble segments "
               "loses the report")
                .arg(dataSet->name)
                .arg(size)
                .arg(MaxPduSize));
}
