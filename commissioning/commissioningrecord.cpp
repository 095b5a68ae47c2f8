#include "commissioningrecord.h"

#include <QSet>

namespace {

QString timeText(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
                          : QString();
}

// Notes are "; "-separated parts: the tester's words and what the record adds.
const QString NoteSeparator = QStringLiteral("; ");

QString withNotePart(const QString &note, const QString &part)
{
    QStringList parts = note.split(NoteSeparator, Qt::SkipEmptyParts);
    if (!parts.contains(part))
        parts << part;
    return parts.join(NoteSeparator);
}

QString withoutNotePart(const QString &note, const QString &part)
{
    QStringList parts = note.split(NoteSeparator, Qt::SkipEmptyParts);
    parts.removeAll(part);
    return parts.join(NoteSeparator);
}

QString refusalNote(const QString &reason)
{
    return CommissioningRecord::tr("not enabled: %1").arg(reason);
}

QString outcomeText(CommissioningSessionOutcome outcome, const QString &cause)
{
    switch (outcome) {
    case CommissioningSessionOutcome::NoneRan:
        return QStringLiteral("none ran");
    case CommissioningSessionOutcome::NotConnected:
        return QStringLiteral("not connected: nothing observed");
    case CommissioningSessionOutcome::EndedEarly:
        return cause.isEmpty() ? QStringLiteral("ended early")
                               : QStringLiteral("ended early: %1").arg(cause);
    case CommissioningSessionOutcome::Running:
        return QStringLiteral("running");
    case CommissioningSessionOutcome::Ran:
        break;
    }
    return QStringLiteral("ran");
}

} // namespace

QStringList CommissioningDevice::differencesFrom(const CommissioningDevice &other) const
{
    QStringList differences;
    const auto compare = [&differences](const char *what, const QString &mine,
                                        const QString &theirs) {
        if (!mine.isEmpty() && !theirs.isEmpty() && mine != theirs)
            differences << QStringLiteral("%1 %2 \u2192 %3").arg(QLatin1String(what), mine, theirs);
    };
    compare("address", address, other.address);
    compare("IED name", iedName, other.iedName);
    compare("configuration revision", configurationRevision, other.configurationRevision);
    return differences;
}

const QString CommissioningRecord::UnknownQuality = QStringLiteral("unknown");

QStringList CommissioningSummary::lines() const
{
    QString silent =
        silentBlocks.isEmpty() ? QStringLiteral("none") : silentBlocks.join(QStringLiteral(", "));
    // Before any session a block that delivered nothing says nothing.
    if (neverSeen == rows && outcome == CommissioningSessionOutcome::NoneRan)
        silent = QStringLiteral("not known: no session ran");
    else if (neverSeen == rows && outcome == CommissioningSessionOutcome::NotConnected)
        silent = QStringLiteral("not known: not connected");
    return {
        QStringLiteral("Rows: %1").arg(rows),
        QStringLiteral("Passed: %1").arg(passed),
        QStringLiteral("Failed: %1").arg(failed),
        QStringLiteral("Not tested: %1").arg(notTested),
        QStringLiteral("Never seen: %1").arg(neverSeen),
        QStringLiteral("Seen only with bad quality: %1").arg(onlyBadQuality),
        QStringLiteral("Seen without quality: %1").arg(qualityUnknown),
        QStringLiteral("Blocks that delivered nothing: %1").arg(silent),
        QStringLiteral("Blocks refused: %1")
            .arg(refusedBlocks.isEmpty() ? QStringLiteral("none")
                                         : refusedBlocks.join(NoteSeparator)),
        QStringLiteral("Last session: %1").arg(outcomeText(outcome, outcomeCause)),
    };
}

CommissioningRecord::CommissioningRecord(QObject *parent)
    : QAbstractTableModel(parent), now([] { return QDateTime::currentDateTimeUtc(); })
{
}

int CommissioningRecord::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : pointList.size();
}

int CommissioningRecord::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CommissioningRecord::displayText(int row, int column) const
{
    const CommissioningPoint &point = pointList.at(row);
    const CommissioningObservation &seen = rows.at(row);
    switch (column) {
    case SignalColumn:
        return point.signalLabel;
    case NumberColumn:
        return point.signalNumber;
    case AddressColumn:
        return point.signalAddress;
    case TypeColumn:
        return point.signalType;
    case ReferenceColumn:
        return point.reference;
    case ConstraintColumn:
        return point.fc;
    case BindingColumn:
        return point.bindingColumn;
    case ArrivalColumn:
        return CommissioningPoint::arrivalText(point.arrival);
    case BlockColumn:
        return point.blockReference;
    case DirectionColumn:
        return CommissioningPoint::directionText(point.direction);
    case FirstValueColumn:
        return seen.firstValue;
    case LastValueColumn:
        return seen.lastValue;
    case QualityColumn:
        return seen.quality;
    case LastChangeColumn:
        return seen.changes > 0 ? timeText(seen.lastChange) : QString();
    case ChangesColumn:
        return seen.seen() ? QVariant(seen.changes) : QVariant(QString());
    case FirstSeenColumn:
        return timeText(seen.firstSeen);
    case LastSeenColumn:
        return timeText(seen.lastSeen);
    case VerdictColumn:
        return verdictText(seen.verdict);
    case NoteColumn:
        return seen.note;
    case TouchedColumn:
        return timeText(seen.touched);
    default:
        return QVariant();
    }
}

QVariant CommissioningRecord::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const int row = index.row();
    const CommissioningObservation &seen = rows.at(row);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole:
        return displayText(row, index.column());
    case SortRole:
        switch (index.column()) {
        case ChangesColumn:
            return seen.seen() ? seen.changes : -1;
        case VerdictColumn:
            return seen.verdict;
        case LastChangeColumn:
            return seen.changes > 0 ? seen.lastChange : QDateTime();
        case FirstSeenColumn:
            return seen.firstSeen;
        case LastSeenColumn:
            return seen.lastSeen;
        case TouchedColumn:
            return seen.touched;
        default:
            return displayText(row, index.column());
        }
    case PassableRole:
        return isPassable(row) && seen.verdict != Passed;
    case VerdictRole:
        return seen.verdict;
    default:
        return QVariant();
    }
}

QVariant CommissioningRecord::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case SignalColumn:
        return tr("RTU/PLC Signal");
    case NumberColumn:
        return tr("Number");
    case AddressColumn:
        return tr("Address");
    case TypeColumn:
        return tr("Type");
    case ReferenceColumn:
        return tr("Reference");
    case ConstraintColumn:
        return tr("FC");
    case BindingColumn:
        return tr("Bound Column");
    case ArrivalColumn:
        return tr("Arrives By");
    case BlockColumn:
        return tr("Report Block");
    case DirectionColumn:
        return tr("Direction");
    case FirstValueColumn:
        return tr("First Value");
    case LastValueColumn:
        return tr("Last Value");
    case QualityColumn:
        return tr("Quality");
    case LastChangeColumn:
        return tr("Last Change");
    case ChangesColumn:
        return tr("Changes");
    case FirstSeenColumn:
        return tr("First Seen");
    case LastSeenColumn:
        return tr("Last Seen");
    case VerdictColumn:
        return tr("Verdict");
    case NoteColumn:
        return tr("Note");
    case TouchedColumn:
        return tr("Last Touched");
    default:
        return QVariant();
    }
}

Qt::ItemFlags CommissioningRecord::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && (index.column() == VerdictColumn || index.column() == NoteColumn))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool CommissioningRecord::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const int row = index.row();
    if (index.column() == NoteColumn) {
        if (rows.at(row).note == value.toString())
            return true;
        rows[row].note = value.toString();
        touch(row);
        emitRowChanged(row);
        return true;
    }
    if (index.column() != VerdictColumn)
        return false;
    bool numeric = false;
    int verdict = value.toInt(&numeric);
    if (!numeric || value.type() == QVariant::String)
        verdict = verdictFromText(value.toString());
    if (verdict < NotTested || verdict > Failed)
        return false;
    return setVerdict(row, Verdict(verdict), rows.at(row).note);
}

void CommissioningRecord::setPoints(const CommissioningPoints &points)
{
    QHash<QString, CommissioningObservation> kept;
    for (int row = 0; row < pointList.size(); ++row)
        kept.insert(pointList.at(row).key(), rows.at(row));
    beginResetModel();
    pointList = points;
    rows.clear();
    rowByKey.clear();
    rows.reserve(points.size());
    for (const CommissioningPoint &point : points) {
        const QString key = point.key();
        if (!rowByKey.contains(key))
            rowByKey.insert(key, rows.size());
        rows.append(kept.value(key));
    }
    endResetModel();
}

int CommissioningRecord::rowOfKey(const QString &key) const
{
    return rowByKey.value(key, -1);
}

bool CommissioningRecord::restore(int row, const CommissioningObservation &observation)
{
    if (row < 0 || row >= rows.size())
        return false;
    rows[row] = observation;
    emitRowChanged(row);
    return true;
}

void CommissioningRecord::observe(int row, const QString &valueText, const QString &qualityText,
                                  bool goodQuality, const QDateTime &deviceTime)
{
    if (row < 0 || row >= rows.size())
        return;
    CommissioningObservation &seen = rows[row];
    const QDateTime received = now();
    const QDateTime changed = deviceTime.isValid() ? deviceTime : received;
    if (!seen.seen()) {
        seen.firstValue = valueText;
        seen.firstSeen = received;
        seen.lastChange = changed;
    } else if (seen.deviceAddress != recordDevice.address || seen.baselineDue) {
        // Another device's value is where this one starts, not a change.
    } else if (valueText != seen.lastValue) {
        ++seen.changes;
        seen.lastChange = changed;
    }
    seen.lastValue = valueText;
    seen.quality = qualityText;
    seen.lastGood = goodQuality;
    seen.everGood = seen.everGood || goodQuality;
    seen.qualityKnown = seen.qualityKnown || qualityText != UnknownQuality;
    seen.lastSeen = received;
    seen.deviceAddress = recordDevice.address;
    seen.baselineDue = false;
    seen.touched = received;
    emitRowChanged(row);
}

bool CommissioningRecord::setVerdict(int row, Verdict verdict, const QString &note)
{
    if (row < 0 || row >= rows.size() || verdict < NotTested || verdict > Failed)
        return false;
    CommissioningObservation &seen = rows[row];
    if (verdict == Passed && !seen.seen() && !seen.operated)
        return false;
    seen.verdict = verdict;
    seen.note = note;
    touch(row);
    emitRowChanged(row);
    return true;
}

bool CommissioningRecord::isPassable(int row) const
{
    if (row < 0 || row >= rows.size() ||
        pointList.at(row).direction == CommissioningPoint::Direction::Command)
        return false;
    const CommissioningObservation &seen = rows.at(row);
    return seen.changes > 0 && seen.lastGood;
}

bool CommissioningRecord::isPassableWithoutQuality(int row) const
{
    if (row < 0 || row >= rows.size() ||
        pointList.at(row).direction == CommissioningPoint::Direction::Command)
        return false;
    const CommissioningObservation &seen = rows.at(row);
    return seen.changes > 0 && seen.quality == UnknownQuality;
}

void CommissioningRecord::markDeviceChange()
{
    for (CommissioningObservation &seen : rows)
        seen.baselineDue = true;
}

bool CommissioningRecord::setCommandOutcome(int row, bool positive, const QString &text,
                                            const QString &testedAddress)
{
    if (row < 0 || row >= rows.size() ||
        pointList.at(row).direction != CommissioningPoint::Direction::Command)
        return false;
    rows[row].operated = true;
    const QString note = testedAddress.isEmpty() ? text : tr("%1 (at %2)").arg(text, testedAddress);
    return setVerdict(row, positive ? Passed : Failed, note);
}

void CommissioningRecord::setBlockRefused(const QString &block, const QString &reason)
{
    const QString before = refused.value(block);
    refused.insert(block, reason);
    for (int row = 0; row < rows.size(); ++row) {
        if (pointList.at(row).blockReference != block)
            continue;
        QString note = rows.at(row).note;
        if (!before.isEmpty())
            note = withoutNotePart(note, refusalNote(before));
        rows[row].note = withNotePart(note, refusalNote(reason));
        emitRowChanged(row);
    }
    emit propertiesChanged();
}

void CommissioningRecord::setBlockDelivered(const QString &block)
{
    const QString reason = refused.take(block);
    if (reason.isEmpty())
        return;
    for (int row = 0; row < rows.size(); ++row) {
        if (pointList.at(row).blockReference != block)
            continue;
        rows[row].note = withoutNotePart(rows.at(row).note, refusalNote(reason));
        emitRowChanged(row);
    }
    emit propertiesChanged();
}

void CommissioningRecord::setTestingPeriod(const QDateTime &start, const QDateTime &end)
{
    started = start;
    ended = end;
    emit propertiesChanged();
}

void CommissioningRecord::sessionStarted()
{
    if (!started.isValid())
        started = now();
    setLastOutcome(CommissioningSessionOutcome::Running, QString());
}

void CommissioningRecord::sessionEnded(CommissioningSessionOutcome last, const QString &cause)
{
    if (last != CommissioningSessionOutcome::NotConnected)
        ended = now();
    setLastOutcome(last, cause);
}

void CommissioningRecord::setLastOutcome(CommissioningSessionOutcome last, const QString &cause)
{
    outcome = last;
    outcomeCause = cause;
    emit propertiesChanged();
}

void CommissioningRecord::startOver()
{
    beginResetModel();
    rows.fill(CommissioningObservation());
    refused.clear();
    started = QDateTime();
    ended = QDateTime();
    outcome = CommissioningSessionOutcome::NoneRan;
    outcomeCause.clear();
    endResetModel();
}

CommissioningSummary CommissioningRecord::summary() const
{
    CommissioningSummary summary;
    summary.rows = rows.size();
    summary.outcome = outcome;
    summary.outcomeCause = outcomeCause;
    for (auto it = refused.cbegin(); it != refused.cend(); ++it)
        summary.refusedBlocks << it.value();
    QStringList blocks;
    QSet<QString> delivered;
    for (int row = 0; row < rows.size(); ++row) {
        const CommissioningObservation &seen = rows.at(row);
        const CommissioningPoint &point = pointList.at(row);
        switch (seen.verdict) {
        case Passed:
            ++summary.passed;
            break;
        case Failed:
            ++summary.failed;
            break;
        default:
            ++summary.notTested;
            break;
        }
        if (!seen.seen())
            ++summary.neverSeen;
        else if (!seen.qualityKnown)
            ++summary.qualityUnknown;
        else if (!seen.everGood)
            ++summary.onlyBadQuality;
        if (point.arrival == CommissioningPoint::Arrival::Report) {
            if (!blocks.contains(point.blockReference))
                blocks << point.blockReference;
            if (seen.seen())
                delivered.insert(point.blockReference);
        }
    }
    for (const QString &block : qAsConst(blocks)) {
        if (!delivered.contains(block) && !refused.contains(block))
            summary.silentBlocks << block;
    }
    // A record from before sessions were recorded: what it saw shows one ran.
    if (summary.outcome == CommissioningSessionOutcome::NoneRan && summary.neverSeen < summary.rows)
        summary.outcome = CommissioningSessionOutcome::Ran;
    return summary;
}

QString CommissioningRecord::verdictText(int verdict)
{
    switch (verdict) {
    case Passed:
        return tr("Passed");
    case Failed:
        return tr("Failed");
    default:
        return tr("Not tested");
    }
}

int CommissioningRecord::verdictFromText(const QString &text)
{
    for (int verdict : {NotTested, Passed, Failed}) {
        if (text.compare(verdictText(verdict), Qt::CaseInsensitive) == 0)
            return verdict;
    }
    return -1;
}

void CommissioningRecord::setClock(const std::function<QDateTime()> &clock)
{
    now = clock;
}

void CommissioningRecord::touch(int row)
{
    rows[row].touched = now();
}

void CommissioningRecord::emitRowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}
