#ifndef STATIONSCOPE_COTP_H
#define STATIONSCOPE_COTP_H

// ISO 8073 transport class 0 as RFC 1006 carries it: connect request and
// confirm with TSAPs and TPDU size, data TPDUs with segmentation.

#include <QByteArray>
#include <QList>

struct CotpParameters
{
    quint16 destinationReference = 0;
    quint16 sourceReference = 1;
    // The TPDU size is 2^code bytes; class 0 allows 7 (128) to 13 (8192), and
    // 7 is the size when the parameter is absent.
    int tpduSizeCode = 13;
    QByteArray callingTsap = QByteArray::fromHex("0001");
    QByteArray calledTsap = QByteArray::fromHex("0001");
};

struct CotpTpdu
{
    enum Type {
        ConnectRequest = 0xe0,
        ConnectConfirm = 0xd0,
        DisconnectRequest = 0x80,
        DisconnectConfirm = 0xc0,
        Data = 0xf0,
        Error = 0x70,
    };

    int type = 0;
    CotpParameters parameters; // connect request and confirm
    bool hasTpduSize = false;
    bool endOfTransmission = false; // data
    QByteArray userData;            // data
};

namespace Cotp {
constexpr int DataHeaderSize = 3;
constexpr int MinTpduSizeCode = 7;
constexpr int MaxTpduSizeCode = 13;

QByteArray connectRequest(const CotpParameters &parameters);
QByteArray connectConfirm(const CotpParameters &parameters);
// The data TPDUs that carry userData, each at most 2^tpduSizeCode bytes.
QList<QByteArray> dataTpdus(const QByteArray &userData, int tpduSizeCode);
// False for anything that is no well-formed class 0 TPDU.
bool decode(const QByteArray &tpdu, CotpTpdu *result);
} // namespace Cotp

// Joins the user data of data TPDUs up to the one marked end of transmission.
class CotpReassembler
{
public:
    enum Status { Incomplete, Complete, TooLarge };

    explicit CotpReassembler(int maxMessageSize) : maxSize(maxMessageSize) {}
    void setMaxMessageSize(int size) { maxSize = size; }
    int maxMessageSize() const { return maxSize; }

    Status add(const CotpTpdu &data);
    QByteArray take();
    void clear() { pending.clear(); }

private:
    QByteArray pending;
    int maxSize;
};

#endif
