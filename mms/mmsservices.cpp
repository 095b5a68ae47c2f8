#include "mmsservices.h"

#include "berwriter.h"
#include "mmsdatacodec.h"

namespace {

// Identifiers are VisibleStrings of up to 32 characters in MMS, but IEC 61850
// names run longer in practice; anything beyond this is no name.
constexpr int MaxIdentifierLength = 255;

QByteArray identifier(const QString &text)
{
    return Ber::tlv(0x1a, text.toLatin1());
}

QByteArray objectName(const MmsObjectName &name)
{
    switch (name.scope) {
    case MmsObjectName::VmdSpecific:
        return Ber::tlv(0x80, name.item.toLatin1());
    case MmsObjectName::DomainSpecific:
        return Ber::tlv(0xa1, identifier(name.domain) + identifier(name.item));
    case MmsObjectName::AssociationSpecific:
        break;
    }
    return Ber::tlv(0x82, name.item.toLatin1());
}

bool readIdentifier(const BerReader &reader, const BerTlv &tlv, QString *text)
{
    if (tlv.length > MaxIdentifierLength)
        return false;
    *text = QString::fromLatin1(reader.content(tlv));
    return true;
}

bool readObjectName(const BerReader &reader, const BerTlv &tlv, MmsObjectName *name)
{
    *name = MmsObjectName();
    switch (tlv.tag) {
    case 0x80:
    case 0x82:
        name->scope =
            tlv.tag == 0x80 ? MmsObjectName::VmdSpecific : MmsObjectName::AssociationSpecific;
        return readIdentifier(reader, tlv, &name->item);
    case 0xa1: {
        BerReader parts = reader.children(tlv);
        BerTlv part;
        name->scope = MmsObjectName::DomainSpecific;
        if (!parts.expect(0x1a, &part) || !readIdentifier(parts, part, &name->domain) ||
            !parts.expect(0x1a, &part) || !readIdentifier(parts, part, &name->item))
            return false;
        return parts.atEnd() && !parts.failed();
    }
    default:
        return false;
    }
}

// [0] name around an ObjectName.
bool readVariableName(const BerReader &reader, const BerTlv &tlv, MmsObjectName *name)
{
    BerReader inner = reader.children(tlv);
    BerTlv nameTlv;
    return inner.read(&nameTlv) && readObjectName(inner, nameTlv, name);
}

// A list of SEQUENCE { variableSpecification [0] name ... }, as read requests
// and data set attributes carry it; whole: nothing may follow the name.
bool readVariableList(const BerReader &reader, const BerTlv &tlv, bool whole,
                      QList<MmsObjectName> *names)
{
    BerReader list = reader.children(tlv);
    BerTlv item;
    while (list.read(&item)) {
        if (item.tag != 0x30)
            return false;
        BerReader entry = list.children(item);
        BerTlv nameTlv;
        MmsObjectName name;
        if (!entry.expect(0xa0, &nameTlv) || !readVariableName(entry, nameTlv, &name) ||
            (whole && !entry.atEnd()))
            return false;
        names->append(name);
    }
    return !list.failed();
}

QByteArray variableSpecification(const MmsObjectName &name)
{
    return Ber::tlv(0x30, Ber::tlv(0xa0, objectName(name)));
}

} // namespace

namespace MmsServices {

QByteArray getNameListRequest(const MmsNameListRequest &request)
{
    QByteArray scope;
    switch (request.scope) {
    case MmsObjectName::VmdSpecific:
        scope = Ber::tlv(0x80, QByteArray());
        break;
    case MmsObjectName::DomainSpecific:
        scope = Ber::tlv(0x81, request.domain.toLatin1());
        break;
    case MmsObjectName::AssociationSpecific:
        scope = Ber::tlv(0x82, QByteArray());
        break;
    }
    QByteArray content =
        Ber::tlv(0xa0, Ber::integer(0x80, request.objectClass)) + Ber::tlv(0xa1, scope);
    if (request.hasContinueAfter)
        content += Ber::tlv(0x82, request.continueAfter.toLatin1());
    return Ber::tlv(GetNameList, content);
}

QByteArray readRequest(const MmsObjectName &variable)
{
    return Ber::tlv(Read, Ber::tlv(0xa1, Ber::tlv(0xa0, variableSpecification(variable))));
}

QByteArray getVariableAccessAttributesRequest(const MmsObjectName &name)
{
    return Ber::tlv(GetVariableAccessAttributes, Ber::tlv(0xa0, objectName(name)));
}

QByteArray getNamedVariableListAttributesRequest(const MmsObjectName &name)
{
    return Ber::tlv(GetNamedVariableListAttributes, objectName(name));
}

QByteArray getNameListResponse(const QStringList &names, bool moreFollows)
{
    QByteArray list;
    for (const QString &name : names)
        list += identifier(name);
    QByteArray content = Ber::tlv(0xa0, list);
    // moreFollows defaults to TRUE, so only FALSE needs saying.
    if (!moreFollows)
        content += Ber::boolean(0x81, false);
    return Ber::tlv(GetNameList, content);
}

QByteArray readResponse(const QList<MmsValue> &results)
{
    QByteArray list;
    for (const MmsValue &result : results) {
        if (result.type() == MmsType::DataAccessError || result.isNull())
            list += Ber::integer(0x80, result.isNull() ? 10 : result.dataAccessErrorCode());
        else
            list += MmsDataCodec::encodeValue(result);
    }
    return Ber::tlv(Read, Ber::tlv(0xa1, list));
}

QByteArray getVariableAccessAttributesResponse(bool deletable, const MmsTypeSpec &type)
{
    return Ber::tlv(GetVariableAccessAttributes,
                    Ber::boolean(0x80, deletable) + Ber::tlv(0xa2, MmsDataCodec::encodeType(type)));
}

QByteArray getNamedVariableListAttributesResponse(const MmsVariableListAttributes &attributes)
{
    QByteArray list;
    for (const MmsObjectName &member : attributes.members)
        list += variableSpecification(member);
    return Ber::tlv(GetNamedVariableListAttributes,
                    Ber::boolean(0x80, attributes.deletable) + Ber::tlv(0xa1, list));
}

bool decodeGetNameListRequest(const BerReader &reader, const BerTlv &tlv,
                              MmsNameListRequest *request)
{
    *request = MmsNameListRequest();
    if (tlv.tag != GetNameList)
        return false;
    BerReader fields = reader.children(tlv);
    BerTlv field;
    if (!fields.expect(0xa0, &field))
        return false;
    BerReader classReader = fields.children(field);
    BerTlv classTlv;
    if (!classReader.expect(0x80, &classTlv) || !classReader.toInt(classTlv, &request->objectClass))
        return false;
    if (!fields.expect(0xa1, &field))
        return false;
    BerReader scopeReader = fields.children(field);
    BerTlv scope;
    if (!scopeReader.read(&scope))
        return false;
    switch (scope.tag) {
    case 0x80:
        request->scope = MmsObjectName::VmdSpecific;
        break;
    case 0x81:
        request->scope = MmsObjectName::DomainSpecific;
        if (!readIdentifier(scopeReader, scope, &request->domain))
            return false;
        break;
    case 0x82:
        request->scope = MmsObjectName::AssociationSpecific;
        break;
    default:
        return false;
    }
    if (fields.readIf(0x82, &field)) {
        request->hasContinueAfter = true;
        if (!readIdentifier(fields, field, &request->continueAfter))
            return false;
    }
    return fields.atEnd() && !fields.failed();
}

bool decodeReadRequest(const BerReader &reader, const BerTlv &tlv, MmsReadRequest *request)
{
    *request = MmsReadRequest();
    if (tlv.tag != Read)
        return false;
    BerReader fields = reader.children(tlv);
    BerTlv field;
    if (fields.readIf(0x80, &field) && !fields.toBool(field, &request->specificationWithResult))
        return false;
    if (!fields.expect(0xa1, &field))
        return false;
    BerReader specification = fields.children(field);
    BerTlv choice;
    if (!specification.read(&choice))
        return false;
    if (choice.tag == 0xa1) {
        request->namedList = true;
        return readVariableName(specification, choice, &request->listName);
    }
    if (choice.tag != 0xa0)
        return false;
    // Alternate access would select parts of a variable; browsing never asks for it.
    return readVariableList(specification, choice, true, &request->variables) &&
           !request->variables.isEmpty();
}

bool decodeObjectNameRequest(const BerReader &reader, const BerTlv &tlv, MmsObjectName *name)
{
    BerReader inner = reader.children(tlv);
    BerTlv choice;
    if (!inner.read(&choice) || !inner.atEnd())
        return false;
    if (tlv.tag == GetVariableAccessAttributes)
        return choice.tag == 0xa0 && readVariableName(inner, choice, name);
    return tlv.tag == GetNamedVariableListAttributes && readObjectName(inner, choice, name);
}

bool decodeGetNameListResponse(const BerReader &reader, const BerTlv &tlv, QStringList *names,
                               bool *moreFollows)
{
    names->clear();
    *moreFollows = true;
    if (tlv.tag != GetNameList)
        return false;
    BerReader fields = reader.children(tlv);
    BerTlv field;
    if (!fields.expect(0xa0, &field))
        return false;
    BerReader list = fields.children(field);
    BerTlv item;
    while (list.read(&item)) {
        QString name;
        if (item.tag != 0x1a || !readIdentifier(list, item, &name))
            return false;
        names->append(name);
    }
    if (list.failed())
        return false;
    if (fields.readIf(0x81, &field) && !fields.toBool(field, moreFollows))
        return false;
    return fields.atEnd() && !fields.failed();
}

bool decodeReadResponse(const BerReader &reader, const BerTlv &tlv, QList<MmsValue> *results)
{
    results->clear();
    if (tlv.tag != Read)
        return false;
    BerReader fields = reader.children(tlv);
    BerTlv field;
    fields.readIf(0xa0, &field); // the variable access specification, echoed
    if (!fields.expect(0xa1, &field))
        return false;
    BerReader list = fields.children(field);
    BerTlv item;
    while (list.read(&item)) {
        MmsValue value;
        if (item.tag == 0x80) {
            int code = 0;
            if (!list.toInt(item, &code))
                return false;
            value = MmsValue::dataAccessError(code);
        } else if (!MmsDataCodec::decodeValue(list, item, &value)) {
            return false;
        }
        results->append(value);
    }
    return !list.failed() && fields.atEnd();
}

bool decodeGetVariableAccessAttributesResponse(const BerReader &reader, const BerTlv &tlv,
                                               bool *deletable, MmsTypeSpec *type)
{
    if (tlv.tag != GetVariableAccessAttributes)
        return false;
    BerReader fields = reader.children(tlv);
    BerTlv field;
    if (!fields.expect(0x80, &field) || !fields.toBool(field, deletable))
        return false;
    fields.readIf(0xa1, &field); // address
    if (!fields.expect(0xa2, &field))
        return false;
    BerReader typeReader = fields.children(field);
    BerTlv typeTlv;
    return typeReader.read(&typeTlv) && MmsDataCodec::decodeType(typeReader, typeTlv, type);
}

bool decodeGetNamedVariableListAttributesResponse(const BerReader &reader, const BerTlv &tlv,
                                                  MmsVariableListAttributes *attributes)
{
    *attributes = MmsVariableListAttributes();
    if (tlv.tag != GetNamedVariableListAttributes)
        return false;
    BerReader fields = reader.children(tlv);
    BerTlv field;
    if (!fields.expect(0x80, &field) || !fields.toBool(field, &attributes->deletable) ||
        !fields.expect(0xa1, &field))
        return false;
    return readVariableList(fields, field, false, &attributes->members);
}

QByteArray encodeObjectName(const MmsObjectName &name)
{
    return objectName(name);
}

bool decodeObjectName(const BerReader &reader, const BerTlv &tlv, MmsObjectName *name)
{
    return readObjectName(reader, tlv, name);
}

QByteArray encodeVariableList(const QList<MmsObjectName> &names)
{
    QByteArray list;
    for (const MmsObjectName &name : names)
        list += variableSpecification(name);
    return list;
}

bool decodeVariableList(const BerReader &reader, const BerTlv &tlv, QList<MmsObjectName> *names)
{
    names->clear();
    return readVariableList(reader, tlv, true, names);
}

QByteArray readRequest(const QList<MmsObjectName> &variables)
{
    return Ber::tlv(Read, Ber::tlv(0xa1, Ber::tlv(0xa0, encodeVariableList(variables))));
}

QByteArray readListRequest(const MmsObjectName &listName, bool specificationWithResult)
{
    QByteArray content;
    if (specificationWithResult)
        content += Ber::boolean(0x80, true);
    content += Ber::tlv(0xa1, Ber::tlv(0xa1, objectName(listName)));
    return Ber::tlv(Read, content);
}

QByteArray readListResponse(const MmsObjectName &listName, const QList<MmsValue> &results)
{
    const QByteArray plain = readResponse(results);
    BerReader reader(plain);
    BerTlv tlv;
    reader.read(&tlv);
    return Ber::tlv(Read,
                    Ber::tlv(0xa0, Ber::tlv(0xa1, objectName(listName))) + reader.content(tlv));
}

} // namespace MmsServices
