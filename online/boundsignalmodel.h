#ifndef STATIONSCOPE_BOUNDSIGNALMODEL_H
#define STATIONSCOPE_BOUNDSIGNALMODEL_H

// The RTU/PLC signals bound to data set members, in the data set
// selection's order, each beside the last value received for its member.

#include "onlineworker.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QVector>

struct SignalBinding
{
    QString member; // "LD/LN.DO.DA[FC]" as the data set selection names it
    QString signal;
};

class BoundSignalModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        SignalColumn,
        ValueColumn,
        QualityColumn,
        TimestampColumn,
        MemberColumn,
        ColumnCount
    };

    explicit BoundSignalModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Starts over with these bindings and no values.
    void setBindings(const QVector<SignalBinding> &bindings);
    // Takes the newest value of each bound member among entries.
    void update(const QVector<LiveReportEntry> &entries);

    // "12.5", or "12.5 (questionable)" when the quality is not good.
    static QString valueWithQuality(const LiveReportEntry &entry);

private:
    struct Row
    {
        SignalBinding binding;
        LiveReportEntry last;
    };
    QVector<Row> rows;
    QHash<QString, QVector<int>> rowsByKey;
};

#endif
