#ifndef STATIONSCOPE_ISOPRESENTATION_H
#define STATIONSCOPE_ISOPRESENTATION_H

// ISO 8823 presentation kernel in normal mode with two contexts, ACSE and MMS,
// both in BER, and fully encoded user data.

#include <QByteArray>
#include <QList>
#include <QVector>

struct PresentationContext
{
    int id = 0;
    QVector<quint32> abstractSyntax;
    bool berTransfer = false; // BER among the proposed transfer syntaxes
};

// The parts of a CP, CPA, user data or abort PPDU MMS needs: the proposed
// contexts (CP) or the results (CPA), and the first presentation data value.
struct PresentationPdu
{
    QList<PresentationContext> contexts;
    QList<int> results;
    int contextId = -1;
    QByteArray userData;
};

namespace IsoPresentation {
constexpr int AcseContextId = 1;
constexpr int MmsContextId = 3;
constexpr int Acceptance = 0;
constexpr int ProviderRejection = 2;

const QVector<quint32> &acseSyntax();
const QVector<quint32> &mmsSyntax();

// CP-type proposing the ACSE and MMS contexts, carrying an ACSE APDU.
QByteArray connect(const QByteArray &acse);
// CPA-PPDU: one result per proposed context, in their order.
QByteArray accept(const QList<int> &results, int acseContextId, const QByteArray &acse);
QByteArray userData(int contextId, const QByteArray &data);
// ARU-PPDU carrying an ACSE APDU.
QByteArray abort(int acseContextId, const QByteArray &acse);

bool decodeConnect(const QByteArray &bytes, PresentationPdu *pdu);
bool decodeAccept(const QByteArray &bytes, PresentationPdu *pdu);
bool decodeUserData(const QByteArray &bytes, PresentationPdu *pdu);
bool decodeAbort(const QByteArray &bytes, PresentationPdu *pdu);
} // namespace IsoPresentation

#endif
