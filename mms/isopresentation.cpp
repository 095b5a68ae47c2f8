#include "isopresentation.h"

#include "berwriter.h"

namespace {

const QVector<quint32> &berSyntax()
{
    static const QVector<quint32> arcs{2, 1, 1};
    return arcs;
}

QByteArray selector()
{
    return QByteArray::fromHex("00000001");
}

QByteArray contextItem(int id, const QVector<quint32> &abstractSyntax)
{
    return Ber::tlv(0x30, Ber::integer(0x02, id) + Ber::oid(0x06, abstractSyntax) +
                              Ber::tlv(0x30, Ber::oid(0x06, berSyntax())));
}

// Fully encoded data: one PDV list with a single ASN.1 type.
bool readUserData(BerReader &reader, const BerTlv &fullyEncoded, PresentationPdu *pdu)
{
    BerReader list = reader.children(fullyEncoded);
    BerTlv pdv;
    if (!list.expect(0x30, &pdv))
        return false;
    BerReader item = list.children(pdv);
    BerTlv field;
    item.readIf(0x06, &field);
    if (!item.expect(0x02, &field) || !item.toInt(field, &pdu->contextId))
        return false;
    if (!item.read(&field) || (field.tag != 0xa0 && field.tag != 0x81))
        return false;
    pdu->userData = item.content(field);
    return true;
}

bool readContextList(BerReader &reader, const BerTlv &listTlv, PresentationPdu *pdu)
{
    BerReader list = reader.children(listTlv);
    BerTlv itemTlv;
    while (list.read(&itemTlv)) {
        if (itemTlv.tag != 0x30)
            return false;
        BerReader item = list.children(itemTlv);
        PresentationContext context;
        BerTlv field;
        if (!item.expect(0x02, &field) || !item.toInt(field, &context.id) ||
            !item.expect(0x06, &field) || !item.toOid(field, &context.abstractSyntax) ||
            !item.expect(0x30, &field))
            return false;
        BerReader transfers = item.children(field);
        BerTlv transfer;
        while (transfers.read(&transfer)) {
            QVector<quint32> arcs;
            if (transfer.tag == 0x06 && transfers.toOid(transfer, &arcs) && arcs == berSyntax())
                context.berTransfer = true;
        }
        if (transfers.failed())
            return false;
        pdu->contexts.append(context);
    }
    return !list.failed();
}

bool readResultList(BerReader &reader, const BerTlv &listTlv, PresentationPdu *pdu)
{
    BerReader list = reader.children(listTlv);
    BerTlv itemTlv;
    while (list.read(&itemTlv)) {
        if (itemTlv.tag != 0x30)
            return false;
        BerReader item = list.children(itemTlv);
        BerTlv field;
        int result = 0;
        if (!item.expect(0x80, &field) || !item.toInt(field, &result))
            return false;
        pdu->results.append(result);
    }
    return !list.failed();
}

// The mode selector must say normal mode; the normal mode parameters follow.
bool readNormalMode(BerReader &set, BerTlv *parameters)
{
    BerTlv mode;
    if (!set.expect(0xa0, &mode))
        return false;
    BerReader modeReader = set.children(mode);
    BerTlv value;
    int modeValue = 0;
    if (!modeReader.expect(0x80, &value) || !modeReader.toInt(value, &modeValue) || modeValue != 1)
        return false;
    BerTlv tlv;
    while (set.read(&tlv)) {
        if (tlv.tag == 0xa2) {
            *parameters = tlv;
            return true;
        }
    }
    return false;
}

} // namespace

namespace IsoPresentation {

const QVector<quint32> &acseSyntax()
{
    static const QVector<quint32> arcs{2, 2, 1, 0, 1};
    return arcs;
}

const QVector<quint32> &mmsSyntax()
{
    static const QVector<quint32> arcs{1, 0, 9506, 2, 1};
    return arcs;
}

QByteArray connect(const QByteArray &acse)
{
    const QByteArray contexts = Ber::tlv(0xa4, contextItem(AcseContextId, acseSyntax()) +
                                                   contextItem(MmsContextId, mmsSyntax()));
    const QByteArray normal = Ber::tlv(0x81, selector()) + Ber::tlv(0x82, selector()) + contexts +
                              userData(AcseContextId, acse);
    return Ber::tlv(0x31, Ber::tlv(0xa0, Ber::integer(0x80, 1)) + Ber::tlv(0xa2, normal));
}

QByteArray accept(const QList<int> &results, int acseContextId, const QByteArray &acse)
{
    QByteArray list;
    for (int result : results) {
        QByteArray item = Ber::integer(0x80, result);
        if (result == Acceptance)
            item += Ber::oid(0x81, berSyntax());
        else
            item += Ber::integer(0x82, 2); // abstract syntax not supported
        list += Ber::tlv(0x30, item);
    }
    const QByteArray normal =
        Ber::tlv(0x83, selector()) + Ber::tlv(0xa5, list) + userData(acseContextId, acse);
    return Ber::tlv(0x31, Ber::tlv(0xa0, Ber::integer(0x80, 1)) + Ber::tlv(0xa2, normal));
}

QByteArray userData(int contextId, const QByteArray &data)
{
    return Ber::tlv(0x61, Ber::tlv(0x30, Ber::integer(0x02, contextId) + Ber::tlv(0xa0, data)));
}

QByteArray abort(int acseContextId, const QByteArray &acse)
{
    return Ber::tlv(0xa0, userData(acseContextId, acse));
}

namespace {

// CP and CPA share their frame: a SET holding the normal-mode parameters, of
// which the context list (CP) or result list (CPA) and the user data matter.
using ListReader = bool (*)(BerReader &, const BerTlv &, PresentationPdu *);

bool decodeNormalMode(const QByteArray &bytes, quint32 listTag, ListReader readList,
                      PresentationPdu *pdu)
{
    *pdu = PresentationPdu();
    BerReader top(bytes);
    BerTlv set;
    if (!top.expect(0x31, &set))
        return false;
    BerReader setReader = top.children(set);
    BerTlv normal;
    if (!readNormalMode(setReader, &normal))
        return false;
    BerReader fields = setReader.children(normal);
    BerTlv field;
    bool haveUserData = false;
    while (fields.read(&field)) {
        if (field.tag == listTag && !readList(fields, field, pdu))
            return false;
        if (field.tag == 0x61) {
            if (!readUserData(fields, field, pdu))
                return false;
            haveUserData = true;
        }
    }
    return !fields.failed() && haveUserData;
}

} // namespace

bool decodeConnect(const QByteArray &bytes, PresentationPdu *pdu)
{
    return decodeNormalMode(bytes, 0xa4, readContextList, pdu);
}

bool decodeAccept(const QByteArray &bytes, PresentationPdu *pdu)
{
    return decodeNormalMode(bytes, 0xa5, readResultList, pdu);
}

bool decodeUserData(const QByteArray &bytes, PresentationPdu *pdu)
{
    *pdu = PresentationPdu();
    BerReader top(bytes);
    BerTlv fullyEncoded;
    return top.expect(0x61, &fullyEncoded) && top.atEnd() && readUserData(top, fullyEncoded, pdu);
}

bool decodeAbort(const QByteArray &bytes, PresentationPdu *pdu)
{
    *pdu = PresentationPdu();
    BerReader top(bytes);
    BerTlv abort;
    if (!top.read(&abort))
        return false;
    if (abort.tag == 0x30) // provider abort: no user data
        return true;
    if (abort.tag != 0xa0)
        return false;
    BerReader fields = top.children(abort);
    BerTlv field;
    while (fields.read(&field)) {
        if (field.tag == 0x61)
            return readUserData(fields, field, pdu);
    }
    return !fields.failed();
}

} // namespace IsoPresentation
