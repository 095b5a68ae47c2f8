#include "iedconnection.h"

#include "mmsservices.h"
#include "objectreference.h"

#include <QDateTime>
#include <QDebug>

namespace {

QString controlBlockConstraint(IedConnection::AcsiClass acsiClass)
{
    switch (acsiClass) {
    case IedConnection::AcsiClass::Brcb:
        return QStringLiteral("BR");
    case IedConnection::AcsiClass::Urcb:
        return QStringLiteral("RP");
    case IedConnection::AcsiClass::Lcb:
        return QStringLiteral("LG");
    case IedConnection::AcsiClass::Gocb:
        return QStringLiteral("GO");
    case IedConnection::AcsiClass::Gscb:
        return QStringLiteral("GS");
    case IedConnection::AcsiClass::Msvcb:
        return QStringLiteral("MS");
    case IedConnection::AcsiClass::Usvcb:
        return QStringLiteral("US");
    default:
        return QString();
    }
}

} // namespace

IedClientError IedConnection::connect(const QString &host, quint16 port)
{
    clearCache();
    return mms.associate(host, port);
}

IedClientError IedConnection::close()
{
    clearCache();
    if (!mms.isAssociated()) {
        mms.drop();
        return IedClientError::Ok;
    }
    IedClientError error = mms.conclude();
    if (error == IedClientError::Ok)
        error = mms.release();
    mms.drop();
    return error;
}

IedClientError IedConnection::abort()
{
    clearCache();
    return mms.abort();
}

void IedConnection::clearCache()
{
    domainListLoaded = false;
    domainList.clear();
    domains.clear();
}

IedClientError IedConnection::fetchNameList(int objectClass, const QString &domain,
                                            QStringList *names)
{
    names->clear();
    lastNameListBound.clear();
    MmsNameListRequest request;
    request.objectClass = objectClass;
    request.scope = domain.isEmpty() ? MmsObjectName::VmdSpecific : MmsObjectName::DomainSpecific;
    request.domain = domain;
    QSet<QString> continuations;
    for (;;) {
        MmsPdu response;
        const IedClientError error =
            mms.request(MmsServices::getNameListRequest(request), &response);
        if (error != IedClientError::Ok)
            return error;
        QStringList part;
        bool moreFollows = true;
        if (!MmsServices::decodeGetNameListResponse(response.serviceReader(), response.service,
                                                    &part, &moreFollows))
            return IedClientError::MalformedMessage;
        // A server that promises more without moving on, or comes back to a
        // name it continued after before, would keep us asking.
        if (moreFollows && (part.isEmpty() || continuations.contains(part.last()))) {
            lastNameListBound = QStringLiteral("a name list that does not move on after %1 names")
                                    .arg(names->size() + part.size());
            return IedClientError::UnexpectedValueReceived;
        }
        *names += part;
        if (names->size() > MaxNames) {
            lastNameListBound = QStringLiteral("more than %1 names in one list").arg(MaxNames);
            return IedClientError::UnexpectedValueReceived;
        }
        if (!moreFollows)
            return IedClientError::Ok;
        request.hasContinueAfter = true;
        request.continueAfter = part.last();
        continuations.insert(part.last());
    }
}

QStringList IedConnection::logicalDeviceList(IedClientError *error)
{
    if (!mms.isAssociated())
        return answer<QStringList>(error, IedClientError::NotConnected);
    if (!domainListLoaded) {
        QStringList names;
        const IedClientError code = fetchNameList(MmsNameListRequest::Domain, QString(), &names);
        if (code != IedClientError::Ok)
            return answer<QStringList>(error, code);
        domainList = names;
        domainListLoaded = true;
    }
    return answer(error, IedClientError::Ok, domainList);
}

IedClientError IedConnection::loadDomain(const QString &logicalDevice, Domain **domain)
{
    if (!mms.isAssociated())
        return IedClientError::NotConnected;
    Domain &entry = domains[logicalDevice];
    if (!entry.variablesLoaded) {
        QStringList names;
        const IedClientError error =
            fetchNameList(MmsNameListRequest::NamedVariable, logicalDevice, &names);
        if (error != IedClientError::Ok) {
            domains.remove(logicalDevice);
            return error;
        }
        entry.names.addNames(names);
        entry.variablesLoaded = true;
    }
    *domain = &entry;
    return IedClientError::Ok;
}

IedClientError IedConnection::loadNode(const QString &logicalDevice, const QString &logicalNode,
                                       Domain **domain)
{
    IedClientError error = loadDomain(logicalDevice, domain);
    if (error != IedClientError::Ok)
        return error;
    Domain &entry = **domain;
    if (!entry.names.contains(logicalNode))
        return IedClientError::ObjectDoesNotExist;
    // Servers that list logical nodes only describe them on request.
    if (entry.names.hasChildren(logicalNode) || entry.expandedNodes.contains(logicalNode))
        return IedClientError::Ok;
    entry.expandedNodes.insert(logicalNode);
    MmsPdu response;
    error = mms.request(MmsServices::getVariableAccessAttributesRequest(
                            {MmsObjectName::DomainSpecific, logicalDevice, logicalNode}),
                        &response);
    // The domain table may have been touched by nothing else, but look it up
    // again rather than trust a pointer across a request.
    *domain = &domains[logicalDevice];
    if (error != IedClientError::Ok)
        return error;
    bool deletable = false;
    MmsTypeSpec type;
    if (!MmsServices::decodeGetVariableAccessAttributesResponse(
            response.serviceReader(), response.service, &deletable, &type))
        return IedClientError::MalformedMessage;
    (*domain)->names.addVariable(logicalNode, type);
    return IedClientError::Ok;
}

QStringList IedConnection::logicalDeviceDirectory(const QString &logicalDevice,
                                                  IedClientError *error)
{
    Domain *domain = nullptr;
    const IedClientError code = loadDomain(logicalDevice, &domain);
    if (code != IedClientError::Ok)
        return answer<QStringList>(error, code);
    return answer(error, IedClientError::Ok, domain->names.logicalNodes());
}

QStringList IedConnection::logicalNodeDirectory(const QString &logicalNodeReference,
                                                AcsiClass acsiClass, IedClientError *error)
{
    ObjectReference reference;
    if (!ObjectReference::parse(logicalNodeReference, &reference) || !reference.path.isEmpty())
        return answer<QStringList>(error, IedClientError::ObjectReferenceInvalid);
    const QString &ln = reference.logicalNode;
    if (acsiClass == AcsiClass::DataSet) {
        if (!mms.isAssociated())
            return answer<QStringList>(error, IedClientError::NotConnected);
        Domain &domain = domains[reference.logicalDevice];
        if (!domain.dataSetsLoaded) {
            QStringList names;
            const IedClientError code = fetchNameList(MmsNameListRequest::NamedVariableList,
                                                      reference.logicalDevice, &names);
            if (code != IedClientError::Ok)
                return answer<QStringList>(error, code);
            Domain &reloaded = domains[reference.logicalDevice];
            reloaded.dataSets = names;
            reloaded.dataSetsLoaded = true;
        }
        QStringList names;
        const QString prefix = ln + QLatin1Char('$');
        for (const QString &name : domains[reference.logicalDevice].dataSets) {
            if (name.startsWith(prefix))
                names << name.mid(prefix.size());
        }
        return answer(error, IedClientError::Ok, names);
    }
    if (acsiClass == AcsiClass::Log || acsiClass == AcsiClass::Sgcb)
        return answer<QStringList>(error, IedClientError::ServiceNotSupported);
    const QString fc = controlBlockConstraint(acsiClass);
    if (acsiClass != AcsiClass::DataObject && fc.isEmpty())
        return answer<QStringList>(error, IedClientError::InvalidArgument);
    Domain *domain = nullptr;
    const IedClientError code = loadNode(reference.logicalDevice, ln, &domain);
    if (code != IedClientError::Ok)
        return answer<QStringList>(error, code);
    if (acsiClass == AcsiClass::DataObject)
        return answer(error, IedClientError::Ok, domain->names.dataObjects(ln));
    return answer(error, IedClientError::Ok, domain->names.childrenOf(ln, fc));
}

QStringList IedConnection::directory(const QString &text, bool withFc, IedClientError *error)
{
    ObjectReference reference;
    if (!ObjectReference::parse(text, &reference))
        return answer<QStringList>(error, IedClientError::ObjectReferenceInvalid);
    Domain *domain = nullptr;
    const IedClientError code = loadNode(reference.logicalDevice, reference.logicalNode, &domain);
    if (code != IedClientError::Ok)
        return answer<QStringList>(error, code);
    return answer(
        error, IedClientError::Ok,
        domain->names.dataDirectory(reference.logicalNode, reference.path, reference.fc, withFc));
}

QStringList IedConnection::dataDirectory(const QString &reference, IedClientError *error)
{
    return directory(reference, false, error);
}

QStringList IedConnection::dataDirectoryFc(const QString &reference, IedClientError *error)
{
    return directory(reference, true, error);
}

void IedConnection::installReportHandler(const QString &rcbReference, const QString &rptId,
                                         const ReportHandler &handler,
                                         const QStringList &dataSetMembers)
{
    uninstallReportHandler(rcbReference);
    ReportSubscription subscription;
    subscription.source.rcbReference = rcbReference;
    subscription.source.rptId = rptId;
    subscription.handler = handler;
    subscription.members = dataSetMembers;
    subscriptions.append(subscription);
    sources.clear();
}

void IedConnection::installReportHandler(const ClientReportControlBlock &block,
                                         const ReportHandler &handler,
                                         const QStringList &dataSetMembers)
{
    uninstallReportHandler(block.reference());
    ReportSubscription subscription;
    subscription.source.rcbReference = block.reference();
    subscription.source.rptId = block.rptId();
    subscription.source.dataSet = block.dataSetReference();
    subscription.source.memberCount = dataSetMembers.isEmpty() ? -1 : dataSetMembers.size();
    subscription.source.kind =
        block.isBuffered() ? ReportSource::Kind::Buffered : ReportSource::Kind::Unbuffered;
    subscription.source.optFlds = block.optFlds();
    subscription.handler = handler;
    subscription.members = dataSetMembers;
    // The server's own TimeofEntry, read with the block, is the newest entry
    // its buffer held: no clock of ours is compared with the server's. A block
    // never read only has our clock to go by.
    if (block.isBuffered())
        subscription.historyUntilMs = block.value().isNull()
                                          ? QDateTime::currentMSecsSinceEpoch() - 1
                                          : qint64(block.timeOfEntry());
    subscriptions.append(subscription);
    sources.clear();
}

void IedConnection::uninstallReportHandler(const QString &rcbReference)
{
    for (int i = subscriptions.size() - 1; i >= 0; --i) {
        if (subscriptions.at(i).source.rcbReference == rcbReference)
            subscriptions.removeAt(i);
    }
    sources.clear();
}

void IedConnection::handleAmbiguous(const QString &rptId, const QVector<int> &matches)
{
    ++ambiguousCount;
    QStringList blocks;
    for (int index : matches)
        blocks << subscriptions.at(index).source.rcbReference;
    const QString key = rptId + QLatin1Char('\n') + blocks.join(QLatin1Char('\n'));
    if (ambiguitiesTold.contains(key))
        return;
    ambiguitiesTold.insert(key);
    if (ambiguityHandler)
        ambiguityHandler(rptId, blocks);
}

void IedConnection::dispatchReports()
{
    while (mms.hasQueuedReports()) {
        const bool early = mms.nextReportPrecedesLastAnswer();
        const MmsInformationReport information = mms.takeReport();
        // Command terminations and LastApplError travel the same way; they
        // are not reports of a control block.
        if (!information.isReport()) {
            informationEarly = early;
            if (informationHandler)
                informationHandler(information);
            continue;
        }
        Iec61850Report content;
        if (!MmsReportCodec::decodeReport(information.values, &content)) {
            ++undecodableReports;
            qDebug("MMS: a report whose fields do not match its options was dropped");
            continue;
        }
        // Subscriptions change only through install and uninstall, which clear this.
        if (sources.size() != subscriptions.size()) {
            sources.clear();
            for (const ReportSubscription &subscription : qAsConst(subscriptions))
                sources.append(subscription.source);
        }
        const QVector<int> matches = ReportMatcher::candidates(sources, content);
        if (matches.size() > 1) {
            handleAmbiguous(content.rptId, matches);
            continue;
        }
        if (matches.isEmpty()) {
            ++unhandledCount;
            continue;
        }
        ReportSubscription &subscription = subscriptions[matches.first()];
        bool fromBuffer = false;
        if (subscription.historyUntilMs > 0) {
            fromBuffer = content.has(ReportOptionTimeStamp) &&
                         qint64(content.timeOfEntry) <= subscription.historyUntilMs;
            if (!fromBuffer)
                subscription.historyUntilMs = 0;
        }
        // A copy: the handler may uninstall itself.
        const ReportSubscription target = subscription;
        target.handler(ClientReport(target.source.rcbReference, content, target.members,
                                    QDateTime::currentMSecsSinceEpoch(), fromBuffer));
    }
}

IedClientError IedConnection::processIncoming(int msecs)
{
    if (!mms.isAssociated() && !mms.hasQueuedReports())
        return IedClientError::NotConnected;
    dispatchReports();
    const QDeadlineTimer deadline(qMax(0, msecs));
    while (mms.isAssociated()) {
        const IedClientError error = mms.waitForReports(int(deadline.remainingTime()));
        dispatchReports();
        if (error != IedClientError::Ok)
            return error;
        if (deadline.hasExpired())
            break;
    }
    return mms.isAssociated() ? IedClientError::Ok : IedClientError::ConnectionLost;
}
