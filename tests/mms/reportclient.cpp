#include "reportclient.h"

#include "cotp.h"
#include "isomessage.h"
#include "mmspdu.h"

#include <QTest>

bool ReportClient::associate(quint16 port, int pduSize)
{
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(EventTimeoutMs))
        return false;
    CotpParameters parameters;
    socket.write(Tpkt::frame(Cotp::connectRequest(parameters)));
    send(IsoMessageCodec::associateRequest(
        MmsPduCodec::initiateRequest(MmsInitiateParameters::clientProposal(pduSize))));
    return QTest::qWaitFor(
        [this] {
            pump();
            return associated;
        },
        EventTimeoutMs);
}

QList<MmsWriteResult> ReportClient::write(const QList<std::pair<QString, MmsValue>> &items)
{
    MmsWriteRequest request;
    for (const auto &item : items) {
        request.variables.append({MmsObjectName::DomainSpecific, domain, item.first});
        request.values.append(item.second);
    }
    response.clear();
    send(IsoMessageCodec::data(
        3, MmsPduCodec::confirmedRequest(++invokeId, MmsWrite::request(request))));
    QList<MmsWriteResult> results;
    const bool answered = QTest::qWaitFor(
        [this] {
            pump();
            return !response.isEmpty();
        },
        EventTimeoutMs);
    MmsPdu pdu;
    if (answered && MmsPduCodec::decode(response, &pdu) && pdu.kind == MmsPdu::ConfirmedResponse)
        MmsWrite::decodeResponse(pdu.serviceReader(), pdu.service, &results);
    return results;
}

MmsWriteResult ReportClient::write(const QString &item, const MmsValue &value)
{
    return write({{item, value}}).value(0, MmsWriteResult::failure(-1));
}

bool ReportClient::waitForReports(int count, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            pump();
            return reports.size() >= count;
        },
        timeoutMs);
}

MmsValue ReportClient::bits(int mask, int count)
{
    QByteArray octets((count + 7) / 8, '\0');
    for (int bit = 1; bit < count; ++bit) {
        if (mask & (1 << (bit - 1)))
            octets[bit / 8] = char(quint8(octets.at(bit / 8)) | (0x80 >> (bit % 8)));
    }
    return MmsValue::bitString(octets, count);
}

void ReportClient::send(const QByteArray &userData)
{
    for (const QByteArray &tpdu : Cotp::dataTpdus(userData, Cotp::MaxTpduSizeCode))
        socket.write(Tpkt::frame(tpdu));
}

void ReportClient::pump()
{
    reader.append(socket.readAll());
    QByteArray tpdu;
    while (reader.next(&tpdu) == TpktReader::PacketReady) {
        CotpTpdu decoded;
        if (!Cotp::decode(tpdu, &decoded) || decoded.type != CotpTpdu::Data)
            continue;
        joined += decoded.userData;
        if (!decoded.endOfTransmission)
            continue;
        IsoMessage message;
        IsoMessageCodec::decode(joined, &message);
        joined.clear();
        if (message.kind == IsoMessage::AssociateResponse) {
            associated = true;
            continue;
        }
        MmsPdu pdu;
        if (!MmsPduCodec::decode(message.mms, &pdu))
            continue;
        MmsInformationReport information;
        Iec61850Report report;
        if (pdu.kind == MmsPdu::Unconfirmed &&
            MmsReportCodec::decodeInformationReport(pdu, &information) &&
            MmsReportCodec::decodeReport(information.values, &report)) {
            reports.append(report);
        } else if (pdu.kind == MmsPdu::ConfirmedResponse) {
            response = message.mms;
            reportsAtResponse = reports.size();
        }
    }
}
