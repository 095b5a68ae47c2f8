#ifndef STATIONSCOPE_ACSE_H
#define STATIONSCOPE_ACSE_H

// ACSE (ISO 8650 / X.227) association, release and abort APDUs carrying MMS in
// their user information.

#include <QByteArray>
#include <QVector>

struct AcseApdu
{
    enum Type {
        AssociateRequest = 0x60,
        AssociateResponse = 0x61,
        ReleaseRequest = 0x62,
        ReleaseResponse = 0x63,
        Abort = 0x64,
    };
    enum Result { Accepted = 0, RejectedPermanent = 1, RejectedTransient = 2 };

    int type = 0;
    QVector<quint32> applicationContext;
    int result = -1;     // associate response
    int diagnostic = -1; // associate response
    int reason = -1;     // release request and response
    int abortSource = -1;
    int userInformationContext = -1;
    QByteArray userInformation; // the single ASN.1 type of the first EXTERNAL
};

namespace Acse {
// 1.0.9506.2.3, the MMS application context.
const QVector<quint32> &mmsApplicationContext();

QByteArray associateRequest(int mmsContextId, const QByteArray &mms);
QByteArray associateResponse(int result, int mmsContextId, const QByteArray &mms);
QByteArray releaseRequest();
QByteArray releaseResponse();
QByteArray abort();
bool decode(const QByteArray &bytes, AcseApdu *apdu);
} // namespace Acse

#endif
