#ifndef STATIONSCOPE_IEDCONNECTION_H
#define STATIONSCOPE_IEDCONNECTION_H

// An IEC 61850 client connection with blocking calls, named after and meant as
// libiec61850's IedConnection_* functions. Directory calls are answered from
// one named-variable name list per logical device, fetched once per
// connection, and data set names from one list per logical device; data set
// members, control block values and reads ask the server each time.

#include "clientreport.h"
#include "clientreportcontrolblock.h"
#include "clientreportmatcher.h"
#include "iedclienterror.h"
#include "mmsconnection.h"
#include "mmsnamedirectory.h"
#include "mmstypespec.h"
#include "mmsvalue.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class IedConnection
{
public:
    // libiec61850's ACSIClass numbers.
    enum class AcsiClass {
        DataObject = 0,
        DataSet = 1,
        Brcb = 2,
        Urcb = 3,
        Lcb = 4,
        Log = 5,
        Sgcb = 6,
        Gocb = 7,
        Gscb = 8,
        Msvcb = 9,
        Usvcb = 10,
    };

    IedConnection() = default;
    // Drops the transport; call close() first for an orderly release.
    ~IedConnection() = default;

    void setConnectTimeout(int ms) { mms.setConnectTimeout(ms); }
    int connectTimeout() const { return mms.connectTimeout(); }
    void setRequestTimeout(int ms) { mms.setRequestTimeout(ms); }
    int requestTimeout() const { return mms.requestTimeout(); }
    // The largest MMS PDU to propose (65000 unless set).
    void setMaxPduSize(int octets) { mms.setMaxPduSize(octets); }

    IedClientError connect(const QString &host, quint16 port = 102);
    // MMS conclude and ACSE release when associated, then the transport is
    // closed; without an association it is only dropped.
    IedClientError close();
    IedClientError abort();
    bool isConnected() const { return mms.isAssociated(); }
    // Thread-safe: ends the call in progress and refuses later ones (see
    // MmsConnection::cancel).
    void cancel() { mms.cancel(); }
    const MmsInitiateParameters &negotiatedParameters() const { return mms.negotiated(); }

    QStringList logicalDeviceList(IedClientError *error = nullptr);
    // Logical node names of a logical device.
    QStringList logicalDeviceDirectory(const QString &logicalDevice,
                                       IedClientError *error = nullptr);
    // Names of one class in a logical node "LD/LN": data objects, data sets,
    // control blocks (logs and setting group blocks are not listed).
    QStringList logicalNodeDirectory(const QString &logicalNodeReference, AcsiClass acsiClass,
                                     IedClientError *error = nullptr);
    // Children of "LD/LN.DO[.DA...]". A trailing "[FC]" keeps to that constraint.
    QStringList dataDirectory(const QString &reference, IedClientError *error = nullptr);
    // The same with each name followed by its constraint: "stVal[ST]".
    QStringList dataDirectoryFc(const QString &reference, IedClientError *error = nullptr);
    // Member references "LD/LN.DO.DA[FC]" of data set "LD/LN.Name".
    QStringList dataSetDirectory(const QString &dataSetReference, bool *isDeletable = nullptr,
                                 IedClientError *error = nullptr);
    // Values of "LD/LN$RP$name" or "LD/LN$BR$name" (dots work too).
    ClientReportControlBlock rcbValues(const QString &rcbReference,
                                       IedClientError *error = nullptr);
    MmsValue readObject(const QString &reference, const QString &fc,
                        IedClientError *error = nullptr);
    // The member values of data set "LD/LN.Name", in its member order; a
    // member the server cannot read is a DataAccessError value.
    QList<MmsValue> readDataSetValues(const QString &dataSetReference,
                                      IedClientError *error = nullptr);
    // A value the server refuses gives the client error of its data access
    // error (AccessDenied, TypeInconsistent, ObjectDoesNotExist ...).
    IedClientError writeObject(const QString &reference, const QString &fc, const MmsValue &value);
    ClientReportControlBlock getRCBValues(const QString &rcbReference,
                                          IedClientError *error = nullptr)
    {
        return rcbValues(rcbReference, error);
    }
    // Writes the elements of parametersMask (ClientReportControlBlock::Element)
    // from rcb, always in the order servers accept: reservation, settings,
    // then RptEna, then GI. singleRequest puts them all in one write request;
    // otherwise each goes alone and the first refusal ends the call. The
    // first refused element's error is returned.
    IedClientError setRCBValues(const ClientReportControlBlock &rcb, int parametersMask,
                                bool singleRequest);

    // The same calls on several objects: requests go out up to the server's
    // limit of calls in flight (MmsConnection::requestAll), and each object
    // keeps its own outcome in (*errors)[i]. Reports that arrive meanwhile go
    // to their handlers between answers, so a long run of calls loses none;
    // a handler must not call the connection.
    QList<ClientReportControlBlock> rcbValuesAll(const QStringList &rcbReferences,
                                                 QVector<IedClientError> *errors);
    QList<QStringList> dataSetDirectories(const QStringList &dataSetReferences,
                                          QVector<IedClientError> *errors);
    // Each reference "LD/LN.DO" with its functional constraint.
    QList<MmsTypeSpec> variableSpecifications(const QList<QPair<QString, QString>> &objects,
                                              QVector<IedClientError> *errors);
    // One write request per block, as setRCBValues with singleRequest.
    QVector<IedClientError> setRCBValuesAll(const QList<ClientReportControlBlock> &rcbs,
                                            const QVector<int> &parametersMasks);
    // Ends the blocks' reporting: their handlers go first, then RptEna false
    // is written to all of them at once; NotConnected for each when there is
    // no connection to write on.
    QVector<IedClientError> disableReporting(const QList<ClientReportControlBlock> &rcbs);

    using ReportHandler = std::function<void(const ClientReport &)>;
    // Reports whose RptID is rptId go to handler (when rptId is empty, those
    // that carry the RCB's own reference, as servers send for an empty
    // RptID). dataSetMembers, from dataSetDirectory, names the members.
    // Handlers run inside processIncoming and between the answers of the
    // calls on several objects (rcbValuesAll ...), never inside another call.
    void installReportHandler(const QString &rcbReference, const QString &rptId,
                              const ReportHandler &handler,
                              const QStringList &dataSetMembers = QStringList());
    // The same for a block about to be enabled with the values in block: its
    // data set, kind and options tell it apart from blocks sharing its RptID,
    // and a buffered block's reports up to its TimeofEntry as read (the
    // newest entry buffered before the enable) are marked as from its buffer,
    // until the first later one.
    void installReportHandler(const ClientReportControlBlock &block, const ReportHandler &handler,
                              const QStringList &dataSetMembers);
    void uninstallReportHandler(const QString &rcbReference);
    using InformationReportHandler = std::function<void(const MmsInformationReport &)>;
    // The information reports that are no control block reports (command
    // terminations, LastApplError) go to handler, inside processIncoming
    // only; an empty handler drops them.
    void setInformationReportHandler(const InformationReportHandler &handler)
    {
        informationHandler = handler;
    }
    // Inside the information report handler: whether the report in hand
    // arrived before the answer to the last request.
    bool informationPrecedesLastAnswer() const { return informationEarly; }
    // Hands the reports that came in meanwhile to their handlers, then waits
    // up to msecs for more, handing each over as it comes.
    IedClientError processIncoming(int msecs);
    void setMaxQueuedReports(int count) { mms.setMaxQueuedReports(count); }
    qint64 droppedReports() const { return mms.droppedReports(); }
    qint64 malformedReports() const { return mms.malformedReports() + undecodableReports; }
    // Reports no handler claimed.
    qint64 unhandledReports() const { return unhandledCount; }
    // Reports several watched blocks could have sent; none is handed over.
    // handler hears of each set of such blocks once, inside processIncoming.
    qint64 ambiguousReports() const { return ambiguousCount; }
    using AmbiguityHandler = std::function<void(const QString &rptId, const QStringList &blocks)>;
    void setAmbiguityHandler(const AmbiguityHandler &handler) { ambiguityHandler = handler; }
    MmsTypeSpec variableSpecification(const QString &reference, const QString &fc,
                                      IedClientError *error = nullptr);

    // Forgets the cached name lists; the next directory call asks again.
    void clearCache();

    int roundTrips() const { return mms.roundTrips(); }
    int mostRequestsInFlight() const { return mms.mostInFlight(); }
    qint64 bytesSent() const { return mms.bytesSent(); }
    qint64 bytesReceived() const { return mms.bytesReceived(); }
    void resetCounters() { mms.resetCounters(); }

    // More names than this in one list is taken for a misbehaving server.
    static constexpr int MaxNames = 500000;
    // Which bound the last name list ran into ("" when none): a list too long
    // or one that does not move on.
    QString nameListBound() const { return lastNameListBound; }

private:
    struct Domain
    {
        bool variablesLoaded = false;
        MmsNameDirectory names;
        QSet<QString> expandedNodes;
        bool dataSetsLoaded = false;
        QStringList dataSets; // "LN$Name"
    };

    template <typename T> static T answer(IedClientError *error, IedClientError code, T value = T())
    {
        if (error)
            *error = code;
        return value;
    }
    IedClientError fetchNameList(int objectClass, const QString &domain, QStringList *names);
    IedClientError loadDomain(const QString &logicalDevice, Domain **domain);
    IedClientError loadNode(const QString &logicalDevice, const QString &logicalNode,
                            Domain **domain);
    IedClientError readItem(const QString &domain, const QString &item, MmsValue *value);
    IedClientError writeItems(const QList<MmsObjectName> &names, const QList<MmsValue> &values);
    // Sends the requests that are not empty and gives each answer to
    // decode(i, answer); an empty request's outcome is refused[i] (a call
    // refused, or done, before anything was sent).
    using Decode = std::function<IedClientError(int index, const MmsPdu &answer)>;
    QVector<IedClientError> callAll(const QList<QByteArray> &requests,
                                    QVector<IedClientError> refused, const Decode &decode,
                                    bool handOverReports);
    QList<ClientReportControlBlock> readRcbs(const QStringList &rcbReferences,
                                             QVector<IedClientError> *errors, bool handOverReports);
    QList<QStringList> readDataSets(const QStringList &dataSetReferences, QVector<bool> *deletable,
                                    QVector<IedClientError> *errors, bool handOverReports);
    QList<MmsTypeSpec> describe(const QList<QPair<QString, QString>> &objects,
                                QVector<IedClientError> *errors, bool handOverReports);
    QVector<IedClientError> writeRcbs(const QList<ClientReportControlBlock> &rcbs,
                                      const QVector<int> &parametersMasks, bool handOverReports);
    void dispatchReports();

    struct ReportSubscription
    {
        ReportSource source;
        ReportHandler handler;
        QStringList members;
        // Buffered history: reports with a time of entry up to this come from
        // the buffer, until the first later one; 0 when none can.
        qint64 historyUntilMs = 0;
    };
    void handleAmbiguous(const QString &rptId, const QVector<int> &matches);
    QStringList directory(const QString &reference, bool withFc, IedClientError *error);

    MmsConnection mms;
    bool domainListLoaded = false;
    QStringList domainList;
    QHash<QString, Domain> domains;
    QList<ReportSubscription> subscriptions;
    QVector<ReportSource> sources; // of subscriptions, in their order; rebuilt when emptied
    InformationReportHandler informationHandler;
    qint64 undecodableReports = 0;
    qint64 unhandledCount = 0;
    qint64 ambiguousCount = 0;
    AmbiguityHandler ambiguityHandler;
    QSet<QString> ambiguitiesTold;
    QString lastNameListBound;
    bool informationEarly = false;
};

#endif
