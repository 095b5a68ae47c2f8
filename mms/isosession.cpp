#include "isosession.h"

namespace {

constexpr quint8 ConnectAcceptItem = 0x05;
constexpr quint8 TransportDisconnect = 0x11;
constexpr quint8 ProtocolOptions = 0x13;
constexpr quint8 SessionUserRequirements = 0x14;
constexpr quint8 VersionNumber = 0x16;
constexpr quint8 CallingSelector = 0x33;
constexpr quint8 CalledSelector = 0x34; // the responding selector in ACCEPT
constexpr quint8 UserData = 0xc1;
constexpr quint8 ExtendedUserData = 0xc2;

QByteArray lengthField(int length)
{
    QByteArray field;
    if (length < 255) {
        field.append(char(length));
    } else {
        field.append(char(0xff)).append(char(length >> 8)).append(char(length & 0xff));
    }
    return field;
}

QByteArray parameter(quint8 code, const QByteArray &value)
{
    return char(code) + lengthField(value.size()) + value;
}

QByteArray spdu(quint8 type, const QByteArray &parameters)
{
    return char(type) + lengthField(parameters.size()) + parameters;
}

QByteArray connectAcceptItem()
{
    return parameter(ConnectAcceptItem, parameter(ProtocolOptions, QByteArray(1, '\0')) +
                                            parameter(VersionNumber, QByteArray(1, char(2))));
}

const QByteArray &duplexOnly()
{
    static const QByteArray value = QByteArray::fromHex("0002");
    return value;
}

const QByteArray &selector()
{
    static const QByteArray value = QByteArray::fromHex("0001");
    return value;
}

// Reads one length field; false when it runs past end.
bool readLength(const QByteArray &bytes, int *position, int end, int *length)
{
    if (*position >= end)
        return false;
    const quint8 first = quint8(bytes.at(*position));
    if (first != 0xff) {
        *length = first;
        *position += 1;
        return true;
    }
    if (*position + 3 > end)
        return false;
    *length = (quint8(bytes.at(*position + 1)) << 8) | quint8(bytes.at(*position + 2));
    *position += 3;
    return true;
}

// One SPDU header from position: its type and where its parameters end.
bool readHeader(const QByteArray &bytes, int *position, int *type, int *parametersEnd)
{
    if (*position >= bytes.size())
        return false;
    *type = quint8(bytes.at(*position));
    ++*position;
    int length = 0;
    if (!readLength(bytes, position, bytes.size(), &length) || *position + length > bytes.size())
        return false;
    *parametersEnd = *position + length;
    return true;
}

// Walks the parameters (groups as a whole) and keeps the user data.
bool readParameters(const QByteArray &bytes, int position, int end, QByteArray *userData)
{
    while (position < end) {
        const quint8 code = quint8(bytes.at(position++));
        int length = 0;
        if (!readLength(bytes, &position, end, &length) || position + length > end)
            return false;
        if (code == UserData || code == ExtendedUserData)
            *userData = bytes.mid(position, length);
        position += length;
    }
    return position == end;
}

} // namespace

namespace IsoSession {

QByteArray connect(const QByteArray &userData)
{
    return spdu(SessionSpdu::Connect,
                connectAcceptItem() + parameter(SessionUserRequirements, duplexOnly()) +
                    parameter(CallingSelector, selector()) + parameter(CalledSelector, selector()) +
                    parameter(UserData, userData));
}

QByteArray accept(const QByteArray &userData)
{
    return spdu(SessionSpdu::Accept,
                connectAcceptItem() + parameter(SessionUserRequirements, duplexOnly()) +
                    parameter(CalledSelector, selector()) + parameter(UserData, userData));
}

QByteArray data(const QByteArray &userData)
{
    static const QByteArray header = QByteArray::fromHex("01000100");
    return header + userData;
}

QByteArray finish(const QByteArray &userData)
{
    return spdu(SessionSpdu::Finish, parameter(UserData, userData));
}

QByteArray disconnect(const QByteArray &userData)
{
    return spdu(SessionSpdu::Disconnect, parameter(UserData, userData));
}

QByteArray abort(const QByteArray &userData)
{
    // Release the transport connection, user abort, no reason.
    return spdu(SessionSpdu::Abort, parameter(TransportDisconnect, QByteArray(1, char(0x0b))) +
                                        parameter(UserData, userData));
}

bool decode(const QByteArray &bytes, SessionSpdu *spdu)
{
    *spdu = SessionSpdu();
    int position = 0;
    int type = 0;
    int parametersEnd = 0;
    if (!readHeader(bytes, &position, &type, &parametersEnd))
        return false;
    spdu->type = type;
    if (type == SessionSpdu::Data) {
        // Give tokens, then the data transfer SPDU; the user data follows it.
        if (!readParameters(bytes, position, parametersEnd, &spdu->userData))
            return false;
        position = parametersEnd;
        if (!readHeader(bytes, &position, &type, &parametersEnd) || type != SessionSpdu::Data)
            return false;
        QByteArray ignored;
        if (!readParameters(bytes, position, parametersEnd, &ignored))
            return false;
        spdu->userData = bytes.mid(parametersEnd);
        return true;
    }
    switch (type) {
    case SessionSpdu::NotFinished:
    case SessionSpdu::Finish:
    case SessionSpdu::Disconnect:
    case SessionSpdu::Refuse:
    case SessionSpdu::Connect:
    case SessionSpdu::Accept:
    case SessionSpdu::Abort:
    case SessionSpdu::AbortAccept:
        return readParameters(bytes, position, parametersEnd, &spdu->userData) &&
               parametersEnd == bytes.size();
    default:
        return false;
    }
}

} // namespace IsoSession
