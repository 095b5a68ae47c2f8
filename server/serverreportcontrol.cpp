#include "serverreportcontrol.h"

#include "mmsdatacodec.h"

#include <algorithm>
#include <numeric>

namespace {

constexpr int DataChange = 1;
constexpr int QualityChange = 2;
constexpr int DataUpdate = 4;
constexpr int Integrity = 8;
constexpr int Gi = 16;

constexpr quint64 MsPerDay = 86400000;
// What a buffered entry takes besides its reasons and values: the entry
// itself and the headers of its two arrays.
constexpr int EntryHeaderBytes = int(sizeof(ReportEntry)) + 64;
constexpr quint64 BinaryTimeEpochMs = 441763200000; // 1984-01-01

// Bit n of an OptFlds or TrgOps string is 1 << (n - 1); bit 0 is reserved.
int maskOf(const MmsValue &bits)
{
    return int(bits.bitStringAsInteger() >> 1);
}

MmsValue bitsOf(int mask, int count)
{
    QByteArray octets((count + 7) / 8, '\0');
    for (int bit = 1; bit < count; ++bit) {
        if (mask & (1 << (bit - 1)))
            octets[bit / 8] = char(quint8(octets.at(bit / 8)) | (0x80 >> (bit % 8)));
    }
    return MmsValue::bitString(octets, count);
}

MmsValue binaryTimeOf(quint64 ms)
{
    if (ms < BinaryTimeEpochMs)
        return MmsValue::binaryTime(QByteArray(6, '\0'));
    const quint64 since = ms - BinaryTimeEpochMs;
    const quint32 msOfDay = quint32(since % MsPerDay);
    const quint16 day = quint16(since / MsPerDay);
    QByteArray octets;
    octets.append(char(msOfDay >> 24)).append(char(msOfDay >> 16));
    octets.append(char(msOfDay >> 8)).append(char(msOfDay));
    octets.append(char(day >> 8)).append(char(day));
    return MmsValue::binaryTime(octets);
}

quint64 idOf(const QByteArray &octets)
{
    quint64 id = 0;
    for (char octet : octets)
        id = (id << 8) | quint8(octet);
    return id;
}

QString memberKey(const MmsObjectName &name)
{
    return name.domain + QLatin1Char('/') + name.item;
}

// A member without a value keeps its place in a buffered entry: a tag that
// no value carries.
const QByteArray NoValueOctets = QByteArray::fromHex("8000");

QByteArray reasonOctets(const QVector<int> &reasons)
{
    QByteArray octets(reasons.size(), '\0');
    for (int i = 0; i < reasons.size(); ++i)
        octets[i] = char(reasons.at(i));
    return octets;
}

} // namespace

QList<MmsValue> ReportEntry::includedValues() const
{
    if (encodedValues.isEmpty())
        return values;
    QList<MmsValue> decoded;
    BerReader reader(encodedValues);
    BerTlv tlv;
    while (reader.read(&tlv)) {
        MmsValue value;
        if (!MmsDataCodec::decodeValue(reader, tlv, &value))
            value = MmsValue();
        decoded.append(value);
    }
    return decoded;
}

ServerReportControl::ServerReportControl(const MmsServerModel *model, const QString &domain,
                                         const QString &item, const MmsTypeSpec &type,
                                         const MmsValue &initial)
    : model(model), domainName(domain), itemName(item), type(type),
      isBuffered(item.section(QLatin1Char('$'), 1, 1) == QLatin1String("BR"))
{
    for (int i = 0; i < type.componentCount(); ++i) {
        const QString name = type.componentName(i);
        const MmsValue v = initial.element(i);
        if (name == QLatin1String("RptID"))
            rptIdText = v.toString();
        else if (name == QLatin1String("Resv"))
            resv = v.boolean();
        else if (name == QLatin1String("DatSet"))
            selectDataSet(v.toString());
        else if (name == QLatin1String("ConfRev"))
            confRevision = v.toUint32();
        else if (name == QLatin1String("OptFlds"))
            optFields = maskOf(v);
        else if (name == QLatin1String("BufTm"))
            bufTm = v.toUint32();
        else if (name == QLatin1String("TrgOps"))
            trgOps = maskOf(v);
        else if (name == QLatin1String("IntgPd"))
            intgPd = v.toUint32();
        else if (name == QLatin1String("ResvTms"))
            resvTms = v.toInt32();
    }
}

MmsValue ServerReportControl::value() const
{
    std::vector<MmsValue> values;
    for (int i = 0; i < type.componentCount(); ++i) {
        const QString name = type.componentName(i);
        const MmsTypeSpec &component = type.component(i);
        if (name == QLatin1String("RptID"))
            values.push_back(MmsValue::visibleString(rptIdText.toLatin1()));
        else if (name == QLatin1String("RptEna"))
            values.push_back(MmsValue::boolean(rptEna));
        else if (name == QLatin1String("Resv"))
            values.push_back(MmsValue::boolean(resv));
        else if (name == QLatin1String("DatSet"))
            values.push_back(MmsValue::visibleString(datSet.toLatin1()));
        else if (name == QLatin1String("ConfRev"))
            values.push_back(MmsValue::unsignedInteger(confRevision));
        else if (name == QLatin1String("OptFlds"))
            values.push_back(bitsOf(optFields, component.size()));
        else if (name == QLatin1String("BufTm"))
            values.push_back(MmsValue::unsignedInteger(bufTm));
        else if (name == QLatin1String("SqNum"))
            values.push_back(MmsValue::unsignedInteger(sqNum));
        else if (name == QLatin1String("TrgOps"))
            values.push_back(bitsOf(trgOps, component.size()));
        else if (name == QLatin1String("IntgPd"))
            values.push_back(MmsValue::unsignedInteger(intgPd));
        else if (name == QLatin1String("EntryID"))
            values.push_back(MmsValue::octetString(entryId));
        else if (name == QLatin1String("TimeofEntry"))
            values.push_back(binaryTimeOf(timeOfEntry));
        else if (name == QLatin1String("ResvTms"))
            values.push_back(MmsValue::integer(resvTms));
        else
            values.push_back(component.defaultValue()); // GI, PurgeBuf, Owner
    }
    return MmsValue::structure(std::move(values));
}

QByteArray ServerReportControl::entryIdOctets(quint64 id)
{
    QByteArray octets(8, '\0');
    for (int i = 7; i >= 0; --i, id >>= 8)
        octets[i] = char(id & 0xff);
    return octets;
}

QString ServerReportControl::rptId() const
{
    return rptIdText.isEmpty() ? domainName + QLatin1Char('/') + itemName : rptIdText;
}

quint32 ServerReportControl::takeSequenceNumber()
{
    const quint32 current = sqNum;
    sqNum = isBuffered ? (sqNum + 1) & 0xffff : (sqNum + 1) & 0xff;
    valueChanged = true;
    return current;
}

bool ServerReportControl::selectDataSet(const QString &reference)
{
    const int slash = reference.indexOf(QLatin1Char('/'));
    const MmsServerDataSet *dataSet =
        slash > 0 ? model->dataSet(reference.left(slash), reference.mid(slash + 1)) : nullptr;
    if (!dataSet && !reference.isEmpty())
        return false;
    datSet = reference;
    members = dataSet ? dataSet->members : QList<MmsObjectName>();
    memberIndex.clear();
    memberValues.clear();
    references.clear();
    for (int i = 0; i < members.size(); ++i) {
        memberIndex.insert(memberKey(members.at(i)), i);
        references.append(memberKey(members.at(i)));
        memberValues.append(model->handle(members.at(i).domain, members.at(i).item));
    }
    pending = QVector<int>(members.size(), 0);
    pendingDeadline = 0;
    return true;
}

QVector<int> ServerReportControl::membersCovering(const QString &key) const
{
    QVector<int> found;
    QString name = key;
    const int slash = key.indexOf(QLatin1Char('/'));
    // The leaf itself, then each structure above it up to the logical node.
    while (name.size() > slash + 1) {
        const auto member = memberIndex.constFind(name);
        if (member != memberIndex.constEnd())
            found.append(member.value());
        const int cut = name.lastIndexOf(QLatin1Char('$'));
        if (cut <= slash)
            break;
        name.truncate(cut);
    }
    return found;
}

int ServerReportControl::write(int connection, const QString &peer, const QString &attribute,
                               const MmsValue &value, quint64 now)
{
    const int index = type.indexOf(attribute);
    if (index < 0)
        return ObjectNonExistent;
    if (!MmsServerModel::fits(type.component(index), value))
        return TypeInconsistent;
    // What the server counts or keeps is never the client's to set.
    if (attribute == QLatin1String("ConfRev") || attribute == QLatin1String("SqNum") ||
        attribute == QLatin1String("TimeofEntry") || attribute == QLatin1String("Owner"))
        return ObjectAccessDenied;
    if (ownerId != 0 && ownerId != connection)
        return TemporarilyUnavailable;
    if (heldUntil && now >= heldUntil)
        heldUntil = 0;
    if (heldUntil && peer != heldFor)
        return TemporarilyUnavailable;
    const int result = writeAttribute(connection, attribute, value, now);
    const bool reservation =
        attribute == QLatin1String("Resv") || attribute == QLatin1String("ResvTms");
    // Every other accepted write reserves the block for the writer.
    if (result == Success && !reservation)
        reserveFor(connection);
    return result;
}

void ServerReportControl::reserveFor(int connection)
{
    heldUntil = 0;
    if (isBuffered) {
        if (resvTms == 0)
            resvTms = ImplicitReservationSeconds;
    } else {
        resv = true;
    }
    ownerId = connection;
}

int ServerReportControl::writeAttribute(int connection, const QString &attribute,
                                        const MmsValue &value, quint64 now)
{
    if (attribute == QLatin1String("RptEna")) {
        if (value.boolean())
            return rptEna ? TemporarilyUnavailable : enable(connection, now);
        if (rptEna) {
            rptEna = false;
            giPending = false;
            if (!isBuffered) {
                clearEntries();
                pending.fill(0);
                pendingDeadline = 0;
                nextIntegrity = 0;
            }
        }
        return Success;
    }
    if (attribute == QLatin1String("GI")) {
        if (!rptEna)
            return TemporarilyUnavailable;
        if (value.boolean() && (trgOps & Gi))
            giPending = true;
        return Success;
    }
    if (rptEna)
        return TemporarilyUnavailable;
    if (attribute == QLatin1String("Resv")) {
        resv = value.boolean();
        ownerId = resv ? connection : 0;
        return Success;
    }
    if (attribute == QLatin1String("ResvTms")) {
        if (value.toInt32() < 0)
            return ObjectValueInvalid;
        resvTms = value.toInt32();
        ownerId = resvTms > 0 ? connection : 0;
        return Success;
    }
    if (attribute == QLatin1String("PurgeBuf")) {
        if (value.boolean())
            purge();
        return Success;
    }
    if (attribute == QLatin1String("EntryID")) {
        if (value.octets().size() != 8)
            return ObjectValueInvalid;
        const quint64 id = idOf(value.octets());
        resync = id != 0;
        if (id == 0) {
            lastSentId = 0;
            overflow = true;
        } else {
            const bool held = std::any_of(entries.cbegin(), entries.cend(),
                                          [id](const ReportEntry &e) { return e.id == id; });
            if (!held) {
                resync = false;
                overflow = true;
                return ObjectValueInvalid;
            }
            lastSentId = id;
            overflow = false;
        }
        entryId = value.octets();
        return Success;
    }
    bool changed = true;
    if (attribute == QLatin1String("DatSet")) {
        changed = value.toString() != datSet;
        if (changed) {
            if (!selectDataSet(value.toString()))
                return ObjectValueInvalid;
            ++confRevision;
        }
    } else if (attribute == QLatin1String("RptID")) {
        changed = value.toString() != rptIdText;
        rptIdText = value.toString();
    } else if (attribute == QLatin1String("OptFlds")) {
        optFields = maskOf(value);
        changed = false;
    } else if (attribute == QLatin1String("BufTm")) {
        changed = value.toUint32() != bufTm;
        bufTm = value.toUint32();
    } else if (attribute == QLatin1String("TrgOps")) {
        changed = maskOf(value) != trgOps;
        trgOps = maskOf(value);
    } else if (attribute == QLatin1String("IntgPd")) {
        changed = value.toUint32() != intgPd;
        intgPd = value.toUint32();
        nextIntegrity =
            isBuffered && everEnabled && (trgOps & Integrity) && intgPd > 0 ? now + intgPd : 0;
    } else {
        return ObjectAccessDenied;
    }
    // What a buffer holds was made under the old settings.
    if (changed && isBuffered)
        purge();
    return Success;
}

int ServerReportControl::enable(int connection, quint64 now)
{
    if (members.isEmpty())
        return TemporarilyUnavailable;
    rptEna = true;
    everEnabled = true;
    sqNum = 0;
    giPending = false;
    reserveFor(connection);
    if (isBuffered) {
        // Without a resynchronising EntryID the whole buffer goes out again.
        if (!resync) {
            lastSentId = 0;
            overflow = true;
        }
        resync = false;
    } else {
        clearEntries();
    }
    nextIntegrity = (trgOps & Integrity) && intgPd > 0 ? now + intgPd : 0;
    return Success;
}

void ServerReportControl::release(int connection, const QString &peer, quint64 now)
{
    if (ownerId != connection)
        return;
    ownerId = 0;
    if (isBuffered && resvTms > 0) {
        heldFor = peer;
        heldUntil = now + quint64(resvTms) * 1000;
    }
    rptEna = false;
    giPending = false;
    if (!isBuffered) {
        resv = false;
        clearEntries();
        pending.fill(0);
        pendingDeadline = 0;
        nextIntegrity = 0;
    }
}

void ServerReportControl::clearEntries()
{
    entries.clear();
    bufferedBytes = 0;
}

void ServerReportControl::purge()
{
    clearEntries();
    pending.fill(0);
    pendingDeadline = 0;
    lastSentId = lastEntryId;
}

void ServerReportControl::memberChanged(int member, int reasons, quint64 now)
{
    const int relevant = reasons & trgOps & (DataChange | QualityChange | DataUpdate);
    if (!relevant || !listening() || member < 0 || member >= pending.size())
        return;
    // A member that changes again within BufTm sends what waits first.
    if (pending.at(member))
        flushPending(now);
    pending[member] |= relevant;
    if (bufTm == 0)
        flushPending(now);
    else if (pendingDeadline == 0)
        pendingDeadline = now + bufTm;
}

void ServerReportControl::membersChanged(const QVector<QPair<int, int>> &changed, quint64 now)
{
    if (bufTm != 0) {
        for (const auto &one : changed)
            memberChanged(one.first, one.second, now);
        return;
    }
    bool any = false;
    for (const auto &one : changed) {
        const int relevant = one.second & trgOps & (DataChange | QualityChange | DataUpdate);
        if (!relevant || !listening() || one.first < 0 || one.first >= pending.size())
            continue;
        // A member named twice in one step (its value and its quality) is one change.
        pending[one.first] |= relevant;
        any = true;
    }
    if (any)
        flushPending(now);
}

void ServerReportControl::flushPending(quint64 now)
{
    pendingDeadline = 0;
    ReportEntry entry;
    entry.time = now;
    entry.reasons = reasonOctets(pending);
    QVector<int> included;
    for (int i = 0; i < pending.size(); ++i) {
        if (pending.at(i))
            included.append(i);
    }
    pending.fill(0);
    if (included.isEmpty())
        return;
    entry.values = model->values(memberValues, included);
    addEntry(std::move(entry));
}

void ServerReportControl::advance(quint64 now)
{
    if (pendingDeadline && now >= pendingDeadline)
        flushPending(now);
    const auto whole = [&](int reason) {
        flushPending(now);
        if (members.isEmpty())
            return;
        ReportEntry entry;
        entry.time = now;
        entry.reasons = QByteArray(members.size(), char(reason));
        QVector<int> all(members.size());
        std::iota(all.begin(), all.end(), 0);
        entry.values = model->values(memberValues, all);
        addEntry(std::move(entry));
    };
    if (giPending) {
        giPending = false;
        if (rptEna)
            whole(Gi);
    }
    if (nextIntegrity && (!(trgOps & Integrity) || intgPd == 0)) {
        nextIntegrity = 0; // the settings changed since the period started
    } else if (nextIntegrity && now >= nextIntegrity) {
        if (rptEna || (isBuffered && everEnabled))
            whole(Integrity);
        nextIntegrity += intgPd;
        if (nextIntegrity <= now)
            nextIntegrity = now + intgPd;
    }
}

quint64 ServerReportControl::nextDeadline() const
{
    if (giPending)
        return 1;
    if (pendingDeadline && nextIntegrity)
        return qMin(pendingDeadline, nextIntegrity);
    return pendingDeadline ? pendingDeadline : nextIntegrity;
}

void ServerReportControl::addEntry(ReportEntry entry)
{
    if (!rptEna && !isBuffered)
        return;
    entry.id = qMax(entry.time, lastEntryId + 1);
    lastEntryId = entry.id;
    timeOfEntry = entry.time;
    entryId = entryIdOctets(entry.id);
    valueChanged = true;
    // An unbuffered queue is bounded by entries: only a buffer counts bytes,
    // what the entry takes in memory.
    if (isBuffered) {
        for (const MmsValue &value : qAsConst(entry.values)) {
            const QByteArray octets = MmsDataCodec::encodeValue(value);
            entry.encodedValues += octets.isEmpty() ? NoValueOctets : octets;
        }
        entry.values.clear();
    }
    entry.bytes = EntryHeaderBytes + entry.reasons.size() + entry.encodedValues.size();
    bufferedBytes += entry.bytes;
    entries.push_back(std::move(entry));
    auto full = [this] {
        return isBuffered ? bufferedBytes > maxBufferBytes && entries.size() > 1
                          : int(entries.size()) > MaxBufferedEntries;
    };
    while (full()) {
        if (entries.front().id > lastSentId)
            overflow = true;
        bufferedBytes -= entries.front().bytes;
        entries.pop_front();
        if (!isBuffered)
            ++dropped;
    }
}

std::vector<ReportEntry> ServerReportControl::takeEntries()
{
    std::vector<ReportEntry> due;
    if (!rptEna)
        return due;
    if (!isBuffered) {
        due.assign(std::make_move_iterator(entries.begin()),
                   std::make_move_iterator(entries.end()));
        clearEntries();
    } else {
        for (const ReportEntry &entry : entries) {
            if (entry.id > lastSentId)
                due.push_back(entry);
        }
        if (!due.empty())
            lastSentId = due.back().id;
    }
    if (!due.empty() && overflow) {
        due.front().overflow = true;
        overflow = false;
    }
    return due;
}
