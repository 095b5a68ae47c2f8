#include "acse.h"

#include "berwriter.h"

namespace {

QByteArray userInformation(int contextId, const QByteArray &mms)
{
    return Ber::tlv(0xbe, Ber::tlv(0x28, Ber::integer(0x02, contextId) + Ber::tlv(0xa0, mms)));
}

bool readUserInformation(BerReader &reader, const BerTlv &information, AcseApdu *apdu)
{
    BerReader list = reader.children(information);
    BerTlv external;
    if (!list.expect(0x28, &external))
        return false;
    BerReader fields = list.children(external);
    BerTlv field;
    fields.readIf(0x06, &field);
    if (fields.readIf(0x02, &field) && !fields.toInt(field, &apdu->userInformationContext))
        return false;
    if (!fields.read(&field) || (field.tag != 0xa0 && field.tag != 0x81))
        return false;
    apdu->userInformation = fields.content(field);
    return true;
}

bool readInteger(const BerReader &reader, const BerTlv &tlv, int *value)
{
    return reader.toInt(tlv, value);
}

// A constructed field holding one INTEGER, or a CHOICE of tagged INTEGERs.
bool readWrappedInteger(BerReader &reader, const BerTlv &tlv, int *value, int depth = 0)
{
    BerReader inner = reader.children(tlv);
    BerTlv field;
    if (depth > 2 || !inner.read(&field))
        return false;
    if (Ber::isConstructed(field.tag))
        return readWrappedInteger(inner, field, value, depth + 1);
    return readInteger(inner, field, value);
}

} // namespace

namespace Acse {

const QVector<quint32> &mmsApplicationContext()
{
    static const QVector<quint32> arcs{1, 0, 9506, 2, 3};
    return arcs;
}

QByteArray associateRequest(int mmsContextId, const QByteArray &mms)
{
    const QByteArray fields =
        Ber::tlv(0xa1, Ber::oid(0x06, mmsApplicationContext())) +
        Ber::tlv(0xa2, Ber::oid(0x06, {1, 1, 1, 999, 1})) + Ber::tlv(0xa3, Ber::integer(0x02, 12)) +
        Ber::tlv(0xa6, Ber::oid(0x06, {1, 1, 1, 999})) + Ber::tlv(0xa7, Ber::integer(0x02, 12)) +
        userInformation(mmsContextId, mms);
    return Ber::tlv(AcseApdu::AssociateRequest, fields);
}

QByteArray associateResponse(int result, int mmsContextId, const QByteArray &mms)
{
    // Diagnostic from the service user: null when accepted, no reason otherwise.
    const int diagnostic = result == AcseApdu::Accepted ? 0 : 1;
    QByteArray fields = Ber::tlv(0xa1, Ber::oid(0x06, mmsApplicationContext())) +
                        Ber::tlv(0xa2, Ber::integer(0x02, result)) +
                        Ber::tlv(0xa3, Ber::tlv(0xa1, Ber::integer(0x02, diagnostic)));
    if (!mms.isEmpty())
        fields += userInformation(mmsContextId, mms);
    return Ber::tlv(AcseApdu::AssociateResponse, fields);
}

QByteArray releaseRequest()
{
    return Ber::tlv(AcseApdu::ReleaseRequest, Ber::integer(0x80, 0));
}

QByteArray releaseResponse()
{
    return Ber::tlv(AcseApdu::ReleaseResponse, QByteArray());
}

QByteArray abort()
{
    return Ber::tlv(AcseApdu::Abort, Ber::integer(0x80, 0)); // service user
}

bool decode(const QByteArray &bytes, AcseApdu *apdu)
{
    *apdu = AcseApdu();
    BerReader top(bytes);
    BerTlv outer;
    if (!top.read(&outer) || !top.atEnd())
        return false;
    apdu->type = int(outer.tag);
    if (outer.tag < AcseApdu::AssociateRequest || outer.tag > AcseApdu::Abort)
        return false;
    BerReader fields = top.children(outer);
    BerTlv field;
    while (fields.read(&field)) {
        bool ok = true;
        switch (field.tag) {
        case 0xa1:
            if (apdu->type == AcseApdu::AssociateRequest ||
                apdu->type == AcseApdu::AssociateResponse) {
                BerReader inner = fields.children(field);
                BerTlv oid;
                ok = inner.expect(0x06, &oid) && inner.toOid(oid, &apdu->applicationContext);
            }
            break;
        case 0xa2:
            if (apdu->type == AcseApdu::AssociateResponse)
                ok = readWrappedInteger(fields, field, &apdu->result);
            break;
        case 0xa3:
            if (apdu->type == AcseApdu::AssociateResponse)
                ok = readWrappedInteger(fields, field, &apdu->diagnostic);
            break;
        case 0x80:
            ok = readInteger(fields, field,
                             apdu->type == AcseApdu::Abort ? &apdu->abortSource : &apdu->reason);
            break;
        case 0xbe:
            ok = readUserInformation(fields, field, apdu);
            break;
        default:
            break;
        }
        if (!ok)
            return false;
    }
    if (fields.failed())
        return false;
    if (apdu->type == AcseApdu::AssociateResponse && apdu->result < 0)
        return false;
    return apdu->type != AcseApdu::Abort || apdu->abortSource >= 0;
}

} // namespace Acse
