#include "boundsignalmodel.h"

#include "livereportmodel.h"

BoundSignalModel::BoundSignalModel(QObject *parent) : QAbstractTableModel(parent) {}

int BoundSignalModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int BoundSignalModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BoundSignalModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size() || index.column() >= ColumnCount ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return QVariant();
    const Row &row = rows.at(index.row());
    switch (index.column()) {
    case SignalColumn:
        return row.binding.signal;
    case MemberColumn:
        return row.binding.member;
    case ValueColumn:
        return row.last.value;
    case QualityColumn:
        return row.last.quality;
    case TimestampColumn:
        return row.last.timestamp;
    default:
        return QVariant();
    }
}

QVariant BoundSignalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case SignalColumn:
        return tr("RTU/PLC Signal");
    case MemberColumn:
        return tr("Member");
    case ValueColumn:
        return tr("Last Value");
    case QualityColumn:
        return tr("Quality");
    case TimestampColumn:
        return tr("Timestamp");
    default:
        return QVariant();
    }
}

void BoundSignalModel::setBindings(const QVector<SignalBinding> &bindings)
{
    beginResetModel();
    rows.clear();
    rowsByKey.clear();
    for (const SignalBinding &binding : bindings) {
        rowsByKey[LiveReportModel::memberKey(binding.member)].append(rows.size());
        rows.append({binding, LiveReportEntry()});
    }
    endResetModel();
}

void BoundSignalModel::update(const QVector<LiveReportEntry> &entries)
{
    int first = rows.size();
    int last = -1;
    for (const LiveReportEntry &entry : entries) {
        const auto found = rowsByKey.constFind(LiveReportModel::memberKey(entry.member));
        if (found == rowsByKey.constEnd())
            continue;
        for (int row : found.value()) {
            rows[row].last = entry;
            first = qMin(first, row);
            last = qMax(last, row);
        }
    }
    if (last >= 0)
        emit dataChanged(index(first, ValueColumn), index(last, TimestampColumn));
}

QString BoundSignalModel::valueWithQuality(const LiveReportEntry &entry)
{
    if (entry.quality.isEmpty() || entry.quality == QLatin1String("good"))
        return entry.value;
    return QStringLiteral("%1 (%2)").arg(entry.value, entry.quality);
}
