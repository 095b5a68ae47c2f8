#include "mmsrequesthandler.h"

#include "berwriter.h"
#include "mmsservices.h"
#include "reportcontrolengine.h"
#include "servercontrols.h"

#include <QDateTime>

#include <algorithm>
#include <utility>

namespace {

// Reject reasons of confirmed requests and of PDUs as a whole.
constexpr int UnrecognizedService = 1;
constexpr int InvalidArgument = 4;
constexpr int InvalidPdu = 1;

const MmsServiceError ObjectNonExistent{MmsServiceError::Access, 2};
const MmsServiceError PduSize{MmsServiceError::Service, 3};

// Access error of a read for a variable that is not there.
constexpr int DataObjectNonExistent = 10;
constexpr int DataObjectAccessDenied = 3;
constexpr int DataTypeInconsistent = 7;

// Clients may write descriptions, settings and substitutions; status,
// measurements and configuration belong to the device.
bool writableConstraint(const QString &item)
{
    const QString fc = item.section(QLatin1Char('$'), 1, 1);
    return fc == QLatin1String("DC") || fc == QLatin1String("SP") || fc == QLatin1String("SV");
}

QByteArray rejectArgument(const MmsPdu &pdu)
{
    return MmsPduCodec::reject(pdu.invokeId, true, MmsPdu::RejectedConfirmedRequest,
                               InvalidArgument);
}

// Size of a confirmed response carrying names whose identifiers take
// namesSize octets, with room for an explicit moreFollows.
int nameListResponseSize(quint32 invokeId, int namesSize)
{
    const int invoke = Ber::unsignedInteger(0x02, invokeId).size();
    const int list = Ber::elementSize(0xa0, namesSize);
    const int service = Ber::elementSize(MmsServices::GetNameList, list + 3);
    return Ber::elementSize(0xa1, invoke + service);
}

} // namespace

MmsRequestHandler::MmsRequestHandler(std::shared_ptr<const MmsServerModel> model,
                                     ReportControlEngine *reports, int connection)
    : model(std::move(model)), reports(reports), connection(connection),
      controls(ServerControls::forModel(this->model))
{
}

MmsRequestHandler::~MmsRequestHandler()
{
    controls->removeConnection(connection);
}

QList<QByteArray> MmsRequestHandler::takeUnconfirmedBefore() const
{
    return std::exchange(unconfirmedBefore, {});
}

QList<QByteArray> MmsRequestHandler::takeUnconfirmedAfter() const
{
    return std::exchange(unconfirmedAfter, {});
}

QByteArray MmsRequestHandler::answer(const QByteArray &pduBytes, int maxPduSize) const
{
    // What an earlier answer brought about and nobody took is stale now.
    unconfirmedBefore.clear();
    unconfirmedAfter.clear();
    MmsPdu pdu;
    if (!MmsPduCodec::decode(pduBytes, &pdu)) {
        // A confirmed request that names its invoke id gets it back.
        return MmsPduCodec::reject(pdu.invokeId, pdu.hasInvokeId, MmsPdu::RejectedPdu, InvalidPdu);
    }
    switch (pdu.kind) {
    case MmsPdu::ConfirmedRequest:
        return confirmed(pdu, maxPduSize);
    case MmsPdu::ConcludeRequest:
        return MmsPduCodec::concludeResponse();
    case MmsPdu::Unconfirmed:
    case MmsPdu::ConfirmedResponse:
    case MmsPdu::ConfirmedError:
    case MmsPdu::Reject:
        return QByteArray();
    default:
        return MmsPduCodec::reject(0, false, MmsPdu::RejectedPdu, InvalidPdu);
    }
}

QByteArray MmsRequestHandler::confirmed(const MmsPdu &pdu, int maxPduSize) const
{
    switch (pdu.service.tag) {
    case MmsServices::GetNameList:
        return getNameList(pdu, maxPduSize);
    case MmsServices::Read:
        return read(pdu, maxPduSize);
    case MmsWrite::ServiceTag:
        return write(pdu, maxPduSize);
    case MmsServices::GetVariableAccessAttributes:
        return variableAccessAttributes(pdu, maxPduSize);
    case MmsServices::GetNamedVariableListAttributes:
        return variableListAttributes(pdu, maxPduSize);
    default:
        return MmsPduCodec::reject(pdu.invokeId, true, MmsPdu::RejectedConfirmedRequest,
                                   UnrecognizedService);
    }
}

QByteArray MmsRequestHandler::fitted(quint32 invokeId, const QByteArray &service,
                                     int maxPduSize) const
{
    const QByteArray response = MmsPduCodec::confirmedResponse(invokeId, service);
    if (response.size() > maxPduSize)
        return MmsPduCodec::confirmedError(invokeId, PduSize);
    return response;
}

QByteArray MmsRequestHandler::getNameList(const MmsPdu &pdu, int maxPduSize) const
{
    MmsNameListRequest request;
    if (!MmsServices::decodeGetNameListRequest(pdu.serviceReader(), pdu.service, &request))
        return rejectArgument(pdu);
    QStringList names;
    const bool domainScope = request.scope == MmsObjectName::DomainSpecific;
    if (domainScope && !model->domainNames().contains(request.domain))
        return MmsPduCodec::confirmedError(pdu.invokeId, ObjectNonExistent);
    switch (request.objectClass) {
    case MmsNameListRequest::Domain:
        if (request.scope == MmsObjectName::VmdSpecific)
            names = model->domainNames();
        break;
    case MmsNameListRequest::NamedVariable:
        if (domainScope)
            names = model->variableNames(request.domain);
        break;
    case MmsNameListRequest::NamedVariableList:
        if (domainScope)
            names = model->dataSetNames(request.domain);
        break;
    default:
        break;
    }
    // Continue after the given name, whether or not it is still there.
    int first = 0;
    if (request.hasContinueAfter) {
        first = int(std::upper_bound(names.cbegin(), names.cend(), request.continueAfter,
                                     MmsServerModel::nameLessThan) -
                    names.cbegin());
    }
    int last = first;
    int namesSize = 0;
    while (last < names.size()) {
        const int size = Ber::elementSize(0x1a, names.at(last).toLatin1().size());
        if (nameListResponseSize(pdu.invokeId, namesSize + size) > maxPduSize)
            break;
        namesSize += size;
        ++last;
    }
    if (last == first && first < names.size())
        return MmsPduCodec::confirmedError(pdu.invokeId, PduSize);
    const bool moreFollows = last < names.size();
    return MmsPduCodec::confirmedResponse(
        pdu.invokeId,
        MmsServices::getNameListResponse(names.mid(first, last - first), moreFollows));
}

bool MmsRequestHandler::requestedVariables(bool namedList, const MmsObjectName &listName,
                                           QList<MmsObjectName> *variables) const
{
    if (!namedList)
        return true;
    const MmsServerDataSet *dataSet = model->dataSet(listName.domain, listName.item);
    if (!dataSet)
        return false;
    *variables = dataSet->members;
    return true;
}

QByteArray MmsRequestHandler::read(const MmsPdu &pdu, int maxPduSize) const
{
    MmsReadRequest request;
    if (!MmsServices::decodeReadRequest(pdu.serviceReader(), pdu.service, &request))
        return rejectArgument(pdu);
    QList<MmsObjectName> variables = request.variables;
    if (!requestedVariables(request.namedList, request.listName, &variables))
        return MmsPduCodec::confirmedError(pdu.invokeId, ObjectNonExistent);
    QList<MmsValue> results;
    for (const MmsObjectName &name : qAsConst(variables)) {
        MmsTypeSpec type;
        MmsValue value;
        if (name.scope == MmsObjectName::DomainSpecific && ServerControls::handlesRead(name.item))
            results.append(controls->readSelect(connection, name.domain, name.item,
                                                quint64(QDateTime::currentMSecsSinceEpoch())));
        else if (name.scope == MmsObjectName::DomainSpecific &&
                 model->find(name.domain, name.item, &type, &value))
            results.append(value);
        else
            results.append(MmsValue::dataAccessError(DataObjectNonExistent));
    }
    return fitted(pdu.invokeId, MmsServices::readResponse(results), maxPduSize);
}

QByteArray MmsRequestHandler::write(const MmsPdu &pdu, int maxPduSize) const
{
    MmsWriteRequest request;
    if (!MmsWrite::decodeRequest(pdu.serviceReader(), pdu.service, &request))
        return rejectArgument(pdu);
    QList<MmsObjectName> variables = request.variables;
    if (!requestedVariables(request.namedList, request.listName, &variables))
        return MmsPduCodec::confirmedError(pdu.invokeId, ObjectNonExistent);
    QList<MmsWriteResult> results;
    for (int i = 0; i < variables.size(); ++i) {
        const MmsValue value = request.values.value(i);
        results.append(value.isNull() ? MmsWriteResult::failure(DataTypeInconsistent)
                                      : writeVariable(variables.at(i), value));
    }
    return fitted(pdu.invokeId, MmsWrite::response(results), maxPduSize);
}

MmsWriteResult MmsRequestHandler::writeVariable(const MmsObjectName &name,
                                                const MmsValue &value) const
{
    if (name.scope != MmsObjectName::DomainSpecific)
        return MmsWriteResult::failure(DataObjectNonExistent);
    const quint64 now = quint64(QDateTime::currentMSecsSinceEpoch());
    if (reports && reports->handles(name.domain, name.item))
        return reports->write(connection, name.domain, name.item, value, now);
    if (ServerControls::handlesWrite(name.item)) {
        ServerControls::WriteOutcome outcome =
            controls->write(connection, name.domain, name.item, value, now);
        unconfirmedBefore += outcome.before;
        unconfirmedAfter += outcome.after;
        return outcome.result;
    }
    MmsTypeSpec type;
    MmsValue current;
    if (!model->find(name.domain, name.item, &type, &current))
        return MmsWriteResult::failure(DataObjectNonExistent);
    if (!writableConstraint(name.item))
        return MmsWriteResult::failure(DataObjectAccessDenied);
    if (model->update(name.domain, name.item, value) != MmsServerModel::Updated)
        return MmsWriteResult::failure(DataTypeInconsistent);
    return MmsWriteResult::ok();
}

QByteArray MmsRequestHandler::variableAccessAttributes(const MmsPdu &pdu, int maxPduSize) const
{
    MmsObjectName name;
    if (!MmsServices::decodeObjectNameRequest(pdu.serviceReader(), pdu.service, &name))
        return rejectArgument(pdu);
    MmsTypeSpec type;
    MmsValue value;
    if (name.scope != MmsObjectName::DomainSpecific ||
        !model->find(name.domain, name.item, &type, &value))
        return MmsPduCodec::confirmedError(pdu.invokeId, ObjectNonExistent);
    return fitted(pdu.invokeId, MmsServices::getVariableAccessAttributesResponse(false, type),
                  maxPduSize);
}

QByteArray MmsRequestHandler::variableListAttributes(const MmsPdu &pdu, int maxPduSize) const
{
    MmsObjectName name;
    if (!MmsServices::decodeObjectNameRequest(pdu.serviceReader(), pdu.service, &name))
        return rejectArgument(pdu);
    const MmsServerDataSet *dataSet = name.scope == MmsObjectName::DomainSpecific
                                          ? model->dataSet(name.domain, name.item)
                                          : nullptr;
    if (!dataSet)
        return MmsPduCodec::confirmedError(pdu.invokeId, ObjectNonExistent);
    MmsVariableListAttributes attributes;
    attributes.deletable = dataSet->deletable;
    attributes.members = dataSet->members;
    return fitted(pdu.invokeId, MmsServices::getNamedVariableListAttributesResponse(attributes),
                  maxPduSize);
}
