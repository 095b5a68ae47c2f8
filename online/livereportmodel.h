#ifndef STATIONSCOPE_LIVEREPORTMODEL_H
#define STATIONSCOPE_LIVEREPORTMODEL_H

// The members of received reports as a table, newest last: at most MaxRows,
// the oldest going first. Entries come in as fast as reports do and are
// shown at most ten times a second; each row names the RTU/PLC signal bound
// to its member, and the first row after a gap in a buffered block's reports
// stands out with the span lost.

#include "onlineworker.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QTimer>

#include <deque>

class LiveReportModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        ReceivedColumn,
        RcbColumn,
        SeqNumColumn,
        MemberColumn,
        ValueColumn,
        QualityColumn,
        TimestampColumn,
        ReasonColumn,
        // On the first row after entries a buffered block lost: the span lost.
        GapColumn,
        SignalColumn,
        ColumnCount
    };
    static constexpr int MaxRows = 10000;
    static constexpr int UpdateIntervalMs = 100;

    explicit LiveReportModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Member reference ("LD/LN.DO.DA[FC]", or without the constraint) ->
    // the signal bound to it.
    void setSignals(const QHash<QString, QString> &signalByMember);
    QString signalOf(const QString &member) const;
    // The form members are matched in: constraints and trailing dots left
    // out, so "LD/LN.DO.[ST]" of a project meets "LD/LN.DO[ST]" of a server.
    static QString memberKey(const QString &reference);

    // Queued for the next update.
    void append(const QVector<LiveReportEntry> &entries);
    // Shows what is queued now.
    void flush();
    void clear();

    // The table as CSV (";"-separated, a header line, texts quoted when needed).
    QString toCsv() const;

signals:
    // After each update: the entries it showed, oldest first.
    void entriesShown(const QVector<LiveReportEntry> &entries);

private:
    QString cell(const LiveReportEntry &entry, int column) const;

    std::deque<LiveReportEntry> rows;
    QVector<LiveReportEntry> pending;
    QHash<QString, QString> signalByMember;
    QTimer updateTimer;
};

#endif
