#ifndef STATIONSCOPE_REPORTCONTROLENGINE_H
#define STATIONSCOPE_REPORTCONTROLENGINE_H

// The reporting of one server: every report control block of its model, the
// associations that own them, value changes routed to the blocks whose data
// sets hold the changed leaves, and the reports due, encoded as
// InformationReport PDUs for their connections (segmented when a report does
// not fit the connection's PDU size). Lives on the server's thread; the
// blocks' current values are written back to the model, so plain reads of
// them need nothing from here. Times are ms since 1970.

#include "mmsservermodel.h"
#include "mmswrite.h"
#include "serverreportcontrol.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QVector>

#include <memory>
#include <vector>

class ReportControlEngine
{
public:
    explicit ReportControlEngine(std::shared_ptr<const MmsServerModel> model);

    // peer: the client's address, which may take back a buffered block it
    // held within ResvTms.
    void addConnection(int connection, int maxPduSize, const QString &peer = QString());
    // Disables and releases what the connection held.
    void removeConnection(int connection, quint64 now = 0);

    // Whether item is a report control block or one of its attributes.
    bool handles(const QString &domain, const QString &item) const;
    MmsWriteResult write(int connection, const QString &domain, const QString &item,
                         const MmsValue &value, quint64 now);

    void valuesChanged(const QVector<MmsValueChange> &changes, quint64 now);

    struct Outgoing
    {
        int connection = 0;
        QByteArray pdu; // an unconfirmed MMS PDU
    };
    // Runs the due timers and returns the reports to send. Unbuffered
    // reports for a congested connection are dropped and counted; buffered
    // entries wait in their buffer.
    std::vector<Outgoing> collect(quint64 now, const QSet<int> &congested = QSet<int>());
    // The earliest time collect() has work, or 0 when nothing waits.
    quint64 nextDeadline() const;

    int droppedReports() const;
    // Each buffered block's buffer (ServerReportControl::DefaultBufferBytes unless set).
    void setBufferBytes(int bytes);
    int controlBlockCount() const { return int(blocks.size()); }
    const ServerReportControl *controlBlock(const QString &domain, const QString &item) const;

    // The PDUs of one entry: one report, or segments within maxPduSize.
    static QList<QByteArray> encode(ServerReportControl &block, const ReportEntry &entry,
                                    int maxPduSize);

private:
    ServerReportControl *find(const QString &domain, const QString &item, QString *attribute) const;
    void mirror(const ServerReportControl &block) const;

    // A data set member of a block that covers a changed leaf.
    struct Route
    {
        int block = 0;
        int member = 0;
    };
    const QVector<Route> &routesOf(const QString &domain, const QString &item);

    std::shared_ptr<const MmsServerModel> model;
    std::vector<std::unique_ptr<ServerReportControl>> blocks;
    QHash<QString, ServerReportControl *> byName; // "domain/LLN0$RP$name"
    QHash<int, int> pduSizes;                     // connection -> negotiated PDU size
    QHash<int, QString> peers;                    // connection -> address
    // The members covering each leaf changed so far, by domain and item (a
    // device changes the same leaves step after step); forgotten when a
    // block takes another data set.
    QHash<QPair<QString, QString>, QVector<Route>> routes;
    std::vector<QVector<QPair<int, int>>> changedMembers; // per block, reused
};

#endif
