#include "mmswrite.h"

#include "berwriter.h"
#include "mmsdatacodec.h"

namespace MmsWrite {

QByteArray request(const MmsWriteRequest &request)
{
    const QByteArray specification =
        request.namedList ? Ber::tlv(0xa1, MmsServices::encodeObjectName(request.listName))
                          : Ber::tlv(0xa0, MmsServices::encodeVariableList(request.variables));
    QByteArray data;
    for (const MmsValue &value : request.values)
        data += MmsDataCodec::encodeValue(value);
    return Ber::tlv(ServiceTag, specification + Ber::tlv(0xa0, data));
}

QByteArray request(const MmsObjectName &variable, const MmsValue &value)
{
    MmsWriteRequest single;
    single.variables.append(variable);
    single.values.append(value);
    return request(single);
}

QByteArray response(const QList<MmsWriteResult> &results)
{
    QByteArray content;
    for (const MmsWriteResult &result : results)
        content += result.success ? Ber::tlv(0x81, QByteArray())
                                  : Ber::integer(0x80, result.dataAccessError);
    return Ber::tlv(ServiceTag, content);
}

bool decodeRequest(const BerReader &reader, const BerTlv &tlv, MmsWriteRequest *request)
{
    *request = MmsWriteRequest();
    if (tlv.tag != ServiceTag)
        return false;
    BerReader fields = reader.children(tlv);
    BerTlv field;
    if (!fields.read(&field))
        return false;
    if (field.tag == 0xa1) {
        request->namedList = true;
        BerReader inner = fields.children(field);
        BerTlv name;
        if (!inner.read(&name) || !MmsServices::decodeObjectName(inner, name, &request->listName) ||
            !inner.atEnd())
            return false;
    } else if (field.tag != 0xa0 ||
               !MmsServices::decodeVariableList(fields, field, &request->variables) ||
               request->variables.isEmpty()) {
        return false;
    }
    if (!fields.expect(0xa0, &field) || !fields.atEnd())
        return false;
    BerReader data = fields.children(field);
    BerTlv item;
    while (data.read(&item)) {
        MmsValue value;
        if (!MmsDataCodec::decodeValue(data, item, &value))
            return false;
        request->values.append(value);
    }
    if (data.failed())
        return false;
    return request->namedList ? !request->values.isEmpty()
                              : request->values.size() == request->variables.size();
}

bool decodeResponse(const BerReader &reader, const BerTlv &tlv, QList<MmsWriteResult> *results)
{
    results->clear();
    if (tlv.tag != ServiceTag)
        return false;
    BerReader items = reader.children(tlv);
    BerTlv item;
    while (items.read(&item)) {
        if (item.tag == 0x81 && item.length == 0) {
            results->append(MmsWriteResult::ok());
            continue;
        }
        int code = 0;
        if (item.tag != 0x80 || !items.toInt(item, &code) || code < 0)
            return false;
        results->append(MmsWriteResult::failure(code));
    }
    return !items.failed() && !results->isEmpty();
}

} // namespace MmsWrite
