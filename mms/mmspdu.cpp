#include "mmspdu.h"

#include "berwriter.h"

namespace {

enum PduTag : quint32 {
    ConfirmedRequestTag = 0xa0,
    ConfirmedResponseTag = 0xa1,
    ConfirmedErrorTag = 0xa2,
    UnconfirmedTag = 0xa3,
    RejectTag = 0xa4,
    CancelRequestTag = 0x85,
    CancelResponseTag = 0x86,
    CancelErrorTag = 0xa7,
    InitiateRequestTag = 0xa8,
    InitiateResponseTag = 0xa9,
    InitiateErrorTag = 0xaa,
    ConcludeRequestTag = 0x8b,
    ConcludeResponseTag = 0x8c,
    ConcludeErrorTag = 0xad,
};

QByteArray bits(const char *hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray serviceErrorContent(const MmsServiceError &error)
{
    const quint32 classTag = Ber::tag(Ber::Context, false, quint32(error.errorClass));
    return Ber::tlv(0xa0, Ber::integer(classTag, error.code));
}

bool readServiceError(const BerReader &reader, const BerTlv &tlv, MmsServiceError *error)
{
    BerReader fields = reader.children(tlv);
    BerTlv field;
    if (!fields.expect(0xa0, &field))
        return false;
    BerReader choice = fields.children(field);
    BerTlv code;
    if (!choice.read(&code) || Ber::isConstructed(code.tag) || (code.tag & 0xc0) != Ber::Context)
        return false;
    error->errorClass = int(Ber::tagNumber(code.tag));
    return choice.toInt(code, &error->code);
}

QByteArray initiateContent(const MmsInitiateParameters &p)
{
    const QByteArray detail = Ber::integer(0x80, p.versionNumber) +
                              Ber::bitString(0x81, p.parameterCbb, 11) +
                              Ber::bitString(0x82, p.servicesSupported, 85);
    return Ber::integer(0x80, p.localDetail) + Ber::integer(0x81, p.maxServOutstandingCalling) +
           Ber::integer(0x82, p.maxServOutstandingCalled) +
           Ber::integer(0x83, p.dataStructureNestingLevel) + Ber::tlv(0xa4, detail);
}

bool readInitiate(const BerReader &reader, const BerTlv &tlv, MmsInitiateParameters *p)
{
    BerReader fields = reader.children(tlv);
    BerTlv field;
    bool haveDetail = false;
    bool haveCalling = false;
    bool haveCalled = false;
    *p = MmsInitiateParameters();
    p->localDetail = 0; // absent: no limit was stated
    while (fields.read(&field)) {
        bool ok = true;
        switch (field.tag) {
        case 0x80:
            ok = fields.toInt(field, &p->localDetail);
            break;
        case 0x81:
            ok = haveCalling = fields.toInt(field, &p->maxServOutstandingCalling);
            break;
        case 0x82:
            ok = haveCalled = fields.toInt(field, &p->maxServOutstandingCalled);
            break;
        case 0x83:
            ok = fields.toInt(field, &p->dataStructureNestingLevel);
            break;
        case 0xa4: {
            BerReader detail = fields.children(field);
            BerTlv item;
            int count = 0;
            ok = detail.expect(0x80, &item) && detail.toInt(item, &p->versionNumber) &&
                 detail.expect(0x81, &item) && detail.toBitString(item, &p->parameterCbb, &count) &&
                 detail.expect(0x82, &item) &&
                 detail.toBitString(item, &p->servicesSupported, &count);
            haveDetail = ok;
            break;
        }
        default:
            break;
        }
        if (!ok)
            return false;
    }
    return !fields.failed() && haveDetail && haveCalling && haveCalled && p->localDetail >= 0;
}

bool readInvokeId(const BerReader &reader, const BerTlv &tlv, quint32 *id)
{
    quint64 value = 0;
    if (!reader.toUint64(tlv, &value) || value > 0xffffffffu)
        return false;
    *id = quint32(value);
    return true;
}

} // namespace

MmsInitiateParameters MmsInitiateParameters::clientProposal(int localDetail)
{
    MmsInitiateParameters p;
    p.localDetail = localDetail;
    p.parameterCbb = bits("f100");
    p.servicesSupported = bits("ee1c00000408000079ef18");
    return p;
}

MmsInitiateParameters MmsInitiateParameters::serverParameters()
{
    MmsInitiateParameters p;
    p.parameterCbb = bits("f100");
    p.servicesSupported = bits("ee1c000000000000000118");
    return p;
}

namespace MmsPduCodec {

QByteArray confirmedRequest(quint32 invokeId, const QByteArray &service)
{
    return Ber::tlv(ConfirmedRequestTag, Ber::unsignedInteger(0x02, invokeId) + service);
}

QByteArray confirmedResponse(quint32 invokeId, const QByteArray &service)
{
    return Ber::tlv(ConfirmedResponseTag, Ber::unsignedInteger(0x02, invokeId) + service);
}

QByteArray confirmedError(quint32 invokeId, const MmsServiceError &error)
{
    return Ber::tlv(ConfirmedErrorTag, Ber::unsignedInteger(0x80, invokeId) +
                                           Ber::tlv(0xa2, serviceErrorContent(error)));
}

QByteArray reject(quint32 invokeId, bool hasInvokeId, int rejectKind, int code)
{
    QByteArray content;
    if (hasInvokeId)
        content += Ber::unsignedInteger(0x80, invokeId);
    content += Ber::integer(Ber::tag(Ber::Context, false, quint32(rejectKind)), code);
    return Ber::tlv(RejectTag, content);
}

QByteArray initiateRequest(const MmsInitiateParameters &parameters)
{
    return Ber::tlv(InitiateRequestTag, initiateContent(parameters));
}

QByteArray initiateResponse(const MmsInitiateParameters &parameters)
{
    return Ber::tlv(InitiateResponseTag, initiateContent(parameters));
}

QByteArray initiateError(const MmsServiceError &error)
{
    return Ber::tlv(InitiateErrorTag, serviceErrorContent(error));
}

QByteArray concludeRequest()
{
    return Ber::tlv(ConcludeRequestTag, QByteArray());
}

QByteArray concludeResponse()
{
    return Ber::tlv(ConcludeResponseTag, QByteArray());
}

bool decode(const QByteArray &bytes, MmsPdu *pdu)
{
    *pdu = MmsPdu();
    pdu->bytes = bytes;
    BerReader top(bytes);
    BerTlv outer;
    if (!top.read(&outer) || !top.atEnd())
        return false;
    BerReader fields = top.children(outer);
    BerTlv field;
    switch (outer.tag) {
    case ConfirmedRequestTag:
    case ConfirmedResponseTag:
        pdu->kind =
            outer.tag == ConfirmedRequestTag ? MmsPdu::ConfirmedRequest : MmsPdu::ConfirmedResponse;
        if (!fields.expect(0x02, &field) || !readInvokeId(fields, field, &pdu->invokeId))
            return false;
        pdu->hasInvokeId = true;
        if (pdu->kind == MmsPdu::ConfirmedRequest)
            fields.readIf(0x30, &field); // list of modifiers
        if (!fields.read(&pdu->service))
            return false;
        return fields.atEnd() && !fields.failed();
    case ConfirmedErrorTag:
        pdu->kind = MmsPdu::ConfirmedError;
        if (!fields.expect(0x80, &field) || !readInvokeId(fields, field, &pdu->invokeId))
            return false;
        pdu->hasInvokeId = true;
        fields.readIf(0x81, &field);
        return fields.expect(0xa2, &field) && readServiceError(fields, field, &pdu->error);
    case UnconfirmedTag:
        pdu->kind = MmsPdu::Unconfirmed;
        // Nothing to answer either way; an empty one only carries no service.
        if (fields.atEnd())
            return true;
        return fields.read(&pdu->service) && fields.atEnd() && !fields.failed();
    case RejectTag:
        pdu->kind = MmsPdu::Reject;
        if (fields.readIf(0x80, &field)) {
            if (!readInvokeId(fields, field, &pdu->invokeId))
                return false;
            pdu->hasInvokeId = true;
        }
        if (!fields.read(&field) || Ber::isConstructed(field.tag))
            return false;
        pdu->rejectKind = int(Ber::tagNumber(field.tag));
        return fields.toInt(field, &pdu->rejectCode);
    case CancelRequestTag:
    case CancelResponseTag:
        pdu->kind = outer.tag == CancelRequestTag ? MmsPdu::CancelRequest : MmsPdu::CancelResponse;
        pdu->hasInvokeId = readInvokeId(top, outer, &pdu->invokeId);
        return pdu->hasInvokeId;
    case CancelErrorTag:
        pdu->kind = MmsPdu::CancelError;
        return true;
    case InitiateRequestTag:
    case InitiateResponseTag:
        pdu->kind =
            outer.tag == InitiateRequestTag ? MmsPdu::InitiateRequest : MmsPdu::InitiateResponse;
        return readInitiate(top, outer, &pdu->initiate);
    case InitiateErrorTag:
    case ConcludeErrorTag:
        pdu->kind = outer.tag == InitiateErrorTag ? MmsPdu::InitiateError : MmsPdu::ConcludeError;
        return readServiceError(top, outer, &pdu->error);
    case ConcludeRequestTag:
        pdu->kind = MmsPdu::ConcludeRequest;
        return outer.length == 0;
    case ConcludeResponseTag:
        pdu->kind = MmsPdu::ConcludeResponse;
        return outer.length == 0;
    default:
        return false;
    }
}

} // namespace MmsPduCodec
