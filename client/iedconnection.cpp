#include "iedconnection.h"

#include "mmsservices.h"
#include "mmswrite.h"
#include "objectreference.h"

#include <QDateTime>
#include <QDebug>

namespace {

template <typename T> T answer(IedClientError *error, IedClientError code, T value = T())
{
    if (error)
        *error = code;
    return value;
}

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
    MmsNameListRequest request;
    request.objectClass = objectClass;
    request.scope = domain.isEmpty() ? MmsObjectName::VmdSpecific : MmsObjectName::DomainSpecific;
    request.domain = domain;
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
        // A server that promises more without moving on would keep us asking.
        if (moreFollows && (part.isEmpty() || part.last() == request.continueAfter))
            return IedClientError::UnexpectedValueReceived;
        *names += part;
        if (names->size() > MaxNames)
            return IedClientError::UnexpectedValueReceived;
        if (!moreFollows)
            return IedClientError::Ok;
        request.hasContinueAfter = true;
        request.continueAfter = part.last();
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

QStringList IedConnection::dataSetDirectory(const QString &dataSetReference, bool *isDeletable,
                                            IedClientError *error)
{
    ObjectReference reference;
    if (!ObjectReference::parse(dataSetReference, &reference) || !reference.fc.isEmpty())
        return answer<QStringList>(error, IedClientError::ObjectReferenceInvalid);
    MmsPdu response;
    const IedClientError code = mms.request(
        MmsServices::getNamedVariableListAttributesRequest(
            {MmsObjectName::DomainSpecific, reference.logicalDevice, reference.plainItem()}),
        &response);
    if (code != IedClientError::Ok)
        return answer<QStringList>(error, code);
    MmsVariableListAttributes attributes;
    if (!MmsServices::decodeGetNamedVariableListAttributesResponse(response.serviceReader(),
                                                                   response.service, &attributes))
        return answer<QStringList>(error, IedClientError::MalformedMessage);
    if (isDeletable)
        *isDeletable = attributes.deletable;
    QStringList members;
    for (const MmsObjectName &member : attributes.members)
        members << ObjectReferences::fromMmsName(member.domain, member.item);
    return answer(error, IedClientError::Ok, members);
}

IedClientError IedConnection::readItem(const QString &domain, const QString &item, MmsValue *value)
{
    MmsPdu response;
    const IedClientError error = mms.request(
        MmsServices::readRequest({MmsObjectName::DomainSpecific, domain, item}), &response);
    if (error != IedClientError::Ok)
        return error;
    QList<MmsValue> results;
    if (!MmsServices::decodeReadResponse(response.serviceReader(), response.service, &results))
        return IedClientError::MalformedMessage;
    if (results.size() != 1)
        return IedClientError::UnexpectedValueReceived;
    if (results.first().type() == MmsType::DataAccessError)
        return iedClientErrorFromDataAccessError(results.first().dataAccessErrorCode());
    *value = results.first();
    return IedClientError::Ok;
}

ClientReportControlBlock IedConnection::rcbValues(const QString &rcbReference,
                                                  IedClientError *error)
{
    ObjectReference reference;
    if (!ObjectReference::parse(rcbReference, &reference) || reference.path.size() != 2 ||
        !reference.fc.isEmpty())
        return answer<ClientReportControlBlock>(error, IedClientError::ObjectReferenceInvalid);
    const QString fc = reference.path.first();
    if (fc != QLatin1String("RP") && fc != QLatin1String("BR"))
        return answer<ClientReportControlBlock>(error, IedClientError::ObjectReferenceInvalid);
    MmsValue value;
    const IedClientError code = readItem(reference.logicalDevice, reference.plainItem(), &value);
    if (code != IedClientError::Ok)
        return answer<ClientReportControlBlock>(error, code);
    ClientReportControlBlock block;
    if (!ClientReportControlBlock::fromValue(rcbReference, fc == QLatin1String("BR"), value,
                                             &block))
        return answer<ClientReportControlBlock>(error, IedClientError::UnexpectedValueReceived);
    return answer(error, IedClientError::Ok, block);
}

MmsValue IedConnection::readObject(const QString &text, const QString &fc, IedClientError *error)
{
    ObjectReference reference;
    if (!ObjectReference::parse(text, &reference) || !ObjectReferences::isFunctionalConstraint(fc))
        return answer<MmsValue>(error, IedClientError::ObjectReferenceInvalid);
    MmsValue value;
    const IedClientError code = readItem(reference.logicalDevice, reference.mmsItem(fc), &value);
    return answer(error, code, value);
}

MmsTypeSpec IedConnection::variableSpecification(const QString &text, const QString &fc,
                                                 IedClientError *error)
{
    ObjectReference reference;
    if (!ObjectReference::parse(text, &reference) || !ObjectReferences::isFunctionalConstraint(fc))
        return answer<MmsTypeSpec>(error, IedClientError::ObjectReferenceInvalid);
    MmsPdu response;
    const IedClientError code = mms.request(
        MmsServices::getVariableAccessAttributesRequest(
            {MmsObjectName::DomainSpecific, reference.logicalDevice, reference.mmsItem(fc)}),
        &response);
    if (code != IedClientError::Ok)
        return answer<MmsTypeSpec>(error, code);
    bool deletable = false;
    MmsTypeSpec type;
    if (!MmsServices::decodeGetVariableAccessAttributesResponse(
            response.serviceReader(), response.service, &deletable, &type))
        return answer<MmsTypeSpec>(error, IedClientError::MalformedMessage);
    return answer(error, IedClientError::Ok, type);
}

QList<MmsValue> IedConnection::readDataSetValues(const QString &dataSetReference,
                                                 IedClientError *error)
{
    ObjectReference reference;
    if (!ObjectReference::parse(dataSetReference, &reference) || !reference.fc.isEmpty())
        return answer<QList<MmsValue>>(error, IedClientError::ObjectReferenceInvalid);
    MmsPdu response;
    const IedClientError code = mms.request(
        MmsServices::readListRequest(
            {MmsObjectName::DomainSpecific, reference.logicalDevice, reference.plainItem()}, true),
        &response);
    if (code != IedClientError::Ok)
        return answer<QList<MmsValue>>(error, code);
    QList<MmsValue> results;
    if (!MmsServices::decodeReadResponse(response.serviceReader(), response.service, &results))
        return answer<QList<MmsValue>>(error, IedClientError::MalformedMessage);
    return answer(error, IedClientError::Ok, results);
}

IedClientError IedConnection::writeItems(const QList<MmsObjectName> &names,
                                         const QList<MmsValue> &values)
{
    MmsWriteRequest request;
    request.variables = names;
    request.values = values;
    MmsPdu response;
    const IedClientError error = mms.request(MmsWrite::request(request), &response);
    if (error != IedClientError::Ok)
        return error;
    QList<MmsWriteResult> results;
    if (!MmsWrite::decodeResponse(response.serviceReader(), response.service, &results))
        return IedClientError::MalformedMessage;
    if (results.size() != names.size())
        return IedClientError::UnexpectedValueReceived;
    for (const MmsWriteResult &result : results) {
        if (!result.success)
            return iedClientErrorFromDataAccessError(result.dataAccessError);
    }
    return IedClientError::Ok;
}

IedClientError IedConnection::writeObject(const QString &text, const QString &fc,
                                          const MmsValue &value)
{
    ObjectReference reference;
    if (!ObjectReference::parse(text, &reference) || !ObjectReferences::isFunctionalConstraint(fc))
        return IedClientError::ObjectReferenceInvalid;
    if (value.isNull())
        return IedClientError::InvalidArgument;
    return writeItems(
        {{MmsObjectName::DomainSpecific, reference.logicalDevice, reference.mmsItem(fc)}}, {value});
}

IedClientError IedConnection::setRCBValues(const ClientReportControlBlock &rcb, int parametersMask,
                                           bool singleRequest)
{
    using Block = ClientReportControlBlock;
    ObjectReference reference;
    if (!ObjectReference::parse(rcb.reference(), &reference) || reference.path.size() != 2 ||
        !reference.fc.isEmpty())
        return IedClientError::ObjectReferenceInvalid;
    // The order servers accept: a block is reserved and configured before it
    // is enabled, and interrogated once enabled.
    static const Block::Element order[] = {
        Block::ElementResv,    Block::ElementResvTms,  Block::ElementRptId,  Block::ElementDatSet,
        Block::ElementEntryId, Block::ElementOptFlds,  Block::ElementBufTm,  Block::ElementTrgOps,
        Block::ElementIntgPd,  Block::ElementPurgeBuf, Block::ElementRptEna, Block::ElementGi};
    QList<MmsObjectName> names;
    QList<MmsValue> values;
    for (Block::Element element : order) {
        if (!(parametersMask & element))
            continue;
        const MmsValue value = rcb.elementValue(element);
        if (value.isNull())
            return IedClientError::InvalidArgument;
        names.append({MmsObjectName::DomainSpecific, reference.logicalDevice,
                      reference.plainItem() + QLatin1Char('$') + Block::elementName(element)});
        values.append(value);
    }
    if (names.isEmpty())
        return IedClientError::Ok;
    if (singleRequest)
        return writeItems(names, values);
    for (int i = 0; i < names.size(); ++i) {
        const IedClientError error = writeItems({names.at(i)}, {values.at(i)});
        if (error != IedClientError::Ok)
            return error;
    }
    return IedClientError::Ok;
}

void IedConnection::installReportHandler(const QString &rcbReference, const QString &rptId,
                                         const ReportHandler &handler,
                                         const QStringList &dataSetMembers)
{
    uninstallReportHandler(rcbReference);
    subscriptions.append({rcbReference, rptId, handler, dataSetMembers});
}

void IedConnection::uninstallReportHandler(const QString &rcbReference)
{
    for (int i = subscriptions.size() - 1; i >= 0; --i) {
        if (subscriptions.at(i).rcbReference == rcbReference)
            subscriptions.removeAt(i);
    }
}

void IedConnection::dispatchReports()
{
    while (mms.hasQueuedReports()) {
        const MmsInformationReport information = mms.takeReport();
        // Command terminations and LastApplError travel the same way; they
        // are not reports of a control block.
        if (!information.isReport()) {
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
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        bool handled = false;
        for (const ReportSubscription &subscription : qAsConst(subscriptions)) {
            ObjectReference rcb;
            const bool own =
                subscription.rptId.isEmpty() &&
                ObjectReference::parse(subscription.rcbReference, &rcb) &&
                content.rptId == rcb.logicalDevice + QLatin1Char('/') + rcb.plainItem();
            if (own || (!subscription.rptId.isEmpty() && subscription.rptId == content.rptId)) {
                // A copy: the handler may uninstall itself.
                const ReportSubscription target = subscription;
                target.handler(ClientReport(target.rcbReference, content, target.members, now));
                handled = true;
                break;
            }
        }
        if (!handled)
            ++unhandledCount;
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
