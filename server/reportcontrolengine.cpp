#include "reportcontrolengine.h"

#include "mmsdatacodec.h"
#include "mmsreport.h"

namespace {

// Room for the lengths of the enclosing elements growing by an octet or two.
constexpr int SegmentSlack = 16;

MmsValue reasonBits(int reasons)
{
    // Bit n of the ReasonCode string is 1 << (n - 1), as in the option strings.
    QByteArray octet(1, '\0');
    for (int bit = 1; bit < 6; ++bit) {
        if (reasons & (1 << (bit - 1)))
            octet[0] = char(quint8(octet.at(0)) | (0x80 >> bit));
    }
    return MmsValue::bitString(octet, 6);
}

} // namespace

ReportControlEngine::ReportControlEngine(std::shared_ptr<const MmsServerModel> model)
    : model(std::move(model))
{
    for (const MmsServerDomain &domain : this->model->domains()) {
        for (const MmsServerVariable &variable : domain.variables) {
            for (int fc = 0; fc < variable.type.componentCount(); ++fc) {
                const QString constraint = variable.type.componentName(fc);
                if (constraint != QLatin1String("RP") && constraint != QLatin1String("BR"))
                    continue;
                const MmsTypeSpec &instances = variable.type.component(fc);
                for (int i = 0; i < instances.componentCount(); ++i) {
                    const QString item = variable.name + QLatin1Char('$') + constraint +
                                         QLatin1Char('$') + instances.componentName(i);
                    MmsTypeSpec type;
                    MmsValue initial;
                    if (!this->model->find(domain.name, item, &type, &initial))
                        continue;
                    blocks.push_back(std::make_unique<ServerReportControl>(
                        this->model.get(), domain.name, item, type, initial));
                    byName.insert(domain.name + QLatin1Char('/') + item, blocks.back().get());
                }
            }
        }
    }
}

void ReportControlEngine::addConnection(int connection, int maxPduSize, const QString &peer)
{
    pduSizes.insert(connection, maxPduSize);
    peers.insert(connection, peer);
}

void ReportControlEngine::removeConnection(int connection, quint64 now)
{
    pduSizes.remove(connection);
    const QString peer = peers.take(connection);
    for (const auto &block : blocks) {
        if (block->owner() == connection) {
            block->release(connection, peer, now);
            mirror(*block);
        }
    }
}

ServerReportControl *ReportControlEngine::find(const QString &domain, const QString &item,
                                               QString *attribute) const
{
    // "LN$RP$name" or "LN$RP$name$Attribute"
    const QStringList parts = item.split(QLatin1Char('$'));
    if (parts.size() < 3 || parts.size() > 4)
        return nullptr;
    ServerReportControl *block =
        byName.value(domain + QLatin1Char('/') + parts.mid(0, 3).join(QLatin1Char('$')));
    if (block && attribute)
        *attribute = parts.value(3);
    return block;
}

bool ReportControlEngine::handles(const QString &domain, const QString &item) const
{
    return find(domain, item, nullptr) != nullptr;
}

const ServerReportControl *ReportControlEngine::controlBlock(const QString &domain,
                                                             const QString &item) const
{
    return byName.value(domain + QLatin1Char('/') + item);
}

MmsWriteResult ReportControlEngine::write(int connection, const QString &domain,
                                          const QString &item, const MmsValue &value, quint64 now)
{
    QString attribute;
    ServerReportControl *block = find(domain, item, &attribute);
    if (!block)
        return MmsWriteResult::failure(ServerReportControl::ObjectNonExistent);
    // The block as a whole is set attribute by attribute, never at once.
    if (attribute.isEmpty())
        return MmsWriteResult::failure(ServerReportControl::ObjectAccessDenied);
    if (attribute == QLatin1String("DatSet"))
        routes.clear();
    const int result = block->write(connection, peers.value(connection), attribute, value, now);
    mirror(*block);
    return result == ServerReportControl::Success ? MmsWriteResult::ok()
                                                  : MmsWriteResult::failure(result);
}

void ReportControlEngine::mirror(const ServerReportControl &block) const
{
    model->update(block.domain(), block.item(), block.value(), true);
}

const QVector<ReportControlEngine::Route> &ReportControlEngine::routesOf(const QString &domain,
                                                                         const QString &item)
{
    const QPair<QString, QString> key(domain, item);
    const auto known = routes.constFind(key);
    if (known != routes.constEnd())
        return *known;
    QVector<Route> found;
    const QString name = domain + QLatin1Char('/') + item;
    for (int i = 0; i < int(blocks.size()); ++i) {
        for (int member : blocks.at(size_t(i))->membersCovering(name))
            found.append({i, member});
    }
    return *routes.insert(key, found);
}

void ReportControlEngine::valuesChanged(const QVector<MmsValueChange> &changes, quint64 now)
{
    // One batch of changes is one step of the device: each block hears of
    // all its members changed in it together.
    changedMembers.resize(blocks.size());
    for (const MmsValueChange &change : changes) {
        for (const Route &route : routesOf(change.domain, change.item)) {
            if (blocks.at(size_t(route.block))->listening())
                changedMembers[size_t(route.block)].append({route.member, change.reasons});
        }
    }
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (changedMembers[i].isEmpty())
            continue;
        blocks.at(i)->membersChanged(changedMembers[i], now);
        changedMembers[i].clear();
    }
}

quint64 ReportControlEngine::nextDeadline() const
{
    quint64 next = 0;
    for (const auto &block : blocks) {
        const quint64 deadline = block->nextDeadline();
        if (deadline && (!next || deadline < next))
            next = deadline;
    }
    return next;
}

void ReportControlEngine::setBufferBytes(int bytes)
{
    for (const auto &block : blocks)
        block->setMaxBufferBytes(bytes);
}

int ReportControlEngine::droppedReports() const
{
    int dropped = 0;
    for (const auto &block : blocks)
        dropped += block->droppedEntries();
    return dropped;
}

std::vector<ReportControlEngine::Outgoing> ReportControlEngine::collect(quint64 now,
                                                                        const QSet<int> &congested)
{
    std::vector<Outgoing> outgoing;
    for (const auto &block : blocks) {
        block->advance(now);
        const int owner = block->owner();
        if (block->enabled() && pduSizes.contains(owner)) {
            if (!congested.contains(owner)) {
                for (const ReportEntry &entry : block->takeEntries()) {
                    for (const QByteArray &pdu : encode(*block, entry, pduSizes.value(owner)))
                        outgoing.push_back({owner, pdu});
                }
            } else if (!block->buffered()) {
                block->countDropped(int(block->takeEntries().size()));
            }
        }
        if (block->takeValueChanged())
            mirror(*block);
    }
    return outgoing;
}

QList<QByteArray> ReportControlEngine::encode(ServerReportControl &block, const ReportEntry &entry,
                                              int maxPduSize)
{
    Iec61850Report report;
    report.rptId = block.rptId();
    report.optFlds = block.optFlds() & ~ReportOptionSegmentation;
    report.seqNum = block.takeSequenceNumber();
    report.timeOfEntry = entry.time;
    report.dataSetReference = block.dataSetReference();
    report.bufOvfl = entry.overflow;
    report.entryId = ServerReportControl::entryIdOctets(entry.id);
    report.confRev = block.confRev();
    const QList<MmsObjectName> &members = block.dataSetMembers();
    report.inclusion = QVector<bool>(members.size(), false);
    QVector<int> included;
    for (int i = 0; i < entry.reasons.size() && i < members.size(); ++i) {
        if (entry.reasons.at(i))
            included.append(i);
    }
    const QList<MmsValue> values = entry.includedValues();
    const auto fill = [&](Iec61850Report *part, int from, int to) {
        part->inclusion.fill(false);
        part->dataReferences.clear();
        part->values.clear();
        part->reasons.clear();
        for (int k = from; k < to; ++k) {
            const int member = included.at(k);
            part->inclusion[member] = true;
            if (part->has(ReportOptionDataReference))
                part->dataReferences.append(block.memberReferences().at(member));
            part->values.append(values.value(k));
            if (part->has(ReportOptionReasonForInclusion))
                part->reasons.append(quint8(entry.reasons.at(member)));
        }
    };
    fill(&report, 0, included.size());
    const QByteArray whole = MmsReportCodec::reportPdu(report);
    if (whole.size() <= maxPduSize)
        return {whole};

    // Too large for the peer: segments with the same SeqNum, counted by SubSeqNum.
    report.optFlds |= ReportOptionSegmentation;
    fill(&report, 0, 0);
    report.moreSegmentsFollow = true;
    const int header = MmsReportCodec::reportPdu(report).size() + SegmentSlack;
    QList<QByteArray> segments;
    int from = 0;
    while (from < included.size()) {
        int to = from;
        int size = header;
        while (to < included.size()) {
            const int member = included.at(to);
            int cost = MmsDataCodec::encodeValue(values.value(to)).size();
            if (report.has(ReportOptionDataReference))
                cost += MmsDataCodec::encodeValue(
                            MmsValue::visibleString(block.memberReferences().at(member).toLatin1()))
                            .size();
            if (report.has(ReportOptionReasonForInclusion))
                cost +=
                    MmsDataCodec::encodeValue(reasonBits(quint8(entry.reasons.at(member)))).size();
            if (size + cost > maxPduSize && to > from)
                break;
            size += cost;
            ++to;
        }
        report.subSeqNum = quint32(segments.size());
        report.moreSegmentsFollow = to < included.size();
        fill(&report, from, to);
        segments.append(MmsReportCodec::reportPdu(report));
        from = to;
    }
    return segments;
}
