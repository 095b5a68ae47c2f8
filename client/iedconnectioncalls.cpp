// The calls on objects of an IedConnection: data set directories, reads,
// type descriptions and writes, one object or several at a time.

#include "iedconnection.h"

#include "mmsservices.h"
#include "mmswrite.h"
#include "objectreference.h"

QStringList IedConnection::dataSetDirectory(const QString &dataSetReference, bool *isDeletable,
                                            IedClientError *error)
{
    QVector<bool> deletable;
    QVector<IedClientError> errors;
    const QList<QStringList> members = readDataSets({dataSetReference}, &deletable, &errors, false);
    if (isDeletable && errors.first() == IedClientError::Ok)
        *isDeletable = deletable.first();
    return answer(error, errors.first(), members.first());
}

QList<QStringList> IedConnection::dataSetDirectories(const QStringList &dataSetReferences,
                                                     QVector<IedClientError> *errors)
{
    QVector<bool> deletable;
    return readDataSets(dataSetReferences, &deletable, errors, true);
}

QList<QStringList> IedConnection::readDataSets(const QStringList &dataSetReferences,
                                               QVector<bool> *deletable,
                                               QVector<IedClientError> *errors,
                                               bool handOverReports)
{
    QList<QByteArray> requests;
    QVector<IedClientError> refused;
    for (const QString &text : dataSetReferences) {
        ObjectReference reference;
        const bool valid = ObjectReference::parse(text, &reference) && reference.fc.isEmpty();
        requests << (valid ? MmsServices::getNamedVariableListAttributesRequest(
                                 {MmsObjectName::DomainSpecific, reference.logicalDevice,
                                  reference.plainItem()})
                           : QByteArray());
        refused << (valid ? IedClientError::Ok : IedClientError::ObjectReferenceInvalid);
    }
    QList<QStringList> members;
    for (int i = 0; i < dataSetReferences.size(); ++i)
        members << QStringList();
    *deletable = QVector<bool>(dataSetReferences.size(), false);
    *errors = callAll(
        requests, refused,
        [&](int index, const MmsPdu &response) {
            MmsVariableListAttributes attributes;
            if (!MmsServices::decodeGetNamedVariableListAttributesResponse(
                    response.serviceReader(), response.service, &attributes))
                return IedClientError::MalformedMessage;
            (*deletable)[index] = attributes.deletable;
            for (const MmsObjectName &member : attributes.members)
                members[index] << ObjectReferences::fromMmsName(member.domain, member.item);
            return IedClientError::Ok;
        },
        handOverReports);
    return members;
}

QVector<IedClientError> IedConnection::callAll(const QList<QByteArray> &requests,
                                               QVector<IedClientError> refused,
                                               const Decode &decode, bool handOverReports)
{
    QList<QByteArray> sent;
    QVector<int> places;
    for (int i = 0; i < requests.size(); ++i) {
        if (!requests.at(i).isEmpty()) {
            sent << requests.at(i);
            places << i;
        }
    }
    QVector<MmsPdu> responses;
    QVector<IedClientError> errors;
    mms.requestAll(sent, &responses, &errors,
                   handOverReports ? std::function<void()>([this] { dispatchReports(); })
                                   : std::function<void()>());
    for (int j = 0; j < places.size(); ++j)
        refused[places.at(j)] = errors.at(j) == IedClientError::Ok
                                    ? decode(places.at(j), responses.at(j))
                                    : errors.at(j);
    return refused;
}

namespace {

// The one value a read of one variable gives back.
IedClientError decodeSingleRead(const MmsPdu &response, MmsValue *value)
{
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

IedClientError decodeWrite(const MmsPdu &response, int count)
{
    QList<MmsWriteResult> results;
    if (!MmsWrite::decodeResponse(response.serviceReader(), response.service, &results))
        return IedClientError::MalformedMessage;
    if (results.size() != count)
        return IedClientError::UnexpectedValueReceived;
    for (const MmsWriteResult &result : results) {
        if (!result.success)
            return iedClientErrorFromDataAccessError(result.dataAccessError);
    }
    return IedClientError::Ok;
}

} // namespace

IedClientError IedConnection::readItem(const QString &domain, const QString &item, MmsValue *value)
{
    MmsPdu response;
    const IedClientError error = mms.request(
        MmsServices::readRequest({MmsObjectName::DomainSpecific, domain, item}), &response);
    return error == IedClientError::Ok ? decodeSingleRead(response, value) : error;
}

ClientReportControlBlock IedConnection::rcbValues(const QString &rcbReference,
                                                  IedClientError *error)
{
    QVector<IedClientError> errors;
    const QList<ClientReportControlBlock> blocks = readRcbs({rcbReference}, &errors, false);
    return answer(error, errors.first(), blocks.first());
}

QList<ClientReportControlBlock> IedConnection::rcbValuesAll(const QStringList &rcbReferences,
                                                            QVector<IedClientError> *errors)
{
    return readRcbs(rcbReferences, errors, true);
}

QList<ClientReportControlBlock> IedConnection::readRcbs(const QStringList &rcbReferences,
                                                        QVector<IedClientError> *errors,
                                                        bool handOverReports)
{
    QList<QByteArray> requests;
    QVector<IedClientError> refused;
    QList<ClientReportControlBlock> blocks;
    QVector<bool> buffered;
    for (const QString &text : rcbReferences) {
        ObjectReference reference;
        const bool valid = ObjectReference::parse(text, &reference) && reference.path.size() == 2 &&
                           reference.fc.isEmpty() &&
                           (reference.path.first() == QLatin1String("RP") ||
                            reference.path.first() == QLatin1String("BR"));
        requests << (valid ? MmsServices::readRequest({MmsObjectName::DomainSpecific,
                                                       reference.logicalDevice,
                                                       reference.plainItem()})
                           : QByteArray());
        refused << (valid ? IedClientError::Ok : IedClientError::ObjectReferenceInvalid);
        blocks << ClientReportControlBlock();
        buffered << (valid && reference.path.first() == QLatin1String("BR"));
    }
    *errors = callAll(
        requests, refused,
        [&](int index, const MmsPdu &response) {
            MmsValue value;
            const IedClientError error = decodeSingleRead(response, &value);
            if (error != IedClientError::Ok)
                return error;
            return ClientReportControlBlock::fromValue(rcbReferences.at(index), buffered.at(index),
                                                       value, &blocks[index])
                       ? IedClientError::Ok
                       : IedClientError::UnexpectedValueReceived;
        },
        handOverReports);
    return blocks;
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
    QVector<IedClientError> errors;
    const QList<MmsTypeSpec> types = describe({{text, fc}}, &errors, false);
    return answer(error, errors.first(), types.first());
}

QList<MmsTypeSpec>
IedConnection::variableSpecifications(const QList<QPair<QString, QString>> &objects,
                                      QVector<IedClientError> *errors)
{
    return describe(objects, errors, true);
}

QList<MmsTypeSpec> IedConnection::describe(const QList<QPair<QString, QString>> &objects,
                                           QVector<IedClientError> *errors, bool handOverReports)
{
    QList<QByteArray> requests;
    QVector<IedClientError> refused;
    QList<MmsTypeSpec> types;
    for (const auto &object : objects) {
        ObjectReference reference;
        const bool valid = ObjectReference::parse(object.first, &reference) &&
                           ObjectReferences::isFunctionalConstraint(object.second);
        requests << (valid ? MmsServices::getVariableAccessAttributesRequest(
                                 {MmsObjectName::DomainSpecific, reference.logicalDevice,
                                  reference.mmsItem(object.second)})
                           : QByteArray());
        refused << (valid ? IedClientError::Ok : IedClientError::ObjectReferenceInvalid);
        types << MmsTypeSpec();
    }
    *errors = callAll(
        requests, refused,
        [&](int index, const MmsPdu &response) {
            bool deletable = false;
            return MmsServices::decodeGetVariableAccessAttributesResponse(
                       response.serviceReader(), response.service, &deletable, &types[index])
                       ? IedClientError::Ok
                       : IedClientError::MalformedMessage;
        },
        handOverReports);
    return types;
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
    return error == IedClientError::Ok ? decodeWrite(response, names.size()) : error;
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

namespace {

// The variables and values of a block's elements in parametersMask, in the
// order servers accept: a block is reserved and configured before it is
// enabled, and interrogated once enabled.
IedClientError rcbElements(const ClientReportControlBlock &rcb, int parametersMask,
                           QList<MmsObjectName> *names, QList<MmsValue> *values)
{
    using Block = ClientReportControlBlock;
    ObjectReference reference;
    if (!ObjectReference::parse(rcb.reference(), &reference) || reference.path.size() != 2 ||
        !reference.fc.isEmpty())
        return IedClientError::ObjectReferenceInvalid;
    static const Block::Element order[] = {
        Block::ElementResv,    Block::ElementResvTms,  Block::ElementRptId,  Block::ElementDatSet,
        Block::ElementEntryId, Block::ElementOptFlds,  Block::ElementBufTm,  Block::ElementTrgOps,
        Block::ElementIntgPd,  Block::ElementPurgeBuf, Block::ElementRptEna, Block::ElementGi};
    for (Block::Element element : order) {
        if (!(parametersMask & element))
            continue;
        const MmsValue value = rcb.elementValue(element);
        if (value.isNull())
            return IedClientError::InvalidArgument;
        names->append({MmsObjectName::DomainSpecific, reference.logicalDevice,
                       reference.plainItem() + QLatin1Char('$') + Block::elementName(element)});
        values->append(value);
    }
    return IedClientError::Ok;
}

} // namespace

IedClientError IedConnection::setRCBValues(const ClientReportControlBlock &rcb, int parametersMask,
                                           bool singleRequest)
{
    if (singleRequest)
        return writeRcbs({rcb}, {parametersMask}, false).first();
    QList<MmsObjectName> names;
    QList<MmsValue> values;
    const IedClientError error = rcbElements(rcb, parametersMask, &names, &values);
    for (int i = 0; i < names.size() && error == IedClientError::Ok; ++i) {
        const IedClientError refused = writeItems({names.at(i)}, {values.at(i)});
        if (refused != IedClientError::Ok)
            return refused;
    }
    return error;
}

QVector<IedClientError> IedConnection::setRCBValuesAll(const QList<ClientReportControlBlock> &rcbs,
                                                       const QVector<int> &parametersMasks)
{
    return writeRcbs(rcbs, parametersMasks, true);
}

QVector<IedClientError> IedConnection::disableReporting(const QList<ClientReportControlBlock> &rcbs)
{
    QList<ClientReportControlBlock> disabled = rcbs;
    for (ClientReportControlBlock &rcb : disabled) {
        uninstallReportHandler(rcb.reference());
        rcb.setRptEna(false);
    }
    if (!isConnected())
        return QVector<IedClientError>(rcbs.size(), IedClientError::NotConnected);
    return setRCBValuesAll(disabled,
                           QVector<int>(disabled.size(), ClientReportControlBlock::ElementRptEna));
}

QVector<IedClientError> IedConnection::writeRcbs(const QList<ClientReportControlBlock> &rcbs,
                                                 const QVector<int> &parametersMasks,
                                                 bool handOverReports)
{
    QList<QByteArray> requests;
    QVector<IedClientError> refused;
    QVector<int> counts;
    for (int i = 0; i < rcbs.size(); ++i) {
        MmsWriteRequest request;
        const IedClientError error =
            rcbElements(rcbs.at(i), parametersMasks.value(i), &request.variables, &request.values);
        // Nothing to write is done at once.
        const bool send = error == IedClientError::Ok && !request.variables.isEmpty();
        requests << (send ? MmsWrite::request(request) : QByteArray());
        refused << error;
        counts << request.variables.size();
    }
    return callAll(
        requests, refused,
        [&](int index, const MmsPdu &response) { return decodeWrite(response, counts.at(index)); },
        handOverReports);
}
