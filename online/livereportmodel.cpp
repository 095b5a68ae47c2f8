#include "livereportmodel.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>
#include <QRegularExpression>

namespace {

QString csvField(QString text)
{
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

LiveReportModel::LiveReportModel(QObject *parent) : QAbstractTableModel(parent)
{
    updateTimer.setSingleShot(true);
    updateTimer.setInterval(UpdateIntervalMs);
    connect(&updateTimer, &QTimer::timeout, this, &LiveReportModel::flush);
}

int LiveReportModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows.size());
}

int LiveReportModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString LiveReportModel::cell(const LiveReportEntry &entry, int column) const
{
    switch (column) {
    case ReceivedColumn:
        return QDateTime::fromMSecsSinceEpoch(entry.receivedMs, Qt::UTC)
            .toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzzZ"));
    case RcbColumn:
        return entry.rcb;
    case SeqNumColumn:
        return entry.seqNum;
    case MemberColumn:
        return entry.member;
    case ValueColumn:
        return entry.value;
    case QualityColumn:
        return entry.quality;
    case TimestampColumn:
        return entry.timestamp;
    case ReasonColumn:
        // An old entry a buffered block handed over first is no fresh change.
        return entry.fromBuffer ? tr("%1 (from buffer)").arg(entry.reason) : entry.reason;
    case SignalColumn:
        return signalOf(entry.member);
    case GapColumn:
        return entry.gap;
    default:
        return QString();
    }
}

QVariant LiveReportModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows.size()) || index.column() >= ColumnCount)
        return QVariant();
    const LiveReportEntry &entry = rows[size_t(index.row())];
    if (role == Qt::BackgroundRole && !entry.gap.isEmpty())
        return QBrush(QColor(255, 224, 178));
    if (role == Qt::ForegroundRole && !entry.gap.isEmpty())
        return QBrush(Qt::black);
    if (role == Qt::ForegroundRole && entry.fromBuffer)
        return QBrush(Qt::darkGray);
    // The span lost, on every cell of the row after the gap.
    if (role == Qt::ToolTipRole && !entry.gap.isEmpty() && index.column() != GapColumn)
        return tr("After a gap: %1").arg(entry.gap);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();
    // The table shows the time of day; the date is in the tool tip and the CSV.
    if (role == Qt::DisplayRole && index.column() == ReceivedColumn)
        return QDateTime::fromMSecsSinceEpoch(entry.receivedMs, Qt::UTC)
            .toString(QStringLiteral("hh:mm:ss.zzz"));
    return cell(entry, index.column());
}

QVariant LiveReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ReceivedColumn:
        return tr("Received");
    case RcbColumn:
        return tr("RCB");
    case SeqNumColumn:
        return tr("SqNum");
    case MemberColumn:
        return tr("Member");
    case ValueColumn:
        return tr("Value");
    case QualityColumn:
        return tr("Quality");
    case TimestampColumn:
        return tr("Timestamp");
    case ReasonColumn:
        return tr("Reason");
    case SignalColumn:
        return tr("RTU/PLC Signal");
    case GapColumn:
        return tr("Entries Lost");
    default:
        return QVariant();
    }
}

void LiveReportModel::setSignals(const QHash<QString, QString> &signalsByMember)
{
    signalByMember.clear();
    for (auto it = signalsByMember.constBegin(); it != signalsByMember.constEnd(); ++it)
        signalByMember.insert(memberKey(it.key()), it.value());
    if (!rows.empty())
        emit dataChanged(index(0, SignalColumn), index(int(rows.size()) - 1, SignalColumn));
}

QString LiveReportModel::memberKey(const QString &reference)
{
    QString key = reference;
    static const QRegularExpression constraint(QStringLiteral("\\[[A-Z]{2}\\]"));
    key.remove(constraint);
    while (key.endsWith(QLatin1Char('.')))
        key.chop(1);
    return key;
}

QString LiveReportModel::signalOf(const QString &member) const
{
    return signalByMember.value(memberKey(member));
}

void LiveReportModel::append(const QVector<LiveReportEntry> &entries)
{
    pending += entries;
    // Only the newest can still be shown.
    if (pending.size() > MaxRows)
        pending.remove(0, pending.size() - MaxRows);
    if (!updateTimer.isActive())
        updateTimer.start();
}

void LiveReportModel::flush()
{
    if (pending.isEmpty())
        return;
    const int overflow = int(rows.size()) + pending.size() - MaxRows;
    if (overflow > 0) {
        beginRemoveRows(QModelIndex(), 0, overflow - 1);
        rows.erase(rows.begin(), rows.begin() + overflow);
        endRemoveRows();
    }
    beginInsertRows(QModelIndex(), int(rows.size()), int(rows.size()) + pending.size() - 1);
    rows.insert(rows.end(), pending.cbegin(), pending.cend());
    endInsertRows();
    const QVector<LiveReportEntry> shown = pending;
    pending.clear();
    emit entriesShown(shown);
}

void LiveReportModel::clear()
{
    updateTimer.stop();
    pending.clear();
    beginResetModel();
    rows.clear();
    endResetModel();
}

QString LiveReportModel::toCsv() const
{
    QStringList header;
    for (int column = 0; column < ColumnCount; ++column)
        header << csvField(headerData(column, Qt::Horizontal).toString());
    QString text = header.join(QLatin1Char(';')) + QLatin1Char('\n');
    for (const LiveReportEntry &entry : rows) {
        QStringList fields;
        for (int column = 0; column < ColumnCount; ++column)
            fields << csvField(cell(entry, column));
        text += fields.join(QLatin1Char(';')) + QLatin1Char('\n');
    }
    return text;
}
