#include "cotp.h"

namespace {

constexpr quint8 TpduSizeCode = 0xc0;
constexpr quint8 CallingTsapCode = 0xc1;
constexpr quint8 CalledTsapCode = 0xc2;
constexpr quint8 EndOfTransmission = 0x80;
constexpr int MaxTsapLength = 32;

QByteArray connectTpdu(quint8 code, const CotpParameters &p)
{
    QByteArray variable;
    variable.append(char(TpduSizeCode)).append(char(1)).append(char(p.tpduSizeCode));
    variable.append(char(CalledTsapCode)).append(char(p.calledTsap.size())).append(p.calledTsap);
    variable.append(char(CallingTsapCode)).append(char(p.callingTsap.size())).append(p.callingTsap);

    QByteArray tpdu;
    tpdu.append(char(6 + variable.size())); // length indicator: the header after itself
    tpdu.append(char(code));
    tpdu.append(char(p.destinationReference >> 8)).append(char(p.destinationReference & 0xff));
    tpdu.append(char(p.sourceReference >> 8)).append(char(p.sourceReference & 0xff));
    tpdu.append(char(0)); // class 0, no options
    tpdu.append(variable);
    return tpdu;
}

bool decodeConnect(const QByteArray &tpdu, int headerEnd, CotpTpdu *result)
{
    if (headerEnd < 7)
        return false;
    const auto at = [&tpdu](int i) {
        return quint8(tpdu.at(i));
    };
    CotpParameters &p = result->parameters;
    p.destinationReference = quint16(at(2) << 8 | at(3));
    p.sourceReference = quint16(at(4) << 8 | at(5));
    if ((at(6) >> 4) != 0)
        return false;
    p.callingTsap.clear();
    p.calledTsap.clear();
    int i = 7;
    while (i < headerEnd) {
        if (i + 2 > headerEnd)
            return false;
        const quint8 code = at(i);
        const int length = at(i + 1);
        if (i + 2 + length > headerEnd)
            return false;
        const QByteArray value = tpdu.mid(i + 2, length);
        if (code == TpduSizeCode) {
            if (length != 1 || at(i + 2) < Cotp::MinTpduSizeCode ||
                at(i + 2) > Cotp::MaxTpduSizeCode)
                return false;
            p.tpduSizeCode = at(i + 2);
            result->hasTpduSize = true;
        } else if (code == CallingTsapCode || code == CalledTsapCode) {
            if (length > MaxTsapLength)
                return false;
            (code == CallingTsapCode ? p.callingTsap : p.calledTsap) = value;
        }
        i += 2 + length;
    }
    if (!result->hasTpduSize)
        p.tpduSizeCode = Cotp::MinTpduSizeCode;
    return headerEnd == tpdu.size();
}

} // namespace

namespace Cotp {

QByteArray connectRequest(const CotpParameters &parameters)
{
    return connectTpdu(CotpTpdu::ConnectRequest, parameters);
}

QByteArray connectConfirm(const CotpParameters &parameters)
{
    return connectTpdu(CotpTpdu::ConnectConfirm, parameters);
}

QList<QByteArray> dataTpdus(const QByteArray &userData, int tpduSizeCode)
{
    const int chunk = (1 << tpduSizeCode) - DataHeaderSize;
    QList<QByteArray> tpdus;
    int offset = 0;
    do {
        const int size = qMin(chunk, userData.size() - offset);
        const bool last = offset + size == userData.size();
        QByteArray tpdu;
        tpdu.reserve(DataHeaderSize + size);
        tpdu.append(char(2)).append(char(CotpTpdu::Data));
        tpdu.append(char(last ? EndOfTransmission : 0));
        tpdu.append(userData.constData() + offset, size);
        tpdus.append(tpdu);
        offset += size;
    } while (offset < userData.size());
    return tpdus;
}

bool decode(const QByteArray &tpdu, CotpTpdu *result)
{
    *result = CotpTpdu();
    if (tpdu.size() < 2)
        return false;
    const int headerEnd = 1 + quint8(tpdu.at(0));
    if (headerEnd > tpdu.size() || headerEnd < 2)
        return false;
    const quint8 code = quint8(tpdu.at(1));
    const quint8 type =
        (code & 0xf0) == CotpTpdu::ConnectRequest || (code & 0xf0) == CotpTpdu::ConnectConfirm
            ? quint8(code & 0xf0)
            : code;
    result->type = type;
    switch (type) {
    case CotpTpdu::Data:
        if (headerEnd != 3)
            return false;
        result->endOfTransmission = quint8(tpdu.at(2)) & EndOfTransmission;
        result->userData = tpdu.mid(headerEnd);
        return true;
    case CotpTpdu::ConnectRequest:
    case CotpTpdu::ConnectConfirm:
        return decodeConnect(tpdu, headerEnd, result);
    case CotpTpdu::DisconnectRequest:
    case CotpTpdu::DisconnectConfirm:
    case CotpTpdu::Error:
        return headerEnd >= 5;
    default:
        return false;
    }
}

} // namespace Cotp

CotpReassembler::Status CotpReassembler::add(const CotpTpdu &data)
{
    if (pending.size() + data.userData.size() > maxSize) {
        pending.clear();
        return TooLarge;
    }
    pending.append(data.userData);
    return data.endOfTransmission ? Complete : Incomplete;
}

QByteArray CotpReassembler::take()
{
    QByteArray message;
    message.swap(pending);
    return message;
}
