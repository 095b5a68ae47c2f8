#include "controlpeer.h"

#include "cotp.h"
#include "isomessage.h"
#include "mmsserverconnection.h"
#include "mmsservices.h"
#include "tpkt.h"

#include <QDateTime>

namespace {

MmsTypeSpec structureOf(std::initializer_list<std::pair<const char *, MmsTypeSpec>> members)
{
    MmsTypeSpec type = MmsTypeSpec::structure();
    for (const auto &member : members)
        type.addComponent(QLatin1String(member.first), member.second);
    return type;
}

MmsTypeSpec operType()
{
    return structureOf({{"ctlVal", MmsTypeSpec::boolean()},
                        {"origin", structureOf({{"orCat", MmsTypeSpec::integer(8)},
                                                {"orIdent", MmsTypeSpec::octetString(-64)}})},
                        {"ctlNum", MmsTypeSpec::unsignedInteger(8)},
                        {"T", MmsTypeSpec::utcTime()},
                        {"Test", MmsTypeSpec::boolean()},
                        {"Check", MmsTypeSpec::bitString(-2)}});
}

quint64 now()
{
    return quint64(QDateTime::currentMSecsSinceEpoch());
}

} // namespace

ControlPeer::ControlPeer(std::shared_ptr<const MmsServerModel> served)
    : model(served), serverControls(served),
      peer([this](QTcpSocket &socket, ScriptedPeer &peer) { serve(socket, peer); })
{
}

std::shared_ptr<MmsServerModel> ControlPeer::exampleModel()
{
    auto model = std::make_shared<MmsServerModel>();
    const MmsTypeSpec status = structureOf({{"stVal", MmsTypeSpec::boolean()},
                                            {"q", MmsTypeSpec::bitString(-13)},
                                            {"t", MmsTypeSpec::utcTime()}});
    MmsTypeSpec st = structureOf({{"Beh", structureOf({{"stVal", MmsTypeSpec::integer(8)}})}});
    MmsTypeSpec co = MmsTypeSpec::structure();
    MmsTypeSpec cf = MmsTypeSpec::structure();
    for (int i = 0; i <= 4; ++i) {
        const QString name = QStringLiteral("SPCSO%1").arg(i);
        st.addComponent(name, status);
        MmsTypeSpec members = MmsTypeSpec::structure();
        if (i == 2)
            members.addComponent(QStringLiteral("SBO"), MmsTypeSpec::visibleString(-64));
        if (i == 4)
            members.addComponent(QStringLiteral("SBOw"), operType());
        members.addComponent(QStringLiteral("Oper"), operType());
        members.addComponent(QStringLiteral("Cancel"), operType());
        co.addComponent(name, members);
        cf.addComponent(name, structureOf({{"ctlModel", MmsTypeSpec::integer(8)}}));
    }
    const MmsTypeSpec ggio = structureOf({{"ST", st}, {"CO", co}, {"CF", cf}});
    model->domain(QStringLiteral("IEDLD"))
        .variables.append({QStringLiteral("GGIO1"), ggio, ggio.defaultValue()});
    model->finish();
    model->update(QStringLiteral("IEDLD"), QStringLiteral("GGIO1$ST$Beh$stVal"),
                  MmsValue::integer(1));
    for (int i = 0; i <= 4; ++i)
        model->update(QStringLiteral("IEDLD"), QStringLiteral("GGIO1$CF$SPCSO%1$ctlModel").arg(i),
                      MmsValue::integer(i));
    return model;
}

void ControlPeer::serve(QTcpSocket &socket, ScriptedPeer &peer)
{
    MmsServerConnection connection(model);
    const auto frame = [&connection](const QByteArray &pdu) {
        return connection.unconfirmed(pdu);
    };
    QByteArray tpdu;
    while (peer.readTpdu(socket, &tpdu)) {
        CotpTpdu decoded;
        IsoMessage message;
        if (connection.state() == MmsServerConnection::Associated && Cotp::decode(tpdu, &decoded) &&
            decoded.type == CotpTpdu::Data && decoded.endOfTransmission &&
            IsoMessageCodec::decode(decoded.userData, &message) &&
            message.kind == IsoMessage::Data && answerControl(socket, peer, message.mms, frame))
            continue;
        peer.send(socket, connection.receive(Tpkt::frame(tpdu)));
        if (connection.state() == MmsServerConnection::Closed)
            return;
    }
    serverControls.removeConnection(1);
}

bool ControlPeer::answerControl(QTcpSocket &socket, ScriptedPeer &peer, const QByteArray &mms,
                                const std::function<QByteArray(const QByteArray &)> &frame)
{
    MmsPdu pdu;
    if (!MmsPduCodec::decode(mms, &pdu) || pdu.kind != MmsPdu::ConfirmedRequest)
        return false;
    MmsWriteRequest write;
    MmsReadRequest read;
    if (MmsWrite::decodeRequest(pdu.serviceReader(), pdu.service, &write) && !write.namedList &&
        write.variables.size() == 1 && ServerControls::handlesWrite(write.variables.first().item)) {
        const MmsObjectName &name = write.variables.first();
        peer.note(name.item);
        const ServerControls::WriteOutcome outcome =
            serverControls.write(1, name.domain, name.item, write.values.first(), now());
        for (const QByteArray &before : outcome.before)
            peer.send(socket, frame(before));
        peer.send(socket, frame(MmsPduCodec::confirmedResponse(
                              pdu.invokeId, MmsWrite::response({outcome.result}))));
        for (const QByteArray &after : outcome.after)
            peer.send(socket, frame(after));
        return true;
    }
    if (MmsServices::decodeReadRequest(pdu.serviceReader(), pdu.service, &read) &&
        !read.namedList && read.variables.size() == 1 &&
        ServerControls::handlesRead(read.variables.first().item)) {
        const MmsObjectName &name = read.variables.first();
        peer.note(name.item);
        const MmsValue selected = serverControls.readSelect(1, name.domain, name.item, now());
        peer.send(socket, frame(MmsPduCodec::confirmedResponse(
                              pdu.invokeId, MmsServices::readResponse({selected}))));
        return true;
    }
    return false;
}
