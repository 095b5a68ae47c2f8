#include "fuzzmmsentries.h"

#include "cotp.h"
#include "isomessage.h"
#include "mmspdu.h"
#include "mmsserverconnection.h"
#include "mmsservermodel.h"
#include "mmsservices.h"
#include "tpkt.h"

#include <QByteArray>

#include <memory>

namespace {

QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), int(size));
}

void decodeMms(const QByteArray &bytes)
{
    MmsPdu pdu;
    if (!MmsPduCodec::decode(bytes, &pdu) || pdu.kind != MmsPdu::ConfirmedResponse)
        return;
    const BerReader reader = pdu.serviceReader();
    QStringList names;
    bool moreFollows = false;
    MmsServices::decodeGetNameListResponse(reader, pdu.service, &names, &moreFollows);
    QList<MmsValue> results;
    if (MmsServices::decodeReadResponse(reader, pdu.service, &results)) {
        for (const MmsValue &value : results)
            value.toText();
    }
    bool deletable = false;
    MmsTypeSpec type;
    if (MmsServices::decodeGetVariableAccessAttributesResponse(reader, pdu.service, &deletable,
                                                               &type))
        type.defaultValue();
    MmsVariableListAttributes attributes;
    MmsServices::decodeGetNamedVariableListAttributesResponse(reader, pdu.service, &attributes);
}

// A small device: one logical node with a few attributes and a data set.
std::shared_ptr<const MmsServerModel> fuzzModel()
{
    static const std::shared_ptr<const MmsServerModel> model = [] {
        auto built = std::make_shared<MmsServerModel>();
        MmsTypeSpec stVal;
        stVal.addComponent(QStringLiteral("stVal"), MmsTypeSpec::boolean());
        stVal.addComponent(QStringLiteral("q"), MmsTypeSpec::bitString(13));
        stVal.addComponent(QStringLiteral("t"), MmsTypeSpec::utcTime());
        MmsTypeSpec status;
        status.addComponent(QStringLiteral("Ind1"), stVal);
        MmsTypeSpec mag;
        mag.addComponent(QStringLiteral("f"), MmsTypeSpec::floatingPoint());
        MmsTypeSpec analogue;
        analogue.addComponent(QStringLiteral("mag"), mag);
        MmsTypeSpec measured;
        measured.addComponent(QStringLiteral("AnIn1"), analogue);
        MmsTypeSpec node;
        node.addComponent(QStringLiteral("ST"), status);
        node.addComponent(QStringLiteral("MX"), measured);
        MmsServerDomain &domain = built->domain(QStringLiteral("IED1LD1"));
        domain.variables.append({QStringLiteral("GGIO1"), node, node.defaultValue()});
        domain.dataSets.append({QStringLiteral("GGIO1$Events"),
                                {{MmsObjectName::DomainSpecific, QStringLiteral("IED1LD1"),
                                  QStringLiteral("GGIO1$ST$Ind1$stVal")}},
                                false});
        built->finish();
        return std::shared_ptr<const MmsServerModel>(built);
    }();
    return model;
}

QByteArray dataMessage(const QByteArray &cotpUserData)
{
    QByteArray stream;
    for (const QByteArray &tpdu : Cotp::dataTpdus(cotpUserData, Cotp::MinTpduSizeCode + 6))
        stream += Tpkt::frame(tpdu);
    return stream;
}

} // namespace

void fuzzMmsResponses(const uint8_t *data, size_t size)
{
    const QByteArray bytes = bytesOf(data, size);

    TpktReader reader;
    reader.append(bytes);
    CotpReassembler reassembler(65000 + 1024);
    QByteArray tpdu;
    while (reader.next(&tpdu) == TpktReader::PacketReady) {
        CotpTpdu cotp;
        if (!Cotp::decode(tpdu, &cotp))
            break;
        if (reassembler.add(cotp) == CotpReassembler::Complete) {
            IsoMessage message;
            if (IsoMessageCodec::decode(reassembler.take(), &message))
                decodeMms(message.mms);
        }
    }

    IsoMessage message;
    if (IsoMessageCodec::decode(bytes, &message))
        decodeMms(message.mms);
    decodeMms(bytes);
}

void fuzzMmsRequests(const uint8_t *data, size_t size)
{
    if (size == 0)
        return;
    MmsServerConnection connection(fuzzModel());
    CotpParameters parameters;
    connection.receive(Tpkt::frame(Cotp::connectRequest(parameters)));
    connection.receive(dataMessage(IsoMessageCodec::associateRequest(
        MmsPduCodec::initiateRequest(MmsInitiateParameters::clientProposal(65000)))));
    const QByteArray rest = bytesOf(data + 1, size - 1);
    if (data[0] & 1) {
        connection.receive(rest);
    } else {
        // One MMS PDU in a valid data message reaches the request decoders at once.
        connection.receive(dataMessage(IsoMessageCodec::data(3, rest)));
    }
}
